// Rules of the edit layer fed with plain data: frame types, device-log levels, setting-code
// commands, the configuration-set button, data-format clearing, send modes, navigation,
// layout conditions and the restart message of a save.
#include "BCodeToolsWidget.h"
#include "EditIcons.h"
#include "EditLogic.h"
#include "KxPageInfo.h"

#include <QDirIterator>
#include <QDomDocument>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

using namespace EditLogic;

class TestEditLogic : public QObject
{
    Q_OBJECT

    static KxTagInfo tag(const QString &code, const QList<QPair<QString, QByteArray>> &subs, int result = 6)
    {
        KxTagInfo t;
        t.code = code;
        t.result = result;
        for (const auto &s : subs)
            t.subTags.append({s.first, DataResult_Ack, s.second});
        return t;
    }

private slots:
    void deviceLogLevels_data()
    {
        QTest::addColumn<QByteArray>("range");
        QTest::addColumn<QList<int>>("levels");
        QTest::newRow("single") << QByteArray("3") << QList<int>{3};
        QTest::newRow("range and single") << QByteArray("0-3,5") << QList<int>{0, 1, 2, 3, 5};
        QTest::newRow("two ranges") << QByteArray("1-2,4-6") << QList<int>{1, 2, 4, 5, 6};
        QTest::newRow("blanks") << QByteArray(" 1 , 3-4 ") << QList<int>{1, 3, 4};
        QTest::newRow("overlap kept once") << QByteArray("1-3,2-4") << QList<int>{1, 2, 3, 4};
        QTest::newRow("bad entry skipped") << QByteArray("x,2,5-3,7") << QList<int>{2, 7};
        QTest::newRow("empty") << QByteArray("") << QList<int>{};
        QTest::newRow("huge range bounded") << QByteArray("0-100000") << QList<int>{};
    }
    void deviceLogLevels()
    {
        QFETCH(QByteArray, range);
        QFETCH(QList<int>, levels);
        QCOMPARE(EditLogic::deviceLogLevels(range), levels);
    }

    void deviceLogLevelsNeverExceedBound()
    {
        QByteArray many;
        for (int i = 0; i < 40; ++i)
            many += QByteArray::number(i * 100) + '-' + QByteArray::number(i * 100 + 50) + ',';
        const QList<int> levels = EditLogic::deviceLogLevels(many);
        QCOMPARE(levels.size(), 256);
        QCOMPARE(levels.first(), 0);
    }

    void settingCodesSplitScripts()
    {
        KxTagList values;
        values << tag("INTERF", {{"", "4"}});
        values << tag("LUAADD", {{"1", "print(1)"}, {"2", "print(2)"}, {"3", ""}});
        values << tag("LUAQRY", {{"1", "q()"}});
        values << tag("TRGDEB", {{"", "17"}});
        values << tag("ZZZZZZ", {{"", "1"}}, DataResult_Unknown);
        QCOMPARE(settingCodeCommands(values),
                 (QStringList{"INTERF4", "LUAADDprint(1)", "LUAADDprint(2)", "LUAADDq()", "TRGDEB17"}));
    }

    void configLibButton_data()
    {
        QTest::addColumn<int>("sets");
        QTest::addColumn<QByteArray>("ippopm");
        QTest::addColumn<bool>("visible");
        QTest::newRow("no sets") << 0 << QByteArray("0") << false;
        QTest::newRow("one set") << 1 << QByteArray("0") << false;
        QTest::newRow("two sets") << 2 << QByteArray("0") << true;
        QTest::newRow("two sets stream") << 2 << QByteArray("1") << false;
        QTest::newRow("many, no answer") << 5 << QByteArray() << true;
    }
    void configLibButton()
    {
        QFETCH(int, sets);
        QFETCH(QByteArray, ippopm);
        QFETCH(bool, visible);
        QCOMPARE(configLibButtonVisible(sets, ippopm), visible);
    }

