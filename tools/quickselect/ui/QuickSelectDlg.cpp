#include "QuickSelectDlg.h"

#include "KxDeviceCommand.h"
#include "KxDeviceConnector.h"
#include "KxI18nUtil.h"
#include "KxStyledButtons.h"
#include "KxUiService.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
QComboBox *combo(const QStringList &keys, int current, QWidget *parent, const QString &name)
{
    auto *c = new QComboBox(parent);
    c->setObjectName(name);
    for (int i = 0; i < keys.size(); ++i)
        c->addItem(kxTr(keys[i]), i);
    c->setCurrentIndex(current);
    return c;
}

// The page's name of a setting where it has one.
QString settingName(const QString &code)
{
    const QString key = QStringLiteral("#IDS_Item_") + code;
    const QString text = kxTr(key);
    return text == key || text.isEmpty() ? code : QStringLiteral("%1 (%2)").arg(text, code);
}
}  // namespace

QuickSelectDlg::QuickSelectDlg(KxDeviceConnector *connector, QWidget *parent)
    : NDialogEx(parent)
    , m_connector(connector)
{
    setObjectName(QStringLiteral("QuickSelectDlg"));
    setTitle(QStringLiteral("#ID_TOOL_QUICK1"));
    KxDeviceCommand *cmd = connector ? connector->command() : nullptr;
    auto *layout = new QHBoxLayout(contentWidget());
    auto *left = new QVBoxLayout;
    auto *symBox = new QGroupBox(kxTr(QStringLiteral("#IDS_QuickSel_Symbologies")), contentWidget());
    auto *symLayout = new QVBoxLayout(symBox);
    m_symbologies = new QListWidget(symBox);
    m_symbologies->setObjectName(QStringLiteral("listSymbologies"));
    const QuickSelection::Has has = [cmd](const QString &code) { return cmd && cmd->hasCmd(code); };
    for (const auto &s : QuickSelection::symbologySwitches()) {
        if (!has(s.second))
            continue;
        auto *item = new QListWidgetItem(s.first, m_symbologies);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(cmd->value(s.second) == "1" ? Qt::Checked : Qt::Unchecked);
    }
    symLayout->addWidget(m_symbologies);
    left->addWidget(symBox, 1);
    auto *form = new QFormLayout;
    m_distance = combo({QStringLiteral("#IDS_QuickSel_Near"), QStringLiteral("#IDS_QuickSel_Medium"),
                        QStringLiteral("#IDS_QuickSel_Far")}, 1, contentWidget(), QStringLiteral("comboDistance"));
    m_speed = combo({QStringLiteral("#IDS_QuickSel_Still"), QStringLiteral("#IDS_QuickSel_Slow"),
                     QStringLiteral("#IDS_QuickSel_Fast")}, 1, contentWidget(), QStringLiteral("comboSpeed"));
    m_label = combo({QStringLiteral("#IDS_QuickSel_Paper"), QStringLiteral("#IDS_QuickSel_Glossy"),
                     QStringLiteral("#IDS_QuickSel_Marked")}, 0, contentWidget(), QStringLiteral("comboLabel"));
    form->addRow(kxTr(QStringLiteral("#IDS_QuickSel_Distance")), m_distance);
    form->addRow(kxTr(QStringLiteral("#IDS_QuickSel_Speed")), m_speed);
    form->addRow(kxTr(QStringLiteral("#IDS_QuickSel_Label")), m_label);
    left->addLayout(form);
    auto *proposeBtn = new KxPushButton(QStringLiteral("#IDS_QuickSel_Propose"), KxPushButton::Normal, contentWidget());
    proposeBtn->setObjectName(QStringLiteral("btnPropose"));
    left->addWidget(proposeBtn);
    layout->addLayout(left, 2);

    auto *right = new QVBoxLayout;
    m_table = new QTableWidget(0, 4, contentWidget());
    m_table->setObjectName(QStringLiteral("tableChanges"));
    m_table->setHorizontalHeaderLabels({kxTr(QStringLiteral("#IDS_QuickSel_Setting")), kxTr(QStringLiteral("#IDS_QuickSel_Current")),
                                        kxTr(QStringLiteral("#IDS_QuickSel_Proposed")), kxTr(QStringLiteral("#IDS_QuickSel_Why"))});
    m_table->verticalHeader()->hide();
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->setColumnWidth(0, 220);
    m_table->setColumnWidth(1, 80);
    m_table->setColumnWidth(2, 80);
    right->addWidget(m_table, 1);
    m_status = new QLabel(kxTr(QStringLiteral("#IDS_QuickSel_Hint")), contentWidget());
    m_status->setObjectName(QStringLiteral("labStatus"));
    m_status->setWordWrap(true);
    right->addWidget(m_status);
    layout->addLayout(right, 5);

    m_apply = addButton(QStringLiteral("#IDS_QuickSel_Apply"));
    m_apply->setObjectName(QStringLiteral("btnApply"));
    m_apply->setEnabled(false);
    auto *close = addButton(QStringLiteral("#IDS_Close"));
    close->setObjectName(QStringLiteral("btnClose"));
    connect(close, &QPushButton::clicked, this, &QuickSelectDlg::reject);
    connect(proposeBtn, &QPushButton::clicked, this, &QuickSelectDlg::propose);
    connect(m_apply, &QPushButton::clicked, this, &QuickSelectDlg::applyKept);
    proposeBtn->setEnabled(cmd != nullptr);
    resize(1000, 580);
}

