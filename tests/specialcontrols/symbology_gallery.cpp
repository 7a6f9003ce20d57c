// Renders the advanced settings pages of a virtual reader that hold the special controls: the
// symbology lists with one symbology's popup, the output page with the data format and script
// editors, and the data format dialogs opened from the page, at the two usual window sizes, into
// "<dir>/symbology-<name>-<lang>.png": symbology_gallery <output-dir> [en|zh_cn]
#include "AdvancedSettingsWidget.h"
#include "BrevanResources.h"
#include "DataFormatDialogs.h"
#include "Gallery.h"
#include "GalleryReader.h"
#include "Kx1D2DEdit.h"
#include "KxConfig.h"
#include "KxDataFormatControl.h"
#include "KxScriptControls.h"
#include "KxSpecialControls.h"
#include "KxStandardControls.h"

#include <QApplication>
#include <QScrollArea>
#include <QTemporaryDir>

namespace {
void saveAt(const Gallery &gallery, QWidget *w, const QSize &size, const QString &name)
{
    w->resize(size);
    gallery.save(w, QStringLiteral("%1-%2x%3").arg(name).arg(size.width()).arg(size.height()));
}

// A dialog at its own size, moved into the screen; says so when it does not fit.
void saveDialog(const Gallery &gallery, QWidget *w, const QSize &screen, const QString &name)
{
    w->show();
    QTest::qWait(100);
    if (w->width() > screen.width() || w->height() > screen.height())
        std::fprintf(stderr, "%s is %dx%d, larger than %dx%d\n", qPrintable(name), w->width(), w->height(),
                     screen.width(), screen.height());
    gallery.save(w, QStringLiteral("%1-%2x%3").arg(name).arg(screen.width()).arg(screen.height()));
}
}  // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    brevanInitResources();
    const Gallery gallery(argc, argv, QStringLiteral("symbology"), 300);
    QTemporaryDir data;
    KxConfig::instance()->setDataDir(data.path());
    KxStandardControls::registerAll();
    KxSpecialControls::registerAll();
    gallery.loadLook(app);

    VReaderProcess vr;
    auto connector = GalleryReader::start(vr, {"--count", "1", "--model", "KXS-FM800"});
    if (!connector)
        return 1;
    QByteArray v;
    connector->queryCommand(1, "#QRCENA", v, "0");
    connector->queryCommand(1, "#DFMENA", v, "1");
    connector->queryCommand(1, "#SCRENA", v, "1");
    const QList<KxDataFormatRule> rules = {{1, "032", 9999, "B900045052452DF2085D"}, {2, "999", 12, "F10D"}};
    ChangedCmdInfo formats;
    formats.code = QStringLiteral("DFMADD");
    formats.value = KxDataFormatList::serialize(rules).toUtf8();
    ChangedCmdInfo script;
    script.code = QStringLiteral("SCRADD");
    script.value = KxScriptValue::encode(QStringLiteral("// Lot numbers without their mark\nvar d = getData();\n"
                                                        "if (d.indexOf('QR-') === 0)\n    setOutput('LOT ' + d.substring(3));\n"))
                       .toUtf8();
    QStringList failed;
    connector->command()->saveCmds({formats, script}, false, failed);
    connector->command()->syncSettings(false);

    for (const QSize &size : {QSize(1366, 768), QSize(1400, 900)}) {
        AdvancedSettingsWidget page;
        page.openDevice(QPointer<KxDeviceConnector>(connector.get()), QVariant());
        // Through the navigation, as a user gets there.
        if (ToolButtonEx *nav = page.navButton(QStringLiteral("Id_Nav_Barcode")))
            nav->click();
        CommandPropertyWidget *symbologies = page.currentPage();
        if (!symbologies || page.currentPropertyId() != QLatin1String("Barcode.xml"))
            return 2;
        saveAt(gallery, &page, size, QStringLiteral("page"));

        page.show();
        if (auto *list = qobject_cast<Kx1D2DEdit *>(symbologies->control(QStringLiteral("Sym1D")))) {
            if (KxCodeItem *row = list->settings()->row(QStringLiteral("C39ENA"))) {
                KxCodePopupWidget *popup = list->settings()->openPopup(row, page.mapToGlobal(QPoint(500, 200)));
                QTest::qWait(300);
                gallery.save(popup, QStringLiteral("popup-%1x%2").arg(size.width()).arg(size.height()));
                popup->close();
            }
        }

        CommandPropertyWidget *output = page.openPage(QStringLiteral("Output.xml"));
        if (!output)
            return 3;
        saveAt(gallery, &page, size, QStringLiteral("output"));
        // Scrolled down to the script editor.
        if (KxControlBase *js = output->control(QStringLiteral("SCRADD"))) {
            page.show();
            for (QWidget *w = js->editorWidget(); w; w = w->parentWidget()) {
                if (auto *area = qobject_cast<QScrollArea *>(w)) {
                    area->ensureWidgetVisible(js->editorWidget(), 0, 0);
                    break;
                }
            }
            saveAt(gallery, &page, size, QStringLiteral("script"));
        }
        auto *control = qobject_cast<KxDataFormat *>(output->control(QStringLiteral("DFMADD")));
        if (!control)
            return 4;
        for (int i = 0; i < 500 && control->isReading(); ++i)
            QTest::qWait(20);
        page.show();
        DataFormatListDlg *list = control->openEditor();
        saveDialog(gallery, list, size, QStringLiteral("formats"));
        list->show();
        DataFormatEditDlg *edit = list->edit(0);
        edit->setSample(QStringLiteral("QR-0123456789"));
        edit->selectCommand(QStringLiteral("F2"));
        saveDialog(gallery, edit, size, QStringLiteral("format-edit"));
        edit->reject();
        list->reject();
    }
    return 0;
}
