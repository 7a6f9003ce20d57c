// brevan-vservice: the update and training services on loopback, for the demo and the tests.
#include "VService.h"

#include <httplib.h>

#include <KZip>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QJsonDocument>
#include <QTemporaryDir>

#include <csignal>
#include <cstdio>
#include <memory>
#include <thread>

namespace
{

void usage()
{
    std::printf(
        "brevan-vservice [options]\n"
        "  --address A          loopback address to serve on (127.0.0.0/8), default 127.0.0.1\n"
        "  --update-port N      update service port, default 9000 (0: any free port)\n"
        "  --training-port N    training service port, default 8082 (0: any free port)\n"
        "  --state DIR          folder for uploads, data sets and results (default: temporary)\n"
        "  --installer PATH     installer archive to offer, or a folder to pack as one\n"
        "  --version V          version the catalogue offers, default V2.03.007.1\n"
        "  --update-mode M      newer, same, wrong-app, empty-url, bad-md5, upper-md5\n"
        "  --transfer M         normal, slow, interrupt, redirect, foreign-redirect\n"
        "  --step-ms N          length of one simulated training step, default 1000\n"
        "  --refuse-part N      refuse the upload of part N\n"
        "  --merge-wrong-md5    report an MD5 mismatch on every merge\n"
        "  --task-error         tasks fail after two epochs\n"
        "  --download-interrupt cut result downloads off half-way\n"
        "Faults can also be switched at run time: POST a JSON object to /vservice/faults.\n");
}

// A small installer: a start script and the version, enough for the updater to install.
bool makeDefaultInstaller(const QString &path, const QString &version)
{
    KZip zip(path);
    if (!zip.open(QIODevice::WriteOnly))
        return false;
    const QByteArray script = "#!/bin/sh\n"
                              "# Stand-in installation made by brevan-vservice.\n"
                              "echo \"Brevan " + version.toUtf8() + " installed in $(dirname \"$0\")\"\n";
    bool ok = zip.writeFile(QStringLiteral("brevan"), script, 0100755);
    ok = zip.writeFile(QStringLiteral("VERSION"), version.toUtf8() + '\n') && ok;
    return zip.close() && ok;
}

bool packFolder(const QString &folder, const QString &path)
{
    KZip zip(path);
    if (!zip.open(QIODevice::WriteOnly))
        return false;
    const bool ok = zip.addLocalDirectory(folder, QString());
    return zip.close() && ok;
}

bool bindServer(httplib::Server &server, const QString &host, int &port)
{
    if (port == 0) {
        port = server.bind_to_any_port(host.toStdString());
        return port > 0;
    }
    return server.bind_to_port(host.toStdString(), port);
}

} // namespace

