#include "KxDeviceConfigs.h"
#include "KxModelFiles.h"
#include "KxModelName.h"
#include "descriptions_testutil.h"

#include <QTemporaryDir>
#include <QtTest>

class TestDeviceConfigs : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_tmp;
    KxDescriptionDirs m_dirs;
    std::unique_ptr<KxDeviceConfigs> m_cfg;

    static QByteArray devicesXml()
    {
        return "<Devices Type=\"1\" Filter=\"1\">\n"
               " <Category id=\"B\">\n"
               "  <Device id=\"KXS-AB1\" name=\"KXS-AB1\" icon=\"ab1.png\"/>\n"
               "  <Device id=\"KXS-ZZ9\" name=\"KXS-ZZ9\" icon=\"missing.png\"/>\n"
               " </Category>\n"
               " <Category id=\"A\">\n"
               "  <Device id=\"KXS-AB12\" name=\"KXS-AB12\" icon=\"ab12.png\" xml=\"ab12.xml\" "
               "cmpkey=\"KXS-AB10|KXS_AB11-02||\" set=\"SETUPN\" hide=\"1\"/>\n"
               "  <Device id=\"KXS-CD5\" lang=\"en|de\" name=\"cd5\"/>\n"
               "  <Device id=\"KXS-CD6\" lang=\"fr\" name=\"cd6\" set=\"\"/>\n"
               "  <Device name=\"no id\"/>\n"
               " </Category>\n"
               " <Category><Device id=\"KXS-EF1\"/></Category>\n"
               "</Devices>\n";
    }

private slots:
    void initTestCase();
    void normalisation_data();
    void normalisation();
    void devicesFileFields();
    void findDevice_data();
    void findDevice();
    void compatibility_data();
    void compatibility();
    void shownDevices_data();
    void shownDevices();
    void icons();
    void refsEventsAndLengths();
    void layoutUrfhpAndExportable();
    void brokenDevicesFailsAndRetries();
    void wrongRootIsReported();
};

void TestDeviceConfigs::initTestCase()
{
    QVERIFY(m_tmp.isValid());
    m_dirs = KxDescriptionDirs::fromModelsDir(m_tmp.filePath("models"));
    QVERIFY(writeTextFile(m_dirs.barcodeDir + "/devices/Devices.xml", devicesXml()));
    QVERIFY(writeTextFile(m_dirs.barcodeDir + "/Symbologies.xml",
                          "<setting><Symbologies><node name=\"Code 128\" value=\"C128ENA\" type=\"1\"/>"
                          "<node name=\"QR\" value=\"QRCENA\" type=\"2\"/></Symbologies></setting>"));
    QVERIFY(writeTextFile(m_dirs.barcodeDir + "/Events.xml",
                          "<Event><Command Id=\"NETDEN, INTERF\"><Triggers Flag=\"1\">"
                          "<Trigger>NETLPA</Trigger><Trigger Link=\"INTERF\" Flag=\"0\">KBWPOR</Trigger>"
                          "<Trigger/></Triggers></Command><Command><Triggers/></Command></Event>"));
    QVERIFY(writeTextFile(m_dirs.barcodeDir + "/Refs.xml",
                          "<Command><Refs><Ref id=\"MaxLength\">8192</Ref><Ref id=\"Empty\"/></Refs>"
                          "<EndCmds><Cmd id=\"NETAPL\"/><Cmd/></EndCmds>"
                          "<SyncCmds><Cmd id=\"MPCADD\"/></SyncCmds>"
                          "<SyncExtendData><Cmd id=\"LUAADD\"/></SyncExtendData>"
                          "<GetLenCmds><Cmd id=\"Barcode\">NGRSET, TSUSET,,</Cmd><Cmd id=\"DEVNAM\"/>"
                          "<Cmd id=\"More\">TSUSET</Cmd></GetLenCmds>"
                          "<RestrictExportCmds><Cmd id=\"NETDEN\"/></RestrictExportCmds>"
                          "<ResizeCmds><Cmd id=\"DFMADD\"/></ResizeCmds>"
                          "<Script><Cmd id=\"JS\">SCRENA, SCR ADD</Cmd></Script></Command>"));
    QVERIFY(writeTextFile(m_dirs.rfidDir + "/Events.xml", "<Event/>"));
    QVERIFY(writeTextFile(m_dirs.rfidDir + "/Refs.xml",
                          "<Command><GetLenCmds><Cmd id=\"RFID\">URFTWR</Cmd></GetLenCmds></Command>"));
    QVERIFY(writeTextFile(m_dirs.modelsDir + "/ab1.png", "png"));
    QVERIFY(writeTextFile(m_dirs.barcodeDir + "/devices/ab12.png", "png"));
    QVERIFY(writeTextFile(m_dirs.barcodeDir + "/devices/KXS_UnknowDevice.png", "png"));
    m_cfg = std::make_unique<KxDeviceConfigs>(m_dirs, "en");
    QVERIFY(m_cfg->load());
}

