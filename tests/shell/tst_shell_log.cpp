// The application log (line format, level mask, file rotation, forwarding) and the log server.
#include "KxConfig.h"
#include "KxSaveLog.h"
#include "KxSendLog.h"
#include "KxSettings.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <ctime>
#include <memory>

namespace
{

const QDateTime kFixed(QDate(2024, 3, 9), QTime(23, 59, 58, 7));

QStringList logFiles(const QString &dir)
{
    return QDir(dir).entryList({QStringLiteral("*.log")}, QDir::Files, QDir::Name);
}

QStringList readLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void log(QtMsgType type, const QString &text)
{
    const QMessageLogContext context;
    KxSaveLog::instance()->handleMessage(type, context, text);
}

} // namespace

class TestShellLog : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void formatLine_data();
    void formatLine();
    void contextLine();
    void levelMask_data();
    void levelMask();
    void maskDropsTypes();
    void realClockIsLocalTime();
    void rotatesBySize();
    void rotatesByRows();
    void oneFilePerDay();
    void unopenableFileDropsLine();
    void toNetSendsAndWritesNothing();
    void concurrentWriters();
    void clearRemovesOwnFiles();
    void serverOnLoopbackByDefault();
    void serverOnAnyAddressWhenSet();
    void serverForwardsToNewestClient();

private:
    std::unique_ptr<QTemporaryDir> m_tmp;
    QString m_dir;
};

void TestShellLog::initTestCase()
{
    // A zone away from UTC, so a time stamp written in UTC instead of local time shows.
    qputenv("TZ", "IST-5:30");
    tzset();
}

void TestShellLog::init()
{
    m_tmp = std::make_unique<QTemporaryDir>();
    QVERIFY(m_tmp->isValid());
    m_dir = m_tmp->path() + QStringLiteral("/log");
    KxSaveLog *l = KxSaveLog::instance();
    l->setPath(m_dir);
    l->setName(QStringLiteral("brevan"));
    l->setMaxRow(0);
    l->setMaxSize(5120);
    l->setUseContext(false);
    l->setMsgType(KxSaveLog::All);
    l->setClock({});
}

void TestShellLog::cleanup()
{
    KxSaveLog::instance()->setToNet(false);
    KxSaveLog::instance()->stop(); // closes the file before the folder goes
    m_tmp.reset();
}

void TestShellLog::formatLine_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("expected");
    const QString t = QStringLiteral("[2024-03-09 23:59:58.007] ");
    QTest::newRow("debug") << int(QtDebugMsg) << "a" << t + "[Debug] a";
    QTest::newRow("info") << int(QtInfoMsg) << "b" << t + "[Infox] b";
    QTest::newRow("warning") << int(QtWarningMsg) << "c" << t + "[Warnx] c";
    QTest::newRow("critical") << int(QtCriticalMsg) << "d" << t + "[Error] d";
    QTest::newRow("fatal") << int(QtFatalMsg) << "e" << t + "[Fatal] e";
    QTest::newRow("placeholders kept") << int(QtDebugMsg) << "x=%1 y=%2" << t + "[Debug] x=%1 y=%2";
    QTest::newRow("empty") << int(QtWarningMsg) << "" << t + "[Warnx] ";
}

void TestShellLog::formatLine()
{
    QFETCH(int, type);
    QFETCH(QString, message);
    QFETCH(QString, expected);
    QCOMPARE(KxSaveLog::formatLine(QtMsgType(type), message, kFixed), expected);
}

