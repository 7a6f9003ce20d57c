#pragma once
// The FTP server readers upload images to. It lives in a thread of its own (FtpServerHost) and
// keeps every client inside its root folder.
#include "FtpCertificate.h"
#include "FtpServerConfig.h"

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QTcpServer>

class FtpControlConnection;

// Hands out TLS-capable sockets that start in plain text; AUTH TLS upgrades them.
class SslServer : public QTcpServer
{
    Q_OBJECT
public:
    using QTcpServer::QTcpServer;

protected:
    void incomingConnection(qintptr descriptor) override;
};

class FtpServer : public QObject
{
    Q_OBJECT
public:
    explicit FtpServer(const FtpServerConfig &config, QObject *parent = nullptr);
    ~FtpServer() override;

    bool start(QString *error = nullptr);
    quint16 serverPort() const;
    const FtpServerConfig &config() const { return m_config; }
    // Made on first use, so a server nobody asks for TLS never touches the key files.
    const FtpCertificate &certificate();

    // Failed-login bookkeeping across connections of one address.
    bool isLockedOut(const QHostAddress &address) const;
    void loginFailed(const QHostAddress &address);
    void loginSucceeded(const QHostAddress &address);

    // Whether the reserve and image strategy of the local settings forbid writing to `dir`.
    bool refuseForSpace(const QString &dir) const;
    QDateTime now() const;
    // Stores an upload's index record.
    void recordUpload(const QString &path);

signals:
    void uploaded(const QString &path);

private:
    void acceptConnections();

    FtpServerConfig m_config;
    SslServer *m_listener;
    FtpCertificate m_certificate;
    bool m_certificateTried = false;
    QList<FtpControlConnection *> m_connections;
    struct Failures
    {
        int count = 0;
        QDateTime until;
    };
    QHash<quint32, Failures> m_failures;
};
