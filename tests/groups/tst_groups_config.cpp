// Group configuration texts and the editor's model, without readers: the three layouts written
// exactly, every malformed text refused with a reason, and the editing rules (master, limits,
// new numbers, what counts as a change).
#include "KxNetGroupConfig.h"
#include "KxNetGroupModel.h"
#include "KxNetGroupSaver.h"

#include <QSignalSpy>
#include <QtTest>

using namespace KxNetGroupConfig;

namespace
{
const Member kA{"SN-A", "02:4B:00:00:00:0A", "127.0.5.10"};
const Member kB{"SN-B", "02:4B:00:00:00:0B", "127.0.5.11"};
const Member kC{"SN-C", "02:4B:00:00:00:0C", "127.0.5.12"};

QMap<QString, QString> readerMap(const Member &m, const QString &grEn = "0",
                                 const QString &role = "0", const QString &gid = "0",
                                 const QString &mst = QString(), const QString &max = "8")
{
    return {{"Serial Number", m.sn}, {"MAC Address", m.mac}, {"Ip Address", m.ip},
            {"Product Name", "KXS-FM800"}, {"Supp Gr", "1"}, {"Gr En", grEn}, {"Gr Role", role},
            {"Gr ID", gid}, {"Gr Mst SN", mst}, {"Gr Name", "Line 1"}, {"Gr mode", "1"},
            {"Gr sync mode", "0"}, {"Gr sync min", "2"}, {"Gr sync max", "4"},
            {"Gr Max", max}};
}

QString key(const Member &m)
{
    return m.sn + "/" + m.mac;
}
} // namespace

class TstGroupsConfig : public QObject
{
    Q_OBJECT
private slots:
    void writesEachLayout_data()
    {
        QTest::addColumn<int>("role");
        QTest::addColumn<int>("slaves");
        QTest::addColumn<QString>("text");
        QTest::newRow("master with two slaves") << 1 << 2
            << "Gr ID=3;Serial Number=SN-A;MAC Address=02:4B:00:00:00:0A;Gr En=1;Gr Role=1;"
               "Gr Mst MAC=02:4B:00:00:00:0A;Gr Mst SN=SN-A;Gr Mst IP=127.0.5.10;Gr Name=Line 1;"
               "Gr mode=1;Gr sync mode=0;Gr sync min=2;Gr sync max=4;"
               "Gr slave=<SN-B,02:4B:00:00:00:0B,127.0.5.11>,<SN-C,02:4B:00:00:00:0C,127.0.5.12>;";
        QTest::newRow("master without slaves") << 1 << 0
            << "Gr ID=3;Serial Number=SN-A;MAC Address=02:4B:00:00:00:0A;Gr En=1;Gr Role=1;"
               "Gr Mst MAC=02:4B:00:00:00:0A;Gr Mst SN=SN-A;Gr Mst IP=127.0.5.10;Gr Name=Line 1;"
               "Gr mode=1;Gr sync mode=0;Gr sync min=2;Gr sync max=4;Gr slave=;";
        QTest::newRow("slave") << 2 << 0
            << "Gr ID=3;Serial Number=SN-B;MAC Address=02:4B:00:00:00:0B;Gr En=1;Gr Role=2;"
               "Gr Mst MAC=02:4B:00:00:00:0A;Gr Mst SN=SN-A;Gr Mst IP=127.0.5.10;Gr Name=Line 1;"
               "Gr mode=1;Gr sync mode=0;Gr sync min=2;Gr sync max=4;";
        QTest::newRow("leaving") << 0 << 0
            << "Gr ID=3;Serial Number=SN-B;MAC Address=02:4B:00:00:00:0B;Gr En=0;Gr Role=2;"
               "Gr Mst MAC=;Gr Mst SN=;Gr Mst IP=0.0.0.0;";
    }
    void writesEachLayout()
    {
        QFETCH(int, role);
        QFETCH(int, slaves);
        QFETCH(QString, text);
        Entry e;
        e.role = Role(role);
        e.groupId = 3;
        e.self = role == 1 ? kA : kB;
        e.leaveRole = 2;
        if (role != 0) {
            e.master = kA;
            e.name = "Line 1";
            e.attributes = {1, 0, 2, 4};
        }
        if (slaves)
            e.slaves = {kB, kC};
        QCOMPARE(build(e), text);
        // What is written is read back as the same entry.
        Entry back;
        QString why;
        QVERIFY2(parse(text, &back, &why), qPrintable(why));
        QCOMPARE(int(back.role), role);
        QCOMPARE(back.groupId, 3);
        QCOMPARE(back.self.sn, e.self.sn);
        QCOMPARE(back.slaves.size(), slaves);
        QCOMPARE(back.attributes, e.attributes);
        QCOMPARE(build(back).section(';', 0, 1), text.section(';', 0, 1));
    }

