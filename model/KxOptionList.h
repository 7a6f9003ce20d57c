#pragma once
// The inline option list ("0:Off|1:On|5-8") and the Limit value ("1|3-5_...") of an item.
#include "KxFeatureInfo.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace KxOptionList {

// Upper bound on the options one numeric range piece may produce, so a typo such as
// "0-4294967295" cannot exhaust memory.
constexpr int MaxRangeOptions = 65536;

// Splits at "|", skipping empty pieces. "k:t" gives key k and text t (trimmed); "a-b" with two
// decimal numbers gives every number from a to b (nothing when a > b); anything else is one
// option whose key and text are the trimmed piece. Problems (reversed or oversized ranges) are
// appended to `problems` as readable text.
QList<KxFeatureInfo> parseInline(const QString &text, QStringList *problems = nullptr);

} // namespace KxOptionList

// The allowed values of an item: single values and inclusive numeric ranges.
struct KxLimit
{
    struct Range
    {
        qint64 low = 0;
        qint64 high = 0;
    };
    QList<Range> ranges;
    QStringList literals;     // non-numeric single values, matched exactly
    QList<QStringList> extra; // the part after "_": pieces split at "|", each split at ":"

    static KxLimit parse(const QString &text, QStringList *problems = nullptr);

    bool isEmpty() const { return ranges.isEmpty() && literals.isEmpty(); }
    bool allows(const QString &key) const;
    bool allowsNumber(qint64 n) const;
    // Smallest and largest allowed number; false when there are no numeric ranges.
    bool bounds(qint64 *low, qint64 *high) const;
};
