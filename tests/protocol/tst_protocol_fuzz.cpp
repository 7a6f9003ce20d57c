// Seeded random and mutated frames through every parser and the reassemblers: nothing may
// crash, hang or accept a frame whose envelope is broken.
#include "KxBinaryFrame.h"
#include "KxDataStreamMaker.h"
#include "KxDataStreamParser.h"
#include "KxDiscovery.h"
#include "KxFrameAssembler.h"
#include "KxRequestParser.h"

#include <QRandomGenerator>
#include <QtTest>

namespace {

QByteArray randomBytes(QRandomGenerator &rng, int size)
{
    QByteArray b(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        b[i] = char(rng.bounded(256));
    return b;
}

QByteArray validReply(QRandomGenerator &rng)
{
    KxSettingsReply r;
    r.prefix = rng.bounded(2) ? '@' : '#';
    const int n = rng.bounded(1, 6);
    for (int i = 0; i < n; ++i) {
        KxTagInfo t;
        t.code = QStringLiteral("C%1").arg(rng.bounded(99999), 5, 10, QLatin1Char('0'));
        t.result = rng.bounded(2) ? 6 : 21;
        t.subTags.append({QString(), t.result, randomBytes(rng, rng.bounded(40))});
        if (rng.bounded(3) == 0)
            t.subTags.append({"W", 6, randomBytes(rng, rng.bounded(8))});
        r.tags << t;
    }
    if (rng.bounded(4) == 0)
        r.extendData = randomBytes(rng, rng.bounded(200));
    return KxMakeSettingsReply(r);
}

QByteArray validRequest(QRandomGenerator &rng)
{
    KxDataStreamMaker m;
    const int n = rng.bounded(1, 8);
    for (int i = 0; i < n; ++i)
        m.addCmd(QStringLiteral("AB%1").arg(rng.bounded(9999), 4, 10, QLatin1Char('0')),
                 QByteArray::number(rng.bounded(1000)));
    return m.toByteArray(rng.bounded(2));
}

QByteArray mutate(QRandomGenerator &rng, QByteArray b)
{
    const int edits = rng.bounded(1, 5);
    for (int e = 0; e < edits && !b.isEmpty(); ++e) {
        const int at = rng.bounded(b.size());
        switch (rng.bounded(4)) {
        case 0: b[at] = char(rng.bounded(256)); break;
        case 1: b.remove(at, rng.bounded(1, 4)); break;
        case 2: b.insert(at, randomBytes(rng, rng.bounded(1, 4))); break;
        case 3: b.truncate(at); break;
        }
    }
    return b;
}

}  // namespace

class TestProtocolFuzz : public QObject
{
    Q_OBJECT
private slots:
    void parsersSurviveMutations();
    void mutatedRepliesNeverParseAsTheOriginal();
    void reassemblersSurviveRandomStreams();
};

void TestProtocolFuzz::parsersSurviveMutations()
{
    QRandomGenerator rng(20240611);
    int accepted = 0;
    for (int i = 0; i < 6000; ++i) {
        QByteArray input;
        switch (i % 4) {
        case 0: input = mutate(rng, validReply(rng)); break;
        case 1: input = mutate(rng, validRequest(rng)); break;
        case 2: input = randomBytes(rng, rng.bounded(64)); break;
        case 3: input = QByteArray("\x7E", 1) + randomBytes(rng, rng.bounded(40)); break;
        }
        KxDataStreamParser parser(input);
        QList<QString> failed;
        parser.checkAllCmdAck(failed);
        parser.getTagMap(true);
        KxDataStreamParser bare(input, DataType_Payload);
        KxSettingsRequest req;
        if (KxParseSettingsRequest(input, &req))
            ++accepted;
        KxParseBinarySettingsRequest(input, &req);
        KxDiscovery::Datagram d;
        KxDiscovery::decode("KXDISC\x01\x02\0\0\0\x01" + input, &d);
        QByteArray value;
        KxGetDataStreamResult(input, "C00001", value);
    }
    // Mutated requests that still parse exist (a changed value digit), so the parser was
    // exercised on both paths.
    QVERIFY(accepted > 0);
}

void TestProtocolFuzz::mutatedRepliesNeverParseAsTheOriginal()
{
    QRandomGenerator rng(77);
    int rejected = 0;
    for (int i = 0; i < 3000; ++i) {
        const QByteArray good = validReply(rng);
        const QByteArray bad = mutate(rng, good);
        if (bad == good)
            continue;
        KxDataStreamParser parser(bad);
        // A frame that passes the envelope check after a mutation would have to beat the CRC.
        if (!parser.isValid())
            ++rejected;
        else
            QVERIFY(KxDataStreamParser(good).tags() != parser.tags() || bad.size() != good.size());
    }
    QVERIFY(rejected > 2900);
}

void TestProtocolFuzz::reassemblersSurviveRandomStreams()
{
    QRandomGenerator rng(4242);
    for (int round = 0; round < 300; ++round) {
        QByteArray stream;
        QList<QByteArray> goodReplies;
        for (int k = 0; k < 10; ++k) {
            const int what = rng.bounded(5);
            if (what == 3) {
                stream += validRequest(rng);
            } else if (what == 4) {
                stream += mutate(rng, validRequest(rng));
            } else if (what == 0) {
                const QByteArray r = validReply(rng);
                goodReplies << r;
                stream += r;
            } else if (what == 1) {
                stream += mutate(rng, validReply(rng));
            } else {
                stream += randomBytes(rng, rng.bounded(30));
            }
        }
        for (auto side : {KxFrameAssembler::Side::Client, KxFrameAssembler::Side::Reader}) {
            KxFrameAssembler a(side);
            int frames = 0;
            qint64 framed = 0;
            for (int i = 0; i < stream.size();) {
                const int n = rng.bounded(1, 50);
                a.append(stream.mid(i, n));
                i += n;
                KxFrameAssembler::Frame f;
                while (a.next(&f)) {
                    ++frames;
                    framed += f.bytes.size();
                    QVERIFY(frames <= stream.size());
                    QVERIFY(!f.bytes.isEmpty());
                    if (f.type == KxFrameAssembler::FrameType::Binary)
                        QVERIFY(KxFrame::decode(f.bytes, nullptr, nullptr));
                    if (f.type == KxFrameAssembler::FrameType::TextRequest)
                        QVERIFY(f.bytes.startsWith("\x7E\x01" "0000") && f.bytes.endsWith(";\x03"));
                    // Only a reader reports broken requests, always with a reason.
                    if (f.type == KxFrameAssembler::FrameType::Malformed) {
                        QVERIFY(side == KxFrameAssembler::Side::Reader);
                        QVERIFY(f.error && f.bytes.startsWith("\x7E\x01"));
                    }
                }
            }
            // Every byte is a frame's, dropped, or still waiting for the rest of a frame.
            QCOMPARE(framed + a.discardedBytes() + a.buffered(), qint64(stream.size()));
        }
    }
}

QTEST_GUILESS_MAIN(TestProtocolFuzz)
#include "tst_protocol_fuzz.moc"
