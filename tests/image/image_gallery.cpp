// Renders the quick settings page with a live image from a virtual reader (codes found and the
// decode area drawn), the full-screen view and the image settings dialog into
// "<dir>/image-<name>-<lang>.png" for a visual check.
#include "BCodeImageCanvas.h"
#include "BrevanResources.h"
#include "BCodeImageView.h"
#include "BCodeImageViewPrivate.h"
#include "Gallery.h"
#include "GetImageSettingDlg.h"
#include "KxConfig.h"
#include "KxDeviceCommand.h"
#include "KxStandardControls.h"
#include "QuickSettingsWidget.h"
#include "VReaderProcess.h"
#include "GalleryReader.h"
#include "VReaderSession.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QToolButton>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    brevanInitResources();
    const Gallery gallery(argc, argv, QStringLiteral("image"), 300);
    QTemporaryDir data;
    KxConfig::instance()->setDataDir(data.path());
    KxStandardControls::registerAll();
    gallery.loadLook(app);

    VReaderProcess vr;
    auto connector = GalleryReader::start(vr, {"--count", "1", "--sensor", "1280x800"});
    if (!connector)
        return 1;
    ChangedCmdInfo en{"CADENA", "CADENA", "1", "1", {}, 0};
    ChangedCmdInfo mode{"CADMOD", "CADMOD", "1", "1", {}, 0};
    ChangedCmdInfo pos{"CADPOS", "CADPOS", "120,80", "120,80", {}, 0};
    ChangedCmdInfo size{"CADSIZ", "CADSIZ", "1040,640", "1040,640", {}, 0};
    QObject ctx;
    VReaderSession::sendChanges(connector->command(), {en, mode, pos, size}, &ctx);

    KxDeviceInfoMap info = connector->deviceInfo();  // as discovery reports a network reader
    info.insert(QStringLiteral("Ip Address"), vr.readers().value(0).address);
    connector->setDeviceInfo(info);
    QuickSettingsWidget page;
    page.openDevice(QPointer<KxDeviceConnector>(connector.get()), QVariant());
    for (int i = 0; i < 3; ++i)  // a few reads for the result table
        connector->sendAsync(&ctx, QStringLiteral("#SCNITG"), 1, {}, [](int, const QByteArray &) {});
    QTest::qWait(3000);
    for (const QSize &s : {QSize(1366, 768), QSize(1400, 900)}) {
        page.resize(s);
        page.show();
        QTest::qWait(200);
        if (!GalleryReader::fetch(page.imageView()))
            std::fprintf(stderr, "no image\n");
        gallery.save(&page, QStringLiteral("quick-%1x%2").arg(s.width()).arg(s.height()));
    }
    page.show();
    page.imageView()->button("btnShowFit")->click();  // original size, scrolled
    gallery.save(&page, QStringLiteral("quick-original"));
    page.imageView()->button("btnExpand")->click();  // wall folded away
    page.imageView()->button("btnShowFit")->click();
    gallery.save(&page, QStringLiteral("quick-nowall"));

    GetImageSettingDlg dlg(page.imageView()->d()->sensorSize(), page.imageView()->d()->options());
    gallery.save(&dlg, QStringLiteral("settings"));
    return 0;
}
