// Links against an in-test peer: round trips, concurrent senders, dropped links, damaged and
// late replies, asynchronous sends and in-process (offline) readers.
#include <QtTest>

#include <thread>
#include <vector>

#include "KitTestPeer.h"
#include "KxDataStreamMaker.h"
#include "KxDataStreamParser.h"
#include "KxDeviceKit.h"
#include "KxLinkFrames.h"
#include "KxTransport.h"

namespace {

QByteArray query(const QByteArray &text)
{
    return KxMakeDataStreamCmd(text, DataProtocol_Settings, true);
}

QByteArray valueOf(const QByteArray &reply, const QString &code)
{
    QByteArray v;
    return KxGetDataStreamResult(reply, code, v) == DataResult_Ack ? v : QByteArray("<none>");
}

// An in-process reader that answers like the peer and counts what it saw.
class EchoReader : public IKxInProcessReader
{
public:
    explicit EchoReader(std::atomic<int> *count) : m_count(count) {}
    QByteArray handleRequest(const QByteArray &frame) override
    {
        ++*m_count;
        return KitTestPeer::echoReply(frame);
    }

private:
    std::atomic<int> *m_count;
};

}  // namespace

class TstKitLink : public QObject
{
    Q_OBJECT
private:
    KxDeviceKit *kit = KxDeviceKit::Instance();

    QString connectPeer(KitTestPeer &peer, const QString &id)
    {
        const bool ok = kit->connectToDevice_Cmd(id, QStringLiteral("127.0.0.1:%1").arg(peer.port()));
        return ok ? id : QString();
    }

    static QList<bool> statesOf(const QSignalSpy &spy, const QString &id)
    {
        QList<bool> out;
        for (const auto &args : spy)
            if (args.at(0).toString() == id)
                out << args.at(1).toBool();
        return out;
    }

private slots:
    void roundTrip()
    {
        KitTestPeer peer;
        QSignalSpy connected(kit, &KxDeviceKit::deviceConnectChanged);
        QCOMPARE(connectPeer(peer, "rt"), QString("rt"));
        QVERIFY(kit->isConnected("rt"));
        QTRY_VERIFY(!connected.isEmpty());
        QCOMPARE(connected.first().at(0).toString(), QString("rt"));
        QVERIFY(connected.first().at(1).toBool());

        QByteArray reply;
        QCOMPARE(kit->sendBinaryMessage("rt", query("@*"), reply, 5000), 0);
        QCOMPARE(valueOf(reply, "ALLQRY"), QByteArray("all"));
        QCOMPARE(kit->sendBinaryMessage("rt", query("@ILLSCN2"), reply, 5000), 0);
        QCOMPARE(valueOf(reply, "ILLSCN"), QByteArray("v:2"));

        kit->disconnectFromDeviceEx("rt", DevicePort_Main);
        QVERIFY(!kit->isConnected("rt"));
        QCOMPARE(kit->sendBinaryMessage("rt", query("@*"), reply, 5000), int(KxSendError::NotConnected));
        QTRY_VERIFY(connected.size() >= 2);
        QVERIFY(!connected.last().at(1).toBool());
    }

    void refusedRole()
    {
        KitTestPeer peer;
        peer.roleStatus = 21;  // another client holds the reader
        QVERIFY(connectPeer(peer, "held").isEmpty());
        QVERIFY(!kit->isConnected("held"));
    }

