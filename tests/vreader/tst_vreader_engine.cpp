// The reader engine in-process: command table from the model pages, set rules, defaults,
// discovery requests, offline devices and hostile frames.
#include "KxDataStreamMaker.h"
#include "KxDataStreamParser.h"
#include "VrModel.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kModels = QStringLiteral(BREVAN_BIN_DIR "/models");

QByteArray req(const char *text)
{
    return KxMakeDataStreamCmd(QByteArray(text), DataProtocol_Settings);
}

}  // namespace

class TestVReaderEngine : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void tableHoldsEveryPageItem();
    void setRules_data();
    void setRules();
    void defaultsAndCustomDefaults();
    void listsFollowEveryChange();
    void damagedStateIsNotOverwritten();
    void discoveryRequests();
    void offLineDevice();
    void hostileFramesNeverCrash();

private:
    std::unique_ptr<VrReaderEngine> engine(const QString &statePath = QString());
    QSharedPointer<const VrCommandTable> m_table;
    QTemporaryDir m_dir;
};

void TestVReaderEngine::initTestCase()
{
    QString error;
    m_table = VrModel::loadTable(kModels, "KXS-FM800", nullptr, &error);
    QVERIFY2(m_table, qPrintable(error));
}

std::unique_ptr<VrReaderEngine> TestVReaderEngine::engine(const QString &statePath)
{
    VrIdentity id;
    id.model = "KXS-FM800";
    id.serial = "SN-T-1";
    id.mac = VrModel::macFor(id.serial);
    id.ip = "127.0.0.2";
    auto e = std::make_unique<VrReaderEngine>(m_table, id, statePath);
    e->loadState();
    return e;
}

void TestVReaderEngine::tableHoldsEveryPageItem()
{
    // Known items of different pages and the special commands.
    for (const char *code : {"C28ENA", "C28LEN", "INTERF", "NETDEN", "DEVNAM", "PRNQRY", "BUFQRY",
                             "FACDEF"})
        QVERIFY2(m_table->find(code), code);
    QVERIFY(m_table->size() > 150);
    QCOMPARE(m_table->codes().size(), m_table->size());
    QVERIFY(!m_table->find("ZZZZZZ"));
    QCOMPARE(VrCommandTable::capability(*m_table->find("C28ENA")), QByteArray("0,1"));
}

void TestVReaderEngine::setRules_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("result");
    QTest::newRow("option in list") << req("#C28ENA0") << "C28ENA" << 6;
    QTest::newRow("option not in list") << req("#C28ENA7") << "C28ENA" << 21;
    QTest::newRow("range inside") << req("#C28LEN2|40") << "C28LEN" << 6;
    QTest::newRow("range outside") << req("#C28LEN1|400") << "C28LEN" << 21;
    QTest::newRow("read only") << req("#PRNQRY1") << "PRNQRY" << 21;
    QTest::newRow("unknown") << req("#QQQQQQ1") << "QQQQQQ" << 5;
    QTest::newRow("query") << req("@C28ENA*") << "C28ENA" << 6;
    QTest::newRow("frame time-out too small") << req("#FRMTMO5") << "FRMTMO" << 21;
}

void TestVReaderEngine::setRules()
{
    QFETCH(QByteArray, frame);
    QFETCH(QString, code);
    QFETCH(int, result);
    auto e = engine();
    const auto out = e->handleFrame(frame);
    QByteArray value;
    QCOMPARE(KxGetDataStreamResult(out.reply, code, value), result);
}

void TestVReaderEngine::defaultsAndCustomDefaults()
{
    auto e = engine(m_dir.filePath("defaults.json"));
    QByteArray v;
    // No custom defaults yet: restoring them is refused.
    QCOMPARE(KxGetDataStreamResult(e->handleFrame(req("@CUSDEF")).reply, "CUSDEF", v), 21);
    e->handleFrame(req("@C39ENA0"));
    e->handleFrame(req("@INTERF*"));
    QVERIFY(KxCheckDataStreamCmd(e->handleFrame(req("@CUSSAV")).reply, "CUSSAV"));
    e->handleFrame(req("@C39ENA1"));
    auto out = e->handleFrame(req("@CUSDEF"));
    QVERIFY(KxCheckDataStreamCmd(out.reply, "CUSDEF"));
    QVERIFY(out.restart);
    e->restart();
    QCOMPARE(e->runningValue("C39ENA"), QByteArray("0"));
    out = e->handleFrame(req("@FACDEF"));
    QVERIFY(out.restart);
    e->restart();
    QCOMPARE(e->runningValue("C39ENA"), m_table->find("C39ENA")->defaultValue);
}

void TestVReaderEngine::listsFollowEveryChange()
{
    // The lists are kept encoded between requests; each must still show every change.
    auto e = engine();
    auto item = [&e](const char *list, const QString &code) {
        QByteArray v;
        KxGetDataStreamResult(e->handleFrame(req(list)).reply, code, v);
        return v;
    };
    const QByteArray before = item("@*", "C28ENA");
    const QByteArray other = before == "1" ? "0" : "1";
    const QByteArray counters = item("@*", "DBGCNT");
    QCOMPARE(item("@*", "DIFQRY"), QByteArray());
    e->handleFrame(req(QByteArray("#C28ENA" + other).constData()));  // running, not stored
    QCOMPARE(item("@*", "C28ENA"), other);
    QCOMPARE(item("@*", "DIFQRY"), QByteArray("C28ENA"));
    QCOMPARE(item("@&", "C28ENA"), m_table->find("C28ENA")->defaultValue);
    e->handleFrame(req(QByteArray("@C28ENA" + other).constData()));  // stored as well
    QCOMPARE(item("@*", "DIFQRY"), QByteArray());
    e->simulateRead();
    QVERIFY(item("@*", "DBGCNT") != counters);
    e->handleFrame(req(QByteArray("@C28ENA" + before).constData()));
    QCOMPARE(item("@*", "C28ENA"), before);
}

