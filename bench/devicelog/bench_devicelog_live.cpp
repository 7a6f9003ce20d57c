// The live log window under a fast log: 20,000 lines per second for five seconds go into the
// reader's log connection where the kit's log link hands them on (frames of type 4149 in pieces
// of 10 ms), through the window's parser thread into its table. Prints how fast the lines were
// taken against how fast they were offered, and the GUI thread's longest stall, measured by a
// 1 ms heartbeat timer.
#include "bench.h"

#include "DeviceLogDlg.h"
#include "DeviceLogTableModel.h"
#include "KxConfig.h"
#include "KxDeviceConnector.h"
#include "KxDeviceLogConnectManager.h"
#include "KxI18nUtil.h"
#include "KxLinkFrames.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <atomic>
#include <ctime>
#include <functional>
#include <thread>

namespace {
// CPU time of the calling thread: the GUI's own work, without the time a loaded machine gives
// to other programs.
double threadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

constexpr int kLinesPerSecond = 20000;
constexpr int kSeconds = 5;
constexpr int kTickMs = 10;

QByteArray piece(int first, int count)
{
    QByteArray out;
    for (int i = first; i < first + count; ++i) {
        const QByteArray text = "Log Lvl=" + QByteArray::number(1 + i % 5) + ";Log Data=seq "
            + QByteArray::number(i) + " decoder: symbol read, 12 ms, quality B, EXPFET 350\n";
        out += KxKestor::make(KxKestor::LogLine, text);
    }
    return out;
}
}  // namespace

// Times every event the GUI thread handles (CPU time): the longest is the GUI's own work in one
// go, apart from the waits a loaded machine adds.
class TimedApplication : public QApplication
{
public:
    using QApplication::QApplication;
    double longestEventMs = 0;
    double busyMs = 0;
    int longestEventType = 0;
    QString longestReceiver;
    bool notify(QObject *receiver, QEvent *event) override
    {
        if (++depth > 1) {
            const bool handled = QApplication::notify(receiver, event);
            --depth;
            return handled;
        }
        const double start = threadCpuMs();
        const bool handled = QApplication::notify(receiver, event);
        const double ms = threadCpuMs() - start;
        if (ms > longestEventMs) {
            longestEventMs = ms;
            longestEventType = int(event->type());
            longestReceiver = receiver->metaObject()->className();
        }
        busyMs += ms;
        --depth;
        return handled;
    }

private:
    int depth = 0;
};

// The heartbeat: the longest gap between two ticks beyond their interval.
double stallDuring(QApplication &app, QTimer &heart, const std::function<bool()> &running)
{
    QElapsedTimer beat;
    double longest = 0;
    const auto c = QObject::connect(&heart, &QTimer::timeout, &app, [&] {
        if (beat.isValid())
            longest = qMax(longest, beat.nsecsElapsed() / 1e6 - 1.0);
        beat.start();
    });
    heart.start(1);
    while (running())
        app.processEvents(QEventLoop::AllEvents, 5);
    heart.stop();
    QObject::disconnect(c);
    return longest;
}

