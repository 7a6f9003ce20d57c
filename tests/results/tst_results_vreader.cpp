// Results from the real virtual reader over loopback: a trigger yields parsed records naming
// the scene's codes, in the JSON form and in the text-record form, and a no-read message is
// recognised once the reader's no-read setting is switched on.
#include "KxBarcodeConsumerThread.h"
#include "VReaderSession.h"

#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

class TstResultsVReader : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void triggerYieldsSceneCodes();

private:
    // Triggers one read and collects records until pred holds; false after the bound.
    bool trigger(const std::function<bool(const QList<STRUCT_BARCODE_INFO> &)> &pred,
                 QList<STRUCT_BARCODE_INFO> *got);

    QTemporaryDir m_dir;
    VReaderProcess m_vp;
    std::unique_ptr<KxDeviceConnector> m_c;
};

void TstResultsVReader::initTestCase()
{
    kxRegisterResultTypes();
    QVERIFY(m_dir.isValid());
    const QString scene = m_dir.filePath(QStringLiteral("scene.json"));
    QFile f(scene);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(R"({"sensor":[640,400],"background":0.5,"noise":0.5,"codes":[
        {"symbology":"Code 128","text":"BRV-RESULT-128","x":320,"y":100,"module":2,"height":70},
        {"symbology":"QR Code","text":"BRV-RESULT-QR","x":320,"y":290,"module":5}]})");
    f.close();
    // Every third triggered read finds nothing.
    QVERIFY2(m_vp.start({"--model", "KXS-FM800", "--scene", scene, "--no-read-every", "3"}),
             m_vp.errorOutput().constData());
    QString why;
    m_c = VReaderSession::login(m_vp, &why);
    QVERIFY2(m_c, qPrintable(why + QLatin1Char('\n') + QString::fromUtf8(m_vp.errorOutput())));
    QVERIFY(m_c->isResultHandling());
    QVERIFY(m_c->consumerThread());
}

void TstResultsVReader::cleanupTestCase()
{
    if (m_c) {
        m_c->logout();
        m_c->disconnectDevice(true);
        m_c.reset();
    }
    m_vp.stop();
}

bool TstResultsVReader::trigger(const std::function<bool(const QList<STRUCT_BARCODE_INFO> &)> &pred,
                                QList<STRUCT_BARCODE_INFO> *got)
{
    got->clear();
    QMetaObject::Connection conn = connect(
        m_c.get(), &KxDeviceConnector::batBarcodeReceived, this,
        [got](const QList<STRUCT_BARCODE_INFO> &list, bool) { *got += list; });
    int answer = -1;
    m_c->sendAsync(this, QStringLiteral("#SCNITG"), 1, {},
                   [&answer](int error, const QByteArray &) { answer = error; });
    QElapsedTimer t;
    t.start();
    while (!(answer >= 0 && pred(*got)) && t.elapsed() < 60000)
        QTest::qWait(10);
    disconnect(conn);
    return answer == 0 && pred(*got);
}

void TstResultsVReader::triggerYieldsSceneCodes()
{
    const VReaderProcess::Reader reader = m_vp.readers().value(0);
    const QSet<QByteArray> expected{"BRV-RESULT-128", "BRV-RESULT-QR"};
    auto hasBoth = [&](const QList<STRUCT_BARCODE_INFO> &list) {
        QSet<QByteArray> seen;
        for (const STRUCT_BARCODE_INFO &b : list)
            seen.insert(b.data);
        return seen.contains(expected);
    };

    // Read 1: the JSON form (the reader's default), both codes of the scene.
    ChangedCmdInfo count;
    count.code = count.name = QStringLiteral("MLTCNT");
    count.value = count.displayValue = QByteArray("2");
    QCOMPARE(VReaderSession::sendChanges(m_c->command(), {count}, this), 1);
    QList<STRUCT_BARCODE_INFO> got;
    QVERIFY(trigger(hasBoth, &got));
    QCOMPARE(got.size(), 2);
    QStringList names;
    qint64 lastSeq = 0;
    for (const STRUCT_BARCODE_INFO &b : got) {
        names << b.symbology;
        QCOMPARE(b.sn, reader.serial);
        QCOMPARE(b.ip, reader.address);
        QCOMPARE(b.length, b.data.size());
        QVERIFY(b.seq > lastSeq);
        lastSeq = b.seq;
        QVERIFY(!b.decodeTimeText.isEmpty());
    }
    names.sort();
    QCOMPARE(names, (QStringList{"Code 128", "QR Code"}));

    // Read 2: text records, one message per read.
    ChangedCmdInfo form;
    form.code = form.name = QStringLiteral("OUTMSG");
    form.value = form.displayValue = QByteArray("1");
    QCOMPARE(VReaderSession::sendChanges(m_c->command(), {form}, this), 1);
    QVERIFY(trigger(hasBoth, &got));
    QCOMPARE(got.size(), 2);
    for (const STRUCT_BARCODE_INFO &b : got) {
        QVERIFY(b.symbology == QLatin1String("Code 128") || b.symbology == QLatin1String("QR Code"));
        QVERIFY(b.seq > lastSeq);
        QVERIFY(b.score.toDouble() > 0);
    }

    // Read 3 finds nothing: with the no-read message switched on it arrives and is marked.
    ChangedCmdInfo noRead;
    noRead.code = noRead.name = QStringLiteral("NGRENA");
    noRead.value = noRead.displayValue = QByteArray("1");
    QCOMPARE(VReaderSession::sendChanges(m_c->command(), {noRead}, this), 1);
    QVERIFY(trigger([](const QList<STRUCT_BARCODE_INFO> &l) { return !l.isEmpty(); }, &got));
    QCOMPARE(got.size(), 1);
    QCOMPARE(got[0].data, QByteArray("NoRead"));
    QVERIFY(!got[0].goodRead);
    QCOMPARE(m_c->consumerThread()->droppedBytes(), qint64(0));
}

QTEST_GUILESS_MAIN(TstResultsVReader)
#include "tst_results_vreader.moc"
