#pragma once
// Tiny benchmark harness: every benchmark measures its subject and a baseline in the same run
// and prints the ratio, so results compare across machines of different speed.
#include <QElapsedTimer>
#include <QString>
#include <QTextStream>
#include <algorithm>
#include <functional>
#include <vector>

namespace bench {

// Runs fn `repeats` times and returns the median wall time in milliseconds.
inline double medianMs(const std::function<void()> &fn, int repeats = 5)
{
    std::vector<double> times;
    times.reserve(repeats);
    for (int i = 0; i < repeats; ++i) {
        QElapsedTimer t;
        t.start();
        fn();
        times.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Prints one result line: subject, baseline and their ratio (subject / baseline).
inline void report(const QString &name, double subjectMs, double baselineMs,
                   const QString &note = QString())
{
    QTextStream out(stdout);
    const double ratio = baselineMs > 0 ? subjectMs / baselineMs : 0.0;
    out << QStringLiteral("%1: %2 ms against baseline %3 ms, ratio %4")
               .arg(name)
               .arg(subjectMs, 0, 'f', 3)
               .arg(baselineMs, 0, 'f', 3)
               .arg(ratio, 0, 'f', 2);
    if (!note.isEmpty())
        out << " (" << note << ")";
    out << Qt::endl;
}

// Prints a plain measured value that has no baseline (e.g. a stall length).
inline void value(const QString &name, double v, const QString &unit)
{
    QTextStream out(stdout);
    out << QStringLiteral("%1: %2 %3").arg(name).arg(v, 0, 'f', 3).arg(unit) << Qt::endl;
}

} // namespace bench
