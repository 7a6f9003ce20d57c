// The main window: size on a small screen, panel switching, device-change notifications, close
// rules, the language menu, the title menu entries and the waiting dialog while minimised.
#include "BrevanResources.h"
#include "DialogTestUtil.h"
#include "DeviceListWidget.h"
#include "KxSettings.h"
#include "KxWaitingDlg.h"
#include "MainFrame.h"
#include "MainFrameTitle.h"
#include "MainPageClient.h"
#include "MainWinTestEnv.h"
#include "USBDeviceManager.h"

#include <QAbstractButton>
#include <QAction>
#include <QStackedWidget>
#include <QtTest>

namespace
{
// Closes the window the moment the waiting dialog appears: the user pressing the close button
// while a reader is being connected.
class CloseWhileWaitingUi : public KxScriptedUiBackend
{
public:
    QPointer<MainFrame> frame;
    QList<bool> closeAccepted;
    void showWaiting(const QString &text, const QString &cancel, QWidget *anchor) override
    {
        KxScriptedUiBackend::showWaiting(text, cancel, anchor);
        if (frame)
            closeAccepted << frame->close();
    }
};

// The virtual reader the device list offers for a model description.
const QString kOfflineId = QStringLiteral("offLine_KXS-FM800");
KxDeviceInfoMap offline(MainFrame &frame)
{
    const KxDeviceInfoMap info = frame.mainPage()->deviceList()->deviceInfo(kOfflineId);
    if (info.value("offLine") != "1")
        qWarning() << "no virtual reader" << kOfflineId;
    return info;
}
} // namespace

class TestMainWinFrame : public QObject
{
    Q_OBJECT
private:
    MainWinTestEnv *env = nullptr;
    RecordingPanel *lastPanel = nullptr;
    int panelsMade = 0;

private slots:
    void initTestCase()
    {
        brevanInitResources();
        env = new MainWinTestEnv;
        MainFrame::setAvailableGeometryProvider([] { return QRect(0, 0, 1920, 1040); });
        MainFrame::setEditPanelFactory([this](QWidget *parent) {
            ++panelsMade;
            lastPanel = new RecordingPanel(parent);
            return lastPanel;
        });
    }
    void cleanupTestCase()
    {
        MainFrame::setEditPanelFactory(nullptr);
        MainFrame::setAvailableGeometryProvider(nullptr);
        delete env;
    }
    void init()
    {
        env->ui.clear();
        panelsMade = 0;
        lastPanel = nullptr;
    }

    void sizeOnSmallScreen()
    {
        MainFrame::setAvailableGeometryProvider([] { return QRect(0, 0, 1366, 768); });
        MainFrame frame;
        QCOMPARE(frame.size(), QSize(1366, 768));
        QCOMPARE(frame.minimumSize(), QSize(1366, 680));
        QCOMPARE(frame.pos(), QPoint(0, 0));
        MainFrame::setAvailableGeometryProvider([] { return QRect(0, 0, 1920, 1040); });
        MainFrame large;
        QCOMPARE(large.size(), QSize(1400, 900));
        QCOMPARE(large.minimumSize(), QSize(1380, 680));
        QCOMPARE(large.geometry().center(), QRect(0, 0, 1920, 1040).center());
    }

    void construction()
    {
        MainFrame frame;
        QCOMPARE(MainFrame::instance(), &frame);
        QCOMPARE(KxUi()->mainWindow(), &frame);
        QCOMPARE(frame.stackClient()->widget(0), frame.mainPage());
        QCOMPARE(frame.getCurPanelId(), MainFramePanel_Main);
        // The title bar carries the widgets its style sheet names.
        QCOMPARE(frame.titleBar(), frame.title());
        for (const char *name : {"labIcon", "labTitle", "labVersion", "widgetMenu", "btnMenu_Min",
                                 "btnMenu_Max", "btnMenu_Close", "btnMenu_More", "btnUpdate"})
            QVERIFY2(frame.title()->findChild<QWidget *>(name), name);
        // The maximise button's tip follows the window's state.
        const auto *max = frame.title()->findChild<QAbstractButton *>("btnMenu_Max");
        QCOMPARE(max->toolTip(), QStringLiteral("Maximise"));
        frame.show();
        frame.showMaximized();
        QTRY_COMPARE(max->toolTip(), QStringLiteral("Restore"));
        frame.showNormal();
        QTRY_COMPARE(max->toolTip(), QStringLiteral("Maximise"));
        QCOMPARE(frame.title()->findChild<QAbstractButton *>("btnMenu_Min")->toolTip(),
                 QStringLiteral("Minimise"));
        QVERIFY(frame.close());
    }

