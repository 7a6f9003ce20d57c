// The device list with readers reported by hand: groups and counts, virtual readers, aliases and
// the search, the selection across refreshes and lost readers, network group lists, tabs, group
// editing and the log port announcements.
#include "DeviceListLogic.h"
#include "DeviceListTestEnv.h"
#include "DeviceListWidget.h"
#include "IKxDeviceLogPorts.h"
#include "NDeviceGroupItem.h"
#include "NDeviceList.h"
#include "NDeviceListItem.h"

#include <QToolButton>
#include <QtTest>

using namespace DeviceListLogic;

namespace
{
struct FakeLogPorts : IKxDeviceLogPorts {
    QStringList registered;
    int drops = 0;
    void registerLogPort(const QString &id, const KxDeviceInfoMap &) override { registered << id; }
    void dropLogConnections() override { ++drops; }
};

QStringList ids(NDeviceList *list, bool visibleOnly = false)
{
    QStringList out;
    for (NDeviceListItem *item : list->allDevices())
        if (!visibleOnly || item->matches())
            out << item->deviceId();
    return out;
}

QString clickedId(const QSignalSpy &spy, int i = -1)
{
    return spy.at(i < 0 ? spy.size() - 1 : i).at(0).toString();
}
} // namespace

class TstDeviceListWidget : public QObject
{
    Q_OBJECT
private:
    DeviceListTestEnv *env = nullptr;

private slots:
    void initTestCase() { env = new DeviceListTestEnv; }
    void cleanupTestCase() { delete env; }
    void init() { KxDeviceAlias::instance()->load(KxConfig::instance()->aliasFile()); }

    void virtualReadersOnePerSubGroup()
    {
        DeviceListWidget w;
        NDeviceList *all = w.allDeviceList();
        QCOMPARE(all->group(kGroupHandHeld)->devices().size(), 1);
        QCOMPARE(all->group(kGroupFixedMount)->devices().size(), 1);
        QCOMPARE(all->group(kGroupEngine)->devices().size(), 1);
        const KxDeviceInfoMap fm = all->group(kGroupFixedMount)->devices().first()->deviceInfo();
        QCOMPARE(all->group(kGroupFixedMount)->devices().first()->deviceId(),
                 QString("offLine_KXS-FM800"));
        QCOMPARE(fm.value("offLine"), QString("1"));
        QVERIFY(QFileInfo(fm.value("offLine_xml")).isFile());
        // The camera model has no offline description: no virtual reader for it.
        QVERIFY(!all->contains("offLine_KXS-SC500"));
        QCOMPARE(all->group(kGroupVirtual)->title()->countText(), QString("(3)"));
        QCOMPARE(all->group(kGroupVirtual)->title()->nameText(), QString("Virtual devices"));
    }

    void localAndNetworkGroupsWithCounts()
    {
        DeviceListWidget w;
        w.OnDeviceUpdated("net-1", networkReader("SN-01", "127.0.9.2"));
        w.OnDeviceUpdated("net-2", networkReader("SN-02", "127.0.9.3"));
        w.OnDeviceUpdated("SN-07:COM/dev/pts/7", serialReader("SN-07", "/dev/pts/7"));
        NDeviceList *all = w.allDeviceList();
        QCOMPARE(ids(all).mid(0, 3), QStringList({"SN-07:COM/dev/pts/7", "net-1", "net-2"}));
        QCOMPARE(all->group(kGroupNetwork)->title()->countText(), QString("(2)"));
        QCOMPARE(all->group(kGroupLocal)->title()->countText(), QString("(1)"));
        // An update replaces the entry in place.
        KxDeviceInfoMap moved = networkReader("SN-01", "127.0.9.9");
        w.OnDeviceUpdated("net-1", moved);
        QCOMPARE(all->group(kGroupNetwork)->devices().size(), 2);
        QCOMPARE(all->findDevice("net-1")->deviceInfo().value("Ip Address"), QString("127.0.9.9"));
        // Folding a group keeps its count.
        all->group(kGroupNetwork)->setExpanded(false);
        QCOMPARE(all->group(kGroupNetwork)->title()->countText(), QString("(2)"));
    }