void TestShellLog::contextLine()
{
    const QString plain = KxSaveLog::formatLine(QtWarningMsg, "m %1", kFixed);
    QCOMPARE(KxSaveLog::formatLine(QtWarningMsg, "m %1", kFixed, "src/a.cpp", 42, "void f()", true),
             "[Filex] src/a.cpp(42:void f())\n" + plain);
    // Context switched off, or no file in the context: the plain line.
    QCOMPARE(KxSaveLog::formatLine(QtWarningMsg, "m %1", kFixed, "src/a.cpp", 42, "f", false),
             plain);
    QCOMPARE(KxSaveLog::formatLine(QtWarningMsg, "m %1", kFixed, nullptr, 42, "f", true), plain);
    QCOMPARE(KxSaveLog::formatLine(QtWarningMsg, "m %1", kFixed, "", 42, "f", true), plain);

    // Through the handler, with a real context.
    KxSaveLog::instance()->setUseContext(true);
    KxSaveLog::instance()->setClock([] { return kFixed; });
    const QMessageLogContext context("dev/x.cpp", 7, "int g()", "default");
    KxSaveLog::instance()->handleMessage(QtCriticalMsg, context, QStringLiteral("bad"));
    const QStringList files = logFiles(m_dir);
    QCOMPARE(files.size(), 1);
    QCOMPARE(
        readLines(m_dir + "/" + files.first()),
        (QStringList{"[Filex] dev/x.cpp(7:int g())", "[2024-03-09 23:59:58.007] [Error] bad"}));
}

void TestShellLog::levelMask_data()
{
    QTest::addColumn<int>("before");
    QTest::addColumn<QString>("level");
    QTest::addColumn<int>("after");
    QTest::newRow("empty keeps the mask") << 5 << "" << 5;
    QTest::newRow("1 is everything") << 5 << "1" << 31;
    QTest::newRow("0 drops info") << 31 << "0" << 29;
    QTest::newRow("other number drops info") << 31 << "3" << 29;
    QTest::newRow("text drops info") << 31 << "debug" << 29;
}

void TestShellLog::levelMask()
{
    QFETCH(int, before);
    QFETCH(QString, level);
    QFETCH(int, after);
    KxSaveLog::instance()->setMsgType(KxSaveLog::MsgTypes(before));
    KxSaveLog::instance()->setMsgLevel(level);
    QCOMPARE(KxSaveLog::instance()->msgLevel(), after);
}

void TestShellLog::maskDropsTypes()
{
    KxSaveLog::instance()->setMsgType(KxSaveLog::Warning | KxSaveLog::Critical);
    log(QtDebugMsg, "debug line");
    log(QtInfoMsg, "info line");
    log(QtWarningMsg, "warning line");
    log(QtCriticalMsg, "critical line");
    const QStringList files = logFiles(m_dir);
    QCOMPARE(files.size(), 1);
    const QStringList lines = readLines(m_dir + "/" + files.first());
    QCOMPARE(lines.size(), 2);
    QVERIFY(lines[0].endsWith("[Warnx] warning line"));
    QVERIFY(lines[1].endsWith("[Error] critical line"));
}

