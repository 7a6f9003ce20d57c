// End to end: a virtual reader told to upload its images by FTP sends them, after its reads, to
// Brevan's own server, which stores each one and records it in the image index. A wrong password
// stores nothing. A reader started with upload switched on keeps uploading, and the disk monitor
// keeps the folder to the count limit of the FTP settings.
#include "DiskSpaceMonitorThread.h"
#include "FtpServerHost.h"
#include "KxConfig.h"
#include "KxSettings.h"
#include "SqliteDbManager.h"
#include "VReaderSession.h"

#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

class TestFtpUpload : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_tmp;
    QString m_root;
    FtpServerHost m_host;
    quint16 m_port = 0;

    QStringList stored(const QString &folder = QStringLiteral("reads")) const
    {
        return QDir(m_root + QLatin1Char('/') + folder).entryList({"*.png"}, QDir::Files, QDir::Name);
    }
    // Read through a connection of this thread: the index's own lives in its worker thread.
    int indexRows(const QString &folder = QStringLiteral("reads")) const
    {
        int rows = -1;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("probe"));
            db.setDatabaseName(m_tmp.path() + "/data/database/imageFileList.db");
            QSqlQuery q(db);
            if (db.open() && q.exec(QStringLiteral("SELECT COUNT(*) FROM FtpFilesTable WHERE imageName LIKE '%/%1/%'").arg(folder))
                && q.next())
                rows = q.value(0).toInt();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("probe"));
        return rows;
    }
    static void set(KxDeviceConnector *c, const QString &code, const QString &value)
    {
        QByteArray v;
        const int result = c->queryCommand(1, QLatin1Char('#') + code + value, v);
        QVERIFY2(result == DataResult_Ack, qPrintable(QStringLiteral("%1%2: %3").arg(code, value).arg(result)));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_tmp.isValid());
        KxConfig::instance()->setDataDir(m_tmp.path() + "/data");
        QVERIFY(SqliteDbManager::instance()->open(m_tmp.path() + "/data/database"));
        qApp->setProperty("localSetting_imageStrategy", QStringLiteral("1"));
        qApp->setProperty("localSetting_miniFreeReservedSpace", QStringLiteral("0"));
        m_root = m_tmp.path() + "/ftp";
        QVERIFY(QDir().mkpath(m_root));
        FtpServerConfig config;
        config.root = m_root;
        config.port = 0;
        config.user = QStringLiteral("admin");
        config.password = QStringLiteral("reader-pw");
        config.listenAddress = QHostAddress::LocalHost;
        config.freeSpaceGb = [](const QString &) { return qint64(100); };
        QSignalSpy spy(&m_host, &FtpServerHost::listening);
        m_host.start(config);
        QVERIFY(spy.wait(30000));
        QVERIFY(spy.first().at(0).toBool());
        m_port = quint16(spy.first().at(1).toUInt());
    }
    void cleanupTestCase() { m_host.stop(); }

    void readsUploadImages_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("expected");
        QTest::newRow("right password") << "reader-pw" << 3;
        QTest::newRow("wrong password") << "guess" << 0;
    }
    void readsUploadImages()
    {
        QFETCH(QString, password);
        QFETCH(int, expected);
        const int before = stored().size();
        VReaderProcess vp;
        QVERIFY(vp.start({"--model", "KXS-FM800", "--count", "1"}));
        QString why;
        auto c = VReaderSession::login(vp, &why);
        QVERIFY2(c, qPrintable(why));
        set(c.get(), "FTPSIP", "127.0.0.1");
        set(c.get(), "FTPPRT", QString::number(m_port));
        set(c.get(), "FTPUSR", "admin");
        set(c.get(), "FTPPWD", password);
        set(c.get(), "FTPDIR", "reads");
        set(c.get(), "FTPFMT", "2");
        set(c.get(), "FTPENA", "1");
        for (int i = 0; i < 3; ++i)
            set(c.get(), "SCNITG", QString());
        // Every upload ends with a line in the reader's log, done or failed.
        QByteArray log;
        QTRY_VERIFY_WITH_TIMEOUT((log += vp.errorOutput()).count("FTP upload of") >= 3, 150000);
        QVERIFY2(log.count("FTP upload of") == 3, log.constData());
        QVERIFY2(log.count("bytes) done") == expected, log.constData());
        QCOMPARE(stored().size() - before, expected);
        if (expected == 0)
            return;
        QTRY_COMPARE_WITH_TIMEOUT(indexRows(), stored().size(), 30000);
        for (const QString &name : stored()) {
            // The server adds the time of arrival to the reader's name.
            QVERIFY2(QRegularExpression("^[^_]+_\\d{6}_\\d{4}-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d\\d(_\\d+)?\\.png$")
                         .match(name).hasMatch(), qPrintable(name));
            QVERIFY(!QImage(m_root + "/reads/" + name).isNull());
        }
    }

    // As in the demo: upload switched on at start, reading on its own; the monitor runs as in the
    // program, with the count strategy of the "ftp" settings.
    void uploadsPrunedByCount()
    {
        KxSettings *settings = KxSettings::instance();
        settings->setValue(QStringLiteral("ftp"), QStringLiteral("dir"), m_root);
        settings->setValue(QStringLiteral("ftp"), QStringLiteral("ftpRemoveStrategy"), QStringLiteral("1"));
        settings->setValue(QStringLiteral("ftp"), QStringLiteral("ftpSaveMaxCount"), QStringLiteral("2"));
        DiskSpaceMonitorThread monitor;
        monitor.setWaitTimes(100, 100);
        monitor.start();
        VReaderProcess vp;
        QVERIFY(vp.start({"--model", "KXS-FM800", "--count", "1", "--set", "SCNMOD=1", "--set", "SCNITV=200",
                          "--set", "FTPPRT=" + QString::number(m_port), "--set", "FTPPWD=reader-pw",
                          "--set", "FTPDIR=pruned", "--set", "FTPFMT=2", "--set", "FTPENA=1"}));
        QByteArray log;
        QTRY_VERIFY_WITH_TIMEOUT((log += vp.errorOutput()).count("bytes) done") >= 6, 150000);
        vp.stop();
        QTRY_COMPARE_WITH_TIMEOUT(stored(QStringLiteral("pruned")).size(), 2, 30000);
        QTRY_COMPARE_WITH_TIMEOUT(indexRows(QStringLiteral("pruned")), 2, 30000);
        monitor.stop();
        QVERIFY(monitor.wait(30000));
    }
};

QTEST_MAIN(TestFtpUpload)
#include "tst_ftpupload.moc"
