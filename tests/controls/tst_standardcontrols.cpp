// Value formats, attributes and rules of the standard controls.
#include "controls_testutil.h"

#include "IKxBusyQuery.h"
#include "KxControlTypes.h"
#include "KxControlUtil.h"
#include "KxRangeSlider.h"
#include "KxScriptedUiBackend.h"
#include "KxToggleSwitch.h"

#include <QAbstractButton>
#include <QDoubleSpinBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QtTest>

namespace {
struct FixedBusy : IKxBusyQuery
{
    bool busy = false;
    bool isDeviceBusy() const override { return busy; }
};

QVariantMap attrs(std::initializer_list<std::pair<const char *, const char *>> list)
{
    QVariantMap m;
    for (const auto &p : list)
        m.insert(QString::fromLatin1(p.first), QString::fromUtf8(p.second));
    return m;
}
} // namespace

class TestStandardControls : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { KxStandardControls::registerAll(); }

    void everyStandardTypeRegisteredWithItsDefault()
    {
        const auto &types = KxControlTypes::standardTypes();
        QCOMPARE(types.size(), 29);
        for (const KxControlTypeInfo &t : types) {
            const QString name = QString::fromLatin1(t.controlType);
            QVERIFY2(KxControlCreator::instance()->isRegistered(name), qPrintable(name));
            QCOMPARE(KxControlCreator::instance()->defaultReturnType(name), QString::fromLatin1(t.defaultReturnType));
            std::unique_ptr<KxControlBase> c(KxControlCreator::instance()->create(name, nullptr));
            QVERIFY(c);
            QCOMPARE(QString::fromLatin1(c->metaObject()->className()), QString::fromLatin1(t.className));
        }
    }

    void checkBoxJoinsCheckedKeys_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QStringList>("check");
        QTest::addColumn<QString>("expected");
        QTest::newRow("B and C") << "A" << QStringList{"B", "C"} << "B|C";
        QTest::newRow("none") << "A" << QStringList{} << "";
        QTest::newRow("option order") << "" << QStringList{"C", "A"} << "A|C";
    }
    void checkBoxJoinsCheckedKeys()
    {
        QFETCH(QString, stored);
        QFETCH(QStringList, check);
        QFETCH(QString, expected);
        Made<KxCheckBox> m("CheckBox", stored, {}, "A|B|C");
        QVERIFY(m.c);
        for (QAbstractButton *b : m.c->buttons())
            b->setChecked(check.contains(b->objectName()));
        QCOMPARE(m.c->value().toString(), expected);
        QCOMPARE(m.c->value().userType(), int(QMetaType::QString));
    }

    void checkBoxClickNotifies()
    {
        Made<KxCheckBox> m("CheckBox", "A|C", {}, "A|B|C");
        QCOMPARE(m.c->buttonForKey("A")->isChecked(), true);
        QCOMPARE(m.c->buttonForKey("B")->isChecked(), false);
        m.c->buttonForKey("B")->click();
        QCOMPARE(m.sink.count(KxValueChangedEvent::eventType()), 1);
        QCOMPARE(m.c->value().toString(), QStringLiteral("A|B|C"));
    }

    void sliderMultipleAndRemainder_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("setTo");
        QTest::addColumn<int>("expectedPosition");
        QTest::newRow("3 gives 17") << 3 << "17" << "17" << 3;
        QTest::newRow("18 truncates to 3") << 3 << "17" << "18" << 3;
        QTest::newRow("0 gives remainder") << 0 << "2" << "21" << 3;
        QTest::newRow("7 gives 37") << 7 << "37" << "37" << 7;
    }
    void sliderMultipleAndRemainder()
    {
        QFETCH(int, position);
        QFETCH(QString, value);
        QFETCH(QString, setTo);
        QFETCH(int, expectedPosition);
        Made<KxSlider> m(
            "Slider", "2",
            attrs({{"Minimum", "0"}, {"Maximum", "10"}, {"Multiple", "5"}, {"Remainder", "2"}}));
        m.c->slider()->setValue(position);
        QCOMPARE(m.c->value().toString(), value);
        m.c->setValue(setTo);
        QCOMPARE(m.c->slider()->value(), expectedPosition);
        QCOMPARE(m.c->valueLabel()->text(), setTo);
    }

    void hexEditRemovesBlanks()
    {
        Made<KxHexEdit> m("HexEdit", "0D0A", attrs({{"MaxLength", "8"}}));
        QCOMPARE(m.c->lineEdit()->text(), QStringLiteral("0D 0A"));
        QVERIFY(!m.c->isModified()); // shown grouped, stored plain
        m.c->lineEdit()->setText("01 0A FF");
        QCOMPARE(m.c->value().toString(), QStringLiteral("010AFF"));
        QVERIFY(m.c->isModifiedValue("01 0a ff") == m.c->isModifiedValue("010AFF"));
        QVERIFY(!m.c->isModifiedValue("0d 0a"));
        // Typing is limited to hex digits and MaxLength digits.
        m.c->lineEdit()->clear();
        m.c->lineEdit()->setFocus();
        QTest::keyClicks(m.c->lineEdit(), "0G1");
        QCOMPARE(m.c->value().toString(), QStringLiteral("01"));
    }

    void hexDialogRoundTrip()
    {
        Made<KxHexEdit> m("HexEdit", "4142", attrs({{"MaxLength", "8"}}));
        KxHexEditDlg *dlg = m.c->openDialog();
        QVERIFY(dlg);
        QCOMPARE(dlg->textEdit()->text(), QStringLiteral("AB"));
        dlg->hexEdit()->setPlainText("41 42 43 44 45"); // 5 bytes > 4 allowed
        QVERIFY(!dlg->isInputValid());
        dlg->textEdit()->setText("");
        QTest::keyClicks(dlg->textEdit(), "Hi");
        QCOMPARE(dlg->hexDigits(), QStringLiteral("4869"));
        dlg->accept();
        QCOMPARE(m.c->value().toString(), QStringLiteral("4869"));
        QCOMPARE(m.sink.count(KxValueChangedEvent::eventType()), 1);
    }

    void hexTextHelpers()
    {
        QString d;
        QVERIFY(KxHexText::digits(" 0a ff", &d));
        QCOMPARE(d, QStringLiteral("0AFF"));
        QVERIFY(!KxHexText::digits("0x10", &d));
        QCOMPARE(KxHexText::preview("410A7F"), QStringLiteral("A.."));
        QCOMPARE(KxControlUtil::groupHex("ABC"), QStringLiteral("AB C"));
    }

    void comboKeepsHiddenStoredValue()
    {
        auto item = makeItem("ComboBox", "2", {}, "0:Zero|1:One|2:Two|3:Three");
        item->stringListHide = "2|3";
        EventSink sink;
        auto *c = qobject_cast<KxComboBox *>(makeControl(item.get(), &sink));
        QCOMPARE(c->comboBox()->count(), 3); // 3 hidden, 2 kept because it is stored
        QCOMPARE(c->value().toString(), QStringLiteral("2"));
        QCOMPARE(c->displayValue().toString(), QStringLiteral("Two"));
        QCOMPARE(c->comboBox()->findData("3"), -1);
    }

    void comboLimitAndMustSelect_data()
    {
        QTest::addColumn<QString>("limit");
        QTest::addColumn<QString>("mustSelect");
        QTest::addColumn<QString>("setTo");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("expected");
        QTest::newRow("range limit") << "1-2" << "0" << "2" << 2 << "2";
        QTest::newRow("list limit") << "0|2" << "0" << "2" << 2 << "2";
        QTest::newRow("unknown keeps") << "" << "0" << "9" << 4 << "1";
        QTest::newRow("unknown must select") << "" << "1" << "9" << 4 << "0";
        QTest::newRow("case sensitive") << "" << "1" << "A" << 4 << "0";
    }
    void comboLimitAndMustSelect()
    {
        QFETCH(QString, limit);
        QFETCH(QString, mustSelect);
        QFETCH(QString, setTo);
        QFETCH(int, count);
        QFETCH(QString, expected);
        auto item = makeItem("ComboBox", "1", attrs({{"mustselect", "0"}}), "0:Zero|1:One|2:Two|a:Ay");
        item->attributes.insert("MustSelect", mustSelect);
        item->attributes.remove("mustselect");
        item->limit = limit;
        if (!limit.isEmpty())
            item->value = expected; // stored value inside the limit
        EventSink sink;
        auto *c = qobject_cast<KxComboBox *>(makeControl(item.get(), &sink));
        QCOMPARE(c->comboBox()->count(), count);
        c->setValue(setTo);
        QCOMPARE(c->value().toString(), expected);
        QVERIFY(sink.events.isEmpty()); // setValue never reports
        QCOMPARE(c->comboBox()->toolTip(), c->comboBox()->currentText());
    }

    void comboUserChangeAndOptions()
    {
        Made<KxComboBox> m("ComboBox", "0", {}, "0:Zero|1:One");
        m.c->comboBox()->setCurrentIndex(1);
        QCOMPARE(m.sink.count(KxValueChangedEvent::eventType()), 1);
        QVERIFY(!m.c->setOptions(QStringLiteral("not a list")));
        QVERIFY(m.c->setOptions(kxToVariantList({KxFeatureInfo{QString(), "5", "Five"}, KxFeatureInfo{QString(), "1", "One"}})));
        QCOMPARE(m.c->comboBox()->count(), 2);
        QCOMPARE(m.c->displayValue().toString(), QStringLiteral("One")); // current text kept
        QCOMPARE(m.sink.count(KxValueChangedEvent::eventType()), 1);
    }

    void doubleSpinBoxFormat_data()
    {
        QTest::addColumn<QString>("in");
        QTest::addColumn<QString>("out");
        QTest::newRow("half") << "0.5" << "0.5";
        QTest::newRow("large") << "2500000" << "2.5e+06";
        QTest::newRow("integer") << "3" << "3";
        QTest::newRow("garbage") << "abc" << "0";
    }
    void doubleSpinBoxFormat()
    {
        QFETCH(QString, in);
        QFETCH(QString, out);
        Made<> m("DoubleSpinBox", in);
        QCOMPARE(m.c->value().toString(), out);
    }

    void spinBoxParity_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("rule");
        QTest::addColumn<int>("typed");
        QTest::addColumn<int>("result");
        QTest::newRow("odd corrects even") << "LIMIT" << "Odd" << 4 << 3;
        QTest::newRow("odd keeps odd") << "LIMIT" << "Odd" << 5 << 5;
        QTest::newRow("even corrects odd") << "limit" << "even" << 5 << 4;
        QTest::newRow("at minimum goes up") << "LIMIT" << "Even" << 1 << 2;
        QTest::newRow("no rule") << "OTHER" << "Odd" << 4 << 4;
    }
    void spinBoxParity()
    {
        QFETCH(QString, key);
        QFETCH(QString, rule);
        QFETCH(int, typed);
        QFETCH(int, result);
        auto item = makeItem("SpinBox", "3", attrs({{"Minimum", "1"}, {"Maximum", "9"}}));
        item->attributes.insert(key, rule);
        EventSink sink;
        auto *c = qobject_cast<KxSpinBox *>(makeControl(item.get(), &sink));
        c->spinBox()->setValue(typed);
        QCOMPARE(c->value().toString(), QString::number(result));
        QCOMPARE(sink.count(KxValueChangedEvent::eventType()), typed == 3 ? 0 : 1);
    }

    void spinBoxParamsAndLimit()
    {
        auto item = makeItem("SpinBox", "50", attrs({{"Minimum", "0"}, {"Maximum", "100"}}));
        item->limit = "10-60";
        EventSink sink;
        auto *c = qobject_cast<KxSpinBox *>(makeControl(item.get(), &sink));
        QCOMPARE(c->spinBox()->minimum(), 10);
        QCOMPARE(c->spinBox()->maximum(), 60);
        c->setParam("maximum", "not a number");
        QCOMPARE(c->spinBox()->maximum(), 60);
        c->setParam("MAXIMUM", 40);
        QCOMPARE(c->spinBox()->maximum(), 40);
        QCOMPARE(c->value().toString(), QStringLiteral("40")); // clamped, and reported
        QCOMPARE(sink.count(KxValueChangedEvent::eventType()), 1);
        c->setParam("Step", 5); // unknown parameter: no effect
        QCOMPARE(c->spinBox()->singleStep(), 1);
        c->setEditorEnabled(false);
        QVERIFY(!c->spinBox()->isEnabled());
    }

    // Limits move the slider with the spin box; a limit that moves the value is reported once.
    void spinSliderParams()
    {
        Made<KxSpinSlider> m("SpinSlider", "50",
                             attrs({{"Minimum", "0"}, {"Maximum", "100"}, {"Multiple", "5"}}));
        QVERIFY(m.c);
        QCOMPARE(m.c->slider()->maximum(), 20);
        m.c->setParam("maximum", "not a number");
        QCOMPARE(m.c->spinBox()->maximum(), 100);
        m.c->setParam("Width", 40); // unknown parameter: no effect
        QCOMPARE(m.c->spinBox()->maximum(), 100);
        QCOMPARE(m.sink.count(KxValueChangedEvent::eventType()), 0);
        m.c->setParam("MAXIMUM", 60);
        QCOMPARE(m.c->spinBox()->maximum(), 60);
        QCOMPARE(m.c->slider()->maximum(), 12);
        QCOMPARE(m.c->value().toString(), QStringLiteral("50")); // inside: nothing to report
        QCOMPARE(m.sink.count(KxValueChangedEvent::eventType()), 0);
        m.c->setParam("Minimum", 55);
        QCOMPARE(m.c->spinBox()->minimum(), 55);
        QCOMPARE(m.c->slider()->minimum(), 11);
        QCOMPARE(m.c->value().toString(), QStringLiteral("55")); // clamped, and reported
        QCOMPARE(m.c->slider()->value(), 11);
        QCOMPARE(m.sink.count(KxValueChangedEvent::eventType()), 1);
    }

    void pairFormats_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("range") << "RangeBox" << "3|48" << "3|48";
        QTest::newRow("double range") << "DoubleRangeBox" << "1.5|20" << "1.5|20";
        QTest::newRow("point") << "Point" << "10,20" << "10,20";
        QTest::newRow("double point") << "DoublePoint" << "50.5,2" << "50.5,2";
        QTest::newRow("size") << "Size" << "1900,1200" << "1900,1200";
        QTest::newRow("double size") << "DoubleSize" << "2.5,3.5" << "2.5,3.5";
        QTest::newRow("line") << "Line" << "0,600|1919,601" << "0,600|1919,601";
        QTest::newRow("clamped") << "Point" << "5000,-3" << "1919,0";
        QTest::newRow("range swapped") << "RangeBox" << "9|2" << "9|2";
    }
    void pairFormats()
    {
        QFETCH(QString, type);
        QFETCH(QString, value);
        QFETCH(QString, expected);
        Made<> m(
            type, value,
            attrs({{"Minimum", "0"}, {"Maximum", "1919"}, {"Step", "0.5"}, {"Decimals", "2"}}));
        QCOMPARE(m.c->value().toString(), expected);
    }

    void rangeBoxKeepsOrderAndParams()
    {
        Made<KxRangeBox> m("RangeBox", "5|10", attrs({{"Minimum", "1"}, {"Maximum", "80"}}));
        m.c->fields().at(0)->setValue(20); // from above to: to follows
        QCOMPARE(m.c->value().toString(), QStringLiteral("20|20"));
        m.c->setParam("To", 30);
        QCOMPARE(m.c->value().toString(), QStringLiteral("20|30"));
        m.c->setParam("Maximum", 25);
        QCOMPARE(m.c->value().toString(), QStringLiteral("20|25"));
    }

    void toggleButtonUsesFirstTwoOptions()
    {
        Made<KxToggleButtonPrivate> m("ToggleButton", "on", {}, "off:Off|on:On|x:Extra");
        QVERIFY(m.c->toggle()->isChecked());
        QCOMPARE(m.c->displayValue().toString(), QStringLiteral("On"));
        m.c->toggle()->click();
        QCOMPARE(m.c->value().toString(), QStringLiteral("off"));
        QCOMPARE(m.sink.count(KxValueChangedEvent::eventType()), 1);
    }

    void toggleSliderValue()
    {
        Made<KxToggleSlider> m("ToggleSlider", "1|1000",
                               attrs({{"Minimum", "100"}, {"Maximum", "10000"}, {"Step", "100"}}));
        QCOMPARE(m.c->value().toString(), QStringLiteral("1|1000"));
        m.c->toggle()->click();
        QCOMPARE(m.c->value().toString(), QStringLiteral("0|1000"));
        QVERIFY(!m.c->slider()->isEnabled());
    }

    void doubleSliderAndStateSlider()
    {
        Made<KxDoubleSlider> m("DoubleSlider", "60,180",
                               attrs({{"Minimum", "0"}, {"Maximum", "255"}}));
        QCOMPARE(m.c->value().toString(), QStringLiteral("60,180"));
        QCOMPARE(m.c->rangeLabel()->text(), QStringLiteral("[60 - 180]"));
        m.c->setValue("300,-5"); // out of range and reversed
        QCOMPARE(m.c->value().toString(), QStringLiteral("0,255"));

        auto state = makeItem("StateSlider", "2", {}, "0:Mute|1:Low|2:Mid|3:High");
        auto *s = qobject_cast<KxStateSlider *>(makeControl(state.get(), &m.sink));
        QCOMPARE(s->slider()->value(), 2);
        s->slider()->setValue(3);
        QCOMPARE(s->value().toString(), QStringLiteral("3"));
        QCOMPARE(s->displayValue().toString(), QStringLiteral("High"));
    }

    void labelSplitsKeyAndText()
    {
        Made<> m("Label", "1920W1200H");
        QCOMPARE(m.c->value().toString(), QStringLiteral("1920W1200H"));
        m.c->setValue("3:Three");
        QCOMPARE(m.c->value().toString(), QStringLiteral("3"));
        QCOMPARE(m.c->displayValue().toString(), QStringLiteral("Three"));
    }

    void lineEditReportsFinishedEdits()
    {
        Made<KxLineEdit> m("LineEdit", "abc", attrs({{"MAXLENGTH", "5"}, {"RegExp", "[a-z]*"}}));
        QCOMPARE(m.c->lineEdit()->maxLength(), 5);
        m.c->lineEdit()->setFocus();
        m.c->lineEdit()->end(false);
        QTest::keyClicks(m.c->lineEdit(), "dE9fgh");
        QCOMPARE(m.c->value().toString(), QStringLiteral("abcdf"));
        QVERIFY(m.sink.events.isEmpty()); // nothing per keystroke
        QTest::keyClick(m.c->lineEdit(), Qt::Key_Return);
        QCOMPARE(m.sink.count(KxValueChangedEvent::eventType()), 1);
        QTest::keyClick(m.c->lineEdit(), Qt::Key_Return); // unchanged: no second report
        QCOMPARE(m.sink.count(KxValueChangedEvent::eventType()), 1);
    }

    void regExpDialog()
    {
        const KxRegExpCheck bad = KxRegExpCheck::evaluate("(ab", "ab");
        QVERIFY(!bad.valid);
        QVERIFY(!bad.error.isEmpty());
        QVERIFY(KxRegExpCheck::evaluate("[0-9]+", "123").matched);
        QVERIFY(!KxRegExpCheck::evaluate("[0-9]+", "12a").matched); // whole text only

        Made<KxRegularExpressionEdit> m("RegExpEdit", ".*");
        KxRegExpDlg *dlg = m.c->openDialog();
        dlg->patternEdit()->setText("^A\\d{3}$");
        dlg->sampleEdit()->setText("A123");
        dlg->accept();
        QCOMPARE(m.c->value().toString(), QStringLiteral("^A\\d{3}$"));
        QCOMPARE(m.sink.count(KxValueChangedEvent::eventType()), 1);
    }

    void buttonAsksBusyFirst()
    {
        Made<KxButton> m("Button", "1", attrs({{"sync", "0"}}), "1:Start");
        QCOMPARE(m.c->buttons().size(), 1);
        QCOMPARE(m.c->buttons().first()->focusPolicy(), Qt::NoFocus);
        FixedBusy busy;
        KxButton::setBusyQuery(&busy);
        KxScriptedUiBackend ui;

        busy.busy = true;
        m.c->buttons().first()->click();
        QVERIFY(m.sink.events.isEmpty());
        QCOMPARE(ui.messageTexts(), QStringList{"#ID_ButtonClick_INFO"});
        QCOMPARE(ui.lastMessage().title, QStringLiteral("#IDS_Tips"));

        busy.busy = false;
        m.c->buttons().first()->click();
        QCOMPARE(m.sink.count(KxCustomChangedEvent::eventType()), 1);
        const QVariantMap data = m.sink.events.last().data.toMap();
        QCOMPARE(data.value("Type").toString(), QStringLiteral("ButtonClicked"));
        QCOMPARE(data.value("Params").toMap(),
                 (QVariantMap{{"id", "1"}, {"text", "Start"}, {"sync", "0"}}));
        KxButton::setBusyQuery(nullptr);
        QVERIFY(ui.errors().isEmpty());
    }

    void ipv4Fields()
    {
        Made<KxIPV4> m("Ipv4", "127.0.0.2");
        QCOMPARE(m.c->value().toString(), QStringLiteral("127.0.0.2"));
        m.c->setValue("garbage");
        QCOMPARE(m.c->value().toString(), QStringLiteral("0.0.0.0"));
    }

    void panelAndImageValues()
    {
        auto panel = makeItem("Panel", QString());
        panel->value = QVariant();
        EventSink sink;
        KxControlBase *p = makeControl(panel.get(), &sink);
        QCOMPARE(p->value(), QVariant(QString()));
        QVERIFY(!p->isModified()); // no default and an empty panel: nothing changed
        auto image = makeItem("IMAGE", QString());
        image->userData = "no-such-image.png";
        KxControlBase *i = makeControl(image.get(), &sink);
        QVERIFY(i);
        QVERIFY(!i->value().isValid());
    }
};

QTEST_MAIN(TestStandardControls)
#include "tst_standardcontrols.moc"
