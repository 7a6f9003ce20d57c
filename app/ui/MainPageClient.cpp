#include "MainPageClient.h"

#include "DeviceInfoWidget.h"
#include "DeviceListLogic.h"
#include "DeviceListWidget.h"
#include "KxDeviceConnector.h"
#include "KxDeviceKit.h"
#include "KxDeviceTypes.h"
#include "KxI18nUtil.h"
#include "KxLoginedDevicesManage.h"
#include "KxSettings.h"
#include "MainFrame.h"
#include "MainPageButtons.h"
#include "NetGroupEditWidget.h"
#include "StatisticsSelectDlg.h"
#include "USBDeviceManager.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDebug>
#include <QStackedWidget>
#include <QTimer>

MainPageClient::MainPageClient(QWidget *parent) : IMainFramePanel(parent)
{
    buildUi();
    m_selector = [](QWidget *parent, const QList<KxDeviceInfoMap> &readers) {
        StatisticsSelectDlg dlg(readers, parent);
        return dlg.exec() == QDialog::Accepted ? dlg.selectedDeviceIds() : QStringList();
    };

    DeviceListWidget *list = m_deviceList;
    connect(list, &DeviceListWidget::deviceListChanged, this, &MainPageClient::OnDeviceListChanged);
    connect(list, &DeviceListWidget::deviceClicked, this, &MainPageClient::OnDeviceClicked);
    connect(list, &DeviceListWidget::deviceDClicked, this, &MainPageClient::OnDeviceDClicked);
    connect(list, &DeviceListWidget::readyToEditNetGroup, this,
            &MainPageClient::readyToEditNetGroupSlot);
    connect(list, &DeviceListWidget::finishEditNetGroup, this,
            &MainPageClient::finishEditNetGroupSlot);
    connect(list, &DeviceListWidget::deviceBlink, this, &MainPageClient::deviceBlink);
    // The editing view's "add to group" button puts the reader into the editor's chosen group;
    // every change in the editor is mirrored by the list's editing view.
    connect(list, &DeviceListWidget::addDevToNetGroup, m_groupEditor,
            &NetGroupEditWidget::addReaderFromList);
    connect(m_groupEditor, &NetGroupEditWidget::groupsChanged, this,
            [this] { emit signal_netGroupListRefresh(m_groupEditor->maps()); });
    connect(this, &MainPageClient::signal_deviceRefresh, list,
            &DeviceListWidget::OnBtnRefreshClicked);
    connect(this, &MainPageClient::signal_editNetGroup, list,
            &DeviceListWidget::OnGroupEditBtnClicked);
    connect(this, &MainPageClient::signal_netGroupListRefresh, list,
            &DeviceListWidget::editNetGroupListRefresh);
    connect(this, &MainPageClient::signal_rebackDeviceListWidget, list,
            &DeviceListWidget::RebackDeviceListWidget);
    connect(USBDeviceManager::instance(), &USBDeviceManager::signal_DeviceChange, list,
            &DeviceListWidget::OnDeviceChange);
    connect(KxDeviceKit::Instance(), &KxDeviceKit::deviceUpdated, this,
            &MainPageClient::OnDeviceUpdated);
    connect(m_infoWidget, &DeviceInfoWidget::signal_connectChanged, this,
            &MainPageClient::OnDeviceConnectChanged);

    const QStringList args = QCoreApplication::arguments();
    const int at = args.indexOf(QStringLiteral("--select"));
    if (at > 0 && at + 1 < args.size())
        m_startSelection = args.at(at + 1);
    const int open = args.indexOf(QStringLiteral("--open"));
    if (open > 0 && open + 1 < args.size())
        m_startOpenMode = startOpenMode(args.at(open + 1));
}

int MainPageClient::startOpenMode(const QString &name)
{
    if (name == QLatin1String("quick"))
        return DeviceEditMode_QuickSettings;
    if (name == QLatin1String("advanced"))
        return DeviceEditMode_AdvancedSettings;
    return DeviceEditMode_None;
}

MainPageClient::~MainPageClient() = default;

QAbstractButton *MainPageClient::button(const QString &objectName) const
{
    return m_buttons.value(objectName);
}

bool MainPageClient::openDeviceById(const QString &, const QVariant &)
{
    return true;
}

void MainPageClient::enter(const QVariant &)
{
    // Back from an edit page: the reader it had may have been released meanwhile.
    if (auto *home = button(QStringLiteral("Id_Btn_MainPage")))
        home->setChecked(true);
    if (m_connector)
        m_infoWidget->setConnected(m_connector->isConnected()
                                   && m_connector->state() == DeviceState_LoggedIn);
}

bool MainPageClient::closing(const QVariant &)
{
    qInfo() << "MainPageClient::closing()...";
    return true;
}

void MainPageClient::unavailable()
{
    MainFrame::showToast(QStringLiteral("#IDS_FunctionUnavailable_Tips"));
}

