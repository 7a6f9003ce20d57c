// Result frames into records: the frame search rules over the ring (also across its end), the
// "KESTOR" message types, text records, JSON messages, no-read messages, test and tag frames.
#include "BarcodeParse.h"
#include "KxResultRing.h"
#include "ResultFrames.h"

#include <QtTest>

#include <vector>

using namespace ResultFrames;

class TstResultsParse : public QObject
{
    Q_OBJECT
private slots:
    void frameAcrossRingEnd_data();
    void frameAcrossRingEnd();
    void searchRules_data();
    void searchRules();

    void singleBarcodeKeepsBytes_data();
    void singleBarcodeKeepsBytes();
    void noReadMessages_data();
    void noReadMessages();
    void textRecordItems();
    void textMessageSplit_data();
    void textMessageSplit();
    void jsonMessage();
    void jsonRejected_data();
    void jsonRejected();
    void scoreLetters_data();
    void scoreLetters();
    void gradingDisplay_data();
    void gradingDisplay();
    void testMessages();
    void tagFrames();
    void damagedFramesNeverCrash();
};

namespace {
// Runs the search until it finds a frame or waits; the frames found, in order.
QList<QByteArray> drain(KxResultRing &ring, const KxFrameSearch &search, int *waits = nullptr)
{
    QList<QByteArray> out;
    std::vector<char> buf(4096);
    for (int guard = 0; guard < 10000; ++guard) {
        size_t size = 0;
        const auto o = search.next(ring, buf.data(), &size);
        if (o == KxFrameSearch::Outcome::Frame)
            out.append(QByteArray(buf.data(), int(size)));
        else if (o == KxFrameSearch::Outcome::Wait) {
            if (waits)
                ++*waits;
            break;
        }
    }
    return out;
}

bool put(KxResultRing &ring, const QByteArray &bytes)
{
    return ring.append(bytes.constData(), size_t(bytes.size()));
}

QByteArray frameOf(KxFrameLayout layout, const QByteArray &content)
{
    switch (layout) {
    case KxFrameLayout::Tag:
        return tagFrame(1, -40, content);
    case KxFrameLayout::Kestor:
        return kestor(4128, content);
    case KxFrameLayout::Test:
        return testFrame(textRecord("Test Result=OK;", content));
    }
    return {};
}
}  // namespace

void TstResultsParse::frameAcrossRingEnd_data()
{
    QTest::addColumn<int>("layout");
    QTest::addColumn<int>("shift");
    // A 64-byte ring; the frame starts at every position, so some split inside the header,
    // some inside the length field and some inside the payload.
    for (int layout = 1; layout <= 3; ++layout)
        for (int shift = 0; shift < 64; shift += 3)
            QTest::addRow("layout%d-at%d", layout, shift) << layout << shift;
}

void TstResultsParse::frameAcrossRingEnd()
{
    QFETCH(int, layout);
    QFETCH(int, shift);
    const auto kind = KxFrameLayout(layout);
    const QByteArray frame = frameOf(kind, "ABCDEFGHIJKLMNOPQRST");
    QVERIFY(frame.size() < 64);
    KxResultRing ring(64);
    KxFrameSearch search(kind, 4096);
    // Move both positions to `shift` so the frame is written across the end.
    QVERIFY(put(ring, QByteArray(shift, 'x')));
    ring.consume(size_t(shift));
    QVERIFY(put(ring, frame));
    const QList<QByteArray> got = drain(ring, search);
    QCOMPARE(got.size(), 1);
    QCOMPARE(got.first(), frame);
    QCOMPARE(ring.available(), size_t(0));
}

void TstResultsParse::searchRules_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QList<QByteArray>>("frames");
    QTest::addColumn<int>("left");  // bytes still buffered when the search waits

    const QByteArray a = kestor(4128, "first");
    const QByteArray b = kestor(4128, "second");
    QTest::newRow("two frames") << a + b << QList<QByteArray>{a, b} << 0;
    QTest::newRow("garbage before") << QByteArray("noise KEST") + a << QList<QByteArray>{a} << 0;
    // Nothing but garbage: all but the last five bytes go, as they may start a header.
    QTest::newRow("garbage only") << QByteArray("0123456789") << QList<QByteArray>{} << 5;
    QTest::newRow("header start kept") << QByteArray("0123KESTO") << QList<QByteArray>{} << 5;
    // A frame still arriving is waited for without losing a byte, even before its length.
    QTest::newRow("incomplete frame") << a.left(a.size() - 1) << QList<QByteArray>{} << a.size() - 1;
    QTest::newRow("header only") << QByteArray("KESTOR\x10") << QList<QByteArray>{} << 7;
    // A length beyond the frame buffer: the header is skipped and the next frame still found.
    QByteArray huge("KESTOR\x10\x20\x7f\xff\xff\xff", 12);
    QTest::newRow("oversized length") << huge + b << QList<QByteArray>{b} << 0;
}

