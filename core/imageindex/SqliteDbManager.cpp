#include "SqliteDbManager.h"

#include "SqliteDbWorker.h"

#include <QCoreApplication>
#include <QDebug>
#include <QMutex>
#include <QThread>

namespace {
QMutex g_instanceMutex;
SqliteDbManager *g_instance = nullptr;

void shutdownIndexAtExit()
{
    QMutexLocker locker(&g_instanceMutex);
    if (g_instance)
        g_instance->shutdown();
}
} // namespace

SqliteDbManager *SqliteDbManager::instance()
{
    QMutexLocker locker(&g_instanceMutex);
    if (!g_instance) {
        g_instance = new SqliteDbManager;
        // The worker thread must end before the application object goes away.
        if (QCoreApplication::instance())
            qAddPostRoutine(shutdownIndexAtExit);
    }
    return g_instance;
}

SqliteDbManager::SqliteDbManager(QObject *parent)
    : QObject(parent)
{
    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("SqliteDbWorker"));
    m_worker = new SqliteDbWorker;
    m_worker->moveToThread(m_thread);
    m_thread->start(QThread::InheritPriority);
}

SqliteDbManager::~SqliteDbManager()
{
    shutdown();
}

void SqliteDbManager::shutdown()
{
    if (!m_shutDown.testAndSetOrdered(0, 1))
        return;
    // A caller that was terminated while waiting never gives its read lock back; leave the
    // thread running then rather than hang the exit.
    if (!m_lock.tryLockForWrite(5000)) {
        qWarning() << "SqliteDbManager::shutdown()...a call is still outstanding, index thread left running";
        return;
    }
    stopWorker();
    m_lock.unlock();
}

void SqliteDbManager::stopWorker()
{
    if (QThread::currentThread() == m_thread) {
        // Called on the worker itself: close here and let the thread end after this call.
        m_worker->close();
        m_worker->deleteLater();
        m_worker = nullptr;
        m_thread->quit();
        return;
    }
    QMetaObject::invokeMethod(m_worker, "close", Qt::BlockingQueuedConnection);
    m_thread->quit();
    m_thread->wait();
    delete m_worker;
    m_worker = nullptr;
    delete m_thread;
    m_thread = nullptr;
}

bool SqliteDbManager::isShutDown() const
{
    return m_shutDown.loadAcquire() != 0;
}

QThread *SqliteDbManager::workerThread() const
{
    QReadLocker locker(&m_lock);
    return m_thread;
}

bool SqliteDbManager::invoke(const char *method, QGenericReturnArgument ret, QGenericArgument a0,
                             QGenericArgument a1)
{
    QReadLocker locker(&m_lock);
    if (m_shutDown.loadAcquire() || !m_worker) {
        qWarning().noquote() << "SqliteDbManager::invoke..." << method << "after shutdown";
        return false;
    }
    const Qt::ConnectionType type = QThread::currentThread() == m_worker->thread()
        ? Qt::DirectConnection
        : Qt::BlockingQueuedConnection;
    const bool ok = QMetaObject::invokeMethod(m_worker, method, type, ret, a0, a1);
    if (!ok)
        qWarning().noquote() << "SqliteDbManager::invoke..." << method << "failed";
    return ok;
}

bool SqliteDbManager::open(const QString &databaseDir)
{
    bool ok = false;
    invoke("open", Q_RETURN_ARG(bool, ok), Q_ARG(QString, databaseDir));
    return ok;
}

void SqliteDbManager::close()
{
    invoke("close", QGenericReturnArgument());
}

bool SqliteDbManager::isOpen()
{
    bool ok = false;
    invoke("isOpen", Q_RETURN_ARG(bool, ok));
    return ok;
}

bool SqliteDbManager::callBool(const char *method, const QString &a, const QString &b)
{
    bool ok = false;
    invoke(method, Q_RETURN_ARG(bool, ok), Q_ARG(QString, a), Q_ARG(QString, b));
    return ok;
}

QStringList SqliteDbManager::callList(const char *method, int arg)
{
    QStringList names;
    if (!invoke(method, Q_RETURN_ARG(QStringList, names), Q_ARG(int, arg)))
        return {};
    return names;
}

QStringList SqliteDbManager::callList(const char *method)
{
    QStringList names;
    if (!invoke(method, Q_RETURN_ARG(QStringList, names)))
        return {};
    return names;
}

bool SqliteDbManager::insertIntoImageFilesTable(const QString &name, const QString &time)
{
    return callBool("insertIntoImageFilesTable", name, time);
}

bool SqliteDbManager::insertIntoFtpFilesTable(const QString &name, const QString &time)
{
    return callBool("insertIntoFtpFilesTable", name, time);
}

QStringList SqliteDbManager::deleteExpiredRecordsFromImageFilesTable(int days)
{
    return callList("deleteExpiredRecordsFromImageFilesTable", days);
}

QStringList SqliteDbManager::deleteExpiredRecordsFromFtpFilesTable(int days)
{
    return callList("deleteExpiredRecordsFromFtpFilesTable", days);
}

QStringList SqliteDbManager::keepLatestRecordsInImageFilesTable(int maxCount)
{
    return callList("keepLatestRecordsInImageFilesTable", maxCount);
}

QStringList SqliteDbManager::keepLatestRecordsInFtpFilesTable(int maxCount)
{
    return callList("keepLatestRecordsInFtpFilesTable", maxCount);
}

QStringList SqliteDbManager::deleteOldestNPercentRecordsFromImageFilesTable()
{
    return callList("deleteOldestNPercentRecordsFromImageFilesTable");
}

QStringList SqliteDbManager::deleteOldestNPercentRecordsFromFtpFilesTable()
{
    return callList("deleteOldestNPercentRecordsFromFtpFilesTable");
}
