// Uploads to our FTP server (its own thread, on loopback) against vsftpd, started here as an
// unprivileged process on loopback when it is installed, and against a raw loopback TCP copy of
// the same bytes into files, all in the same run: 300 KB files in one session, then one 100 MB
// file. Each ratio is our time over the baseline's; the first lines say which baselines ran.
#include "FtpServerHost.h"
#include "KxConfig.h"
#include "SqliteDbManager.h"
#include "bench.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <thread>

namespace {
const int kSmallFiles = 100;
const int kSmallBytes = 300 * 1024;
const qint64 kBigBytes = qint64(100) << 20;

// The baseline: plain sockets, each connection's bytes into a file of its own.
class RawSink
{
public:
    explicit RawSink(const QString &dir) : m_dir(dir)
    {
        m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof(a);
        ::bind(m_listen, reinterpret_cast<sockaddr *>(&a), sizeof(a));
        ::listen(m_listen, 64);
        ::getsockname(m_listen, reinterpret_cast<sockaddr *>(&a), &len);
        port = ntohs(a.sin_port);
        m_thread = std::thread([this] { run(); });
    }
    ~RawSink()
    {
        m_stop = true;
        ::shutdown(m_listen, SHUT_RDWR);
        ::close(m_listen);
        m_thread.join();
    }
    quint16 port = 0;

private:
    void run()
    {
        std::vector<char> buffer(1 << 20);
        for (int n = 0; !m_stop; ++n) {
            const int c = ::accept(m_listen, nullptr, nullptr);
            if (c < 0)
                return;
            FILE *f = std::fopen(qPrintable(QStringLiteral("%1/raw%2").arg(m_dir).arg(n)), "wb");
            ssize_t got;
            while ((got = ::read(c, buffer.data(), buffer.size())) > 0)
                std::fwrite(buffer.data(), 1, size_t(got), f);
            std::fclose(f);
            ::close(c);
        }
    }
    QString m_dir;
    int m_listen = -1;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

bool sendRaw(quint16 port, const QByteArray &data)
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    bool ok = ::connect(s, reinterpret_cast<sockaddr *>(&a), sizeof(a)) == 0;
    for (qint64 at = 0; ok && at < data.size();) {
        const ssize_t put = ::write(s, data.constData() + at, size_t(data.size() - at));
        ok = put > 0;
        at += qMax<ssize_t>(put, 0);
    }
    ::shutdown(s, SHUT_WR);
    char b;
    while (ok && ::read(s, &b, 1) > 0) {
    } // the sink closes once the file is written
    ::close(s);
    return ok;
}

// A minimal blocking FTP client for the measurement.
class Client
{
public:
    bool login(quint16 port, const QString &user, const QString &password)
    {
        m_s.connectToHost(QHostAddress::LocalHost, port);
        if (!m_s.waitForConnected(5000) || reply() != 220)
            return false;
        // An anonymous login may be complete after USER.
        const int afterUser = command("USER " + user);
        return (afterUser == 230 || (afterUser == 331 && command("PASS " + password) == 230))
            && command("TYPE I") == 200;
    }
    bool store(const QString &name, const QByteArray &data)
    {
        m_s.write("PASV\r\n");
        if (reply() != 227)
            return false;
        const QRegularExpressionMatch m = QRegularExpression("(\\d+),(\\d+)\\)").match(m_last);
        QTcpSocket d;
        d.connectToHost(QHostAddress::LocalHost, quint16(m.captured(1).toInt() * 256 + m.captured(2).toInt()));
        if (!d.waitForConnected(5000))
            return false;
        m_s.write(("STOR " + name + "\r\n").toUtf8());
        if (reply() != 150)
            return false;
        for (qint64 at = 0; at < data.size(); at += 1 << 20) {
            d.write(data.constData() + at, qMin<qint64>(1 << 20, data.size() - at));
            while (d.bytesToWrite() > 0)
                if (!d.waitForBytesWritten(10000))
                    return false;
        }
        d.disconnectFromHost();
        if (d.state() != QAbstractSocket::UnconnectedState)
            d.waitForDisconnected(30000);
        return reply() == 226;
    }

private:
    int command(const QString &line)
    {
        m_s.write((line + "\r\n").toUtf8());
        return reply();
    }
    int reply()
    {
        for (;;) {
            while (!m_s.canReadLine())
                if (!m_s.waitForReadyRead(30000))
                    return -1;
            m_last = QString::fromUtf8(m_s.readLine()).trimmed();
            if (m_last.size() >= 4 && m_last.at(3) == ' ')
                return m_last.left(3).toInt();
        }
    }
    QTcpSocket m_s;
    QString m_last;
};

// vsftpd as the comparison: anonymous uploads into a folder of its own, on 127.0.0.1 at a free
// high port, in the foreground, never as root (run as "nobody" when this benchmark runs as root).
class Vsftpd
{
public:
    ~Vsftpd()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(5000)) {
                m_process.kill();
                m_process.waitForFinished(5000);
            }
        }
    }
    // Empty on success, else why it did not start.
    QString start()
    {
        const QString program = QStandardPaths::findExecutable(
            QStringLiteral("vsftpd"), {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/local/sbin")});
        if (program.isEmpty())
            return QStringLiteral("vsftpd is not installed");
        if (!m_dir.isValid())
            return QStringLiteral("no temporary folder");
        {
            QTcpServer probe;
            if (!probe.listen(QHostAddress::LocalHost, 0))
                return QStringLiteral("no free port");
            port = probe.serverPort();
        }
        uploads = m_dir.path() + "/up";
        QDir().mkpath(uploads);
        QDir().mkpath(m_dir.path() + "/empty");
        const QString conf = m_dir.path() + "/vsftpd.conf";
        QFile f(conf);
        if (!f.open(QIODevice::WriteOnly))
            return QStringLiteral("cannot write its configuration");
        f.write(QStringLiteral("listen=YES\nlisten_ipv6=NO\nlisten_address=127.0.0.1\nlisten_port=%1\n"
                               "background=NO\nrun_as_launching_user=YES\nanonymous_enable=YES\n"
                               "no_anon_password=YES\nlocal_enable=NO\nwrite_enable=YES\n"
                               "anon_upload_enable=YES\nanon_root=%2\nsecure_chroot_dir=%3/empty\n"
                               "pasv_enable=YES\npasv_address=127.0.0.1\nxferlog_enable=NO\n"
                               "seccomp_sandbox=NO\n")
                    .arg(port)
                    .arg(uploads, m_dir.path())
                    .toUtf8());
        f.close();
        QString runner = program;
        QStringList args{conf};
        if (::geteuid() == 0) {
            // vsftpd reads only a configuration owned by the user it runs as.
            const passwd *nobody = ::getpwnam("nobody");
            const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
            if (!nobody || setpriv.isEmpty())
                return QStringLiteral("running as root without a user \"nobody\" or setpriv to drop to");
            for (const QString &path : {m_dir.path(), uploads, conf}) {
                if (::chown(qPrintable(path), nobody->pw_uid, nobody->pw_gid) != 0)
                    return QStringLiteral("cannot hand %1 to nobody").arg(path);
            }
            args = QStringList{QStringLiteral("--reuid=%1").arg(nobody->pw_uid),
                               QStringLiteral("--regid=%1").arg(nobody->pw_gid),
                               QStringLiteral("--clear-groups"), program, conf};
            runner = setpriv;
            user = QStringLiteral("nobody");
        } else {
            user = QString::fromLocal8Bit(qgetenv("USER"));
        }
        m_process.setProgram(runner);
        m_process.setArguments(args);
        m_process.start();
        if (!m_process.waitForStarted(5000))
            return QStringLiteral("it did not start: %1").arg(m_process.errorString());
        // Ready once it greets; it writes its own errors to its standard input, so a failed
        // start shows only as an exit.
        for (int i = 0; i < 100; ++i) {
            QTcpSocket s;
            s.connectToHost(QHostAddress::LocalHost, port);
            if (s.waitForConnected(1000) && s.waitForReadyRead(2000) && s.readAll().startsWith("220"))
                return QString();
            if (m_process.waitForFinished(100))
                return QStringLiteral("it exited with code %1 (cannot run unprivileged here?)")
                    .arg(m_process.exitCode());
        }
        return QStringLiteral("it did not answer on port %1").arg(port);
    }
    quint16 port = 0;
    QString uploads;
    QString user;

private:
    QTemporaryDir m_dir;
    QProcess m_process;
};

void clearFolder(const QString &dir)
{
    for (const QString &name : QDir(dir).entryList(QDir::Files))
        QFile::remove(dir + QLatin1Char('/') + name);
}

struct Timing
{
    double smallMs = 0;
    double bigMs = 0;
};

// The same client and the same bytes for every FTP server; names stay unique across repeats, as
// vsftpd does not let anonymous users overwrite.
Timing measureFtp(quint16 port, const QString &user, const QString &password, const QString &folder,
                  const QByteArray &small, const QByteArray &big, bool *ok)
{
    Timing t;
    int run = 0;
    t.smallMs = bench::medianMs([&] {
        Client c;
        *ok = *ok && c.login(port, user, password);
        for (int i = 0; i < kSmallFiles && *ok; ++i)
            *ok = c.store(QStringLiteral("img%1_%2.bmp").arg(run).arg(i), small);
        ++run;
    }, 3);
    clearFolder(folder);
    t.bigMs = bench::medianMs([&] {
        Client c;
        *ok = *ok && c.login(port, user, password) && c.store(QStringLiteral("big%1.bin").arg(run++), big);
        clearFolder(folder);
    }, 3);
    return t;
}

void reportPair(const QString &baseline, const Timing &ours, const Timing &base)
{
    bench::report(QStringLiteral("FTP, %1 uploads of 300 KB in one session, against %2").arg(kSmallFiles).arg(baseline),
                  ours.smallMs, base.smallMs,
                  QStringLiteral("%1 files/s against %2 files/s")
                      .arg(kSmallFiles * 1000.0 / ours.smallMs, 0, 'f', 0)
                      .arg(kSmallFiles * 1000.0 / base.smallMs, 0, 'f', 0));
    bench::report(QStringLiteral("FTP, one 100 MB upload, against %1").arg(baseline), ours.bigMs, base.bigMs,
                  QStringLiteral("%1 MB/s against %2 MB/s")
                      .arg(100000.0 / ours.bigMs, 0, 'f', 0)
                      .arg(100000.0 / base.bigMs, 0, 'f', 0));
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // The server's line per command would drown the results.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &msg) {
        if (type != QtDebugMsg && type != QtInfoMsg)
            fprintf(stderr, "%s\n", qPrintable(msg));
    });
    QTemporaryDir tmp;
    KxConfig::instance()->setDataDir(tmp.path() + "/data");
    SqliteDbManager::instance()->open(tmp.path() + "/data/database");
    qApp->setProperty("localSetting_imageStrategy", QStringLiteral("1"));
    qApp->setProperty("localSetting_miniFreeReservedSpace", QStringLiteral("0"));
    const QString root = tmp.path() + "/ftp";
    const QString raw = tmp.path() + "/raw";
    QDir().mkpath(root);
    QDir().mkpath(raw);

    FtpServerHost host;
    FtpServerConfig config;
    config.root = root;
    config.port = 0;
    config.user = "bench";
    config.password = "bench-pw";
    config.listenAddress = QHostAddress::LocalHost;
    config.maxUploadBytes = kBigBytes * 2;
    QSignalSpy listening(&host, &FtpServerHost::listening);
    host.start(config);
    if (!listening.wait(30000) || !listening.first().at(0).toBool()) {
        qCritical("the FTP server did not start");
        return 1;
    }
    const quint16 port = quint16(listening.first().at(1).toUInt());
    RawSink sink(raw);
    Vsftpd vsftpd;
    const QString vsftpdProblem = vsftpd.start();
    QTextStream out(stdout);
    if (vsftpdProblem.isEmpty())
        out << "baselines: vsftpd on 127.0.0.1:" << vsftpd.port << " as user " << vsftpd.user
            << ", and raw loopback TCP" << Qt::endl;
    else
        out << "baseline: raw loopback TCP only; vsftpd not used: " << vsftpdProblem << Qt::endl;

    const QByteArray small(kSmallBytes, 'x');
    const QByteArray big(kBigBytes, 'y');
    bool ok = true;
    const Timing ours = measureFtp(port, "bench", "bench-pw", root, small, big, &ok);
    Timing rawTcp;
    rawTcp.smallMs = bench::medianMs([&] {
        for (int i = 0; i < kSmallFiles && ok; ++i)
            ok = sendRaw(sink.port, small);
    }, 3);
    clearFolder(raw);
    rawTcp.bigMs = bench::medianMs([&] {
        ok = ok && sendRaw(sink.port, big);
        clearFolder(raw);
    }, 3);
    if (vsftpdProblem.isEmpty()) {
        bool vsOk = true;
        const Timing vs = measureFtp(vsftpd.port, "anonymous", QString(), vsftpd.uploads, small, big, &vsOk);
        if (vsOk) {
            reportPair(QStringLiteral("vsftpd"), ours, vs);
            // The aim: at least half of vsftpd's files per second and megabytes per second.
            out << "aim (at most twice vsftpd's time): small files "
                << (ours.smallMs <= 2 * vs.smallMs ? "met" : "NOT met") << ", 100 MB file "
                << (ours.bigMs <= 2 * vs.bigMs ? "met" : "NOT met") << Qt::endl;
        } else {
            out << "vsftpd refused an upload; only the raw TCP baseline is reported" << Qt::endl;
        }
    }
    reportPair(QStringLiteral("raw loopback TCP"), ours, rawTcp);
    host.stop();
    if (!ok) {
        qCritical("an upload failed");
        return 1;
    }
    return 0;
}