void TstResultsParse::searchRules()
{
    QFETCH(QByteArray, stream);
    QFETCH(QList<QByteArray>, frames);
    QFETCH(int, left);
    KxResultRing ring(1 << 16);
    KxFrameSearch search(KxFrameLayout::Kestor, 4096);
    QVERIFY(put(ring, stream));
    int waits = 0;
    QCOMPARE(drain(ring, search, &waits), frames);
    QCOMPARE(waits, 1);
    QCOMPARE(int(ring.available()), left);
}

void TstResultsParse::singleBarcodeKeepsBytes_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::newRow("plain") << QByteArray("HELLO-123");
    QTest::newRow("tab") << QByteArray("A\tB\tC");
    QTest::newRow("binary") << QByteArray("\x00\x01\xff\r\n", 5);
    QTest::newRow("empty") << QByteArray();
}

void TstResultsParse::singleBarcodeKeepsBytes()
{
    QFETCH(QByteArray, data);
    BarcodeParse parse;
    QVERIFY(parse.parseFrame(kestor(4128, data)));
    const QList<STRUCT_BARCODE_INFO> got = parse.takeBarcodes();
    QCOMPARE(got.size(), 1);
    QCOMPARE(got[0].data, data);
    QCOMPARE(got[0].length, data.size());
    QVERIFY(got[0].goodRead);
    QVERIFY(parse.takeBarcodes().isEmpty());
}

void TstResultsParse::noReadMessages_data()
{
    QTest::addColumn<QByteArray>("ngrEna");
    QTest::addColumn<QByteArray>("tsuEna");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<bool>("goodRead");
    // NGRSET = "NoRead", TSUSET = "!!"
    QTest::newRow("message") << QByteArray("1") << QByteArray("0") << QByteArray("NoRead") << false;
    QTest::newRow("other data") << QByteArray("1") << QByteArray("0") << QByteArray("NoRead2") << true;
    QTest::newRow("switched off") << QByteArray("0") << QByteArray("1") << QByteArray("NoRead") << true;
    QTest::newRow("with suffix") << QByteArray("1") << QByteArray("1") << QByteArray("NoRead!!") << false;
    QTest::newRow("suffix off") << QByteArray("1") << QByteArray("0") << QByteArray("NoRead!!") << true;
}

void TstResultsParse::noReadMessages()
{
    QFETCH(QByteArray, ngrEna);
    QFETCH(QByteArray, tsuEna);
    QFETCH(QByteArray, data);
    QFETCH(bool, goodRead);
    BarcodeParse parse;
    parse.setNoReadMessages(BarcodeParse::noReadMessages(ngrEna, QByteArray("NoRead").toHex(), tsuEna,
                                                         QByteArray("!!").toHex()));
    QVERIFY(parse.parseFrame(kestor(4128, data)));
    QCOMPARE(parse.takeBarcodes().value(0).goodRead, goodRead);
    // The same check on a text record.
    STRUCT_BARCODE_INFO info;
    QVERIFY(parse.parseText(textRecord("Barcode Length=1;", data), info));
    QCOMPARE(info.goodRead, goodRead);
}

