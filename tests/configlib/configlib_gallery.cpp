// Renders the configuration-library page against a virtual reader for a look by eye: the edit
// frame on the page at two window sizes (one set renamed and enabled, another with an image
// group), and the symbology, illumination and preprocessing popups, into
// "<dir>/configlib-<name>-<lang>.png".
#include "BCodeEditFrame.h"
#include "BrevanResources.h"
#include "ConfigLib.h"
#include "ConfigLibSettingsWidget.h"
#include "Gallery.h"
#include "GalleryReader.h"
#include "KxConfig.h"
#include "KxDeviceCommand.h"
#include "KxLoginedDevicesManage.h"
#include "KxStandardControls.h"

#include <QApplication>
#include <QTemporaryDir>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    brevanInitResources();
    const Gallery gallery(argc, argv, QStringLiteral("configlib"), 300);
    QTemporaryDir data;
    KxConfig::instance()->setDataDir(data.path());
    KxStandardControls::registerAll();
    gallery.loadLook(app);

    VReaderProcess vr;
    auto connector = GalleryReader::start(vr, {"--count", "1", "--sensor", "640x480"});
    if (!connector)
        return 1;
    KxLoginedDevicesManage::instance()->registerDevice(connector->deviceId(), connector.get());
    BCodeEditFrame frame;
    frame.resize(1366, 768);
    frame.show();
    if (!frame.openDeviceById(connector->deviceId(), QVariant(int(BCodeEditFrame::Page_ConfigLib))))
        return 1;
    auto *page = qobject_cast<ConfigLibSettingsWidget *>(frame.currentPage());
    if (!page || page->sets().size() < 3)
        return 1;
    const QList<ConfigLib *> sets = page->sets();
    sets[0]->setValue(ConfigLib::KeyName, QStringLiteral("Conveyor left"), true);
    sets[0]->setValue(ConfigLib::KeyEnable, 1, true);
    sets[1]->setValue(ConfigLib::KeyImageGroupNo, 2, true);
    sets[1]->setValue(QStringLiteral("EXPFET"), QStringLiteral("1500"), true);
    for (int i = 0; i < 300 && connector->command()->pendingChanges() > 0; ++i)
        QTest::qWait(20);
    frame.OnSlotConfigLibEnable();
    gallery.save(&frame, QStringLiteral("page-1366x768"));
    frame.resize(1400, 900);
    gallery.save(&frame, QStringLiteral("page-1400x900"));
    frame.show();
    if (QWidget *codes = page->openCell(page->rowOf(QStringLiteral("_1DCode")), 0))
        gallery.save(codes, QStringLiteral("popup-1d"));
    if (QWidget *led = page->openCell(page->rowOf(QStringLiteral("ILLPOS")), 0))
        gallery.save(led, QStringLiteral("popup-led"));
    if (QWidget *pre = page->openCell(page->rowOf(QStringLiteral("IPPGAM")), 1))
        gallery.save(pre, QStringLiteral("popup-preimage"));
    connector.release();  // the registry owns it now
    return 0;
}
