#pragma once
// Downloads a task's result archive to "<folder>/task_<id>.zip". The archive is written to a
// temporary file beside the target and replaces an existing result only when it is complete,
// so a failed download keeps the previous result.
#include "KxTrainingRequest.h"

class QSaveFile;

class FileDownload : public KxTrainingRequest
{
    Q_OBJECT
public:
    using KxTrainingRequest::KxTrainingRequest;
    ~FileDownload() override;

    static QString targetPath(const QString &folder, const QString &taskId);
    bool start(const QString &taskId, const QString &folder);
    QString target() const { return m_target; }

signals:
    void progress(int percent);
    void downloaded(bool ok, const QString &message, const QString &path);

protected:
    void complete(bool, const QString &, const QJsonValue &) override {}

private:
    void finish(bool ok, const QString &message);

    QSaveFile *m_file = nullptr;
    QString m_target;
    QPointer<QNetworkReply> m_download;
    bool m_writeFailed = false;
};