void TstResultsParse::textRecordItems()
{
    BarcodeParse parse;
    parse.setSymbologyNames({{QStringLiteral("032"), QStringLiteral("QR Code")}});
    STRUCT_BARCODE_INFO info;
    // "Barcode PPM=3=4" splits into three parts: skipped, the others kept.
    const QByteArray record = textRecord(
        "Barcode Symbology ID=032;Barcode PPM=3=4;Barcode AI=2;CfgLibId=5;Barcode Time=7.5;"
        "Barcode Length=5;Barcode Quality=B;",
        "AB;C=");
    QVERIFY(parse.parseText(record, info));
    QCOMPARE(info.data, QByteArray("AB;C="));
    QCOMPARE(info.symbology, QStringLiteral("QR Code"));
    QCOMPARE(info.ppm, QString());
    QCOMPARE(info.ai, 2);
    QCOMPARE(info.cfgLibId, QStringLiteral("5"));
    QCOMPARE(info.decodeTimeText, QStringLiteral("7.50"));
    QCOMPARE(info.length, 5);
    QCOMPARE(info.score, QStringLiteral("0.00"));
    QCOMPARE(info.quality, QStringLiteral("B"));
    QCOMPARE(info.seq, qint64(-1));

    QVERIFY(parse.parseText(textRecord("Barcode Score=87.456;Read Seq=12;", "x"), info));
    QCOMPARE(info.seq, qint64(12));
    QCOMPARE(info.score, QStringLiteral("87.46"));
    QCOMPARE(info.ai, -1);
    QVERIFY(!parse.parseText("Barcode Length=3;Data:abc\r", info));
}

void TstResultsParse::textMessageSplit_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QList<QByteArray>>("data");
    const QByteArray r1 = textRecord("Barcode Length=3;", "one");
    const QByteArray r2 = textRecord("Barcode Length=3;", "two");
    QTest::newRow("two records") << textMessage({r1, r2}) << QList<QByteArray>{"one", "two"};
    QByteArray cut = textMessage({r1, r2});
    cut.chop(3);
    QTest::newRow("last record cut") << cut << QList<QByteArray>{"one"};
    QTest::newRow("no total") << QByteArray("Total Barcode Data:") + marked("\x10\x21", r1)
                              << QList<QByteArray>{};
    QTest::newRow("total not a number")
        << QByteArray("Total Barcode Length=1x;Total Barcode Data:") + marked("\x10\x21", r1)
        << QList<QByteArray>{};
    // The total's ";" far behind "Total Barcode Data": not this message form.
    QTest::newRow("semicolon too late")
        << QByteArray("Total Barcode Data:") + QByteArray(30, 'x') + "Total Barcode Length=12;"
            + marked("\x10\x21", r1)
        << QList<QByteArray>{};
}

void TstResultsParse::textMessageSplit()
{
    QFETCH(QByteArray, payload);
    QFETCH(QList<QByteArray>, data);
    for (quint16 type : {quint16(4129), quint16(2081)}) {
        BarcodeParse parse;
        QCOMPARE(parse.parseFrame(kestor(type, payload)), !data.isEmpty());
        QList<QByteArray> got;
        for (const STRUCT_BARCODE_INFO &i : parse.takeBarcodes())
            got.append(i.data);
        QCOMPARE(got, data);
    }
}

void TstResultsParse::jsonMessage()
{
    BarcodeParse parse;
    parse.setSymbologyNames({{QStringLiteral("032"), QStringLiteral("QR Code")}});
    QVERIFY(parse.parseFrame(kestor(65281, ResultFrames::jsonMessage(3, 40))));
    bool graded = true;
    const QList<STRUCT_BARCODE_INFO> got = parse.takeBarcodes(&graded);
    QVERIFY(!graded);
    QCOMPARE(got.size(), 3);
    const STRUCT_BARCODE_INFO &b = got[0];
    QCOMPARE(b.data, QByteArray("SEQ000000040"));
    QCOMPARE(b.symbology, QStringLiteral("QR Code"));
    QCOMPARE(b.ppm, QStringLiteral("4.00"));  // 64 x 0.0625
    QCOMPARE(b.decodeTimeText, QStringLiteral("12.50"));
    QCOMPARE(b.score, QStringLiteral("91.50"));
    QCOMPARE(b.quality, QStringLiteral("B"));  // c_q 80
    QCOMPARE(b.ai, 1);
    QCOMPARE(b.cfgLibId, QStringLiteral("0"));
    QCOMPARE(b.length, 12);
    QCOMPARE(b.ip, QStringLiteral("127.0.0.5"));
    QCOMPARE(b.sn, QStringLiteral("SN0001"));
    QCOMPARE(b.result, 1);
    QCOMPARE(got[2].data, QByteArray("SEQ000000042"));
    QCOMPARE(got[2].seq, qint64(7));

    // An element without "len" or "c_q" is skipped; the others stay.
    QVERIFY(parse.parseJson(R"({"list":[{"c_q":5,"code":"a"},{"len":1,"code":"b"},{"len":1,"c_q":0,"code":"c"}],"CodeQualitySt":{}})"));
    const QList<STRUCT_BARCODE_INFO> some = parse.takeBarcodes();
    QCOMPARE(some.size(), 1);
    QCOMPARE(some[0].data, QByteArray("c"));
    QCOMPARE(some[0].ai, -1);
    QCOMPARE(some[0].ppm, QString());
}

