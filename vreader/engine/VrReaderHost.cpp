#include "VrReaderHost.h"

#include "KxBinaryFrame.h"
#include "KxLinkFrames.h"
#include "KxRequestParser.h"
#include "VrPty.h"

#include <QDateTime>
#include <QHostAddress>
#include <QNetworkDatagram>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUdpSocket>

#include <cerrno>
#include <sys/socket.h>

namespace {

// Straight to the kernel while nothing waits in the socket's own buffer: a reply leaves now, not
// one event-loop turn later when the write notifier fires. What the kernel does not take goes
// through the socket's buffer, which keeps the order.
void writeNow(QTcpSocket *socket, const QByteArray &bytes)
{
    qint64 sent = 0;
    if (socket->bytesToWrite() == 0 && socket->state() == QAbstractSocket::ConnectedState) {
        const int fd = int(socket->socketDescriptor());
        while (fd >= 0 && sent < bytes.size()) {
            const ssize_t n = ::send(fd, bytes.constData() + sent, size_t(bytes.size() - sent),
                                     MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0)
                sent += n;
            else if (!(n < 0 && errno == EINTR))
                break;  // full, or an error the socket's notifiers report themselves
        }
    }
    if (sent < bytes.size())
        socket->write(sent == 0 ? bytes : bytes.mid(int(sent)));
}

}  // namespace

struct VrReaderHost::Link
{
    explicit Link() : assembler(KxFrameAssembler::Side::Reader) {}
    QPointer<QTcpSocket> socket;  // null for the pseudo-terminal
    bool logLink = false;
    bool liveLog = false;
    int role = -1;  // -1 until the first frame
    int frames = 0;
    KxFrameAssembler assembler;
    QTimer *partial = nullptr;  // drops a request whose rest never arrives
    QTimer *idle = nullptr;     // keep-alive watch
};

VrReaderHost::VrReaderHost(std::unique_ptr<VrReaderEngine> engine, const VrFaults &faults,
                           quint16 discoveryPort, QObject *parent)
    : QObject(parent), m_engine(std::move(engine)), m_faults(faults), m_discoveryPort(discoveryPort)
{
    m_engine->setRefusedCode(faults.refuseCode);
    m_engine->setEmptyQueryAll(faults.emptyQueryAll);
    m_engine->setNoReadEvery(faults.noReadEvery);
    m_firmware.setRefuseCode(faults.refuseFirmware);
}

VrReaderHost::~VrReaderHost() = default;

QString VrReaderHost::ptyPath() const
{
    return m_pty ? m_pty->path() : QString();
}

void VrReaderHost::log(const QString &line)
{
    const QString stamped = QDateTime::currentDateTime().toString("hh:mm:ss.zzz ") + line;
    m_log.append(stamped);
    if (m_log.size() > 1000)
        m_log.removeFirst();
    emit logLine(m_engine->identity().serial + QStringLiteral(": ") + line);
    // The stored and the live log hold what the reader's log level lets through; live lines
    // leave only while the active log ("LOGACT") is on, to the log links that asked for them.
    const int level = VrDeviceLog::levelOf(line);
    if (!m_deviceLog->append(level, line, m_engine->runningValue(QStringLiteral("LOGLVL")).toInt()))
        return;
    if (m_engine->runningValue(QStringLiteral("LOGACT")) != "1")
        return;
    for (const auto &l : m_links) {
        if (l->logLink && l->liveLog && l->socket)
            l->socket->write(KxKestor::make(KxKestor::LogLine, KxKestor::makeLogLine(level, line)));
    }
}

void VrReaderHost::setDeviceLog(const QString &path, qint64 fillBytes)
{
    m_deviceLog = std::make_unique<VrDeviceLog>(path);
    m_deviceLog->load();
    if (fillBytes > 0)
        m_deviceLog->fillTo(fillBytes);
}

bool VrReaderHost::startNetwork(QString *error)
{
    if (!listen(error))
        return false;
    log(QStringLiteral("start: firmware %1, %2").arg(m_engine->identity().firmware, m_engine->identity().model));
    updateReadLoop();  // a stored continuous read mode reads from power-on, client or not
    return true;
}

