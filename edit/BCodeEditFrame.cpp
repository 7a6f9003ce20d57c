#include "BCodeEditFrame.h"

#include "AdvancedSettingsWidget.h"
#include "BCodeToolsWidget.h"
#include "ConfigLib.h"
#include "ConfigLibSettingsWidget.h"
#include "DeviceEditClient.h"
#include "DoSaveChangedCmds.h"
#include "EditDeviceContext.h"
#include "EditFrameParts.h"
#include "EditIcons.h"
#include "EditLogic.h"
#include "KxDeviceCommand.h"
#include "KxControlEvents.h"
#include "KxDeviceConnector.h"
#include "KxI18nUtil.h"
#include "KxLoginedDevicesManage.h"
#include "QualityDlg.h"
#include "QuickSettingsWidget.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCoreApplication>
#include <QDebug>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
QPointer<BCodeEditFrame> g_live;
}  // namespace

BCodeEditFrame::BCodeEditFrame(QWidget *parent) : IPluginWidget(parent)
{
    setObjectName(QStringLiteral("BCodeEditFrame"));
    g_live = this;
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_toolbarStack = new QStackedWidget(this);
    m_toolbarStack->setFixedHeight(56);
    m_toolbar = EditFrameParts::makeToolbar(m_toolbarStack, &m_toolbarLayout);
    m_toolbarStack->addWidget(m_toolbar);
    m_toolGroup = new QButtonGroup(this);
    m_toolGroup->setExclusive(true);
    m_pageStack = new QStackedWidget(this);
    m_pageStack->setObjectName(QStringLiteral("stackPages"));
    layout->addWidget(m_toolbarStack);
    layout->addWidget(m_pageStack, 1);
}

BCodeEditFrame::~BCodeEditFrame()
{
    if (g_live == this)
        g_live = nullptr;
    if (m_deviceLog)
        m_deviceLog->deleteLater();
    if (m_training)
        m_training->deleteLater();
}

BCodeEditFrame *BCodeEditFrame::live()
{
    return g_live.data();
}

QWidget *BCodeEditFrame::currentPage() const
{
    return m_pageStack->currentWidget();
}

QToolButton *BCodeEditFrame::toolButton(const QString &objectName) const
{
    return m_toolbar->findChild<QToolButton *>(objectName);
}

bool BCodeEditFrame::openDeviceById(const QString &deviceId, const QVariant &param)
{
    qInfo().noquote() << "BCodeEditFrame::openDeviceById()..." << deviceId << param;
    QPointer<KxDeviceConnector> connector = KxLoginedDevicesManage::instance()->device(deviceId);
    if (!connector || !connector->command())
        return false;
    m_connector = connector;
    m_deviceId = connector->deviceId();
    const QString modelDir = EditDeviceContext::modelDir(connector);
    EditDeviceContext::prepareModel(modelDir);
    buildToolbar();
    const int start = param.isValid() ? param.toInt() : 0;
    EditDeviceContext::loadLayoutConditions(connector->command(), modelDir);
    disconnect(m_historyLink);
    m_historyLink = connect(connector->command(), &KxDeviceCommand::signal_ChangedCmdsHistoryChange,
                            this, &BCodeEditFrame::updateUnsaved);
    updateUnsaved();
    switchPage(start);
    return true;
}

QToolButton *BCodeEditFrame::addToolButton(const QString &id, const QString &textKey, const QString &icon)
{
    QToolButton *b = EditFrameParts::addToolButton(m_toolbar, m_toolbarLayout, m_toolGroup, id, textKey, icon);
    connect(b, &QToolButton::clicked, this, &BCodeEditFrame::OnToolBarBtnClicked);
    return b;
}

