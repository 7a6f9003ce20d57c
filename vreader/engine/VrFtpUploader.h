#pragma once
// The reader's FTP client: uploads images one after another to the configured server (login,
// folder, binary type, passive data connection, STOR). Asynchronous on the reader's thread,
// every step bounded by a time-out; a failed upload is logged and dropped. Only loopback
// servers are served here.
#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QQueue>

class QTcpSocket;
class QTimer;

class VrFtpUploader : public QObject
{
    Q_OBJECT
public:
    struct Job
    {
        QString host;
        quint16 port = 21;
        QString user;
        QString password;
        QString folder;  // on the server; empty: its root
        QString name;
        QByteArray data;
    };
    explicit VrFtpUploader(QObject *parent = nullptr);

    // Queues an upload; the oldest waiting one is dropped beyond `kMaxQueued`.
    void enqueue(const Job &job);
    int pending() const { return m_queue.size() + (m_busy ? 1 : 0); }
    static constexpr int kMaxQueued = 8;
    static constexpr int kStepTimeoutMs = 30000;

signals:
    void logLine(const QString &line);
    void uploaded(const QString &name, bool ok);

private:
    enum class Step { Greeting, User, Pass, Cwd, Mkd, Type, Pasv, Stor, Done, Quit };
    void startNext();
    void onControlData();
    void onReply(int code, const QString &text);
    void send(const QString &line);
    void finish(bool ok, const QString &why);
    void openData(const QString &pasvReply);

    QQueue<Job> m_queue;
    Job m_job;
    bool m_busy = false;
    Step m_step = Step::Greeting;
    QTcpSocket *m_control = nullptr;
    QTcpSocket *m_data = nullptr;
    QByteArray m_buffer;
    QTimer *m_timeout;
    bool m_dataSent = false;
    bool m_transferDone = false;
};