    void refusesMalformedTexts_data()
    {
        const QString head = "Gr ID=3;Serial Number=SN-B;MAC Address=02:4B:00:00:00:0B;";
        const QString slave = head + "Gr En=1;Gr Role=2;Gr Mst MAC=02:4B:00:00:00:0A;"
                                     "Gr Mst SN=SN-A;Gr Mst IP=127.0.5.10;Gr Name=L;Gr mode=0;"
                                     "Gr sync mode=0;Gr sync min=1;Gr sync max=1;";
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << QString();
        QTest::newRow("no final ;") << slave.chopped(1);
        QTest::newRow("not a pair") << QString(slave).replace("Gr Name=L;", "Gr Name L;");
        QTest::newRow("keys swapped") << QString(slave).replace(
            "Gr Mst MAC=02:4B:00:00:00:0A;Gr Mst SN=SN-A;", "Gr Mst SN=SN-A;Gr Mst MAC=02:4B:00:00:00:0A;");
        QTest::newRow("extra key") << slave + "Gr slave=;";
        QTest::newRow("key missing") << QString(slave).replace("Gr mode=0;", "");
        QTest::newRow("Gr En 2") << QString(slave).replace("Gr En=1", "Gr En=2");
        QTest::newRow("role 3") << QString(slave).replace("Gr Role=2", "Gr Role=3");
        QTest::newRow("group number 01") << QString(slave).replace("Gr ID=3", "Gr ID=01");
        QTest::newRow("group number too big") << QString(slave).replace("Gr ID=3", "Gr ID=70000");
        QTest::newRow("bad MAC") << QString(slave).replace("MAC Address=02:4B:00:00:00:0B", "MAC Address=02:4B:00:00:0B");
        QTest::newRow("bad master IP") << QString(slave).replace("127.0.5.10", "127.0.5.300");
        QTest::newRow("slave is its own master") << QString(slave).replace("Gr Mst SN=SN-A", "Gr Mst SN=SN-B");
        QTest::newRow("min above max") << QString(slave).replace("Gr sync min=1", "Gr sync min=2");
        QTest::newRow("priority 2") << QString(slave).replace("Gr mode=0", "Gr mode=2");
        QTest::newRow("max 65") << QString(slave).replace("Gr sync max=1", "Gr sync max=65");
        QTest::newRow("name with <") << QString(slave).replace("Gr Name=L", "Gr Name=L<1");
        QTest::newRow("leaving names a master")
            << head + "Gr En=0;Gr Role=2;Gr Mst MAC=;Gr Mst SN=SN-A;Gr Mst IP=0.0.0.0;";
        QTest::newRow("leaving with an address")
            << head + "Gr En=0;Gr Role=2;Gr Mst MAC=;Gr Mst SN=;Gr Mst IP=127.0.0.1;";
        const QString master = "Gr ID=3;Serial Number=SN-A;MAC Address=02:4B:00:00:00:0A;Gr En=1;"
                               "Gr Role=1;Gr Mst MAC=02:4B:00:00:00:0A;Gr Mst SN=SN-A;"
                               "Gr Mst IP=127.0.5.10;Gr Name=L;Gr mode=0;Gr sync mode=0;"
                               "Gr sync min=1;Gr sync max=1;Gr slave=";
        QTest::newRow("master names another master")
            << QString(master + ";").replace("Gr Mst SN=SN-A", "Gr Mst SN=SN-C");
        QTest::newRow("master is its own slave")
            << master + "<SN-A,02:4B:00:00:00:0A,127.0.5.10>;";
        QTest::newRow("slave twice") << master +
            "<SN-B,02:4B:00:00:00:0B,127.0.5.11>,<SN-B,02:4B:00:00:00:0B,127.0.5.11>;";
        QTest::newRow("slave list unclosed") << master + "<SN-B,02:4B:00:00:00:0B,127.0.5.11;";
        QTest::newRow("slave with two fields") << master + "<SN-B,02:4B:00:00:00:0B>;";
    }
    void refusesMalformedTexts()
    {
        QFETCH(QString, text);
        QString why;
        QVERIFY(!parse(text, nullptr, &why));
        QVERIFY(!why.isEmpty());
    }

