// The wire rules of the real brevan-vreader on loopback, byte for byte: broken requests, refused
// and repeated roles, empty values, unsaved differences, oversize datagrams, the frame time-out.
#include "KxBinaryFrame.h"
#include "KxDataStreamMaker.h"
#include "KxDataStreamParser.h"
#include "KxDiscovery.h"
#include "KxLinkFrames.h"
#include "RawReaderClient.h"
#include "VReaderProcess.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkDatagram>
#include <QUdpSocket>
#include <QtTest>

namespace {

QByteArray req(const char *text)
{
    return KxMakeDataStreamCmd(QByteArray(text), DataProtocol_Settings);
}

QByteArray valueOf(const QByteArray &reply, const QString &code)
{
    QByteArray v;
    KxGetDataStreamResult(reply, code, v);
    return v;
}

// Kind and payload of a binary frame; kind 0 for anything else.
quint8 kindOf(const QByteArray &frame, QByteArray *payload = nullptr)
{
    quint8 kind = 0;
    return KxFrame::decode(frame, &kind, payload) ? kind : 0;
}

// Status and information map of a role answer; -1 when the frame is not one.
int roleStatus(const QByteArray &frame, QJsonObject *info = nullptr)
{
    QByteArray payload, json;
    int status = -1;
    if (kindOf(frame, &payload) != KxFrame::RoleReply
        || !KxLink::parseRoleReply(payload, &status, &json))
        return -1;
    if (info)
        *info = QJsonDocument::fromJson(json).object();
    return status;
}

// "main|code=stored|..." of a DIFQRY answer.
QString differences(const QByteArray &reply)
{
    const KxDataStreamParser p(reply);
    QByteArray main;
    if (p.getSubTagData("DIFQRY", QString(), main) != DataResult_Ack)
        return QStringLiteral("<no answer>");
    QStringList parts{QString::fromUtf8(main)};
    for (const KxSubTag &s : p.getSubTagDatas("DIFQRY"))
        parts << s.tag + '=' + QString::fromUtf8(s.value);
    return parts.join('|');
}

}  // namespace

class TestVReaderWire : public QObject
{
    Q_OBJECT
private slots:
    void brokenRequestsAreRejected_data();
    void brokenRequestsAreRejected();
    void requestWithoutRoleIsRefusedWhileHeld_data();
    void requestWithoutRoleIsRefusedWhileHeld();
    void rolesBelongToTheirPorts_data();
    void rolesBelongToTheirPorts();
    void repeatedRoleFrames();
    void logLinkAcknowledgesWithItsValue();
    void emptyValueAndDifferencesOverTheWire();
    void freshReadersOfEveryKindHaveNoDifferences();
    void oversizeDatagramIsIgnored();
    void frameTimeOutMeasuresSilence();

private:
    static bool connectFirst(RawReaderClient &c, VReaderProcess &p, quint16 port = 0)
    {
        return !p.readers().isEmpty()
            && c.connectTo(p.readers()[0].address, port ? port : p.readers()[0].port);
    }
    static bool claim(RawReaderClient &c, quint8 role)
    {
        return roleStatus(c.request(KxLink::makeRoleRequest(role))) == DataResult_Ack;
    }
};

// Each broken request gets its own 8E with the reason, and the good request sent right behind
// it in the same write is answered normally.
void TestVReaderWire::brokenRequestsAreRejected_data()
{
    QTest::addColumn<QByteArray>("broken");
    QTest::addColumn<QString>("reason");
    QTest::newRow("fixed field") << QByteArray("\x7E\x01" "0100#C39ENA*;\x03")
                                 << "fixed field of a text request is not 0000";
    QTest::newRow("prefix") << QByteArray("\x7E\x01" "0000$C39ENA*;\x03")
                            << "request prefix must be @ or #";
    QTest::newRow("control byte") << QByteArray("\x7E\x01" "0000#C39\x09" "ENA*;\x03")
                                  << "control byte in request";
    QTest::newRow("no ; before 03") << QByteArray("\x7E\x01" "0000#C39ENA*\x03")
                                    << "request must end with ; before 03";
    QTest::newRow("cut short") << QByteArray("\x7E\x01" "0000#C39E")
                               << "request cut short by a new frame";
    QTest::newRow("bad code") << QByteArray("\x7E\x01" "0000#c39ena*;\x03")
                              << "bad command code in request";
}

