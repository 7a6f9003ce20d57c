#pragma once
// The transfers that run over a data connection. Each finishes exactly once with the reply the
// control connection sends.
#include <QFile>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTcpSocket>

class FtpCommand : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    // Takes over a connected data socket (not its ownership).
    void start(QTcpSocket *socket);

signals:
    // The final reply; `ok` is false when the transfer failed.
    void finished(bool ok, const QString &reply);
    void progressed();

protected:
    virtual void begin() = 0;
    // Whether a peer that already closed its side can still complete this transfer.
    virtual bool takesClosedPeer() const { return false; }
    void finish(bool ok, const QString &reply);
    // Closes the data socket once everything queued has left, then finishes.
    void closeThenFinish();
    QPointer<QTcpSocket> m_socket;
    bool m_done = false;
};

class FtpListCommand : public FtpCommand
{
    Q_OBJECT
public:
    FtpListCommand(const QStringList &lines, QObject *parent = nullptr);

protected:
    void begin() override;

private:
    void writeMore();
    QStringList m_lines;
    int m_next = 0;
};

class FtpRetrCommand : public FtpCommand
{
    Q_OBJECT
public:
    FtpRetrCommand(const QString &path, qint64 offset, QObject *parent = nullptr);

protected:
    void begin() override;

private:
    void writeMore();
    QFile m_file;
    qint64 m_offset;
};

class FtpStorCommand : public FtpCommand
{
    Q_OBJECT
public:
    FtpStorCommand(const QString &path, qint64 maxBytes, QObject *parent = nullptr);
    ~FtpStorCommand() override;
    QString path() const { return m_file.fileName(); }
    bool open();

protected:
    void begin() override;
    bool takesClosedPeer() const override { return true; }

private:
    void readMore();
    void complete();
    void fail(const QString &reply);
    QFile m_file;
    QByteArray m_buffer;
    qint64 m_maxBytes;
    qint64 m_received = 0;
};