QuickApplication QuickSelectDlg::application() const
{
    QuickApplication app;
    for (int i = 0; i < m_symbologies->count(); ++i)
        if (m_symbologies->item(i)->checkState() == Qt::Checked)
            app.symbologies << m_symbologies->item(i)->text();
    app.distance = QuickApplication::Distance(m_distance->currentIndex());
    app.speed = QuickApplication::Speed(m_speed->currentIndex());
    app.label = QuickApplication::Label(m_label->currentIndex());
    return app;
}

QString QuickSelectDlg::statusText() const
{
    return m_status->text();
}

void QuickSelectDlg::propose()
{
    KxDeviceCommand *cmd = m_connector ? m_connector->command() : nullptr;
    if (!cmd || busy())
        return;
    const QuickApplication app = application();
    if (app.symbologies.isEmpty()) {
        KxUi()->warning(kxTr(QStringLiteral("#IDS_QuickSel_NoSymbology")), QStringLiteral("#IDS_Tips"), this);
        return;
    }
    m_changes = QuickSelection::propose(
        app, [cmd](const QString &c) { return cmd->hasCmd(c); }, [cmd](const QString &c) { return cmd->value(c); });
    m_table->setRowCount(m_changes.size());
    for (int r = 0; r < m_changes.size(); ++r) {
        const QuickChange &c = m_changes[r];
        auto *name = new QTableWidgetItem(settingName(c.code));
        name->setFlags(name->flags() | Qt::ItemIsUserCheckable);
        name->setCheckState(Qt::Checked);
        m_table->setItem(r, 0, name);
        m_table->setItem(r, 1, new QTableWidgetItem(QString::fromUtf8(c.current)));
        m_table->setItem(r, 2, new QTableWidgetItem(QString::fromUtf8(c.proposed)));
        m_table->setItem(r, 3, new QTableWidgetItem(kxTr(c.reasonKey)));
    }
    m_status->setText(m_changes.isEmpty() ? kxTr(QStringLiteral("#IDS_QuickSel_NothingToChange"))
                                          : kxTr(QStringLiteral("#IDS_QuickSel_Review")));
    m_apply->setEnabled(!m_changes.isEmpty());
}

bool QuickSelectDlg::applyKept()
{
    KxDeviceCommand *cmd = m_connector ? m_connector->command() : nullptr;
    if (!cmd || busy())
        return false;
    QVector<ChangedCmdInfo> kept;
    for (int r = 0; r < m_changes.size(); ++r) {
        if (m_table->item(r, 0)->checkState() != Qt::Checked)
            continue;
        ChangedCmdInfo c;
        c.code = c.name = m_changes[r].code;
        c.value = c.displayValue = m_changes[r].proposed;
        kept << c;
    }
    if (kept.isEmpty())
        return false;
    m_failed.clear();
    m_apply->setEnabled(false);
    m_status->setText(kxTr(QStringLiteral("#IDS_QuickSel_Sending")));
    m_pending = kept.size();
    for (const ChangedCmdInfo &c : kept) {
        // Each change is answered on its own; the window reports once every answer is in.
        if (!cmd->sendCmdAsync(c, this, true, [this, code = c.code, total = kept.size()](bool ok, const QStringList &) {
                if (!ok)
                    m_failed << code;
                if (--m_pending > 0)
                    return;
                m_status->setText(m_failed.isEmpty()
                                      ? kxTr(QStringLiteral("#IDS_QuickSel_Applied")).arg(total)
                                      : kxTr(QStringLiteral("#IDS_QuickSel_Failed")).arg(m_failed.join(QStringLiteral(", "))));
                m_apply->setEnabled(true);
            })) {
            m_failed << c.code;
            --m_pending;
        }
    }
    if (m_pending == 0) {
        m_status->setText(kxTr(QStringLiteral("#IDS_QuickSel_Failed")).arg(m_failed.join(QStringLiteral(", "))));
        m_apply->setEnabled(true);
    }
    return m_pending > 0;
}
