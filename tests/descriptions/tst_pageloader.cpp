#include "KxI18nUtil.h"
#include "KxOptionList.h"
#include "KxPageLoader.h"
#include "descriptions_testutil.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

class TestPageLoader : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<KxPagesInfo> loadText(const QByteArray &xml, KxDescriptionIssues *issues = nullptr,
                                          const QStringList &ids = QStringList())
    {
        return KxPageLoader::loadPagesFromBytes(xml, QStringLiteral("test.xml"), ids, issues);
    }
    static QByteArray groupWith(const QByteArray &groupAttrs, const QByteArray &body)
    {
        return "<PropertyConfig><Pages><Page Id=\"P\"><Group Id=\"G\" " + groupAttrs + ">" + body +
               "</Group></Page></Pages></PropertyConfig>";
    }

private slots:
    void groupLiteralValues_data();
    void groupLiteralValues();
    void itemFieldsAndUnknownAttributes();
    void itemWithoutControlTypeIsLeftOutAndReported();
    void defaultReturnTypesWithoutRegistration_data();
    void defaultReturnTypesWithoutRegistration();
    void triggerAttribute_data();
    void triggerAttribute();
    void triggerElementsGiveOneGroupEach();
    void stringListChildIsTranslated();
    void parameterListsAndPlainChildren();
    void nestedPagesAndDeepGroups();
    void pageFilterAndButtons();
    void pageListSplitsPages();
    void malformedFileReportsLineAndReturnsNull();
    void missingFileReportsError();
    void nonNumericNumbersAreWarnedAndZero();
    void fuzzedPageFilesNeverCrash();
};

void TestPageLoader::groupLiteralValues_data()
{
    QTest::addColumn<QByteArray>("attrs");
    QTest::addColumn<bool>("visible");
    QTest::addColumn<bool>("expanded");
    QTest::addColumn<bool>("expandGiven");
    QTest::addColumn<bool>("sub");
    QTest::newRow("defaults") << QByteArray() << true << true << false << false;
    QTest::newRow("Visible=0 hides") << QByteArray("Visible=\"0\"") << false << true << false << false;
    QTest::newRow("Visible=false keeps") << QByteArray("Visible=\"false\"") << true << true << false << false;
    QTest::newRow("Expand=1") << QByteArray("Expand=\"1\"") << true << true << true << false;
    QTest::newRow("Expand=true collapses") << QByteArray("Expand=\"true\"") << true << false << true << false;
    QTest::newRow("Expand=0") << QByteArray("Expand=\"0\"") << true << false << true << false;
    QTest::newRow("Sub=true") << QByteArray("SubPropertyWidget=\"true\"") << true << true << false << true;
    QTest::newRow("Sub=1 is not true") << QByteArray("SubPropertyWidget=\"1\"") << true << true << false << false;
}

void TestPageLoader::groupLiteralValues()
{
    QFETCH(QByteArray, attrs);
    auto pages = loadText(groupWith(attrs, "<Item Id=\"A\" ControlType=\"Label\" Visible=\"" +
                                               QByteArray(attrs.contains("Visible=\"0\"") ? "0" : "false") +
                                               "\"/>"));
    QVERIFY(pages);
    QCOMPARE(pages->pages.size(), 1);
    QCOMPARE(pages->pages[0]->groups.size(), 1);
    const KxGroupInfo *g = pages->pages[0]->groups[0];
    QTEST(g->visible, "visible");
    QTEST(g->expanded, "expanded");
    QTEST(g->expandGiven, "expandGiven");
    QTEST(g->subPropertyWidget, "sub");
    QCOMPARE(g->items.size(), 1);
    QFETCH(bool, visible);
    QCOMPARE(g->items[0]->visible, visible); // same literal rule on items
}

