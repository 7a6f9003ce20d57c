// The crash handler, run in a child process that dies by a signal.
#include "KxCrashHandler.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <cstring>
#include <ctime>

class TestShellCrash : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void formatStamp_data();
    void formatStamp();
    void dumpFileName();
    void crashWritesDump_data();
    void crashWritesDump();
    void dumpFallsBackToRoot();
    void reporterGetsPathAndLanguage();

private:
    struct Run {
        QProcess::ExitStatus status;
        int code;
        QString out;
    };
    static Run runHelper(const QString &root, const QString &reporter, const QString &how);
};

TestShellCrash::Run TestShellCrash::runHelper(const QString &root, const QString &reporter,
                                              const QString &how)
{
    QProcess p;
    p.start(QStringLiteral(BREVAN_BIN_DIR "/shell_crash_helper"), {root, reporter, how});
    if (!p.waitForFinished(30000))
        p.kill();
    return {p.exitStatus(), p.exitCode(), QString::fromLocal8Bit(p.readAllStandardOutput())};
}

void TestShellCrash::initTestCase()
{
    // A zone away from UTC for this process and the helper (which inherits it), so a dump
    // named in UTC instead of local time shows.
    qputenv("TZ", "IST-5:30");
    tzset();
    QCOMPARE(QDateTime::currentDateTime().offsetFromUtc(), 19800);
}

void TestShellCrash::formatStamp_data()
{
    QTest::addColumn<QDateTime>("utc");
    QTest::addColumn<int>("offset");
    QTest::newRow("epoch") << QDateTime(QDate(1970, 1, 1), QTime(0, 0), Qt::UTC) << 0;
    QTest::newRow("leap day") << QDateTime(QDate(2024, 2, 29), QTime(13, 5, 9), Qt::UTC) << 0;
    QTest::newRow("y2k eve east") << QDateTime(QDate(1999, 12, 31), QTime(23, 30, 0), Qt::UTC)
                                  << 3600;
    QTest::newRow("new year west")
        << QDateTime(QDate(2025, 1, 1), QTime(2, 0, 0), Qt::UTC) << -5 * 3600;
    QTest::newRow("2100 not leap")
        << QDateTime(QDate(2100, 2, 28), QTime(23, 59, 59), Qt::UTC) << 1;
    QTest::newRow("half hour zone")
        << QDateTime(QDate(2031, 7, 15), QTime(20, 10, 0), Qt::UTC) << 19800;
}

void TestShellCrash::formatStamp()
{
    QFETCH(QDateTime, utc);
    QFETCH(int, offset);
    char out[18];
    std::memset(out, 'X', sizeof out);
    KxCrashHandler::formatStamp(utc.toSecsSinceEpoch(), offset, out);
    const QString expected = utc.addSecs(offset).toString(QStringLiteral("yyyyMMdd_hh.mm.ss"));
    QCOMPARE(QString::fromLatin1(out), expected);
}

void TestShellCrash::dumpFileName()
{
    const QDateTime t(QDate(2024, 5, 6), QTime(7, 8, 9));
    QCOMPARE(KxCrashHandler::dumpFileName(t, QString(), "v2.03.006.4"),
             QStringLiteral("crash_20240506_07.08.09_v2.03.006.4.dmp"));
    QCOMPARE(KxCrashHandler::dumpFileName(t, "ex", "v1"),
             QStringLiteral("crash_20240506_07.08.09_ex_v1.dmp"));
    QCOMPARE(KxCrashHandler::dumpFileName(t, QString(), QString()),
             QStringLiteral("crash_20240506_07.08.09.dmp"));
}

void TestShellCrash::crashWritesDump_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("signal");
    QTest::addColumn<QString>("name");
    QTest::newRow("raised SIGSEGV") << "segv" << int(SIGSEGV) << "SIGSEGV";
    QTest::newRow("null pointer write") << "null" << int(SIGSEGV) << "SIGSEGV";
    QTest::newRow("abort") << "abort" << int(SIGABRT) << "SIGABRT";
    QTest::newRow("raised SIGFPE") << "fpe" << int(SIGFPE) << "SIGFPE";
    QTest::newRow("stack overflow") << "overflow" << int(SIGSEGV) << "SIGSEGV";
}

void TestShellCrash::crashWritesDump()
{
    QFETCH(QString, how);
    QFETCH(int, signal);
    QFETCH(QString, name);
    QTemporaryDir root;
    QVERIFY(root.isValid());

    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    const Run run = runHelper(root.path(), "-", how);
    const QDateTime after = QDateTime::currentDateTime().addSecs(1);

    QCOMPARE(run.status, QProcess::CrashExit);
    QCOMPARE(run.code, signal); // died by the signal itself, not an exit
    const QStringList dumps = QDir(root.path() + "/dump").entryList(QDir::Files);
    QCOMPARE(dumps.size(), 1);
    const QRegularExpression pattern(
        QStringLiteral("^crash_(\\d{8}_\\d{2}\\.\\d{2}\\.\\d{2})_v2\\.03\\.006\\.4\\.dmp$"));
    const auto m = pattern.match(dumps.first());
    QVERIFY2(m.hasMatch(), qPrintable(dumps.first()));
    const QDateTime stamp =
        QDateTime::fromString(m.captured(1), QStringLiteral("yyyyMMdd_hh.mm.ss"));
    QVERIFY2(stamp >= before.addMSecs(-before.time().msec()) && stamp <= after,
             qPrintable(m.captured(1))); // local time, formatted by hand in the handler

    const QString path = root.path() + "/dump/" + dumps.first();
    QVERIFY2(run.out.contains("crash dump: " + path), qPrintable(run.out));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    QVERIFY2(text.startsWith(QStringLiteral("signal %1 (%2)\n").arg(signal).arg(name)),
             qPrintable(text));
    QVERIFY(text.contains("backtrace:\n"));
    QVERIFY(text.count('\n') > 4); // some frames were written
}

void TestShellCrash::dumpFallsBackToRoot()
{
    QTemporaryDir root;
    QFile blocker(root.path() + "/dump"); // a file where the dump folder would go
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const Run run = runHelper(root.path(), "-", "segv");
    QCOMPARE(run.status, QProcess::CrashExit);
    const QStringList dumps = QDir(root.path()).entryList({"crash_*.dmp"}, QDir::Files);
    QCOMPARE(dumps.size(), 1);
    QVERIFY(run.out.contains("crash dump: " + root.path() + "/" + dumps.first()));
}

void TestShellCrash::reporterGetsPathAndLanguage()
{
    QTemporaryDir root;
    const QString reporter = root.path() + "/KxBrevanCrashReporter";
    const QString record = root.path() + "/reporter-args.txt";
    QFile script(reporter);
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write(
        QStringLiteral(
            "#!/bin/sh\nprintf '%s|%s|%s' \"$1\" \"$2\" \"$#\" > '%1.tmp'\nmv '%1.tmp' '%1'\n")
            .arg(record)
            .toUtf8());
    script.close();
    QVERIFY(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

    const Run run = runHelper(root.path(), reporter, "segv");
    QCOMPARE(run.status, QProcess::CrashExit);
    const QStringList dumps = QDir(root.path() + "/dump").entryList(QDir::Files);
    QCOMPARE(dumps.size(), 1);
    // The reporter outlives the crashed process: wait for what it wrote.
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(record), 10000);
    QFile args(record);
    QVERIFY(args.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(args.readAll()), root.path() + "/dump/" + dumps.first() + "|en|2");
}

QTEST_GUILESS_MAIN(TestShellCrash)
#include "tst_shell_crash.moc"
