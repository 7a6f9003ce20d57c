#pragma once
// One byte pipe to a reader. A link picks its transport once, at connect time, and uses it only
// on the link's own I/O thread.
#include <QByteArray>
#include <QHostAddress>
#include <QString>

#include <functional>
#include <memory>

#include "KxInProcessReader.h"

class QSerialPort;
class QSocketNotifier;

class IKxTransport
{
public:
    virtual ~IKxTransport() = default;

    // Opens the pipe, waiting at most timeoutMs. False with *error filled on failure.
    virtual bool open(int timeoutMs, QString *error) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Queues bytes for sending; false when the pipe is closed or refuses them.
    virtual bool write(const QByteArray &bytes) = 0;
    // Drops whatever the pipe has received but not delivered (after a time-out).
    virtual void discardInput() {}
    virtual QString describe() const = 0;
    // A descriptor another thread may send on while the link keeps the wire idle, or -1.
    virtual int directFd() const { return -1; }
    // Nothing is waiting in the pipe's own send buffer.
    virtual bool sendBufferEmpty() const { return true; }
    // Watches for input again after mayRead() said no (see there).
    virtual void resumeRead() {}

    // Set by the link before open(): bytes as they arrive, and the peer going away.
    std::function<void(const QByteArray &)> onData;
    std::function<void(const QString &)> onLost;
    // Asked before the pipe reads what has arrived; false leaves the bytes in the kernel for
    // another reader of directFd() and stops watching until resumeRead(). A wake-up that finds
    // nothing to read is reported through readIdle.
    std::function<bool()> mayRead;
    std::function<void()> readIdle;
};

using KxTransportPtr = std::unique_ptr<IKxTransport>;

// TCP to a network reader, on a plain descriptor with notifiers of our own, so that the link can
// stop watching it while a blocking caller reads its own reply. Refuses any address outside
// 127.0.0.0/8 without connecting.
class KxTcpTransport : public IKxTransport
{
public:
    KxTcpTransport(const QHostAddress &address, quint16 port);
    ~KxTcpTransport() override;
    bool open(int timeoutMs, QString *error) override;
    void close() override;
    bool isOpen() const override;
    bool write(const QByteArray &bytes) override;
    void discardInput() override;
    QString describe() const override;
    int directFd() const override;
    bool sendBufferEmpty() const override;
    void resumeRead() override;

private:
    void onReadable();
    void onWritable();
    bool flush();

    QHostAddress m_address;
    quint16 m_port;
    int m_fd = -1;
    QSocketNotifier *m_readNotifier = nullptr;
    QSocketNotifier *m_writeNotifier = nullptr;
    QByteArray m_pending;  // what the kernel has not taken yet, sent before anything newer
    std::shared_ptr<bool> m_alive;  // tells a callback whether the transport survived it
};

// A serial line (RS-232, or a USB CDC reader that shows up as a serial port).
class KxSerialTransport : public IKxTransport
{
public:
    explicit KxSerialTransport(const QString &portName, qint32 baudRate = 115200);
    ~KxSerialTransport() override;
    bool open(int timeoutMs, QString *error) override;
    void close() override;
    bool isOpen() const override;
    bool write(const QByteArray &bytes) override;
    void discardInput() override;
    QString describe() const override;

private:
    QString m_portName;
    qint32 m_baudRate;
    QSerialPort *m_port = nullptr;
    bool m_closing = false;
};

// An offline device answered by an in-process reader. Replies are delivered from the event
// loop, never from inside write(), so the link sees the same order of events as on a wire.
class KxInProcessTransport : public IKxTransport
{
public:
    KxInProcessTransport(const QString &deviceId, const QString &xml, const QString &cfgPath,
                         KxOffLineReaderFactory factory);
    ~KxInProcessTransport() override;
    bool open(int timeoutMs, QString *error) override;
    void close() override;
    bool isOpen() const override;
    bool write(const QByteArray &bytes) override;
    QString describe() const override;

private:
    QString m_deviceId, m_xml, m_cfgPath;
    KxOffLineReaderFactory m_factory;
    KxInProcessReaderPtr m_reader;
    std::shared_ptr<bool> m_alive;  // guards replies posted after close()
};
