#pragma once
// The update client: asks the update service whether a newer installer exists, downloads it
// into the data directory's "upgrade" folder, checks its MD5 and hands it to the updater
// program. Results: 1 success, 0 no update, -1 cancelled, -2 failure.
#include "KxHttpRequest.h"

#include <QFutureWatcher>
#include <QObject>

#include <functional>

class KxUpdater : public QObject
{
    Q_OBJECT
public:
    enum Result { Success = 1, NoUpdate = 0, Cancel = -1, Failure = -2 };

    struct UpdateInfo
    {
        QString code;
        QString appName;
        QString version;
        QString url;
        QString md5;
        qint64 size = 0;
    };

    // Starts a program detached; tests replace it to see the hand-over without leaving.
    using Launcher = std::function<bool(const QString &program, const QStringList &args)>;
    using Quitter = std::function<void()>;

    explicit KxUpdater(QObject *parent = nullptr);

    // "update"/"url" of the settings, default the stand-in on loopback port 9000.
    static QString serviceAddress();
    static QUrl checkUrl();
    // The compact request document; "region" only when one is known.
    static QByteArray requestBody(const QString &region);
    // Parses an answer; 1 when it offers an installer, else 0.
    static int evaluateAnswer(const QByteArray &body, UpdateInfo *info);
    // "<installation>/update/brevan-update".
    static QString updaterProgram();

    void checkForUpdate();
    void downloadInstaller();
    // Starts the updater with the downloaded archive and quits; false when that is not possible.
    bool install();
    void cancel();

    UpdateInfo info() const { return m_info; }
    QString downloadedFile() const { return m_file; }
    QString downloadDir() const;
    bool isBusy() const { return m_request->isBusy() || m_md5Watcher.isRunning(); }

    void setLauncher(Launcher launcher) { m_launcher = std::move(launcher); }
    void setQuitter(Quitter quitter) { m_quitter = std::move(quitter); }

signals:
    void checkForUpdateResult(int result);
    void downloadStarted();
    void downloadProgressChanged(int percentage);
    void downloadFinished(int error);

private:
    void verifyDownload(const QString &path);

    KxHttpRequest *m_request;
    UpdateInfo m_info;
    QString m_file;
    QFutureWatcher<QByteArray> m_md5Watcher;
    bool m_cancelled = false;
    Launcher m_launcher;
    Quitter m_quitter;
};