    void mainPanelAgainDoesNothingMore()
    {
        MainFrame frame;
        QAbstractButton *home = frame.mainPage()->button("Id_Btn_MainPage");
        home->setChecked(false); // enter() would check it again
        USBDeviceManager::instance()->setNotificationsEnabled(false);
        frame.showPanel(MainFramePanel_Main, "x", DeviceEditMode_QuickSettings, 7);
        QVERIFY(!home->isChecked());
        QCOMPARE(frame.stackClient()->count(), 1);
        // Step one still runs: notifications are on again on the main page.
        QVERIFY(USBDeviceManager::instance()->notificationsEnabled());
    }

    void editPanelWhileCurrentIgnored()
    {
        MainFrame frame;
        frame.showPanel(MainFramePanel_DeviceEdit, "A", DeviceEditMode_AdvancedSettings, "p");
        QCOMPARE(panelsMade, 1);
        QPointer<RecordingPanel> first = lastPanel;
        QCOMPARE(frame.getCurPanelId(), MainFramePanel_DeviceEdit);
        QCOMPARE(first->calls, QStringList({"setDevice", "enter"}));
        QCOMPARE(first->device, QStringLiteral("A"));
        QCOMPARE(first->mode.toInt(), 2);
        QVERIFY(!USBDeviceManager::instance()->notificationsEnabled());

        frame.showPanel(MainFramePanel_DeviceEdit, "B", DeviceEditMode_QuickSettings);
        QCOMPARE(panelsMade, 1);
        QCOMPARE(first->calls, QStringList({"setDevice", "enter"}));
        QCOMPARE(first->device, QStringLiteral("A"));

        frame.showPanel(MainFramePanel_Main);
        QCOMPARE(frame.getCurPanelId(), MainFramePanel_Main);
        QCOMPARE(first->calls.last(), QStringLiteral("leave"));
        QVERIFY(USBDeviceManager::instance()->notificationsEnabled());
        QTRY_VERIFY(first.isNull()); // deleted later, out of the stack
        QCOMPARE(frame.stackClient()->count(), 1);

        // The next request builds a new page.
        frame.showPanel(MainFramePanel_DeviceEdit, "B", DeviceEditMode_QuickSettings);
        QCOMPARE(panelsMade, 2);
        QCOMPARE(lastPanel->device, QStringLiteral("B"));
    }

    void deviceChangeReplayedOnce()
    {
        MainFrame frame;
        USBDeviceManager *usb = USBDeviceManager::instance();
        QSignalSpy changes(usb, &USBDeviceManager::signal_DeviceChange);
        frame.showPanel(MainFramePanel_DeviceEdit, "A", DeviceEditMode_QuickSettings);
        usb->handleEvent("add", "/dev/hidraw3", "/sys/devices/usb1/1-1");
        usb->handleEvent("remove", "/dev/hidraw3", "/sys/devices/usb1/1-1");
        QCOMPARE(changes.count(), 0);
        frame.showPanel(MainFramePanel_Main);
        QCOMPARE(changes.count(), 1);
        QCOMPARE(changes.at(0).at(0).toBool(), true);
        QCOMPARE(changes.at(0).at(1).toBool(), false);
        QCOMPARE(changes.at(0).at(3).toInt(), 2000);
        // Nothing happened meanwhile: no second replay.
        frame.showPanel(MainFramePanel_DeviceEdit, "A", DeviceEditMode_QuickSettings);
        frame.showPanel(MainFramePanel_Main);
        QCOMPARE(changes.count(), 1);
    }

    void closeAsksThePanel()
    {
        MainFrame frame;
        frame.show();
        frame.showPanel(MainFramePanel_DeviceEdit, "A", DeviceEditMode_QuickSettings);
        RecordingPanel *p = lastPanel;
        p->busy = true;
        p->leavable = false;
        p->calls.clear();
        QVERIFY(!frame.close());
        QVERIFY(frame.isVisible());
        QCOMPARE(p->calls, QStringList({"stopBusy"}));
        p->busy = false;
        p->leavable = true;
        QVERIFY(frame.close());
        QCOMPARE(p->calls.last(), QStringLiteral("closing"));
    }

