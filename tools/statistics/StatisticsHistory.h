#pragma once
// A reader's history file: one line "yyyy-MM-dd HH:mm:ss,total,success,rate,average" per record,
// written at the interval of the "statisticsSaveDate" local setting, never twice the same record,
// started afresh once the file passes kMaxBytes. Also reads the file back for the view and the
// trend of the shift.
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

struct StatisticsRecord
{
    QDateTime at;
    qint64 total = 0;
    qint64 success = 0;
    double rate = 0;       // percent
    double averageMs = 0;  // per good read
};

// The reads of one interval between two records.
struct StatisticsTrendPoint
{
    QDateTime at;
    qint64 reads = 0;
    double rate = 0;
    double averageMs = 0;
};

class StatisticsHistory
{
public:
    static constexpr qint64 kMaxBytes = 512000;

    explicit StatisticsHistory(const QString &path = QString()) : m_path(path) {}

    // "<data>/statistics/<serial>.csv"; the device id stands in for a reader without a serial.
    static QString pathFor(const QString &serial, const QString &deviceId);
    // Minutes between records: the "statisticsSaveDate" local setting (30 by default).
    static int intervalMinutes();

    void setPath(const QString &path) { m_path = path; }
    QString path() const { return m_path; }
    QString lastRecord() const { return m_last; }
    // Lines written by this object, oldest first.
    QStringList written() const { return m_written; }

    // The record of a counter update: written at once the first time, then once the interval
    // has passed since the last one. True when a line was written.
    bool offer(const QString &record, const QDateTime &now, int intervalMinutes);
    // Appends one line unless the path or the record is empty or the record equals the last
    // one written. A file past kMaxBytes is emptied first. True when written.
    bool write(const QString &record, const QDateTime &now);

    // The lines of a file; false when it cannot be opened.
    static bool readLines(const QString &path, QStringList *lines);
    // Lines that do not hold a record are skipped.
    static QList<StatisticsRecord> parse(const QStringList &lines);
    // Reads, success rate and average decode time of each interval from since on. The counters
    // of a record are totals, so each interval is the difference to the record before it; a
    // total that went down means the counters were cleared and the interval starts from zero.
    static QList<StatisticsTrendPoint> trend(const QList<StatisticsRecord> &records,
                                             const QDateTime &since);

private:
    QString m_path;
    QString m_last;
    QStringList m_written;
    QDateTime m_timerStart;
};
