// Thirty-two virtual readers on a conveyor watched by the statistics page at once, each polled
// every 500 ms: the GUI thread's longest stall and the program's CPU use while watching, against
// the same program with the page open but watching nothing, in the same run.
#include "KxConfig.h"
#include "KxDeviceConnector.h"
#include "KxDeviceKit.h"
#include "KxI18nUtil.h"
#include "StatisticsEditFrame.h"
#include "StatisticsReader.h"
#include "StatisticsTestScene.h"
#include "VReaderProcess.h"
#include "bench.h"

#include <QApplication>
#include <QEventLoop>
#include <QHostAddress>
#include <QTest>
#include <QTimer>

#include <sys/resource.h>

namespace {
constexpr int kReaders = 32;
constexpr int kWatchMs = 12000;

double cpuMs()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000.0 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000.0;
}

struct Round
{
    double stallMs = 0;
    double cpuShare = 0;  // of one core
};

// The GUI thread is watched by a 1 ms timer: the longest gap between two ticks is its stall.
Round watch(int ms)
{
    Round r;
    QElapsedTimer gap, all;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        r.stallMs = std::max(r.stallMs, gap.nsecsElapsed() / 1e6);
        gap.restart();
    });
    const double cpu0 = cpuMs();
    all.start();
    gap.start();
    tick.start(1);
    // A blocking event loop: polling processEvents() would spin and be counted as the page's CPU.
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    tick.stop();
    r.cpuShare = (cpuMs() - cpu0) / double(all.elapsed());
    return r;
}
}  // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTemporaryDir data;
    KxConfig::instance()->setDataDir(data.path());
    KxI18nUtil::instance()->loadMain(QStringLiteral(BREVAN_SOURCE_DIR "/models/resources"), QStringLiteral("en"));
    QTemporaryDir dir;
    const QString scene = dir.filePath("conveyor.json");
    StatisticsTestScene::write(scene);
    VReaderProcess vr;
    // Load mode: the readers count reads from the scene's labels without forming images, so
    // the machine's cores stay with the program being measured.
    if (!vr.start({"--count", QString::number(kReaders), "--scene", scene, "--load-rate", qEnvironmentVariable("BENCH_LOAD_RATE", "20")}, 60000)
        || vr.readers().size() != kReaders) {
        std::fprintf(stderr, "virtual readers did not start\n");
        return 1;
    }
    KxDeviceKit *kit = KxDeviceKit::Instance();
    kit->setSystemSerialPortsEnabled(false);
    kit->setSerialPorts({});
    kit->setDiscoveryPort(vr.discoveryPort());
    const QHostAddress first(vr.firstAddress());
    kit->setScanAddresses(QStringLiteral("%1-%2").arg(first.toString(),
                                                       QHostAddress(first.toIPv4Address() + kReaders - 1).toString()));
    QStringList ids;
    QObject::connect(kit, &KxDeviceKit::deviceUpdated, [&](const QString &id, const QMap<QString, QString> &) {
        if (!ids.contains(id))
            ids << id;
    });
    kit->startDeviceScan(ScanType_All, 1000);
    QElapsedTimer found;
    found.start();
    while (ids.size() < kReaders && found.elapsed() < 60000)
        QTest::qWait(50);
    if (ids.size() < kReaders) {
        std::fprintf(stderr, "found %d readers of %d\n", int(ids.size()), kReaders);
        return 1;
    }
    kit->pauseBroadcastDeviceEnum(true);  // as while an edit page is shown
    // The line runs: each reader in a continuous read mode.
    for (const QString &id : ids) {
        KxDeviceConnector c(id);
        QByteArray v;
        if (!c.connectDevice(true, false) || c.queryCommand(1, QStringLiteral("#SCNMOD"), v, "1") != 6) {
            std::fprintf(stderr, "cannot start reading on %s\n", qPrintable(id));
            return 1;
        }
        c.disconnectDevice(true);
    }

    StatisticsEditFrame page;
    page.resize(1366, 700);
    page.show();
    QTest::qWait(500);
    const Round baseline = watch(kWatchMs);

    page.watch(ids);
    QElapsedTimer ready;
    ready.start();
    auto allCounting = [&] {
        for (StatisticsReader *r : page.readers())
            if (r->state() != StatisticsReader::Ready || r->replies() < 2)
                return false;
        return true;
    };
    while (!allCounting() && ready.elapsed() < 120000)
        QTest::qWait(50);
    if (!allCounting()) {
        std::fprintf(stderr, "not every reader reported its counters\n");
        return 1;
    }
    QList<int> before;
    for (StatisticsReader *r : page.readers())
        before << r->replies();
    const Round watching = watch(kWatchMs);
    int polls = 0;
    for (int i = 0; i < page.readers().size(); ++i)
        polls += page.readers()[i]->replies() - before[i];

    bench::value(QStringLiteral("counter replies per second, 32 readers"), polls * 1000.0 / kWatchMs,
                 QStringLiteral("(64 expected)"));
    bench::report(QStringLiteral("longest GUI stall watching 32 readers"), watching.stallMs, baseline.stallMs,
                  QStringLiteral("target below 16 ms"));
    bench::report(QStringLiteral("CPU watching 32 readers, ms per s"), watching.cpuShare * 1000.0,
                  baseline.cpuShare * 1000.0, QStringLiteral("target below 500 ms per s, half a core"));
    page.watch({});
    QTest::qWait(500);
    vr.stop();
    bench::value(QStringLiteral("targets met (stall below 16 ms, CPU below half a core)"),
                 watching.stallMs < 16 && watching.cpuShare < 0.5 ? 1 : 0, QStringLiteral("(1 yes, 0 no)"));
    return 0;
}
