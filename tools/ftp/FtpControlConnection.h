#pragma once
// One client's control connection: reads command lines, answers them, and runs transfers on its
// data connection. Lives in the server's thread.
#include "FtpPaths.h"
#include "FtpServerConfig.h"

#include <QHash>
#include <QObject>
#include <QTimer>

class DataConnection;
class FtpCommand;
class FtpServer;
class QSslSocket;

class FtpControlConnection : public QObject
{
    Q_OBJECT
public:
    FtpControlConnection(QSslSocket *socket, FtpServer *server);
    ~FtpControlConnection() override;
    QHostAddress peerAddress() const;

signals:
    void closed();

private:
    using Handler = void (FtpControlConnection::*)(const QString &arg);

    void readLines();
    void handle(const QString &line);
    void reply(const QString &text);
    void close();
    bool writingRefused();
    void startTransfer(FtpCommand *command, const QString &storedPath = QString());

    void cmdUser(const QString &arg);
    void cmdPass(const QString &arg);
    void cmdQuit(const QString &arg);
    void cmdAuth(const QString &arg);
    void cmdFeat(const QString &arg);
    void cmdPwd(const QString &arg);
    void cmdCwd(const QString &arg);
    void cmdCdup(const QString &arg);
    void cmdOkay(const QString &arg);
    void cmdOpts(const QString &arg);
    void cmdPort(const QString &arg);
    void cmdPasv(const QString &arg);
    void cmdList(const QString &arg);
    void cmdNlst(const QString &arg);
    void cmdRetr(const QString &arg);
    void cmdRest(const QString &arg);
    void cmdSize(const QString &arg);
    void cmdSyst(const QString &arg);
    void cmdNotImplemented(const QString &arg);
    void cmdStor(const QString &arg);
    void cmdMkd(const QString &arg);
    void cmdRmd(const QString &arg);
    void cmdDele(const QString &arg);
    void cmdRnfr(const QString &arg);
    void cmdRnto(const QString &arg);
    void list(const QString &arg, bool namesOnly);

    static const QHash<QString, Handler> &handlers();

    QSslSocket *m_socket;
    FtpServer *m_server;
    FtpServerConfig m_config;
    FtpPaths m_paths;
    DataConnection *m_data;
    QTimer m_idle;
    QByteArray m_buffer;
    QString m_user;
    QString m_cwd = QStringLiteral("/");
    QString m_renameFrom;
    qint64 m_restOffset = 0;
    int m_failedLogins = 0;
    bool m_loggedIn = false;
    bool m_busy = false;
    bool m_closing = false;
};
