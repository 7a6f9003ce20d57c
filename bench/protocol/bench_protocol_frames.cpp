// Building and parsing frames of 10,000 items, against copying the same bytes.
#include "bench.h"
#include "KxDataStreamMaker.h"
#include "KxDataStreamParser.h"
#include "KxFrameAssembler.h"
#include "KxRequestParser.h"

#include <QCoreApplication>

namespace {

constexpr int kItems = 10000;

QString codeAt(int i)
{
    return QStringLiteral("C%1").arg(i, 5, 10, QLatin1Char('0'));
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    volatile qint64 sink = 0;

    // Requests: a batch of 10,000 settings items.
    QByteArray request;
    const double buildReq = bench::medianMs([&] {
        KxDataStreamMaker maker;
        for (int i = 0; i < kItems; ++i)
            maker.addCmd(codeAt(i), QByteArray::number(i % 100));
        request = maker.toByteArray(true);
    });
    const double copyReq = bench::medianMs([&] {
        for (int i = 0; i < 20; ++i) {
            QByteArray c(request.constData(), request.size());
            sink += c.size();
        }
    }) / 20;
    bench::report("build 10000-item request", buildReq, copyReq, "baseline: copy of its bytes");
    const double parseReq = bench::medianMs([&] {
        KxSettingsRequest r;
        KxParseSettingsRequest(request, &r);
        sink += r.items.size();
    });
    bench::report("parse 10000-item request", parseReq, copyReq, "baseline: copy of its bytes");

    // Replies: 10,000 acknowledged items with values.
    KxSettingsReply reply;
    for (int i = 0; i < kItems; ++i) {
        KxTagInfo t;
        t.code = codeAt(i);
        t.subTags.append({QString(), DataResult_Ack, QByteArray::number(i * 7)});
        reply.tags << t;
    }
    QByteArray frame;
    const double buildReply = bench::medianMs([&] { frame = KxMakeSettingsReply(reply); });
    const double copyReply = bench::medianMs([&] {
        for (int i = 0; i < 20; ++i) {
            QByteArray c(frame.constData(), frame.size());
            sink += c.size();
        }
    }) / 20;
    bench::report("build 10000-item reply", buildReply, copyReply, "baseline: copy of its bytes");
    const double parseReply = bench::medianMs([&] {
        KxDataStreamParser p(frame);
        sink += p.getTagMap().size();
    });
    bench::report("parse 10000-item reply to a tag map", parseReply, copyReply,
                  "baseline: copy of its bytes");
    // The two halves of it: decoding the items, and the map built from them.
    const double decodeReply = bench::medianMs([&] {
        KxDataStreamParser p(frame);
        sink += p.tags().size();
    });
    const KxDataStreamParser parsed(frame);
    const double tagMap = bench::medianMs([&] { sink += parsed.getTagMap(true).size(); });
    bench::report("decode 10000-item reply", decodeReply, copyReply, "baseline: copy of its bytes");
    bench::report("tag map with sub-tags of 10000 items", tagMap, copyReply,
                  "baseline: copy of the reply's bytes");
    const double reassemble = bench::medianMs([&] {
        KxFrameAssembler a(KxFrameAssembler::Side::Client);
        for (int at = 0; at < frame.size(); at += 1460)
            a.append(frame.mid(at, 1460));  // as TCP segments arrive
        KxFrameAssembler::Frame f;
        while (a.next(&f))
            sink += f.bytes.size();
    });
    bench::report("reassemble the reply from 1460-byte pieces", reassemble, copyReply,
                  "baseline: copy of its bytes");

    // A reader takes frames after every piece, as a link does: a text request of the largest
    // size must not be scanned again from its start with each piece.
    QByteArray big("\x7E\x01" "0000@DEVNAM");
    big.append(QByteArray(KxProtocol::MaxTextRequest - big.size() - 2, 'a'));
    big.append(";\x03");
    const double copyBig = bench::medianMs([&] {
        QByteArray c(big.constData(), big.size());
        sink += c.size();
    });
    const double readerPieces = bench::medianMs([&] {
        KxFrameAssembler a(KxFrameAssembler::Side::Reader);
        KxFrameAssembler::Frame f;
        for (int at = 0; at < big.size(); at += 1460) {
            a.append(big.mid(at, 1460));
            while (a.next(&f))
                sink += f.bytes.size();
        }
    });
    bench::report("reader takes a 1 MiB text request from 1460-byte pieces", readerPieces, copyBig,
                  "baseline: copy of its bytes");
    return sink < 0;
}
