// Download of a 60 MiB reader log through the kit into files (the reader's blocks, the kit's
// delivery, the split files) against a raw loopback TCP transfer of the same number of bytes
// written to a file, measured in the same run.
#include "bench.h"

#include "DeviceLogDownload.h"
#include "KxDeviceKit.h"
#include "VReaderProcess.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <thread>

namespace {
constexpr qint64 kLogSize = 60ll * 1024 * 1024;

// The same number of bytes from a client socket to a server socket on loopback, written to a
// file as they come.
double rawTransferMs(const QString &path)
{
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost))
        return 0;
    const quint16 port = server.serverPort();
    const QByteArray block(256 * 1024, 'x');
    return bench::medianMs([&] {
        std::thread sender([&block, port] {
            QTcpSocket s;
            s.connectToHost(QHostAddress::LocalHost, port);
            if (!s.waitForConnected(10000))
                return;
            for (qint64 sent = 0; sent < kLogSize; sent += block.size()) {
                s.write(block);
                s.waitForBytesWritten(10000);
            }
            while (s.bytesToWrite() > 0 && s.waitForBytesWritten(10000)) {
            }
            s.waitForDisconnected(10000);
        });
        if (server.waitForNewConnection(10000)) {
            QTcpSocket *in = server.nextPendingConnection();
            QFile out(path);
            out.open(QIODevice::WriteOnly);
            qint64 got = 0;
            while (got < kLogSize && in->waitForReadyRead(10000)) {
                const QByteArray b = in->readAll();
                out.write(b);
                got += b.size();
            }
            out.close();
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
    VReaderProcess vr;
    if (!vr.start({"--model", "KXS-FM800", "--log-size", "60M"}, 60000) || vr.readers().isEmpty())
        return 1;
    KxDeviceKit *kit = KxDeviceKit::Instance();
    kit->setDiscoveryPort(vr.discoveryPort());
    kit->setScanAddresses(vr.readers()[0].address);
    QList<QPair<QString, KxDeviceInfoMap>> readers;
    QObject::connect(kit, &KxDeviceKit::deviceUpdated, &app, [&](const QString &id, const QMap<QString, QString> &info) {
        if (readers.isEmpty())
            readers.append({id, info});
    });
    kit->startDeviceScan(ScanType_All, 1000);
    QElapsedTimer wait;
    wait.start();
    while (readers.isEmpty() && wait.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    kit->stopDeviceScan(ScanType_All);
    if (readers.isEmpty())
        return 1;
    bool failed = false;
    int run = 0;
    const double subject = bench::medianMs([&] {
        DeviceLogDownload download;
        bool ok = false;
        bool done = false;
        QObject::connect(&download, &DeviceLogDownload::readerFinished, &app,
                         [&](const QString &, bool good, const QStringList &) { ok = good; done = true; });
        const QString dir = tmp.filePath(QString::number(++run));
        QDir().mkpath(dir);
        download.start(readers, dir);
        QElapsedTimer t;
        t.start();
        while (!done && t.elapsed() < 120000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        failed = failed || !ok;
        QDir(dir).removeRecursively();
    }, 5);
    if (failed) {
        QTextStream(stderr) << "bench_devicelog: a download failed" << Qt::endl;
        return 1;
    }
    const double baseline = rawTransferMs(tmp.filePath(QStringLiteral("raw.bin")));
    bench::report(QStringLiteral("device log 60 MiB download into files"), subject, baseline,
                  QStringLiteral("target: ratio at most 2"));
    return 0;
}
