#include "KxBinaryFrame.h"

#include "KxCrcFold.h"
#include "KxDataStreamTypes.h"

#include <QtEndian>

namespace KxFrame {

bool isKnownBinaryKind(quint8 kind)
{
    switch (kind) {
    case BinaryRequest: case VisionCall: case KeepAlive: case RoleRequest: case FirmwareStep:
    case ImageStep: case SettingsReply: case VisionReply: case KeepAliveReply: case RoleReply:
    case FirmwareReply: case ImageReply: case Rejected:
        return true;
    default:
        return false;
    }
}

namespace {
// CRC-16/X.25 (reflected 0x8408, init and final xor 0xFFFF), eight bytes per step: every reply
// is summed at least once on each side, and a bit- or nibble-wise loop was most of a sync's cost.
struct CrcTables
{
    quint16 t[8][256];
    CrcTables()
    {
        for (int b = 0; b < 256; ++b) {
            quint16 c = quint16(b);
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? quint16((c >> 1) ^ 0x8408) : quint16(c >> 1);
            t[0][b] = c;
        }
        for (int k = 1; k < 8; ++k)
            for (int b = 0; b < 256; ++b)
                t[k][b] = quint16((t[k - 1][b] >> 8) ^ t[0][t[k - 1][b] & 0xFF]);
    }
};
const CrcTables &crcTables()
{
    static const CrcTables tables;
    return tables;
}
}  // namespace

quint16 crc(const char *data, int size)
{
    const auto &t = crcTables().t;
    const auto *p = reinterpret_cast<const uchar *>(data);
    quint16 c = 0xFFFF;
    static const KxCrcFold::Poly poly(16, 0x1021);
    uchar folded[16];
    if (const qsizetype n = size >= 256 ? KxCrcFold::fold(poly, c, data, size, folded) : 0) {
        c = 0;  // the fold took the initial value; the tables finish from its 16 bytes
        for (int i = 0; i < 16; ++i)
            c = quint16((c >> 8) ^ t[0][(c ^ folded[i]) & 0xFF]);
        p += n;
        size -= int(n);
    }
    for (; size >= 8; size -= 8, p += 8) {
        c = quint16(t[7][(p[0] ^ c) & 0xFF] ^ t[6][p[1] ^ (c >> 8)] ^ t[5][p[2]] ^ t[4][p[3]]
                    ^ t[3][p[4]] ^ t[2][p[5]] ^ t[1][p[6]] ^ t[0][p[7]]);
    }
    for (; size > 0; --size, ++p)
        c = quint16((c >> 8) ^ t[0][(c ^ *p) & 0xFF]);
    return quint16(~c);
}

QByteArray encode(quint8 kind, const QByteArray &payload)
{
    if (quint32(payload.size()) > KxProtocol::MaxPayload || !isKnownBinaryKind(kind))
        return QByteArray();
    QByteArray out;
    out.reserve(payload.size() + EnvelopeSize);
    out.append(Head);
    out.append(char(kind));
    uchar len[4];
    qToBigEndian<quint32>(quint32(payload.size()), len);
    out.append(reinterpret_cast<const char *>(len), 4);
    out.append(payload);
    uchar sum[2];
    qToBigEndian<quint16>(crc(out.constData() + 1, out.size() - 1), sum);
    out.append(reinterpret_cast<const char *>(sum), 2);
    out.append(Tail);
    return out;
}

bool decode(const QByteArray &frame, quint8 *kind, QByteArray *payload, QString *error)
{
    auto fail = [error](const char *why) {
        if (error)
            *error = QString::fromLatin1(why);
        return false;
    };
    if (frame.size() < EnvelopeSize)
        return fail("frame too short");
    const auto *p = reinterpret_cast<const uchar *>(frame.constData());
    if (p[0] != uchar(Head))
        return fail("no frame head");
    if (!isKnownBinaryKind(p[1]))
        return fail("unknown frame kind");
    const quint32 len = qFromBigEndian<quint32>(p + 2);
    if (len > KxProtocol::MaxPayload || qint64(len) + EnvelopeSize != frame.size())
        return fail("frame length does not match");
    if (p[frame.size() - 1] != uchar(Tail))
        return fail("no frame tail");
    const quint16 sum = qFromBigEndian<quint16>(p + 6 + len);
    if (sum != crc(frame.constData() + 1, int(len) + 5))
        return fail("checksum mismatch");
    if (kind)
        *kind = p[1];
    if (payload)
        *payload = frame.mid(6, int(len));
    return true;
}

}  // namespace KxFrame
