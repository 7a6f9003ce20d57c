#include "TrainingTaskMonitor.h"

TrainingTaskMonitor::TrainingTaskMonitor(QObject *parent)
    : QObject(parent), m_status(new GetTaskStatus(this)), m_log(new GetTaskLog(this))
{
    qRegisterMetaType<GetTaskStatus::State>();
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &TrainingTaskMonitor::poll);
    connect(m_status, &GetTaskStatus::status, this, &TrainingTaskMonitor::onStatus);
    connect(m_log, &GetTaskLog::log, this, &TrainingTaskMonitor::onLog);
}

void TrainingTaskMonitor::setBaseUrl(const QString &url)
{
    m_status->setBaseUrl(url);
    m_log->setBaseUrl(url);
}

void TrainingTaskMonitor::start(const QString &taskId, int intervalMs)
{
    stop();
    m_taskId = taskId;
    m_state = GetTaskStatus::Unknown;
    m_stateText.clear();
    m_row = 0;
    m_progress = 0;
    m_endSeen = false;
    m_running = true;
    m_timer.setInterval(intervalMs);
    poll();
}

void TrainingTaskMonitor::stop()
{
    m_running = false;
    m_timer.stop();
    m_status->cancel();
    m_log->cancel();
}

void TrainingTaskMonitor::poll()
{
    if (m_running && !m_status->start(m_taskId))
        m_timer.start();
}

void TrainingTaskMonitor::onStatus(bool ok, const QString &message, const QString &text)
{
    if (!m_running)
        return;
    if (!ok) {
        // A lost reply is told, and the next round tries again.
        emit failed(message);
    } else {
        const GetTaskStatus::State s = GetTaskStatus::parseState(text);
        if (s != GetTaskStatus::Unknown && (s != m_state || text != m_stateText)) {
            m_state = s;
            m_stateText = text;
            emit stateChanged(s, text);
        }
        m_endSeen = GetTaskStatus::isEnd(m_state);
    }
    if (!m_log->start(m_taskId, m_row))
        m_timer.start();
}

void TrainingTaskMonitor::onLog(bool ok, const QString &message, const TrainingLog &log)
{
    if (!m_running)
        return;
    if (!ok) {
        emit failed(message);
    } else {
        m_row = log.nextRow;
        if (!log.lines.isEmpty())
            emit logLines(log.lines);
        if (log.progress != m_progress) {
            m_progress = log.progress;
            emit progressChanged(m_progress);
        }
        if (!log.bestMetrics.isEmpty())
            emit metrics(log.bestMetrics);
    }
    // The log read after the end state holds the task's last lines; then the task is done.
    if (m_endSeen && ok) {
        m_running = false;
        emit ended(m_state);
        return;
    }
    m_timer.start();
}
