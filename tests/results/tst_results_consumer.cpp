// The consumer thread and the connector's result handling: bytes in through the ring, batches
// out through queued signals, a burst that does not fit dropped whole, stop within its bound.
#include "KxBarcodeConsumerThread.h"
#include "KxDeviceConnector.h"
#include "KxDeviceKit.h"
#include "ResultFrames.h"

#include <QSignalSpy>
#include <QtTest>

using namespace ResultFrames;

class TstResultsConsumer : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { kxRegisterResultTypes(); }
    void burstLargerThanFreeSpace();
    void framesInPieces_data();
    void framesInPieces();
    void testModeAndTags();
    void connectorDirectDelivery();
    void connectorConsumerPath();
};

namespace {
// Every record of every emission a spy saw, in order.
template <typename T>
QList<T> allOf(const QSignalSpy &spy)
{
    QList<T> out;
    for (const QVariantList &args : spy)
        out += args.at(0).value<QList<T>>();
    return out;
}

QList<QByteArray> dataOf(const QSignalSpy &spy)
{
    QList<QByteArray> out;
    for (const STRUCT_BARCODE_INFO &b : allOf<STRUCT_BARCODE_INFO>(spy))
        out.append(b.data);
    return out;
}
}  // namespace

void TstResultsConsumer::burstLargerThanFreeSpace()
{
    KxBarcodeConsumerThread t;
    QSignalSpy spy(&t, &KxBarcodeConsumerThread::batBarcodeReceived);
    QList<QByteArray> expected;
    // Fill the ring to within 10 KiB of full before the thread runs.
    const QByteArray big(300000, 'b');
    qint64 written = 0;
    for (int i = 0; i < 3; ++i) {
        const QByteArray f = kestor(4128, QByteArray::number(i) + big);
        QVERIFY(t.append(f));
        written += f.size();
        expected.append(QByteArray::number(i) + big);
    }
    const QByteArray filler = kestor(4128, QByteArray(int(KxBarcodeConsumerThread::kRingSize - written) - 10240 - 12, 'f'));
    QVERIFY(t.append(filler));
    expected.append(filler.mid(12));
    // 20 KiB do not fit in the 10 KiB left: dropped whole, not cut.
    const QByteArray burst = kestor(4128, QByteArray(20000, 'X'));
    QVERIFY(!t.append(burst));
    QCOMPARE(t.droppedBytes(), qint64(burst.size()));
    t.start();
    QTRY_COMPARE_WITH_TIMEOUT(dataOf(spy).size(), expected.size(), 30000);
    // Later frames still parse.
    for (int i = 0; i < 50; ++i) {
        const QByteArray d = "after" + QByteArray::number(i);
        QVERIFY(t.append(kestor(4128, d)));
        expected.append(d);
    }
    QTRY_COMPARE_WITH_TIMEOUT(dataOf(spy).size(), expected.size(), 30000);
    QCOMPARE(dataOf(spy), expected);
}

void TstResultsConsumer::framesInPieces_data()
{
    QTest::addColumn<int>("piece");
    QTest::newRow("1 byte") << 1;
    QTest::newRow("5 bytes") << 5;
    QTest::newRow("13 bytes") << 13;
    QTest::newRow("4096 bytes") << 4096;
}

void TstResultsConsumer::framesInPieces()
{
    QFETCH(int, piece);
    KxBarcodeConsumerThread t;
    t.setNoReadMessages({QByteArray("NR")});
    QSignalSpy spy(&t, &KxBarcodeConsumerThread::batBarcodeReceived);
    QByteArray stream = "junk";
    QList<QByteArray> expected;
    for (int i = 0; i < 40; ++i) {
        const QByteArray d = i % 10 == 9 ? QByteArray("NR") : "code-" + QByteArray::number(i);
        stream += kestor(4128, d);
        expected.append(d);
    }
    stream += kestor(65281, jsonMessage(10, 100));
    for (int i = 0; i < 10; ++i)
        expected.append("SEQ" + QByteArray::number(100 + i).rightJustified(9, '0'));
    t.start();
    for (int at = 0; at < stream.size(); at += piece)
        QVERIFY(t.append(stream.mid(at, piece)));
    QTRY_COMPARE_WITH_TIMEOUT(dataOf(spy).size(), expected.size(), 30000);
    QCOMPARE(dataOf(spy), expected);
    int noReads = 0;
    for (const STRUCT_BARCODE_INFO &b : allOf<STRUCT_BARCODE_INFO>(spy))
        noReads += b.goodRead ? 0 : 1;
    QCOMPARE(noReads, 4);

    // A no-read message switched on while the thread runs holds for the very next frame, not
    // only after the next batch.
    for (int i = 0; i < 5; ++i) {
        const QByteArray late = "LATE" + QByteArray::number(i);
        spy.clear();
        t.setNoReadMessages({late});
        QVERIFY(t.append(kestor(4128, late)));
        QTRY_COMPARE_WITH_TIMEOUT(allOf<STRUCT_BARCODE_INFO>(spy).size(), 1, 30000);
        QVERIFY2(!allOf<STRUCT_BARCODE_INFO>(spy).first().goodRead, late.constData());
    }
}

