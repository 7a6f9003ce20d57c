// The device list and the reader dialogs against the real virtual reader on loopback: readers
// appear within one scan period, a listed reader cannot be added twice, an address in use is
// refused, and a network-settings change really moves a reader, which is then found there.
#include "AddDeviceDlg.h"
#include "ChangeNetworkSettingDlg.h"
#include "DeviceAliasEditDlg.h"
#include "DeviceBlink.h"
#include "DeviceListLogic.h"
#include "DeviceListTestEnv.h"
#include "DeviceListWidget.h"
#include "KxAddressProbe.h"
#include "KxDeviceConnector.h"
#include "KxDeviceKit.h"
#include "KxLoginedDevicesManage.h"
#include "KxScriptedUiBackend.h"
#include "KxStyledButtons.h"
#include "KxToggleSwitch.h"
#include "NDeviceGroupItem.h"
#include "NDeviceList.h"
#include "NDeviceListItem.h"
#include "VReaderProcess.h"

#include <QLineEdit>
#include <QtTest>

using namespace DeviceListLogic;

namespace
{
constexpr int kPeriodS = 2;

QHostAddress shifted(const QString &first, int n)
{
    return QHostAddress(QHostAddress(first).toIPv4Address() + quint32(n));
}
} // namespace

class TstDeviceListVReader : public QObject
{
    Q_OBJECT
private:
    DeviceListTestEnv *env = nullptr;
    VReaderProcess vr;

    // The listed network reader serving this address, or null.
    NDeviceListItem *readerAt(DeviceListWidget &w, const QString &ip)
    {
        for (NDeviceListItem *item : w.allDeviceList()->group(kGroupNetwork)->devices())
            if (item->deviceInfo().value("Ip Address") == ip)
                return item;
        return nullptr;
    }
    bool waitForReaders(DeviceListWidget &w, int timeoutMs)
    {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < timeoutMs) {
            // Both readers, wherever an earlier case moved them.
            if (w.allDeviceList()->group(kGroupNetwork)->devices().size() == 2 &&
                readerAt(w, vr.readers().value(1).address))
                return true;
            QTest::qWait(20);
        }
        return false;
    }

