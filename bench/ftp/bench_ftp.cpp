// Uploads to our FTP server (its own thread, on loopback) against a raw loopback TCP copy of the
// same bytes into files, in the same run: 300 KB files in one session, then one 100 MB file.
// The ratio is our time over the raw copy's (no other FTP server is installed to compare with).
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
#include <QTemporaryDir>
#include <arpa/inet.h>
#include <netinet/in.h>
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
        return m_s.waitForConnected(5000) && reply() == 220 && command("USER " + user) == 331
            && command("PASS " + password) == 230 && command("TYPE I") == 200;
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

    const QByteArray small(kSmallBytes, 'x');
    const QByteArray big(kBigBytes, 'y');
    bool ok = true;
    const double ftpSmall = bench::medianMs([&] {
        Client c;
        ok = ok && c.login(port, "bench", "bench-pw");
        for (int i = 0; i < kSmallFiles && ok; ++i)
            ok = c.store(QStringLiteral("img%1.bmp").arg(i), small);
    }, 3);
    const double rawSmall = bench::medianMs([&] {
        for (int i = 0; i < kSmallFiles && ok; ++i)
            ok = sendRaw(sink.port, small);
    }, 3);
    bench::report(QStringLiteral("FTP, %1 uploads of 300 KB in one session").arg(kSmallFiles), ftpSmall, rawSmall,
                  QStringLiteral("%1 files/s against %2 files/s over raw loopback TCP")
                      .arg(kSmallFiles * 1000.0 / ftpSmall, 0, 'f', 0)
                      .arg(kSmallFiles * 1000.0 / rawSmall, 0, 'f', 0));
    const double ftpBig = bench::medianMs([&] {
        Client c;
        ok = ok && c.login(port, "bench", "bench-pw") && c.store(QStringLiteral("big.bin"), big);
    }, 3);
    const double rawBig = bench::medianMs([&] { ok = ok && sendRaw(sink.port, big); }, 3);
    bench::report(QStringLiteral("FTP, one 100 MB upload"), ftpBig, rawBig,
                  QStringLiteral("%1 MB/s against %2 MB/s over raw loopback TCP")
                      .arg(100000.0 / ftpBig, 0, 'f', 0)
                      .arg(100000.0 / rawBig, 0, 'f', 0));
    host.stop();
    if (!ok) {
        qCritical("an upload failed");
        return 1;
    }
    return 0;
}
