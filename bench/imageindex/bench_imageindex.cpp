// Filling the image index with 100,000 records and pruning the oldest 10 %, through the index's
// own operations (worker thread, indexes on name and date) against the same statements run
// directly on a plain database without indexes.
#include "SqliteDbManager.h"

#include "bench.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>

namespace {
const int kRecords = 100000;

QString nameOf(int i)
{
    return QStringLiteral("/data/images/reader_%1/img_%2.bmp").arg(i % 7).arg(i, 6, 10, QLatin1Char('0'));
}

// Record i is i seconds older than the base: inserted newest first, so the oldest records sit at
// the end of the table and a plain scan gains nothing from insertion order.
QString timeOf(const QDateTime &base, int i)
{
    return base.addSecs(-i).toString(QStringLiteral("yyyyMMddhhmmss"));
}

bool baselineFill(QSqlDatabase &db, const QDateTime &base)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS ImageFilesTable (imageName TEXT NOT NULL,"
                               "createDateTime TEXT NOT NULL);")))
        return false;
    q.prepare(QStringLiteral("INSERT INTO ImageFilesTable (imageName, createDateTime) VALUES (?, ?);"));
    for (int i = 0; i < kRecords; ++i) {
        q.addBindValue(nameOf(i));
        q.addBindValue(timeOf(base, i));
        if (!q.exec())
            return false;
    }
    return true;
}

int baselinePrune(QSqlDatabase &db)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT COUNT(*) FROM ImageFilesTable;")) || !q.next())
        return -1;
    const int count = q.value(0).toInt();
    const int n = qBound(1, int(count * 0.1), count);
    q.prepare(QStringLiteral("SELECT imageName, createDateTime FROM ImageFilesTable "
                             "ORDER BY createDateTime ASC LIMIT ?;"));
    q.addBindValue(n);
    if (!q.exec())
        return -1;
    QStringList names;
    while (q.next())
        names << q.value(0).toString();
    q.finish();
    db.transaction();
    QSqlQuery del(db);
    del.prepare(QStringLiteral("DELETE FROM ImageFilesTable WHERE imageName = ?;"));
    for (const QString &name : qAsConst(names)) {
        del.bindValue(0, name);
        if (!del.exec()) {
            db.rollback();
            return -1;
        }
    }
    db.commit();
    return names.size();
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    // Every insert commits on its own; on a RAM disk the figures show SQLite's work rather than
    // the disk's flush latency, for both sides alike.
    const QString base = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    QTemporaryDir dir(base + QStringLiteral("/brevan-bench-XXXXXX"));
    if (!dir.isValid()) {
        out << "cannot create a temporary directory below " << base << Qt::endl;
        return 1;
    }
    const QDateTime now = QDateTime::currentDateTime();

    SqliteDbManager *index = SqliteDbManager::instance();
    if (!index->open(dir.path() + QStringLiteral("/index"))) {
        out << "cannot open the index" << Qt::endl;
        return 1;
    }
    bool ok = true;
    const double indexInsertMs = bench::medianMs([&] {
        for (int i = 0; i < kRecords && ok; ++i)
            ok = index->insertIntoImageFilesTable(nameOf(i), timeOf(now, i));
    }, 1);
    int indexRemoved = 0;
    const double indexPruneMs = bench::medianMs([&] {
        indexRemoved = index->deleteOldestNPercentRecordsFromImageFilesTable().size();
    }, 1);
    index->shutdown();

    double baseInsertMs = 0;
    double basePruneMs = 0;
    int baseRemoved = 0;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("baseline"));
        db.setDatabaseName(dir.path() + QStringLiteral("/baseline.db"));
        if (!db.open()) {
            out << "cannot open the baseline database: " << db.lastError().text() << Qt::endl;
            return 1;
        }
        baseInsertMs = bench::medianMs([&] { ok = baselineFill(db, now) && ok; }, 1);
        basePruneMs = bench::medianMs([&] { baseRemoved = baselinePrune(db); }, 1);
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("baseline"));

    if (!ok || indexRemoved != kRecords / 10 || baseRemoved != kRecords / 10) {
        out << "benchmark run failed: removed " << indexRemoved << " and " << baseRemoved << Qt::endl;
        return 1;
    }
    bench::report(QStringLiteral("image index: insert 100000 records"), indexInsertMs, baseInsertMs,
                  QStringLiteral("blocking calls to the index thread, two indexes per table"));
    bench::report(QStringLiteral("image index: prune oldest 10 %"), indexPruneMs, basePruneMs,
                  QStringLiteral("baseline deletes by name without an index; %1 times faster")
                      .arg(indexPruneMs > 0 ? basePruneMs / indexPruneMs : 0.0, 0, 'f', 0));
    return 0;
}
