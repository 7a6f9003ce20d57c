// The firmware widgets against running virtual readers: a single upgrade ends verified, the
// strict refusal is offered to the user, and a batch of four readers ends with exactly the
// outcome each one should have. Dialogs are answered by the scripted UI backend.
#include <QtTest>

#include <QCheckBox>
#include <QPushButton>

#include "BatchFirmwareUpgradeWidget.h"
#include "DeviceUpgradeList.h"
#include "FirmwareUpgradeWidget.h"
#include "KxDataStreamMaker.h"
#include "KxDataStreamParser.h"
#include "KxDeviceKit.h"
#include "KxI18nUtil.h"
#include "KxScriptedUiBackend.h"
#include "VReaderProcess.h"

namespace {
const QString kSamples = QStringLiteral(BREVAN_BIN_DIR "/firmware/");

// The information map discovery would report, with the address the upgrade falls back to.
KxDeviceInfoMap infoOf(const VReaderProcess::Reader &r, const QString &serial = QString())
{
    KxDeviceInfoMap m;
    m.insert("Product Name", r.model);
    m.insert("Serial Number", serial.isEmpty() ? r.serial : serial);
    m.insert("Ip Address", r.address);
    m.insert("Cmd Port", QString::number(r.port));
    m.insert("Firmware Version", "V1.00.000");
    return m;
}

// The version a reader runs, asked over a link of its own.
QString versionOf(const VReaderProcess::Reader &r)
{
    static int n = 0;
    const QString id = QStringLiteral("probe-%1").arg(++n);
    KxDeviceKit *kit = KxDeviceKit::Instance();
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 30000) {
        if (kit->connectToDevice_Cmd(id, QStringLiteral("%1:%2").arg(r.address).arg(r.port))) {
            QByteArray reply, value;
            const int code = kit->sendBinaryMessage(id, KxMakeDataStreamCmd("@PRNQRY*", DataProtocol_Settings, true), reply, 10000);
            kit->disconnectFromDeviceEx(id);
            if (code == 0 && KxGetDataStreamResult(reply, "PRNQRY", value) == DataResult_Ack) {
                for (const QByteArray &line : value.split('\n'))
                    if (line.startsWith("Firmware Version:"))
                        return QString::fromUtf8(line.mid(17).trimmed());
            }
        }
        QTest::qWait(200);
    }
    return QString();
}
}  // namespace

