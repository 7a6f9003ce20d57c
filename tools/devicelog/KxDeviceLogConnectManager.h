#pragma once
// The one owner of the log connections, one per device id. Routes the kit's log data and
// log-link losses to the connection of their reader, directly on the kit's thread (so a
// download's data is written before the kit's query returns).
#include "KxDeviceLogConnect.h"

#include <QMap>
#include <QMutex>
#include <QObject>

class KxDeviceLogConnectManager : public QObject
{
    Q_OBJECT
public:
    static KxDeviceLogConnectManager *instance();

    // Creates the reader's connection or updates its information.
    KxDeviceLogConnect *connection(const QString &deviceId, const KxDeviceInfoMap &info);
    KxDeviceLogConnect *find(const QString &deviceId) const;

    bool openLink(const QString &deviceId);
    void closeLink(const QString &deviceId);
    bool isLinkOpen(const QString &deviceId) const;
    // One request on the log link: the kit's code, or -3 when the reader has no connection here.
    int sendToLog(const QString &deviceId, const QByteArray &data, QByteArray &reply);
    bool startReceive(const QString &deviceId);
    bool stopReceive(const QString &deviceId);
    bool isConnected(const QString &deviceId) const;

private:
    KxDeviceLogConnectManager();
    void route(const QString &deviceId, const QByteArray &data);
    void routeDisconnect(const QString &deviceId);

    mutable QMutex m_mutex;
    QMap<QString, KxDeviceLogConnect *> m_connections;
};
