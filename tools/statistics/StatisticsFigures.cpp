#include "StatisticsFigures.h"

#include "KxDataStreamParser.h"
#include "KxDataStreamValue.h"

#include <QStringList>

QString StatisticsFigures::record() const
{
    return QStringLiteral("%1,%2,%3,%4").arg(total, success, rate, average);
}

namespace StatisticsCounters {

bool parseValue(const QByteArray &value, StatisticsCounts *out)
{
    bool haveN = false, haveM = false, haveT = false;
    StatisticsCounts c;
    for (const auto &tag : KxSplitLetterTags(value)) {
        bool ok = false;
        const qint64 v = tag.second.trimmed().toLongLong(&ok);
        if (tag.first == QLatin1String("N") || tag.first == QLatin1String("M")
            || tag.first == QLatin1String("T")) {
            // A count is never negative; a sign or junk means the reply is not a counter.
            if (!ok || v < 0 || tag.second.trimmed().isEmpty())
                return false;
        }
        if (tag.first == QLatin1String("N")) {
            c.total = v;
            haveN = true;
        } else if (tag.first == QLatin1String("M")) {
            c.success = v;
            haveM = true;
        } else if (tag.first == QLatin1String("T")) {
            c.timeMs = v;
            haveT = true;
        }
    }
    if (!haveN || !haveM || !haveT)
        return false;
    if (out)
        *out = c;
    return true;
}

bool parseReply(const QByteArray &reply, StatisticsCounts *out)
{
    const KxDataStreamParser parser(reply);
    QList<QString> failed;
    if (!parser.isValid() || !parser.checkAllCmdAck(failed))
        return false;
    const QMap<QString, QByteArray> map = parser.getTagMap();
    if (!map.contains(QStringLiteral("DBGCNT")))
        return false;
    return parseValue(map.value(QStringLiteral("DBGCNT")), out);
}

StatisticsFigures figures(const StatisticsCounts &c)
{
    StatisticsFigures f;
    f.total = QString::number(c.total);
    f.success = QString::number(c.success);
    if (c.success < 1 || c.total < 1) {
        f.rate = QStringLiteral("0.00%");
        f.average = QStringLiteral("0.00");
        return f;
    }
    f.rate = QString::number(double(c.success) * 100.0 / double(c.total), 'f', 2)
        + QLatin1Char('%');
    // Rounding must not claim that every read succeeded when one did not.
    if (f.rate == QLatin1String("100.00%") && c.success != c.total)
        f.rate = QStringLiteral("99.99%");
    f.average = QString::number(double(c.timeMs) / double(c.success), 'f', 2);
    return f;
}

}  // namespace StatisticsCounters
