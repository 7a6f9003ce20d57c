// The device list's group display: a group master shown as a box that unfolds the members it
// names, marking one discovery does not report, and the entry changing kind as the reader's
// role changes.
#include "DeviceListLogic.h"
#include "DeviceListTestEnv.h"
#include "DeviceListWidget.h"
#include "NBoxDeviceListItem.h"
#include "NDeviceGroupItem.h"
#include "NDeviceList.h"

#include <QToolButton>
#include <QtTest>

using namespace DeviceListLogic;

namespace
{
KxDeviceInfoMap member(const QString &sn, const QString &ip, const QString &role)
{
    KxDeviceInfoMap m = networkReader(sn, ip);
    m.insert("Supp Gr", "1");
    m.insert("Gr En", "1");
    m.insert("Gr Role", role);
    m.insert("Gr Name", "Line A");
    m.insert("Gr Mst SN", "FM01");
    return m;
}
} // namespace

class TstGroupsList : public QObject
{
    Q_OBJECT
private:
    DeviceListTestEnv *env = nullptr;

private slots:
    void initTestCase() { env = new DeviceListTestEnv; }
    void cleanupTestCase() { delete env; }

    void masterBoxShowsItsMembers()
    {
        DeviceListWidget w;
        w.resize(330, 600);
        KxDeviceInfoMap master = member("FM01", "127.0.0.2", "1");
        master.insert("Gr slave", "<FM02,02:4B:00:00:00:02,127.0.0.3>,"
                                  "<FM03,02:4B:00:00:00:03,127.0.0.4>");
        w.OnDeviceUpdated("m", master);
        w.OnDeviceUpdated("s", member("FM02", "127.0.0.3", "2"));
        w.OnGroupBtnClicked();
        w.show();

        auto *box = qobject_cast<NBoxDeviceListItem *>(w.groupDeviceList()->findDevice("m"));
        QVERIFY(box);
        QVERIFY(qobject_cast<NBoxDeviceListItem *>(w.allDeviceList()->findDevice("m")));
        QVERIFY(!qobject_cast<NBoxDeviceListItem *>(w.groupDeviceList()->findDevice("s")));
        QString group;
        w.groupDeviceList()->findDevice("s", &group);
        QCOMPARE(group, QString("Line A-FM01-Slaves"));
        // FM03 is named by the master but not reported: marked.
        const QStringList parts = box->partTexts();
        QCOMPARE(parts.size(), 2);
        QVERIFY(parts[0].startsWith("FM02") && !parts[0].contains("(not found)"));
        QVERIFY(parts[1].startsWith("FM03") && parts[1].contains("(not found)"));
        // Folded until the arrow is pressed; unfolded it makes room for both lines.
        QVERIFY(!box->isExpanded());
        const int folded = box->height();
        QTest::mouseClick(box->expandButton(), Qt::LeftButton);
        QVERIFY(box->isExpanded());
        QVERIFY(box->height() >= folded + 2 * 20);
        // FM03 appears: no longer marked.
        w.OnDeviceUpdated("t", member("FM03", "127.0.0.4", "2"));
        QVERIFY(!box->partTexts()[1].contains("(not found)"));

        // The master leaves its group: an ordinary entry among the ungrouped readers.
        KxDeviceInfoMap left = master;
        left.insert("Gr En", "0");
        w.OnDeviceUpdated("m", left);
        NDeviceListItem *plain = w.allDeviceList()->findDevice("m");
        QVERIFY(plain);
        QVERIFY(!qobject_cast<NBoxDeviceListItem *>(plain));
        w.groupDeviceList()->findDevice("m", &group);
        QCOMPARE(group, QString(kGroupUngrouped));
        QCOMPARE(w.allDeviceList()->group(kGroupNetwork)->devices().size(), 3);
    }
};

QTEST_MAIN(TstGroupsList)
#include "tst_groups_list.moc"
