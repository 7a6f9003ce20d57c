// Building and parsing request and reply frames.
#include "KxBinaryFrame.h"
#include "KxDataStreamMaker.h"
#include "KxDataStreamParser.h"
#include "KxDataStreamValue.h"
#include "KxRequestParser.h"

#include <QtTest>

namespace {

QByteArray text(const char *body)
{
    return QByteArray("\x7E\x01" "0000", 6) + body + ";\x03";
}

KxTagInfo tag(const QString &code, int result, const QByteArray &value)
{
    KxTagInfo t;
    t.code = code;
    t.result = result;
    t.subTags.append({QString(), result, value});
    return t;
}

}  // namespace

class TestProtocolFrames : public QObject
{
    Q_OBJECT
private slots:
    void batchLayout_data();
    void batchLayout();
    void batchRoundTripThroughRequestParser();
    void makerRefusesUnsafeItems_data();
    void makerRefusesUnsafeItems();
    void batchSplitsAtBufferSize();
    void singleCommandFrames_data();
    void singleCommandFrames();
    void binaryValueTravelsInBinaryRequest();
    void binaryRequestItems_data();
    void binaryRequestItems();
    void binaryRequestRefuses();
    void replyRoundTripIsBinarySafe();
    void replyLookups();
    void checkAllCmdAckListsFailures();
    void corruptedReplyRejected_data();
    void corruptedReplyRejected();
    void visionCallAndReply();
    void requestParserRejects_data();
    void requestParserRejects();
    void compareTagsCollectsChanges();
    void ranges_data();
    void ranges();
    void letterTags_data();
    void letterTags();
    void tagMapInAnyOrder_data();
    void tagMapInAnyOrder();
};

void TestProtocolFrames::batchLayout_data()
{
    QTest::addColumn<QStringList>("items");  // code + value
    QTest::addColumn<bool>("permanent");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("single") << QStringList{"INTERF1"} << true << text("@INTERF1");
    QTest::newRow("continuation")
        << QStringList{"NETDEN0", "NETLPA127.0.0.5", "NETSMK255.0.0.0"} << true
        << text("@NETDEN0,LPA127.0.0.5,SMK255.0.0.0");
    QTest::newRow("mixed") << QStringList{"232BAD9", "232PAR0", "INTERF1", "232STP1"} << false
                           << text("#232BAD9,PAR0;INTERF1;232STP1");
    QTest::newRow("queries") << QStringList{"ILLSCN*", "ILLSCN^"} << true
                             << text("@ILLSCN*,SCN^");
    QTest::newRow("empty value") << QStringList{"DFMCAL", "DFMADD12"} << true
                                 << text("@DFMCAL,ADD12");
}

void TestProtocolFrames::batchLayout()
{
    QFETCH(QStringList, items);
    QFETCH(bool, permanent);
    QFETCH(QByteArray, expected);
    KxDataStreamMaker maker;
    for (const QString &i : items)
        QVERIFY(maker.addCmd(i.left(6), i.mid(6).toLatin1()));
    const QByteArray frame = maker.toByteArray(permanent);
    QCOMPARE(frame, expected);
    QCOMPARE(frame.mid(7, 6), items.first().left(6).toLatin1());
}

void TestProtocolFrames::batchRoundTripThroughRequestParser()
{
    KxDataStreamMaker maker;
    QVERIFY(maker.addCmd("NETDEN", "0"));
    QVERIFY(maker.addCmd("NETLPA", "127.0.0.9"));
    QVERIFY(maker.addCmd("INTERF", "*"));
    QVERIFY(maker.addCmd("INTXYZ", ""));
    QVERIFY(maker.addCmd("NGRSET", "No\x01", true));
    KxSettingsRequest req;
    QString error;
    QVERIFY2(KxParseSettingsRequest(maker.toByteArray(false), &req, &error), qPrintable(error));
    QCOMPARE(req.prefix, '#');
    QCOMPARE(req.allQuery, char(0));
    QCOMPARE(req.items.size(), 5);
    QCOMPARE(req.items[1].code, QStringLiteral("NETLPA"));
    QCOMPARE(req.items[1].value, QByteArray("127.0.0.9"));
    QCOMPARE(req.items[2].code, QStringLiteral("INTERF"));
    QCOMPARE(req.items[2].query, '*');
    QVERIFY(req.items[2].value.isEmpty());
    QCOMPARE(req.items[3].code, QStringLiteral("INTXYZ"));  // continuation of INTERF
    QCOMPARE(req.items[3].query, char(0));
    QVERIFY(!req.items[3].hasValue);  // empty in a text request: no value given
    QVERIFY(req.items[1].hasValue);
    QVERIFY(!req.items[2].hasValue);
    QCOMPARE(req.items[4].value, QByteArray("4E6F01"));
}

