#include "CheckUpdateDlg.h"
#include "KxConfig.h"
#include "KxHttpRequest.h"
#include "KxScriptedUiBackend.h"
#include "KxSettings.h"
#include "KxStyledButtons.h"
#include "KxUiService.h"
#include "KxUpdater.h"
#include "VServiceProcess.h"

#include <KZip>

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QProgressBar>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTcpServer>
#include <QtTest>

namespace
{

QByteArray script(const QByteArray &tag)
{
    return "#!/bin/sh\necho " + tag + "\n";
}

bool writeZip(const QString &path, const QMap<QString, QByteArray> &files)
{
    KZip zip(path);
    if (!zip.open(QIODevice::WriteOnly))
        return false;
    for (auto it = files.begin(); it != files.end(); ++it)
        zip.writeFile(it.key(), it.value(), it.key().endsWith(QLatin1String("brevan")) ? 0100755 : 0100644);
    return zip.close();
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList partFiles(const QString &dir)
{
    return QDir(dir).entryList({QStringLiteral("*.part")}, QDir::Files);
}

} // namespace

class TstUpdate : public QObject
{
    Q_OBJECT

    QTemporaryDir m_data;
    QTemporaryDir m_work;
    VServiceProcess m_service;
    QString m_installer;
    KxScriptedUiBackend m_ui;

    bool setMode(const QString &updateMode, const QString &transfer = QStringLiteral("normal"))
    {
        return m_service.setFaults({{"update_mode", updateMode}, {"transfer", transfer}});
    }

    int check(KxUpdater &u)
    {
        QSignalSpy spy(&u, &KxUpdater::checkForUpdateResult);
        u.checkForUpdate();
        if (!spy.wait(30000))
            return 99;
        return spy.at(0).at(0).toInt();
    }

    int download(KxUpdater &u)
    {
        QSignalSpy spy(&u, &KxUpdater::downloadFinished);
        u.downloadInstaller();
        if (!spy.wait(60000))
            return 99;
        return spy.at(0).at(0).toInt();
    }

    // A temporary installation: an old "brevan" and the real updater in "update/".
    QString makeInstallation(const QString &name)
    {
        const QString inst = m_work.filePath(name);
        QDir().mkpath(inst + "/update");
        QFile old(inst + "/brevan");
        old.open(QIODevice::WriteOnly);
        old.write(script("old"));
        old.close();
        QFile::copy(BREVAN_BIN_DIR "/update/brevan-update", inst + "/update/brevan-update");
        QFile::setPermissions(inst + "/update/brevan-update", QFile::permissions(BREVAN_BIN_DIR "/update/brevan-update"));
        return inst;
    }

    // Runs the updater copied into a temporary installation, never the one of the build.
    int runUpdater(const QString &inst, const QStringList &args)
    {
        QProcess p;
        p.start(inst + "/update/brevan-update", args);
        if (!p.waitForFinished(60000))
            return -100;
        return p.exitCode();
    }

private slots:
    void initTestCase()
    {
        KxConfig::instance()->setDataDir(m_data.path());
        KxUi()->installBackend(&m_ui);
        // An installer big enough to be cancelled half-way when it is sent slowly.
        QByteArray payload(2 * 1024 * 1024, '\0');
        QRandomGenerator gen(7);
        for (int i = 0; i < payload.size(); i += 4)
            *reinterpret_cast<quint32 *>(payload.data() + i) = gen.generate();
        m_installer = m_work.filePath("installer.zip");
        QVERIFY(writeZip(m_installer, {{"brevan", script("new")}, {"VERSION", "V2.03.007.1\n"}, {"payload.bin", payload}}));
        QVERIFY(m_service.start({"--installer", m_installer}));
        KxSettings::instance()->setValue("update", "url", m_service.updateUrl());
    }

    void cleanupTestCase() { KxUi()->installBackend(nullptr); }

    void init() { m_ui.clear(); }

    void checkAnswer_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<int>("expected");
        QTest::newRow("newer version offered") << "newer" << 1;
        QTest::newRow("same version") << "same" << 0;
        QTest::newRow("another application") << "wrong-app" << 0;
        QTest::newRow("0000 with an empty address") << "empty-url" << 0;
    }

