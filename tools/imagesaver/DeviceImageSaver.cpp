#include "DeviceImageSaver.h"

#include "ImageSaverSettings.h"
#include "SqliteDbManager.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QStorageInfo>

DeviceImageSaver::DeviceImageSaver(QObject *parent)
    : QObject(parent),
      m_diskLimitMb(ImageSaverSettings::kDefaultDiskLimitMb),
      m_checkIntervalSec(ImageSaverSettings::kDefaultCheckIntervalSec)
{
    m_pool.setMaxThreadCount(1);  // one writer keeps files in arrival order
    connect(&m_timer, &QTimer::timeout, this, &DeviceImageSaver::checkDiskSpace);
    connect(ImageSaverConfigNotifier::instance(), &ImageSaverConfigNotifier::configChanged, this,
            &DeviceImageSaver::reloadSettings);
}

DeviceImageSaver::~DeviceImageSaver()
{
    m_pool.waitForDone();
    qInfo() << "DeviceImageSaver destroyed, all tasks finished.";
}

bool DeviceImageSaver::init(const QString &deviceId, const QString &basePath)
{
    if (deviceId.isEmpty()) {
        qWarning() << "DeviceImageSaver::init: empty devId";
        return false;
    }
    m_deviceId = deviceId;
    m_basePath = basePath;
    reloadSettings();
    QMutexLocker lock(&m_mutex);
    if (m_folder.isEmpty()) {
        qWarning() << "DeviceImageSaver::init: saveFolder is empty after readSettingsFromConfig";
        return false;
    }
    m_initialised = true;
    lock.unlock();
    m_timer.start(m_checkIntervalSec * 1000);
    QMetaObject::invokeMethod(this, "checkDiskSpace", Qt::QueuedConnection);
    return true;
}

void DeviceImageSaver::reloadSettings()
{
    if (m_deviceId.isEmpty())
        return;
    const ImageSaverSettings s = ImageSaverSettings::load();
    QMutexLocker lock(&m_mutex);
    m_diskLimitMb = s.diskLimitMb;
    m_checkIntervalSec = s.checkIntervalSec;
    m_folder = ImageSaverSettings::folderFor(m_basePath.isEmpty() ? s.savePath : m_basePath, m_deviceId);
    if (!QDir().mkpath(m_folder)) {
        qWarning() << "DeviceImageSaver: mkpath failed for" << m_folder;
        m_folder.clear();
    }
    if (m_timer.isActive())
        m_timer.start(m_checkIntervalSec * 1000);
}

QString DeviceImageSaver::saveFolder() const
{
    QMutexLocker lock(&m_mutex);
    return m_folder;
}

bool DeviceImageSaver::ensureFolder()
{
    QMutexLocker lock(&m_mutex);
    return !m_folder.isEmpty() && QDir().mkpath(m_folder);
}

bool DeviceImageSaver::put(const QByteArray &bytes, const QString &fileName, const QString &prefix,
                           const QString &suffix, const QString &extension)
{
    if (!m_initialised) {
        qWarning() << "DeviceImageSaver::put: not initialized";
        return false;
    }
    if (bytes.isEmpty() || (fileName.isEmpty() && prefix.isEmpty() && suffix.isEmpty())) {
        qWarning() << "DeviceImageSaver::put: invalid parameters";
        return false;
    }
    if (!ensureFolder()) {
        qWarning() << "DeviceImageSaver::put: save folder unavailable, skip this image";
        return false;
    }
    m_pool.start(new SaveImageTask(this, saveFolder(), bytes, fileName, prefix, suffix, extension));
    return true;
}

void DeviceImageSaver::waitForDone()
{
    m_pool.waitForDone();
}

void DeviceImageSaver::checkDiskSpace()
{
    const QString folder = saveFolder();
    if (folder.isEmpty())
        return;
    if (!QDir(folder).exists()) {
        if (QDir().mkpath(folder))
            qInfo() << "DeviceImageSaver: save folder recreated:" << folder;
        else
            qWarning() << "DeviceImageSaver: failed to recreate save folder:" << folder;
    }
    QStorageInfo storage(folder);
    storage.refresh();
    const qint64 freeMb = storage.bytesAvailable() / (1024 * 1024);
    if (freeMb <= m_diskLimitMb) {
        qWarning() << "Disk space low:" << freeMb << "MB available, threshold:" << m_diskLimitMb
                   << "MB";
        emit diskSpaceLow(freeMb);
    }
}

QString DeviceImageSaver::composeFileName(const QString &fileName, const QString &prefix,
                                          const QString &suffix, const QDateTime &now)
{
    QString name = fileName.isEmpty() ? now.toString(QStringLiteral("yyyyMMdd_HH-mm-ss.zzz"))
                                      : fileName;
    if (!prefix.isEmpty())
        name = QStringLiteral("%1_%2").arg(prefix, name);
    if (!suffix.isEmpty())
        name = QStringLiteral("%1_%2").arg(name, suffix);
    return name;
}

SaveImageTask::SaveImageTask(DeviceImageSaver *owner, const QString &folder,
                             const QByteArray &bytes, const QString &fileName,
                             const QString &prefix, const QString &suffix,
                             const QString &extension)
    : m_owner(owner), m_folder(folder), m_bytes(bytes), m_fileName(fileName), m_prefix(prefix),
      m_suffix(suffix), m_extension(extension)
{
}

void SaveImageTask::run()
{
    const QString name = DeviceImageSaver::composeFileName(m_fileName, m_prefix, m_suffix,
                                                           QDateTime::currentDateTime());
    const QString path = m_extension.isEmpty()
                             ? QStringLiteral("%1/%2").arg(m_folder, name)
                             : QStringLiteral("%1/%2.%3").arg(m_folder, name, m_extension);
    QFile file(path);
    bool ok = file.open(QIODevice::WriteOnly);
    if (!ok) {
        qWarning() << "SaveImageTask: cannot open file" << path;
    } else {
        ok = file.write(m_bytes) == m_bytes.size();
        file.close();
        if (!ok)
            qWarning() << "SaveImageTask: write failed" << path;
    }
    if (ok) {
        SqliteDbManager *index = SqliteDbManager::instance();
        if (index->isOpen())
            index->insertIntoImageFilesTable(
                path, QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddhhmmss")));
    }
    emit m_owner->imageSaved(ok, path);
}

ImageSaverConfigNotifier *ImageSaverConfigNotifier::instance()
{
    static QMutex mutex;
    static ImageSaverConfigNotifier *notifier = nullptr;
    QMutexLocker lock(&mutex);
    if (!notifier)
        notifier = new ImageSaverConfigNotifier(QCoreApplication::instance());
    return notifier;
}
