// Opening readers from the main page: edit requests, the connect switch, tool bar and menus.
#include "BCodeEditFrame.h"
#include "ChangeNetworkSettingDlg.h"
#include "DeviceBlink.h"
#include "DeviceInfoWidget.h"
#include "DeviceListWidget.h"
#include "FirmwareUpgradeDlg.h"
#include "KxDeviceConnector.h"
#include "KxDeviceKit.h"
#include "KxDeviceTypes.h"
#include "KxDialogRunner.h"
#include "KxI18nUtil.h"
#include "KxLoginedDevicesManage.h"
#include "KxUiService.h"
#include "LogUpdateDlg.h"
#include "MainFrame.h"
#include "MainPageButtons.h"
#include "MainPageClient.h"
#include "NDeviceList.h"
#include "NDeviceListItem.h"
#include "NetGroupEditWidget.h"
#include "SendCmdDlg.h"
#include "SetCodeDialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDebug>
#include <QStackedWidget>
#include <QTimer>

namespace
{
const char *const kPassword = "719364";

struct FlagRestore {
    bool &flag;
    ~FlagRestore() { flag = true; }
};

// What a failed open tells the user. A camera is reachable but its vision session cannot be
// opened by this version: saying "could not connect" would send the user to the cabling.
QString openFailureText(const KxDeviceConnector *connector, int loginCode)
{
    if (connector && connector->isVision() && !connector->visionError().isEmpty()
        && loginCode != KxDeviceConnector::Login_Cancelled)
        return kxTr(QStringLiteral("#IDS_VisionOpenFailed_Tips")).arg(connector->visionError());
    return kxTr(QStringLiteral("#IDS_DeviceConnectFail_Errcode")).arg(loginCode);
}

// Lets the waiting dialog paint before a blocking kit call.
void letWaitingShow()
{
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}
} // namespace

QList<KxDeviceInfoMap> MainPageClient::statisticsCandidates() const
{
    QList<KxDeviceInfoMap> readers;
    for (NDeviceListItem *item : m_deviceList->allDeviceList()->allDevices()) {
        KxDeviceInfoMap info = item->deviceInfo();
        if (MainPageButtons::isOffLine(info))
            continue; // descriptions have no counters to read
        info.insert(QStringLiteral("Device Id"), item->deviceId());
        readers.append(info);
    }
    return readers;
}

void MainPageClient::connectToEdit(DeviceEditMode mode)
{
    if (!m_connector || mode == DeviceEditMode_None || !m_editRequest
        || m_connector->isLoggingIn()) {
        qDebug() << "MainPageClient::connectToEdit()...ignored" << mode << m_editRequest;
        return;
    }
    m_editRequest = false;
    FlagRestore restore{m_editRequest};
    m_pendingMode = mode;
    MainFrame::setDeviceChangeNotifications(false);
    qInfo() << "MainPageClient::connectToEdit()..." << m_deviceId << mode;

    if (mode == DeviceEditMode_Statistics) {
        const QStringList ids = m_selector ? m_selector(this, statisticsCandidates())
                                           : QStringList();
        m_pendingMode = 0;
        if (!ids.isEmpty() && MainFrame::instance())
            MainFrame::instance()->showPanel(MainFramePanel_DeviceEdit, QString(),
                                             DeviceEditMode_Statistics, ids);
        else
            MainFrame::setDeviceChangeNotifications(true);
        return;
    }

    // Already logged in from the details' switch: open at once.
    if (m_connector->isConnected() && m_connector->state() == DeviceState_LoggedIn) {
        OnDeviceStateChanged(DeviceState_LoggedIn);
        return;
    }

    QPointer<KxDeviceConnector> connector = m_connector;
    KxUi()->showWaiting(QStringLiteral("#IDS_DeviceConnecting"), QStringLiteral("#IDS_Cancel"),
                        [connector] {
                            if (connector)
                                connector->cancelLogin();
                        });
    letWaitingShow();
    if (!m_connector || !m_connector->connectDevice()) {
        KxUi()->closeWaiting();
        m_pendingMode = 0;
        MainFrame::setDeviceChangeNotifications(true);
        MainFrame::showToast(QStringLiteral("#IDS_DeviceUnconnect"));
        return;
    }
    // The settings are read on the reader's worker, so the window stays live and Cancel
    // works; a successful login reports the logged-in state, which opens the edit page.
    m_connector->loginAsync(QString::fromLatin1(kUser), QString::fromLatin1(kPassword), this,
                            [this](int code) {
                                if (code != KxDeviceConnector::Login_Ok)
                                    finishPending(code);
                            });
}

void MainPageClient::finishPending(int loginCode)
{
    KxUi()->closeWaiting();
    m_quickSelectAfterOpen = false;
    if (m_pendingMode == 0)
        return;
    m_pendingMode = 0;
    MainFrame::setDeviceChangeNotifications(true);
    if (loginCode != KxDeviceConnector::Login_Cancelled)
        MainFrame::showToast(openFailureText(m_connector, loginCode));
}

