// Pictures of the firmware windows after real upgrades of virtual readers:
// firmware_gallery <output-dir> [en|zh_cn]
#include "BatchFirmwareUpgradeWidget.h"
#include "DeviceUpgradeList.h"
#include "FirmwareUpgradeDlg.h"
#include "FirmwareUpgradeWidget.h"
#include "Gallery.h"
#include "VReaderProcess.h"

#include <QElapsedTimer>

namespace {
KxDeviceInfoMap infoOf(const VReaderProcess::Reader &r)
{
    KxDeviceInfoMap m;
    m.insert("Product Name", r.model);
    m.insert("Serial Number", r.serial);
    m.insert("Ip Address", r.address);
    m.insert("Cmd Port", QString::number(r.port));
    m.insert("Firmware Version", "V1.00.000");
    return m;
}

template <typename F>
void waitFor(F done)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < 120000)
        QTest::qWait(50);
}
}  // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    Gallery g(argc, argv, QStringLiteral("firmware"), 300);
    g.loadLook(app);
    const QString samples = QStringLiteral(BREVAN_BIN_DIR "/firmware/");

    VReaderProcess one;
    if (!one.start({"--model", "KXS-FM800"}))
        return 1;
    FirmwareUpgradeDlg single(one.readers().value(0).serial, infoOf(one.readers().value(0)), false);
    single.single()->setFilePath(samples + "FM800-V1.01.000.pak");
    single.show();
    single.single()->onBtnClickedUpgrade();
    waitFor([&] { return !single.single()->isRunning(); });
    g.save(&single, QStringLiteral("single"));

    VReaderProcess three, other;
    if (!three.start({"--model", "KXS-FM800", "--count", "3"}) || !other.start({"--model", "KXS-EM30"}))
        return 1;
    QList<QPair<QString, KxDeviceInfoMap>> readers;
    for (const auto &r : three.readers() + other.readers())
        readers.append({r.serial + "@" + r.address, infoOf(r)});
    FirmwareUpgradeDlg batch(readers);
    batch.batch()->setFilePath(samples + "FM800-V1.01.000.pak");
    batch.batch()->list()->setAllChecked(true);
    batch.show();
    batch.batch()->onBtnClickedUpgrade();
    waitFor([&] { return !batch.batch()->isRunning(); });
    g.save(&batch, QStringLiteral("batch"));
    return 0;
}