int main(int argc, char **argv)
{
    TimedApplication app(argc, argv);
    QTemporaryDir data;
    KxConfig::instance()->setDataDir(data.path());
    KxI18nUtil::instance()->loadMain(BREVAN_BIN_DIR "/models/resources", "en");
    // A reader that is not there: the window's own link fails, the lines come in as the kit
    // would hand them on from one.
    const QString id = QStringLiteral("bench-live");
    KxDeviceInfoMap info;
    info.insert(QStringLiteral("Serial Number"), QStringLiteral("BENCH0001"));
    info.insert(QStringLiteral("IP"), QStringLiteral("127.0.0.1"));
    KxDeviceConnector connector(id);
    connector.setDeviceInfo(info);
    DeviceLogDlg dlg(&connector);
    dlg.resize(960, 600);
    dlg.show();
    KxDeviceLogConnect *link = KxDeviceLogConnectManager::instance()->connection(id, info);

    QTimer heart;
    heart.setTimerType(Qt::PreciseTimer);
    // Let the window settle (its failed link attempt included), then the same heartbeat with
    // nothing coming in: what the machine alone costs.
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 1000)
        app.processEvents(QEventLoop::AllEvents, 20);
    settle.restart();
    const double idleStall = stallDuring(app, heart, [&] { return settle.elapsed() < 2000; });
    app.longestEventMs = 0;
    app.busyMs = 0;

    // One table update (CPU time): from the model's first signal of a batch to its last, the view's own
    // handling included (it was connected first).
    double updateStart = 0;
    double longestUpdate = 0;
    auto begin = [&] { updateStart = threadCpuMs(); };
    auto end = [&] { longestUpdate = qMax(longestUpdate, threadCpuMs() - updateStart); };
    QObject::connect(dlg.model(), &QAbstractItemModel::modelAboutToBeReset, &app, begin);
    QObject::connect(dlg.model(), &QAbstractItemModel::modelReset, &app, end);
    QObject::connect(dlg.model(), &QAbstractItemModel::rowsAboutToBeRemoved, &app, begin);
    QObject::connect(dlg.model(), &QAbstractItemModel::rowsRemoved, &app, end);
    QObject::connect(dlg.model(), &QAbstractItemModel::rowsAboutToBeInserted, &app, begin);
    QObject::connect(dlg.model(), &QAbstractItemModel::rowsInserted, &app, end);
    const int total = kLinesPerSecond * kSeconds;
    const int perTick = kLinesPerSecond * kTickMs / 1000;
    std::atomic<bool> fed{false};
    QElapsedTimer clock;
    clock.start();
    std::thread feeder([&] {
        // Paced by the clock, not by sleeps alone: a late tick sends what is due.
        for (int sent = 0; sent < total;) {
            const int due = qMin<qint64>(total, clock.elapsed() * kLinesPerSecond / 1000 + perTick);
            if (due > sent) {
                link->handleLogData(piece(sent, due - sent));
                sent = due;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(kTickMs / 2));
        }
        fed = true;
    });
    const QString last = QStringLiteral("seq %1 ").arg(total - 1);
    auto done = [&] {
        const auto &lines = dlg.model()->lines();
        return fed && !lines.isEmpty() && lines.last().data.startsWith(last);
    };
    const double longest = stallDuring(app, heart, [&] {
        return !done() && clock.elapsed() < kSeconds * 1000 + 20000;
    });
    const double taken = clock.nsecsElapsed() / 1e6;
    feeder.join();
    if (!done()) {
        QTextStream(stderr) << "bench_devicelog_live: the last line never reached the table" << Qt::endl;
        return 1;
    }
    bench::report(QStringLiteral("live log of 100000 lines offered at 20000 lines/s"), taken,
                  kSeconds * 1000.0,
                  QStringLiteral("%1 lines/s taken; target: ratio near 1").arg(total * 1000.0 / taken, 0, 'f', 0));
    bench::report(QStringLiteral("live log: longest GUI stall"), longest, idleStall,
                  QStringLiteral("target: under 16 ms; baseline: the same window with no lines"));
    bench::value(QStringLiteral("live log: longest single GUI event"), app.longestEventMs,
                 QStringLiteral("ms of CPU (event %1 to a %2)").arg(app.longestEventType).arg(app.longestReceiver));
    bench::value(QStringLiteral("live log: longest table update"), longestUpdate, QStringLiteral("ms of CPU"));
    bench::value(QStringLiteral("live log: GUI thread busy"), app.busyMs * 100 / taken, QStringLiteral("% of the time"));
    bench::value(QStringLiteral("live log: rows kept"), dlg.model()->rowCount(), QStringLiteral("(at most 1100)"));
    return 0;
}