void TestVReaderWire::brokenRequestsAreRejected()
{
    QFETCH(QByteArray, broken);
    QFETCH(QString, reason);
    VReaderProcess p;
    QVERIFY(p.start({}));
    RawReaderClient c;
    QVERIFY(connectFirst(c, p));
    QVERIFY(claim(c, KxLink::Role_Reader));
    QByteArray payload;
    const QByteArray first = c.request(broken + req("@C28ENA*"));
    QCOMPARE(int(kindOf(first, &payload)), int(KxFrame::Rejected));
    QCOMPARE(QString::fromUtf8(payload), reason);
    const QByteArray second = c.nextFrame();
    QVERIFY(KxCheckDataStreamCmd(second, "C28ENA"));
    QCOMPARE(KxDataStreamParser(second).tags().size(), 1);
    // Nothing else was answered, and the link goes on.
    QVERIFY(KxCheckDataStreamCmd(c.request(req("@C39ENA*")), "C39ENA"));
}

// A client that sends a request without a role frame to a held reader receives the same
// refusal as a role request would (8A, 21, the information map) before the link closes, also
// when the reader answers late.
void TestVReaderWire::requestWithoutRoleIsRefusedWhileHeld_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("prompt") << QStringList();
    QTest::newRow("slow reader") << QStringList{"--delay-ms", "800"};
}

void TestVReaderWire::requestWithoutRoleIsRefusedWhileHeld()
{
    QFETCH(QStringList, args);
    VReaderProcess p;
    QVERIFY(p.start(args));
    RawReaderClient holder;
    QVERIFY(connectFirst(holder, p));
    QVERIFY(claim(holder, KxLink::Role_Command));

    RawReaderClient other;
    QVERIFY(connectFirst(other, p));
    QJsonObject info;
    QCOMPARE(roleStatus(other.request(req("@C28ENA*")), &info), int(DataResult_Refused));
    QCOMPARE(info.value("Is Connected To Configtool").toString(), QStringLiteral("1"));
    QCOMPARE(info.value("Serial Number").toString(), p.readers()[0].serial);
    QVERIFY(other.waitClosed());
    QVERIFY(KxCheckDataStreamCmd(holder.request(req("@C28ENA*")), "C28ENA"));

    // Once the holder goes, a client without a role frame is served.
    holder.socket().disconnectFromHost();
    QVERIFY(holder.waitClosed());
    bool served = false;
    for (int i = 0; i < 50 && !served; ++i) {
        RawReaderClient next;
        QVERIFY(connectFirst(next, p));
        served = KxCheckDataStreamCmd(next.request(req("@C28ENA*")), "C28ENA");
        if (!served)
            QTest::qWait(100);
    }
    QVERIFY(served);
}

void TestVReaderWire::rolesBelongToTheirPorts_data()
{
    QTest::addColumn<bool>("logPort");
    QTest::addColumn<int>("role");
    QTest::addColumn<int>("status");
    QTest::newRow("full on the command port") << false << int(KxLink::Role_Reader) << 6;
    QTest::newRow("log on the command port") << false << int(KxLink::Role_Log) << 21;
    QTest::newRow("log on the log port") << true << int(KxLink::Role_Log) << 6;
    QTest::newRow("full on the log port") << true << int(KxLink::Role_Reader) << 21;
    QTest::newRow("command on the log port") << true << int(KxLink::Role_Command) << 21;
}

void TestVReaderWire::rolesBelongToTheirPorts()
{
    QFETCH(bool, logPort);
    QFETCH(int, role);
    QFETCH(int, status);
    VReaderProcess p;
    QVERIFY(p.start({}));
    RawReaderClient c;
    QVERIFY(connectFirst(c, p, logPort ? p.logPort() : 0));
    QCOMPARE(roleStatus(c.request(KxLink::makeRoleRequest(quint8(role)))), status);
    if (status == DataResult_Refused) {
        QVERIFY(c.waitClosed());
        // A refused log-port link never made the reader look held.
        RawReaderClient full;
        QVERIFY(connectFirst(full, p));
        QVERIFY(claim(full, KxLink::Role_Reader));
    } else {
        QVERIFY(!c.waitClosed(300));
    }
}

