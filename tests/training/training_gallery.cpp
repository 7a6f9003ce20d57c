// Pictures of the training window's four pages and of the update dialog, against the real
// stand-in service: training_gallery <output-dir> [en|zh_cn]
#include "CheckUpdateDlg.h"
#include "Gallery.h"
#include "KxConfig.h"
#include "KxSettings.h"
#include "KxTrainingMainDlg.h"
#include "KxUpdater.h"
#include "VServiceProcess.h"

#include <QApplication>
#include <QComboBox>
#include <QListWidget>
#include <QPainter>
#include <QSpinBox>

static bool waitUntil(const std::function<bool()> &done, int ms = 60000)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QTest::qWait(50);
    return done();
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    Gallery gallery(argc, argv, QStringLiteral("training"), 400);
    gallery.loadLook(app);
    QTemporaryDir data;
    QTemporaryDir work;
    KxConfig::instance()->setDataDir(data.path());
    VServiceProcess service;
    if (!service.start({"--step-ms", "300"})) {
        std::fprintf(stderr, "the stand-in service did not start\n");
        return 1;
    }
    KxSettings::instance()->setValue("training", "url", service.trainingUrl());
    KxSettings::instance()->setValue("update", "url", service.updateUrl());

    // A few pictures of printed lines, as a user would have taken them.
    const QStringList texts{"LOT 4711", "EXP 2027-05", "LOT 4712", "EXP 2027-06", "BATCH A7"};
    for (int i = 0; i < texts.size(); ++i) {
        QImage img(320, 90, QImage::Format_RGB32);
        img.fill(QColor(236, 232, 222));
        QPainter p(&img);
        QFont f(QStringLiteral("DejaVu Sans Mono"), 28, QFont::Bold);
        p.setFont(f);
        p.setPen(QColor(30, 30, 30));
        p.drawText(img.rect(), Qt::AlignCenter, texts[i]);
        p.end();
        img.save(work.filePath(QStringLiteral("line%1.png").arg(i)));
    }

    KxTrainingMainDlg dlg(QStringLiteral("KXS-FM800"));
    dlg.openFolder(work.path());
    for (int i = 0; i < 4; ++i)
        dlg.setLabel(QStringLiteral("line%1.png").arg(i), texts[i]);
    dlg.imageList()->setCurrentRow(1);
    gallery.save(&dlg, QStringLiteral("images"));
    dlg.goToPage(KxTrainingMainDlg::Page_Upload);
    dlg.startUpload();
    waitUntil([&] { return !dlg.dataSetMd5().isEmpty(); });
    gallery.save(&dlg, QStringLiteral("upload"));
    dlg.goToPage(KxTrainingMainDlg::Page_Params);
    dlg.epochsBox()->setValue(8);
    waitUntil([&] { return dlg.modelBox()->count() > 0; });
    gallery.save(&dlg, QStringLiteral("params"));
    dlg.startTraining();
    dlg.show();
    waitUntil([&] { return dlg.shownState() == GetTaskStatus::Training; });
    QTest::qWait(1200);
    gallery.save(&dlg, QStringLiteral("training"));
    dlg.show();
    waitUntil([&] { return dlg.shownState() == GetTaskStatus::Finish; });
    dlg.downloadModel(work.filePath(QStringLiteral("models")));
    waitUntil([&] { return !dlg.resultFile().isEmpty(); });
    gallery.save(&dlg, QStringLiteral("finished"));

    CheckUpdateDlg update;
    update.start();
    waitUntil([&] { return update.statusKey() == QLatin1String("#IDS_UpdatePkgDownload_Success"); });
    gallery.save(&update, QStringLiteral("update"));
    return 0;
}
