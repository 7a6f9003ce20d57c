// Firmware transfer of a 32 MiB package to the virtual reader (framing, CRC-32 of the transfer,
// the reader's size, CRC-32 and SHA-256 checks and the install included) against a raw loopback
// TCP transfer of the same bytes measured in the same run.
#include "bench.h"

#include "KxDeviceKit.h"
#include "KxFirmwareFrames.h"
#include "VReaderProcess.h"

#include <QCoreApplication>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <thread>
#include <vector>

namespace {
// The same bytes from a client socket to a server socket on loopback, both blocking.
double rawTransferMs(const QByteArray &bytes)
{
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost))
        return 0;
    const quint16 port = server.serverPort();
    return bench::medianMs([&] {
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
            s.waitForReadyRead(10000);  // the receiver's one-byte acknowledgement
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
    }, 5);
}
}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
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
    bool failed = false;
    std::vector<double> times;
    for (int run = 1; run <= 5 && !failed; ++run) {
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
        int error = 0;
        if (!kit->updateFirmwareFile(id, path, true, &error))
            failed = true;
        times.push_back(t.nsecsElapsed() / 1e6);
        kit->disconnectFromDeviceEx(id);
    }
    if (failed) {
        QTextStream(stderr) << "bench_firmware: an upgrade failed" << Qt::endl;
        return 1;
    }
    std::sort(times.begin(), times.end());
    const double subject = times[times.size() / 2];
    const double baseline = rawTransferMs(package);
    bench::report(QStringLiteral("firmware 32 MiB package through the kit"), subject, baseline,
                  QStringLiteral("target: ratio at most 4"));
    return 0;
}
