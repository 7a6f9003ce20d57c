// Reassembling frames from a byte stream; discovery datagrams and link frames.
#include "KxBinaryFrame.h"
#include "KxDataStreamMaker.h"
#include "KxDiscovery.h"
#include "KxFrameAssembler.h"
#include "KxLinkFrames.h"
#include "KxRequestParser.h"

#include <QtTest>

using Assembler = KxFrameAssembler;

namespace {

QByteArray reply(const QByteArray &value)
{
    KxSettingsReply r;
    KxTagInfo t;
    t.code = "NGRSET";
    t.subTags.append({QString(), DataResult_Ack, value});
    r.tags << t;
    return KxMakeSettingsReply(r);
}

QList<Assembler::Frame> feed(Assembler &a, const QByteArray &stream, int piece)
{
    QList<Assembler::Frame> out;
    for (int i = 0; i < stream.size(); i += piece) {
        a.append(stream.mid(i, piece));
        Assembler::Frame f;
        while (a.next(&f))
            out << f;
    }
    return out;
}

}  // namespace

class TestProtocolStream : public QObject
{
    Q_OBJECT
private slots:
    void clientStreamInPieces_data();
    void clientStreamInPieces();
    void readerStreamSkipsGarbage();
    void readerReportsBrokenTextRequests_data();
    void readerReportsBrokenTextRequests();
    void readerReportsOverlongTextRequest();
    void incompleteFrameWaitsWithoutConsuming();
    void oversizedLengthIsSkipped();
    void corruptedFrameDoesNotHideTheNext();
    void discoveryRoundTrip_data();
    void discoveryRoundTrip();
    void discoveryRejects_data();
    void discoveryRejects();
    void linkFrames();
};

void TestProtocolStream::clientStreamInPieces_data()
{
    QTest::addColumn<int>("piece");
    for (int p : {1, 2, 3, 7, 64, 100000})
        QTest::newRow(qPrintable(QString::number(p))) << p;
}

void TestProtocolStream::clientStreamInPieces()
{
    QFETCH(int, piece);
    const QByteArray r1 = reply(QByteArray("\x7E\x81;\x03KESTOR", 11));
    const QByteArray k = KxKestor::make(KxKestor::SingleBarcode, "12345\x7E");
    const QByteArray tagFrame = QByteArray("\xAA\x55\xBB\xCC\x00\x03" "abc" "\x01", 10);
    const QByteArray test = QByteArray("\x02\x02" "0000000E" "wxyz", 14);
    const QByteArray r2 = reply("second");
    const QByteArray stream = "noise" + r1 + k + "zz" + tagFrame + test + r2;
    Assembler a(Assembler::Side::Client);
    const QList<Assembler::Frame> frames = feed(a, stream, piece);
    QCOMPARE(frames.size(), 5);
    QCOMPARE(frames[0].bytes, r1);
    QCOMPARE(int(frames[1].type), int(Assembler::FrameType::Kestor));
    QCOMPARE(frames[1].bytes, k);
    QCOMPARE(int(frames[2].type), int(Assembler::FrameType::TagFrame));
    QCOMPARE(frames[2].bytes, tagFrame);
    QCOMPARE(int(frames[3].type), int(Assembler::FrameType::TestFrame));
    QCOMPARE(frames[3].bytes, test);
    QCOMPARE(frames[4].bytes, r2);
    QCOMPARE(a.discardedBytes(), qint64(7));  // "noise" and "zz"
    QCOMPARE(a.buffered(), 0);
}

void TestProtocolStream::readerStreamSkipsGarbage()
{
    KxDataStreamMaker m;
    QVERIFY(m.addCmd("INTERF", "*"));
    const QByteArray req = m.toByteArray(true);
    const QByteArray vision = KxMakeDataStreamCmd("SOLLST{}", DataProtocol_Vision);
    // A stray head, zeros and a binary head of no known kind before good frames.
    const QByteArray stream = "\x7E" + req + QByteArray(3, '\0') + QByteArray("\x7E\x55\0\0", 4)
        + vision + req;
    Assembler a(Assembler::Side::Reader);
    const QList<Assembler::Frame> frames = feed(a, stream, 5);
    QCOMPARE(frames.size(), 3);
    QCOMPARE(int(frames[0].type), int(Assembler::FrameType::TextRequest));
    QCOMPARE(frames[0].bytes, req);
    QCOMPARE(int(frames[1].type), int(Assembler::FrameType::Binary));
    QCOMPARE(frames[1].bytes, vision);
    QCOMPARE(frames[2].bytes, req);
    QCOMPARE(a.discardedBytes(), qint64(8));
    // Result frames are not requests: the reader side drops them.
    Assembler b(Assembler::Side::Reader);
    QVERIFY(feed(b, KxKestor::make(4128, "x"), 4).isEmpty());
}

