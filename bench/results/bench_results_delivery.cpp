// Result delivery from the virtual reader's load mode into a shown result panel: every result
// arrives (no sequence gaps, nothing dropped), and the longest stall of the GUI event loop stays
// under 16 ms. The stall is reported against the same loop's longest stall with no results.
// BREVAN_BENCH_LOAD_RATE and BREVAN_BENCH_LOAD_SECONDS change the rate (5000) and time (30 s).
#include "KxBarcodeConsumerThread.h"
#include "ResultOutputNetWidget.h"
#include "VReaderSession.h"
#include "bench.h"

#include <QApplication>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QTimer>

#include <ctime>

namespace {
const QByteArray kScene = R"({"sensor":[640,400],"codes":[
    {"symbology":"QR Code","text":"LOAD-QR-1","x":320,"y":200,"module":5}]})";

double threadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

// Runs the event loop for ms and returns the longest gap between 1 ms timer ticks. busy gets
// the longest CPU time the GUI thread itself spent between two ticks: on a loaded machine the
// wall-clock gap also holds time the thread waited for a core.
double longestStall(int ms, double *busy = nullptr)
{
    QElapsedTimer clock;
    clock.start();
    qint64 last = clock.nsecsElapsed();
    double lastCpu = threadCpuMs();
    double worst = 0;
    double worstCpu = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        worst = qMax(worst, (now - last) / 1e6);
        last = now;
        const double cpu = threadCpuMs();
        worstCpu = qMax(worstCpu, cpu - lastCpu);
        lastCpu = cpu;
    });
    tick.start();
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    if (busy)
        *busy = worstCpu;
    return worst;
}
}  // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const int rate = qEnvironmentVariableIntValue("BREVAN_BENCH_LOAD_RATE") > 0
        ? qEnvironmentVariableIntValue("BREVAN_BENCH_LOAD_RATE") : 5000;
    const int seconds = qEnvironmentVariableIntValue("BREVAN_BENCH_LOAD_SECONDS") > 0
        ? qEnvironmentVariableIntValue("BREVAN_BENCH_LOAD_SECONDS") : 30;
    QTemporaryDir dir;
    const QString scene = dir.filePath(QStringLiteral("scene.json"));
    QSaveFile f(scene);
    if (!f.open(QIODevice::WriteOnly) || f.write(kScene) != kScene.size() || !f.commit())
        return 1;
    VReaderProcess vr;
    if (!vr.start({"--count", "1", "--scene", scene, "--load-rate", QString::number(rate)})) {
        QTextStream(stderr) << "bench_results_delivery: the virtual reader did not start" << Qt::endl;
        return 1;
    }
    QString why;
    std::unique_ptr<KxDeviceConnector> c = VReaderSession::login(vr, &why);
    if (!c || !c->consumerThread()) {
        QTextStream(stderr) << "bench_results_delivery: login failed: " << why << Qt::endl;
        return 1;
    }

    ResultOutputNetWidget panel;
    panel.resize(1366, 320);
    panel.show();
    QObject::connect(c.get(), &KxDeviceConnector::batBarcodeReceived, &panel,
                     &ResultOutputBaseWidget::addBarcodeBatch);
    qint64 received = 0, gaps = 0, firstSeq = -1, nextSeq = -1;
    QObject::connect(c.get(), &KxDeviceConnector::batBarcodeReceived,
                     [&](const QList<STRUCT_BARCODE_INFO> &list, bool) {
                         for (const STRUCT_BARCODE_INFO &b : list) {
                             ++received;
                             if (firstSeq < 0)
                                 firstSeq = b.seq;
                             else if (b.seq != nextSeq)
                                 gaps += qAbs(b.seq - nextSeq);
                             nextSeq = b.seq + 1;
                         }
                     });

    double idleBusy = 0;
    double loadBusy = 0;
    const double idleStall = longestStall(3000, &idleBusy);
    QByteArray v;
    c->queryCommand(1, QStringLiteral("#MLTCNT1"), v);
    c->queryCommand(1, QStringLiteral("#SCNMOD1"), v);
    const double loadStall = longestStall(seconds * 1000, &loadBusy);
    c->queryCommand(1, QStringLiteral("#SCNMOD0"), v);
    // Results already sent when the mode ended still arrive.
    longestStall(2000);
    const qint64 sent = nextSeq - firstSeq;

    bench::report(QStringLiteral("results: longest GUI stall, %1 results/s into a shown table")
                      .arg(rate),
                  loadStall, idleStall,
                  QStringLiteral("baseline: the same loop without results; target < 16 ms"));
    bench::report(QStringLiteral("results: longest GUI thread CPU time between two ticks"), loadBusy,
                  idleBusy, QStringLiteral("the stall the program itself causes; target < 16 ms"));
    bench::value(QStringLiteral("results: received"), double(received),
                 QStringLiteral("results of %1 sent (%2 expected at the rate), %3 sequence gaps, "
                                "%4 bytes dropped, %5 rows shown")
                     .arg(sent)
                     .arg(qint64(rate) * seconds)
                     .arg(gaps)
                     .arg(c->consumerThread()->droppedBytes())
                     .arg(panel.rowCount()));
    c->logout();
    c->disconnectDevice(true);
    // Wall-clock stalls depend on what else the machine runs; the thread's own time does not.
    return gaps == 0 && received == sent && loadBusy < 16.0 ? 0 : 1;
}