    void closingWhileConnectingRefused()
    {
        CloseWhileWaitingUi ui; // replaces the environment's backend while it lives
        MainFrame frame;
        ui.frame = &frame;
        frame.show();
        MainPageClient *page = frame.mainPage();
        page->OnDeviceClicked(kOfflineId, offline(frame));
        QVERIFY(page->selectedConnector());
        page->OnDeviceConnectChanged(true);
        QCOMPARE(ui.closeAccepted, QList<bool>({false}));
        QVERIFY(frame.isVisible());
        // The login runs on the reader's worker; the window stays open until it ends.
        QTRY_VERIFY_WITH_TIMEOUT(!page->isConnecting(), 30000);
        QTRY_VERIFY(!ui.isWaitingShown());
        // Once the attempt is over the window closes.
        ui.frame = nullptr;
        page->OnDeviceConnectChanged(false);
        QVERIFY(frame.close());
    }

    void offlineReaderOpensInEditPage()
    {
        MainFrame frame;
        MainPageClient *page = frame.mainPage();
        page->OnDeviceDClicked(kOfflineId, offline(frame));
        QTRY_COMPARE_WITH_TIMEOUT(frame.getCurPanelId(), MainFramePanel_DeviceEdit, 30000);
        QCOMPARE(lastPanel->device, QStringLiteral("offLine_KXS-FM800"));
        QCOMPARE(lastPanel->mode.toInt(), 1);
        QVERIFY(page->editRequestAllowed());
        QCOMPARE(page->pendingMode(), 0);
        QVERIFY(!env->ui.isWaitingShown());
        QCOMPARE(env->ui.waitingTexts(), QStringList({"#IDS_DeviceConnecting"}));
        frame.showPanel(MainFramePanel_Main);
    }

    void editRequestIgnoredWithoutReaderOrMode()
    {
        MainFrame frame;
        MainPageClient *page = frame.mainPage();
        page->connectToEdit(DeviceEditMode_QuickSettings); // nothing selected
        page->OnDeviceClicked(kOfflineId, offline(frame));
        page->connectToEdit(DeviceEditMode_None);
        QCOMPARE(panelsMade, 0);
        QVERIFY(env->ui.waitingTexts().isEmpty());
        QVERIFY(USBDeviceManager::instance()->notificationsEnabled());
    }

    void statisticsSelection()
    {
        MainFrame frame;
        MainPageClient *page = frame.mainPage();
        page->OnDeviceClicked(kOfflineId, offline(frame));
        int asked = 0;
        QStringList answer;
        page->setStatisticsSelector([&](QWidget *, const QList<KxDeviceInfoMap> &) {
            ++asked;
            // A second open request while the selection is open is ignored.
            page->connectToEdit(DeviceEditMode_QuickSettings);
            return answer;
        });
        page->connectToEdit(DeviceEditMode_Statistics); // cancelled
        QCOMPARE(asked, 1);
        QCOMPARE(panelsMade, 0);
        QVERIFY(USBDeviceManager::instance()->notificationsEnabled());
        QVERIFY(page->editRequestAllowed());

        answer = QStringList({"r1", "r2"});
        page->connectToEdit(DeviceEditMode_Statistics);
        QCOMPARE(asked, 2);
        QCOMPARE(panelsMade, 1);
        QCOMPARE(lastPanel->mode.toInt(), 5);
        QCOMPARE(lastPanel->device, QString());
        QCOMPARE(page->pendingMode(), 0);
        frame.showPanel(MainFramePanel_Main);
    }