void BCodeEditFrame::buildToolbar()
{
    for (QAbstractButton *b : m_toolGroup->buttons())
        m_toolGroup->removeButton(b);
    while (QLayoutItem *item = m_toolbarLayout->takeAt(0)) {
        if (QWidget *w = item->widget())
            w->deleteLater();
        delete item;
    }
    m_configLibBtn = nullptr;
    KxDeviceCommand *cmd = m_connector->command();
    auto addMenu = [this](QToolButton *b, const QList<QPair<QString, QString>> &entries,
                          const QList<void (BCodeEditFrame::*)()> &handlers) {
        auto *menu = new QMenu(b);
        menu->setStyleSheet(QStringLiteral("font-size:14px;"));
        for (int i = 0; i < entries.size(); ++i) {
            QAction *a = menu->addAction(kxTr(entries[i].second));
            a->setObjectName(entries[i].first);
            connect(a, &QAction::triggered, this, handlers[i]);
        }
        b->setMenu(menu);
        b->setPopupMode(QToolButton::InstantPopup);
    };
    addToolButton(QStringLiteral("Id_Btn_MainPage"), QStringLiteral("#IDS_MainPage"), QStringLiteral("mainpage"));
    addMenu(addToolButton(QStringLiteral("Id_Btn_Settings"), QStringLiteral("#IDS_Settings"), QStringLiteral("settings")),
            {{QStringLiteral("menu_local_setting"), QStringLiteral("#IDS_Local_Settings")},
             {QStringLiteral("menu_ftp"), QStringLiteral("#IDS_FTP_Settings")}},
            {&BCodeEditFrame::OnMenuActionTriggered_localSetting, &BCodeEditFrame::OnMenuActionTriggered_Ftp});
    QList<QPair<QString, QString>> tools = {
        {QStringLiteral("menu_pActQuickSelectiontool"), QStringLiteral("#ID_TOOL_QUICK1")},
        {QStringLiteral("menu_barcode"), QStringLiteral("#IDS_SettingCode")},
        {QStringLiteral("menu_compare"), QStringLiteral("#IDS_CompareConfig")}};
    QList<void (BCodeEditFrame::*)()> toolSlots = {&BCodeEditFrame::OnMenuActionTriggered_QuickSelectiontool,
                                                   &BCodeEditFrame::OnMenuActionTriggered_Barcode,
                                                   &BCodeEditFrame::OnMenuActionTriggered_Compare};
    if (cmd->hasCmd(QStringLiteral("WLSBAT"))) {
        tools.append({QStringLiteral("menu_sync"), QStringLiteral("#ID_SYNC1")});
        toolSlots.append(&BCodeEditFrame::OnMenuActionTriggered_Sync);
    }
    // Text-reading model training, for the reader models listed for it.
    if (QCoreApplication::instance()->property("Training_DevPNameList").toStringList().contains(m_connector->productName())) {
        tools.append({QStringLiteral("menu_training"), QStringLiteral("#IDS_Training")});
        toolSlots.append(&BCodeEditFrame::OnMenuActionTriggered_Training);
    }
    addMenu(addToolButton(QStringLiteral("Id_Btn_Tools"), QStringLiteral("#IDS_Tools"), QStringLiteral("tools")),
            tools, toolSlots);
    // Code grading, for readers that grade: a window of its own that follows the results.
    if (cmd->hasCmd(QStringLiteral("INCCQP")) || cmd->hasCmd(QStringLiteral("INCCQS"))) {
        QAction *quality = toolButton(QStringLiteral("Id_Btn_Tools"))->menu()->addAction(kxTr(QStringLiteral("#IDS_Quality_Title")));
        quality->setObjectName(QStringLiteral("menu_quality"));
        connect(quality, &QAction::triggered, this, [this] {
            if (!m_connector)
                return;
            auto *dlg = new QualityDlg(m_connector, this);
            dlg->setAttribute(Qt::WA_DeleteOnClose);
            dlg->setModal(false);
            dlg->show();
        });
    }
    if (cmd->hasCmd(QStringLiteral("MPCADD"))) {
        m_configLibBtn = addToolButton(QStringLiteral("Id_Btn_ConfigLibSettings"),
                                       QStringLiteral("#IDS_ConfigLib_Disable"), QStringLiteral("configlib"));
        m_configLibBtn->setMinimumWidth(140);
        OnSlotConfigLibEnable();
        m_configLibBtn->setVisible(EditLogic::configLibButtonVisible(
            cmd->configurationSets().size(), cmd->value(QStringLiteral("IPPOPM"))));
    }
    addToolButton(QStringLiteral("Id_Btn_QuickSettings"), QStringLiteral("#IDS_QuickSettings"), QStringLiteral("quick"));
    addToolButton(QStringLiteral("Id_Btn_AdvancedSettings"), QStringLiteral("#IDS_AdvancedSettings"),
                  QStringLiteral("advanced"));
    m_toolbarLayout->addStretch(1);
    // Running versus saved: always in sight, a click lists the unsaved changes.
    m_unsaved = new QToolButton(m_toolbar);
    m_unsaved->setObjectName(QStringLiteral("btnUnsaved"));
    m_unsaved->setCursor(Qt::PointingHandCursor);
    connect(m_unsaved, &QToolButton::clicked, this, &BCodeEditFrame::showHistory);
    m_toolbarLayout->addWidget(m_unsaved);
}

