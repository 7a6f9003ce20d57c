#include "ChangeNetworkSettingDlg.h"

#include "DeviceDlgStyle.h"
#include "DeviceListLogic.h"
#include "KxAddressPolicy.h"
#include "KxAddressProbe.h"
#include "KxDataStreamTypes.h"
#include "KxDeviceConnector.h"
#include "KxDeviceKit.h"
#include "KxI18nUtil.h"
#include "KxStyledButtons.h"
#include "KxToggleSwitch.h"
#include "KxUiService.h"
#include "KxWidgetStyle.h"

#include <QApplication>
#include <QDebug>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

using namespace DeviceListLogic;

ChangeNetworkSettingDlg::ChangeNetworkSettingDlg(const QString &deviceId,
                                                 const KxDeviceInfoMap &info, QWidget *parent)
    : NDialogEx(parent), m_deviceId(deviceId), m_info(info),
      m_probe(std::make_shared<KxAddressProbe>())
{
    setObjectName(QStringLiteral("ChangeNetworkSettingDlg"));
    setTitle(QStringLiteral("#IDS_NetworkSettings"));
    QWidget *c = contentWidget();
    // The switch sits in a row as tall as the fields, centred beside its label.
    auto *dhcpRow = new QWidget(c);
    dhcpRow->setMinimumHeight(32);
    auto *dhcpLayout = new QHBoxLayout(dhcpRow);
    dhcpLayout->setContentsMargins(0, 0, 0, 0);
    m_dhcp = new KxToggleSwitch(dhcpRow);
    dhcpLayout->addWidget(m_dhcp, 0, Qt::AlignVCenter);
    dhcpLayout->addStretch(1);
    m_dhcp->setObjectName(QStringLiteral("switchDhcp"));
    m_dhcp->setChecked(info.value(QStringLiteral("Use DHCP")).trimmed() == QLatin1String("1"));
    m_ip = DeviceDlgStyle::formEdit("editIp", c);
    m_mask = DeviceDlgStyle::formEdit("editMask", c);
    m_gateway = DeviceDlgStyle::formEdit("editGateway", c);
    for (QLineEdit *e : {m_ip, m_mask, m_gateway})
        e->setMaxLength(15);
    m_ip->setText(info.value(QStringLiteral("Ip Address")));
    m_mask->setText(info.value(QStringLiteral("SubNetmask")));
    m_gateway->setText(info.value(QStringLiteral("Gateway Address")));
    m_labLocal = new QLabel(KxAddressProbe::localAddresses().join(QStringLiteral("\n")), c);
    m_labLocal->setObjectName(QStringLiteral("labLocalIp"));
    m_labLocal->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_labLocal->setStyleSheet(QStringLiteral("color:%1;").arg(QLatin1String(KxStyle::TextMuted)));

    QFormLayout *form = DeviceDlgStyle::formLayout(c);
    form->addRow(DeviceDlgStyle::formLabel(QStringLiteral("DHCP"), c), dhcpRow);
    form->addRow(DeviceDlgStyle::formLabel(QStringLiteral("#IDS_IPAddress"), c), m_ip);
    form->addRow(DeviceDlgStyle::formLabel(QStringLiteral("#IDS_SubNetMask"), c), m_mask);
    form->addRow(DeviceDlgStyle::formLabel(QStringLiteral("#IDS_Gateway"), c), m_gateway);
    // The address list may run over several lines: its label stays level with the first one.
    QLabel *localLabel = DeviceDlgStyle::formLabel(QStringLiteral("#IDS_Local_IP_Address"), c);
    localLabel->setMinimumHeight(0);
    localLabel->setAlignment(Qt::AlignRight | Qt::AlignTop);
    form->addRow(localLabel, m_labLocal);

    m_btnOk = addButton(QStringLiteral("#IDS_OK"), KxPushButton::Primary);
    m_btnOk->setObjectName(QStringLiteral("btnOk"));
    m_btnOk->setDefault(true);
    m_btnCancel = addButton(QStringLiteral("#IDS_Cancel"));
    m_btnCancel->setObjectName(QStringLiteral("btnCancel"));
    connect(m_btnOk, &QPushButton::clicked, this, &ChangeNetworkSettingDlg::onOkClicked);
    connect(m_btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_dhcp, &KxToggleSwitch::toggled, this, &ChangeNetworkSettingDlg::updateDhcp);

    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &ChangeNetworkSettingDlg::onTimeout);
    connect(KxDeviceKit::Instance(), &KxDeviceKit::deviceNetworkChanged, this,
            &ChangeNetworkSettingDlg::onNetworkChanged);
    m_sender = [](const KxDeviceInfoMap &map) {
        return KxDeviceKit::Instance()->changeDeviceNetwork(map);
    };
    updateDhcp();
    fitToWidth(420);
}

ChangeNetworkSettingDlg::~ChangeNetworkSettingDlg()
{
    if (m_timer->isActive())
        KxUi()->closeWaiting();
}

void ChangeNetworkSettingDlg::setAddressProbe(std::shared_ptr<KxAddressProbe> probe)
{
    m_probe = std::move(probe);
}

void ChangeNetworkSettingDlg::updateDhcp()
{
    m_dhcp->setText(kxTr(m_dhcp->isChecked() ? QStringLiteral("#IDS_Toggle_On")
                                             : QStringLiteral("#IDS_Toggle_Off")));
    const bool fixed = !m_dhcp->isChecked() && !m_timer->isActive();
    for (QLineEdit *e : {m_ip, m_mask, m_gateway})
        e->setEnabled(fixed);
}

