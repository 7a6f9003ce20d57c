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
    // A registry that has not registered a type falls back to the table.
    QCOMPARE(KxControlCreator().effectiveDefaultReturnType("RangeBox"), QStringLiteral("range_int"));
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
