#include "KxLoginedDevicesManage.h"

#include "KxDeviceConnector.h"

#include <QDebug>
#include <QMutex>
#include <QTimer>

KxLoginedDevicesManage *KxLoginedDevicesManage::instance()
{
    static QBasicMutex mutex;
    static KxLoginedDevicesManage *s = nullptr;
    QMutexLocker lock(&mutex);
    if (!s)
        s = new KxLoginedDevicesManage;
    return s;
}

KxLoginedDevicesManage::KxLoginedDevicesManage(QObject *parent) : QObject(parent) {}

KxLoginedDevicesManage::~KxLoginedDevicesManage()
{
    disconnectAllDevicesEx();
}

bool KxLoginedDevicesManage::registerDevice(const QString &deviceId, KxDeviceConnector *connector)
{
    if (!connector)
        return false;
    const QPointer<KxDeviceConnector> old = m_devices.value(deviceId);
    if (old == connector)
        return true;
    if (m_pending.contains(deviceId)) {
        if (QTimer *t = m_timers.take(deviceId)) {
            t->stop();
            t->deleteLater();
        }
        // The connector still logging out is replaced: nobody else would ever release it.
        const QPointer<KxDeviceConnector> pending = m_pending.take(deviceId);
        if (pending && pending != connector)
            release(pending);
    }
    if (old) {
        m_devices.remove(deviceId);
        release(old);
    }
    m_devices.insert(deviceId, connector);
    disconnect(connector, nullptr, this, nullptr);
    connect(connector, &KxDeviceConnector::deviceConnectChanged, this,
            [this, deviceId](bool connected) { emit deviceConnectChanged(deviceId, connected); });
    connect(connector, &KxDeviceConnector::deviceStateChanged, this,
            [this, deviceId, connector](int state) {
                if (m_devices.value(deviceId) == connector)
                    emit deviceStateChanged(deviceId, state);
            });
    emit deviceConnectChanged(deviceId, connector->isConnected());
    emit deviceStateChanged(deviceId, connector->state());
    return true;
}

QPointer<KxDeviceConnector> KxLoginedDevicesManage::device(const QString &deviceId) const
{
    if (m_pending.contains(deviceId))
        return nullptr;
    return m_devices.value(deviceId);
}

bool KxLoginedDevicesManage::containsConnector(const KxDeviceConnector *connector) const
{
    for (const auto &c : m_devices) {
        if (c == connector)
            return true;
    }
    return false;
}

void KxLoginedDevicesManage::release(KxDeviceConnector *connector)
{
    disconnect(connector, nullptr, this, nullptr);
    connector->deleteLater();
}

void KxLoginedDevicesManage::disconnectAllDevices()
{
    const auto devices = m_devices;
    m_devices.clear();
    for (auto it = devices.constBegin(); it != devices.constEnd(); ++it) {
        const QString id = it.key();
        KxDeviceConnector *connector = it.value();
        if (!connector || m_pending.contains(id))
            continue;
        disconnect(connector, nullptr, this, nullptr);
        m_pending.insert(id, connector);
        startDisconnectTimer(id, connector);
        connect(connector, &KxDeviceConnector::deviceStateChanged, this,
                [this, id, connector](int state) {
                    if (state != 0 || m_pending.value(id) != connector)
                        return;
                    qInfo() << "KxLoginedDevicesManage::disconnectAllDevices..." << id;
                    cleanupPendingDevice(id, connector);
                });
        connector->logout();
        connector->disconnectDevice(true);
    }
}

void KxLoginedDevicesManage::startDisconnectTimer(const QString &deviceId,
                                                  KxDeviceConnector *connector)
{
    auto *timer = new QTimer(this);
    timer->setSingleShot(true);
    QPointer<KxDeviceConnector> guard(connector);
    connect(timer, &QTimer::timeout, this, [this, deviceId, guard] {
        qWarning() << "KxLoginedDevicesManage::startDisconnectTimer...Disconnect timeout for device"
                   << deviceId << ", force cleanup.";
        cleanupPendingDevice(deviceId, guard);
    });
    m_timers.insert(deviceId, timer);
    timer->start(m_timeoutMs);
}

void KxLoginedDevicesManage::cleanupPendingDevice(const QString &deviceId,
                                                  KxDeviceConnector *connector)
{
    if (QTimer *t = m_timers.take(deviceId)) {
        t->stop();
        t->deleteLater();
    }
    m_pending.remove(deviceId);
    if (connector)
        release(connector);
    emit deviceConnectChanged(deviceId, false);
    emit deviceStateChanged(deviceId, 0);
}

void KxLoginedDevicesManage::disconnectAllDevicesEx()
{
    for (QTimer *t : qAsConst(m_timers)) {
        t->stop();
        delete t;
    }
    m_timers.clear();
    for (auto *map : {&m_devices, &m_pending}) {
        for (const auto &c : qAsConst(*map)) {
            if (!c)
                continue;
            disconnect(c, nullptr, this, nullptr);
            c->logout();
            c->disconnectDevice(true);
        }
        map->clear();
    }
}
