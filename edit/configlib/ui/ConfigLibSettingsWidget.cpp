#include "ConfigLibSettingsWidget.h"

#include "BCodeToolsWidget.h"
#include "ConfigLib.h"
#include "ConfigLibDelegates.h"
#include "ConfigLibDialogs.h"
#include "EditDeviceContext.h"
#include "KxDeviceCommand.h"
#include "KxDeviceConnector.h"
#include "KxI18nUtil.h"
#include "KxUiService.h"

#include <QComboBox>
#include <QDebug>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
const char *const kCellButtonStyle =
    "QPushButton{border:0px; border-radius:0px; background-color:#f0f0f0; font-size:14px; color:#000000;  "
    "text-align: left;} QPushButton:hover,QPushButton:checked{background-color:#1a479f; color:#ffffff;}"
    "QPushButton:disabled{background:#f9f9f9; color:#848484;}";

bool isButtonRow(ConfigLibRow::Kind kind)
{
    switch (kind) {
    case ConfigLibRow::Name:
    case ConfigLibRow::Enable:
    case ConfigLibRow::Codes1D:
    case ConfigLibRow::Codes2D:
    case ConfigLibRow::Led:
    case ConfigLibRow::PreImage:
        return true;
    default:
        return false;
    }
}

QString optionText(const KxItemInfo *item, const QString &value)
{
    if (item) {
        for (const KxFeatureInfo &o : item->options()) {
            if (o.key == value)
                return kxTr(o.text.toString());
        }
    }
    return value;
}
}  // namespace

