#include "KxDeviceLink.h"

#include "KxBinaryFrame.h"
#include "KxLinkFrames.h"

#include <QDateTime>
#include <QDebug>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

bool isReplyKind(quint8 kind)
{
    return kind & 0x80;
}

QTimer *makeTimer(QObject *parent, bool singleShot)
{
    auto *t = new QTimer(parent);
    t->setSingleShot(singleShot);
    t->setTimerType(Qt::PreciseTimer);
    return t;
}

}  // namespace

KxDeviceLink::KxDeviceLink(KxLinkSpec params, Sink sink)
    : m_spec(std::move(params)), m_sink(std::move(sink)),
      m_assembler(KxFrameAssembler::Side::Client),
      m_directAssembler(KxFrameAssembler::Side::Client)
{
    m_deadlineTimer = makeTimer(this, true);
    m_staleTimer = makeTimer(this, true);
    m_corruptTimer = makeTimer(this, true);
    m_reconnectTimer = makeTimer(this, true);
    m_keepAliveTimer = makeTimer(this, false);
    m_unparkTimer = makeTimer(this, true);
    connect(m_deadlineTimer, &QTimer::timeout, this, &KxDeviceLink::onDeadline);
    connect(m_staleTimer, &QTimer::timeout, this, [this] {
        m_awaitingStale = false;
        pump();
    });
    connect(m_corruptTimer, &QTimer::timeout, this, [this] {
        if (!m_inFlight)
            return;
        qWarning() << "KxDeviceLink::onBytes()... reply rejected, damaged frame from" << m_spec.id;
        m_deadlineTimer->stop();
        const KxLinkRequestPtr req = std::move(m_inFlight);
        m_assembler.clear();
        req->finish(KxSendError::BadReply);
        pump();
    });
    connect(m_reconnectTimer, &QTimer::timeout, this, &KxDeviceLink::reconnectTick);
    connect(m_keepAliveTimer, &QTimer::timeout, this, &KxDeviceLink::keepAliveTick);
    connect(m_unparkTimer, &QTimer::timeout, this, &KxDeviceLink::unpark);
    m_thread.setObjectName(QStringLiteral("kit link %1").arg(m_spec.id));
    moveToThread(&m_thread);
    m_thread.start();
}

KxDeviceLink::~KxDeviceLink()
{
    close();
    m_thread.quit();
    m_thread.wait();
}

KxDeviceInfoMap KxDeviceLink::roleInfo() const
{
    QMutexLocker lock(&m_infoMutex);
    return m_roleInfo;
}

void KxDeviceLink::runOnLinkThread(const std::function<void()> &fn)
{
    if (QThread::currentThread() == &m_thread)
        fn();
    else
        QMetaObject::invokeMethod(this, fn, Qt::BlockingQueuedConnection);
}

bool KxDeviceLink::open(QString *error)
{
    bool ok = false;
    QString err;
    runOnLinkThread([&] {
        if (m_state == State::Up) {
            ok = true;
            return;
        }
        m_reconnectTimer->stop();
        ok = doOpen(&err);
        if (ok) {
            m_state = State::Up;
            setUp(true);
            pump();
        } else {
            m_state = State::Closed;
        }
    });
    if (error)
        *error = err;
    return ok;
}

void KxDeviceLink::close()
{
    runOnLinkThread([this] { doClose(); });
}

void KxDeviceLink::submit(const KxLinkRequestPtr &request)
{
    if (!m_up.load()) {
        request->finish(KxSendError::NotConnected);
        return;
    }
    QMetaObject::invokeMethod(this, [this, request] { enqueue(request); }, Qt::QueuedConnection);
}

