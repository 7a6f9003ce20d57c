// The main window against the real virtual reader on loopback: the reader is listed within one
// scan period, selecting it shows its details and buttons, and a double click connects, logs in
// and opens the edit page; going back to the main page releases the reader.
#include "BrevanResources.h"
#include "DeviceInfoWidget.h"
#include "DeviceListLogic.h"
#include "DeviceListWidget.h"
#include "BCodeEditFrame.h"
#include "DeviceEditClient.h"
#include "QuickSettingsWidget.h"
#include "KxDeviceConnector.h"
#include "KxDeviceKit.h"
#include "KxDeviceTypes.h"
#include "KxI18nUtil.h"
#include "KxToggleSwitch.h"
#include "KxLoginedDevicesManage.h"
#include "MainFrame.h"
#include "MainPageClient.h"
#include "MainWinTestEnv.h"
#include "NDeviceGroupItem.h"
#include "NDeviceList.h"
#include "NDeviceListItem.h"
#include "USBDeviceManager.h"
#include "VReaderSession.h"
#include "VisionEditFrame.h"

#include <QPushButton>

#include <QAbstractButton>
#include <QStackedWidget>
#include <QtTest>

class TestMainWinVReader : public QObject
{
    Q_OBJECT
private:
    MainWinTestEnv *env = nullptr;
    VReaderProcess vr;

    NDeviceListItem *listed(MainFrame &frame, const QString &ip)
    {
        NDeviceGroupItem *net = frame.mainPage()->deviceList()->allDeviceList()->group(
            DeviceListLogic::kGroupNetwork);
        if (!net)
            return nullptr;
        for (NDeviceListItem *item : net->devices()) {
            if (item->deviceInfo().value("Ip Address") == ip)
                return item;
        }
        return nullptr;
    }

private slots:
    void initTestCase()
    {
        brevanInitResources();
        env = new MainWinTestEnv;
        MainFrame::setAvailableGeometryProvider([] { return QRect(0, 0, 1400, 900); });
        const QString why =
            VReaderSession::startForDiscovery(vr, {"--model", "KXS-FM800", "--count", "1"});
        QVERIFY2(why.isEmpty(), qPrintable(why));
    }
    void cleanupTestCase()
    {
        MainFrame::setAvailableGeometryProvider(nullptr);
        vr.stop();
        delete env;
    }

    void init() { env->ui.clear(); }

    void openReaderFromTheList()
    {
        const VReaderProcess::Reader reader = vr.readers().first();
        MainFrame frame;
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        MainPageClient *page = frame.mainPage();

        // One scan period is 2 s; the first scan starts 300 ms after the list is built.
        QElapsedTimer timer;
        timer.start();
        NDeviceListItem *item = nullptr;
        while (!(item = listed(frame, reader.address)) && timer.elapsed() < 2300 + 1500)
            QTest::qWait(20);
        QVERIFY2(item, qPrintable(QString("not listed after %1 ms").arg(timer.elapsed())));
        const QString id = item->deviceId();
        QCOMPARE(item->deviceInfo().value("Serial Number"), reader.serial);

        // Selecting it shows its details and the buttons a network fixed-mount reader has.
        QTest::mouseClick(item, Qt::LeftButton, Qt::NoModifier, QPoint(20, 10));
        QTRY_COMPARE(page->selectedDeviceId(), id);
        QCOMPARE(page->infoStack()->currentWidget()->objectName(), QStringLiteral("pageInfo"));
        QCOMPARE(page->deviceInfo()->deviceId(), id);
        for (const char *shown : {"Id_Btn_QuickSettings", "Id_Btn_AdvancedSettings",
                                  "Id_Btn_FirmwareUpgrade", "Id_Btn_NetworkSettings"})
            QVERIFY2(page->button(shown)->isVisibleTo(page), shown);
        for (const char *hidden : {"Id_Btn_VisionSettings"})
            QVERIFY2(!page->button(hidden)->isVisibleTo(page), hidden);

        // A double click connects, logs in and opens the edit page in quick settings.
        QTest::mouseDClick(item, Qt::LeftButton, Qt::NoModifier, QPoint(20, 10));
        QTRY_COMPARE_WITH_TIMEOUT(frame.getCurPanelId(), MainFramePanel_DeviceEdit, 30000);
        auto *edit = qobject_cast<DeviceEditClient *>(frame.currentPanel());
        QVERIFY(edit);
        auto *barcode = qobject_cast<BCodeEditFrame *>(edit->currentFrame());
        QVERIFY(barcode);
        QCOMPARE(barcode->deviceId(), id);
        QCOMPARE(barcode->currentPage(), barcode->quickPage());
        QPointer<KxDeviceConnector> connector = KxLoginedDevicesManage::instance()->device(id);
        QVERIFY(connector);
        QVERIFY(connector->isConnected());
        QCOMPARE(connector->state(), int(DeviceState_LoggedIn));
        QVERIFY(!env->ui.isWaitingShown());
        QVERIFY(!USBDeviceManager::instance()->notificationsEnabled());
        QVERIFY2(env->ui.toastTexts().isEmpty(), qPrintable(env->ui.toastTexts().join(", ")));

        // Back to the main page: the edit page lets the reader go.
        frame.showPanel(MainFramePanel_Main);
        QCOMPARE(frame.getCurPanelId(), MainFramePanel_Main);
        QVERIFY(connector);
        QCOMPARE(connector->state(), int(DeviceState_LoggedOut));
        QVERIFY(USBDeviceManager::instance()->notificationsEnabled());
        QVERIFY(frame.close());
    }