void MainPageClient::OnDeviceStateChanged(int state)
{
    if (state != DeviceState_LoggedIn || m_pendingMode == 0 || !m_connector)
        return;
    const int mode = m_pendingMode;
    KxLoginedDevicesManage::instance()->registerDevice(m_deviceId, m_connector);
    if (MainFrame *frame = MainFrame::instance())
        frame->showPanel(MainFramePanel_DeviceEdit, m_deviceId, DeviceEditMode(mode), QVariant());
    m_pendingMode = 0;
    KxUi()->closeWaiting();
    if (m_quickSelectAfterOpen) {
        m_quickSelectAfterOpen = false;
        // After the page has settled, from the event loop, as the page's own menu would.
        QTimer::singleShot(0, [] {
            if (BCodeEditFrame *page = BCodeEditFrame::live())
                page->OnMenuActionTriggered_QuickSelectiontool();
        });
    }
}

void MainPageClient::OnDeviceConnectChanged(bool connected)
{
    qInfo() << "MainPageClient::OnDeviceConnectChanged..." << m_deviceId << connected;
    if (!m_connector)
        return;
    if (!connected) {
        m_connector->logout();
        m_connector->disconnectDevice(true);
        if (qApp->property("SendRebootCmd").toInt() == 1)
            qApp->setProperty("SendRebootCmd", QVariant());
        m_infoWidget->setConnected(false);
        return;
    }
    if (m_connecting || m_connector->isLoggingIn())
        return;
    m_connecting = true;
    QPointer<KxDeviceConnector> connector = m_connector;
    KxUi()->showWaiting(QStringLiteral("#IDS_DeviceConnecting"), QStringLiteral("#IDS_Cancel"),
                        [connector] {
                            if (connector)
                                connector->cancelLogin();
                        });
    letWaitingShow();
    const auto finish = [this](int code) {
        KxUi()->closeWaiting();
        m_connecting = false;
        const bool ok = code == KxDeviceConnector::Login_Ok && m_connector;
        if (ok)
            KxLoginedDevicesManage::instance()->registerDevice(m_deviceId, m_connector);
        else if (code != KxDeviceConnector::Login_Cancelled)
            MainFrame::showToast(openFailureText(m_connector, code));
        m_infoWidget->setConnected(ok);
    };
    if (!m_connector->connectDevice()) {
        finish(KxDeviceConnector::Login_NotConnected);
        return;
    }
    // Read on the reader's worker: the window stays live and the waiting dialog can cancel.
    m_connector->loginAsync(QString::fromLatin1(kUser), QString::fromLatin1(kPassword), this,
                            finish);
}

void MainPageClient::OnToolBarBtnClicked()
{
    const QString name = sender() ? sender()->objectName() : QString();
    qDebug() << "MainPageClient::OnToolBarBtnClicked()..." << name;
    const KxDeviceInfoMap info = m_connector ? m_connector->deviceInfo() : KxDeviceInfoMap();
    const DeviceEditMode mode = MainPageButtons::buttonMode(name, info);
    if (mode != DeviceEditMode_None) {
        if (!m_connector && mode == DeviceEditMode_Statistics)
            MainFrame::showToast(QStringLiteral("#IDS_SelectDeviceTips"));
        connectToEdit(mode);
    } else if (name == QLatin1String("Id_Btn_MainPage")) {
        button(name)->setChecked(true); // this is the main page
    } else if (name == QLatin1String("Id_Btn_NetworkSettings")) {
        if (!m_connector)
            return;
        ChangeNetworkSettingDlg dlg(m_deviceId, info, this);
        if (dlg.exec() == QDialog::Accepted)
            MainFrame::showToast(QStringLiteral("#IDS_SetNetwork_Success"));
    } else if (name == QLatin1String("Id_Btn_NetworkGroupEdit")) {
        emit signal_editNetGroup();
    } else if (name == QLatin1String("Id_Btn_BatchSetting")) {
        if (m_stackToolbar->currentIndex() != 0)
            MainFrame::showToast(QStringLiteral("#IDS_Disable_BatchSetting_Tips"));
        else
            openBatchFirmwareUpgrade();
    } else if (name == QLatin1String("Id_Btn_FirmwareUpgrade")) {
        if (m_deviceId.isEmpty()) {
            MainFrame::showToast(QStringLiteral("#IDS_SelectDeviceTips"));
            return;
        }
        FirmwareUpgradeDlg dlg(m_deviceId, info.isEmpty() ? m_deviceList->deviceInfo(m_deviceId) : info,
                               m_connector && m_connector->isConnected(), this);
        dlg.exec();
    } else if (name == QLatin1String("Id_Btn_SETUP")) {
        SetCodeDialog dlg(this);
        dlg.generate();
        KxDialogRunner::run(&dlg);
    }
}

void MainPageClient::openBatchFirmwareUpgrade()
{
    QList<QPair<QString, KxDeviceInfoMap>> readers;
    if (NDeviceList *all = m_deviceList->allDeviceList()) {
        for (NDeviceListItem *item : all->allDevices())
            readers.append({item->deviceId(), item->deviceInfo()});
    }
    FirmwareUpgradeDlg dlg(readers, this);
    dlg.exec();
}

