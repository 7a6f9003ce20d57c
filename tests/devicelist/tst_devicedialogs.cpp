// The reader dialogs offscreen, with the UI service answering from a script: the add-device
// checks and results, the network settings checks, replies and time-out, the alias rules, and
// the details widget.
#include "AddDeviceDlg.h"
#include "ChangeNetworkSettingDlg.h"
#include "DeviceAliasEditDlg.h"
#include "DeviceCardWidget.h"
#include "DeviceInfoWidget.h"
#include "DeviceListTestEnv.h"
#include "KxAddressProbe.h"
#include "KxScriptedUiBackend.h"
#include "KxStyledButtons.h"
#include "KxToggleSwitch.h"

#include <QClipboard>
#include <QFile>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>

namespace
{
struct FixedProbe : KxAddressProbe {
    QStringList taken;
    QStringList asked;
    bool isTaken(const QString &ip, quint16) override
    {
        asked << ip;
        return taken.contains(ip);
    }
};

KxDeviceInfoMap reader()
{
    KxDeviceInfoMap m = networkReader("SN-77", "127.0.9.2");
    m.insert("Cmd Port", "36520");
    return m;
}
} // namespace

class TstDeviceDialogs : public QObject
{
    Q_OBJECT
private:
    DeviceListTestEnv *env = nullptr;

private slots:
    void initTestCase() { env = new DeviceListTestEnv; }
    void cleanupTestCase() { delete env; }

    void addDevicePorts_data()
    {
        QTest::addColumn<QString>("ip");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("toast");
        QTest::newRow("port 0") << "127.0.0.2"
                                << "0"
                                << "#IDS_InvalidPort_Tips";
        QTest::newRow("port 65536") << "127.0.0.2"
                                    << "65536"
                                    << "#IDS_InvalidPort_Tips";
        QTest::newRow("empty port") << "127.0.0.2"
                                    << ""
                                    << "#IDS_InvalidPort_Tips";
        QTest::newRow("port 1") << "127.0.0.2"
                                << "1"
                                << "";
        QTest::newRow("port 65535") << "127.0.0.2"
                                    << "65535"
                                    << "";
        QTest::newRow("bad address") << "127.0.0"
                                     << "36520"
                                     << "#IDS_InvalidIP_Tips";
    }
    void addDevicePorts()
    {
        QFETCH(QString, ip);
        QFETCH(QString, port);
        QFETCH(QString, toast);
        KxScriptedUiBackend ui;
        AddDeviceDlg dlg;
        QList<QPair<QString, int>> calls;
        dlg.setAddFunction([&](const QString &i, int p) {
            calls.append({i, p});
            return 0;
        });
        dlg.show();
        dlg.ipEdit()->setText(ip);
        dlg.portEdit()->setText(port);
        dlg.okButton()->click();
        if (toast.isEmpty()) {
            QCOMPARE(calls.size(), 1);
            QCOMPARE(calls.first(), qMakePair(ip, port.toInt()));
            QCOMPARE(dlg.result(), int(QDialog::Accepted));
            QVERIFY(ui.toastTexts().isEmpty());
        } else {
            QVERIFY(calls.isEmpty());
            QCOMPARE(ui.toastTexts(), QStringList({toast}));
            QVERIFY(dlg.isVisible());
        }
    }

    void addDeviceResults_data()
    {
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("toast");
        QTest::addColumn<bool>("closed");
        QTest::newRow("known") << -2 << "#IDS_DeviceExist_Tips" << false;
        QTest::newRow("unreachable") << -1 << "#IDS_DeviceUnconnect" << false;
        QTest::newRow("added") << 0 << "" << true;
    }
    void addDeviceResults()
    {
        QFETCH(int, result);
        QFETCH(QString, toast);
        QFETCH(bool, closed);
        KxScriptedUiBackend ui;
        AddDeviceDlg dlg;
        dlg.setAddFunction([&](const QString &, int) { return result; });
        dlg.show();
        QCOMPARE(dlg.portEdit()->text(), QString("36520"));
        dlg.ipEdit()->setText("127.0.0.2");
        dlg.okButton()->click();
        QCOMPARE(dlg.isVisible(), !closed);
        QCOMPARE(dlg.result() == QDialog::Accepted, closed);
        QCOMPARE(ui.toastTexts(), toast.isEmpty() ? QStringList() : QStringList({toast}));
        QVERIFY(dlg.okButton()->isEnabled());
    }

