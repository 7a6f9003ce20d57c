#include "DiskSpaceMonitorThread.h"

#include "KxConfig.h"
#include "KxFileDeleter.h"
#include "KxSettings.h"
#include "SqliteDbManager.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

namespace {
const char kNoSpaceProperty[] = "noSpaceAnddontSaveImage";
const int kWaitSliceMs = 100;

int localNumber(const QString &key)
{
    return KxSettings::instance()->localSettingNumber(key);
}

int ftpNumber(const QString &key, const QString &defaultValue)
{
    bool ok = false;
    const int v = KxSettings::instance()->value(QStringLiteral("ftp"), key, defaultValue).toString().toInt(&ok);
    return ok ? v : defaultValue.toInt();
}
} // namespace

DiskSpaceMonitorThread::DiskSpaceMonitorThread(QObject *parent)
    : QThread(parent)
    , m_freeSpace(&DiskSpaceMonitorThread::freeSpaceGb)
    , m_volume(&DiskSpaceMonitorThread::volumeOf)
{
    setObjectName(QStringLiteral("DiskSpaceMonitorThread"));
    if (QCoreApplication::instance())
        QCoreApplication::instance()->setProperty(kNoSpaceProperty, false);
    SqliteDbManager::instance()->open(KxConfig::instance()->databaseDir());
}

DiskSpaceMonitorThread::~DiskSpaceMonitorThread()
{
    stop();
    wait();
}

void DiskSpaceMonitorThread::stop()
{
    QMutexLocker locker(&m_mutex);
    m_running = false;
}

bool DiskSpaceMonitorThread::keepRunning() const
{
    QMutexLocker locker(&m_mutex);
    return m_running;
}

void DiskSpaceMonitorThread::setFreeSpaceFunction(FreeSpaceFunction fn)
{
    m_freeSpace = fn ? std::move(fn) : FreeSpaceFunction(&DiskSpaceMonitorThread::freeSpaceGb);
}

void DiskSpaceMonitorThread::setVolumeFunction(VolumeFunction fn)
{
    m_volume = fn ? std::move(fn) : VolumeFunction(&DiskSpaceMonitorThread::volumeOf);
}

void DiskSpaceMonitorThread::setWaitTimes(int outOfSpaceMs, int normalMs)
{
    m_outOfSpaceWaitMs = qMax(0, outOfSpaceMs);
    m_normalWaitMs = qMax(0, normalMs);
}

qint64 DiskSpaceMonitorThread::freeSpaceGb(const QString &path)
{
    if (path.isEmpty())
        return 0;
    const QStorageInfo info(QFileInfo(path).absolutePath());
    if (!info.isValid() || !info.isReady())
        return 0;
    return info.bytesAvailable() / (qint64(1) << 30);
}

QString DiskSpaceMonitorThread::volumeOf(const QString &path)
{
    if (path.isEmpty())
        return QString();
    const QStorageInfo info(QFileInfo(path).absolutePath());
    if (!info.isValid())
        return QString();
    return info.rootPath() + QLatin1Char('|') + QString::fromUtf8(info.device());
}

int DiskSpaceMonitorThread::logKeepDays(int choiceIndex)
{
    switch (choiceIndex) {
    case 0: return 1;
    case 1: return 3;
    case 2: return 7;
    case 3: return 10;
    case 4: return 15;
    default: return 3;
    }
}

void DiskSpaceMonitorThread::run()
{
    while (keepRunning()) {
        const bool outOfSpace = checkOnce();
        if (!keepRunning())
            break;
        publish(outOfSpace);
        emit checkFinished(outOfSpace);
        if (!waitMs(outOfSpace ? m_outOfSpaceWaitMs : m_normalWaitMs))
            break;
    }
    qInfo().noquote() << QStringLiteral("DiskSpaceMonitorThread running break");
}

bool DiskSpaceMonitorThread::checkOnce()
{
    deleteOldLogs();
    if (!keepRunning())
        return false;
    const QString imageDir = KxSettings::instance()->localSetting(QStringLiteral("imagePath"));
    const QString ftpDir =
        KxSettings::instance()->value(QStringLiteral("ftp"), QStringLiteral("dir")).toString();
    pruneImages(imageDir);
    if (!keepRunning())
        return false;
    pruneFtp(ftpDir);
    if (!keepRunning() || imageDir.isEmpty() || ftpDir.isEmpty())
        return false;
    const bool outOfSpace = pruneForSpace(imageDir, ftpDir);
    qDebug().noquote() << "DiskSpaceMonitorThread::checkOnce()..." << imageDir << ftpDir
                       << "outOfSpace" << outOfSpace;
    return outOfSpace;
}

int DiskSpaceMonitorThread::deleteOldLogs()
{
    bool ok = false;
    const int index = KxSettings::instance()->localSetting(QStringLiteral("appLogAutoDelDate")).toInt(&ok);
    const int days = logKeepDays(ok ? index : -1);
    const QString logDir = KxConfig::instance()->subDir(QStringLiteral("log"));
    if (logDir.isEmpty())
        return 0;
    const QDateTime cutoff = QDateTime::currentDateTime().addDays(-days);
    int deleted = 0;
    const QFileInfoList entries = QDir(logDir).entryInfoList(QDir::Files | QDir::Hidden | QDir::NoSymLinks);
    for (const QFileInfo &entry : entries) {
        if (!keepRunning())
            break;
        if (entry.lastModified() >= cutoff)
            continue;
        QFile file(entry.absoluteFilePath());
        if (file.remove())
            ++deleted;
        else
            qWarning() << "deleteLogFiles: failed to delete" << entry.absoluteFilePath() << file.errorString();
    }
    return deleted;
}

