// The data directory choice, the path accessors and the log set-up done by KxConfig::init().
#include "KxConfig.h"
#include "KxSaveLog.h"
#include "KxSettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QtTest>

class TestShellConfig : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void chooseDataDir_data();
    void chooseDataDir();
    void environmentVariableWins();
    void pathsEmptyWithoutDataDir();
    void pathsBelowDataDir();
    void subDirBlockedByFile();
    void installationPaths();
    void initReadsLogLevel_data();
    void initReadsLogLevel();

private:
    QTemporaryDir m_tmp;
    QString m_root;
};

void TestShellConfig::init()
{
    QVERIFY(m_tmp.isValid());
    // A fresh folder per case, so cases cannot see each other's directories.
    m_root = m_tmp.path() + QStringLiteral("/") +
             QString::fromLatin1(QTest::currentTestFunction()) + QLatin1Char('_') +
             QString::fromLatin1(QTest::currentDataTag());
    QVERIFY(QDir().mkpath(m_root));
    QFile file(m_root + QStringLiteral("/plain.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("not a directory");
}

void TestShellConfig::chooseDataDir_data()
{
    // Candidates and the expected result; "@" stands for the case's own temporary folder.
    QTest::addColumn<QStringList>("candidates");
    QTest::addColumn<QString>("expected");

    QTest::newRow("creatable path gets created")
        << QStringList{"@/a/b/c", "@/other"} << "@/a/b/c/Brevan";
    QTest::newRow("already named Brevan") << QStringList{"@/x/Brevan"} << "@/x/Brevan";
    QTest::newRow("empty candidate skipped") << QStringList{"", "@/y"} << "@/y/Brevan";
    QTest::newRow("path below a file skipped")
        << QStringList{"@/plain.txt/sub", "@/z"} << "@/z/Brevan";
    QTest::newRow("a file is no directory") << QStringList{"@/plain.txt", "@/z"} << "@/z/Brevan";
    QTest::newRow("nothing usable") << QStringList{"", "@/plain.txt/sub"} << "";
    QTest::newRow("no candidates") << QStringList{} << "";
    QTest::newRow("relative parts cleaned") << QStringList{"@/q/../r/"} << "@/r/Brevan";
}

void TestShellConfig::chooseDataDir()
{
    QFETCH(QStringList, candidates);
    QFETCH(QString, expected);
    for (QString &c : candidates)
        c.replace(QLatin1Char('@'), m_root);
    expected.replace(QLatin1Char('@'), m_root);

    const QString chosen = KxConfig::chooseDataDirFrom(candidates);
    QCOMPARE(chosen, expected);
    if (!expected.isEmpty()) {
        QVERIFY(QFileInfo(chosen).isDir());
        QVERIFY(!QFileInfo::exists(chosen + QStringLiteral("/Brevan")));
    }
}

void TestShellConfig::environmentVariableWins()
{
    const QString dir = m_root + QStringLiteral("/from-env");
    qputenv("KX_DATA_PATH", QFile::encodeName(dir));
    KxConfig::instance()->setInstallDir(m_root + QStringLiteral("/install"));
    const QStringList candidates = KxConfig::instance()->dataDirCandidates();
    QCOMPARE(candidates.size(), 3);
    QCOMPARE(candidates.first(), dir);
    QCOMPARE(candidates.last(), m_root + QStringLiteral("/install"));
    QCOMPARE(KxConfig::instance()->chooseDataDir(), dir + QStringLiteral("/Brevan"));
    qunsetenv("KX_DATA_PATH");
}

void TestShellConfig::pathsEmptyWithoutDataDir()
{
    KxConfig *config = KxConfig::instance();
    config->setDataDir(QString());
    QVERIFY(config->settingsFile().isEmpty());
    QVERIFY(config->aliasFile().isEmpty());
    QVERIFY(config->databaseDir().isEmpty());
    QVERIFY(config->subDir(QStringLiteral("log")).isEmpty());
    QVERIFY(config->crashDumpFile(QStringLiteral("crash.dmp")).isEmpty());
}

void TestShellConfig::pathsBelowDataDir()
{
    KxConfig *config = KxConfig::instance();
    config->setDataDir(m_root);
    QCOMPARE(config->settingsFile(), m_root + QStringLiteral("/software.ini"));
    QCOMPARE(config->aliasFile(), m_root + QStringLiteral("/alias.ini"));
    QCOMPARE(config->databaseDir(), m_root + QStringLiteral("/database"));
    QCOMPARE(config->crashDumpFile(QStringLiteral("c.dmp")),
             m_root + QStringLiteral("/dump/c.dmp"));

    const QString log = config->subDir(QStringLiteral("log/deep"));
    QCOMPARE(log, m_root + QStringLiteral("/log/deep"));
    QVERIFY(QFileInfo(log).isDir());
    QCOMPARE(config->subDir(QStringLiteral("log/deep")), log); // existing: same answer
}

void TestShellConfig::subDirBlockedByFile()
{
    KxConfig::instance()->setDataDir(m_root);
    QVERIFY(KxConfig::instance()->subDir(QStringLiteral("plain.txt")).isEmpty());
    QVERIFY(KxConfig::instance()->subDir(QStringLiteral("plain.txt/inner")).isEmpty());
}

void TestShellConfig::installationPaths()
{
    KxConfig *config = KxConfig::instance();
    config->setInstallDir(QStringLiteral("/opt/brevan"));
    QCOMPARE(config->installDir(), QStringLiteral("/opt/brevan"));
    QCOMPARE(config->barcodeSettingDir(), QStringLiteral("/opt/brevan/models/barcodesetting"));
    QCOMPARE(config->offlineDir(), QStringLiteral("/opt/brevan/models/barcodesetting/offline"));
    QCOMPARE(config->rfidSettingDir(), QStringLiteral("/opt/brevan/models/rfidsetting"));
    QCOMPARE(config->resourcesDir(), QStringLiteral("/opt/brevan/models/resources"));
    QCOMPARE(config->trainingSettingDir(), QStringLiteral("/opt/brevan/models/trainingsetting"));
    QCOMPARE(config->localSettingDir(), QStringLiteral("/opt/brevan/models/localsetting"));
    QCOMPARE(config->userDirectoryDir(), QStringLiteral("/opt/brevan/models/userdirectory"));
    QCOMPARE(config->imagesDir(QStringLiteral("quick")),
             QStringLiteral("/opt/brevan/images/quick"));
    QCOMPARE(KxConfig::versionString().toLower(), QStringLiteral("v2.03.006.4"));
}

void TestShellConfig::initReadsLogLevel_data()
{
    QTest::addColumn<QString>("level");
    QTest::addColumn<int>("expectedMask");
    QTest::newRow("absent keeps all") << QString() << 31;
    QTest::newRow("1 keeps info") << "1" << 31;
    QTest::newRow("0 drops info") << "0" << 29;
    QTest::newRow("2 drops info") << "2" << 29;
    QTest::newRow("text drops info") << "verbose" << 29;
}

void TestShellConfig::initReadsLogLevel()
{
    QFETCH(QString, level);
    QFETCH(int, expectedMask);

    const QString dataDir = m_root + QStringLiteral("/Brevan");
    QVERIFY(QDir().mkpath(dataDir));
    if (!level.isNull())
        KxSettingBase::setValue(dataDir + QStringLiteral("/software.ini"),
                                QStringLiteral("default"), QStringLiteral("appLogLevel"), level);
    qputenv("KX_DATA_PATH", QFile::encodeName(dataDir));

    // CTest switches debug output off; the start-up line is a debug line.
    QLoggingCategory::installFilter([](QLoggingCategory *category) {
        if (qstrcmp(category->categoryName(), "default") == 0)
            category->setEnabled(QtDebugMsg, true);
    });
    KxSaveLog *log = KxSaveLog::instance();
    log->setMsgType(KxSaveLog::All);
    KxConfig::instance()->init();
    qInfo("an info line");
    qWarning("a warning line");
    log->stop();
    qunsetenv("KX_DATA_PATH");

    QCOMPARE(KxConfig::instance()->dataDir(), dataDir);
    QCOMPARE(log->msgLevel(), expectedMask);
    QCOMPARE(log->path(), dataDir + QStringLiteral("/log"));

    const QStringList files = QDir(dataDir + QStringLiteral("/log")).entryList(QDir::Files);
    QCOMPARE(files.size(), 1);
    QFile file(dataDir + QStringLiteral("/log/") + files.first());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    QVERIFY(text.contains(QStringLiteral("[Debug] KxConfig::init...")));
    QVERIFY(text.contains(QStringLiteral("[Warnx] a warning line")));
    QCOMPARE(text.contains(QStringLiteral("[Infox] an info line")), expectedMask == 31);
    QVERIFY(QFileInfo(dataDir + QStringLiteral("/dump")).isDir());
}

QTEST_GUILESS_MAIN(TestShellConfig)
#include "tst_shell_config.moc"
