#pragma once
// One HTTP request at a time: a JSON post, or a download written to "<target>.part" as it
// arrives and renamed to the target only when it is complete. Redirects are followed only
// within the same origin. Completion is reported through the callback, on this object's thread.
#include <QObject>
#include <QPointer>
#include <QUrl>

#include <functional>

class QFile;
class QNetworkAccessManager;
class QNetworkReply;

class KxHttpRequest : public QObject
{
    Q_OBJECT
public:
    enum ErrorCode {
        NoError,
        AlreadyRequesting,
        UrlIsInvalid,
        LocalDirIsInvalid,
        CannotCreateLocalDir,
        CannotRemoveFile,
        NotAllowedToWriteFile,
        NetworkError,
        FileDoesNotExistOrIsCorrupted,
        FileDoesNotEndWithSuffix,
        CannotRenameFile,
        Cancelled
    };
    Q_ENUM(ErrorCode)

    using PostCallback = std::function<void(ErrorCode, QByteArray)>;
    using DownloadCallback = std::function<void(ErrorCode, QString)>;
    using ProgressCallback = std::function<void(int)>;

    static const char *const TempSuffix; // ".part"

    explicit KxHttpRequest(QObject *parent = nullptr);
    ~KxHttpRequest() override;

    // Errors found before sending are returned and also given to the callback.
    ErrorCode post(const QUrl &url, const QByteArray &body, PostCallback done, int timeoutMs = 30000);
    ErrorCode downloadFile(const QUrl &url, const QString &dir, const QString &fileName,
                           DownloadCallback done, ProgressCallback progress, int timeoutMs);
    // Ends the running request; its callback reports Cancelled.
    void cancel();
    bool isBusy() const { return m_busy; }

private:
    void finishPost(QNetworkReply *reply);
    void finishDownload(QNetworkReply *reply);
    void writeArrived(QNetworkReply *reply);
    void discardTemp();

    QNetworkAccessManager *m_manager;
    bool m_busy = false;
    bool m_cancelled = false;
    bool m_writeFailed = false;
    QPointer<QNetworkReply> m_reply;
    QFile *m_file = nullptr;
    QString m_target;
    PostCallback m_postDone;
    DownloadCallback m_downloadDone;
    ProgressCallback m_progress;
};
