#include "KxOptionList.h"

#include <QRegularExpression>
#include <limits>

void kxRegisterDescriptionTypes()
{
    static const int id = qRegisterMetaType<KxFeatureInfo>("KxFeatureInfo");
    Q_UNUSED(id)
}

QVariantList kxToVariantList(const QList<KxFeatureInfo> &list)
{
    QVariantList out;
    out.reserve(list.size());
    for (const KxFeatureInfo &f : list)
        out.append(QVariant::fromValue(f));
    return out;
}

QList<KxFeatureInfo> kxFromVariantList(const QVariant &list)
{
    QList<KxFeatureInfo> out;
    const QVariantList vl = list.toList();
    for (const QVariant &v : vl) {
        if (v.canConvert<KxFeatureInfo>() && v.userType() == qMetaTypeId<KxFeatureInfo>())
            out.append(v.value<KxFeatureInfo>());
    }
    return out;
}

namespace KxOptionList {

namespace {

// A numeric range piece: signed low before the last "-", unsigned high after it.
bool parseRange(const QString &piece, qint64 *low, quint64 *high)
{
    const int dash = piece.lastIndexOf(QLatin1Char('-'));
    if (dash <= 0)
        return false; // "-5" is a negative value, not a range
    bool okLow = false;
    bool okHigh = false;
    *low = piece.left(dash).trimmed().toLongLong(&okLow, 10);
    *high = piece.mid(dash + 1).trimmed().toULongLong(&okHigh, 10);
    return okLow && okHigh;
}

} // namespace

QList<KxFeatureInfo> parseInline(const QString &text, QStringList *problems)
{
    QList<KxFeatureInfo> out;
    const QStringList pieces = text.split(QLatin1Char('|'), Qt::SkipEmptyParts);
    for (const QString &piece : pieces) {
        const int colon = piece.indexOf(QLatin1Char(':'));
        if (colon >= 0) {
            KxFeatureInfo f;
            f.key = piece.left(colon).trimmed();
            f.text = piece.mid(colon + 1).trimmed();
            out.append(f);
            continue;
        }
        if (piece.contains(QLatin1Char('-'))) {
            qint64 low = 0;
            quint64 high = 0;
            if (parseRange(piece, &low, &high)) {
                if (low >= 0 && quint64(low) > high) {
                    if (problems)
                        problems->append(QStringLiteral("range \"%1\" is reversed and gives no "
                                                         "options").arg(piece));
                    continue;
                }
                // Count with unsigned arithmetic: low may be negative, high may exceed qint64.
                const quint64 span = high - quint64(low);
                quint64 last = high;
                if (span >= quint64(MaxRangeOptions)) {
                    last = quint64(low) + quint64(MaxRangeOptions) - 1;
                    if (problems)
                        problems->append(QStringLiteral("range \"%1\" is cut to %2 options")
                                             .arg(piece)
                                             .arg(MaxRangeOptions));
                }
                for (quint64 n = quint64(low);; ++n) {
                    KxFeatureInfo f;
                    f.key = low < 0 ? QString::number(qint64(n)) : QString::number(n);
                    f.text = f.key;
                    out.append(f);
                    if (n == last)
                        break;
                }
                continue;
            }
            bool isNumber = false;
            piece.trimmed().toLongLong(&isNumber, 10);
            if (problems && !isNumber) // "-5" is simply a negative value
                problems->append(
                    QStringLiteral("\"%1\" is not a numeric range; taken as one value").arg(piece));
        }
        KxFeatureInfo f;
        f.key = piece.trimmed();
        f.text = f.key;
        out.append(f);
    }
    return out;
}

} // namespace KxOptionList

KxLimit KxLimit::parse(const QString &text, QStringList *problems)
{
    static const QRegularExpression rangeRe(QStringLiteral("^\\s*(-?\\d+)\\s*-\\s*(-?\\d+)\\s*$"));
    KxLimit limit;
    const int underscore = text.indexOf(QLatin1Char('_'));
    const QString first = underscore >= 0 ? text.left(underscore) : text;
    const QStringList pieces = first.split(QLatin1Char('|'), Qt::SkipEmptyParts);
    for (const QString &raw : pieces) {
        const QString piece = raw.trimmed();
        if (piece.isEmpty())
            continue;
        bool ok = false;
        const qint64 single = piece.toLongLong(&ok, 10);
        if (ok) {
            limit.ranges.append({single, single});
            continue;
        }
        const QRegularExpressionMatch m = rangeRe.match(piece);
        if (m.hasMatch()) {
            bool okA = false;
            bool okB = false;
            const qint64 a = m.captured(1).toLongLong(&okA);
            const qint64 b = m.captured(2).toLongLong(&okB);
            if (okA && okB && a <= b) {
                limit.ranges.append({a, b});
                continue;
            }
            if (problems)
                problems->append(QStringLiteral("limit range \"%1\" is reversed or too large")
                                     .arg(piece));
            continue;
        }
        limit.literals.append(piece);
    }
    if (underscore >= 0) {
        const QStringList second = text.mid(underscore + 1).split(QLatin1Char('|'));
        for (const QString &p : second)
            limit.extra.append(p.split(QLatin1Char(':')));
    }
    return limit;
}

bool KxLimit::allowsNumber(qint64 n) const
{
    for (const Range &r : ranges) {
        if (n >= r.low && n <= r.high)
            return true;
    }
    return false;
}

bool KxLimit::allows(const QString &key) const
{
    if (literals.contains(key))
        return true;
    bool ok = false;
    const qint64 n = key.trimmed().toLongLong(&ok, 10);
    return ok && allowsNumber(n);
}

bool KxLimit::bounds(qint64 *low, qint64 *high) const
{
    if (ranges.isEmpty())
        return false;
    qint64 lo = std::numeric_limits<qint64>::max();
    qint64 hi = std::numeric_limits<qint64>::min();
    for (const Range &r : ranges) {
        lo = qMin(lo, r.low);
        hi = qMax(hi, r.high);
    }
    *low = lo;
    *high = hi;
    return true;
}
