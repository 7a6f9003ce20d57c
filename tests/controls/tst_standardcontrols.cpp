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
        auto item = makeItem("CheckBox", stored, {}, "A|B|C");
        EventSink sink;
        auto *c = qobject_cast<KxCheckBox *>(makeControl(item.get(), &sink));
        QVERIFY(c);
        for (QAbstractButton *b : c->buttons())
            b->setChecked(check.contains(b->objectName()));
        QCOMPARE(c->value().toString(), expected);
        QCOMPARE(c->value().userType(), int(QMetaType::QString));
    }

    void checkBoxClickNotifies()
    {
        auto item = makeItem("CheckBox", "A|C", {}, "A|B|C");
        EventSink sink;
        auto *c = qobject_cast<KxCheckBox *>(makeControl(item.get(), &sink));
        QCOMPARE(c->buttonForKey("A")->isChecked(), true);
        QCOMPARE(c->buttonForKey("B")->isChecked(), false);
        c->buttonForKey("B")->click();
        QCOMPARE(sink.count(KxValueChangedEvent::eventType()), 1);
        QCOMPARE(c->value().toString(), QStringLiteral("A|B|C"));
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
        auto item = makeItem("Slider", "2", attrs({{"Minimum", "0"}, {"Maximum", "10"}, {"Multiple", "5"}, {"Remainder", "2"}}));
        EventSink sink;
        auto *c = qobject_cast<KxSlider *>(makeControl(item.get(), &sink));
        c->slider()->setValue(position);
        QCOMPARE(c->value().toString(), value);
        c->setValue(setTo);
        QCOMPARE(c->slider()->value(), expectedPosition);
        QCOMPARE(c->valueLabel()->text(), setTo);
    }

    void hexEditRemovesBlanks()
    {
        auto item = makeItem("HexEdit", "0D0A", attrs({{"MaxLength", "8"}}));
        EventSink sink;
        auto *c = qobject_cast<KxHexEdit *>(makeControl(item.get(), &sink));
        QCOMPARE(c->lineEdit()->text(), QStringLiteral("0D 0A"));
        QVERIFY(!c->isModified()); // shown grouped, stored plain
        c->lineEdit()->setText("01 0A FF");
        QCOMPARE(c->value().toString(), QStringLiteral("010AFF"));
        QVERIFY(c->isModifiedValue("01 0a ff") == c->isModifiedValue("010AFF"));
        QVERIFY(!c->isModifiedValue("0d 0a"));
        // Typing is limited to hex digits and MaxLength digits.
        c->lineEdit()->clear();
        c->lineEdit()->setFocus();
        QTest::keyClicks(c->lineEdit(), "0G1");
        QCOMPARE(c->value().toString(), QStringLiteral("01"));
    }

    void hexDialogRoundTrip()
    {
        auto item = makeItem("HexEdit", "4142", attrs({{"MaxLength", "8"}}));
        EventSink sink;
        auto *c = qobject_cast<KxHexEdit *>(makeControl(item.get(), &sink));
        KxHexEditDlg *dlg = c->openDialog();
        QVERIFY(dlg);
        QCOMPARE(dlg->textEdit()->text(), QStringLiteral("AB"));
        dlg->hexEdit()->setPlainText("41 42 43 44 45"); // 5 bytes > 4 allowed
        QVERIFY(!dlg->isInputValid());
        dlg->textEdit()->setText("");
        QTest::keyClicks(dlg->textEdit(), "Hi");
        QCOMPARE(dlg->hexDigits(), QStringLiteral("4869"));
        dlg->accept();
        QCOMPARE(c->value().toString(), QStringLiteral("4869"));
        QCOMPARE(sink.count(KxValueChangedEvent::eventType()), 1);
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
        auto item = makeItem("ComboBox", "0", {}, "0:Zero|1:One");
        EventSink sink;
        auto *c = qobject_cast<KxComboBox *>(makeControl(item.get(), &sink));
        c->comboBox()->setCurrentIndex(1);
        QCOMPARE(sink.count(KxValueChangedEvent::eventType()), 1);
        QVERIFY(!c->setOptions(QStringLiteral("not a list")));
        QVERIFY(c->setOptions(kxToVariantList({KxFeatureInfo{QString(), "5", "Five"}, KxFeatureInfo{QString(), "1", "One"}})));
        QCOMPARE(c->comboBox()->count(), 2);
        QCOMPARE(c->displayValue().toString(), QStringLiteral("One")); // current text kept
        QCOMPARE(sink.count(KxValueChangedEvent::eventType()), 1);
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
        auto item = makeItem("DoubleSpinBox", in);
        EventSink sink;
        KxControlBase *c = makeControl(item.get(), &sink);
        QCOMPARE(c->value().toString(), out);
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
        auto item = makeItem("SpinSlider", "50",
                             attrs({{"Minimum", "0"}, {"Maximum", "100"}, {"Multiple", "5"}}));
        EventSink sink;
        auto *c = qobject_cast<KxSpinSlider *>(makeControl(item.get(), &sink));
        QVERIFY(c);
        QCOMPARE(c->slider()->maximum(), 20);
        c->setParam("maximum", "not a number");
        QCOMPARE(c->spinBox()->maximum(), 100);
        c->setParam("Width", 40); // unknown parameter: no effect
        QCOMPARE(c->spinBox()->maximum(), 100);
        QCOMPARE(sink.count(KxValueChangedEvent::eventType()), 0);
        c->setParam("MAXIMUM", 60);
        QCOMPARE(c->spinBox()->maximum(), 60);
        QCOMPARE(c->slider()->maximum(), 12);
        QCOMPARE(c->value().toString(), QStringLiteral("50")); // inside: nothing to report
        QCOMPARE(sink.count(KxValueChangedEvent::eventType()), 0);
        c->setParam("Minimum", 55);
        QCOMPARE(c->spinBox()->minimum(), 55);
        QCOMPARE(c->slider()->minimum(), 11);
        QCOMPARE(c->value().toString(), QStringLiteral("55")); // clamped, and reported
        QCOMPARE(c->slider()->value(), 11);
        QCOMPARE(sink.count(KxValueChangedEvent::eventType()), 1);
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
        auto item = makeItem(type, value, attrs({{"Minimum", "0"}, {"Maximum", "1919"}, {"Step", "0.5"}, {"Decimals", "2"}}));
        EventSink sink;
        KxControlBase *c = makeControl(item.get(), &sink);
        QCOMPARE(c->value().toString(), expected);
    }

    void rangeBoxKeepsOrderAndParams()
    {
        auto item = makeItem("RangeBox", "5|10", attrs({{"Minimum", "1"}, {"Maximum", "80"}}));
        EventSink sink;
        auto *c = qobject_cast<KxRangeBox *>(makeControl(item.get(), &sink));
        c->fields().at(0)->setValue(20); // from above to: to follows
        QCOMPARE(c->value().toString(), QStringLiteral("20|20"));
        c->setParam("To", 30);
        QCOMPARE(c->value().toString(), QStringLiteral("20|30"));
        c->setParam("Maximum", 25);
        QCOMPARE(c->value().toString(), QStringLiteral("20|25"));
    }

    void toggleButtonUsesFirstTwoOptions()
    {
        auto item = makeItem("ToggleButton", "on", {}, "off:Off|on:On|x:Extra");
        EventSink sink;
        auto *c = qobject_cast<KxToggleButtonPrivate *>(makeControl(item.get(), &sink));
        QVERIFY(c->toggle()->isChecked());
        QCOMPARE(c->displayValue().toString(), QStringLiteral("On"));
        c->toggle()->click();
        QCOMPARE(c->value().toString(), QStringLiteral("off"));
        QCOMPARE(sink.count(KxValueChangedEvent::eventType()), 1);
    }

    void toggleSliderValue()
    {
        auto item = makeItem("ToggleSlider", "1|1000", attrs({{"Minimum", "100"}, {"Maximum", "10000"}, {"Step", "100"}}));
        EventSink sink;
        auto *c = qobject_cast<KxToggleSlider *>(makeControl(item.get(), &sink));
        QCOMPARE(c->value().toString(), QStringLiteral("1|1000"));
        c->toggle()->click();
        QCOMPARE(c->value().toString(), QStringLiteral("0|1000"));
        QVERIFY(!c->slider()->isEnabled());
    }

    void doubleSliderAndStateSlider()
    {
        auto item = makeItem("DoubleSlider", "60,180", attrs({{"Minimum", "0"}, {"Maximum", "255"}}));
        EventSink sink;
        auto *d = qobject_cast<KxDoubleSlider *>(makeControl(item.get(), &sink));
        QCOMPARE(d->value().toString(), QStringLiteral("60,180"));
        QCOMPARE(d->rangeLabel()->text(), QStringLiteral("[60 - 180]"));
        d->setValue("300,-5"); // out of range and reversed
        QCOMPARE(d->value().toString(), QStringLiteral("0,255"));

        auto state = makeItem("StateSlider", "2", {}, "0:Mute|1:Low|2:Mid|3:High");
        auto *s = qobject_cast<KxStateSlider *>(makeControl(state.get(), &sink));
        QCOMPARE(s->slider()->value(), 2);
        s->slider()->setValue(3);
        QCOMPARE(s->value().toString(), QStringLiteral("3"));
        QCOMPARE(s->displayValue().toString(), QStringLiteral("High"));
    }

    void labelSplitsKeyAndText()
    {
        auto item = makeItem("Label", "1920W1200H");
        EventSink sink;
        KxControlBase *c = makeControl(item.get(), &sink);
        QCOMPARE(c->value().toString(), QStringLiteral("1920W1200H"));
        c->setValue("3:Three");
        QCOMPARE(c->value().toString(), QStringLiteral("3"));
        QCOMPARE(c->displayValue().toString(), QStringLiteral("Three"));
    }

    void lineEditReportsFinishedEdits()
    {
        auto item = makeItem("LineEdit", "abc", attrs({{"MAXLENGTH", "5"}, {"RegExp", "[a-z]*"}}));
        EventSink sink;
        auto *c = qobject_cast<KxLineEdit *>(makeControl(item.get(), &sink));
        QCOMPARE(c->lineEdit()->maxLength(), 5);
        c->lineEdit()->setFocus();
        c->lineEdit()->end(false);
        QTest::keyClicks(c->lineEdit(), "dE9fgh");
        QCOMPARE(c->value().toString(), QStringLiteral("abcdf"));
        QVERIFY(sink.events.isEmpty()); // nothing per keystroke
        QTest::keyClick(c->lineEdit(), Qt::Key_Return);
        QCOMPARE(sink.count(KxValueChangedEvent::eventType()), 1);
        QTest::keyClick(c->lineEdit(), Qt::Key_Return); // unchanged: no second report
        QCOMPARE(sink.count(KxValueChangedEvent::eventType()), 1);
    }

    void regExpDialog()
    {
        const KxRegExpCheck bad = KxRegExpCheck::evaluate("(ab", "ab");
        QVERIFY(!bad.valid);
        QVERIFY(!bad.error.isEmpty());
        QVERIFY(KxRegExpCheck::evaluate("[0-9]+", "123").matched);
        QVERIFY(!KxRegExpCheck::evaluate("[0-9]+", "12a").matched); // whole text only

        auto item = makeItem("RegExpEdit", ".*");
        EventSink sink;
        auto *c = qobject_cast<KxRegularExpressionEdit *>(makeControl(item.get(), &sink));
        KxRegExpDlg *dlg = c->openDialog();
        dlg->patternEdit()->setText("^A\\d{3}$");
        dlg->sampleEdit()->setText("A123");
        dlg->accept();
        QCOMPARE(c->value().toString(), QStringLiteral("^A\\d{3}$"));
        QCOMPARE(sink.count(KxValueChangedEvent::eventType()), 1);
    }

    void buttonAsksBusyFirst()
    {
        auto item = makeItem("Button", "1", attrs({{"sync", "0"}}), "1:Start");
        EventSink sink;
        auto *c = qobject_cast<KxButton *>(makeControl(item.get(), &sink));
        QCOMPARE(c->buttons().size(), 1);
        QCOMPARE(c->buttons().first()->focusPolicy(), Qt::NoFocus);
        FixedBusy busy;
        KxButton::setBusyQuery(&busy);
        KxScriptedUiBackend ui;

        busy.busy = true;
        c->buttons().first()->click();
        QVERIFY(sink.events.isEmpty());
        QCOMPARE(ui.messageTexts(), QStringList{"#ID_ButtonClick_INFO"});
        QCOMPARE(ui.lastMessage().title, QStringLiteral("#IDS_Tips"));

        busy.busy = false;
        c->buttons().first()->click();
        QCOMPARE(sink.count(KxCustomChangedEvent::eventType()), 1);
        const QVariantMap data = sink.events.last().data.toMap();
        QCOMPARE(data.value("Type").toString(), QStringLiteral("ButtonClicked"));
        QCOMPARE(data.value("Params").toMap(),
                 (QVariantMap{{"id", "1"}, {"text", "Start"}, {"sync", "0"}}));
        KxButton::setBusyQuery(nullptr);
        QVERIFY(ui.errors().isEmpty());
    }

    void ipv4Fields()
    {
        auto item = makeItem("Ipv4", "127.0.0.2");
        EventSink sink;
        auto *c = qobject_cast<KxIPV4 *>(makeControl(item.get(), &sink));
        QCOMPARE(c->value().toString(), QStringLiteral("127.0.0.2"));
        c->setValue("garbage");
        QCOMPARE(c->value().toString(), QStringLiteral("0.0.0.0"));
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
