// The virtual RFID reader: inventories honour the radio settings, tag memory reads back what
// was written, and the program streams tag frames that the client's parser takes apart.
#include "BarcodeParse.h"
#include "KxBarcodeConsumerThread.h"
#include "KxDataStreamMaker.h"
#include "KxDataStreamParser.h"
#include "KxDataStreamValue.h"
#include "KxDeviceConfigs.h"
#include "KxFrameAssembler.h"
#include "VReaderProcess.h"
#include "VfReader.h"
#include "VrModel.h"

#include <QTcpSocket>
#include <QtTest>

namespace {
const QString kModels = QStringLiteral(BREVAN_BIN_DIR "/models");
const char *kModel = "KXS-RF600";

QByteArray req(const QByteArray &text)
{
    return KxMakeDataStreamCmd(text, DataProtocol_Settings);
}

// EPC -> how often it was read, through the client's own tag-frame parser.
QMap<QByteArray, int> countTags(const QList<QByteArray> &frames, QList<STRUCT_TAG_INFO> *all = nullptr)
{
    BarcodeParse parse;
    for (const QByteArray &f : frames) {
        if (!parse.parseTagFrame(f))
            return {};  // a frame the client refuses fails the caller's checks
    }
    QMap<QByteArray, int> counts;
    const QList<STRUCT_TAG_INFO> tags = parse.takeTags();
    for (const STRUCT_TAG_INFO &t : tags)
        ++counts[t.epc];
    if (all)
        *all = tags;
    return counts;
}
}  // namespace

class TestRfidReader : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void modelIsAnRfidReader();
    void inventory_data();
    void inventory();
    void lowerPowerReachesFewerTags();
    void regionAndChannels();
    void tagMemory_data();
    void tagMemory();
    void writtenEpcIsInventoried();
    void epcCrcMatchesTheStandardCheck();
    void passingPalletsComeAndGo();
    void programStreamsTagFrames();
    void tagListOver5000IsDroppedWhole();

private:
    std::unique_ptr<VrReaderEngine> engine(int tags);
    QByteArray value(VrReaderEngine &e, const QByteArray &text, int *result = nullptr);
    QSharedPointer<const VrCommandTable> m_table;
    QMap<QString, QList<double>> m_regions;
};

void TestRfidReader::initTestCase()
{
    QString error;
    m_table = VrModel::loadTable(kModels, kModel, nullptr, &error);
    QVERIFY2(m_table, qPrintable(error));
    KxDeviceConfigs configs(KxDescriptionDirs::fromModelsDir(kModels), QStringLiteral("en"));
    m_regions = configs.urfhpTable();
    QVERIFY(m_regions.contains("ETSI"));
}

std::unique_ptr<VrReaderEngine> TestRfidReader::engine(int tags)
{
    VrIdentity id;
    id.model = kModel;
    id.serial = "RF-T-1";
    id.mac = VrModel::macFor(id.serial);
    id.ip = "127.0.0.2";
    auto e = std::make_unique<VrReaderEngine>(m_table, id, QString());
    e->setRfid(std::make_unique<VfReader>(VfScene::standing(tags)), m_regions);
    return e;
}

// The main value of an acknowledgement, or the reason (sub-tag "E") of a refusal.
QByteArray TestRfidReader::value(VrReaderEngine &e, const QByteArray &text, int *result)
{
    const QString code = QString::fromLatin1(text.mid(1, 6));
    const QByteArray reply = e.handleFrame(req(text)).reply;
    QByteArray v;
    const int r = KxGetDataStreamResult(reply, code, v);
    if (result)
        *result = r;
    if (r == DataResult_Refused) {
        for (const KxSubTag &sub : KxDataStreamParser(reply).getSubTagDatas(code)) {
            if (sub.tag == QLatin1String("E"))
                return sub.value;
        }
        return QByteArray("(no reason)");
    }
    return v;
}

void TestRfidReader::modelIsAnRfidReader()
{
    auto e = engine(10);
    QCOMPARE(e->infoMap().value("rfid"), QString("1"));
    for (const char *code : {"URFREG", "URFCHN", "URFPWR", "URFSES", "URFQVL", "URFANT", "URFINV",
                             "URFTRD", "URFTWR", "URFSTA"})
        QVERIFY2(m_table->find(code), code);
    // The export list leaves out what is no setting.
    KxDeviceConfigs configs(KxDescriptionDirs::fromModelsDir(kModels), QStringLiteral("en"));
    QVERIFY(configs.restrictExportCmds(true).contains("URFTWR"));
    QVERIFY(configs.getLenCmds(true).contains("URFTRD"));
}

