// Kit costs against plain loopback baselines measured in the same run:
//  - a full sync ("@^", "@&", "@*") of the largest model against a bare TCP echo of the same
//    request and reply bytes, served by a process of its own (and, for comparison, by a thread);
//  - the kit alone: the same replies from a bare peer, through the kit and through a plain socket;
//  - discovery of 50 readers in one scan against a bare datagram search of the same addresses.
#include <QCoreApplication>
#include <QDir>
#include <QNetworkDatagram>
#include <QProcess>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QUdpSocket>

#include <memory>
#include <numeric>

#include "KxBinaryFrame.h"
#include "KxDataStreamMaker.h"
#include "KxDeviceKit.h"
#include "KxDiscovery.h"
#include "VReaderProcess.h"
#include "bench.h"

namespace {

// Answers each request with the reply bytes recorded for it, on a thread of its own.
class EchoPeer
{
public:
    // first, when given, answers the first request only (a role answer).
    explicit EchoPeer(QList<QByteArray> replies, QByteArray first = QByteArray())
        : m_replies(std::move(replies)), m_first(std::move(first))
    {
        m_thread.start();
        m_server = new QTcpServer;
        m_server->moveToThread(&m_thread);
        QMetaObject::invokeMethod(m_server, [this] {
            m_server->listen(QHostAddress(QHostAddress::LocalHost), 0);
            QObject::connect(m_server, &QTcpServer::newConnection, m_server, [this] {
                QTcpSocket *s = m_server->nextPendingConnection();
                QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] {
                    s->readAll();  // every request arrives in one piece on loopback
                    if (!m_first.isEmpty()) {
                        s->write(m_first);
                        m_first.clear();
                        return;
                    }
                    s->write(m_replies[m_next++ % m_replies.size()]);
                });
            });
        }, Qt::BlockingQueuedConnection);
    }
    ~EchoPeer()
    {
        QMetaObject::invokeMethod(m_server, [this] { delete m_server; }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
    quint16 port() const { return m_server->serverPort(); }

private:
    QList<QByteArray> m_replies;
    QByteArray m_first;
    int m_next = 0;
    QThread m_thread;
    QTcpServer *m_server;
};

// One "round" runs the three requests kRoundsPerSample times; kit and baseline samples alternate
// so that load from elsewhere on the machine hits both alike. Results are per round.
constexpr int kRoundsPerSample = 20;
constexpr int kSamples = 15;

// A plain blocking socket on the calling thread: write, read until the whole reply is in.
class PlainClient
{
public:
    explicit PlainClient(quint16 port)
    {
        m_socket.connectToHost(QHostAddress(QHostAddress::LocalHost), port);
        m_socket.waitForConnected(3000);
        m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    }
    bool isConnected() const { return m_socket.state() == QAbstractSocket::ConnectedState; }
    bool round(const QList<QByteArray> &requests, const QList<qint64> &replySizes)
    {
        for (int i = 0; i < requests.size(); ++i) {
            m_socket.write(requests[i]);
            qint64 got = 0;
            while (got < replySizes[i]) {
                if (!m_socket.bytesAvailable() && !m_socket.waitForReadyRead(5000))
                    return false;
                got += m_socket.readAll().size();
            }
        }
        return true;
    }

private:
    QTcpSocket m_socket;
};

bool kitRound(const QString &id, const QList<QByteArray> &requests)
{
    for (const QByteArray &q : requests) {
        QByteArray reply;
        if (KxDeviceKit::Instance()->sendBinaryMessage(id, q, reply, 60000) != 0 || reply.isEmpty())
            return false;
    }
    return true;
}

struct Pair
{
    double subjectMs = 0, baselineMs = 0;
    double subjectMin = 0, subjectMax = 0, baselineMin = 0;
    bool ok = true;
};

// Alternates samples of subject and baseline; returns the medians per round.
Pair alternate(const std::function<bool()> &subject, const std::function<bool()> &baseline)
{
    std::vector<double> a, b;
    Pair p;
    auto sample = [&p](const std::function<bool()> &fn) {
        QElapsedTimer t;
        t.start();
        for (int r = 0; r < kRoundsPerSample; ++r)
            p.ok = fn() && p.ok;
        return t.nsecsElapsed() / 1e6 / kRoundsPerSample;
    };
    sample(subject);  // warm-up
    sample(baseline);
    for (int i = 0; i < kSamples; ++i) {
        a.push_back(sample(subject));
        b.push_back(sample(baseline));
    }
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    p.subjectMs = a[a.size() / 2];
    p.baselineMs = b[b.size() / 2];
    p.subjectMin = a.front();
    p.subjectMax = a.back();
    p.baselineMin = b.front();
    return p;
}

// The fastest samples of both sides are the least disturbed by other load on the machine; their
// ratio is a check on the ratio of the medians when the machine is busy.
QString spread(const Pair &p)
{
    return QStringLiteral("per round of 3 requests, subject from %1 to %2 ms, fastest against "
                          "fastest %3")
        .arg(p.subjectMin, 0, 'f', 3)
        .arg(p.subjectMax, 0, 'f', 3)
        .arg(p.baselineMin > 0 ? p.subjectMin / p.baselineMin : 0.0, 0, 'f', 2);
}

const QList<QByteArray> &syncRequests()
{
    static const QList<QByteArray> requests{KxMakeDataStreamCmd("@^", DataProtocol_Settings, true),
                                            KxMakeDataStreamCmd("@&", DataProtocol_Settings, true),
                                            KxMakeDataStreamCmd("@*", DataProtocol_Settings, true)};
    return requests;
}

QByteArray roleAnswer()
{
    return KxFrame::encode(KxFrame::RoleReply, QByteArray(1, char(6)) + "{}");
}

// Records the sync replies of the largest model from the virtual reader.
bool recordReplies(VReaderProcess &vr, QList<QByteArray> *replies)
{
    if (!vr.start({"--model", "KXS-FM800", "--count", "1"})) {
        qWarning("bench_kit: virtual reader did not start");
        return false;
    }
    const VReaderProcess::Reader r = vr.readers().value(0);
    KxDeviceKit *kit = KxDeviceKit::Instance();
    if (!kit->connectToDevice_Cmd("sync", QStringLiteral("%1:%2").arg(r.address).arg(r.port))) {
        qWarning("bench_kit: no link to the virtual reader");
        return false;
    }
    for (const QByteArray &q : syncRequests()) {
        QByteArray reply;
        if (kit->sendBinaryMessage("sync", q, reply, 60000) != 0) {
            qWarning("bench_kit: the virtual reader did not answer");
            return false;
        }
        *replies << reply;
    }
    return true;
}

QList<qint64> sizesOf(const QList<QByteArray> &replies)
{
    QList<qint64> sizes;
    for (const QByteArray &r : replies)
        sizes << r.size();
    return sizes;
}

// "--echo-peer DIR": answers each request with the next of DIR's reply files, in a process of
// its own like the reader, and says its port on the first line of its output.
int echoPeerMain(const QString &dir)
{
    QList<QByteArray> replies;
    for (int i = 0;; ++i) {
        QFile f(QDir(dir).filePath(QStringLiteral("reply%1.bin").arg(i)));
        if (!f.open(QIODevice::ReadOnly))
            break;
        replies << f.readAll();
    }
    if (replies.isEmpty())
        return 1;
    QTcpServer server;
    if (!server.listen(QHostAddress(QHostAddress::LocalHost), 0))
        return 1;
    int next = 0;
    QObject::connect(&server, &QTcpServer::newConnection, &server, [&] {
        QTcpSocket *s = server.nextPendingConnection();
        s->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        QObject::connect(s, &QTcpSocket::readyRead, s, [&, s] {
            s->readAll();
            s->write(replies[next++ % replies.size()]);
        });
        QObject::connect(s, &QTcpSocket::disconnected, qApp, &QCoreApplication::quit);
    });
    QTextStream(stdout) << "port " << server.serverPort() << Qt::endl;
    return QCoreApplication::exec();
}

// The same echo as a separate process: a reader is always one, and on an idle machine two
// processes wake each other across cores where two threads of one process often share one.
class EchoProcess
{
public:
    explicit EchoProcess(const QList<QByteArray> &replies)
    {
        for (int i = 0; i < replies.size(); ++i) {
            QFile f(m_dir.filePath(QStringLiteral("reply%1.bin").arg(i)));
            if (f.open(QIODevice::WriteOnly))
                f.write(replies[i]);
        }
        m_process.start(QCoreApplication::applicationFilePath(), {"--echo-peer", m_dir.path()});
        QElapsedTimer t;
        t.start();
        while (!m_process.canReadLine() && t.elapsed() < 10000)
            m_process.waitForReadyRead(100);
        const QByteArray line = m_process.readLine().trimmed();
        if (line.startsWith("port "))
            m_port = quint16(line.mid(5).toUInt());
    }
    ~EchoProcess()
    {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
    quint16 port() const { return m_port; }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
};

void benchSync()
{
    VReaderProcess vr;
    QList<QByteArray> replies;
    if (!recordReplies(vr, &replies))
        return;
    const qint64 bytes = std::accumulate(replies.begin(), replies.end(), qint64(0),
                                         [](qint64 n, const QByteArray &r) { return n + r.size(); });
    EchoPeer peer(replies);
    PlainClient plain(peer.port());
    EchoProcess echoProcess(replies);
    PlainClient plainProcess(echoProcess.port());
    if (!plainProcess.isConnected())
        qWarning("bench_kit: the echo process did not start");
    const Pair p = alternate([] { return kitRound("sync", syncRequests()); },
                             [&] { return plainProcess.round(syncRequests(), sizesOf(replies)); });
    const Pair t = alternate([] { return kitRound("sync", syncRequests()); },
                             [&] { return plain.round(syncRequests(), sizesOf(replies)); });
    KxDeviceKit::Instance()->disconnectFromDeviceEx("sync", DevicePort_Main);
    if (!p.ok || !t.ok)
        qWarning("bench_kit: a request of the full sync failed");
    const QString name = "full sync @^ @& @* KXS-FM800 (" + QString::number(bytes) + " reply bytes)";
    bench::report(name, p.subjectMs, p.baselineMs,
                  "virtual reader through the kit against a plain loopback echo in a process of its "
                  "own, as the reader is; target 10 or less, " + spread(p));
    bench::report(name, t.subjectMs, t.baselineMs,
                  "the same against an echo thread of this process, which may share the caller's "
                  "core; " + spread(t));

    // The kit's own share: the same recorded replies served by the bare echo peer, once through
    // the kit and once through a plain socket. A role answer precedes the replies for the kit.
    EchoPeer kitPeer(replies, roleAnswer());
    if (!KxDeviceKit::Instance()->connectToDevice_Cmd(
            "echo", QStringLiteral("127.0.0.1:%1").arg(kitPeer.port()))) {
        qWarning("bench_kit: no link to the bare peer");
        return;
    }
    // The plain socket talks to the very same peer thread: where the scheduler puts that thread
    // (on the caller's core or the other) changes a round several times over, for both alike.
    PlainClient plainSame(kitPeer.port());
    const Pair o = alternate([] { return kitRound("echo", syncRequests()); },
                             [&] { return plainSame.round(syncRequests(), sizesOf(replies)); });
    KxDeviceKit::Instance()->disconnectFromDeviceEx("echo", DevicePort_Main);
    if (!o.ok)
        qWarning("bench_kit: a request to the bare peer failed");
    bench::report("same replies from a bare peer, kit vs plain socket", o.subjectMs, o.baselineMs,
                  "the kit's own cost without the reader's work; target 3 or less, " + spread(o));
}

// "--profile echo|sync|plain [rounds]": only one side of one case, for running under a profiler.
int profile(const QString &what, int rounds)
{
    VReaderProcess vr;
    QList<QByteArray> replies;
    if (!recordReplies(vr, &replies))
        return 1;
    std::unique_ptr<EchoPeer> peer;
    QString id = QStringLiteral("sync");
    if (what == QLatin1String("echo")) {
        KxDeviceKit::Instance()->disconnectFromDeviceEx("sync", DevicePort_Main);
        peer = std::make_unique<EchoPeer>(replies, roleAnswer());
        id = QStringLiteral("echo");
        if (!KxDeviceKit::Instance()->connectToDevice_Cmd(
                id, QStringLiteral("127.0.0.1:%1").arg(peer->port())))
            return 1;
    }
    QElapsedTimer t;
    int failed = 0;
    if (what == QLatin1String("plain")) {
        EchoPeer bare(replies);
        PlainClient plain(bare.port());
        t.start();
        for (int i = 0; i < rounds; ++i)
            failed += plain.round(syncRequests(), sizesOf(replies)) ? 0 : 1;
        bench::value(QStringLiteral("plain: %1 rounds, per round").arg(rounds),
                     t.nsecsElapsed() / 1e6 / rounds, QStringLiteral("ms"));
        return failed ? 1 : 0;
    }
    t.start();
    for (int i = 0; i < rounds; ++i)
        failed += kitRound(id, syncRequests()) ? 0 : 1;
    bench::value(QStringLiteral("%1: %2 rounds, per round").arg(what).arg(rounds),
                 t.nsecsElapsed() / 1e6 / rounds, QStringLiteral("ms"));
    KxDeviceKit::Instance()->disconnectFromDeviceEx(id, DevicePort_Main);
    return failed ? 1 : 0;
}

void benchDiscovery()
{
    VReaderProcess vr;
    if (!vr.start({"--model", "KXS-FM800", "--count", "50"}, 60000)) {
        qWarning("bench_kit: virtual reader with 50 readers did not start");
        return;
    }
    const QHostAddress first(vr.firstAddress());
    const QString range = vr.firstAddress() + "-" + QHostAddress(first.toIPv4Address() + 49).toString();
    KxDeviceKit *kit = KxDeviceKit::Instance();
    kit->setDiscoveryPort(vr.discoveryPort());
    kit->setSerialPorts({});
    kit->setSystemSerialPortsEnabled(false);
    kit->setScanAddresses(range);

    QElapsedTimer t;
    QSignalSpy updated(kit, &KxDeviceKit::deviceUpdated);
    t.start();
    kit->startDeviceScan(ScanType_All, 60000);
    while (updated.size() < 50 && t.elapsed() < 20000)
        updated.wait(50);
    const double kitMs = t.nsecsElapsed() / 1e6;
    kit->stopDeviceScan(ScanType_All);

    const double rawMs = bench::medianMs([&] {
        QUdpSocket u;
        u.bind(QHostAddress(QHostAddress::LocalHost), 0);
        KxDiscovery::Datagram d;
        const QByteArray search = KxDiscovery::encode(d);
        for (quint32 i = 0; i < 50; ++i)
            u.writeDatagram(search, QHostAddress(first.toIPv4Address() + i), vr.discoveryPort());
        int answers = 0;
        QElapsedTimer w;
        w.start();
        while (answers < 50 && w.elapsed() < 5000) {
            if (!u.hasPendingDatagrams() && !u.waitForReadyRead(100))
                continue;
            while (u.hasPendingDatagrams()) {
                u.receiveDatagram();
                ++answers;
            }
        }
    }, 3);
    bench::report(QStringLiteral("discovery of %1 readers in one scan").arg(updated.size()), kitMs,
                  rawMs, "against a bare datagram search of the same addresses");
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int echoAt = args.indexOf(QStringLiteral("--echo-peer"));
    if (echoAt > 0)
        return echoPeerMain(args.value(echoAt + 1));
    const int profileAt = args.indexOf(QStringLiteral("--profile"));
    if (profileAt > 0)
        return profile(args.value(profileAt + 1, QStringLiteral("echo")),
                       qMax(1, args.value(profileAt + 2, QStringLiteral("2000")).toInt()));
    benchSync();
    benchDiscovery();
    return 0;
}