// The first role frame fixes the role: the same role again is granted and changes nothing,
// another one is refused and the link keeps working in its first role.
void TestVReaderWire::repeatedRoleFrames()
{
    VReaderProcess p;
    QVERIFY(p.start({}));
    RawReaderClient a;
    QVERIFY(connectFirst(a, p));
    QVERIFY(claim(a, KxLink::Role_Reader));
    QCOMPARE(roleStatus(a.request(KxLink::makeRoleRequest(KxLink::Role_Reader))), 6);
    QCOMPARE(roleStatus(a.request(KxLink::makeRoleRequest(KxLink::Role_Command))), 21);
    QCOMPARE(roleStatus(a.request(KxLink::makeRoleRequest(KxLink::Role_Log))), 21);
    QVERIFY(KxCheckDataStreamCmd(a.request(req("@C28ENA*")), "C28ENA"));
    // Still the holder: a second client is refused.
    RawReaderClient b;
    QVERIFY(connectFirst(b, p));
    QCOMPARE(roleStatus(b.request(KxLink::makeRoleRequest(KxLink::Role_Command))), 21);
    QVERIFY(b.waitClosed());
    // A link that took its role with a request keeps it too.
    a.socket().disconnectFromHost();
    QVERIFY(a.waitClosed());
    bool served = false;
    for (int i = 0; i < 50 && !served; ++i) {
        RawReaderClient probe;
        QVERIFY(connectFirst(probe, p));
        served = KxCheckDataStreamCmd(probe.request(req("@C28ENA*")), "C28ENA");
        if (served) {
            QCOMPARE(roleStatus(probe.request(KxLink::makeRoleRequest(KxLink::Role_Reader))), 6);
            QCOMPARE(roleStatus(probe.request(KxLink::makeRoleRequest(KxLink::Role_Command))), 21);
            QVERIFY(KxCheckDataStreamCmd(probe.request(req("@C39ENA*")), "C39ENA"));
        } else {
            QTest::qWait(100);
        }
    }
    QVERIFY(served);
}

// The log link's requests are acknowledged with the value in force like any other, and a query
// of the live-log switch does not turn it off.
void TestVReaderWire::logLinkAcknowledgesWithItsValue()
{
    VReaderProcess p;
    QVERIFY(p.start({}));
    RawReaderClient log;
    QVERIFY(connectFirst(log, p, p.logPort()));
    QVERIFY(claim(log, KxLink::Role_Log));
    QCOMPARE(valueOf(log.request(req("@LOGRCV*")), "LOGRCV"), QByteArray("0"));
    QCOMPARE(valueOf(log.request(req("@LOGRCV1")), "LOGRCV"), QByteArray("1"));
    QCOMPARE(valueOf(log.request(req("@LOGRCV*")), "LOGRCV"), QByteArray("1"));
    QByteArray v;
    QCOMPARE(KxGetDataStreamResult(log.request(req("@LOGRCV7")), "LOGRCV", v),
             int(DataResult_Refused));

    RawReaderClient cmd;
    QVERIFY(connectFirst(cmd, p));
    QVERIFY(claim(cmd, KxLink::Role_Reader));
    // Live lines leave while the reader's active log is on.
    QVERIFY(KxCheckDataStreamCmd(cmd.request(req("#LOGACT1")), "LOGACT"));
    QVERIFY(KxCheckDataStreamCmd(cmd.request(req("#C28ENA0")), "C28ENA"));
    // The change shows on the live log, still on after the query above. Log frames are not
    // replies: the client keeps them aside.
    auto logged = [&log](const QByteArray &text) {
        for (const QByteArray &frame : log.takeResults()) {
            quint16 type = 0;
            QByteArray payload;
            if (KxKestor::parse(frame, &type, &payload) && type == KxKestor::LogLine
                && payload.contains(text))
                return true;
        }
        return false;
    };
    bool live = false;
    for (int i = 0; i < 50 && !live; ++i) {
        log.nextFrame(200);
        live = logged("#C28ENA0");
    }
    QVERIFY(live);

    // The stored log comes first, in blocks of its text, then the acknowledgement with the
    // value sent (none).
    const QByteArray reply = log.request(req("@LOGQRY"));
    QByteArray stored;
    for (const QByteArray &frame : log.takeResults()) {
        quint16 type = 0;
        QByteArray payload;
        if (KxKestor::parse(frame, &type, &payload) && type == KxKestor::StoredLog)
            stored += payload;
    }
    QVERIFY(stored.contains(" 3 #C28ENA0\n"));
    QByteArray echoed("unset");
    QCOMPARE(KxGetDataStreamResult(reply, "LOGQRY", echoed), int(DataResult_Ack));
    QCOMPARE(echoed, QByteArray());
}

