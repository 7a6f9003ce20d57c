// Loading every page file of the largest shipped model through the page loader, against parsing
// the same bytes with a bare QDomDocument in the same run.
#include "KxPageLoader.h"
#include "bench.h"

#include <QCoreApplication>
#include <QDir>
#include <QDomDocument>
#include <QFile>

namespace {

// Page files per model directory ("<models>/<setting dir>/<model>/pages/*.xml").
QList<QPair<QString, QStringList>> modelPageFiles(const QString &modelsDir)
{
    QList<QPair<QString, QStringList>> out;
    for (const QString &setting : {QStringLiteral("barcodesetting"), QStringLiteral("rfidsetting")}) {
        const QDir base(modelsDir + '/' + setting);
        for (const QString &model : base.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
            const QDir pages(base.filePath(model) + "/pages");
            QStringList files;
            for (const QString &f : pages.entryList({QStringLiteral("*.xml")}, QDir::Files))
                files << pages.filePath(f);
            if (!files.isEmpty())
                out.append({model, files});
        }
    }
    return out;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const auto models = modelPageFiles(QStringLiteral(BREVAN_BIN_DIR "/models"));
    if (models.isEmpty()) {
        QTextStream(stderr) << "no model page files found\n";
        return 1;
    }
    // The largest model by bytes of page descriptions.
    QString name;
    QList<QPair<QString, QByteArray>> files;
    qint64 best = -1;
    for (const auto &m : models) {
        QList<QPair<QString, QByteArray>> loaded;
        qint64 bytes = 0;
        for (const QString &path : m.second) {
            QFile f(path);
            if (f.open(QIODevice::ReadOnly))
                loaded.append({path, f.readAll()});
            bytes += loaded.last().second.size();
        }
        if (bytes > best) {
            best = bytes;
            name = m.first;
            files = loaded;
        }
    }

    int items = 0;
    auto runLoader = [&] {
        items = 0;
        for (const auto &f : files) {
            auto pages = KxPageLoader::loadPagesFromBytes(f.second, f.first);
            if (pages) {
                for (const KxPageInfo *p : pages->pages)
                    items += p->allItems().size();
            }
        }
    };
    int elements = 0;
    auto runBaseline = [&] {
        elements = 0;
        for (const auto &f : files) {
            QDomDocument doc;
            if (doc.setContent(f.second))
                elements += doc.documentElement().childNodes().size();
        }
    };
    // Warm both paths first (allocator, meta types, translation tables), then measure them
    // interleaved so a neighbour's load on the machine hits both alike.
    runLoader();
    runBaseline();
    QList<double> loaderRuns;
    QList<double> baselineRuns;
    for (int round = 0; round < 5; ++round) {
        loaderRuns << bench::medianMs(runLoader, 7);
        baselineRuns << bench::medianMs(runBaseline, 7);
    }
    std::sort(loaderRuns.begin(), loaderRuns.end());
    std::sort(baselineRuns.begin(), baselineRuns.end());
    const double loader = loaderRuns.first();
    const double baseline = baselineRuns.first();
    bench::report(QStringLiteral("page loader, model %1 (%2 files, %3 bytes, %4 items)")
                      .arg(name)
                      .arg(files.size())
                      .arg(best)
                      .arg(items),
                  loader, baseline, QStringLiteral("baseline: bare QDomDocument parse"));
    return items > 0 && elements > 0 ? 0 : 1;
}
