// The configuration file without a reader: entries, document, checks, code lists, export list.
#include "KxConfigFile.h"
#include "KxConfigFileIO.h"
#include "KxDeviceConfigs.h"
#include "KxExportList.h"
#include "KxPageLoader.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {
using Values = QMap<QString, QByteArray>;

KxConfigFile::ValueLookup lookupIn(const Values &values)
{
    return [values](const QString &code, QByteArray &v) {
        if (!values.contains(code))
            return false;
        v = values.value(code);
        return true;
    };
}

QStringList codesOf(const KxConfigEntries &entries)
{
    QStringList out;
    for (const KxConfigEntry &e : entries)
        out << e.code;
    return out;
}

QString writeTemp(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        return QString();
    return path;
}
}  // namespace

class TestConfigFile : public QObject
{
    Q_OBJECT

private slots:
    void exportOrder_data()
    {
        QTest::addColumn<QStringList>("list");
        QTest::addColumn<Values>("values");
        QTest::addColumn<bool>("sleepSaved");
        QTest::addColumn<QStringList>("expected");

        const Values all{{"EXPMOD", "1"}, {"DFMADD", "fmt"}, {"DFMQCU", "2"}, {"LUAQRY", "s"},
                         {"MPCADD", "a|b"}, {"CADMRI", "0"}, {"ATLSLP", "30"}, {"INTERF", "3"}};
        QTest::newRow("data formats after the plain commands")
            << QStringList{"DFMADD", "EXPMOD", "DFMQCU", "INTERF"} << all << false
            << QStringList{"EXPMOD", "INTERF", "DFMADD", "DFMQCU"};
        QTest::newRow("script exported as LUAADD in place")
            << QStringList{"EXPMOD", "LUAQRY", "INTERF"} << all << false
            << QStringList{"EXPMOD", "LUAADD", "INTERF"};
        QTest::newRow("current sleep value never exported")
            << QStringList{"ATLSLP", "EXPMOD"} << all << false << QStringList{"EXPMOD"};
        QTest::newRow("saved sleep value last, after the data formats")
            << QStringList{"ATLSLP", "DFMADD", "EXPMOD"} << all << true
            << QStringList{"EXPMOD", "DFMADD", "ATLSLP"};
        QTest::newRow("codes the reader lacks are left out")
            << QStringList{"ZZZZZZ", "EXPMOD", "CADMRI"} << all << false
            << QStringList{"EXPMOD", "CADMRI"};
        QTest::newRow("configuration sets kept")
            << QStringList{"MPCADD", "EXPMOD"} << all << false << QStringList{"MPCADD", "EXPMOD"};
        Values noSets = all;
        noSets["MPCADD"] = QByteArray();
        QTest::newRow("empty configuration set list exports no sets")
            << QStringList{"MPCADD", "EXPMOD"} << noSets << false << QStringList{"EXPMOD"};
        QTest::newRow("a code listed twice is written once")
            << QStringList{"EXPMOD", "INTERF", "EXPMOD"} << all << false
            << QStringList{"EXPMOD", "INTERF"};
    }

    void exportOrder()
    {
        QFETCH(QStringList, list);
        QFETCH(Values, values);
        QFETCH(bool, sleepSaved);
        QFETCH(QStringList, expected);
        const QByteArray saved = "45";
        const KxConfigEntries entries =
            KxConfigFile::exportEntries(list, lookupIn(values), sleepSaved ? &saved : nullptr);
        QCOMPARE(codesOf(entries), expected);
        for (const KxConfigEntry &e : entries) {
            if (e.code == "ATLSLP")
                QCOMPARE(e.value, QString("45"));  // the saved value, not the current 30
            else if (e.code == "LUAADD")
                QCOMPARE(e.value, QString("s"));
            else
                QCOMPARE(e.value, QString::fromUtf8(values.value(e.code)));
        }
    }

    void documentLayout()
    {
        const QByteArray xml = KxConfigFile::toXml("KXS-FM800", {{"EXPMOD", "1"}, {"PRESET", "a<\"&>b"}});
        const QList<QByteArray> lines = xml.trimmed().split('\n');
        QCOMPARE(lines.size(), 5);
        QCOMPARE(lines[0], QByteArray("<?xml version=\"1.0\" encoding=\"utf-8\"?>"));
        QCOMPARE(lines[1], QByteArray("<Brevan DeviceType=\"KXS-FM800\">"));
        QVERIFY(lines[2].startsWith("  <Command CommandName=\"EXPMOD\" Value=\"1\"/>"));
        QVERIFY(lines[3].startsWith("  <Command CommandName=\"PRESET\""));
        QCOMPARE(lines[4], QByteArray("</Brevan>"));
        // Markup in values survives the trip.
        const KxConfigFile::ParsedFile back = KxConfigFile::parse(xml);
        QCOMPARE(back.check, int(KxConfigFile::Check_Ok));
        QCOMPARE(back.deviceType, QString("KXS-FM800"));
        QCOMPARE(back.entries, (KxConfigEntries{{"EXPMOD", "1"}, {"PRESET", "a<\"&>b"}}));
    }