    // Connected from the details' switch: the list says "Connected", not "In use", because the
    // program holding the reader is this one.
    void ownConnectionIsNotInUse()
    {
        const VReaderProcess::Reader reader = vr.readers().first();
        MainFrame frame;
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        MainPageClient *page = frame.mainPage();
        QTRY_VERIFY_WITH_TIMEOUT(listed(frame, reader.address), 15000);
        NDeviceListItem *item = listed(frame, reader.address);
        const QString id = item->deviceId();
        QTest::mouseClick(item, Qt::LeftButton, Qt::NoModifier, QPoint(20, 10));
        QTRY_COMPARE(page->selectedDeviceId(), id);

        QWidget *sw = page->deviceInfo()->connectSwitch();
        QTest::mouseClick(sw, Qt::LeftButton, Qt::NoModifier, sw->rect().center());
        QTRY_VERIFY_WITH_TIMEOUT(KxLoginedDevicesManage::instance()->device(id), 30000);
        QVERIFY(KxLoginedDevicesManage::instance()->device(id)->isConnected());
        // The reader reports itself held on the next scan (one period is 2 s).
        QTRY_VERIFY_WITH_TIMEOUT((item = listed(frame, reader.address))
                                     && item->deviceInfo().value("Is Connected To Configtool")
                                         == "1",
                                 15000);
        QCOMPARE(item->stateText(), kxTr("#IDS_DeviceState_Connected"));
        QVERIFY2(env->ui.toastTexts().isEmpty(), qPrintable(env->ui.toastTexts().join(", ")));

        QTest::mouseClick(sw, Qt::LeftButton, Qt::NoModifier, sw->rect().center());
        QTRY_VERIFY_WITH_TIMEOUT(!KxDeviceKit::Instance()->isConnected(id), 15000);
        KxLoginedDevicesManage::instance()->disconnectAllDevicesEx();
        QVERIFY(frame.close());
    }

    // A camera is reachable, but its vision session cannot be opened by this version: the user
    // is told exactly that, not that the connection failed, whichever way it is opened.
    void cameraOpensInVisionFrame()
    {
        VReaderProcess cam;
        const QString why =
            VReaderSession::startForDiscovery(cam, {"--model", "KXS-SC500", "--count", "1"});
        QVERIFY2(why.isEmpty(), qPrintable(why));
        const VReaderProcess::Reader camera = cam.readers().first();
        {
            MainFrame frame;
            frame.show();
            QVERIFY(QTest::qWaitForWindowExposed(&frame));
            MainPageClient *page = frame.mainPage();
            QTRY_VERIFY_WITH_TIMEOUT(listed(frame, camera.address), 15000);
            NDeviceListItem *item = listed(frame, camera.address);
            QTest::mouseClick(item, Qt::LeftButton, Qt::NoModifier, QPoint(20, 10));
            QTRY_COMPARE(page->selectedDeviceId(), item->deviceId());
            QAbstractButton *vision = page->button("Id_Btn_VisionSettings");
            QVERIFY(vision->isVisible());
            // The camera opens in the vision frame with its solutions; Back leads home.
            QTest::mouseClick(vision, Qt::LeftButton, Qt::NoModifier, vision->rect().center());
            QTRY_COMPARE_WITH_TIMEOUT(frame.getCurPanelId(), MainFramePanel_DeviceEdit, 60000);
            QTRY_VERIFY(VisionEditFrame::live() && VisionEditFrame::live()->connector());
            QVERIFY(VisionEditFrame::live()->isVisible());
            QVERIFY(env->ui.toastTexts().isEmpty());
            VisionEditFrame::live()->button(QStringLiteral("btnHome"))->click();
            QTRY_COMPARE(frame.getCurPanelId(), MainFramePanel_Main);
            QVERIFY(frame.close());
        }
        cam.stop();
        KxDeviceKit::Instance()->setDiscoveryPort(vr.discoveryPort());
        KxDeviceKit::Instance()->setScanAddresses(vr.firstAddress());
        env->ui.clear();
    }
};

QTEST_MAIN(TestMainWinVReader)
#include "tst_mainwin_vreader.moc"