    // A master with two slaves and one reader in no group, as the readers report themselves.
    void modelReadsGroupsAndKeepsUnchangedTexts()
    {
        KxNetGroupModel m;
        m.load({readerMap(kB, "1", "2", "3", "SN-A"), readerMap(kA, "1", "1", "3", "SN-A"),
                readerMap(kC, "1", "2", "3", "SN-A"),
                readerMap({"SN-D", "02:4B:00:00:00:0D", "127.0.5.13"}),
                // Not able to join groups: not in the editor.
                QMap<QString, QString>{{"Serial Number", "SN-E"}, {"MAC Address", "02:4B:00:00:00:0E"}}});
        QCOMPARE(m.readers().size(), 4);
        QCOMPARE(m.groups().size(), 1);
        const auto g = m.groups().first();
        QCOMPARE(g.id, 3);
        QCOMPARE(g.masterKey, key(kA));
        QCOMPARE(g.slaveKeys, QStringList({key(kB), key(kC)}));
        QCOMPARE(g.attributes, (Attributes{1, 0, 2, 4}));
        QCOMPARE(m.ungrouped(), QStringList{"SN-D/02:4B:00:00:00:0D"});
        QVERIFY(!m.isChanged());
        QCOMPARE(m.check(), QString());
        // A new group takes the number above the largest in use.
        QCOMPARE(m.newGroup("x"), 4);
        QVERIFY(!m.isChanged()); // an empty group writes nothing
    }

