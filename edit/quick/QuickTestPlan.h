#pragma once
// What the read test, debug test and trigger test ask of the reader: their settings groups in
// the application settings and the values of "CCFBML" and "ORTSET" built from them.
#include <QByteArray>
#include <QString>

namespace QuickTestPlan {

inline QString triggerGroup() { return QStringLiteral("TestTrigger"); }
inline QString debugGroup() { return QStringLiteral("TestEx"); }
inline QString readGroup() { return QStringLiteral("test"); }

struct Settings
{
    int times = 3000;        // "NumberOfTimes"; 0 runs until stopped
    int level = 0;           // "MatchingLevel", 0..100
    int configLibIndex = 0;  // read test: >0 reads with each enabled set in turn
    int timeOffset = 0;      // read test: ms between reads when not auto-triggered
    bool autoTrigger = true; // read test: the reader reads at its own interval
};

// Reads a group with its defaults; out-of-range values are brought into range.
Settings load(const QString &group);
void save(const QString &group, const Settings &settings);

// "CCFBML": the trigger test's level for every read ("1A0B%1C") or the debug test's count and
// level ("0A%1B%2C").
QByteArray triggerMatch(int level);
QByteArray debugMatch(int times, int level);
// "ORTSET": "2A0B" with configuration sets, "0A0B" auto-triggered, else "1A%1B" with the time.
QByteArray readTest(const Settings &settings);

// The reader's "TESQST" answer.
struct State
{
    int test = 0;  // 0 none runs, 1 debug test, 2 read test
    int reads = 0;
    int good = 0;
    QString rate;
    bool valid = false;
};
State parseState(const QByteArray &json);

}  // namespace QuickTestPlan
