#include "KxDataStreamMaker.h"

#include "KxBinaryFrame.h"
#include "KxDataStreamParser.h"

namespace {

const QByteArray kTextHead = QByteArray("\x7E\x01" "0000", 6);

// Bytes that may not appear anywhere in a text request.
bool isFrameSafe(const QByteArray &text)
{
    for (char c : text) {
        const auto u = uchar(c);
        if (u < 0x20 || u == 0x7E || u == 0x7F)
            return false;
    }
    return true;
}

// Bytes that may not appear in one item's value.
bool isValueSafe(const QByteArray &value)
{
    return isFrameSafe(value) && !value.contains(';') && !value.contains(',');
}

}  // namespace

QByteArray KxMakeDataStreamCmd(const QByteArray &payload, EDataProtocol protocol, bool appendTail)
{
    if (protocol == DataProtocol_Vision) {
        if (payload.size() < 6 || !KxProtocol::isValidCode(payload.left(6)))
            return QByteArray();
        return KxFrame::encode(KxFrame::VisionCall, payload);
    }
    if (protocol != DataProtocol_Settings || payload.isEmpty())
        return QByteArray();
    QByteArray text = payload;
    if (text[0] != '@' && text[0] != '#')
        text.prepend('@');
    if (text.size() < 2)
        return QByteArray();
    if (isFrameSafe(text)) {
        if (text.size() + 8 > KxProtocol::MaxTextRequest)
            return QByteArray();
        QByteArray frame = kTextHead + text;
        if (appendTail) {
            if (!frame.endsWith(';'))
                frame.append(';');
            frame.append(KxFrame::Tail);
        }
        return frame;
    }
    // One item with a value that only a binary request can carry.
    const QByteArray code = text.mid(1, 6);
    if (!KxProtocol::isValidCode(code))
        return QByteArray();
    return KxMakeBinarySettingsRequest({{QString::fromLatin1(code), text.mid(7)}}, text[0] == '@');
}

QByteArray KxMakeBinarySettingsRequest(const QList<QPair<QString, QByteArray>> &items,
                                       bool permanent)
{
    if (items.isEmpty() || items.size() > KxProtocol::MaxItems)
        return QByteArray();
    KxSettingsReply request;
    request.prefix = permanent ? '@' : '#';
    qint64 size = 0;
    for (const auto &item : items) {
        if (!KxProtocol::isValidCode(item.first))
            return QByteArray();
        size += 16 + item.second.size();
        if (size > qint64(KxProtocol::MaxPayload) - 16)
            return QByteArray();
        KxTagInfo t;
        t.code = item.first;
        t.result = 0;  // a request carries no status
        t.subTags.append({QString(), 0, item.second});
        request.tags.append(t);
    }
    return KxFrame::encode(KxFrame::BinaryRequest, KxEncodeSettingsReply(request));
}

KxDataStreamMaker::KxDataStreamMaker(EDataProtocol protocol) : m_protocol(protocol) {}

bool KxDataStreamMaker::addCmd(const QString &code, const QByteArray &value, bool hexEncode)
{
    if (!KxProtocol::isValidCode(code))
        return false;
    const QByteArray v = hexEncode ? value.toHex().toUpper() : value;
    if (m_protocol == DataProtocol_Vision) {
        if (!m_items.isEmpty() || quint32(v.size()) > KxProtocol::MaxPayload - 6)
            return false;
    } else {
        if (!isValueSafe(v))
            return false;
        // Upper bound of the frame: head, prefix, tail and each item with its separator.
        if (10 + m_textSize + 7 + v.size() > KxProtocol::MaxTextRequest)
            return false;
        m_textSize += 7 + v.size();
    }
    m_items.append({code, v});
    return true;
}

QStringList KxDataStreamMaker::codes() const
{
    QStringList out;
    for (const Item &i : m_items)
        out.append(i.code);
    return out;
}

QByteArray KxDataStreamMaker::textFrame(char prefix, const QByteArray &body)
{
    QByteArray frame = kTextHead;
    frame.append(prefix);
    frame.append(body);
    frame.append(';');
    frame.append(KxFrame::Tail);
    return frame;
}

QByteArray KxDataStreamMaker::toByteArray(bool permanent) const
{
    if (m_items.isEmpty())
        return QByteArray();
    if (m_protocol == DataProtocol_Vision)
        return KxFrame::encode(KxFrame::VisionCall, m_items[0].code.toLatin1() + m_items[0].value);
    const QByteArrayList frames = toByteArrays(permanent, KxProtocol::MaxTextRequest);
    return frames.isEmpty() ? QByteArray() : frames.first();
}

QByteArrayList KxDataStreamMaker::toByteArrays(bool permanent, int maxBody) const
{
    QByteArrayList frames;
    if (m_protocol == DataProtocol_Vision) {
        const QByteArray one = toByteArray(permanent);
        if (!one.isEmpty())
            frames.append(one);
        return frames;
    }
    const char prefix = permanent ? '@' : '#';
    QByteArray body;
    QByteArray previous;
    for (const Item &i : m_items) {
        const QByteArray item = i.code.toLatin1() + i.value;
        QByteArray piece;
        if (body.isEmpty())
            piece = item;
        else if (item.left(3) == previous.left(3))
            piece = ',' + item.mid(3);
        else
            piece = ';' + item;
        if (!body.isEmpty() && body.size() + piece.size() > maxBody) {
            frames.append(textFrame(prefix, body));
            body = item;
        } else {
            body.append(piece);
        }
        previous = item;
    }
    if (!body.isEmpty())
        frames.append(textFrame(prefix, body));
    return frames;
}