    void networkInputChecks_data()
    {
        QTest::addColumn<QString>("ip");
        QTest::addColumn<QString>("mask");
        QTest::addColumn<QString>("gateway");
        QTest::addColumn<QString>("toast");
        QTest::newRow("bad address") << "127.0.9.300"
                                     << "255.0.0.0"
                                     << "127.0.0.1"
                                     << "#IDS_NetworkFormat_Error";
        QTest::newRow("bad mask") << "127.0.9.8"
                                  << "255.0.255.0"
                                  << "127.0.0.1"
                                  << "#IDS_NetworkFormat_Error";
        QTest::newRow("bad gateway") << "127.0.9.8"
                                     << "255.0.0.0"
                                     << ""
                                     << "#IDS_NetworkFormat_Error";
        QTest::newRow("this computer") << "127.0.0.1"
                                       << "255.0.0.0"
                                       << "127.0.0.1"
                                       << "#ID_TEXT_IP_ERROR";
        QTest::newRow("answers") << "127.0.9.3"
                                 << "255.0.0.0"
                                 << "127.0.0.1"
                                 << "#ID_TEXT_IP_ERROR";
    }
    void networkInputChecks()
    {
        QFETCH(QString, ip);
        QFETCH(QString, mask);
        QFETCH(QString, gateway);
        QFETCH(QString, toast);
        KxScriptedUiBackend ui;
        ChangeNetworkSettingDlg dlg("mac-77", reader());
        auto probe = std::make_shared<FixedProbe>();
        probe->taken << "127.0.9.3";
        dlg.setAddressProbe(probe);
        int sent = 0;
        dlg.setNetworkSender([&](const KxDeviceInfoMap &) { return ++sent > 0; });
        dlg.show();
        dlg.ipEdit()->setText(ip);
        dlg.maskEdit()->setText(mask);
        dlg.gatewayEdit()->setText(gateway);
        dlg.okButton()->click();
        QCOMPARE(ui.toastTexts(), QStringList({toast}));
        QCOMPARE(sent, 0);
        QVERIFY(!dlg.isWaiting());
    }

    void networkReaderKeepsItsOwnAddress()
    {
        KxScriptedUiBackend ui;
        ChangeNetworkSettingDlg dlg("mac-77", reader());
        auto probe = std::make_shared<FixedProbe>();
        probe->taken << "127.0.9.2"; // the reader itself answers there
        dlg.setAddressProbe(probe);
        KxDeviceInfoMap sentMap;
        dlg.setNetworkSender([&](const KxDeviceInfoMap &m) {
            sentMap = m;
            return true;
        });
        dlg.show();
        dlg.maskEdit()->setText("255.255.0.0");
        dlg.okButton()->click();
        QVERIFY(probe->asked.isEmpty());
        QVERIFY(dlg.isWaiting());
        QCOMPARE(sentMap.value("SubNetmask"), QString("255.255.0.0"));
        QCOMPARE(sentMap.value("Serial Number"), QString("SN-77"));
        QCOMPARE(ui.waitingTexts(), QStringList({"#IDS_NetworkSetting"}));
    }

    void networkReplyForOtherReaderIgnoredThenTimeout()
    {
        KxScriptedUiBackend ui;
        ChangeNetworkSettingDlg dlg("mac-77", reader());
        dlg.setAddressProbe(std::make_shared<FixedProbe>());
        dlg.setNetworkSender([](const KxDeviceInfoMap &) { return true; });
        dlg.setTimeoutMs(300);
        dlg.show();
        dlg.ipEdit()->setText("127.0.9.8");
        dlg.okButton()->click();
        QVERIFY(dlg.isWaiting());
        QVERIFY(!dlg.ipEdit()->isEnabled());
        QVERIFY(!dlg.okButton()->isEnabled());
        const QString mac = reader().value("MAC Address");
        emit KxDeviceKit::Instance()->deviceNetworkChanged("SN-78", mac, 1); // another reader
        emit KxDeviceKit::Instance()->deviceNetworkChanged("SN-77", "02:4B:FF:FF:FF:FF", 1);
        QVERIFY(dlg.isWaiting());
        QVERIFY(dlg.isVisible());
        QTRY_VERIFY(!dlg.isWaiting());
        QCOMPARE(ui.toastTexts(), QStringList({"#IDS_SetNetworkFail_Tips"}));
        QVERIFY(dlg.isVisible());
        QVERIFY(dlg.result() != QDialog::Accepted);
        QVERIFY(dlg.ipEdit()->isEnabled());
        QVERIFY(dlg.okButton()->isEnabled());
        QVERIFY(!ui.isWaitingShown());
    }