bool KxDeviceLink::submitDirect(const KxLinkRequestPtr &request)
{
    int fd = -1;
    {
        std::lock_guard<std::mutex> lock(m_wireMutex);
        if (m_wire != Wire::Idle || m_wireFd < 0)
            return false;
        // A copy of the descriptor: the link may close its own while we wait, and the shutdown
        // that goes with the close wakes us.
        fd = ::fcntl(m_wireFd, F_DUPFD_CLOEXEC, 0);
        if (fd < 0)
            return false;
        const QByteArray &frame = request->frame;
        qint64 sent = 0;
        while (sent < frame.size()) {
            const ssize_t n = ::send(fd, frame.constData() + sent, size_t(frame.size() - sent),
                                     MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0)
                sent += n;
            else if (!(n < 0 && errno == EINTR))
                break;
        }
        if (sent == 0) {
            ::close(fd);
            return false;  // the link thread sends it and deals with any error itself
        }
        m_wire = Wire::Direct;
        m_direct = request;
        if (sent < frame.size()) {
            // The kernel took part of it; the link thread sends the rest, in order, and reads
            // the reply.
            m_directRest = frame.mid(int(sent));
            m_handedBack = true;
            ::close(fd);
            QMetaObject::invokeMethod(this, [this] { onBytes(QByteArray()); }, Qt::QueuedConnection);
            return true;
        }
    }
    readDirect(request, fd);
    ::close(fd);
    return true;
}

void KxDeviceLink::readDirect(const KxLinkRequestPtr &request, int fd)
{
    m_directAssembler.clear();
    const qint64 discarded = m_directAssembler.discardedBytes();
    QByteArray raw;
    char buf[65536];
    while (!request->isFinished()) {
        // Slices of at most a second, so a request the link finished meanwhile is noticed.
        const qint64 left = request->deadline.remainingTime();
        pollfd p{fd, POLLIN, 0};
        const int r = ::poll(&p, 1, left < 0 ? 1000 : int(qMin<qint64>(left, 1000)));
        if (r < 0 && errno == EINTR)
            continue;
        if (r == 0 && left > 1000)
            continue;
        if (r <= 0)
            break;  // deadline (or a poll error): the link times it out
        const ssize_t n = ::recv(fd, buf, sizeof buf, MSG_DONTWAIT);
        if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK))
            continue;
        if (n <= 0)
            break;  // loss: the link sees it too once it reads again
        raw.append(buf, int(n));
        m_directAssembler.append(QByteArray::fromRawData(buf, int(n)));
        KxFrameAssembler::Frame frame;
        if (!m_directAssembler.next(&frame)) {
            if (m_directAssembler.discardedBytes() != discarded)
                break;
            continue;
        }
        // Only one clean reply and nothing else is ours to finish here.
        if (frame.type != KxFrameAssembler::FrameType::Binary || frame.bytes.size() != raw.size()
            || m_directAssembler.discardedBytes() != discarded || !isReplyKind(quint8(frame.bytes.at(1))))
            break;
        bool mine = false, wanted = false;
        {
            std::lock_guard<std::mutex> lock(m_wireMutex);
            mine = m_wire == Wire::Direct && m_direct == request && !m_handedBack;
            if (mine) {
                wanted = m_pumpWanted;
                m_pumpWanted = false;
                m_direct.reset();
                // The link has work waiting: let it have the wire before the next caller.
                m_wire = wanted ? Wire::Busy : Wire::Idle;
            }
        }
        if (!mine)
            return;  // the link closed meanwhile and finished the request itself
        m_lastDirectMs.store(QDateTime::currentMSecsSinceEpoch());
        if (wanted)
            QMetaObject::invokeMethod(this, [this] { pump(); }, Qt::QueuedConnection);
        const quint8 kind = quint8(frame.bytes.at(1));
        request->finish(kind == KxFrame::Rejected ? int(KxSendError::Rejected) : int(KxSendError::Ok),
                        frame.bytes);
        return;
    }
    handBack(request, raw);
}

