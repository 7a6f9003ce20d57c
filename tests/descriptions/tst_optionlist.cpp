#include "KxOptionList.h"
#include "KxPageLoader.h"
#include "KxTrigger.h"
#include "KxValueRule.h"

#include <QtTest>

class TestOptionList : public QObject
{
    Q_OBJECT

private:
    static std::unique_ptr<KxPagesInfo> item(const QByteArray &attrs)
    {
        return KxPageLoader::loadPagesFromBytes(
            "<R><Pages><Page Id=\"P\"><Group><Item Id=\"X\" " + attrs + "/></Group></Page></Pages></R>",
            QStringLiteral("rule.xml"));
    }

private slots:
    void inlineOptions_data();
    void inlineOptions();
    void hugeRangeIsCut();
    void limit_data();
    void limit();
    void triggerEvaluation_data();
    void triggerEvaluation();
    void valueRules_data();
    void valueRules();
    void emptyRules_data();
    void emptyRules();
};

void TestOptionList::inlineOptions_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<int>("problems");
    QTest::newRow("key:text") << "0:Off|1:On" << QStringList{"0", "1"} << QStringList{"Off", "On"} << 0;
    QTest::newRow("range") << "1-3" << QStringList{"1", "2", "3"} << QStringList{"1", "2", "3"} << 0;
    QTest::newRow("reversed range") << "5-2" << QStringList{} << QStringList{} << 1;
    QTest::newRow("single-value range") << "4-4" << QStringList{"4"} << QStringList{"4"} << 0;
    QTest::newRow("negative start") << "-2-1" << QStringList{"-2", "-1", "0", "1"}
                                    << QStringList{"-2", "-1", "0", "1"} << 0;
    QTest::newRow("colon before dash") << " 1-2 : A-B " << QStringList{"1-2"} << QStringList{"A-B"} << 0;
    QTest::newRow("empty pieces") << "|a||b |" << QStringList{"a", "b"} << QStringList{"a", "b"} << 0;
    QTest::newRow("plain words with dash") << "Auto-Focus" << QStringList{"Auto-Focus"}
                                           << QStringList{"Auto-Focus"} << 1;
    QTest::newRow("negative value") << "-5" << QStringList{"-5"} << QStringList{"-5"} << 0;
    QTest::newRow("mixed") << "0:Off|2-3|x" << QStringList{"0", "2", "3", "x"}
                           << QStringList{"Off", "2", "3", "x"} << 0;
}

void TestOptionList::inlineOptions()
{
    QFETCH(QString, text);
    QFETCH(QStringList, keys);
    QFETCH(QStringList, texts);
    QStringList problems;
    const QList<KxFeatureInfo> opts = KxOptionList::parseInline(text, &problems);
    QStringList gotKeys;
    QStringList gotTexts;
    for (const KxFeatureInfo &f : opts) {
        gotKeys << f.key;
        gotTexts << f.text.toString();
    }
    QCOMPARE(gotKeys, keys);
    QCOMPARE(gotTexts, texts);
    QTEST(problems.size(), "problems");
}

void TestOptionList::hugeRangeIsCut()
{
    QStringList problems;
    const auto opts = KxOptionList::parseInline(QStringLiteral("0-18446744073709551615"), &problems);
    QCOMPARE(opts.size(), KxOptionList::MaxRangeOptions);
    QCOMPARE(opts.last().key, QString::number(KxOptionList::MaxRangeOptions - 1));
    QCOMPARE(problems.size(), 1);
}

void TestOptionList::limit_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("allowed");
    QTest::newRow("single") << "3" << "3" << true;
    QTest::newRow("single other") << "3" << "4" << false;
    QTest::newRow("range in") << "1|5-8" << "7" << true;
    QTest::newRow("range edge") << "1|5-8" << "8" << true;
    QTest::newRow("between") << "1|5-8" << "4" << false;
    QTest::newRow("negative range") << "-5--1" << "-3" << true;
    QTest::newRow("literal") << "A|B" << "B" << true;
    QTest::newRow("second part ignored for keys") << "2_7:8" << "7" << false;
    QTest::newRow("reversed range allows nothing") << "8-5" << "6" << false;
}

