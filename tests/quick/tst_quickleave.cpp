// Leaving the quick page while a tool runs, as a user does it in the main window: the reader is
// opened from the main page, the debug test started on the quick page, and the frame's other
// pages or its main-page button clicked; the reader must have stopped testing and the page gone.
#include "BCodeEditFrame.h"
#include "DeviceEditClient.h"
#include "DeviceListLogic.h"
#include "DeviceListWidget.h"
#include "DialogTestUtil.h"
#include "KxDeviceConnector.h"
#include "KxDeviceTypes.h"
#include "KxLoginedDevicesManage.h"
#include "KxSettings.h"
#include "MainFrame.h"
#include "MainPageClient.h"
#include "MainWinTestEnv.h"
#include "NDeviceGroupItem.h"
#include "NDeviceList.h"
#include "NDeviceListItem.h"
#include "QuickSettingsWidget.h"
#include "QuickTools.h"
#include "VReaderSession.h"

#include <QAbstractButton>
#include <QJsonDocument>
#include <QJsonObject>
#include <QToolButton>
#include <QtTest>

namespace {
int testState(KxDeviceConnector *c)
{
    return QJsonDocument::fromJson(VReaderSession::readerValue(c, QStringLiteral("TESQST")))
        .object()
        .value(QStringLiteral("test"))
        .toInt(-1);
}
}  // namespace

class TestQuickLeave : public QObject
{
    Q_OBJECT
    MainWinTestEnv *env = nullptr;
    VReaderProcess vr;

    NDeviceListItem *listed(MainFrame &frame)
    {
        NDeviceGroupItem *net =
            frame.mainPage()->deviceList()->allDeviceList()->group(DeviceListLogic::kGroupNetwork);
        if (!net)
            return nullptr;
        for (NDeviceListItem *item : net->devices()) {
            if (item->deviceInfo().value("Ip Address") == vr.readers().value(0).address
                && item->deviceInfo().value("offLine") != QLatin1String("1"))
                return item;
        }
        return nullptr;
    }

private slots:
    void initTestCase()
    {
        env = new MainWinTestEnv;
        MainFrame::setAvailableGeometryProvider([] { return QRect(0, 0, 1400, 900); });
        const QString why = VReaderSession::startForDiscovery(vr, {"--count", "1"});
        QVERIFY2(why.isEmpty(), qPrintable(why));
        // The debug test runs until stopped.
        KxSettings::instance()->setValue("TestEx", "NumberOfTimes", 0);
    }
    void cleanupTestCase()
    {
        MainFrame::setAvailableGeometryProvider(nullptr);
        vr.stop();
        delete env;
    }

    void leavingStopsTheRunningTest_data()
    {
        QTest::addColumn<QString>("button");
        QTest::newRow("advanced page") << "Id_Btn_AdvancedSettings";
        QTest::newRow("configuration sets") << "Id_Btn_ConfigLibSettings";
        QTest::newRow("main page") << "Id_Btn_MainPage";
    }
    void leavingStopsTheRunningTest()
    {
        QFETCH(QString, button);
        MainFrame frame;
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        NDeviceListItem *item = nullptr;
        QVERIFY(waitFor([&] { return (item = listed(frame)); }, 15000));
        const QString id = item->deviceId();
        MainPageClient *main = frame.mainPage();
        QTest::mouseClick(item, Qt::LeftButton, Qt::NoModifier, QPoint(20, 10));
        QVERIFY(waitFor([&] { return main->selectedDeviceId() == id; }, 5000));
        QAbstractButton *quick = main->button("Id_Btn_QuickSettings");
        QVERIFY(quick && quick->isVisibleTo(main));
        quick->click();
        QVERIFY(waitFor([&] { return frame.getCurPanelId() == MainFramePanel_DeviceEdit; }));
        auto *client = qobject_cast<DeviceEditClient *>(frame.currentPanel());
        auto *edit = client ? qobject_cast<BCodeEditFrame *>(client->currentFrame()) : nullptr;
        QVERIFY(edit && edit->quickPage());
        QCOMPARE(edit->currentPage(), static_cast<QWidget *>(edit->quickPage()));
        KxDeviceConnector *c = KxLoginedDevicesManage::instance()->device(id);
        QVERIFY(c);

        QToolButton *test = edit->quickPage()->tool(QuickTools::testEx());
        QVERIFY(test);
        QTest::mouseClick(test, Qt::LeftButton);
        QVERIFY(edit->quickPage()->isBusy());
        QTRY_COMPARE_WITH_TIMEOUT(testState(c), 1, 30000);

        QToolButton *leave = edit->toolButton(button);
        QVERIFY2(leave && leave->isVisibleTo(edit), qPrintable(button));
        QTest::mouseClick(leave, Qt::LeftButton);
        if (button == QLatin1String("Id_Btn_MainPage")) {
            // The tool had ended (its stop sent) by the time the click let the reader go.
            QCOMPARE(frame.getCurPanelId(), int(MainFramePanel_Main));
            QVERIFY(!edit->quickPage()->isBusy());
            QVERIFY(!test->isChecked());
            // A new session finds the reader idle.
            auto again = VReaderSession::login(vr);
            QVERIFY(again);
            QCOMPARE(testState(again.get()), 0);
            return;
        }
        QTRY_VERIFY_WITH_TIMEOUT(edit->currentPage() != edit->quickPage(), 30000);
        QTRY_VERIFY_WITH_TIMEOUT(!edit->quickPage()->isBusy(), 30000);
        QVERIFY(!test->isChecked());
        QTRY_COMPARE_WITH_TIMEOUT(testState(c), 0, 30000);
        // Back to the main page, so the next case opens the reader afresh.
        edit->toolButton("Id_Btn_MainPage")->click();
        QTRY_COMPARE_WITH_TIMEOUT(frame.getCurPanelId(), int(MainFramePanel_Main), 30000);
    }
};

QTEST_MAIN(TestQuickLeave)
#include "tst_quickleave.moc"