void KxDeviceLink::handBack(const KxLinkRequestPtr &request, const QByteArray &raw)
{
    {
        std::lock_guard<std::mutex> lock(m_wireMutex);
        if (m_wire != Wire::Direct || m_direct != request || m_handedBack)
            return;
        m_handedBack = true;
        m_handback = raw;
    }
    QMetaObject::invokeMethod(this, [this] { onBytes(QByteArray()); }, Qt::QueuedConnection);
}

void KxDeviceLink::expire()
{
    // A request the link never saw in flight (no byte came back) is adopted now; its deadline
    // has passed, so the usual time-out handling follows at once.
    QMetaObject::invokeMethod(this, [this] { pump(); }, Qt::QueuedConnection);
}

void KxDeviceLink::startKeepAlive(int intervalMs)
{
    QMetaObject::invokeMethod(this, [this, intervalMs] {
        m_keepAliveMs = qBound(100, intervalMs, 3600000);
        m_keepAliveTimer->start(m_keepAliveMs);
        keepAliveTick();
    }, Qt::QueuedConnection);
}

void KxDeviceLink::stopKeepAlive()
{
    QMetaObject::invokeMethod(this, [this] {
        if (m_keepAliveMs == 0)
            return;
        m_keepAliveMs = 0;
        m_keepAliveTimer->stop();
        if (m_state != State::Up)
            return;
        // Interval 0 ends the reader's idle watch.
        auto req = std::make_shared<KxLinkRequest>();
        req->kind = KxLinkRequest::Kind::KeepAlive;
        req->frame = KxLink::makeKeepAlive(0);
        req->deadline = QDeadlineTimer(5000);
        enqueue(req);
    }, Qt::QueuedConnection);
}

// ---- link thread -----------------------------------------------------------------------------

bool KxDeviceLink::doOpen(QString *error)
{
    switch (m_spec.transport) {
    case KxLinkSpec::Transport::Tcp:
        m_transport = std::make_unique<KxTcpTransport>(m_spec.address, m_spec.tcpPort);
        break;
    case KxLinkSpec::Transport::Serial:
        m_transport = std::make_unique<KxSerialTransport>(m_spec.serialPort);
        break;
    case KxLinkSpec::Transport::InProcess:
        m_transport = std::make_unique<KxInProcessTransport>(m_spec.id, m_spec.xml, m_spec.cfgPath,
                                                             m_spec.factory);
        break;
    }
    m_transport->onData = [this](const QByteArray &bytes) { onBytes(bytes); };
    m_transport->onLost = [this](const QString &reason) { onLost(reason); };
    m_transport->mayRead = [this] { return mayRead(); };
    m_transport->readIdle = [this] { pump(); };
    m_assembler.clear();
    m_awaitingStale = false;
    if (!m_transport->open(kOpenTimeoutMs, error)) {
        m_transport.reset();
        return false;
    }
    if (m_spec.transport == KxLinkSpec::Transport::Tcp && !handshake(error)) {
        m_transport->close();
        m_transport.reset();
        return false;
    }
    return true;
}

bool KxDeviceLink::handshake(QString *error)
{
    const quint8 role = m_spec.port == DevicePort_Log ? quint8(KxLink::Role_Log)
                                                       : quint8(qBound(0, m_spec.connectType, 1));
    int code = KxSendError::Timeout;
    QByteArray reply;
    QEventLoop loop;
    auto req = std::make_shared<KxLinkRequest>();
    req->kind = KxLinkRequest::Kind::Handshake;
    req->frame = KxLink::makeRoleRequest(role);
    req->deadline = QDeadlineTimer(kOpenTimeoutMs);
    req->done = [&](int c, const QByteArray &r) {
        code = c;
        reply = r;
        QTimer::singleShot(0, &loop, &QEventLoop::quit);
    };
    enqueue(req);
    loop.exec();

    quint8 kind = 0;
    QByteArray payload, json;
    int status = 0;
    if (code != KxSendError::Ok || !KxFrame::decode(reply, &kind, &payload)
        || kind != KxFrame::RoleReply || !KxLink::parseRoleReply(payload, &status, &json)) {
        if (error)
            *error = QStringLiteral("no role answer from the reader (%1)").arg(KxSendError::text(code));
        return false;
    }
    if (status != 6) {
        if (error)
            *error = QStringLiteral("the reader refused the link: another client holds it");
        return false;
    }
    KxDeviceInfoMap info;
    const QJsonObject o = QJsonDocument::fromJson(json).object();
    for (auto it = o.begin(); it != o.end(); ++it)
        info.insert(it.key(), it.value().toVariant().toString());
    QMutexLocker lock(&m_infoMutex);
    m_roleInfo = info;
    return true;
}

