#include "FileUpload.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHttpMultiPart>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QThread>
#include <QtConcurrent>

namespace
{

QString md5Of(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    QCryptographicHash hash(QCryptographicHash::Md5);
    char block[4096];
    for (;;) {
        const qint64 n = f.read(block, sizeof block);
        if (n < 0)
            return QString();
        if (n == 0)
            break;
        hash.addData(block, int(n));
    }
    return QString::fromLatin1(hash.result().toHex());
}

QHttpPart textPart(const QString &name, const QByteArray &value)
{
    QHttpPart p;
    p.setHeader(QNetworkRequest::ContentDispositionHeader,
                QStringLiteral("form-data; name=\"%1\"").arg(name));
    p.setBody(value);
    return p;
}

} // namespace

FileRangeDevice::FileRangeDevice(const QString &path, qint64 start, qint64 length, QObject *parent)
    : QIODevice(parent), m_file(new QFile(path, this)), m_start(start), m_length(length)
{
}

bool FileRangeDevice::open(OpenMode mode)
{
    if ((mode & WriteOnly) || !m_file->open(QIODevice::ReadOnly) || !m_file->seek(m_start))
        return false;
    return QIODevice::open(mode | Unbuffered);
}

void FileRangeDevice::close()
{
    m_file->close();
    QIODevice::close();
}

bool FileRangeDevice::seek(qint64 pos)
{
    if (pos < 0 || pos > m_length || !QIODevice::seek(pos))
        return false;
    return m_file->seek(m_start + pos);
}

qint64 FileRangeDevice::readData(char *data, qint64 maxSize)
{
    const qint64 left = m_length - (m_file->pos() - m_start);
    if (left <= 0)
        return -1;
    return m_file->read(data, qMin(maxSize, left));
}

FilePartUpload::FilePartUpload(std::shared_ptr<FileUploadShared> shared) : m_shared(std::move(shared)) {}

void FilePartUpload::run()
{
    if (!m_manager)
        m_manager = new QNetworkAccessManager(this);
    next();
}

void FilePartUpload::next()
{
    const int index = m_shared->abort ? m_shared->parts : m_shared->nextPart.fetch_add(1);
    if (index >= m_shared->parts) {
        emit idle();
        return;
    }
    const qint64 start = qint64(index) * m_shared->partSize;
    const qint64 length = qMin(m_shared->partSize, m_shared->size - start);
    auto *multi = new QHttpMultiPart(QHttpMultiPart::FormDataType);
    auto *body = new FileRangeDevice(m_shared->path, start, length, multi);
    if (!body->open(QIODevice::ReadOnly)) {
        delete multi;
        emit partFailed(index, QStringLiteral("File Open fault"));
        emit idle();
        return;
    }
    QHttpPart file;
    file.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/octet-stream"));
    file.setHeader(QNetworkRequest::ContentDispositionHeader,
                   QStringLiteral("form-data; name=\"file\"; filename=\"%1\"").arg(m_shared->fileName));
    file.setBodyDevice(body);
    multi->append(file);
    multi->append(textPart(QStringLiteral("md5"), m_shared->md5.toLatin1()));
    multi->append(textPart(QStringLiteral("chunk"), QByteArray::number(index)));

    QNetworkRequest request(QUrl(m_shared->baseUrl + QStringLiteral("/file/upload/dataset")));
    request.setTransferTimeout(60000);
    QNetworkReply *reply = m_manager->post(request, multi);
    multi->setParent(reply);
    m_sentOfPart = 0;
    connect(reply, &QNetworkReply::uploadProgress, this, [this, reply, length](qint64 sent, qint64) {
        if (m_shared->abort) {
            reply->abort();
            return;
        }
        // The multipart envelope adds a little; only the part's own bytes are counted.
        const qint64 mine = qMin(sent, length);
        if (mine > m_sentOfPart) {
            emit bytesSent(mine - m_sentOfPart);
            m_sentOfPart = mine;
        }
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply, index] {
        reply->deleteLater();
        if (m_shared->abort) {
            emit idle();
            return;
        }
        const QByteArray answer = reply->readAll();
        if (reply->error() != QNetworkReply::NoError) {
            const QString server = KxTrainingRequest::envelopeMessage(answer);
            qWarning() << "Network error:" << reply->errorString() << server;
            emit partFailed(index, server.isEmpty() ? reply->errorString() : server);
            emit idle();
            return;
        }
        const QJsonObject o = QJsonDocument::fromJson(answer).object();
        if (o.value(QStringLiteral("status")).toInt() != 200) {
            const QString message = o.value(QStringLiteral("message")).toString();
            qWarning() << "Error:" << "part" << index << message;
            emit partFailed(index, message.isEmpty() ? QStringLiteral("the service refused part %1").arg(index)
                                                     : message);
            emit idle();
            return;
        }
        emit partDone(index);
        next();
    });
}

