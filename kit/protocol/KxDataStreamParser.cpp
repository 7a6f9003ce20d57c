#include "KxDataStreamParser.h"

#include "KxBinaryFrame.h"

KxDataStreamParser::KxDataStreamParser(const QByteArray &reply, int dataType)
{
    if (dataType == DataType_Payload)
        setDataWithoutHeader(reply);
    else
        parseFrame(reply);
}

void KxDataStreamParser::fail(const QString &why)
{
    m_valid = false;
    m_error = why;
    m_reply = KxSettingsReply();
}

bool KxDataStreamParser::parseFrame(const QByteArray &frame)
{
    quint8 kind = 0;
    QByteArray payload;
    QString error;
    if (!KxFrame::decode(frame, &kind, &payload, &error)) {
        fail(error);
        return false;
    }
    m_payload = payload;
    switch (kind) {
    case KxFrame::SettingsReply:
        m_protocol = DataProtocol_Settings;
        return setDataWithoutHeader(payload);
    case KxFrame::VisionReply:
        m_protocol = DataProtocol_Vision;
        if (payload.size() < 7 || !KxProtocol::isValidCode(payload.left(6))) {
            fail(QStringLiteral("vision reply truncated"));
            return false;
        }
        m_visionCode = QString::fromLatin1(payload.left(6));
        m_visionResult = quint8(payload[6]);
        m_visionJson = payload.mid(7);
        m_valid = true;
        return true;
    case KxFrame::Rejected:
        fail(QStringLiteral("request rejected: ") + QString::fromUtf8(payload));
        return false;
    default:
        fail(QStringLiteral("not a reply frame"));
        return false;
    }
}

bool KxDataStreamParser::setDataWithoutHeader(const QByteArray &payload)
{
    m_payload = payload;
    m_protocol = DataProtocol_Settings;
    QString error;
    KxSettingsReply reply;
    if (!KxDecodeSettingsReply(payload, &reply, &error)) {
        fail(error);
        return false;
    }
    m_reply = reply;
    m_valid = true;
    m_error.clear();
    return true;
}

QMap<QString, QByteArray> KxDataStreamParser::getTagMap(bool withSubTags) const
{
    QMap<QString, QByteArray> map;
    // Readers answer in table order, mostly sorted: a key beyond the last one goes in at the
    // end in constant time instead of a search from the root.
    QString last;
    auto put = [&map, &last](const QString &key, const QByteArray &value) {
        if (map.isEmpty() || last < key) {
            map.insert(map.constEnd(), key, value);
            last = key;
        } else {
            map.insert(key, value);
        }
    };
    for (const KxTagInfo &t : m_reply.tags) {
        if (t.result != DataResult_Ack)
            continue;
        put(t.code, t.value());
        if (!withSubTags)
            continue;
        for (const KxSubTag &s : t.subTags) {
            if (!s.tag.isEmpty() && s.result == DataResult_Ack)
                put(t.code + s.tag, s.value);
        }
    }
    return map;
}

QList<KxSubTag> KxDataStreamParser::getSubTagDatas(const QString &code) const
{
    QList<KxSubTag> out;
    for (const KxTagInfo &t : m_reply.tags) {
        if (t.code != code)
            continue;
        for (const KxSubTag &s : t.subTags) {
            if (!s.tag.isEmpty())
                out.append(s);
        }
    }
    return out;
}

int KxDataStreamParser::getSubTagData(const QString &code, const QString &tag,
                                      QByteArray &value) const
{
    value.clear();
    if (!m_valid)
        return DataResult_Invalid;
    for (const KxTagInfo &t : m_reply.tags) {
        if (t.code != code)
            continue;
        if (t.result != DataResult_Ack)
            return t.result;
        const KxSubTag *s = t.subTag(tag);
        if (!s)
            return DataResult_NotFound;
        value = s->value;
        return s->result;
    }
    return DataResult_NotFound;
}

bool KxDataStreamParser::checkAllCmdAck(QList<QString> &failed) const
{
    failed.clear();
    if (!m_valid || m_protocol != DataProtocol_Settings)
        return false;
    for (const KxTagInfo &t : m_reply.tags) {
        bool ok = t.result == DataResult_Ack;
        for (const KxSubTag &s : t.subTags)
            ok = ok && s.result == DataResult_Ack;
        if (!ok && !failed.contains(t.code))
            failed.append(t.code);
    }
    return failed.isEmpty() && !m_reply.tags.isEmpty();
}

int KxGetDataStreamResult(const QByteArray &reply, const QString &code, QByteArray &value,
                          QByteArray *extend, EDataProtocol protocol)
{
    value.clear();
    if (extend)
        extend->clear();
    const KxDataStreamParser parser(reply);
    if (!parser.isValid() || parser.protocol() != protocol)
        return DataResult_Invalid;
    if (protocol == DataProtocol_Vision) {
        if (!code.isEmpty() && parser.visionCode() != code)
            return DataResult_NotFound;
        value = parser.visionJson();
        return parser.visionResult();
    }
    if (extend)
        *extend = parser.extendData();
    return parser.getSubTagData(code, QString(), value);
}

bool KxCheckDataStreamCmd(const QByteArray &reply, const QString &code)
{
    QByteArray value;
    return KxGetDataStreamResult(reply, code, value) == DataResult_Ack;
}

bool KxGetDataStreamExtendData(const QByteArray &reply, QByteArray &data, QByteArray &info)
{
    const KxDataStreamParser parser(reply);
    data = parser.extendData();
    info = parser.extendInfo();
    return parser.isValid() && !data.isEmpty();
}

bool KxCompareTags(KxTagList &stored, const KxTagList &reply, QStringList &changed)
{
    const int before = changed.size();
    for (const KxTagInfo &in : reply) {
        if (in.result != DataResult_Ack)
            continue;
        KxTagInfo *target = nullptr;
        for (KxTagInfo &s : stored) {
            if (s.code == in.code) {
                target = &s;
                break;
            }
        }
        if (!target) {
            KxTagInfo fresh;
            fresh.code = in.code;
            stored.append(fresh);
            target = &stored.last();
        }
        target->result = DataResult_Ack;
        for (const KxSubTag &sub : in.subTags) {
            if (sub.result != DataResult_Ack)
                continue;
            KxSubTag *old = nullptr;
            for (KxSubTag &o : target->subTags) {
                if (o.tag == sub.tag) {
                    old = &o;
                    break;
                }
            }
            if (old && old->value == sub.value && old->result == DataResult_Ack)
                continue;
            if (old)
                *old = sub;
            else
                target->subTags.append(sub);
            const QString key = in.code + sub.tag;
            if (!changed.contains(key))
                changed.append(key);
        }
    }
    return changed.size() > before;
}
