// The image index: its operations on both tables, the indexes it adds, old database files,
// and calls from other threads and after shutdown.
#include "SqliteDbManager.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <functional>

namespace {
const char kFormat[] = "yyyyMMddhhmmss";

// One table's operations, so every case runs against both tables.
struct TableOps
{
    QString table;
    std::function<bool(const QString &, const QString &)> insert;
    std::function<QStringList(int)> expired;
    std::function<QStringList(int)> keepLatest;
    std::function<QStringList()> oldestShare;
};

TableOps ops(const QString &table)
{
    SqliteDbManager *m = SqliteDbManager::instance();
    if (table == QLatin1String("ImageFilesTable")) {
        return {table,
                [m](const QString &n, const QString &t) { return m->insertIntoImageFilesTable(n, t); },
                [m](int d) { return m->deleteExpiredRecordsFromImageFilesTable(d); },
                [m](int c) { return m->keepLatestRecordsInImageFilesTable(c); },
                [m] { return m->deleteOldestNPercentRecordsFromImageFilesTable(); }};
    }
    return {table,
            [m](const QString &n, const QString &t) { return m->insertIntoFtpFilesTable(n, t); },
            [m](int d) { return m->deleteExpiredRecordsFromFtpFilesTable(d); },
            [m](int c) { return m->keepLatestRecordsInFtpFilesTable(c); },
            [m] { return m->deleteOldestNPercentRecordsFromFtpFilesTable(); }};
}

QString stamp(const QDateTime &t)
{
    return t.toString(QLatin1String(kFormat));
}

// Record i is i minutes older than the base: "f0" is the newest.
QStringList fill(const TableOps &o, int count)
{
    const QDateTime base = QDateTime::currentDateTime().addSecs(-60);
    QStringList names;
    for (int i = 0; i < count; ++i) {
        const QString name = QStringLiteral("/data/images/f%1.bmp").arg(i);
        if (!o.insert(name, stamp(base.addSecs(-60 * i))))
            return {};
        names << name;
    }
    return names;
}
} // namespace

class TestImageIndex : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir *m_dir = nullptr;
    QString dbFile() const { return m_dir->path() + QStringLiteral("/db/imageFileList.db"); }

    // Reads the file through a connection of its own, independent of the index.
    QStringList namesIn(const QString &table)
    {
        QStringList names;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("verify"));
            db.setDatabaseName(dbFile());
            if (db.open()) {
                QSqlQuery q(db);
                q.exec(QStringLiteral("SELECT imageName FROM %1 ORDER BY imageName;").arg(table));
                while (q.next())
                    names << q.value(0).toString();
            }
        }
        QSqlDatabase::removeDatabase(QStringLiteral("verify"));
        return names;
    }
    QString scalar(const QString &sql)
    {
        QStringList rows;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("verify"));
            db.setDatabaseName(dbFile());
            if (db.open()) {
                QSqlQuery q(db);
                if (q.exec(sql)) {
                    while (q.next())
                        rows << q.value(q.record().count() - 1).toString();
                }
            }
        }
        QSqlDatabase::removeDatabase(QStringLiteral("verify"));
        return rows.join(QLatin1Char('\n'));
    }
    static void addTables()
    {
        QTest::addColumn<QString>("table");
        QTest::newRow("image") << QStringLiteral("ImageFilesTable");
        QTest::newRow("ftp") << QStringLiteral("FtpFilesTable");
    }

