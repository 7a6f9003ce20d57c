#pragma once
// Edits a reader's alias. A reader that keeps its alias itself ("P Alias") is sent the new alias
// and the dialog waits for its answer (20000 ms unless set otherwise); any other reader's alias
// is kept in the local alias file under its serial number, refused when another reader already
// has it.
#include "KxKitTypes.h"
#include "NDialogEx.h"

#include <functional>

class QLineEdit;
class QTimer;

class DeviceAliasEditDlg : public NDialogEx
{
    Q_OBJECT
public:
    static constexpr int kTimeoutMs = 20000;
    static constexpr int kMaxAliasLength = 32;
    using AliasSender = std::function<bool(const KxDeviceInfoMap &)>;

    DeviceAliasEditDlg(const QString &deviceId, const KxDeviceInfoMap &info,
                       QWidget *parent = nullptr);
    ~DeviceAliasEditDlg() override;

    void setTimeoutMs(int ms) { m_timeoutMs = ms; }
    void setAliasSender(AliasSender sender) { m_sender = std::move(sender); }

    // The alias entered (trimmed).
    QString alias() const;
    bool isReaderHeld() const;
    bool isWaiting() const;
    QLineEdit *aliasEdit() const { return m_edit; }
    KxPushButton *okButton() const { return m_btnOk; }

public slots:
    void onOkClicked();

private slots:
    void onAliasChanged(const QString &sn, const QString &mac, int result);
    void onTimeout();

private:
    void finishWaiting();
    void setInputsEnabled(bool enabled);

    QString m_deviceId;
    KxDeviceInfoMap m_info;
    QLineEdit *m_edit;
    KxPushButton *m_btnOk;
    QTimer *m_timer;
    int m_timeoutMs = kTimeoutMs;
    AliasSender m_sender;
};
