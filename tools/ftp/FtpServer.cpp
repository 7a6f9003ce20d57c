#include "FtpServer.h"

#include "DiskSpaceMonitorThread.h"
#include "FtpControlConnection.h"
#include "FtpReplies.h"
#include "KxSettings.h"
#include "SqliteDbManager.h"

#include <QDebug>
#include <QSslSocket>

void SslServer::incomingConnection(qintptr descriptor)
{
    auto *socket = new QSslSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    // Replies are short lines a client waits for: never hold one back to join the next.
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    addPendingConnection(socket);
}

FtpServer::FtpServer(const FtpServerConfig &config, QObject *parent)
    : QObject(parent)
    , m_config(config)
    , m_listener(new SslServer(this))
{
    if (!m_config.freeSpaceGb)
        m_config.freeSpaceGb = [](const QString &dir) {
            return DiskSpaceMonitorThread::freeSpaceGb(dir + QStringLiteral("/."));
        };
    if (!m_config.clock)
        m_config.clock = [] { return QDateTime::currentDateTime(); };
    connect(m_listener, &QTcpServer::newConnection, this, &FtpServer::acceptConnections);
}

FtpServer::~FtpServer()
{
    m_listener->close();
    const auto connections = m_connections;
    m_connections.clear();
    qDeleteAll(connections);
}

bool FtpServer::start(QString *error)
{
    if (!m_listener->listen(m_config.listenAddress, m_config.port)) {
        if (error)
            *error = m_listener->errorString();
        qWarning().noquote() << "FTP server cannot listen on port" << m_config.port
                             << m_listener->errorString();
        return false;
    }
    qInfo().noquote() << "FTP server listening on port" << m_listener->serverPort() << "root"
                      << m_config.root;
    return true;
}

quint16 FtpServer::serverPort() const
{
    return m_listener->serverPort();
}

const FtpCertificate &FtpServer::certificate()
{
    if (!m_certificateTried && !m_config.certificateDir.isEmpty()) {
        m_certificateTried = true;
        QString error;
        m_certificate = FtpCertificate::loadOrCreate(m_config.certificateDir, &error);
        if (!error.isEmpty())
            qWarning().noquote() << "FTP server:" << error;
    }
    return m_certificate;
}

void FtpServer::acceptConnections()
{
    while (m_listener->hasPendingConnections()) {
        auto *socket = static_cast<QSslSocket *>(m_listener->nextPendingConnection());
        const QHostAddress peer = socket->peerAddress();
        QString refusal;
        if (m_connections.size() >= m_config.maxConnections)
            refusal = FtpReplies::tooManyConnections();
        else if (isLockedOut(peer))
            refusal = FtpReplies::lockedOut();
        else if (m_config.oneAddressOnly && !m_connections.isEmpty()
                 && !m_connections.first()->peerAddress().isEqual(peer, QHostAddress::TolerantConversion))
            refusal = FtpReplies::tooManyConnections();
        if (!refusal.isEmpty()) {
            socket->write(refusal.toLatin1());
            socket->disconnectFromHost();
            connect(socket, &QSslSocket::disconnected, socket, &QObject::deleteLater);
            continue;
        }
        auto *connection = new FtpControlConnection(socket, this);
        m_connections << connection;
        connect(connection, &FtpControlConnection::closed, this, [this, connection] {
            m_connections.removeOne(connection);
            connection->deleteLater();
        });
    }
}

bool FtpServer::isLockedOut(const QHostAddress &address) const
{
    const auto it = m_failures.constFind(address.toIPv4Address());
    return it != m_failures.constEnd() && it->until.isValid()
        && it->until > QDateTime::currentDateTimeUtc();
}

void FtpServer::loginFailed(const QHostAddress &address)
{
    Failures &f = m_failures[address.toIPv4Address()];
    if (f.until.isValid() && f.until <= QDateTime::currentDateTimeUtc())
        f = Failures();
    if (++f.count >= m_config.maxFailedLoginsPerAddress)
        f.until = QDateTime::currentDateTimeUtc().addMSecs(m_config.lockoutMs);
}

void FtpServer::loginSucceeded(const QHostAddress &address)
{
    m_failures.remove(address.toIPv4Address());
}


QDateTime FtpServer::now() const
{
    return m_config.clock();
}

void FtpServer::recordUpload(const QString &path)
{
    const QString stamp = now().toString(QStringLiteral("yyyyMMddHHmmss"));
    if (!SqliteDbManager::instance()->insertIntoFtpFilesTable(path, stamp))
        qWarning().noquote() << "FTP upload not recorded in the image index:" << path;
    else
        qDebug() << "sql over";
    emit uploaded(path);
}

// With pruning off nothing would ever make room, so uploads stop at the reserve; with pruning on
// the disk monitor frees space and uploads go on.
bool FtpServer::refuseForSpace(const QString &dir) const
{
    KxSettings *settings = KxSettings::instance();
    if (settings->localSettingNumber(QStringLiteral("imageStrategy")) != 0)
        return false;
    const qint64 reserve = settings->localSettingNumber(QStringLiteral("miniFreeReservedSpace"));
    return m_config.freeSpaceGb(dir) < reserve;
}