    void concurrentSendersGetTheirOwnReplies()
    {
        KitTestPeer peer;
        peer.delayMs = 1;  // keep requests queued behind each other now and then
        QVERIFY(!connectPeer(peer, "mt").isEmpty());
        constexpr int kThreads = 3, kEach = 30;
        std::atomic<int> mismatches{0}, failures{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&, t] {
                for (int i = 0; i < kEach; ++i) {
                    const QString code = QStringLiteral("T%1%2").arg(t).arg(i, 4, 10, QLatin1Char('0'));
                    const QByteArray value = QByteArray::number(t * 1000 + i);
                    QByteArray reply;
                    if (KxDeviceKit::Instance()->sendBinaryMessage("mt", query("#" + code.toLatin1() + value),
                                                                   reply, 10000) != 0)
                        ++failures;
                    else if (valueOf(reply, code) != "v:" + value)
                        ++mismatches;
                    // Uneven pauses leave the wire idle now and then, so callers that send
                    // themselves race with queued sends and with each other.
                    std::this_thread::sleep_for(std::chrono::microseconds((t * 700 + i * 300) % 3000));
                }
            });
        }
        // Asynchronous sends and keep-alives from the link's own side mix with the callers that
        // write their requests themselves; still one request on the wire, each reply its own.
        kit->startKeepAlive("mt", 100);
        constexpr int kAsync = 20;
        int asyncOk = 0;
        for (int i = 0; i < kAsync; ++i) {
            const QByteArray code = "AS" + QByteArray::number(1000 + i);
            kit->sendBinaryMessage("mt", query("#" + code + "7"),
                                   [&asyncOk, code](const QString &, int c, const QByteArray &r, QObject *) {
                                       if (c == 0 && valueOf(r, QString::fromLatin1(code)) == "v:7")
                                           ++asyncOk;
                                   }, this, 10000);
            QTest::qWait(5);
        }
        for (auto &th : threads)
            th.join();
        QTRY_COMPARE_WITH_TIMEOUT(asyncOk, kAsync, 20000);
        kit->stopKeepAlive("mt");
        QCOMPARE(failures.load(), 0);
        QCOMPARE(mismatches.load(), 0);
        QCOMPARE(peer.overlaps.load(), 0);
        QCOMPARE(peer.requests.load(), kThreads * kEach + kAsync);
        kit->disconnectFromDeviceEx("mt", DevicePort_Main);
    }

    void resultFramesAroundCallersOwnRepliesAllArrive()
    {
        // A caller that reads its own reply must hand every result frame it meets to the link,
        // in order; results pushed while the wire is idle arrive too.
        KitTestPeer peer;
        peer.resultsBeforeReply = 1;
        QVERIFY(!connectPeer(peer, "res").isEmpty());
        QStringList results;
        connect(kit, &KxDeviceKit::barcodeReceived, this, [&results](const QString &id, const QByteArray &d) {
            quint16 type = 0;
            QByteArray payload;
            if (id == "res" && KxKestor::parse(d, &type, &payload))
                results << QString::fromLatin1(payload);
        });
        constexpr int kRequests = 150, kPushed = 30;
        std::atomic<int> bad{0};
        std::thread caller([&bad] {
            for (int i = 0; i < kRequests; ++i) {
                QByteArray reply;
                const QByteArray v = QByteArray::number(i);
                if (KxDeviceKit::Instance()->sendBinaryMessage("res", query("#RESQRY" + v), reply, 10000) != 0
                    || valueOf(reply, "RESQRY") != "v:" + v)
                    ++bad;
                if (i % 50 == 0)
                    std::this_thread::sleep_for(std::chrono::milliseconds(30));
            }
        });
        for (int i = 0; i < 3; ++i) {
            peer.pushResults(kPushed / 3);
            QTest::qWait(20);
        }
        caller.join();
        QCOMPARE(bad.load(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(results.size(), kRequests + kPushed, 10000);
        QStringList expected;
        for (int i = 0; i < kRequests + kPushed; ++i)
            expected << QStringLiteral("R%1").arg(i);
        QCOMPARE(results, expected);
        QCOMPARE(peer.overlaps.load(), 0);
        kit->disconnectFromDeviceEx("res", DevicePort_Main);
    }

    void closingEndsTheWaitOfACallerReadingItsReply()
    {
        KitTestPeer peer;
        peer.mode = KitTestPeer::Silent;
        QVERIFY(!connectPeer(peer, "shut").isEmpty());
        std::atomic<int> code{-100};
        std::thread caller([&code] {
            QByteArray reply;
            code = KxDeviceKit::Instance()->sendBinaryMessage("shut", query("@*"), reply, 120000);
        });
        QTRY_COMPARE(peer.requests.load(), 1);
        kit->disconnectFromDeviceEx("shut", DevicePort_Main);
        // Bounded well below the request's own time-out: the close, not the clock, ends it.
        QTRY_VERIFY_WITH_TIMEOUT(code.load() != -100, 30000);
        caller.join();
        QCOMPARE(code.load(), int(KxSendError::LinkLost));
    }

    void largeRequestsArriveWholeAndInOrder()
    {
        // Requests larger than the socket takes at once: the part the kernel leaves must follow
        // the part it took, before the next request of any sender.
        KitTestPeer peer;
        QVERIFY(!connectPeer(peer, "big").isEmpty());
        constexpr int kThreads = 3, kEach = 3;
        std::atomic<int> failures{0}, mismatches{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([t, &failures, &mismatches] {
                for (int i = 0; i < kEach; ++i) {
                    const QByteArray value(900 * 1024 + t * 1000 + i, char('A' + t * kEach + i));
                    QByteArray reply;
                    if (KxDeviceKit::Instance()->sendBinaryMessage("big", query("#BIGVAL" + value),
                                                                   reply, 30000) != 0)
                        ++failures;
                    else if (valueOf(reply, "BIGVAL") != "v:" + value)
                        ++mismatches;
                }
            });
        }
        for (auto &th : threads)
            th.join();
        QCOMPARE(failures.load(), 0);
        QCOMPARE(mismatches.load(), 0);
        QCOMPARE(peer.requests.load(), kThreads * kEach);
        kit->disconnectFromDeviceEx("big", DevicePort_Main);
    }

    void transportKeepsOrderWhenTheKernelIsFull()
    {
        // A peer that reads nothing at first: the kernel soon takes only part of a write, and
        // the rest (and every later write) must queue behind it, not overtake it.
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress(QHostAddress::LocalHost), 0));
        KxTcpTransport transport(QHostAddress(QHostAddress::LocalHost), server.serverPort());
        QString error;
        QVERIFY2(transport.open(5000, &error), qPrintable(error));
        QTRY_VERIFY(server.hasPendingConnections());
        QTcpSocket *peer = server.nextPendingConnection();
        QByteArray sent;
        for (int i = 0; i < 24; ++i) {
            QByteArray chunk(1 << 20, Qt::Uninitialized);
            for (int j = 0; j < chunk.size(); ++j)
                chunk[j] = char((i * 7 + j / 4093) & 0xFF);
            QVERIFY(transport.write(chunk));
            sent += chunk;
        }
        QByteArray got;
        connect(peer, &QTcpSocket::readyRead, peer, [&] { got += peer->readAll(); });
        got += peer->readAll();
        QTRY_VERIFY_WITH_TIMEOUT(got.size() >= sent.size(), 30000);
        QCOMPARE(got.size(), sent.size());
        QVERIFY(got == sent);
        transport.close();
    }

    void droppedLinkFailsPendingSendAndReconnects()
    {
        KitTestPeer peer;
        QVERIFY(!connectPeer(peer, "drop").isEmpty());
        peer.mode = KitTestPeer::DropOnRequest;
        QSignalSpy changes(kit, &KxDeviceKit::deviceConnectChanged);
        QByteArray reply;
        // The link loss, not the long time-out, ends the wait.
        QCOMPARE(kit->sendBinaryMessage("drop", query("@*"), reply, 60000), int(KxSendError::LinkLost));
        QVERIFY(reply.isEmpty());
        peer.mode = KitTestPeer::Echo;
        QTRY_VERIFY_WITH_TIMEOUT(kit->isConnected("drop"), 10000);
        QCOMPARE(peer.connections.load(), 2);
        QList<bool> states;
        QTRY_VERIFY((states = statesOf(changes, "drop")).lastIndexOf(true) > states.indexOf(false));
        QVERIFY(states.indexOf(false) >= 0);
        QCOMPARE(kit->sendBinaryMessage("drop", query("@ABCDEF1"), reply, 5000), 0);
        QCOMPARE(valueOf(reply, "ABCDEF"), QByteArray("v:1"));
        kit->disconnectFromDeviceEx("drop", DevicePort_Main);
    }

    void damagedReplyIsRejected()
    {
        KitTestPeer peer;
        QVERIFY(!connectPeer(peer, "bad").isEmpty());
        peer.mode = KitTestPeer::Corrupt;
        QByteArray reply;
        QCOMPARE(kit->sendBinaryMessage("bad", query("@*"), reply, 60000), int(KxSendError::BadReply));
        QVERIFY(reply.isEmpty());
        peer.mode = KitTestPeer::Echo;  // the link is still usable
        QCOMPARE(kit->sendBinaryMessage("bad", query("@XYZXYZ1"), reply, 5000), 0);
        QCOMPARE(valueOf(reply, "XYZXYZ"), QByteArray("v:1"));
        kit->disconnectFromDeviceEx("bad", DevicePort_Main);
    }

    void lateReplyIsNotTakenForTheNextOne()
    {
        KitTestPeer peer;
        QVERIFY(!connectPeer(peer, "late").isEmpty());
        peer.delayMs = 600;
        QByteArray reply;
        QCOMPARE(kit->sendBinaryMessage("late", query("@FIRSTQ1"), reply, 200), int(KxSendError::Timeout));
        peer.delayMs = 0;
        QCOMPARE(kit->sendBinaryMessage("late", query("@SECOND2"), reply, 5000), 0);
        QCOMPARE(valueOf(reply, "SECOND"), QByteArray("v:2"));
        QCOMPARE(valueOf(reply, "FIRSTQ"), QByteArray("<none>"));
        kit->disconnectFromDeviceEx("late", DevicePort_Main);
    }

    void silentReaderTimesOut()
    {
        KitTestPeer peer;
        QVERIFY(!connectPeer(peer, "quiet").isEmpty());
        peer.mode = KitTestPeer::Silent;
        QByteArray reply = "stale";
        QCOMPARE(kit->sendBinaryMessage("quiet", query("@*"), reply, 300), int(KxSendError::Timeout));
        QVERIFY(reply.isEmpty());
        kit->disconnectFromDeviceEx("quiet", DevicePort_Main);
    }

    void asyncSendRunsCallbackOnContext()
    {
        KitTestPeer peer;
        QVERIFY(!connectPeer(peer, "async").isEmpty());
        QObject context;
        int code = -100;
        QByteArray got;
        QObject *seenContext = nullptr;
        bool onMain = false;
        const QString requestId = kit->sendBinaryMessage(
            "async", query("@ASYNCQ5"),
            [&](const QString &id, int c, const QByteArray &r, QObject *ctx) {
                QCOMPARE(id, QString("async"));
                code = c;
                got = r;
                seenContext = ctx;
                onMain = QThread::currentThread() == qApp->thread();
            },
            &context, 5000, DevicePort_Main);
        QVERIFY(!requestId.isEmpty());
        QTRY_COMPARE(code, 0);
        QCOMPARE(valueOf(got, "ASYNCQ"), QByteArray("v:5"));
        QCOMPARE(seenContext, &context);
        QVERIFY(onMain);

        // A context destroyed before the answer cancels the callback.
        bool called = false;
        peer.delayMs = 200;
        auto *gone = new QObject;
        kit->sendBinaryMessage("async", query("@ASYNCQ6"),
                               [&](const QString &, int, const QByteArray &, QObject *) { called = true; },
                               gone, 5000, DevicePort_Main);
        delete gone;
        QByteArray reply;
        QCOMPARE(kit->sendBinaryMessage("async", query("@AFTERQ1"), reply, 5000), 0);
        QCoreApplication::processEvents();
        QVERIFY(!called);

        // Not connected: the callback still reports, with the error.
        int offCode = 0;
        kit->sendBinaryMessage("nobody", query("@*"),
                               [&](const QString &, int c, const QByteArray &, QObject *) { offCode = c; },
                               nullptr, 5000, DevicePort_Main);
        QTRY_COMPARE(offCode, int(KxSendError::NotConnected));
        kit->disconnectFromDeviceEx("async", DevicePort_Main);
    }

    void offlineDeviceAnswersInProcess()
    {
        std::atomic<int> seen{0};
        QString seenXml;
        kit->setOffLineReaderFactory([&](const QString &, const QString &xml, const QString &,
                                         QString *error) -> KxInProcessReaderPtr {
            if (xml == "missing") {
                *error = "no such model";
                return nullptr;
            }
            seenXml = xml;
            return std::make_unique<EchoReader>(&seen);
        });
        QVERIFY(!kit->connectToOffLineDevice("offLine_missing", "missing", "/nowhere"));
        QVERIFY(kit->connectToOffLineDevice("offLine_KXS-F1", "KXS-F1", "/models/offLineCfg.xml"));
        QCOMPARE(seenXml, QString("KXS-F1"));
        QByteArray reply;
        QCOMPARE(kit->sendBinaryMessage("offLine_KXS-F1", query("@IMGGWH*"), reply, 5000), 0);
        QCOMPARE(valueOf(reply, "IMGGWH"), QByteArray("v:*"));
        QCOMPARE(seen.load(), 1);
        kit->disconnectFromDeviceEx("offLine_KXS-F1", DevicePort_Main);
        QCOMPARE(kit->sendBinaryMessage("offLine_KXS-F1", query("@*"), reply, 5000),
                 int(KxSendError::NotConnected));
        kit->setOffLineReaderFactory(nullptr);
        QVERIFY(!kit->connectToOffLineDevice("offLine_KXS-F1", "KXS-F1", "/x"));
    }

    void emptyFrameIsABadRequest()
    {
        KitTestPeer peer;
        QVERIFY(!connectPeer(peer, "empty").isEmpty());
        QByteArray reply;
        QCOMPARE(kit->sendBinaryMessage("empty", QByteArray(), reply, 1000), int(KxSendError::BadRequest));
        QCOMPARE(peer.requests.load(), 0);
        kit->disconnectFromDeviceEx("empty", DevicePort_Main);
    }
};

QTEST_MAIN(TstKitLink)
#include "tst_kitlink.moc"
