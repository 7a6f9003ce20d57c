#include "DataConnection.h"

#include "FtpCommand.h"
#include "FtpReplies.h"

#include <QTcpServer>
#include <QTcpSocket>

namespace {
const qint64 kPendingBytes = 1 << 20;

bool sameHost(const QHostAddress &a, const QHostAddress &b)
{
    bool okA = false;
    bool okB = false;
    const quint32 v4a = a.toIPv4Address(&okA);
    const quint32 v4b = b.toIPv4Address(&okB);
    if (okA && okB)
        return v4a == v4b;
    return a.isEqual(b, QHostAddress::TolerantConversion);
}
} // namespace

DataConnection::DataConnection(const QHostAddress &client, int timeoutMs, QObject *parent)
    : QObject(parent)
    , m_client(client)
    , m_timeoutMs(timeoutMs)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        end(false, m_started ? FtpReplies::transferAborted() : FtpReplies::noDataConnection());
    });
}

DataConnection::~DataConnection()
{
    reset();
}

void DataConnection::reset()
{
    m_timer.stop();
    if (m_command) {
        disconnect(m_command, nullptr, this, nullptr);
        m_command->deleteLater();
    }
    m_command = nullptr;
    m_started = false;
    if (m_socket) {
        disconnect(m_socket, nullptr, this, nullptr);
        m_socket->abort();
        m_socket->deleteLater();
    }
    m_socket = nullptr;
    if (m_server) {
        m_server->close();
        m_server->deleteLater();
        m_server = nullptr;
    }
    m_activePort = 0;
}

quint16 DataConnection::listenPassive(const QHostAddress &local)
{
    reset();
    m_server = new QTcpServer(this);
    m_server->setMaxPendingConnections(4);
    connect(m_server, &QTcpServer::newConnection, this, &DataConnection::acceptPending);
    if (!m_server->listen(local, 0)) {
        reset();
        return 0;
    }
    return m_server->serverPort();
}

void DataConnection::setActive(const QHostAddress &address, quint16 port)
{
    reset();
    m_activeAddress = address;
    m_activePort = port;
}

bool DataConnection::isReady() const
{
    return m_server || m_socket || m_activePort != 0;
}

// Someone else on the network guessing the port gets nothing: only the client may connect.
void DataConnection::acceptPending()
{
    while (m_server && m_server->hasPendingConnections()) {
        QTcpSocket *socket = m_server->nextPendingConnection();
        if (m_socket || !sameHost(socket->peerAddress(), m_client)) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        m_socket = socket;
        m_socket->setParent(this);
        // A client may send before its STOR is served; hold a little, then let TCP push back.
        m_socket->setReadBufferSize(kPendingBytes);
        m_server->close();
    }
    startIfConnected();
}

void DataConnection::run(FtpCommand *command)
{
    m_command = command;
    command->setParent(this);
    connect(command, &FtpCommand::finished, this, &DataConnection::end);
    connect(command, &FtpCommand::progressed, this, [this] { m_timer.start(m_timeoutMs); });
    m_timer.start(m_timeoutMs);
    if (!m_server && !m_socket && m_activePort != 0) {
        m_socket = new QTcpSocket(this);
        connect(m_socket, &QTcpSocket::connected, this, &DataConnection::startIfConnected);
        connect(m_socket, &QTcpSocket::errorOccurred, this, [this] {
            if (!m_started)
                end(false, FtpReplies::noDataConnection());
        });
        m_socket->connectToHost(m_activeAddress, m_activePort);
        return;
    }
    startIfConnected();
}

void DataConnection::startIfConnected()
{
    if (m_started || !m_command || !m_socket)
        return;
    // An accepted peer may already have sent everything and closed: its bytes are still buffered
    // and the command decides what a closed connection means. An active one must connect first.
    if (!m_server && m_socket->state() != QAbstractSocket::ConnectedState)
        return;
    m_started = true;
    m_command->start(m_socket);
}

void DataConnection::end(bool ok, const QString &reply)
{
    if (!m_command)
        return;
    reset();
    emit finished(ok, reply);
}