bool VrReaderHost::listen(QString *error)
{
    const VrIdentity &id = m_engine->identity();
    const QHostAddress address(id.ip);
    if (!address.isInSubnet(QHostAddress::LocalHost, 8)) {
        *error = QStringLiteral("address %1 is outside 127.0.0.0/8").arg(id.ip);
        return false;
    }
    m_cmdServer = new QTcpServer(this);
    m_logServer = new QTcpServer(this);
    m_udp = new QUdpSocket(this);
    if (!m_cmdServer->listen(address, id.cmdPort) || !m_logServer->listen(address, id.logPort)
        || !m_udp->bind(address, m_discoveryPort)) {
        *error = QStringLiteral("cannot listen on %1 (ports %2, %3, %4): %5 %6")
                     .arg(id.ip).arg(id.cmdPort).arg(id.logPort).arg(m_discoveryPort)
                     .arg(m_cmdServer->errorString(), m_udp->errorString());
        closeListeners();
        return false;
    }
    connect(m_cmdServer, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *s = m_cmdServer->nextPendingConnection())
            addSocket(s, false);
    });
    connect(m_logServer, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *s = m_logServer->nextPendingConnection())
            addSocket(s, true);
    });
    connect(m_udp, &QUdpSocket::readyRead, this, &VrReaderHost::onDatagrams);
    return true;
}

void VrReaderHost::closeListeners()
{
    for (QObject *o : {static_cast<QObject *>(m_cmdServer), static_cast<QObject *>(m_logServer),
                       static_cast<QObject *>(m_udp)}) {
        if (o)
            o->deleteLater();
    }
    if (m_cmdServer)
        m_cmdServer->close();
    if (m_logServer)
        m_logServer->close();
    if (m_udp)
        m_udp->close();
    m_cmdServer = m_logServer = nullptr;
    m_udp = nullptr;
}

bool VrReaderHost::startPty(QString *error)
{
    m_pty = new VrPty(this);
    if (!m_pty->open(error))
        return false;
    log(QStringLiteral("start: firmware %1, %2").arg(m_engine->identity().firmware, m_engine->identity().model));
    auto link = std::make_unique<Link>();
    link->role = KxLink::Role_Reader;
    Link *raw = link.get();
    link->partial = new QTimer(this);
    link->partial->setSingleShot(true);
    connect(link->partial, &QTimer::timeout, this, [raw] { raw->assembler.clear(); });
    m_links.push_back(std::move(link));
    connect(m_pty, &VrPty::received, this, [this, raw](const QByteArray &b) { onData(raw, b); });
    updateReadLoop();
    return true;
}

void VrReaderHost::addSocket(QTcpSocket *socket, bool logLink)
{
    if (m_restarting) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    auto link = std::make_unique<Link>();
    Link *raw = link.get();
    link->socket = socket;
    link->logLink = logLink;
    link->partial = new QTimer(socket);
    link->partial->setSingleShot(true);
    link->idle = new QTimer(socket);
    link->idle->setSingleShot(true);
    connect(link->partial, &QTimer::timeout, socket, [raw] { raw->assembler.clear(); });
    connect(link->idle, &QTimer::timeout, socket, [this, raw] {
        log(QStringLiteral("keep-alive missed, link closed"));
        dropLink(raw);
    });
    m_links.push_back(std::move(link));
    connect(socket, &QTcpSocket::readyRead, this, [this, raw] {
        if (raw->socket)
            onData(raw, raw->socket->readAll());
    });
    connect(socket, &QTcpSocket::disconnected, this, [this, raw] { dropLink(raw); });
}