void TstResultsConsumer::testModeAndTags()
{
    {
        KxBarcodeConsumerThread t;
        t.setResultMode(1);
        QSignalSpy tests(&t, &KxBarcodeConsumerThread::batTestResultReceived);
        QSignalSpy codes(&t, &KxBarcodeConsumerThread::batBarcodeReceived);
        t.start();
        // In test mode "KESTOR" frames are not looked for.
        t.append(kestor(4128, "ignored") + testFrame(textRecord("Test Result=OK;", "T1"))
                 + testFrame(textRecord("Test Result=NG;", "T2")));
        QTRY_COMPARE_WITH_TIMEOUT(allOf<STRU_TEST_RESULT_INFO>(tests).size(), 2, 30000);
        const auto got = allOf<STRU_TEST_RESULT_INFO>(tests);
        QCOMPARE(got[0].item.barcode.data, QByteArray("T1"));
        QVERIFY(got[0].ok);
        QVERIFY(!got[1].ok);
        QVERIFY(codes.isEmpty());
    }
    {
        KxBarcodeConsumerThread t;
        t.setRfid(true);
        QSignalSpy tags(&t, &KxBarcodeConsumerThread::tagsReceived);
        t.start();
        t.append(tagFrame(1, -50, "EPC1") + tagFrame(1, -50, "BAD", false) + tagFrame(3, -70, "EPC2"));
        QTRY_COMPARE_WITH_TIMEOUT(allOf<STRUCT_TAG_INFO>(tags).size(), 2, 30000);
        const auto got = allOf<STRUCT_TAG_INFO>(tags);
        QCOMPARE(got[0].epc, QByteArray("EPC1"));
        QCOMPARE(got[1].antenna, 3);
    }
}

void TstResultsConsumer::connectorDirectDelivery()
{
    KxDeviceConnector c(QStringLiteral("direct-1"));
    KxDeviceInfoMap info;
    info.insert(QStringLiteral("Device Type"), QStringLiteral("COM"));
    c.setDeviceInfo(info);
    c.startResultHandling();
    QSignalSpy spy(&c, &KxDeviceConnector::batBarcodeReceived);
    emit KxDeviceKit::Instance()->barcodeReceived(QStringLiteral("other"), "not mine");
    emit KxDeviceKit::Instance()->barcodeReceived(QStringLiteral("direct-1"), "A\tB");
    // Finished messages are delivered at once, one record each, without the consumer thread.
    QCOMPARE(spy.size(), 1);
    const auto list = spy.at(0).at(0).value<QList<STRUCT_BARCODE_INFO>>();
    QCOMPARE(list.size(), 1);
    QCOMPARE(list[0].data, QByteArray("A\tB"));
    QVERIFY(list[0].goodRead);
    QVERIFY(!c.consumerThread()->isRunning());
}

void TstResultsConsumer::connectorConsumerPath()
{
    auto *c = new KxDeviceConnector(QStringLiteral("raw-1"));
    c->startResultHandling();
    c->setResultMode(2);  // any mode but 0 goes through the consumer thread
    QSignalSpy spy(c, &KxDeviceConnector::batBarcodeReceived);
    const QByteArray frame = kestor(4128, "via-thread");
    emit KxDeviceKit::Instance()->barcodeReceived(QStringLiteral("raw-1"), frame.left(7));
    emit KxDeviceKit::Instance()->barcodeReceived(QStringLiteral("raw-1"), frame.mid(7));
    QVERIFY(c->consumerThread()->isRunning());
    QTRY_COMPARE_WITH_TIMEOUT(dataOf(spy), QList<QByteArray>{"via-thread"}, 30000);
    QPointer<KxBarcodeConsumerThread> thread = c->consumerThread();
    c->stopResultHandling();
    QVERIFY(!c->isResultHandling());
    QVERIFY(!c->consumerThread());
    QTRY_VERIFY_WITH_TIMEOUT(thread.isNull(), 10000);
    // After the stop nothing is delivered any more.
    emit KxDeviceKit::Instance()->barcodeReceived(QStringLiteral("raw-1"), kestor(4128, "late"));
    QTest::qWait(50);
    QCOMPARE(spy.size(), 1);
    delete c;
}

QTEST_GUILESS_MAIN(TstResultsConsumer)
#include "tst_results_consumer.moc"
