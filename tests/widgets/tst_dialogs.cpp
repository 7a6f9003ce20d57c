// The frameless dialog base, the message box, the input dialog and the waiting dialog, driven
// through their buttons and keys; nothing here waits on a modal loop.
#include "KxI18nUtil.h"
#include "KxInputDlg.h"
#include "KxStyledButtons.h"
#include "KxWaitingDlg.h"
#include "NMessageBox.h"

#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QtTest>

class TestDialogs : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(KxI18nUtil::instance()->loadMain(BREVAN_SOURCE_DIR "/models/resources", "en"));
    }

    void frameAndTitle()
    {
        NDialogEx dlg;
        dlg.setTitle(QStringLiteral("#IDS_Tips"));
        QVERIFY(dlg.windowFlags().testFlag(Qt::FramelessWindowHint));
        QVERIFY(dlg.windowFlags().testFlag(Qt::Dialog));
        QCOMPARE(dlg.property("canMove").toBool(), true);
        auto *title = dlg.findChild<QWidget *>(QStringLiteral("widgetTitle"));
        QVERIFY(title);
        QCOMPARE(dlg.titleText(), QStringLiteral("Prompt"));
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Prompt"));
        QCOMPARE(dlg.titleKey(), QStringLiteral("#IDS_Tips"));
    }

    void dragByTitleMovesDialog()
    {
        NDialogEx dlg;
        dlg.resize(300, 200);
        dlg.move(100, 100);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QWidget *title = dlg.titleBar();
        const QPoint local(30, 15);
        const QPoint start = title->mapToGlobal(local);
        const QPoint before = dlg.pos();
        QMouseEvent press(QEvent::MouseButtonPress, local, start, Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(title, &press);
        const QPoint delta(40, 25);
        QMouseEvent move(QEvent::MouseMove, local + delta, start + delta, Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(title, &move);
        QMouseEvent release(QEvent::MouseButtonRelease, local + delta, start + delta,
                            Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(title, &release);
        QCOMPARE(dlg.pos(), before + delta);
        // After release, moving does not drag any more.
        QMouseEvent move2(QEvent::MouseMove, local, start, Qt::NoButton, Qt::NoButton,
                          Qt::NoModifier);
        QApplication::sendEvent(title, &move2);
        QCOMPARE(dlg.pos(), before + delta);
    }

    void messageBoxReturnsClickedButton_data()
    {
        QTest::addColumn<QString>("set");
        QTest::addColumn<int>("click");
        QTest::addColumn<int>("role");
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("ok") << "#IDS_OK|Cancel" << 1 << int(KxButtonRole::Accept)
                            << QStringList{"OK", "Cancel"};
        QTest::newRow("cancel") << "#IDS_OK|Cancel" << 2 << int(KxButtonRole::Reject)
                                << QStringList{"OK", "Cancel"};
        QTest::newRow("no") << "#IDS_Yes|No|Cancel" << 2 << int(KxButtonRole::No)
                            << QStringList{"Yes", "No", "Cancel"};
        QTest::newRow("third") << "#IDS_Yes|No|Cancel" << 3 << int(KxButtonRole::Reject)
                               << QStringList{"Yes", "No", "Cancel"};
    }
    void messageBoxReturnsClickedButton()
    {
        QFETCH(QString, set);
        QFETCH(int, click);
        QFETCH(int, role);
        QFETCH(QStringList, texts);
        NMessageBox box(KxMsgType::Question, QStringLiteral("#IDS_Tips"),
                        QStringLiteral("Continue?"), set);
        QCOMPARE(box.buttonCount(), texts.size());
        for (int i = 0; i < texts.size(); ++i)
            QCOMPARE(box.button(i + 1)->text(), texts.at(i));
        box.open();
        QVERIFY(box.isVisible());
        QTest::mouseClick(box.button(click), Qt::LeftButton);
        QVERIFY(!box.isVisible());
        QCOMPARE(box.result(), click);
        QCOMPARE(int(box.messageResult().role), role);
        QCOMPARE(box.messageResult().button, click);
    }

    // exec() itself returns the button number; a guard timer keeps a fault from hanging.
    void messageBoxExecReturnsNumber()
    {
        NMessageBox box(KxMsgType::Warning, QString(), QStringLiteral("x"),
                        QStringLiteral("#IDS_Yes|No|Cancel"));
        QTimer::singleShot(0, &box, [&box] { QTest::mouseClick(box.button(2), Qt::LeftButton); });
        QTimer::singleShot(5000, &box, [&box] { box.done(99); });
        QCOMPARE(box.exec(), 2);
    }

    void messageBoxCloseButtonIsReject()
    {
        NMessageBox box(KxMsgType::Question, QString(), QStringLiteral("x"),
                        QStringLiteral("#IDS_OK|Cancel"));
        box.open();
        auto *close = box.findChild<QToolButton *>(QStringLiteral("btnMenu_Close"));
        QVERIFY(close);
        QTest::mouseClick(close, Qt::LeftButton);
        QVERIFY(!box.isVisible());
        QCOMPARE(box.messageResult().button, 0);
        QVERIFY(!box.messageResult().isAccepted());
    }

    void escapeNeverCloses_data()
    {
        QTest::addColumn<int>("modifiers");
        QTest::newRow("plain") << int(Qt::NoModifier);
        QTest::newRow("shift") << int(Qt::ShiftModifier);
    }
    void escapeNeverCloses()
    {
        QFETCH(int, modifiers);
        NMessageBox box(KxMsgType::Question, QString(), QStringLiteral("x"),
                        QStringLiteral("#IDS_OK|Cancel"));
        box.open();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        QTest::keyClick(&box, Qt::Key_Escape, Qt::KeyboardModifiers(modifiers));
        QVERIFY(box.isVisible());
        QTest::keyClick(box.button(1), Qt::Key_Escape, Qt::KeyboardModifiers(modifiers));
        QVERIFY(box.isVisible());
        box.done(1);
    }

    void enterPressesFirstButton()
    {
        NMessageBox box(KxMsgType::Question, QString(), QStringLiteral("x"),
                        QStringLiteral("#IDS_OK|Cancel"));
        box.open();
        QTest::keyClick(&box, Qt::Key_Return);
        QVERIFY(!box.isVisible());
        QCOMPARE(box.result(), 1);
    }

    void messageBoxWidthAndWrapping()
    {
        NMessageBox shortBox(KxMsgType::Information, QString(), QStringLiteral("Short."));
        const QString longText =
            QString(QStringLiteral("A long explanation that must wrap. ")).repeated(12);
        NMessageBox longBox(KxMsgType::Information, QString(), longText);
        QCOMPARE(shortBox.width(), 350);
        QCOMPARE(longBox.width(), 350);
        QVERIFY2(
            longBox.height() > shortBox.height() + 40,
            qPrintable(QStringLiteral("%1 vs %2").arg(longBox.height()).arg(shortBox.height())));
        // The text must fit: its label is given the height its wrapped lines need.
        longBox.show();
        auto *label = longBox.findChild<QLabel *>(QStringLiteral("labText"));
        QVERIFY(label->height() >= label->heightForWidth(label->width()));
        NMessageBox wide(KxMsgType::Information, QString(), QStringLiteral("x"),
                         QStringLiteral("#IDS_OK|Cancel"), 500);
        QCOMPARE(wide.width(), 500);
    }

    void messageBoxTextTranslatedAndPlain()
    {
        NMessageBox box(KxMsgType::Error, QStringLiteral("#IDS_NoSuchTitle"),
                        QStringLiteral("#IDS_NoSuchText"));
        QCOMPARE(box.text(), QStringLiteral("IDS_NoSuchText"));
        QCOMPARE(box.titleText(), QStringLiteral("IDS_NoSuchTitle"));
        auto *label = box.findChild<QLabel *>(QStringLiteral("labText"));
        QCOMPARE(label->textFormat(), Qt::PlainText);
    }

    void inputDialog()
    {
        KxInputRequest req;
        req.title = QStringLiteral("#IDS_Tips");
        req.label = QStringLiteral("Name");
        req.maxLength = 5;
        KxInputDlg dlg(req);
        dlg.open();
        QVERIFY(!dlg.okButton()->isEnabled()); // empty
        QTest::keyClicks(dlg.lineEdit(), QStringLiteral("   "));
        QVERIFY(!dlg.okButton()->isEnabled()); // blanks only
        dlg.lineEdit()->clear();
        QTest::keyClicks(dlg.lineEdit(), QStringLiteral("abcdefgh"));
        QCOMPARE(dlg.textValue(), QStringLiteral("abcde"));
        QVERIFY(dlg.okButton()->isEnabled());
        QTest::keyClick(dlg.lineEdit(), Qt::Key_Escape);
        QVERIFY(dlg.isVisible());
        QCOMPARE(dlg.textValue(), QStringLiteral("abcde"));
        QTest::mouseClick(dlg.okButton(), Qt::LeftButton);
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
    }

    void inputDialogCancelAndAllowEmpty()
    {
        KxInputRequest req;
        req.text = QStringLiteral("old");
        req.allowEmpty = true;
        KxInputDlg dlg(req);
        dlg.open();
        dlg.lineEdit()->clear();
        QVERIFY(dlg.okButton()->isEnabled());
        QTest::mouseClick(dlg.cancelButton(), Qt::LeftButton);
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
    }

    void waitingDialogCancel()
    {
        KxWaitingDlg dlg;
        dlg.setText(QStringLiteral("#IDS_Tips"));
        QCOMPARE(dlg.text(), QStringLiteral("Prompt"));
        QVERIFY(!dlg.hasCancel());
        dlg.setCancelText(QStringLiteral("#IDS_Cancel"));
        QVERIFY(dlg.hasCancel());
        QCOMPARE(dlg.cancelButton()->text(), QStringLiteral("Cancel"));
        QSignalSpy spy(&dlg, &KxWaitingDlg::signal_cancelClicked);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        auto *busy = dlg.findChild<KxBusyIndicator *>();
        QVERIFY(busy && busy->isSpinning());
        QTest::keyClick(&dlg, Qt::Key_Escape);
        QVERIFY(dlg.isVisible());
        QCOMPARE(spy.count(), 0);
        QTest::mouseClick(dlg.cancelButton(), Qt::LeftButton);
        QCOMPARE(spy.count(), 1);
        QVERIFY(!dlg.cancelButton()->isEnabled()); // a second click cannot cancel twice
        QTest::mouseClick(dlg.cancelButton(), Qt::LeftButton);
        QCOMPARE(spy.count(), 1);
        QVERIFY(dlg.isVisible()); // the owner closes it when the work has stopped
        dlg.close();
        QVERIFY(!busy->isSpinning());
        // Shown again for other work, cancel is offered afresh.
        dlg.setCancelText(QStringLiteral("#IDS_Cancel"));
        QVERIFY(dlg.cancelButton()->isEnabled());
        dlg.setCancelText(QString());
        QVERIFY(!dlg.hasCancel());
    }

    void waitingDialogGrowsForLongText()
    {
        KxWaitingDlg a, b;
        a.setText(QStringLiteral("Wait"));
        b.setText(QString(QStringLiteral("Connecting to the reader, please wait. ")).repeated(6));
        QVERIFY(b.width() >= a.width());
        QVERIFY(b.height() > a.height());
        b.show();
        auto *label = b.findChild<QLabel *>(QStringLiteral("labText"));
        QVERIFY(label->height() >= label->heightForWidth(label->width()));
    }
};

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
