// Lines per second of the application log handler (format, mask, rotation check, write, flush)
// against writing the same finished lines straight through QFile + QTextStream.
#include "KxSaveLog.h"
#include "bench.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

namespace
{

constexpr int kLines = 20000;

QString message(int i)
{
    return QStringLiteral("KxDeviceCommand::onReply()...device 10.0.0.%1 cmd DFMSET value %2")
        .arg(i % 250)
        .arg(i);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir tmp;
    if (!tmp.isValid())
        return 1;

    QStringList messages;
    QStringList lines;
    const QDateTime now = QDateTime::currentDateTime();
    for (int i = 0; i < kLines; ++i) {
        messages << message(i);
        lines << KxSaveLog::formatLine(QtDebugMsg, messages.last(), now);
    }

    KxSaveLog *log = KxSaveLog::instance();
    log->setName(QStringLiteral("bench"));
    int run = 0;
    const QMessageLogContext context;
    const double handlerMs = bench::medianMs([&] {
        log->setPath(tmp.path() + QStringLiteral("/handler%1").arg(run++));
        for (const QString &m : messages)
            log->handleMessage(QtDebugMsg, context, m);
    });
    log->stop();

    auto streamRun = [&](bool flushEachLine) {
        QFile file(tmp.path() + QStringLiteral("/stream%1.log").arg(run++));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
            return;
        QTextStream out(&file);
        out.setCodec("UTF-8");
        for (const QString &line : lines) {
            out << line << '\n';
            if (flushEachLine)
                out.flush();
        }
        out.flush();
    };
    const double flushedMs = bench::medianMs([&] { streamRun(true); });
    const double bufferedMs = bench::medianMs([&] { streamRun(false); });
    // The handler's share that is not I/O: time stamp and line formatting.
    int sink = 0;
    const double formatMs = bench::medianMs([&] {
        for (const QString &m : messages)
            sink += KxSaveLog::formatLine(QtDebugMsg, m, now).size();
    });

    bench::report(QStringLiteral("log handler vs QTextStream flushed per line"), handlerMs,
                  flushedMs, QStringLiteral("%1 lines").arg(kLines));
    bench::report(QStringLiteral("log handler vs QTextStream buffered"), handlerMs, bufferedMs,
                  QStringLiteral("%1 lines").arg(kLines));
    bench::report(QStringLiteral("line formatting alone vs QTextStream flushed per line"), formatMs,
                  flushedMs, QStringLiteral("checksum %1").arg(sink));
    bench::value(QStringLiteral("log handler lines per second"), kLines / (handlerMs / 1000.0),
                 QStringLiteral("lines/s"));
    bench::value(QStringLiteral("QTextStream flushed lines per second"),
                 kLines / (flushedMs / 1000.0), QStringLiteral("lines/s"));
    return 0;
}
