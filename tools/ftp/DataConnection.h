#pragma once
// The data channel of one control connection: passive (we listen, only the client's own address
// may connect) or active (we connect back, only to the client's own address). One transfer at a
// time; each transfer needs a fresh PASV or PORT.
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QTimer>

class FtpCommand;
class QTcpServer;
class QTcpSocket;

class DataConnection : public QObject
{
    Q_OBJECT
public:
    DataConnection(const QHostAddress &client, int timeoutMs, QObject *parent = nullptr);
    ~DataConnection() override;

    // Listens on `local`; returns the port, 0 on failure.
    quint16 listenPassive(const QHostAddress &local);
    void setActive(const QHostAddress &address, quint16 port);
    bool isReady() const;
    // Runs `command` once the channel is open; it is deleted after it finished. Emits finished().
    void run(FtpCommand *command);
    void reset();

signals:
    void finished(bool ok, const QString &reply);

private:
    void acceptPending();
    void startIfConnected();
    void end(bool ok, const QString &reply);

    QHostAddress m_client;
    int m_timeoutMs;
    QTcpServer *m_server = nullptr;
    QPointer<QTcpSocket> m_socket;
    QHostAddress m_activeAddress;
    quint16 m_activePort = 0;
    QPointer<FtpCommand> m_command;
    bool m_started = false;
    QTimer m_timer;
};
