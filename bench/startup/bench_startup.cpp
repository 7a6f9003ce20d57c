// Start-up of the program to its main window shown, against a bare Qt widget process measured
// in the same run. Both are whole processes started the same way: each shows its window and
// closes it from the event loop's first turn, so both sides include process start, library
// loading, the first show and the exit.
#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <vector>

#include "bench.h"

namespace {

constexpr int kSamples = 9;
constexpr int kRunLimitMs = 60000;

// The baseline process: one plain window of the main window's usual size, closed at once.
int bareWindow(int argc, char **argv)
{
    QApplication app(argc, argv);
    QWidget w;
    w.resize(1280, 800);
    w.setWindowTitle(QStringLiteral("bare"));
    w.show();
    QTimer::singleShot(0, &w, &QWidget::close);
    return app.exec();
}

// Runs one process to its end; the wall time in ms, or -1 when it failed or hung.
double runOnce(const QString &program, const QStringList &args, const QProcessEnvironment &env)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer t;
    t.start();
    p.start(program, args);
    if (!p.waitForStarted(kRunLimitMs) || !p.waitForFinished(kRunLimitMs)) {
        p.kill();
        p.waitForFinished(5000);
        return -1;
    }
    const double ms = t.nsecsElapsed() / 1e6;
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0 ? ms : -1;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i)
        if (QByteArray(argv[i]) == "--bare-window")
            return bareWindow(argc, argv);

    QCoreApplication app(argc, argv);
    QTemporaryDir data;
    if (!data.isValid()) {
        qWarning("bench_startup: no temporary folder");
        return 1;
    }
    // A data folder of its own, no readers to find and no serial ports to probe: start-up only.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("KX_DATA_PATH"), data.path());
    env.insert(QStringLiteral("BREVAN_SCAN_ADDRESSES"), QStringLiteral("127.0.0.1"));
    env.insert(QStringLiteral("BREVAN_SERIAL_PORTS"), QString());
    env.remove(QStringLiteral("BREVAN_SERIAL_PORTS_FILE"));

    const QString program = QStringLiteral(BREVAN_BIN_DIR "/brevan");
    const QStringList programArgs{QStringLiteral("--exit-after"), QStringLiteral("0")};
    const QString self = QCoreApplication::applicationFilePath();
    const QStringList selfArgs{QStringLiteral("--bare-window")};

    // The first run creates the data folder's files; it and one bare run warm the disk cache.
    if (runOnce(program, programArgs, env) < 0 || runOnce(self, selfArgs, env) < 0) {
        qWarning("bench_startup: the program or the bare window did not start and exit cleanly");
        return 1;
    }
    // Alternating runs, so that load from elsewhere on the machine hits both sides alike.
    std::vector<double> full, bare;
    for (int i = 0; i < kSamples; ++i) {
        const double a = runOnce(program, programArgs, env);
        const double b = runOnce(self, selfArgs, env);
        if (a < 0 || b < 0) {
            qWarning("bench_startup: a run failed");
            return 1;
        }
        full.push_back(a);
        bare.push_back(b);
    }
    bench::report(QStringLiteral("start-up to main window shown (offscreen)"), median(full),
                  median(bare),
                  QStringLiteral("whole process against a bare widget process, %1 runs each, "
                                 "program from %2 to %3 ms")
                      .arg(kSamples)
                      .arg(*std::min_element(full.begin(), full.end()), 0, 'f', 1)
                      .arg(*std::max_element(full.begin(), full.end()), 0, 'f', 1));
    return 0;
}
