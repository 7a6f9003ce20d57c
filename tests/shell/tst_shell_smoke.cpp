// Runs the real program with an empty data directory and checks what start-up leaves behind.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class TestShellSmoke : public QObject
{
    Q_OBJECT
private slots:
    void startsAndStops();
    void commandLineWithoutWindow_data();
    void commandLineWithoutWindow();
};

// Text-only answers must come without a display: with no platform to open a window on, the
// program would abort if it tried.
void TestShellSmoke::commandLineWithoutWindow_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("help") << QStringList{"--help"} << 0
                          << QStringList{"--select <reader>", "--exit-after <ms>",
                                         "--grab <file>", "--version", "KX_DATA_PATH",
                                         "BREVAN_SCAN_ADDRESSES"};
    QTest::newRow("short help") << QStringList{"-h"} << 0 << QStringList{"--exit-after <ms>"};
    QTest::newRow("version") << QStringList{"--version"} << 0 << QStringList{"V2.03.006.4"};
    QTest::newRow("unknown option") << QStringList{"--no-such-option"} << 2
                                    << QStringList{"no-such-option", "--help"};
    QTest::newRow("bad delay") << QStringList{"--exit-after", "soon"} << 2
                               << QStringList{"--exit-after"};
}

void TestShellSmoke::commandLineWithoutWindow()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QStringList, expected);
    QTemporaryDir tmp;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("KX_DATA_PATH", tmp.path());
    env.insert("HOME", tmp.path());
    env.insert("QT_QPA_PLATFORM", "xcb"); // no display below: a window would abort the run
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    QProcess brevan;
    brevan.setProcessEnvironment(env);
    brevan.setProcessChannelMode(QProcess::MergedChannels);
    brevan.start(QStringLiteral(BREVAN_BIN_DIR "/brevan"), args);
    QVERIFY2(brevan.waitForFinished(60000), "brevan did not stop by itself");
    const QString output = QString::fromLocal8Bit(brevan.readAll());
    QCOMPARE(brevan.exitStatus(), QProcess::NormalExit);
    QVERIFY2(brevan.exitCode() == exitCode, qPrintable(output));
    for (const QString &text : expected)
        QVERIFY2(output.contains(text), qPrintable(text + " not in:\n" + output));
    // Nothing was started: no data directory content was written.
    QVERIFY2(!QFile::exists(tmp.path() + "/Brevan/software.ini"), qPrintable(output));
}

void TestShellSmoke::startsAndStops()
{
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const QString home = tmp.path() + "/home";
    const QString data = tmp.path() + "/data";
    QVERIFY(QDir().mkpath(home));
    QVERIFY(QDir().mkpath(data));

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("KX_DATA_PATH", data);
    env.insert("HOME", home); // the download folder and the native settings stay in here
    env.insert("XDG_CONFIG_HOME", home + "/.config");
    env.insert("XDG_DATA_HOME", home + "/.local/share");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.remove("QT_LOGGING_RULES");

    QProcess brevan;
    brevan.setProcessEnvironment(env);
    brevan.setProcessChannelMode(QProcess::MergedChannels);
    const QString shot = tmp.path() + "/window.png";
    brevan.start(QStringLiteral(BREVAN_BIN_DIR "/brevan"),
                 {"--exit-after", "1500", "--grab", shot});
    QVERIFY2(brevan.waitForFinished(60000), "brevan did not stop by itself");
    const QString output = QString::fromLocal8Bit(brevan.readAll());
    QVERIFY2(brevan.exitStatus() == QProcess::NormalExit, qPrintable(output));
    QCOMPARE(brevan.exitCode(), 0);

    const QString dataDir = data + "/Brevan"; // the application-name level is added
    QVERIFY(QFile::exists(dataDir + "/software.ini"));
    const QStringList logs = QDir(dataDir + "/log").entryList({"brevan_*.log"}, QDir::Files);
    QVERIFY2(!logs.isEmpty(), qPrintable(output));
    QFile log(dataDir + "/log/" + logs.first());
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QByteArray text = log.readAll();
    QVERIFY(text.contains("KxConfig::init..."));
    QVERIFY(text.contains("main()...event loop returned 0"));
    QVERIFY(QFile::exists(dataDir + "/database/imageFileList.db"));

    // The window was drawn: the picture is not one flat colour.
    const QImage img(shot);
    QVERIFY(!img.isNull());
    const QRgb first = img.pixel(0, 0);
    bool varied = false;
    for (int y = 0; y < img.height() && !varied; y += 7)
        for (int x = 0; x < img.width() && !varied; x += 7)
            varied = img.pixel(x, y) != first;
    QVERIFY(varied);
}

QTEST_GUILESS_MAIN(TestShellSmoke)
#include "tst_shell_smoke.moc"
