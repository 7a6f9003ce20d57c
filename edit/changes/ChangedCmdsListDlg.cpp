#include "ChangedCmdsListDlg.h"

#include "DoSaveChangedCmds.h"
#include "KxCmdFraming.h"
#include "KxDeviceCommand.h"
#include "KxDeviceConnector.h"
#include "KxI18nUtil.h"
#include "KxStyledButtons.h"
#include "KxUiService.h"

#include <QDebug>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>

namespace {
const char *const kUndoStyle = "#btnRefresh{background:none; border:none; color:#bfbfbf;}"
                               "#btnRefresh:hover{background:rgb(210, 210, 210);}";

QString shownName(const ChangedCmdInfo &c)
{
    if (c.name.isEmpty())
        return c.code;
    return c.name.startsWith(QLatin1Char('#')) ? kxTr(c.name) : c.name;
}

QString shownValue(const ChangedCmdInfo &c)
{
    const QVariant &v = c.displayValue.isValid() ? c.displayValue : c.value;
    return v.type() == QVariant::ByteArray ? QString::fromUtf8(v.toByteArray()) : v.toString();
}
}  // namespace

ChangedCmdsListDlg::ChangedCmdsListDlg(KxDeviceConnector *connector, bool historyMode,
                                       QWidget *parent)
    : NDialogEx(parent), m_connector(connector), m_history(historyMode)
{
    setTitle(historyMode ? QStringLiteral("#ID_CONFIG_HISTORY") : QStringLiteral("#IDS_Tips"));
    auto *lay = new QVBoxLayout(contentWidget());
    m_text = new QLabel(kxTr(historyMode ? QStringLiteral("#ID_CONFIG_HISTORY")
                                         : QStringLiteral("#IDS_SaveChangedCmds_Tips")));
    m_text->setObjectName(QStringLiteral("labText"));
    m_text->setWordWrap(true);
    lay->addWidget(m_text);
    m_table = new QTableWidget(0, historyMode ? 3 : 2);
    m_table->setObjectName(QStringLiteral("tableChangedCmds"));
    m_table->horizontalHeader()->hide();
    m_table->verticalHeader()->hide();
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionMode(QAbstractItemView::NoSelection);
    m_table->setFocusPolicy(Qt::NoFocus);
    m_table->setWordWrap(true);
    lay->addWidget(m_table, 1);

    auto addResultButton = [this](const char *key, int result, int kind) {
        KxPushButton *b = addButton(QLatin1String(key), kind);
        b->setObjectName(QStringLiteral("btnResult%1").arg(result));
        connect(b, &QPushButton::clicked, this, [this, result] { done(result); });
        m_buttons[result] = b;
    };
    if (historyMode) {
        addResultButton("#IDS_SettingCode", SaveChoice_Save, KxPushButton::Primary);
        addResultButton("#IDS_Cancel", SaveChoice_Cancel, KxPushButton::Normal);
    } else {
        m_table->horizontalHeader()->setStretchLastSection(true);
        addResultButton("#IDS_Cancel", SaveChoice_Cancel, KxPushButton::Normal);
        addResultButton("#IDS_NotSave", SaveChoice_NotSave, KxPushButton::Normal);
        addResultButton("#IDS_Save", SaveChoice_Save, KxPushButton::Primary);
    }
    setFixedSize(kWidth, kHeight);
    fill(connector);
}

int ChangedCmdsListDlg::nameColumnWidth(const QList<int> &nameWidths)
{
    int widest = 0;
    for (int w : nameWidths)
        widest = qMax(widest, w);
    return qBound(150, widest + 15, kWrapWidth);
}

int ChangedCmdsListDlg::rowHeightFor(int nameWidth)
{
    if (nameWidth <= kWrapWidth)
        return kRowHeight;
    return 24 * int(std::ceil(double(nameWidth) / kWrapWidth));
}

