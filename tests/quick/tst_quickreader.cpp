// The virtual reader's tools, in-process. Self-learning: from an exposure that reads nothing to
// one that reads, stored only with "@", into the first enabled configuration set when there is
// one, and honest failures and refusals that change nothing. The read test until stopped (the
// debug test's rate is checked through the page in tst_quicktools). Focus: the sharpness search
// from a blurred start. Monitoring.
#include "CameraTestUtil.h"
#include "ConfigLibRecord.h"
#include "KxDataStreamMaker.h"
#include "KxDataStreamParser.h"
#include "VcSceneSource.h"
#include "VrModel.h"
#include "VrReaderCamera.h"
#include "VrReaderEngine.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

namespace {

const QString kModels = QStringLiteral(BREVAN_BIN_DIR "/models");

QByteArray req(const QByteArray &text)
{
    return KxMakeDataStreamCmd(text, DataProtocol_Settings);
}

}  // namespace

class TestQuickReader : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void learnsFromUnreadableExposure_data();
    void learnsFromUnreadableExposure();
    void learnsIntoTheFirstEnabledSet();
    void failuresChangeNothing_data();
    void failuresChangeNothing();
    void toolSettingsForms_data();
    void toolSettingsForms();
    void readTestRunsUntilStopped();
    void focusSearchFromBlur_data();
    void focusSearchFromBlur();
    void monitoringStreamsAndGivesWay();

private:
    std::unique_ptr<VrReaderEngine> engine();
    QByteArray query(VrReaderEngine &e, const QByteArray &code);
    int set(VrReaderEngine &e, const QByteArray &text);
    int codesRead(VrReaderEngine &e);

    QSharedPointer<const VrCommandTable> m_table;
    VcSceneSource *m_scene = nullptr;
};

void TestQuickReader::initTestCase()
{
    QString error;
    m_table = VrModel::loadTable(kModels, "KXS-FM800", nullptr, &error);
    QVERIFY2(m_table, qPrintable(error));
    m_scene = new VcSceneSource(VcScenes::byKind(QStringLiteral("fixed-mount"), QSize(640, 480)), this);
}

std::unique_ptr<VrReaderEngine> TestQuickReader::engine()
{
    VrIdentity id;
    id.model = "KXS-FM800";
    id.serial = "SN-SL-1";
    id.mac = VrModel::macFor(id.serial);
    id.ip = "127.0.0.2";
    auto e = std::make_unique<VrReaderEngine>(m_table, id, QString());
    e->loadState();
    e->setCamera(std::make_unique<VrReaderCamera>(m_scene, QSize(640, 480)));
    return e;
}

QByteArray TestQuickReader::query(VrReaderEngine &e, const QByteArray &code)
{
    QByteArray value;
    if (KxGetDataStreamResult(e.handleFrame(req("#" + code + "*")).reply, QString::fromLatin1(code), value) != 6)
        return "<refused>";
    return value;
}

int TestQuickReader::set(VrReaderEngine &e, const QByteArray &text)
{
    QByteArray value;
    return KxGetDataStreamResult(e.handleFrame(req(text)).reply, QString::fromLatin1(text.mid(1, 6)), value);
}

int TestQuickReader::codesRead(VrReaderEngine &e)
{
    ResultStream stream;
    for (const QByteArray &f : e.handleFrame(req("#SCNITG")).results)
        stream.append(f);
    return ResultStream::codes(stream.results()).size();
}

void TestQuickReader::learnsFromUnreadableExposure_data()
{
    QTest::addColumn<QByteArray>("prefix");
    QTest::newRow("running only") << QByteArray("#");
    QTest::newRow("stored") << QByteArray("@");
}

void TestQuickReader::learnsFromUnreadableExposure()
{
    QFETCH(QByteArray, prefix);
    auto e = engine();
    for (const char *s : {"#EXPMOD1", "#EXPFET10", "#EXPFGN0", "#MLTCNT2"})
        QCOMPARE(set(*e, s), 6);
    QCOMPARE(codesRead(*e), 0);
    QCOMPARE(query(*e, "ATLQLS"), QByteArray("0"));
    QCOMPARE(set(*e, "#ATLSOP2"), 6);
    QCOMPARE(set(*e, prefix + "ATLSTP1"), 6);
    QCOMPARE(query(*e, "ATLQLS"), QByteArray("2"));
    QCOMPARE(query(*e, "ATLQPR"), QByteArray("100"));
    const QJsonObject pass = QJsonDocument::fromJson(query(*e, "ATLPAS")).object();
    QCOMPARE(pass.value("BarcodeCntUser").toInt(), 2);
    QVERIFY(pass.value("BarcodeCnt").toInt() >= 2);
    const QJsonObject learned = QJsonDocument::fromJson(query(*e, "ATLQLP")).object();
    QCOMPARE(learned.value("EXPFET").toString().toUtf8(), e->runningValue("EXPFET"));
    QCOMPARE(learned.value("CfgLibId").toInt(), 0);
    QVERIFY(e->runningValue("EXPFET") != "10");
    QVERIFY(codesRead(*e) >= 2);
    // "#" learns for the running settings only; "@" stores what it learned.
    QCOMPARE(e->storedValue("EXPFET") == e->runningValue("EXPFET"), prefix == "@");
}

