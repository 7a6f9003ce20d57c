#pragma once
// The log server: forwards log lines to one TCP client (a technician's log viewer).
// It listens on the loopback address only, unless the settings key
// "default"/"logServerAnyAddress" is "1", which opens it to every IPv4 address.
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QString>

class QTcpServer;
class QTcpSocket;

class KxSendLog : public QObject
{
    Q_OBJECT
public:
    static KxSendLog *instance();

    bool isListening() const;
    QHostAddress serverAddress() const;
    quint16 serverPort() const;
    int listenPort() const { return m_listenPort; }
    bool hasClient() const;
    // The address start() listens on, from the settings file (empty file: loopback).
    static QHostAddress listenAddress(const QString &settingsFile);

public slots:
    void setListenPort(int port); // takes effect at the next start()
    void start();
    void stop();
    void send(const QString &content);
    void newConnection();

private:
    explicit KxSendLog(QObject *parent = nullptr);
    int m_listenPort = 6000;
    QPointer<QTcpSocket> m_socket;
    QTcpServer *m_server = nullptr;
};