bool ChangedCmdsListDlg::fill(KxDeviceConnector *connector)
{
    m_connector = connector;
    m_table->setRowCount(0);
    KxDeviceCommand *cmd = connector ? connector->command() : nullptr;
    if (!cmd) {
        updateSettingCodeButton();
        return false;
    }
    const QVector<ChangedCmdInfo> changes = cmd->changedCmds();
    const QFontMetrics fm(font());
    QList<int> widths;
    for (const ChangedCmdInfo &c : changes)
        widths << fm.horizontalAdvance(shownName(c));
    m_table->setRowCount(changes.size());
    for (int row = 0; row < changes.size(); ++row) {
        const ChangedCmdInfo &c = changes[row];
        auto *name = new QLabel(shownName(c));
        name->setToolTip(QStringLiteral("%1(%2)").arg(shownName(c), c.code));
        name->setProperty("code", c.code);
        if (widths[row] > kWrapWidth) {
            name->setWordWrap(true);
            name->setFixedWidth(kWrapWidth);
        }
        m_table->setCellWidget(row, 0, name);
        auto *value = new QTableWidgetItem(shownValue(c));
        value->setToolTip(shownValue(c));
        value->setData(Qt::UserRole, c.code);
        m_table->setItem(row, 1, value);
        m_table->setRowHeight(row, rowHeightFor(widths[row]));
        if (m_history) {
            auto *undo = new QPushButton(QStringLiteral("X"));
            undo->setObjectName(c.code);
            // The row is found by this code, not by the button's place: a dialog that is not
            // laid out yet has every cell at the origin.
            undo->setProperty(kUndoCodeProperty, c.code);
            undo->setFlat(true);
            undo->setToolTip(kxTr(QStringLiteral("#ID_UNDO")));
            undo->setCursor(Qt::PointingHandCursor);
            undo->setStyleSheet(QString::fromLatin1(kUndoStyle).replace(QLatin1String("#btnRefresh"),
                                                                        QLatin1Char('#') + c.code));
            connect(undo, &QPushButton::clicked, this, &ChangedCmdsListDlg::OnUndoClicked);
            m_table->setCellWidget(row, 2, undo);
        }
    }
    m_table->setColumnWidth(0, nameColumnWidth(widths));
    if (m_history) {
        const int undoWidth = qMax(35, fm.horizontalAdvance(QStringLiteral("X")) + 20);
        m_table->setColumnWidth(2, undoWidth);
        m_table->setColumnWidth(1, qMax(60, kWidth - 60 - m_table->columnWidth(0) - undoWidth));
    }
    updateSettingCodeButton();
    return true;
}

void ChangedCmdsListDlg::setSettingCodeAllowed(bool allowed)
{
    m_settingCodeAllowed = allowed;
    updateSettingCodeButton();
}

void ChangedCmdsListDlg::updateSettingCodeButton()
{
    if (m_history && m_buttons[SaveChoice_Save])
        m_buttons[SaveChoice_Save]->setVisible(m_settingCodeAllowed && rowCount() > 0);
}

int ChangedCmdsListDlg::rowCount() const
{
    return m_table->rowCount();
}

QString ChangedCmdsListDlg::rowCode(int row) const
{
    const QTableWidgetItem *item = m_table->item(row, 1);
    return item ? item->data(Qt::UserRole).toString() : QString();
}

KxPushButton *ChangedCmdsListDlg::button(int result) const
{
    return result >= 0 && result < 3 ? m_buttons[result] : nullptr;
}

int ChangedCmdsListDlg::rowOf(const QString &code) const
{
    if (code.isEmpty())
        return -1;
    for (int row = 0; row < rowCount(); ++row) {
        if (rowCode(row) == code)
            return row;
    }
    return -1;
}

QWidget *ChangedCmdsListDlg::undoButton(int row) const
{
    return m_history ? m_table->cellWidget(row, 2) : nullptr;
}

void ChangedCmdsListDlg::OnUndoClicked()
{
    auto *button = qobject_cast<QPushButton *>(sender());
    if (!button)
        return;
    const QString code = button->property(kUndoCodeProperty).toString();
    const int row = rowOf(code);
    KxDeviceCommand *cmd = m_connector ? m_connector->command() : nullptr;
    if (row < 0 || code.isEmpty() || !cmd)
        return;
    qInfo() << "ChangedCmdsListDlg::OnUndoClicked()..." << code;
    button->setEnabled(false);
    QPointer<ChangedCmdsListDlg> self(this);
    // Puts back the value the reader keeps stored ("#"), which takes the command off the list.
    const bool queued = cmd->restoreChangedCmd(code, this, [self, code](bool ok, const QStringList &) {
        if (!self)
            return;
        const int i = self->rowOf(code);
        if (i >= 0) {
            if (ok)
                self->m_table->removeRow(i);
            else if (QWidget *b = self->undoButton(i))
                b->setEnabled(true);
        }
        self->updateSettingCodeButton();
        if (!ok)
            KxUi()->error(KxCmdFraming::failureMessage({code}, true), QStringLiteral("#IDS_Tips"), self);
        emit self->rowUndone(code, ok);
        if (ok && self->rowCount() == 0)
            self->done(SaveChoice_Cancel);
    });
    if (!queued)  // no longer a change (saved or discarded meanwhile)
        m_table->removeRow(row);
}