void TestOptionList::limit()
{
    QFETCH(QString, text);
    QFETCH(QString, key);
    const KxLimit l = KxLimit::parse(text);
    QTEST(l.allows(key), "allowed");
    if (text.contains('_')) {
        QCOMPARE(l.extra.size(), 1);
        QCOMPARE(l.extra[0], (QStringList{"7", "8"}));
    }
}

void TestOptionList::triggerEvaluation_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<bool>("holds");
    QTest::newRow("both hold") << "A=1;B!=2|3" << "1" << "4" << true;
    QTest::newRow("B excluded") << "A=1;B!=2|3" << "1" << "3" << false;
    QTest::newRow("A not listed") << "A=1|2;B!=2" << "5" << "0" << false;
    QTest::newRow("A second value") << "A=1|2" << "2" << "" << true;
    QTest::newRow("not empty holds") << "A!=" << "x" << "" << true;
    QTest::newRow("not empty fails") << "A!=" << "" << "" << false;
    QTest::newRow("absent link does not decide") << "C=9" << "1" << "1" << true;
}

void TestOptionList::triggerEvaluation()
{
    QFETCH(QString, text);
    QFETCH(QString, a);
    QFETCH(QString, b);
    KxTriggerSet set;
    set.addGroup(KxTriggerParser::parseAttribute(text));
    QTEST(set.holds({{"A", a}, {"B", b}}), "holds");
}

void TestOptionList::valueRules_data()
{
    QTest::addColumn<QByteArray>("attrs");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("accepted");
    const QByteArray combo = "ControlType=\"ComboBox\" StringList=\"0:Off|1:On|2:Auto|3:X\" Limit=\"0-2\" "
                             "StringListHide=\"2\"";
    QTest::newRow("combo option") << combo << "1" << true;
    QTest::newRow("combo hidden still accepted") << combo << "2" << true;
    QTest::newRow("combo limited out") << combo << "3" << false;
    QTest::newRow("combo case matters") << QByteArray("ControlType=\"ComboBox\" StringList=\"a|b\"") << "A" << false;
    const QByteArray check = "ControlType=\"CheckBox\" StringList=\"A|B|C\"";
    QTest::newRow("check subset") << check << "B|C" << true;
    QTest::newRow("check none") << check << "" << true;
    QTest::newRow("check unknown") << check << "B|D" << false;
    const QByteArray spin = "ControlType=\"SpinBox\" Minimum=\"10\" Maximum=\"100\"";
    QTest::newRow("spin in") << spin << "10" << true;
    QTest::newRow("spin above") << spin << "101" << false;
    QTest::newRow("spin text") << spin << "ten" << false;
    QTest::newRow("spin odd") << spin + " LIMIT=\"Odd\"" << "12" << false;
    QTest::newRow("spin odd ok") << spin + " LIMIT=\"Odd\"" << "13" << true;
    QTest::newRow("spin limit") << spin + " Limit=\"20-30\"" << "40" << false;
    const QByteArray slider = "ControlType=\"Slider\" Minimum=\"0\" Maximum=\"10\" Multiple=\"5\" Remainder=\"2\"";
    QTest::newRow("slider step value") << slider << "17" << true;
    QTest::newRow("slider off step") << slider << "18" << false;
    QTest::newRow("slider top") << slider << "52" << true;
    QTest::newRow("slider beyond") << slider << "57" << false;
    QTest::newRow("double") << QByteArray("ControlType=\"DoubleSpinBox\" Minimum=\"0\" Maximum=\"1\"") << "0.5" << true;
    QTest::newRow("double out") << QByteArray("ControlType=\"DoubleSpinBox\" Minimum=\"0\" Maximum=\"1\"") << "1.5" << false;
    const QByteArray range = "ControlType=\"RangeBox\" Minimum=\"0\" Maximum=\"9\"";
    QTest::newRow("range box") << range << "1|5" << true;
    QTest::newRow("range box comma") << range << "1,5" << false;
    QTest::newRow("point") << QByteArray("ControlType=\"Point\" Minimum=\"0\" Maximum=\"640\"") << "10,20" << true;
    QTest::newRow("line") << QByteArray("ControlType=\"Line\" Minimum=\"0\" Maximum=\"9\"") << "1,2|3,4" << true;
    QTest::newRow("line bad") << QByteArray("ControlType=\"Line\" Minimum=\"0\" Maximum=\"9\"") << "1,2|3" << false;
    const QByteArray toggle = "ControlType=\"ToggleSlider\" Minimum=\"100\" Maximum=\"1000\"";
    QTest::newRow("toggle slider") << toggle << "1|500" << true;
    QTest::newRow("toggle slider state") << toggle << "2|500" << false;
    QTest::newRow("text length") << QByteArray("ControlType=\"LineEdit\" MaxLength=\"4\"") << "abcd" << true;
    QTest::newRow("text too long") << QByteArray("ControlType=\"LineEdit\" MaxLength=\"4\"") << "abcde" << false;
    QTest::newRow("text Maximum") << QByteArray("ControlType=\"TextEdit\" Maximum=\"2\"") << "abc" << false;
    QTest::newRow("text regexp") << QByteArray("ControlType=\"LineEdit\" RegExp=\"[A-Z]+\"") << "ab" << false;
    QTest::newRow("hex") << QByteArray("ControlType=\"HexEdit\" MaxLength=\"6\"") << "01 0A FF" << true;
    QTest::newRow("hex bad") << QByteArray("ControlType=\"HexEdit\"") << "0G" << false;
    QTest::newRow("ipv4") << QByteArray("ControlType=\"Ipv4\"") << "192.168.1.20" << true;
    QTest::newRow("ipv4 bad") << QByteArray("ControlType=\"Ipv4\"") << "192.168.1.256" << false;
    QTest::newRow("button free") << QByteArray("ControlType=\"Button\"") << "anything" << true;
}