KxDeviceInfoMap ChangeNetworkSettingDlg::editedInfo() const
{
    KxDeviceInfoMap map = m_info;
    map.insert(QStringLiteral("Ip Address"), m_ip->text().trimmed());
    map.insert(QStringLiteral("SubNetmask"), m_mask->text().trimmed());
    map.insert(QStringLiteral("Gateway Address"), m_gateway->text().trimmed());
    map.insert(QStringLiteral("Use DHCP"),
               m_dhcp->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    return map;
}

bool ChangeNetworkSettingDlg::isWaiting() const
{
    return m_timer->isActive();
}

bool ChangeNetworkSettingDlg::validate()
{
    if (m_dhcp->isChecked())
        return true;
    const QString ip = m_ip->text().trimmed();
    if (!isValidIPv4(ip) || !isValidSubnetMask(m_mask->text().trimmed()) ||
        !isValidIPv4(m_gateway->text().trimmed())) {
        KxUi()->toast(QStringLiteral("#IDS_NetworkFormat_Error"), 3000, this);
        return false;
    }
    // The reader's own address answers for itself: only a new address is checked.
    if (ip == m_info.value(QStringLiteral("Ip Address")))
        return true;
    const int port = m_info.value(QStringLiteral("Cmd Port")).toInt();
    const quint16 cmdPort =
        port > 0 && port <= 65535 ? quint16(port) : KxAddressPolicy::kDefaultCommandPort;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool taken =
        KxAddressProbe::localAddresses().contains(ip) || (m_probe && m_probe->isTaken(ip, cmdPort));
    QApplication::restoreOverrideCursor();
    if (taken) {
        qDebug() << "ChangeNetworkSettingDlg::validate()... address taken:" << ip;
        KxUi()->toast(QStringLiteral("#ID_TEXT_IP_ERROR"), 3000, this);
        return false;
    }
    return true;
}

void ChangeNetworkSettingDlg::onOkClicked()
{
    if (isWaiting() || !validate())
        return;
    if (m_info.contains(QStringLiteral("usb"))) {
        if (changeOverUsb())
            accept();
        else
            KxUi()->toast(QStringLiteral("#IDS_SetNetworkFail_Tips"), 3000, this);
        return;
    }
    const KxDeviceInfoMap map = editedInfo();
    qDebug() << "ChangeNetworkSettingDlg::onOkClicked()..." << m_deviceId
             << map.value(QStringLiteral("Ip Address")) << map.value(QStringLiteral("Use DHCP"));
    if (!m_sender || !m_sender(map)) {
        KxUi()->toast(QStringLiteral("#IDS_SetNetworkFail_Tips"), 3000, this);
        return;
    }
    m_timer->start(m_timeoutMs);
    setInputsEnabled(false);
    KxUi()->showWaiting(QStringLiteral("#IDS_NetworkSetting"), QString(), {}, this);
}

bool ChangeNetworkSettingDlg::changeOverUsb()
{
    const QString cmd = networkCommand(m_dhcp->isChecked(), m_ip->text().trimmed(),
                                       m_mask->text().trimmed(), m_gateway->text().trimmed());
    KxDeviceConnector connector(m_deviceId);
    connector.setDeviceInfo(m_info);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    bool ok = connector.connectDevice(true, false);
    int result = -1;
    if (ok) {
        QByteArray value;
        result = connector.queryCommand(1, cmd, value, {}, nullptr, kUsbTimeoutMs);
        connector.disconnectDevice(false);
        ok = result == DataResult_Ack;
    }
    QApplication::restoreOverrideCursor();
    qDebug() << "ChangeNetworkSettingDlg::changeOverUsb()..." << m_deviceId << cmd
             << "result=" << result;
    return ok;
}

void ChangeNetworkSettingDlg::onNetworkChanged(const QString &sn, const QString &mac, int result)
{
    if (!isWaiting())
        return;
    // Another reader's answer (several dialogs or tools may be waiting) is not ours.
    if (sn != m_info.value(QStringLiteral("Serial Number")) ||
        mac.compare(m_info.value(QStringLiteral("MAC Address")), Qt::CaseInsensitive) != 0)
        return;
    qDebug() << "ChangeNetworkSettingDlg::onNetworkChanged()..." << sn << mac
             << "result=" << result;
    finishWaiting();
    if (result == 1) {
        accept();
    } else {
        // The reader refused the settings: say so and let the user correct them.
        KxUi()->toast(QStringLiteral("#IDS_SetNetworkFail_Tips"), 3000, this);
    }
}

void ChangeNetworkSettingDlg::onTimeout()
{
    qWarning() << "ChangeNetworkSettingDlg::onTimeout()..." << m_deviceId;
    finishWaiting();
    KxUi()->toast(QStringLiteral("#IDS_SetNetworkFail_Tips"), 3000, this);
}

void ChangeNetworkSettingDlg::finishWaiting()
{
    m_timer->stop();
    KxUi()->closeWaiting();
    setInputsEnabled(true);
}

void ChangeNetworkSettingDlg::setInputsEnabled(bool enabled)
{
    m_dhcp->setEnabled(enabled);
    m_btnOk->setEnabled(enabled);
    updateDhcp();
}