// A text request that starts with 7E 01 but breaks a rule comes out as one Malformed frame with
// its reason, and the good request behind it is found whole, however the bytes arrive.
void TestProtocolStream::readerReportsBrokenTextRequests_data()
{
    QTest::addColumn<QByteArray>("broken");
    QTest::addColumn<QByteArray>("reported");  // the bytes the malformed frame holds
    QTest::addColumn<QString>("reason");
    QTest::newRow("fixed field") << QByteArray("\x7E\x01" "0010@C28ENA*;\x03")
                                 << QByteArray("\x7E\x01" "001") << "fixed field";
    QTest::newRow("prefix") << QByteArray("\x7E\x01" "0000!C28ENA*;\x03")
                            << QByteArray("\x7E\x01" "0000!") << "prefix";
    QTest::newRow("control byte") << QByteArray("\x7E\x01" "0000@INT\x05RF*;\x03")
                                  << QByteArray("\x7E\x01" "0000@INT\x05") << "control byte";
    QTest::newRow("no ; before 03") << QByteArray("\x7E\x01" "0000@C28ENA*\x03")
                                    << QByteArray("\x7E\x01" "0000@C28ENA*\x03") << "; before 03";
    QTest::newRow("bare 03") << QByteArray("\x7E\x01" "0000@\x03")
                             << QByteArray("\x7E\x01" "0000@\x03") << "; before 03";
    QTest::newRow("cut short in the body") << QByteArray("\x7E\x01" "0000@C28E")
                                           << QByteArray("\x7E\x01" "0000@C28E") << "cut short";
    QTest::newRow("cut short in the head") << QByteArray("\x7E\x01" "00")
                                           << QByteArray("\x7E\x01" "00") << "cut short";
}

void TestProtocolStream::readerReportsBrokenTextRequests()
{
    QFETCH(QByteArray, broken);
    QFETCH(QByteArray, reported);
    QFETCH(QString, reason);
    const QByteArray good = QByteArray("\x7E\x01" "0000#C39ENA*;\x03");
    for (int piece : {1, 4, 1000}) {
        Assembler a(Assembler::Side::Reader);
        const QList<Assembler::Frame> frames = feed(a, "xx" + broken + good, piece);
        QCOMPARE(frames.size(), 2);
        QCOMPARE(int(frames[0].type), int(Assembler::FrameType::Malformed));
        QCOMPARE(frames[0].bytes, reported);
        QVERIFY2(frames[0].error && QString::fromLatin1(frames[0].error).contains(reason),
                 frames[0].error);
        QCOMPARE(int(frames[1].type), int(Assembler::FrameType::TextRequest));
        QCOMPARE(frames[1].bytes, good);
        QCOMPARE(a.buffered(), 0);
    }
    // A client never sees requests, broken or not.
    Assembler client(Assembler::Side::Client);
    QVERIFY(feed(client, broken, 1000).isEmpty());
}

void TestProtocolStream::readerReportsOverlongTextRequest()
{
    QByteArray huge("\x7E\x01" "0000@DEVNAM");
    huge.append(QByteArray(KxProtocol::MaxTextRequest, 'a'));
    huge.append(";\x03");
    const QByteArray good = QByteArray("\x7E\x01" "0000#C39ENA*;\x03");
    Assembler a(Assembler::Side::Reader);
    const QList<Assembler::Frame> frames = feed(a, huge + good, 65536);
    QCOMPARE(frames.size(), 2);
    QCOMPARE(int(frames[0].type), int(Assembler::FrameType::Malformed));
    QCOMPARE(frames[0].bytes.size(), KxProtocol::MaxTextRequest);
    QCOMPARE(frames[1].bytes, good);
    // The rest of the long request is dropped as noise.
    QCOMPARE(a.discardedBytes(), qint64(huge.size() - KxProtocol::MaxTextRequest));
}

void TestProtocolStream::incompleteFrameWaitsWithoutConsuming()
{
    const QByteArray r = reply("payload");
    Assembler a(Assembler::Side::Client);
    a.append(r.left(r.size() - 1));
    Assembler::Frame f;
    QVERIFY(!a.next(&f));
    QCOMPARE(a.buffered(), r.size() - 1);
    QCOMPARE(a.discardedBytes(), qint64(0));
    a.append(r.right(1));
    QVERIFY(a.next(&f));
    QCOMPARE(f.bytes, r);
    a.append(r.left(10));
    a.clear();  // what a caller does after its time-out
    QCOMPARE(a.buffered(), 0);
    a.append(r);
    QVERIFY(a.next(&f));
    QCOMPARE(f.bytes, r);
}

void TestProtocolStream::oversizedLengthIsSkipped()
{
    QByteArray bogus("\x7E\x81\xFF\xFF\xFF\xFF", 6);
    QByteArray kestor("KESTOR\x10\x20\x7F\xFF\xFF\xFF", 12);
    const QByteArray r = reply("ok");
    Assembler a(Assembler::Side::Client);
    const QList<Assembler::Frame> frames = feed(a, bogus + kestor + r, 1000);
    QCOMPARE(frames.size(), 1);
    QCOMPARE(frames[0].bytes, r);
}

