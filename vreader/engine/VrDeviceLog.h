#pragma once
// The reader's own stored log: one text line per event, "yyyy-MM-dd hh:mm:ss.zzz L text", where
// L is the level (1 error, 2 warning, 3 info, 4 debug, 5 trace). Lines above the reader's log
// level ("LOGLVL") are not kept. The log lives in memory and, when the reader has a state
// folder, in a file beside its settings, so it survives restarts as a real reader's flash log
// does. The oldest lines go when the log outgrows its capacity.
#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QString>

class VrDeviceLog
{
public:
    enum Level { Error = 1, Warning = 2, Info = 3, Debug = 4, Trace = 5 };
    static constexpr qint64 kDefaultCapacity = 128ll * 1024 * 1024;

    // path empty: memory only.
    explicit VrDeviceLog(const QString &path = QString(), qint64 capacity = kDefaultCapacity);
    ~VrDeviceLog();

    // Reads what an earlier run left (whole lines only).
    void load();
    // Adds earlier history until the log holds at least bytes (lines of a working day of a
    // reader, dated before the oldest line kept): large logs for download tests.
    void fillTo(qint64 bytes);

    // Keeps the line when level is at or below maxLevel; returns whether it was kept.
    bool append(int level, const QString &text, int maxLevel,
                const QDateTime &when = QDateTime::currentDateTime());
    // The whole log as stored; the file holds the same bytes once flushed.
    const QByteArray &bytes() const { return m_bytes; }
    void flush();

    // The level a line of the reader's activity is logged at, from what it reports.
    static int levelOf(const QString &line);
    static QByteArray formatLine(int level, const QString &text, const QDateTime &when);

private:
    void trim();
    void rewriteFile();

    QString m_path;
    qint64 m_capacity;
    QByteArray m_bytes;
    QFile m_file;
};