void TestDeviceConfigs::normalisation_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("normalised");
    QTest::addColumn<QString>("stripped");
    QTest::newRow("prefix and suffix") << "KXS-AB12-XY" << "AB12" << "AB12-XY";
    QTest::newRow("underscore") << "KXS_AB12" << "AB12" << "AB12";
    QTest::newRow("bare KXS") << "KXSAB12" << "AB12" << "KXSAB12";
    QTest::newRow("last dash only") << "AB-12-01" << "AB-12" << "AB-12-01";
    QTest::newRow("case sensitive") << "kxs-AB12" << "kxs" << "kxs-AB12";
    QTest::newRow("plain") << "AB12" << "AB12" << "AB12";
    QTest::newRow("empty") << "" << "" << "";
}

void TestDeviceConfigs::normalisation()
{
    QFETCH(QString, name);
    QTEST(KxModelName::normalise(name), "normalised");
    QTEST(KxModelName::stripPrefixes(name), "stripped");
}

void TestDeviceConfigs::devicesFileFields()
{
    QCOMPARE(m_cfg->deviceType(), 1);
    QVERIFY(m_cfg->deviceFilter());
    KxDeviceConfig e;
    QVERIFY(m_cfg->findDevice("KXS-AB12", e));
    QCOMPARE(e.id, QStringLiteral("KXS-AB12"));
    QCOMPARE(e.key, QStringLiteral("AB12"));
    QCOMPARE(e.category, QStringLiteral("A"));
    QCOMPARE(e.offlineXml, m_dirs.offlineDir + "/ab12.xml");
    QCOMPARE(e.set, QStringLiteral("SETUPN"));
    QVERIFY(e.hide);
    QVERIFY(m_cfg->findDevice("KXS-AB1", e));
    QCOMPARE(e.set, QStringLiteral("SETUPE")); // missing set
    QVERIFY(e.offlineXml.isEmpty());
    QVERIFY(!e.hide);
    // "lang": cd5 lists en, cd6 only fr; the entry without id and the unnamed category are gone.
    QVERIFY(m_cfg->findDevice("KXS-CD5", e));
    QVERIFY(!m_cfg->findDevice("KXS-CD6", e));
    QVERIFY(!m_cfg->findDevice("KXS-EF1", e));
    QCOMPARE(m_cfg->allDevices().size(), 4);
    QCOMPARE(m_cfg->symbologies().size(), 2);
    QCOMPARE(m_cfg->symbologies()[1].value, QStringLiteral("QRCENA"));
    QCOMPARE(m_cfg->symbologies()[1].type, 2);

    KxDeviceConfigs french(m_dirs, "fr");
    QVERIFY(french.findDevice("KXS-CD6", e));
    QVERIFY(!french.findDevice("KXS-CD5", e));
    QCOMPARE(e.set, QStringLiteral("SETUPE")); // empty set
}