void TestProtocolFrames::makerRefusesUnsafeItems_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QByteArray>("value");
    QTest::newRow("short code") << "ABC" << QByteArray("1");
    QTest::newRow("lower case") << "interf" << QByteArray("1");
    QTest::newRow("semicolon") << "INTERF" << QByteArray("1;2");
    QTest::newRow("comma") << "INTERF" << QByteArray("1,2");
    QTest::newRow("tail byte") << "INTERF" << QByteArray("1\x03", 2);
    QTest::newRow("head byte") << "INTERF" << QByteArray("\x7E");
    QTest::newRow("nul") << "INTERF" << QByteArray("a\0b", 3);
}

void TestProtocolFrames::makerRefusesUnsafeItems()
{
    QFETCH(QString, code);
    QFETCH(QByteArray, value);
    KxDataStreamMaker maker;
    QVERIFY(!maker.addCmd(code, value));
    QVERIFY(maker.isEmpty());
    QVERIFY(maker.toByteArray(true).isEmpty());
}

void TestProtocolFrames::batchSplitsAtBufferSize()
{
    KxDataStreamMaker maker;
    QStringList codes;
    for (int i = 0; i < 40; ++i) {
        const QString code = QStringLiteral("C%1X%2").arg(i % 7).arg(i, 3, 10, QLatin1Char('0'));
        codes << code;
        QVERIFY(maker.addCmd(code, QByteArray(i % 5 + 1, 'v')));
    }
    const QByteArrayList frames = maker.toByteArrays(true, 64);
    QVERIFY(frames.size() > 3);
    QStringList seen;
    for (const QByteArray &f : frames) {
        QVERIFY(f.size() - 9 <= 64);  // head (7) and ";" 03
        KxSettingsRequest req;
        QVERIFY(KxParseSettingsRequest(f, &req));
        QCOMPARE(f.mid(7, 6), req.items.first().code.toLatin1());
        for (const KxRequestItem &i : req.items)
            seen << i.code;
    }
    QCOMPARE(seen, codes);
}

void TestProtocolFrames::singleCommandFrames_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("query") << QByteArray("@ILLSCN*") << text("@ILLSCN*");
    QTest::newRow("no prefix") << QByteArray("PRNQRY*") << text("@PRNQRY*");
    QTest::newRow("all") << QByteArray("@*") << text("@*");
    QTest::newRow("tail kept") << QByteArray("#SCNTRG1;") << text("#SCNTRG1");
    QTest::newRow("continuation") << QByteArray("@NETDEN0,LPA1.2.3.4")
                                  << text("@NETDEN0,LPA1.2.3.4");
}

void TestProtocolFrames::singleCommandFrames()
{
    QFETCH(QByteArray, payload);
    QFETCH(QByteArray, expected);
    QCOMPARE(KxMakeDataStreamCmd(payload, DataProtocol_Settings, true), expected);
}

void TestProtocolFrames::binaryValueTravelsInBinaryRequest()
{
    const QByteArray value("a;b\x03\x7E\0z", 7);
    const QByteArray frame = KxMakeDataStreamCmd("#LUAADD" + value, DataProtocol_Settings);
    quint8 kind = 0;
    QByteArray payload;
    QVERIFY(KxFrame::decode(frame, &kind, &payload));
    QCOMPARE(kind, quint8(KxFrame::BinaryRequest));
    KxSettingsRequest req;
    QVERIFY(KxParseBinarySettingsRequest(payload, &req));
    QCOMPARE(req.prefix, '#');
    QCOMPARE(req.items.size(), 1);
    QCOMPARE(req.items[0].code, QStringLiteral("LUAADD"));
    QCOMPARE(req.items[0].value, value);
    QVERIFY(KxMakeDataStreamCmd("@BAD\x01", DataProtocol_Settings).isEmpty());
}