void VrReaderHost::dropLink(Link *link)
{
    for (auto it = m_links.begin(); it != m_links.end(); ++it) {
        if (it->get() != link)
            continue;
        if (m_holder == link)
            m_holder = nullptr;
        if (m_firmwareLink == link) {
            if (m_firmware.active())
                log(QStringLiteral("firmware: link lost mid-transfer; old firmware kept"));
            m_firmware.abort();
            m_firmwareLink = nullptr;
        }
        if (link->partial)
            link->partial->stop();
        if (link->idle)
            link->idle->stop();
        if (link->socket) {
            QTcpSocket *s = link->socket;
            link->socket = nullptr;
            s->disconnect(this);
            s->abort();
            s->deleteLater();
        }
        m_links.erase(it);
        updateHolder();
        return;
    }
}

void VrReaderHost::refuseAndClose(Link *link)
{
    QTcpSocket *s = link->socket;
    if (!s) {
        send(link, KxLink::makeRoleReply(DataResult_Refused, m_engine->infoJson()));
        return;  // a serial link is never refused
    }
    // The refusal must reach the client: written now, not after a simulated delay, and the
    // socket closed gracefully, so what is queued leaves before the FIN.
    s->write(KxLink::makeRoleReply(DataResult_Refused, m_engine->infoJson()));
    // The link's timers live on the socket but point at the link, which goes now.
    delete link->partial;
    delete link->idle;
    link->partial = link->idle = nullptr;
    link->socket = nullptr;
    s->disconnect(this);
    connect(s, &QTcpSocket::readyRead, s, [s] { s->readAll(); });  // unread input would reset
    connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
    QTimer::singleShot(5000, s, [s] { s->abort(); });  // a peer that never lets go
    s->disconnectFromHost();
    dropLink(link);
}

void VrReaderHost::updateHolder()
{
    m_engine->setConfigtoolConnected(m_holder != nullptr);
}

void VrReaderHost::onData(Link *link, const QByteArray &bytes)
{
    if (m_restarting)
        return;
    link->assembler.append(bytes);
    KxFrameAssembler::Frame frame;
    // The link may be dropped while its frames are handled: check it is still ours.
    while (link->assembler.next(&frame)) {
        const bool alive = std::any_of(m_links.begin(), m_links.end(),
                                       [link](const auto &l) { return l.get() == link; });
        if (!alive)
            return;
        handleFrame(link, frame);
        if (m_restarting)
            return;
        if (!std::any_of(m_links.begin(), m_links.end(),
                         [link](const auto &l) { return l.get() == link; }))
            return;
    }
    if (link->assembler.buffered() > 0) {
        const QByteArray t = m_engine->runningValue(QStringLiteral("FRMTMO"));
        link->partial->start(qBound(10000, t.toInt(), 180000));
    } else {
        link->partial->stop();
    }
}

void VrReaderHost::handleFrame(Link *link, const KxFrameAssembler::Frame &frame)
{
    if (link->idle && link->idle->interval() > 0 && link->idle->isActive())
        link->idle->start();
    ++link->frames;
    if (m_faults.dropAfter > 0 && link->frames > m_faults.dropAfter) {
        log(QStringLiteral("fault: link dropped after %1 frames").arg(m_faults.dropAfter));
        dropLink(link);
        return;
    }
    if (frame.type == KxFrameAssembler::FrameType::Malformed) {
        // Answered on any link, role or not; nothing else changes.
        log(QStringLiteral("malformed request rejected: %1").arg(QLatin1String(frame.error)));
        send(link, KxMakeRejectedReply(QLatin1String(frame.error)));
        return;
    }
    quint8 kind = KxFrame::TextRequest;
    QByteArray payload;
    if (frame.type == KxFrameAssembler::FrameType::Binary) {
        // The assembler checked the envelope (kind, size, checksum, tail): not summed again.
        kind = quint8(frame.bytes.at(1));
        payload = frame.bytes.mid(6, frame.bytes.size() - KxFrame::EnvelopeSize);
        if (handleLinkFrame(link, kind, payload))
            return;
    }
    if (link->logLink) {
        if (handleLogRequest(link, frame.bytes))
            return;
    } else if (link->role < 0 && link->socket) {
        // A client that skips the role frame takes the full role implicitly, and is refused
        // as a role request would be.
        if (m_holder && m_holder != link) {
            log(QStringLiteral("second client refused: reader is held"));
            refuseAndClose(link);
            return;
        }
        link->role = KxLink::Role_Reader;
        m_holder = link;
        updateHolder();
    }
    const VrReaderEngine::Outcome outcome = m_engine->handleFrame(frame.bytes);
    for (const QString &line : outcome.log)
        log(line);
    send(link, outcome.reply);
    sendResults(outcome.results);
    updateReadLoop();
    if (outcome.restart)
        restart();
}

