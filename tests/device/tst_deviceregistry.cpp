// The registry of connected readers: registration, replacement and orderly teardown.
#include "KxDeviceConnector.h"
#include "KxLoginedDevicesManage.h"

#include <QSignalSpy>
#include <QtTest>

class TestDeviceRegistry : public QObject
{
    Q_OBJECT
private slots:
    void sameConnectorTwiceEmitsNothingNew()
    {
        KxLoginedDevicesManage reg;
        QSignalSpy connects(&reg, &KxLoginedDevicesManage::deviceConnectChanged);
        QSignalSpy states(&reg, &KxLoginedDevicesManage::deviceStateChanged);
        auto *c = new KxDeviceConnector(QStringLiteral("REG-1"));
        QVERIFY(reg.registerDevice("REG-1", c));
        QCOMPARE(connects.size(), 1);
        QCOMPARE(states.size(), 1);
        QCOMPARE(states.first().at(1).toInt(), int(DeviceState_Created));
        QVERIFY(reg.registerDevice("REG-1", c));
        QCOMPARE(connects.size(), 1);
        QCOMPARE(states.size(), 1);
        QCOMPARE(reg.device("REG-1").data(), c);
        QVERIFY(reg.containsConnector(c));
        // State changes are re-emitted with the id, once.
        c->logout();
        QCOMPARE(states.size(), 2);
        QCOMPARE(states.last().at(0).toString(), QStringLiteral("REG-1"));
        QCOMPARE(states.last().at(1).toInt(), int(DeviceState_LoggedOut));
    }

    void replacedConnectorIsReleased()
    {
        KxLoginedDevicesManage reg;
        QPointer<KxDeviceConnector> a = new KxDeviceConnector(QStringLiteral("REG-2"));
        auto *b = new KxDeviceConnector(QStringLiteral("REG-2"));
        QVERIFY(reg.registerDevice("REG-2", a));
        QVERIFY(reg.registerDevice("REG-2", b));
        QCOMPARE(reg.device("REG-2").data(), b);
        QTRY_VERIFY(!a);
        QSignalSpy states(&reg, &KxLoginedDevicesManage::deviceStateChanged);
        b->logout();
        QCOMPARE(states.size(), 1);
        QVERIFY(!reg.registerDevice("REG-2", nullptr));
    }

    void completedLogoutCleansUpAtOnce()
    {
        KxLoginedDevicesManage reg;
        QPointer<KxDeviceConnector> c = new KxDeviceConnector(QStringLiteral("REG-3"));
        QVERIFY(reg.registerDevice("REG-3", c));
        QSignalSpy connects(&reg, &KxLoginedDevicesManage::deviceConnectChanged);
        QSignalSpy states(&reg, &KxLoginedDevicesManage::deviceStateChanged);
        reg.disconnectAllDevices();
        QCOMPARE(connects.size(), 1);
        QCOMPARE(connects.first().at(1).toBool(), false);
        QCOMPARE(states.last().at(1).toInt(), 0);
        QVERIFY(!reg.isPending("REG-3"));
        QVERIFY(reg.deviceIds().isEmpty());
        QTRY_VERIFY(!c);
    }

    void pendingDeviceCleanedUpOnTimeout()
    {
        KxLoginedDevicesManage reg;
        QCOMPARE(reg.disconnectTimeout(), 120000);
        reg.setDisconnectTimeout(150);
        QPointer<KxDeviceConnector> c = new KxDeviceConnector(QStringLiteral("REG-4"));
        QVERIFY(reg.registerDevice("REG-4", c));
        // A logout that never reports back.
        c->blockSignals(true);
        QSignalSpy connects(&reg, &KxLoginedDevicesManage::deviceConnectChanged);
        QSignalSpy states(&reg, &KxLoginedDevicesManage::deviceStateChanged);
        reg.disconnectAllDevices();
        QVERIFY(reg.isPending("REG-4"));
        QVERIFY(!reg.device("REG-4"));
        QCOMPARE(connects.size(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(states.size(), 1, 5000);
        QCOMPARE(states.first().at(0).toString(), QStringLiteral("REG-4"));
        QCOMPARE(states.first().at(1).toInt(), 0);
        QCOMPARE(connects.size(), 1);
        QCOMPARE(connects.first().at(1).toBool(), false);
        QVERIFY(!reg.isPending("REG-4"));
        QTRY_VERIFY(!c);
    }

    void reRegisteringPendingIdStopsItsTimer()
    {
        KxLoginedDevicesManage reg;
        reg.setDisconnectTimeout(100);
        QPointer<KxDeviceConnector> c = new KxDeviceConnector(QStringLiteral("REG-5"));
        QVERIFY(reg.registerDevice("REG-5", c));
        c->blockSignals(true);
        reg.disconnectAllDevices();
        QVERIFY(reg.isPending("REG-5"));
        auto *fresh = new KxDeviceConnector(QStringLiteral("REG-5"));
        QVERIFY(reg.registerDevice("REG-5", fresh));
        QVERIFY(!reg.isPending("REG-5"));
        QSignalSpy states(&reg, &KxLoginedDevicesManage::deviceStateChanged);
        QTest::qWait(300);
        QCOMPARE(states.size(), 0);
        QCOMPARE(reg.device("REG-5").data(), fresh);
        // The replaced connector that was still logging out is released, not leaked.
        QTRY_VERIFY(!c);
    }
};

QTEST_MAIN(TestDeviceRegistry)
#include "tst_deviceregistry.moc"
