#include "KxDeviceLogConnectManager.h"

#include "KxDeviceKit.h"

#include <QCoreApplication>
#include <QDebug>

KxDeviceLogConnectManager *KxDeviceLogConnectManager::instance()
{
    static QMutex mutex;
    static KxDeviceLogConnectManager *manager = nullptr;
    QMutexLocker lock(&mutex);
    if (!manager)
        manager = new KxDeviceLogConnectManager;
    return manager;
}

KxDeviceLogConnectManager::KxDeviceLogConnectManager()
{
    KxDeviceKit *kit = KxDeviceKit::Instance();
    // Lives as long as the kit's thread does, and on it.
    moveToThread(kit->thread());
    setParent(kit);
    connect(kit, &KxDeviceKit::logDataReceived, this, &KxDeviceLogConnectManager::route, Qt::DirectConnection);
    connect(kit, &KxDeviceKit::logDisconnect, this, &KxDeviceLogConnectManager::routeDisconnect, Qt::DirectConnection);
}

KxDeviceLogConnect *KxDeviceLogConnectManager::connection(const QString &deviceId, const KxDeviceInfoMap &info)
{
    QMutexLocker lock(&m_mutex);
    KxDeviceLogConnect *c = m_connections.value(deviceId);
    if (!c) {
        c = new KxDeviceLogConnect(deviceId, info);
        c->moveToThread(thread());
        c->setParent(this);
        m_connections.insert(deviceId, c);
    } else {
        c->setDeviceInfo(info);
    }
    return c;
}

KxDeviceLogConnect *KxDeviceLogConnectManager::find(const QString &deviceId) const
{
    QMutexLocker lock(&m_mutex);
    return m_connections.value(deviceId);
}

bool KxDeviceLogConnectManager::openLink(const QString &deviceId)
{
    KxDeviceLogConnect *c = find(deviceId);
    if (!c)
        return false;
    const bool ok = KxDeviceKit::Instance()->connectToDevice(deviceId, ConnectType_Log, true, DevicePort_Log);
    c->setLinkOpen(ok);
    qInfo().noquote() << "KxDeviceLogConnectManager::openLink()..." << deviceId << ok;
    return ok;
}

void KxDeviceLogConnectManager::closeLink(const QString &deviceId)
{
    KxDeviceKit::Instance()->disconnectFromDeviceEx(deviceId, DevicePort_Log);
    if (KxDeviceLogConnect *c = find(deviceId))
        c->setLinkOpen(false);
}

bool KxDeviceLogConnectManager::isLinkOpen(const QString &deviceId) const
{
    KxDeviceLogConnect *c = find(deviceId);
    return c && c->isLinkOpen();
}

int KxDeviceLogConnectManager::sendToLog(const QString &deviceId, const QByteArray &data, QByteArray &reply)
{
    if (!find(deviceId))
        return -3;
    return KxDeviceKit::Instance()->sendBinaryMessage(deviceId, data, reply, 60000, DevicePort_Log);
}

bool KxDeviceLogConnectManager::startReceive(const QString &deviceId)
{
    return find(deviceId) && KxDeviceKit::Instance()->logRecv(deviceId);
}

bool KxDeviceLogConnectManager::stopReceive(const QString &deviceId)
{
    return find(deviceId) && KxDeviceKit::Instance()->stopLogRecv(deviceId);
}

bool KxDeviceLogConnectManager::isConnected(const QString &deviceId) const
{
    return KxDeviceKit::Instance()->isConnected(deviceId, DevicePort_Log);
}

void KxDeviceLogConnectManager::route(const QString &deviceId, const QByteArray &data)
{
    if (KxDeviceLogConnect *c = find(deviceId))
        c->handleLogData(data);
}

void KxDeviceLogConnectManager::routeDisconnect(const QString &deviceId)
{
    if (KxDeviceLogConnect *c = find(deviceId))
        c->handleLinkLost();
}
