#include "SqliteDbWorker.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace {
const char kConnection[] = "sqlite_app_connection";
const char kDateFormat[] = "yyyyMMddhhmmss";
const QString kImageTable = QStringLiteral("ImageFilesTable");
const QString kFtpTable = QStringLiteral("FtpFilesTable");

QSqlDatabase connection()
{
    return QSqlDatabase::database(QLatin1String(kConnection), false);
}
} // namespace

const char *SqliteDbWorker::connectionName() { return kConnection; }
const char *SqliteDbWorker::dateFormat() { return kDateFormat; }
QString SqliteDbWorker::databaseFileName() { return QStringLiteral("imageFileList.db"); }

SqliteDbWorker::~SqliteDbWorker()
{
    close();
}

bool SqliteDbWorker::open(const QString &databaseDir)
{
    close();
    if (databaseDir.isEmpty()) {
        qWarning().noquote() << QStringLiteral("数据库打开失败：") + QStringLiteral("empty database directory");
        return false;
    }
    if (!QDir().mkpath(databaseDir)) {
        qWarning().noquote() << QStringLiteral("数据库打开失败：") + QStringLiteral("cannot create ") + databaseDir;
        return false;
    }
    {
        QSqlDatabase db = QSqlDatabase::contains(QLatin1String(kConnection))
            ? connection()
            : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QLatin1String(kConnection));
        db.setDatabaseName(databaseDir + QLatin1Char('/') + databaseFileName());
        if (!db.open()) {
            qWarning().noquote() << QStringLiteral("数据库打开失败：") + db.lastError().text();
            return false;
        }
        if (!createAllTables(db)) {
            db.close();
            return false;
        }
        QSqlQuery vacuum(db);
        if (!vacuum.exec(QStringLiteral("VACUUM;")))
            qWarning().noquote() << QStringLiteral("执行VACUUM命令失败：") + vacuum.lastError().text();
        // A record per saved or uploaded image: with a write-ahead log and normal syncing an
        // insert no longer waits for the disk's flush (tens of ms each on a busy disk, which
        // held every FTP upload); the index stays consistent through a power cut.
        QSqlQuery pragma(db);
        if (!pragma.exec(QStringLiteral("PRAGMA journal_mode=WAL;"))
            || !pragma.exec(QStringLiteral("PRAGMA synchronous=NORMAL;")))
            qWarning().noquote() << "SqliteDbWorker::open()...journal settings refused:" << pragma.lastError().text();
    }
    m_open = true;
    return true;
}

void SqliteDbWorker::close()
{
    if (!QSqlDatabase::contains(QLatin1String(kConnection)))
        return;
    {
        QSqlDatabase db = connection();
        db.close();
    }
    QSqlDatabase::removeDatabase(QLatin1String(kConnection));
    m_open = false;
}

bool SqliteDbWorker::isOpen() const
{
    return m_open;
}

