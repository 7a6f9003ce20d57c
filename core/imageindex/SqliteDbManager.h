#pragma once
// Process-wide image index. Every operation runs on the index worker thread; callers on other
// threads block until it completes. After shutdown() every call fails without blocking.
#include <QAtomicInt>
#include <QObject>
#include <QReadWriteLock>
#include <QString>
#include <QStringList>

class QThread;
class SqliteDbWorker;

class SqliteDbManager : public QObject
{
    Q_OBJECT
public:
    static SqliteDbManager *instance();

    // Opens (or re-opens) "<databaseDir>/imageFileList.db", creating the directory.
    bool open(const QString &databaseDir);
    void close();
    bool isOpen();
    // Closes the database and ends the worker thread; runs automatically when the application
    // object is destroyed.
    void shutdown();
    bool isShutDown() const;
    // The thread the database lives in (null after shutdown).
    QThread *workerThread() const;

    bool insertIntoImageFilesTable(const QString &name, const QString &time);
    bool insertIntoFtpFilesTable(const QString &name, const QString &time);
    QStringList deleteExpiredRecordsFromImageFilesTable(int days);
    QStringList deleteExpiredRecordsFromFtpFilesTable(int days);
    QStringList keepLatestRecordsInImageFilesTable(int maxCount);
    QStringList keepLatestRecordsInFtpFilesTable(int maxCount);
    QStringList deleteOldestNPercentRecordsFromImageFilesTable();
    QStringList deleteOldestNPercentRecordsFromFtpFilesTable();

private:
    explicit SqliteDbManager(QObject *parent = nullptr);
    ~SqliteDbManager() override;

    void stopWorker();
    bool invoke(const char *method, QGenericReturnArgument ret,
                QGenericArgument a0 = QGenericArgument(), QGenericArgument a1 = QGenericArgument());
    bool callBool(const char *method, const QString &a, const QString &b);
    QStringList callList(const char *method, int arg);
    QStringList callList(const char *method);

    QThread *m_thread = nullptr;
    SqliteDbWorker *m_worker = nullptr;
    // Calls hold it for reading; shutdown takes it for writing so no call is left waiting on a
    // thread that has stopped.
    mutable QReadWriteLock m_lock{QReadWriteLock::Recursive};
    QAtomicInt m_shutDown{0};
};