void TestPageLoader::itemFieldsAndUnknownAttributes()
{
    auto pages = loadText(groupWith(
        "Layout=\"FLayout\" ShowLevel=\"3\" Color=\"red\" UserData=\"u\"",
        "<Item Id=\"EXPTIM\" DisplayName=\"#IDS_Exp\" ControlType=\"SpinBox\" Default=\"500\" "
        "Minimum=\"10\" Maximum=\"9000\" Reboot=\"2\" Flags=\"Unstore\" ToolTip=\"tip\" "
        "Limit=\"10-20\" StringListHide=\"3\" ShowLevel=\"2\" UserData=\"x\"/>"));
    QVERIFY(pages);
    const KxGroupInfo *g = pages->pages[0]->groups[0];
    QCOMPARE(g->layout, QStringLiteral("FLayout"));
    QCOMPARE(g->showLevel, 3);
    QCOMPARE(g->userData, QStringLiteral("u"));
    QCOMPARE(g->attributes.value("Color").toString(), QStringLiteral("red"));
    QVERIFY(!g->attributes.contains("Layout"));
    const KxItemInfo *i = g->items[0];
    QCOMPARE(i->id, QStringLiteral("EXPTIM"));
    QCOMPARE(i->displayName, QStringLiteral("#IDS_Exp"));
    QCOMPARE(i->returnType, QStringLiteral("int"));
    QCOMPARE(i->defaultValue, QVariant(QStringLiteral("500")));
    QCOMPARE(i->value, i->defaultValue);
    QCOMPARE(i->reboot, 2);
    QCOMPARE(i->attributes.value("Reboot").toString(), QStringLiteral("2"));
    QCOMPARE(i->attributes.value("Minimum").toString(), QStringLiteral("10"));
    QCOMPARE(i->attribute("maximum").toString(), QStringLiteral("9000"));
    QCOMPARE(i->flags, QStringLiteral("Unstore"));
    QCOMPARE(i->toolTip, QStringLiteral("tip"));
    QCOMPARE(i->limit, QStringLiteral("10-20"));
    QVERIFY(!i->attributes.contains("Limit"));
    QCOMPARE(i->stringListHide, QStringLiteral("3"));
    QCOMPARE(i->showLevel, 2);
    QCOMPARE(i->userData, QStringLiteral("x"));

    // Absent Default leaves both value fields invalid.
    auto bare = loadText(groupWith("", "<Item Id=\"A\" ControlType=\"LineEdit\"/>"));
    QVERIFY(!bare->pages[0]->groups[0]->items[0]->defaultValue.isValid());
    QVERIFY(!bare->pages[0]->groups[0]->items[0]->value.isValid());
    QCOMPARE(bare->pages[0]->groups[0]->items[0]->reboot, 0);
}

void TestPageLoader::itemWithoutControlTypeIsLeftOutAndReported()
{
    KxDescriptionIssues issues;
    auto pages = loadText(groupWith("", "<Item Id=\"A\"/>\n<Item Id=\"B\" ControlType=\"\"/>\n"
                                        "<Item Id=\"C\" ControlType=\"Label\"/>"),
                          &issues);
    QVERIFY(pages);
    const auto &items = pages->pages[0]->groups[0]->items;
    QCOMPARE(items.size(), 1);
    QCOMPARE(items[0]->id, QStringLiteral("C"));
    QCOMPARE(issues.size(), 2);
    QCOMPARE(issues[0].element, QStringLiteral("Item"));
    QCOMPARE(issues[0].severity, KxDescriptionIssue::Warning);
    QVERIFY(issues[1].line > 1); // the second item sits on a later line
    QVERIFY(!kxHasErrors(issues));
}

void TestPageLoader::defaultReturnTypesWithoutRegistration_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("given");
    QTest::addColumn<QString>("expected");
    QTest::newRow("Point") << "Point" << "" << "point_int";
    QTest::newRow("DoubleSlider") << "DoubleSlider" << "" << "range_int";
    QTest::newRow("ToggleButton") << "ToggleButton" << "" << "int";
    QTest::newRow("ComboBox") << "ComboBox" << "" << "";
    QTest::newRow("1D2DEdit") << "1D2DEdit" << "" << "1D2DJSON";
    QTest::newRow("TOI") << "TOI" << "" << "TOI";
    QTest::newRow("given wins") << "Point" << "string" << "string";
    QTest::newRow("unknown type") << "NoSuchControl" << "" << "";
}

void TestPageLoader::defaultReturnTypesWithoutRegistration()
{
    QFETCH(QString, type);
    QFETCH(QString, given);
    QFETCH(QString, expected);
    QByteArray item = "<Item Id=\"A\" ControlType=\"" + type.toUtf8() + "\"";
    if (!given.isEmpty())
        item += " ReturnType=\"" + given.toUtf8() + "\"";
    item += "/>";
    auto pages = loadText(groupWith("", item));
    QVERIFY(pages);
    QCOMPARE(pages->pages[0]->groups[0]->items[0]->returnType, expected);
}

