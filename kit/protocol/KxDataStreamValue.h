#pragma once
// Reading value texts: capability lists ("0-3,5"), letter-tagged values ("1280W960H").
#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

struct KxRange
{
    qint64 low = 0;
    qint64 high = 0;
    bool operator==(const KxRange &o) const { return low == o.low && high == o.high; }
};

// Parses a list of values and ranges separated by ",": "0-3,5", "-5--1". False (and out
// cleared) for anything else, including an empty text and a range whose ends are reversed.
bool KxParseDataStreamValue(const QByteArray &text, QList<KxRange> &out);

// Expands such a list into its values, in order; false when it does not parse, is empty or
// would exceed maxCount values.
bool KxParseRangesToInt(const QByteArray &text, QList<int> &out, int maxCount = 65536);

// True when value lies in one of the ranges.
bool KxRangesContain(const QList<KxRange> &ranges, qint64 value);

// Splits "100N95M2000T" into ("N","100"), ("M","95"), ("T","2000"). In hex mode only g-z and
// G-Z count as tag letters. A trailing value without a tag is kept under "".
QList<QPair<QString, QByteArray>> KxSplitLetterTags(const QByteArray &value, bool hex = false);
