// Installs the crash handler and dies: shell_crash_helper <dump root> <reporter|-> <how>.
#include "KxCrashHandler.h"

#include <QCoreApplication>
#include <QString>

#include <csignal>
#include <cstdlib>
#include <cstring>

namespace
{
volatile int *g_nowhere = nullptr;
volatile int g_depthLimit = 1 << 30;

// Uses its frame after the call, so the recursion cannot become a loop.
int recurse(int depth)
{
    volatile char pad[4096];
    pad[0] = char(depth);
    if (depth > g_depthLimit)
        return 0;
    return recurse(depth + 1) + pad[0];
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 4)
        return 2;
    const QString reporter =
        std::strcmp(argv[2], "-") == 0 ? QString() : QString::fromLocal8Bit(argv[2]);
    // "-" for the reporter means none at all: a path that cannot exist.
    KxCrashHandler::install(
        QString::fromLocal8Bit(argv[1]), QString(), QStringLiteral("v2.03.006.4"),
        reporter.isEmpty() ? QStringLiteral("/nonexistent/reporter") : reporter);
    const char *how = argv[3];
    if (std::strcmp(how, "segv") == 0)
        std::raise(SIGSEGV);
    else if (std::strcmp(how, "null") == 0)
        *g_nowhere = 1;
    else if (std::strcmp(how, "abort") == 0)
        std::abort();
    else if (std::strcmp(how, "fpe") == 0)
        std::raise(SIGFPE);
    else if (std::strcmp(how, "overflow") == 0)
        recurse(0);
    return 3; // not reached when the crash happened
}
