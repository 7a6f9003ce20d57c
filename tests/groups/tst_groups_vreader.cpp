// Network groups against three real virtual readers on loopback: a group saved, found again
// after a fresh discovery with the right roles and dissolved; a master alone; malformed texts
// refused without a change; saving with no change; the editor entered and left through the
// main window as a user clicks; and a reader that stops answering failing the save.
#include "BrevanResources.h"
#include "DeviceListWidget.h"
#include "KxDeviceKit.h"
#include "KxNetGroupConfig.h"
#include "MainFrame.h"
#include "MainPageClient.h"
#include "MainWinTestEnv.h"
#include "NDeviceList.h"
#include "NDeviceListItem.h"
#include "NetGroupEditWidget.h"
#include "NetGroupTree.h"
#include "VReaderProcess.h"

#include <QAbstractButton>
#include <QMimeData>
#include <QStackedWidget>
#include <QToolButton>
#include <QtTest>

namespace
{
constexpr int kSaveMs = 40000; // 100 ticks of answers plus 100 of reports, with room to spare

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

class TstGroupsVReader : public QObject
{
    Q_OBJECT
private:
    MainWinTestEnv *env = nullptr;
    VReaderProcess vr;
    QMap<QString, KxDeviceInfoMap> latest; // serial number -> last information reported
    QStringList sn;                        // the three readers' serial numbers

    QString keyOf(int i) const { return KxNetGroupModel::keyOf(latest.value(sn.value(i))); }
    QList<KxDeviceInfoMap> maps() const { return latest.values(); }

    // Forgets what was reported, asks for a fresh discovery and waits for all three.
    bool rediscover()
    {
        latest.clear();
        KxDeviceKit::Instance()->refreshDeviceScan(3);
        QElapsedTimer t;
        t.start();
        while (latest.size() < 3 && t.elapsed() < 20000)
            QTest::qWait(20);
        return latest.size() == 3;
    }
    bool saveAndWait(NetGroupEditWidget &ed)
    {
        QSignalSpy done(&ed, &NetGroupEditWidget::saveFinished);
        if (!ed.save())
            return false;
        if (!done.wait(kSaveMs) && done.isEmpty())
            return false;
        return done.first().at(0).toBool();
    }
    QString grKey(int i, const char *key) const { return latest.value(sn.value(i)).value(key); }

private slots:
    void initTestCase()
    {
        brevanInitResources();
        env = new MainWinTestEnv;
        // A reader that stops answering must stay listed while its save runs out.
        qApp->setProperty("localSetting_deviceAliveTimes", QStringLiteral("120"));
        MainFrame::setAvailableGeometryProvider([] { return QRect(0, 0, 1400, 900); });
        QVERIFY2(vr.start({"--model", "KXS-FM800", "--count", "3"}), vr.errorOutput().constData());
        QCOMPARE(vr.readers().size(), 3);
        for (const auto &r : vr.readers())
            sn << r.serial;
        KxDeviceKit *kit = KxDeviceKit::Instance();
        kit->setDiscoveryPort(vr.discoveryPort());
        QCOMPARE(kit->setScanAddresses(vr.firstAddress() + "/29").size(), 8);
        kit->setCheckDeviceAliveTime(120);
        connect(kit, &KxDeviceKit::deviceUpdated, this,
                [this](const QString &, const QMap<QString, QString> &info) {
                    latest.insert(info.value("Serial Number"), info);
                });
        kit->startDeviceScan(3, 2000);
        QTRY_COMPARE_WITH_TIMEOUT(latest.size(), 3, 20000);
        for (const QString &s : sn)
            QCOMPARE(latest.value(s).value("Gr En"), QString("0"));
    }
    void cleanupTestCase()
    {
        KxDeviceKit::Instance()->stopDeviceScan(3);
        MainFrame::setAvailableGeometryProvider(nullptr);
        vr.stop();
        delete env;
    }
    void init() { env->ui.clear(); }

