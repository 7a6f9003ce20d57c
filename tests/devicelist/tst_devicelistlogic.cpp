// The pure rules of the device list: search, placement in groups, ports and addresses, product
// information rows, the network command, the blink sequence and the ping's answer.
#include "DeviceBlink.h"
#include "DeviceListLogic.h"
#include "KxAddressProbe.h"

#include <QtTest>

using namespace DeviceListLogic;

class TstDeviceListLogic : public QObject
{
    Q_OBJECT
private slots:
    void search_data()
    {
        QTest::addColumn<QString>("alias");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("shown");
        QTest::newRow("empty text") << ""
                                    << "" << true;
        QTest::newRow("model, any case") << ""
                                         << "fm8" << true;
        QTest::newRow("serial without alias") << ""
                                              << "sn-0042" << true;
        QTest::newRow("serial hidden by alias") << "Line 3"
                                                << "SN-0042" << false;
        QTest::newRow("alias") << "Line 3"
                               << "line" << true;
        QTest::newRow("ip") << "Line 3"
                            << "127.0.5" << true;
        QTest::newRow("nothing") << ""
                                 << "zzz" << false;
    }
    void search()
    {
        QFETCH(QString, alias);
        QFETCH(QString, text);
        QFETCH(bool, shown);
        const KxDeviceInfoMap info{{"Product Name", "KXS-FM800"},
                                   {"Serial Number", "SN-0042"},
                                   {"L Alias", alias},
                                   {"Ip Address", "127.0.5.9"}};
        QCOMPARE(matchesSearch(info, text), shown);
    }

