// Pictures of the reader log windows with real virtual readers (not a test):
// devicelog_gallery <output-dir> [en|zh_cn]
#include "DeviceLogDlg.h"
#include "DeviceLogDownload.h"
#include "DeviceLogTableModel.h"
#include "Gallery.h"
#include "KxDataStreamMaker.h"
#include "KxDeviceCommand.h"
#include "KxDeviceConnector.h"
#include "KxDeviceKit.h"
#include "LogUpdateDlg.h"
#include "VReaderProcess.h"
#include "VReaderSession.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    Gallery gallery(argc, argv, QStringLiteral("devicelog"), 400);
    gallery.loadLook(app);
    VReaderProcess vp;
    const QString why = VReaderSession::startForDiscovery(vp, {"--count", "3", "--log-size", "2M"}, 3);
    if (!why.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(why));
        return 1;
    }
    KxDeviceKit *kit = KxDeviceKit::Instance();
    QStringList addresses;
    for (const auto &r : vp.readers())
        addresses << r.address;
    kit->setScanAddresses(addresses.join(','));
    QList<QPair<QString, KxDeviceInfoMap>> readers;
    QObject::connect(kit, &KxDeviceKit::deviceUpdated, &app, [&](const QString &id, const QMap<QString, QString> &info) {
        for (auto &r : readers)
            if (r.first == id)
                return;
        readers.append({id, info});
    });
    kit->startDeviceScan(ScanType_All, 1000);
    for (int i = 0; i < 300 && readers.size() < 3; ++i)
        QTest::qWait(100);
    if (readers.size() < 3)
        return 1;

    QTemporaryDir dir;
    {
        LogUpdateDlg dlg(readers);
        dlg.folderEdit()->setText(dir.filePath(QStringLiteral("logs")));
        gallery.save(&dlg, QStringLiteral("update-empty"));
        dlg.table()->item(0, 0)->setCheckState(Qt::Checked);
        dlg.table()->item(2, 0)->setCheckState(Qt::Checked);
        dlg.show();
        dlg.findChild<QPushButton *>(QStringLiteral("btnDownload"))->click();
        for (int i = 0; i < 600 && dlg.download()->isRunning(); ++i)
            QTest::qWait(100);
        gallery.save(&dlg, QStringLiteral("update-done"));
    }

    // The live log of the first reader while its settings change.
    KxDeviceConnector c(readers[0].first);
    c.setDeviceInfo(readers[0].second);
    if (!c.connectDevice(false, false) || c.login() != 0)
        return 1;
    DeviceLogDlg live(&c);
    live.show();
    for (int i = 0; i < 100 && !live.isReceiving(); ++i)
        QTest::qWait(100);
    live.activeSwitch()->click();
    for (int i = 0; i < 100 && c.command()->value(QStringLiteral("LOGACT")) != "1"; ++i)
        QTest::qWait(100);
    // Reads and refusals too, not only the settings changes.
    for (const QByteArray text : {QByteArray("#LOGLVL4"), QByteArray("#QRCENA7")}) {
        QByteArray reply;
        kit->sendBinaryMessage(c.deviceId(), KxMakeDataStreamCmd(text, DataProtocol_Settings, true), reply);
    }
    for (int i = 0; i < 40; ++i) {
        QByteArray reply;
        const QByteArray text = i % 3 == 0 ? QByteArray("#EXPFET") + QByteArray::number(100 + i * 10)
                              : i % 3 == 1 ? QByteArray("#QRCENA") + QByteArray::number(i % 2)
                                           : QByteArray("#SCNITG");
        kit->sendBinaryMessage(c.deviceId(), KxMakeDataStreamCmd(text, DataProtocol_Settings, true), reply);
    }
    for (int i = 0; i < 50 && live.model()->rowCount() < 20; ++i)
        QTest::qWait(100);
    gallery.save(&live, QStringLiteral("live"));
    live.levelCombo()->setCurrentIndex(3);
    gallery.save(&live, QStringLiteral("live-filtered"));
    live.reject();
    c.logout();
    c.disconnectDevice(true);
    kit->stopDeviceScan(ScanType_All);
    return 0;
}
