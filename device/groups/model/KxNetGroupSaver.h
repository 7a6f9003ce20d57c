#pragma once
// Sends each changed reader its group configuration text and follows the answers on a 100 ms
// tick: a reader's answer 2 is a failure, any other non-zero answer a success; texts without an
// answer are sent again. When all answered well it asks for fresh reader information and waits
// until every reader reports the group keys it was given; only then is the save a success.
// Either phase ends with a failure after 100 ticks. The sending and the discovery refresh are
// functions the caller installs (the device kit in the program), so no network is needed here.
#include "KxNetGroupModel.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

class KxNetGroupSaver : public QObject
{
    Q_OBJECT
public:
    enum class State { Waiting, Failed, Answered, Verified };
    enum class Phase { Idle, Answers, Verify };
    static constexpr int kTickMs = 100;
    static constexpr int kMaxTicks = 100;
    // Unanswered texts go out again every this many ticks; the kit repeats each datagram on its
    // own as well, so sending on every tick would only pile up requests.
    static constexpr int kResendTicks = 10;

    explicit KxNetGroupSaver(QObject *parent = nullptr);

    void setSender(std::function<bool(const QString &text)> send) { m_send = std::move(send); }
    void setRefresher(std::function<void()> refresh) { m_refresh = std::move(refresh); }

    // Starts a save; false when one is running or there is nothing to send.
    bool start(const QList<KxNetGroupModel::Change> &changes);
    bool isRunning() const { return m_phase != Phase::Idle; }
    Phase phase() const { return m_phase; }
    int ticks() const { return m_ticks; }
    State state(const QString &key) const { return m_states.value(key, State::Waiting); }
    QStringList keys() const { return m_states.keys(); }
    // Stops without a result (the editor is torn down).
    void abort();

public slots:
    // From the kit's deviceNetworkGroup(sn, mac, state).
    void onGroupState(const QString &sn, const QString &mac, int state);
    // From the kit's deviceUpdated(id, info).
    void onDeviceUpdated(const QString &id, const QMap<QString, QString> &info);

signals:
    void stateChanged(const QString &key, KxNetGroupSaver::State state);
    // ok: every reader took its text and reports it. failedKeys: those that did not.
    void finished(bool ok, const QStringList &failedKeys);

private:
    void tick();
    void send(const KxNetGroupModel::Change &c);
    void setState(const QString &key, State s);
    void finish(bool ok);
    const KxNetGroupModel::Change *changeOf(const QString &sn, const QString &mac) const;

    std::function<bool(const QString &)> m_send;
    std::function<void()> m_refresh;
    QList<KxNetGroupModel::Change> m_changes;
    QMap<QString, State> m_states;
    QMap<QString, QMap<QString, QString>> m_reported; // key -> latest group keys seen
    Phase m_phase = Phase::Idle;
    int m_ticks = 0;
    QTimer m_timer;
};
