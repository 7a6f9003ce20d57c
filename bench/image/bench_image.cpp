// Image benchmarks, each against a baseline measured in the same run:
// - local decode of a 1280x960 image through the kit's decodeImage, against one direct ZXing
//   call on the same grey image;
// - a 1280x960 image fetched from the virtual reader, from request to a QImage ready to show,
//   less the reader's own time to make it, against sending the same bytes over a loopback TCP
//   connection and decoding them with QImage.
#include "CodeImages.h"
#include "KxDecodeImage.h"
#include "KxDataStreamMaker.h"
#include "KxDataStreamParser.h"
#include "KxDeviceCommand.h"
#include "KxDeviceKit.h"
#include "VReaderProcess.h"
#include "VReaderSession.h"
#include "bench.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <ZXing/ReadBarcode.h>

namespace {

QImage labelImage()
{
    return CodeImages::page(QSize(1280, 960), {{"SHIP-0001-QR", BARCODE_QRCODE, QPoint(120, 100)},
                                               {"SHIP-0001-128", BARCODE_CODE128, QPoint(420, 140)},
                                               {"PART-7-DM", BARCODE_DATAMATRIX, QPoint(300, 600), 4}});
}

void benchDecode()
{
    const QImage img = labelImage();
    QByteArray raw;
    for (int y = 0; y < img.height(); ++y)
        raw.append(reinterpret_cast<const char *>(img.constScanLine(y)), img.width());
    int found = 0;
    size_t direct = 0;
    auto subjectRun = [&]() {
        QString text;
        QByteArray data;
        found = decodeImage(text, raw, img.width(), img.height(), data) ? text.count(';') + 1 : 0;
    };
    auto baselineRun = [&]() {
        ZXing::ImageView view(img.constBits(), img.width(), img.height(), ZXing::ImageFormat::Lum,
                              img.bytesPerLine());
        ZXing::DecodeHints hints;
        hints.setFormats(ZXing::BarcodeFormat::Any);
        hints.setTryHarder(true);
        hints.setTryRotate(true);
        hints.setTryDownscale(false);
        direct = ZXing::ReadBarcodes(view, hints).size();
    };
    // Alternating runs, so a busy machine slows both sides alike.
    std::vector<double> subjects, baselines;
    for (int i = 0; i < 11; ++i) {
        subjects.push_back(bench::medianMs(subjectRun, 1));
        baselines.push_back(bench::medianMs(baselineRun, 1));
    }
    std::sort(subjects.begin(), subjects.end());
    std::sort(baselines.begin(), baselines.end());
    const double subject = subjects[subjects.size() / 2];
    const double baseline = baselines[baselines.size() / 2];
    bench::report(QStringLiteral("local decode 1280x960"), subject, baseline,
                  QStringLiteral("%1 codes, direct call %2, target ratio <= 1.2").arg(found).arg(direct));
}

// Serves bytes to one client per connection, on its own thread.
class ByteServer : public QThread
{
public:
    explicit ByteServer(const QByteArray &bytes) : m_bytes(bytes) {}
    quint16 port() const { return m_port; }
    std::atomic<bool> ready{false};

protected:
    void run() override
    {
        QTcpServer server;
        server.listen(QHostAddress::LocalHost);
        m_port = server.serverPort();
        ready = true;
        while (!isInterruptionRequested()) {
            if (!server.waitForNewConnection(100))
                continue;
            QTcpSocket *s = server.nextPendingConnection();
            s->write(m_bytes);
            while (s->bytesToWrite() > 0 && s->waitForBytesWritten(5000)) {
            }
            s->disconnectFromHost();
            delete s;
        }
    }

private:
    QByteArray m_bytes;
    quint16 m_port = 0;
};

double loopbackBaseline(const QByteArray &bytes)
{
    ByteServer server(bytes);
    server.start();
    while (!server.ready)
        QThread::msleep(1);
    const double ms = bench::medianMs([&]() {
        QTcpSocket c;
        c.connectToHost(QHostAddress::LocalHost, server.port());
        c.waitForConnected(5000);
        QByteArray got;
        while (got.size() < bytes.size() && c.waitForReadyRead(5000))
            got += c.readAll();
        const QImage img = QImage::fromData(got);
        if (img.isNull())
            qWarning("loopback baseline: image did not decode");
    }, 7);
    server.requestInterruption();
    server.wait();
    return ms;
}

void benchFetch()
{
    VReaderProcess vp;
    if (!vp.start({"--model", "KXS-FM800", "--sensor", "1280x960"})) {
        bench::value(QStringLiteral("image fetch skipped, the virtual reader did not start"), 0, "");
        return;
    }
    QString why;
    auto connector = VReaderSession::login(vp, &why);
    if (!connector) {
        bench::value(QStringLiteral("image fetch skipped: ") + why, 0, "");
        return;
    }
    KxDeviceCommand *cmd = connector->command();
    KxImageRequest request;
    request.format = QStringLiteral("0");  // BMP: the bytes as the sensor made them
    KxImageReply last;
    double readerMs = 0;
    std::vector<double> runs;
    for (int i = 0; i < 9; ++i) {
        QElapsedTimer t;
        t.start();
        last = cmd->getImage(request);
        const QJsonObject info = QJsonDocument::fromJson(last.info).object();
        const QImage img = KxImageFromBytes(last.image, info.value("width").toInt(),
                                            info.value("height").toInt());
        const double total = t.nsecsElapsed() / 1e6;
        if (img.isNull())
            qWarning("fetch: image did not decode");
        // The reader's own time: making the image and encoding it.
        readerMs = info.value(QStringLiteral("makeMs")).toDouble() + info.value(QStringLiteral("encodeMs")).toDouble();
        runs.push_back(total - readerMs);
    }
    std::sort(runs.begin(), runs.end());
    const double subject = runs[runs.size() / 2];
    if (!last.ok) {
        bench::value(QStringLiteral("image fetch failed, error"), last.error, "");
        return;
    }
    // Where the time goes: the same request sent through the kit alone (reader and transport).
    const QByteArray frame = KxMakeDataStreamCmd(("@" + request.code() + request.value()).toUtf8(),
                                                 DataProtocol_Settings, true);
    QByteArray reply;
    const double kitMs = bench::medianMs([&]() {
        KxDeviceKit::Instance()->sendBinaryMessage(connector->deviceId(), frame, reply, 60000);
    }, 7);
    bench::value(QStringLiteral("image fetch through the kit alone, reader's time included"), kitMs, "ms");
    const double parseMs = bench::medianMs([&]() { KxDataStreamParser parser(reply, DataType_Frame); }, 7);
    bench::value(QStringLiteral("parsing the reply"), parseMs, "ms");
    const double imageMs = bench::medianMs([&]() { KxImageFromBytes(last.image, 1280, 960); }, 7);
    bench::value(QStringLiteral("reading the image bytes"), imageMs, "ms");
    const double baseline = loopbackBaseline(last.image);
    bench::report(QStringLiteral("image fetch 1280x960, less the reader's own time"), subject,
                  baseline, QStringLiteral("%1 bytes, reader %2 ms, target ratio <= 2")
                                .arg(last.image.size()).arg(readerMs, 0, 'f', 1));
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // "decode" or "fetch" runs one half alone (for a profiler); anything else both.
    const QByteArray only = qgetenv("BREVAN_BENCH_IMAGE");
    if (only != "fetch")
        benchDecode();
    if (only != "decode")
        benchFetch();
    return 0;
}
