#include "KxRequestParser.h"

#include "KxBinaryFrame.h"
#include "KxDataStreamParser.h"

namespace {

bool fail(QString *error, const char *why)
{
    if (error)
        *error = QString::fromLatin1(why);
    return false;
}

char queryOf(const QByteArray &value)
{
    if (value.size() == 1 && (value[0] == '*' || value[0] == '^' || value[0] == '&'))
        return value[0];
    return 0;
}

}  // namespace

bool KxParseSettingsRequest(const QByteArray &frame, KxSettingsRequest *request, QString *error)
{
    if (frame.size() < 10 || frame.size() > KxProtocol::MaxTextRequest)
        return fail(error, "request size out of bounds");
    if (!frame.startsWith(QByteArray("\x7E\x01" "0000", 6)))
        return fail(error, "not a settings request");
    if (!frame.endsWith(QByteArray(";\x03", 2)))
        return fail(error, "request not terminated");
    KxSettingsRequest out;
    out.prefix = frame[6];
    if (out.prefix != '@' && out.prefix != '#')
        return fail(error, "request prefix must be @ or #");
    const QByteArray body = frame.mid(7, frame.size() - 9);
    for (char c : body) {
        const auto u = uchar(c);
        if (u < 0x20 || u == 0x7E || u == 0x7F)
            return fail(error, "control byte in request");
    }
    if (body.size() == 1 && queryOf(body)) {
        out.allQuery = body[0];
        *request = out;
        return true;
    }
    if (body.isEmpty())
        return fail(error, "empty request");
    for (const QByteArray &segment : body.split(';')) {
        QByteArray previous;
        const QList<QByteArray> parts = segment.split(',');
        for (int i = 0; i < parts.size(); ++i) {
            QByteArray item = parts[i];
            if (i > 0)
                item = previous.left(3) + item;
            if (item.size() < 6 || !KxProtocol::isValidCode(item.left(6)))
                return fail(error, "bad command code in request");
            KxRequestItem r;
            r.code = QString::fromLatin1(item.left(6));
            r.value = item.mid(6);
            r.query = queryOf(r.value);
            if (r.query)
                r.value.clear();
            r.hasValue = !r.query && !r.value.isEmpty();
            out.items.append(r);
            if (out.items.size() > KxProtocol::MaxItems)
                return fail(error, "too many items");
            previous = item;
        }
    }
    *request = out;
    return true;
}

bool KxParseBinarySettingsRequest(const QByteArray &payload, KxSettingsRequest *request,
                                  QString *error)
{
    KxSettingsReply decoded;
    if (!KxDecodeSettingsReply(payload, &decoded, error))
        return false;
    if (decoded.tags.isEmpty())
        return fail(error, "empty request");
    KxSettingsRequest out;
    out.prefix = decoded.prefix;
    for (const KxTagInfo &t : decoded.tags) {
        KxRequestItem r;
        r.code = t.code;
        r.value = t.value();
        r.query = queryOf(r.value);
        if (r.query)
            r.value.clear();
        // An item without a main value asks, as an empty text item does.
        r.hasValue = !r.query && t.subTag(QString()) != nullptr;
        out.items.append(r);
    }
    *request = out;
    return true;
}

bool KxParseVisionCall(const QByteArray &payload, QString *code, QByteArray *json, QString *error)
{
    if (payload.size() < 6 || !KxProtocol::isValidCode(payload.left(6)))
        return fail(error, "vision call without a code");
    *code = QString::fromLatin1(payload.left(6));
    *json = payload.mid(6);
    if (json->isEmpty())
        *json = "{}";
    return true;
}

QByteArray KxMakeSettingsReply(const KxSettingsReply &reply)
{
    return KxFrame::encode(KxFrame::SettingsReply, KxEncodeSettingsReply(reply));
}

QByteArray KxMakeVisionReply(const QString &code, int result, const QByteArray &json)
{
    QByteArray payload = code.toLatin1().leftJustified(6, ' ', true);
    payload.append(char(quint8(result)));
    payload.append(json);
    return KxFrame::encode(KxFrame::VisionReply, payload);
}

QByteArray KxMakeRejectedReply(const QString &reason)
{
    return KxFrame::encode(KxFrame::Rejected, reason.toUtf8().left(1024));
}