void KxDeviceLink::doClose()
{
    const bool wasUp = m_state == State::Up;
    m_state = State::Closed;
    m_reconnectTimer->stop();
    m_keepAliveTimer->stop();
    m_keepAliveMs = 0;
    failAll(KxSendError::LinkLost);
    if (m_transport) {
        m_transport->close();
        m_transport.reset();
    }
    if (wasUp)
        setUp(false);
}

void KxDeviceLink::enqueue(const KxLinkRequestPtr &request)
{
    if (m_state != State::Up && request->kind != KxLinkRequest::Kind::Handshake) {
        request->finish(KxSendError::NotConnected);
        return;
    }
    m_queue.push_back(request);
    pump();
}

bool KxDeviceLink::takeWire(bool force)
{
    KxLinkRequestPtr adopted;
    QByteArray rest, back;
    {
        std::lock_guard<std::mutex> lock(m_wireMutex);
        if (m_wire == Wire::Direct) {
            if (!m_handedBack && !force) {
                m_pumpWanted = true;  // the caller gives the wire back when it is done
                return false;
            }
            adopted = std::move(m_direct);
            rest.swap(m_directRest);
            back.swap(m_handback);
            m_handedBack = false;
        }
        m_pumpWanted = false;
        m_wire = Wire::Busy;
    }
    if (m_parked) {
        m_parked = false;
        m_unparkTimer->stop();
        if (m_transport)
            m_transport->resumeRead();
    }
    if (!adopted)
        return true;
    m_discardedAtSend = m_assembler.discardedBytes();
    m_inFlight = adopted;
    if (adopted->deadline.hasExpired()) {
        timeOutInFlight();  // what the caller read belonged to the timed-out exchange
        return true;
    }
    m_deadlineTimer->start(int(qBound<qint64>(1, adopted->deadline.remainingTime(), INT_MAX)));
    if (!rest.isEmpty() && (!m_transport || !m_transport->write(rest))) {
        m_deadlineTimer->stop();
        m_inFlight.reset();
        adopted->finish(KxSendError::LinkLost);
        return true;
    }
    // Bytes the caller read come before anything the link reads now.
    m_assembler.append(back);
    return true;
}

void KxDeviceLink::offerWire()
{
    const bool idle = m_state == State::Up && !m_inFlight && !m_awaitingStale && m_queue.empty()
        && m_transport && m_transport->sendBufferEmpty();
    const int fd = idle ? m_transport->directFd() : -1;
    std::lock_guard<std::mutex> lock(m_wireMutex);
    if (m_wire == Wire::Direct)
        return;
    m_wire = fd >= 0 ? Wire::Idle : Wire::Busy;
    m_wireFd = fd;
}

bool KxDeviceLink::mayRead()
{
    {
        std::lock_guard<std::mutex> lock(m_wireMutex);
        if (m_wire != Wire::Direct || m_handedBack || m_direct == nullptr) {
            if (m_wire != Wire::Direct)
                m_wire = Wire::Busy;  // while we read, no caller sends
            return true;
        }
    }
    // A caller reads its own reply: stay off the socket for a while.
    m_parked = true;
    m_unparkTimer->start(kUnparkMs);
    return false;
}