void TstResultsParse::jsonRejected_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::newRow("no CodeQualitySt") << ResultFrames::jsonMessage(2, 0, false);
    QTest::newRow("not JSON") << QByteArray("{\"list\":[");
    QTest::newRow("array") << QByteArray("[1,2]");
    QTest::newRow("empty") << QByteArray();
}

void TstResultsParse::jsonRejected()
{
    QFETCH(QByteArray, json);
    BarcodeParse parse;
    QVERIFY(!parse.parseFrame(kestor(65281, json)));
    QVERIFY(parse.takeBarcodes().isEmpty());
}

void TstResultsParse::scoreLetters_data()
{
    QTest::addColumn<int>("score");
    QTest::addColumn<QString>("letter");
    // Each band's lower edge and the score just below it.
    for (auto [score, letter] : {std::pair<int, const char *>{85, "A"}, {84, "B"}, {70, "B"},
                                 {69, "C"}, {55, "C"}, {54, "D"}, {1, "D"}, {0, ""}})
        QTest::addRow("%d", score) << score << QString::fromLatin1(letter);
}

void TstResultsParse::scoreLetters()
{
    QFETCH(int, score);
    QFETCH(QString, letter);
    BarcodeParse parse;
    QVERIFY(parse.parseJson(QStringLiteral(R"({"list":[{"len":1,"c_q":%1,"code":"x"}],"CodeQualitySt":{}})")
                                .arg(score).toUtf8()));
    QCOMPARE(parse.takeBarcodes().value(0).quality, letter);
}

void TstResultsParse::gradingDisplay_data()
{
    QTest::addColumn<bool>("display");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("quality");
    QTest::newRow("display off: score letter") << false << 0 << "A";
    QTest::newRow("ISO 15416") << true << 0 << "B";
    QTest::newRow("ISO 15415") << true << 1 << "C";
    QTest::newRow("ISO 29158") << true << 2 << "F";
}

void TstResultsParse::gradingDisplay()
{
    QFETCH(bool, display);
    QFETCH(int, kind);
    QFETCH(QString, quality);
    BarcodeParse parse;
    parse.setGradingDisplay(display);
    parse.setModelKind(kind);
    QVERIFY(parse.parseJson(R"({"list":[{"len":1,"c_q":90,"code":"x"}],"CodeQualitySt":{)"
                            R"("ISO15416":{"cALL":3,"cEDGE":4},"ISO15415":{"cALL":2,"cPGV":1},)"
                            R"("ISO29158":{"cALL":0,"cMR":2}}})"));
    bool graded = false;
    const QList<STRUCT_BARCODE_INFO> got = parse.takeBarcodes(&graded);
    QVERIFY(graded);
    QCOMPARE(got.size(), 1);
    QVERIFY(got[0].hasGrading);
    QCOMPARE(got[0].quality, quality);
    QCOMPARE(kxGrade(got[0].bq15416, "cEDGE"), 4);
    QCOMPARE(kxGrade(got[0].bq15415, "cPGV"), 1);
    QCOMPARE(kxGrade(got[0].bq29158, "cMR"), 2);
    QCOMPARE(kxGrade(got[0].bq29158, "cCC"), -1);
    const QList<STRUCT_BQ> entries = kxGradeEntries(got[0].bq15415);
    QCOMPARE(entries.size(), 2);
    QCOMPARE(entries[0].key, QStringLiteral("BQ15415_cALL"));

    // A reader sends only the record of the code's own standard: that one is shown.
    if (display) {
        QVERIFY(parse.parseJson(R"({"list":[{"len":1,"c_q":90,"code":"y"}],)"
                                R"("CodeQualitySt":{"ISO15415":{"cALL":1}}})"));
        QCOMPARE(parse.takeBarcodes().value(0).quality, QStringLiteral("D"));
    }
}