void TestRfidReader::inventory_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<int>("rounds");
    QTest::addColumn<int>("perTag");  // reads of every tag
    QTest::addColumn<QSet<int>>("antennas");
    // Session 0 answers every round; 2 and 3 keep a read tag silent for the inventory; one
    // antenna at full power reaches every tag, two antennas take turns.
    QTest::newRow("session 0") << QByteArray("URFSES0;URFANT1") << 5 << 5 << QSet<int>{1};
    QTest::newRow("session 2") << QByteArray("URFSES2;URFANT1") << 5 << 1 << QSet<int>{1};
    QTest::newRow("two antennas") << QByteArray("URFSES0;URFANT5") << 4 << 4 << QSet<int>{1, 3};
    QTest::newRow("small Q") << QByteArray("URFSES0;URFANT8;URFQVL0") << 3 << 3 << QSet<int>{4};
}

void TestRfidReader::inventory()
{
    QFETCH(QByteArray, settings);
    QFETCH(int, rounds);
    QFETCH(int, perTag);
    QFETCH(QSet<int>, antennas);
    auto e = engine(200);
    int r = 0;
    for (const QByteArray &s : settings.split(';')) {
        value(*e, "#" + s, &r);
        QCOMPARE(r, int(DataResult_Ack));
    }
    value(*e, "#URFINV1", &r);
    QCOMPARE(r, int(DataResult_Ack));
    QCOMPARE(value(*e, "#URFINV"), QByteArray("1"));
    QList<STRUCT_TAG_INFO> all;
    const auto counts = countTags(e->rfid()->runRounds(rounds), &all);
    QCOMPARE(counts.size(), 200);
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        QCOMPARE(it.value(), perTag);
    QSet<int> seen;
    for (const STRUCT_TAG_INFO &t : all) {
        seen.insert(t.antenna);
        QVERIFY2(t.rssi < -10 && t.rssi > -90, qPrintable(QString::number(t.rssi)));
    }
    QCOMPARE(seen, antennas);
    const auto sta = KxSplitLetterTags(value(*e, "#URFSTA"));
    QCOMPARE(sta.value(0).second.toInt(), rounds);             // R
    QCOMPARE(sta.value(1).second.toInt(), 200 * perTag);       // N
    // Another inventory, ended by a restart of the reader.
    value(*e, "#URFRND0");
    value(*e, "#URFINV1");
    QCOMPARE(value(*e, "#URFINV"), QByteArray("1"));
    e->restart();
    QCOMPARE(value(*e, "#URFINV"), QByteArray("0"));
    QVERIFY(e->rfid()->runRounds(1).isEmpty());
}

void TestRfidReader::lowerPowerReachesFewerTags()
{
    auto e = engine(200);
    value(*e, "#URFANT1");
    QMap<QByteArray, int> byPower[3];
    const int powers[3] = {30, 20, 10};
    for (int i = 0; i < 3; ++i) {
        value(*e, "#URFPWR" + QByteArray::number(powers[i]));
        value(*e, "#URFINV1");
        byPower[i] = countTags(e->rfid()->runRounds(1));
    }
    QCOMPARE(byPower[0].size(), 200);
    QVERIFY(byPower[1].size() < byPower[0].size() && !byPower[1].isEmpty());
    QVERIFY(byPower[2].size() < byPower[1].size());
    for (auto it = byPower[2].cbegin(); it != byPower[2].cend(); ++it)
        QVERIFY(byPower[1].contains(it.key()));  // what weak power reaches, more power does too
    // A tag out of reach cannot be read either.
    QByteArray far;
    for (auto it = byPower[0].cbegin(); it != byPower[0].cend() && far.isEmpty(); ++it) {
        if (!byPower[2].contains(it.key()))
            far = it.key();
    }
    int r = 0;
    QCOMPARE(value(*e, "#URFTRD" + far.toHex() + "|2|0|2", &r), QByteArray("NOTAG"));
    QCOMPARE(r, int(DataResult_Refused));
}

