#include "KxHttpRequest.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

const char *const KxHttpRequest::TempSuffix = ".part";

KxHttpRequest::KxHttpRequest(QObject *parent)
    : QObject(parent), m_manager(new QNetworkAccessManager(this))
{
}

KxHttpRequest::~KxHttpRequest()
{
    // A request still running ends without calling back into an object that is going away.
    m_postDone = nullptr;
    m_downloadDone = nullptr;
    m_progress = nullptr;
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
    discardTemp();
}

KxHttpRequest::ErrorCode KxHttpRequest::post(const QUrl &url, const QByteArray &body,
                                             PostCallback done, int timeoutMs)
{
    ErrorCode early = NoError;
    if (m_busy)
        early = AlreadyRequesting;
    else if (url.isEmpty() || !url.isValid())
        early = UrlIsInvalid;
    if (early != NoError) {
        if (done)
            done(early, QByteArray());
        return early;
    }
    m_busy = true;
    m_cancelled = false;
    m_postDone = std::move(done);
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    request.setTransferTimeout(timeoutMs);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::SameOriginRedirectPolicy);
    QNetworkReply *reply = m_manager->post(request, body);
    m_reply = reply;
    connect(reply, &QNetworkReply::finished, this, [this, reply] { finishPost(reply); });
    return NoError;
}

void KxHttpRequest::finishPost(QNetworkReply *reply)
{
    reply->deleteLater();
    m_reply = nullptr;
    m_busy = false;
    ErrorCode code = NoError;
    QByteArray body;
    if (m_cancelled) {
        code = Cancelled;
    } else if (reply->error() != QNetworkReply::NoError) {
        qWarning() << "KxHttpRequest, reply error!" << reply->error() << reply->errorString()
                   << reply->url();
        code = NetworkError;
    } else {
        body = reply->readAll();
    }
    PostCallback done = std::move(m_postDone);
    m_postDone = nullptr;
    if (done)
        done(code, body);
}

KxHttpRequest::ErrorCode KxHttpRequest::downloadFile(const QUrl &url, const QString &dir,
                                                     const QString &fileName, DownloadCallback done,
                                                     ProgressCallback progress, int timeoutMs)
{
    auto fail = [&done](ErrorCode code) {
        if (done)
            done(code, QString());
        return code;
    };
    if (m_busy)
        return fail(AlreadyRequesting);
    if (url.isEmpty() || !url.isValid())
        return fail(UrlIsInvalid);
    if (dir.isEmpty())
        return fail(LocalDirIsInvalid);
    QDir target(dir);
    if (!target.exists() && !QDir().mkpath(dir))
        return fail(CannotCreateLocalDir);
    const QString name = fileName.isEmpty() ? QFileInfo(url.path()).fileName() : fileName;
    if (name.isEmpty())
        return fail(UrlIsInvalid);
    const QString path = target.absolutePath() + QLatin1Char('/') + name;
    const QString temp = path + QLatin1String(TempSuffix);
    if ((QFileInfo::exists(path) && !QFile::remove(path))
        || (QFileInfo::exists(temp) && !QFile::remove(temp)))
        return fail(CannotRemoveFile);
    auto *file = new QFile(temp, this);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        delete file;
        return fail(NotAllowedToWriteFile);
    }
    m_file = file;
    m_target = path;
    m_busy = true;
    m_cancelled = false;
    m_writeFailed = false;
    m_downloadDone = std::move(done);
    m_progress = std::move(progress);

    QNetworkRequest request(url);
    request.setTransferTimeout(timeoutMs);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::SameOriginRedirectPolicy);
    QNetworkReply *reply = m_manager->get(request);
    m_reply = reply;
    connect(reply, &QNetworkReply::readyRead, this, [this, reply] { writeArrived(reply); });
    connect(reply, &QNetworkReply::downloadProgress, this, [this](qint64 received, qint64 total) {
        if (m_progress && total > 0)
            m_progress(int(received * 100 / total));
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply] { finishDownload(reply); });
    return NoError;
}

void KxHttpRequest::writeArrived(QNetworkReply *reply)
{
    const QByteArray data = reply->readAll();
    if (m_writeFailed || !m_file)
        return;
    if (m_file->write(data) != data.size()) {
        // A full disk or a lost folder: stop the transfer rather than keep a broken file.
        m_writeFailed = true;
        reply->abort();
    }
}

void KxHttpRequest::discardTemp()
{
    if (!m_file)
        return;
    m_file->close();
    m_file->remove();
    delete m_file;
    m_file = nullptr;
}

void KxHttpRequest::finishDownload(QNetworkReply *reply)
{
    reply->deleteLater();
    m_reply = nullptr;
    if (reply->error() == QNetworkReply::NoError && !m_writeFailed)
        writeArrived(reply);
    ErrorCode code = NoError;
    QString path;
    if (m_cancelled) {
        discardTemp();
        code = Cancelled;
    } else if (m_writeFailed) {
        discardTemp();
        code = NotAllowedToWriteFile;
    } else if (reply->error() != QNetworkReply::NoError) {
        qWarning() << "handleFileReply:" << reply->error() << reply->errorString() << reply->url();
        discardTemp();
        code = NetworkError;
    } else {
        const QString temp = m_file->fileName();
        m_file->close();
        delete m_file;
        m_file = nullptr;
        if (!QFileInfo::exists(temp)) {
            code = FileDoesNotExistOrIsCorrupted;
        } else if (!temp.endsWith(QLatin1String(TempSuffix))) {
            code = FileDoesNotEndWithSuffix;
        } else if (!QFile::rename(temp, m_target)) {
            QFile::remove(temp);
            code = CannotRenameFile;
        } else {
            path = m_target;
        }
    }
    m_busy = false;
    DownloadCallback done = std::move(m_downloadDone);
    m_downloadDone = nullptr;
    m_progress = nullptr;
    if (done)
        done(code, path);
}

void KxHttpRequest::cancel()
{
    if (!m_reply)
        return;
    m_cancelled = true;
    m_reply->abort();
}
