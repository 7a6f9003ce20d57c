#pragma once
// The read counters of a reader ("DBGCNT": N reads, M good reads, T ms spent decoding) and the
// figures shown for them.
#include <QByteArray>
#include <QString>

struct StatisticsCounts
{
    qint64 total = 0;    // N
    qint64 success = 0;  // M
    qint64 timeMs = 0;   // T
};

struct StatisticsFigures
{
    QString total;
    QString success;
    QString rate;     // "99.99%"
    QString average;  // ms per good read, "12.50"

    // "total,success,rate,average": one history record.
    QString record() const;
};

namespace StatisticsCounters {
// Reads "123N120M4500T". False unless N, M and T are all there and numeric.
bool parseValue(const QByteArray &value, StatisticsCounts *out);
// Reads a whole reply frame to "@DBGCNT": every item must be acknowledged.
bool parseReply(const QByteArray &reply, StatisticsCounts *out);
StatisticsFigures figures(const StatisticsCounts &c);
}  // namespace StatisticsCounters
