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
    m_stop = true;
    wait();
}

bool KxDeviceCommandThread::addTask(const KxCmdTask &task, bool unique)
{
    QMutexLocker lock(&m_taskMutex);
    if (unique) {
        for (const KxCmdTask &t : qAsConst(m_tasks)) {
            if (t.id == task.id)
                return false;
        }
    }
    m_tasks.enqueue(task);
    return true;
}

bool KxDeviceCommandThread::addJob(const _struProcessCallback &job)
{
    if (!job.work) {
        qWarning() << "KxDeviceCommandThread::addJob()...job without a work function refused";
        return false;
    }
    QMutexLocker lock(&m_jobMutex);
    m_jobs.enqueue(job);
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
}

void KxDeviceCommandThread::run()
{
    while (!m_stop) {
        const bool jobRan = runJob();
        const bool ticked = tick();
        if (!jobRan && !ticked)
            msleep(kIdleSleepMs);
    }
}

bool KxDeviceCommandThread::runJob()
{
    _struProcessCallback job;
    {
        QMutexLocker lock(&m_jobMutex);
        if (m_jobs.isEmpty())
            return false;
        job = m_jobs.dequeue();
    }
    QMap<QString, QByteArray> result;
    try {
        result = job.work(m_command);
    } catch (const std::exception &e) {
        qWarning() << "KxDeviceCommandThread::runJob()...job failed:" << e.what();
        return true;
    }
    emit signal_ResultProcessCallback(m_command, result, job);
    return true;
}

bool KxDeviceCommandThread::tick()
{
    bool did = pollStatistics();
    KxCmdTask task;
    bool have = false;
    {
        QMutexLocker lock(&m_taskMutex);
        if (!m_tasks.isEmpty()) {
            task = m_tasks.dequeue();
            have = true;
        }
    }
    if (have) {
        runTask(task);
        did = true;
    }
    return did;
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
        const bool ok = task.function(task.userData);
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
            QList<QString> failed;
            frameOk = parser.checkAllCmdAck(failed);
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
    for (const QByteArray &frame : qAsConst(task.frames)) {
        QByteArray reply;
        const bool ok = send(frame, reply) == 0;
        emit signal_ResultProcessing(ok, reply, task.userData);
        if (!ok)
            break;
    }
}

int KxDeviceCommandThread::send(const QByteArray &frame, QByteArray &reply)
{
    return KxDeviceKit::Instance()->sendBinaryMessage(m_deviceId, frame, reply, kSendTimeoutMs);
}