void TestVReaderEngine::damagedStateIsNotOverwritten()
{
    const QString path = m_dir.filePath("damaged.json");
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("{not json");
    f.close();
    VrIdentity id;
    id.model = "KXS-FM800";
    id.serial = "SN-D";
    VrReaderEngine e(m_table, id, path);
    QString error;
    QVERIFY(!e.loadState(&error));
    QVERIFY(error.contains(path));
    e.handleFrame(req("@C39ENA0"));
    QFile back(path);
    QVERIFY(back.open(QIODevice::ReadOnly));
    QCOMPARE(back.readAll(), QByteArray("{not json"));
}

void TestVReaderEngine::discoveryRequests()
{
    auto e = engine(m_dir.filePath("disc.json"));
    KxDiscovery::Datagram search;
    search.transaction = 7;
    auto out = e->handleDatagram(search);
    QCOMPARE(out.replies.size(), 1);
    QCOMPARE(out.replies[0].fields.value("Serial Number"), QStringLiteral("SN-T-1"));
    QCOMPARE(out.replies[0].fields.value("Supp Gr"), QStringLiteral("1"));
    QVERIFY(!out.replies[0].fields.contains("Device Type"));

    KxDiscovery::Datagram net;
    net.type = KxDiscovery::NetworkRequest;
    net.fields = {{"Serial Number", "SN-T-1"}, {"MAC Address", VrModel::macFor("SN-T-1")},
                  {"Ip Address", "10.0.0.5"}, {"SubNetmask", "255.0.0.0"}};
    out = e->handleDatagram(net);  // outside loopback: refused, nothing moves
    QCOMPARE(out.replies.value(0).result, int(KxDiscovery::Result_Failure));
    QVERIFY(!out.moved);
    net.fields["Ip Address"] = "127.0.0.9";
    out = e->handleDatagram(net);
    QCOMPARE(out.replies.value(0).result, int(KxDiscovery::Result_Success));
    QVERIFY(out.moved);
    QCOMPARE(e->identity().ip, QStringLiteral("127.0.0.9"));
    net.fields["Serial Number"] = "OTHER";
    QVERIFY(e->handleDatagram(net).replies.isEmpty());

    KxDiscovery::Datagram group;
    group.type = KxDiscovery::GroupRequest;
    group.fields = {{"Serial Number", "SN-T-1"}, {"MAC Address", VrModel::macFor("SN-T-1")},
                    {"config", "Gr ID=1;Serial Number=SN-T-1;MAC Address=" + VrModel::macFor("SN-T-1")
                                   + ";Gr En=1;Gr Role=1;Gr Mst MAC=" + VrModel::macFor("SN-T-1")
                                   + ";Gr Mst SN=SN-T-1;Gr Mst IP=127.0.0.9;Gr Name=Line;Gr mode=0;"
                                     "Gr sync mode=0;Gr sync min=1;Gr sync max=1;Gr slave=;"}};
    QCOMPARE(e->handleDatagram(group).replies.value(0).result, int(KxDiscovery::Result_Success));
    group.fields["config"] = "garbage";
    QCOMPARE(e->handleDatagram(group).replies.value(0).result, int(KxDiscovery::Result_Failure));

    auto reloaded = engine(m_dir.filePath("disc.json"));
    QCOMPARE(reloaded->identity().ip, QStringLiteral("127.0.0.9"));
    QCOMPARE(reloaded->infoMap().value("Gr Name"), QStringLiteral("Line"));
}

void TestVReaderEngine::offLineDevice()
{
    QString error;
    auto reader = VrModel::createOffLineReader(
        "offLine_KXS-FM800", kModels + "/barcodesetting/offline/KXS-FM800.xml",
        kModels + "/barcodesetting/offLineCfg.xml", &error);
    QVERIFY2(reader, qPrintable(error));
    QByteArray value;
    QCOMPARE(KxGetDataStreamResult(reader->handleRequest(req("@DEVNAM*")), "DEVNAM", value), 6);
    QCOMPARE(value, QByteArray("Offline FM800"));
    const QByteArray all = reader->handleRequest(req("@*"));
    QVERIFY(KxDataStreamParser(all).tags().size() > 150);
    QVERIFY(!VrModel::createOffLineReader("x", kModels + "/missing.xml",
                                          kModels + "/barcodesetting/offLineCfg.xml", &error));
    QVERIFY(!error.isEmpty());
}

void TestVReaderEngine::hostileFramesNeverCrash()
{
    auto e = engine();
    QRandomGenerator rng(99);
    const QByteArray good = req("#C28ENA0;C28LEN2|40;INTERF*");
    int rejected = 0;
    for (int i = 0; i < 3000; ++i) {
        QByteArray f = good;
        for (int k = 0; k < 3; ++k)
            f[rng.bounded(f.size())] = char(rng.bounded(256));
        if (i % 3 == 0)
            f.truncate(rng.bounded(f.size()));
        const auto out = e->handleFrame(f);
        QVERIFY(!out.reply.isEmpty());  // always an answer: a reply or a rejection
        if (!KxDataStreamParser(out.reply).isValid())
            ++rejected;
    }
    QVERIFY(rejected > 0);
}

QTEST_GUILESS_MAIN(TestVReaderEngine)
#include "tst_vreader_engine.moc"
