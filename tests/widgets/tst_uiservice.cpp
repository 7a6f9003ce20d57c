// The UI service with the scripted backend (answers in order, records shows, fails loudly on a
// forgotten answer) and with the real widget backend.
#include "KxI18nUtil.h"
#include "KxScriptedUiBackend.h"
#include "KxStyledButtons.h"
#include "KxToast.h"
#include "KxWaitingDlg.h"
#include "KxWidgetUiBackend.h"
#include "NMessageBox.h"

#include <QThread>
#include <QtTest>

using Kind = KxScriptedUiBackend::Kind;

class TestUiService : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(KxI18nUtil::instance()->loadMain(BREVAN_SOURCE_DIR "/models/resources", "en"));
    }

    void answersInOrderAndRecords()
    {
        KxScriptedUiBackend ui;
        ui.answerMessage(2);
        ui.answerMessage(1, QStringLiteral("#IDS_Second"));
        ui.answerMessage(2);
        const KxMessageResult first = KxUi()->question(QStringLiteral("#IDS_First"));
        const KxMessageResult second =
            KxUi()->question(QStringLiteral("#IDS_Second"), QStringLiteral("#IDS_Title2"),
                             QStringLiteral("#IDS_Yes|No|Cancel"));
        const bool third = KxUi()->confirm(QStringLiteral("#IDS_Third"));
        QCOMPARE(first.button, 2);
        QVERIFY(!first.isAccepted());
        QCOMPARE(first.key, QStringLiteral("#IDS_Cancel"));
        QCOMPARE(second.button, 1);
        QCOMPARE(int(second.role), int(KxButtonRole::Yes));
        QVERIFY(!third);
        QCOMPARE(ui.messageTexts(), (QStringList{"#IDS_First", "#IDS_Second", "#IDS_Third"}));
        const auto shown = ui.shown(Kind::Message);
        QCOMPARE(shown.at(0).title, QStringLiteral("#IDS_Tips"));
        QCOMPARE(shown.at(0).buttons, (QStringList{"#IDS_OK", "#IDS_Cancel"}));
        QCOMPARE(int(shown.at(0).msgType), int(KxMsgType::Question));
        QCOMPARE(shown.at(1).title, QStringLiteral("#IDS_Title2"));
        QCOMPARE(shown.at(1).buttons, (QStringList{"#IDS_Yes", "#IDS_No", "#IDS_Cancel"}));
        QCOMPARE(shown.at(2).answer, 2);
        QVERIFY(ui.isClean());
    }

    void unansweredQuestionCancelsAndRecordsError()
    {
        KxScriptedUiBackend ui;
        const KxMessageResult r = KxUi()->question(QStringLiteral("#IDS_Forgotten"), QString(),
                                                   QStringLiteral("#IDS_Yes|No|Cancel"));
        QCOMPARE(r.button, 0);
        QVERIFY(!r.isAccepted());
        QVERIFY(!r.isNo()); // closed means neither yes nor no
        QVERIFY(r.isRejected());
        QCOMPARE(ui.errors().size(), 1);
        QVERIFY(ui.errors().first().contains(QStringLiteral("#IDS_Forgotten")));
        QVERIFY(!ui.isClean());
    }

    void singleButtonNeedsNoAnswer_data()
    {
        QTest::addColumn<int>("type");
        QTest::newRow("information") << int(KxMsgType::Information);
        QTest::newRow("warning") << int(KxMsgType::Warning);
        QTest::newRow("error") << int(KxMsgType::Error);
    }
    void singleButtonNeedsNoAnswer()
    {
        QFETCH(int, type);
        KxScriptedUiBackend ui;
        KxMessageResult r;
        if (type == int(KxMsgType::Information))
            r = KxUi()->information(QStringLiteral("#IDS_Info"));
        else if (type == int(KxMsgType::Warning))
            r = KxUi()->warning(QStringLiteral("#IDS_Info"));
        else
            r = KxUi()->error(QStringLiteral("#IDS_Info"));
        QCOMPARE(r.button, 1);
        QVERIFY(r.isAccepted());
        QCOMPARE(int(ui.lastMessage().msgType), type);
        QCOMPARE(ui.lastMessage().buttons, QStringList{"#IDS_MessageBox_OK"});
        QVERIFY(ui.isClean());
    }

    void wrongOrBadAnswersAreErrors()
    {
        KxScriptedUiBackend ui;
        ui.answerMessage(1, QStringLiteral("#IDS_Expected"));
        ui.answerMessage(5);
        QVERIFY(KxUi()->confirm(QStringLiteral("#IDS_Other")));
        QCOMPARE(ui.errors().size(), 1);
        const KxMessageResult r = KxUi()->question(QStringLiteral("#IDS_Two"));
        QCOMPARE(r.button, 0); // out of range: closed
        QCOMPARE(ui.errors().size(), 2);
        QCOMPARE(ui.pendingAnswers(), 0);
    }

    void leftoverAnswersMakeItUnclean()
    {
        KxScriptedUiBackend ui;
        ui.answerMessage(1);
        ui.answerFile(QStringLiteral("/tmp/x.xml"));
        QCOMPARE(ui.pendingAnswers(), 2);
        QVERIFY(!ui.isClean());
        ui.clear();
        QVERIFY(ui.isClean());
    }

    void fileDialogs()
    {
        KxScriptedUiBackend ui;
        ui.answerFile(QStringLiteral("/tmp/x.xml"));
        ui.cancelFile();
        ui.answerFiles({QStringLiteral("/tmp/a.bin"), QStringLiteral("/tmp/b.bin")});
        ui.answerFile(QStringLiteral("/tmp/dir"));
        QString filter;
        QCOMPARE(KxUi()->getSaveFileName(QStringLiteral("#IDS_ExportConfig"),
                                         QStringLiteral("/home"),
                                         QStringLiteral("Brevan Files (*.xml)"), nullptr, &filter),
                 QStringLiteral("/tmp/x.xml"));
        QCOMPARE(filter, QStringLiteral("Brevan Files (*.xml)"));
        QCOMPARE(KxUi()->getOpenFileName(QString(), QString(), QStringLiteral("*.xml")), QString());
        QCOMPARE(KxUi()->getOpenFileNames(QString(), QString(), QStringLiteral("*.bin")).size(), 2);
        QCOMPARE(KxUi()->getExistingDirectory(QString(), QStringLiteral("/")),
                 QStringLiteral("/tmp/dir"));
        const auto shown = ui.shown(Kind::File);
        QCOMPARE(shown.size(), 4);
        QCOMPARE(int(shown.at(0).fileKind), int(KxFileDialogKind::SaveFile));
        QCOMPARE(shown.at(0).title, QStringLiteral("#IDS_ExportConfig"));
        QCOMPARE(shown.at(0).dir, QStringLiteral("/home"));
        QCOMPARE(int(shown.at(1).fileKind), int(KxFileDialogKind::OpenFile));
        QCOMPARE(int(shown.at(2).fileKind), int(KxFileDialogKind::OpenFiles));
        QCOMPARE(int(shown.at(3).fileKind), int(KxFileDialogKind::Directory));
        QVERIFY(ui.isClean());
    }

    void fileDialogFaults()
    {
        KxScriptedUiBackend ui;
        QCOMPARE(KxUi()->getSaveFileName(QString(), QString(), QStringLiteral("*.txt")), QString());
        QCOMPARE(ui.errors().size(), 1); // unanswered
        ui.answerFiles({QStringLiteral("/a"), QStringLiteral("/b")});
        QCOMPARE(KxUi()->getOpenFileName(QString(), QString(), QString()), QStringLiteral("/a"));
        QCOMPARE(ui.errors().size(), 2); // several files to a single-file dialog
    }

    void inputDialogs()
    {
        KxScriptedUiBackend ui;
        ui.answerInput(QStringLiteral("Line 3"));
        ui.cancelInput();
        ui.answerInput(QStringLiteral("0123456789"));
        KxInputRequest req;
        req.title = QStringLiteral("#IDS_ChangeConfigName");
        req.label = QStringLiteral("#IDS_Name");
        KxInputResult r = KxUi()->getText(req);
        QVERIFY(r.ok);
        QCOMPARE(r.text, QStringLiteral("Line 3"));
        QVERIFY(!KxUi()->getText(req).ok);
        req.maxLength = 4;
        QCOMPARE(KxUi()->getText(req).text, QStringLiteral("0123"));
        QCOMPARE(ui.shown(Kind::Input).first().text, QStringLiteral("#IDS_Name"));
        QVERIFY(ui.isClean());
        QVERIFY(!KxUi()->getText(req).ok);
        QCOMPARE(ui.errors().size(), 1);
    }

    void waitingThroughScript()
    {
        KxScriptedUiBackend ui;
        int called = 0;
        QSignalSpy spy(KxUi(), &KxUiService::signal_waitingCancelled);
        KxUi()->showWaiting(QStringLiteral("#IDS_NetworkSetting"), QStringLiteral("#IDS_Cancel"),
                            [&called] { ++called; });
        QVERIFY(KxUi()->isWaitingShown());
        QCOMPARE(ui.waitingTexts(), QStringList{"#IDS_NetworkSetting"});
        QCOMPARE(ui.shown(Kind::Waiting).first().cancelText, QStringLiteral("#IDS_Cancel"));
        ui.pressWaitingCancel();
        QCOMPARE(called, 1);
        QCOMPARE(spy.count(), 1);
        KxUi()->closeWaiting();
        QVERIFY(!KxUi()->isWaitingShown());
        ui.pressWaitingCancel(); // nothing to cancel: the test script is wrong
        QCOMPARE(called, 1);
        QCOMPARE(ui.errors().size(), 1);
    }

    void toastsRecordedAndFromWorkerThread()
    {
        KxScriptedUiBackend ui;
        KxUi()->toast(QStringLiteral("#IDS_DeviceUnconnect"));
        QCOMPARE(ui.toastTexts(), QStringList{"#IDS_DeviceUnconnect"});
        QCOMPARE(ui.shown(Kind::Toast).first().durationMs, 3000);
        QThread *worker = QThread::create([] {
            KxUi()->toast(QStringLiteral("#IDS_FromWorker"), 2000, nullptr, KxMsgType::Error);
        });
        worker->start();
        QVERIFY(worker->wait(5000));
        delete worker;
        QTRY_COMPARE(ui.toastTexts().size(), 2);
        QCOMPARE(ui.shown(Kind::Toast).last().durationMs, 2000);
        QCOMPARE(int(ui.shown(Kind::Toast).last().msgType), int(KxMsgType::Error));
    }

    void questionFromWorkerIsRefused()
    {
        KxScriptedUiBackend ui;
        ui.answerMessage(1);
        KxMessageResult r;
        r.button = 42;
        QThread *worker = QThread::create([&r] { r = KxUi()->question(QStringLiteral("#IDS_X")); });
        worker->start();
        QVERIFY(worker->wait(5000));
        delete worker;
        QCOMPARE(r.button, 0);
        QCOMPARE(ui.shown().size(), 0);
        QCOMPARE(ui.pendingAnswers(), 1);
        ui.clear();
    }

    void nestedBackendsRestore()
    {
        IKxUiBackend *before = KxUi()->backend();
        {
            KxScriptedUiBackend outer;
            {
                KxScriptedUiBackend inner;
                QCOMPARE(KxUi()->backend(), static_cast<IKxUiBackend *>(&inner));
                KxUi()->toast(QStringLiteral("a"));
                QCOMPARE(inner.toastTexts().size(), 1);
            }
            QCOMPARE(KxUi()->backend(), static_cast<IKxUiBackend *>(&outer));
            QCOMPARE(outer.toastTexts().size(), 0);
        }
        QCOMPARE(KxUi()->backend(), before);
        QVERIFY(dynamic_cast<KxWidgetUiBackend *>(KxUi()->backend()));
    }

    // The real backend: a message box is shown modally and its clicked button comes back.
    void widgetBackendMessage()
    {
        QWidget main;
        main.resize(800, 600);
        main.show();
        KxUi()->setMainWindow(&main);
        bool sawBox = false;
        QTimer::singleShot(0, this, [&sawBox] {
            auto *box = qobject_cast<NMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            sawBox = box->text() == QStringLiteral("OK") && box->width() == 350;
            QTest::mouseClick(box->button(2), Qt::LeftButton);
        });
        QTimer::singleShot(5000, this, [] { // a fault must not hang the test
            if (auto *w = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
                w->done(0);
        });
        const KxMessageResult r = KxUi()->question(QStringLiteral("#IDS_OK"));
        QVERIFY(sawBox);
        QCOMPARE(r.button, 2);
        QCOMPARE(r.key, QStringLiteral("#IDS_Cancel"));
        KxUi()->setMainWindow(nullptr);
    }

    // A message asked while the waiting dialog is up must not become its child: closing the
    // waiting dialog deletes it.
    void messageWhileWaitingIsNotItsChild()
    {
        QWidget main;
        main.resize(800, 600);
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        KxUi()->showWaiting(QStringLiteral("#IDS_Tips"), QString(), {}, &main);
        auto *backend = dynamic_cast<KxWidgetUiBackend *>(KxUi()->backend());
        QVERIFY(backend && backend->waitingDialog());
        QTRY_COMPARE(QApplication::activeModalWidget(),
                     static_cast<QWidget *>(backend->waitingDialog()));
        QPointer<NMessageBox> seen;
        QWidget *parentSeen = reinterpret_cast<QWidget *>(1);
        QTimer::singleShot(0, this, [&] {
            seen = qobject_cast<NMessageBox *>(QApplication::activeModalWidget());
            if (!seen)
                return;
            parentSeen = seen->parentWidget();
            KxUi()->closeWaiting(); // the work ends while the question is open
            QTimer::singleShot(0, this, [&] {
                if (seen)
                    QTest::mouseClick(seen->button(1), Qt::LeftButton);
            });
        });
        QTimer::singleShot(5000, this, [] {
            if (auto *w = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
                w->done(0);
        });
        const KxMessageResult r = KxUi()->question(QStringLiteral("#IDS_OK"));
        QCOMPARE(parentSeen, &main);
        QCOMPARE(r.button, 1);
        QVERIFY(!KxUi()->isWaitingShown());
    }

    void widgetBackendWaitingAndToast()
    {
        QWidget main;
        main.resize(800, 600);
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        int called = 0;
        KxUi()->showWaiting(
            QStringLiteral("#IDS_Tips"), QStringLiteral("#IDS_Cancel"), [&called] { ++called; },
            &main);
        QVERIFY(KxUi()->isWaitingShown());
        auto *backend = dynamic_cast<KxWidgetUiBackend *>(KxUi()->backend());
        QVERIFY(backend && backend->waitingDialog());
        KxWaitingDlg *dlg = backend->waitingDialog();
        QCOMPARE(dlg->text(), QStringLiteral("Prompt"));
        QCOMPARE(dlg->parentWidget(), &main);
        QTest::mouseClick(dlg->cancelButton(), Qt::LeftButton);
        QCOMPARE(called, 1);
        // Showing again reuses the one dialog with the new text and no cancel.
        KxUi()->showWaiting(QStringLiteral("Second"), QString(), {}, &main);
        QCOMPARE(backend->waitingDialog(), dlg);
        QCOMPARE(dlg->text(), QStringLiteral("Second"));
        QVERIFY(!dlg->hasCancel());
        KxUi()->closeWaiting();
        QVERIFY(!KxUi()->isWaitingShown());

        KxUi()->toast(QStringLiteral("#IDS_Tips"), 3000, &main);
        const QList<KxToast *> toasts = KxToast::toastsOf(&main);
        QCOMPARE(toasts.size(), 1);
        QCOMPARE(toasts.first()->text(), QStringLiteral("Prompt"));
        QCOMPARE(toasts.first()->duration(), 3000);
    }
};

QTEST_MAIN(TestUiService)
#include "tst_uiservice.moc"