// Every item of a binary request keeps its value byte for byte; a value of length 0 is a value
// (it sets the empty text), only "*", "^" and "&" ask.
void TestProtocolFrames::binaryRequestItems_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<char>("query");
    QTest::addColumn<bool>("hasValue");
    QTest::newRow("empty sets") << QByteArray() << char(0) << true;
    QTest::newRow("text") << QByteArray("abc") << char(0) << true;
    QTest::newRow("separators") << QByteArray("1,2;3") << char(0) << true;
    QTest::newRow("control bytes") << QByteArray("\x00\x03\x7E", 3) << char(0) << true;
    QTest::newRow("current") << QByteArray("*") << '*' << false;
    QTest::newRow("range") << QByteArray("^") << '^' << false;
    QTest::newRow("default") << QByteArray("&") << '&' << false;
    QTest::newRow("star is data when longer") << QByteArray("**") << char(0) << true;
}

void TestProtocolFrames::binaryRequestItems()
{
    QFETCH(QByteArray, value);
    QFETCH(char, query);
    QFETCH(bool, hasValue);
    // The item under test between two others, so the order and the neighbours are checked too.
    const QByteArray frame = KxMakeBinarySettingsRequest(
        {{"C28ENA", "0"}, {"DEVNAM", value}, {"NGRSET", ""}}, false);
    quint8 kind = 0;
    QByteArray payload;
    QVERIFY(KxFrame::decode(frame, &kind, &payload));
    QCOMPARE(kind, quint8(KxFrame::BinaryRequest));
    KxSettingsRequest req;
    QString error;
    QVERIFY2(KxParseBinarySettingsRequest(payload, &req, &error), qPrintable(error));
    QCOMPARE(req.prefix, '#');
    QCOMPARE(req.items.size(), 3);
    QCOMPARE(req.items[0].code, QStringLiteral("C28ENA"));
    QCOMPARE(req.items[0].value, QByteArray("0"));
    QCOMPARE(req.items[1].code, QStringLiteral("DEVNAM"));
    QCOMPARE(req.items[1].query, query);
    QCOMPARE(req.items[1].hasValue, hasValue);
    QCOMPARE(req.items[1].value, query ? QByteArray() : value);
    QCOMPARE(req.items[2].code, QStringLiteral("NGRSET"));
    QVERIFY(req.items[2].hasValue);
    QVERIFY(req.items[2].value.isEmpty());
    // The same frame through the single-command path of values a text frame cannot carry.
    if (!query && value.contains('\x03')) {
        const QByteArray one = KxMakeDataStreamCmd("@DEVNAM" + value, DataProtocol_Settings);
        QVERIFY(KxFrame::decode(one, &kind, &payload));
        QVERIFY(KxParseBinarySettingsRequest(payload, &req));
        QCOMPARE(req.prefix, '@');
        QCOMPARE(req.items.size(), 1);
        QCOMPARE(req.items[0].value, value);
    }
}

void TestProtocolFrames::binaryRequestRefuses()
{
    QVERIFY(KxMakeBinarySettingsRequest({}, true).isEmpty());
    QVERIFY(KxMakeBinarySettingsRequest({{"C28ENA", "1"}, {"c28ena", "1"}}, true).isEmpty());
    QVERIFY(KxMakeBinarySettingsRequest({{"C28EN", "1"}}, true).isEmpty());
    QVERIFY(!KxMakeBinarySettingsRequest({{"C28ENA", QByteArray(1000, 'x')}}, true).isEmpty());
    // An item without any main value asks, as an empty text item does.
    KxSettingsReply bare;
    KxTagInfo t;
    t.code = "DEVNAM";
    t.result = 0;
    bare.tags << t;
    KxSettingsRequest req;
    QVERIFY(KxParseBinarySettingsRequest(KxEncodeSettingsReply(bare), &req));
    QCOMPARE(req.items.size(), 1);
    QVERIFY(!req.items[0].hasValue);
}

void TestProtocolFrames::replyRoundTripIsBinarySafe()
{
    KxSettingsReply reply;
    reply.prefix = '#';
    KxTagInfo img = tag("IMGGWH", DataResult_Ack, "1280W960H");
    img.subTags.append({"W", DataResult_Ack, "1280"});
    img.subTags.append({"H", DataResult_Ack, "960"});
    reply.tags << tag("NGRSET", DataResult_Ack, QByteArray("x;\x03\x7E;\x03\0", 7)) << img
               << tag("ZZZZZZ", DataResult_Unknown, QByteArray())
               << tag("INTERF", DataResult_Refused, "1");
    reply.extendData = QByteArray("\x7E\x81\0\0\0\x01\x03;\x03", 9);
    reply.extendInfo = "{\"width\":2}";
    const QByteArray frame = KxMakeSettingsReply(reply);
    KxDataStreamParser parser(frame);
    QVERIFY2(parser.isValid(), qPrintable(parser.errorString()));
    QCOMPARE(parser.prefix(), '#');
    QCOMPARE(parser.tags(), reply.tags);
    QCOMPARE(parser.extendData(), reply.extendData);
    QCOMPARE(parser.extendInfo(), reply.extendInfo);
    // The same payload without its envelope.
    KxDataStreamParser bare(parser.toRawData(), DataType_Payload);
    QVERIFY(bare.isValid());
    QCOMPARE(bare.tags(), reply.tags);
}