void TestProtocolStream::corruptedFrameDoesNotHideTheNext()
{
    QByteArray bad = reply("flipped");
    bad[10] = char(bad[10] ^ 0x40);
    const QByteArray good = reply("good");
    Assembler a(Assembler::Side::Client);
    const QList<Assembler::Frame> frames = feed(a, bad + good, 3);
    QCOMPARE(frames.size(), 1);
    QCOMPARE(frames[0].bytes, good);
    QCOMPARE(a.discardedBytes(), qint64(bad.size()));
}

void TestProtocolStream::discoveryRoundTrip_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("result");
    QTest::newRow("search") << int(KxDiscovery::Search) << 0;
    QTest::newRow("information") << int(KxDiscovery::Information) << 0;
    QTest::newRow("network result") << int(KxDiscovery::NetworkResult) << 1;
    QTest::newRow("group result") << int(KxDiscovery::GroupResult) << 2;
}

void TestProtocolStream::discoveryRoundTrip()
{
    QFETCH(int, type);
    QFETCH(int, result);
    KxDiscovery::Datagram d;
    d.type = quint8(type);
    d.transaction = 0xA1B2C3D4;
    d.result = result;
    if (type != KxDiscovery::Search) {
        d.fields.insert("Serial Number", "SN0001");
        d.fields.insert("PRNQRY", "Name:X\r\nFirmware:1.0;\"q\"");
    }
    KxDiscovery::Datagram back;
    QString error;
    QVERIFY2(KxDiscovery::decode(KxDiscovery::encode(d), &back, &error), qPrintable(error));
    QCOMPARE(int(back.type), type);
    QCOMPARE(back.transaction, d.transaction);
    QCOMPARE(back.fields, d.fields);
    QCOMPARE(back.result, result);
    QCOMPARE(int(KxDiscovery::requestOf(quint8(type))),
             KxDiscovery::isResultType(quint8(type)) ? type - 1 : 0);
}

void TestProtocolStream::discoveryRejects_data()
{
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray head("KXDISC\x01\x02\0\0\0\x01", 12);
    QTest::newRow("short") << QByteArray("KXDISC");
    QTest::newRow("magic") << QByteArray("KXDISK\x01\x02\0\0\0\x01{}", 14);
    QTest::newRow("version") << QByteArray("KXDISC\x02\x02\0\0\0\x01{}", 14);
    QTest::newRow("type") << QByteArray("KXDISC\x01\x33\0\0\0\x01{}", 14);
    QTest::newRow("not json") << head + "{";
    QTest::newRow("array") << head + "[]";
    QTest::newRow("number value") << head + "{\"Serial Number\":5}";
    QTest::newRow("result missing") << QByteArray("KXDISC\x01\x04\0\0\0\x01{}", 14);
    QTest::newRow("too big") << head + QByteArray(70000, ' ');
}

void TestProtocolStream::discoveryRejects()
{
    QFETCH(QByteArray, bytes);
    KxDiscovery::Datagram d;
    QString error;
    QVERIFY(!KxDiscovery::decode(bytes, &d, &error));
    QVERIFY(!error.isEmpty());
}

void TestProtocolStream::linkFrames()
{
    quint8 kind = 0;
    QByteArray payload;
    QVERIFY(KxFrame::decode(KxLink::makeRoleRequest(KxLink::Role_Command), &kind, &payload));
    QCOMPARE(kind, quint8(KxFrame::RoleRequest));
    quint8 role = 9;
    QVERIFY(KxLink::parseRoleRequest(payload, &role));
    QCOMPARE(role, quint8(KxLink::Role_Command));
    QVERIFY(!KxLink::parseRoleRequest(QByteArray(1, char(7)), &role));

    QVERIFY(KxFrame::decode(KxLink::makeRoleReply(21, "{\"a\":\"b\"}"), &kind, &payload));
    int status = 0;
    QByteArray info;
    QVERIFY(KxLink::parseRoleReply(payload, &status, &info));
    QCOMPARE(status, 21);
    QCOMPARE(info, QByteArray("{\"a\":\"b\"}"));

    QVERIFY(KxFrame::decode(KxLink::makeKeepAlive(5000), &kind, &payload));
    quint32 interval = 0;
    QVERIFY(KxLink::parseKeepAlive(payload, &interval));
    QCOMPARE(interval, 5000u);

    quint16 type = 0;
    const QByteArray log = KxKestor::make(KxKestor::LogLine, KxKestor::makeLogLine(3, "boot"));
    QCOMPARE(log.mid(6, 2), QByteArray("\x10\x35"));
    QVERIFY(KxKestor::parse(log, &type, &payload));
    QCOMPARE(type, quint16(KxKestor::LogLine));
    QCOMPARE(payload, QByteArray("Log Lvl=3;Log Data=boot"));
    QVERIFY(!KxKestor::parse(log.left(log.size() - 1), &type, &payload));
}

QTEST_GUILESS_MAIN(TestProtocolStream)
#include "tst_protocol_stream.moc"
