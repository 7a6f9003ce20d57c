// The virtual reader's self-learning, in-process: from an exposure that reads nothing to one that
// reads, stored only with "@", into the first enabled configuration set when there is one, and
// honest failures and refusals that change nothing.
#include "CameraTestUtil.h"
#include "ConfigLibRecord.h"
#include "KxDataStreamMaker.h"
#include "KxDataStreamParser.h"
#include "VcSceneSource.h"
#include "VrModel.h"
#include "VrReaderCamera.h"
#include "VrReaderEngine.h"

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

QTEST_GUILESS_MAIN(TestQuickReader)
#include "tst_quickreader.moc"