FileUpload::FileUpload(QObject *parent) : KxTrainingRequest(parent)
{
    connect(&m_md5Watcher, &QFutureWatcher<QPair<QString, qint64>>::finished, this, [this] {
        if (!m_running)
            return;
        m_md5 = m_md5Watcher.result().first;
        m_md5Ms = m_md5Watcher.result().second;
        if (m_md5.isEmpty()) {
            fail(QStringLiteral("File Open fault"));
            return;
        }
        emit md5Ready(m_md5);
        startWorkers();
    });
}

FileUpload::~FileUpload()
{
    stopWorkers();
}

bool FileUpload::start(const QString &archivePath)
{
    if (m_running || isBusy())
        return false;
    m_path = archivePath;
    m_md5.clear();
    m_parts = m_workers = m_done = 0;
    m_sent = 0;
    m_lastPercent = -1;
    m_running = true;
    QFile f(archivePath);
    if (!f.open(QIODevice::ReadOnly)) {
        QMetaObject::invokeMethod(this, [this] { fail(QStringLiteral("File Open fault")); }, Qt::QueuedConnection);
        return true;
    }
    m_size = f.size();
    f.close();
    if (m_size == 0) {
        QMetaObject::invokeMethod(this, [this] { fail(QStringLiteral("the data set is empty")); },
                                  Qt::QueuedConnection);
        return true;
    }
    m_parts = int((m_size + m_partSize - 1) / m_partSize);
    const QString path = archivePath;
    // The hash task holds nothing of this object, so dropping the upload never leaves it dangling.
    m_md5Watcher.setFuture(QtConcurrent::run([path] {
        QElapsedTimer t;
        t.start();
        const QString md5 = md5Of(path);
        return qMakePair(md5, t.elapsed());
    }));
    return true;
}

void FileUpload::startWorkers()
{
    m_shared = std::make_shared<FileUploadShared>();
    m_shared->path = m_path;
    m_shared->fileName = QFileInfo(m_path).fileName();
    m_shared->md5 = m_md5;
    m_shared->baseUrl = baseUrl();
    m_shared->size = m_size;
    m_shared->partSize = m_partSize;
    m_shared->parts = m_parts;
    m_workers = qMin(m_parts, MaxWorkers);
    for (int i = 0; i < m_workers; ++i) {
        // The thread and its worker delete themselves when the thread ends, so an upload that
        // is dropped while parts are in flight never destroys a running thread.
        auto *thread = new QThread;
        auto *worker = new FilePartUpload(m_shared);
        worker->moveToThread(thread);
        connect(thread, &QThread::finished, worker, &QObject::deleteLater);
        connect(thread, &QThread::finished, thread, &QObject::deleteLater);
        connect(worker, &FilePartUpload::idle, thread, &QThread::quit);
        connect(worker, &FilePartUpload::bytesSent, this, [this](qint64 delta) {
            m_sent += delta;
            const int percent = int(m_sent * 100 / qMax<qint64>(1, m_size));
            if (percent != m_lastPercent) {
                m_lastPercent = percent;
                emit progress(percent);
            }
        });
        connect(worker, &FilePartUpload::partDone, this, [this](int) {
            if (!m_running)
                return;
            if (++m_done == m_parts) {
                QUrlQuery q;
                q.addQueryItem(QStringLiteral("md5"), m_md5);
                if (!sendGet(QStringLiteral("/file/merge/dataset"), q))
                    fail(QStringLiteral("the merge request could not be sent"));
            }
        });
        connect(worker, &FilePartUpload::partFailed, this,
                [this](int index, const QString &message) {
                    qWarning() << "FileUpload...part" << index << "failed:" << message;
                    fail(message);
                });
        m_threads << thread;
        thread->start();
        QMetaObject::invokeMethod(worker, &FilePartUpload::run, Qt::QueuedConnection);
    }
}

void FileUpload::stopWorkers()
{
    if (m_shared)
        m_shared->abort = true;
    for (const QPointer<QThread> &t : qAsConst(m_threads)) {
        if (t)
            t->quit();
    }
    m_threads.clear();
}

void FileUpload::fail(const QString &message)
{
    if (!m_running)
        return;
    m_running = false;
    stopWorkers();
    cancel();
    emit finished(false, message);
}

void FileUpload::abort()
{
    fail(QStringLiteral("cancelled"));
}

void FileUpload::complete(bool ok, const QString &message, const QJsonValue &)
{
    // The merge reply.
    if (!m_running)
        return;
    m_running = false;
    stopWorkers();
    emit finished(ok, ok ? QStringLiteral("success") : message);
}