    void groupSavedFoundAgainAndDissolved()
    {
        NetGroupEditWidget ed;
        ed.resize(900, 600);
        ed.show();
        QVERIFY(QTest::qWaitForWindowExposed(&ed));
        ed.setReaders(maps());
        QCOMPARE(ed.model().ungrouped().size(), 3);
        const int g = ed.newGroup();
        QVERIFY(ed.addReader(keyOf(0)));
        // The others are dragged onto the group in the tree.
        for (int i : {1, 2}) {
            NetGroupTree *tree = ed.tree();
            QTreeWidgetItem *target = nullptr;
            for (int t = 0; t < tree->topLevelItemCount(); ++t) {
                if (tree->topLevelItem(t)->data(0, NetGroupTree::GroupRole).toInt() == g)
                    target = tree->topLevelItem(t);
            }
            QVERIFY(target);
            QMimeData mime;
            mime.setData(NetGroupTree::kMimeType, keyOf(i).toUtf8());
            const QPoint at = tree->visualItemRect(target).center();
            QDragEnterEvent enter(at, Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(tree->viewport(), &enter);
            QDragMoveEvent move(at, Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(tree->viewport(), &move);
            QVERIFY(move.isAccepted()); // a group takes a reader
            QDropEvent drop(at, Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(tree->viewport(), &drop);
            QCOMPARE(ed.model().groupOf(keyOf(i)), g);
        }
        QVERIFY(saveAndWait(ed));
        QCOMPARE(env->ui.waitingTexts(), QStringList{"#IDS_Config_Saving"});
        QVERIFY(!env->ui.isWaitingShown());
        QCOMPARE(env->ui.toastTexts(), QStringList{"#IDS_SaveGroup_Success"});
        QVERIFY(!ed.isChanged());

        // Found again by a fresh discovery, with the roles each was given.
        QVERIFY(rediscover());
        QCOMPARE(grKey(0, "Gr Role"), QString("1"));
        for (int i : {1, 2}) {
            QCOMPARE(grKey(i, "Gr En"), QString("1"));
            QCOMPARE(grKey(i, "Gr Role"), QString("2"));
            QCOMPARE(grKey(i, "Gr Mst SN"), sn[0]);
            QCOMPARE(grKey(i, "Gr ID"), QString::number(g));
            QVERIFY(grKey(0, "Gr slave").contains("<" + sn[i] + ","));
        }
        NetGroupEditWidget again;
        again.setReaders(maps());
        QCOMPARE(again.model().groups().size(), 1);
        QCOMPARE(again.model().groups().first().masterKey, keyOf(0));
        QCOMPARE(again.model().groups().first().slaveKeys.size(), 2);

        // Saving with no change says so and sends nothing.
        env->ui.clear();
        QVERIFY(!again.save());
        QVERIFY(!again.isSaving());
        QCOMPARE(env->ui.toastTexts(), QStringList{"#IDS_SaveConfig_Nothing"});
        QVERIFY(env->ui.waitingTexts().isEmpty());

        // Dissolved: every reader leaves, keeping the number and role it had.
        again.selectGroup(g);
        again.removeCurrent();
        QCOMPARE(again.model().ungrouped().size(), 3);
        QVERIFY(saveAndWait(again));
        QVERIFY(rediscover());
        for (int i : {0, 1, 2}) {
            QCOMPARE(grKey(i, "Gr En"), QString("0"));
            QCOMPARE(grKey(i, "Gr Mst IP"), QString("0.0.0.0"));
            QCOMPARE(grKey(i, "Gr Role"), QString(i == 0 ? "1" : "2"));
        }
    }

    void masterWithoutSlaves()
    {
        NetGroupEditWidget ed;
        ed.setReaders(maps());
        ed.newGroup();
        QVERIFY(ed.addReader(keyOf(1)));
        QVERIFY(saveAndWait(ed));
        QVERIFY(rediscover());
        QCOMPARE(grKey(1, "Gr En"), QString("1"));
        QCOMPARE(grKey(1, "Gr Role"), QString("1"));
        QCOMPARE(grKey(1, "Gr slave"), QString());
        QCOMPARE(grKey(1, "Gr Mst SN"), sn[1]);
        ed.selectReader(keyOf(1));
        ed.removeCurrent();
        QVERIFY(saveAndWait(ed));
        QVERIFY(rediscover());
        QCOMPARE(grKey(1, "Gr En"), QString("0"));
    }

    void malformedTextRefusedWithoutChange_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::newRow("keys out of order") << "Gr En=1;Gr Role=1;" << "Gr Role=1;Gr En=1;";
        QTest::newRow("no slave list") << "Gr slave=;" << "";
        QTest::newRow("minimum above maximum") << "Gr sync min=1;" << "Gr sync min=9;";
        QTest::newRow("nine members") << "Gr slave=;"
            << "Gr slave=<S1,02:00:00:00:00:01,127.0.0.2>,<S2,02:00:00:00:00:02,127.0.0.2>,"
               "<S3,02:00:00:00:00:03,127.0.0.2>,<S4,02:00:00:00:00:04,127.0.0.2>,"
               "<S5,02:00:00:00:00:05,127.0.0.2>,<S6,02:00:00:00:00:06,127.0.0.2>,"
               "<S7,02:00:00:00:00:07,127.0.0.2>,<S8,02:00:00:00:00:08,127.0.0.2>;";
    }
    void malformedTextRefusedWithoutChange()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        const KxDeviceInfoMap before = latest.value(sn[2]);
        KxNetGroupConfig::Entry e;
        e.role = KxNetGroupConfig::Role::Master;
        e.groupId = 40;
        e.self = {before.value("Serial Number"), before.value("MAC Address"),
                  before.value("Ip Address")};
        e.master = e.self;
        e.name = "bad";
        QString text = KxNetGroupConfig::build(e);
        QVERIFY(text.contains(from));
        text.replace(from, to);
        KxDeviceKit *kit = KxDeviceKit::Instance();
        QSignalSpy answers(kit, &KxDeviceKit::deviceNetworkGroup);
        QVERIFY(kit->setDeviceNetworkGroup(text));
        QTRY_VERIFY_WITH_TIMEOUT(!answers.isEmpty(), 10000);
        QCOMPARE(answers.first().at(0).toString(), sn[2]);
        QCOMPARE(answers.first().at(2).toInt(), 2);
        QVERIFY(rediscover());
        for (const char *k : {"Gr En", "Gr Role", "Gr ID", "Gr Name", "Gr slave"})
            QCOMPARE(grKey(2, k), before.value(k));
    }

    // Entered from the group tab and left by either finish button, as a user clicks: with
    // changes the user is asked; Exit leaves without saving, Save leaves once the readers
    // report the group.
    void editorLeftThroughTheMainWindow()
    {
        MainFrame frame;
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        MainPageClient *page = frame.mainPage();
        DeviceListWidget *list = page->deviceList();
        QTRY_COMPARE_WITH_TIMEOUT(list->groupDeviceList()->allDevices().size(), 3, 20000);
        auto enter = [&] {
            if (QAbstractButton *tab = visibleButton(list, "devGroupBtn"))
                click(tab); // not pressable while it is the shown tab
            click(visibleButton(list, "groupEditBtn"));
            QVERIFY(list->isGroupEditing());
            QCOMPARE(page->infoStack()->currentWidget(), page->groupEditor());
            QCOMPARE(page->groupEditor()->model().readers().size(), 3);
        };
        auto addFirstFromList = [&] {
            NDeviceListItem *item = nullptr;
            for (NDeviceListItem *i : list->editGroupList()->allDevices()) {
                if (i->deviceInfo().value("Serial Number") == sn[0])
                    item = i;
            }
            QVERIFY(item);
            click(visibleButton(item, item->groupButton()->objectName()));
            QCOMPARE(page->groupEditor()->model().groupOf(keyOf(0)) >= 0, true);
            // The list's editing view follows the editor.
            QTRY_VERIFY(list->editGroupList()->findDevice(item->deviceId()));
            QCOMPARE(list->editGroupList()->findDevice(item->deviceId())->deviceInfo().value("Gr En"),
                     QString("1"));
        };

        enter();
        addFirstFromList();
        if (QTest::currentTestFailed())
            return;
        env->ui.answerMessage(2, "#IDS_NetGroupChangedTips"); // Exit
        click(visibleButton(page->toolbarStack(), "btnGroupEditReturn"));
        QVERIFY(!list->isGroupEditing());
        QCOMPARE(page->toolbarStack()->currentIndex(), 0);
        QVERIFY(page->infoStack()->currentWidget() != page->groupEditor());
        QVERIFY(rediscover());
        QCOMPARE(grKey(0, "Gr En"), QString("0"));

        enter();
        addFirstFromList();
        if (QTest::currentTestFailed())
            return;
        env->ui.answerMessage(1, "#IDS_NetGroupChangedTips"); // Save
        click(visibleButton(list, "btnReback"));
        QVERIFY(page->groupEditor()->isSaving());
        QTRY_VERIFY_WITH_TIMEOUT(!list->isGroupEditing(), kSaveMs);
        QCOMPARE(env->ui.toastTexts().last(), QString("#IDS_SaveGroup_Success"));
        QVERIFY(rediscover());
        QCOMPARE(grKey(0, "Gr Role"), QString("1"));

        // Dissolved with the editor's own buttons, then left with nothing to ask.
        enter();
        if (QTest::currentTestFailed())
            return;
        page->groupEditor()->selectReader(keyOf(0));
        click(visibleButton(page->groupEditor(), "btnRemove"));
        click(visibleButton(page->groupEditor(), "btnSaveGroups"));
        QTRY_VERIFY_WITH_TIMEOUT(!page->groupEditor()->isSaving(), kSaveMs);
        QVERIFY(!page->groupEditor()->isChanged());
        click(visibleButton(page->toolbarStack(), "btnGroupEditReturn"));
        QVERIFY(!list->isGroupEditing());
        QVERIFY2(env->ui.isClean(), qPrintable(env->ui.errors().join(", ")));
        QVERIFY(rediscover());
        QCOMPARE(grKey(0, "Gr En"), QString("0"));
    }

    // Last: the readers are stopped. Nothing answers, the save fails after its 100 ticks, and
    // the editor still holds what the user built.
    void silentReaderFailsTheSave()
    {
        NetGroupEditWidget ed;
        ed.setReaders(maps());
        const int g = ed.newGroup();
        QVERIFY(ed.addReader(keyOf(0)));
        QVERIFY(ed.addReader(keyOf(2)));
        vr.stop();
        QSignalSpy done(&ed, &NetGroupEditWidget::saveFinished);
        QVERIFY(ed.save());
        QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, kSaveMs);
        QCOMPARE(done.first().at(0).toBool(), false);
        QCOMPARE(ed.saver()->ticks(), KxNetGroupSaver::kMaxTicks);
        QCOMPARE(env->ui.toastTexts(), QStringList{"#IDS_SaveGroup_Fail"});
        QVERIFY(!env->ui.isWaitingShown());
        QCOMPARE(ed.saver()->state(keyOf(0)), KxNetGroupSaver::State::Failed);
        QVERIFY(ed.isChanged());
        QCOMPARE(ed.model().group(g)->memberKeys(), QStringList({keyOf(0), keyOf(2)}));
    }
};

QTEST_MAIN(TstGroupsVReader)
#include "tst_groups_vreader.moc"