    void networkReplyFinishes_data()
    {
        QTest::addColumn<int>("result");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("success") << 1 << true;
        QTest::newRow("refused by the reader") << 2 << false;
    }
    void networkReplyFinishes()
    {
        QFETCH(int, result);
        QFETCH(bool, accepted);
        KxScriptedUiBackend ui;
        ChangeNetworkSettingDlg dlg("mac-77", reader());
        dlg.setNetworkSender([](const KxDeviceInfoMap &) { return true; });
        dlg.show();
        dlg.dhcpSwitch()->click(); // DHCP: no address checks
        QVERIFY(!dlg.ipEdit()->isEnabled());
        QCOMPARE(dlg.editedInfo().value("Use DHCP"), QString("1"));
        dlg.okButton()->click();
        QVERIFY(dlg.isWaiting());
        // The MAC address is compared without regard to case.
        emit KxDeviceKit::Instance()->deviceNetworkChanged(
            "SN-77", reader().value("MAC Address").toLower(), result);
        QVERIFY(!dlg.isWaiting());
        QCOMPARE(dlg.result() == QDialog::Accepted, accepted);
        QCOMPARE(ui.toastTexts().isEmpty(), accepted);
        QVERIFY(!ui.isWaitingShown());
    }

    void localAliasRules()
    {
        KxScriptedUiBackend ui;
        KxDeviceAlias *aliases = KxDeviceAlias::instance();
        QVERIFY(aliases->setAlias("SN-OTHER", "Gate 1"));
        KxDeviceInfoMap info = serialReader("SN-1", "/dev/pts/4");
        {
            DeviceAliasEditDlg dlg("SN-1:COM/dev/pts/4", info);
            QVERIFY(!dlg.isReaderHeld());
            dlg.show();
            dlg.aliasEdit()->setText("gate 1 "); // not the same text: case counts
            dlg.okButton()->click();
            QCOMPARE(dlg.result(), int(QDialog::Accepted));
            QCOMPARE(aliases->alias("SN-1"), QString("gate 1"));
        }
        {
            DeviceAliasEditDlg dlg("SN-1:COM/dev/pts/4", info);
            dlg.show();
            dlg.aliasEdit()->setText("Gate 1");
            dlg.okButton()->click();
            QCOMPARE(ui.toastTexts(), QStringList({"#IDS_AliasIsExist_Tips"}));
            QVERIFY(dlg.isVisible());
            QCOMPARE(aliases->alias("SN-1"), QString("gate 1")); // unchanged
        }
        {
            info.insert("L Alias", "gate 1");
            DeviceAliasEditDlg dlg("SN-1:COM/dev/pts/4", info);
            QCOMPARE(dlg.aliasEdit()->text(), QString("gate 1"));
            dlg.show();
            dlg.okButton()->click(); // keeping its own alias is no duplicate
            QCOMPARE(dlg.result(), int(QDialog::Accepted));
        }
        QVERIFY(aliases->setAlias("SN-OTHER", ""));
        QVERIFY(aliases->setAlias("SN-1", ""));
    }

    void readerHeldAlias()
    {
        KxScriptedUiBackend ui;
        KxDeviceInfoMap info = reader();
        info.insert("P Alias", "");
        DeviceAliasEditDlg dlg("mac-77", info);
        QVERIFY(dlg.isReaderHeld());
        KxDeviceInfoMap sent;
        dlg.setAliasSender([&](const KxDeviceInfoMap &m) {
            sent = m;
            return true;
        });
        dlg.setTimeoutMs(300);
        dlg.show();
        dlg.aliasEdit()->setText("Dock 4");
        dlg.okButton()->click();
        QCOMPARE(sent.value("L Alias"), QString("Dock 4"));
        QVERIFY(KxDeviceAlias::instance()->alias("SN-77").isEmpty()); // not kept locally
        QCOMPARE(ui.waitingTexts(), QStringList({"#IDS_DeviceAliasChanging"}));
        emit KxDeviceKit::Instance()->deviceAliasChanged("SN-78", info.value("MAC Address"), 1);
        QVERIFY(dlg.isWaiting());
        QTRY_VERIFY(!dlg.isWaiting());
        QCOMPARE(ui.toastTexts(), QStringList({"#IDS_SetNetworkFail_Tips"}));
        QVERIFY(dlg.aliasEdit()->isEnabled());
        dlg.okButton()->click();
        emit KxDeviceKit::Instance()->deviceAliasChanged("SN-77", info.value("MAC Address"), 1);
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
    }

