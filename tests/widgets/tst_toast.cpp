// Toasts: their time, stacking, de-duplication and the cap on how many stay at once.
#include "KxI18nUtil.h"
#include "KxToast.h"

#include <QtTest>

#include <memory>

class TestToast : public QObject
{
    Q_OBJECT
    std::unique_ptr<QWidget> m_window;

private slots:
    void initTestCase()
    {
        QVERIFY(KxI18nUtil::instance()->loadMain(BREVAN_SOURCE_DIR "/models/resources", "en"));
    }
    // A fresh window per case, so no toast of one case is still there in the next.
    void init()
    {
        m_window = std::make_unique<QWidget>();
        m_window->resize(800, 600);
        m_window->show();
    }
    void cleanup() { m_window.reset(); }

    void disappearsAfterItsTime()
    {
        QWidget &window = *m_window;
        KxToast *toast = KxToast::showToast(QStringLiteral("#IDS_Tips"), 3000, &window);
        QCOMPARE(toast->text(), QStringLiteral("Prompt"));
        QCOMPARE(toast->duration(), 3000);
        QCOMPARE(toast->parentWidget(), &window);
        QVERIFY(toast->isVisible());
        toast->setFadeDuration(10);
        toast->setDuration(150);
        QPointer<KxToast> guard(toast);
        QTest::qWait(40);
        QVERIFY(guard); // still there before its time
        QTRY_VERIFY_WITH_TIMEOUT(guard.isNull(), 3000);
        QVERIFY(KxToast::toastsOf(&window).isEmpty());
    }

    void stacksAndCloses_gap()
    {
        QWidget &window = *m_window;
        KxToast *a = KxToast::showToast(QStringLiteral("First"), 3000, &window);
        KxToast *b =
            KxToast::showToast(QStringLiteral("Second notice, a bit longer"), 3000, &window);
        QCOMPARE(KxToast::toastsOf(&window), (QList<KxToast *>{a, b}));
        QVERIFY(b->y() >= a->geometry().bottom());
        // Centred horizontally over the window.
        QVERIFY(qAbs(a->geometry().center().x() - window.width() / 2) <= 1);
        QVERIFY(qAbs(b->geometry().center().x() - window.width() / 2) <= 1);
        const int topY = a->y();
        a->setFadeDuration(1);
        a->dismiss();
        QPointer<KxToast> ga(a);
        QTRY_VERIFY(ga.isNull());
        QTRY_COMPARE(b->y(), topY);
    }

    void followsWindowResize()
    {
        QWidget &window = *m_window;
        KxToast *a = KxToast::showToast(QStringLiteral("Centred"), 3000, &window);
        QVERIFY(qAbs(a->geometry().center().x() - 400) <= 1);
        window.resize(1200, 600);
        QTRY_VERIFY(qAbs(a->geometry().center().x() - 600) <= 1);
    }

    void sameTextRestartsInsteadOfStacking()
    {
        QWidget &window = *m_window;
        KxToast *a = KxToast::showToast(QStringLiteral("#IDS_Tips"), 3000, &window);
        KxToast *b = KxToast::showToast(QStringLiteral("#IDS_Tips"), 2000, &window);
        QCOMPARE(a, b);
        QCOMPARE(b->duration(), 2000);
        QCOMPARE(KxToast::toastsOf(&window).size(), 1);
        // A different kind of message with the same text is a separate toast.
        KxToast *c =
            KxToast::showToast(QStringLiteral("#IDS_Tips"), 3000, &window, KxMsgType::Error);
        QVERIFY(c != a);
    }

    void leavingToastComesBackWhenShownAgain()
    {
        QWidget &window = *m_window;
        KxToast *a = KxToast::showToast(QStringLiteral("Again"), 3000, &window);
        a->setFadeDuration(2000);
        a->dismiss();
        QVERIFY(a->isLeaving());
        // While leaving it is not reused: a fresh toast with the same text would be expected.
        KxToast *b = KxToast::showToast(QStringLiteral("Again"), 3000, &window);
        QVERIFY(b != a);
        QVERIFY(!b->isLeaving());
    }

    void capsHowManyStay()
    {
        QWidget &window = *m_window;
        for (int i = 0; i < KxToast::MaxStacked + 3; ++i)
            KxToast::showToast(QStringLiteral("Notice %1").arg(i), 3000, &window);
        int staying = 0;
        for (KxToast *t : KxToast::toastsOf(&window))
            staying += t->isLeaving() ? 0 : 1;
        QCOMPARE(staying, int(KxToast::MaxStacked));
        // The newest stay.
        QVERIFY(!KxToast::toastsOf(&window).last()->isLeaving());
        QVERIFY(KxToast::toastsOf(&window).first()->isLeaving());
    }

    void windowDestroyedWithToasts()
    {
        auto *window = new QWidget;
        window->resize(400, 300);
        window->show();
        QPointer<KxToast> t = KxToast::showToast(QStringLiteral("x"), 3000, window);
        KxToast::showToast(QStringLiteral("y"), 3000, window);
        delete window;
        QVERIFY(t.isNull());
        QTest::qWait(20); // queued re-stacking must not touch the deleted window
        QVERIFY(KxToast::toastsOf(nullptr).isEmpty());
    }

    void longTextWraps()
    {
        QWidget window;
        window.resize(900, 600);
        window.show();
        KxToast *shortToast = KxToast::showToast(QStringLiteral("Saved."), 3000, &window);
        KxToast *longToast = KxToast::showToast(
            QString(QStringLiteral("The reader did not answer in time. ")).repeated(8), 3000,
            &window);
        QVERIFY(longToast->width() <= 500);
        QVERIFY(longToast->height() > shortToast->height() * 2);
    }
};

QTEST_MAIN(TestToast)
#include "tst_toast.moc"
