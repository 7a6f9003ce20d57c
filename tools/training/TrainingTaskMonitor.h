#pragma once
// Follows one training task: asks for its state and then its log, waits, and asks again, until
// the task ends. A state text outside the known five leaves the shown state as it was.
#include "TrainingRequests.h"

#include <QTimer>

class TrainingTaskMonitor : public QObject
{
    Q_OBJECT
public:
    explicit TrainingTaskMonitor(QObject *parent = nullptr);

    void setBaseUrl(const QString &url);
    void start(const QString &taskId, int intervalMs = 1000);
    void stop();
    bool isRunning() const { return m_running; }

    QString taskId() const { return m_taskId; }
    GetTaskStatus::State state() const { return m_state; }
    QString stateText() const { return m_stateText; }
    int logRow() const { return m_row; }
    int progress() const { return m_progress; }

signals:
    void stateChanged(GetTaskStatus::State state, const QString &text);
    void logLines(const QStringList &lines);
    void progressChanged(int percent);
    void metrics(const QVariantMap &best);
    void failed(const QString &message);
    // The task reached "TRAIN TASK FINISH" or an error state.
    void ended(GetTaskStatus::State state);

private:
    void poll();
    void onStatus(bool ok, const QString &message, const QString &text);
    void onLog(bool ok, const QString &message, const TrainingLog &log);

    GetTaskStatus *m_status;
    GetTaskLog *m_log;
    QTimer m_timer;
    QString m_taskId;
    bool m_running = false;
    bool m_endSeen = false;
    GetTaskStatus::State m_state = GetTaskStatus::Unknown;
    QString m_stateText;
    int m_row = 0;
    int m_progress = 0;
};