void TestRfidReader::regionAndChannels()
{
    auto e = engine(5);
    int r = 0;
    value(*e, "#URFREG ETSI", &r);
    QCOMPARE(r, int(DataResult_Refused));  // not a region of the table
    value(*e, "#URFREGETSI", &r);
    QCOMPARE(r, int(DataResult_Ack));
    QCOMPARE(value(*e, "#URFCHN5", &r), QByteArray("CHANNEL"));  // ETSI has 4 channels
    QCOMPARE(r, int(DataResult_Refused));
    value(*e, "#URFCHN2", &r);
    QCOMPARE(r, int(DataResult_Ack));
    value(*e, "#URFINV1");
    e->rfid()->runRounds(3);
    const auto sta = KxSplitLetterTags(value(*e, "#URFSTA"));
    QCOMPARE(sta.value(2).first, QString("F"));
    QCOMPARE(sta.value(2).second.toDouble(), m_regions.value("ETSI").at(1));
    // Another region starts with all its channels again.
    value(*e, "#URFREGFCC", &r);
    QCOMPARE(r, int(DataResult_Ack));
    QCOMPARE(e->runningValue("URFCHN"), QByteArray("0"));
    value(*e, "#URFCHN50", &r);
    QCOMPARE(r, int(DataResult_Ack));
}

void TestRfidReader::tagMemory_data()
{
    QTest::addColumn<QByteArray>("write");
    QTest::addColumn<QByteArray>("writeReply");
    QTest::addColumn<QByteArray>("read");
    QTest::addColumn<QByteArray>("readReply");
    const QByteArray epc = VfScene::standing(1).present(0).first()->epc.toHex();
    QTest::newRow("user word") << epc + "|3|4|BEEF" << QByteArray() << epc + "|3|3|3"
                               << QByteArray("0000BEEF0000");
    QTest::newRow("access password") << epc + "|0|2|12345678" << QByteArray() << epc + "|0|2|2"
                                     << QByteArray("12345678");
    QTest::newRow("TID is locked") << epc + "|2|0|1234" << QByteArray("LOCKED") << epc + "|2|0|2"
                                   << QByteArray("E2801130");
    QTest::newRow("past user memory") << epc + "|3|31|12345678" << QByteArray("RANGE")
                                      << epc + "|3|31|2" << QByteArray("RANGE");
    QTest::newRow("odd hex") << epc + "|3|0|123" << QByteArray("BADREQ") << epc + "|3|0|0"
                             << QByteArray("RANGE");
    QTest::newRow("CRC and PC words") << epc + "|1|1|3000" << QByteArray("RANGE") << epc + "|1|1|1"
                                      << QByteArray("3000");
    QTest::newRow("absent tag") << QByteArray("0102|3|0|1111") << QByteArray("NOTAG")
                                << QByteArray("0102|3|0|1") << QByteArray("NOTAG");
}

void TestRfidReader::tagMemory()
{
    QFETCH(QByteArray, write);
    QFETCH(QByteArray, writeReply);
    QFETCH(QByteArray, read);
    QFETCH(QByteArray, readReply);
    auto e = engine(1);
    int r = 0;
    const QByteArray w = value(*e, "#URFTWR" + write, &r);
    QCOMPARE(r, int(writeReply.isEmpty() ? DataResult_Ack : DataResult_Refused));
    if (!writeReply.isEmpty())
        QCOMPARE(w, writeReply);
    QCOMPARE(value(*e, "#URFTRD" + read, &r), readReply);
    QCOMPARE(r, int(readReply == "RANGE" || readReply == "NOTAG" ? DataResult_Refused : DataResult_Ack));
}

void TestRfidReader::writtenEpcIsInventoried()
{
    auto e = engine(3);
    const QByteArray old = VfScene::standing(3).present(0).at(1)->epc;
    int r = 0;
    value(*e, "#URFTWR" + old.toHex() + "|1|6|ABCD", &r);  // EPC word 4
    QCOMPARE(r, int(DataResult_Ack));
    QByteArray fresh = old;
    fresh[8] = char(0xAB);
    fresh[9] = char(0xCD);
    value(*e, "#URFINV1");
    const auto counts = countTags(e->rfid()->runRounds(1));
    QCOMPARE(counts.size(), 3);
    QVERIFY(counts.contains(fresh));
    QVERIFY(!counts.contains(old));
    // The EPC bank's CRC follows the new EPC.
    const QByteArray bank = QByteArray::fromHex(value(*e, "#URFTRD" + fresh.toHex() + "|1|0|8"));
    QCOMPARE(bank.size(), 16);
    QCOMPARE(qFromBigEndian<quint16>(bank.constData()), VfReader::epcCrc(bank.mid(2)));
}

void TestRfidReader::epcCrcMatchesTheStandardCheck()
{
    // The check value of the CRC-16 the air protocol uses.
    QCOMPARE(VfReader::epcCrc("123456789"), quint16(0xD64E));
}

