#include "KxCrashHandler.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <csignal>
#include <cstring>
#include <ctime>
#include <execinfo.h>
#include <fcntl.h>
#include <unistd.h>

namespace
{

constexpr int kSignals[] = {SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL};
constexpr size_t kPathMax = 4096;

// State prepared at install time and only read by the handler.
char g_dumpDir[kPathMax];  // "<dir>/", empty: no dumps
char g_suffix[512];        // "[_extra][_version].dmp"
char g_reporter[kPathMax]; // reporter program, may not exist
long g_utcOffset = 0;
volatile sig_atomic_t g_entered = 0;
// An own stack lets the handler run after a stack overflow.
alignas(16) char g_altStack[64 * 1024];

// Small async-signal-safe string helpers: bounded appends into fixed buffers.
size_t append(char *dst, size_t used, size_t cap, const char *src)
{
    while (*src && used + 1 < cap)
        dst[used++] = *src++;
    dst[used] = '\0';
    return used;
}

void writeAll(int fd, const char *text)
{
    size_t left = std::strlen(text);
    while (left > 0) {
        const ssize_t n = ::write(fd, text, left);
        if (n <= 0)
            return;
        text += n;
        left -= size_t(n);
    }
}

void formatUnsigned(unsigned long long value, char *out, size_t cap, int base = 10)
{
    char tmp[32];
    size_t n = 0;
    do {
        const unsigned digit = unsigned(value % unsigned(base));
        tmp[n++] = char(digit < 10 ? '0' + digit : 'a' + digit - 10);
        value /= unsigned(base);
    } while (value && n < sizeof tmp);
    size_t i = 0;
    while (n > 0 && i + 1 < cap)
        out[i++] = tmp[--n];
    out[i] = '\0';
}

const char *signalName(int sig)
{
    switch (sig) {
    case SIGSEGV:
        return "SIGSEGV";
    case SIGABRT:
        return "SIGABRT";
    case SIGBUS:
        return "SIGBUS";
    case SIGFPE:
        return "SIGFPE";
    case SIGILL:
        return "SIGILL";
    default:
        return "signal";
    }
}

void writeDump(int fd, int sig, const siginfo_t *info)
{
    char number[32];
    formatUnsigned(unsigned(sig), number, sizeof number);
    writeAll(fd, "signal ");
    writeAll(fd, number);
    writeAll(fd, " (");
    writeAll(fd, signalName(sig));
    writeAll(fd, ")\n");
    if (info) {
        formatUnsigned(reinterpret_cast<unsigned long long>(info->si_addr), number, sizeof number,
                       16);
        writeAll(fd, "address 0x");
        writeAll(fd, number);
        writeAll(fd, "\n");
    }
    writeAll(fd, "backtrace:\n");
    void *frames[128];
    const int count = backtrace(frames, 128);
    backtrace_symbols_fd(frames, count, fd);
}

void startReporter(const char *dumpPath)
{
    if (!g_reporter[0] || ::access(g_reporter, X_OK) != 0)
        return;
    const pid_t pid = ::fork();
    if (pid == 0) {
        char *const argv[] = {g_reporter, const_cast<char *>(dumpPath), const_cast<char *>("en"),
                              nullptr};
        ::execv(g_reporter, argv);
        ::_exit(127);
    }
    // The parent does not wait: it is about to die and the reporter outlives it.
}

void restoreDefault(int sig)
{
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    ::sigaction(sig, &action, nullptr);
}

void crashHandler(int sig, siginfo_t *info, void *)
{
    if (!g_entered) {
        g_entered = 1;
        if (g_dumpDir[0]) {
            struct timespec now;
            ::clock_gettime(CLOCK_REALTIME, &now);
            char stamp[18];
            KxCrashHandler::formatStamp(now.tv_sec, g_utcOffset, stamp);
            char path[kPathMax + 600];
            size_t n = append(path, 0, sizeof path, g_dumpDir);
            n = append(path, n, sizeof path, "crash_");
            n = append(path, n, sizeof path, stamp);
            append(path, n, sizeof path, g_suffix);

            writeAll(STDOUT_FILENO, "crash dump: ");
            writeAll(STDOUT_FILENO, path);
            writeAll(STDOUT_FILENO, "\n");

            const int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            if (fd >= 0) {
                writeDump(fd, sig, info);
                ::close(fd);
                startReporter(path);
            }
        }
    }
    // Default action and the same signal again: the process ends as it would have.
    restoreDefault(sig);
    ::raise(sig);
}

} // namespace

