#pragma once
// One request waiting for its reply. Whoever finishes it first (the link with the reply or an
// error, or a waiting caller at its time-out) wins; every later attempt is ignored, so a reply
// is reported exactly once.
#include <QByteArray>
#include <QDeadlineTimer>
#include <QMutex>
#include <QWaitCondition>

#include <atomic>
#include <functional>
#include <memory>

struct KxLinkRequest
{
    enum class Kind { User, KeepAlive, Handshake };

    QByteArray frame;
    QDeadlineTimer deadline;
    Kind kind = Kind::User;
    // Runs once, on the thread that finishes the request; must not block.
    std::function<void(int code, const QByteArray &reply)> done;

    bool isFinished() const { return m_finished.load(); }
    bool finish(int code, const QByteArray &reply = QByteArray())
    {
        bool expected = false;
        if (!m_finished.compare_exchange_strong(expected, true))
            return false;
        if (done)
            done(code, reply);
        return true;
    }

private:
    std::atomic<bool> m_finished{false};
};

using KxLinkRequestPtr = std::shared_ptr<KxLinkRequest>;

// What a blocking caller waits on.
struct KxSyncWait
{
    QMutex mutex;
    QWaitCondition cond;
    bool ready = false;
    int code = 0;
    QByteArray reply;

    void set(int c, const QByteArray &r)
    {
        QMutexLocker lock(&mutex);
        code = c;
        reply = r;
        ready = true;
        cond.wakeAll();
    }
    // Waits until set() or the deadline; false on time-out.
    bool wait(QDeadlineTimer deadline)
    {
        QMutexLocker lock(&mutex);
        while (!ready) {
            if (!cond.wait(&mutex, deadline))
                return ready;
        }
        return true;
    }
};
