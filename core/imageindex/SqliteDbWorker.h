#pragma once
// Owns the index database connection; lives in the index thread and is only called there.
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantList>

class QSqlDatabase;

class SqliteDbWorker : public QObject
{
    Q_OBJECT
public:
    static const char *connectionName(); // "sqlite_app_connection"
    static const char *dateFormat();     // "yyyyMMddhhmmss"
    static QString databaseFileName();   // "imageFileList.db"

    using QObject::QObject;
    ~SqliteDbWorker() override;

    Q_INVOKABLE bool open(const QString &databaseDir);
    Q_INVOKABLE void close();
    Q_INVOKABLE bool isOpen() const;

    Q_INVOKABLE bool insertIntoImageFilesTable(const QString &name, const QString &time);
    Q_INVOKABLE bool insertIntoFtpFilesTable(const QString &name, const QString &time);
    Q_INVOKABLE QStringList deleteExpiredRecordsFromImageFilesTable(int days);
    Q_INVOKABLE QStringList deleteExpiredRecordsFromFtpFilesTable(int days);
    Q_INVOKABLE QStringList keepLatestRecordsInImageFilesTable(int maxCount);
    Q_INVOKABLE QStringList keepLatestRecordsInFtpFilesTable(int maxCount);
    Q_INVOKABLE QStringList deleteOldestNPercentRecordsFromImageFilesTable();
    Q_INVOKABLE QStringList deleteOldestNPercentRecordsFromFtpFilesTable();

private:
    bool createAllTables(QSqlDatabase &db);
    bool tableExists(QSqlDatabase &db, const QString &table);
    bool columnExists(QSqlDatabase &db, const QString &table, const QString &column);
    bool addColumn(QSqlDatabase &db, const QString &table, const QString &column,
                   const QString &type);

    bool insertInto(const QString &table, const QString &name, const QString &time);
    QStringList deleteExpired(const QString &table, int days);
    QStringList keepLatest(const QString &table, int maxCount);
    QStringList deleteOldestShare(const QString &table);
    int countRecords(QSqlDatabase &db, const QString &table);
    // Runs the selection, then deletes the selected records in one transaction. Records whose
    // date does not parse are kept. Returns the deleted names, or nothing when anything failed.
    QStringList selectAndDelete(QSqlDatabase &db, const QString &table, const QString &selectSql,
                                const QVariantList &binds);

    bool m_open = false;
};
