// Result delivery of the virtual reader's load mode: a client holding the reader receives the
// results of a continuous read mode for a while; the time they took is set against the time the
// requested rate allows. Also one triggered read (image, decode, frames) against taking the
// image alone, as the reader reports it.
#include "KxDataStreamMaker.h"
#include "KxFrameAssembler.h"
#include "KxLinkFrames.h"
#include "VReaderProcess.h"
#include "bench.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QTcpSocket>

namespace {

const QByteArray kScene = R"({"sensor":[1280,960],"codes":[
 {"symbology":"Code 128","text":"LOAD-0001","x":400,"y":300,"module":3},
 {"symbology":"Data Matrix","text":"LOAD-DM","x":900,"y":600,"module":5}]})";

struct Client
{
    QTcpSocket socket;
    KxFrameAssembler assembler{KxFrameAssembler::Side::Client};
    qint64 results = 0;
    qint64 gaps = 0;
    qint64 lastSeq = -1;

    // Sends a request and waits for its reply, counting result frames meanwhile.
    QByteArray request(const QByteArray &text)
    {
        socket.write(KxMakeDataStreamCmd(text, DataProtocol_Settings, true));
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 30000) {
            KxFrameAssembler::Frame f;
            while (assembler.next(&f)) {
                if (f.type == KxFrameAssembler::FrameType::Binary)
                    return f.bytes;
                count(f.bytes);
            }
            if (!socket.waitForReadyRead(1000) && socket.state() != QAbstractSocket::ConnectedState)
                break;
            assembler.append(socket.readAll());
        }
        return QByteArray();
    }
    void count(const QByteArray &frame)
    {
        quint16 type = 0;
        QByteArray payload;
        if (!KxKestor::parse(frame, &type, &payload) || type != KxKestor::Json)
            return;
        const qint64 seq = qint64(QJsonDocument::fromJson(payload).object().value("seq").toDouble());
        if (lastSeq >= 0 && seq != lastSeq + 1)
            ++gaps;
        lastSeq = seq;
        ++results;
    }
    // Reads result frames until n more came (or 60 s passed); milliseconds taken.
    double receive(qint64 n)
    {
        const qint64 target = results + n;
        QElapsedTimer t;
        t.start();
        while (results < target && t.elapsed() < 60000 + n / 2) {
            if (socket.waitForReadyRead(1000))
                assembler.append(socket.readAll());
            KxFrameAssembler::Frame f;
            while (assembler.next(&f))
                count(f.bytes);
        }
        return t.nsecsElapsed() / 1e6;
    }
};

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int rate = qEnvironmentVariableIntValue("BREVAN_BENCH_LOAD_RATE") > 0
        ? qEnvironmentVariableIntValue("BREVAN_BENCH_LOAD_RATE") : 5000;
    const int seconds = qEnvironmentVariableIntValue("BREVAN_BENCH_LOAD_SECONDS") > 0
        ? qEnvironmentVariableIntValue("BREVAN_BENCH_LOAD_SECONDS") : 30;
    QTemporaryDir dir;
    const QString scene = dir.filePath("scene.json");
    QSaveFile f(scene);
    if (!f.open(QIODevice::WriteOnly) || f.write(kScene) != kScene.size() || !f.commit())
        return 1;

    VReaderProcess vr;
    if (!vr.start({"--count", "1", "--scene", scene, "--load-rate", QString::number(rate)})) {
        QTextStream(stderr) << "bench_camera: the virtual reader did not start" << Qt::endl;
        return 1;
    }
    Client c;
    const auto reader = vr.readers().value(0);
    c.socket.connectToHost(reader.address, reader.port);
    if (!c.socket.waitForConnected(5000))
        return 1;

    // A triggered read against the image alone: what decoding and the frames add.
    const QByteArray first = c.request("#MLTCNT2");
    if (first.isEmpty()) {
        QTextStream(stderr) << "bench_camera: no answer from the reader: " << c.socket.errorString() << Qt::endl;
        return 1;
    }
    const double readMs = bench::medianMs([&c] { c.request("#SCNITG"); }, 7);
    double makeMs = 0;
    bench::medianMs([&c, &makeMs] {
        const QByteArray reply = c.request("@IMGGET0T0R1F");
        const int at = reply.indexOf("{\"");
        makeMs = QJsonDocument::fromJson(reply.mid(at, reply.lastIndexOf('}') - at + 1))
                     .object().value("makeMs").toDouble();
    }, 3);
    bench::report("camera: triggered read (1280x960, two codes)", readMs, makeMs,
                  "baseline: the reader's own time to take and decode one image");

    // Load mode: the results of `seconds` at `rate` against the time that rate allows.
    c.request("#MLTCNT1");
    c.request("#SCNMOD1");
    const qint64 n = qint64(rate) * seconds;
    const double took = c.receive(n);
    c.request("#SCNMOD0");
    bench::report(QStringLiteral("camera: load mode, %1 results at %2 per second").arg(n).arg(rate),
                  took, 1000.0 * seconds,
                  QStringLiteral("baseline: the time the rate allows; %1 sequence gaps").arg(c.gaps));
    return c.results >= n && c.gaps == 0 ? 0 : 1;
}
