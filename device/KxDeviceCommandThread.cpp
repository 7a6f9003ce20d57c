#include "KxDeviceCommandThread.h"

#include "KxDeviceCommand.h"

#include "KxCmdFraming.h"
#include "KxDataStreamMaker.h"
#include "KxDataStreamParser.h"
#include "KxDeviceKit.h"

#include <QDebug>

KxDeviceCommandThread::KxDeviceCommandThread(const QString &deviceId, KxDeviceCommandPtr command,
                                             QObject *parent)
    : QThread(parent), m_deviceId(deviceId), m_command(command)
{
    kxRegisterDeviceTypes();
    m_statFrame = KxMakeDataStreamCmd("@DBGCNT", DataProtocol_Settings, true);
}

KxDeviceCommandThread::~KxDeviceCommandThread()
{
    stop();
    wait();
}

void KxDeviceCommandThread::stop()
{
    m_stop = true;
    kick();
}

void KxDeviceCommandThread::kick()
{
    {
        std::lock_guard<std::mutex> lock(m_idleMutex);
        m_kicked = true;
    }
    m_idleCond.notify_one();
}

void KxDeviceCommandThread::idle()
{
    qint64 waitMs = kIdleWaitMs;
    if (m_statPolling && m_statTimer.isValid())
        waitMs = qBound<qint64>(0, kStatisticsIntervalMs - m_statTimer.elapsed(), waitMs);
    std::unique_lock<std::mutex> lock(m_idleMutex);
    m_idleCond.wait_for(lock, std::chrono::milliseconds(waitMs),
                        [this] { return m_kicked || m_stop.load(); });
    m_kicked = false;
}

bool KxDeviceCommandThread::addTask(const KxCmdTask &task, bool unique)
{
    QMutexLocker lock(&m_taskMutex);
    if (m_stop)
        return false;
    if (unique) {
        for (const KxCmdTask &t : qAsConst(m_tasks)) {
            if (t.id == task.id)
                return false;
        }
    }
    m_tasks.enqueue(task);
    m_tasks.last().seq = ++m_seq;
    lock.unlock();
    kick();
    return true;
}

bool KxDeviceCommandThread::addJob(const _struProcessCallback &job)
{
    if (!job.work) {
        qWarning() << "KxDeviceCommandThread::addJob()...job without a work function refused";
        return false;
    }
    QMutexLocker lock(&m_jobMutex);
    if (m_stop)
        return false;
    m_jobs.enqueue(job);
    m_jobs.last().seq = ++m_seq;
    lock.unlock();
    kick();
    return true;
}

int KxDeviceCommandThread::pendingTasks() const
{
    QMutexLocker lock(&m_taskMutex);
    return m_tasks.size();
}

int KxDeviceCommandThread::pendingJobs() const
{
    QMutexLocker lock(&m_jobMutex);
    return m_jobs.size();
}

void KxDeviceCommandThread::setStatisticsPolling(bool on)
{
    if (on) {
        m_statStopRequested = false;
        m_statPolling = true;
    } else if (m_statPolling.exchange(false)) {
        m_statStopRequested = true;
    }
    kick();
}

void KxDeviceCommandThread::run()
{
    while (!m_stop) {
        const bool ran = runNext();
        const bool polled = pollStatistics();
        if (!ran && !polled)
            idle();
    }
    failQueued();
}

bool KxDeviceCommandThread::runNext()
{
    // Both heads are looked at under both locks, so the order is the order of queueing.
    _struProcessCallback job;
    KxCmdTask task;
    bool haveJob = false;
    bool haveTask = false;
    {
        QMutexLocker taskLock(&m_taskMutex);
        QMutexLocker jobLock(&m_jobMutex);
        const bool jobFirst = !m_jobs.isEmpty()
            && (m_tasks.isEmpty() || m_jobs.head().seq < m_tasks.head().seq);
        if (jobFirst) {
            job = m_jobs.dequeue();
            haveJob = true;
        } else if (!m_tasks.isEmpty()) {
            task = m_tasks.dequeue();
            haveTask = true;
        }
    }
    if (haveJob)
        runJob(job);
    else if (haveTask)
        runTask(task);
    return haveJob || haveTask;
}

void KxDeviceCommandThread::runJob(_struProcessCallback &job)
{
    QMap<QString, QByteArray> result;
    try {
        result = job.work(m_command);
    } catch (const std::exception &e) {
        qWarning() << "KxDeviceCommandThread::runJob()...job failed:" << e.what();
        result = {{QStringLiteral("error"), QByteArray(e.what())}};
    } catch (...) {
        qWarning() << "KxDeviceCommandThread::runJob()...job failed";
        result = {{QStringLiteral("error"), QByteArrayLiteral("exception")}};
    }
    // The completion always runs, also after a failure: its caller may be waiting for it.
    emit signal_ResultProcessCallback(m_command, result, job);
}

