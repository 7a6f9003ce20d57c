#pragma once
// Starts the real brevan-vreader for a test: its own loopback addresses, free ports, a temporary
// state folder, and what it prints (reader lines, pty paths). Stops it when destroyed.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QProcess>
#include <QRandomGenerator>
#include <QStringList>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QUdpSocket>

class VReaderProcess
{
public:
    struct Reader
    {
        QString serial;
        QString model;
        QString address;
        quint16 port = 0;
    };

    VReaderProcess() { pickEndpoints(); }
    ~VReaderProcess() { stop(); }

    // Starts the program with these arguments plus address, ports and state; waits for "ready".
    bool start(const QStringList &extraArgs, int timeoutMs = 15000)
    {
        m_readers.clear();
        m_ptys.clear();
        m_output.clear();
        QStringList args = extraArgs;
        args << "--address" << m_firstAddress << "--port" << QString::number(m_port)
             << "--log-port" << QString::number(m_logPort) << "--discovery-port"
             << QString::number(m_discoveryPort) << "--state" << stateDir();
        m_process.setProgram(QStringLiteral(BREVAN_BIN_DIR "/brevan-vreader"));
        m_process.setArguments(args);
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        // The reader's log goes to a file: a pipe that the test does not read while it blocks in
        // a send would fill up and stall the reader.
        m_errorPath = m_logDir.filePath(QStringLiteral("vreader-%1.log").arg(++m_starts));
        m_errorRead = 0;
        if (!m_unreadLogPipe)
            m_process.setStandardErrorFile(m_errorPath);
        m_process.start();
        if (!m_process.waitForStarted(timeoutMs))
            return false;
        QElapsedTimer timer;
        timer.start();
        while (!m_output.contains("\nready\n") && !m_output.startsWith("ready\n")) {
            if (m_process.state() != QProcess::Running || timer.elapsed() > timeoutMs)
                return false;
            m_process.waitForReadyRead(200);
            m_output += m_process.readAllStandardOutput();
        }
        for (const QByteArray &line : m_output.split('\n')) {
            const QList<QByteArray> f = line.split(' ');
            if (f.value(0) == "reader:" && f.size() >= 4) {
                const QByteArray hp = f[3];
                const int colon = hp.lastIndexOf(':');
                m_readers << Reader{QString::fromUtf8(f[1]), QString::fromUtf8(f[2]),
                                    QString::fromUtf8(hp.left(colon)), quint16(hp.mid(colon + 1).toUInt())};
            } else if (f.value(0) == "pty:" && f.size() >= 2) {
                m_ptys << QString::fromUtf8(f[1]);
            }
        }
        return true;
    }

    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(2000);
        }
    }

    // Stops and starts again with the same addresses, ports and state folder.
    bool restart(const QStringList &extraArgs)
    {
        stop();
        return start(extraArgs);
    }

    // Leaves the reader's log on a pipe that is never read (to check the reader copes with it).
    void setUnreadLogPipe(bool on) { m_unreadLogPipe = on; }

    QList<Reader> readers() const { return m_readers; }
    QStringList ptys() const { return m_ptys; }
    QString stateDir() const { return m_state.path(); }
    quint16 port() const { return m_port; }
    quint16 discoveryPort() const { return m_discoveryPort; }
    quint16 logPort() const { return m_logPort; }
    QString firstAddress() const { return m_firstAddress; }
    // What the reader logged since the last call.
    QByteArray errorOutput()
    {
        QFile f(m_errorPath);
        if (m_errorPath.isEmpty() || !f.open(QIODevice::ReadOnly) || !f.seek(m_errorRead))
            return QByteArray();
        const QByteArray bytes = f.readAll();
        m_errorRead += bytes.size();
        return bytes;
    }

private:
    static bool tcpFree(const QHostAddress &a, quint16 port)
    {
        QTcpServer s;
        return s.listen(a, port);
    }
    static bool udpFree(const QHostAddress &a, quint16 port)
    {
        QUdpSocket s;
        return s.bind(a, port);
    }

    // A block of 8 addresses in 127.x.y.z chosen at random, and ports free on all of them.
    void pickEndpoints()
    {
        QRandomGenerator *rng = QRandomGenerator::global();
        for (int attempt = 0; attempt < 50; ++attempt) {
            const quint32 base = (127u << 24) | (quint32(rng->bounded(1, 250)) << 16)
                | (quint32(rng->bounded(1, 250)) << 8) | 10u;
            const quint16 port = quint16(rng->bounded(20000, 60000));
            bool ok = true;
            for (quint32 i = 0; i < 8 && ok; ++i) {
                const QHostAddress a(base + i);
                ok = tcpFree(a, port) && tcpFree(a, port + 1) && udpFree(a, port + 2);
            }
            if (ok) {
                m_firstAddress = QHostAddress(base).toString();
                m_port = port;
                m_logPort = port + 1;
                m_discoveryPort = port + 2;
                return;
            }
        }
    }

    QProcess m_process;
    QTemporaryDir m_state;
    QTemporaryDir m_logDir;
    QString m_errorPath;
    qint64 m_errorRead = 0;
    int m_starts = 0;
    bool m_unreadLogPipe = false;
    QByteArray m_output;
    QString m_firstAddress = QStringLiteral("127.0.0.2");
    quint16 m_port = 36520;
    quint16 m_logPort = 36521;
    quint16 m_discoveryPort = 36522;
    QList<Reader> m_readers;
    QStringList m_ptys;
};
