#include "KxControlCreator.h"
#include "KxControlTypes.h"
#include "KxPageLoader.h"

#include <QtTest>

// The model layer only sees the control base as an incomplete type; a test stands in for it.
class KxControlBase
{
public:
    explicit KxControlBase(int tag) : tag(tag) {}
    virtual ~KxControlBase() { ++destroyed; }
    int tag;
    static int destroyed;
};
int KxControlBase::destroyed = 0;

namespace {
KxControlCreatorFn makeCreator(int tag)
{
    return [tag](QWidget *) { return new KxControlBase(tag); };
}
void deleteControl(KxControlBase *c)
{
    delete c;
}
} // namespace

class TestControlCreator : public QObject
{
    Q_OBJECT

private slots:
    void firstRegistrationWins();
    void rejectsEmptyNameAndMissingCreator();
    void managerCreatesAndDestroys();
    void standardTableDefaults_data();
    void standardTableDefaults();
    void tablesHaveNoDuplicates();
    void registeredDefaultFeedsTheLoader();
};

void TestControlCreator::firstRegistrationWins()
{
    KxControlCreator registry;
    QVERIFY(registry.registerControl("Label", makeCreator(1), deleteControl, "first"));
    QVERIFY(registry.registerControl("Label", makeCreator(2), deleteControl, "second"));
    QCOMPARE(registry.defaultReturnType("Label"), QStringLiteral("first"));
    std::unique_ptr<KxControlBase> c(registry.create("Label", nullptr));
    QVERIFY(c);
    QCOMPARE(c->tag, 1);
    QCOMPARE(registry.registeredTypes(), QStringList{"Label"});
}

void TestControlCreator::rejectsEmptyNameAndMissingCreator()
{
    KxControlCreator registry;
    QVERIFY(!registry.registerControl(QString(), makeCreator(1), deleteControl, "int"));
    QVERIFY(!registry.registerControl("", makeCreator(1), deleteControl, "int"));
    QVERIFY(!registry.registerControl("Late", KxControlCreatorFn(), deleteControl, "int"));
    // A refused registration does not block a later valid one.
    QVERIFY(registry.registerControl("Late", makeCreator(7), deleteControl, "double"));
    QCOMPARE(registry.defaultReturnType("Late"), QStringLiteral("double"));
    QCOMPARE(registry.defaultReturnType(QString()), QString());
    QCOMPARE(registry.defaultReturnType("Unknown"), QString());
    QVERIFY(!registry.create("Unknown", nullptr));
}

void TestControlCreator::managerCreatesAndDestroys()
{
    KxControlCreator registry;
    registry.registerControl("SpinBox", makeCreator(3), deleteControl, "int");
    registry.registerControl("NoDestroyer", makeCreator(4), KxControlDestroyerFn(), "");
    KxControlsMnt mnt(&registry);
    QVERIFY(!mnt.createControl(QString(), nullptr));
    QVERIFY(!mnt.createControl("Missing", nullptr));
    KxControlBase *c = mnt.createControl("SpinBox", nullptr);
    QVERIFY(c);
    QCOMPARE(c->tag, 3);
    const int before = KxControlBase::destroyed;
    QVERIFY(mnt.destroyControl("SpinBox", c));
    QCOMPARE(KxControlBase::destroyed, before + 1);
    std::unique_ptr<KxControlBase> d(mnt.createControl("NoDestroyer", nullptr));
    QVERIFY(!mnt.destroyControl("NoDestroyer", d.get()));
}