// A binary request with a value of length 0 sets the empty text; the unsaved differences show
// running against stored values until a store, and stored empty values survive a restart.
void TestVReaderWire::emptyValueAndDifferencesOverTheWire()
{
    VReaderProcess p;
    QVERIFY(p.start({"--model", "KXS-FM800"}));
    {
        RawReaderClient c;
        QVERIFY(connectFirst(c, p));
        const QByteArray original = valueOf(c.request(req("@DEVNAM*")), "DEVNAM");
        QVERIFY(!original.isEmpty());
        QCOMPARE(differences(c.request(req("@DIFQRY*"))), QString());
        // The text form only asks.
        QCOMPARE(valueOf(c.request(req("#DEVNAM")), "DEVNAM"), original);

        const QByteArray set = c.request(KxMakeBinarySettingsRequest({{"DEVNAM", ""}}, false));
        QByteArray echoed("unset");
        QCOMPARE(KxGetDataStreamResult(set, "DEVNAM", echoed), int(DataResult_Ack));
        QCOMPARE(echoed, QByteArray());
        QCOMPARE(valueOf(c.request(req("@DEVNAM*")), "DEVNAM"), QByteArray());
        QCOMPARE(differences(c.request(req("#DIFQRY*"))),
                 QStringLiteral("DEVNAM|DEVNAM=") + QString::fromUtf8(original));
        // An empty value for a number is refused and leaves the value alone.
        QCOMPARE(KxGetDataStreamResult(c.request(KxMakeBinarySettingsRequest({{"C28ENA", ""}}, true)),
                                       "C28ENA", echoed),
                 int(DataResult_Refused));
        QCOMPARE(valueOf(c.request(req("@C28ENA*")), "C28ENA"), QByteArray("1"));

        // Storing it takes it off the list.
        QVERIFY(KxCheckDataStreamCmd(c.request(KxMakeBinarySettingsRequest({{"DEVNAM", ""}}, true)),
                                     "DEVNAM"));
        QCOMPARE(differences(c.request(req("@DIFQRY*"))), QString());
        QVERIFY(KxCheckDataStreamCmd(c.request(req("#DEVNAMtemporary")), "DEVNAM"));
        QCOMPARE(differences(c.request(req("@DIFQRY*"))), QStringLiteral("DEVNAM|DEVNAM="));
    }
    QVERIFY(p.restart({"--model", "KXS-FM800"}));
    RawReaderClient c;
    QVERIFY(connectFirst(c, p));
    QByteArray v("unset");
    QCOMPARE(KxGetDataStreamResult(c.request(req("@DEVNAM*")), "DEVNAM", v), int(DataResult_Ack));
    QCOMPARE(v, QByteArray());
    QCOMPARE(differences(c.request(req("@DIFQRY*"))), QString());
}