void TestRfidReader::passingPalletsComeAndGo()
{
    VfScene scene = VfScene::passing();
    QSet<QByteArray> early, late;
    for (VfTag *t : scene.present(1000))
        early.insert(t->epc);
    for (VfTag *t : scene.present(60000))
        late.insert(t->epc);
    QCOMPARE(early.size(), 24);  // the first pallet only
    QVERIFY(late.size() >= 48);
    QVERIFY(!late.intersects(early));
    // A passing tag comes closer, then goes away again.
    VfTag *tag = scene.present(60000).first();
    const double atClosest = tag->distance(tag->antenna, tag->closestMs());
    QVERIFY(tag->distance(tag->antenna, tag->enterMs) > atClosest + 2);
    QVERIFY(tag->distance(tag->antenna, tag->leaveMs - 1) > atClosest + 2);
}

void TestRfidReader::programStreamsTagFrames()
{
    VReaderProcess reader;
    QVERIFY2(reader.start({"--model", kModel, "--tags", "200"}), reader.errorOutput().constData());
    QCOMPARE(reader.readers().size(), 1);
    QTcpSocket socket;
    socket.connectToHost(reader.readers().first().address, reader.readers().first().port);
    QVERIFY(socket.waitForConnected(10000));
    KxFrameAssembler assembler(KxFrameAssembler::Side::Client);
    QList<QByteArray> tagFrames;
    QList<QByteArray> replies;
    auto pump = [&](int waitMs) {
        socket.waitForReadyRead(waitMs);
        assembler.append(socket.readAll());
        KxFrameAssembler::Frame f;
        while (assembler.next(&f)) {
            if (f.type == KxFrameAssembler::FrameType::TagFrame)
                tagFrames << f.bytes;
            else if (f.type == KxFrameAssembler::FrameType::Binary)
                replies << f.bytes;
        }
    };
    auto request = [&](const QByteArray &text) {
        replies.clear();
        socket.write(req(text));
        QElapsedTimer t;
        t.start();
        while (replies.isEmpty() && t.elapsed() < 20000)
            pump(100);
        QByteArray v;
        return replies.isEmpty() ? -1
                                 : KxGetDataStreamResult(replies.first(), QString::fromLatin1(text.mid(1, 6)), v);
    };
    for (const char *s : {"#URFANT1", "#URFSES0", "#URFQVL8", "#URFRND5", "#URFINV1"})
        QCOMPARE(request(s), int(DataResult_Ack));
    QElapsedTimer t;
    t.start();
    while (tagFrames.size() < 1000 && t.elapsed() < 60000)
        pump(100);
    // The rounds are over: nothing more arrives, and the inventory has stopped by itself.
    QCOMPARE(request("#URFINV"), int(DataResult_Ack));
    pump(300);
    const auto counts = countTags(tagFrames);
    QCOMPARE(counts.size(), 200);
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        QCOMPARE(it.value(), 5);
    QByteArray running;
    KxGetDataStreamResult(replies.first(), "URFINV", running);
    QCOMPARE(running, QByteArray("0"));
}

void TestRfidReader::tagListOver5000IsDroppedWhole()
{
    // 20000 reads waiting at once: the client's thread parses faster than it hands out batches,
    // so its pending list passes 5000 and goes whole, however fast this machine is.
    constexpr int kSent = 20000;
    QByteArray stream;
    for (int i = 0; i < kSent; ++i) {
        QByteArray epc(12, '\0');
        qToBigEndian<quint32>(quint32(i), epc.data() + 8);
        stream += VfReader::tagFrame(1, -40, epc);
    }
    KxBarcodeConsumerThread thread;
    thread.setRfid(true);
    QSignalSpy batches(&thread, &KxBarcodeConsumerThread::tagsReceived);
    QVERIFY(thread.append(stream));
    thread.start();
    QTRY_COMPARE_WITH_TIMEOUT(thread.framesParsed(), qint64(kSent), 60000);
    QTest::qWait(100);  // the last batch leaves within 15 ms
    thread.stop();
    QVERIFY(thread.wait(10000));
    int received = 0;
    QSet<QByteArray> epcs;
    for (const QList<QVariant> &b : batches) {
        const auto tags = b.first().value<QList<STRUCT_TAG_INFO>>();
        QVERIFY2(tags.size() <= KxBarcodeConsumerThread::kMaxTags, qPrintable(QString::number(tags.size())));
        received += tags.size();
        for (const STRUCT_TAG_INFO &t : tags)
            epcs.insert(t.epc);
    }
    // What is missing are whole lists of 5001, never single tags.
    QCOMPARE((kSent - received) % (KxBarcodeConsumerThread::kMaxTags + 1), 0);
    QCOMPARE(epcs.size(), received);
}

QTEST_GUILESS_MAIN(TestRfidReader)
#include "tst_rfid_reader.moc"
