#include "KxSendLog.h"

#include "KxConfig.h"
#include "KxSettings.h"

#include <QMutex>
#include <QMutexLocker>
#include <QTcpServer>
#include <QTcpSocket>

namespace
{
QBasicMutex s_instanceMutex;
KxSendLog *s_instance = nullptr;
constexpr qint64 kMaxPendingBytes = 8 * 1024 * 1024;
} // namespace

KxSendLog *KxSendLog::instance()
{
    QMutexLocker lock(&s_instanceMutex);
    if (!s_instance)
        s_instance = new KxSendLog;
    return s_instance;
}

KxSendLog::KxSendLog(QObject *parent) : QObject(parent), m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &KxSendLog::newConnection);
}

QHostAddress KxSendLog::listenAddress(const QString &settingsFile)
{
    // Log lines carry device addresses and settings: other machines see them only on request.
    if (!settingsFile.isEmpty() && KxSettingBase::value(settingsFile, QStringLiteral("default"),
                                                        QStringLiteral("logServerAnyAddress"))
                                           .toString() == QLatin1String("1"))
        return QHostAddress(QHostAddress::AnyIPv4);
    return QHostAddress(QHostAddress::LocalHost);
}

void KxSendLog::setListenPort(int port)
{
    m_listenPort = port;
}

void KxSendLog::start()
{
    if (m_server->isListening())
        return;
    const QHostAddress address = listenAddress(KxConfig::instance()->settingsFile());
    // A failure (port taken) is not logged here: with forwarding on, the line would come back.
    m_server->listen(address, quint16(m_listenPort));
}

void KxSendLog::stop()
{
    if (m_socket) {
        m_socket->close();
        m_socket->deleteLater();
    }
    m_socket.clear();
    m_server->close();
}

void KxSendLog::send(const QString &content)
{
    if (!m_socket || m_socket->state() != QAbstractSocket::ConnectedState)
        return;
    // A client that stops reading must not make the program's memory grow without end.
    if (m_socket->bytesToWrite() > kMaxPendingBytes)
        return;
    QByteArray bytes = content.toUtf8();
    bytes.append('\n');
    m_socket->write(bytes);
}

void KxSendLog::newConnection()
{
    while (QTcpSocket *next = m_server->nextPendingConnection()) {
        // The newest client replaces the one held before.
        if (m_socket) {
            m_socket->close();
            m_socket->deleteLater();
        }
        m_socket = next;
        connect(next, &QTcpSocket::disconnected, next, &QObject::deleteLater);
    }
}

bool KxSendLog::isListening() const
{
    return m_server->isListening();
}
QHostAddress KxSendLog::serverAddress() const
{
    return m_server->serverAddress();
}
quint16 KxSendLog::serverPort() const
{
    return m_server->serverPort();
}
bool KxSendLog::hasClient() const
{
    return m_socket && m_socket->state() == QAbstractSocket::ConnectedState;
}
