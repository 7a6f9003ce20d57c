#include "KxDataStreamValue.h"

#include <limits>

namespace {

// Reads an optionally signed decimal number at text[*pos]; at most 18 digits.
bool readNumber(const QByteArray &text, int *pos, qint64 *value)
{
    int i = *pos;
    bool negative = false;
    if (i < text.size() && text[i] == '-') {
        negative = true;
        ++i;
    }
    const int start = i;
    qint64 v = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        if (i - start >= 18)
            return false;
        v = v * 10 + (text[i] - '0');
        ++i;
    }
    if (i == start)
        return false;
    *value = negative ? -v : v;
    *pos = i;
    return true;
}

}  // namespace

bool KxParseDataStreamValue(const QByteArray &text, QList<KxRange> &out)
{
    out.clear();
    const QByteArray t = text.trimmed();
    if (t.isEmpty())
        return false;
    for (const QByteArray &part : t.split(',')) {
        int pos = 0;
        KxRange r;
        if (!readNumber(part, &pos, &r.low))
            return out.clear(), false;
        r.high = r.low;
        if (pos < part.size()) {
            if (part[pos] != '-')
                return out.clear(), false;
            ++pos;
            if (!readNumber(part, &pos, &r.high) || r.high < r.low)
                return out.clear(), false;
        }
        if (pos != part.size())
            return out.clear(), false;
        out.append(r);
    }
    return true;
}

bool KxParseRangesToInt(const QByteArray &text, QList<int> &out, int maxCount)
{
    out.clear();
    QList<KxRange> ranges;
    if (!KxParseDataStreamValue(text, ranges))
        return false;
    qint64 total = 0;
    for (const KxRange &r : ranges) {
        if (r.low < std::numeric_limits<int>::min() || r.high > std::numeric_limits<int>::max())
            return false;
        total += r.high - r.low + 1;
        if (total > maxCount)
            return false;
    }
    for (const KxRange &r : ranges) {
        for (qint64 v = r.low; v <= r.high; ++v)
            out.append(int(v));
    }
    return !out.isEmpty();
}

bool KxRangesContain(const QList<KxRange> &ranges, qint64 value)
{
    for (const KxRange &r : ranges) {
        if (value >= r.low && value <= r.high)
            return true;
    }
    return false;
}

QList<QPair<QString, QByteArray>> KxSplitLetterTags(const QByteArray &value, bool hex)
{
    auto isTagLetter = [hex](char c) {
        if (hex)
            return (c >= 'g' && c <= 'z') || (c >= 'G' && c <= 'Z');
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    };
    QList<QPair<QString, QByteArray>> out;
    QByteArray pending;
    QString tag;
    for (int i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (isTagLetter(c)) {
            tag.append(QLatin1Char(c));
            const bool runEnds = i + 1 == value.size() || !isTagLetter(value[i + 1]);
            if (runEnds) {
                out.append({tag, pending});
                tag.clear();
                pending.clear();
            }
        } else {
            pending.append(c);
        }
    }
    if (!pending.isEmpty())
        out.append({QString(), pending});
    return out;
}