    void checkAnswer()
    {
        QFETCH(QString, mode);
        QFETCH(int, expected);
        QVERIFY(setMode(mode));
        KxUpdater u;
        QCOMPARE(check(u), expected);
        if (expected == 1) {
            QCOMPARE(u.info().version, QStringLiteral("V2.03.007.1"));
            QVERIFY(u.info().url.startsWith(m_service.updateUrl()));
            QCOMPARE(u.info().size, QFileInfo(m_installer).size());
        }
    }

    void checkFailsOrIsCancelled()
    {
        // Nothing listens on a port that was just released: the check fails with -2.
        quint16 port = 0;
        {
            QTcpServer s;
            QVERIFY(s.listen(QHostAddress::LocalHost));
            port = s.serverPort();
        }
        KxSettings::instance()->setValue("update", "url", QStringLiteral("http://127.0.0.1:%1").arg(port));
        KxUpdater down;
        QCOMPARE(check(down), -2);
        KxSettings::instance()->setValue("update", "url", m_service.updateUrl());

        QVERIFY(setMode("newer"));
        KxUpdater u;
        QSignalSpy spy(&u, &KxUpdater::checkForUpdateResult);
        u.checkForUpdate();
        u.cancel();
        QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, 30000);
        QCOMPARE(spy.at(0).at(0).toInt(), -1);
    }

    void requestCarriesRegionOnlyWhenKnown()
    {
        const QJsonObject with = QJsonDocument::fromJson(KxUpdater::requestBody("CN")).object();
        QCOMPARE(with.value("region").toString(), QStringLiteral("CN"));
        QCOMPARE(with.value("AppName").toString(), QStringLiteral("Brevan"));
        QVERIFY(!QJsonDocument::fromJson(KxUpdater::requestBody(QString())).object().contains("region"));
    }

    void secondPostWhileOneRuns()
    {
        KxHttpRequest r;
        QList<int> codes;
        const QUrl url(m_service.updateUrl() + "/brevan/v1.0.0/checkUpdate");
        QCOMPARE(r.post(url, "{}", [&](KxHttpRequest::ErrorCode c, QByteArray) { codes << c; }),
                 KxHttpRequest::NoError);
        QCOMPARE(r.post(url, "{}", [&](KxHttpRequest::ErrorCode c, QByteArray) { codes << c; }),
                 KxHttpRequest::AlreadyRequesting);
        QCOMPARE(codes, QList<int>({KxHttpRequest::AlreadyRequesting}));
        QTRY_COMPARE_WITH_TIMEOUT(codes.size(), 2, 30000);
        QCOMPARE(codes.at(1), int(KxHttpRequest::NoError));
        QVERIFY(!r.isBusy());
    }

    void downloadRefusals_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("dir");
        QTest::addColumn<int>("expected");
        const QString file = m_work.filePath("plainfile");
        QFile f(file);
        f.open(QIODevice::WriteOnly);
        QTest::newRow("empty address") << QString() << m_work.filePath("d1") << int(KxHttpRequest::UrlIsInvalid);
        QTest::newRow("empty folder") << "http://127.0.0.1:1/x.zip" << QString() << int(KxHttpRequest::LocalDirIsInvalid);
        QTest::newRow("folder below a file") << "http://127.0.0.1:1/x.zip" << file + "/sub"
                                             << int(KxHttpRequest::CannotCreateLocalDir);
        QTest::newRow("missing installer") << "UPDATE/installer/none.zip" << m_work.filePath("d2")
                                           << int(KxHttpRequest::NetworkError);
    }

    void downloadRefusals()
    {
        QFETCH(QString, url);
        QFETCH(QString, dir);
        QFETCH(int, expected);
        url.replace("UPDATE", m_service.updateUrl());
        KxHttpRequest r;
        QList<int> codes;
        r.downloadFile(QUrl(url), dir, QString(), [&](KxHttpRequest::ErrorCode c, QString) { codes << c; },
                       nullptr, 30000);
        QTRY_COMPARE_WITH_TIMEOUT(codes.size(), 1, 30000);
        QCOMPARE(codes.at(0), expected);
        if (!dir.isEmpty() && QFileInfo(dir).isDir())
            QVERIFY(QDir(dir).entryList(QDir::Files).isEmpty());
    }

    void downloadInstaller_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("transfer");
        QTest::addColumn<int>("expected");
        QTest::newRow("plain") << "newer" << "normal" << 1;
        QTest::newRow("same-origin redirect") << "newer" << "redirect" << 1;
        QTest::newRow("upper-case checksum") << "upper-md5" << "normal" << 1;
        QTest::newRow("wrong checksum") << "bad-md5" << "normal" << -2;
        QTest::newRow("interrupted transfer") << "newer" << "interrupt" << -2;
        QTest::newRow("redirect to another origin") << "newer" << "foreign-redirect" << -2;
    }

    void downloadInstaller()
    {
        QFETCH(QString, mode);
        QFETCH(QString, transfer);
        QFETCH(int, expected);
        QVERIFY(setMode(mode, transfer));
        KxUpdater u;
        QCOMPARE(check(u), 1);
        QSignalSpy started(&u, &KxUpdater::downloadStarted);
        QCOMPARE(download(u), expected);
        QCOMPARE(started.count(), 1);
        const QString dir = u.downloadDir();
        QCOMPARE(dir, m_data.path() + "/upgrade");
        QVERIFY2(partFiles(dir).isEmpty(), qPrintable(partFiles(dir).join(',')));
        const QString target = dir + "/Brevan_V2.03.007.1.zip"; // one "V", not two
        if (expected == 1) {
            QCOMPARE(u.downloadedFile(), target);
            QCOMPARE(readAll(target), readAll(m_installer));
        } else {
            QVERIFY(!QFileInfo::exists(target));
            QVERIFY(u.downloadedFile().isEmpty());
        }
    }

    void cancelledDownloadLeavesNothing()
    {
        QVERIFY(setMode("newer", "slow"));
        KxUpdater u;
        QCOMPARE(check(u), 1);
        QSignalSpy progress(&u, &KxUpdater::downloadProgressChanged);
        QSignalSpy finished(&u, &KxUpdater::downloadFinished);
        u.downloadInstaller();
        QTRY_VERIFY_WITH_TIMEOUT(progress.count() > 0, 30000);
        QCOMPARE(finished.count(), 0);
        u.cancel();
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 30000);
        QCOMPARE(finished.at(0).at(0).toInt(), -1);
        QVERIFY(QDir(u.downloadDir()).entryList(QDir::Files).isEmpty());
    }

    void dialogFlow_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("finalKey");
        QTest::addColumn<QString>("buttonKey");
        QTest::newRow("update downloaded") << "newer" << "#IDS_UpdatePkgDownload_Success" << "#IDS_RebootToUpgrade";
        QTest::newRow("already latest") << "same" << "#IDS_AlreadyLatestVersion" << "#IDS_OK";
        QTest::newRow("failed download") << "bad-md5" << "#IDS_UpdatePkgDownload_Failed" << "#IDS_OK";
    }

    void dialogFlow()
    {
        QFETCH(QString, mode);
        QFETCH(QString, finalKey);
        QFETCH(QString, buttonKey);
        QVERIFY(setMode(mode));
        CheckUpdateDlg dlg;
        QStringList keys;
        connect(dlg.updater(), &KxUpdater::downloadProgressChanged, &dlg, [&] { keys << dlg.statusKey(); });
        dlg.start();
        QCOMPARE(dlg.statusKey(), QStringLiteral("#IDS_UpgradeChecking"));
        QTRY_COMPARE_WITH_TIMEOUT(dlg.statusKey(), finalKey, 60000);
        QCOMPARE(dlg.okButton()->textKey(), buttonKey);
        if (mode == "newer") {
            QVERIFY(keys.contains("#IDS_LatestVersionDownloading"));
            QCOMPARE(dlg.progressBar()->value(), 100);
            // No updater in this installation: the user is told, nothing quits.
            KxConfig::instance()->setInstallDir(m_work.filePath("no-installation"));
            bool quit = false;
            dlg.updater()->setQuitter([&] { quit = true; });
            m_ui.answerMessage(1);
            QTest::mouseClick(dlg.okButton(), Qt::LeftButton);
            QCOMPARE(m_ui.messageTexts(), QStringList({"#IDS_AppUpgrade_Failed"}));
            QVERIFY(!quit);
        }
    }

    void installSwitchesOver()
    {
        const QString inst = makeInstallation("inst-ok");
        KxConfig::instance()->setInstallDir(inst);
        QVERIFY(setMode("newer"));
        KxUpdater u;
        QCOMPARE(check(u), 1);
        QCOMPARE(download(u), 1);
        QStringList launched;
        int quits = 0;
        u.setLauncher([&](const QString &program, const QStringList &args) {
            launched = QStringList(program) + args;
            return true;
        });
        u.setQuitter([&] { ++quits; });
        QVERIFY(u.install());
        QCOMPARE(quits, 1);
        QCOMPARE(launched.value(0), inst + "/update/brevan-update");
        QCOMPARE(launched.value(1), u.downloadedFile());
        QCOMPARE(launched.value(2), QStringLiteral("V2.03.007.1"));
        QCOMPARE(launched.mid(3), QStringList({"--wait-pid", QString::number(QCoreApplication::applicationPid())}));
        // The updater itself, as it would run once Brevan has quit.
        QCOMPARE(runUpdater(inst, {launched.value(1), launched.value(2), "--no-start"}), 0);
        QCOMPARE(readAll(inst + "/VERSION"), QByteArray("V2.03.007.1\n"));
        QCOMPARE(readAll(inst + "/brevan"), script("new"));
        QVERIFY(QFileInfo(inst + "/brevan").isExecutable());
        QCOMPARE(readAll(inst + ".previous/brevan"), script("old"));
        QVERIFY(QDir(m_work.path()).entryList({"inst-ok.new-*"}, QDir::Dirs).isEmpty());
    }

    void updaterArchives_data()
    {
        QTest::addColumn<QByteArray>("kind");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("installation in one top folder") << QByteArray("nested") << 0;
        QTest::newRow("not a zip") << QByteArray("garbage") << 3;
        QTest::newRow("no program") << QByteArray("noprogram") << 3;
        QTest::newRow("truncated zip") << QByteArray("truncated") << 3;
    }

    void updaterArchives()
    {
        QFETCH(QByteArray, kind);
        QFETCH(int, exitCode);
        const QString inst = makeInstallation("inst-" + kind);
        const QString archive = m_work.filePath(kind + ".zip");
        if (kind == "nested") {
            // An empty file too (lock files and markers are shipped empty).
            QVERIFY(writeZip(archive, {{"Brevan-2/brevan", script("nested")}, {"Brevan-2/models/a.xml", "<a/>"},
                                       {"Brevan-2/models/.lock", QByteArray()}}));
        } else if (kind == "garbage") {
            QFile f(archive);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(4096, 'x'));
        } else if (kind == "noprogram") {
            QVERIFY(writeZip(archive, {{"VERSION", "V9\n"}}));
        } else {
            QVERIFY(writeZip(archive + ".full", {{"brevan", script("cut")}, {"VERSION", "V9\n"}}));
            const QByteArray full = readAll(archive + ".full");
            QFile f(archive);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(full.left(full.size() / 2));
        }
        QCOMPARE(runUpdater(inst, {archive, "V9", "--no-start", "--install-dir", inst}), exitCode);
        if (exitCode == 0) {
            QCOMPARE(readAll(inst + "/brevan"), script("nested"));
            QCOMPARE(readAll(inst + "/models/a.xml"), QByteArray("<a/>"));
            QVERIFY(QFileInfo(inst + "/models/.lock").isFile());
        } else {
            // Refused: the installation keeps working as it was, nothing is left beside it.
            QCOMPARE(readAll(inst + "/brevan"), script("old"));
            QVERIFY(QFileInfo(inst + "/update/brevan-update").isExecutable());
            QVERIFY(!QFileInfo::exists(inst + ".previous"));
            QVERIFY(QDir(m_work.path()).entryList({"inst-" + kind + ".new-*"}, QDir::Dirs).isEmpty());
        }
    }
};

QTEST_MAIN(TstUpdate)
#include "tst_update.moc"