    void languageChange()
    {
        MainFrame frame;
        MainFrameTitle *title = frame.title();
        int restarts = 0;
        title->setRestarter([&] { ++restarts; });
        KxSettings::instance()->applyLanguage("en");
        title->restoreLanguageChecks();
        auto stored = [] { return KxSettings::instance()->value("default", "language").toString(); };
        QAction *zh = nullptr;
        QAction *en = nullptr;
        for (QAction *a : title->languageActions()) {
            QCOMPARE(a->property("Langs").toInt(), 1);
            if (a->objectName() == "zh_cn")
                zh = a;
            if (a->objectName() == "en")
                en = a;
        }
        QVERIFY(zh && en);
        QVERIFY(en->isChecked());

        // Busy: refused with a toast, no question, marks restored.
        frame.showPanel(MainFramePanel_DeviceEdit, "A", DeviceEditMode_QuickSettings);
        lastPanel->busy = true;
        zh->trigger();
        QCOMPARE(env->ui.toastTexts(), QStringList({"#IDS_RUNNING_Tips"}));
        QVERIFY(env->ui.messageTexts().isEmpty());
        QVERIFY(en->isChecked() && !zh->isChecked());
        QCOMPARE(restarts, 0);
        lastPanel->busy = false;

        // Refused by the user.
        env->ui.answerMessage(2, "#IDS_ChangeLanguage_Tips");
        zh->trigger();
        QVERIFY(env->ui.isClean());
        QCOMPARE(env->ui.lastMessage().title, QStringLiteral("#IDS_ChangeLanguage"));
        QVERIFY(en->isChecked() && !zh->isChecked());
        QCOMPARE(restarts, 0);
        QVERIFY(stored() != QStringLiteral("zh_cn"));

        // Confirmed: stored, then restarted.
        env->ui.answerMessage(1, "#IDS_ChangeLanguage_Tips");
        zh->trigger();
        QVERIFY(env->ui.isClean());
        QCOMPARE(restarts, 1);
        QCOMPARE(stored(), QStringLiteral("zh_cn"));
        KxSettings::instance()->setLanguage("en");
        frame.showPanel(MainFramePanel_Main);
    }

    void titleMenuEntries()
    {
        QList<QUrl> opened;
        MainFrameTitle::setUrlOpener([&](const QUrl &u) {
            opened << u;
            return true;
        });
        KxSettings::instance()->setValue("DEBUG", "openlogdir", "0");
        {
            MainFrameTitle title;
            QVERIFY(!title.action("OpenLogDir"));
            for (const char *name : {"Updater", "Download", "Manual", "About"})
                QVERIFY2(title.action(name), name);
            QStringList dialogs;
            {
                RunnerScope runner([&](QDialog *d) {
                    dialogs << d->objectName();
                    return int(QDialog::Rejected);
                });
                QVERIFY(title.updateTimer()->isActive());
                title.action("Updater")->trigger();
            }
            // The menu opens the check dialog and ends the 60 s reminder.
            QCOMPARE(dialogs, QStringList({"CheckUpdateDlg"}));
            QVERIFY(!title.updateTimer()->isActive());
            title.action("Download")->trigger();
            QCOMPARE(opened.value(0), QUrl("https://brevan.example/download"));
            // The guide installed beside the program opens.
            title.action("Manual")->trigger();
            QCOMPARE(opened.size(), 2);
            QVERIFY(opened.at(1).toLocalFile().endsWith("/doc/user-guide/en/index.html"));
            QVERIFY(env->ui.toastTexts().isEmpty());
        }
        KxSettings::instance()->setValue("DEBUG", "openlogdir", "1");
        {
            MainFrameTitle title;
            QVERIFY(title.action("OpenLogDir"));
            QVERIFY(QDir().mkpath(KxConfig::instance()->dataDir() + "/log"));
            title.action("OpenLogDir")->trigger();
            QCOMPARE(opened.last(), QUrl::fromLocalFile(KxConfig::instance()->dataDir() + "/log"));
        }
        KxSettings::instance()->setValue("DEBUG", "openlogdir", "0");
        MainFrameTitle::setUrlOpener(nullptr);
    }

    void minimiseHidesWaitingDialog()
    {
        IKxUiBackend *scripted = KxUi()->installBackend(nullptr); // the real widgets
        MainFrame frame;
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        frame.showWaittingDlg("#IDS_DeviceConnecting");
        KxWaitingDlg *dlg = nullptr;
        QTRY_VERIFY((dlg = frame.findChild<KxWaitingDlg *>()) && dlg->isVisible());
        frame.setWindowState(Qt::WindowMinimized);
        QTRY_VERIFY(!dlg->isVisible());
        frame.setWindowState(Qt::WindowNoState);
        QTRY_VERIFY(dlg->isVisible());
        frame.closeWaittingDlg();
        QTRY_VERIFY(!frame.findChild<KxWaitingDlg *>() || !dlg->isVisible());
        KxUi()->installBackend(scripted);
    }
};

QTEST_MAIN(TestMainWinFrame)
#include "tst_mainwin_frame.moc"
