#pragma once
// Writes log lines to a file descriptor (the program's stderr) from a thread of its own.
// A reader must keep answering when nobody reads its log: a full pipe blocks only the writer
// thread, and lines beyond the queue limit are dropped and counted instead of stalling the
// caller.
#include <QByteArray>
#include <QString>

#include <memory>

class VrLogWriter
{
public:
    explicit VrLogWriter(int fd, int maxQueuedLines = 20000);
    // Waits a moment for the queue to drain; a writer stuck on a full pipe is left behind.
    ~VrLogWriter();
    VrLogWriter(const VrLogWriter &) = delete;
    VrLogWriter &operator=(const VrLogWriter &) = delete;

    // Queues one line (a newline is added); never blocks on the output.
    void write(const QString &line);
    // Lines dropped so far because the queue was full.
    qint64 dropped() const;

    // How the writer reports dropped lines once it can write again.
    static QByteArray droppedNotice(qint64 count);

private:
    struct State;
    std::shared_ptr<State> m_state;
};
