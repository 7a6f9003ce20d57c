// Brevan: start-up and shutdown around the main window.
#include "BrevanResources.h"
#include "DiskSpaceMonitorThread.h"
#include "KxAppWiring.h"
#include "KxConfig.h"
#include "KxLoginedDevicesManage.h"
#include "KxSettings.h"
#include "MainFrame.h"
#include "USBDeviceManager.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDebug>
#include <QIcon>
#include <QSettings>
#include <QTimer>

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

// Options for automated runs; hidden from --help.
struct RunOptions {
    int exitAfterMs = -1; // close the main window after this delay
    QString grabFile;     // save a picture of the main window just before closing it
};

RunOptions parseOptions(const QStringList &arguments)
{
    QCommandLineParser parser;
    QCommandLineOption exitAfter(QStringLiteral("exit-after"),
                                 QStringLiteral("Close the main window after <ms>."),
                                 QStringLiteral("ms"));
    QCommandLineOption grab(QStringLiteral("grab"),
                            QStringLiteral("Save the main window to <file> before closing."),
                            QStringLiteral("file"));
    exitAfter.setFlags(QCommandLineOption::HiddenFromHelp);
    grab.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(exitAfter);
    parser.addOption(grab);
    parser.parse(arguments); // unknown options belong to Qt or are ignored

    RunOptions options;
    bool ok = false;
    const int ms = parser.value(exitAfter).toInt(&ok);
    if (parser.isSet(exitAfter) && ok && ms >= 0)
        options.exitAfterMs = ms;
    options.grabFile = parser.value(grab);
    return options;
}

} // namespace

int main(int argc, char *argv[])
{
    applyHighDpiSetting();

    auto *app = new QApplication(argc, argv);
    QApplication::setApplicationName(KxConfig::applicationName());
    brevanInitResources();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/res/icon/logo.ico")));
    const RunOptions options = parseOptions(QApplication::arguments());

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
