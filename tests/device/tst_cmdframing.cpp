// Pure rules of the command engine: framing, buffer size, link-change warnings, counters.
#include "KxBinaryFrame.h"
#include "KxCmdFraming.h"
#include "KxDeviceCommand.h"
#include "KxRequestParser.h"
#include "KxSplit.h"

#include <QtTest>

Q_DECLARE_METATYPE(KxTagList)
Q_DECLARE_METATYPE(KxCmdItems)

static KxTagInfo tag(const QString &code, int result, const QByteArray &value)
{
    KxTagInfo t;
    t.code = code;
    t.result = result;
    t.subTags.append({QString(), result, value});
    return t;
}

class TestCmdFraming : public QObject
{
    Q_OBJECT
private slots:
    void framing_data()
    {
        QTest::addColumn<QStringList>("items");  // code + value
        QTest::addColumn<bool>("permanent");
        QTest::addColumn<int>("buffer");
        QTest::addColumn<QByteArrayList>("bodies");
        QTest::newRow("continuation") << QStringList{"232BAD9", "232PAR0", "INTERF1"} << true << 512
                                      << QByteArrayList{"@232BAD9,PAR0;INTERF1;"};
        QTest::newRow("running") << QStringList{"ILLSCN2", "SCNTRG1"} << false << 512
                                 << QByteArrayList{"#ILLSCN2;SCNTRG1;"};
        // 128 bytes: "AAAAAA" + 60 = 66, the second item (";" + 66) would make 133.
        QTest::newRow("split") << QStringList{"AAAAAA" + QString(60, 'x'), "BBBBBB" + QString(60, 'y'),
                                              "BBBCCC1"}
                               << true << 128
                               << QByteArrayList{"@AAAAAA" + QByteArray(60, 'x') + ";",
                                                 "@BBBBBB" + QByteArray(60, 'y') + ",CCC1;"};
        // Exactly at the limit stays in one frame.
        QTest::newRow("exact") << QStringList{"AAAAAA" + QString(60, 'x'), "BBBBBB" + QString(55, 'y')}
                               << true << 128
                               << QByteArrayList{"@AAAAAA" + QByteArray(60, 'x') + ";BBBBBB"
                                                 + QByteArray(55, 'y') + ";"};
        QTest::newRow("long item alone") << QStringList{"AAAAAA1", "DEVDES" + QString(200, 'd')}
                                         << true << 128
                                         << QByteArrayList{"@AAAAAA1;", "@DEVDES" + QByteArray(200, 'd') + ";"};
        QTest::newRow("small buffer raised") << QStringList{"AAAAAA" + QString(100, 'x'), "BBBBBB1"}
                                             << true << 10
                                             << QByteArrayList{"@AAAAAA" + QByteArray(100, 'x') + ";BBBBBB1;"};
    }
    void framing()
    {
        QFETCH(QStringList, items);
        QFETCH(bool, permanent);
        QFETCH(int, buffer);
        QFETCH(QByteArrayList, bodies);
        KxCmdItems list;
        for (const QString &i : items)
            list.append({i.left(6), i.mid(6).toLatin1()});
        QByteArrayList frames;
        QVERIFY(KxCmdFraming::buildFrames(list, permanent, buffer, frames));
        QCOMPARE(frames.size(), bodies.size());
        for (int i = 0; i < frames.size(); ++i) {
            QVERIFY(frames[i].startsWith(QByteArray("\x7E\x01" "0000", 6)));
            QVERIFY(frames[i].endsWith('\x03'));
            QCOMPARE(frames[i].mid(6, frames[i].size() - 7), bodies[i]);
            QCOMPARE(KxCmdFraming::frameCode(frames[i]), QString::fromLatin1(bodies[i].mid(1, 6)));
        }
    }

    void refusedListSendsNothing()
    {
        QByteArrayList frames{"stale"};
        QString refused;
        QVERIFY(!KxCmdFraming::buildFrames({{"DEVNAM", "a"}, {"NGRSET", "x;y"}, {"TRGCMD", "t"}},
                                           true, 512, frames, &refused));
        QCOMPARE(refused, QStringLiteral("NGRSET"));
        QVERIFY(frames.isEmpty());
        QVERIFY(!KxCmdFraming::buildFrames({{"bad", "1"}}, true, 512, frames, &refused));
        QCOMPARE(KxCmdFraming::frameCode("\x7E\x01" "00"), QString());
    }