    void formRowsLevelAndButtonsAsTallAsFields()
    {
        // Under the application's own sheet, which gives push buttons a smaller minimum.
        QFile css(QStringLiteral(BREVAN_SOURCE_DIR "/resources/qss/wsdefault.css"));
        QVERIFY(css.open(QIODevice::ReadOnly));
        qApp->setStyleSheet(QString::fromUtf8(css.readAll()));
        AddDeviceDlg add;
        ChangeNetworkSettingDlg net("mac-77", reader());
        DeviceAliasEditDlg alias("mac-77", reader());
        for (QDialog *dlg : QList<QDialog *>{&add, &net, &alias}) {
            dlg->show();
            QVERIFY(QTest::qWaitForWindowExposed(dlg));
            auto *form = dlg->findChild<QFormLayout *>();
            QVERIFY(form);
            int fieldHeight = 0;
            for (int row = 0; row < form->rowCount(); ++row) {
                QLayoutItem *l = form->itemAt(row, QFormLayout::LabelRole);
                QLayoutItem *f = form->itemAt(row, QFormLayout::FieldRole);
                if (!l || !f || !l->widget() || !f->widget())
                    continue;
                if (qobject_cast<QLabel *>(f->widget())) {
                    // A multi-line value: its label starts level with the first line.
                    QCOMPARE(l->widget()->geometry().top(), f->widget()->geometry().top());
                    continue;
                }
                const QString where = dlg->objectName() + QStringLiteral(" row ")
                    + QString::number(row);
                const int dy =
                    l->widget()->geometry().center().y() - f->widget()->geometry().center().y();
                QVERIFY2(qAbs(dy) <= 1, qPrintable(where + QStringLiteral(" off by ")
                                                   + QString::number(dy)));
                if (qobject_cast<QLineEdit *>(f->widget()))
                    fieldHeight = qMax(fieldHeight, f->widget()->height());
            }
            QVERIFY(fieldHeight > 0);
            const auto buttons = dlg->findChildren<KxPushButton *>();
            QVERIFY(!buttons.isEmpty());
            for (KxPushButton *b : buttons)
                QVERIFY2(b->height() >= fieldHeight - 2,
                         qPrintable(b->text() + QStringLiteral(" ") + QString::number(b->height())));
            dlg->hide();
        }
        qApp->setStyleSheet(QString());
    }

    void infoRowNamesInUserLanguage()
    {
        DeviceInfoWidget w;
        KxDeviceInfoMap info = reader();
        info.insert("PRNQRY", "Serial Number:SN-77\r\nLaser Class: 2");
        w.setDevice("mac-77", info);
        QCOMPARE(w.shownName(0), QString("Serial number"));
        QCOMPARE(w.shownName(1), QString("Laser Class")); // only the reader knows this one
        QVERIFY(w.shownName(2).isEmpty());
        QVERIFY(KxI18nUtil::instance()->loadMain(
            QStringLiteral(BREVAN_SOURCE_DIR "/models/resources"), QStringLiteral("zh_cn")));
        w.setDevice("mac-77", info);
        const QString zh = w.shownName(0);
        KxI18nUtil::instance()->loadMain(QStringLiteral(BREVAN_SOURCE_DIR "/models/resources"),
                                         QStringLiteral("en"));
        QCOMPARE(zh, QString::fromUtf8("序列号"));
        auto *label = w.findChild<QLabel *>("labRowName");
        QVERIFY(label);
        QCOMPARE(label->text(), zh);
        // Copies keep the reader's own words.
        QCOMPARE(w.allRowsText(), QString("Serial Number: SN-77\nLaser Class: 2"));
    }

    void infoRowsAndCopy()
    {
        DeviceInfoWidget w;
        w.resize(500, 500);
        w.show();
        KxDeviceInfoMap info = reader();
        info.insert("PRNQRY", "Model:KXS-FM800\r\nFirmware: V1.0\r\n\r\nHardware: B");
        w.setDevice("mac-77", info);
        QCOMPARE(w.visibleRowCount(), 3);
        QCOMPARE(w.rows().at(1), qMakePair(QString("Firmware"), QString("V1.0")));
        w.copyValue(2);
        QCOMPARE(QApplication::clipboard()->text(), QString("B"));
        w.copyAll();
        QCOMPARE(QApplication::clipboard()->text(),
                 QString("Model: KXS-FM800\nFirmware: V1.0\nHardware: B"));
        info.insert("PRNQRY", "Model:KXS-FM800");
        w.setDevice("mac-77", info);
        QCOMPARE(w.visibleRowCount(), 1); // rows beyond the lines are hidden
        QCOMPARE(w.card()->nameText(), QString("KXS-FM800"));
        QCOMPARE(w.card()->lineText(), QString("IP: 127.0.9.2"));
        QCOMPARE(w.card()->serialText(), QString("SN: SN-77"));

        QSignalSpy toggled(&w, &DeviceInfoWidget::signal_connectChanged);
        w.setConnected(true);
        QCOMPARE(toggled.size(), 0);
        QVERIFY(w.isConnectedShown());
        w.connectSwitch()->click();
        QCOMPARE(toggled.size(), 1);
        QCOMPARE(toggled.at(0).at(0).toBool(), false);

        w.setDevice("SN-1:COM/dev/pts/4", serialReader("SN-1", "/dev/pts/4"));
        QCOMPARE(w.card()->lineText(), QString("COM: /dev/pts/4"));
        QCOMPARE(w.visibleRowCount(), 0);
    }
};

QTEST_MAIN(TstDeviceDialogs)
#include "tst_devicedialogs.moc"