bool VrReaderHost::handleLinkFrame(Link *link, quint8 kind, const QByteArray &payload)
{
    if (kind == KxFrame::FirmwareStep && !link->logLink) {
        handleFirmware(link, payload);
        return true;
    }
    if (kind == KxFrame::RoleRequest) {
        quint8 role = 0;
        if (!KxLink::parseRoleRequest(payload, &role)) {
            send(link, KxMakeRejectedReply(QStringLiteral("bad role request")));
            return true;
        }
        const bool exclusive = role != KxLink::Role_Log;
        if (link->role >= 0) {
            // The role is fixed by the first role frame (or request); asking it again changes
            // nothing, asking another is refused and the link goes on as it was.
            const bool same = link->role == role;
            send(link, KxLink::makeRoleReply(same ? DataResult_Ack : DataResult_Refused,
                                             m_engine->infoJson()));
            return true;
        }
        if (exclusive == link->logLink) {
            log(QStringLiteral("role %1 refused on the %2 port").arg(role).arg(link->logLink ? "log" : "command"));
            refuseAndClose(link);
            return true;
        }
        if (exclusive && m_holder && m_holder != link) {
            log(QStringLiteral("second client refused: reader is held"));
            refuseAndClose(link);
            return true;
        }
        link->role = role;
        if (exclusive) {
            m_holder = link;
            updateHolder();
        }
        send(link, KxLink::makeRoleReply(DataResult_Ack, m_engine->infoJson()));
        return true;
    }
    if (kind == KxFrame::KeepAlive) {
        quint32 interval = 0;
        KxLink::parseKeepAlive(payload, &interval);
        if (link->idle) {
            if (interval > 0)
                link->idle->start(int(qMin<quint32>(interval, 600000) * 3));
            else
                link->idle->stop();
        }
        send(link, KxLink::makeKeepAliveReply());
        return true;
    }
    return false;
}

bool VrReaderHost::handleLogRequest(Link *link, const QByteArray &frame)
{
    KxSettingsRequest request;
    if (!KxParseSettingsRequest(frame, &request) || request.items.size() != 1)
        return false;
    const KxRequestItem &item = request.items.first();
    if (item.code != QLatin1String("LOGQRY") && item.code != QLatin1String("LOGRCV"))
        return false;
    // Acknowledged with the value in force, as every setting is: the value sent, or for a
    // query of "LOGRCV" whether the live log is on.
    int result = DataResult_Ack;
    QByteArray value = item.value;
    if (item.code == QLatin1String("LOGQRY")) {
        // The stored log as it stands, in blocks, before the acknowledgement.
        constexpr int kBlock = 256 * 1024;
        m_deviceLog->flush();
        const QByteArray &all = m_deviceLog->bytes();
        for (int at = 0; at < all.size() && link->socket; at += kBlock)
            link->socket->write(KxKestor::make(KxKestor::StoredLog, all.mid(at, kBlock)));
    } else if (!item.hasValue) {
        value = link->liveLog ? "1" : "0";
    } else if (item.value == "0" || item.value == "1") {
        link->liveLog = item.value == "1";
    } else {
        result = DataResult_Refused;
        value = link->liveLog ? "1" : "0";
    }
    KxSettingsReply reply;
    reply.prefix = request.prefix;
    KxTagInfo t;
    t.code = item.code;
    t.result = result;
    t.subTags.append({QString(), result, value});
    reply.tags << t;
    send(link, KxMakeSettingsReply(reply));
    return true;
}