    // Expected frames: "T" and the text body, or "B" and prefix, code, "=" and the value.
    void binarySafeFraming_data()
    {
        QTest::addColumn<QStringList>("items");  // code + value
        QTest::addColumn<bool>("permanent");
        QTest::addColumn<QByteArrayList>("expected");
        QTest::newRow("text only stays one batch")
            << QStringList{"232BAD9", "232PAR0", "INTERF1"} << true << QByteArrayList{"T@232BAD9,PAR0;INTERF1;"};
        QTest::newRow("pair alone, in its place")
            << QStringList{"ILLSCN2", "CADPOS50,50", "SCNTRG1"} << false
            << QByteArrayList{"T#ILLSCN2;", "B#CADPOS=50,50", "T#SCNTRG1;"};
        QTest::newRow("line and semicolon")
            << QStringList{"CADLIN0,600|1919,600", "PRESETx;y"} << true
            << QByteArrayList{"B@CADLIN=0,600|1919,600", "B@PRESET=x;y"};
        QTest::newRow("control bytes and tilde")
            << QStringList{"DEVDESa\nb", "NGRSET~"} << true
            << QByteArrayList{"B@DEVDES=a\nb", "B@NGRSET=~"};
        QTest::newRow("no continuation across a binary item")
            << QStringList{"CADENA1", "CADSIZ640,480", "CADMOD1"} << true
            << QByteArrayList{"T@CADENA1;", "B@CADSIZ=640,480", "T@CADMOD1;"};
    }
    void binarySafeFraming()
    {
        QFETCH(QStringList, items);
        QFETCH(bool, permanent);
        QFETCH(QByteArrayList, expected);
        KxCmdItems list;
        QStringList codes;
        for (QString i : items) {
            i.replace("\\n", "\n");
            list.append({i.left(6), i.mid(6).toLatin1()});
        }
        QByteArrayList frames{"stale"};
        QVERIFY(KxCmdFraming::buildFramesBinarySafe(list, permanent, 512, frames));
        QCOMPARE(frames.size(), expected.size());
        QStringList allCodes;
        for (int i = 0; i < frames.size(); ++i) {
            const QByteArray &f = frames[i];
            QByteArray want = expected[i];
            want.replace("\\n", "\n");
            if (want.startsWith('T')) {
                QCOMPARE(f.mid(6, f.size() - 7), want.mid(1));
                QCOMPARE(KxCmdFraming::frameCode(f), QString::fromLatin1(want.mid(2, 6)));
            } else {
                quint8 kind = 0;
                QByteArray payload;
                QVERIFY(KxFrame::decode(f, &kind, &payload));
                QCOMPARE(kind, quint8(KxFrame::BinaryRequest));
                KxSettingsRequest r;
                QVERIFY(KxParseBinarySettingsRequest(payload, &r));
                QCOMPARE(r.prefix, want.at(1));
                QCOMPARE(r.items.size(), 1);
                QCOMPARE(r.items[0].code, QString::fromLatin1(want.mid(2, 6)));
                QCOMPARE(r.items[0].value, want.mid(9));
                QCOMPARE(KxCmdFraming::frameCode(f), r.items[0].code);
                QVERIFY(!KxCmdFraming::travelsAsText(r.items[0].code, r.items[0].value));
            }
            allCodes << KxCmdFraming::frameCodes(f);
        }
        for (const auto &i : list)
            codes << i.first;
        QCOMPARE(allCodes, codes);  // every item once, in the order given
    }

