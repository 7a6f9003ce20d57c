// Getting around the main window as a user does, by clicking its real buttons: every page that
// opens has a visible way back to the main page, and network group editing can be entered and
// left again from both of its "finish" buttons. BREVAN_NAV_SHOTS=<dir> saves the opened pages.
#include "BrevanResources.h"
#include "DeviceEditClient.h"
#include "DeviceListLogic.h"
#include "DeviceListWidget.h"
#include "DoSaveChangedCmds.h"
#include "KxDialogRunner.h"
#include "KxConfig.h"
#include "KxI18nUtil.h"
#include "MainFrame.h"
#include "MainFrameTitle.h"
#include "MainPageClient.h"
#include "MainWinTestEnv.h"
#include "NDeviceList.h"
#include "NDeviceListItem.h"
#include "NetGroupEditWidget.h"
#include "USBDeviceManager.h"

#include <QAbstractButton>
#include <QAction>
#include <QDialog>
#include <QRegularExpression>
#include <QStackedWidget>
#include <QToolButton>
#include <QtTest>

namespace
{
const QString kOfflineId = QStringLiteral("offLine_KXS-FM800");

// A network reader that can join groups, as discovery reports it.
KxDeviceInfoMap groupReader()
{
    return {{"Product Name", "KXS-FM800"}, {"Serial Number", "SN-G1"},
            {"MAC Address", "02:4B:00:00:00:31"}, {"Ip Address", "127.0.9.31"},
            {"Online", "1"}, {"Supp Gr", "1"}, {"Gr En", "0"}};
}

// The visible button of `root` with this object name, or null.
QAbstractButton *visibleButton(QWidget *root, const QString &name)
{
    for (QAbstractButton *b : root->findChildren<QAbstractButton *>(name)) {
        if (b->isVisible() && b->isEnabled())
            return b;
    }
    return nullptr;
}

void click(QAbstractButton *b)
{
    QVERIFY(b);
    QTest::mouseClick(b, Qt::LeftButton, Qt::NoModifier, b->rect().center());
}
} // namespace

class TestMainWinNavigation : public QObject
{
    Q_OBJECT
private:
    MainWinTestEnv *env = nullptr;

    // The list shows the main page's normal view again: all of it usable.
    void verifyListLeftEditing(MainFrame &frame)
    {
        MainPageClient *page = frame.mainPage();
        DeviceListWidget *list = page->deviceList();
        QVERIFY(!list->isGroupEditing());
        QCOMPARE(page->toolbarStack()->currentIndex(), 0);
        QVERIFY(visibleButton(page, "Id_Btn_MainPage"));
        QVERIFY(visibleButton(list, "btnRefresh"));
        QVERIFY(visibleButton(list, "devListBtn") || visibleButton(list, "devGroupBtn"));
        QVERIFY(!list->findChild<QAbstractButton *>("btnReback")->isVisible());
        QVERIFY(USBDeviceManager::instance()->notificationsEnabled());
        // The readers that are not network readers are listed again.
        QVERIFY(list->allDeviceList()->findDevice(kOfflineId));
    }

private slots:
    void initTestCase()
    {
        brevanInitResources();
        env = new MainWinTestEnv;
        MainFrame::setAvailableGeometryProvider([] { return QRect(0, 0, 1400, 900); });
    }
    void cleanupTestCase()
    {
        MainFrame::setAvailableGeometryProvider(nullptr);
        delete env;
    }
    void init() { env->ui.clear(); }

