#include "KxTransport.h"

#include "KxAddressPolicy.h"

#include <QDebug>
#include <QSerialPort>
#include <QDeadlineTimer>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

// ---- TCP -------------------------------------------------------------------------------------

namespace {

QString errnoText(int err)
{
    return QString::fromLocal8Bit(strerror(err));
}

}  // namespace

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
    auto fail = [&](const QString &text) {
        if (error)
            *error = text;
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
        return false;
    };
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_fd < 0)
        return fail(errnoText(errno));
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(m_port);
    sa.sin_addr.s_addr = htonl(m_address.toIPv4Address());
    if (::connect(m_fd, reinterpret_cast<const sockaddr *>(&sa), sizeof sa) != 0) {
        if (errno != EINPROGRESS)
            return fail(errnoText(errno));
        QDeadlineTimer deadline(qMax(1, timeoutMs));
        for (;;) {
            pollfd p{m_fd, POLLOUT, 0};
            const int r = ::poll(&p, 1, int(qMax<qint64>(0, deadline.remainingTime())));
            if (r < 0 && errno == EINTR)
                continue;
            if (r < 0)
                return fail(errnoText(errno));
            if (r == 0)
                return fail(QStringLiteral("connection timed out"));
            break;
        }
        int err = 0;
        socklen_t len = sizeof err;
        if (::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0)
            err = errno;
        if (err != 0)
            return fail(errnoText(err));
    }
    const int one = 1;
    ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    m_alive = std::make_shared<bool>(true);
    m_readNotifier = new QSocketNotifier(m_fd, QSocketNotifier::Read);
    QObject::connect(m_readNotifier, &QSocketNotifier::activated, [this] { onReadable(); });
    m_writeNotifier = new QSocketNotifier(m_fd, QSocketNotifier::Write);
    m_writeNotifier->setEnabled(false);
    QObject::connect(m_writeNotifier, &QSocketNotifier::activated, [this] { onWritable(); });
    return true;
}

void KxTcpTransport::close()
{
    if (m_alive)
        *m_alive = false;
    m_alive.reset();
    delete m_readNotifier;
    delete m_writeNotifier;
    m_readNotifier = m_writeNotifier = nullptr;
    m_pending.clear();
    if (m_fd >= 0) {
        // Shut down first: a caller reading its reply on a copy of the descriptor wakes now.
        ::shutdown(m_fd, SHUT_RDWR);
        ::close(m_fd);
        m_fd = -1;
    }
}

bool KxTcpTransport::isOpen() const
{
    return m_fd >= 0;
}

bool KxTcpTransport::flush()
{
    qint64 sent = 0;
    while (sent < m_pending.size()) {
        const ssize_t n = ::send(m_fd, m_pending.constData() + sent, size_t(m_pending.size() - sent),
                                 MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            sent += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return false;  // the read side reports the loss
        break;
    }
    m_pending.remove(0, int(sent));
    m_writeNotifier->setEnabled(!m_pending.isEmpty());
    return true;
}

bool KxTcpTransport::write(const QByteArray &bytes)
{
    if (m_fd < 0)
        return false;
    // Straight to the kernel; what it does not take waits here, in order, for the notifier.
    const bool wasEmpty = m_pending.isEmpty();
    m_pending += bytes;
    return wasEmpty ? flush() : true;
}

void KxTcpTransport::onWritable()
{
    if (m_fd >= 0 && !flush()) {
        m_writeNotifier->setEnabled(false);
        m_pending.clear();
    }
}

void KxTcpTransport::onReadable()
{
    if (mayRead && !mayRead()) {
        m_readNotifier->setEnabled(false);
        return;
    }
    // Straight into the buffer handed on, and at most 1 MiB a wake-up: a peer that keeps
    // sending (a log download) is taken in pieces the link can pass on as they come.
    constexpr int kChunk = 256 * 1024;
    constexpr int kMaxPerWake = 1024 * 1024;
    QByteArray bytes;
    QString lost;
    for (;;) {
        const int had = bytes.size();
        bytes.resize(had + kChunk);
        const ssize_t n = ::recv(m_fd, bytes.data() + had, kChunk, MSG_DONTWAIT);
        bytes.resize(had + int(qMax<ssize_t>(0, n)));
        if (n > 0) {
            if (n < kChunk || bytes.size() >= kMaxPerWake)
                break;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0)
            lost = QStringLiteral("connection closed by the reader");
        else if (errno != EAGAIN && errno != EWOULDBLOCK)
            lost = errnoText(errno);
        break;
    }
    const std::shared_ptr<bool> alive = m_alive;
    if (!bytes.isEmpty()) {
        if (onData)
            onData(bytes);
    } else if (lost.isEmpty() && readIdle) {
        readIdle();
    }
    if (!*alive || lost.isEmpty())
        return;
    // Stop watching a dead descriptor before telling the link (which closes us later).
    m_readNotifier->setEnabled(false);
    if (onLost)
        onLost(lost);
}

void KxTcpTransport::resumeRead()
{
    if (m_readNotifier)
        m_readNotifier->setEnabled(true);
}

void KxTcpTransport::discardInput()
{
    if (m_fd < 0)
        return;
    char buf[65536];
    while (::recv(m_fd, buf, sizeof buf, MSG_DONTWAIT) > 0) {
    }
}

int KxTcpTransport::directFd() const
{
    return m_fd;
}

bool KxTcpTransport::sendBufferEmpty() const
{
    return m_pending.isEmpty();
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