void TestDeviceConfigs::findDevice_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("expectedId"); // empty: not found
    QTest::newRow("exact key") << "KXS-AB12" << "KXS-AB12";
    QTest::newRow("step 2 before first dash") << "KXS-AB12-XY" << "KXS-AB12";
    QTest::newRow("underscore prefix") << "KXS_AB12" << "KXS-AB12";
    // Category A is visited first and AB12 is not a prefix of AB1X; category B's AB1 is.
    QTest::newRow("step 3 prefix in later category") << "KXS-AB1X" << "KXS-AB1";
    QTest::newRow("step 3 case-insensitive") << "kxs-ab1x" << "";
    QTest::newRow("step 3 lower case key") << "ab1x" << "KXS-AB1";
    QTest::newRow("step 2 beats step 3") << "AB12-01" << "KXS-AB12";
    QTest::newRow("unknown") << "KXS-QQ1" << "";
    QTest::newRow("empty") << "" << "";
}

void TestDeviceConfigs::findDevice()
{
    QFETCH(QString, model);
    QFETCH(QString, expectedId);
    KxDeviceConfig e;
    const bool found = m_cfg->findDevice(model, e);
    QCOMPARE(found, !expectedId.isEmpty());
    if (found)
        QCOMPARE(e.id, expectedId);
}

void TestDeviceConfigs::compatibility_data()
{
    QTest::addColumn<QString>("candidate");
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("alternate");
    QTest::addColumn<bool>("compatible");
    QTest::newRow("empty") << "" << "KXS-AB12" << "" << false;
    QTest::newRow("same text") << "whatever" << "whatever" << "" << true;
    QTest::newRow("same normalised") << "AB12-01" << "KXS-AB12" << "" << true;
    QTest::newRow("via cmpkey") << "KXS-AB10" << "KXS-AB12" << "" << true;
    QTest::newRow("via cmpkey normalised") << "AB11" << "KXS-AB12-XY" << "" << true;
    QTest::newRow("not listed") << "KXS-AB13" << "KXS-AB12" << "" << false;
    QTest::newRow("cmpkey is case-sensitive") << "ab10" << "KXS-AB12" << "" << false;
    QTest::newRow("alternate has no cmpkey") << "KXS-AB10" << "KXS-AB12" << "KXS-AB1" << false;
    QTest::newRow("alternate with cmpkey") << "KXS-AB10" << "KXS-ZZ9" << "KXS-AB12" << true;
    QTest::newRow("unknown model") << "KXS-AB10" << "KXS-QQ" << "" << false;
}

void TestDeviceConfigs::compatibility()
{
    QFETCH(QString, candidate);
    QFETCH(QString, model);
    QFETCH(QString, alternate);
    QTEST(m_cfg->isCompatible(candidate, model, alternate), "compatible");
}

void TestDeviceConfigs::shownDevices_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("flag");
    QTest::addColumn<bool>("shown");
    QTest::newRow("type 1 hides flag 1") << 1 << "1" << "AB12" << "1" << false;
    QTest::newRow("type 1 shows flag 0") << 1 << "1" << "AB12" << "0" << true;
    QTest::newRow("type 2 hides flag 0") << 2 << "1" << "AB12" << "0" << false;
    QTest::newRow("type 2 shows flag 1") << 2 << "1" << "AB12" << "1" << true;
    QTest::newRow("filter hides unknown") << 0 << "1" << "QQ7" << "" << false;
    QTest::newRow("filter on adds prefix") << 0 << "" << "AB12-XY" << "" << true;
    QTest::newRow("filter off shows unknown") << 0 << "0" << "QQ7" << "" << true;
}

void TestDeviceConfigs::shownDevices()
{
    QFETCH(int, type);
    QFETCH(QString, filter);
    QTemporaryDir dir;
    const KxDescriptionDirs d = KxDescriptionDirs::fromModelsDir(dir.path());
    QByteArray xml = "<Devices Type=\"" + QByteArray::number(type) + "\"";
    if (!filter.isEmpty())
        xml += " Filter=\"" + filter.toUtf8() + "\"";
    xml += "><Category id=\"c\"><Device id=\"KXS-AB12\"/></Category></Devices>";
    QVERIFY(writeTextFile(d.barcodeDir + "/devices/Devices.xml", xml));
    QVERIFY(writeTextFile(d.barcodeDir + "/Symbologies.xml", "<setting/>"));
    KxDeviceConfigs cfg(d, "en");
    QFETCH(QString, model);
    QFETCH(QString, flag);
    QTEST(cfg.isDeviceShown(model, flag), "shown");
}

