// Renders the quick selection window into PNG files for a look by eye (not a test):
// quickselect_gallery <output-dir> [en|zh_cn]
#include "Gallery.h"
#include "KxConfig.h"
#include "QuickSelectDlg.h"
#include "VReaderSession.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QListWidget>
#include <QScreen>
#include <QTemporaryDir>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    Gallery gallery(argc, argv, QStringLiteral("quickselect"), 400);
    gallery.loadLook(app);
    QTemporaryDir dir;
    KxConfig::instance()->setDataDir(dir.path());
    VReaderProcess vr;
    if (!vr.start({"--model", "KXS-FM800"}))
        return 2;
    auto c = VReaderSession::login(vr);
    if (!c)
        return 3;
    QuickSelectDlg dlg(c.get());
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    dlg.resize(qMin(1000, screen.width() - 80), qMin(580, screen.height() - 80));
    const QString size = QStringLiteral("%1x%2").arg(screen.width()).arg(screen.height());
    gallery.save(&dlg, QStringLiteral("start-") + size);
    for (int i = 0; i < dlg.symbologyList()->count(); ++i) {
        const QString name = dlg.symbologyList()->item(i)->text();
        dlg.symbologyList()->item(i)->setCheckState(name == "Code 128" || name == "Data Matrix" ? Qt::Checked : Qt::Unchecked);
    }
    dlg.findChild<QComboBox *>("comboSpeed")->setCurrentIndex(2);
    dlg.propose();
    gallery.save(&dlg, QStringLiteral("proposal-") + size);
    return 0;
}
