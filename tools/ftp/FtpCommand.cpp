#include "FtpCommand.h"

#include "FtpReplies.h"

namespace {
const qint64 kChunk = 64 * 1024;
const qint64 kHighWater = 512 * 1024;
const int kLinesPerBatch = 256;
} // namespace

void FtpCommand::start(QTcpSocket *socket)
{
    m_socket = socket;
    connect(socket, &QTcpSocket::bytesWritten, this, &FtpCommand::progressed);
    connect(socket, &QTcpSocket::readyRead, this, &FtpCommand::progressed);
    // Nothing can be sent to a peer that has gone; a listing or file never reached it.
    if (socket->state() != QAbstractSocket::ConnectedState && !takesClosedPeer()) {
        finish(false, FtpReplies::transferAborted());
        return;
    }
    begin();
}

void FtpCommand::finish(bool ok, const QString &reply)
{
    if (m_done)
        return;
    m_done = true;
    if (m_socket)
        disconnect(m_socket, nullptr, this, nullptr);
    emit finished(ok, reply);
}

void FtpCommand::closeThenFinish()
{
    if (!m_socket) {
        finish(false, FtpReplies::noDataConnection());
        return;
    }
    connect(m_socket, &QTcpSocket::disconnected, this,
            [this] { finish(true, FtpReplies::transferDone()); });
    m_socket->disconnectFromHost();
    if (m_socket && m_socket->state() == QAbstractSocket::UnconnectedState)
        finish(true, FtpReplies::transferDone());
}

FtpListCommand::FtpListCommand(const QStringList &lines, QObject *parent)
    : FtpCommand(parent)
    , m_lines(lines)
{
}

void FtpListCommand::begin()
{
    connect(m_socket, &QTcpSocket::bytesWritten, this, &FtpListCommand::writeMore);
    connect(m_socket, &QTcpSocket::disconnected, this,
            [this] { finish(false, FtpReplies::transferAborted()); });
    writeMore();
}

// Listings go out in batches so a huge folder never sits in memory as one block twice.
void FtpListCommand::writeMore()
{
    if (m_done || !m_socket || m_socket->bytesToWrite() > kHighWater)
        return;
    if (m_next >= m_lines.size()) {
        if (m_socket->bytesToWrite() == 0) {
            disconnect(m_socket, &QTcpSocket::bytesWritten, this, &FtpListCommand::writeMore);
            disconnect(m_socket, &QTcpSocket::disconnected, this, nullptr);
            closeThenFinish();
        }
        return;
    }
    QByteArray batch;
    const int end = qMin(m_lines.size(), m_next + kLinesPerBatch);
    for (; m_next < end; ++m_next)
        batch += m_lines.at(m_next).toUtf8() + "\r\n";
    m_socket->write(batch);
}

FtpRetrCommand::FtpRetrCommand(const QString &path, qint64 offset, QObject *parent)
    : FtpCommand(parent)
    , m_file(path)
    , m_offset(offset)
{
}

void FtpRetrCommand::begin()
{
    if (!m_file.open(QIODevice::ReadOnly) || (m_offset > 0 && !m_file.seek(m_offset))) {
        finish(false, FtpReplies::fileUnavailable());
        return;
    }
    connect(m_socket, &QTcpSocket::bytesWritten, this, &FtpRetrCommand::writeMore);
    connect(m_socket, &QTcpSocket::disconnected, this,
            [this] { finish(false, FtpReplies::transferAborted()); });
    writeMore();
}

void FtpRetrCommand::writeMore()
{
    if (m_done || !m_socket)
        return;
    while (m_socket->bytesToWrite() < kHighWater && !m_file.atEnd()) {
        const QByteArray chunk = m_file.read(kChunk);
        if (chunk.isEmpty())
            break;
        m_socket->write(chunk);
    }
    if (m_file.atEnd() && m_socket->bytesToWrite() == 0) {
        disconnect(m_socket, &QTcpSocket::bytesWritten, this, &FtpRetrCommand::writeMore);
        disconnect(m_socket, &QTcpSocket::disconnected, this, nullptr);
        closeThenFinish();
    }
}

FtpStorCommand::FtpStorCommand(const QString &path, qint64 maxBytes, QObject *parent)
    : FtpCommand(parent)
    , m_file(path)
    , m_maxBytes(maxBytes)
{
}

FtpStorCommand::~FtpStorCommand()
{
    // A transfer that never finished leaves no half file behind.
    if (!m_done && m_file.isOpen())
        m_file.remove();
}

bool FtpStorCommand::open()
{
    // NewOnly: an existing file (or a link planted meanwhile) is never written through.
    return m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly);
}

void FtpStorCommand::begin()
{
    if (!m_file.isOpen() && !open()) {
        finish(false, FtpReplies::writeFailed());
        return;
    }
    connect(m_socket, &QTcpSocket::readyRead, this, &FtpStorCommand::readMore);
    connect(m_socket, &QTcpSocket::disconnected, this, &FtpStorCommand::complete);
    readMore();
    if (!m_done && m_socket && m_socket->state() == QAbstractSocket::UnconnectedState)
        complete();
}

// The end of the stream is the end of the file.
void FtpStorCommand::complete()
{
    readMore();
    if (m_done)
        return;
    const bool ok = m_file.flush() && m_file.error() == QFile::NoError;
    m_file.close();
    if (!ok)
        m_file.remove();
    finish(ok, ok ? FtpReplies::transferDone() : FtpReplies::writeFailed());
}

void FtpStorCommand::readMore()
{
    if (m_done || !m_socket)
        return;
    // One buffer for the whole upload: a fresh large block per read costs page faults.
    if (m_buffer.isEmpty())
        m_buffer.resize(kChunk * 4);
    while (m_socket->bytesAvailable() > 0) {
        const qint64 got = m_socket->read(m_buffer.data(), m_buffer.size());
        if (got <= 0)
            break;
        m_received += got;
        if (m_received > m_maxBytes) {
            fail(FtpReplies::localError());
            return;
        }
        if (m_file.write(m_buffer.constData(), got) != got) {
            fail(FtpReplies::writeFailed());
            return;
        }
    }
}

void FtpStorCommand::fail(const QString &reply)
{
    m_file.close();
    m_file.remove();
    // Finish first: aborting emits disconnected, which would otherwise complete the upload.
    QPointer<QTcpSocket> socket = m_socket;
    finish(false, reply);
    if (socket)
        socket->abort();
}
