// Building and showing settings pages against a bare Qt page of 300 label + combo box rows in a
// form layout inside a scroll area, measured in the same run.
#include "bench.h"

#include "KxControlBase.h"
#include "KxI18nUtil.h"
#include "KxPageLoader.h"
#include "KxPropertyWidget.h"
#include "KxStandardControls.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QScrollArea>
#include <memory>

namespace {

constexpr int Rows = 300;

void settle()
{
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

std::unique_ptr<QScrollArea> buildBare()
{
    auto area = std::make_unique<QScrollArea>();
    area->setWidgetResizable(true);
    auto *content = new QWidget();
    auto *form = new QFormLayout(content);
    for (int i = 0; i < Rows; ++i) {
        auto *combo = new QComboBox(content);
        combo->addItem(QStringLiteral("Off"), QStringLiteral("0"));
        combo->addItem(QStringLiteral("On"), QStringLiteral("1"));
        combo->addItem(QStringLiteral("Auto"), QStringLiteral("2"));
        form->addRow(new QLabel(QStringLiteral("Setting %1:").arg(i), content), combo);
    }
    area->setWidget(content);
    return area;
}

QByteArray syntheticPage()
{
    QByteArray xml = "<PropertyConfig><Pages><Page Id=\"Synthetic\" DisplayName=\"Synthetic\">";
    for (int g = 0; g < Rows / 20; ++g) {
        xml += "<Group Id=\"G" + QByteArray::number(g) + "\" DisplayName=\"Group " + QByteArray::number(g) + "\">";
        for (int i = 0; i < 20; ++i) {
            const QByteArray id = "C" + QByteArray::number(g * 20 + i);
            xml += "<Item Id=\"" + id + "\" DisplayName=\"Setting " + id + "\" ControlType=\"ComboBox\" "
                   "Default=\"1\" StringList=\"0:Off|1:On|2:Auto\"/>";
        }
        xml += "</Group>";
    }
    return xml + "</Page></Pages></PropertyConfig>";
}

void buildOnce(KxPagesInfo *pages, bool show)
{
    KxPropertyWidget w;
    w.resize(1400, 900);
    w.setProperty(pages);
    if (show) {
        w.show();
        QApplication::processEvents();
    }
    w.setProperty(static_cast<KxPagesInfo *>(nullptr));
    // Tear-down counts on both sides: the bare page is destroyed inside its run too.
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

double measureOnce(KxPagesInfo *pages, bool show)
{
    return bench::medianMs([&]() { buildOnce(pages, show); }, 1);
}

// Build (and optionally show) the pages, median of several runs.
double measure(KxPagesInfo *pages, bool show)
{
    return bench::medianMs([&]() { buildOnce(pages, show); }, 7);
}

double measureBare(bool show)
{
    return bench::medianMs([&]() {
        auto area = buildBare();
        area->resize(1400, 900);
        if (show) {
            area->show();
            QApplication::processEvents();
        }
    }, 7);
}

QString largestShippedPage(int *items)
{
    const QDir root(QStringLiteral(BREVAN_BIN_DIR "/models/barcodesetting"));
    QString best;
    int bestCount = -1;
    for (const QString &m : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QDir pages(root.filePath(m + "/pages"));
        for (const QString &f : pages.entryList({"*.xml"}, QDir::Files)) {
            auto info = KxPageLoader::loadPages(pages.filePath(f));
            if (!info)
                continue;
            for (KxPageInfo *p : info->pages) {
                const int n = p->allItems().size();
                if (n > bestCount) {
                    bestCount = n;
                    best = pages.filePath(f) + QLatin1Char('#') + p->id;
                }
            }
        }
    }
    *items = bestCount;
    return best;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    KxStandardControls::registerAll();
    KxI18nUtil::instance()->loadMain(QStringLiteral(BREVAN_BIN_DIR "/models/resources"), QStringLiteral("en"));

    // "--profile build|show [runs]": only the synthetic page, for running under a profiler.
    const QStringList args = QApplication::arguments();
    const int profileAt = args.indexOf(QStringLiteral("--profile"));
    if (profileAt > 0) {
        const bool show = args.value(profileAt + 1) == QLatin1String("show");
        const int runs = qMax(1, args.value(profileAt + 2, QStringLiteral("3")).toInt());
        auto pages = KxPageLoader::loadPagesFromBytes(syntheticPage(), QStringLiteral("synthetic.xml"));
        for (int i = 0; i < runs; ++i)
            bench::value(QStringLiteral("synthetic, %1").arg(show ? "build + show" : "build"),
                         measureOnce(pages.get(), show), QStringLiteral("ms"));
        return 0;
    }

    // Warm both paths once (fonts, styles, first-use statics).
    measureBare(true);
    auto synthetic = KxPageLoader::loadPagesFromBytes(syntheticPage(), QStringLiteral("synthetic.xml"));
    measure(synthetic.get(), true);
    settle();

    const double bareBuild = measureBare(false);
    settle();
    const double bareBoth = measureBare(true);
    settle();
    const double synBuild = measure(synthetic.get(), false);
    settle();
    const double synBoth = measure(synthetic.get(), true);
    settle();
    bench::report(QStringLiteral("synthetic 300 combo boxes, build"), synBuild, bareBuild, QStringLiteral("target < 2"));
    bench::report(QStringLiteral("synthetic 300 combo boxes, build + show"), synBoth, bareBoth,
                  QStringLiteral("target < 2"));
    const double bareBuildShow = bareBoth;

    int items = 0;
    const QString largest = largestShippedPage(&items);
    const QString file = largest.section(QLatin1Char('#'), 0, 0);
    const QString pageId = largest.section(QLatin1Char('#'), 1);
    auto shipped = KxPageLoader::loadPages(file, {pageId});
    if (shipped) {
        const double build = measure(shipped.get(), false);
        settle();
        const double both = measure(shipped.get(), true);
        settle();
        bench::report(QStringLiteral("largest shipped page (%1, %2 items), build + show")
                          .arg(QFileInfo(file).fileName() + QLatin1Char(' ') + pageId).arg(items),
                      both, bareBuildShow, QStringLiteral("against the 300-row bare page"));
        bench::value(QStringLiteral("largest shipped page, build only"), build, QStringLiteral("ms"));
    }

    // A trigger change rebuilds the whole page: 300 combo boxes, the first one a trigger link.
    QByteArray xml = syntheticPage();
    xml.replace("<Item Id=\"C1\" DisplayName=\"Setting C1\" ControlType=\"ComboBox\" Default=\"1\"",
                "<Item Id=\"C1\" DisplayName=\"Setting C1\" ControlType=\"ComboBox\" Default=\"1\" Triggers=\"C0=1\"");
    auto linked = KxPageLoader::loadPagesFromBytes(xml, QStringLiteral("linked.xml"));
    KxPropertyWidget w;
    w.resize(1400, 900);
    w.setProperty(linked.get());
    w.show();
    QApplication::processEvents();
    int flip = 0;
    const double rebuild = bench::medianMs([&]() {
        w.control(QStringLiteral("C0"))->applyValue((flip++ % 2) ? QStringLiteral("1") : QStringLiteral("0"));
        QApplication::processEvents();
        settle();
    }, 7);
    bench::report(QStringLiteral("rebuild after a trigger change (300 combo boxes)"), rebuild,
                  bareBuildShow, QStringLiteral("rebuilds: %1").arg(w.rebuildCount()));
    w.setProperty(static_cast<KxPagesInfo *>(nullptr));
    return 0;
}
