// The control base: title and change mark, event delivery, silent mode and value round trips.
#include "controls_testutil.h"

#include "KxControlUtil.h"

#include <QComboBox>
#include <QLabel>
#include <QSpinBox>
#include <QtTest>

class TestControlBase : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { KxStandardControls::registerAll(); }

    void hiddenNameStillSendsEvents()
    {
        Made<KxSpinBox> m(QStringLiteral("SpinBox"), QStringLiteral("5"),
                          {{QStringLiteral("HideDisplayName"), QStringLiteral("1")},
                           {QStringLiteral("Maximum"), QStringLiteral("10")}});
        QVERIFY(m.c);
        QVERIFY(m.c->label());
        QVERIFY(m.c->label()->isHidden());
        m.c->spinBox()->setValue(7);
        QCOMPARE(m.sink.count(KxValueChangedEvent::eventType()), 1);
        QCOMPARE(m.sink.events.first().id, m.item->id);
        QCOMPARE(m.sink.events.first().control, m.c);
    }

    void changeMarkFollowsShowChanged_data()
    {
        QTest::addColumn<bool>("showChanged");
        QTest::addColumn<QString>("changedTips");
        QTest::addColumn<bool>("marked");
        QTest::newRow("on") << true << QString() << true;
        QTest::newRow("off") << false << QString() << false;
        QTest::newRow("tips off") << true << QStringLiteral("0") << false;
        QTest::newRow("tips 1") << true << QStringLiteral("1") << true;
    }
    void changeMarkFollowsShowChanged()
    {
        QFETCH(bool, showChanged);
        QFETCH(QString, changedTips);
        QFETCH(bool, marked);
        QVariantMap attrs{{QStringLiteral("Maximum"), QStringLiteral("10")}};
        if (!changedTips.isNull())
            attrs.insert(QStringLiteral("ChangedTips"), changedTips);
        Made<KxSpinBox> m(QStringLiteral("SpinBox"), QStringLiteral("5"), attrs);
        m.c->setShowChanged(showChanged);
        QCOMPARE(m.c->showChanged(), marked);
        m.c->spinBox()->setValue(6);
        QCOMPARE(m.c->label()->text().contains(QLatin1String(":*")), marked);
        m.c->spinBox()->setValue(5); // back to the stored value: no mark
        QCOMPARE(m.c->label()->text(), QStringLiteral("Item:"));
    }

    void revertSilentAndNotifying()
    {
        Made<KxSpinBox> m(QStringLiteral("SpinBox"), QStringLiteral("5"),
                          {{QStringLiteral("Maximum"), QStringLiteral("10")}});
        m.c->spinBox()->setValue(8);
        QVERIFY(m.c->isModified());
        m.sink.events.clear();

        m.c->revertValue(false);
        QCOMPARE(m.c->value().toString(), QStringLiteral("5"));
        QVERIFY(!m.c->isModified());
        QVERIFY(m.sink.events.isEmpty());
        QVERIFY(!m.c->isSilent()); // silence only lasts for the revert

        m.c->spinBox()->setValue(9);
        m.sink.events.clear();
        m.c->revertValue(true);
        QCOMPARE(m.c->value().toString(), QStringLiteral("5"));
        QCOMPARE(m.sink.count(KxValueChangedEvent::eventType()), 1); // synchronous: already here
        QCOMPARE(m.sink.events.size(), 1);

        m.sink.events.clear();
        m.c->revertValue(true); // nothing to revert
        QVERIFY(m.sink.events.isEmpty());
    }

    void applyValueOnlyWhenDifferent()
    {
        Made<> m(QStringLiteral("ComboBox"), QStringLiteral("1"), {},
                 QStringLiteral("0:A|1:B|2:C"));
        m.c->applyValue(QStringLiteral("1"));
        QVERIFY(m.sink.events.isEmpty());
        m.c->applyValue(QStringLiteral("2"));
        QCOMPARE(m.sink.count(KxValueChangedEvent::eventType()), 1);
        QCOMPARE(m.c->value().toString(), QStringLiteral("2"));
    }

    void acceptStoresValue()
    {
        Made<KxSpinBox> m(QStringLiteral("SpinBox"), QStringLiteral("5"),
                          {{QStringLiteral("Maximum"), QStringLiteral("10")}});
        m.c->setShowChanged(true);
        m.c->spinBox()->setValue(3);
        m.c->acceptValue();
        QCOMPARE(m.item->value.toString(), QStringLiteral("3"));
        QVERIFY(!m.c->isModified());
        QCOMPARE(m.c->label()->text(), QStringLiteral("Item:"));
    }

    void silentSuppressesEvents()
    {
        Made<KxSpinBox> m(QStringLiteral("SpinBox"), QStringLiteral("5"),
                          {{QStringLiteral("Maximum"), QStringLiteral("10")}});
        m.c->setSilent(true);
        m.c->spinBox()->setValue(6);
        m.c->notifyCustomChanged(QStringLiteral("X"), QVariant(), true);
        QVERIFY(m.sink.events.isEmpty());
        m.c->setSilent(false);
        m.c->notifyCustomChanged(QString(), QVariant(), true); // empty type: nothing
        QVERIFY(m.sink.events.isEmpty());
    }

    void postedDeliveryArrivesLater()
    {
        Made<> m(QStringLiteral("SpinBox"), QStringLiteral("5"),
                 {{QStringLiteral("Maximum"), QStringLiteral("10")}});
        m.c->notifyValueChanged(false);
        QVERIFY(m.sink.events.isEmpty());
        QCoreApplication::sendPostedEvents(&m.sink);
        QCOMPARE(m.sink.count(KxValueChangedEvent::eventType()), 1);

        m.c->notifyCustomChanged(QStringLiteral("Go"), QVariantMap{{QStringLiteral("a"), 1}}, false);
        delete m.c; // the posted event must not hand out a dangling control
        QCoreApplication::sendPostedEvents(&m.sink);
        QCOMPARE(m.sink.events.last().type, KxCustomChangedEvent::eventType());
        QCOMPARE(m.sink.events.last().control, nullptr);
        QCOMPARE(m.sink.events.last().data.toMap().value(QStringLiteral("Type")).toString(), QStringLiteral("Go"));
    }

    void customAndExtendData()
    {
        Made<> m(QStringLiteral("SpinBox"), QStringLiteral("5"));
        m.c->notifyCustomChanged(QStringLiteral("T"), QVariant(), true);
        QVERIFY(!m.sink.events.last().data.toMap().contains(QStringLiteral("Params")));
        m.c->notifyExtend(QStringLiteral("CTRL1"));
        QCOMPARE(m.sink.events.last().type, KxExtendEvent::eventType());
        QCOMPARE(m.sink.events.last().data.toMap(), (QVariantMap{{QStringLiteral("ControlID"), QStringLiteral("CTRL1")}}));
    }

    void sizeAndEnableAttributes()
    {
        Made<> m(QStringLiteral("ComboBox"), QStringLiteral("0"),
                 {{QStringLiteral("minwidth"), QStringLiteral("150")},
                  {QStringLiteral("MAXWIDTH"), QStringLiteral("400")},
                  {QStringLiteral("MinHeight"), QStringLiteral("abc")},
                  {QStringLiteral("Enable"), QStringLiteral("0")}},
                 QStringLiteral("0:A"));
        QCOMPARE(m.c->editorWidget()->minimumWidth(), 150);
        QCOMPARE(m.c->editorWidget()->maximumWidth(), 400);
        QCOMPARE(m.c->editorWidget()->minimumHeight(), 0);
        QVERIFY(!m.c->editorWidget()->isEnabled());
    }

    void setupFailsWithoutItem()
    {
        KxStandardControls::registerAll();
        std::unique_ptr<KxControlBase> c(KxControlCreator::instance()->create(QStringLiteral("Label"), nullptr));
        QVERIFY(c);
        QVERIFY(!c->setup(nullptr, nullptr));
        QVERIFY(!c->value().isValid()); // no editor yet
    }
};

QTEST_MAIN(TestControlBase)
#include "tst_controlbase.moc"
