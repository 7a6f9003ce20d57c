// The FTP server in its own thread, driven over loopback by clients we did not write (Python's
// ftplib and curl) and by a raw socket for the exact reply lines.
#include "FtpServer.h"
#include "FtpServerHost.h"
#include "KxConfig.h"
#include "SqliteDbManager.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMutex>
#include <QProcess>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const QString kUser = QStringLiteral("admin");
const QString kPassword = QStringLiteral("s3cret-pw");

QMutex g_logMutex;
QStringList g_log;
QtMessageHandler g_previous = nullptr;
void captureLog(QtMsgType type, const QMessageLogContext &ctx, const QString &msg)
{
    {
        QMutexLocker locker(&g_logMutex);
        g_log << msg;
    }
    if (type != QtDebugMsg && g_previous)
        g_previous(type, ctx, msg);
}

// Everything under a folder with a digest of each file, to prove an attack touched nothing.
QMap<QString, QByteArray> snapshot(const QString &dir)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(dir, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile f(path);
        QByteArray digest = "dir";
        if (f.open(QIODevice::ReadOnly))
            digest = QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha1);
        files.insert(path, digest);
    }
    return files;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
} // namespace

class TestFtpServer : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_tmp;
    QString m_root;
    QString m_outside;
    QString m_work;
    FtpServerHost m_host;
    quint16 m_port = 0;
    qint64 m_freeGb = 100;
    QMutex m_freeMutex;

    FtpServerConfig baseConfig()
    {
        FtpServerConfig config;
        config.root = m_root;
        config.port = 0;
        config.user = kUser;
        config.password = kPassword;
        config.listenAddress = QHostAddress::LocalHost;
        config.certificateDir = m_tmp.path() + QStringLiteral("/data/ssl");
        config.maxUploadBytes = 8 << 20;
        config.clock = [] { return QDateTime(QDate(2025, 1, 2), QTime(3, 4, 5)); };
        config.freeSpaceGb = [this](const QString &) {
            QMutexLocker locker(&m_freeMutex);
            return m_freeGb;
        };
        return config;
    }

    bool startServer(const FtpServerConfig &config)
    {
        QSignalSpy spy(&m_host, &FtpServerHost::listening);
        m_host.start(config);
        if (!spy.wait(30000) || !spy.first().at(0).toBool())
            return false;
        m_port = quint16(spy.first().at(1).toUInt());
        return m_port != 0;
    }

    void setFreeGb(qint64 gb)
    {
        QMutexLocker locker(&m_freeMutex);
        m_freeGb = gb;
    }

    QJsonArray ftplib(const QList<QJsonArray> &stepList, bool tls = false, const QString &password = kPassword)
    {
        QJsonArray steps;
        for (const QJsonArray &step : stepList)
            steps.append(step);
        QProcess p;
        p.start(QStringLiteral("python3"),
                {QStringLiteral(BREVAN_SOURCE_DIR "/tests/ftp/ftpsteps.py"), QString::number(m_port),
                 kUser, password, tls ? QStringLiteral("1") : QStringLiteral("0"),
                 QString::fromUtf8(QJsonDocument(steps).toJson(QJsonDocument::Compact)),
                 m_work + QStringLiteral("/retr.out")});
        if (!p.waitForFinished(120000)) {
            p.kill();
            p.waitForFinished(5000);
            return {};
        }
        const QByteArray out = p.readAllStandardOutput();
        if (p.exitCode() != 0)
            qWarning().noquote() << p.readAllStandardError();
        return QJsonDocument::fromJson(out).array();
    }

    // curl's exit code and output.
    QPair<int, QByteArray> curl(const QStringList &args)
    {
        QProcess p;
        p.start(QStringLiteral("curl"), QStringList{QStringLiteral("-sS"), QStringLiteral("--max-time"),
                                                    QStringLiteral("120"), QStringLiteral("-u"),
                                                    kUser + QLatin1Char(':') + kPassword}
                                            + args);
        if (!p.waitForFinished(150000)) {
            p.kill();
            p.waitForFinished(5000);
            return {-1, {}};
        }
        if (p.exitCode() != 0)
            qWarning().noquote() << "curl:" << p.readAllStandardError();
        return {p.exitCode(), p.readAllStandardOutput()};
    }

    QString url(const QString &path) const
    {
        return QStringLiteral("ftp://127.0.0.1:%1/%2").arg(m_port).arg(path);
    }

    // A raw control connection; returns the lines received after sending each command.
    static QString exchange(QTcpSocket &socket, const QByteArray &line)
    {
        if (!line.isEmpty()) {
            socket.write(line + "\r\n");
            socket.waitForBytesWritten(10000);
        }
        QByteArray got;
        // A multi-line reply ends with a line whose code is followed by a space.
        for (int i = 0; i < 100; ++i) {
            if (!got.isEmpty() && got.endsWith("\r\n")) {
                const QList<QByteArray> lines = got.trimmed().split('\n');
                const QByteArray last = lines.last().trimmed();
                if (last.size() >= 4 && last.at(3) == ' ')
                    break;
            }
            if (!socket.waitForReadyRead(30000))
                break;
            got += socket.readAll();
        }
        return QString::fromUtf8(got);
    }

    QStringList ftpRecords()
    {
        QStringList names;
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("probe"));
        db.setDatabaseName(m_tmp.path() + QStringLiteral("/data/database/imageFileList.db"));
        if (db.open()) {
            QSqlQuery q(db);
            q.exec(QStringLiteral("SELECT imageName, createDateTime FROM FtpFilesTable"));
            while (q.next())
                names << q.value(0).toString() + QLatin1Char('@') + q.value(1).toString();
        }
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("probe"));
        return names;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_tmp.isValid());
        KxConfig::instance()->setDataDir(m_tmp.path() + QStringLiteral("/data"));
        QVERIFY(SqliteDbManager::instance()->open(m_tmp.path() + QStringLiteral("/data/database")));
        m_root = m_tmp.path() + QStringLiteral("/ftp");
        m_outside = m_tmp.path() + QStringLiteral("/outside");
        m_work = m_tmp.path() + QStringLiteral("/work");
        for (const QString &dir : {m_root, m_outside, m_work})
            QVERIFY(QDir().mkpath(dir));
        QVERIFY(writeFile(m_outside + QStringLiteral("/secret.txt"), "do not read"));
        QVERIFY(QFile::link(m_outside, m_root + QStringLiteral("/escape")));
        QVERIFY(QFile::link(m_outside + QStringLiteral("/secret.txt"), m_root + QStringLiteral("/secret")));
        qApp->setProperty("localSetting_imageStrategy", QStringLiteral("1"));
        qApp->setProperty("localSetting_miniFreeReservedSpace", QStringLiteral("0"));
        g_previous = qInstallMessageHandler(captureLog);
        QVERIFY(startServer(baseConfig()));
    }

    void cleanupTestCase()
    {
        m_host.stop();
        qInstallMessageHandler(g_previous);
    }

    void replyLines_data()
    {
        QTest::addColumn<bool>("login");
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<QString>("expected");
        QTest::newRow("before login") << false << QByteArray("PWD") << "530 You must log in first.\r\n";
        QTest::newRow("list before login") << false << QByteArray("LIST") << "530 You must log in first.\r\n";
        QTest::newRow("feat before login") << false << QByteArray("FEAT") << "211-Features:\r\n UTF8\r\n211 End\r\n";
        QTest::newRow("user") << false << QByteArray("USER anyone") << "331 User name OK, need password.\r\n";
        QTest::newRow("pwd") << true << QByteArray("PWD") << "257 \"/\"\r\n";
        QTest::newRow("syst") << true << QByteArray("SYST") << "215 UNIX\r\n";
        QTest::newRow("type") << true << QByteArray("TYPE I") << "200 Command okay.\r\n";
        QTest::newRow("opts utf8") << true << QByteArray("OPTS UTF8 ON") << "200 Command okay.\r\n";
        QTest::newRow("noop lower case") << true << QByteArray("noop") << "200 Command okay.\r\n";
        QTest::newRow("pbsz") << true << QByteArray("PBSZ 0") << "200 Command okay.\r\n";
        QTest::newRow("prot") << true << QByteArray("PROT P") << "502 Command not implemented.\r\n";
        QTest::newRow("appe") << true << QByteArray("APPE x") << "502 Command not implemented.\r\n";
        QTest::newRow("unknown") << true << QByteArray("XYZZY") << "502 Command not implemented.\r\n";
        QTest::newRow("rest") << true << QByteArray("REST 10") << "350 Requested file action pending further information.\r\n";
        QTest::newRow("size missing") << true << QByteArray("SIZE nothing.bmp") << "550 Requested action not taken; file unavailable.\r\n";
        QTest::newRow("list without data connection") << true << QByteArray("LIST") << "425 Can't open data connection.\r\n";
        QTest::newRow("list missing") << true << QByteArray("LIST /nothing") << "425 File or directory is not readable or doesn't exist.\r\n";
        QTest::newRow("cwd up at root") << true << QByteArray("CWD ..") << "250 Requested file action okay, completed.\r\n";
        QTest::newRow("mkd") << true << QByteArray("MKD made") << "257 \"/made\" created.\r\n";
        QTest::newRow("rnto without rnfr") << true << QByteArray("RNTO x") << "503 Bad sequence of commands.\r\n";
        QTest::newRow("port bounce") << true << QByteArray("PORT 10,0,0,1,4,1") << "501 PORT must name the client's own address.\r\n";
        QTest::newRow("port other loopback") << true << QByteArray("PORT 127,0,0,2,20,0") << "501 PORT must name the client's own address.\r\n";
        QTest::newRow("port privileged") << true << QByteArray("PORT 127,0,0,1,0,21") << "501 PORT must name the client's own address.\r\n";
        QTest::newRow("port own") << true << QByteArray("PORT 127,0,0,1,200,10") << "200 Command okay.\r\n";
        QTest::newRow("quit") << true << QByteArray("QUIT") << "221 Quitting...\r\n";
    }
    void replyLines()
    {
        QFETCH(bool, login);
        QFETCH(QByteArray, command);
        QFETCH(QString, expected);
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, m_port);
        QVERIFY(socket.waitForConnected(30000));
        QCOMPARE(exchange(socket, QByteArray()), QStringLiteral("220 Welcome to QFtpServer.\r\n"));
        if (login) {
            QCOMPARE(exchange(socket, "USER " + kUser.toUtf8()), QStringLiteral("331 User name OK, need password.\r\n"));
            QCOMPARE(exchange(socket, "PASS " + kPassword.toUtf8()), QStringLiteral("230 You are logged in.\r\n"));
        }
        QCOMPARE(exchange(socket, command), expected);
        QDir(m_root).rmdir(QStringLiteral("made"));
    }

    void wrongLoginsCloseTheConnection()
    {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, m_port);
        QVERIFY(socket.waitForConnected(30000));
        exchange(socket, QByteArray());
        for (int i = 0; i < 3; ++i) {
            exchange(socket, "USER " + kUser.toUtf8());
            QCOMPARE(exchange(socket, "PASS wrong" + QByteArray::number(i)),
                     QStringLiteral("530 User name or password was incorrect.\r\n"));
        }
        QTRY_COMPARE_WITH_TIMEOUT(socket.state(), QAbstractSocket::UnconnectedState, 30000);
        QMutexLocker locker(&g_logMutex);
        for (const QString &line : qAsConst(g_log)) {
            QVERIFY2(!line.contains(QLatin1String("wrong0")) && !line.contains(kPassword), qPrintable(line));
        }
    }

    void overlongLineClosesTheConnection()
    {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, m_port);
        QVERIFY(socket.waitForConnected(30000));
        exchange(socket, QByteArray());
        QCOMPARE(exchange(socket, "USER " + QByteArray(10000, 'a')), QStringLiteral("500 Command line too long.\r\n"));
        QTRY_COMPARE_WITH_TIMEOUT(socket.state(), QAbstractSocket::UnconnectedState, 30000);
    }

    // Upload, list, resumed download, size, rename and delete with ftplib, passive and active.
    void ftplibSession_data()
    {
        QTest::addColumn<bool>("active");
        QTest::newRow("passive") << false;
        QTest::newRow("active") << true;
    }
    void ftplibSession()
    {
        QFETCH(bool, active);
        QByteArray payload;
        for (int i = 0; i < 300000; ++i)
            payload += char('A' + (i * 7) % 26);
        QVERIFY(writeFile(m_work + QStringLiteral("/a.bmp"), payload));
        const QString dir = active ? QStringLiteral("act") : QStringLiteral("pas");
        QList<QJsonArray> steps;
        if (active)
            steps.append(QJsonArray{"active"});
        steps.append(QJsonArray{"mkd", dir});
        steps.append(QJsonArray{"cwd", dir});
        steps.append(QJsonArray{"stor", m_work + "/a.bmp", "a.bmp"});
        steps.append(QJsonArray{"nlst"});
        steps.append(QJsonArray{"list", ""});
        steps.append(QJsonArray{"size", "a_2025-01-02_03-04-05.bmp"});
        steps.append(QJsonArray{"retr", "a_2025-01-02_03-04-05.bmp", 1000});
        steps.append(QJsonArray{"stor", m_work + "/a.bmp", "a.bmp"});
        steps.append(QJsonArray{"rename", "a_2025-01-02_03-04-05_2.bmp", "b.bmp"});
        steps.append(QJsonArray{"dele", "b.bmp"});
        steps.append(QJsonArray{"pwd"});
        const QJsonArray r = ftplib(steps);
        QCOMPARE(r.size(), steps.size() + 1);
        int i = active ? 2 : 1;
        QCOMPARE(r.at(0).toString(), QStringLiteral("230 You are logged in."));
        QCOMPARE(r.at(i++).toString(), QStringLiteral("/") + dir);
        QCOMPARE(r.at(i++).toString(), QStringLiteral("250 Requested file action okay, completed."));
        QCOMPARE(r.at(i++).toString(), QStringLiteral("226 Closing data connection."));
        QCOMPARE(r.at(i++).toArray(), QJsonArray{"a_2025-01-02_03-04-05.bmp"});
        const QJsonArray listing = r.at(i++).toArray();
        QCOMPARE(listing.size(), 1);
        QVERIFY2(listing.at(0).toString().startsWith(QLatin1String("-rw")), qPrintable(listing.at(0).toString()));
        QVERIFY(listing.at(0).toString().contains(QLatin1String(" 300000 ")));
        QVERIFY(listing.at(0).toString().endsWith(QLatin1String(" a_2025-01-02_03-04-05.bmp")));
        QCOMPARE(r.at(i++).toInt(), 300000);
        QCOMPARE(r.at(i++).toString(), QStringLiteral("226 Closing data connection.|299000"));
        QCOMPARE(readFile(m_work + QStringLiteral("/retr.out")), payload.mid(1000));
        // A second upload in the same second never overwrites the first.
        QCOMPARE(r.at(i++).toString(), QStringLiteral("226 Closing data connection."));
        QCOMPARE(r.at(i++).toString(), QStringLiteral("250 Requested file action okay, completed."));
        QCOMPARE(r.at(i++).toString(), QStringLiteral("250 Requested file action okay, completed."));
        QCOMPARE(r.at(i++).toString(), QStringLiteral("/") + dir);
        const QString stored = m_root + QLatin1Char('/') + dir + QStringLiteral("/a_2025-01-02_03-04-05.bmp");
        QCOMPARE(readFile(stored), payload);
        QCOMPARE(QDir(m_root + QLatin1Char('/') + dir).entryList(QDir::Files),
                 QStringList{QStringLiteral("a_2025-01-02_03-04-05.bmp")});
        const QStringList records = ftpRecords();
        QVERIFY2(records.contains(stored + QStringLiteral("@20250102030405")), qPrintable(records.join(',')));
    }

    void curlClient()
    {
        QByteArray payload(150000, 'z');
        payload.replace(100, 5, "HELLO");
        QVERIFY(writeFile(m_work + QStringLiteral("/c.jpg"), payload));
        QVERIFY(QDir().mkpath(m_root + QStringLiteral("/curl")));
        auto up = curl({QStringLiteral("-T"), m_work + QStringLiteral("/c.jpg"), url(QStringLiteral("curl/"))});
        QCOMPARE(up.first, 0);
        const QString stored = QStringLiteral("curl/c_2025-01-02_03-04-05.jpg");
        QCOMPARE(readFile(m_root + QLatin1Char('/') + stored), payload);
        auto list = curl({url(QStringLiteral("curl/"))});
        QCOMPARE(list.first, 0);
        QVERIFY2(QString::fromUtf8(list.second).contains(QRegularExpression(QStringLiteral(" c_2025-01-02_03-04-05\\.jpg\r?\n"))),
                 list.second.constData());
        // Resume: the first half is already here; curl asks for the rest.
        QVERIFY(writeFile(m_work + QStringLiteral("/part.jpg"), payload.left(70000)));
        auto resume = curl({QStringLiteral("-C"), QStringLiteral("-"), QStringLiteral("-o"),
                            m_work + QStringLiteral("/part.jpg"), url(stored)});
        QCOMPARE(resume.first, 0);
        QCOMPARE(readFile(m_work + QStringLiteral("/part.jpg")), payload);
        auto active = curl({QStringLiteral("-P"), QStringLiteral("127.0.0.1"), QStringLiteral("-o"),
                            m_work + QStringLiteral("/active.jpg"), url(stored)});
        QCOMPARE(active.first, 0);
        QCOMPARE(readFile(m_work + QStringLiteral("/active.jpg")), payload);
        auto dele = curl({QStringLiteral("-Q"), QStringLiteral("DELE ") + stored, url(QString())});
        QCOMPARE(dele.first, 0);
        QVERIFY(!QFile::exists(m_root + QLatin1Char('/') + stored));
    }

    // AUTH TLS on request, from both clients; the key is this installation's own.
    void explicitTls()
    {
        QVERIFY(writeFile(m_work + QStringLiteral("/t.png"), "tls upload"));
        const QJsonArray r = ftplib({QJsonArray{"stor", m_work + "/t.png", "t.png"}, QJsonArray{"nlst"}}, true);
        QCOMPARE(r.size(), 4);
        QCOMPARE(r.at(0).toString(), QStringLiteral("230 You are logged in."));
        QVERIFY(r.at(1).toString().startsWith(QLatin1String("cipher:")));
        QCOMPARE(r.at(2).toString(), QStringLiteral("226 Closing data connection."));
        QVERIFY(r.at(3).toArray().contains(QStringLiteral("t_2025-01-02_03-04-05.png")));
        auto curlTls = curl({QStringLiteral("--ftp-ssl-control"), QStringLiteral("-k"),
                             QStringLiteral("-l"), url(QString())});
        QCOMPARE(curlTls.first, 0);
        QVERIFY(curlTls.second.contains("t_2025-01-02_03-04-05.png"));
        const QByteArray keyPem = readFile(m_tmp.path() + QStringLiteral("/data/ssl/ftp-key.pem"));
        QVERIFY(keyPem.contains("PRIVATE KEY"));
        QCOMPARE(QFileInfo(m_tmp.path() + QStringLiteral("/data/ssl/ftp-key.pem")).permissions()
                     & (QFile::ReadOther | QFile::ReadGroup),
                 QFile::Permissions());
    }

    // Every way out of the root fails and leaves the outside folder as it was.
    void traversalFails_data()
    {
        QTest::addColumn<QJsonArray>("step");
        QTest::newRow("retr up") << QJsonArray{"retr", "../outside/secret.txt"};
        QTest::newRow("retr absolute up") << QJsonArray{"retr", "/../../outside/secret.txt"};
        QTest::newRow("retr backslash") << QJsonArray{"retr", "..\\outside\\secret.txt"};
        QTest::newRow("retr system file") << QJsonArray{"retr", "/etc/passwd"};
        QTest::newRow("retr through link") << QJsonArray{"retr", "escape/secret.txt"};
        QTest::newRow("retr file link") << QJsonArray{"retr", "secret"};
        QTest::newRow("size through link") << QJsonArray{"size", "escape/secret.txt"};
        QTest::newRow("list through link") << QJsonArray{"list", "escape"};
        QTest::newRow("list up") << QJsonArray{"list", "../outside"};
        QTest::newRow("nlst up") << QJsonArray{"nlst", "../../"};
        QTest::newRow("cwd link") << QJsonArray{"cwd", "escape"};
        QTest::newRow("stor through link") << QJsonArray{"stor", "", "escape/new.bmp"};
        QTest::newRow("stor up") << QJsonArray{"stor", "", "../outside/new.bmp"};
        QTest::newRow("dele through link") << QJsonArray{"dele", "escape/secret.txt"};
        QTest::newRow("dele up") << QJsonArray{"dele", "../outside/secret.txt"};
        QTest::newRow("mkd through link") << QJsonArray{"mkd", "escape/d"};
        QTest::newRow("rmd up") << QJsonArray{"rmd", "../outside"};
        QTest::newRow("rename out") << QJsonArray{"rename", "escape/secret.txt", "got.txt"};
        QTest::newRow("rename in to out") << QJsonArray{"rename", "keep.txt", "escape/keep.txt"};
        QTest::newRow("encoded dots") << QJsonArray{"retr", "%2e%2e/outside/secret.txt"};
    }
    void traversalFails()
    {
        QFETCH(QJsonArray, step);
        QVERIFY(writeFile(m_root + QStringLiteral("/keep.txt"), "keep"));
        if (step.at(0).toString() == QLatin1String("stor")) {
            QVERIFY(writeFile(m_work + QStringLiteral("/new.bmp"), "payload"));
            step.replace(1, m_work + QStringLiteral("/new.bmp"));
        }
        const auto before = snapshot(m_outside);
        QFile::remove(m_work + QStringLiteral("/retr.out"));
        const QJsonArray r = ftplib({step, QJsonArray{"pwd"}});
        QCOMPARE(r.size(), 3);
        const QJsonValue result = r.at(1);
        const bool refused = result.isString() && result.toString().startsWith(QLatin1String("ERR:"));
        // ".." stops at the root, so listing "../.." shows the root itself and nothing beyond.
        const bool rootOnly = result.isArray()
            && !QJsonDocument(result.toArray()).toJson().contains("secret.txt");
        QVERIFY2(refused || rootOnly, qPrintable(QJsonDocument(r).toJson(QJsonDocument::Compact)));
        QCOMPARE(r.at(2).toString(), QStringLiteral("/"));
        QCOMPARE(snapshot(m_outside), before);
        QVERIFY(!readFile(m_work + QStringLiteral("/retr.out")).contains("do not read"));
        QCOMPARE(readFile(m_root + QStringLiteral("/keep.txt")), QByteArray("keep"));
    }

    // With pruning off, an upload below the reserve is refused; with pruning on it goes in.
    void spaceReserve_data()
    {
        QTest::addColumn<QString>("strategy");
        QTest::addColumn<qint64>("freeGb");
        QTest::addColumn<bool>("stored");
        QTest::newRow("no pruning, below reserve") << "0" << qint64(0) << false;
        QTest::newRow("pruning, below reserve") << "1" << qint64(0) << true;
        QTest::newRow("no pruning, enough space") << "0" << qint64(50) << true;
    }
    void spaceReserve()
    {
        QFETCH(QString, strategy);
        QFETCH(qint64, freeGb);
        QFETCH(bool, stored);
        qApp->setProperty("localSetting_imageStrategy", strategy);
        setFreeGb(freeGb);
        const QString dir = QStringLiteral("space") + QString::number(QTest::currentDataTag()[0] == 'n' ? freeGb : 1);
        QVERIFY(QDir().mkpath(m_root + QLatin1Char('/') + dir));
        QVERIFY(writeFile(m_work + QStringLiteral("/s.bmp"), "img"));
        const QJsonArray r = ftplib({QJsonArray{"stor", m_work + "/s.bmp", dir + "/s.bmp"}});
        setFreeGb(100);
        qApp->setProperty("localSetting_imageStrategy", QStringLiteral("1"));
        QCOMPARE(r.size(), 2);
        const QStringList files = QDir(m_root + QLatin1Char('/') + dir).entryList(QDir::Files);
        if (stored) {
            QCOMPARE(r.at(1).toString(), QStringLiteral("226 Closing data connection."));
            QCOMPARE(files.size(), 1);
        } else {
            QCOMPARE(r.at(1).toString(), QStringLiteral("ERR:550 Insufficient disk space; cannot write files."));
            QVERIFY(files.isEmpty());
        }
    }

    // A raw peer that sends the file on a passive data connection before STOR is answered, or
    // before it even sends STOR; the file must arrive whole and the reply must be 226.
    void dataBeforeStor_data()
    {
        QTest::addColumn<int>("order");
        QTest::addColumn<int>("bytes");
        // 0: connect, send all and close, then STOR; 1: connect and send, STOR, close after 150;
        // 2: STOR, then at once connect, send and close without waiting for any reply.
        QTest::newRow("closed before STOR") << 0 << 300000;
        QTest::newRow("more than the pending buffer, closed after 150") << 1 << 5000000;
        QTest::newRow("racing the 150") << 2 << 300000;
        QTest::newRow("empty file, closed before STOR") << 0 << 0;
    }
    void dataBeforeStor()
    {
        QFETCH(int, order);
        QFETCH(int, bytes);
        QByteArray payload(bytes, Qt::Uninitialized);
        for (int i = 0; i < bytes; ++i)
            payload[i] = char((i * 131 + i / 977) & 0xff);
        const QString dir = QStringLiteral("early") + QString::number(order) + QLatin1Char('_') + QString::number(bytes);
        QVERIFY(QDir().mkpath(m_root + QLatin1Char('/') + dir));
        QTcpSocket control;
        control.connectToHost(QHostAddress::LocalHost, m_port);
        QVERIFY(control.waitForConnected(30000));
        exchange(control, QByteArray());
        exchange(control, "USER " + kUser.toUtf8());
        QCOMPARE(exchange(control, "PASS " + kPassword.toUtf8()), QStringLiteral("230 You are logged in.\r\n"));
        const QString pasv = exchange(control, "PASV");
        const QRegularExpressionMatch m = QRegularExpression(QStringLiteral(",(\\d+),(\\d+)\\)")).match(pasv);
        QVERIFY2(m.hasMatch(), qPrintable(pasv));
        const quint16 dataPort = quint16(m.captured(1).toInt() * 256 + m.captured(2).toInt());
        const QByteArray stor = "STOR " + dir.toUtf8() + "/early.bmp\r\n";
        QTcpSocket data;
        QByteArray replies;
        connect(&control, &QTcpSocket::readyRead, this, [&] { replies += control.readAll(); });
        if (order == 2)
            control.write(stor);
        data.connectToHost(QHostAddress::LocalHost, dataPort);
        data.write(payload);
        if (order != 1)
            data.disconnectFromHost();
        if (order == 0) {
            QTRY_COMPARE_WITH_TIMEOUT(data.state(), QAbstractSocket::UnconnectedState, 30000);
            control.write(stor);
        }
        if (order == 1) {
            control.write(stor);
            QTRY_VERIFY_WITH_TIMEOUT(replies.startsWith("150 "), 30000);
            QTRY_COMPARE_WITH_TIMEOUT(data.bytesToWrite(), qint64(0), 60000);
            data.disconnectFromHost();
        }
        QTRY_VERIFY_WITH_TIMEOUT(replies.count("\r\n") >= 2, 60000);
        QCOMPARE(QString::fromUtf8(replies),
                 QStringLiteral("150 File status okay; about to open data connection.\r\n"
                                "226 Closing data connection.\r\n"));
        QCOMPARE(readFile(m_root + QLatin1Char('/') + dir + QStringLiteral("/early_2025-01-02_03-04-05.bmp")), payload);
    }

    // Bounds: a too-large upload leaves nothing; too many connections are turned away.
    void bounds()
    {
        FtpServerConfig config = baseConfig();
        config.maxUploadBytes = 1000;
        config.maxConnections = 1;
        QVERIFY(startServer(config));
        QVERIFY(writeFile(m_work + QStringLiteral("/big.bmp"), QByteArray(200000, 'b')));
        QVERIFY(QDir().mkpath(m_root + QStringLiteral("/bounds")));
        const QJsonArray r = ftplib({QJsonArray{"stor", m_work + "/big.bmp", "bounds/big.bmp"}});
        QCOMPARE(r.size(), 2);
        // The server cuts the data connection at the bound; ftplib sees the 451 or the cut.
        const QString refusal = r.at(1).toString();
        QVERIFY2(refusal.startsWith(QLatin1String("ERR:451")) || refusal.startsWith(QLatin1String("ERR:[Errno")),
                 qPrintable(refusal));
        QTRY_VERIFY_WITH_TIMEOUT(QDir(m_root + QStringLiteral("/bounds")).entryList(QDir::Files).isEmpty(), 30000);

        QTcpSocket first;
        first.connectToHost(QHostAddress::LocalHost, m_port);
        QVERIFY(first.waitForConnected(30000));
        QCOMPARE(exchange(first, QByteArray()), QStringLiteral("220 Welcome to QFtpServer.\r\n"));
        QTcpSocket second;
        second.connectToHost(QHostAddress::LocalHost, m_port);
        QVERIFY(second.waitForConnected(30000));
        QCOMPARE(exchange(second, QByteArray()), QStringLiteral("421 Too many connections; try again later.\r\n"));
        first.abort();
        QVERIFY(startServer(baseConfig()));
    }
};

QTEST_GUILESS_MAIN(TestFtpServer)
#include "tst_ftpserver.moc"