    void ports_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("pattern");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("0") << "0" << true << false;
        QTest::newRow("1") << "1" << true << true;
        QTest::newRow("36520") << "36520" << true << true;
        QTest::newRow("65535") << "65535" << true << true;
        QTest::newRow("65536") << "65536" << false << false;
        QTest::newRow("99999") << "99999" << false << false;
        QTest::newRow("leading zero") << "080" << false << false;
        QTest::newRow("negative") << "-1" << false << false;
        QTest::newRow("empty") << "" << false << false;
        QTest::newRow("space") << " 80" << false << false;
    }
    void ports()
    {
        QFETCH(QString, text);
        QFETCH(bool, pattern);
        QFETCH(bool, accepted);
        QCOMPARE(isPortText(text), pattern);
        QCOMPARE(isAcceptedPort(text), accepted);
    }

    void addresses_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ip");
        QTest::addColumn<bool>("mask");
        QTest::newRow("loopback") << "127.0.0.2" << true << false;
        QTest::newRow("class c mask") << "255.255.255.0" << true << true;
        QTest::newRow("/8 mask") << "255.0.0.0" << true << true;
        QTest::newRow("holey mask") << "255.0.255.0" << true << false;
        QTest::newRow("zero mask") << "0.0.0.0" << true << false;
        QTest::newRow("all ones") << "255.255.255.255" << true << true;
        QTest::newRow("256") << "192.168.1.256" << false << false;
        QTest::newRow("three parts") << "10.0.1" << false << false;
        QTest::newRow("leading zero") << "10.0.01.1" << false << false;
        QTest::newRow("trailing dot") << "10.0.0.1." << false << false;
        QTest::newRow("name") << "localhost" << false << false;
    }
    void addresses()
    {
        QFETCH(QString, text);
        QFETCH(bool, ip);
        QFETCH(bool, mask);
        QCOMPARE(isValidIPv4(text), ip);
        QCOMPARE(isValidSubnetMask(text), mask);
    }

    void placement()
    {
        QCOMPARE(attachGroup({{"Device Type", "COM"}}), QString(kGroupLocal));
        QCOMPARE(attachGroup({{"Ip Address", "127.0.0.2"}}), QString(kGroupNetwork));

        QVERIFY(netGroupPlace({{"Gr En", "0"}}).groupId.isEmpty()); // no group support
        QCOMPARE(netGroupPlace({{"Supp Gr", "1"}, {"Gr En", "0"}}).groupId,
                 QString(kGroupUngrouped));
        const NetGroupPlace master = netGroupPlace({{"Supp Gr", "1"},
                                                    {"Gr En", "1"},
                                                    {"Gr Name", "Line"},
                                                    {"Gr Mst SN", "A1"},
                                                    {"Gr Role", "1"}});
        QCOMPARE(master.groupId, QString("Line-A1"));
        QCOMPARE(master.groupName, QString("Line"));
        QVERIFY(!master.slave);
        const NetGroupPlace slave = netGroupPlace({{"Supp Gr", "1"},
                                                   {"Gr En", "1"},
                                                   {"Gr Name", "Line"},
                                                   {"Gr Mst SN", "A1"},
                                                   {"Gr Role", "2"}});
        QVERIFY(slave.slave);
        QCOMPARE(slave.slaveGroupId(), QString("Line-A1-Slaves"));
        QVERIFY(netGroupPlace({{"Supp Gr", "1"}, {"Gr En", "x"}}).groupId.isEmpty());

        QCOMPARE(virtualSubGroup("HandScan"), QString(kGroupHandHeld));
        QCOMPARE(virtualSubGroup("FixedScan"), QString(kGroupFixedMount));
        QCOMPARE(virtualSubGroup("OEMScan"), QString(kGroupEngine));
        QVERIFY(virtualSubGroup("SmartCamera").isEmpty());
    }

    void productInfo()
    {
        const auto rows = parseProductInfo(
            "Model: KXS-FM800\r\n\r\nFirmware:V1.2:3 \r\n  \r\nBoard\nSerial : X1");
        QCOMPARE(rows.size(), 4);
        QCOMPARE(rows[0], qMakePair(QString("Model"), QString("KXS-FM800")));
        QCOMPARE(rows[1],
                 qMakePair(QString("Firmware"), QString("V1.2:3"))); // split at the first ":"
        QCOMPARE(rows[2], qMakePair(QString("Board"), QString()));
        QCOMPARE(rows[3], qMakePair(QString("Serial"), QString("X1")));
        QVERIFY(parseProductInfo("\r\n\r\n").isEmpty());
    }

    void productInfoNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("key");
        QTest::newRow("as readers send it") << "Serial Number" << "#IDS_Info_SerialNumber";
        QTest::newRow("case and separators ignored") << " serial_NUMBER" << "#IDS_Info_SerialNumber";
        QTest::newRow("model is the product name") << "Model" << "#IDS_Info_ProductName";
        QTest::newRow("firmware") << "Firmware Version" << "#IDS_Info_FirmwareVersion";
        QTest::newRow("mac") << "MAC-Address" << "#IDS_Info_MacAddress";
        QTest::newRow("reader's own name stays") << "Laser Class" << "";
        QTest::newRow("a word inside is not enough") << "Serial Number 2" << "";
        QTest::newRow("empty") << "" << "";
    }
    void productInfoNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, key);
        QCOMPARE(productInfoKey(name), key);
    }

    void commandsAndLines()
    {
        QCOMPARE(networkCommand(true, "1.2.3.4", "255.0.0.0", "1.1.1.1"), QString("@NETDEN1"));
        QCOMPARE(networkCommand(false, "127.0.0.9", "255.0.0.0", "127.0.0.1"),
                 QString("@NETDEN0,LPA127.0.0.9,SMK255.0.0.0,GIP127.0.0.1"));

        QCOMPARE(effectiveAlias("Local", {{"P Alias", "Held"}}), QString("Held"));
        QCOMPARE(effectiveAlias("Local", {{"P Alias", ""}}), QString("Local"));
        QCOMPARE(effectiveAlias("", {{"P Alias", "Held"}}), QString("Held"));
        QCOMPARE(effectiveAlias("", {}), QString());

        QCOMPARE(connectionLine("mac", {{"Ip Address", "127.0.0.2"}}), QString("IP: 127.0.0.2"));
        QCOMPARE(connectionLine("SN1:COM/dev/pts/3",
                                {{"Device Type", "USB CDC"}, {"Port Name", "/dev/pts/3"}}),
                 QString("COM: /dev/pts/3"));
        QCOMPARE(connectionLine("x", {{"Serial Number", "S9"}}), QString("SN: S9"));
        QVERIFY(connectionLine("x", {}).isEmpty());
        QVERIFY(!isOnline({{"Online", "0"}}));
        QVERIFY(isOnline({}));
    }

    void blink()
    {
        QCOMPARE(DeviceBlink::pathFor({{"Supp Blink Notify", "1"}}), DeviceBlink::Path::Kit);
        QCOMPARE(DeviceBlink::pathFor({{"Supp Blink Notify", "0"}}), DeviceBlink::Path::None);
        QCOMPARE(DeviceBlink::pathFor({}), DeviceBlink::Path::Commands);
        const auto steps = DeviceBlink::commandSequence("3");
        QStringList sent;
        for (const auto &s : steps)
            sent << s.code + s.value;
        // The illumination returns to the value read before the blink.
        QCOMPARE(sent, QStringList({"ILLSCN0", "ILLSCN2", "ILLSCN3", "SCNTRG1", "SCNTRG0"}));
    }

    void pingRules()
    {
        QCOMPARE(KxAddressProbe::pingArguments("127.0.0.5"),
                 QStringList({"-c", "1", "-W", "1", "127.0.0.5"}));
        QVERIFY(KxAddressProbe::pingAnswered(
            "64 bytes from 127.0.0.5: icmp_seq=1 ttl=64 time=0.04 ms"));
        QVERIFY(KxAddressProbe::pingAnswered("Reply from 10.0.0.1: bytes=32 time<1ms TTL=64"));
        QVERIFY(
            !KxAddressProbe::pingAnswered("1 packets transmitted, 0 received, 100% packet loss"));
        QVERIFY(KxAddressProbe::mayProbe("127.3.4.5"));
        QVERIFY(!KxAddressProbe::mayProbe("192.168.1.10"));
        QVERIFY(!KxAddressProbe::mayProbe("not an address"));
        // Nothing outside loopback is ever pinged: the answer is "not answered" without a ping.
        QVERIFY(!KxAddressProbe::ping("10.1.2.3"));
    }
};

QTEST_GUILESS_MAIN(TstDeviceListLogic)
#include "tst_devicelistlogic.moc"
