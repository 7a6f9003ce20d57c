#pragma once
// The registry of connected readers: one connector per device id, re-emitting their state with
// the id, and an orderly teardown that waits for each logout at most a set time.
#include <QMap>
#include <QObject>
#include <QPointer>

class KxDeviceConnector;
class QTimer;

class KxLoginedDevicesManage : public QObject
{
    Q_OBJECT
public:
    static constexpr int kDisconnectTimeoutMs = 120000;

    static KxLoginedDevicesManage *instance();
    ~KxLoginedDevicesManage() override;

    bool registerDevice(const QString &deviceId, KxDeviceConnector *connector);
    // The registered connector; null while the device is pending (being disconnected).
    QPointer<KxDeviceConnector> device(const QString &deviceId) const;
    bool containsConnector(const KxDeviceConnector *connector) const;
    bool isPending(const QString &deviceId) const { return m_pending.contains(deviceId); }
    QStringList deviceIds() const { return m_devices.keys(); }

    void disconnectAllDevices();
    void disconnectAllDevicesEx();
    void cleanupPendingDevice(const QString &deviceId, KxDeviceConnector *connector);

    // How long a pending device may take to log out before it is cleaned up anyway.
    void setDisconnectTimeout(int ms) { m_timeoutMs = ms; }
    int disconnectTimeout() const { return m_timeoutMs; }

    // A registry of its own (tests); the program uses instance().
    explicit KxLoginedDevicesManage(QObject *parent = nullptr);

signals:
    void deviceConnectChanged(const QString &device_id, bool connected);
    void deviceStateChanged(const QString &device_id, int state);

private:
    void startDisconnectTimer(const QString &deviceId, KxDeviceConnector *connector);
    void release(KxDeviceConnector *connector);

    QMap<QString, QPointer<KxDeviceConnector>> m_devices;
    QMap<QString, QPointer<KxDeviceConnector>> m_pending;
    QMap<QString, QTimer *> m_timers;
    int m_timeoutMs = kDisconnectTimeoutMs;
};
