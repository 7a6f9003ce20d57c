// Kit costs against plain loopback baselines measured in the same run:
//  - a full sync ("@^", "@&", "@*") of the largest model against a bare TCP echo of the same
//    request and reply bytes;
//  - discovery of 50 readers in one scan against a bare datagram search of the same addresses.
#include <QCoreApplication>
#include <QNetworkDatagram>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QUdpSocket>

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

void benchKitOverhead(const QList<QByteArray> &requests, const QList<QByteArray> &replies);

void benchSync()
{
    VReaderProcess vr;
    if (!vr.start({"--model", "KXS-FM800", "--count", "1"})) {
        qWarning("bench_kit: virtual reader did not start");
        return;
    }
    KxDeviceKit *kit = KxDeviceKit::Instance();
    const VReaderProcess::Reader r = vr.readers().value(0);
    if (!kit->connectToDevice_Cmd("sync", QStringLiteral("%1:%2").arg(r.address).arg(r.port)))
        return;
    const QList<QByteArray> requests{KxMakeDataStreamCmd("@^", DataProtocol_Settings, true),
                                     KxMakeDataStreamCmd("@&", DataProtocol_Settings, true),
                                     KxMakeDataStreamCmd("@*", DataProtocol_Settings, true)};
    QList<QByteArray> replies;
    qint64 bytes = 0;
    for (const QByteArray &q : requests) {
        QByteArray reply;
        kit->sendBinaryMessage("sync", q, reply, 60000);
        replies << reply;
        bytes += reply.size();
    }
    const double kitMs = bench::medianMs([&] {
        for (const QByteArray &q : requests) {
            QByteArray reply;
            kit->sendBinaryMessage("sync", q, reply, 60000);
        }
    }, 9);
    kit->disconnectFromDeviceEx("sync", DevicePort_Main);

    EchoPeer peer(replies);
    QTcpSocket s;
    s.connectToHost(QHostAddress(QHostAddress::LocalHost), peer.port());
    s.waitForConnected(3000);
    const double echoMs = bench::medianMs([&] {
        for (int i = 0; i < requests.size(); ++i) {
            s.write(requests[i]);
            qint64 got = 0;
            while (got < replies[i].size() && s.waitForReadyRead(5000))
                got += s.readAll().size();
        }
    }, 9);
    s.disconnectFromHost();
    benchKitOverhead(requests, replies);
    bench::report("full sync @^ @& @* KXS-FM800 (" + QString::number(bytes) + " reply bytes)", kitMs,
                  echoMs, "virtual reader through the kit; target within 2x of a plain loopback echo");
}

// The kit's own share: the same recorded replies served by the bare echo peer, once through
// the kit and once through a plain socket. A role answer precedes the replies for the kit.
void benchKitOverhead(const QList<QByteArray> &requests, const QList<QByteArray> &replies)
{
    EchoPeer kitPeer(replies, KxFrame::encode(KxFrame::RoleReply, QByteArray(1, char(6)) + "{}"));
    KxDeviceKit *kit = KxDeviceKit::Instance();
    if (!kit->connectToDevice_Cmd("echo", QStringLiteral("127.0.0.1:%1").arg(kitPeer.port())))
        return;
    // The peer hands out the role answer first; the replies follow in request order.
    const double kitMs = bench::medianMs([&] {
        for (const QByteArray &q : requests) {
            QByteArray reply;
            kit->sendBinaryMessage("echo", q, reply, 60000);
        }
    }, 9);
    kit->disconnectFromDeviceEx("echo", DevicePort_Main);
    EchoPeer peer(replies);
    QTcpSocket s;
    s.connectToHost(QHostAddress(QHostAddress::LocalHost), peer.port());
    s.waitForConnected(3000);
    const double echoMs = bench::medianMs([&] {
        for (int i = 0; i < requests.size(); ++i) {
            s.write(requests[i]);
            qint64 got = 0;
            while (got < replies[i].size() && s.waitForReadyRead(5000))
                got += s.readAll().size();
        }
    }, 9);
    bench::report("same replies from a bare peer, kit vs plain socket", kitMs, echoMs,
                  "the kit's own cost without the reader's work");
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
    benchSync();
    benchDiscovery();
    return 0;
}