void TestQuickReader::learnsIntoTheFirstEnabledSet()
{
    auto e = engine();
    const QList<ConfigLibRecord> sets = ConfigLibRecord::splitList(query(*e, "MPCADD"));
    QCOMPARE(sets.size(), 4);
    ConfigLibRecord second = sets[1];
    second.enable = 1;
    second.setValue("EXPFET", "10");
    second.setValue("EXPFGN", "0");
    QCOMPARE(set(*e, "#MPCADD" + second.toHex()), 6);
    QCOMPARE(codesRead(*e), 0);
    const QByteArray runningBefore = e->runningValue("EXPFET");
    QCOMPARE(set(*e, "#ATLSTP1"), 6);
    QCOMPARE(query(*e, "ATLQLS"), QByteArray("2"));
    QCOMPARE(QJsonDocument::fromJson(query(*e, "ATLQLP")).object().value("CfgLibId").toInt(), second.id);
    QCOMPARE(e->runningValue("EXPFET"), runningBefore);
    ConfigLibRecord after;
    for (const ConfigLibRecord &r : ConfigLibRecord::splitList(query(*e, "MPCADD"))) {
        if (r.id == second.id)
            after = r;
    }
    QVERIFY(after.value("EXPFET") != "10");
    QVERIFY(codesRead(*e) >= 1);
}

void TestQuickReader::failuresChangeNothing_data()
{
    QTest::addColumn<QByteArrayList>("setup");
    QTest::addColumn<QByteArray>("state");
    // Far out of focus no exposure helps.
    QTest::newRow("blurred scene") << QByteArrayList{"#FOCPOS0"} << QByteArray("3");
    QTest::newRow("more codes than the scene holds") << QByteArrayList{"#ATLSOP64"} << QByteArray("3");
    QTest::newRow("flow mode") << QByteArrayList{"#SCNMOD3"} << QByteArray("4");

}

void TestQuickReader::failuresChangeNothing()
{
    QFETCH(QByteArrayList, setup);
    QFETCH(QByteArray, state);
    auto e = engine();
    for (const char *s : {"#EXPMOD1", "#EXPFET10", "#EXPFGN0"})
        QCOMPARE(set(*e, s), 6);
    for (const QByteArray &s : setup)
        QCOMPARE(set(*e, s), 6);
    QCOMPARE(set(*e, "@ATLSTP1"), 6);
    QCOMPARE(query(*e, "ATLQLS"), state);
    QCOMPARE(e->runningValue("EXPFET"), QByteArray("10"));
    QCOMPARE(e->runningValue("EXPFGN"), QByteArray("0"));
    QCOMPARE(query(*e, "ATLQLP"), QByteArray());
}

namespace {

// Test-result frames: 02 02, eight hex digits of the frame size, one text record.
QList<QMap<QByteArray, QByteArray>> testRecords(const QList<QByteArray> &frames)
{
    QList<QMap<QByteArray, QByteArray>> out;
    for (const QByteArray &f : frames) {
        bool ok = false;
        if (!f.startsWith("\x02\x02") || f.mid(2, 8).toInt(&ok, 16) != f.size() || !ok)
            return {};
        QMap<QByteArray, QByteArray> items;
        const int data = f.indexOf("Barcode Data=");
        for (const QByteArray &item : f.mid(10, data - 10).split(';')) {
            const int eq = item.indexOf('=');
            if (eq > 0)
                items.insert(item.left(eq), item.mid(eq + 1));
        }
        items.insert("Barcode Data", f.mid(data + 13, f.size() - data - 14));
        out << items;
    }
    return out;
}

}  // namespace

void TestQuickReader::toolSettingsForms_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("status");
    QTest::newRow("debug count and level") << QByteArray("#CCFBML0A30B60C") << 6;
    QTest::newRow("level on every read") << QByteArray("#CCFBML1A0B85C") << 6;
    QTest::newRow("level above 100") << QByteArray("#CCFBML0A1B101C") << 21;
    QTest::newRow("match without parts") << QByteArray("#CCFBML5") << 21;
    QTest::newRow("read test own pace") << QByteArray("#ORTSET0A0B") << 6;
    QTest::newRow("read test timed") << QByteArray("#ORTSET1A250B") << 6;
    QTest::newRow("timed faster than a read") << QByteArray("#ORTSET1A10B") << 21;
    QTest::newRow("unknown read test mode") << QByteArray("#ORTSET3A0B") << 21;
    QTest::newRow("point outside the sensor") << QByteArray("#FOCPOT5000X10Y") << 21;
    QTest::newRow("point without form") << QByteArray("#FOCPOT12X40") << 21;
}