    void aliasFromFileAndSearchByAlias()
    {
        QVERIFY(KxDeviceAlias::instance()->setAlias("SN-0042", "Packing line"));
        DeviceListWidget w;
        w.OnDeviceUpdated("a", networkReader("SN-0042", "127.0.9.2"));
        w.OnDeviceUpdated("b", networkReader("SN-00421", "127.0.9.3"));
        KxDeviceInfoMap held = networkReader("SN-5", "127.0.9.4");
        held.insert("P Alias", "Dock door");
        w.OnDeviceUpdated("c", held);
        NDeviceList *all = w.allDeviceList();
        QCOMPARE(all->findDevice("a")->deviceInfo().value("L Alias"), QString("Packing line"));
        QCOMPARE(all->findDevice("b")->deviceInfo().value("L Alias"), QString());
        QCOMPARE(all->findDevice("c")->deviceInfo().value("L Alias"), QString("Dock door"));
        QCOMPARE(all->findDevice("a")->titleText(), QString("Packing line"));

        w.setSearchText("SN-0042");
        QCOMPARE(ids(all, true), QStringList({"b"})); // the aliased reader is not found by serial
        QCOMPARE(all->group(kGroupNetwork)->title()->countText(), QString("(1)"));
        QCOMPARE(all->group(kGroupVirtual)->title()->countText(), QString("(0)"));
        w.setSearchText("packing");
        QCOMPARE(ids(all, true), QStringList({"a"}));
        w.setSearchText("dock");
        QCOMPARE(ids(all, true), QStringList({"c"}));
        w.setSearchText("");
        QCOMPARE(ids(all, true).size(), 6);
        QVERIFY(KxDeviceAlias::instance()->setAlias("SN-0042", ""));
    }

    void searchSelectsFirstMatch()
    {
        DeviceListWidget w;
        QSignalSpy clicked(&w, &DeviceListWidget::deviceClicked);
        w.OnDeviceUpdated("a", networkReader("SN-A", "127.0.9.2"));
        w.OnDeviceUpdated("b", networkReader("SN-B", "127.0.9.3"));
        w.setSearchText("SN-B");
        QVERIFY(w.hasSelection());
        QCOMPARE(w.selectedDeviceId(), QString("b"));
        QCOMPARE(clickedId(clicked), QString("b"));
    }

    void selectionRestoredAfterRefresh()
    {
        DeviceListWidget w;
        w.setRefreshGraceMs(60000);
        w.OnDeviceUpdated("a", networkReader("SN-A", "127.0.9.2"));
        w.OnDeviceUpdated("b", networkReader("SN-B", "127.0.9.3"));
        QSignalSpy clicked(&w, &DeviceListWidget::deviceClicked);
        QSignalSpy changed(&w, &DeviceListWidget::deviceListChanged);
        w.OnDeviceClicked(kGroupNetwork, "b");
        QCOMPARE(clicked.size(), 1);
        QVERIFY(w.allDeviceList()->findDevice("b")->isSelected());

        w.OnBtnRefreshClicked();
        QVERIFY(!w.hasSelection());
        QCOMPARE(w.selectedDeviceId(), QString("b"));              // remembered
        QCOMPARE(ids(w.allDeviceList()).size(), 5);                // nothing vanished meanwhile
        QVERIFY(w.allDeviceList()->findDevice("b")->isSelected()); // and no flicker of the mark
        w.OnSerialPortDeviceEnumEnd();                             // must not pick another reader
        QCOMPARE(clicked.size(), 1);
        w.OnDeviceUpdated("a", networkReader("SN-A", "127.0.9.2"));
        QCOMPARE(clicked.size(), 1); // b not reported yet
        w.OnDeviceUpdated("b", networkReader("SN-B", "127.0.9.3"));
        QCOMPARE(clicked.size(), 2);
        QCOMPARE(clickedId(clicked), QString("b"));
        QVERIFY(w.hasSelection());
        QCOMPARE(changed.size(), 0);
    }