    void binarySafeFramingSplitsText()
    {
        // The text items around a binary one still split at the buffer size.
        KxCmdItems list{{"AAAAAA", QByteArray(60, 'x')}, {"BBBBBB", QByteArray(60, 'y')},
                        {"CADPOS", "1,2"}, {"CCCCCC", "1"}};
        QByteArrayList frames;
        QVERIFY(KxCmdFraming::buildFramesBinarySafe(list, true, 128, frames));
        QCOMPARE(frames.size(), 4);
        QCOMPARE(KxCmdFraming::frameCodes(frames[0]), QStringList{"AAAAAA"});
        QCOMPARE(KxCmdFraming::frameCodes(frames[1]), QStringList{"BBBBBB"});
        QCOMPARE(KxCmdFraming::frameCodes(frames[2]), QStringList{"CADPOS"});
        QCOMPARE(KxCmdFraming::frameCodes(frames[3]), QStringList{"CCCCCC"});
    }

    void binarySafeFramingRefusesBadCodes()
    {
        QByteArrayList frames{"stale"};
        QString refused;
        QVERIFY(!KxCmdFraming::buildFramesBinarySafe({{"DEVNAM", "a"}, {"bad", "1,2"}}, true, 512,
                                                     frames, &refused));
        QCOMPARE(refused, QStringLiteral("bad"));
        QVERIFY(frames.isEmpty());
        QVERIFY(KxCmdFraming::binaryFrame("bad", "1", true).isEmpty());
        QVERIFY(KxCmdFraming::frameCodes("garbage").isEmpty());
        QVERIFY(KxCmdFraming::travelsAsText("ILLSCN", "2"));
        QVERIFY(!KxCmdFraming::travelsAsText("ILLSCN", "2,3"));
        // A damaged binary frame names no code.
        QByteArray frame = KxCmdFraming::binaryFrame("CADPOS", "1,2", false);
        QCOMPARE(KxCmdFraming::frameCode(frame), QStringLiteral("CADPOS"));
        frame[frame.size() - 3] = char(frame[frame.size() - 3] ^ 0x55);
        QVERIFY(KxCmdFraming::frameCodes(frame).isEmpty());
        QVERIFY(KxCmdFraming::frameCode(frame).isEmpty());
    }

    void bufferSize_data()
    {
        QTest::addColumn<KxTagList>("caps");
        QTest::addColumn<KxTagList>("values");
        QTest::addColumn<int>("size");
        QTest::newRow("none") << KxTagList{} << KxTagList{} << 512;
        QTest::newRow("capability") << KxTagList{tag("BUFQRY", 6, "2048")} << KxTagList{tag("BUFQRY", 6, "4096")} << 2048;
        QTest::newRow("value when capability is a range") << KxTagList{tag("BUFQRY", 6, "T0-8")}
                                                           << KxTagList{tag("BUFQRY", 6, "4096")} << 4096;
        QTest::newRow("at least 128") << KxTagList{tag("BUFQRY", 6, "64")} << KxTagList{} << 128;
        QTest::newRow("refused") << KxTagList{tag("BUFQRY", 21, "2048")} << KxTagList{} << 512;
        QTest::newRow("garbage") << KxTagList{tag("BUFQRY", 6, "big")} << KxTagList{tag("BUFQRY", 6, "-3")} << 512;
    }
    void bufferSize()
    {
        QFETCH(KxTagList, caps);
        QFETCH(KxTagList, values);
        QFETCH(int, size);
        QCOMPARE(KxCmdFraming::bufferSize(caps, values), size);
    }

    void unconfirmedItems_data()
    {
        QTest::addColumn<KxCmdItems>("sent");
        QTest::addColumn<KxTagList>("answers");
        QTest::addColumn<QStringList>("failed");
        const KxCmdItems pair{{"DFMCAL", ""}, {"DFMADD", "01"}};
        QTest::newRow("all confirmed") << pair << KxTagList{tag("DFMCAL", 6, ""), tag("DFMADD", 6, "01")}
                                       << QStringList{};
        QTest::newRow("second unanswered") << pair << KxTagList{tag("DFMCAL", 6, "")}
                                           << QStringList{"DFMADD"};
        QTest::newRow("refused keeps old value") << pair
                                                 << KxTagList{tag("DFMCAL", 6, ""), tag("DFMADD", 21, "00")}
                                                 << QStringList{"DFMADD"};
        QTest::newRow("other value in force") << KxCmdItems{{"PRESET", ""}}
                                              << KxTagList{tag("PRESET", 6, "abc")} << QStringList{"PRESET"};
        QTest::newRow("one answer for two items") << KxCmdItems{{"DFMADD", "01"}, {"DFMADD", "02"}}
                                                  << KxTagList{tag("DFMADD", 6, "01")}
                                                  << QStringList{"DFMADD"};
        QTest::newRow("answers out of order") << KxCmdItems{{"AAAAAA", "1"}, {"BBBBBB", "2"}}
                                              << KxTagList{tag("BBBBBB", 6, "2"), tag("AAAAAA", 6, "1")}
                                              << QStringList{};
        QTest::newRow("empty reply") << KxCmdItems{{"AAAAAA", "1"}} << KxTagList{} << QStringList{"AAAAAA"};
    }
    void unconfirmedItems()
    {
        QFETCH(KxCmdItems, sent);
        QFETCH(KxTagList, answers);
        QFETCH(QStringList, failed);
        QCOMPARE(KxCmdFraming::unconfirmed(sent, answers), failed);
    }

