// Plain rules of the main window: which device buttons a reader gets, which edit mode opens,
// which edge a point resizes, and the about texts.
#include "AboutDlg.h"
#include "KxI18nUtil.h"
#include "MainFrame.h"
#include "MainPageButtons.h"
#include "NMainWindow.h"

#include <QtTest>

using Vis = MainPageButtons::Visibility;
Q_DECLARE_METATYPE(KxDeviceInfoMap)
Q_DECLARE_METATYPE(Vis)

namespace
{
// vision, quick, advanced, network, group edit, firmware
Vis vis(bool v, bool q, bool a, bool n, bool g, bool f)
{
    Vis x;
    x.vision = v;
    x.quick = q;
    x.advanced = a;
    x.network = n;
    x.groupEdit = g;
    x.firmware = f;
    return x;
}
const KxDeviceInfoMap kNetCaps{{"Device Type", "USB CDC"}, {"NETDEN", "1"}, {"NETLPA", "1"},
                               {"NETSMK", "1"},           {"NETGIP", "1"}};
KxDeviceInfoMap with(KxDeviceInfoMap base, const KxDeviceInfoMap &more)
{
    for (auto it = more.begin(); it != more.end(); ++it)
        base.insert(it.key(), it.value());
    return base;
}
} // namespace

class TestMainWinLogic : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(KxI18nUtil::instance()->loadMain(
            QStringLiteral(BREVAN_SOURCE_DIR "/models/resources"), QStringLiteral("en")));
    }

    void buttonVisibility_data()
    {
        QTest::addColumn<KxDeviceInfoMap>("info");
        QTest::addColumn<bool>("debug");
        QTest::addColumn<Vis>("expected");
        const KxDeviceInfoMap plain{{"Product Name", "KXS-FM800"}};
        QTest::newRow("plain network reader") << plain << false << vis(0, 1, 1, 0, 0, 1);
        QTest::newRow("offline description hides network, group, vision, firmware")
            << KxDeviceInfoMap{{"offLine", "1"}, {"ZUI SUPPORT", "1"}, {"Supp Gr", "1"},
                               {"NETDEN", "1"}, {"NETLPA", "1"}, {"NETSMK", "1"},
                               {"NETGIP", "1"}, {"Device Type", "USB"}}
            << false << vis(0, 1, 1, 0, 0, 0);
        QTest::newRow("offline with Online 0 keeps quick and advanced")
            << KxDeviceInfoMap{{"offLine", "1"}, {"Online", "0"}} << false << vis(0, 1, 1, 0, 0, 0);
        QTest::newRow("Online 0 hides all six")
            << with(kNetCaps, {{"Supp Gr", "1"}, {"Online", "0"}}) << false << vis(0, 0, 0, 0, 0, 0);
        QTest::newRow("Online 0 hides all six, debug too")
            << KxDeviceInfoMap{{"ZUI SUPPORT", "1"}, {"Online", "0"}} << true
            << vis(0, 0, 0, 0, 0, 0);
        QTest::newRow("Online 1 changes nothing") << with(plain, {{"Online", "1"}}) << false
                                                  << vis(0, 1, 1, 0, 0, 1);
        QTest::newRow("vision reader") << KxDeviceInfoMap{{"ZUI SUPPORT", "1"}} << false
                                       << vis(1, 0, 0, 0, 0, 1);
        QTest::newRow("vision reader with debug switch")
            << KxDeviceInfoMap{{"ZUI SUPPORT", "1"}} << true << vis(1, 1, 1, 0, 0, 1);
        QTest::newRow("rfid reader") << KxDeviceInfoMap{{"rfid", "1"}} << false
                                     << vis(0, 0, 1, 0, 0, 1);
        QTest::newRow("rfid reader with debug switch") << KxDeviceInfoMap{{"rfid", "1"}} << true
                                                       << vis(0, 0, 1, 0, 0, 1);
        QTest::newRow("local reader that can change its network") << kNetCaps << false
                                                                  << vis(0, 1, 1, 1, 0, 1);
        QTest::newRow("network reader without address")
            << KxDeviceInfoMap{{"NETDEN", "1"}, {"NETLPA", "1"}, {"NETSMK", "1"}, {"NETGIP", "1"}}
            << false << vis(0, 1, 1, 0, 0, 1);
        QTest::newRow("network reader can change its network")
            << KxDeviceInfoMap{{"Ip Address", "127.0.0.2"}, {"MAC Address", "00:11"}} << false
            << vis(0, 1, 1, 1, 0, 1);
        QTest::newRow("local reader with an address but no network commands")
            << KxDeviceInfoMap{{"Device Type", "COM"}, {"Ip Address", "127.0.0.2"}} << false
            << vis(0, 1, 1, 0, 0, 1);
        KxDeviceInfoMap missingGip = kNetCaps;
        missingGip.remove("NETGIP");
        QTest::newRow("one network command missing") << missingGip << false
                                                     << vis(0, 1, 1, 0, 0, 1);
        QTest::newRow("group support 1") << KxDeviceInfoMap{{"Supp Gr", "1"}} << false
                                         << vis(0, 1, 1, 0, 1, 1);
        QTest::newRow("group support 0") << KxDeviceInfoMap{{"Supp Gr", "0"}} << false
                                         << vis(0, 1, 1, 0, 0, 1);
        QTest::newRow("group support 2 is not 1") << KxDeviceInfoMap{{"Supp Gr", "2"}} << false
                                                  << vis(0, 1, 1, 0, 0, 1);
    }
    void buttonVisibility()
    {
        QFETCH(KxDeviceInfoMap, info);
        QFETCH(bool, debug);
        QFETCH(Vis, expected);
        const Vis got = MainPageButtons::visibility(info, debug);
        QCOMPARE(got.vision, expected.vision);
        QCOMPARE(got.quick, expected.quick);
        QCOMPARE(got.advanced, expected.advanced);
        QCOMPARE(got.network, expected.network);
        QCOMPARE(got.groupEdit, expected.groupEdit);
        QCOMPARE(got.firmware, expected.firmware);
    }

    void editModes_data()
    {
        QTest::addColumn<KxDeviceInfoMap>("info");
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("mode");
        const KxDeviceInfoMap plain{{"Product Name", "KXS-FM800"}};
        const KxDeviceInfoMap vision{{"ZUI SUPPORT", "1"}};
        const KxDeviceInfoMap rfid{{"rfid", "1"}};
        QTest::newRow("double click plain") << plain << QString() << 1;
        QTest::newRow("double click vision") << vision << QString() << 3;
        QTest::newRow("double click rfid") << rfid << QString() << 4;
        QTest::newRow("quick plain") << plain << "Id_Btn_QuickSettings" << 1;
        QTest::newRow("quick rfid") << rfid << "Id_Btn_QuickSettings" << 4;
        QTest::newRow("advanced plain") << plain << "Id_Btn_AdvancedSettings" << 2;
        QTest::newRow("advanced rfid") << rfid << "Id_Btn_AdvancedSettings" << 4;
        QTest::newRow("vision button") << plain << "Id_Btn_VisionSettings" << 3;
        QTest::newRow("statistics") << plain << "Id_Btn_Statistics" << 5;
        QTest::newRow("network settings opens no edit page") << plain << "Id_Btn_NetworkSettings"
                                                             << 0;
        QTest::newRow("firmware opens no edit page") << plain << "Id_Btn_FirmwareUpgrade" << 0;
    }
    void editModes()
    {
        QFETCH(KxDeviceInfoMap, info);
        QFETCH(QString, button);
        QFETCH(int, mode);
        if (button.isEmpty())
            QCOMPARE(int(MainPageButtons::doubleClickMode(info)), mode);
        else
            QCOMPARE(int(MainPageButtons::buttonMode(button, info)), mode);
    }

    void resizeEdges_data()
    {
        QTest::addColumn<QPoint>("pos");
        QTest::addColumn<int>("edges");
        const int l = Qt::LeftEdge, r = Qt::RightEdge, t = Qt::TopEdge, b = Qt::BottomEdge;
        QTest::newRow("middle") << QPoint(200, 150) << 0;
        QTest::newRow("left border") << QPoint(0, 150) << l;
        QTest::newRow("last left pixel") << QPoint(4, 150) << l;
        QTest::newRow("just inside left") << QPoint(5, 150) << 0;
        QTest::newRow("right border") << QPoint(399, 150) << r;
        QTest::newRow("just inside right") << QPoint(394, 150) << 0;
        QTest::newRow("top") << QPoint(200, 0) << t;
        QTest::newRow("bottom") << QPoint(200, 297) << b;
        QTest::newRow("top left corner") << QPoint(1, 1) << (l | t);
        QTest::newRow("bottom right corner") << QPoint(398, 298) << (r | b);
        QTest::newRow("top right corner") << QPoint(398, 2) << (r | t);
        QTest::newRow("outside") << QPoint(-1, 150) << 0;
        QTest::newRow("outside below") << QPoint(200, 300) << 0;
    }
    void resizeEdges()
    {
        QFETCH(QPoint, pos);
        QFETCH(int, edges);
        QCOMPARE(int(NMainWindow::edgesAt(QSize(400, 300), pos, 5)), edges);
    }

    void websiteByRegion_data()
    {
        QTest::addColumn<QString>("region");
        QTest::addColumn<QString>("key");
        QTest::newRow("no region") << QString() << "#IDS_OfficialWebsite_Global";
        QTest::newRow("region key") << "#IDS_Region_CN" << "#IDS_OfficialWebsite_CN";
        QTest::newRow("region text") << "China" << "#IDS_OfficialWebsite_CN";
        QTest::newRow("unknown region") << "Atlantis" << "#IDS_OfficialWebsite_Global";
    }
    void websiteByRegion()
    {
        QFETCH(QString, region);
        QFETCH(QString, key);
        QCOMPARE(AboutDlg::websiteKey(region), key);
    }
};

QTEST_MAIN(TestMainWinLogic)
#include "tst_mainwin_logic.moc"