void TstResultsParse::testMessages()
{
    BarcodeParse parse;
    const QByteArray r1 = textRecord("Gr Role=1;Owner SN=S1;Owner MAC=M1;Owner IP=127.0.0.9;"
                                     "Test Result=OK;Read Rate=98.5;",
                                     "CODE1");
    const QByteArray r2 = textRecord("Owner SN=S2;Test Result=NG;", "");
    QVERIFY(parse.parseFrame(kestor(4133, "x" + marked("\x10\x25", r1) + marked("\x10\x25", r2))));
    QList<STRU_TEST_RESULT_INFO> got = parse.takeTestResults();
    QCOMPARE(got.size(), 2);
    QVERIFY(got[0].ok);
    QCOMPARE(got[0].item.ownerSn, QStringLiteral("S1"));
    QCOMPARE(got[0].item.ownerIp, QStringLiteral("127.0.0.9"));
    QCOMPARE(got[0].item.role, QStringLiteral("1"));
    QCOMPARE(got[0].readRate, QStringLiteral("98.5"));
    QCOMPARE(got[0].item.barcode.data, QByteArray("CODE1"));
    QVERIFY(!got[1].ok);
    QCOMPARE(got[1].item.ownerSn, QStringLiteral("S2"));

    QVERIFY(parse.parseTestFrame(testFrame(textRecord("Test Result=OK;Match Level=3;AI Position=2;", "T"))));
    got = parse.takeTestResults();
    QCOMPARE(got.size(), 1);
    QVERIFY(got[0].ok);
    QCOMPARE(got[0].matchingLevel, QStringLiteral("3"));
    QCOMPARE(got[0].aiPosition, QStringLiteral("2"));
    QVERIFY(!parse.parseTestFrame(testFrame("no data key")));
}

void TstResultsParse::tagFrames()
{
    BarcodeParse parse;
    QVERIFY(parse.parseTagFrame(tagFrame(2, -61, QByteArray::fromHex("E2801160600002"))));
    QVERIFY(!parse.parseTagFrame(tagFrame(2, -61, "EPC", false)));
    QVERIFY(!parse.parseTagFrame(tagFrame(1, 0, "").left(6)));
    const QList<STRUCT_TAG_INFO> tags = parse.takeTags();
    QCOMPARE(tags.size(), 1);
    QCOMPARE(tags[0].antenna, 2);
    QCOMPARE(tags[0].rssi, -61);
    QCOMPARE(tags[0].epcHex(), QStringLiteral("E2801160600002"));
}

void TstResultsParse::damagedFramesNeverCrash()
{
    // Valid frames of every kind with bytes flipped, cut or repeated: parsing must never read
    // outside the frame, and whatever it keeps comes from inside it.
    const QList<QByteArray> seeds{
        kestor(4129, textMessage({textRecord("Barcode Length=3;Read Seq=4;", "one"),
                                  textRecord("Barcode Symbology ID=032;", "two")})),
        kestor(4133, marked("\x10\x25", textRecord("Owner SN=S;Test Result=OK;", "T"))),
        kestor(65281, ResultFrames::jsonMessage(3)),
        testFrame(textRecord("Test Result=NG;", "X")),
        tagFrame(1, -40, "EPC-1"),
    };
    QRandomGenerator rng(20261207);
    int parsed = 0;
    for (int round = 0; round < 3000; ++round) {
        QByteArray f = seeds[round % seeds.size()];
        const int edits = 1 + int(rng.bounded(4));
        for (int e = 0; e < edits && !f.isEmpty(); ++e) {
            const int at = int(rng.bounded(f.size()));
            switch (rng.bounded(3)) {
            case 0: f[at] = char(rng.bounded(256)); break;
            case 1: f.truncate(at); break;
            default: f.insert(at, f.mid(at, int(rng.bounded(8)))); break;
            }
        }
        BarcodeParse parse;
        parsed += parse.parseFrame(f) + parse.parseTestFrame(f) + parse.parseTagFrame(f);
        for (const STRUCT_BARCODE_INFO &b : parse.takeBarcodes())
            QVERIFY(b.data.size() <= f.size());
        for (const STRU_TEST_RESULT_INFO &t : parse.takeTestResults())
            QVERIFY(t.item.barcode.data.size() <= f.size());
        for (const STRUCT_TAG_INFO &t : parse.takeTags())
            QVERIFY(t.epc.size() <= f.size());
    }
    // Single-byte damage leaves many frames readable: the checks above did run on records.
    QVERIFY(parsed > 100);
}

QTEST_GUILESS_MAIN(TstResultsParse)
#include "tst_results_parse.moc"