// Values a reader answers itself (a camera's sensor size, counters) are not unsaved changes: a
// reader that nobody changed reports none, whatever its kind.
void TestVReaderWire::freshReadersOfEveryKindHaveNoDifferences()
{
    VReaderProcess p;
    QVERIFY(p.start({"--demo"}));
    QStringList models;
    for (const VReaderProcess::Reader &r : p.readers()) {
        models << r.model;
        RawReaderClient c;
        QVERIFY(c.connectTo(r.address, r.port));
        QVERIFY(KxCheckDataStreamCmd(c.request(req("#SCNITG")), "SCNITG"));
        QCOMPARE(differences(c.request(req("@DIFQRY*"))), QString());
    }
    QVERIFY2(models.size() >= 2 && QSet<QString>(models.begin(), models.end()).size() >= 2, qPrintable(models.join(' ')));
}

// A datagram beyond the limit gets no answer, even when it would be a good search; the one
// behind it is answered.
void TestVReaderWire::oversizeDatagramIsIgnored()
{
    VReaderProcess p;
    QVERIFY(p.start({}));
    QUdpSocket udp;
    QVERIFY(udp.bind(QHostAddress(QHostAddress::LocalHost), 0));
    KxDiscovery::Datagram search;
    search.transaction = 1;
    QByteArray big = KxDiscovery::encode(search);
    QVERIFY(big.endsWith('}'));
    big.insert(big.size() - 1, QByteArray(KxDiscovery::MaxDatagram + 10 - big.size(), ' '));
    QCOMPARE(big.size(), KxDiscovery::MaxDatagram + 10);
    // The same bytes within the limit are a valid search, so only the size decides.
    KxDiscovery::Datagram check;
    QVERIFY(KxDiscovery::decode(big.left(12) + "{" + QByteArray(100, ' ') + "}", &check));
    const QHostAddress reader(p.readers()[0].address);
    QCOMPARE(udp.writeDatagram(big, reader, p.discoveryPort()), qint64(big.size()));
    search.transaction = 2;
    udp.writeDatagram(KxDiscovery::encode(search), reader, p.discoveryPort());
    QList<quint32> answered;
    for (int i = 0; i < 100 && !answered.contains(2u); ++i) {
        if (!udp.hasPendingDatagrams())
            udp.waitForReadyRead(100);
        while (udp.hasPendingDatagrams()) {
            KxDiscovery::Datagram in;
            if (KxDiscovery::decode(udp.receiveDatagram().data(), &in))
                answered << in.transaction;
        }
    }
    QCOMPARE(answered, QList<quint32>{2u});
}

// The frame time-out counts silence: a request that trickles in slower than the time-out in
// total, but with short gaps, is answered; one whose rest comes after a long silence is dropped
// without an answer, and what follows is served.
void TestVReaderWire::frameTimeOutMeasuresSilence()
{
    VReaderProcess p;
    QVERIFY(p.start({}));
    RawReaderClient c;
    QVERIFY(connectFirst(c, p));
    QVERIFY(KxCheckDataStreamCmd(c.request(req("#FRMTMO10000")), "FRMTMO"));
    const QByteArray slow = req("@C28ENA*");
    const int pieces = 4;  // three gaps of 4 s: 12 s in all, each gap well under 10 s
    const int step = (slow.size() + pieces - 1) / pieces;
    for (int i = 0; i < pieces; ++i) {
        if (i > 0)
            QTest::qWait(4000);
        c.socket().write(slow.mid(i * step, step));
        QVERIFY(c.socket().waitForBytesWritten(2000) || c.socket().bytesToWrite() == 0);
    }
    QVERIFY(KxCheckDataStreamCmd(c.nextFrame(5000), "C28ENA"));

    const QByteArray dropped = req("@C39ENA*");
    c.socket().write(dropped.left(9));
    c.socket().waitForBytesWritten(2000);
    QTest::qWait(20000);  // well past the 10 s time-out
    c.socket().write(dropped.mid(9));
    const QByteArray reply = c.request(req("@C28ENA*"));
    const KxDataStreamParser parser(reply);
    QVERIFY(parser.isValid());
    QCOMPARE(parser.tags().size(), 1);
    QCOMPARE(parser.tags()[0].code, QStringLiteral("C28ENA"));
}

QTEST_GUILESS_MAIN(TestVReaderWire)
#include "tst_vreader_wire.moc"
