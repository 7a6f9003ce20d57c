// Brevan: start-up and shutdown around the main window.
#include "BrevanResources.h"
#include "DiskSpaceMonitorThread.h"
#include "KxAppWiring.h"
#include "KxConfig.h"
#include "KxLoginedDevicesManage.h"
#include "KxSettings.h"
#include "MainFrame.h"
#include "SettingCodePrinter.h"
#include "USBDeviceManager.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QGuiApplication>
#include <QDebug>
#include <QIcon>
#include <QSettings>
#include <QTimer>

#include <cstdio>

namespace
{

// High-DPI scaling is a per-user choice and must be settled before the application exists.
void applyHighDpiSetting()
{
    QSettings native(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Brevan"),
                     QStringLiteral("Brevan"));
    bool ok = false;
    const int enabled = native.value(QStringLiteral("HighDpiScalingEnable"), QStringLiteral("0"))
                            .toString()
                            .toInt(&ok);
    if (ok && enabled == 1) {
        QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
        QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
        QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
            Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
    } else {
        QCoreApplication::setAttribute(Qt::AA_DisableHighDpiScaling);
    }
}

// What the command line asks for. It is read before the application object exists, so that
// a mistake ends the program with a message instead of a window; Qt's own options
// (-platform, -style ...) are accepted here and left to the application object.
struct RunOptions {
    int exitAfterMs = -1; // close the main window after this delay
    QString grabFile;     // save a picture of the main window just before closing it
    QString settingCodes; // print the setting codes of this configuration file, no window
    QString encode;
    QString out;
};

void addOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral(
        "Brevan configures fixed-mount barcode readers and code-reading smart cameras.\n"
        "\n"
        "Environment:\n"
        "  KX_DATA_PATH              root of the per-user data directory\n"
        "  BREVAN_SCAN_ADDRESSES     the only addresses discovery reaches (loopback, e.g.\n"
        "                            127.0.0.1-127.0.0.16 or 127.0.0.0/28)\n"
        "  BREVAN_SERIAL_PORTS       extra serial ports to probe, separated by commas\n"
        "  BREVAN_SERIAL_PORTS_FILE  a file naming extra serial ports, one a line"));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const char *name : {"platform", "platformpluginpath", "platformtheme", "plugin",
                             "style", "stylesheet", "session", "display", "geometry", "title",
                             "qwindowgeometry", "qwindowicon", "qwindowtitle", "qmljsdebugger"}) {
        QCommandLineOption qt(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        qt.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(qt);
    }
    for (const char *name : {"reverse", "widgetcount", "nograb", "dograb", "sync"}) {
        QCommandLineOption qt(QString::fromLatin1(name));
        qt.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(qt);
    }
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({QStringLiteral("select"),
                      QStringLiteral("Select the reader with this serial number, address or id "
                                     "as soon as it is listed."),
                      QStringLiteral("reader")});
    parser.addOption({QStringLiteral("open"),
                      QStringLiteral("Open the reader chosen by --select for editing: <mode> is "
                                     "\"quick\" or \"advanced\"."),
                      QStringLiteral("mode")});
    parser.addOption({QStringLiteral("exit-after"),
                      QStringLiteral("Close the main window after <ms> milliseconds."),
                      QStringLiteral("ms")});
    parser.addOption({QStringLiteral("grab"),
                      QStringLiteral("Save a picture of the main window to <file> just before "
                                     "--exit-after closes it."),
                      QStringLiteral("file")});
    parser.addOption({QStringLiteral("setting-codes"),
                      QStringLiteral("Print the setting codes of the exported configuration "
                                     "<file> to the PDF named by --out, without a window."),
                      QStringLiteral("file")});
    parser.addOption({QStringLiteral("encode"),
                      QStringLiteral("Symbology of --setting-codes: 1d, pdf417, qr (default), dm "
                                     "or dmp."),
                      QStringLiteral("type")});
    parser.addOption({QStringLiteral("out"), QStringLiteral("The PDF --setting-codes writes."),
                      QStringLiteral("file")});
}

