#pragma once
// Runs one FtpServer in a thread of its own. Starting again replaces the running server, as
// after a change of the FTP settings. Nothing here waits on a client.
#include "FtpServerConfig.h"

#include <QObject>
#include <QPointer>

class FtpServer;
class QThread;

class FtpServerHost : public QObject
{
    Q_OBJECT
public:
    explicit FtpServerHost(QObject *parent = nullptr);
    ~FtpServerHost() override;

    // Starts a server with `config`; listening() reports the outcome.
    void start(const FtpServerConfig &config);
    void stop();
    bool isRunning() const;
    // The server object (in the server thread); for connecting to its signals.
    FtpServer *server() const;

    // The configuration of the settings group "ftp", with the certificate kept in the data
    // directory; creates a missing folder. False when no folder is set (empty `error`) or when it
    // cannot be made (`error` names it).
    static bool configFromSettings(FtpServerConfig *config, QString *error);

signals:
    void listening(bool ok, quint16 port, const QString &error);
    void uploaded(const QString &path);

private:
    QThread *m_thread = nullptr;
    QPointer<FtpServer> m_server;
};
