#include "KxTransport.h"

#include "KxAddressPolicy.h"

#include <QDebug>
#include <QSerialPort>
#include <QTcpSocket>
#include <QTimer>

#include <cerrno>
#include <sys/socket.h>

// ---- TCP -------------------------------------------------------------------------------------

KxTcpTransport::KxTcpTransport(const QHostAddress &address, quint16 port)
    : m_address(address), m_port(port)
{
}

KxTcpTransport::~KxTcpTransport()
{
    close();
}

bool KxTcpTransport::open(int timeoutMs, QString *error)
{
    if (!KxAddressPolicy::isAllowed(m_address)) {
        qWarning() << "KxTcpTransport::open()... refused, address outside 127.0.0.0/8:"
                   << m_address.toString();
        if (error)
            *error = QStringLiteral("address %1 is outside 127.0.0.0/8").arg(m_address.toString());
        return false;
    }
    close();
    m_closing = false;
    m_socket = new QTcpSocket;
    m_socket->connectToHost(m_address, m_port);
    if (!m_socket->waitForConnected(timeoutMs)) {
        if (error)
            *error = m_socket->errorString();
        delete m_socket;
        m_socket = nullptr;
        return false;
    }
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    QObject::connect(m_socket, &QTcpSocket::readyRead, m_socket, [this] {
        const QByteArray bytes = m_socket->readAll();
        if (onData && !bytes.isEmpty())
            onData(bytes);
    });
    QObject::connect(m_socket, &QTcpSocket::disconnected, m_socket, [this] {
        if (!m_closing && onLost)
            onLost(QStringLiteral("connection closed by the reader"));
    });
    QObject::connect(m_socket, &QAbstractSocket::errorOccurred, m_socket,
                     [this](QAbstractSocket::SocketError e) {
                         if (e == QAbstractSocket::RemoteHostClosedError)
                             return;  // disconnected() follows
                         if (!m_closing && onLost)
                             onLost(m_socket->errorString());
                     });
    return true;
}

void KxTcpTransport::close()
{
    if (!m_socket)
        return;
    m_closing = true;
    m_socket->disconnect();
    m_socket->abort();
    m_socket->deleteLater();
    m_socket = nullptr;
}

bool KxTcpTransport::isOpen() const
{
    return m_socket && m_socket->state() == QAbstractSocket::ConnectedState;
}