// ---- selection -------------------------------------------------------------------------------

void MainPageClient::OnDeviceListChanged()
{
    if (m_deviceList->hasSelection())
        return;
    // Nothing selected any more: the details of a vanished reader must not linger.
    m_stackInfo->setCurrentWidget(m_pageTips);
    m_infoWidget->clear();
}

void MainPageClient::applyButtonVisibility(const KxDeviceInfoMap &info)
{
    const bool debug = KxSettings::instance()
                           ->value(QStringLiteral("DEBUG"), QStringLiteral("barcode"),
                                   QStringLiteral("0"))
                           .toString()
        == QLatin1String("1");
    const MainPageButtons::Visibility v = MainPageButtons::visibility(info, debug);
    button(QStringLiteral("Id_Btn_VisionSettings"))->setVisible(v.vision);
    button(QStringLiteral("Id_Btn_QuickSettings"))->setVisible(v.quick);
    button(QStringLiteral("Id_Btn_AdvancedSettings"))->setVisible(v.advanced);
    button(QStringLiteral("Id_Btn_NetworkSettings"))->setVisible(v.network);
    button(QStringLiteral("Id_Btn_NetworkGroupEdit"))->setVisible(v.groupEdit);
    button(QStringLiteral("Id_Btn_FirmwareUpgrade"))->setVisible(v.firmware);
}

void MainPageClient::selectConnector(const QString &deviceId, const KxDeviceInfoMap &info)
{
    QPointer<KxDeviceConnector> connector = KxLoginedDevicesManage::instance()->device(deviceId);
    if (m_connector && m_connector != connector && m_connector->deviceId() != deviceId) {
        disconnect(m_connector, nullptr, this, nullptr);
        // A connector nobody registered belongs to this page alone.
        if (!KxLoginedDevicesManage::instance()->containsConnector(m_connector)
            && !m_connector->isConnected())
            m_connector->deleteLater();
        m_connector = nullptr;
    }
    if (!connector)
        connector = m_connector && m_connector->deviceId() == deviceId
            ? m_connector
            : QPointer<KxDeviceConnector>(new KxDeviceConnector(deviceId, this));
    connector->setDeviceInfo(info);
    m_connector = connector;
    m_deviceId = deviceId;
    disconnect(m_connector, &KxDeviceConnector::deviceStateChanged, this, nullptr);
    connect(m_connector, &KxDeviceConnector::deviceStateChanged, this,
            &MainPageClient::OnDeviceStateChanged);
}

void MainPageClient::OnDeviceClicked(QString device_id, KxDeviceInfoMap device_info)
{
    qDebug() << "MainPageClient::OnDeviceClicked()..." << device_id;
    m_stackInfo->setCurrentWidget(m_pageInfo);
    applyButtonVisibility(device_info);
    selectConnector(device_id, device_info);
    m_infoWidget->setDevice(device_id, device_info);
    m_infoWidget->setConnectEnabled(!MainPageButtons::isOffLine(device_info)
                                    && DeviceListLogic::isOnline(device_info));
    m_infoWidget->setConnected(m_connector->isConnected()
                               && m_connector->state() == DeviceState_LoggedIn);
}

void MainPageClient::OnDeviceDClicked(QString device_id, KxDeviceInfoMap device_info)
{
    qDebug() << "MainPageClient::OnDeviceDClicked()..." << device_id;
    if (m_deviceId != device_id || !m_connector)
        OnDeviceClicked(device_id, device_info);
    connectToEdit(MainPageButtons::doubleClickMode(device_info));
}

void MainPageClient::OnDeviceUpdated(const QString &device_id,
                                     const QMap<QString, QString> &device_info)
{
    if (!m_startSelection.isEmpty()
        && (device_id == m_startSelection
            || device_info.value(QStringLiteral("Serial Number")) == m_startSelection
            || device_info.value(QStringLiteral("Ip Address")) == m_startSelection)) {
        m_startSelection.clear();
        m_deviceList->OnDeviceClicked(QString(), device_id);
        if (m_startOpenMode != DeviceEditMode_None) {
            const auto mode = DeviceEditMode(m_startOpenMode);
            m_startOpenMode = DeviceEditMode_None;
            // Not from inside the kit's signal: opening logs in and waits for the reader.
            QTimer::singleShot(0, this, [this, mode] { connectToEdit(mode); });
        }
        return;
    }
    if (device_id != m_deviceId || !m_connector || m_stackInfo->currentWidget() != m_pageInfo)
        return;
    // The list keeps its own copy with the local alias; take that one when it has the reader.
    KxDeviceInfoMap info = m_deviceList->deviceInfo(device_id);
    if (info.isEmpty())
        info = device_info;
    m_connector->setDeviceInfo(info);
    applyButtonVisibility(info);
    m_infoWidget->setDevice(device_id, info);
}