private slots:
    void init()
    {
        m_dir = new QTemporaryDir;
        QVERIFY(m_dir->isValid());
        QVERIFY(SqliteDbManager::instance()->open(m_dir->path() + QStringLiteral("/db")));
        QVERIFY(QFile::exists(dbFile()));
    }
    void cleanup()
    {
        SqliteDbManager::instance()->close();
        delete m_dir;
        m_dir = nullptr;
    }

    void oldestShare_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("removed");
        for (const QString &t : {QStringLiteral("ImageFilesTable"), QStringLiteral("FtpFilesTable")}) {
            QTest::addRow("%s 25", qPrintable(t)) << t << 25 << 2;
            QTest::addRow("%s 5", qPrintable(t)) << t << 5 << 1;
            QTest::addRow("%s 1", qPrintable(t)) << t << 1 << 1;
            QTest::addRow("%s 100", qPrintable(t)) << t << 100 << 10;
            QTest::addRow("%s 0", qPrintable(t)) << t << 0 << 0;
        }
    }
    void oldestShare()
    {
        QFETCH(QString, table);
        QFETCH(int, count);
        QFETCH(int, removed);
        const TableOps o = ops(table);
        const QStringList names = fill(o, count);
        QCOMPARE(names.size(), count);
        const QStringList got = o.oldestShare();
        // The oldest are the last inserted.
        QCOMPARE(QSet<QString>(got.begin(), got.end()),
                 QSet<QString>(names.end() - removed, names.end()));
        QCOMPARE(namesIn(table).size(), count - removed);
        for (const QString &n : got)
            QVERIFY(!namesIn(table).contains(n));
    }

    void keepLatest_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<int>("maxCount");
        QTest::addColumn<int>("kept");
        for (const QString &t : {QStringLiteral("ImageFilesTable"), QStringLiteral("FtpFilesTable")}) {
            QTest::addRow("%s zero empties", qPrintable(t)) << t << 0 << 0;
            QTest::addRow("%s negative keeps all", qPrintable(t)) << t << -1 << 10;
            QTest::addRow("%s three newest", qPrintable(t)) << t << 3 << 3;
            QTest::addRow("%s exactly all", qPrintable(t)) << t << 10 << 10;
            QTest::addRow("%s more than all", qPrintable(t)) << t << 50 << 10;
        }
    }
    void keepLatest()
    {
        QFETCH(QString, table);
        QFETCH(int, maxCount);
        QFETCH(int, kept);
        const TableOps o = ops(table);
        const QStringList names = fill(o, 10);
        if (maxCount == 0)
            QTest::ignoreMessage(QtInfoMsg,
                                 qPrintable(QStringLiteral("maxCount=0，将删除表[%1]中所有记录").arg(table)));
        const QStringList got = o.keepLatest(maxCount);
        QCOMPARE(got.size(), 10 - kept);
        QStringList expectedKept = names.mid(0, kept);
        expectedKept.sort();
        QCOMPARE(namesIn(table), expectedKept);
        QCOMPARE(QSet<QString>(got.begin(), got.end()),
                 QSet<QString>(names.begin() + kept, names.end()));
    }

    void expiry_data() { addTables(); }
    void expiry()
    {
        QFETCH(QString, table);
        const TableOps o = ops(table);
        const QDateTime now = QDateTime::currentDateTime();
        QVERIFY(o.insert(QStringLiteral("/a/old10d"), stamp(now.addDays(-10))));
        QVERIFY(o.insert(QStringLiteral("/a/old2d"), stamp(now.addDays(-2))));
        QVERIFY(o.insert(QStringLiteral("/a/fresh"), stamp(now.addSecs(-3600))));

        QCOMPARE(o.expired(3), QStringList{QStringLiteral("/a/old10d")});
        QCOMPARE(o.expired(3), QStringList());
        QCOMPARE(o.expired(1), QStringList{QStringLiteral("/a/old2d")});
        QCOMPARE(namesIn(table), QStringList{QStringLiteral("/a/fresh")});
        QCOMPARE(o.expired(-1), QStringList());
        QCOMPARE(namesIn(table), QStringList{QStringLiteral("/a/fresh")});
    }

    void unparsableDatesAreKept_data() { addTables(); }
    void unparsableDatesAreKept()
    {
        QFETCH(QString, table);
        const TableOps o = ops(table);
        const QDateTime now = QDateTime::currentDateTime();
        // Both sort before any real date, so every selection picks them first.
        QVERIFY(o.insert(QStringLiteral("/a/dashed"), QStringLiteral("2020-01-01")));
        QVERIFY(o.insert(QStringLiteral("/a/month13"), QStringLiteral("20201301000000")));
        QVERIFY(o.insert(QStringLiteral("/a/old"), stamp(now.addDays(-30))));
        QCOMPARE(o.expired(7), QStringList{QStringLiteral("/a/old")});
        QCOMPARE(namesIn(table), (QStringList{QStringLiteral("/a/dashed"), QStringLiteral("/a/month13")}));
        // Only unreadable records among the oldest: nothing is removed, the caller sees "none".
        QCOMPARE(o.oldestShare(), QStringList());
        QCOMPARE(o.keepLatest(0), QStringList());
        QCOMPARE(namesIn(table).size(), 2);
    }

    void insertRefusesEmptyValues_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("time");
        QTest::newRow("empty name") << QString() << QStringLiteral("20250102030405");
        QTest::newRow("empty time") << QStringLiteral("/a/b.bmp") << QString();
        QTest::newRow("both empty") << QString() << QString();
    }
    void insertRefusesEmptyValues()
    {
        QFETCH(QString, name);
        QFETCH(QString, time);
        QVERIFY(!SqliteDbManager::instance()->insertIntoImageFilesTable(name, time));
        QVERIFY(!SqliteDbManager::instance()->insertIntoFtpFilesTable(name, time));
        QVERIFY(namesIn(QStringLiteral("ImageFilesTable")).isEmpty());
        QVERIFY(namesIn(QStringLiteral("FtpFilesTable")).isEmpty());
    }

    void tablesAreSeparate()
    {
        const TableOps img = ops(QStringLiteral("ImageFilesTable"));
        const TableOps ftp = ops(QStringLiteral("FtpFilesTable"));
        fill(img, 4);
        QCOMPARE(ftp.keepLatest(0), QStringList());
        QCOMPARE(namesIn(img.table).size(), 4);
    }

    void indexesServeDeletesAndSelections_data() { addTables(); }
    void indexesServeDeletesAndSelections()
    {
        QFETCH(QString, table);
        const QString byName = scalar(
            QStringLiteral("EXPLAIN QUERY PLAN DELETE FROM %1 WHERE imageName = 'x';").arg(table));
        QVERIFY2(byName.contains(QLatin1String("USING INDEX")), qPrintable(byName));
        const QString byDate = scalar(QStringLiteral("EXPLAIN QUERY PLAN SELECT imageName, createDateTime "
                                                     "FROM %1 WHERE createDateTime < '2';").arg(table));
        QVERIFY2(byDate.contains(QLatin1String("USING INDEX")), qPrintable(byDate));
        const QString oldest = scalar(QStringLiteral("EXPLAIN QUERY PLAN SELECT imageName, createDateTime "
                                                     "FROM %1 ORDER BY createDateTime ASC LIMIT 3;").arg(table));
        QVERIFY2(oldest.contains(QLatin1String("USING INDEX")), qPrintable(oldest));
    }

    // A file written before the indexes existed: same layout, rows kept, indexes added.
    void legacyDatabaseGainsIndexes()
    {
        SqliteDbManager::instance()->close();
        QFile::remove(dbFile());
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("legacy"));
            db.setDatabaseName(dbFile());
            QVERIFY(db.open());
            QSqlQuery q(db);
            QVERIFY(q.exec(QStringLiteral("CREATE TABLE ImageFilesTable (imageName TEXT NOT NULL,"
                                          "createDateTime TEXT NOT NULL);")));
            QVERIFY(q.exec(QStringLiteral("INSERT INTO ImageFilesTable VALUES ('/old/a.bmp', '20200101000000');")));
            QVERIFY(q.exec(QStringLiteral("INSERT INTO ImageFilesTable VALUES ('/old/b.bmp', '20200102000000');")));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("legacy"));
        QCOMPARE(scalar(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type='index';")),
                 QStringLiteral("0"));

        QVERIFY(SqliteDbManager::instance()->open(m_dir->path() + QStringLiteral("/db")));
        QCOMPARE(namesIn(QStringLiteral("ImageFilesTable")),
                 (QStringList{QStringLiteral("/old/a.bmp"), QStringLiteral("/old/b.bmp")}));
        QCOMPARE(scalar(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type='index';")),
                 QStringLiteral("4"));
        QVERIFY(namesIn(QStringLiteral("FtpFilesTable")).isEmpty());
        QCOMPARE(SqliteDbManager::instance()->deleteOldestNPercentRecordsFromImageFilesTable(),
                 QStringList{QStringLiteral("/old/a.bmp")});
    }

    void concurrentCallers()
    {
        QList<QThread *> threads;
        QAtomicInt failures = 0;
        for (int t = 0; t < 4; ++t) {
            threads << QThread::create([t, &failures] {
                for (int i = 0; i < 50; ++i) {
                    if (!SqliteDbManager::instance()->insertIntoFtpFilesTable(
                            QStringLiteral("/t%1/%2").arg(t).arg(i), QStringLiteral("20250101000000")))
                        failures.ref();
                }
            });
            threads.last()->start();
        }
        for (QThread *th : threads) {
            QVERIFY(th->wait(30000));
            delete th;
        }
        QCOMPARE(int(failures), 0);
        QCOMPARE(namesIn(QStringLiteral("FtpFilesTable")).size(), 200);
    }

    // A call made on the index thread itself runs directly instead of waiting on itself.
    void callFromWorkerThread()
    {
        auto *onWorker = new QObject;
        onWorker->moveToThread(SqliteDbManager::instance()->workerThread());
        bool inserted = false;
        QVERIFY(QMetaObject::invokeMethod(
            onWorker,
            [&inserted] {
                inserted = SqliteDbManager::instance()->insertIntoImageFilesTable(
                    QStringLiteral("/w/x.bmp"), QStringLiteral("20250101000000"));
            },
            Qt::BlockingQueuedConnection));
        QVERIFY(inserted);
        QCOMPARE(namesIn(QStringLiteral("ImageFilesTable")), QStringList{QStringLiteral("/w/x.bmp")});
        onWorker->deleteLater();
    }

    // Must stay last: the index does not come back after shutdown.
    void callsAfterShutdownFail()
    {
        SqliteDbManager *m = SqliteDbManager::instance();
        fill(ops(QStringLiteral("ImageFilesTable")), 3);
        // A caller busy on another thread sees its calls fail once the index is gone, and
        // neither side hangs.
        QAtomicInt accepted = 0;
        QThread *caller = QThread::create([m, &accepted] {
            for (int i = 0; i < 100000; ++i) {
                if (!m->insertIntoFtpFilesTable(QStringLiteral("/c/%1").arg(i), QStringLiteral("20250101000000")))
                    return;
                accepted.ref();
            }
        });
        caller->start();
        QTRY_VERIFY(int(accepted) > 0);
        m->shutdown();
        QVERIFY(caller->wait(10000));
        delete caller;
        QCOMPARE(namesIn(QStringLiteral("FtpFilesTable")).size(), int(accepted));
        QVERIFY(m->isShutDown());
        QVERIFY(!m->workerThread());
        QVERIFY(!m->insertIntoImageFilesTable(QStringLiteral("/z"), QStringLiteral("20250101000000")));
        QCOMPARE(m->keepLatestRecordsInImageFilesTable(0), QStringList());
        QVERIFY(!m->open(m_dir->path()));
        // Shutting down closed the file without touching its rows.
        QCOMPARE(namesIn(QStringLiteral("ImageFilesTable")).size(), 3);
    }
};

QTEST_GUILESS_MAIN(TestImageIndex)
#include "tst_imageindex.moc"
