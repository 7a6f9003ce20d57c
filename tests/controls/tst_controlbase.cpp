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
        auto item = makeItem(QStringLiteral("SpinBox"), QStringLiteral("5"),
                             {{QStringLiteral("HideDisplayName"), QStringLiteral("1")},
                              {QStringLiteral("Maximum"), QStringLiteral("10")}});
        EventSink sink;
        auto *c = qobject_cast<KxSpinBox *>(makeControl(item.get(), &sink));
        QVERIFY(c);
        QVERIFY(c->label());
        QVERIFY(c->label()->isHidden());
        c->spinBox()->setValue(7);
        QCOMPARE(sink.count(KxValueChangedEvent::eventType()), 1);
        QCOMPARE(sink.events.first().id, item->id);
        QCOMPARE(sink.events.first().control, c);
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
        auto item = makeItem(QStringLiteral("SpinBox"), QStringLiteral("5"), attrs);
        EventSink sink;
        auto *c = qobject_cast<KxSpinBox *>(makeControl(item.get(), &sink));
        c->setShowChanged(showChanged);
        QCOMPARE(c->showChanged(), marked);
        c->spinBox()->setValue(6);
        QCOMPARE(c->label()->text().contains(QLatin1String(":*")), marked);
        c->spinBox()->setValue(5); // back to the stored value: no mark
        QCOMPARE(c->label()->text(), QStringLiteral("Item:"));
    }

    void revertSilentAndNotifying()
    {
        auto item = makeItem(QStringLiteral("SpinBox"), QStringLiteral("5"),
                             {{QStringLiteral("Maximum"), QStringLiteral("10")}});
        EventSink sink;
        auto *c = qobject_cast<KxSpinBox *>(makeControl(item.get(), &sink));
        c->spinBox()->setValue(8);
        QVERIFY(c->isModified());
        sink.events.clear();

        c->revertValue(false);
        QCOMPARE(c->value().toString(), QStringLiteral("5"));
        QVERIFY(!c->isModified());
        QVERIFY(sink.events.isEmpty());
        QVERIFY(!c->isSilent()); // silence only lasts for the revert

        c->spinBox()->setValue(9);
        sink.events.clear();
        c->revertValue(true);
        QCOMPARE(c->value().toString(), QStringLiteral("5"));
        QCOMPARE(sink.count(KxValueChangedEvent::eventType()), 1); // synchronous: already here
        QCOMPARE(sink.events.size(), 1);

        sink.events.clear();
        c->revertValue(true); // nothing to revert
        QVERIFY(sink.events.isEmpty());
    }

    void applyValueOnlyWhenDifferent()
    {
        auto item = makeItem(QStringLiteral("ComboBox"), QStringLiteral("1"), {}, QStringLiteral("0:A|1:B|2:C"));
        EventSink sink;
        KxControlBase *c = makeControl(item.get(), &sink);
        c->applyValue(QStringLiteral("1"));
        QVERIFY(sink.events.isEmpty());
        c->applyValue(QStringLiteral("2"));
        QCOMPARE(sink.count(KxValueChangedEvent::eventType()), 1);
        QCOMPARE(c->value().toString(), QStringLiteral("2"));
    }

    void acceptStoresValue()
    {
        auto item = makeItem(QStringLiteral("SpinBox"), QStringLiteral("5"),
                             {{QStringLiteral("Maximum"), QStringLiteral("10")}});
        EventSink sink;
        auto *c = qobject_cast<KxSpinBox *>(makeControl(item.get(), &sink));
        c->setShowChanged(true);
        c->spinBox()->setValue(3);
        c->acceptValue();
        QCOMPARE(item->value.toString(), QStringLiteral("3"));
        QVERIFY(!c->isModified());
        QCOMPARE(c->label()->text(), QStringLiteral("Item:"));
    }

    void silentSuppressesEvents()
    {
        auto item = makeItem(QStringLiteral("SpinBox"), QStringLiteral("5"),
                             {{QStringLiteral("Maximum"), QStringLiteral("10")}});
        EventSink sink;
        auto *c = qobject_cast<KxSpinBox *>(makeControl(item.get(), &sink));
        c->setSilent(true);
        c->spinBox()->setValue(6);
        c->notifyCustomChanged(QStringLiteral("X"), QVariant(), true);
        QVERIFY(sink.events.isEmpty());
        c->setSilent(false);
        c->notifyCustomChanged(QString(), QVariant(), true); // empty type: nothing
        QVERIFY(sink.events.isEmpty());
    }

    void postedDeliveryArrivesLater()
    {
        auto item = makeItem(QStringLiteral("SpinBox"), QStringLiteral("5"),
                             {{QStringLiteral("Maximum"), QStringLiteral("10")}});
        EventSink sink;
        KxControlBase *c = makeControl(item.get(), &sink);
        c->notifyValueChanged(false);
        QVERIFY(sink.events.isEmpty());
        QCoreApplication::sendPostedEvents(&sink);
        QCOMPARE(sink.count(KxValueChangedEvent::eventType()), 1);

        c->notifyCustomChanged(QStringLiteral("Go"), QVariantMap{{QStringLiteral("a"), 1}}, false);
        delete c; // the posted event must not hand out a dangling control
        QCoreApplication::sendPostedEvents(&sink);
        QCOMPARE(sink.events.last().type, KxCustomChangedEvent::eventType());
        QCOMPARE(sink.events.last().control, nullptr);
        QCOMPARE(sink.events.last().data.toMap().value(QStringLiteral("Type")).toString(), QStringLiteral("Go"));
    }

    void customAndExtendData()
    {
        auto item = makeItem(QStringLiteral("SpinBox"), QStringLiteral("5"));
        EventSink sink;
        KxControlBase *c = makeControl(item.get(), &sink);
        c->notifyCustomChanged(QStringLiteral("T"), QVariant(), true);
        QVERIFY(!sink.events.last().data.toMap().contains(QStringLiteral("Params")));
        c->notifyExtend(QStringLiteral("CTRL1"));
        QCOMPARE(sink.events.last().type, KxExtendEvent::eventType());
        QCOMPARE(sink.events.last().data.toMap(), (QVariantMap{{QStringLiteral("ControlID"), QStringLiteral("CTRL1")}}));
    }

    void sizeAndEnableAttributes()
    {
        auto item = makeItem(QStringLiteral("ComboBox"), QStringLiteral("0"),
                             {{QStringLiteral("minwidth"), QStringLiteral("150")},
                              {QStringLiteral("MAXWIDTH"), QStringLiteral("400")},
                              {QStringLiteral("MinHeight"), QStringLiteral("abc")},
                              {QStringLiteral("Enable"), QStringLiteral("0")}},
                             QStringLiteral("0:A"));
        EventSink sink;
        KxControlBase *c = makeControl(item.get(), &sink);
        QCOMPARE(c->editorWidget()->minimumWidth(), 150);
        QCOMPARE(c->editorWidget()->maximumWidth(), 400);
        QCOMPARE(c->editorWidget()->minimumHeight(), 0);
        QVERIFY(!c->editorWidget()->isEnabled());
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