void TestQuickReader::toolSettingsForms()
{
    QFETCH(QByteArray, request);
    QFETCH(int, status);
    auto e = engine();
    const QByteArray code = request.mid(1, 6);
    const QByteArray before = e->runningValue(QString::fromLatin1(code));
    QCOMPARE(set(*e, request), status);
    if (status != 6)
        QCOMPARE(e->runningValue(QString::fromLatin1(code)), before);
}

void TestQuickReader::readTestRunsUntilStopped()
{
    auto e = engine();
    // A matching level no code reaches makes every read a fail, though codes are read.
    QCOMPARE(set(*e, "#CCFBML0A0B100C"), 6);
    QCOMPARE(set(*e, "#ORTSET1A300B"), 6);
    QCOMPARE(set(*e, "#TESLIB1"), 6);
    QCOMPARE(e->toolIntervalMs(), 300);
    QList<QByteArray> frames;
    for (int i = 0; i < 5; ++i)
        frames << e->toolRead().results;
    QVERIFY(e->toolRunning());
    const auto records = testRecords(frames);
    QVERIFY(!records.isEmpty());
    for (const auto &r : records) {
        QCOMPARE(r.value("Test Result"), QByteArray("NG"));
        QCOMPARE(r.value("Match Level"), QByteArray("100"));
        QVERIFY(r.value("Barcode Data") != "NoRead");
    }
    QCOMPARE(QJsonDocument::fromJson(query(*e, "TESQST")).object().value("test").toInt(), 2);
    QCOMPARE(set(*e, "#TESSEN"), 6);
    QVERIFY(!e->toolRunning());
    QVERIFY(e->toolRead().results.isEmpty());
}

void TestQuickReader::focusSearchFromBlur_data()
{
    QTest::addColumn<bool>("atCode");
    QTest::addColumn<bool>("dark");
    QTest::newRow("automatic") << false << false;
    QTest::newRow("point on a code") << true << false;
    // A badly set reader: too dark to read even when sharp, yet sharp is found.
    QTest::newRow("automatic, too dark to read") << false << true;
}

void TestQuickReader::focusSearchFromBlur()
{
    QFETCH(bool, atCode);
    QFETCH(bool, dark);
    auto e = engine();
    // Where a code lies, from a sharp read.
    ResultStream sharp;
    for (const QByteArray &f : e->handleFrame(req("#SCNITG")).results)
        sharp.append(f);
    QVERIFY(!sharp.results().isEmpty());
    const QJsonArray ctr = sharp.results().first().json.value("list").toArray().at(0).toObject().value("ctr").toArray();
    QCOMPARE(set(*e, "#FOCPOS0"), 6);
    if (dark) {
        for (const char *s : {"#EXPMOD1", "#EXPFET20", "#EXPFGN0"})
            QCOMPARE(set(*e, s), 6);
    }
    QCOMPARE(codesRead(*e), 0);
    const QByteArray request = atCode ? "#FOCPOT" + QByteArray::number(ctr.at(0).toInt()) + 'X'
                                            + QByteArray::number(ctr.at(1).toInt()) + 'Y'
                                      : QByteArray("#FOCAUT1");
    QCOMPARE(set(*e, request), 6);
    const QJsonObject st = QJsonDocument::fromJson(query(*e, "FOCQAT")).object();
    QCOMPARE(st.value("state").toInt(), 2);
    const int found = e->runningValue("FOCPOS").toInt();
    QCOMPARE(st.value("FOCPOS").toString().toInt(), found);
    QVERIFY2(qAbs(found - int(m_scene->scene().focus)) <= 20, QByteArray::number(found).constData());
    if (!dark)
        QVERIFY(codesRead(*e) >= 1);
}

void TestQuickReader::monitoringStreamsAndGivesWay()
{
    auto e = engine();
    QCOMPARE(query(*e, "SCNMTG"), QByteArray("0"));
    QCOMPARE(set(*e, "#SCNMTR1"), 6);
    QCOMPARE(query(*e, "SCNMTG"), QByteArray("1"));
    QVERIFY(e->toolRunning());
    ResultStream stream;
    for (int i = 0; i < 3; ++i) {
        for (const QByteArray &f : e->toolRead().results)
            stream.append(f);
    }
    QVERIFY(stream.results().size() >= 3);
    // A test takes over; the client's leaving ends monitoring.
    QCOMPARE(set(*e, "#TESSRN1"), 6);
    QCOMPARE(query(*e, "SCNMTG"), QByteArray("0"));
    QCOMPARE(set(*e, "#SCNMTR1"), 21);
    QCOMPARE(set(*e, "#TESSEN"), 6);
    QCOMPARE(set(*e, "#SCNMTR2"), 6);
    e->setConfigtoolConnected(true);
    e->setConfigtoolConnected(false);
    QCOMPARE(query(*e, "SCNMTG"), QByteArray("0"));
    QVERIFY(!e->toolRunning());
}

QTEST_GUILESS_MAIN(TestQuickReader)
#include "tst_quickreader.moc"
