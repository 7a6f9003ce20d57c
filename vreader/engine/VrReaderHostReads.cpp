// Continuous read modes: the reader reads on its own and sends what it finds.
#include "VrReaderHost.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QTimer>

namespace {
// Load mode: results are made in small batches on a short tick; a tick never makes more than
// this many, so a stalled loop does not send a flood when it wakes.
constexpr int kLoadTickMs = 2;
constexpr qint64 kLoadMaxPerTick = 2000;
constexpr int kRfidTickMs = 5;
}  // namespace

void VrReaderHost::updateReadLoop()
{
    if (!m_engine->camera() && !m_engine->rfid())
        return;
    const QByteArray mode = m_engine->runningValue(QStringLiteral("SCNMOD"));
    const bool inventory = m_engine->rfid() && m_engine->rfid()->running();
    const bool continuous = ((!mode.isEmpty() && mode != "0") || m_engine->toolRunning() || inventory
                             || m_engine->visionRunning())
        && !m_restarting;
    if (!continuous) {
        if (m_readTimer)
            m_readTimer->stop();
        return;
    }
    if (!m_readTimer) {
        m_readTimer = new QTimer(this);
        m_readTimer->setSingleShot(true);
        m_readTimer->setTimerType(Qt::PreciseTimer);
        connect(m_readTimer, &QTimer::timeout, this, &VrReaderHost::readTick);
    }
    if (!m_readTimer->isActive()) {
        m_loadSent = 0;
        m_loadStart = QDateTime::currentMSecsSinceEpoch();
        m_readTimer->start(0);
    }
}

void VrReaderHost::readTick()
{
    if (m_restarting)
        return;  // the restart starts the loop again
    if (m_engine->rfid()) {
        // An inventory: the rounds due by now, on a short tick so tags arrive as they are read.
        const VrReaderEngine::Outcome out = m_engine->rfidTick();
        sendResults(out.results);
        if (m_engine->rfid()->running())
            m_readTimer->start(kRfidTickMs);
        return;
    }
    if (m_engine->visionRunning()) {
        // A camera's started run or test: one workflow run per interval, never sooner than a
        // run took.
        QElapsedTimer took;
        took.start();
        const VrReaderEngine::Outcome out = m_engine->visionTick();
        for (const QString &line : out.log)
            log(line);
        sendResults(out.results);
        if (m_engine->visionRunning())
            m_readTimer->start(qMax(m_engine->visionIntervalMs(), int(took.elapsed())));
        return;
    }
    if (m_engine->toolRunning()) {
        // A test or monitoring: its own reads at its own pace, never sooner than a read took.
        QElapsedTimer took;
        took.start();
        const VrReaderEngine::Outcome out = m_engine->toolRead();
        for (const QString &line : out.log)
            log(line);
        sendResults(out.results);
        if (m_engine->toolRunning() || m_engine->runningValue(QStringLiteral("SCNMOD")) != "0")
            m_readTimer->start(qMax(m_engine->toolIntervalMs(), int(took.elapsed())));
        return;
    }
    if (m_loadRate > 0) {
        if (!hasResultLink()) {
            // Nothing to deliver to: start counting again when a client is back.
            m_loadSent = 0;
            m_loadStart = QDateTime::currentMSecsSinceEpoch();
            m_readTimer->start(50);
            return;
        }
        const qint64 elapsed = QDateTime::currentMSecsSinceEpoch() - m_loadStart;
        const qint64 due = qMin(elapsed * m_loadRate / 1000 - m_loadSent, kLoadMaxPerTick);
        QList<QByteArray> frames;
        for (qint64 i = 0; i < due; ++i)
            frames << m_engine->continuousRead(true).results;
        m_loadSent += qMax<qint64>(0, due);
        sendResults(frames);
        m_readTimer->start(kLoadTickMs);
        return;
    }
    QDateTime started = QDateTime::currentDateTime();
    const VrReaderEngine::Outcome out = m_engine->continuousRead(false);
    for (const QString &line : out.log)
        log(line);
    sendResults(out.results);
    // The next read follows after the read interval, and never sooner than the read took, so
    // a slow machine is not swamped by its own reads.
    const int took = int(started.msecsTo(QDateTime::currentDateTime()));
    bool ok = false;
    const int interval = m_engine->runningValue(QStringLiteral("SCNITV")).toInt(&ok);
    m_readTimer->start(qMax(ok ? interval : 100, qMax(20, took)));
}