void TestPageLoader::triggerAttribute_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected"); // "link|flag|value" per condition
    QTest::addColumn<int>("dropped");
    QTest::newRow("two conditions") << "A=1;B!=2|3" << QStringList{"A|0|1", "B|1|2|3"} << 0;
    QTest::newRow("empty value after !=") << "Mode!=" << QStringList{"Mode|1|"} << 0;
    QTest::newRow("empty link dropped") << "=5" << QStringList{} << 1;
    QTest::newRow("no operator dropped") << "A;B=1" << QStringList{"B|0|1"} << 1;
    QTest::newRow("empty pieces skipped") << ";;A = 1 ;" << QStringList{"A|0|1"} << 0;
    QTest::newRow("!= wins over =") << "A!=x=y" << QStringList{"A|1|x=y"} << 0;
}

void TestPageLoader::triggerAttribute()
{
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    QFETCH(int, dropped);
    KxDescriptionIssues issues;
    auto pages = loadText(groupWith("Triggers=\"" + text.toUtf8() + "\"",
                                    "<Item Id=\"X\" ControlType=\"Label\"/>"),
                          &issues);
    QVERIFY(pages);
    const KxTriggerSet &set = pages->pages[0]->groups[0]->triggers;
    QStringList got;
    if (!expected.isEmpty()) {
        QCOMPARE(set.groups.size(), 1);
        QCOMPARE(set.groups[0].mode, false);
        for (const KxTrigger &t : set.groups[0].triggers)
            got << QStringLiteral("%1|%2|%3").arg(t.link).arg(t.flag).arg(t.value);
    } else {
        QCOMPARE(set.groups.size(), 0);
    }
    QCOMPARE(got, expected);
    QCOMPARE(issues.size(), dropped);
}

void TestPageLoader::triggerElementsGiveOneGroupEach()
{
    auto pages = loadText(groupWith(
        "", "<Item Id=\"X\" ControlType=\"Label\" Triggers=\"A=1\">"
            "<Triggers><Trigger Link=\"A\">2</Trigger><Sub><Trigger Link=\"B\" Flag=\"1\">0</Trigger>"
            "</Sub></Triggers></Item>"));
    QVERIFY(pages);
    const KxTriggerSet &set = pages->pages[0]->groups[0]->items[0]->triggers;
    QCOMPARE(set.groups.size(), 3); // attribute group + one per Trigger element
    QCOMPARE(set.links, (QStringList{"A", "B"}));
    QCOMPARE(set.linkSet.size(), 2);
    // Either group may hold: A=1 (attribute), A=2 (element), or B not 0.
    QVERIFY(set.holds({{"A", "2"}, {"B", "0"}}));
    QVERIFY(set.holds({{"A", "1"}, {"B", "0"}}));
    QVERIFY(set.holds({{"A", "7"}, {"B", "5"}}));
    QVERIFY(!set.holds({{"A", "7"}, {"B", "0"}}));
    QVERIFY(!pages->pages[0]->groups[0]->items[0]->children.contains("Triggers"));
}

void TestPageLoader::stringListChildIsTranslated()
{
    KxI18nUtil::instance()->overlayMain({{QStringLiteral("IDS_TestOpt_On"), QStringLiteral("Switched on")}});
    KxDescriptionIssues issues;
    auto pages = loadText(groupWith(
        "", "<Item Id=\"X\" ControlType=\"ComboBox\" StringList=\"9:Nine\"><StringList>"
            "<String UserData=\"1\">#IDS_TestOpt_On</String><String>skipped</String>"
            "<Nest><String UserData=\"0\">Plain</String></Nest></StringList></Item>"),
        &issues);
    QVERIFY(pages);
    const KxItemInfo *item = pages->pages[0]->groups[0]->items[0];
    const QList<KxFeatureInfo> opts = kxFromVariantList(item->children.value("StringList"));
    QCOMPARE(opts.size(), 2);
    QCOMPARE(opts[0].key, QStringLiteral("1"));
    QCOMPARE(opts[0].text.toString(), QStringLiteral("Switched on"));
    QVERIFY(opts[0].name.isEmpty());
    QCOMPARE(opts[1].key, QStringLiteral("0"));
    QCOMPARE(opts[1].text.toString(), QStringLiteral("Plain"));
    // The child list takes precedence over the inline attribute.
    QCOMPARE(item->options().size(), 2);
    QCOMPARE(issues.size(), 1); // the String without UserData
}