ConfigLibSettingsWidget::ConfigLibSettingsWidget(QWidget *parent) : IPluginWidget(parent)
{
    setObjectName(QStringLiteral("ConfigLibSettingsWidget"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(8);
    m_tools = new BCodeToolsWidget(this);
    layout->addWidget(m_tools);

    m_copyBar = new QWidget(this);
    m_copyBar->setObjectName(QStringLiteral("widgetCopyBar"));
    m_copyBar->setAttribute(Qt::WA_StyledBackground);
    m_copyBar->setStyleSheet(QStringLiteral(".QWidget{background-color: rgb(240, 240, 240);border-radius:3px;}"
                                            "QLabel,QComboBox,QPushButton{font-size:14px;}"));
    auto *bar = new QHBoxLayout(m_copyBar);
    bar->setContentsMargins(12, 6, 12, 6);
    bar->setSpacing(8);
    m_copyFrom = new QComboBox(m_copyBar);
    m_copyFrom->setObjectName(QStringLiteral("cbxCopyFrom"));
    m_copyFrom->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_copyLabel = new QLabel(kxTr(QStringLiteral("#IDS_CopyTo")), m_copyBar);
    m_copyTo = new QComboBox(m_copyBar);
    m_copyTo->setObjectName(QStringLiteral("cbxCopyTo"));
    m_copyTo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_btnCopy = new QPushButton(kxTr(QStringLiteral("#IDS_Copy")), m_copyBar);
    m_btnCopy->setObjectName(QStringLiteral("btnCopy"));
    m_btnCopy->setCursor(Qt::PointingHandCursor);
    bar->addWidget(m_copyFrom);
    bar->addWidget(m_copyLabel);
    bar->addWidget(m_copyTo);
    bar->addWidget(m_btnCopy);
    bar->addStretch(1);
    layout->addWidget(m_copyBar);

    m_table = new QTableWidget(this);
    m_table->setObjectName(QStringLiteral("tableWidget"));
    m_table->setEditTriggers(QAbstractItemView::AllEditTriggers);
    m_table->setSelectionMode(QAbstractItemView::NoSelection);
    m_table->verticalHeader()->setDefaultSectionSize(34);
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_table->horizontalHeader()->setMinimumSectionSize(140);
    m_table->setStyleSheet(QStringLiteral("QTableWidget{font-size:14px; background:#ffffff;}"
                                          "QHeaderView::section{font-size:14px; padding:4px 8px;}"));
    layout->addWidget(m_table, 1);

    connect(m_table, &QTableWidget::itemChanged, this, &ConfigLibSettingsWidget::on_tableWidget_itemChanged);
    connect(m_btnCopy, &QPushButton::clicked, this, &ConfigLibSettingsWidget::copy);
    connect(m_tools, &BCodeToolsWidget::OnSignalConfigLibStreamMode, this,
            &ConfigLibSettingsWidget::OnSignalConfigLibStreamMode);
    connect(m_tools, &BCodeToolsWidget::OnSignalBtnDeviceLogClick, this,
            &ConfigLibSettingsWidget::OnSignalBtnDeviceLogClick);
}

ConfigLibSettingsWidget::~ConfigLibSettingsWidget()
{
    // The rows point into the pages.
    m_rows.clear();
}

KxDeviceCommand *ConfigLibSettingsWidget::command() const
{
    return m_connector ? m_connector->command() : nullptr;
}

bool ConfigLibSettingsWidget::openDeviceById(const QString &deviceId, const QVariant &param)
{
    Q_UNUSED(param)
    return m_connector && m_connector->deviceId() == deviceId;
}

bool ConfigLibSettingsWidget::openDevice(QPointer<KxDeviceConnector> connector, const QVariant &param)
{
    Q_UNUSED(param)
    qInfo().noquote() << "ConfigLibSettingsWidget::openDevice()..." << (connector ? connector->deviceId() : QString());
    m_connector = connector;
    KxDeviceCommand *cmd = command();
    if (!cmd || !cmd->hasCmd(QStringLiteral("MPCADD")))
        return false;
    m_tools->setDevice(connector);
    qDeleteAll(m_sets);
    m_sets = ConfigLib::load(KxDeviceCommandPtr(cmd), this);
    for (ConfigLib *set : qAsConst(m_sets)) {
        connect(set, &ConfigLib::configChanged, this,
                [this](int id, const QString &key, const QString &) { onConfigChanged(id, key); });
        connect(set, &ConfigLib::applied, this, [this](bool ok) {
            if (!ok)
                KxUi()->toast(kxTr(QStringLiteral("#IDS_ConfigSetFailed")), 3000, this);
        });
    }
    m_modelDir = EditDeviceContext::modelDir(connector);
    m_rows.clear();
    m_pages = EditDeviceContext::loadPage(m_modelDir, QStringLiteral("ConfigLib Settings"));
    m_rows = ConfigLibRows::build(m_pages.get(), [cmd](const QString &code) { return cmd->hasCmd(code); });
    m_families.clear();
    for (const QString &f : {QStringLiteral("1D"), QStringLiteral("2D")}) {
        const auto pages = EditDeviceContext::loadPage(m_modelDir, f);
        QList<QPair<QString, QString>> codes;
        if (pages) {
            for (const KxPageInfo *p : pages->pages) {
                if (cmd->hasCmd(p->id))
                    codes.append({p->id, kxTr(p->displayName)});
            }
        }
        m_families.insert(f, codes);
    }
    fillCopyBar();
    buildTable();
    return true;
}

void ConfigLibSettingsWidget::fillCopyBar()
{
    m_copyFrom->clear();
    m_copyTo->clear();
    m_copyFrom->addItem(kxTr(QStringLiteral("#IDS_CurrentConfigLib")), CurrentSettingsId);
    for (const ConfigLib *set : qAsConst(m_sets)) {
        m_copyFrom->addItem(QStringLiteral("%1").arg(set->id()), set->id());
        m_copyTo->addItem(QStringLiteral("%1").arg(set->id()), set->id());
    }
    // With one set there is nothing to copy between.
    m_copyBar->setVisible(m_sets.size() > 1);
}

int ConfigLibSettingsWidget::rowOf(const QString &key) const
{
    for (int i = 0; i < m_rows.size(); ++i) {
        if (m_rows[i].key == key || m_rows[i].codes.contains(key))
            return i;
    }
    return -1;
}

int ConfigLibSettingsWidget::columnOf(int id) const
{
    for (int i = 0; i < m_sets.size(); ++i) {
        if (m_sets[i]->id() == id)
            return i;
    }
    return -1;
}

void ConfigLibSettingsWidget::buildTable()
{
    m_filling = true;
    m_table->clear();
    m_table->setColumnCount(m_sets.size());
    m_table->setRowCount(m_rows.size());
    QStringList headers;
    for (const ConfigLib *set : qAsConst(m_sets))
        headers << kxTr(QStringLiteral("#IDS_ConfigSetColumn")).arg(set->id());
    m_table->setHorizontalHeaderLabels(headers);
    QStringList titles;
    for (const ConfigLibRow &row : qAsConst(m_rows))
        titles << kxTr(row.title);
    m_table->setVerticalHeaderLabels(titles);
    for (int r = 0; r < m_rows.size(); ++r) {
        const ConfigLibRow &row = m_rows[r];
        QAbstractItemDelegate *old = m_table->itemDelegateForRow(r);
        QAbstractItemDelegate *delegate = nullptr;
        switch (row.kind) {
        case ConfigLibRow::RetryCount:
            delegate = new CESpinBoxDelegate(1, ConfigLibRecord::MaxRetryCount, 1, m_table);
            break;
        case ConfigLibRow::ImageGroup: {
            CEComboBoxDelegate::Options options;
            for (int g : ConfigLibRows::imageGroups())
                options.append({g < 0 ? kxTr(QStringLiteral("#IDS_ConfigNoImageGroup")) : QString::number(g), g});
            delegate = new CEComboBoxDelegate(options, m_table);
            break;
        }
        case ConfigLibRow::TaskNo:
            delegate = new CETaskNoDelegate(m_table);
            break;
        case ConfigLibRow::Spin:
            delegate = new CESpinBoxDelegate(row.item->attribute(QStringLiteral("Minimum"), 0).toInt(),
                                             row.item->attribute(QStringLiteral("Maximum"), 65535).toInt(),
                                             row.item->attribute(QStringLiteral("Step"), 1).toInt(), m_table);
            break;
        case ConfigLibRow::Combo: {
            CEComboBoxDelegate::Options options;
            for (const KxFeatureInfo &o : row.item->options())
                options.append({kxTr(o.text.toString()), o.key});
            delegate = new CEComboBoxDelegate(options, m_table);
            break;
        }
        default:
            break;
        }
        m_table->setItemDelegateForRow(r, delegate);
        delete old;
        for (int c = 0; c < m_sets.size(); ++c) {
            if (isButtonRow(row.kind)) {
                auto *b = new QPushButton(m_table);
                b->setObjectName(QStringLiteral("btnCell_%1_%2").arg(row.key).arg(m_sets[c]->id()));
                // The button texts start where the number cells' texts do.
                b->setStyleSheet(QLatin1String(kCellButtonStyle) + QStringLiteral("QPushButton{padding-left:4px;}"));
                b->setCursor(Qt::PointingHandCursor);
                connect(b, &QPushButton::clicked, this, [this, r, c] { openCell(r, c); });
                m_table->setCellWidget(r, c, b);
            } else {
                m_table->setItem(r, c, new QTableWidgetItem);
            }
        }
    }
    m_filling = false;
    for (int c = 0; c < m_sets.size(); ++c)
        refreshColumn(c);
}

QPushButton *ConfigLibSettingsWidget::cellButton(int row, int column) const
{
    return qobject_cast<QPushButton *>(m_table->cellWidget(row, column));
}

QString ConfigLibSettingsWidget::cellText(int row, int column) const
{
    if (QPushButton *b = cellButton(row, column))
        return b->text();
    const QTableWidgetItem *item = m_table->item(row, column);
    return item ? item->text() : QString();
}

QString ConfigLibSettingsWidget::runningValue(const QString &code) const
{
    KxDeviceCommand *cmd = command();
    return cmd ? cmd->valueText(code) : QString();
}

QString ConfigLibSettingsWidget::setValueText(ConfigLib *set, const QString &code) const
{
    // A code the set does not hold runs with the reader's own value.
    const QVariant v = set->read(code);
    return v.type() == QVariant::Bool ? runningValue(code) : v.toString();
}

QList<QPair<QString, QString>> ConfigLibSettingsWidget::family(const QString &f) const
{
    return m_families.value(f);
}

QString ConfigLibSettingsWidget::familySummary(ConfigLib *set, const QString &f) const
{
    const auto codes = family(f);
    int on = 0;
    for (const auto &c : codes)
        on += setValueText(set, c.first) == QLatin1String("1");
    if (codes.isEmpty())
        return QStringLiteral("-");
    if (on == 0)
        return kxTr(QStringLiteral("#IDS_BarCodeIsDisable"));
    return kxTr(QStringLiteral("#IDS_ConfigCodesOn")).arg(on).arg(codes.size());
}

void ConfigLibSettingsWidget::refreshColumn(int column)
{
    if (column < 0 || column >= m_sets.size())
        return;
    for (int r = 0; r < m_rows.size(); ++r)
        refreshCell(r, column);
    if (QTableWidgetItem *h = m_table->horizontalHeaderItem(column))
        h->setToolTip(m_sets[column]->name());
}

void ConfigLibSettingsWidget::refreshCell(int row, int column)
{
    ConfigLib *set = m_sets.value(column);
    if (!set || row < 0 || row >= m_rows.size())
        return;
    const ConfigLibRow &r = m_rows[row];
    const bool wasFilling = m_filling;
    m_filling = true;
    if (QPushButton *b = cellButton(row, column)) {
        QString text;
        switch (r.kind) {
        case ConfigLibRow::Name:
            text = set->name();
            break;
        case ConfigLibRow::Enable:
            text = kxTr(set->isEnabled() ? QStringLiteral("#IDS_Toggle_On") : QStringLiteral("#IDS_Toggle_Off"));
            break;
        case ConfigLibRow::Codes1D:
            text = familySummary(set, QStringLiteral("1D"));
            break;
        case ConfigLibRow::Codes2D:
            text = familySummary(set, QStringLiteral("2D"));
            break;
        case ConfigLibRow::Led: {
            QStringList zones;
            for (const QString &v : setValueText(set, r.key).split(QLatin1Char('|'), Qt::SkipEmptyParts))
                zones << optionText(r.item, v);
            text = zones.isEmpty() ? kxTr(QStringLiteral("#IDS_Toggle_Off")) : zones.join(QStringLiteral(", "));
            break;
        }
        case ConfigLibRow::PreImage: {
            QStringList parts;
            for (const QString &code : r.codes) {
                const KxItemInfo *item = m_pages ? m_pages->findItem(code) : nullptr;
                parts << optionText(item, setValueText(set, code));
            }
            text = parts.join(QStringLiteral(" / "));
            break;
        }
        default:
            break;
        }
        b->setText(text);
        b->setToolTip(text);
    } else if (QTableWidgetItem *item = m_table->item(row, column)) {
        switch (r.kind) {
        case ConfigLibRow::RetryCount:
            item->setData(Qt::EditRole, set->retryCount());
            break;
        case ConfigLibRow::ImageGroup: {
            const QVariant g = set->read(ConfigLib::KeyImageGroupNo);
            const int group = g.type() == QVariant::Bool ? -1 : g.toInt();
            item->setData(CEComboBoxDelegate::ValueRole, group);
            item->setData(Qt::DisplayRole, group < 0 ? kxTr(QStringLiteral("#IDS_ConfigNoImageGroup"))
                                                     : QString::number(group));
            break;
        }
        case ConfigLibRow::TaskNo: {
            const QVariant t = set->read(ConfigLib::KeyTaskNo);
            const bool none = t.type() == QVariant::Bool;
            item->setData(CETaskNoDelegate::DisabledRole, none);
            item->setData(CEComboBoxDelegate::ValueRole, none ? 1 : t.toInt());
            item->setData(Qt::DisplayRole, none ? kxTr(QStringLiteral("#ID_STRING_Disabled")) : t.toString());
            item->setForeground(none ? QColor(0x84, 0x84, 0x84) : QColor(Qt::black));
            break;
        }
        case ConfigLibRow::Spin:
            item->setData(Qt::EditRole, setValueText(set, r.key).toInt());
            break;
        case ConfigLibRow::Combo: {
            const QString v = setValueText(set, r.key);
            item->setData(CEComboBoxDelegate::ValueRole, v);
            item->setData(Qt::DisplayRole, optionText(r.item, v));
            break;
        }
        default:
            break;
        }
    }
    m_filling = wasFilling;
}

void ConfigLibSettingsWidget::on_tableWidget_itemChanged(QTableWidgetItem *item)
{
    if (m_filling || !item)
        return;
    ConfigLib *set = m_sets.value(item->column());
    if (!set || item->row() < 0 || item->row() >= m_rows.size())
        return;
    const ConfigLibRow &r = m_rows[item->row()];
    QVariant value;
    QString now;
    switch (r.kind) {
    case ConfigLibRow::RetryCount:
        value = item->data(Qt::EditRole).toInt();
        now = QString::number(set->retryCount());
        break;
    case ConfigLibRow::ImageGroup: {
        value = item->data(CEComboBoxDelegate::ValueRole).toInt();
        const QVariant g = set->read(ConfigLib::KeyImageGroupNo);
        now = QString::number(g.type() == QVariant::Bool ? -1 : g.toInt());
        break;
    }
    case ConfigLibRow::TaskNo:
        value = item->data(CEComboBoxDelegate::ValueRole).toInt();
        now = set->read(ConfigLib::KeyTaskNo).toString();
        break;
    case ConfigLibRow::Spin:
        value = QString::number(item->data(Qt::EditRole).toInt());
        now = setValueText(set, r.key);
        break;
    case ConfigLibRow::Combo:
        value = item->data(CEComboBoxDelegate::ValueRole).toString();
        now = setValueText(set, r.key);
        break;
    default:
        return;
    }
    if (value.toString() == now)
        return;
    qInfo().noquote() << "ConfigLibSettingsWidget::on_tableWidget_itemChanged()..." << set->id() << r.key << value;
    set->setValue(r.key, value, true);
}

QWidget *ConfigLibSettingsWidget::openCell(int row, int column)
{
    ConfigLib *set = m_sets.value(column);
    if (!set || row < 0 || row >= m_rows.size())
        return nullptr;
    const ConfigLibRow &r = m_rows[row];
    const auto running = [this](const QString &code) { return runningValue(code); };
    switch (r.kind) {
    case ConfigLibRow::Name: {
        QStringList others;
        for (const ConfigLib *s : qAsConst(m_sets)) {
            if (s != set)
                others << s->name();
        }
        ConfigLibRenameDlg::run(set, others, this);
        return nullptr;
    }
    case ConfigLibRow::Enable:
        ConfigLibEnableDlg::run(set, this);
        return nullptr;
    case ConfigLibRow::Codes1D:
    case ConfigLibRow::Codes2D: {
        const QString f = r.kind == ConfigLibRow::Codes1D ? QStringLiteral("1D") : QStringLiteral("2D");
        QList<TablePopupDlg::Entry> entries;
        for (const auto &c : family(f))
            entries.append({c.first, c.second, setValueText(set, c.first) == QLatin1String("1")});
        auto *dlg = new TablePopupDlg(set, f, entries, this);
        dlg->setAttribute(Qt::WA_DeleteOnClose);
        dlg->open();
        return dlg;
    }
    case ConfigLibRow::Led:
    case ConfigLibRow::PreImage: {
        auto pages = EditDeviceContext::loadPage(m_modelDir, QStringLiteral("ConfigLib Settings"));
        ConfigLibItemsPopup *dlg = nullptr;
        if (r.kind == ConfigLibRow::Led)
            dlg = new LedPopupDlg(set, std::move(pages), r.codes, running, QStringLiteral("#IDS_ConfigLedRow"), this);
        else
            dlg = new PreImagePopupDlg(set, std::move(pages), r.codes, running,
                                       QStringLiteral("#IDS_ConfigPreImageRow"), this);
        dlg->setAttribute(Qt::WA_DeleteOnClose);
        dlg->open();
        return dlg;
    }
    default:
        // Number and option cells edit in place.
        if (QTableWidgetItem *item = m_table->item(row, column))
            m_table->editItem(item);
        return nullptr;
    }
}

void ConfigLibSettingsWidget::copy()
{
    const int from = m_copyFrom->currentData().toInt();
    const int to = m_copyTo->currentData().toInt();
    ConfigLib *target = m_sets.value(columnOf(to));
    if (!target)
        return;
    if (from == to) {
        KxUi()->toast(kxTr(QStringLiteral("#IDS_ConfigCopySame")), 3000, this);
        return;
    }
    ConfigLibRecord source;
    const bool fromSet = from != CurrentSettingsId;
    if (fromSet) {
        ConfigLib *s = m_sets.value(columnOf(from));
        if (!s)
            return;
        source = s->edited();
    }
    const QMap<QString, QVariant> values = ConfigLibRows::copyValues(
        fromSet ? &source : nullptr, target->edited(),
        [this](const QString &code) { return runningValue(code).toUtf8(); });
    qInfo().noquote() << "ConfigLibSettingsWidget::copy()..." << from << "to" << to << values.keys();
    if (!values.isEmpty())
        target->setValues(values, true);
}

void ConfigLibSettingsWidget::onConfigChanged(int id, const QString &key)
{
    const int column = columnOf(id);
    refreshColumn(column);
    ConfigLib *set = m_sets.value(column);
    if (key.isEmpty() || key == ConfigLib::KeyEnable)
        emit OnSignalConfigLibEnable();
    if (set && key == ConfigLib::KeyName)
        emit OnSignalConfigLibNameChange(id, set->name());
}

void ConfigLibSettingsWidget::OnSlotConfigLibNameChange(int nConfigLibID, const QString &strLibName)
{
    Q_UNUSED(strLibName)
    refreshColumn(columnOf(nConfigLibID));
}

void ConfigLibSettingsWidget::OnCmdChanged(const QStringList &cmds, bool bEmitValueChanged)
{
    Q_UNUSED(cmds)
    Q_UNUSED(bEmitValueChanged)
    // Cells a set leaves to the reader show its running values; any change may touch them.
    for (int c = 0; c < m_sets.size(); ++c)
        refreshColumn(c);
}