void KxDeviceLink::unpark()
{
    {
        std::lock_guard<std::mutex> lock(m_wireMutex);
        if (m_wire == Wire::Direct && !m_handedBack) {
            m_unparkTimer->start(kUnparkMs);
            return;
        }
    }
    // Within a run of requests the wire is idle only between them: watch again only once it
    // has rested, or every reply of the run would wake this thread as well.
    const qint64 rested = QDateTime::currentMSecsSinceEpoch() - m_lastDirectMs.load();
    if (rested < kUnparkMs) {
        m_unparkTimer->start(int(kUnparkMs - rested));
        return;
    }
    if (!m_parked)
        return;
    m_parked = false;
    if (m_transport)
        m_transport->resumeRead();
}

void KxDeviceLink::pump()
{
    if (!takeWire())
        return;  // a caller holds the wire and calls us again when it is done
    while (!m_inFlight && !m_awaitingStale && !m_queue.empty()) {
        KxLinkRequestPtr req = m_queue.front();
        m_queue.pop_front();
        if (req->isFinished())
            continue;  // its caller gave up while it waited
        if (req->deadline.hasExpired()) {
            req->finish(KxSendError::Timeout);
            continue;
        }
        if (!m_transport || !m_transport->isOpen()) {
            req->finish(KxSendError::NotConnected);
            continue;
        }
        m_discardedAtSend = m_assembler.discardedBytes();
        if (!m_transport->write(req->frame)) {
            req->finish(KxSendError::LinkLost);
            continue;
        }
        m_inFlight = req;
        m_deadlineTimer->start(int(qBound<qint64>(1, req->deadline.remainingTime(), INT_MAX)));
    }
    offerWire();
}

void KxDeviceLink::onBytes(const QByteArray &bytes)
{
    if (!takeWire())
        return;  // a caller holds the wire; only bytes it hands back come here then
    m_assembler.append(bytes);
    KxFrameAssembler::Frame frame;
    while (m_transport && m_assembler.next(&frame))
        onFrame(frame);
    if (m_inFlight && m_assembler.discardedBytes() > m_discardedAtSend && !m_corruptTimer->isActive())
        m_corruptTimer->start(kCorruptSettleMs);
    pump();
}

void KxDeviceLink::onFrame(const KxFrameAssembler::Frame &frame)
{
    using Type = KxFrameAssembler::FrameType;
    if (frame.type == Type::Binary) {
        // The assembler has checked head, kind, length, sum and tail already.
        const quint8 kind = quint8(frame.bytes.at(1));
        if (isReplyKind(kind))
            onReply(kind, frame.bytes);
        return;
    }
    if (frame.type == Type::TextRequest)
        return;  // a reader never sends requests
    if (m_spec.port == DevicePort_Log) {
        if (m_sink.logData)
            m_sink.logData(frame.bytes);
        return;
    }
    if (m_spec.connectType == ConnectType_Command || !m_sink.resultData)
        return;  // a command-only link does not carry results
    if (m_spec.transport == KxLinkSpec::Transport::Serial && frame.type == Type::Kestor) {
        quint16 type = 0;
        QByteArray payload;
        if (KxKestor::parse(frame.bytes, &type, &payload) && type == KxKestor::SingleBarcode) {
            m_sink.resultData(payload);  // a finished message
            return;
        }
    }
    m_sink.resultData(frame.bytes);
}

void KxDeviceLink::onReply(quint8 kind, const QByteArray &frame)
{
    if (m_inFlight) {
        m_deadlineTimer->stop();
        m_corruptTimer->stop();
        const KxLinkRequestPtr req = std::move(m_inFlight);
        // The wire is offered (or the next request sent) before the caller wakes, so a caller
        // that sends again at once finds it idle.
        pump();
        req->finish(kind == KxFrame::Rejected ? int(KxSendError::Rejected) : int(KxSendError::Ok),
                    frame);
        return;
    }
    if (m_awaitingStale) {  // the late answer of a request that timed out
        m_awaitingStale = false;
        m_staleTimer->stop();
        pump();
        return;
    }
    if (kind != KxFrame::KeepAliveReply && m_sink.message)
        m_sink.message(frame);
}

