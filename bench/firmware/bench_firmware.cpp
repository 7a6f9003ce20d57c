// Firmware transfer of a 32 MiB package to the virtual reader (framing, CRC-32 of the transfer,
// the reader's size, CRC-32 and SHA-256 checks and the install included) against a raw loopback
// TCP transfer of the same bytes measured in the same run.
#include "bench.h"

#include "KxDeviceKit.h"
#include "KxFirmwareFrames.h"
#include "VReaderProcess.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <sys/resource.h>
#include <unistd.h>
#include <thread>
#include <vector>

namespace {
// One sample of the same bytes from a client socket to a server socket on loopback, both
// blocking; the receiver answers one byte at the end, as the reader answers the end step.
double rawTransferMs(QTcpServer &server, const QByteArray &bytes)
{
    const quint16 port = server.serverPort();
    QElapsedTimer t;
    t.start();
    std::thread sender([&bytes, port] {
        QTcpSocket s;
        s.connectToHost(QHostAddress::LocalHost, port);
        if (!s.waitForConnected(10000))
            return;
        qint64 off = 0;
        while (off < bytes.size()) {
            const qint64 n = s.write(bytes.constData() + off, qMin<qint64>(65536, bytes.size() - off));
            if (n <= 0)
                break;
            off += n;
            s.waitForBytesWritten(10000);
        }
        while (s.bytesToWrite() > 0 && s.waitForBytesWritten(10000)) {
        }
        s.waitForReadyRead(10000);
    });
    if (server.waitForNewConnection(10000)) {
        QTcpSocket *in = server.nextPendingConnection();
        qint64 got = 0;
        while (got < bytes.size() && in->waitForReadyRead(10000))
            got += in->readAll().size();
        in->write("k", 1);
        in->waitForBytesWritten(10000);
        delete in;
    }
    sender.join();
    return t.nsecsElapsed() / 1e6;
}

// CPU time of this process (every thread, ended ones included) in ms.
double selfCpuMs()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

// CPU time of the virtual reader this process started (found as its child), in ms; the
// kernel counts it in ticks.
double readerCpuMs()
{
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
        if (pid.toLongLong() <= 0 || !f.open(QIODevice::ReadOnly))
            continue;
        const QByteArray stat = f.readAll();
        const int close = stat.lastIndexOf(')');
        const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
        if (!stat.contains("(brevan-vreader)") || fields.size() < 13 || fields[1].toLongLong() != getpid())
            continue;
        return (fields[11].toDouble() + fields[12].toDouble()) * 1000.0 / double(sysconf(_SC_CLK_TCK));
    }
    return 0;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}
}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // The reader is away for a moment after each install: those refused connects are expected.
    static const QtMessageHandler previous = qInstallMessageHandler(nullptr);
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &context, const QString &text) {
        if (!text.contains(QLatin1String("connectToDevice()... failed")))
            previous(type, context, text);
    });
    QTemporaryDir tmp;
    KxFirmware::PackageHeader h;
    h.kind = QStringLiteral("pak");
    h.product = QStringLiteral("FM800");
    h.version = QStringLiteral("V9.00.000");
    QByteArray payload(32 * 1024 * 1024 - 512, Qt::Uninitialized);
    quint32 x = 2463534242u;
    for (char &c : payload) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = char(x);
    }
    const QByteArray package = KxFirmware::buildPackage(h, payload);
    const QString path = tmp.filePath(QStringLiteral("bench.pak"));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(package) != package.size())
        return 1;
    f.close();

    VReaderProcess vr;
    if (!vr.start({"--model", "KXS-FM800"}))
        return 1;
    const auto r = vr.readers().value(0);
    KxDeviceKit *kit = KxDeviceKit::Instance();
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost))
        return 1;
    bool failed = false;
    // Upgrade and raw copy alternate, so a machine busy with other work slows both alike.
    std::vector<double> times, raw, ratios;
    // CPU time beside wall time: on a machine busy with other work it varies far less.
    double kitCpu = 0, readerCpu = 0, rawCpu = 0;
    const int asked = qEnvironmentVariableIntValue("BENCH_FIRMWARE_RUNS");
    const int runs = asked > 0 ? asked : 5;
    for (int run = 1; run <= runs && !failed; ++run) {
        const QString id = QStringLiteral("bench-%1").arg(run);
        // The reader restarts after each install: connecting again is not timed, but it is
        // bounded; a reader that never comes back fails the benchmark.
        QElapsedTimer wait;
        wait.start();
        while (!kit->connectToDevice_Cmd(id, QStringLiteral("%1:%2").arg(r.address).arg(r.port))) {
            if (wait.elapsed() > 30000) {
                failed = true;
                break;
            }
            QThread::msleep(100);
        }
        if (failed)
            break;
        QElapsedTimer t;
        t.start();
        const double kitBefore = selfCpuMs();
        const double readerBefore = readerCpuMs();
        int error = 0;
        if (!kit->updateFirmwareFile(id, path, true, &error))
            failed = true;
        times.push_back(t.nsecsElapsed() / 1e6);
        kitCpu += selfCpuMs() - kitBefore;
        readerCpu += readerCpuMs() - readerBefore;
        kit->disconnectFromDeviceEx(id);
        const double rawBefore = selfCpuMs();
        raw.push_back(rawTransferMs(server, package));
        rawCpu += selfCpuMs() - rawBefore;
        ratios.push_back(raw.back() > 0 ? times.back() / raw.back() : 0);
    }
    if (failed) {
        QTextStream(stderr) << "bench_firmware: an upgrade failed" << Qt::endl;
        return 1;
    }
    bench::report(QStringLiteral("firmware 32 MiB package through the kit"), median(times), median(raw),
                  QStringLiteral("target: ratio at most 4; median of paired ratios %1, range %2 to %3")
                      .arg(median(ratios), 0, 'f', 2)
                      .arg(*std::min_element(ratios.begin(), ratios.end()), 0, 'f', 2)
                      .arg(*std::max_element(ratios.begin(), ratios.end()), 0, 'f', 2));
    bench::report(QStringLiteral("firmware 32 MiB package: CPU time of kit and reader"),
                  (kitCpu + readerCpu) / runs, rawCpu / runs,
                  QStringLiteral("kit %1 ms, reader %2 ms per upgrade, the reader's count with the start of its "
                                 "restart after the install; baseline: CPU time of both ends of the raw copy")
                      .arg(kitCpu / runs, 0, 'f', 1).arg(readerCpu / runs, 0, 'f', 1));
    return 0;
}
