// Scan lists, the loopback-only rule and serial port lists.
#include <QTemporaryFile>
#include <QtTest>

#include "KxAddressPolicy.h"
#include "KxDeviceKit.h"

class TstKitAddress : public QObject
{
    Q_OBJECT
private slots:
    void allowed_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("loopback") << "127.0.0.1" << true;
        QTest::newRow("loopback high") << "127.255.255.254" << true;
        QTest::newRow("mapped loopback") << "::ffff:127.0.0.9" << true;
        QTest::newRow("private lan") << "192.168.1.10" << false;
        QTest::newRow("broadcast") << "255.255.255.255" << false;
        QTest::newRow("just above") << "128.0.0.1" << false;
        QTest::newRow("ipv6 loopback") << "::1" << false;
        QTest::newRow("any") << "0.0.0.0" << false;
    }
    void allowed()
    {
        QFETCH(QString, address);
        QFETCH(bool, allowed);
        QCOMPARE(KxAddressPolicy::isAllowed(QHostAddress(address)), allowed);
    }

    void scanTargets_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("expected");  // "address:port" (port 0 = default)
        QTest::addColumn<int>("rejected");
        QTest::newRow("single") << "127.0.0.2" << QStringList{"127.0.0.2:0"} << 0;
        QTest::newRow("with port") << "127.0.0.2:4000" << QStringList{"127.0.0.2:4000"} << 0;
        QTest::newRow("range") << "127.0.0.2-127.0.0.4"
                               << QStringList{"127.0.0.2:0", "127.0.0.3:0", "127.0.0.4:0"} << 0;
        QTest::newRow("range with port") << "127.0.0.2-127.0.0.3:5000"
                                         << QStringList{"127.0.0.2:5000", "127.0.0.3:5000"} << 0;
        QTest::newRow("cidr") << "127.0.1.0/30"
                              << QStringList{"127.0.1.0:0", "127.0.1.1:0", "127.0.1.2:0", "127.0.1.3:0"} << 0;
        QTest::newRow("foreign refused, rest kept") << "10.0.0.1, 127.0.0.5;192.168.0.1"
                                                     << QStringList{"127.0.0.5:0"} << 2;
        QTest::newRow("range leaving loopback") << "127.255.255.254-128.0.0.2" << QStringList{} << 1;
        QTest::newRow("cidr covering more than loopback") << "126.0.0.0/7" << QStringList{} << 1;
        QTest::newRow("duplicates") << "127.0.0.2 127.0.0.2" << QStringList{"127.0.0.2:0"} << 0;
        QTest::newRow("garbage") << "hello, 127.0.0.2:99999, 127.0.0.9-127.0.0.3"
                                 << QStringList{} << 3;
        QTest::newRow("empty") << "" << QStringList{} << 0;
    }
    void scanTargets()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, expected);
        QFETCH(int, rejected);
        QStringList why;
        QStringList got;
        for (const KxScanTarget &t : KxAddressPolicy::parseScanTargets(text, &why))
            got << t.address.toString() + ':' + QString::number(t.port);
        QCOMPARE(got, expected);
        QCOMPARE(why.size(), rejected);
    }

    void hugeBlockIsCapped()
    {
        QStringList why;
        const auto targets = KxAddressPolicy::parseScanTargets("127.0.0.1/8", &why);
        QCOMPARE(targets.size(), KxAddressPolicy::kMaxScanTargets);
        for (const KxScanTarget &t : targets)
            QVERIFY(KxAddressPolicy::isAllowed(t.address));
    }

    void serialPorts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("commas") << "/dev/pts/3,/dev/ttyACM0" << QStringList{"/dev/pts/3", "/dev/ttyACM0"};
        QTest::newRow("lines and comments") << "# ptys\n/dev/pts/3\r\n\n  /dev/pts/4  \n/dev/pts/3\n"
                                            << QStringList{"/dev/pts/3", "/dev/pts/4"};
        QTest::newRow("blank") << " ;, \n" << QStringList{};
    }
    void serialPorts()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, expected);
        QCOMPARE(KxAddressPolicy::parseSerialPorts(text), expected);
    }

    void serialPortsFromEnvironmentMergesFile()
    {
        QTemporaryFile file;
        QVERIFY(file.open());
        file.write("/dev/pts/7\n/dev/pts/8\n");
        file.flush();
        qputenv("BREVAN_SERIAL_PORTS", "/dev/pts/8,/dev/ttyUSB1");
        qputenv("BREVAN_SERIAL_PORTS_FILE", file.fileName().toLocal8Bit());
        QCOMPARE(KxAddressPolicy::serialPortsFromEnvironment(),
                 (QStringList{"/dev/pts/8", "/dev/ttyUSB1", "/dev/pts/7"}));
        qunsetenv("BREVAN_SERIAL_PORTS");
        qunsetenv("BREVAN_SERIAL_PORTS_FILE");
        QVERIFY(KxAddressPolicy::serialPortsFromEnvironment().isEmpty());
    }

    void kitRefusesForeignAddresses()
    {
        KxDeviceKit *kit = KxDeviceKit::Instance();
        const auto accepted = kit->setScanAddresses("8.8.8.8,127.0.0.7,10.0.0.0/8");
        QCOMPARE(accepted.size(), 1);
        QCOMPARE(accepted.first().address, QHostAddress("127.0.0.7"));
        QCOMPARE(kit->addDevice("192.168.0.20", 36520), int(KxAddResult::Unreachable));
        QVERIFY(!kit->connectToDevice_Cmd("foreign", "10.1.2.3:36520"));
        QVERIFY(!kit->isConnected("foreign"));
    }
};

QTEST_MAIN(TstKitAddress)
#include "tst_kitaddress.moc"