void VrReaderHost::send(Link *link, const QByteArray &reply)
{
    if (reply.isEmpty())
        return;
    QByteArray out = reply;
    ++m_replies;
    if (m_faults.corruptEvery > 0 && m_replies % m_faults.corruptEvery == 0) {
        out = vrCorrupt(out);
        log(QStringLiteral("fault: reply corrupted"));
    }
    auto write = [this, link, out] {
        if (!std::any_of(m_links.begin(), m_links.end(),
                         [link](const auto &l) { return l.get() == link; }))
            return;
        if (link->socket)
            writeNow(link->socket, out);
        else if (m_pty)
            m_pty->write(out);
    };
    if (m_faults.delayMs > 0)
        QTimer::singleShot(m_faults.delayMs, this, write);
    else
        write();
}

void VrReaderHost::restart()
{
    m_restarting = true;
    log(QStringLiteral("restart"));
    // Let the reply leave before the links go down.
    QTimer::singleShot(50, this, [this] {
        std::vector<Link *> network;
        for (const auto &l : m_links) {
            if (l->socket)
                network.push_back(l.get());
            else
                l->assembler.clear();
        }
        for (Link *l : network) {
            if (l->socket)
                l->socket->flush();
            dropLink(l);
        }
        if (m_pty)
            m_pty->setPaused(true);
        const bool network_ = m_cmdServer != nullptr;
        closeListeners();
        QTimer::singleShot(1000, this, [this, network_] {
            m_engine->restart();
            m_restarting = false;
            updateReadLoop();
            if (m_pty)
                m_pty->setPaused(false);
            QString error;
            if (network_ && !listen(&error))
                log(QStringLiteral("cannot listen again: ") + error);
            log(QStringLiteral("start: firmware %1, %2").arg(m_engine->identity().firmware, m_engine->identity().model));
        });
    });
}

void VrReaderHost::onDatagrams()
{
    QUdpSocket *udp = m_udp;
    for (int i = 0; udp && udp->hasPendingDatagrams() && i < 256; ++i) {
        const QNetworkDatagram in = udp->receiveDatagram(KxDiscovery::MaxDatagram + 1);
        KxDiscovery::Datagram request;
        if (!KxDiscovery::decode(in.data(), &request))
            continue;
        // Only loopback peers are ever answered.
        if (!in.senderAddress().isInSubnet(QHostAddress::LocalHost, 8) || m_restarting)
            continue;
        const auto outcome = m_engine->handleDatagram(request);
        for (const QString &line : outcome.log)
            log(line);
        if (outcome.moved) {
            // Listen at the new address before answering, so the answer means "reachable there".
            closeListeners();
            QString error;
            if (!listen(&error)) {
                log(QStringLiteral("cannot move: ") + error);
                return;
            }
            log(QStringLiteral("moved to ") + m_engine->identity().ip);
        }
        for (const auto &reply : outcome.replies)
            m_udp->writeDatagram(KxDiscovery::encode(reply), in.senderAddress(), in.senderPort());
        if (outcome.moved) {
            m_udp->writeDatagram(KxDiscovery::encode(m_engine->information(request.transaction)),
                                 in.senderAddress(), in.senderPort());
            return;  // the old socket is gone
        }
    }
}

bool VrReaderHost::hasResultLink() const
{
    return std::any_of(m_links.begin(), m_links.end(), [this](const auto &l) {
        return !l->socket ? m_pty != nullptr : (l.get() == m_holder && l->role == KxLink::Role_Reader);
    });
}

void VrReaderHost::sendResults(const QList<QByteArray> &frames)
{
    uploadImages();
    if (frames.isEmpty() || m_restarting)
        return;
    if (!hasResultLink())
        m_engine->keepOffline(frames);
    const QByteArray bytes = frames.join();
    for (const auto &l : m_links) {
        if (!l->socket && m_pty)
            m_pty->write(bytes);
        else if (l->socket && l.get() == m_holder && l->role == KxLink::Role_Reader)
            writeNow(l->socket, bytes);
    }
}
