#pragma once
// Identifying a reader by making it blink: through the kit when the reader supports it
// ("Supp Blink Notify" = "1"), else by flashing its illumination and triggering a scan over its
// own link. GUI thread; the command path blocks while it runs.
#include "KxKitTypes.h"

#include <QList>
#include <QString>

namespace DeviceBlink
{

enum class Path { Kit, Commands, None };
// "Supp Blink Notify" present: the kit when it is "1", nothing otherwise; absent: commands.
Path pathFor(const KxDeviceInfoMap &info);

struct Step {
    QString code;
    QString value;
    int waitMsAfter = 0;
};
// The command sequence after "ILLSCN" was read as `original`: light off, on, back to the
// original value, then a trigger on and off, 25 ms apart.
QList<Step> commandSequence(const QString &original);

enum class Outcome {
    Done,    // the reader was asked to blink
    Skipped, // the reader says it cannot blink: nothing to do, nothing to report
    Failed,  // the reader could not be reached or refused the commands
};

// Runs the blink for a listed reader; the map is the list's deviceBlink map (with "Device Id").
// A reader this program already holds is blinked over that link, which stays open.
Outcome blink(const KxDeviceInfoMap &info);

} // namespace DeviceBlink
