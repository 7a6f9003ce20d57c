// Payload layout of settings replies (and of binary settings requests, which share it).
#include "KxDataStreamParser.h"

#include <QtEndian>

namespace {

class Reader
{
public:
    explicit Reader(const QByteArray &data) : m_data(data) {}
    bool u8(quint8 *v)
    {
        if (left() < 1)
            return false;
        *v = quint8(m_data[m_pos++]);
        return true;
    }
    bool u16(quint16 *v)
    {
        if (left() < 2)
            return false;
        *v = qFromBigEndian<quint16>(m_data.constData() + m_pos);
        m_pos += 2;
        return true;
    }
    bool u32(quint32 *v)
    {
        if (left() < 4)
            return false;
        *v = qFromBigEndian<quint32>(m_data.constData() + m_pos);
        m_pos += 4;
        return true;
    }
    bool bytes(quint32 n, QByteArray *out)
    {
        if (quint32(left()) < n)
            return false;
        *out = m_data.mid(m_pos, int(n));
        m_pos += int(n);
        return true;
    }
    // The next n bytes in place (valid while the data lives), or null when fewer are left.
    const char *view(int n)
    {
        if (left() < n)
            return nullptr;
        const char *p = m_data.constData() + m_pos;
        m_pos += n;
        return p;
    }
    int left() const { return m_data.size() - m_pos; }

private:
    const QByteArray &m_data;
    int m_pos = 0;
};

void putU16(QByteArray &out, quint16 v)
{
    uchar b[2];
    qToBigEndian(v, b);
    out.append(reinterpret_cast<const char *>(b), 2);
}

void putU32(QByteArray &out, quint32 v)
{
    uchar b[4];
    qToBigEndian(v, b);
    out.append(reinterpret_cast<const char *>(b), 4);
}

bool isTagName(const char *name, int size)
{
    for (int i = 0; i < size; ++i) {
        const char c = name[i];
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')))
            return false;
    }
    return true;
}

bool isCode(const char *code)
{
    for (int i = 0; i < 6; ++i) {
        if (!((code[i] >= 'A' && code[i] <= 'Z') || (code[i] >= '0' && code[i] <= '9')))
            return false;
    }
    return true;
}

}  // namespace

namespace {

// Latin-1 text cut or padded to width (no width: as long as it is), without temporaries.
void putLatin1(QByteArray &out, const QString &text, int width, int maxSize)
{
    const int n = qMin(text.size(), maxSize);
    const QChar *c = text.constData();
    for (int i = 0; i < n; ++i)
        out.append(char(c[i].unicode() < 256 ? c[i].unicode() : '?'));
    for (int i = n; i < width; ++i)
        out.append(' ');
}

}  // namespace

QByteArray KxEncodeSettingsReply(const KxSettingsReply &reply)
{
    const int count = qMin(reply.tags.size(), KxProtocol::MaxItems);
    // One allocation for the whole payload: a full list has a thousand items.
    qsizetype size = 3 + 8 + reply.extendData.size() + reply.extendInfo.size();
    for (int i = 0; i < count; ++i) {
        size += 9;
        for (const KxSubTag &st : reply.tags[i].subTags)
            size += 6 + qMin(st.tag.size(), int(KxProtocol::MaxSubTagName)) + st.value.size();
    }
    QByteArray out;
    out.reserve(int(size));
    out.append(reply.prefix);
    putU16(out, quint16(count));
    for (int i = 0; i < count; ++i) {
        const KxTagInfo &t = reply.tags[i];
        putLatin1(out, t.code, 6, 6);
        out.append(char(quint8(t.result)));
        const int subs = qMin(t.subTags.size(), 65535);
        putU16(out, quint16(subs));
        for (int s = 0; s < subs; ++s) {
            const KxSubTag &st = t.subTags[s];
            const int nameSize = qMin(st.tag.size(), int(KxProtocol::MaxSubTagName));
            out.append(char(nameSize));
            putLatin1(out, st.tag, 0, nameSize);
            out.append(char(quint8(st.result)));
            putU32(out, quint32(st.value.size()));
            out.append(st.value);
        }
    }
    putU32(out, quint32(reply.extendData.size()));
    out.append(reply.extendData);
    putU32(out, quint32(reply.extendInfo.size()));
    out.append(reply.extendInfo);
    return out;
}

bool KxDecodeSettingsReply(const QByteArray &payload, KxSettingsReply *reply, QString *error)
{
    auto fail = [error](const char *why) {
        if (error)
            *error = QString::fromLatin1(why);
        return false;
    };
    Reader r(payload);
    KxSettingsReply out;
    quint8 prefix = 0;
    quint16 count = 0;
    if (!r.u8(&prefix) || !r.u16(&count))
        return fail("reply header truncated");
    if (prefix != '@' && prefix != '#')
        return fail("bad reply prefix");
    out.prefix = char(prefix);
    // Each item needs at least 9 bytes: a count beyond what is left is a lie, not a wait.
    if (int(count) * 9 > r.left())
        return fail("item count exceeds the payload");
    out.tags.reserve(count);
    // Items are decoded in place, without temporary copies of codes and names.
    for (int i = 0; i < count; ++i) {
        quint8 status = 0;
        quint16 subs = 0;
        const char *code = r.view(6);
        if (!code || !r.u8(&status) || !r.u16(&subs))
            return fail("item truncated");
        if (!isCode(code))
            return fail("bad command code in reply");
        if (int(subs) * 6 > r.left())
            return fail("sub-tag count exceeds the payload");
        out.tags.append(KxTagInfo());
        KxTagInfo &tag = out.tags.last();
        tag.code = QString::fromLatin1(code, 6);
        tag.result = status;
        tag.subTags.reserve(subs);
        for (int s = 0; s < subs; ++s) {
            quint8 nameLen = 0;
            quint8 subStatus = 0;
            quint32 len = 0;
            const char *name = nullptr;
            if (!r.u8(&nameLen) || nameLen > KxProtocol::MaxSubTagName
                || !(name = r.view(nameLen)) || !r.u8(&subStatus) || !r.u32(&len))
                return fail("sub-tag truncated");
            if (!isTagName(name, nameLen))
                return fail("bad sub-tag name");
            KxSubTag st;
            if (!r.bytes(len, &st.value))
                return fail("sub-tag truncated");
            if (nameLen > 0)
                st.tag = QString::fromLatin1(name, nameLen);
            st.result = subStatus;
            tag.subTags.append(std::move(st));
        }
    }
    quint32 len = 0;
    if (!r.u32(&len) || !r.bytes(len, &out.extendData) || !r.u32(&len)
        || !r.bytes(len, &out.extendInfo))
        return fail("extend data truncated");
    if (r.left() != 0)
        return fail("trailing bytes after the reply");
    if (reply)
        *reply = out;
    return true;
}