    void everyPageHasAWayBack_data()
    {
        QTest::addColumn<QString>("openButton");
        QTest::addColumn<QString>("backButton");
        QTest::newRow("statistics") << "Id_Btn_Statistics" << "Id_Btn_MainPage";
        QTest::newRow("quick settings") << "Id_Btn_QuickSettings" << "Id_Btn_MainPage";
        QTest::newRow("advanced settings") << "Id_Btn_AdvancedSettings" << "Id_Btn_MainPage";
    }
    void everyPageHasAWayBack()
    {
        QFETCH(QString, openButton);
        QFETCH(QString, backButton);
        MainFrame frame;
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        MainPageClient *page = frame.mainPage();
        page->setStatisticsSelector(
            [](QWidget *, const QList<KxDeviceInfoMap> &) { return QStringList{"r1"}; });
        NDeviceListItem *item = page->deviceList()->allDeviceList()->findDevice(kOfflineId);
        QVERIFY(item);
        QTest::mouseClick(item, Qt::LeftButton, Qt::NoModifier, QPoint(20, 10));
        QTRY_COMPARE(page->selectedDeviceId(), kOfflineId);

        click(visibleButton(&frame, openButton));
        QTRY_COMPARE_WITH_TIMEOUT(frame.getCurPanelId(), MainFramePanel_DeviceEdit, 30000);
        auto *edit = qobject_cast<DeviceEditClient *>(frame.currentPanel());
        QVERIFY(edit && edit->currentFrame());
        QTRY_VERIFY2_WITH_TIMEOUT(visibleButton(edit, backButton),
                                  qPrintable(openButton + " opened a page without " + backButton),
                                  15000);
        const QString shots = qEnvironmentVariable("BREVAN_NAV_SHOTS"); // pictures for a look
        if (!shots.isEmpty())
            frame.grab().save(shots + "/nav-" + QTest::currentDataTag() + ".png");
        // Leaving may ask about changes that run but are not saved: keep the reader as it was.
        QStringList asked;
        const KxDialogRunner::Runner before =
            KxDialogRunner::install([&asked](QDialog *d) {
                asked << d->objectName();
                return int(SaveChoice_NotSave);
            });
        click(visibleButton(edit, backButton));
        KxDialogRunner::install(before);
        QTRY_COMPARE(frame.getCurPanelId(), MainFramePanel_Main);
        QVERIFY2(asked.size() <= 1, qPrintable(asked.join(", ")));
        QVERIFY(visibleButton(page, "Id_Btn_MainPage"));
        QVERIFY(USBDeviceManager::instance()->notificationsEnabled());
    }

    void quickSelectionFromTheToolsMenuOpensTheReaderFirst()
    {
        MainFrame frame;
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        MainPageClient *page = frame.mainPage();
        QAction *quick = page->findChild<QAction *>("menu_pActQuickSelectiontool");
        QVERIFY(quick);
        QStringList shown;
        const KxDialogRunner::Runner before = KxDialogRunner::install([&shown](QDialog *d) {
            shown << d->objectName();
            return int(d->objectName() == QLatin1String("QuickSelectDlg") ? QDialog::Rejected
                                                                          : SaveChoice_NotSave);
        });
        quick->trigger();  // nothing selected: a hint, nothing opens
        QCOMPARE(env->ui.toastTexts(), QStringList{"#IDS_SelectDeviceTips"});
        QCOMPARE(frame.getCurPanelId(), MainFramePanel_Main);

        NDeviceListItem *item = page->deviceList()->allDeviceList()->findDevice(kOfflineId);
        QVERIFY(item);
        QTest::mouseClick(item, Qt::LeftButton, Qt::NoModifier, QPoint(20, 10));
        QTRY_COMPARE(page->selectedDeviceId(), kOfflineId);
        quick->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(frame.getCurPanelId(), MainFramePanel_DeviceEdit, 30000);
        QTRY_COMPARE_WITH_TIMEOUT(shown, QStringList{"QuickSelectDlg"}, 15000);
        auto *edit = qobject_cast<DeviceEditClient *>(frame.currentPanel());
        QVERIFY(edit && edit->currentFrame() && edit->currentFrame()->inherits("BCodeEditFrame"));
        click(visibleButton(edit, "Id_Btn_MainPage"));
        QTRY_COMPARE(frame.getCurPanelId(), MainFramePanel_Main);
        KxDialogRunner::install(before);
    }