int main(int argc, char **argv)
{
    QString address = QStringLiteral("127.0.0.1");
    int updatePort = 9000;
    int trainingPort = 8082;
    QString stateDir;
    QString installer;
    QJsonObject faults;
    for (int i = 1; i < argc; ++i) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        auto next = [&]() -> QString {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "%s needs a value\n", argv[i]);
                std::exit(2);
            }
            return QString::fromLocal8Bit(argv[++i]);
        };
        if (a == QLatin1String("--help")) {
            usage();
            return 0;
        } else if (a == QLatin1String("--address")) {
            address = next();
        } else if (a == QLatin1String("--update-port")) {
            updatePort = next().toInt();
        } else if (a == QLatin1String("--training-port")) {
            trainingPort = next().toInt();
        } else if (a == QLatin1String("--state")) {
            stateDir = next();
        } else if (a == QLatin1String("--installer")) {
            installer = next();
        } else if (a == QLatin1String("--version")) {
            faults.insert(QStringLiteral("version"), next());
        } else if (a == QLatin1String("--update-mode")) {
            faults.insert(QStringLiteral("update_mode"), next());
        } else if (a == QLatin1String("--transfer")) {
            faults.insert(QStringLiteral("transfer"), next());
        } else if (a == QLatin1String("--step-ms")) {
            faults.insert(QStringLiteral("step_ms"), next().toInt());
        } else if (a == QLatin1String("--refuse-part")) {
            faults.insert(QStringLiteral("refuse_part"), next().toInt());
        } else if (a == QLatin1String("--merge-wrong-md5")) {
            faults.insert(QStringLiteral("merge_wrong_md5"), true);
        } else if (a == QLatin1String("--task-error")) {
            faults.insert(QStringLiteral("task_error"), true);
        } else if (a == QLatin1String("--download-interrupt")) {
            faults.insert(QStringLiteral("download_interrupt"), true);
        } else {
            std::fprintf(stderr, "unknown option %s (see --help)\n", argv[i]);
            return 2;
        }
    }
    // Loopback only: this program never serves anything beyond the machine.
    QHostAddress host(address);
    if (host.protocol() != QAbstractSocket::IPv4Protocol || (host.toIPv4Address() >> 24) != 127) {
        std::fprintf(stderr, "--address must be a loopback address (127.0.0.0/8)\n");
        return 2;
    }
    if (updatePort < 0 || updatePort > 65535 || trainingPort < 0 || trainingPort > 65535) {
        std::fprintf(stderr, "ports must be between 0 and 65535\n");
        return 2;
    }

    std::unique_ptr<QTemporaryDir> tempDir;
    if (stateDir.isEmpty()) {
        tempDir = std::make_unique<QTemporaryDir>();
        stateDir = tempDir->path();
    }
    if (!QDir().mkpath(stateDir)) {
        std::fprintf(stderr, "cannot create the state folder %s\n", qPrintable(stateDir));
        return 1;
    }
    VServiceState state(QFileInfo(stateDir).absoluteFilePath(), 1000);
    state.host = address;
    const QStringList unknown = state.applyFaults(faults);
    if (!unknown.isEmpty())
        return 2;

    if (installer.isEmpty()) {
        installer = QDir(state.stateDir).filePath(QStringLiteral("installer.zip"));
        if (!makeDefaultInstaller(installer, state.catalogueVersion)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(installer));
            return 1;
        }
    } else if (QFileInfo(installer).isDir()) {
        const QString packed = QDir(state.stateDir).filePath(QStringLiteral("installer.zip"));
        if (!packFolder(installer, packed)) {
            std::fprintf(stderr, "cannot pack %s\n", qPrintable(installer));
            return 1;
        }
        installer = packed;
    } else if (!QFileInfo(installer).isFile()) {
        std::fprintf(stderr, "no installer at %s\n", qPrintable(installer));
        return 1;
    }
    state.installerFile = QFileInfo(installer).absoluteFilePath();

    // Signals are taken by sigwait below, so block them before any server thread starts.
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);

    httplib::Server update;
    httplib::Server training;
    training.new_task_queue = [] { return new httplib::ThreadPool(16); };
    if (!bindServer(update, address, updatePort) || !bindServer(training, address, trainingPort)) {
        std::fprintf(stderr, "cannot listen on %s (ports %d, %d)\n", qPrintable(address), updatePort,
                     trainingPort);
        return 1;
    }
    state.updatePort = updatePort;
    state.trainingPort = trainingPort;
    setupUpdateService(update, state);
    setupTrainingService(training, state);
    setupControl(update, state);
    setupControl(training, state);

    std::thread t1([&] { update.listen_after_bind(); });
    std::thread t2([&] { training.listen_after_bind(); });
    // Bounded: a server that does not come up within 10 s ends the program with an error.
    for (int i = 0; i < 2000 && (!update.is_running() || !training.is_running()); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (!update.is_running() || !training.is_running()) {
        std::fprintf(stderr, "the services did not start\n");
        update.stop();
        training.stop();
        t1.join();
        t2.join();
        return 1;
    }
    std::printf("update: http://%s:%d\ntraining: http://%s:%d\nstate: %s\nready\n",
                qPrintable(address), updatePort, qPrintable(address), trainingPort,
                qPrintable(state.stateDir));
    std::fflush(stdout);

    int sig = 0;
    sigwait(&set, &sig);
    update.stop();
    training.stop();
    t1.join();
    t2.join();
    return 0;
}
