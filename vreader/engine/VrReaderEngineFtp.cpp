// Images for FTP upload: after a read, the reader keeps its image for the host to upload when
// "FTPENA" is on and the read is of the kind "FTPIMG" asks for.
#include "VrReaderEngine.h"

#include <QBuffer>

void VrReaderEngine::queueFtpImage(const VrReaderCamera::Read &r)
{
    if (!m_camera || runningValue(QStringLiteral("FTPENA")) != "1")
        return;
    const QByteArray which = runningValue(QStringLiteral("FTPIMG"));
    if ((which == "1" && !r.good) || (which == "2" && r.good))
        return;
    const QImage &image = m_camera->lastImage();
    if (image.isNull())
        return;
    static const char *const kFormats[] = {"jpg", "bmp", "png"};
    const int f = qBound(0, runningValue(QStringLiteral("FTPFMT")).toInt(), 2);
    FtpImage out;
    out.name = QStringLiteral("%1_%2.%3").arg(m_identity.serial).arg(m_reads, 6, 10, QLatin1Char('0'))
                   .arg(QLatin1String(kFormats[f]));
    QBuffer buffer(&out.data);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, kFormats[f], 90))
        return;
    // Bounded: a reader that reads faster than it uploads drops the oldest images.
    while (m_ftpImages.size() >= 8)
        m_ftpImages.removeFirst();
    m_ftpImages << out;
}

QList<VrReaderEngine::FtpImage> VrReaderEngine::takeFtpImages()
{
    QList<FtpImage> out;
    out.swap(m_ftpImages);
    return out;
}