    void groupEditingLeftByEitherFinishButton_data()
    {
        QTest::addColumn<QString>("finishButton");
        QTest::addColumn<bool>("onToolBar");
        QTest::newRow("finish below the list") << "btnReback" << false;
        QTest::newRow("finish on the tool bar") << "btnGroupEditReturn" << true;
    }
    void groupEditingLeftByEitherFinishButton()
    {
        QFETCH(QString, finishButton);
        QFETCH(bool, onToolBar);
        MainFrame frame;
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        MainPageClient *page = frame.mainPage();
        DeviceListWidget *list = page->deviceList();
        list->OnDeviceUpdated("g1", groupReader());
        NDeviceListItem *item = list->allDeviceList()->findDevice("g1");
        QVERIFY(item);
        QTest::mouseClick(item, Qt::LeftButton, Qt::NoModifier, QPoint(20, 10));
        QTRY_COMPARE(page->selectedDeviceId(), QStringLiteral("g1"));

        // Entered from the reader's own button on the details page.
        click(visibleButton(page, "Id_Btn_NetworkGroupEdit"));
        QVERIFY(list->isGroupEditing());
        QCOMPARE(list->currentList(), list->editGroupList());
        QCOMPARE(page->toolbarStack()->currentIndex(), 1);
        QVERIFY(!visibleButton(list, "btnRefresh"));
        QVERIFY(!USBDeviceManager::instance()->notificationsEnabled());
        const QString shots = qEnvironmentVariable("BREVAN_NAV_SHOTS");
        if (!shots.isEmpty())
            frame.grab().save(shots + "/nav-group-editing.png");
        // The reader's "add to group" button puts it into a new group of the editor; finishing
        // then asks whether to save, and Exit leaves without sending anything.
        NDeviceListItem *editing = list->editGroupList()->findDevice("g1");
        QVERIFY(editing);
        click(visibleButton(editing, editing->groupButton()->objectName()));
        QVERIFY(page->groupEditor()->isChanged());
        env->ui.answerMessage(2, "#IDS_NetGroupChangedTips");

        QWidget *where = onToolBar ? static_cast<QWidget *>(page->toolbarStack())
                                   : static_cast<QWidget *>(list);
        click(visibleButton(where, finishButton));
        verifyListLeftEditing(frame);
        // Back on the tab it was entered from, with the selection and its details.
        QCOMPARE(list->currentList(), list->allDeviceList());
        QCOMPARE(page->infoStack()->currentWidget()->objectName(), QStringLiteral("pageInfo"));

        // And again, entered from the group tab: it returns there.
        click(visibleButton(list, "devGroupBtn"));
        click(visibleButton(list, "groupEditBtn"));
        QVERIFY(list->isGroupEditing());
        QCOMPARE(page->toolbarStack()->currentIndex(), 1);
        click(visibleButton(where, finishButton));
        verifyListLeftEditing(frame);
        QCOMPARE(list->currentList(), list->groupDeviceList());
        QVERIFY2(env->ui.toastTexts().isEmpty(), qPrintable(env->ui.toastTexts().join(", ")));
    }

    // The title menu's "User manual" opens the guide installed beside the program, in the
    // user's language, and every picture the guide shows is installed with it.
    void userManualOpensInstalledGuide_data()
    {
        QTest::addColumn<QString>("lang");
        QTest::addColumn<QString>("folder");
        QTest::newRow("English") << "en" << "en";
        QTest::newRow("Chinese") << "zh_cn" << "zh";
    }
    void userManualOpensInstalledGuide()
    {
        QFETCH(QString, lang);
        QFETCH(QString, folder);
        KxI18nUtil::instance()->loadMain(QStringLiteral(BREVAN_SOURCE_DIR "/models/resources"),
                                         lang);
        QList<QUrl> opened;
        MainFrameTitle::setUrlOpener([&opened](const QUrl &url) {
            opened << url;
            return true;
        });
        MainFrame frame;
        QAction *manual = frame.title()->action("Manual");
        QVERIFY(manual);
        manual->trigger();
        MainFrameTitle::setUrlOpener(nullptr);
        KxI18nUtil::instance()->loadMain(QStringLiteral(BREVAN_SOURCE_DIR "/models/resources"),
                                         QStringLiteral("en"));

        QCOMPARE(opened.size(), 1);
        QVERIFY2(env->ui.toastTexts().isEmpty(), qPrintable(env->ui.toastTexts().join(", ")));
        const QString file = opened.first().toLocalFile();
        QCOMPARE(file, KxConfig::instance()->resourcesDir() + "/doc/user-guide/" + folder
                           + "/index.html");
        QFile html(file);
        QVERIFY2(html.open(QIODevice::ReadOnly), qPrintable(file));
        const QString text = QString::fromUtf8(html.readAll());
        QVERIFY(text.contains(QStringLiteral("<html lang=")));
        const QDir dir = QFileInfo(file).dir();
        QRegularExpression src(QStringLiteral("(?:src|href)=\"([^\"#:]+)\""));
        int pictures = 0;
        for (auto it = src.globalMatch(text); it.hasNext();) {
            const QString target = it.next().captured(1);
            QVERIFY2(QFileInfo::exists(dir.filePath(target)), qPrintable(target + " is missing"));
            pictures += target.endsWith(QLatin1String(".png")) ? 1 : 0;
        }
        QVERIFY(pictures >= 3); // the list, the details and an opened reader
    }
};

QTEST_MAIN(TestMainWinNavigation)
#include "tst_mainwin_navigation.moc"
