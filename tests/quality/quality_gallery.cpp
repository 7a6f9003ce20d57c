// Renders the code quality window into PNG files for a look by eye (not a test):
// quality_gallery <output-dir> [en|zh_cn]
#include "BarcodeParse.h"
#include "Gallery.h"
#include "KxDataStreamMaker.h"
#include "QualityDlg.h"
#include "VcSceneSource.h"
#include "VrModel.h"
#include "VrReaderCamera.h"
#include "VrReaderEngine.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTableWidget>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    Gallery gallery(argc, argv, QStringLiteral("quality"), 500);
    gallery.loadLook(app);
    QString error;
    auto table = VrModel::loadTable(BREVAN_BIN_DIR "/models", "KXS-FM800", nullptr, &error);
    if (!table)
        return 1;
    VcSceneSource scene(VcScenes::byKind(QStringLiteral("fixed-mount"), QSize(640, 480)));
    VrIdentity id;
    id.model = "KXS-FM800";
    id.serial = "SN-Q-1";
    id.mac = VrModel::macFor(id.serial);
    id.ip = "127.0.0.2";
    VrReaderEngine e(table, id, QString());
    e.loadState();
    e.setCamera(std::make_unique<VrReaderCamera>(&scene, QSize(640, 480)));
    auto send = [&](const QByteArray &text) { return e.handleFrame(KxMakeDataStreamCmd(text, DataProtocol_Settings)); };
    send("#INCCQP1");
    send("#MLTCNT8");
    BarcodeParse parse;
    parse.setSymbologyNames({{"002", "Code 128"}, {"032", "QR Code"}, {"033", "Data Matrix"}});
    QualityDlg dlg(nullptr);
    for (int i = 0; i < 12; ++i) {
        send("#FOCPOS" + QByteArray::number(500 + (i % 4) * 60));
        for (const QByteArray &f : send("#SCNITG").results)
            parse.parseFrame(f);
        dlg.addResults(parse.takeBarcodes());
    }
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    dlg.resize(qMin(1000, screen.width() - 80), qMin(600, screen.height() - 80));
    dlg.codesTable()->setCurrentCell(0, 0);
    gallery.save(&dlg, QStringLiteral("report-%1x%2").arg(screen.width()).arg(screen.height()));
    // The printable report beside the pictures.
    dlg.exportPdf(QStringLiteral("%1/quality-report-%2.pdf").arg(QString::fromLocal8Bit(argc > 1 ? argv[1] : "/tmp"), gallery.lang()));
    return 0;
}