class TstFirmwareUi : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(KxI18nUtil::instance()->loadMain(BREVAN_BIN_DIR "/models/resources", "en"));
    }

    void progressAboveRangeShownAsZero_data()
    {
        QTest::addColumn<int>("progress");
        QTest::addColumn<int>("shown");
        QTest::newRow("start") << 0 << 0;
        QTest::newRow("end") << 1000 << 1000;
        QTest::newRow("1001") << 1001 << 0;
        QTest::newRow("negative") << -5 << 0;
    }
    void progressAboveRangeShownAsZero()
    {
        QFETCH(int, progress);
        QFETCH(int, shown);
        QCOMPARE(FirmwareUpgradeWidget::shownProgress(progress), shown);
    }

    void badFilesRefusedBeforeAnyConnection_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("notice");
        QTest::newRow("no file") << QString() << "#IDS_FileIsEmpty_Tips";
        QTest::newRow("ifp that cannot be unpacked") << "broken.ifp" << "#IDS_InvalidFirmwareFile";
        QTest::newRow("damaged package") << kSamples + "FM800-V1.01.000-badsum.pak" << "#IDS_InvalidFirmwareFile";
    }
    void badFilesRefusedBeforeAnyConnection()
    {
        QFETCH(QString, file);
        QFETCH(QString, notice);
        QTemporaryDir tmp;
        if (file == QLatin1String("broken.ifp")) {
            file = tmp.filePath(file);
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("PK\x03\x04 not really an archive");
        }
        KxScriptedUiBackend ui;
        // No reader listens at this address: any connection attempt would fail with 609 and
        // show in the log; the checks must stop before.
        KxDeviceInfoMap info;
        info.insert("Ip Address", "127.0.0.1");
        info.insert("Cmd Port", "1");
        FirmwareUpgradeWidget w("nobody", info, false);
        w.setFilePath(file);
        w.onBtnClickedUpgrade();
        QCOMPARE(ui.toastTexts(), QStringList{notice});
        QVERIFY(!w.isRunning());
        QVERIFY(w.logText().isEmpty());
    }

    void singleUpgradeVerified()
    {
        VReaderProcess vr;
        QVERIFY(vr.start({"--model", "KXS-FM800"}));
        const auto r = vr.readers().value(0);
        KxScriptedUiBackend ui;
        FirmwareUpgradeWidget w("single-" + r.serial, infoOf(r), false);
        QSignalSpy end(&w, &FirmwareUpgradeWidget::UpgradeEnd);
        w.setFilePath(kSamples + "FM800-V1.01.000.pak");
        w.findChild<QPushButton *>("btn_upgrade")->click();
        QVERIFY(w.isRunning());
        QTRY_VERIFY_WITH_TIMEOUT(!w.isRunning(), 120000);
        QCOMPARE(end.size(), 1);
        QCOMPARE(end.at(0).at(0).toBool(), true);
        QVERIFY2(w.logText().contains("V1.01.000"), qPrintable(w.logText()));
        // The install step lasts until the reader restarts, so the 100 ms poll always sees it.
        QVERIFY(w.logText().contains(kxTr("#IDS_UpgradeProgress_WaitFinish")));
        QCOMPARE(versionOf(r), QString("V1.01.000"));
        QVERIFY(ui.isClean());
    }

    void strictRefusalThenUserYesInstalls()
    {
        VReaderProcess vr;
        QVERIFY(vr.start({"--model", "KXS-FM800"}));
        const auto r = vr.readers().value(0);
        KxScriptedUiBackend ui;
        ui.answerMessage(1, "#IDS_UpgradeUnmatch_Tips");
        FirmwareUpgradeWidget w("strict-" + r.serial, infoOf(r), false);
        QSignalSpy end(&w, &FirmwareUpgradeWidget::UpgradeEnd);
        w.setFilePath(kSamples + "FM800-V0.90.000-downgrade.pak");
        w.onBtnClickedUpgrade();
        QTRY_VERIFY_WITH_TIMEOUT(!w.isRunning(), 120000);
        QCOMPARE(end.size(), 2);  // refused in strict mode, then installed without it
        QCOMPARE(end.at(0).at(1).toInt(), 218);
        QCOMPARE(end.at(1).at(0).toBool(), true);
        QCOMPARE(versionOf(r), QString("V0.90.000"));
        QVERIFY(ui.isClean());
    }

    void strictRefusalThenUserCancelKeepsOld()
    {
        VReaderProcess vr;
        QVERIFY(vr.start({"--model", "KXS-FM800"}));
        const auto r = vr.readers().value(0);
        KxScriptedUiBackend ui;
        ui.answerMessage(2, "#IDS_UpgradeUnmatch_Tips");
        FirmwareUpgradeWidget w("cancel-" + r.serial, infoOf(r), false);
        w.setFilePath(kSamples + "FM800-V0.90.000-downgrade.pak");
        w.onBtnClickedUpgrade();
        QTRY_VERIFY_WITH_TIMEOUT(!w.isRunning(), 120000);
        QVERIFY(w.logText().contains(kxTr("#ID_DEVICE_ERROR_RESUFE")));
        QVERIFY(w.logText().contains(kxTr("#IDS_UpgradeFail")));
        QCOMPARE(versionOf(r), QString("V1.00.000"));
        QVERIFY(ui.isClean());
    }

    // Two good readers, one of another product, one whose link drops halfway.
    void batchOfFourEndsWithEachOutcome()
    {
        VReaderProcess good, other, dropping;
        QVERIFY(good.start({"--model", "KXS-FM800", "--count", "2"}));
        QVERIFY(other.start({"--model", "KXS-EM30"}));
        QVERIFY(dropping.start({"--model", "KXS-FM800", "--serial", "DROP", "--drop-after", "10"}));
        const QList<VReaderProcess::Reader> readers = good.readers() + other.readers() + dropping.readers();
        QCOMPARE(readers.size(), 4);
        KxScriptedUiBackend ui;
        BatchFirmwareUpgradeWidget w;
        for (const auto &r : readers)
            w.OnDeviceUpdated("batch-" + r.serial + r.address, infoOf(r));
        // A reader another tool holds is not offered.
        KxDeviceInfoMap held = infoOf(readers.first(), "HELD-1");
        held.insert("Is Connected To Configtool", "1");
        w.OnDeviceUpdated("held", held);
        QCOMPARE(w.list()->items().size(), 4);
        w.setFilePath(kSamples + "FM800-V1.01.000.pak");
        w.findChild<QCheckBox *>()->click();  // select all
        w.onBtnClickedUpgrade();
        QVERIFY(w.isRunning());
        QTRY_VERIFY_WITH_TIMEOUT(!w.isRunning(), 180000);
        auto row = [&](const VReaderProcess::Reader &r) { return w.list()->item("batch-" + r.serial + r.address); };
        for (const auto &r : good.readers()) {
            QVERIFY2(row(r)->statusOk(), qPrintable(row(r)->statusText()));
            QVERIFY(row(r)->statusText().contains("V1.01.000"));
            QCOMPARE(versionOf(r), QString("V1.01.000"));
        }
        const auto em30 = other.readers().value(0);
        QVERIFY(!row(em30)->statusOk());
        QVERIFY(row(em30)->statusText().contains(kxTr("#IDS_UpgradeError_PRODUCT_MISMATCH")));
        QCOMPARE(versionOf(em30), QString("V1.00.000"));
        const auto dropped = dropping.readers().value(0);
        QVERIFY(!row(dropped)->statusOk());
        QVERIFY2(row(dropped)->statusText().contains(kxTr("#ID_DEVICE_ERROR_COMMUNICATION")),
                 qPrintable(row(dropped)->statusText()));
        QCOMPARE(versionOf(dropped), QString("V1.00.000"));
        QVERIFY(ui.isClean());
    }

    // The same reader listed twice (two interfaces): the row that fails while the other is
    // still running names the conflict.
    void sameSerialNamesInterfaceConflict()
    {
        VReaderProcess vr;
        QVERIFY(vr.start({"--model", "KXS-FM800", "--delay-ms", "20"}));
        const auto r = vr.readers().value(0);
        KxScriptedUiBackend ui;
        BatchFirmwareUpgradeWidget w;
        w.OnDeviceUpdated("if-a", infoOf(r));
        w.OnDeviceUpdated("if-b", infoOf(r));
        w.setFilePath(kSamples + "FM800-V1.01.000.pak");
        w.list()->setAllChecked(true);
        w.onBtnClickedUpgrade();
        QTRY_VERIFY_WITH_TIMEOUT(!w.isRunning(), 180000);
        const QString a = w.list()->item("if-a")->statusText();
        const QString b = w.list()->item("if-b")->statusText();
        const QString conflict = kxTr("#IDS_DeviceHasDiffUpgradeInterfaces");
        // The reader serves one configuring link: one interface fails while the other runs.
        QVERIFY2(a.contains(conflict) != b.contains(conflict), qPrintable(a + " | " + b));
        QVERIFY(w.list()->item("if-a")->statusOk() || w.list()->item("if-b")->statusOk());
        QVERIFY(ui.isClean());
    }
};

QTEST_MAIN(TstFirmwareUi)
#include "tst_firmwareui.moc"