void TestShellLog::realClockIsLocalTime()
{
    const QDateTime before = QDateTime::currentDateTime();
    log(QtWarningMsg, "now");
    const QDateTime after = QDateTime::currentDateTime();
    QCOMPARE(before.offsetFromUtc(), 19800);
    const QStringList files = logFiles(m_dir);
    QCOMPARE(files.size(), 1);
    const QString line = readLines(m_dir + "/" + files.first()).value(0);
    const QDateTime stamp =
        QDateTime::fromString(line.mid(1, 23), QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    QVERIFY2(stamp.isValid(), qPrintable(line));
    QVERIFY2(stamp >= before.addMSecs(-1) && stamp <= after.addMSecs(1), qPrintable(line));
}

void TestShellLog::rotatesBySize()
{
    KxSaveLog::instance()->setMaxSize(1);                   // 1 KB
    KxSaveLog::instance()->setClock([] { return kFixed; }); // every file in the same second
    const int count = 200;
    for (int i = 0; i < count; ++i)
        log(QtDebugMsg,
            QStringLiteral("line %1 ").arg(i, 4, 10, QLatin1Char('0')) + QString(60, 'x'));

    const QStringList files = logFiles(m_dir);
    QVERIFY2(files.size() >= 15, qPrintable(QString::number(files.size())));
    const QRegularExpression name(QStringLiteral("^brevan_20240309_23\\.59\\.58(_\\d+)?\\.log$"));
    QSet<int> seen;
    int oversized = 0;
    for (const QString &f : files) {
        QVERIFY2(name.match(f).hasMatch(), qPrintable(f));
        const qint64 size = QFileInfo(m_dir + "/" + f).size();
        // A file grows past 1024 bytes by at most the line that crossed the limit.
        QVERIFY2(size <= 1024 + 120, qPrintable(QString::number(size)));
        if (size > 1024)
            ++oversized;
        for (const QString &line : readLines(m_dir + "/" + f))
            seen.insert(line.section(' ', 4, 4).toInt());
    }
    QVERIFY(oversized >= files.size() - 1); // only the newest file may still be small
    QCOMPARE(seen.size(), count);           // no line lost or overwritten
}

void TestShellLog::rotatesByRows()
{
    KxSaveLog::instance()->setMaxRow(10);
    KxSaveLog::instance()->setMaxSize(0);
    for (int i = 0; i < 35; ++i)
        log(QtWarningMsg, QStringLiteral("row %1").arg(i));
    const QStringList files = logFiles(m_dir);
    QCOMPARE(files.size(), 4);
    QList<int> sizes;
    int total = 0;
    for (const QString &f : files) {
        const int n = readLines(m_dir + "/" + f).size();
        sizes << n;
        total += n;
    }
    std::sort(sizes.begin(), sizes.end());
    QCOMPARE(sizes, (QList<int>{5, 10, 10, 10}));
    QCOMPARE(total, 35);
    QVERIFY(QRegularExpression("^brevan_\\d{8}_\\d{2}\\.\\d{2}\\.\\d{2}(_\\d+)?\\.log$")
                .match(KxSaveLog::instance()->currentFileName().section('/', -1))
                .hasMatch());
}

void TestShellLog::oneFilePerDay()
{
    KxSaveLog *l = KxSaveLog::instance();
    l->setMaxRow(0);
    l->setMaxSize(0);
    QDateTime now = kFixed;
    l->setClock([&now] { return now; });
    log(QtDebugMsg, "day one a");
    log(QtDebugMsg, "day one b");
    now = kFixed.addSecs(5); // past midnight
    log(QtDebugMsg, "day two");
    l->stop(); // a restart later the same day appends to the day's file
    log(QtDebugMsg, "day two again");

    QCOMPARE(logFiles(m_dir), (QStringList{"brevan_2024-03-09.log", "brevan_2024-03-10.log"}));
    QCOMPARE(readLines(m_dir + "/brevan_2024-03-09.log").size(), 2);
    const QStringList two = readLines(m_dir + "/brevan_2024-03-10.log");
    QCOMPARE(two.size(), 2);
    QVERIFY(two[0].endsWith("day two"));
    QVERIFY(two[1].endsWith("day two again"));
    QCOMPARE(l->currentFileName(), m_dir + "/brevan_2024-03-10.log");
}

void TestShellLog::unopenableFileDropsLine()
{
    // The log "directory" is a file: nothing can be written and nothing crashes.
    QFile blocker(m_tmp->path() + "/blocked");
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    KxSaveLog::instance()->setPath(blocker.fileName());
    log(QtWarningMsg, "lost");
    QVERIFY(KxSaveLog::instance()->currentFileName().isEmpty() ||
            !KxSaveLog::instance()->currentFileName().startsWith(blocker.fileName()));
    // Back to a good folder: the next line is written again.
    KxSaveLog::instance()->setPath(m_dir);
    log(QtWarningMsg, "kept");
    QCOMPARE(logFiles(m_dir).size(), 1);
}

void TestShellLog::toNetSendsAndWritesNothing()
{
    KxConfig::instance()->setDataDir(QString());
    KxSendLog::instance()->setListenPort(0); // any free port: tests may run side by side
    KxSaveLog *l = KxSaveLog::instance();
    QSignalSpy spy(l, &KxSaveLog::send);
    l->setClock([] { return kFixed; });
    l->setToNet(true);
    QVERIFY(l->toNet());
    QVERIFY(KxSendLog::instance()->isListening());
    log(QtWarningMsg, "to the viewer");
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toString(), "[2024-03-09 23:59:58.007] [Warnx] to the viewer");
    QVERIFY(!QFileInfo::exists(m_dir));

    l->setToNet(false);
    QVERIFY(!KxSendLog::instance()->isListening());
    log(QtWarningMsg, "to the file");
    QCOMPARE(spy.count(), 1);
    QCOMPARE(logFiles(m_dir).size(), 1);
}

