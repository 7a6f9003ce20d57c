#pragma once
// Changes a reader's network settings: DHCP, or a fixed address, mask and gateway. A reader on
// USB gets the command "@NETDEN..." over its link; a network reader gets the kit's network
// request and the dialog waits for the reader's answer (20000 ms unless set otherwise).
// The dialog closes (accepted) only when the reader confirmed the change.
#include "KxKitTypes.h"
#include "NDialogEx.h"

#include <functional>
#include <memory>

class KxAddressProbe;
class KxToggleSwitch;
class QLabel;
class QLineEdit;
class QTimer;

class ChangeNetworkSettingDlg : public NDialogEx
{
    Q_OBJECT
public:
    static constexpr int kTimeoutMs = 20000;
    static constexpr int kUsbTimeoutMs = 60000;
    // Sends the change of a network reader; the kit's changeDeviceNetwork unless replaced.
    using NetworkSender = std::function<bool(const KxDeviceInfoMap &)>;

    ChangeNetworkSettingDlg(const QString &deviceId, const KxDeviceInfoMap &info,
                            QWidget *parent = nullptr);
    ~ChangeNetworkSettingDlg() override;

    void setTimeoutMs(int ms) { m_timeoutMs = ms; }
    void setNetworkSender(NetworkSender sender) { m_sender = std::move(sender); }
    void setAddressProbe(std::shared_ptr<KxAddressProbe> probe);

    // The map sent to the reader: its identity with the edited settings.
    KxDeviceInfoMap editedInfo() const;
    bool isWaiting() const;

    KxToggleSwitch *dhcpSwitch() const { return m_dhcp; }
    QLineEdit *ipEdit() const { return m_ip; }
    QLineEdit *maskEdit() const { return m_mask; }
    QLineEdit *gatewayEdit() const { return m_gateway; }
    KxPushButton *okButton() const { return m_btnOk; }
    QLabel *localAddressLabel() const { return m_labLocal; }

public slots:
    void onOkClicked();

private slots:
    void onNetworkChanged(const QString &sn, const QString &mac, int result);
    void onTimeout();

private:
    bool validate();
    bool changeOverUsb();
    void setInputsEnabled(bool enabled);
    void updateDhcp();
    void finishWaiting();

    QString m_deviceId;
    KxDeviceInfoMap m_info;
    KxToggleSwitch *m_dhcp;
    QLineEdit *m_ip;
    QLineEdit *m_mask;
    QLineEdit *m_gateway;
    QLabel *m_labLocal;
    KxPushButton *m_btnOk;
    KxPushButton *m_btnCancel;
    QTimer *m_timer;
    int m_timeoutMs = kTimeoutMs;
    NetworkSender m_sender;
    std::shared_ptr<KxAddressProbe> m_probe;
};