void TestProtocolFrames::replyLookups()
{
    KxSettingsReply reply;
    KxTagInfo img = tag("IMGGWH", DataResult_Ack, "1280W960H");
    img.subTags.append({"W", DataResult_Ack, "1280"});
    img.subTags.append({"H", DataResult_Ack, "960"});
    reply.tags << img << tag("ILLSCN", DataResult_Ack, "2")
               << tag("QQQQQQ", DataResult_Unknown, QByteArray());
    reply.extendData = "BM....";
    reply.extendInfo = "{}";
    const QByteArray frame = KxMakeSettingsReply(reply);

    KxDataStreamParser parser(frame);
    const QMap<QString, QByteArray> plain = parser.getTagMap(false);
    QCOMPARE(plain.size(), 2);
    QCOMPARE(plain.value("ILLSCN"), QByteArray("2"));
    const QMap<QString, QByteArray> full = parser.getTagMap(true);
    QCOMPARE(full.value("IMGGWHW"), QByteArray("1280"));
    QCOMPARE(full.value("IMGGWHH"), QByteArray("960"));
    QCOMPARE(parser.getSubTagDatas("IMGGWH").size(), 2);
    QCOMPARE(parser.getSubTagDatas("IMGGWH").at(1).value, QByteArray("960"));

    QByteArray value, extend;
    QCOMPARE(KxGetDataStreamResult(frame, "ILLSCN", value, &extend), int(DataResult_Ack));
    QCOMPARE(value, QByteArray("2"));
    QCOMPARE(extend, QByteArray("BM...."));
    QCOMPARE(KxGetDataStreamResult(frame, "QQQQQQ", value), int(DataResult_Unknown));
    QCOMPARE(KxGetDataStreamResult(frame, "ABSENT", value), int(DataResult_NotFound));
    QCOMPARE(KxGetDataStreamResult(frame.left(frame.size() - 1), "ILLSCN", value),
             int(DataResult_Invalid));
    QVERIFY(KxCheckDataStreamCmd(frame, "ILLSCN"));
    QVERIFY(!KxCheckDataStreamCmd(frame, "QQQQQQ"));
    QByteArray data, info;
    QVERIFY(KxGetDataStreamExtendData(frame, data, info));
    QCOMPARE(info, QByteArray("{}"));
}

void TestProtocolFrames::checkAllCmdAckListsFailures()
{
    KxSettingsReply reply;
    KxTagInfo partly = tag("CADTOP", DataResult_Ack, "1");
    partly.subTags.append({"1", DataResult_Refused, "9"});
    reply.tags << tag("ILLSCN", DataResult_Ack, "1") << tag("AAAAAA", DataResult_Unknown, "")
               << tag("INTERF", DataResult_Refused, "7") << partly;
    QList<QString> failed;
    QVERIFY(!KxDataStreamParser(KxMakeSettingsReply(reply)).checkAllCmdAck(failed));
    QCOMPARE(failed, (QList<QString>{"AAAAAA", "INTERF", "CADTOP"}));

    KxSettingsReply good;
    good.tags << tag("ILLSCN", DataResult_Ack, "1");
    QVERIFY(KxDataStreamParser(KxMakeSettingsReply(good)).checkAllCmdAck(failed));
    QVERIFY(failed.isEmpty());
    QVERIFY(!KxDataStreamParser(KxMakeSettingsReply(KxSettingsReply())).checkAllCmdAck(failed));
    QVERIFY(!KxDataStreamParser(QByteArray("garbage")).checkAllCmdAck(failed));
}

void TestProtocolFrames::corruptedReplyRejected_data()
{
    QTest::addColumn<int>("mutation");
    for (int i = 0; i < 6; ++i)
        QTest::newRow(qPrintable(QString::number(i))) << i;
}

