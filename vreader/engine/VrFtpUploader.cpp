#include "VrFtpUploader.h"

#include <QRegularExpression>
#include <QTcpSocket>
#include <QTimer>

VrFtpUploader::VrFtpUploader(QObject *parent)
    : QObject(parent)
    , m_timeout(new QTimer(this))
{
    m_timeout->setSingleShot(true);
    connect(m_timeout, &QTimer::timeout, this, [this] {
        // Reads run on this thread too: a long one can hold back a reply that came in time.
        if (m_control && m_control->state() == QAbstractSocket::ConnectedState && m_control->waitForReadyRead(0)) {
            if (m_busy)
                m_timeout->start(kStepTimeoutMs);
            return;
        }
        finish(false, QStringLiteral("no answer in time (step %1)").arg(int(m_step)));
    });
}

void VrFtpUploader::enqueue(const Job &job)
{
    while (m_queue.size() >= kMaxQueued) {
        emit logLine(QStringLiteral("FTP upload: queue full, %1 dropped").arg(m_queue.head().name));
        m_queue.dequeue();
    }
    m_queue.enqueue(job);
    if (!m_busy)
        startNext();
}

void VrFtpUploader::startNext()
{
    if (m_queue.isEmpty())
        return;
    m_job = m_queue.dequeue();
    const QHostAddress address(m_job.host);
    // The virtual reader only ever talks to this machine.
    if (address.isNull() || !address.isLoopback()) {
        emit logLine(QStringLiteral("FTP upload of %1 refused: server %2 is not a loopback address")
                         .arg(m_job.name, m_job.host));
        emit uploaded(m_job.name, false);
        QTimer::singleShot(0, this, &VrFtpUploader::startNext);
        return;
    }
    m_busy = true;
    m_step = Step::Greeting;
    m_buffer.clear();
    m_dataSent = m_transferDone = false;
    m_control = new QTcpSocket(this);
    connect(m_control, &QTcpSocket::readyRead, this, &VrFtpUploader::onControlData);
    connect(m_control, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError e) {
        // A time-out is only the look for a late reply above, not a broken connection.
        if (e != QAbstractSocket::SocketTimeoutError && m_busy && m_step != Step::Quit)
            finish(false, m_control->errorString());
    });
    m_timeout->start(kStepTimeoutMs);
    m_control->connectToHost(address, m_job.port);
}

void VrFtpUploader::send(const QString &line)
{
    m_control->write(line.toUtf8() + "\r\n");
    m_timeout->start(kStepTimeoutMs);
}

void VrFtpUploader::onControlData()
{
    m_buffer += m_control->readAll();
    if (m_buffer.size() > 64 * 1024) {
        finish(false, QStringLiteral("reply too long"));
        return;
    }
    int nl;
    while (m_control && (nl = m_buffer.indexOf('\n')) >= 0) {
        const QString line = QString::fromUtf8(m_buffer.left(nl)).trimmed();
        m_buffer.remove(0, nl + 1);
        // Multi-line replies end with "ddd " on their last line.
        if (line.size() < 4 || !line.at(0).isDigit() || line.at(3) != QLatin1Char(' '))
            continue;
        onReply(line.left(3).toInt(), line);
    }
}

void VrFtpUploader::onReply(int code, const QString &text)
{
    switch (m_step) {
    case Step::Greeting:
        if (code != 220)
            return finish(false, text);
        m_step = Step::User;
        return send(QStringLiteral("USER ") + m_job.user);
    case Step::User:
        if (code != 331 && code != 230)
            return finish(false, text);
        if (code == 230)
            break;
        m_step = Step::Pass;
        return send(QStringLiteral("PASS ") + m_job.password);
    case Step::Pass:
        if (code != 230)
            return finish(false, text);
        break;
    case Step::Cwd:
        if (code == 550) {
            // A missing folder is made once, then entered.
            m_step = Step::Mkd;
            return send(QStringLiteral("MKD ") + m_job.folder);
        }
        if (code != 250)
            return finish(false, text);
        m_step = Step::Type;
        return send(QStringLiteral("TYPE I"));
    case Step::Mkd:
        if (code != 257)
            return finish(false, text);
        m_step = Step::Cwd;
        return send(QStringLiteral("CWD ") + m_job.folder);
    case Step::Type:
        if (code != 200)
            return finish(false, text);
        m_step = Step::Pasv;
        return send(QStringLiteral("PASV"));
    case Step::Pasv:
        if (code != 227)
            return finish(false, text);
        return openData(text);
    case Step::Stor:
        if (code == 150) {
            // As clients do: the file goes out once the server has taken the command.
            if (m_data && !m_dataSent) {
                m_dataSent = true;
                m_data->write(m_job.data);
            }
            return;
        }
        if (code != 226)
            return finish(false, text);
        m_transferDone = true;
        return finish(true, QString());
    case Step::Done:
    case Step::Quit:
        return;
    }
    // Logged in.
    if (m_job.folder.isEmpty()) {
        m_step = Step::Type;
        send(QStringLiteral("TYPE I"));
    } else {
        m_step = Step::Cwd;
        send(QStringLiteral("CWD ") + m_job.folder);
    }
}

void VrFtpUploader::openData(const QString &pasvReply)
{
    static const QRegularExpression rx(QStringLiteral("(\\d+),(\\d+),(\\d+),(\\d+),(\\d+),(\\d+)"));
    const QRegularExpressionMatch m = rx.match(pasvReply);
    if (!m.hasMatch())
        return finish(false, pasvReply);
    const QString host = QStringLiteral("%1.%2.%3.%4").arg(m.captured(1), m.captured(2), m.captured(3), m.captured(4));
    const quint16 port = quint16(m.captured(5).toInt() * 256 + m.captured(6).toInt());
    const QHostAddress address(host);
    if (!address.isLoopback())
        return finish(false, QStringLiteral("data address %1 is not a loopback address").arg(host));
    m_data = new QTcpSocket(this);
    connect(m_data, &QTcpSocket::connected, this, [this] {
        m_step = Step::Stor;
        send(QStringLiteral("STOR ") + m_job.name);
    });
    connect(m_data, &QTcpSocket::bytesWritten, this, [this] {
        if (m_data && m_dataSent && m_data->bytesToWrite() == 0)
            m_data->disconnectFromHost();
        m_timeout->start(kStepTimeoutMs);
    });
    connect(m_data, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError e) {
        if (e != QAbstractSocket::RemoteHostClosedError && m_busy)
            finish(false, m_data->errorString());
    });
    m_data->connectToHost(address, port);
    m_timeout->start(kStepTimeoutMs);
}

void VrFtpUploader::finish(bool ok, const QString &why)
{
    if (!m_busy)
        return;
    m_busy = false;
    m_timeout->stop();
    emit logLine(ok ? QStringLiteral("FTP upload of %1 (%2 bytes) done").arg(m_job.name).arg(m_job.data.size())
                    : QStringLiteral("FTP upload of %1 failed: %2").arg(m_job.name, why));
    emit uploaded(m_job.name, ok);
    if (m_data) {
        m_data->disconnect(this);
        m_data->abort();
        m_data->deleteLater();
        m_data = nullptr;
    }
    if (m_control) {
        m_control->disconnect(this);
        if (ok && m_control->state() == QAbstractSocket::ConnectedState) {
            m_control->write("QUIT\r\n");
            m_control->disconnectFromHost();
        } else {
            m_control->abort();
        }
        m_control->deleteLater();
        m_control = nullptr;
    }
    QTimer::singleShot(0, this, &VrFtpUploader::startNext);
}
