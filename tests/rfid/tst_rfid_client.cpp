// RFID readers through the program's own client side: login with the RFID sync, tags arriving
// through the connector, and a configuration carried from one RFID reader to another.
#include "KxConfigFileIO.h"
#include "KxDataStreamMaker.h"
#include "KxDataStreamParser.h"
#include "KxDeviceConfigs.h"
#include "VReaderSession.h"

#include <QSignalSpy>
#include <QTemporaryDir>

using namespace VReaderSession;

namespace {
// Logged in as the device list would after discovery: the information says "rfid".
std::unique_ptr<KxDeviceConnector> loginRfid(const VReaderProcess::Reader &r, QString *why)
{
    auto c = std::make_unique<KxDeviceConnector>(r.serial);
    KxDeviceInfoMap info;
    info.insert(QStringLiteral("Product Name"), r.model);
    info.insert(QStringLiteral("rfid"), QStringLiteral("1"));
    c->setDeviceInfo(info);
    if (!c->connectWithAddress(QStringLiteral("%1:%2").arg(r.address).arg(r.port))) {
        *why = QStringLiteral("connect failed");
        return nullptr;
    }
    const int code = c->login();
    if (code != 0) {
        *why = QStringLiteral("login %1").arg(code);
        return nullptr;
    }
    return c;
}

int send(KxDeviceConnector *c, const QByteArray &text)
{
    QByteArray reply, value;
    if (!c->sendMessage(KxMakeDataStreamCmd(text, DataProtocol_Settings), reply))
        return -1;
    return KxGetDataStreamResult(reply, QString::fromLatin1(text.mid(1, 6)), value);
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

KxConfigFileIO::ImportResult importNow(KxDeviceConnector *c, const QString &path)
{
    KxConfigFileIO::ImportResult r;
    bool done = false;
    QObject ctx;
    KxConfigFileIO::importFileAsync(c, path, &ctx, [&](const KxConfigFileIO::ImportResult &res) {
        r = res;
        done = true;
    });
    QElapsedTimer t;
    t.start();
    while (!done && t.elapsed() < 60000)
        QTest::qWait(5);
    return r;
}
}  // namespace

class TestRfidClient : public QObject
{
    Q_OBJECT
private slots:
    void discoveredAsRfidReader();
    void inventoryReachesTheConnector();
    void configurationMovesToAnotherReader();
};

void TestRfidClient::discoveredAsRfidReader()
{
    VReaderProcess vp;
    const QString why = startForDiscovery(vp, {"--model", "KXS-RF600", "--tags", "3"});
    QVERIFY2(why.isEmpty(), qPrintable(why));
    KxDeviceKit *kit = KxDeviceKit::Instance();
    QMap<QString, KxDeviceInfoMap> found;
    QObject ctx;
    QObject::connect(kit, &KxDeviceKit::deviceUpdated, &ctx,
                     [&](const QString &id, const QMap<QString, QString> &info) { found.insert(id, info); });
    kit->startDeviceScan(ScanType_All, 1000);
    const QString serial = vp.readers().first().serial;
    auto rfidInfo = [&] {
        for (const KxDeviceInfoMap &info : found) {
            if (info.value("Serial Number") == serial)
                return info;
        }
        return KxDeviceInfoMap();
    };
    QTRY_VERIFY_WITH_TIMEOUT(!rfidInfo().isEmpty(), 30000);
    kit->stopDeviceScan();
    const KxDeviceInfoMap info = rfidInfo();
    QCOMPARE(info.value("rfid"), QString("1"));
    QCOMPARE(info.value("Product Name"), QString("KXS-RF600"));
    // A connector made from what discovery reported is an RFID one.
    KxDeviceConnector c(serial);
    c.setDeviceInfo(info);
    QVERIFY(c.isRfid());
}

void TestRfidClient::inventoryReachesTheConnector()
{
    VReaderProcess vp;
    QVERIFY2(vp.start({"--model", "KXS-RF600", "--tags", "200"}), vp.errorOutput().constData());
    QString why;
    auto c = loginRfid(vp.readers().value(0), &why);
    QVERIFY2(c, qPrintable(why));
    QVERIFY(c->isRfid());
    // The login read the settings of the pages and the lengths of the RFID list.
    QCOMPARE(c->command()->valueText("URFREG"), QString("China"));
    QCOMPARE(KxDeviceConfigs::instance()->cmdLength("URFTWR", -1), 260);
    QCOMPARE(KxDeviceConfigs::instance()->cmdLength("URFCHN", -1), 200);
    c->startResultHandling();
    QSignalSpy tags(c.get(), &KxDeviceConnector::tagsReceived);
    for (const char *s : {"#URFANT1", "#URFSES0", "#URFQVL8", "#URFRND5", "#URFINV1"})
        QCOMPARE(send(c.get(), s), int(DataResult_Ack));
    QMap<QByteArray, int> counts;
    int total = 0;
    auto collect = [&] {
        for (; !tags.isEmpty(); tags.removeFirst()) {
            for (const STRUCT_TAG_INFO &t : tags.first().first().value<QList<STRUCT_TAG_INFO>>()) {
                ++counts[t.epc];
                ++total;
            }
        }
        return total;
    };
    QTRY_VERIFY_WITH_TIMEOUT(collect() >= 1000, 60000);
    QTest::qWait(300);  // anything beyond the five rounds would arrive now
    collect();
    QCOMPARE(counts.size(), 200);
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        QCOMPARE(it.value(), 5);
    QCOMPARE(readerValue(c.get(), "URFINV"), QByteArray("0"));
}

void TestRfidClient::configurationMovesToAnotherReader()
{
    VReaderProcess vp;
    QVERIFY2(vp.start({"--model", "KXS-RF600", "--count", "2", "--tags", "5"}),
             vp.errorOutput().constData());
    QCOMPARE(vp.readers().size(), 2);
    QString why;
    auto a = loginRfid(vp.readers()[0], &why);
    QVERIFY2(a, qPrintable(why));
    auto b = loginRfid(vp.readers()[1], &why);
    QVERIFY2(b, qPrintable(why));
    QVector<ChangedCmdInfo> changes;
    for (const auto &p : QList<QPair<QString, QByteArray>>{{"URFREG", "ETSI"}, {"URFCHN", "2|3"},
                                                          {"URFPWR", "25"}, {"URFQVL", "6"},
                                                          {"URFSES", "1"}}) {
        ChangedCmdInfo ch;
        ch.code = p.first;
        ch.value = p.second;
        changes << ch;
    }
    QStringList failed;
    QVERIFY2(a->command()->saveCmds(changes, true, failed), qPrintable(failed.join(',')));

    QTemporaryDir dir;
    const QString fileA = dir.filePath("a.xml");
    const QString fileB = dir.filePath("b.xml");
    QString error;
    QVERIFY2(KxConfigFileIO::exportToFile(a.get(), fileA, &error), qPrintable(error));
    const KxConfigFile::ParsedFile parsed = KxConfigFile::readFile(fileA);
    QCOMPARE(parsed.check, 0);
    QMap<QString, QString> inFile;
    for (const KxConfigEntry &e : parsed.entries)
        inFile.insert(e.code, e.value);
    for (const ChangedCmdInfo &ch : changes)
        QCOMPARE(inFile.value(ch.code), QString::fromUtf8(ch.value.toByteArray()));
    // Commands that are no settings stay out of the file.
    for (const char *code : {"URFINV", "URFTRD", "URFTWR", "URFSTA", "DEVNAM"})
        QVERIFY2(!inFile.contains(code), code);

    QCOMPARE(KxConfigFileIO::checkImportFile(b.get(), fileA), 0);
    const KxConfigFileIO::ImportResult r = importNow(b.get(), fileA);
    QCOMPARE(r.value("result"), QString("1"));
    QCOMPARE(r.value("FailCmdsCnt"), QString("0"));
    for (const ChangedCmdInfo &ch : changes)
        QCOMPARE(readerValue(b.get(), ch.code), ch.value.toByteArray());
    QVERIFY(KxConfigFileIO::exportToFile(b.get(), fileB));
    QCOMPARE(readAll(fileB), readAll(fileA));
}

QTEST_MAIN(TestRfidClient)
#include "tst_rfid_client.moc"
