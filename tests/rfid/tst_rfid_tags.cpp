// The inventory's tag list: batches of the virtual reader's tag frames merge into one row per
// EPC, filters pick rows, and the spreadsheet holds what the list holds.
#include "BarcodeParse.h"
#include "KxTagTable.h"
#include "VfReader.h"

#include <KZip>
#include <QTemporaryDir>
#include <QtTest>

namespace {
QList<STRUCT_TAG_INFO> parsed(const QList<QByteArray> &frames)
{
    BarcodeParse parse;
    for (const QByteArray &f : frames)
        parse.parseTagFrame(f);
    return parse.takeTags();
}

QList<STRUCT_TAG_INFO> inventory(int tags, int rounds, int antennas = 1)
{
    VfReader reader(VfScene::standing(tags));
    VfSettings s;
    s.channels = {920125};
    s.antennas = antennas;
    s.rounds = rounds;
    reader.start(s);
    return parsed(reader.runRounds(rounds));
}

STRUCT_TAG_INFO tag(const char *epcHex, int antenna, int rssi)
{
    STRUCT_TAG_INFO t;
    t.epc = QByteArray::fromHex(epcHex);
    t.antenna = antenna;
    t.rssi = rssi;
    return t;
}
}  // namespace

class TestRfidTags : public QObject
{
    Q_OBJECT
private slots:
    void batchesMergeByEpc();
    void filters_data();
    void filters();
    void exportHoldsTheList();
};

void TestRfidTags::batchesMergeByEpc()
{
    KxTagTable table;
    const QDateTime t0 = QDateTime::fromMSecsSinceEpoch(1000000);
    const QList<STRUCT_TAG_INFO> all = inventory(200, 3);
    QCOMPARE(all.size(), 600);
    // The reads arrive in uneven batches, as the client's thread hands them out.
    QCOMPARE(table.add(all.mid(0, 150), t0), 150);
    QCOMPARE(table.add(all.mid(150, 250), t0.addMSecs(15)), 50);
    QCOMPARE(table.add(all.mid(400), t0.addMSecs(30)), 0);
    QCOMPARE(table.size(), 200);
    QCOMPARE(table.totalReads(), qint64(600));
    for (int i = 0; i < table.size(); ++i) {
        QCOMPARE(table.row(i).count, qint64(3));
        QCOMPARE(table.indexOf(table.row(i).epc), i);
        QVERIFY(table.row(i).firstSeen < table.row(i).lastSeen);
    }
    // Latest read wins for signal and antenna; the best signal is kept.
    table.add({tag("AA01", 2, -60)}, t0);
    table.add({tag("AA01", 3, -70)}, t0.addSecs(1));
    const KxTagRow &r = table.row(table.indexOf(QByteArray::fromHex("AA01")));
    QCOMPARE(r.count, qint64(2));
    QCOMPARE(r.antenna, 3);
    QCOMPARE(r.rssi, -70);
    QCOMPARE(r.bestRssi, -60);
    QCOMPARE(r.firstSeen, t0);
    QCOMPARE(r.lastSeen, t0.addSecs(1));
    // The antenna filter finds a tag by every antenna that read it, not only the latest.
    KxTagTable::Filter byAntenna;
    for (int a : {2, 3}) {
        byAntenna.antenna = a;
        QVERIFY(byAntenna.accepts(r));
    }
    byAntenna.antenna = 1;
    QVERIFY(!byAntenna.accepts(r));
    table.clear();
    QCOMPARE(table.size(), 0);
    QCOMPARE(table.indexOf(QByteArray::fromHex("AA01")), -1);
}

void TestRfidTags::filters_data()
{
    QTest::addColumn<QString>("epc");
    QTest::addColumn<int>("antenna");
    QTest::addColumn<int>("minRssi");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("everything") << QString() << 0 << -128 << QStringList{"AA01", "AB02", "CC03"};
    QTest::newRow("EPC part, any case") << "a" << 0 << -128 << QStringList{"AA01", "AB02"};
    QTest::newRow("antenna") << QString() << 2 << -128 << QStringList{"AB02"};
    QTest::newRow("signal") << QString() << 0 << -55 << QStringList{"AA01", "CC03"};
    QTest::newRow("all at once") << "c0" << 1 << -50 << QStringList{"CC03"};
    QTest::newRow("none") << "FF" << 0 << -128 << QStringList{};
}

void TestRfidTags::filters()
{
    QFETCH(QString, epc);
    QFETCH(int, antenna);
    QFETCH(int, minRssi);
    QFETCH(QStringList, expected);
    KxTagTable table;
    table.add({tag("AA01", 1, -50), tag("AB02", 2, -60), tag("CC03", 1, -40)}, QDateTime::currentDateTimeUtc());
    KxTagTable::Filter f;
    f.epc = epc;
    f.antenna = antenna;
    f.minRssi = minRssi;
    QStringList got;
    for (int i : table.filtered(f))
        got << table.row(i).epcHex();
    QCOMPARE(got, expected);
}

void TestRfidTags::exportHoldsTheList()
{
    KxTagTable table;
    table.add(inventory(20, 4, 3), QDateTime::fromMSecsSinceEpoch(0, Qt::UTC));
    QTemporaryDir dir;
    const QString path = dir.filePath("tags.xlsx");
    QList<int> rows;
    for (int i = 0; i < table.size(); ++i)
        rows << i;
    QString error;
    QVERIFY2(table.exportXlsx(path, rows, &error), qPrintable(error));
    KZip zip(path);
    QVERIFY(zip.open(QIODevice::ReadOnly));
    const auto *strings = dynamic_cast<const KArchiveFile *>(zip.directory()->entry("xl/sharedStrings.xml"));
    const auto *sheet = dynamic_cast<const KArchiveFile *>(zip.directory()->entry("xl/worksheets/sheet1.xml"));
    QVERIFY(strings && sheet);
    const QByteArray text = strings->data();
    for (int i = 0; i < table.size(); ++i)
        QVERIFY2(text.contains(table.row(i).epcHex().toLatin1()), qPrintable(table.row(i).epcHex()));
    // Four rounds over two antennas that both reach every tag: four reads each, as a number.
    QCOMPARE(table.row(0).count, qint64(4));
    QVERIFY(sheet->data().contains("<c r=\"B2\"><v>4</v></c>"));
    QCOMPARE(sheet->data().count("<row "), table.size() + 1);
    // A folder that does not exist: a message, no file.
    QVERIFY(!table.exportXlsx(dir.filePath("missing/tags.xlsx"), rows, &error));
    QVERIFY(error.contains("missing"));
}

QTEST_GUILESS_MAIN(TestRfidTags)
#include "tst_rfid_tags.moc"