void TestControlCreator::standardTableDefaults_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("returnType");
    QTest::addColumn<QString>("className");
    QTest::newRow("Label") << "Label" << "" << "KxLabel";
    QTest::newRow("ToggleButton") << "ToggleButton" << "int" << "KxToggleButtonPrivate";
    QTest::newRow("SpinBox") << "SpinBox" << "int" << "KxSpinBox";
    QTest::newRow("RangeBox") << "RangeBox" << "range_int" << "KxRangeBox";
    QTest::newRow("DoubleRangeBox") << "DoubleRangeBox" << "range_double" << "KxDoubleRangeBox";
    QTest::newRow("Point") << "Point" << "point_int" << "KxPoint";
    QTest::newRow("DoublePoint") << "DoublePoint" << "point_double" << "KxDoublePoint";
    QTest::newRow("Size") << "Size" << "size_int" << "KxSize";
    QTest::newRow("DoubleSize") << "DoubleSize" << "size_double" << "KxDoubleSize";
    QTest::newRow("Line") << "Line" << "line_int" << "KxLine";
    QTest::newRow("Slider") << "Slider" << "int" << "KxSlider";
    QTest::newRow("DoubleSlider") << "DoubleSlider" << "range_int" << "KxDoubleSlider";
    QTest::newRow("SpinSlider") << "SpinSlider" << "int" << "KxSpinSlider";
    QTest::newRow("DoubleSpinBox") << "DoubleSpinBox" << "double" << "KxDoubleSpinBox";
    QTest::newRow("KxVIBRAT") << "KxVIBRAT" << "int" << "KxVIBRAT";
    QTest::newRow("Ipv4") << "Ipv4" << "" << "KxIPV4";
    QTest::newRow("RegExpEdit") << "RegExpEdit" << "" << "KxRegularExpressionEdit";
    QTest::newRow("1D2DEdit") << "1D2DEdit" << "1D2DJSON" << "Kx1D2DEdit";
    QTest::newRow("ZuKitBenchMarkToggle") << "ZuKitBenchMarkToggle" << "int" << "KxZuKitBenchMarkToggle";
    QTest::newRow("ZuKitLocatorContext") << "ZuKitLocatorContext" << "" << "KxZuKitEdit";
    QTest::newRow("ROI") << "ROI" << "ROI" << "KxROIButton";
    QTest::newRow("SOI") << "SOI" << "SOI" << "KxSOIButton";
    QTest::newRow("TOI") << "TOI" << "TOI" << "KxTOIButton";
    QTest::newRow("DATAFORMAT") << "DATAFORMAT" << "" << "KxDataFormat";
    QTest::newRow("URFTWR") << "URFTWR" << "" << "KxURFTWR";
}

void TestControlCreator::standardTableDefaults()
{
    QFETCH(QString, type);
    QVERIFY(KxControlTypes::isKnown(type));
    QTEST(KxControlTypes::knownDefaultReturnType(type), "returnType");
    QTEST(KxControlTypes::className(type), "className");
    // A registry that has not registered the type falls back to the table.
    KxControlCreator registry;
    QTEST(registry.effectiveDefaultReturnType(type), "returnType");
}

void TestControlCreator::tablesHaveNoDuplicates()
{
    QSet<QString> names;
    int count = 0;
    for (const auto *table : {&KxControlTypes::standardTypes(), &KxControlTypes::specialTypes()}) {
        for (const KxControlTypeInfo &i : *table) {
            names.insert(QString::fromLatin1(i.controlType));
            ++count;
        }
    }
    QCOMPARE(names.size(), count);
    QCOMPARE(KxControlTypes::standardTypes().size(), 29);
    QCOMPARE(KxControlTypes::specialTypes().size(), 47);
    QVERIFY(!KxControlTypes::isKnown("label")); // names match exactly
}

void TestControlCreator::registeredDefaultFeedsTheLoader()
{
    QVERIFY(KxControlCreator::instance()->registerControl("TestOnlyWidget", makeCreator(9),
                                                          deleteControl, "custom_rt"));
    auto pages = KxPageLoader::loadPagesFromBytes(
        "<R><Pages><Page Id=\"P\"><Group><Item Id=\"X\" ControlType=\"TestOnlyWidget\"/>"
        "</Group></Page></Pages></R>",
        "t.xml");
    QVERIFY(pages);
    QCOMPARE(pages->findItem("X")->returnType, QStringLiteral("custom_rt"));
    std::unique_ptr<KxControlBase> c(KxControlsMnt::instance()->createControl("TestOnlyWidget", nullptr));
    QVERIFY(c);
    QCOMPARE(c->tag, 9);
}

QTEST_GUILESS_MAIN(TestControlCreator)
#include "tst_controlcreator.moc"
