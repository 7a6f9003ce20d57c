#pragma once
// One open link to a reader (command, result or log port). The link object lives on an I/O
// thread of its own; its public methods may be called from any thread and hand their work to
// that thread. One request is on the wire at a time; the others wait in order.
#include <QHostAddress>
#include <QMutex>
#include <QObject>
#include <QThread>

#include <atomic>
#include <deque>
#include <functional>
#include <mutex>

#include "KxFrameAssembler.h"
#include "KxKitTypes.h"
#include "KxLinkRequest.h"
#include "KxTransport.h"

class QTimer;

struct KxLinkSpec
{
    enum class Transport { Tcp, Serial, InProcess };

    QString id;
    int port = DevicePort_Main;         // EDevicePortType
    int connectType = ConnectType_Reader;  // EConnectType: the role asked for on TCP
    bool reconnect = true;              // reopen after the link drops (bounded)
    Transport transport = Transport::Tcp;
    QHostAddress address;
    quint16 tcpPort = 0;
    QString serialPort;
    QString xml, cfgPath;               // in-process (offline) devices
    KxOffLineReaderFactory factory;
};

class KxDeviceLink : public QObject
{
    Q_OBJECT
public:
    // Called on the link's thread; the kit re-posts them to its own thread.
    struct Sink
    {
        std::function<void(bool up)> stateChanged;
        std::function<void(const QByteArray &)> resultData;  // result frames / payloads
        std::function<void(const QByteArray &)> message;     // replies nobody waited for
        std::function<void(const QByteArray &)> logData;     // frames of a log link
    };

    static constexpr int kOpenTimeoutMs = 3000;
    static constexpr int kReconnectIntervalMs = 1000;
    static constexpr int kMaxReconnectAttempts = 60;
    // After a time-out the late reply may still come; the next request waits this long for it.
    static constexpr int kStaleReplyGraceMs = 1500;
    // A reply spoiled on the wire fails its request after this settle time (not at its time-out).
    static constexpr int kCorruptSettleMs = 200;
    // How long the link stays off the socket after a caller read its own reply there: within a
    // run of requests it is not woken by every reply; a frame nobody asked for waits this long.
    static constexpr int kUnparkMs = 10;

    KxDeviceLink(KxLinkSpec params, Sink sink);
    ~KxDeviceLink() override;

    const KxLinkSpec &linkSpec() const { return m_spec; }
    bool isUp() const { return m_up.load(); }
    // The information map from the role answer of a TCP link (empty on other links).
    KxDeviceInfoMap roleInfo() const;

    // Opens the link, blocking the caller until it is up or has failed.
    bool open(QString *error);
    // Closes the link for good: pending requests fail at once, no reconnect.
    void close();
    // Queues a request; it is finished with LinkLost/NotConnected at once when the link is down.
    void submit(const KxLinkRequestPtr &request);
    // A blocking caller's request, sent and answered on the caller's own thread while the wire
    // is idle: a request is then an exchange of two parties, as on a plain socket, instead of
    // three. Blocks until the request is finished or handed to the link thread (anything but
    // one clean reply: other frames, damage, loss, time-out). False when the wire is not idle
    // (or not a socket); the caller uses submit() instead.
    bool submitDirect(const KxLinkRequestPtr &request);
    // A caller stopped waiting for its request: the link treats it as timed out.
    void expire();
    void startKeepAlive(int intervalMs);
    void stopKeepAlive();

private:
    enum class State { Closed, Up, Reconnecting };

    // All of these run on the link's thread.
    bool doOpen(QString *error);
    bool handshake(QString *error);
    void doClose();
    void enqueue(const KxLinkRequestPtr &request);
    void pump();
    void onBytes(const QByteArray &bytes);
    void onFrame(const KxFrameAssembler::Frame &frame);
    void onReply(quint8 kind, const QByteArray &frame);
    void onDeadline();
    void timeOutInFlight();
    void onLost(const QString &reason);
    void failAll(int code);
    void setUp(bool up);
    void reconnectTick();
    void keepAliveTick();
    void runOnLinkThread(const std::function<void()> &fn);
    bool takeWire(bool force = false);
    void offerWire();
    bool mayRead();
    void unpark();
    // Caller's thread, holding the wire.
    void readDirect(const KxLinkRequestPtr &request, int fd);
    void handBack(const KxLinkRequestPtr &request, const QByteArray &raw);

    KxLinkSpec m_spec;
    Sink m_sink;
    QThread m_thread;
    KxTransportPtr m_transport;
    KxFrameAssembler m_assembler;
    State m_state = State::Closed;
    std::atomic<bool> m_up{false};
    std::deque<KxLinkRequestPtr> m_queue;
    KxLinkRequestPtr m_inFlight;
    bool m_awaitingStale = false;
    qint64 m_discardedAtSend = 0;
    int m_reconnectAttempts = 0;
    int m_keepAliveMs = 0;
    QTimer *m_deadlineTimer;
    QTimer *m_staleTimer;
    QTimer *m_corruptTimer;
    QTimer *m_reconnectTimer;
    QTimer *m_keepAliveTimer;
    QTimer *m_unparkTimer;
    // Who may use the wire next. Idle: a caller may claim it, send its request and read the
    // reply itself (Direct); the link thread neither sends nor reads until the caller is done or
    // hands the request back, which the link then adopts as its request in flight. Busy: the
    // link thread owns it (also while it reads), so one request stays on the wire and one
    // thread reads the socket.
    enum class Wire { Busy, Idle, Direct };
    std::mutex m_wireMutex;
    Wire m_wire = Wire::Busy;
    int m_wireFd = -1;
    KxLinkRequestPtr m_direct;
    bool m_handedBack = false;
    bool m_pumpWanted = false;  // the link thread found the wire taken and waits for it
    QByteArray m_directRest;    // what the caller's send left for the link thread
    QByteArray m_handback;      // what the caller read but could not use
    // The link thread stopped watching the socket because a caller reads it (link thread only);
    // it watches again once the wire is idle for a moment.
    bool m_parked = false;
    std::atomic<qint64> m_lastDirectMs{0};  // when a caller last finished a request itself
    KxFrameAssembler m_directAssembler;  // used by the caller that holds the wire
    mutable QMutex m_infoMutex;
    KxDeviceInfoMap m_roleInfo;
};
