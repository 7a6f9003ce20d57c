#include "VrLogWriter.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include <cerrno>
#include <unistd.h>

struct VrLogWriter::State
{
    int fd = 2;
    size_t maxQueued = 0;
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable drained;
    std::deque<QByteArray> queue;
    qint64 dropped = 0;     // total, for dropped()
    qint64 unreported = 0;  // dropped since the last notice
    bool stop = false;
    bool finished = false;
};

namespace {

bool writeAll(int fd, const QByteArray &bytes)
{
    const char *p = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        left -= n;
    }
    return true;
}

}  // namespace

QByteArray VrLogWriter::droppedNotice(qint64 count)
{
    return "(" + QByteArray::number(count) + " log lines dropped: nobody read the log)\n";
}

VrLogWriter::VrLogWriter(int fd, int maxQueuedLines) : m_state(std::make_shared<State>())
{
    m_state->fd = fd;
    m_state->maxQueued = size_t(qMax(1, maxQueuedLines));
    // The thread holds the state itself, so it may outlive this object when stuck on a pipe.
    std::thread([s = m_state] {
        std::unique_lock<std::mutex> lock(s->mutex);
        bool broken = false;
        for (;;) {
            s->wake.wait(lock, [&] { return s->stop || !s->queue.empty() || s->unreported > 0; });
            if (s->queue.empty() && s->unreported == 0)
                break;
            QByteArray chunk;
            while (!s->queue.empty() && chunk.size() < 65536) {
                chunk += s->queue.front();
                s->queue.pop_front();
            }
            // Lines dropped after everything queued so far: say so after those.
            if (s->queue.empty() && s->unreported > 0) {
                chunk += droppedNotice(s->unreported);
                s->unreported = 0;
            }
            lock.unlock();
            if (!broken)
                broken = !writeAll(s->fd, chunk);  // a closed output: keep draining silently
            lock.lock();
            if (s->queue.empty())
                s->drained.notify_all();
        }
        s->finished = true;
        s->drained.notify_all();
    }).detach();
}

VrLogWriter::~VrLogWriter()
{
    std::unique_lock<std::mutex> lock(m_state->mutex);
    m_state->stop = true;
    m_state->wake.notify_all();
    m_state->drained.wait_for(lock, std::chrono::milliseconds(1000),
                              [this] { return m_state->finished; });
}

void VrLogWriter::write(const QString &line)
{
    QByteArray bytes = line.toUtf8();
    bytes += '\n';
    std::lock_guard<std::mutex> lock(m_state->mutex);
    if (m_state->stop)
        return;
    if (m_state->queue.size() >= m_state->maxQueued) {
        ++m_state->dropped;
        if (++m_state->unreported == 1)
            m_state->wake.notify_one();
        return;
    }
    if (m_state->unreported > 0) {
        // The notice goes where the lines were lost, before this newer line.
        m_state->queue.push_back(droppedNotice(m_state->unreported));
        m_state->unreported = 0;
    }
    m_state->queue.push_back(std::move(bytes));
    m_state->wake.notify_one();
}

qint64 VrLogWriter::dropped() const
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    return m_state->dropped;
}
