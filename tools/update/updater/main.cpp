// brevan-update ARCHIVE [VERSION] [--install-dir DIR] [--wait-pid PID] [--no-start]
// Waits (at most 30 s) for the running Brevan to end, installs the archive and starts the new
// Brevan. The installation is the folder above this program's "update" folder by default.
#include "KxInstaller.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include <csignal>
#include <cstdio>

static bool processAlive(qint64 pid)
{
    return pid > 0 && ::kill(pid_t(pid), 0) == 0;
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QString installDir = QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/.."));
    qint64 waitPid = 0;
    bool start = true;
    QStringList positional;
    for (int i = 0; i < args.size(); ++i) {
        const QString a = args.at(i);
        if (a == QLatin1String("--install-dir") && i + 1 < args.size())
            installDir = args.at(++i);
        else if (a == QLatin1String("--wait-pid") && i + 1 < args.size())
            waitPid = args.at(++i).toLongLong();
        else if (a == QLatin1String("--no-start"))
            start = false;
        else if (a.startsWith(QLatin1String("--"))) {
            std::fprintf(stderr, "unknown option %s\n", qPrintable(a));
            return 2;
        } else
            positional << a;
    }
    if (positional.isEmpty()) {
        std::fprintf(stderr, "usage: brevan-update ARCHIVE [VERSION] [--install-dir DIR] "
                             "[--wait-pid PID] [--no-start]\n");
        return 2;
    }
    KxInstaller installer(positional.first(), installDir);
    // Refuse a broken archive before touching anything, even before the program has ended.
    const QString problem = installer.check();
    if (!problem.isEmpty()) {
        std::fprintf(stderr, "brevan-update: %s; the installation is unchanged\n", qPrintable(problem));
        return 3;
    }
    QElapsedTimer waited;
    waited.start();
    while (processAlive(waitPid) && waited.elapsed() < 30000)
        QThread::msleep(100);
    if (processAlive(waitPid)) {
        std::fprintf(stderr, "brevan-update: Brevan (%lld) is still running; nothing installed\n", waitPid);
        return 4;
    }
    if (!installer.run()) {
        std::fprintf(stderr, "brevan-update: %s; the installation is unchanged\n",
                     qPrintable(installer.error()));
        return 1;
    }
    std::printf("brevan-update: installed %s into %s\n", qPrintable(positional.value(1)),
                qPrintable(installDir));
    if (start) {
        const QString program = QDir(installDir).filePath(QStringLiteral("brevan"));
        if (!QProcess::startDetached(program, {}, installDir)) {
            std::fprintf(stderr, "brevan-update: installed, but %s did not start\n", qPrintable(program));
            return 5;
        }
    }
    return 0;
}
