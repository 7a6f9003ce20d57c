// The root jail and the listing format, without sockets: paths of every kind resolve inside the
// root or not at all.
#include "FtpListing.h"
#include "FtpPaths.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestFtpPaths : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_tmp;
    QString m_root;
    QString m_outside;

    static bool touch(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::WriteOnly) && f.write("x") == 1;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_tmp.isValid());
        m_root = m_tmp.path() + QStringLiteral("/root");
        m_outside = m_tmp.path() + QStringLiteral("/outside");
        QVERIFY(QDir().mkpath(m_root + QStringLiteral("/sub")));
        QVERIFY(QDir().mkpath(m_outside));
        QVERIFY(touch(m_root + QStringLiteral("/sub/a.bmp")));
        QVERIFY(touch(m_outside + QStringLiteral("/secret.txt")));
        QVERIFY(QFile::link(m_outside, m_root + QStringLiteral("/out")));
        QVERIFY(QFile::link(m_outside + QStringLiteral("/secret.txt"), m_root + QStringLiteral("/secret")));
        QVERIFY(QFile::link(m_outside + QStringLiteral("/new.txt"), m_root + QStringLiteral("/dangling")));
        QVERIFY(QFile::link(m_root + QStringLiteral("/sub"), m_root + QStringLiteral("/inner")));
    }

    void normalise_data()
    {
        QTest::addColumn<QString>("cwd");
        QTest::addColumn<QString>("arg");
        QTest::addColumn<QString>("expected");
        QTest::newRow("relative") << "/sub" << "a.bmp" << "/sub/a.bmp";
        QTest::newRow("absolute") << "/sub" << "/x/y" << "/x/y";
        QTest::newRow("empty is cwd") << "/sub" << "" << "/sub";
        QTest::newRow("dot segments") << "/" << "./sub/./a" << "/sub/a";
        QTest::newRow("up stays at root") << "/" << "../../etc/passwd" << "/etc/passwd";
        QTest::newRow("up from sub") << "/sub" << "../../../x" << "/x";
        QTest::newRow("absolute with ups") << "/sub" << "/../../etc" << "/etc";
        QTest::newRow("back slashes") << "/" << "..\\..\\etc" << "/etc";
        QTest::newRow("double slashes") << "/" << "//sub//a" << "/sub/a";
        QTest::newRow("encoded dots stay a name") << "/" << "%2e%2e/x" << "/%2e%2e/x";
        QTest::newRow("NUL refused") << "/" << QStringLiteral("a") + QChar(0) + "b" << "";
        QTest::newRow("CR refused") << "/" << "a\rb" << "";
    }
    void normalise()
    {
        QFETCH(QString, cwd);
        QFETCH(QString, arg);
        QFETCH(QString, expected);
        QCOMPARE(FtpPaths::normalise(cwd, arg), expected);
    }

    void jail_data()
    {
        QTest::addColumn<QString>("virtualPath");
        QTest::addColumn<bool>("existing");
        QTest::addColumn<bool>("creatable");
        QTest::newRow("root") << "/" << true << false;
        QTest::newRow("file") << "/sub/a.bmp" << true << true;
        QTest::newRow("new file") << "/sub/new.bmp" << false << true;
        QTest::newRow("missing parent") << "/nope/new.bmp" << false << false;
        QTest::newRow("link to outside folder") << "/out" << false << false;
        QTest::newRow("through link to outside") << "/out/secret.txt" << false << false;
        QTest::newRow("new file through link") << "/out/new.txt" << false << false;
        QTest::newRow("link to outside file") << "/secret" << false << false;
        QTest::newRow("dangling link out") << "/dangling" << false << false;
        QTest::newRow("link inside") << "/inner/a.bmp" << true << true;
    }
    void jail()
    {
        QFETCH(QString, virtualPath);
        QFETCH(bool, existing);
        QFETCH(bool, creatable);
        const FtpPaths paths(m_root);
        QVERIFY(paths.isValid());
        QCOMPARE(!paths.existing(virtualPath).isEmpty(), existing);
        QCOMPARE(!paths.creatable(virtualPath).isEmpty(), creatable);
        const QString local = paths.existing(virtualPath);
        if (!local.isEmpty())
            QVERIFY(QFileInfo(local).canonicalFilePath().startsWith(QFileInfo(m_root).canonicalFilePath()));
    }

    void missingRootIsInvalid()
    {
        const FtpPaths paths(m_tmp.path() + QStringLiteral("/none"));
        QVERIFY(!paths.isValid());
        QVERIFY(paths.existing(QStringLiteral("/")).isEmpty());
        QVERIFY(paths.creatable(QStringLiteral("/x")).isEmpty());
    }

    void dateColumn_data()
    {
        QTest::addColumn<QDateTime>("modified");
        QTest::addColumn<QString>("expected");
        QTest::newRow("this year shows the time")
            << QDateTime(QDate(2025, 1, 2), QTime(3, 4, 5)) << "Jan 02 03:04";
        QTest::newRow("other year shows the year")
            << QDateTime(QDate(2024, 12, 31), QTime(23, 59)) << "Dec 31  2024";
    }
    void dateColumn()
    {
        QFETCH(QDateTime, modified);
        QFETCH(QString, expected);
        const QDateTime now(QDate(2025, 6, 1), QTime(12, 0));
        QCOMPARE(FtpListing::dateColumn(modified, now), expected);
    }

    void longLineColumns()
    {
        const QFileInfo info(m_root + QStringLiteral("/sub/a.bmp"));
        const QString line = FtpListing::longLine(info, QDateTime::currentDateTime());
        const QStringList cols = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        QCOMPARE(cols.size(), 9);
        QVERIFY(cols.at(0).startsWith(QLatin1Char('-')));
        QCOMPARE(cols.at(0).size(), 10);
        QCOMPARE(cols.at(4), QStringLiteral("1"));
        QCOMPARE(cols.last(), QStringLiteral("a.bmp"));
        const QString dirLine = FtpListing::longLine(QFileInfo(m_root + QStringLiteral("/sub")),
                                                     QDateTime::currentDateTime());
        QVERIFY(dirLine.startsWith(QLatin1Char('d')));
    }
};

QTEST_GUILESS_MAIN(TestFtpPaths)
#include "tst_ftppaths.moc"
