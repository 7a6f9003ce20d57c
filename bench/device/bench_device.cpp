// Framing and saving changed commands: the engine against plain copies and raw sends measured
// in the same run, and the longest main-thread stall while a save runs on the worker.
#include "KxDeviceKit.h"
#include "VReaderSession.h"
#include "bench.h"

#include "KxCmdFraming.h"
#include "KxDataStreamParser.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

using namespace VReaderSession;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // Framing 10,000 changes against copying the same bytes.
    KxCmdItems items;
    for (int i = 0; i < 10000; ++i)
        items.append({QStringLiteral("C%1").arg(i % 100000, 5, 10, QLatin1Char('0')),
                       QByteArray::number(i % 997)});
    QByteArrayList frames;
    const double framing = bench::medianMs([&] { KxCmdFraming::buildFrames(items, true, 4096, frames); });
    qint64 total = 0;
    for (const QByteArray &f : frames)
        total += f.size();
    QByteArray sink;
    const double copying = bench::medianMs([&] {
        sink.clear();
        sink.reserve(int(total));
        for (const auto &i : items) {
            sink.append(i.first.toLatin1());
            sink.append(i.second);
            sink.append(';');
        }
    });
    bench::report(QStringLiteral("framing 10000 changed commands"), framing, copying,
                  QStringLiteral("%1 frames, %2 bytes").arg(frames.size()).arg(total));

    VReaderProcess vp;
    if (!vp.start({})) {
        qWarning("the virtual reader did not start");
        return 1;
    }
    auto c = login(vp);
    if (!c) {
        qWarning("login failed");
        return 1;
    }
    KxDeviceCommand *cmd = c->command();
    // 500 changes: the option settings cycled through their allowed values.
    QVector<ChangedCmdInfo> base = pickChanges(cmd, 100);
    // Settings that depend on others may be refused: keep only those the reader takes.
    QStringList refused;
    cmd->saveCmds(base, false, refused);
    for (int i = base.size() - 1; i >= 0; --i) {
        if (refused.contains(base[i].code))
            base.remove(i);
    }
    QVector<ChangedCmdInfo> changes;
    while (changes.size() < 500 && !base.isEmpty())
        changes << base[changes.size() % base.size()];
    KxCmdItems saveItems;
    for (const ChangedCmdInfo &ch : changes)
        saveItems.append({ch.code, ch.value.toByteArray()});
    // The very frames the engine sends for this save.
    QByteArrayList saveFrames;
    KxCmdFraming::buildFramesBinarySafe(saveItems, false, cmd->bufferSize(), saveFrames);

    // Both sides run where the engine sends, off the main thread, while the main thread waits
    // in its event loop: the save as a job of the engine's worker, the baseline as the same
    // frames sent raw over the kit from a plain thread.
    auto waitFor = [](const std::atomic<bool> &flag) {
        QElapsedTimer limit;
        limit.start();
        while (!flag.load() && limit.elapsed() < 60000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 1);
        return flag.load();
    };
    int saveFailures = 0;
    auto saveOnce = [&] {
        std::atomic<bool> finished{false};
        auto failedCodes = std::make_shared<QStringList>();
        cmd->asyncProcess([changes, failedCodes](KxDeviceCommandPtr p) {
            if (!p || !p->saveCmds(changes, false, *failedCodes))
                failedCodes->append(QStringLiteral("(save)"));
            return QMap<QString, QByteArray>();
        }, [&finished](KxDeviceCommandPtr, QMap<QString, QByteArray>) { finished = true; });
        if (!waitFor(finished) || !failedCodes->isEmpty())
            ++saveFailures;
    };
    int rawFailures = 0;
    const QString id = c->deviceId();
    auto rawOnce = [&] {
        std::atomic<bool> finished{false};
        std::atomic<int> failures{0};
        std::thread sender([&] {
            for (const QByteArray &f : qAsConst(saveFrames)) {
                QByteArray reply;
                QList<QString> failedCodes;
                if (KxDeviceKit::Instance()->sendBinaryMessage(id, f, reply, 10000) != 0
                    || !KxDataStreamParser(reply, DataType_Frame).checkAllCmdAck(failedCodes))
                    ++failures;
            }
            finished = true;
        });
        waitFor(finished);
        sender.join();
        rawFailures += failures;
    };
    // Alternating runs, so that load from elsewhere on the machine hits both sides alike.
    std::vector<double> saveTimes, rawTimes;
    for (int i = 0; i < 9; ++i) {
        saveTimes.push_back(bench::medianMs(saveOnce, 1));
        rawTimes.push_back(bench::medianMs(rawOnce, 1));
    }
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    const double save = median(saveTimes);
    const double raw = median(rawTimes);
    if (saveFailures || rawFailures)
        qWarning("failures: %d saves, %d raw frames", saveFailures, rawFailures);
    bench::report(QStringLiteral("save of %1 changed commands").arg(changes.size()), save, raw,
                  QStringLiteral("%1 frames of at most %2 bytes, against the same frames sent raw "
                                 "from a worker thread")
                      .arg(saveFrames.size())
                      .arg(cmd->bufferSize()));

    // Longest gap of a 1 ms timer on the main thread while the save runs on the worker.
    QElapsedTimer gap;
    qint64 longest = 0;
    QTimer tick;
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        longest = qMax(longest, gap.nsecsElapsed());
        gap.restart();
    });
    bool done = false;
    gap.start();
    tick.start();
    cmd->asyncProcess([changes](KxDeviceCommandPtr p) {
        QStringList f;
        if (p)
            p->saveCmds(changes, false, f);
        return QMap<QString, QByteArray>();
    }, [&done](KxDeviceCommandPtr, QMap<QString, QByteArray>) { done = true; });
    QElapsedTimer limit;
    limit.start();
    while (!done && limit.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    tick.stop();
    bench::value(QStringLiteral("longest main-thread stall during a 500-command save"),
                 longest / 1e6, QStringLiteral("ms"));
    return done ? 0 : 1;
}