void TestPageLoader::parameterListsAndPlainChildren()
{
    auto pages = loadText(groupWith(
        "", "<Note>group text</Note><Note>later</Note>"
            "<Item Id=\"X\" ControlType=\"Panel\"><Params><Param Id=\"p1\">#IDS_NotTranslated</Param>"
            "<Param>noid</Param><Deep><Param Id=\"p2\">two</Param></Deep></Params>"
            "<Help>just text</Help></Item>"));
    QVERIFY(pages);
    const KxGroupInfo *g = pages->pages[0]->groups[0];
    QCOMPARE(g->children.value("Note").toString(), QStringLiteral("later"));
    const KxItemInfo *i = g->items[0];
    const QList<KxFeatureInfo> params = kxFromVariantList(i->children.value("Params"));
    QCOMPARE(params.size(), 2);
    QCOMPARE(params[0].key, QStringLiteral("p1"));
    QCOMPARE(params[0].text.toString(), QStringLiteral("#IDS_NotTranslated"));
    QCOMPARE(params[1].key, QStringLiteral("p2"));
    QCOMPARE(i->children.value("Help").toString(), QStringLiteral("just text"));
}

void TestPageLoader::nestedPagesAndDeepGroups()
{
    auto pages = loadText(
        "<Root Method=\"M1\"><Pages><Page Id=\"Outer\" Extra=\"e\"><Wrap><Group Id=\"G1\">"
        "<Item Id=\"A\" ControlType=\"Label\"/></Group></Wrap>"
        "<Page Id=\"Inner\"><Group Id=\"G2\"><Item Id=\"B\" ControlType=\"Label\"/></Group></Page>"
        "</Page><Pages><Page Id=\"Third\"/></Pages></Pages></Root>");
    QVERIFY(pages);
    QCOMPARE(pages->method, QStringLiteral("M1"));
    QStringList ids;
    for (const KxPageInfo *p : pages->pages)
        ids << p->id;
    // Nested pages are pages too; a Pages inside Pages does not read its pages twice.
    QCOMPARE(ids, (QStringList{"Outer", "Inner", "Third"}));
    QCOMPARE(pages->pages[0]->attributes.value("Extra").toString(), QStringLiteral("e"));
    QCOMPARE(pages->pages[0]->groups.size(), 2); // groups at any depth, the inner page's too
    QCOMPARE(pages->pages[1]->groups.size(), 1);
    QCOMPARE(pages->findItem("B")->id, QStringLiteral("B"));
}

void TestPageLoader::pageFilterAndButtons()
{
    const QByteArray xml = "<R><Buttons>Ok|Cancel</Buttons><Pages><Page Id=\"a\"/><Page Id=\"B\"/>"
                           "<Page Id=\"b\"/></Pages><X><Buttons>|Apply|</Buttons></X><Buttons></Buttons></R>";
    auto pages = loadText(xml, nullptr, {"b", "a"});
    QVERIFY(pages);
    QCOMPARE(pages->pages.size(), 2);
    QCOMPARE(pages->pages[0]->id, QStringLiteral("a"));
    QCOMPARE(pages->pages[1]->id, QStringLiteral("b"));
    QCOMPARE(pages->buttons, (QStringList{"", "Apply", ""}));
}

void TestPageLoader::pageListSplitsPages()
{
    const QString path = m_dir.filePath("list.xml");
    QVERIFY(writeTextFile(path, "<R Method=\"m\"><Buttons>Ok</Buttons><Pages><Page Id=\"one\">"
                                "<Group><Item Id=\"A\" ControlType=\"Label\"/></Group></Page>"
                                "<Page Id=\"two\"/></Pages></R>"));
    const std::vector<KxPageListEntry> list = KxPageLoader::loadPageList(path);
    QCOMPARE(int(list.size()), 2);
    QCOMPARE(list[0].pageId, QStringLiteral("one"));
    QCOMPARE(list[0].pages->pages.size(), 1);
    QCOMPARE(list[0].pages->pages[0]->allItems().size(), 1);
    QVERIFY(list[0].pages->method.isEmpty());
    QVERIFY(list[0].pages->buttons.isEmpty());
    QCOMPARE(list[1].pages->pages[0]->id, QStringLiteral("two"));
    QVERIFY(KxPageLoader::loadPageList(m_dir.filePath("absent.xml")).empty());
}