void MainPageClient::openLogUpdate()
{
    QList<QPair<QString, KxDeviceInfoMap>> readers;
    if (NDeviceList *all = m_deviceList->allDeviceList()) {
        for (NDeviceListItem *item : all->allDevices())
            readers.append({item->deviceId(), item->deviceInfo()});
    }
    LogUpdateDlg dlg(readers, this);
    dlg.exec();
}

void MainPageClient::OnMenuActionTriggered_Ftp()
{
    if (MainFrame *frame = MainFrame::instance())
        frame->settingFtp();
}

void MainPageClient::OnMenuActionTriggered_LocalSetting()
{
    if (MainFrame *frame = MainFrame::instance())
        frame->localSetting();
}

void MainPageClient::OnMenuActionTriggered_LogUpdate()
{
    if (MainFrame *frame = MainFrame::instance())
        frame->logUpdate();
}

void MainPageClient::OnMenuActionTriggered_QuickSelectiontool()
{
    // Proposals become changes of an open reader, kept or dropped on its edit page: open the
    // selected reader there first, then the tool.
    if (!m_connector) {
        MainFrame::showToast(QStringLiteral("#IDS_SelectDeviceTips"));
        return;
    }
    const KxDeviceInfoMap info = m_connector->deviceInfo();
    if (MainPageButtons::isVision(info) || MainPageButtons::isRfid(info)) {
        unavailable();  // its rules are about barcode readers
        return;
    }
    m_quickSelectAfterOpen = true;
    connectToEdit(DeviceEditMode_QuickSettings);
    if (m_pendingMode == 0)
        m_quickSelectAfterOpen = false;  // opened already, or not at all
}

void MainPageClient::OnMenuActionTriggered_Cmd()
{
    MainFrame::setDeviceChangeNotifications(false);
    KxDeviceKit::Instance()->pauseBroadcastDeviceCheckOffLine(true);
    {
        SendCmdDlg dlg(m_connector ? m_connector->command() : nullptr, this);
        dlg.exec();
    }
    KxDeviceKit::Instance()->pauseBroadcastDeviceCheckOffLine(false);
    MainFrame::setDeviceChangeNotifications(true);
    if (m_connector) {
        disconnect(m_connector, &KxDeviceConnector::deviceStateChanged, this, nullptr);
        connect(m_connector, &KxDeviceConnector::deviceStateChanged, this,
                &MainPageClient::OnDeviceStateChanged);
    }
}

void MainPageClient::readyToEditNetGroupSlot(QList<KxDeviceInfoMap> device_info_list)
{
    qDebug() << "MainPageClient::readyToEditNetGroupSlot()..." << device_info_list.size();
    m_stackToolbar->setCurrentIndex(1);
    m_groupEditor->setReaders(device_info_list);
    m_stackInfo->setCurrentWidget(m_groupEditor);
}

void MainPageClient::finishEditNetGroupSlot()
{
    qInfo() << "MainPageClient::finishEditNetGroupSlot";
    if (m_stackInfo->currentWidget() != m_groupEditor) {
        leaveGroupEditing();
        return;
    }
    if (m_groupEditor->isSaving())
        return; // the save ends within its ticks; the user leaves after it
    if (!m_groupEditor->isChanged()) {
        leaveGroupEditing();
        return;
    }
    const KxMessageResult r = KxUi()->question(QStringLiteral("#IDS_NetGroupChangedTips"),
                                               QStringLiteral("#IDS_Tips"),
                                               QStringLiteral("#IDS_Save|Exit"), this);
    if (r.button == 2) {
        leaveGroupEditing(); // leave without saving: the readers keep their groups
    } else if (r.button == 1 && m_groupEditor->save()) {
        // Leave once the readers report their new groups; a failed save stays in the editor
        // with the user's groups, so nothing is lost and Exit still leaves.
        auto *once = new QObject(this);
        connect(m_groupEditor, &NetGroupEditWidget::saveFinished, once, [this, once](bool ok) {
            once->deleteLater();
            if (ok)
                leaveGroupEditing();
        });
    }
}

void MainPageClient::leaveGroupEditing()
{
    // The list leaves its edit view (hot-plug, Refresh and Add come back), the main tool bar
    // returns, and the list is rebuilt from the readers' new group information.
    emit signal_rebackDeviceListWidget();
    m_stackToolbar->setCurrentIndex(0);
    m_stackInfo->setCurrentWidget(m_deviceList->hasSelection() ? m_pageInfo : m_pageTips);
    emit signal_deviceRefresh();
}

void MainPageClient::deviceBlink(QMap<QString, QString> device_infos)
{
    MainFrame::setDeviceChangeNotifications(false);
    const DeviceBlink::Outcome outcome = DeviceBlink::blink(device_infos);
    MainFrame::setDeviceChangeNotifications(true);
    if (outcome == DeviceBlink::Outcome::Failed)
        MainFrame::showToast(QStringLiteral("#IDS_DeviceUnconnect"));
}
