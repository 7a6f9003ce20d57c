#include "KxSplit.h"

#include "KxDataStreamValue.h"

KxSplit::KxSplit(const QByteArray &value, bool hex)
{
    for (const auto &p : KxSplitLetterTags(value, hex))
        m_values.insert(p.first, p.second);
}

bool KxSplit::toInt(const QString &tag, qint64 &out) const
{
    if (!m_values.contains(tag))
        return false;
    bool ok = false;
    const qint64 v = m_values.value(tag).trimmed().toLongLong(&ok);
    if (ok)
        out = v;
    return ok;
}

bool KxSplit::toRanges(const QString &tag, QList<int> &out) const
{
    out.clear();
    if (!m_values.contains(tag))
        return false;
    QList<KxRange> ranges;
    if (!KxParseDataStreamValue(m_values.value(tag), ranges))
        return false;
    return KxParseRangesToInt(m_values.value(tag), out) && !out.isEmpty();
}
