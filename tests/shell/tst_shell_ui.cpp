// The application-wide event filter and the icon fonts.
#include "BrevanResources.h"
#include "KxAppInit.h"
#include "KxIconHelper.h"

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

class TestShellUi : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void escapeNeverClosesDialog();
    void escapeStillReachesOtherWidgets();
    void dragByTitle_data();
    void dragByTitle();
    void iconFontsLoad();
    void glyphPixmapIsDrawn();

private:
    static void sendMouse(QWidget *target, QEvent::Type type, const QPoint &global,
                          Qt::MouseButton button, Qt::MouseButtons buttons);
};

void TestShellUi::initTestCase()
{
    brevanInitResources();
}

void TestShellUi::escapeNeverClosesDialog()
{
    // Without the filter Escape closes a dialog: the check below can fail.
    {
        QDialog plain;
        plain.show();
        QVERIFY(QTest::qWaitForWindowExposed(&plain));
        QTest::keyClick(&plain, Qt::Key_Escape);
        QVERIFY(!plain.isVisible());
    }

    KxAppInit::instance()->install();
    QDialog dialog;
    auto *edit = new QLineEdit(&dialog);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QSignalSpy rejected(&dialog, &QDialog::rejected);
    QTest::keyClick(&dialog, Qt::Key_Escape);
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Escape); // from a child, on its way up to the dialog
    QVERIFY(dialog.isVisible());
    QCOMPARE(rejected.count(), 0);
    // Other keys still reach the dialog's children.
    QTest::keyClicks(edit, "ok");
    QCOMPARE(edit->text(), QStringLiteral("ok"));
}

void TestShellUi::escapeStillReachesOtherWidgets()
{
    KxAppInit::instance()->install();
    QLineEdit edit;
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    bool seen = false;
    // A non-dialog widget sees its Escape key (a line edit's completer closes on it, etc.).
    struct Probe : QObject {
        bool *seen;
        explicit Probe(bool *s) : seen(s) {}
        bool eventFilter(QObject *, QEvent *e) override
        {
            if (e->type() == QEvent::KeyPress &&
                static_cast<QKeyEvent *>(e)->key() == Qt::Key_Escape)
                *seen = true;
            return false;
        }
    } probe(&seen);
    edit.installEventFilter(&probe);
    QTest::keyClick(&edit, Qt::Key_Escape);
    QVERIFY(seen);
}

void TestShellUi::sendMouse(QWidget *target, QEvent::Type type, const QPoint &global,
                            Qt::MouseButton button, Qt::MouseButtons buttons)
{
    const QPoint local = target->mapFromGlobal(global);
    QMouseEvent event(type, local, local, global, button, buttons, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

void TestShellUi::dragByTitle_data()
{
    QTest::addColumn<bool>("canMove");
    QTest::addColumn<QPoint>("press"); // in title coordinates; the title is 200 x 30
    QTest::addColumn<int>("button");
    QTest::addColumn<bool>("moves");
    QTest::newRow("middle of the title") << true << QPoint(100, 15) << int(Qt::LeftButton) << true;
    QTest::newRow("just inside the margins") << true << QPoint(4, 4) << int(Qt::LeftButton) << true;
    QTest::newRow("bottom edge has no margin")
        << true << QPoint(100, 29) << int(Qt::LeftButton) << true;
    QTest::newRow("left margin") << true << QPoint(2, 15) << int(Qt::LeftButton) << false;
    QTest::newRow("top margin") << true << QPoint(100, 2) << int(Qt::LeftButton) << false;
    QTest::newRow("right margin") << true << QPoint(197, 15) << int(Qt::LeftButton) << false;
    QTest::newRow("below the title") << true << QPoint(100, 60) << int(Qt::LeftButton) << false;
    QTest::newRow("right button") << true << QPoint(100, 15) << int(Qt::RightButton) << false;
    QTest::newRow("not movable") << false << QPoint(100, 15) << int(Qt::LeftButton) << false;
}

void TestShellUi::dragByTitle()
{
    QFETCH(bool, canMove);
    QFETCH(QPoint, press);
    QFETCH(int, button);
    QFETCH(bool, moves);
    KxAppInit::instance()->install();

    QWidget window(nullptr, Qt::FramelessWindowHint);
    window.setProperty("canMove", canMove);
    window.resize(200, 150);
    auto *title = new QWidget(&window);
    title->setObjectName(QStringLiteral("widgetTitle"));
    title->setGeometry(0, 0, 200, 30);
    auto *body = new QWidget(&window);
    body->setGeometry(0, 30, 200, 120);
    window.move(100, 100);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QPoint start = window.pos();

    QWidget *target = press.y() < 30 ? title : body;
    const QPoint global = title->mapToGlobal(press);
    const auto mb = Qt::MouseButton(button);
    sendMouse(target, QEvent::MouseButtonPress, global, mb, mb);
    sendMouse(target, QEvent::MouseMove, global + QPoint(30, 20), Qt::NoButton, mb);
    QCOMPARE(window.pos(), moves ? start + QPoint(30, 20) : start);
    sendMouse(target, QEvent::MouseButtonRelease, global + QPoint(30, 20), mb, Qt::NoButton);
    QVERIFY(!KxAppInit::instance()->isDragging());

    // After the release, moving the mouse moves nothing.
    const QPoint afterRelease = window.pos();
    sendMouse(target, QEvent::MouseMove, global + QPoint(80, 80), Qt::NoButton, mb);
    QCOMPARE(window.pos(), afterRelease);
}

void TestShellUi::iconFontsLoad()
{
    QVERIFY(QFile::exists(QStringLiteral(":/libcore_res/font/fontawesome-webfont.ttf")));
    QVERIFY(QFile::exists(QStringLiteral(":/libcore_res/font/iconfont.ttf")));
    QVERIFY(KxIconHelper::loadFonts());
    QVERIFY(!KxIconHelper::family(KxIconHelper::FontAwesome).isEmpty());
    QVERIFY(!KxIconHelper::family(KxIconHelper::IconFont).isEmpty());
}

void TestShellUi::glyphPixmapIsDrawn()
{
    for (auto font : {KxIconHelper::FontAwesome, KxIconHelper::IconFont}) {
        // U+F015 is the house glyph; drawn in pure red on transparency.
        const QImage img = KxIconHelper::pixmap(QChar(0xf015), 32, Qt::red, font).toImage();
        QCOMPARE(img.size(), QSize(32, 32));
        int red = 0;
        int clear = 0;
        for (int y = 0; y < img.height(); ++y) {
            for (int x = 0; x < img.width(); ++x) {
                const QColor c = img.pixelColor(x, y);
                if (c.alpha() == 0)
                    ++clear;
                else if (c.alpha() > 200 && c.red() > 200 && c.green() < 60)
                    ++red;
            }
        }
        QVERIFY2(red > 50, qPrintable(QString::number(red)));
        QVERIFY(clear > 50);
    }
    QPushButton button;
    KxIconHelper::setIcon(&button, QChar(0xf013), 16, Qt::black);
    QVERIFY(!button.icon().isNull());
    QCOMPARE(button.iconSize(), QSize(16, 16));
}

QTEST_MAIN(TestShellUi)
#include "tst_shell_ui.moc"
