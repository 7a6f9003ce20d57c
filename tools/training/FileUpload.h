#pragma once
// Uploads a data set archive in parts of 50 MiB: the MD5 of the whole file is computed first
// (in 4096-byte blocks, off the calling thread), then up to 10 FilePartUpload workers, each on
// its own thread with its own network manager and file handle, post the parts; when the last
// part has been accepted the service is asked to merge them. The first failure ends it all.
#include "KxTrainingRequest.h"

#include <QFutureWatcher>
#include <QIODevice>
#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>

#include <atomic>
#include <memory>

class QFile;
class QThread;

// What the workers of one upload share.
struct FileUploadShared
{
    QString path;
    QString fileName;
    QString md5;
    QString baseUrl;
    qint64 size = 0;
    qint64 partSize = 0;
    int parts = 0;
    std::atomic<int> nextPart{0};
    std::atomic<bool> abort{false};
};

// A read-only window onto part of a file, so a part is sent straight from disk.
class FileRangeDevice : public QIODevice
{
    Q_OBJECT
public:
    FileRangeDevice(const QString &path, qint64 start, qint64 length, QObject *parent = nullptr);
    bool open(OpenMode mode) override;
    void close() override;
    bool isSequential() const override { return false; }
    qint64 size() const override { return m_length; }
    bool seek(qint64 pos) override;

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QFile *m_file;
    qint64 m_start;
    qint64 m_length;
};

class FilePartUpload : public QObject
{
    Q_OBJECT
public:
    explicit FilePartUpload(std::shared_ptr<FileUploadShared> shared);

public slots:
    // Takes parts until none is left, the upload is aborted or a part fails.
    void run();

signals:
    void partDone(int index);
    void partFailed(int index, const QString &message);
    void bytesSent(qint64 delta);
    void idle();

private:
    void next();
    std::shared_ptr<FileUploadShared> m_shared;
    class QNetworkAccessManager *m_manager = nullptr;
    qint64 m_sentOfPart = 0;
};

class FileUpload : public KxTrainingRequest
{
    Q_OBJECT
public:
    static constexpr qint64 PartSize = 52428800;
    static constexpr int MaxWorkers = 10;

    explicit FileUpload(QObject *parent = nullptr);
    ~FileUpload() override;

    // The part size (tests and benchmarks use smaller parts to exercise many of them).
    void setPartSize(qint64 size) { m_partSize = size; }
    bool start(const QString &archivePath);
    void abort();
    bool isRunning() const { return m_running; }

    QString md5() const { return m_md5; }
    int partCount() const { return m_parts; }
    int workersStarted() const { return m_workers; }
    qint64 md5Milliseconds() const { return m_md5Ms; }

signals:
    void md5Ready(const QString &md5);
    void progress(int percent);
    void finished(bool ok, const QString &message);

protected:
    void complete(bool ok, const QString &message, const QJsonValue &data) override;

private:
    void startWorkers();
    void fail(const QString &message);
    void stopWorkers();

    qint64 m_partSize = PartSize;
    bool m_running = false;
    QString m_path;
    QString m_md5;
    int m_parts = 0;
    int m_workers = 0;
    int m_done = 0;
    qint64 m_sent = 0;
    qint64 m_size = 0;
    qint64 m_md5Ms = 0;
    int m_lastPercent = -1;
    std::shared_ptr<FileUploadShared> m_shared;
    QList<QPointer<QThread>> m_threads;
    QFutureWatcher<QPair<QString, qint64>> m_md5Watcher;
};
