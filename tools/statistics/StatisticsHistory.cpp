#include "StatisticsHistory.h"

#include "KxConfig.h"
#include "KxSettings.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTextStream>

namespace {
const char *const kTimeFormat = "yyyy-MM-dd HH:mm:ss";
}

QString StatisticsHistory::pathFor(const QString &serial, const QString &deviceId)
{
    QString name = serial.isEmpty() ? deviceId : serial;
    // A device id carries ":" and "/" on some links; keep the file name plain.
    name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_.-]")), QStringLiteral("_"));
    if (name.isEmpty())
        name = QStringLiteral("reader");
    return QDir(KxConfig::instance()->dataDir()).filePath(QStringLiteral("statistics/%1.csv").arg(name));
}

int StatisticsHistory::intervalMinutes()
{
    return KxSettings::instance()->localSettingNumber(QStringLiteral("statisticsSaveDate"));
}

bool StatisticsHistory::offer(const QString &record, const QDateTime &now, int intervalMinutes)
{
    // Until the first line is written (no path yet, or the file would not open) every update
    // tries again; afterwards one line per interval.
    if (!m_timerStart.isValid()) {
        const bool done = write(record, now);
        if (done)
            m_timerStart = now;
        return done;
    }
    const qint64 minutes = m_timerStart.secsTo(now) / 60;
    if (minutes < qMax(1, intervalMinutes))
        return false;
    m_timerStart = now;
    return write(record, now);
}

bool StatisticsHistory::write(const QString &record, const QDateTime &now)
{
    if (m_path.isEmpty() || record.isEmpty() || record == m_last)
        return false;
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    QFile file(m_path);
    QIODevice::OpenMode mode = QIODevice::WriteOnly | QIODevice::Append;
    if (QFileInfo(m_path).size() > kMaxBytes)
        mode = QIODevice::WriteOnly | QIODevice::Truncate;
    if (!file.open(mode)) {
        qWarning().noquote() << "StatisticsHistory::write()...cannot open" << m_path << file.errorString();
        return false;
    }
    const QString line = QStringLiteral("%1,%2").arg(now.toString(QLatin1String(kTimeFormat)), record);
    const QByteArray bytes = line.toUtf8() + "\r\n";
    if (file.write(bytes) != bytes.size()) {
        qWarning().noquote() << "StatisticsHistory::write()...write failed" << m_path << file.errorString();
        return false;
    }
    m_last = record;
    m_written << line;
    return true;
}

bool StatisticsHistory::readLines(const QString &path, QStringList *lines)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning().noquote() << "StatisticsHistory::readLines()...load fail!" << path;
        return false;
    }
    QTextStream in(&file);
    in.setCodec("UTF-8");
    QStringList out;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (!line.isEmpty())
            out << line;
    }
    if (lines)
        *lines = out;
    return true;
}

QList<StatisticsRecord> StatisticsHistory::parse(const QStringList &lines)
{
    QList<StatisticsRecord> out;
    for (const QString &line : lines) {
        const QStringList f = line.split(QLatin1Char(','));
        if (f.size() != 5)
            continue;
        StatisticsRecord r;
        r.at = QDateTime::fromString(f[0], QLatin1String(kTimeFormat));
        bool okN = false, okM = false, okR = false, okA = false;
        r.total = f[1].toLongLong(&okN);
        r.success = f[2].toLongLong(&okM);
        QString rate = f[3];
        if (rate.endsWith(QLatin1Char('%')))
            rate.chop(1);
        r.rate = rate.toDouble(&okR);
        r.averageMs = f[4].toDouble(&okA);
        if (r.at.isValid() && okN && okM && okR && okA && r.total >= 0 && r.success >= 0)
            out << r;
    }
    return out;
}

QList<StatisticsTrendPoint> StatisticsHistory::trend(const QList<StatisticsRecord> &records,
                                                     const QDateTime &since)
{
    QList<StatisticsTrendPoint> out;
    const StatisticsRecord zero;
    const StatisticsRecord *prev = nullptr;
    for (const StatisticsRecord &r : records) {
        const bool cleared = prev && (r.total < prev->total || r.success < prev->success);
        const StatisticsRecord &base = (!prev || cleared) ? zero : *prev;
        prev = &r;
        if (since.isValid() && r.at < since)
            continue;
        const qint64 reads = r.total - base.total;
        const qint64 good = r.success - base.success;
        if (reads <= 0)
            continue;  // nothing read in this interval: no rate to show
        StatisticsTrendPoint p;
        p.at = r.at;
        p.reads = reads;
        p.rate = double(good) * 100.0 / double(reads);
        const double timeNow = r.averageMs * double(r.success);
        const double timeBefore = base.averageMs * double(base.success);
        p.averageMs = good > 0 ? qMax(0.0, (timeNow - timeBefore) / double(good)) : 0.0;
        out << p;
    }
    return out;
}
