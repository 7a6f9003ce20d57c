#include "KxBinaryFrame.h"

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

quint16 crc(const char *data, int size)
{
    return qChecksum(data, uint(size));  // CRC-16/X.25
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
