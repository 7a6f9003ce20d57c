#pragma once
// Background pruning of old logs and saved images, and the free-space watch that tells image
// saving to stop ("noSpaceAnddontSaveImage") when the disk stays below the reserve.
#include <QMutex>
#include <QString>
#include <QThread>

#include <functional>

class DiskSpaceMonitorThread : public QThread
{
    Q_OBJECT
public:
    // Free whole gigabytes of the volume holding a path; 0 when unknown.
    using FreeSpaceFunction = std::function<qint64(const QString &path)>;
    // An identity of the volume holding a path; equal identities mean one volume.
    using VolumeFunction = std::function<QString(const QString &path)>;

    explicit DiskSpaceMonitorThread(QObject *parent = nullptr);
    ~DiskSpaceMonitorThread() override;

    void stop();
    bool keepRunning() const;

    // Hooks for tests and tools; set them before start().
    void setFreeSpaceFunction(FreeSpaceFunction fn);
    void setVolumeFunction(VolumeFunction fn);
    void setWaitTimes(int outOfSpaceMs, int normalMs);

    static qint64 freeSpaceGb(const QString &path);
    static QString volumeOf(const QString &path);
    static int logKeepDays(int choiceIndex);   // "appLogAutoDelDate"

    // One pass of pruning and the space check; returns whether space ran out.
    bool checkOnce();
    // Deletes application logs older than the configured age; returns how many.
    int deleteOldLogs();

signals:
    // After every pass, from the monitor thread.
    void checkFinished(bool outOfSpace);

protected:
    void run() override;

private:
    void pruneImages(const QString &imageDir);
    void pruneFtp(const QString &ftpDir);
    bool pruneForSpace(const QString &imageDir, const QString &ftpDir);
    // Removes the oldest share of one table and its files; false when nothing was left.
    bool removeOldestShare(bool ftpTable, const QString &dir);
    bool lowOnSpace(const QString &path, qint64 reserveGb) const;
    void publish(bool outOfSpace);
    bool waitMs(int ms);

    mutable QMutex m_mutex;
    bool m_running = true;
    FreeSpaceFunction m_freeSpace;
    VolumeFunction m_volume;
    int m_outOfSpaceWaitMs = 2000;
    int m_normalWaitMs = 10000;
};
