// The reader's store of offline results (bounded, paged, cleared oldest first) and the client's
// reading of the count and the pages.
#include "StoredResults.h"
#include "VrStoredResults.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QtEndian>
#include <QtTest>

namespace {
QByteArray frame(quint16 type, const QByteArray &payload)
{
    QByteArray f("KESTOR");
    uchar head[6];
    qToBigEndian<quint16>(type, head);
    qToBigEndian<quint32>(quint32(payload.size()), head + 2);
    f.append(reinterpret_cast<const char *>(head), 6);
    return f + payload;
}

QByteArray jsonResult(int seq, const QByteArray &code = "BOX-1")
{
    return frame(65281, R"({"result":1,"endFlag":1,"seq":)" + QByteArray::number(seq) + R"(,"read":)"
                            + QByteArray::number(seq) + R"(,"ip":"127.0.0.2","mac":"02:00:00:00:00:01","sn":"VR1",)"
                            R"("list":[{"code":")" + code + R"(","len":)" + QByteArray::number(code.size())
                            + R"(,"c_id":"002","l_id":0,"d_t":3.5,"ppm":80,"i_s":90,"c_q":88}],"CodeQualitySt":{}})");
}

QList<qint64> seqs(const QList<StoredResult> &rs)
{
    QList<qint64> out;
    for (const StoredResult &r : rs)
        out << r.info.seq;
    return out;
}

// Everything the store holds, fetched the way a client does: pages from the count fetched so far.
QList<StoredResult> fetchAll(const VrStoredResults &store, int *pages)
{
    QList<StoredResult> got;
    *pages = 0;
    while (got.size() < store.count() && *pages <= store.count()) {
        QString why;
        if (!StoredResults::parsePage(store.page(got.size()), {{"002", "Code 128"}}, &got, &why))
            break;
        ++*pages;
    }
    return got;
}
}  // namespace

class TestStoredDataModel : public QObject
{
    Q_OBJECT
private slots:
    void storeKeepsJsonResultsOnlyAndPagesThemComplete()
    {
        VrStoredResults store;
        const QDateTime t = QDateTime::currentDateTime();
        QList<QByteArray> frames;
        for (int i = 1; i <= 25; ++i)
            frames << jsonResult(i);
        // Text messages, single barcodes, cut frames and broken JSON are not kept.
        frames << frame(4128, "BOX-9") << frame(4129, "Total Barcode Length=1;") << jsonResult(99).left(30)
               << frame(65281, "{not json");
        store.keep(frames, t);
        QCOMPARE(store.count(), 25);
        int pages = 0;
        const QList<StoredResult> got = fetchAll(store, &pages);
        QCOMPARE(got.size(), 25);
        QCOMPARE(pages, 3);  // pages of ten
        QList<qint64> expected;
        for (int i = 1; i <= 25; ++i)
            expected << i;
        QCOMPARE(seqs(got), expected);
        QCOMPARE(got[4].info.symbology, QString("Code 128"));
        QCOMPARE(got[4].info.data, QByteArray("BOX-1"));
        QCOMPARE(got[4].read, qint64(5));
        QCOMPARE(got[4].time.toMSecsSinceEpoch(), t.toMSecsSinceEpoch());
        QCOMPARE(store.page(25), QByteArray("[]"));
    }

    void fullStoreDropsOldestAndCountsThem()
    {
        VrStoredResults store;
        QList<QByteArray> frames;
        for (int i = 1; i <= VrStoredResults::kCapacity + 7; ++i)
            frames << jsonResult(i);
        store.keep(frames, QDateTime::currentDateTime());
        StoredCount c;
        QVERIFY(StoredResults::parseCount(store.countText(), &c));
        QCOMPARE(c.count, VrStoredResults::kCapacity);
        QCOMPARE(c.lost, qint64(7));
        QList<StoredResult> first;
        QString why;
        QVERIFY(StoredResults::parsePage(store.page(0), {}, &first, &why));
        QCOMPARE(first.first().info.seq, qint64(8));
    }

    void largePagesStayBoundedButNeverEmpty()
    {
        VrStoredResults store;
        const QByteArray big(VrStoredResults::kPageBytes, 'x');
        store.keep({jsonResult(1, big), jsonResult(2, "A"), jsonResult(3, "B")}, QDateTime::currentDateTime());
        int pages = 0;
        const QList<StoredResult> got = fetchAll(store, &pages);
        QCOMPARE(got.size(), 3);
        QVERIFY(pages >= 2);
        QCOMPARE(got[0].info.data, big);
    }

    void clearRemovesOnlyTheOldest_data()
    {
        QTest::addColumn<int>("n");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<qint64>("firstLeft");
        QTest::newRow("some") << 4 << true << qint64(5);
        QTest::newRow("all") << 10 << true << qint64(-1);
        QTest::newRow("none") << 0 << false << qint64(1);
        QTest::newRow("more than held") << 11 << false << qint64(1);
        QTest::newRow("negative") << -3 << false << qint64(1);
    }
    void clearRemovesOnlyTheOldest()
    {
        QFETCH(int, n);
        QFETCH(bool, ok);
        QFETCH(qint64, firstLeft);
        VrStoredResults store;
        QList<QByteArray> frames;
        for (int i = 1; i <= 10; ++i)
            frames << jsonResult(i);
        store.keep(frames, QDateTime::currentDateTime());
        QCOMPARE(store.clear(n), ok);
        QCOMPARE(store.count(), ok ? 10 - n : 10);
        QList<StoredResult> left;
        QString why;
        QVERIFY(StoredResults::parsePage(store.page(0), {}, &left, &why));
        QCOMPARE(left.isEmpty() ? qint64(-1) : left.first().info.seq, firstLeft);
    }

    void malformedAnswersAreRefused_data()
    {
        QTest::addColumn<QByteArray>("count");
        QTest::addColumn<QByteArray>("page");
        QTest::newRow("count missing parts") << QByteArray("3,2000") << QByteArray("{}");
        QTest::newRow("count not numbers") << QByteArray("a,b,c") << QByteArray("[1]");
        QTest::newRow("negative count") << QByteArray("-1,2000,0") << QByteArray(R"([{"time":"x"}])");
        QTest::newRow("page without time") << QByteArray("1,2000") << QByteArray(R"([{"msg":{}}])");
        QTest::newRow("page message not a result")
            << QByteArray("") << QByteArray(R"([{"time":"2026-01-01T00:00:00.000","msg":{"list":[]}}])");
    }
    void malformedAnswersAreRefused()
    {
        QFETCH(QByteArray, count);
        QFETCH(QByteArray, page);
        StoredCount c;
        c.count = 42;
        QVERIFY(!StoredResults::parseCount(count, &c));
        QCOMPARE(c.count, 42);
        QList<StoredResult> out;
        QString why;
        QVERIFY(!StoredResults::parsePage(page, {}, &out, &why));
        QVERIFY(out.isEmpty());
        QVERIFY(!why.isEmpty());
    }

    void csvQuotesCellsThatNeedIt()
    {
        const QByteArray text = StoredResults::csv({"a", "b"}, {{"x,y", "say \"hi\""}, {"line\nbreak", "plain"}});
        QCOMPARE(text, QByteArray("a,b\r\n\"x,y\",\"say \"\"hi\"\"\"\r\n\"line\nbreak\",plain\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestStoredDataModel)
#include "tst_storeddata_model.moc"