    void modelEditingRules()
    {
        KxNetGroupModel m;
        m.load({readerMap(kA, "1", "1", "3", "SN-A", "2"), readerMap(kB, "1", "2", "3", "SN-A"),
                readerMap(kC)});
        // The master takes two members at most: a third is refused and nothing moves.
        QCOMPARE(m.addReader(key(kC), 3), KxNetGroupModel::Result::TooMany);
        QCOMPARE(m.groupOf(key(kC)), -1);
        // C as master of its own new group, then B moves over to it.
        const int g2 = m.newGroup("Two");
        QCOMPARE(m.addReader(key(kC), g2), KxNetGroupModel::Result::Ok);
        QCOMPARE(m.group(g2)->masterKey, key(kC));
        QCOMPARE(m.addReader(key(kB), g2), KxNetGroupModel::Result::Ok);
        QCOMPARE(m.groupOf(key(kB)), g2);
        // Three readers changed: A keeps a group of its own without slaves.
        const auto changes = m.changes();
        QCOMPARE(changes.size(), 3);
        QVERIFY(m.textOf(key(kA)).endsWith(";Gr slave=;"));
        QCOMPARE(changes.value(1).expect.value("Gr Role"), QString("2"));

        // B as master; C becomes its slave.
        QCOMPARE(m.setMaster(key(kB)), KxNetGroupModel::Result::Ok);
        QCOMPARE(m.group(g2)->masterKey, key(kB));
        QCOMPARE(m.group(g2)->slaveKeys, QStringList{key(kC)});
        // Without its master a group cannot be saved.
        m.removeReader(key(kB));
        QCOMPARE(m.check(), QString("#IDS_Group_NoMasterDevice"));
        // B left group 3 as its slave: that is what its text says.
        QCOMPARE(m.textOf(key(kB)),
                 QString("Gr ID=3;Serial Number=SN-B;MAC Address=02:4B:00:00:00:0B;Gr En=0;"
                         "Gr Role=2;Gr Mst MAC=;Gr Mst SN=;Gr Mst IP=0.0.0.0;"));
        QCOMPARE(m.setProperties(g2, "a;b", Attributes()), KxNetGroupModel::Result::BadName);
        QCOMPARE(m.setProperties(g2, "ok", Attributes{0, 0, 5, 4}),
                 KxNetGroupModel::Result::BadAttributes);

        // Dissolving everything and committing leaves nothing changed; each reader's map says so.
        m.removeGroup(3);
        m.removeGroup(g2);
        m.commit();
        QVERIFY(!m.isChanged());
        for (const auto &map : m.maps())
            QCOMPARE(map.value("Gr En"), QString("0"));
        // Back to what was loaded is no change either.
        KxNetGroupModel fresh;
        fresh.load({readerMap(kC)});
        const int g = fresh.newGroup("t");
        fresh.addReader(key(kC), g);
        QVERIFY(fresh.isChanged());
        fresh.removeReader(key(kC));
        QVERIFY(!fresh.isChanged());
    }

    // Answers without a network: a failure answer ends the save as failed once all answered;
    // the success answers alone are not enough, the readers must report the group.
    void saverNeedsAnswersAndReports()
    {
        KxNetGroupModel m;
        m.load({readerMap(kA), readerMap(kB)});
        const int g = m.newGroup("G");
        m.addReader(key(kA), g);
        m.addReader(key(kB), g);
        QStringList sent;
        KxNetGroupSaver saver;
        saver.setSender([&sent](const QString &t) { sent << t; return true; });
        int refreshes = 0;
        saver.setRefresher([&refreshes] { ++refreshes; });
        QSignalSpy done(&saver, &KxNetGroupSaver::finished);
        QVERIFY(saver.start(m.changes()));
        QCOMPARE(sent.size(), 2);
        QVERIFY(!saver.start(m.changes())); // one save at a time
        saver.onGroupState("SN-A", "02:4b:00:00:00:0a", 1);
        saver.onGroupState("SN-B", "02:4B:00:00:00:0B", 2);
        QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 10000);
        QCOMPARE(done.first().at(0).toBool(), false);
        QCOMPARE(done.first().at(1).toStringList(), QStringList{key(kB)});
        QCOMPARE(refreshes, 0);

        // Both take it, then both report the new group keys: success.
        done.clear();
        QVERIFY(saver.start(m.changes()));
        saver.onGroupState("SN-A", "02:4B:00:00:00:0A", 1);
        saver.onGroupState("SN-B", "02:4B:00:00:00:0B", 1);
        QTRY_COMPARE_WITH_TIMEOUT(int(saver.phase()), int(KxNetGroupSaver::Phase::Verify), 10000);
        QVERIFY(refreshes >= 1);
        for (const auto &c : m.changes()) {
            QMap<QString, QString> info = readerMap(c.sn == "SN-A" ? kA : kB);
            for (auto it = c.expect.cbegin(); it != c.expect.cend(); ++it)
                info.insert(it.key(), it.value());
            saver.onDeviceUpdated("x", info);
        }
        QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 10000);
        QCOMPARE(done.first().at(0).toBool(), true);
        QCOMPARE(saver.state(key(kA)), KxNetGroupSaver::State::Verified);
    }
};

QTEST_GUILESS_MAIN(TstGroupsConfig)
#include "tst_groups_config.moc"
