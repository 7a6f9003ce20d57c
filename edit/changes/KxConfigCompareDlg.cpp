#include "KxConfigCompareDlg.h"

#include "KxDeviceCommand.h"
#include "KxDeviceConnector.h"
#include "KxI18nUtil.h"
#include "KxStyledButtons.h"
#include "KxUiService.h"

#include <QDebug>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
QString shownName(const KxConfigDiff &d)
{
    return d.name.startsWith(QLatin1Char('#')) ? kxTr(d.name) : d.name;
}

QTableWidgetItem *textItem(const QString &text)
{
    auto *item = new QTableWidgetItem(text);
    item->setToolTip(text);
    item->setFlags(Qt::ItemIsEnabled);
    return item;
}
}  // namespace

KxConfigCompareDlg::KxConfigCompareDlg(KxDeviceConnector *connector,
                                       const QVector<KxConfigDiff> &diffs, QWidget *parent)
    : NDialogEx(parent), m_connector(connector), m_diffs(diffs)
{
    setTitle(QStringLiteral("#IDS_CompareConfig"));
    auto *lay = new QVBoxLayout(contentWidget());
    m_table = new QTableWidget(diffs.size(), 4);
    m_table->setObjectName(QStringLiteral("tableCompare"));
    m_table->setHorizontalHeaderLabels({QString(), kxTr(QStringLiteral("#IDS_CompareConfig_Setting")),
                                        kxTr(QStringLiteral("#IDS_CompareConfig_Reader")),
                                        kxTr(QStringLiteral("#IDS_CompareConfig_File"))});
    m_table->verticalHeader()->hide();
    m_table->setSelectionMode(QAbstractItemView::NoSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->horizontalHeader()->setStretchLastSection(true);
    for (int row = 0; row < diffs.size(); ++row) {
        const KxConfigDiff &d = diffs[row];
        auto *check = new QTableWidgetItem;
        check->setData(Qt::UserRole, d.code);
        // A command the reader lacks cannot be applied; it is listed so the user sees it.
        check->setFlags(d.readerHasCmd ? Qt::ItemIsEnabled | Qt::ItemIsUserCheckable
                                       : Qt::NoItemFlags);
        check->setCheckState(Qt::Unchecked);
        m_table->setItem(row, Col_Check, check);
        auto *name = textItem(shownName(d));
        name->setToolTip(QStringLiteral("%1(%2)").arg(shownName(d), d.code));
        m_table->setItem(row, Col_Name, name);
        m_table->setItem(row, Col_Reader,
                         textItem(d.readerHasCmd ? d.readerValue
                                                 : kxTr(QStringLiteral("#IDS_CompareConfig_Unknown"))));
        m_table->setItem(row, Col_File, textItem(d.fileValue));
    }
    m_table->setColumnWidth(Col_Check, 32);
    m_table->setColumnWidth(Col_Name, 220);
    m_table->setColumnWidth(Col_Reader, 160);
    lay->addWidget(m_table, 1);
    m_close = addButton(QStringLiteral("#IDS_Close"));
    m_close->setObjectName(QStringLiteral("btnClose"));
    m_apply = addButton(QStringLiteral("#IDS_CompareConfig_Apply"), KxPushButton::Primary);
    m_apply->setObjectName(QStringLiteral("btnApply"));
    connect(m_close, &QPushButton::clicked, this, [this] { done(0); });
    connect(m_apply, &QPushButton::clicked, this, &KxConfigCompareDlg::applySelected);
    setFixedSize(680, 460);
}

int KxConfigCompareDlg::rowCount() const
{
    return m_table->rowCount();
}

QString KxConfigCompareDlg::rowCode(int row) const
{
    const QTableWidgetItem *item = m_table->item(row, Col_Check);
    return item ? item->data(Qt::UserRole).toString() : QString();
}

void KxConfigCompareDlg::setRowChecked(int row, bool checked)
{
    QTableWidgetItem *item = m_table->item(row, Col_Check);
    if (item && (item->flags() & Qt::ItemIsUserCheckable))
        item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

QStringList KxConfigCompareDlg::checkedCodes() const
{
    QStringList out;
    for (int row = 0; row < rowCount(); ++row) {
        const QTableWidgetItem *item = m_table->item(row, Col_Check);
        if (item && item->checkState() == Qt::Checked)
            out << rowCode(row);
    }
    return out;
}

void KxConfigCompareDlg::applySelected()
{
    KxDeviceCommand *cmd = m_connector ? m_connector->command() : nullptr;
    const QStringList codes = checkedCodes();
    if (!cmd || codes.isEmpty() || m_outstanding > 0)
        return;
    qInfo() << "KxConfigCompareDlg::applySelected()..." << codes;
    m_apply->setEnabled(false);
    m_sent.clear();
    m_failed.clear();
    m_outstanding = codes.size();
    for (const KxConfigDiff &d : qAsConst(m_diffs)) {
        if (!codes.contains(d.code))
            continue;
        ChangedCmdInfo c;
        // A script travels as the reader's script query; the engine sends it as "LUAADD".
        c.code = d.code == QLatin1String("LUAADD") ? QStringLiteral("LUAQRY") : d.code;
        c.name = d.name;
        c.value = d.fileValue.toUtf8();
        c.displayValue = d.fileValue;
        const QString code = d.code;
        const auto finished = [this, code](bool ok, const QStringList &) {
            (ok ? m_sent : m_failed) << code;
            if (--m_outstanding > 0)
                return;
            for (int row = rowCount() - 1; row >= 0; --row) {
                if (m_sent.contains(rowCode(row)))
                    m_table->removeRow(row);
            }
            m_apply->setEnabled(true);
            emit applied(m_sent, m_failed);
            if (!m_failed.isEmpty()) {
                KxUi()->error(kxTr(QStringLiteral("#IDS_CompareConfig_ApplyFailed")) + QLatin1Char('\n')
                                  + m_failed.join(QStringLiteral(", ")),
                              QStringLiteral("#IDS_CompareConfig"), this);
            } else {
                done(1);
            }
        };
        if (!cmd->sendCmdAsync(c, this, true, finished))
            continue;  // sendCmdAsync has already answered through finished
    }
}