void TestDeviceConfigs::icons()
{
    QCOMPARE(m_cfg->deviceIcon("KXS-AB1"), m_dirs.modelsDir + "/ab1.png");     // models dir first
    QCOMPARE(m_cfg->deviceIcon("KXS-AB12"), m_dirs.barcodeDir + "/devices/ab12.png");
    QCOMPARE(m_cfg->deviceIcon("KXS-ZZ9"), m_cfg->unknownDeviceIcon());        // file missing
    QCOMPARE(m_cfg->deviceIcon("KXS-CD5"), m_cfg->unknownDeviceIcon());        // no icon given
    QCOMPARE(m_cfg->deviceIcon("NOPE"), m_cfg->unknownDeviceIcon());
    QCOMPARE(m_cfg->unknownDeviceIcon(), m_dirs.barcodeDir + "/devices/KXS_UnknowDevice.png");
}

void TestDeviceConfigs::refsEventsAndLengths()
{
    QCOMPARE(m_cfg->refText("MaxLength"), QStringLiteral("8192"));
    QVERIFY(m_cfg->refText("Empty").isEmpty());
    QCOMPARE(m_cfg->endCmds(), QStringList{"NETAPL"});
    QCOMPARE(m_cfg->syncCmds(), QStringList{"MPCADD"});
    QCOMPARE(m_cfg->syncExtendData(), QStringList{"LUAADD"});
    QCOMPARE(m_cfg->restrictExportCmds(), QStringList{"NETDEN"});
    QCOMPARE(m_cfg->resizeCmds(), QStringList{"DFMADD"});
    QCOMPARE(m_cfg->getLenCmds(false), (QStringList{"NGRSET", "TSUSET", "DEVNAM"}));
    QCOMPARE(m_cfg->getLenCmds(true), QStringList{"URFTWR"});
    QCOMPARE(m_cfg->scriptCmds("JS"), (QStringList{"SCRENA", "SCRADD"}));
    QVERIFY(m_cfg->syncCmds(true).isEmpty());

    for (const QString &code : {QStringLiteral("NETDEN"), QStringLiteral("INTERF")}) {
        const KxEventTriggers t = m_cfg->triggers(code);
        QCOMPARE(t.flag, 1);
        QCOMPARE(t.triggers.size(), 2); // the empty Trigger is skipped
        QCOMPARE(t.triggers[1].item, QStringLiteral("KBWPOR"));
        QCOMPARE(t.triggers[1].link, QStringLiteral("INTERF"));
    }
    QVERIFY(m_cfg->triggers("NETLPA").isEmpty());

    QCOMPARE(m_cfg->cmdLength("NGRSET1"), -1);
    m_cfg->setCmdLength("NGRSET1", 64);
    QCOMPARE(m_cfg->cmdLength("NGRSET1"), 64);
    m_cfg->clearCmdLengths();
    QCOMPARE(m_cfg->cmdLength("NGRSET1", 0), 0);

    // The skipped elements were reported, each with its line.
    bool sawRef = false;
    for (const KxDescriptionIssue &i : m_cfg->issues()) {
        if (i.element == QLatin1String("Ref"))
            sawRef = true;
        QVERIFY(i.line > 0);
    }
    QVERIFY(sawRef);
}