void KxDeviceCommandThread::failQueued()
{
    QQueue<_struProcessCallback> jobs;
    QQueue<KxCmdTask> tasks;
    {
        QMutexLocker taskLock(&m_taskMutex);
        QMutexLocker jobLock(&m_jobMutex);
        jobs.swap(m_jobs);
        tasks.swap(m_tasks);
    }
    for (const _struProcessCallback &job : qAsConst(jobs))
        emit signal_ResultProcessCallback(m_command,
                                          {{QStringLiteral("error"), QByteArrayLiteral("stopped")}},
                                          job);
    for (KxCmdTask &task : tasks) {
        if (task.function && !task.reportFunction)
            continue;
        QVariantMap m = task.userData.payload.toMap();
        if (!m.contains(QStringLiteral("failed"))) {
            QStringList codes;
            for (const KxTaskCmd &c : qAsConst(task.userData.cmds))
                codes << c.code;
            m.insert(QStringLiteral("failed"), codes);
        }
        task.userData.payload = m;
        emit signal_ResultProcessing(false, QByteArray(), task.userData);
    }
}

bool KxDeviceCommandThread::pollStatistics()
{
    if (m_statStopRequested.exchange(false)) {
        QByteArray reply;
        send(KxMakeDataStreamCmd("@DBGCNC", DataProtocol_Settings, true), reply);
        return true;
    }
    if (!m_statPolling)
        return false;
    if (m_statTimer.isValid() && m_statTimer.elapsed() < kStatisticsIntervalMs)
        return false;
    m_statTimer.start();
    QByteArray reply;
    if (send(m_statFrame, reply) == 0)
        emit signal_ResultGetStatistics(reply);
    return true;
}

void KxDeviceCommandThread::runTask(KxCmdTask &task)
{
    if (task.function) {
        bool ok = false;
        try {
            ok = task.function(task.userData);
        } catch (...) {
            qWarning() << "KxDeviceCommandThread::runTask()...task failed:" << task.id;
        }
        if (task.reportFunction)
            emit signal_ResultProcessing(ok, QByteArray(), task.userData);
        return;
    }
    if (task.kind == KxCmdTask::Raw)
        sendRaw(task);
    else
        sendChecked(task);
}

void KxDeviceCommandThread::sendChecked(KxCmdTask &task)
{
    bool ok = true;
    const bool rom = !task.frames.isEmpty() && task.frames.first().size() > 6
        && task.frames.first().at(6) == '@';
    const QByteArray syncNow = task.userData.payload.toByteArray().mid(1, 1).toHex();
    for (const QByteArray &frame : qAsConst(task.frames)) {
        qInfo().noquote() << "***SEND CMDS:" << frame << "ROM" << rom << "SYNCNOW" << syncNow;
        QByteArray reply;
        bool frameOk = false;
        if (send(frame, reply) != 0) {
            qWarning().noquote() << "***SEND CMDS Fail 1!" << frame;
        } else {
            KxDataStreamParser parser(reply, DataType_Frame);
            const QStringList failed = KxCmdFraming::unconfirmed(KxCmdFraming::frameItems(frame),
                                                                 parser.tags());
            frameOk = parser.isValid() && failed.isEmpty();
            if (!frameOk) {
                qWarning().noquote() << "***SAVE CMDS Fail 2!"
                                     << QStringLiteral("(%1)").arg(QStringList(failed).join(", "))
                                     << KxCmdFraming::replyTail(reply);
            }
            QSet<QString> acked;
            for (const KxTagInfo &t : parser.tags()) {
                if (t.result == DataResult_Ack)
                    acked.insert(t.code);
            }
            for (KxTaskCmd &c : task.userData.cmds) {
                if (c.mark && acked.contains(c.code) && !failed.contains(c.code))
                    c.saved = true;
            }
        }
        ok = ok && frameOk;
        emit signal_ResultProcessing(ok, reply, task.userData);
    }
}

void KxDeviceCommandThread::sendRaw(KxCmdTask &task)
{
    // Every item of every frame must be confirmed; the first frame that fails ends the task,
    // and its unconfirmed codes travel with the result.
    for (const QByteArray &frame : qAsConst(task.frames)) {
        QByteArray reply;
        const KxCmdItems items = KxCmdFraming::frameItems(frame);
        QStringList failed;
        if (send(frame, reply) != 0) {
            for (const auto &i : items)
                failed << i.first;
        } else {
            failed = KxCmdFraming::unconfirmed(items, KxDataStreamParser(reply, DataType_Frame).tags());
        }
        _struResultUserDatas data = task.userData;
        QVariantMap m = data.payload.toMap();
        m.insert(QStringLiteral("checked"), failed);
        data.payload = m;
        emit signal_ResultProcessing(failed.isEmpty(), reply, data);
        if (!failed.isEmpty())
            break;
    }
}

int KxDeviceCommandThread::send(const QByteArray &frame, QByteArray &reply)
{
    return KxDeviceKit::Instance()->sendBinaryMessage(m_deviceId, frame, reply, kSendTimeoutMs);
}
