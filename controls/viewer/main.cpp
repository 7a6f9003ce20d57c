// brevan-pageview <model> <page file> [--lang en|zh_cn] [--page id] [--screenshot file.png]
//                 [--full] [--size WxH]
// Shows one page description with its default values. With --screenshot the window (or with
// --full the whole page content, scrolled parts included) is written as PNG and the program ends.
#include "KxPageViewer.h"
#include "KxPropertyWidget.h"
#include "KxStandardControls.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTabWidget>
#include <QTextStream>
#include <QTimer>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("brevan-pageview"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Shows one settings page description."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("model"), QStringLiteral("model name (FM800) or folder"));
    parser.addPositionalArgument(QStringLiteral("page"), QStringLiteral("page file (Imaging.xml) or path"));
    const QCommandLineOption langOpt(QStringLiteral("lang"), QStringLiteral("language id"),
                                     QStringLiteral("id"), QStringLiteral("en"));
    const QCommandLineOption pageOpt(QStringLiteral("page"), QStringLiteral("page id to show first"),
                                     QStringLiteral("id"));
    const QCommandLineOption shotOpt(QStringLiteral("screenshot"), QStringLiteral("write a PNG and quit"),
                                     QStringLiteral("file"));
    const QCommandLineOption fullOpt(QStringLiteral("full"), QStringLiteral("grab the whole page content"));
    const QCommandLineOption sizeOpt(QStringLiteral("size"), QStringLiteral("window size"),
                                     QStringLiteral("WxH"), QStringLiteral("1400x900"));
    parser.addOptions({langOpt, pageOpt, shotOpt, fullOpt, sizeOpt});
    parser.process(app);
    const QStringList args = parser.positionalArguments();
    if (args.size() != 2) {
        QTextStream(stderr) << parser.helpText();
        return 2;
    }

    KxStandardControls::registerAll();
    const QString appDir = QApplication::applicationDirPath();
    const QString modelDir = KxPageViewer::resolveModelDir(args.at(0), appDir);
    const QString pageFile = KxPageViewer::resolvePageFile(modelDir, args.at(1));

    KxPageViewer viewer;
    QString error;
    if (!viewer.open(modelDir, pageFile, parser.value(langOpt), appDir, &error)) {
        QTextStream(stderr) << "brevan-pageview: " << error << Qt::endl;
        return 1;
    }
    if (parser.isSet(pageOpt) && !viewer.propertyWidget()->setCurrentPage(parser.value(pageOpt))) {
        QTextStream(stderr) << "brevan-pageview: no page " << parser.value(pageOpt) << Qt::endl;
        return 1;
    }
    const QStringList wh = parser.value(sizeOpt).split(QLatin1Char('x'));
    viewer.resize(wh.value(0).toInt() > 0 ? wh.value(0).toInt() : 1400,
                  wh.value(1).toInt() > 0 ? wh.value(1).toInt() : 900);
    viewer.show();

    if (parser.isSet(shotOpt)) {
        const QString file = parser.value(shotOpt);
        const bool full = parser.isSet(fullOpt);
        QTimer::singleShot(300, &viewer, [&viewer, file, full]() {
            KxPropertyWidget *pw = viewer.propertyWidget();
            QWidget *target = &viewer;
            if (full) {
                if (QWidget *content = pw->pageContent(pw->currentPageId())) {
                    content->resize(content->width(), content->sizeHint().height());
                    target = content;
                }
            }
            const bool ok = target->grab().save(file, "PNG");
            QTextStream(ok ? stdout : stderr) << (ok ? "wrote " : "cannot write ") << file << Qt::endl;
            QApplication::exit(ok ? 0 : 1);
        });
    }
    return app.exec();
}