// A missing directory (an unplugged drive, say) is left alone so its records are not dropped
// while the files are out of reach.
void DiskSpaceMonitorThread::pruneImages(const QString &imageDir)
{
    if (imageDir.isEmpty() || !QFileInfo(imageDir).isDir())
        return;
    SqliteDbManager *index = SqliteDbManager::instance();
    QStringList names;
    const int strategy = localNumber(QStringLiteral("imageRemoveStrategy"));
    if (strategy == 0) {
        const int days = localNumber(QStringLiteral("imageSaveDate"));
        if (days > 0)
            names = index->deleteExpiredRecordsFromImageFilesTable(days);
    } else if (strategy == 1) {
        const int maxCount = localNumber(QStringLiteral("imageSaveMaxCount"));
        if (maxCount >= 1)
            names = index->keepLatestRecordsInImageFilesTable(maxCount);
    }
    if (!names.isEmpty())
        KxFileDeleter::deleteFilesByFileNameList(imageDir, names, [this] { return keepRunning(); });
}

void DiskSpaceMonitorThread::pruneFtp(const QString &ftpDir)
{
    if (ftpDir.isEmpty() || !QFileInfo(ftpDir).isDir())
        return;
    SqliteDbManager *index = SqliteDbManager::instance();
    QStringList names;
    const int strategy = ftpNumber(QStringLiteral("ftpRemoveStrategy"), QStringLiteral("0"));
    if (strategy == 0) {
        const int days = KxSettings::mapLocalSettingNumber(
            QStringLiteral("imageSaveDate"), ftpNumber(QStringLiteral("ftpSaveDate"), QStringLiteral("7")));
        if (days > 0)
            names = index->deleteExpiredRecordsFromFtpFilesTable(days);
    } else if (strategy == 1) {
        const int maxCount = ftpNumber(QStringLiteral("ftpSaveMaxCount"), QStringLiteral("50000"));
        if (maxCount >= 1)
            names = index->keepLatestRecordsInFtpFilesTable(maxCount);
    }
    if (!names.isEmpty())
        KxFileDeleter::deleteFilesByFileNameList(ftpDir, names, [this] { return keepRunning(); });
}

bool DiskSpaceMonitorThread::lowOnSpace(const QString &path, qint64 reserveGb) const
{
    const qint64 free = m_freeSpace(path);
    return free > 0 && free < reserveGb;
}

bool DiskSpaceMonitorThread::removeOldestShare(bool ftpTable, const QString &dir)
{
    SqliteDbManager *index = SqliteDbManager::instance();
    const QStringList names = ftpTable ? index->deleteOldestNPercentRecordsFromFtpFilesTable()
                                       : index->deleteOldestNPercentRecordsFromImageFilesTable();
    if (names.isEmpty())
        return false;
    KxFileDeleter::deleteFilesByFileNameList(dir, names, [this] { return keepRunning(); });
    return true;
}

bool DiskSpaceMonitorThread::pruneForSpace(const QString &imageDir, const QString &ftpDir)
{
    const qint64 reserve = localNumber(QStringLiteral("miniFreeReservedSpace"));
    if (localNumber(QStringLiteral("imageStrategy")) == 0)
        return false;
    const bool imageExists = QFileInfo(imageDir).isDir();
    const bool ftpExists = QFileInfo(ftpDir).isDir();

    if (m_volume(imageDir) == m_volume(ftpDir)) {
        bool imageExhausted = false;
        bool ftpExhausted = false;
        const QString probe = imageExists ? imageDir : ftpDir;
        while (keepRunning() && lowOnSpace(probe, reserve)) {
            if (imageExists && !imageExhausted)
                imageExhausted = !removeOldestShare(false, imageDir);
            if (ftpExists && !ftpExhausted)
                ftpExhausted = !removeOldestShare(true, ftpDir);
            // Nothing more can be removed from this volume.
            if ((!imageExists || imageExhausted) && (!ftpExists || ftpExhausted))
                break;
        }
        return imageExhausted && ftpExhausted;
    }

    auto pruneOne = [this, reserve](bool ftpTable, const QString &dir, bool exists) {
        if (!exists)
            return false;
        while (keepRunning() && lowOnSpace(dir, reserve)) {
            if (!removeOldestShare(ftpTable, dir))
                return true;
        }
        return false;
    };
    const bool imageExhausted = pruneOne(false, imageDir, imageExists);
    const bool ftpExhausted = pruneOne(true, ftpDir, ftpExists);
    return imageExhausted || ftpExhausted;
}

void DiskSpaceMonitorThread::publish(bool outOfSpace)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app)
        return;
    QMetaObject::invokeMethod(
        app, [app, outOfSpace] { app->setProperty(kNoSpaceProperty, outOfSpace); },
        Qt::QueuedConnection);
}

bool DiskSpaceMonitorThread::waitMs(int ms)
{
    for (int waited = 0; waited < ms; waited += kWaitSliceMs) {
        if (!keepRunning())
            return false;
        msleep(qMin(kWaitSliceMs, ms - waited));
    }
    return keepRunning();
}
