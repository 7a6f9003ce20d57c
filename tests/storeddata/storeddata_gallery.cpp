// Renders the stored-data window into PNG files for a look by eye (not a test):
// storeddata_gallery <output-dir> [en|zh_cn]
#include "Gallery.h"
#include "KxConfig.h"
#include "StoredDataDlg.h"
#include "StoredDataSession.h"
#include "VReaderSession.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryDir>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    Gallery gallery(argc, argv, QStringLiteral("storeddata"), 400);
    gallery.loadLook(app);
    QTemporaryDir dir;
    KxConfig::instance()->setDataDir(dir.path());
    QFile scene(dir.filePath("scene.json"));
    if (!scene.open(QIODevice::WriteOnly))
        return 1;
    scene.write(R"({"sensor":[640,400],"seed":3,"conveyor":{"rate":10,"unreadable":0.2,)"
                R"("label":[{"symbology":"Code 128","text":"PALLET-{n}","x":320,"y":200,"module":2}]}})");
    scene.close();
    VReaderProcess vr;
    if (!vr.start({"--model", "KXS-FM800", "--scene", scene.fileName()}))
        return 2;
    auto c = VReaderSession::login(vr);
    QByteArray v;
    if (!c || c->queryCommand(1, "#SCNITV", v, "100") != 6 || c->queryCommand(1, "#SCNMOD", v, "1") != 6
        || c->queryCommand(1, "#NGRENA", v, "1") != 6)
        return 3;
    c->logout();
    c->disconnectDevice(true);
    c.reset();
    QTest::qWait(2500);
    c = VReaderSession::login(vr);
    if (!c)
        return 4;
    c->queryCommand(1, "#SCNMOD", v, "0");
    StoredDataDlg dlg(c.get());
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    dlg.resize(qMin(900, screen.width() - 80), qMin(560, screen.height() - 80));
    QElapsedTimer t;
    t.start();
    while (dlg.session()->busy() && t.elapsed() < 30000)
        QTest::qWait(50);
    gallery.save(&dlg, QStringLiteral("fetched-%1x%2").arg(screen.width()).arg(screen.height()));
    return 0;
}
