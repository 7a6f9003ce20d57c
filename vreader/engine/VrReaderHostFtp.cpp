// Hands the images a read left for FTP upload to the reader's uploader, with the server settings
// the reader runs at that moment.
#include "VrFtpUploader.h"
#include "VrReaderHost.h"

void VrReaderHost::uploadImages()
{
    const QList<VrReaderEngine::FtpImage> images = m_engine->takeFtpImages();
    if (images.isEmpty())
        return;
    if (!m_ftpUploader) {
        m_ftpUploader = new VrFtpUploader(this);
        connect(m_ftpUploader, &VrFtpUploader::logLine, this, [this](const QString &line) { log(line); });
    }
    const auto value = [this](const char *code) {
        return QString::fromUtf8(m_engine->runningValue(QString::fromLatin1(code)));
    };
    for (const VrReaderEngine::FtpImage &image : images) {
        VrFtpUploader::Job job;
        job.host = value("FTPSIP");
        job.port = quint16(value("FTPPRT").toUInt());
        job.user = value("FTPUSR");
        job.password = value("FTPPWD");
        job.folder = value("FTPDIR");
        job.name = image.name;
        job.data = image.data;
        m_ftpUploader->enqueue(job);
    }
}
