#pragma once
// Crash dumps: on a fatal signal (SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL) the handler writes
// "crash_<yyyyMMdd_hh.mm.ss>[_<extra>][_<version>].dmp" with the signal and a backtrace into
// "<root>/dump" (or the root when that cannot be created), prints its path, starts the crash
// reporter beside the executable when there is one, then lets the signal kill the process.
//
// Everything the handler needs is prepared by install(): at crash time it only calls
// async-signal-safe functions and formats the time by hand.
#include <QDateTime>
#include <QString>

class KxCrashHandler
{
public:
    // root: the dump root (the data directory); an empty root installs the handler without
    // writing dumps. reporter: the reporter program; empty means "KxBrevanCrashReporter" in
    // the executable's directory.
    static bool install(const QString &root, const QString &extraPart, const QString &versionPart,
                        const QString &reporter = QString());
    static void uninstall(); // back to the default actions

    // The file name the handler would write for a crash at `time`.
    static QString dumpFileName(const QDateTime &time, const QString &extraPart,
                                const QString &versionPart);
    // The directory prepared by install() (empty when none).
    static QString dumpDirectory();

    // Async-signal-safe: writes "yyyyMMdd_hh.mm.ss" (17 characters and a NUL) for the given
    // seconds since the epoch shifted by utcOffset seconds. Exposed for tests.
    static void formatStamp(long long epochSeconds, long utcOffset, char out[18]);
};