bool asksForTextOnly(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray a(argv[i]);
        if (a == "-h" || a == "--help" || a == "-?" || a == "--help-all" || a == "-v"
            || a == "--version")
            return true;
    }
    return false;
}

// --help and --version print and end the program without opening a window (and without a
// display): the parser needs only a core application for that.
int printTextAndExit(int argc, char *argv[])
{
    QCoreApplication core(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("brevan"));
    QCoreApplication::setApplicationVersion(KxConfig::versionString());
    QCommandLineParser parser;
    addOptions(parser);
    parser.process(core); // exits after printing
    return 0;
}

// Unknown options and bad values end the program with a message, before any window exists.
bool parseOptions(const QStringList &arguments, RunOptions *options, QString *error)
{
    QCommandLineParser parser;
    addOptions(parser);
    if (!parser.parse(arguments)) {
        *error = parser.errorText();
        return false;
    }
    if (parser.isSet(QStringLiteral("exit-after"))) {
        bool ok = false;
        const int ms = parser.value(QStringLiteral("exit-after")).toInt(&ok);
        if (!ok || ms < 0) {
            *error = QStringLiteral("--exit-after needs a number of milliseconds (0 or more).");
            return false;
        }
        options->exitAfterMs = ms;
    }
    const QString open = parser.value(QStringLiteral("open"));
    if (parser.isSet(QStringLiteral("open")) && open != QLatin1String("quick")
        && open != QLatin1String("advanced")) {
        *error = QStringLiteral("--open takes \"quick\" or \"advanced\".");
        return false;
    }
    options->grabFile = parser.value(QStringLiteral("grab"));
    options->settingCodes = parser.value(QStringLiteral("setting-codes"));
    options->encode = parser.value(QStringLiteral("encode"));
    options->out = parser.value(QStringLiteral("out"));
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    if (asksForTextOnly(argc, argv))
        return printTextAndExit(argc, argv);
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    RunOptions options;
    QString error;
    if (!parseOptions(arguments, &options, &error)) {
        std::fprintf(stderr, "brevan: %s\nTry 'brevan --help'.\n", qPrintable(error));
        return 2;
    }
    if (!options.settingCodes.isEmpty()) {
        // Painting codes needs fonts but no screen.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication gui(argc, argv);
        QString message;
        const int rc = SettingCodePrinter::print(options.settingCodes, options.encode, options.out,
                                                 &message);
        std::fprintf(rc == 0 ? stdout : stderr, "%s%s\n", rc == 0 ? "" : "brevan: ",
                     qPrintable(message));
        return rc;
    }
    applyHighDpiSetting();

    auto *app = new QApplication(argc, argv);
    QApplication::setApplicationName(KxConfig::applicationName());
    QApplication::setApplicationVersion(KxConfig::versionString());
    brevanInitResources();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/res/icon/logo.ico")));

    KxConfig::instance()->init();
    // Before the settings load: their local settings set the kit's discovery timers.
    KxAppWiring::install();
    KxSettings::instance()->init();

    auto *monitor = new DiskSpaceMonitorThread;
    monitor->start(QThread::InheritPriority);

    auto *window = new MainFrame;
    USBDeviceManager::instance()->start();

    window->show();
    if (!window->openNormalSize())
        window->showMaximized();

    if (options.exitAfterMs >= 0) {
        const QString grabFile = options.grabFile;
        QTimer::singleShot(options.exitAfterMs, window, [window, grabFile]() {
            if (!grabFile.isEmpty() && !window->grab().save(grabFile))
                qWarning() << "main()...grab failed" << grabFile;
            window->close();
        });
    }

    const int code = app->exec();
    qDebug() << "main()...event loop returned" << code;

    // Readers still open are released before their kit goes away.
    KxLoginedDevicesManage::instance()->disconnectAllDevicesEx();
    delete USBDeviceManager::instance();
    monitor->stop();
    monitor->quit();
    if (!monitor->wait(3000)) {
        monitor->terminate();
        monitor->wait();
    }
    delete monitor;
    delete window;
    delete app;
    return code;
}