    void changeItems_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QStringList>("items");
        QTest::newRow("empty data format") << "DFMADD" << QByteArray() << QStringList{"DFMCAL"};
        QTest::newRow("data format") << "DFMADD" << QByteArray("01") << QStringList{"DFMCAL", "DFMADD01"};
        QTest::newRow("script") << "LUAQRY" << QByteArray("0M0L") << QStringList{"LUAADD0M0L"};
        QTest::newRow("plain") << "ILLSCN" << QByteArray("2") << QStringList{"ILLSCN2"};
    }
    void changeItems()
    {
        QFETCH(QString, code);
        QFETCH(QByteArray, value);
        QFETCH(QStringList, items);
        ChangedCmdInfo c;
        c.code = code;
        c.value = value;
        QStringList got;
        for (const auto &i : KxDeviceCommand::changeItems(c))
            got << i.first + QString::fromLatin1(i.second);
        QCOMPARE(got, items);
    }

    void split_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<bool>("hex");
        QTest::addColumn<QStringList>("pairs");  // tag=value
        QTest::newRow("counters") << QByteArray("100N95M2000T") << false
                                  << QStringList{"M=95", "N=100", "T=2000"};
        QTest::newRow("hex keeps digits") << QByteArray("1AFW2BH") << true << QStringList{"H=2B", "W=1AF"};
        QTest::newRow("plain splits hex") << QByteArray("1AF") << false << QStringList{"AF=1"};
        QTest::newRow("long tag") << QByteArray("12ab") << false << QStringList{"ab=12"};
        QTest::newRow("empty") << QByteArray() << false << QStringList{};
    }
    void split()
    {
        QFETCH(QByteArray, value);
        QFETCH(bool, hex);
        QFETCH(QStringList, pairs);
        KxSplit s(value, hex);
        QStringList got;
        for (const QString &t : s.tags())
            got << t + "=" + QString::fromLatin1(s.text(t));
        QCOMPARE(got, pairs);
    }

    void splitLookups()
    {
        KxSplit s("100N95M0-3,5R12xT");
        qint64 n = 0;
        QVERIFY(s.toInt("N", n));
        QCOMPARE(n, 100);
        QVERIFY(!s.toInt("Q", n));
        QVERIFY(s.toInt("xT", n));
        QCOMPARE(n, 12);
        QList<int> r;
        QVERIFY(s.toRanges("R", r));
        QCOMPARE(r, (QList<int>{0, 1, 2, 3, 5}));
        QVERIFY(!s.toRanges("Q", r));
        QVERIFY(s.text("Q").isEmpty());
    }

    void failureMessage()
    {
        const QString save = KxCmdFraming::failureMessage({"TRGCMD", "DEVNAM"}, false);
        const QStringList lines = save.split('\n');
        QCOMPARE(lines.size(), 3);
        QVERIFY(lines[1].endsWith(":[TRGCMD]"));
        QVERIFY(lines[2].endsWith(":[DEVNAM]"));
        QVERIFY(KxCmdFraming::failureMessage({}, true) != KxCmdFraming::failureMessage({}, false));
        QCOMPARE(KxCmdFraming::replyTail("0123456789abc"), QByteArray("3456789abc"));
    }
};

QTEST_MAIN(TestCmdFraming)
#include "tst_cmdframing.moc"