private slots:
    void initTestCase()
    {
        env = new DeviceListTestEnv;
        qApp->setProperty("localSetting_netDevFreshTimes", QString::number(kPeriodS));
        qApp->setProperty("localSetting_deviceAliveTimes", QStringLiteral("10"));
        QVERIFY2(vr.start({"--model", "KXS-FM800", "--count", "2"}), vr.errorOutput().constData());
        QCOMPARE(vr.readers().size(), 2);
        KxDeviceKit *kit = KxDeviceKit::Instance();
        kit->setDiscoveryPort(vr.discoveryPort());
        QCOMPARE(kit->setScanAddresses(vr.firstAddress() + "/29").size(), 8);
    }
    void cleanupTestCase()
    {
        vr.stop();
        delete env;
    }

    void readersAppearWithinOneScanPeriod()
    {
        DeviceListWidget w;
        QSignalSpy clicked(&w, &DeviceListWidget::deviceClicked);
        // The scan starts 300 ms after construction; one period later both readers are listed.
        QVERIFY(waitForReaders(w, DeviceListWidget::kStartDelayMs + kPeriodS * 1000));
        NDeviceListItem *first = readerAt(w, vr.readers().at(0).address);
        const KxDeviceInfoMap info = first->deviceInfo();
        QCOMPARE(info.value("Serial Number"), vr.readers().at(0).serial);
        QCOMPARE(info.value("Cmd Port"), QString::number(vr.port()));
        QVERIFY(info.contains("L Alias"));
        QCOMPARE(w.allDeviceList()->group(kGroupNetwork)->title()->countText(), QString("(2)"));
        // Both support groups and are in none.
        QCOMPARE(w.groupDeviceList()->group(kGroupUngrouped)->devices().size(), 2);

        // A refresh keeps them and the selection.
        w.OnDeviceClicked(kGroupNetwork, first->deviceId());
        const QString selected = w.selectedDeviceId();
        clicked.clear();
        w.setRefreshGraceMs(1500);
        w.OnBtnRefreshClicked();
        QTRY_VERIFY_WITH_TIMEOUT(w.hasSelection(), 5000);
        QCOMPARE(w.selectedDeviceId(), selected);
        QCOMPARE(clicked.size(), 1);
        QTest::qWait(1700); // past the refresh's grace time: nothing was dropped
        QCOMPARE(w.allDeviceList()->group(kGroupNetwork)->devices().size(), 2);
    }

    void listedReaderCannotBeAddedTwice()
    {
        DeviceListWidget w;
        QVERIFY(waitForReaders(w, 10000));
        KxScriptedUiBackend ui;
        AddDeviceDlg dlg;
        dlg.show();
        dlg.ipEdit()->setText(vr.readers().at(1).address);
        dlg.portEdit()->setText(QString::number(vr.port()));
        dlg.okButton()->click();
        QCOMPARE(ui.toastTexts(), QStringList({"#IDS_DeviceExist_Tips"}));
        QVERIFY(dlg.isVisible());
        // Nothing answers at a free address of the block.
        dlg.ipEdit()->setText(shifted(vr.firstAddress(), 7).toString());
        dlg.okButton()->click();
        QCOMPARE(ui.toastTexts().value(1), QString("#IDS_DeviceUnconnect"));
        QVERIFY(dlg.isVisible());
    }

    void addressInUseRefused()
    {
        DeviceListWidget w;
        QVERIFY(waitForReaders(w, 10000));
        KxScriptedUiBackend ui;
        NDeviceListItem *item = readerAt(w, vr.readers().at(0).address);
        ChangeNetworkSettingDlg dlg(item->deviceId(), item->deviceInfo());
        int sent = 0;
        dlg.setNetworkSender([&](const KxDeviceInfoMap &) { return ++sent > 0; });
        dlg.show();
        dlg.ipEdit()->setText(vr.readers().at(1).address); // the other reader answers there
        dlg.okButton()->click();
        QCOMPARE(ui.toastTexts(), QStringList({"#ID_TEXT_IP_ERROR"}));
        QCOMPARE(sent, 0);
        QVERIFY(!KxAddressProbe().isTaken(shifted(vr.firstAddress(), 6).toString(), vr.port()));
    }

    void networkChangeMovesReader()
    {
        DeviceListWidget w;
        QVERIFY(waitForReaders(w, 10000));
        KxScriptedUiBackend ui;
        NDeviceListItem *item = readerAt(w, vr.readers().at(0).address);
        const QString id = item->deviceId();
        const QString target = shifted(vr.firstAddress(), 6).toString();
        ChangeNetworkSettingDlg dlg(id, item->deviceInfo());
        dlg.show();
        dlg.ipEdit()->setText(target);
        dlg.okButton()->click();
        QVERIFY2(dlg.isWaiting(), qPrintable(ui.toastTexts().join(',')));
        QTRY_VERIFY_WITH_TIMEOUT(dlg.result() == QDialog::Accepted, 15000);
        QVERIFY(ui.toastTexts().isEmpty());
        QVERIFY(!ui.isWaitingShown());
        // The list follows the reader to its new address under the same id.
        QTRY_COMPARE_WITH_TIMEOUT(
            w.allDeviceList()->findDevice(id)->deviceInfo().value("Ip Address"), target, 10000);
        QCOMPARE(w.allDeviceList()->group(kGroupNetwork)->devices().size(), 2);
        QVERIFY(KxAddressProbe::portAnswers(target, vr.port(), 2000));
        QVERIFY(KxAddressProbe().isTaken(target, vr.port()));
    }

    void readerHeldAliasShownAfterChange()
    {
        DeviceListWidget w;
        QVERIFY(waitForReaders(w, 10000));
        KxScriptedUiBackend ui;
        NDeviceListItem *item = readerAt(w, vr.readers().at(1).address);
        const QString id = item->deviceId();
        DeviceAliasEditDlg dlg(id, item->deviceInfo());
        QVERIFY(dlg.isReaderHeld());
        dlg.show();
        dlg.aliasEdit()->setText("Dock 7");
        dlg.okButton()->click();
        QTRY_VERIFY_WITH_TIMEOUT(dlg.result() == QDialog::Accepted, 15000);
        QTRY_COMPARE_WITH_TIMEOUT(w.allDeviceList()->findDevice(id)->deviceInfo().value("L Alias"),
                                  QString("Dock 7"), 10000);
        w.setSearchText("dock 7");
        QCOMPARE(w.allDeviceList()->firstVisibleDeviceId(), id);
    }

    // A network-capable reader attached by USB (here: on a pseudo-terminal) is changed by command
    // over its own link; a refused command fails visibly. Its blink goes by commands too.
    void usbReaderByCommand()
    {
        VReaderProcess usb;
        QVERIFY(usb.start({"--model", "KXS-FM800", "--count", "0", "--pty"}));
        KxDeviceKit *kit = KxDeviceKit::Instance();
        kit->setSerialPorts(usb.ptys());
        DeviceListWidget w;
        NDeviceGroupItem *local = w.allDeviceList()->group(kGroupLocal);
        QTRY_VERIFY_WITH_TIMEOUT(local->devices().size() == 1, 15000);
        const QString id = local->devices().first()->deviceId();
        KxDeviceInfoMap info = local->devices().first()->deviceInfo();
        info.insert("usb", "1");
        KxScriptedUiBackend ui;
        {
            ChangeNetworkSettingDlg dlg(id, info);
            dlg.show();
            dlg.dhcpSwitch()->click();
            dlg.okButton()->click();
            QCOMPARE(ui.toastTexts(), QStringList());
            QCOMPARE(dlg.result(), int(QDialog::Accepted));
        }
        {
            KxDeviceConnector c(id);
            c.setDeviceInfo(info);
            QVERIFY(c.connectDevice(true, false));
            QByteArray value;
            QCOMPARE(c.queryCommand(1, "@NETDEN*", value), 6);
            QCOMPARE(value, QByteArray("1"));
            c.disconnectDevice(false);
        }
        {
            ChangeNetworkSettingDlg dlg(id, info);
            dlg.show();
            QVERIFY(!dlg.dhcpSwitch()->isChecked()); // a serial reader's map carries no DHCP state
            dlg.ipEdit()->setText("127.0.0.300");
            dlg.okButton()->click();
            QCOMPARE(ui.toastTexts(), QStringList({"#IDS_NetworkFormat_Error"}));
        }
        // This model has no illumination command: the blink stops at its first query and says so.
        KxDeviceInfoMap blinkMap = info;
        blinkMap.insert("Device Id", id);
        QCOMPARE(DeviceBlink::pathFor(blinkMap), DeviceBlink::Path::Commands);
        QCOMPARE(DeviceBlink::blink(blinkMap), DeviceBlink::Outcome::Failed);
        QVERIFY(!kit->isConnected(id)); // the link is closed again

        // A reader this program holds is blinked over its own link, which stays open and usable.
        {
            auto *held = new KxDeviceConnector(id);
            held->setDeviceInfo(info);
            QVERIFY(held->connectDevice(true, false));
            QVERIFY(KxLoginedDevicesManage::instance()->registerDevice(id, held));
            QVERIFY(kit->isConnected(id));
            QCOMPARE(DeviceBlink::blink(blinkMap), DeviceBlink::Outcome::Failed);
            QVERIFY(kit->isConnected(id));
            QTRY_VERIFY_WITH_TIMEOUT(held->isConnected(), 10000);
            QByteArray value;
            QCOMPARE(held->queryCommand(1, "@NETDEN*", value), 6);
            KxLoginedDevicesManage::instance()->disconnectAllDevicesEx();
            delete held;
        }
        QTRY_VERIFY_WITH_TIMEOUT(!kit->isConnected(id), 15000);

        // A reader that says it cannot blink is left alone: no link, and no failure to report.
        blinkMap.insert("Supp Blink Notify", "0");
        QCOMPARE(DeviceBlink::blink(blinkMap), DeviceBlink::Outcome::Skipped);
        QVERIFY(!kit->isConnected(id));
        kit->setSerialPorts({});
    }
};

QTEST_MAIN(TstDeviceListVReader)
#include "tst_devicelistvreader.moc"