    void refreshDropsReadersNotReportedAgain()
    {
        DeviceListWidget w;
        w.setRefreshGraceMs(50);
        w.OnDeviceUpdated("a", networkReader("SN-A", "127.0.9.2"));
        w.OnDeviceUpdated("b", networkReader("SN-B", "127.0.9.3"));
        w.OnDeviceClicked(kGroupNetwork, "b");
        QSignalSpy clicked(&w, &DeviceListWidget::deviceClicked);
        w.refresh(0);
        w.OnDeviceUpdated("a", networkReader("SN-A", "127.0.9.2"));
        QTRY_VERIFY(!w.allDeviceList()->contains("b"));
        QVERIFY(w.allDeviceList()->contains("a"));
        QVERIFY(w.allDeviceList()->contains("offLine_KXS-FM800")); // virtual readers stay
        QVERIFY(!w.groupDeviceList()->contains("b"));
        QCOMPARE(w.selectedDeviceId(), QString("a")); // the first remaining entry
        QCOMPARE(clickedId(clicked), QString("a"));
    }

    void offlineReaderMovesSelection()
    {
        DeviceListWidget w;
        w.OnDeviceUpdated("a", networkReader("SN-A", "127.0.9.2"));
        w.OnDeviceUpdated("b", networkReader("SN-B", "127.0.9.3"));
        w.OnDeviceClicked(kGroupNetwork, "b");
        QSignalSpy clicked(&w, &DeviceListWidget::deviceClicked);
        QSignalSpy changed(&w, &DeviceListWidget::deviceListChanged);

        w.OnDeviceOffLine("a"); // not the selected one
        QCOMPARE(clicked.size(), 0);
        QCOMPARE(w.selectedDeviceId(), QString("b"));

        w.OnDeviceOffLine("b");
        QVERIFY(!w.allDeviceList()->contains("b"));
        QCOMPARE(clicked.size(), 1);
        QCOMPARE(clickedId(clicked), w.allDeviceList()->firstVisibleDeviceId());
        QCOMPARE(w.selectedDeviceId(), QString("offLine_KXS-FM800"));
        QCOMPARE(changed.size(), 0);
    }

    void lastVisibleReaderLostClearsSelection()
    {
        DeviceListWidget w;
        w.OnDeviceUpdated("a", networkReader("SN-A", "127.0.9.2"));
        w.setSearchText("SN-A");
        QCOMPARE(w.selectedDeviceId(), QString("a"));
        QSignalSpy changed(&w, &DeviceListWidget::deviceListChanged);
        w.OnDeviceOffLine("a");
        QCOMPARE(changed.size(), 1);
        QVERIFY(!w.hasSelection());
        QVERIFY(w.selectedDeviceId().isEmpty());
    }

    void networkGroupLists()
    {
        DeviceListWidget w;
        KxDeviceInfoMap master = networkReader("SN-M", "127.0.9.2");
        master.insert("Supp Gr", "1");
        master.insert("Gr En", "1");
        master.insert("Gr Role", "1");
        master.insert("Gr Name", "Line");
        master.insert("Gr Mst SN", "SN-M");
        KxDeviceInfoMap slave = master;
        slave.insert("Serial Number", "SN-S");
        slave.insert("Gr Role", "2");
        KxDeviceInfoMap loose = networkReader("SN-L", "127.0.9.4");
        loose.insert("Supp Gr", "1");
        loose.insert("Gr En", "0");
        w.OnDeviceUpdated("m", master);
        w.OnDeviceUpdated("s", slave);
        w.OnDeviceUpdated("l", loose);
        w.OnDeviceUpdated("x", networkReader("SN-X", "127.0.9.5")); // no group support
        NDeviceList *groups = w.groupDeviceList();
        QString group;
        QVERIFY(groups->findDevice("m", &group));
        QCOMPARE(group, QString("Line-SN-M"));
        QVERIFY(groups->findDevice("s", &group));
        QCOMPARE(group, QString("Line-SN-M-Slaves"));
        QVERIFY(groups->findDevice("l", &group));
        QCOMPARE(group, QString(kGroupUngrouped));
        QVERIFY(!groups->contains("x"));
        QCOMPARE(groups->group("Line-SN-M")->title()->countText(), QString("(2)"));
        QCOMPARE(groups->group("Line-SN-M")->title()->nameText(), QString("Line"));

        // The slave leaves the group; the master too: the empty group goes away.
        slave.insert("Gr En", "0");
        w.OnDeviceUpdated("s", slave);
        QVERIFY(groups->findDevice("s", &group));
        QCOMPARE(group, QString(kGroupUngrouped));
        QVERIFY(!groups->group("Line-SN-M-Slaves"));
        master.insert("Gr En", "0");
        w.OnDeviceUpdated("m", master);
        QVERIFY(!groups->group("Line-SN-M"));
        QCOMPARE(groups->group(kGroupUngrouped)->title()->countText(), QString("(3)"));
    }

