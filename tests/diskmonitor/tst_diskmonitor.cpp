// The disk space monitor against real files in a temporary data directory and a real index;
// only the free-space figures and the wait lengths are injected.
#include "DiskSpaceMonitorThread.h"
#include "KxConfig.h"
#include "KxSettings.h"
#include "SqliteDbManager.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const char kNoSpace[] = "noSpaceAnddontSaveImage";

void setLocal(const char *key, const QString &value)
{
    qApp->setProperty(QByteArray("localSetting_").append(key).constData(), value);
}

void setFtp(const QString &key, const QString &value)
{
    KxSettings::instance()->setValue(QStringLiteral("ftp"), key, value);
}

int filesIn(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files).size();
}
} // namespace

class TestDiskMonitor : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_root;
    QString m_images;
    QString m_ftp;
    int m_run = 0;

    // A file whose index record (and modification time) says it was made at `created`.
    QString addFile(const QString &dir, const QString &name, const QDateTime &created, bool ftpTable)
    {
        const QString path = dir + QLatin1Char('/') + name;
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write("img") != 3)
            return QString();
        f.flush();
        f.setFileTime(created, QFileDevice::FileModificationTime);
        const QString stamp = created.toString(QStringLiteral("yyyyMMddhhmmss"));
        SqliteDbManager *index = SqliteDbManager::instance();
        const bool ok = ftpTable ? index->insertIntoFtpFilesTable(path, stamp)
                                 : index->insertIntoImageFilesTable(path, stamp);
        return ok ? path : QString();
    }
    // n files aged 1..n hours; returns them newest first.
    QStringList addFiles(const QString &dir, const QString &stem, int n, bool ftpTable)
    {
        QStringList paths;
        const QDateTime now = QDateTime::currentDateTime();
        for (int i = 1; i <= n; ++i)
            paths << addFile(dir, QStringLiteral("%1%2.bmp").arg(stem).arg(i), now.addSecs(-3600 * i), ftpTable);
        return paths;
    }
    QStringList recordsIn(const QString &table)
    {
        QStringList names;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
            db.setDatabaseName(KxConfig::instance()->databaseDir() + QStringLiteral("/imageFileList.db"));
            if (db.open()) {
                QSqlQuery q(db);
                q.exec(QStringLiteral("SELECT imageName FROM %1 ORDER BY imageName;").arg(table));
                while (q.next())
                    names << q.value(0).toString();
            }
        }
        QSqlDatabase::removeDatabase(QStringLiteral("check"));
        return names;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_root.isValid());
        KxConfig::instance()->setDataDir(m_root.path() + QStringLiteral("/data"));
        QVERIFY(QDir().mkpath(KxConfig::instance()->dataDir()));
    }

    void init()
    {
        ++m_run;
        m_images = m_root.path() + QStringLiteral("/run%1/images").arg(m_run);
        m_ftp = m_root.path() + QStringLiteral("/run%1/ftp").arg(m_run);
        QVERIFY(QDir().mkpath(m_images));
        QVERIFY(QDir().mkpath(m_ftp));
        setLocal("imagePath", m_images);
        setLocal("imageRemoveStrategy", QStringLiteral("9")); // neither age nor count
        setLocal("imageStrategy", QStringLiteral("1"));
        setLocal("miniFreeReservedSpace", QStringLiteral("2")); // 5 GB
        setLocal("appLogAutoDelDate", QStringLiteral("4"));
        setFtp(QStringLiteral("dir"), m_ftp);
        setFtp(QStringLiteral("ftpRemoveStrategy"), QStringLiteral("9"));
        qApp->setProperty(kNoSpace, true);
    }
    void cleanup()
    {
        SqliteDbManager::instance()->keepLatestRecordsInImageFilesTable(0);
        SqliteDbManager::instance()->keepLatestRecordsInFtpFilesTable(0);
    }

    void creationResetsFlagAndOpensIndex()
    {
        DiskSpaceMonitorThread monitor;
        QCOMPARE(qApp->property(kNoSpace).toBool(), false);
        QVERIFY(QFile::exists(KxConfig::instance()->databaseDir() + QStringLiteral("/imageFileList.db")));
        QVERIFY(SqliteDbManager::instance()->isOpen());
    }

    void logPruning_data()
    {
        QTest::addColumn<QString>("choice");
        QTest::addColumn<int>("days");
        QTest::newRow("0 -> 1 day") << "0" << 1;
        QTest::newRow("1 -> 3 days") << "1" << 3;
        QTest::newRow("2 -> 7 days") << "2" << 7;
        QTest::newRow("3 -> 10 days") << "3" << 10;
        QTest::newRow("4 -> 15 days") << "4" << 15;
        QTest::newRow("out of range -> 3 days") << "5" << 3;
        QTest::newRow("not a number -> 3 days") << "x" << 3;
    }
    void logPruning()
    {
        QFETCH(QString, choice);
        QFETCH(int, days);
        setLocal("appLogAutoDelDate", choice);
        const QString logDir = KxConfig::instance()->subDir(QStringLiteral("log"));
        QVERIFY(!logDir.isEmpty());
        QDir(logDir).removeRecursively();
        QVERIFY(QDir().mkpath(logDir + QStringLiteral("/nested")));
        const QDateTime now = QDateTime::currentDateTime();
        auto make = [](const QString &path, const QDateTime &mtime) {
            QFile f(path);
            // Flush first: a later flush would move the time again.
            return f.open(QIODevice::WriteOnly) && f.write("log\n") == 4 && f.flush()
                && f.setFileTime(mtime, QFileDevice::FileModificationTime);
        };
        const QString young = logDir + QStringLiteral("/young.log");
        const QString old = logDir + QStringLiteral("/old.log");
        const QString nestedOld = logDir + QStringLiteral("/nested/old.log");
        QVERIFY(make(young, now.addSecs(-(days * 86400 - 3600))));
        QVERIFY(make(old, now.addSecs(-(days * 86400 + 3600))));
        QVERIFY(make(nestedOld, now.addDays(-400)));

        DiskSpaceMonitorThread monitor;
        QCOMPARE(monitor.deleteOldLogs(), 1);
        QVERIFY(QFile::exists(young));
        QVERIFY(!QFile::exists(old));
        QVERIFY(QFile::exists(nestedOld)); // no recursion
    }

    void imagesByAge()
    {
        setLocal("imageRemoveStrategy", QStringLiteral("0"));
        setLocal("imageSaveDate", QStringLiteral("1")); // 3 days
        const QDateTime now = QDateTime::currentDateTime();
        DiskSpaceMonitorThread monitor;
        monitor.setFreeSpaceFunction([](const QString &) { return qint64(100); });
        const QString old = addFile(m_images, QStringLiteral("old.bmp"), now.addDays(-5), false);
        const QString fresh = addFile(m_images, QStringLiteral("fresh.bmp"), now.addDays(-1), false);
        // A stale record naming a file elsewhere: its record goes, the file stays.
        const QString foreign = addFile(m_ftp, QStringLiteral("foreign.bmp"), now.addDays(-6), false);
        QVERIFY(!old.isEmpty() && !fresh.isEmpty() && !foreign.isEmpty());

        QCOMPARE(monitor.checkOnce(), false);
        QVERIFY(!QFile::exists(old));
        QVERIFY(QFile::exists(fresh));
        QVERIFY(QFile::exists(foreign));
        QCOMPARE(recordsIn(QStringLiteral("ImageFilesTable")), QStringList{fresh});
    }

    void imagesByCount()
    {
        setLocal("imageRemoveStrategy", QStringLiteral("1"));
        setLocal("imageSaveMaxCount", QStringLiteral("2"));
        DiskSpaceMonitorThread monitor;
        monitor.setFreeSpaceFunction([](const QString &) { return qint64(100); });
        const QStringList files = addFiles(m_images, QStringLiteral("img"), 5, false);
        QCOMPARE(monitor.checkOnce(), false);
        for (int i = 0; i < files.size(); ++i)
            QCOMPARE(QFile::exists(files.at(i)), i < 2);
        QCOMPARE(recordsIn(QStringLiteral("ImageFilesTable")), files.mid(0, 2));
    }

    void ftpPruning_data()
    {
        QTest::addColumn<QString>("strategy");
        QTest::addColumn<QString>("saveDate");
        QTest::addColumn<QString>("maxCount");
        QTest::addColumn<int>("kept");
        // Files are 1..6 hours old, the last two moved back by two days.
        QTest::newRow("by age, 1 day") << "0" << "0" << "50000" << 4;
        QTest::newRow("by age, 90 days") << "0" << "7" << "50000" << 6;
        QTest::newRow("by count 3") << "1" << "7" << "3" << 3;
        QTest::newRow("by count 0 does nothing") << "1" << "7" << "0" << 6;
    }
    void ftpPruning()
    {
        QFETCH(QString, strategy);
        QFETCH(QString, saveDate);
        QFETCH(QString, maxCount);
        QFETCH(int, kept);
        setFtp(QStringLiteral("ftpRemoveStrategy"), strategy);
        setFtp(QStringLiteral("ftpSaveDate"), saveDate);
        setFtp(QStringLiteral("ftpSaveMaxCount"), maxCount);
        DiskSpaceMonitorThread monitor;
        monitor.setFreeSpaceFunction([](const QString &) { return qint64(100); });
        const QDateTime now = QDateTime::currentDateTime();
        QStringList files = addFiles(m_ftp, QStringLiteral("up"), 4, true);
        files << addFile(m_ftp, QStringLiteral("up5.bmp"), now.addDays(-2), true)
              << addFile(m_ftp, QStringLiteral("up6.bmp"), now.addDays(-2).addSecs(-60), true);
        QCOMPARE(monitor.checkOnce(), false);
        for (int i = 0; i < files.size(); ++i)
            QCOMPARE(QFile::exists(files.at(i)), i < kept);
        QCOMPARE(recordsIn(QStringLiteral("FtpFilesTable")).size(), kept);
    }

    void spaceLoop_data()
    {
        QTest::addColumn<bool>("sameVolume");
        QTest::addColumn<int>("imageFree");   // free GB while files remain above the limit
        QTest::addColumn<int>("ftpFree");
        QTest::addColumn<int>("enoughAt");    // space suffices once this many files remain (-1: never)
        QTest::addColumn<QString>("strategy"); // "imageStrategy"
        QTest::addColumn<bool>("imageDirExists");
        QTest::addColumn<int>("imagesLeft");
        QTest::addColumn<int>("ftpLeft");
        QTest::addColumn<bool>("outOfSpace");

        QTest::newRow("same volume, recovers") << true << 1 << 1 << 12 << "1" << true << 6 << 6 << false;
        QTest::newRow("same volume, exhausted") << true << 1 << 1 << -1 << "1" << true << 0 << 0 << true;
        QTest::newRow("same volume, no automatic pruning") << true << 1 << 1 << -1 << "0" << true << 10 << 10 << false;
        QTest::newRow("same volume, unknown free space") << true << 0 << 0 << -1 << "1" << true << 10 << 10 << false;
        QTest::newRow("same volume, image dir missing") << true << 1 << 1 << -1 << "1" << false << 0 << 0 << false;
        QTest::newRow("two volumes, FTP volume full") << false << 100 << 1 << -1 << "1" << true << 10 << 0 << true;
        QTest::newRow("two volumes, image volume full") << false << 1 << 100 << -1 << "1" << true << 0 << 10 << true;
        QTest::newRow("two volumes, both recover") << false << 1 << 1 << 7 << "1" << true << 7 << 7 << false;
        QTest::newRow("two volumes, image dir missing") << false << 1 << 1 << -1 << "1" << false << 0 << 0 << true;
        QTest::newRow("two volumes, FTP unknown") << false << 100 << 0 << -1 << "1" << true << 10 << 10 << false;
    }
    void spaceLoop()
    {
        QFETCH(bool, sameVolume);
        QFETCH(int, imageFree);
        QFETCH(int, ftpFree);
        QFETCH(int, enoughAt);
        QFETCH(QString, strategy);
        QFETCH(bool, imageDirExists);
        QFETCH(int, imagesLeft);
        QFETCH(int, ftpLeft);
        QFETCH(bool, outOfSpace);
        setLocal("imageStrategy", strategy);

        DiskSpaceMonitorThread monitor;
        const QString images = m_images;
        const QString ftp = m_ftp;
        addFiles(m_images, QStringLiteral("img"), 10, false);
        addFiles(m_ftp, QStringLiteral("up"), 10, true);
        if (!imageDirExists) {
            // The records stay, the folder is gone (an unplugged drive).
            QVERIFY(QDir(m_images).removeRecursively());
        }
        // With two volumes each volume's figure follows its own folder.
        monitor.setVolumeFunction([sameVolume, images](const QString &p) {
            return sameVolume ? QStringLiteral("vol") : (p == images ? QStringLiteral("a") : QStringLiteral("b"));
        });
        monitor.setFreeSpaceFunction([=](const QString &p) -> qint64 {
            const bool isImage = p == images;
            const int left = sameVolume ? filesIn(images) + filesIn(ftp) : filesIn(isImage ? images : ftp);
            if (enoughAt >= 0 && left <= enoughAt)
                return 100;
            return isImage ? imageFree : ftpFree;
        });
        QCOMPARE(monitor.checkOnce(), outOfSpace);
        QCOMPARE(filesIn(m_images), imageDirExists ? imagesLeft : 0);
        QCOMPARE(filesIn(m_ftp), ftpLeft);
        QCOMPARE(recordsIn(QStringLiteral("FtpFilesTable")).size(), ftpLeft);
        if (imageDirExists)
            QCOMPARE(recordsIn(QStringLiteral("ImageFilesTable")).size(), imagesLeft);
        else
            QCOMPARE(recordsIn(QStringLiteral("ImageFilesTable")).size(), 10);
    }

    // The oldest go first when space runs short.
    void spaceLoopRemovesOldestFirst()
    {
        DiskSpaceMonitorThread monitor;
        const QStringList files = addFiles(m_images, QStringLiteral("img"), 10, false);
        const QString images = m_images;
        monitor.setFreeSpaceFunction([images](const QString &) -> qint64 { return filesIn(images) > 7 ? 1 : 100; });
        QCOMPARE(monitor.checkOnce(), false);
        for (int i = 0; i < files.size(); ++i)
            QCOMPARE(QFile::exists(files.at(i)), i < 7);
    }

    void emptyFtpDirSkipsSpaceCheck()
    {
        setFtp(QStringLiteral("dir"), QString());
        addFiles(m_images, QStringLiteral("img"), 3, false);
        DiskSpaceMonitorThread monitor;
        int probes = 0;
        monitor.setFreeSpaceFunction([&probes](const QString &) { ++probes; return qint64(1); });
        monitor.setWaitTimes(20, 20);
        int passes = 0;
        connect(&monitor, &DiskSpaceMonitorThread::checkFinished, this, [&passes] { ++passes; },
                Qt::QueuedConnection);
        qApp->setProperty(kNoSpace, true);
        monitor.start();
        QTRY_VERIFY(passes >= 2);
        monitor.stop();
        QVERIFY(monitor.wait(5000));
        QCoreApplication::processEvents();
        QCOMPARE(probes, 0);
        QCOMPARE(qApp->property(kNoSpace).toBool(), false);
        QCOMPARE(filesIn(m_images), 3);
    }

    void runPublishesOutOfSpace()
    {
        addFiles(m_images, QStringLiteral("img"), 3, false);
        addFiles(m_ftp, QStringLiteral("up"), 3, true);
        DiskSpaceMonitorThread monitor;
        monitor.setVolumeFunction([](const QString &) { return QStringLiteral("vol"); });
        monitor.setFreeSpaceFunction([](const QString &) { return qint64(1); });
        monitor.setWaitTimes(20, 20);
        QCOMPARE(qApp->property(kNoSpace).toBool(), false);
        monitor.start();
        QTRY_COMPARE(qApp->property(kNoSpace).toBool(), true);
        monitor.stop();
        QVERIFY(monitor.wait(5000));
        QCOMPARE(filesIn(m_images) + filesIn(m_ftp), 0);
    }

    void stopEndsLongWait()
    {
        DiskSpaceMonitorThread monitor;
        monitor.setFreeSpaceFunction([](const QString &) { return qint64(100); });
        monitor.setWaitTimes(600000, 600000);
        int passes = 0;
        connect(&monitor, &DiskSpaceMonitorThread::checkFinished, this, [&passes] { ++passes; },
                Qt::QueuedConnection);
        monitor.start();
        QTRY_COMPARE(passes, 1);
        QTest::ignoreMessage(QtInfoMsg, "DiskSpaceMonitorThread running break");
        QElapsedTimer timer;
        timer.start();
        monitor.stop();
        QVERIFY(monitor.wait(10000));
        QVERIFY2(timer.elapsed() < 1500, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(passes, 1);
    }
};

QTEST_GUILESS_MAIN(TestDiskMonitor)
#include "tst_diskmonitor.moc"