bool SqliteDbWorker::createAllTables(QSqlDatabase &db)
{
    const QStringList statements = {
        QStringLiteral("CREATE TABLE IF NOT EXISTS ImageFilesTable (imageName TEXT NOT NULL,"
                       "createDateTime TEXT NOT NULL);"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS FtpFilesTable (imageName TEXT NOT NULL,"
                       "createDateTime TEXT NOT NULL);"),
    };
    QSqlQuery query(db);
    for (const QString &sql : statements) {
        if (!query.exec(sql)) {
            qWarning().noquote() << QStringLiteral("createAllTables 失败：") + query.lastError().text();
            return false;
        }
    }
    // Older files may lack a column; add it rather than failing every later statement.
    for (const QString &table : {kImageTable, kFtpTable}) {
        if (!tableExists(db, table))
            return false;
        for (const QString &column : {QStringLiteral("imageName"), QStringLiteral("createDateTime")}) {
            if (!columnExists(db, table, column)
                && !addColumn(db, table, column, QStringLiteral("TEXT NOT NULL DEFAULT ''")))
                return false;
        }
        // Pruning deletes by name and selects by date: without these every delete scans the
        // whole table. The layout of the tables stays unchanged.
        for (const QString &column : {QStringLiteral("imageName"), QStringLiteral("createDateTime")}) {
            const QString sql = QStringLiteral("CREATE INDEX IF NOT EXISTS idx_%1_%2 ON %1 (%2);")
                                    .arg(table, column);
            if (!query.exec(sql)) {
                qWarning().noquote() << QStringLiteral("createAllTables 失败：") + query.lastError().text();
                return false;
            }
        }
    }
    return true;
}

bool SqliteDbWorker::tableExists(QSqlDatabase &db, const QString &table)
{
    QSqlQuery query(db);
    const QString sql =
        QStringLiteral("SELECT name FROM sqlite_master WHERE type='table' AND name='%1';").arg(table);
    if (!query.exec(sql)) {
        qWarning().noquote() << "SqliteDbWorker::tableExists..." << table << query.lastError().text();
        return false;
    }
    return query.next();
}

bool SqliteDbWorker::columnExists(QSqlDatabase &db, const QString &table, const QString &column)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("PRAGMA table_info(%1);").arg(table))) {
        qWarning().noquote() << "SqliteDbWorker::columnExists..." << table << query.lastError().text();
        return false;
    }
    while (query.next()) {
        if (query.value(1).toString() == column)
            return true;
    }
    return false;
}

bool SqliteDbWorker::addColumn(QSqlDatabase &db, const QString &table, const QString &column,
                               const QString &type)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 %3;").arg(table, column, type))) {
        qWarning().noquote() << QStringLiteral("createAllTables 失败：") + query.lastError().text();
        return false;
    }
    return true;
}

bool SqliteDbWorker::insertIntoImageFilesTable(const QString &name, const QString &time)
{
    return insertInto(kImageTable, name, time);
}

bool SqliteDbWorker::insertIntoFtpFilesTable(const QString &name, const QString &time)
{
    return insertInto(kFtpTable, name, time);
}

QStringList SqliteDbWorker::deleteExpiredRecordsFromImageFilesTable(int days)
{
    return deleteExpired(kImageTable, days);
}

QStringList SqliteDbWorker::deleteExpiredRecordsFromFtpFilesTable(int days)
{
    return deleteExpired(kFtpTable, days);
}

QStringList SqliteDbWorker::keepLatestRecordsInImageFilesTable(int maxCount)
{
    return keepLatest(kImageTable, maxCount);
}

QStringList SqliteDbWorker::keepLatestRecordsInFtpFilesTable(int maxCount)
{
    return keepLatest(kFtpTable, maxCount);
}

QStringList SqliteDbWorker::deleteOldestNPercentRecordsFromImageFilesTable()
{
    return deleteOldestShare(kImageTable);
}

QStringList SqliteDbWorker::deleteOldestNPercentRecordsFromFtpFilesTable()
{
    return deleteOldestShare(kFtpTable);
}

bool SqliteDbWorker::insertInto(const QString &table, const QString &name, const QString &time)
{
    if (name.isEmpty() || time.isEmpty()) {
        qWarning().noquote() << "SqliteDbWorker::insertInto..." << table
                             << "refused: empty name or time" << name << time;
        return false;
    }
    if (!m_open) {
        qWarning().noquote() << "SqliteDbWorker::insertInto..." << table << "database not open";
        return false;
    }
    QSqlDatabase db = connection();
    QSqlQuery query(db);
    query.prepare(QStringLiteral("INSERT INTO %1 (imageName, createDateTime) VALUES (?, ?);").arg(table));
    query.addBindValue(name);
    query.addBindValue(time);
    if (!query.exec()) {
        qWarning().noquote() << "SqliteDbWorker::insertInto..." << table << query.lastError().text();
        return false;
    }
    return true;
}

QStringList SqliteDbWorker::deleteExpired(const QString &table, int days)
{
    if (!m_open || days < 0) {
        qWarning().noquote() << "SqliteDbWorker::deleteExpired..." << table << days
                             << (m_open ? "negative days refused" : "database not open");
        return {};
    }
    QSqlDatabase db = connection();
    const QString cutoff =
        QDateTime::currentDateTime().addDays(-days).toString(QLatin1String(kDateFormat));
    return selectAndDelete(
        db, table,
        QStringLiteral("SELECT imageName, createDateTime FROM %1 WHERE createDateTime < ?;").arg(table),
        {cutoff});
}

