// Renders the output panels as they sit under the live image of a 1366x768 window into
// "<dir>/output-<name>-<lang>.png": output_gallery <output-dir> [en|zh_cn]
#include "BrevanResources.h"
#include "Gallery.h"
#include "KxConfig.h"
#include "ResultOutputNetWidget.h"
#include "ResultOutputTestExWidget.h"
#include "ResultOutputTestWidget.h"
#include "ResultOutputWidget.h"
#include "SetResultOutputFieldDlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QTemporaryDir>
#include <QVBoxLayout>

namespace {
STRUCT_BARCODE_INFO sample(int i)
{
    static const char *codes[] = {"KX-PART-0042", "https://example.invalid/lot/7731-A",
                                  "(01)09501101530003(17)270101(10)AB-12", "4006381333931"};
    static const char *names[] = {"Data Matrix", "QR Code", "GS1-128", "EAN-13"};
    STRUCT_BARCODE_INFO b;
    b.data = codes[i % 4];
    b.length = b.data.size();
    b.symbology = QLatin1String(names[i % 4]);
    b.ppm = QStringLiteral("%1").arg(4.5 + i % 3, 0, 'f', 2);
    b.ip = QStringLiteral("127.0.0.2");
    b.mac = QStringLiteral("02:4B:1A:2B:3C:4D");
    b.sn = QStringLiteral("FM800-VR0001");
    b.quality = QString(QChar('A' + i % 3));
    b.score = QStringLiteral("91.40");
    b.decodeTimeText = QStringLiteral("%1").arg(10.5 + i, 0, 'f', 2);
    b.cfgLibId = QString::number(i % 2);
    b.ai = i % 4;
    return b;
}

// The panel in the lower part of a window of the given size, under a stand-in for the image.
void shoot(const Gallery &g, ResultOutputBaseWidget *panel, const QString &name, QSize size)
{
    QWidget host;
    host.setStyleSheet(QStringLiteral("background:#ffffff;"));
    auto *layout = new QVBoxLayout(&host);
    layout->setContentsMargins(8, 8, 8, 8);
    auto *image = new QLabel(&host);
    image->setStyleSheet(QStringLiteral("background:#2b2b2b;"));
    layout->addWidget(image, 3);
    panel->setParent(&host);
    layout->addWidget(panel, 2);
    host.resize(size);
    g.save(&host, QStringLiteral("%1-%2x%3").arg(name).arg(size.width()).arg(size.height()));
}
}  // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    brevanInitResources();
    QTemporaryDir data;
    KxConfig::instance()->setDataDir(data.path());
    const Gallery gallery(argc, argv, QStringLiteral("output"), 80);
    gallery.loadLook(app);
    kxRegisterResultTypes();

    QList<STRUCT_BARCODE_INFO> codes;
    for (int i = 0; i < 14; ++i)
        codes.append(sample(i));
    QList<STRU_TEST_RESULT_INFO> tests;
    for (int i = 0; i < 14; ++i) {
        STRU_TEST_RESULT_INFO t;
        t.item.barcode = sample(i);
        t.item.ownerSn = t.item.barcode.sn;
        t.item.ownerIp = t.item.barcode.ip;
        t.item.ownerMac = t.item.barcode.mac;
        t.ok = i % 5 != 3;
        t.readRate = QStringLiteral("%1").arg(100.0 - i * 0.5, 0, 'f', 1);
        t.matchingLevel = QString::number(1 + i % 3);
        t.aiPosition = QString::number(i % 4);
        tests.append(t);
    }

    for (QSize size : {QSize(1366, 768), QSize(1400, 900)}) {
        auto *text = new ResultOutputWidget;
        text->addBarcodes(codes);
        shoot(gallery, text, QStringLiteral("text"), size);
        auto *net = new ResultOutputNetWidget;
        net->addBarcodes(codes);
        shoot(gallery, net, QStringLiteral("net"), size);
        auto *test = new ResultOutputTestWidget;
        test->addTestResults(tests);
        shoot(gallery, test, QStringLiteral("test"), size);
        auto *debug = new ResultOutputTestExWidget;
        debug->addTestResults(tests);
        shoot(gallery, debug, QStringLiteral("debug"), size);
    }
    ResultOutputNetWidget net;
    SetResultOutputFieldDlg *dlg = net.openFieldDialog();
    dlg->checkBoxes()[4]->setChecked(false);
    gallery.save(dlg, QStringLiteral("columns"));
    return 0;
}