void KxCrashHandler::formatStamp(long long epochSeconds, long utcOffset, char out[18])
{
    const long long local = epochSeconds + utcOffset;
    long long days = local / 86400;
    long long secs = local % 86400;
    if (secs < 0) {
        secs += 86400;
        --days;
    }
    // Civil date from days since 1970-01-01 (proleptic Gregorian calendar).
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const long long doe = days - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    const long long day = doy - (153 * mp + 2) / 5 + 1;
    const long long month = mp < 10 ? mp + 3 : mp - 9;
    const long long year = yoe + era * 400 + (month <= 2 ? 1 : 0);

    auto put = [out](int pos, long long value, int width) {
        for (int i = width - 1; i >= 0; --i) {
            out[pos + i] = char('0' + value % 10);
            value /= 10;
        }
    };
    put(0, year, 4);
    put(4, month, 2);
    put(6, day, 2);
    out[8] = '_';
    put(9, secs / 3600, 2);
    out[11] = '.';
    put(12, secs / 60 % 60, 2);
    out[14] = '.';
    put(15, secs % 60, 2);
    out[17] = '\0';
}

QString KxCrashHandler::dumpFileName(const QDateTime &time, const QString &extraPart,
                                     const QString &versionPart)
{
    QString name =
        QStringLiteral("crash_%1").arg(time.toString(QStringLiteral("yyyyMMdd_hh.mm.ss")));
    for (const QString &part : {extraPart, versionPart}) {
        if (!part.isEmpty())
            name = QStringLiteral("%1_%2").arg(name, part);
    }
    return name + QStringLiteral(".dmp");
}

QString KxCrashHandler::dumpDirectory()
{
    return QString::fromLocal8Bit(g_dumpDir);
}

bool KxCrashHandler::install(const QString &root, const QString &extraPart,
                             const QString &versionPart, const QString &reporter)
{
    g_dumpDir[0] = '\0';
    if (!root.isEmpty()) {
        QString dir = QDir(root).filePath(QStringLiteral("dump"));
        if (!QDir().mkpath(dir))
            dir = root;
        const QByteArray bytes = QFile::encodeName(QDir::cleanPath(dir) + QLatin1Char('/'));
        if (size_t(bytes.size()) < sizeof g_dumpDir)
            std::memcpy(g_dumpDir, bytes.constData(), size_t(bytes.size()) + 1);
    }

    QString suffix;
    for (const QString &part : {extraPart, versionPart}) {
        if (!part.isEmpty())
            suffix += QLatin1Char('_') + part;
    }
    const QByteArray suffixBytes = QFile::encodeName(suffix + QStringLiteral(".dmp"));
    if (size_t(suffixBytes.size()) >= sizeof g_suffix)
        g_dumpDir[0] = '\0';
    else
        std::memcpy(g_suffix, suffixBytes.constData(), size_t(suffixBytes.size()) + 1);

    QString reporterPath = reporter;
    if (reporterPath.isEmpty() && QCoreApplication::instance())
        reporterPath =
            QCoreApplication::applicationDirPath() + QStringLiteral("/KxBrevanCrashReporter");
    const QByteArray reporterBytes = QFile::encodeName(reporterPath);
    g_reporter[0] = '\0';
    if (size_t(reporterBytes.size()) < sizeof g_reporter)
        std::memcpy(g_reporter, reporterBytes.constData(), size_t(reporterBytes.size()) + 1);

    // The offset to local time is taken now: localtime_r() is not safe inside a handler.
    const time_t now = ::time(nullptr);
    struct tm local;
    if (::localtime_r(&now, &local))
        g_utcOffset = local.tm_gmtoff;

    // The first backtrace() call loads libgcc: do it here, not in the handler.
    void *frame[1];
    backtrace(frame, 1);

    stack_t stack;
    std::memset(&stack, 0, sizeof stack);
    stack.ss_sp = g_altStack;
    stack.ss_size = sizeof g_altStack;
    ::sigaltstack(&stack, nullptr);

    bool ok = true;
    for (int sig : kSignals) {
        struct sigaction action;
        std::memset(&action, 0, sizeof action);
        action.sa_sigaction = &crashHandler;
        action.sa_flags = SA_SIGINFO | SA_ONSTACK;
        sigemptyset(&action.sa_mask);
        ok = ::sigaction(sig, &action, nullptr) == 0 && ok;
    }
    g_entered = 0;
    return ok;
}

void KxCrashHandler::uninstall()
{
    for (int sig : kSignals)
        restoreDefault(sig);
}