void BCodeEditFrame::updateUnsaved()
{
    if (!m_unsaved)
        return;
    const int count = m_connector && m_connector->command() ? m_connector->command()->changedCmds().size() : 0;
    EditFrameParts::showUnsaved(m_unsaved, count);
}

void BCodeEditFrame::showHistory()
{
    if (m_advanced)
        m_advanced->tools()->runTool(QStringLiteral("Id_Btn_ConfigHistory"));
    else if (m_connector) {
        BCodeToolsWidget tools;
        tools.setDevice(m_connector);
        connect(&tools, &BCodeToolsWidget::settingCodeRequested, this,
                &BCodeEditFrame::OnMenuActionTriggered_Barcode);
        tools.runTool(QStringLiteral("Id_Btn_ConfigHistory"));
    }
}

void BCodeEditFrame::checkPageButton()
{
    const QString id = currentPage() == m_quick ? QStringLiteral("Id_Btn_QuickSettings")
        : currentPage() == m_advanced           ? QStringLiteral("Id_Btn_AdvancedSettings")
                                                : QStringLiteral("Id_Btn_ConfigLibSettings");
    if (QToolButton *b = toolButton(id))
        b->setChecked(true);
}

bool BCodeEditFrame::switchPage(int index)
{
    if (!m_connector)
        return false;
    if (index == Page_Quick || index == Page_Advanced) {
        if (QToolButton *b = toolButton(index == Page_Quick ? QStringLiteral("Id_Btn_QuickSettings")
                                                            : QStringLiteral("Id_Btn_AdvancedSettings")))
            b->setChecked(true);
    }
    IPluginWidget *target = nullptr;
    if (index == Page_Quick) {
        if (!m_quick) {
            m_quick = new QuickSettingsWidget(m_pageStack);
            connect(m_quick, &QuickSettingsWidget::OnSignalConfigLibStreamMode, this,
                    &BCodeEditFrame::OnSlotConfigLibStreamMode);
            connect(m_quick, &QuickSettingsWidget::OnSignalConfigLibEnable, this,
                    &BCodeEditFrame::OnSlotConfigLibEnable);
            connect(m_quick, &QuickSettingsWidget::OnSignalBtnDeviceLogClick, this,
                    &BCodeEditFrame::OnSignalBtnDeviceLogClicked);
            connect(this, &BCodeEditFrame::OnSignalConfigLibStreamMode, m_quick,
                    &QuickSettingsWidget::OnSlotConfigLibStreamMode);
            m_pageStack->addWidget(m_quick);
        }
        target = m_quick;
    } else if (index == Page_Advanced) {
        if (!m_advanced) {
            m_advanced = new AdvancedSettingsWidget(m_pageStack);
            connect(m_advanced, &AdvancedSettingsWidget::OnSignalConfigLibStreamMode, this,
                    &BCodeEditFrame::OnSlotConfigLibStreamMode);
            connect(m_advanced, &AdvancedSettingsWidget::OnSignalBtnDeviceLogClick, this,
                    &BCodeEditFrame::OnSignalBtnDeviceLogClicked);
            connect(m_advanced->tools(), &BCodeToolsWidget::settingCodeRequested, this,
                    &BCodeEditFrame::OnMenuActionTriggered_Barcode);
            connect(m_advanced->tools(), &BCodeToolsWidget::mainPageRequested, this,
                    [this] { leaveToMainPage(false); });
            m_pageStack->addWidget(m_advanced);
        }
        target = m_advanced;
    } else if (index == Page_ConfigLib) {
        // The configuration-library page starts afresh every time.
        for (int i = m_pageStack->count() - 1; i >= 0; --i) {
            QWidget *w = m_pageStack->widget(i);
            if (w != m_quick && w != m_advanced) {
                m_pageStack->removeWidget(w);
                w->deleteLater();
            }
        }
        auto *lib = new ConfigLibSettingsWidget(m_pageStack);
        connect(lib, &ConfigLibSettingsWidget::OnSignalConfigLibEnable, this, &BCodeEditFrame::OnSlotConfigLibEnable);
        connect(lib, &ConfigLibSettingsWidget::OnSignalConfigLibNameChange, this,
                &BCodeEditFrame::OnSlotConfigLibNameChange);
        connect(lib, &ConfigLibSettingsWidget::OnSignalConfigLibStreamMode, this,
                &BCodeEditFrame::OnSlotConfigLibStreamMode);
        connect(lib, &ConfigLibSettingsWidget::OnSignalBtnDeviceLogClick, this,
                &BCodeEditFrame::OnSignalBtnDeviceLogClicked);
        if (KxDeviceCommand *cmd = m_connector->command())
            connect(cmd, &KxDeviceCommand::cmdChanged, lib,
                    [lib](const QStringList &cmds, bool) { lib->OnCmdChanged(cmds); });
        m_pageStack->addWidget(lib);
        target = lib;
        if (m_configLibBtn)
            m_configLibBtn->setChecked(true);
    } else {
        return false;
    }
    auto *current = qobject_cast<IPluginWidget *>(m_pageStack->currentWidget());
    if (current && current != target)
        current->deactivate(QVariant());
    m_pageStack->setCurrentWidget(target);
    target->openDevice(m_connector, QVariant());
    target->activate(QVariant());
    return true;
}