void TestDeviceConfigs::layoutUrfhpAndExportable()
{
    KxDeviceConfig e;
    QVERIFY(m_cfg->findDevice("KXS-AB12", e));
    const QString dir = m_dirs.barcodeDir + "/AB12";
    QVERIFY(writeTextFile(dir + "/UILayout.xml",
                          "<Layout><Tool id=\"Main\" text=\"#IDS_Main\"/><Tool/>"
                          "<Tool id=\"AdvancedSettings\"><Item property=\"A.xml\" id=\"n1\" "
                          "text=\"t\" icon=\"i\"/></Tool></Layout>"));
    QVERIFY(writeTextFile(dir + "/pages/A.xml", "<R Exportable=\"0\"><Pages/></R>"));
    QVERIFY(writeTextFile(dir + "/pages/B.xml", "<R><Pages/></R>"));
    QCOMPARE(m_cfg->modelDir(e), dir);
    QCOMPARE(m_cfg->pagePath(e, "A"), dir + "/pages/A.xml");
    QCOMPARE(m_cfg->pagePath(e, "A.xml"), dir + "/pages/A.xml");
    QVERIFY(!m_cfg->isPageExportable(dir + "/pages/A.xml"));
    QVERIFY(m_cfg->isPageExportable(dir + "/pages/B.xml"));

    const QList<KxUiTool> tools = m_cfg->uiLayoutTools(dir);
    QCOMPARE(tools.size(), 2);
    QCOMPARE(tools[0].text, QStringLiteral("#IDS_Main"));
    QCOMPARE(tools[1].entries.size(), 1);
    QCOMPARE(tools[1].entries[0].property, QStringLiteral("A.xml"));

    QVERIFY(writeTextFile(m_dirs.rfidDir + "/urfhp.xml",
                          "<Frequency><CN value=\"920.125, 920.375\"/><US value=\"902.75,x\"/></Frequency>"));
    const auto table = m_cfg->urfhpTable();
    QCOMPARE(table.value("CN"), (QList<double>{920.125, 920.375}));
    QCOMPARE(table.value("US"), QList<double>{902.75});
}

void TestDeviceConfigs::brokenDevicesFailsAndRetries()
{
    QTemporaryDir dir;
    const KxDescriptionDirs d = KxDescriptionDirs::fromModelsDir(dir.path());
    const QString devices = d.barcodeDir + "/devices/Devices.xml";
    QVERIFY(writeTextFile(devices, "<Devices>\n<Category id=\"c\">\n<Device id=\"KXS-A1\">\n</Devices>"));
    QVERIFY(writeTextFile(d.barcodeDir + "/Symbologies.xml", "<setting/>"));
    KxDeviceConfigs cfg(d, "en");
    QVERIFY(!cfg.load());
    KxDeviceConfig e;
    QVERIFY(!cfg.findDevice("KXS-A1", e));
    QCOMPARE(cfg.deviceIcon("KXS-A1"), cfg.unknownDeviceIcon());
    const KxDescriptionIssues issues = cfg.issues();
    QVERIFY(!issues.isEmpty());
    QCOMPARE(issues[0].file, devices);
    QCOMPARE(issues[0].line, 4);
    // The next use tries again and succeeds once the file is repaired.
    QVERIFY(writeTextFile(devices, "<Devices><Category id=\"c\"><Device id=\"KXS-A1\"/></Category></Devices>"));
    QVERIFY(cfg.findDevice("KXS-A1", e));
    QVERIFY(cfg.isLoaded());
    // Missing Events/Refs do not fail the load.
    QVERIFY(cfg.getLenCmds(false).isEmpty());
}

void TestDeviceConfigs::wrongRootIsReported()
{
    QTemporaryDir dir;
    const KxDescriptionDirs d = KxDescriptionDirs::fromModelsDir(dir.path());
    QVERIFY(writeTextFile(d.barcodeDir + "/devices/Devices.xml", "<Devices/>"));
    QVERIFY(writeTextFile(d.barcodeDir + "/Symbologies.xml", "<Symbologies/>"));
    KxDeviceConfigs cfg(d, "en");
    QVERIFY(!cfg.load());
    QCOMPARE(cfg.issues().size(), 1);
    QVERIFY(cfg.issues()[0].message.contains("setting"));
    QCOMPARE(cfg.issues()[0].element, QStringLiteral("Symbologies"));
}

QTEST_GUILESS_MAIN(TestDeviceConfigs)
#include "tst_deviceconfigs.moc"