void TestShellLog::concurrentWriters()
{
    KxSaveLog::instance()->setMaxSize(4);
    const int threads = 4;
    const int perThread = 400;
    QList<QThread *> workers;
    for (int t = 0; t < threads; ++t) {
        workers << QThread::create([t] {
            for (int i = 0; i < perThread; ++i)
                qCritical("%s", qPrintable(QStringLiteral("w%1 n%2 end").arg(t).arg(i)));
        });
    }
    KxSaveLog::instance()->start();
    for (QThread *w : workers)
        w->start();
    for (QThread *w : workers) {
        QVERIFY(w->wait(60000));
        delete w;
    }
    KxSaveLog::instance()->stop();

    const QRegularExpression shape(
        QStringLiteral("^\\[\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}\\.\\d{3}\\] \\[Error\\] "
                       "w(\\d) n(\\d+) end$"));
    QSet<QString> seen;
    for (const QString &f : logFiles(m_dir)) {
        for (const QString &line : readLines(m_dir + "/" + f)) {
            const auto m = shape.match(line);
            QVERIFY2(m.hasMatch(), qPrintable(line)); // no torn or interleaved lines
            seen.insert(m.captured(1) + ":" + m.captured(2));
        }
    }
    QCOMPARE(seen.size(), threads * perThread);
}

void TestShellLog::clearRemovesOwnFiles()
{
    KxSaveLog::instance()->setMaxRow(1);
    log(QtWarningMsg, "one");
    log(QtWarningMsg, "two");
    QFile other(m_dir + "/other_20240101_00.00.00.log");
    QVERIFY(other.open(QIODevice::WriteOnly));
    other.close();
    QCOMPARE(logFiles(m_dir).size(), 3);
    KxSaveLog::instance()->clear();
    QCOMPARE(logFiles(m_dir), QStringList{"other_20240101_00.00.00.log"});
    log(QtWarningMsg, "three"); // writing goes on after a clear
    QCOMPARE(logFiles(m_dir).size(), 2);
}

void TestShellLog::serverOnLoopbackByDefault()
{
    KxConfig::instance()->setDataDir(m_tmp->path()); // no software.ini yet
    KxSendLog *server = KxSendLog::instance();
    server->setListenPort(0);
    server->start();
    QVERIFY(server->isListening());
    QCOMPARE(server->serverAddress(), QHostAddress(QHostAddress::LocalHost));
    server->stop();

    KxSettingBase::setValue(m_tmp->path() + "/software.ini", "default", "logServerAnyAddress", "0");
    server->start();
    QCOMPARE(server->serverAddress(), QHostAddress(QHostAddress::LocalHost));
    server->stop();
    QVERIFY(!server->isListening());
    QCOMPARE(KxSendLog::listenAddress(QString()), QHostAddress(QHostAddress::LocalHost));
}

void TestShellLog::serverOnAnyAddressWhenSet()
{
    KxConfig::instance()->setDataDir(m_tmp->path());
    KxSettingBase::setValue(m_tmp->path() + "/software.ini", "default", "logServerAnyAddress", "1");
    KxSendLog *server = KxSendLog::instance();
    server->setListenPort(0);
    server->start();
    QVERIFY(server->isListening());
    QCOMPARE(server->serverAddress(), QHostAddress(QHostAddress::AnyIPv4));
    server->stop();
}

void TestShellLog::serverForwardsToNewestClient()
{
    KxConfig::instance()->setDataDir(QString());
    KxSendLog *server = KxSendLog::instance();
    server->setListenPort(0);
    server->start();
    QVERIFY(server->isListening());
    const quint16 port = server->serverPort();

    QTcpSocket first;
    first.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(first.waitForConnected(5000));
    QTRY_VERIFY(server->hasClient());
    server->send("hello");
    QTRY_COMPARE(first.bytesAvailable(), qint64(6));
    QCOMPARE(first.readAll(), QByteArray("hello\n"));

    QTcpSocket second;
    second.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(second.waitForConnected(5000));
    QTRY_COMPARE(first.state(), QAbstractSocket::UnconnectedState); // replaced
    server->send("again");
    QTRY_COMPARE(second.bytesAvailable(), qint64(6));
    QCOMPARE(second.readAll(), QByteArray("again\n"));
    server->stop();
}

QTEST_GUILESS_MAIN(TestShellLog)
#include "tst_shell_log.moc"
