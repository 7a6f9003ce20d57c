// Small styled controls: the toggle switch, the search field and the styled buttons.
#include "KxI18nUtil.h"
#include "KxPaintedIcon.h"
#include "KxSearchLineEdit.h"
#include "KxStyledButtons.h"
#include "KxToggleSwitch.h"

#include <QAction>
#include <QtTest>

class TestControls : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(KxI18nUtil::instance()->loadMain(BREVAN_SOURCE_DIR "/models/resources", "zh_cn"));
    }

    void toggleSwitch()
    {
        KxToggleSwitch sw(QStringLiteral("#IDS_Yes"));
        QCOMPARE(sw.text(), QStringLiteral("是"));
        QVERIFY(sw.sizeHint().width() > 40); // track plus text
        sw.show();
        QSignalSpy spy(&sw, &QAbstractButton::toggled);
        QTest::mouseClick(&sw, Qt::LeftButton);
        QVERIFY(sw.isChecked());
        QCOMPARE(spy.count(), 1);
        QTRY_COMPARE(sw.knobPosition(), 1.0);
        QTest::mouseClick(&sw, Qt::LeftButton);
        QVERIFY(!sw.isChecked());
        QTRY_COMPARE(sw.knobPosition(), 0.0);
        sw.setFocus();
        QTest::keyClick(&sw, Qt::Key_Space);
        QVERIFY(sw.isChecked());
        sw.setEnabled(false);
        QTest::mouseClick(&sw, Qt::LeftButton);
        QVERIFY(sw.isChecked());
        QCOMPARE(spy.count(), 3);
    }

    void toggleSetFromCodeJumps()
    {
        KxToggleSwitch hidden;
        hidden.setChecked(true);
        QCOMPARE(hidden.knobPosition(), 1.0);
        hidden.setChecked(false);
        QCOMPARE(hidden.knobPosition(), 0.0);
    }

    void searchClearAndSignal()
    {
        KxSearchLineEdit edit;
        edit.show();
        QSignalSpy spy(&edit, &KxSearchLineEdit::signal_searchChanged);
        QVERIFY(!edit.clearAction()->isVisible());
        QTest::keyClicks(&edit, QStringLiteral("ab"));
        QCOMPARE(spy.count(), 2);
        QCOMPARE(spy.last().first().toString(), QStringLiteral("ab"));
        QVERIFY(edit.clearAction()->isVisible());
        edit.clearAction()->trigger();
        QCOMPARE(edit.text(), QString());
        QCOMPARE(spy.last().first().toString(), QString());
        QVERIFY(!edit.clearAction()->isVisible());
    }

    void searchDelayCoalesces()
    {
        KxSearchLineEdit edit;
        edit.setDelay(80);
        edit.show();
        QSignalSpy spy(&edit, &KxSearchLineEdit::signal_searchChanged);
        QTest::keyClicks(&edit, QStringLiteral("SN123"));
        QCOMPARE(spy.count(), 0);
        QTRY_COMPARE(spy.count(), 1);
        QCOMPARE(spy.first().first().toString(), QStringLiteral("SN123"));
    }

    void pushButtonKinds_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("property");
        QTest::newRow("normal") << int(KxPushButton::Normal) << "normal";
        QTest::newRow("primary") << int(KxPushButton::Primary) << "primary";
        QTest::newRow("danger") << int(KxPushButton::Danger) << "danger";
    }
    void pushButtonKinds()
    {
        QFETCH(int, kind);
        QFETCH(QString, property);
        KxPushButton b(QStringLiteral("#IDS_Cancel"), KxPushButton::Kind(kind));
        QCOMPARE(b.text(), QStringLiteral("取消"));
        QCOMPARE(b.property("kind").toString(), property);
        QCOMPARE(b.textKey(), QStringLiteral("#IDS_Cancel"));
        // Wide enough for its translated text.
        QVERIFY(b.sizeHint().width() >= b.fontMetrics().horizontalAdvance(b.text()) + 20);
    }

    void toolButtonSwapsCheckedIcon()
    {
        const QIcon normal = kxPaintedIcon(KxIconShape::Search, 18);
        const QIcon checked = kxPaintedIcon(KxIconShape::Success, 18);
        KxToolButton b(QStringLiteral("#IDS_Back"));
        QCOMPARE(b.toolButtonStyle(), Qt::ToolButtonTextOnly);
        b.setCheckable(true);
        b.setIcons(normal, checked);
        QCOMPARE(b.toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
        QCOMPARE(b.icon().cacheKey(), normal.cacheKey());
        b.setChecked(true);
        QCOMPARE(b.icon().cacheKey(), checked.cacheKey());
        b.setChecked(false);
        QCOMPARE(b.icon().cacheKey(), normal.cacheKey());
        QCOMPARE(b.text(), QStringLiteral("返回"));
    }

    void paintedIconsDrawSomething_data()
    {
        QTest::addColumn<int>("shape");
        for (int s = int(KxIconShape::Close); s <= int(KxIconShape::Clear); ++s)
            QTest::newRow(qPrintable(QString::number(s))) << s;
    }
    void paintedIconsDrawSomething()
    {
        QFETCH(int, shape);
        const QImage img = kxPaintedPixmap(KxIconShape(shape), 24, QColor(), 2.0).toImage();
        QCOMPARE(img.size(), QSize(48, 48));
        int opaque = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                opaque += qAlpha(img.pixel(x, y)) > 128 ? 1 : 0;
        QVERIFY2(opaque > 40, qPrintable(QString::number(opaque)));
        QVERIFY(qAlpha(img.pixel(0, 0)) < 128 || shape == int(KxIconShape::Warning));
    }
};

QTEST_MAIN(TestControls)
#include "tst_controls.moc"
