#pragma once
// One request waiting for its reply. Whoever finishes it first (the link with the reply or an
// error, or a waiting caller at its time-out) wins; every later attempt is ignored, so a reply
// is reported exactly once.
#include <QByteArray>
#include <QDeadlineTimer>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

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

// What a blocking caller waits on. Standard primitives: the waker notifies after unlocking and
// the woken caller does not queue again on a mutex inside the condition (a measurable share of
// a loopback round trip).
struct KxSyncWait
{
    std::mutex mutex;
    std::condition_variable cond;
    bool ready = false;
    int code = 0;
    QByteArray reply;

    void set(int c, const QByteArray &r)
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            code = c;
            reply = r;
            ready = true;
        }
        cond.notify_all();
    }
    // Waits until set() or the deadline; false on time-out.
    bool wait(QDeadlineTimer deadline)
    {
        std::unique_lock<std::mutex> lock(mutex);
        if (deadline.isForever()) {
            cond.wait(lock, [this] { return ready; });
            return true;
        }
        const auto until = std::chrono::steady_clock::now()
            + std::chrono::nanoseconds(qMax<qint64>(0, deadline.remainingTimeNSecs()));
        return cond.wait_until(lock, until, [this] { return ready; });
    }
    // The outcome once wait() has returned (or set() has run): code and, for code 0, the reply.
    int result(QByteArray *out)
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (out)
            *out = reply;
        return code;
    }
};
