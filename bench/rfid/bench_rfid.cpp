// An inventory of 1,000 tags at full speed into the program's connector and the RFID frame's
// inventory page (its live table shown, offscreen, at 1366x768): every tag must be listed with
// exactly the reader's count, and the GUI thread's longest stall is set against the same watch
// with the inventory idle. BENCH_RFID_SECONDS shortens or lengthens the run (default 10 s, a
// scaled run; the target run is 30 s).
#include "KxDataStreamMaker.h"
#include "KxDataStreamParser.h"
#include "KxDataStreamValue.h"
#include "KxDeviceConnector.h"
#include "KxI18nUtil.h"
#include "RfidInventoryWidget.h"
#include "RfidTagModel.h"
#include "VReaderProcess.h"
#include "bench.h"

#include <QApplication>
#include <QTableView>
#include <QTimer>

#include <ctime>

namespace {

int send(KxDeviceConnector *c, const QByteArray &text, QByteArray *value = nullptr)
{
    QByteArray reply, v;
    if (!c->sendMessage(KxMakeDataStreamCmd(text, DataProtocol_Settings), reply))
        return -1;
    const int r = KxGetDataStreamResult(reply, QString::fromLatin1(text.mid(1, 6)), v);
    if (value)
        *value = v;
    return r;
}

// The GUI thread is watched by a 1 ms timer: the longest gap between two ticks is its stall;
// gaps of 16 ms and more (a missed frame) are counted, since on a loaded machine the longest one
// alone says more about the machine than about the page.
// The GUI thread's own processor time in ms: between two ticks it is what the thread worked,
// whatever else the machine was doing.
double threadMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

double watch(int ms, int *slow = nullptr, double *busiest = nullptr)
{
    double stall = 0, work = 0;
    int over = 0;
    QElapsedTimer gap, all;
    double cpu = threadMs();
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const double g = gap.nsecsElapsed() / 1e6;
        const double now = threadMs();
        stall = std::max(stall, g);
        work = std::max(work, now - cpu);
        over += g >= 16 ? 1 : 0;
        gap.restart();
        cpu = now;
    });
    all.start();
    gap.start();
    tick.start(1);
    while (all.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    if (slow)
        *slow = over;
    if (busiest)
        *busiest = work;
    return stall;
}

}  // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    KxI18nUtil::instance()->loadMain(QStringLiteral(BREVAN_BIN_DIR "/models/resources"), QStringLiteral("en"));
    const int seconds = qBound(1, qEnvironmentVariableIntValue("BENCH_RFID_SECONDS") > 0
                                      ? qEnvironmentVariableIntValue("BENCH_RFID_SECONDS") : 10, 120);
    constexpr int kTags = 1000;
    VReaderProcess vp;
    if (!vp.start({"--model", "KXS-RF600", "--tags", QString::number(kTags)})) {
        QTextStream(stderr) << "bench_rfid: the virtual reader did not start" << Qt::endl;
        return 1;
    }
    const VReaderProcess::Reader r = vp.readers().value(0);
    KxDeviceConnector c(r.serial);
    KxDeviceInfoMap info;
    info.insert(QStringLiteral("Product Name"), r.model);
    info.insert(QStringLiteral("rfid"), QStringLiteral("1"));
    c.setDeviceInfo(info);
    if (!c.connectWithAddress(QStringLiteral("%1:%2").arg(r.address).arg(r.port)) || c.login() != 0) {
        QTextStream(stderr) << "bench_rfid: login failed" << Qt::endl;
        return 1;
    }
    c.startResultHandling();
    // The inventory page takes every batch on the GUI thread and shows its table.
    RfidInventoryWidget page;
    page.resize(1366, 700);
    if (!page.openDevice(&c, QVariant())) {
        QTextStream(stderr) << "bench_rfid: the inventory page did not open the reader" << Qt::endl;
        return 1;
    }
    page.show();
    const KxTagTable &table = page.model()->table();
    for (const char *s : {"#URFANT1", "#URFSES0", "#URFQVL10", "#URFPWR30", "#URFRND0"}) {
        if (send(&c, s) != DataResult_Ack) {
            QTextStream(stderr) << "bench_rfid: refused " << s << Qt::endl;
            return 1;
        }
    }
    int idleSlow = 0, slow = 0;
    double idleWork = 0, work = 0;
    const double idleStall = watch(seconds * 1000, &idleSlow, &idleWork);
    QByteArray before;
    send(&c, "#URFSTA", &before);
    send(&c, "#URFINV1");
    QElapsedTimer run;
    run.start();
    const double stall = watch(seconds * 1000, &slow, &work);
    send(&c, "#URFINV0");
    const double ms = double(run.elapsed());
    QByteArray after;
    send(&c, "#URFSTA", &after);
    auto number = [](const QByteArray &sta, int i) { return KxSplitLetterTags(sta).value(i).second.toLongLong(); };
    const qint64 rounds = number(after, 0) - number(before, 0);
    const qint64 reads = number(after, 1) - number(before, 1);
    // The last frames are on their way: wait for them, bounded.
    QElapsedTimer drain;
    drain.start();
    while (table.totalReads() < reads && drain.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    const qint64 total = table.totalReads();
    qint64 exact = 0;
    for (int i = 0; i < table.size(); ++i)
        exact += table.row(i).count == rounds ? 1 : 0;
    bench::value(QStringLiteral("run length"), ms / 1000.0, QStringLiteral("s (target run 30 s)"));
    bench::value(QStringLiteral("tag reads per second (reader)"), reads * 1000.0 / ms, QStringLiteral("/s"));
    bench::value(QStringLiteral("tag reads received / sent"), reads > 0 ? double(total) / double(reads) : 0,
                 QStringLiteral("(1 = none lost)"));
    page.model()->refresh();
    bench::value(QStringLiteral("tags listed"), table.size(), QStringLiteral("of 1000"));
    bench::value(QStringLiteral("rows in the page's table"), page.view()->model()->rowCount(), QStringLiteral("of 1000"));
    bench::value(QStringLiteral("tags with exactly the reader's round count"), exact,
                 QStringLiteral("of %1 (rounds %2)").arg(kTags).arg(rounds));
    bench::report(QStringLiteral("longest GUI stall during the inventory"), stall, idleStall,
                  QStringLiteral("baseline: the same watch with no inventory"));
    bench::report(QStringLiteral("longest GUI thread work between two ticks (its own CPU time)"), work, idleWork,
                  QStringLiteral("baseline: the same watch with no inventory"));
    bench::value(QStringLiteral("gaps of 16 ms or more during the inventory"), slow,
                 QStringLiteral("(same watch idle: %1)").arg(idleSlow));
    bench::value(QStringLiteral("targets met (every tag, counts exact, stall below 16 ms)"),
                 table.size() == kTags && exact == kTags && total == reads && stall < 16 ? 1 : 0,
                 QStringLiteral("(1 yes, 0 no)"));
    return 0;
}