bool BCodeEditFrame::checkLeave()
{
    // An editor that still has the focus finishes its edit now, so the change it sends is
    // waited for and asked about with the others.
    EditFrameParts::finishPendingEdit(this);
    if (!m_leaveGuard)
        return false;
    m_leaveGuard = false;
    const bool ok = DoSaveChangedCmds(m_connector, true, true, this);
    m_leaveGuard = true;
    return ok;
}

bool BCodeEditFrame::isBusy()
{
    return m_quick ? m_quick->isBusy() : false;
}

bool BCodeEditFrame::stopBusy()
{
    return m_quick ? m_quick->stopBusy() : true;
}

bool BCodeEditFrame::closing(const QVariant &param)
{
    if (m_quick)
        m_quick->closing(param);
    if (m_advanced)
        m_advanced->deactivate(param);
    return true;
}

void BCodeEditFrame::locate(const QVariant &item)
{
    if (auto *page = qobject_cast<IPluginWidget *>(currentPage()))
        page->locate(item);
}

void BCodeEditFrame::leaveToMainPage(bool ask)
{
    if (ask && !checkLeave()) {
        checkPageButton();
        return;
    }
    if (m_deviceLog)
        m_deviceLog->close();
    closing(QVariant());
    DeviceEditClient::showMainPage();
}

void BCodeEditFrame::OnToolBarBtnClicked()
{
    if (!m_connector || !sender())
        return;
    const QString id = sender()->objectName();
    qInfo().noquote() << "BCodeEditFrame::OnToolBarBtnClicked()..." << id;
    if (id == QLatin1String("Id_Btn_MainPage"))
        leaveToMainPage(true);
    else if (id == QLatin1String("Id_Btn_QuickSettings"))
        switchPage(Page_Quick);
    else if (id == QLatin1String("Id_Btn_AdvancedSettings"))
        switchPage(Page_Advanced);
    else if (id == QLatin1String("Id_Btn_ConfigLibSettings"))
        switchPage(Page_ConfigLib);
}

void BCodeEditFrame::OnSlotConfigLibStreamMode(bool bVisible)
{
    if (m_connector && m_configLibBtn && m_connector->command())
        m_configLibBtn->setVisible(m_connector->command()->configurationSets().size() >= 2 && !bVisible);
    emit OnSignalConfigLibStreamMode(bVisible);
    if (bVisible && sender() != m_quick && sender() != m_advanced)
        switchPage(Page_Quick);
}

void BCodeEditFrame::OnSlotConfigLibEnable()
{
    if (!m_configLibBtn || !m_connector || !m_connector->command())
        return;
    const bool enabled = ConfigLib::anyEnabled(KxDeviceCommandPtr(m_connector->command()));
    m_configLibBtn->setText(kxTr(enabled ? QStringLiteral("#IDS_ConfigLib_Enable")
                                         : QStringLiteral("#IDS_ConfigLib_Disable")));
}

void BCodeEditFrame::OnSlotConfigLibNameChange(int nConfigLibID, const QString &strLibName)
{
    if (auto *lib = qobject_cast<ConfigLibSettingsWidget *>(currentPage()))
        lib->OnSlotConfigLibNameChange(nConfigLibID, strLibName);
}