QStringList SqliteDbWorker::keepLatest(const QString &table, int maxCount)
{
    if (!m_open || maxCount < 0) {
        qWarning().noquote() << "SqliteDbWorker::keepLatest..." << table << maxCount
                             << (m_open ? "negative count refused" : "database not open");
        return {};
    }
    QSqlDatabase db = connection();
    const int count = countRecords(db, table);
    if (count <= maxCount)
        return {};
    if (maxCount == 0)
        qInfo().noquote() << QStringLiteral("maxCount=0，将删除表[%1]中所有记录").arg(table);
    return selectAndDelete(db, table,
                           QStringLiteral("SELECT imageName, createDateTime FROM %1 "
                                          "ORDER BY createDateTime ASC LIMIT ?;")
                               .arg(table),
                           {count - maxCount});
}

QStringList SqliteDbWorker::deleteOldestShare(const QString &table)
{
    if (!m_open) {
        qWarning().noquote() << "SqliteDbWorker::deleteOldestShare..." << table << "database not open";
        return {};
    }
    QSqlDatabase db = connection();
    const int count = countRecords(db, table);
    if (count <= 0)
        return {};
    const int n = qBound(1, int(count * 0.1), count);
    return selectAndDelete(db, table,
                           QStringLiteral("SELECT imageName, createDateTime FROM %1 "
                                          "ORDER BY createDateTime ASC LIMIT ?;")
                               .arg(table),
                           {n});
}

int SqliteDbWorker::countRecords(QSqlDatabase &db, const QString &table)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT COUNT(*) FROM %1;").arg(table)) || !query.next()) {
        qWarning().noquote() << "SqliteDbWorker::countRecords..." << table << query.lastError().text();
        return -1;
    }
    return query.value(0).toInt();
}

QStringList SqliteDbWorker::selectAndDelete(QSqlDatabase &db, const QString &table,
                                            const QString &selectSql, const QVariantList &binds)
{
    QStringList names;
    {
        QSqlQuery select(db);
        select.setForwardOnly(true);
        select.prepare(selectSql);
        for (const QVariant &v : binds)
            select.addBindValue(v);
        if (!select.exec()) {
            qWarning().noquote() << "SqliteDbWorker::selectAndDelete..." << table
                                 << select.lastError().text();
            return {};
        }
        QSet<QString> seen;
        while (select.next()) {
            const QString name = select.value(0).toString();
            const QString time = select.value(1).toString();
            if (!QDateTime::fromString(time, QLatin1String(kDateFormat)).isValid()) {
                qWarning().noquote() << "SqliteDbWorker::selectAndDelete..." << table
                                     << "skipping record with unreadable date" << name << time;
                continue;
            }
            // Several records may name the same file; one delete removes them all.
            if (!seen.contains(name)) {
                seen.insert(name);
                names.append(name);
            }
        }
    }
    if (names.isEmpty())
        return {};

    if (!db.transaction()) {
        qWarning().noquote() << "SqliteDbWorker::selectAndDelete..." << table
                             << "cannot begin transaction" << db.lastError().text();
        return {};
    }
    {
        QSqlQuery del(db);
        del.prepare(QStringLiteral("DELETE FROM %1 WHERE imageName = ?;").arg(table));
        for (const QString &name : qAsConst(names)) {
            del.bindValue(0, name);
            if (!del.exec()) {
                qWarning().noquote() << "SqliteDbWorker::selectAndDelete..." << table << name
                                     << del.lastError().text();
                del.finish();
                db.rollback();
                return {};
            }
        }
    }
    if (!db.commit()) {
        qWarning().noquote() << "SqliteDbWorker::selectAndDelete..." << table << "commit failed"
                             << db.lastError().text();
        db.rollback();
        return {};
    }
    return names;
}
