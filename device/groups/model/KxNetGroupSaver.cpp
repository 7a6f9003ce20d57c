#include "KxNetGroupSaver.h"

#include <QDebug>

KxNetGroupSaver::KxNetGroupSaver(QObject *parent) : QObject(parent)
{
    m_timer.setInterval(kTickMs);
    connect(&m_timer, &QTimer::timeout, this, &KxNetGroupSaver::tick);
}

bool KxNetGroupSaver::start(const QList<KxNetGroupModel::Change> &changes)
{
    if (isRunning() || changes.isEmpty() || !m_send)
        return false;
    m_changes = changes;
    m_states.clear();
    m_reported.clear();
    m_ticks = 0;
    m_phase = Phase::Answers;
    for (const auto &c : qAsConst(m_changes))
        setState(c.key, State::Waiting);
    for (const auto &c : qAsConst(m_changes))
        send(c);
    m_timer.start();
    return true;
}

void KxNetGroupSaver::abort()
{
    m_timer.stop();
    m_phase = Phase::Idle;
}

void KxNetGroupSaver::send(const KxNetGroupModel::Change &c)
{
    if (!m_send(c.text))
        qWarning().noquote() << "KxNetGroupSaver::send()... not sent to" << c.sn << c.mac;
}

const KxNetGroupModel::Change *KxNetGroupSaver::changeOf(const QString &sn,
                                                         const QString &mac) const
{
    for (const auto &c : m_changes) {
        if (c.sn == sn && c.mac.compare(mac, Qt::CaseInsensitive) == 0)
            return &c;
    }
    return nullptr;
}

void KxNetGroupSaver::setState(const QString &key, State s)
{
    if (m_states.contains(key) && m_states.value(key) == s)
        return;
    m_states.insert(key, s);
    emit stateChanged(key, s);
}

void KxNetGroupSaver::onGroupState(const QString &sn, const QString &mac, int state)
{
    qInfo().noquote() << "KxNetGroupSaver::onGroupState()... sn=" << sn << "state=" << state;
    const auto *c = changeOf(sn, mac);
    if (!c || m_phase != Phase::Answers || state == 0)
        return;
    if (m_states.value(c->key) != State::Waiting)
        return; // the first answer counts; repeats of a resent text change nothing
    setState(c->key, state == 2 ? State::Failed : State::Answered);
}

void KxNetGroupSaver::onDeviceUpdated(const QString &, const QMap<QString, QString> &info)
{
    if (!isRunning())
        return;
    const auto *c = changeOf(info.value(QStringLiteral("Serial Number")),
                             info.value(QStringLiteral("MAC Address")));
    if (!c)
        return;
    QMap<QString, QString> seen;
    for (auto it = c->expect.cbegin(); it != c->expect.cend(); ++it)
        seen.insert(it.key(), info.value(it.key()));
    m_reported.insert(c->key, seen);
    if (m_phase == Phase::Verify && m_states.value(c->key) == State::Answered && seen == c->expect)
        setState(c->key, State::Verified);
}

void KxNetGroupSaver::tick()
{
    ++m_ticks;
    if (m_phase == Phase::Answers) {
        int waiting = 0, failed = 0;
        for (State s : qAsConst(m_states)) {
            waiting += s == State::Waiting;
            failed += s == State::Failed;
        }
        if (waiting == 0 && failed > 0) {
            finish(false);
        } else if (waiting == 0) {
            // Every reader took its text; now it has to show in what they report.
            m_phase = Phase::Verify;
            m_ticks = 0;
            for (const auto &c : qAsConst(m_changes)) {
                if (m_reported.value(c.key) == c.expect)
                    setState(c.key, State::Verified);
            }
            if (m_refresh)
                m_refresh();
        } else if (m_ticks >= kMaxTicks) {
            for (const auto &c : qAsConst(m_changes)) {
                if (m_states.value(c.key) == State::Waiting)
                    setState(c.key, State::Failed);
            }
            finish(false);
        } else if (m_ticks % kResendTicks == 0) {
            for (const auto &c : qAsConst(m_changes)) {
                if (m_states.value(c.key) == State::Waiting)
                    send(c);
            }
        }
        return;
    }
    bool all = true;
    for (State s : qAsConst(m_states))
        all = all && s == State::Verified;
    if (all) {
        finish(true);
    } else if (m_ticks >= kMaxTicks) {
        for (const auto &c : qAsConst(m_changes)) {
            if (m_states.value(c.key) != State::Verified) {
                qWarning().noquote() << "KxNetGroupSaver::tick()..." << c.sn
                                     << "does not report its new group";
                setState(c.key, State::Failed);
            }
        }
        finish(false);
    } else if (m_ticks % kResendTicks == 0 && m_refresh) {
        m_refresh();
    }
}

void KxNetGroupSaver::finish(bool ok)
{
    m_timer.stop();
    m_phase = Phase::Idle;
    QStringList failed;
    for (auto it = m_states.cbegin(); it != m_states.cend(); ++it) {
        if (it.value() == State::Failed)
            failed << it.key();
    }
    emit finished(ok && failed.isEmpty(), failed);
}