    void nonAsciiValuesAreUtf8()
    {
        const QString text = QString::fromUtf8("读码器 Zone ü");
        const QByteArray xml = KxConfigFile::toXml("KXS-FM800", {{"DEVDES", text}});
        QVERIFY(xml.contains(text.toUtf8()));
        QCOMPARE(KxConfigFile::parse(xml).entries.value(0).value, text);
    }

    void checkCodes_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("readerModel");
        QTest::addColumn<int>("expected");
        const QByteArray ok = "<?xml version=\"1.0\"?><Brevan DeviceType=\"KXS-FM800\">"
                              "<Command CommandName=\"EXPMOD\" Value=\"1\"/></Brevan>";
        QTest::newRow("good file") << ok << "KXS-FM800" << 0;
        QTest::newRow("malformed") << QByteArray("<Brevan DeviceType=\"KXS-FM800\"><Command>")
                                   << "KXS-FM800" << 2;
        QTest::newRow("not xml at all") << QByteArray("\x01\x02garbage") << "KXS-FM800" << 2;
        QTest::newRow("empty file") << QByteArray() << "KXS-FM800" << 2;
        QTest::newRow("wrong root") << QByteArray("<Config DeviceType=\"KXS-FM800\"/>") << "KXS-FM800" << 3;
        QTest::newRow("root case matters") << QByteArray("<brevan DeviceType=\"KXS-FM800\"/>")
                                           << "KXS-FM800" << 3;
        QTest::newRow("older root accepted")
            << QByteArray("<Brewan DeviceType=\"KXS-FM800\"><Command CommandName=\"EXPMOD\" Value=\"1\"/></Brewan>")
            << "KXS-FM800" << 0;
        QTest::newRow("other model") << ok << "KXS-HS120" << 4;
        QTest::newRow("upper prefix removed, case ignored")
            << QByteArray("<Brevan DeviceType=\"KXS-XY100\"/>") << "xy100" << 0;
        QTest::newRow("lower prefix is not a prefix")
            << QByteArray("<Brevan DeviceType=\"KXS-XY100\"/>") << "kxs-XY100" << 4;
        QTest::newRow("underscore prefix") << QByteArray("<Brevan DeviceType=\"KXS_FM800\"/>")
                                           << "KXS-FM800" << 0;
        QTest::newRow("variant is another model") << QByteArray("<Brevan DeviceType=\"KXS-FM800-E\"/>")
                                                  << "KXS-FM800" << 4;
    }

    void checkCodes()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, readerModel);
        QFETCH(int, expected);
        QTemporaryDir dir;
        const QString path = writeTemp(dir, "file.xml", content);
        QVERIFY(!path.isEmpty());
        QCOMPARE(KxConfigFile::checkFile(path, readerModel), expected);
    }

    void unreadableFiles()
    {
        QTemporaryDir dir;
        QCOMPARE(KxConfigFile::checkFile(dir.filePath("missing.xml"), "KXS-FM800"),
                 int(KxConfigFile::Check_Unreadable));
        QVERIFY(QDir(dir.path()).mkdir("folder.xml"));
        QCOMPARE(KxConfigFile::checkFile(dir.filePath("folder.xml"), "KXS-FM800"),
                 int(KxConfigFile::Check_Unreadable));
    }

    void parseKeepsOrderAndNamesSpecialContents()
    {
        const KxConfigFile::ParsedFile p = KxConfigFile::parse(
            "<Brevan DeviceType=\"X\"><Command CommandName=\"CADMRI\" Value=\"1\"/>"
            "<Other CommandName=\"EXPMOD\" Value=\"9\"/><Command Value=\"lost\"/>"
            "<Command CommandName=\"MPCADD\" Value=\"a|b\"/><Command CommandName=\"EXPMOD\"/></Brevan>");
        QCOMPARE(p.check, 0);
        QCOMPARE(p.entries, (KxConfigEntries{{"CADMRI", "1"}, {"MPCADD", "a|b"}, {"EXPMOD", ""}}));
        QCOMPARE(p.specialLabels, (QStringList{"#IDS_CADMRI", "#IDS_ConfigLib"}));
    }

    void writeIsAllOrNothing()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("cfg.xml");
        QVERIFY(KxConfigFile::writeFile(path, "first"));
        QString error;
        // A folder cannot be replaced by a file: the write fails and names why.
        QVERIFY(QDir(dir.path()).mkdir("sub.xml"));
        QVERIFY(!KxConfigFile::writeFile(dir.filePath("sub.xml"), "second", &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!KxConfigFile::writeFile(dir.filePath("nofolder/cfg.xml"), "x", &error));
        QVERIFY(!QFile::exists(dir.filePath("nofolder/cfg.xml")));
        QVERIFY(KxConfigFile::writeFile(path, "second"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("second"));
        // No temporary file left beside it.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"cfg.xml"});
    }

    void joinCodes_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("expected");
        QTest::newRow("none") << 0 << "";
        QTest::newRow("one") << 1 << "C1";
        QTest::newRow("three on one line") << 3 << "C1,C2,C3";
        QTest::newRow("break before the 4th") << 4 << "C1,C2,C3,\nC4";
        QTest::newRow("8 on two lines") << 8 << "C1,C2,C3,\nC4,C5,C6,C7,C8";
        QTest::newRow("break before the 9th and 14th")
            << 14 << "C1,C2,C3,\nC4,C5,C6,C7,C8,\nC9,C10,C11,C12,C13,\nC14";
    }

    void joinCodes()
    {
        QFETCH(int, count);
        QFETCH(QString, expected);
        QStringList codes;
        for (int i = 1; i <= count; ++i)
            codes << QStringLiteral("C%1").arg(i);
        QCOMPARE(KxConfigFile::joinCodes(codes), expected);
    }

    // Which codes a finished import reports as needing a restart: those with a warning key,
    // each once, in the order the file changed them.
    void restartCodesOfImport_data()
    {
        QTest::addColumn<QStringList>("changed");
        QTest::addColumn<QStringList>("restart");
        QTest::newRow("none") << QStringList{} << QStringList{};
        QTest::newRow("no link code") << QStringList{"TRGDEB", "PREENA"} << QStringList{};
        QTest::newRow("one among others")
            << QStringList{"TRGDEB", "INTERF", "PREENA"} << QStringList{"INTERF"};
        QTest::newRow("order kept, twice once")
            << QStringList{"232BAD", "TRGDEB", "INTERF", "232BAD"}
            << QStringList{"232BAD", "INTERF"};
    }
    void restartCodesOfImport()
    {
        QFETCH(QStringList, changed);
        QFETCH(QStringList, restart);
        const auto warning = [](const QString &code) {
            return code == "INTERF" || code.startsWith("232") ? QString("#IDS_Key") : QString();
        };
        QCOMPARE(KxConfigFileIO::restartCodes(changed, warning), restart);
        QVERIFY(KxConfigFileIO::restartCodes(changed, {}).isEmpty());
    }

    void exportListFromPages()
    {
        const QByteArray page =
            "<PropertyConfig Exportable=\"1\"><Pages>"
            "<Page Id=\"P1\" DisplayName=\"#IDS_P1\"><Group Id=\"G\">"
            "<Item Id=\"EXPMOD\" DisplayName=\"#IDS_Item_EXPMOD\" ControlType=\"ComboBox\" StringList=\"0|1\"/>"
            "<Item Id=\"FOCAUT\" ControlType=\"Button\" Flags=\"unstore\"/>"
            "<Item Id=\"Pnl_Preview\" ControlType=\"Panel\"/>"
            "<Item Id=\"PANELX\" ControlType=\"Panel\"/>"
            "<Item Id=\"NETLPA\" ControlType=\"Ipv4\"/>"
            "<Item Id=\"DFMADD\" DisplayName=\"#IDS_Item_DFMADD\" ControlType=\"DATAFORMAT\"/>"
            "</Group></Page>"
            "<Page Id=\"P2\" Exportable=\"0\"><Group Id=\"G\">"
            "<Item Id=\"SKIPME\" ControlType=\"SpinBox\" Minimum=\"0\" Maximum=\"2\"/></Group></Page>"
            "<Page Id=\"P3\"><Group Id=\"G\">"
            "<Item Id=\"EXPMOD\" DisplayName=\"#IDS_Other\" ControlType=\"ComboBox\" StringList=\"0|1\"/>"
            "<Item Id=\"EXPFET\" ControlType=\"SpinBox\" Minimum=\"1\" Maximum=\"9\"/></Group></Page>"
            "</Pages></PropertyConfig>";
        const auto pages = KxPageLoader::loadPagesFromBytes(page, "test.xml");
        QVERIFY(pages);
        KxExportList list;
        list.addPages(*pages, {"NETLPA"});
        QCOMPARE(list.codes, (QStringList{"EXPMOD", "DFMADD", "EXPFET"}));
        QCOMPARE(list.displayNames.value("EXPMOD"), QString("#IDS_Item_EXPMOD"));
    }

    void shippedModelExportList()
    {
        KxDeviceConfigs configs(KxDescriptionDirs::fromModelsDir(BREVAN_SOURCE_DIR "/models"), "en");
        QVERIFY(configs.load());
        const KxExportList list = KxExportList::forModel(&configs, "KXS-FM800");
        QVERIFY(list.codes.size() > 50);
        for (const QString &restricted : configs.restrictExportCmds())
            QVERIFY2(!list.codes.contains(restricted), qPrintable(restricted));
        QVERIFY(list.codes.contains("DFMADD"));
        QStringList unique = list.codes;
        QCOMPARE(unique.removeDuplicates(), 0);
        QVERIFY(KxExportList::forModel(&configs, "KXS-NOSUCH").codes.isEmpty());
    }
};

QTEST_MAIN(TestConfigFile)
#include "tst_configfile.moc"
