#include "KxLinkFrames.h"

#include "KxBinaryFrame.h"

#include <QtEndian>

namespace KxLink {

QByteArray makeRoleRequest(quint8 role)
{
    return KxFrame::encode(KxFrame::RoleRequest, QByteArray(1, char(role)));
}

bool parseRoleRequest(const QByteArray &payload, quint8 *role)
{
    if (payload.size() != 1 || quint8(payload[0]) > Role_Log)
        return false;
    *role = quint8(payload[0]);
    return true;
}

QByteArray makeRoleReply(int status, const QByteArray &infoJson)
{
    return KxFrame::encode(KxFrame::RoleReply, char(quint8(status)) + infoJson);
}

bool parseRoleReply(const QByteArray &payload, int *status, QByteArray *infoJson)
{
    if (payload.isEmpty())
        return false;
    *status = quint8(payload[0]);
    *infoJson = payload.mid(1);
    return true;
}

QByteArray makeKeepAlive(quint32 intervalMs)
{
    uchar b[4];
    qToBigEndian(intervalMs, b);
    return KxFrame::encode(KxFrame::KeepAlive, QByteArray(reinterpret_cast<const char *>(b), 4));
}

bool parseKeepAlive(const QByteArray &payload, quint32 *intervalMs)
{
    if (payload.size() != 4)
        return false;
    *intervalMs = qFromBigEndian<quint32>(payload.constData());
    return true;
}

QByteArray makeKeepAliveReply()
{
    return KxFrame::encode(KxFrame::KeepAliveReply, QByteArray());
}

}  // namespace KxLink

namespace KxKestor {

QByteArray make(quint16 type, const QByteArray &payload)
{
    QByteArray out("KESTOR");
    uchar b[6];
    qToBigEndian(type, b);
    qToBigEndian(quint32(payload.size()), b + 2);
    out.append(reinterpret_cast<const char *>(b), 6);
    out.append(payload);
    return out;
}

bool parse(const QByteArray &frame, quint16 *type, QByteArray *payload)
{
    if (frame.size() < HeaderSize || !frame.startsWith("KESTOR"))
        return false;
    const quint32 len = qFromBigEndian<quint32>(frame.constData() + 8);
    if (qint64(len) + HeaderSize != frame.size())
        return false;
    *type = qFromBigEndian<quint16>(frame.constData() + 6);
    *payload = frame.mid(HeaderSize);
    return true;
}

QByteArray makeLogLine(int level, const QString &text)
{
    return "Log Lvl=" + QByteArray::number(level) + ";Log Data=" + text.toUtf8();
}

}  // namespace KxKestor