void TestProtocolFrames::corruptedReplyRejected()
{
    QFETCH(int, mutation);
    KxSettingsReply reply;
    reply.tags << tag("ILLSCN", DataResult_Ack, "1") << tag("INTERF", DataResult_Ack, "3");
    QByteArray frame = KxMakeSettingsReply(reply);
    switch (mutation) {
    case 0: frame[frame.size() / 2] = char(frame[frame.size() / 2] ^ 0x20); break;  // payload
    case 1: frame.chop(1); break;                                               // no tail
    case 2: frame.append('x'); break;                                           // too long
    case 3: frame[5] = char(frame[5] + 1); break;                               // length
    case 4: frame[frame.size() - 2] = char(frame[frame.size() - 2] ^ 1); break; // CRC
    case 5: frame[1] = 0x55; break;                                             // kind
    }
    KxDataStreamParser parser(frame);
    QVERIFY(!parser.isValid());
    QVERIFY(!parser.errorString().isEmpty());
    QVERIFY(parser.getTagMap().isEmpty());
}

void TestProtocolFrames::visionCallAndReply()
{
    const QByteArray json = "{\"usrName\":\"a;\\u0003\"}";
    const QByteArray call = KxMakeDataStreamCmd("USRLGI" + json, DataProtocol_Vision);
    quint8 kind = 0;
    QByteArray payload;
    QVERIFY(KxFrame::decode(call, &kind, &payload));
    QCOMPARE(kind, quint8(KxFrame::VisionCall));
    QString code;
    QByteArray got;
    QVERIFY(KxParseVisionCall(payload, &code, &got));
    QCOMPARE(code, QStringLiteral("USRLGI"));
    QCOMPARE(got, json);

    const QByteArray reply = KxMakeVisionReply("USRLGI", DataResult_Ack, "{\"ok\":1}");
    QByteArray value;
    QCOMPARE(KxGetDataStreamResult(reply, "USRLGI", value, nullptr, DataProtocol_Vision),
             int(DataResult_Ack));
    QCOMPARE(value, QByteArray("{\"ok\":1}"));
    QCOMPARE(KxGetDataStreamResult(reply, "SOLLST", value, nullptr, DataProtocol_Vision),
             int(DataResult_NotFound));
    // A vision reply is not a settings reply and the other way round.
    QCOMPARE(KxGetDataStreamResult(reply, "USRLGI", value), int(DataResult_Invalid));
    QVERIFY(KxMakeDataStreamCmd("bad", DataProtocol_Vision).isEmpty());
    KxDataStreamMaker vision(DataProtocol_Vision);
    QVERIFY(vision.addCmd("SOLLST", "{}"));
    QVERIFY(!vision.addCmd("SOLUSE", "{}"));
    QCOMPARE(vision.toByteArray(false), KxMakeDataStreamCmd("SOLLST{}", DataProtocol_Vision));
}

void TestProtocolFrames::requestParserRejects_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("no head") << QByteArray("0000@INTERF1;\x03");
    QTest::newRow("bad prefix") << text("!INTERF1");
    QTest::newRow("bad reserved") << QByteArray("\x7E\x01" "0100@INTERF1;\x03");
    QTest::newRow("short code") << text("@INT");
    QTest::newRow("empty item") << text("@INTERF1;;ILLSCN1");
    QTest::newRow("empty body") << text("@");
    QTest::newRow("short continuation") << text("@INTERF1,E");
    QTest::newRow("no tail") << QByteArray("\x7E\x01" "0000@INTERF1", 13);
    QTest::newRow("control byte") << text("@INTERF\x01");
}

void TestProtocolFrames::requestParserRejects()
{
    QFETCH(QByteArray, frame);
    KxSettingsRequest req;
    QString error;
    QVERIFY(!KxParseSettingsRequest(frame, &req, &error));
    QVERIFY(!error.isEmpty());
}

void TestProtocolFrames::compareTagsCollectsChanges()
{
    KxTagList stored;
    KxTagInfo img = tag("IMGGWH", DataResult_Ack, "1280W960H");
    img.subTags.append({"W", DataResult_Ack, "1280"});
    stored << tag("ILLSCN", DataResult_Ack, "1") << img;
    KxTagList reply;
    KxTagInfo img2 = tag("IMGGWH", DataResult_Ack, "1280W960H");
    img2.subTags.append({"W", DataResult_Ack, "640"});
    reply << tag("ILLSCN", DataResult_Ack, "1") << img2 << tag("NEWCMD", DataResult_Ack, "5")
          << tag("INTERF", DataResult_Refused, "9");
    QStringList changed;
    QVERIFY(KxCompareTags(stored, reply, changed));
    QCOMPARE(changed, (QStringList{"IMGGWHW", "NEWCMD"}));
    QCOMPARE(stored.size(), 3);
    QCOMPARE(stored[1].subTag("W")->value, QByteArray("640"));
    QCOMPARE(stored[2].value(), QByteArray("5"));
    changed.clear();
    QVERIFY(!KxCompareTags(stored, reply, changed));
    QVERIFY(changed.isEmpty());
}