void KxDeviceLink::onDeadline()
{
    if (takeWire())
        timeOutInFlight();
}

void KxDeviceLink::timeOutInFlight()
{
    if (!m_inFlight)
        return;
    const KxLinkRequestPtr req = std::move(m_inFlight);
    m_corruptTimer->stop();
    req->finish(KxSendError::Timeout);
    if (req->kind == KxLinkRequest::Kind::KeepAlive && m_keepAliveMs > 0) {
        onLost(QStringLiteral("keep-alive unanswered"));
        return;
    }
    // Whatever part of the reply has arrived is worthless now; its rest may still come.
    m_assembler.clear();
    if (m_transport)
        m_transport->discardInput();
    m_awaitingStale = true;
    m_staleTimer->start(kStaleReplyGraceMs);
}

void KxDeviceLink::onLost(const QString &reason)
{
    if (m_state != State::Up) {
        failAll(KxSendError::LinkLost);  // during a handshake
        return;
    }
    qWarning().noquote() << "KxDeviceLink::onLost()..." << m_spec.id << reason;
    // Down first, so a caller woken by the failure already sees the link as lost.
    m_state = m_spec.reconnect ? State::Reconnecting : State::Closed;
    setUp(false);
    failAll(KxSendError::LinkLost);
    if (m_transport) {
        // We may be inside one of the transport's callbacks: delete it from the event loop.
        IKxTransport *old = m_transport.release();
        old->close();
        QTimer::singleShot(0, this, [old] { delete old; });
    }
    m_keepAliveTimer->stop();
    if (m_state == State::Reconnecting) {
        m_reconnectAttempts = 0;
        m_reconnectTimer->start(kReconnectIntervalMs);
    }
}

void KxDeviceLink::failAll(int code)
{
    takeWire(true);  // a caller's request fails too; the transport's shutdown wakes the caller
    m_deadlineTimer->stop();
    m_corruptTimer->stop();
    m_staleTimer->stop();
    m_awaitingStale = false;
    m_assembler.clear();
    if (m_inFlight) {
        const KxLinkRequestPtr req = std::move(m_inFlight);
        req->finish(code);
    }
    std::deque<KxLinkRequestPtr> queue;
    queue.swap(m_queue);
    for (const auto &req : queue)
        req->finish(code);
}

void KxDeviceLink::setUp(bool up)
{
    m_up.store(up);
    if (m_sink.stateChanged)
        m_sink.stateChanged(up);
}

void KxDeviceLink::reconnectTick()
{
    if (m_state != State::Reconnecting)
        return;
    ++m_reconnectAttempts;
    QString err;
    if (doOpen(&err)) {
        qInfo().noquote() << "KxDeviceLink::reconnectTick()... link back:" << m_spec.id;
        m_state = State::Up;
        setUp(true);
        if (m_keepAliveMs > 0)
            m_keepAliveTimer->start(m_keepAliveMs);
        pump();
        return;
    }
    if (m_reconnectAttempts >= kMaxReconnectAttempts) {
        qWarning().noquote() << "KxDeviceLink::reconnectTick()... giving up on" << m_spec.id << err;
        m_state = State::Closed;
        return;
    }
    m_reconnectTimer->start(kReconnectIntervalMs);
}

void KxDeviceLink::keepAliveTick()
{
    // Only when the link is idle: a request on the wire proves the link is alive anyway.
    if (!takeWire())
        return;
    if (m_state != State::Up || m_keepAliveMs <= 0 || m_inFlight || !m_queue.empty()) {
        pump();
        return;
    }
    auto req = std::make_shared<KxLinkRequest>();
    req->kind = KxLinkRequest::Kind::KeepAlive;
    req->frame = KxLink::makeKeepAlive(quint32(m_keepAliveMs));
    req->deadline = QDeadlineTimer(2 * m_keepAliveMs);
    enqueue(req);
}