void TestPageLoader::malformedFileReportsLineAndReturnsNull()
{
    const QString path = m_dir.filePath("broken.xml");
    QVERIFY(writeTextFile(path, "<R>\n<Pages>\n<Page Id=\"a\">\n<Group>\n</Page>\n</R>\n"));
    KxDescriptionIssues issues;
    QVERIFY(!KxPageLoader::loadPages(path, {}, &issues));
    QCOMPARE(issues.size(), 1);
    QCOMPARE(issues[0].severity, KxDescriptionIssue::Error);
    QCOMPARE(issues[0].file, path);
    QCOMPARE(issues[0].line, 5); // the mismatched closing tag
    QVERIFY(issues[0].toString().startsWith(path + ":5"));
    QVERIFY(KxPageLoader::loadPageList(path).empty());
}

void TestPageLoader::missingFileReportsError()
{
    KxDescriptionIssues issues;
    QVERIFY(!KxPageLoader::loadPages(m_dir.filePath("nothing.xml"), {}, &issues));
    QCOMPARE(issues.size(), 1);
    QVERIFY(kxHasErrors(issues));
    QVERIFY(issues[0].message.contains("does not exist"));
}

void TestPageLoader::nonNumericNumbersAreWarnedAndZero()
{
    KxDescriptionIssues issues;
    auto pages = loadText(groupWith("ShowLevel=\"high\"",
                                    "<Item Id=\"A\" ControlType=\"Label\" Reboot=\"yes\">"
                                    "<Triggers><Trigger Link=\"B\" Flag=\"x\">1</Trigger></Triggers>"
                                    "</Item><Item Id=\"B\" ControlType=\"Label\"/>"),
                          &issues);
    QVERIFY(pages);
    const KxGroupInfo *g = pages->pages[0]->groups[0];
    QCOMPARE(g->showLevel, 0);
    QCOMPARE(g->items[0]->reboot, 0);
    QCOMPARE(g->items[0]->triggers.groups[0].triggers[0].flag, 0);
    QCOMPARE(issues.size(), 3);
}

void TestPageLoader::fuzzedPageFilesNeverCrash()
{
    const QByteArray valid =
        "<?xml version=\"1.0\"?>\n<PropertyConfig Method=\"x\"><Buttons>Ok|Cancel</Buttons><Pages>"
        "<Page Id=\"P\" DisplayName=\"#IDS_P\"><Group Id=\"G\" Triggers=\"A=1;B!=2|3\" Expand=\"1\">"
        "<Item Id=\"A\" ControlType=\"ComboBox\" Default=\"1\" StringList=\"0:Off|1:On|4-9\" "
        "Limit=\"0|4-6_1:2\"><StringList><String UserData=\"1\">#IDS_On</String></StringList>"
        "<Triggers><Trigger Link=\"B\" Flag=\"1\">2</Trigger></Triggers></Item>"
        "<Item Id=\"B\" ControlType=\"SpinBox\" Minimum=\"0\" Maximum=\"10\" ShowLevel=\"2\">"
        "<Params><Param Id=\"p\">v</Param></Params></Item></Group></Page></Pages></PropertyConfig>";
    static const char alphabet[] = "<>/=\"'!-|:;_&#0123456789 PageGroupItem";
    QRandomGenerator rng(20240607);
    int parsed = 0;
    for (int round = 0; round < 3000; ++round) {
        QByteArray bytes = valid;
        const int edits = 1 + int(rng.bounded(6));
        for (int e = 0; e < edits; ++e) {
            const int pos = int(rng.bounded(bytes.size()));
            const char c = alphabet[rng.bounded(int(sizeof(alphabet) - 1))];
            switch (rng.bounded(4)) {
            case 0: bytes[pos] = c; break;
            case 1: bytes.insert(pos, c); break;
            case 2: bytes.remove(pos, 1 + int(rng.bounded(8))); break;
            default: bytes.insert(pos, bytes.mid(int(rng.bounded(bytes.size())), 12)); break;
            }
        }
        KxDescriptionIssues issues;
        auto pages = loadText(bytes, &issues);
        if (!pages) {
            // A rejected file always says why, with a position.
            QVERIFY2(kxHasErrors(issues), bytes.constData());
            continue;
        }
        ++parsed;
        for (const KxPageInfo *p : pages->pages) {
            for (const KxItemInfo *i : p->allItems()) {
                QVERIFY(!i->controlType.isEmpty());
                QVERIFY(i->options().size() <= 3 * KxOptionList::MaxRangeOptions);
                i->triggers.holds({{"A", "1"}, {"B", "2"}});
            }
        }
    }
    QVERIFY(parsed > 100); // the mutations must also exercise the reader, not only the parser
}

QTEST_GUILESS_MAIN(TestPageLoader)
#include "tst_pageloader.moc"
