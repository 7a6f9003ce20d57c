// Hot-plug filtering with synthetic udev events (no udev daemon runs where the tests do).
#include "USBDeviceManager.h"

#include <QSignalSpy>
#include <QtTest>

class TestUsbDevice : public QObject
{
    Q_OBJECT
private slots:
    void filter_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("devnode");
        QTest::addColumn<QString>("syspath");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<bool>("add");
        QTest::addColumn<bool>("remove");
        QTest::addColumn<QString>("path");

        const QString hidSys = QStringLiteral("/sys/devices/pci0000:00/0000:00:14.0/USB1/1-2/1-2:1.0/"
                                              "0003:1EAB:1A03.0001/hidraw/hidraw0");
        QTest::newRow("hidraw arrival") << "add" << "/dev/HIDraw0" << hidSys << true << true << false
                                        << "/dev/hidraw0";
        QTest::newRow("usb device removal, no devnode")
            << "remove" << QString() << "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-2" << true << false
            << true << "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-2";
        QTest::newRow("usb serial by devnode") << "add" << "/dev/ttyUSB0" << "/sys/x/ttyUSB0" << true
                                               << true << false << "/dev/ttyusb0";
        QTest::newRow("acm tty found through syspath")
            << "add" << "/dev/ttyACM0" << "/sys/devices/pci0/usb2/2-1/2-1:1.0/tty/ttyACM0" << true << true
            << false << "/sys/devices/pci0/usb2/2-1/2-1:1.0/tty/ttyacm0";
        QTest::newRow("neither hid nor usb") << "add" << "/dev/ttyS0" << "/sys/devices/platform/serial8250/tty/ttyS0"
                                             << false << false << false << QString();
        QTest::newRow("change is ignored") << "change" << "/dev/hidraw0" << hidSys << false << false << false
                                           << QString();
        QTest::newRow("bind is ignored") << "bind" << QString() << "/sys/devices/usb1/1-2" << false << false
                                         << false << QString();
        QTest::newRow("empty action") << QString() << "/dev/hidraw0" << hidSys << false << false << false
                                      << QString();
    }
    void filter()
    {
        QFETCH(QString, action);
        QFETCH(QString, devnode);
        QFETCH(QString, syspath);
        QFETCH(bool, accepted);
        QFETCH(bool, add);
        QFETCH(bool, remove);
        QFETCH(QString, path);
        const USBDeviceManager::Decision d = USBDeviceManager::filterEvent(action, devnode, syspath);
        QCOMPARE(d.accepted, accepted);
        QCOMPARE(d.add, add);
        QCOMPARE(d.remove, remove);
        QCOMPARE(d.path, path);
    }

    void removalSignals()
    {
        USBDeviceManager m;
        QSignalSpy change(&m, &USBDeviceManager::signal_DeviceChange);
        QSignalSpy arrival(&m, &USBDeviceManager::signal_DeviceArrival);
        m.handleEvent(QStringLiteral("remove"), QString(), QStringLiteral("/sys/devices/USB1/1-4"));
        QCOMPARE(arrival.count(), 1);
        QCOMPARE(arrival.at(0), (QVariantList{false, true, QStringLiteral("/sys/devices/usb1/1-4")}));
        QCOMPARE(change.count(), 1);
        QCOMPARE(change.at(0), (QVariantList{false, true, QStringLiteral("/sys/devices/usb1/1-4"), 2000}));
        QVERIFY(!m.isBusy());
    }

    void ignoredEventsEmitNothing()
    {
        USBDeviceManager m;
        QSignalSpy change(&m, &USBDeviceManager::signal_DeviceChange);
        QSignalSpy arrival(&m, &USBDeviceManager::signal_DeviceArrival);
        m.handleEvent(QStringLiteral("add"), QStringLiteral("/dev/ttyS1"), QStringLiteral("/sys/devices/pnp0/tty/ttyS1"));
        m.handleEvent(QStringLiteral("change"), QStringLiteral("/dev/hidraw1"), QString());
        QCOMPARE(arrival.count(), 0);
        QCOMPARE(change.count(), 0);
        QVERIFY(!m.isBusy());
    }

    void disabledNotificationsOnlyReportArrival()
    {
        USBDeviceManager m;
        QSignalSpy change(&m, &USBDeviceManager::signal_DeviceChange);
        QSignalSpy arrival(&m, &USBDeviceManager::signal_DeviceArrival);
        m.setNotificationsEnabled(false);
        m.handleEvent(QStringLiteral("add"), QStringLiteral("/dev/hidraw3"), QString());
        QCOMPARE(arrival.count(), 1);
        QCOMPARE(arrival.at(0), (QVariantList{true, false, QStringLiteral("/dev/hidraw3")}));
        QCOMPARE(change.count(), 0);
        QVERIFY(m.isBusy());

        m.setNotificationsEnabled(true);
        m.handleEvent(QStringLiteral("add"), QStringLiteral("/dev/hidraw3"), QString());
        QCOMPARE(change.count(), 1);
        QCOMPARE(change.at(0).at(3).toInt(), 2000);
        QVERIFY(!m.isBusy());
    }

    void startAndStopTheMonitor()
    {
        USBDeviceManager m;
        if (!m.start())
            QSKIP("no netlink udev monitor available here");
        QVERIFY(m.isStarted());
        QVERIFY(m.start()); // a second start keeps the running monitor
        m.stop();
        QVERIFY(!m.isStarted());
    }

    void instanceIsClearedOnDelete()
    {
        USBDeviceManager *first = USBDeviceManager::instance();
        QCOMPARE(USBDeviceManager::instance(), first);
        delete first;
        USBDeviceManager *second = USBDeviceManager::instance();
        QVERIFY(second);
        QCOMPARE(USBDeviceManager::instance(), second);
        delete second;
    }
};

QTEST_GUILESS_MAIN(TestUsbDevice)
#include "tst_usbdevice.moc"