    void tabsAndGroupEditing()
    {
        DeviceListWidget w;
        KxDeviceInfoMap a = networkReader("SN-A", "127.0.9.2");
        a.insert("Supp Gr", "1");
        a.insert("Gr En", "0");
        w.OnDeviceUpdated("a", a);
        w.OnDeviceUpdated("b", networkReader("SN-B", "127.0.9.3"));
        w.OnDeviceClicked(kGroupNetwork, "a");
        QSignalSpy clicked(&w, &DeviceListWidget::deviceClicked);
        QSignalSpy ready(&w, &DeviceListWidget::readyToEditNetGroup);

        w.OnGroupBtnClicked();
        QCOMPARE(w.currentList(), w.groupDeviceList());
        w.OnGroupEditBtnClicked();
        QVERIFY(w.isGroupEditing());
        QCOMPARE(w.currentList(), w.editGroupList());
        QCOMPARE(ready.size(), 1);
        const auto maps = ready.at(0).at(0).value<QList<KxDeviceInfoMap>>();
        QCOMPARE(maps.size(), 1);
        QCOMPARE(maps.first().value("Serial Number"), QString("SN-A"));
        QVERIFY(w.editGroupList()->findDevice("a")->groupButton()->isVisibleTo(&w));
        // Updates while editing do not touch the group list the editor works on.
        a.insert("Gr En", "1");
        a.insert("Gr Name", "New");
        a.insert("Gr Mst SN", "SN-A");
        w.OnDeviceUpdated("a", a);
        QVERIFY(!w.groupDeviceList()->group("New-SN-A"));
        QSignalSpy addToGroup(&w, &DeviceListWidget::addDevToNetGroup);
        w.editGroupList()->findDevice("a")->groupButton()->click();
        QCOMPARE(addToGroup.size(), 1);

        w.RebackDeviceListWidget();
        QVERIFY(!w.isGroupEditing());
        QCOMPARE(w.currentList(), w.groupDeviceList());
        w.OnListBtnClicked();
        QCOMPARE(w.currentList(), w.allDeviceList());
        QCOMPARE(clickedId(clicked), QString("a")); // the list tab re-announces the selection
    }

    void logPortsAnnouncedAndDropped()
    {
        FakeLogPorts ports;
        setDeviceLogPorts(&ports);
        {
            DeviceListWidget w;
            w.setRefreshGraceMs(60000);
            KxDeviceInfoMap net = networkReader("SN-A", "127.0.9.2");
            net.insert("Log Port", "36521");
            KxDeviceInfoMap serial = serialReader("SN-S", "/dev/pts/9");
            serial.insert("Log Port", "1");
            w.OnDeviceUpdated("a", net);
            w.OnDeviceUpdated("s", serial);
            w.OnDeviceUpdated("b", networkReader("SN-B", "127.0.9.3"));
            QCOMPARE(ports.registered, QStringList({"a"}));
            w.refresh(0);
            QCOMPARE(ports.drops, 1);
            qApp->setProperty("LOG_CONN_NO_FRESH", true);
            w.refresh(0);
            QCOMPARE(ports.drops, 1);
            qApp->setProperty("LOG_CONN_NO_FRESH", false);
        }
        setDeviceLogPorts(nullptr);
    }
};

QTEST_MAIN(TstDeviceListWidget)
#include "tst_devicelistwidget.moc"
