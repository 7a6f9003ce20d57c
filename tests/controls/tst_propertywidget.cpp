// Pages, visibility by triggers, rebuilds, Ref limits, storable items and JSON export.
#include "controls_testutil.h"

#include "KxPropertyWidget.h"

#include <QJsonArray>
#include <QAbstractButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QtTest>

namespace {

QByteArray page(const QByteArray &groups, const QByteArray &id = "P1")
{
    return "<Page Id=\"" + id + "\" DisplayName=\"Page " + id + "\">" + groups + "</Page>";
}

QByteArray doc(const QByteArray &pages)
{
    return "<PropertyConfig><Pages>" + pages + "</Pages></PropertyConfig>";
}

const QByteArray kModeCombo =
    "<Item Id=\"MODE\" DisplayName=\"Mode\" ControlType=\"ComboBox\" Default=\"0\" StringList=\"0:Auto|1:Fixed\"/>";

} // namespace

class TestPropertyWidget : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { KxStandardControls::registerAll(); }

    void onePageHasNoTabBar_data()
    {
        QTest::addColumn<int>("pages");
        QTest::addColumn<bool>("barShown");
        QTest::newRow("one") << 1 << false;
        QTest::newRow("two") << 2 << true;
    }
    void onePageHasNoTabBar()
    {
        QFETCH(int, pages);
        QFETCH(bool, barShown);
        QByteArray xml;
        for (int i = 0; i < pages; ++i)
            xml += page("<Group Id=\"G\" DisplayName=\"G\">" + kModeCombo + "</Group>", "P" + QByteArray::number(i));
        auto info = pagesFromXml(doc(xml));
        KxPropertyWidget w;
        w.setProperty(info.get());
        w.resize(600, 400);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.tabWidget()->count(), pages);
        QCOMPARE(w.tabWidget()->tabBar()->isVisible(), barShown);
        QCOMPARE(w.currentPageId(), QStringLiteral("P0"));
    }

    void groupVisibility_data()
    {
        QTest::addColumn<QByteArray>("groupAttrs");
        QTest::addColumn<bool>("shown");
        QTest::newRow("Visible 0 beats a holding trigger") << QByteArray("Visible=\"0\" Triggers=\"MODE=0\"") << false;
        QTest::newRow("Visible false is still visible") << QByteArray("Visible=\"false\"") << true;
        QTest::newRow("no triggers") << QByteArray() << true;
        QTest::newRow("trigger holds") << QByteArray("Triggers=\"MODE=0\"") << true;
        QTest::newRow("trigger fails") << QByteArray("Triggers=\"MODE=1\"") << false;
        QTest::newRow("link not on page") << QByteArray("Triggers=\"NOPE=1\"") << true;
    }
    void groupVisibility()
    {
        QFETCH(QByteArray, groupAttrs);
        QFETCH(bool, shown);
        auto info = pagesFromXml(doc(page("<Group Id=\"A\" DisplayName=\"A\">" + kModeCombo + "</Group>"
                                          "<Group Id=\"B\" DisplayName=\"B\" " + groupAttrs + ">"
                                          "<Item Id=\"VAL\" DisplayName=\"V\" ControlType=\"SpinBox\" Default=\"1\" Maximum=\"9\"/>"
                                          "</Group>")));
        KxPropertyWidget w;
        w.setProperty(info.get());
        QCOMPARE(w.isGroupVisible(info->pages.first()->groups.at(1)), shown);
        QCOMPARE(w.control("VAL") != nullptr, shown);
        QCOMPARE(w.pageContent("P1")->findChild<QWidget *>("_GroupLine_B") != nullptr, shown);
        QVERIFY(w.pageContent("P1")->findChild<QWidget *>("_GroupLine_A"));
    }

    void triggerOnHiddenControlIsIgnored()
    {
        // MODE itself is hidden, so the condition on it does not decide: the group shows.
        auto info = pagesFromXml(doc(page(
            "<Group Id=\"A\" DisplayName=\"A\"><Item Id=\"MODE\" DisplayName=\"M\" ControlType=\"ComboBox\" "
            "Default=\"0\" StringList=\"0:a|1:b\" Visible=\"0\"/></Group>"
            "<Group Id=\"B\" DisplayName=\"B\" Triggers=\"MODE=1\">"
            "<Item Id=\"VAL\" DisplayName=\"V\" ControlType=\"SpinBox\" Default=\"1\" Maximum=\"9\"/></Group>")));
        KxPropertyWidget w;
        w.setProperty(info.get());
        QVERIFY(!w.control("MODE"));
        QVERIFY(w.control("VAL"));
    }

    void triggerChangeRebuildsAndKeepsEdits()
    {
        auto info = pagesFromXml(doc(page(
            "<Group Id=\"A\" DisplayName=\"A\">" + kModeCombo +
            "<Item Id=\"NAME\" DisplayName=\"N\" ControlType=\"LineEdit\" Default=\"x\"/>"
            "<Item Id=\"EXP\" DisplayName=\"E\" ControlType=\"SpinBox\" Default=\"5\" Maximum=\"99\" Triggers=\"MODE=1\"/>"
            "</Group>")));
        KxPropertyWidget w;
        w.setProperty(info.get());
        QSignalSpy changed(&w, &KxPropertyWidget::valueChanged);
        QSignalSpy created(&w, &KxPropertyWidget::pageCreated);
        QVERIFY(!w.control("EXP"));
        w.control("NAME")->applyValue(QStringLiteral("edited"));
        QCOMPARE(w.rebuildCount(), 0); // NAME is no trigger link
        w.control("MODE")->applyValue(QStringLiteral("1"));
        QCOMPARE(changed.count(), 2);
        QCOMPARE(changed.last().first().toString(), QStringLiteral("MODE"));
        QCOMPARE(w.rebuildCount(), 1);
        QCOMPARE(created.count(), 1);
        QVERIFY(w.control("EXP"));
        // The edits made before the rebuild are still there, and still count as changes.
        QCOMPARE(w.controlValue("MODE").toString(), QStringLiteral("1"));
        QCOMPARE(w.controlValue("NAME").toString(), QStringLiteral("edited"));
        QVERIFY(w.control("NAME")->isModified());
        QCOMPARE(w.controls().size(), 3);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(w.findChildren<KxControlBase *>().size(), 3); // old controls are gone
    }

    void refUnequalLimits_data()
    {
        QTest::addColumn<QByteArray>("ref");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("minimum");
        QTest::newRow("unequal max") << QByteArray("EXPO:Maximum:Unequal") << 99 << 0;
        QTest::newRow("unequal any case") << QByteArray("EXPO:Maximum:UNEQUAL") << 99 << 0;
        QTest::newRow("plain max") << QByteArray("EXPO:Maximum") << 100 << 0;
        QTest::newRow("unequal min") << QByteArray("EXPO:Minimum:Unequal") << 1000 << 101;
        QTest::newRow("one part ignored") << QByteArray("EXPO") << 1000 << 0;
        QTest::newRow("other source") << QByteArray("GAIN:Maximum:Unequal") << 1000 << 0;
    }
    void refUnequalLimits()
    {
        QFETCH(QByteArray, ref);
        QFETCH(int, maximum);
        QFETCH(int, minimum);
        auto info = pagesFromXml(doc(page(
            "<Group Id=\"A\" DisplayName=\"A\">"
            "<Item Id=\"EXPO\" DisplayName=\"E\" ControlType=\"SpinBox\" Default=\"500\" Minimum=\"0\" Maximum=\"1000\"/>"
            "<Item Id=\"LOW\" DisplayName=\"L\" ControlType=\"SpinBox\" Default=\"200\" Minimum=\"0\" Maximum=\"1000\" Ref=\"" + ref + "\"/>"
            "</Group>")));
        KxPropertyWidget w;
        w.setProperty(info.get());
        w.control("EXPO")->applyValue(QStringLiteral("100"));
        auto *low = qobject_cast<KxSpinBox *>(w.control("LOW"));
        QCOMPARE(low->spinBox()->maximum(), maximum);
        QCOMPARE(low->spinBox()->minimum(), minimum);
    }

    void storableItems_data()
    {
        QTest::addColumn<QByteArray>("attrs");
        QTest::addColumn<bool>("storable");
        QTest::newRow("plain") << QByteArray("ControlType=\"SpinBox\"") << true;
        QTest::newRow("UNSTORE") << QByteArray("ControlType=\"SpinBox\" Flags=\"UNSTORE\"") << false;
        QTest::newRow("Unstore") << QByteArray("ControlType=\"SpinBox\" Flags=\"Unstore\"") << false;
        QTest::newRow("other flag") << QByteArray("ControlType=\"SpinBox\" Flags=\"Keep\"") << true;
        QTest::newRow("panel") << QByteArray("ControlType=\"Panel\"") << false;
        QTest::newRow("DEFCMD") << QByteArray("ControlType=\"DEFCMD\"") << false;
        QTest::newRow("WLSCLP") << QByteArray("ControlType=\"WLSCLP\"") << false;
    }
    void storableItems()
    {
        QFETCH(QByteArray, attrs);
        QFETCH(bool, storable);
        auto info = pagesFromXml(doc(page("<Group Id=\"A\" DisplayName=\"A\"><Item Id=\"CMD\" DisplayName=\"C\" "
                                          "Default=\"3\" Maximum=\"9\" " + attrs + "/></Group>")));
        KxPropertyWidget w;
        w.setProperty(info.get());
        KxItemInfo *item = info->findItem("CMD");
        QCOMPARE(w.isStorable(item), storable);
        const QJsonObject json = w.valuesToJson();
        QCOMPARE(json.contains("P1"), storable);
        QVERIFY(!w.isStorable(nullptr));
    }

    void jsonExportForms()
    {
        auto info = pagesFromXml(doc(page(
            "<Group Id=\"A\" DisplayName=\"A\">"
            "<Item Id=\"PNT\" DisplayName=\"P\" ControlType=\"Point\" Default=\"1,2\" Maximum=\"99\" Flags=\"F1\"/>"
            "<Item Id=\"NUM\" DisplayName=\"N\" ControlType=\"SpinBox\" Default=\"3\" Maximum=\"9\"/>"
            "<Item Id=\"TXT\" DisplayName=\"T\" ControlType=\"LineEdit\" ReturnType=\"string\" Default=\"hi\"/>"
            "<Item Id=\"IMG\" DisplayName=\"I\" ControlType=\"IMAGE\"/>"
            "</Group><Group Id=\"Empty\" DisplayName=\"E\"><Item Id=\"PNL\" DisplayName=\"X\" ControlType=\"Panel\"/></Group>")));
        KxPropertyWidget w;
        w.setProperty(info.get());
        w.control("NUM")->applyValue(QStringLiteral("7"));
        const QJsonObject json = w.valuesToJson();
        QCOMPARE(json.keys(), QStringList{"P1"});
        const QJsonObject pageObj = json.value("P1").toObject();
        QCOMPARE(pageObj.keys(), QStringList{"A"}); // the group with only a panel is left out
        const QJsonArray arr = pageObj.value("A").toArray();
        QCOMPARE(arr.size(), 3); // the image has no string value
        QCOMPARE(arr.at(0).toObject(), (QJsonObject{{"Id", "PNT"}, {"Type", "point_int"}, {"Flags", "F1"}, {"Param", "1,2"}}));
        QCOMPARE(arr.at(1).toObject(), (QJsonObject{{"Id", "NUM"}, {"Param", "7"}})); // "int" is plain
        QCOMPARE(arr.at(2).toObject(), (QJsonObject{{"Id", "TXT"}, {"Param", "hi"}}));

        const QJsonObject wrapped = w.valuesToWrappedJson();
        QCOMPARE(wrapped.value("Property").toObject().value("Page").toObject().value("P1").toObject()
                     .value("Group").toObject(), pageObj);
    }

    void unknownTypesAreSkipped()
    {
        auto info = pagesFromXml(doc(page(
            "<Group Id=\"A\" DisplayName=\"A\">"
            "<Item Id=\"SYM\" DisplayName=\"S\" ControlType=\"NoSuchControl\"/>" + kModeCombo + "</Group>")));
        KxPropertyWidget w;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("no control type.*NoSuchControl"));
        w.setProperty(info.get());
        QCOMPARE(w.controls().size(), 1);
        QVERIFY(!w.control("SYM"));
        QVERIFY(!w.controlValue("SYM").isValid());
    }

    void customEventsBecomeSignals()
    {
        auto info = pagesFromXml(doc(page("<Group Id=\"A\" DisplayName=\"A\"><Item Id=\"GO\" DisplayName=\"G\" "
                                          "ControlType=\"Button\" StringList=\"1:Start\" Flags=\"Unstore\"/></Group>")));
        KxPropertyWidget w;
        w.setProperty(info.get());
        QSignalSpy custom(&w, &KxPropertyWidget::customChanged);
        KxControlBase *c = w.control("GO");
        QCOMPARE(c->property("PID").toString(), QStringLiteral("P1"));
        QCOMPARE(c->property("GID").toString(), QStringLiteral("A"));
        QCOMPARE(c->owner(), &w);
        c->notifyCustomChanged(QStringLiteral("ButtonClicked"), QVariantMap{{"id", "1"}}, true);
        QCOMPARE(custom.count(), 1);
        QCOMPARE(custom.first().at(0).toString(), QStringLiteral("ButtonClicked"));
        QCOMPARE(custom.first().at(1).toMap().value("id").toString(), QStringLiteral("1"));

        QString extended;
        KxPropertyWidget::setExtendHandler([&](const QString &id, KxPropertyWidget *) { extended = id; });
        c->notifyExtend(QStringLiteral("CTL9"));
        KxPropertyWidget::setExtendHandler(nullptr);
        QCOMPARE(extended, QStringLiteral("CTL9"));
    }

    // Tabbing through a page visits the controls in the order of its items, group by group,
    // also after a trigger change rebuilt the page with a control added in the middle.
    void focusChainFollowsItemOrder_data()
    {
        QTest::addColumn<QByteArray>("layout");
        QTest::addColumn<bool>("rebuild");
        QTest::newRow("form") << QByteArray("FLayout") << false;
        QTest::newRow("rows") << QByteArray("VLayout") << false;
        QTest::newRow("side by side") << QByteArray("HLayout") << false;
        QTest::newRow("form, rebuilt") << QByteArray("FLayout") << true;
        QTest::newRow("rows, rebuilt") << QByteArray("VLayout") << true;
    }
    void focusChainFollowsItemOrder()
    {
        QFETCH(QByteArray, layout);
        QFETCH(bool, rebuild);
        const QByteArray items =
            kModeCombo
            + "<Item Id=\"NAME\" DisplayName=\"Name\" ControlType=\"LineEdit\" Default=\"a\"/>"
              "<Item Id=\"FIXED\" DisplayName=\"Fixed time\" ControlType=\"SpinBox\" Default=\"5\" "
              "Minimum=\"0\" Maximum=\"9\" Triggers=\"MODE=1\"/>"
              "<Item Id=\"RANGE\" DisplayName=\"Range\" ControlType=\"RangeBox\" Default=\"1|4\" "
              "Minimum=\"0\" Maximum=\"9\"/>";
        const QByteArray second = "<Item Id=\"LEVEL\" DisplayName=\"Level\" ControlType=\"SpinBox\" "
                                  "Default=\"2\" Minimum=\"0\" Maximum=\"9\"/>";
        auto info = pagesFromXml(doc(page("<Group Id=\"A\" DisplayName=\"A\" Layout=\"" + layout + "\">" + items
                                          + "</Group><Group Id=\"B\" DisplayName=\"B\" Layout=\"" + layout
                                          + "\">" + second + "</Group>")));
        KxPropertyWidget w;
        w.setProperty(info.get());
        w.resize(900, 600);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QStringList expected{"MODE", "NAME", "RANGE", "LEVEL"};
        if (rebuild) {
            w.control(QStringLiteral("MODE"))->applyValue(QStringLiteral("1"));
            QCOMPARE(w.rebuildCount(), 1);
            QApplication::processEvents();
            expected = QStringList{"MODE", "NAME", "FIXED", "RANGE", "LEVEL"};
        }
        const QList<KxControlBase *> controls = w.controls();
        QCOMPARE(controls.size(), expected.size());

        // Walk the whole chain once and name the control owning each widget that takes Tab.
        auto owner = [&](QWidget *f) -> QString {
            for (KxControlBase *c : controls) {
                QWidget *e = c->editorWidget();
                if (e == f || e->isAncestorOf(f))
                    return c->itemId();
            }
            return QString();
        };
        QStringList visited;
        QWidget *start = &w;
        QWidget *f = start->nextInFocusChain();
        for (int guard = 0; f != start && guard < 1000; ++guard, f = f->nextInFocusChain()) {
            if (!(f->focusPolicy() & Qt::TabFocus) || !f->isVisibleTo(&w) || !f->isEnabled())
                continue;
            const QString id = owner(f);
            if (!id.isEmpty() && (visited.isEmpty() || visited.last() != id))
                visited.append(id);
        }
        QCOMPARE(visited, expected);

        // And the group's collapse button comes before the group's first control.
        auto *toggleB = w.findChild<QWidget *>(QStringLiteral("_GroupToggle_B"));
        QVERIFY(toggleB);
        QWidget *level = w.control(QStringLiteral("LEVEL"))->editorWidget();
        bool levelFirst = false;
        for (QWidget *g = start->nextInFocusChain(); g != start; g = g->nextInFocusChain()) {
            if (g == toggleB)
                break;
            if (g == level || level->isAncestorOf(g)) {
                levelFirst = true;
                break;
            }
        }
        QVERIFY(!levelFirst);
    }

    void collapseKeepsStateAcrossRebuild()
    {
        auto info = pagesFromXml(doc(page("<Group Id=\"A\" DisplayName=\"A\">" + kModeCombo + "</Group>"
                                          "<Group Id=\"B\" DisplayName=\"B\" Expand=\"0\">"
                                          "<Item Id=\"V\" DisplayName=\"V\" ControlType=\"SpinBox\" Maximum=\"9\" Triggers=\"MODE=0|1\"/></Group>")));
        KxPropertyWidget w;
        w.setProperty(info.get());
        w.show();
        QWidget *content = w.pageContent("P1");
        auto *bContent = content->findChild<QWidget *>("_GroupContent_B");
        QVERIFY(!bContent->isVisible()); // Expand="0" starts collapsed
        auto *toggleA = content->findChild<QAbstractButton *>("_GroupToggle_A");
        toggleA->click();
        QVERIFY(!content->findChild<QWidget *>("_GroupContent_A")->isVisible());
        w.control("MODE")->applyValue(QStringLiteral("1"));
        QCOMPARE(w.rebuildCount(), 1);
        content = w.pageContent("P1");
        QVERIFY(!content->findChild<QWidget *>("_GroupContent_A")->isVisible());
    }
};

QTEST_MAIN(TestPropertyWidget)
#include "tst_propertywidget.moc"