void TestOptionList::valueRules()
{
    QFETCH(QByteArray, attrs);
    QFETCH(QString, value);
    auto pages = item(attrs);
    QVERIFY(pages);
    const KxValueRule rule = KxValueRule::fromItem(*pages->findItem("X"));
    QString why;
    const bool ok = rule.accepts(value, &why);
    QFETCH(bool, accepted);
    QVERIFY2(ok == accepted, qPrintable(why));
    QCOMPARE(why.isEmpty(), accepted);
}

void TestOptionList::emptyRules_data()
{
    QTest::addColumn<QByteArray>("attrs");
    QTest::addColumn<bool>("empty");
    QTest::newRow("combo without options") << QByteArray("ControlType=\"ComboBox\"") << true;
    QTest::newRow("combo limited to nothing") << QByteArray("ControlType=\"ComboBox\" StringList=\"1|2\" Limit=\"5\"") << true;
    QTest::newRow("combo reversed range") << QByteArray("ControlType=\"ComboBox\" StringList=\"5-2\"") << true;
    QTest::newRow("combo fine") << QByteArray("ControlType=\"ComboBox\" StringList=\"1|2\"") << false;
    QTest::newRow("spin without max") << QByteArray("ControlType=\"SpinBox\" Minimum=\"1\"") << true;
    QTest::newRow("spin min above max") << QByteArray("ControlType=\"SpinBox\" Minimum=\"9\" Maximum=\"1\"") << true;
    QTest::newRow("spin limit outside") << QByteArray("ControlType=\"SpinBox\" Minimum=\"0\" Maximum=\"9\" Limit=\"20-30\"") << true;
    QTest::newRow("spin fine") << QByteArray("ControlType=\"SpinBox\" Minimum=\"0\" Maximum=\"9\"") << false;
    QTest::newRow("label needs nothing") << QByteArray("ControlType=\"Label\"") << false;
}

void TestOptionList::emptyRules()
{
    QFETCH(QByteArray, attrs);
    auto pages = item(attrs);
    QVERIFY(pages);
    const KxValueRule rule = KxValueRule::fromItem(*pages->findItem("X"));
    QString why;
    QTEST(rule.isEmpty(&why), "empty");
    QCOMPARE(why.isEmpty(), !rule.isEmpty());
}

QTEST_GUILESS_MAIN(TestOptionList)
#include "tst_optionlist.moc"
