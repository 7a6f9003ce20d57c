// The virtual reader's log writer: order kept, and a full output never blocks the caller.
#include "VrLogWriter.h"

#include <QtTest>

#include <thread>

#include <fcntl.h>
#include <unistd.h>

namespace {

// Reads fd until end of file (all write ends closed).
QByteArray readAllFrom(int fd)
{
    QByteArray all;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return all;
        all.append(buf, int(n));
    }
}

// Sums the counts of the "dropped" notices and removes them from lines.
qint64 takeNotices(QList<QByteArray> &lines)
{
    qint64 total = 0;
    for (int i = lines.size() - 1; i >= 0; --i) {
        const QByteArray withNewline = lines[i] + '\n';
        if (!withNewline.startsWith('('))
            continue;
        const qint64 n = withNewline.mid(1, withNewline.indexOf(' ') - 1).toLongLong();
        if (VrLogWriter::droppedNotice(n) == withNewline) {
            total += n;
            lines.removeAt(i);
        }
    }
    return total;
}

}  // namespace

class TestVrLogWriter : public QObject
{
    Q_OBJECT
private slots:
    void linesArriveInOrder()
    {
        int fds[2];
        QCOMPARE(::pipe(fds), 0);
        QByteArray got;
        std::thread reader([&] { got = readAllFrom(fds[0]); });
        {
            VrLogWriter w(fds[1]);
            for (int i = 0; i < 5000; ++i)
                w.write(QStringLiteral("line %1 é").arg(i));
            QCOMPARE(w.dropped(), qint64(0));
        }
        ::close(fds[1]);
        reader.join();
        ::close(fds[0]);
        QList<QByteArray> lines = got.split('\n');
        QCOMPARE(lines.takeLast(), QByteArray());
        QCOMPARE(lines.size(), 5000);
        for (int i = 0; i < lines.size(); ++i)
            QCOMPARE(QString::fromUtf8(lines[i]), QStringLiteral("line %1 é").arg(i));
    }

    void fullOutputDropsAndCountsInsteadOfBlocking()
    {
        int fds[2];
        QCOMPARE(::pipe(fds), 0);
        const int total = 60000;  // about 1.5 MB: many times what a pipe holds
        QByteArray got;
        qint64 dropped = 0;
        std::thread reader;
        {
            VrLogWriter w(fds[1], 100);
            // Nobody reads the pipe while the lines are written: write() must still return.
            for (int i = 0; i < total; ++i)
                w.write(QStringLiteral("log line number %1 with some text").arg(i));
            QVERIFY(w.dropped() > 0);
            reader = std::thread([&] { got = readAllFrom(fds[0]); });
            // Taken or dropped, depending on whether the queue has room again by now.
            w.write(QStringLiteral("last"));
            dropped = w.dropped();
            // Leaving the scope waits for the queue to drain (the reader is consuming now).
        }
        ::close(fds[1]);
        reader.join();
        ::close(fds[0]);
        QVERIFY(dropped > 0);
        QList<QByteArray> lines = got.split('\n');
        lines.takeLast();
        const qint64 reported = takeNotices(lines);
        if (lines.last() == "last")
            lines.removeLast();
        else
            QVERIFY(reported > 0);  // then "last" was dropped and counted
        // Every line was either written, in order, or counted in a notice.
        QCOMPARE(reported, dropped);
        const bool lastWritten = got.contains("\nlast\n");
        QCOMPARE(lines.size() + reported, qint64(total) + (lastWritten ? 0 : 1));
        int previous = -1;
        for (const QByteArray &l : qAsConst(lines)) {
            const int n = l.split(' ').value(3).toInt();
            QVERIFY2(n > previous, l.constData());
            previous = n;
        }
        QCOMPARE(lines.first(), QByteArray("log line number 0 with some text"));
    }
};

QTEST_GUILESS_MAIN(TestVrLogWriter)
#include "tst_vreader_log.moc"
