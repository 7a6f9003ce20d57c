#include "ImageSaverSettings.h"

#include "KxConfig.h"
#include "KxSettings.h"

#include <QDebug>
#include <QDir>

namespace {
const QString kGroup = QStringLiteral("IMGSAVER");
}

ImageSaverSettings ImageSaverSettings::load()
{
    ImageSaverSettings s;
    KxSettings *settings = KxSettings::instance();
    s.savePath = settings->value(kGroup, QStringLiteral("savepath")).toString();
    if (s.savePath.isEmpty()) {
        s.savePath = QDir(KxConfig::instance()->dataDir()).filePath(QStringLiteral("images"));
        settings->setValue(kGroup, QStringLiteral("savepath"), s.savePath);
    }
    bool ok = false;
    const int limit = settings->value(kGroup, QStringLiteral("disk_limit_mb")).toString().toInt(&ok);
    if (ok && limit > 0) {
        s.diskLimitMb = limit;
    } else if (settings->value(kGroup, QStringLiteral("disk_limit_mb")).isValid()) {
        qWarning() << "DeviceImageSaver: invalid disk_limit_mb, fallback to" << kDefaultDiskLimitMb;
    }
    const QVariant rawInterval = settings->value(kGroup, QStringLiteral("check_interval_sec"));
    const int interval = rawInterval.toString().toInt(&ok);
    if (ok && interval >= 1 && interval <= 65535) {
        s.checkIntervalSec = interval;
    } else if (rawInterval.isValid()) {
        qWarning() << "DeviceImageSaver: invalid check_interval_sec, fallback to"
                   << kDefaultCheckIntervalSec;
    }
    return s;
}

void ImageSaverSettings::save() const
{
    KxSettings *settings = KxSettings::instance();
    settings->setValue(kGroup, QStringLiteral("savepath"), savePath);
    settings->setValue(kGroup, QStringLiteral("disk_limit_mb"), diskLimitMb);
    settings->setValue(kGroup, QStringLiteral("check_interval_sec"), checkIntervalSec);
}

QString ImageSaverSettings::folderFor(const QString &basePath, const QString &deviceId)
{
    QString id = deviceId;
    id.replace(QLatin1Char(':'), QLatin1Char('_'));
    return QStringLiteral("%1/%2").arg(basePath, id);
}