bool KxTcpTransport::write(const QByteArray &bytes)
{
    if (!isOpen())
        return false;
    // Straight to the kernel while nothing waits in Qt's buffer: a request leaves now instead of
    // one event-loop turn later, when the write notifier would fire (switching that notifier on
    // and off costs the link thread two more wake-ups per request). What the kernel does not
    // take goes through the socket's buffer, which keeps the order.
    qint64 sent = 0;
    if (m_socket->bytesToWrite() == 0) {
        const qintptr fd = m_socket->socketDescriptor();
        while (sent < bytes.size()) {
            const ssize_t n = ::send(int(fd), bytes.constData() + sent, size_t(bytes.size() - sent),
                                     MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0) {
                sent += n;
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
                return false;  // the socket's notifiers report the loss itself
            break;
        }
    }
    if (sent == bytes.size())
        return true;
    const QByteArray rest = bytes.mid(int(sent));
    return m_socket->write(rest) == rest.size();
}

void KxTcpTransport::discardInput()
{
    if (m_socket)
        m_socket->readAll();
}

int KxTcpTransport::directFd() const
{
    return isOpen() ? int(m_socket->socketDescriptor()) : -1;
}

bool KxTcpTransport::sendBufferEmpty() const
{
    return !m_socket || m_socket->bytesToWrite() == 0;
}

QString KxTcpTransport::describe() const
{
    return QStringLiteral("tcp %1:%2").arg(m_address.toString()).arg(m_port);
}

// ---- serial ----------------------------------------------------------------------------------

KxSerialTransport::KxSerialTransport(const QString &portName, qint32 baudRate)
    : m_portName(portName), m_baudRate(baudRate)
{
}

KxSerialTransport::~KxSerialTransport()
{
    close();
}

bool KxSerialTransport::open(int, QString *error)
{
    close();
    m_closing = false;
    m_port = new QSerialPort(m_portName);
    m_port->setBaudRate(m_baudRate);
    m_port->setDataBits(QSerialPort::Data8);
    m_port->setParity(QSerialPort::NoParity);
    m_port->setStopBits(QSerialPort::OneStop);
    m_port->setFlowControl(QSerialPort::NoFlowControl);
    if (!m_port->open(QIODevice::ReadWrite)) {
        if (error)
            *error = m_port->errorString();
        delete m_port;
        m_port = nullptr;
        return false;
    }
    m_port->clear();
    QObject::connect(m_port, &QSerialPort::readyRead, m_port, [this] {
        const QByteArray bytes = m_port->readAll();
        if (onData && !bytes.isEmpty())
            onData(bytes);
    });
    QObject::connect(m_port, &QSerialPort::errorOccurred, m_port, [this](QSerialPort::SerialPortError e) {
        // A vanished device (unplugged USB, closed pseudo-terminal) is a lost link; other errors
        // (a framing error on one byte) are not.
        if (m_closing || !onLost)
            return;
        if (e == QSerialPort::ResourceError || e == QSerialPort::DeviceNotFoundError
            || e == QSerialPort::PermissionError)
            onLost(m_port->errorString());
    });
    return true;
}

void KxSerialTransport::close()
{
    if (!m_port)
        return;
    m_closing = true;
    m_port->disconnect();
    m_port->close();
    m_port->deleteLater();
    m_port = nullptr;
}

bool KxSerialTransport::isOpen() const
{
    return m_port && m_port->isOpen();
}

bool KxSerialTransport::write(const QByteArray &bytes)
{
    return isOpen() && m_port->write(bytes) == bytes.size();
}

void KxSerialTransport::discardInput()
{
    if (m_port) {
        m_port->readAll();
        m_port->clear(QSerialPort::Input);
    }
}

QString KxSerialTransport::describe() const
{
    return QStringLiteral("serial %1").arg(m_portName);
}

// ---- in-process ------------------------------------------------------------------------------

KxInProcessTransport::KxInProcessTransport(const QString &deviceId, const QString &xml,
                                           const QString &cfgPath, KxOffLineReaderFactory factory)
    : m_deviceId(deviceId), m_xml(xml), m_cfgPath(cfgPath), m_factory(std::move(factory))
{
}

KxInProcessTransport::~KxInProcessTransport()
{
    close();
}

bool KxInProcessTransport::open(int, QString *error)
{
    close();
    if (!m_factory) {
        if (error)
            *error = QStringLiteral("no offline reader engine is registered");
        return false;
    }
    m_reader = m_factory(m_deviceId, m_xml, m_cfgPath, error);
    if (!m_reader)
        return false;
    m_alive = std::make_shared<bool>(true);
    return true;
}

void KxInProcessTransport::close()
{
    if (m_alive)
        *m_alive = false;
    m_alive.reset();
    m_reader.reset();
}

bool KxInProcessTransport::isOpen() const
{
    return m_reader != nullptr;
}

bool KxInProcessTransport::write(const QByteArray &bytes)
{
    if (!m_reader)
        return false;
    const QByteArray reply = m_reader->handleRequest(bytes);
    if (reply.isEmpty())
        return true;
    std::weak_ptr<bool> alive = m_alive;
    QTimer::singleShot(0, [this, alive, reply] {
        const auto a = alive.lock();
        if (a && *a && onData)
            onData(reply);
    });
    return true;
}

QString KxInProcessTransport::describe() const
{
    return QStringLiteral("in-process %1 (%2)").arg(m_deviceId, m_xml);
}
