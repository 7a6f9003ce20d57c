#include "FileDownload.h"

#include <QDebug>
#include <QDir>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSaveFile>

FileDownload::~FileDownload()
{
    if (m_download) {
        m_download->disconnect(this);
        m_download->abort();
    }
    if (m_file)
        m_file->cancelWriting();
    delete m_file;
}

QString FileDownload::targetPath(const QString &folder, const QString &taskId)
{
    return QDir(folder).filePath(QStringLiteral("task_%1.zip").arg(taskId));
}

bool FileDownload::start(const QString &taskId, const QString &folder)
{
    if (m_download || isBusy())
        return false;
    m_target = targetPath(folder, taskId);
    m_writeFailed = false;
    delete m_file;
    m_file = new QSaveFile(m_target);
    m_file->setDirectWriteFallback(false);
    if (!QDir().mkpath(folder) || !m_file->open(QIODevice::WriteOnly)) {
        delete m_file;
        m_file = nullptr;
        QMetaObject::invokeMethod(this, [this] { emit downloaded(false, QStringLiteral("open file fault"), m_target); },
                                  Qt::QueuedConnection);
        return true;
    }
    QUrlQuery q;
    q.addQueryItem(QStringLiteral("task_id"), taskId);
    QNetworkRequest request(urlFor(QStringLiteral("/file/download/result"), q));
    request.setTransferTimeout(60000);
    QNetworkReply *reply = m_manager->get(request);
    m_download = reply;
    connect(reply, &QNetworkReply::readyRead, this, [this, reply] {
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (status != 200 || m_writeFailed || !m_file)
            return; // an error body is read at the end
        const QByteArray data = reply->readAll();
        if (m_file->write(data) != data.size()) {
            m_writeFailed = true;
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::downloadProgress, this, [this](qint64 got, qint64 total) {
        if (total > 0)
            emit progress(int(got * 100 / total));
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        reply->deleteLater();
        m_download = nullptr;
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (m_writeFailed) {
            finish(false, QStringLiteral("write file fault"));
        } else if (reply->error() != QNetworkReply::NoError || status != 200) {
            const QString server = envelopeMessage(reply->readAll());
            qWarning() << "Network error:" << reply->errorString() << server;
            finish(false, server.isEmpty() ? reply->errorString() : server);
        } else {
            const QByteArray rest = reply->readAll();
            if (m_file->write(rest) != rest.size())
                finish(false, QStringLiteral("write file fault"));
            else
                finish(true, QStringLiteral("success"));
        }
    });
    return true;
}

void FileDownload::finish(bool ok, const QString &message)
{
    QString text = message;
    if (ok && !m_file->commit()) {
        // The finished archive could not take the place of the old one.
        ok = false;
        text = QStringLiteral("remove file fault");
    } else if (!ok) {
        m_file->cancelWriting();
        m_file->commit(); // discards the temporary file
    }
    delete m_file;
    m_file = nullptr;
    emit downloaded(ok, text, m_target);
}