    void dataFormats_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QByteArray>("current");
        QTest::addColumn<bool>("clears");
        QTest::newRow("empty DFMADD with formats") << "DFMADD" << QByteArray() << QByteArray("0,1A") << true;
        QTest::newRow("empty DFMADD without formats") << "DFMADD" << QByteArray() << QByteArray() << false;
        QTest::newRow("new DFMADD") << "DFMADD" << QByteArray("0,2B") << QByteArray("0,1A") << false;
        QTest::newRow("DFMCAL with formats") << "DFMCAL" << QByteArray() << QByteArray("x") << true;
        QTest::newRow("other code") << "DFMENA" << QByteArray() << QByteArray("x") << false;
    }
    void dataFormats()
    {
        QFETCH(QString, code);
        QFETCH(QByteArray, value);
        QFETCH(QByteArray, current);
        QFETCH(bool, clears);
        QCOMPARE(clearsDataFormats(code, value, current), clears);
    }

    void sendModesAndReboot_data()
    {
        QTest::addColumn<QString>("sendFlag");
        QTest::addColumn<QString>("reboot");
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("warn");
        QTest::newRow("plain") << "" << "" << int(SendMode::Normal) << false;
        QTest::newRow("no merge") << "0" << "" << int(SendMode::NoMerge) << false;
        QTest::newRow("resync") << "2" << "1" << int(SendMode::ResyncAll) << true;
        QTest::newRow("one is normal") << "1" << "0" << int(SendMode::Normal) << false;
    }
    void sendModesAndReboot()
    {
        QFETCH(QString, sendFlag);
        QFETCH(QString, reboot);
        QFETCH(int, mode);
        QFETCH(bool, warn);
        KxItemInfo item;
        item.id = "TRGDEB";
        if (!sendFlag.isEmpty())
            item.attributes.insert("SendFlag", sendFlag);
        if (!reboot.isEmpty())
            item.attributes.insert("Reboot", reboot);
        QCOMPARE(int(sendModeFor(&item)), mode);
        QCOMPARE(needsRebootWarning(&item), warn);
        QCOMPARE(int(sendModeFor(nullptr)), int(SendMode::Normal));
        QVERIFY(!needsRebootWarning(nullptr));
    }

    void navigationKeepsSupportedPagesInOrder()
    {
        KxUiTool other{"Tool", "Id_Btn_QuickSettings", "#T", "quick", "", {}};
        KxUiTool adv{"Tool", "AdvancedSettings", "#A", "advanced", "", {}};
        adv.entries << KxUiTool{"Item", "Id_Nav_A", "#IDS_A", "a", "A.xml", {}}
                    << KxUiTool{"Item", "Id_Nav_B", "#IDS_B", "b", "B.xml", {}}
                    << KxUiTool{"Item", "", "#IDS_C", "c", "C.xml", {}}  // no id: left out
                    << KxUiTool{"Item", "Id_Nav_D", "#IDS_D", "d", "D.xml", {}};
        const QList<NavEntry> all = navigationEntries({other, adv}, nullptr);
        QCOMPARE(all.size(), 3);
        const QList<NavEntry> some = navigationEntries({other, adv}, [](const QString &p) { return p != "B.xml"; });
        QCOMPARE(some.size(), 2);
        QCOMPARE(some[0].id, QString("Id_Nav_A"));
        QCOMPARE(some[1].property, QString("D.xml"));
        QCOMPARE(some[1].icon, QString("d"));
        QVERIFY(navigationEntries({other}, nullptr).isEmpty());
    }

    void pageNames_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("property");
        QTest::addColumn<bool>("match");
        QTest::newRow("bare name") << "Communication" << "Communication.xml" << true;
        QTest::newRow("with extension") << "Output.xml" << "Output.xml" << true;
        QTest::newRow("case") << "output" << "Output.xml" << true;
        QTest::newRow("other page") << "Output" << "Imaging.xml" << false;
        QTest::newRow("empty") << "" << ".xml" << false;
    }
    void pageNames()
    {
        QFETCH(QString, page);
        QFETCH(QString, property);
        QFETCH(bool, match);
        QCOMPARE(pageMatches(page, property), match);
    }

    void layoutConditions()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("LayoutCondition.xml");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("<LayoutCondition><Events><Event Id=\"INTERF\" Extend=\"Page Communication\"/>"
                "<Event Id=\"MPCADD\" Extend=\"ConfigLib\"/><Event Extend=\"no id\"/></Events>"
                "<Other><Event Id=\"STRAY\" Extend=\"x\"/></Other></LayoutCondition>");
        f.close();
        const auto map = readLayoutConditions(path);
        QCOMPARE(map.size(), 2);
        QCOMPARE(map.value("INTERF"), QString("Page Communication"));
        QCOMPARE(map.value("MPCADD"), QString("ConfigLib"));
        QVERIFY(readLayoutConditions(dir.filePath("missing.xml")).isEmpty());
        QFile broken(dir.filePath("broken.xml"));
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("<LayoutCondition><Events><Event Id=");
        broken.close();
        QVERIFY(readLayoutConditions(broken.fileName()).isEmpty());
    }

    void restartMessageIsFirstWarning()
    {
        const auto warn = [](const QString &code) {
            return code == "INTERF" ? QString("#IDS_InterfChange_Reboot")
                : code == "232BAD"  ? QString("#IDS_RS232Change_Reboot")
                                    : QString();
        };
        QCOMPARE(BCodeToolsWidget::restartMessage({"TRGDEB", "232BAD", "INTERF"}, warn),
                 QString("#IDS_RS232Change_Reboot"));
        QVERIFY(BCodeToolsWidget::restartMessage({"TRGDEB", "PREENA"}, warn).isEmpty());
        QVERIFY(BCodeToolsWidget::restartMessage({}, warn).isEmpty());
    }

    // Every icon name the shipped model layouts use, and every tool of the advanced page, has
    // a picture to draw: no button of the edit page is left blank.
    void everyIconNameHasAGlyph()
    {
        QStringList names;
        QDirIterator it(BREVAN_SOURCE_DIR "/models", {"UILayout.xml"}, QDir::Files,
                        QDirIterator::Subdirectories);
        int layouts = 0;
        while (it.hasNext()) {
            QFile f(it.next());
            QVERIFY(f.open(QIODevice::ReadOnly));
            QDomDocument doc;
            QVERIFY2(doc.setContent(&f), qPrintable(f.fileName()));
            ++layouts;
            for (const char *tag : {"Tool", "Item"}) {
                const QDomNodeList nodes = doc.elementsByTagName(tag);
                for (int i = 0; i < nodes.size(); ++i) {
                    const QString icon = nodes.at(i).toElement().attribute("icon");
                    if (!icon.isEmpty() && !names.contains(icon))
                        names << icon;
                }
            }
        }
        QVERIFY(layouts > 0);
        QVERIFY(names.contains("nav_read"));
        for (const QString &n : names)
            QVERIFY2(!EditIcons::glyphFor(n).isNull(), qPrintable(n));
        BCodeToolsWidget tools;
        const QList<QToolButton *> buttons = tools.findChildren<QToolButton *>();
        QCOMPARE(buttons.size(), 8);
        for (QToolButton *b : buttons)
            QVERIFY2(!EditIcons::glyphFor(b->objectName()).isNull(), qPrintable(b->objectName()));
        QVERIFY(EditIcons::glyphFor("no_such_icon").isNull());
        QVERIFY(EditIcons::icon("no_such_icon", 16, Qt::black, Qt::white).isNull());
    }

};

QTEST_MAIN(TestEditLogic)
#include "tst_editlogic.moc"