void TestProtocolFrames::ranges_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QList<int>>("values");
    QTest::newRow("list") << QByteArray("0-3,5") << true << QList<int>{0, 1, 2, 3, 5};
    QTest::newRow("negative") << QByteArray("-2--1,4") << true << QList<int>{-2, -1, 4};
    QTest::newRow("single") << QByteArray("7") << true << QList<int>{7};
    QTest::newRow("reversed") << QByteArray("5-3") << false << QList<int>{};
    QTest::newRow("empty") << QByteArray("") << false << QList<int>{};
    QTest::newRow("text") << QByteArray("T0-64") << false << QList<int>{};
    QTest::newRow("dangling") << QByteArray("1-") << false << QList<int>{};
    QTest::newRow("too many") << QByteArray("0-99999999") << false << QList<int>{};
    QTest::newRow("huge") << QByteArray("99999999999999999999") << false << QList<int>{};
}

void TestProtocolFrames::ranges()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, ok);
    QFETCH(QList<int>, values);
    QList<int> out;
    QCOMPARE(KxParseRangesToInt(text, out), ok);
    QCOMPARE(out, values);
}

void TestProtocolFrames::letterTags_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<bool>("hex");
    QTest::addColumn<QStringList>("pairs");
    QTest::newRow("counters") << QByteArray("100N95M2000T") << false
                              << QStringList{"N=100", "M=95", "T=2000"};
    QTest::newRow("hex digits stay") << QByteArray("1AFW2BH") << true
                                     << QStringList{"W=1AF", "H=2B"};
    QTest::newRow("untagged tail") << QByteArray("3S12") << false << QStringList{"S=3", "=12"};
}

void TestProtocolFrames::letterTags()
{
    QFETCH(QByteArray, value);
    QFETCH(bool, hex);
    QFETCH(QStringList, pairs);
    QStringList got;
    for (const auto &p : KxSplitLetterTags(value, hex))
        got << p.first + '=' + QString::fromLatin1(p.second);
    QCOMPARE(got, pairs);
}

// The tag map does not depend on the order of the reply: sorted, reversed, shuffled, with a
// code answered twice (the later answer counts) and with sub-tags between main values.
void TestProtocolFrames::tagMapInAnyOrder_data()
{
    QTest::addColumn<QStringList>("codes");
    QTest::newRow("sorted") << QStringList{"AAAAAA", "BBBBBB", "CCCCCC", "DDDDDD"};
    QTest::newRow("reversed") << QStringList{"DDDDDD", "CCCCCC", "BBBBBB", "AAAAAA"};
    QTest::newRow("shuffled") << QStringList{"CCCCCC", "AAAAAA", "DDDDDD", "BBBBBB"};
    QTest::newRow("repeated") << QStringList{"AAAAAA", "CCCCCC", "AAAAAA", "DDDDDD", "CCCCCC"};
    QTest::newRow("one") << QStringList{"AAAAAA"};
}

void TestProtocolFrames::tagMapInAnyOrder()
{
    QFETCH(QStringList, codes);
    KxSettingsReply reply;
    QMap<QString, QByteArray> expected, expectedFull;
    for (int i = 0; i < codes.size(); ++i) {
        KxTagInfo t = tag(codes[i], DataResult_Ack, QByteArray::number(i));
        t.subTags.append({QStringLiteral("W"), DataResult_Ack, QByteArray::number(100 + i)});
        t.subTags.append({QStringLiteral("H"), DataResult_Refused, QByteArray("x")});
        reply.tags << t;
        expected[codes[i]] = QByteArray::number(i);
        expectedFull[codes[i]] = QByteArray::number(i);
        expectedFull[codes[i] + "W"] = QByteArray::number(100 + i);
    }
    reply.tags << tag("EEEEEE", DataResult_Unknown, "no");
    const KxDataStreamParser parser(KxMakeSettingsReply(reply));
    QVERIFY(parser.isValid());
    QCOMPARE(parser.getTagMap(false), expected);
    QCOMPARE(parser.getTagMap(true), expectedFull);
}

QTEST_GUILESS_MAIN(TestProtocolFrames)
#include "tst_protocol_frames.moc"
