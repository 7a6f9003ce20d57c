// Deleting files named by index records: only regular files really below the target directory.
#include "KxFileDeleter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

namespace {
bool touch(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write("x") == 1;
}
} // namespace

class TestFileDeleter : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir *m_tmp = nullptr;
    QString m_target;
    QString m_outside;

private slots:
    void init()
    {
        m_tmp = new QTemporaryDir;
        QVERIFY(m_tmp->isValid());
        m_target = m_tmp->path() + QStringLiteral("/images");
        m_outside = m_tmp->path() + QStringLiteral("/outside");
        QVERIFY(QDir().mkpath(m_target + QStringLiteral("/dev1")));
        QVERIFY(QDir().mkpath(m_outside));
        QVERIFY(touch(m_target + QStringLiteral("/a.bmp")));
        QVERIFY(touch(m_target + QStringLiteral("/dev1/b.bmp")));
        QVERIFY(touch(m_outside + QStringLiteral("/keep.txt")));
        QVERIFY(QFile::link(m_outside + QStringLiteral("/keep.txt"), m_target + QStringLiteral("/out.lnk")));
        QVERIFY(QFile::link(m_outside, m_target + QStringLiteral("/outdir")));
        QVERIFY(QFile::link(m_target + QStringLiteral("/a.bmp"), m_target + QStringLiteral("/in.lnk")));
    }
    void cleanup()
    {
        delete m_tmp;
        m_tmp = nullptr;
    }

    void check_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("expected");
        using C = KxFileDeleter::Check;
        QTest::newRow("file in target") << "images/a.bmp" << int(C::Ok);
        QTest::newRow("file in sub-folder") << "images/dev1/b.bmp" << int(C::Ok);
        QTest::newRow("link to a file inside") << "images/in.lnk" << int(C::Ok);
        QTest::newRow("missing file") << "images/none.bmp" << int(C::FileMissing);
        QTest::newRow("outside path") << "outside/keep.txt" << int(C::OutsideTarget);
        QTest::newRow("dot-dot out of target") << "images/../outside/keep.txt" << int(C::OutsideTarget);
        QTest::newRow("dot-dot staying inside") << "images/dev1/../a.bmp" << int(C::Ok);
        QTest::newRow("link to outside file") << "images/out.lnk" << int(C::OutsideTarget);
        QTest::newRow("file through linked folder") << "images/outdir/keep.txt" << int(C::OutsideTarget);
        QTest::newRow("directory") << "images/dev1" << int(C::NotRegularFile);
        QTest::newRow("target itself") << "images" << int(C::OutsideTarget);
        QTest::newRow("sibling with common prefix") << "images2/x" << int(C::FileMissing);
        QTest::newRow("empty name") << "" << int(C::FileMissing);
    }
    void check()
    {
        QFETCH(QString, name);
        QFETCH(int, expected);
        const QString path = name.isEmpty() ? QString() : m_tmp->path() + QLatin1Char('/') + name;
        QCOMPARE(int(KxFileDeleter::check(m_target, path)), expected);
    }

    void siblingWithCommonPrefixIsOutside()
    {
        QVERIFY(QDir().mkpath(m_tmp->path() + QStringLiteral("/images2")));
        const QString sibling = m_tmp->path() + QStringLiteral("/images2/x.bmp");
        QVERIFY(touch(sibling));
        QCOMPARE(KxFileDeleter::check(m_target, sibling), KxFileDeleter::Check::OutsideTarget);
    }

    void deletesOnlyAllowedFiles()
    {
        const QString a = m_target + QStringLiteral("/a.bmp");
        const QString b = m_target + QStringLiteral("/dev1/b.bmp");
        const QString outsideFile = m_outside + QStringLiteral("/keep.txt");
        const QString viaDotDot = m_target + QStringLiteral("/../outside/keep.txt");
        const QString link = m_target + QStringLiteral("/out.lnk");
        const QString dir = m_target + QStringLiteral("/dev1");
        const QString missing = m_target + QStringLiteral("/gone.bmp");

        QTest::ignoreMessage(QtInfoMsg, qPrintable(QStringLiteral("文件删除：不在目标目录下，跳过删除：") + outsideFile));
        QTest::ignoreMessage(QtInfoMsg, qPrintable(QStringLiteral("文件删除：不在目标目录下，跳过删除：") + viaDotDot));
        QTest::ignoreMessage(QtInfoMsg, qPrintable(QStringLiteral("文件删除：不在目标目录下，跳过删除：") + link));
        QTest::ignoreMessage(QtInfoMsg, qPrintable(QStringLiteral("文件删除：非普通文件，跳过删除：") + dir));
        QTest::ignoreMessage(QtInfoMsg, qPrintable(QStringLiteral("文件删除：文件不存在，跳过删除：") + missing));
        QTest::ignoreMessage(QtInfoMsg, qPrintable(QStringLiteral("文件删除：目标目录") + m_target
                                                   + QStringLiteral("处理完成，成功删除2个文件")));
        const int n = KxFileDeleter::deleteFilesByFileNameList(
            m_target, {a, outsideFile, viaDotDot, link, dir, missing, b});
        QCOMPARE(n, 2);
        QVERIFY(!QFile::exists(a));
        QVERIFY(!QFile::exists(b));
        QVERIFY(QFile::exists(outsideFile));
        QVERIFY(QFileInfo(link).isSymLink());
        QVERIFY(QFileInfo(dir).isDir());
    }

    void linkInsideRemovesTheLinkOnly()
    {
        const QString link = m_target + QStringLiteral("/in.lnk");
        QCOMPARE(KxFileDeleter::deleteFilesByFileNameList(m_target, {link}), 1);
        QVERIFY(!QFileInfo(link).isSymLink());
        QVERIFY(QFile::exists(m_target + QStringLiteral("/a.bmp")));
    }

    void missingTargetDeletesNothing()
    {
        const QString target = m_tmp->path() + QStringLiteral("/absent");
        QTest::ignoreMessage(QtInfoMsg, qPrintable(QStringLiteral("文件删除：目标目录不存在，跳过本次删除：") + target));
        QCOMPARE(KxFileDeleter::deleteFilesByFileNameList(target, {m_outside + QStringLiteral("/keep.txt")}), 0);
        QVERIFY(QFile::exists(m_outside + QStringLiteral("/keep.txt")));
        QCOMPARE(KxFileDeleter::deleteFilesByFileNameList(QString(), {m_target + QStringLiteral("/a.bmp")}), 0);
        QVERIFY(QFile::exists(m_target + QStringLiteral("/a.bmp")));
    }

    void stopsWhenAskedTo()
    {
        int asked = 0;
        QTest::ignoreMessage(QtInfoMsg, "deleteFilesByFileNameList running break");
        const int n = KxFileDeleter::deleteFilesByFileNameList(
            m_target, {m_target + QStringLiteral("/a.bmp"), m_target + QStringLiteral("/dev1/b.bmp")},
            [&asked] { return ++asked < 2; });
        QCOMPARE(n, 1);
        QVERIFY(!QFile::exists(m_target + QStringLiteral("/a.bmp")));
        QVERIFY(QFile::exists(m_target + QStringLiteral("/dev1/b.bmp")));
    }

    void failureIsReported()
    {
        if (::geteuid() == 0)
            QSKIP("root may delete from read-only folders");
        const QString dir = m_target + QStringLiteral("/dev1");
        const QString b = dir + QStringLiteral("/b.bmp");
        QVERIFY(QFile::setPermissions(dir, QFile::ReadOwner | QFile::ExeOwner));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^文件删除：删除失败，错误信息：.*，文件路径：")
                                                              + QRegularExpression::escape(b) + QLatin1Char('$')));
        QCOMPARE(KxFileDeleter::deleteFilesByFileNameList(m_target, {b}), 0);
        QVERIFY(QFile::exists(b));
        QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
};

QTEST_GUILESS_MAIN(TestFileDeleter)
#include "tst_filedeleter.moc"
