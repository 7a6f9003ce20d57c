#pragma once
// The worker thread of one reader's command object: runs jobs, sends queued change batches and
// checks their acknowledgements, polls the statistics counters. When idle it sleeps until work
// is queued or the next counter poll is due (a reader watched for hours costs no wake-ups).
// Jobs and tasks run in the order they were queued, so a save queued after a change reaches
// the reader after it. Whatever is still queued when the thread stops is reported as failed,
// so nobody waits for it.
#include "KxDeviceTypes.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QQueue>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <mutex>

class KxDeviceCommandThread : public QThread
{
    Q_OBJECT
public:
    static constexpr int kSendTimeoutMs = 60000;
    static constexpr int kStatisticsIntervalMs = 500;
    // Longest idle sleep; queueing work or stopping wakes the thread at once.
    static constexpr int kIdleWaitMs = 1000;

    KxDeviceCommandThread(const QString &deviceId, KxDeviceCommandPtr command,
                          QObject *parent = nullptr);
    ~KxDeviceCommandThread() override;

    // Ends the loop after the current tick.
    void stop();
    bool isStopping() const { return m_stop; }

    // Queues a task; a unique task whose id is already queued is dropped (false).
    bool addTask(const KxCmdTask &task, bool unique = false);
    // Queues a job; a job without a work function is refused (false) instead of failing later.
    bool addJob(const _struProcessCallback &job);
    int pendingTasks() const;
    int pendingJobs() const;

    // Statistics polling: on starts it; off asks for one counter clear ("@DBGCNC").
    void setStatisticsPolling(bool on);
    bool isStatisticsPolling() const { return m_statPolling; }

signals:
    void signal_ResultProcessing(bool bRet, const QByteArray &byteResponse,
                                 const _struResultUserDatas &struUserData);
    void signal_ResultGetStatistics(const QByteArray &byteResponse);
    void signal_ResultProcessCallback(KxDeviceCommandPtr devCommand,
                                      const QMap<QString, QByteArray> &mapResult,
                                      const _struProcessCallback &struCB);

protected:
    void run() override;

private:
    // Runs the job or the task queued first; false when both queues are empty.
    bool runNext();
    void runJob(_struProcessCallback &job);
    void failQueued();
    bool pollStatistics();
    void kick();
    void idle();
    void runTask(KxCmdTask &task);
    void sendChecked(KxCmdTask &task);
    void sendRaw(KxCmdTask &task);
    int send(const QByteArray &frame, QByteArray &reply);

    std::atomic<bool> m_stop{false};
    mutable QMutex m_taskMutex;
    QQueue<KxCmdTask> m_tasks;
    const QString m_deviceId;
    KxDeviceCommandPtr m_command;
    QByteArray m_statFrame;  // built once
    QElapsedTimer m_statTimer;
    std::atomic<bool> m_statPolling{false};
    std::atomic<bool> m_statStopRequested{false};
    mutable QMutex m_jobMutex;
    QQueue<_struProcessCallback> m_jobs;
    std::atomic<quint64> m_seq{0};
    std::mutex m_idleMutex;
    std::condition_variable m_idleCond;
    bool m_kicked = false;
};
