#pragma once
// Saves the images of one reader into its own folder on a thread pool, and watches the free
// space of that folder's disk. ImageSaverConfigNotifier tells every saver to reload settings.
#include <QMutex>
#include <QObject>
#include <QRunnable>
#include <QThreadPool>
#include <QTimer>

class DeviceImageSaver : public QObject
{
    Q_OBJECT
public:
    explicit DeviceImageSaver(QObject *parent = nullptr);
    ~DeviceImageSaver() override;  // waits for every queued save

    // Reads the settings and prepares the reader's folder; false when it cannot be made.
    // basePath: the folder that holds the readers' folders; empty: the "savepath" setting.
    bool init(const QString &deviceId, const QString &basePath = QString());
    bool isInitialised() const { return m_initialised; }
    QString saveFolder() const;
    int diskLimitMb() const { return m_diskLimitMb; }
    int checkIntervalSec() const { return m_checkIntervalSec; }

    // Queues one image: the bytes are written as they are to "<folder>/<name>.<extension>",
    // the name built from fileName (or the time when empty) with prefix and suffix joined by
    // "_". False when refused (see the log).
    bool put(const QByteArray &bytes, const QString &fileName, const QString &prefix = QString(),
             const QString &suffix = QString(), const QString &extension = QStringLiteral("jpg"));
    // Blocks until every queued save has run (tests and shutdown).
    void waitForDone();

    Q_INVOKABLE void checkDiskSpace();

    // The name a save task writes for the given parts (empty name: the time).
    static QString composeFileName(const QString &fileName, const QString &prefix,
                                   const QString &suffix, const QDateTime &now);

signals:
    void diskSpaceLow(qint64 freeMb);
    // A save task wrote (ok) or failed to write path; from a pool thread.
    void imageSaved(bool ok, const QString &path);

public slots:
    void reloadSettings();

private:
    bool ensureFolder();

    QString m_deviceId;
    QString m_basePath;
    QString m_folder;
    int m_diskLimitMb;
    int m_checkIntervalSec;
    QTimer m_timer;
    mutable QMutex m_mutex;
    bool m_initialised = false;
    QThreadPool m_pool;
};

// One image written to disk and recorded in the image index.
class SaveImageTask : public QRunnable
{
public:
    SaveImageTask(DeviceImageSaver *owner, const QString &folder, const QByteArray &bytes,
                  const QString &fileName, const QString &prefix, const QString &suffix,
                  const QString &extension);
    void run() override;

private:
    DeviceImageSaver *m_owner;
    QString m_folder;
    QByteArray m_bytes;
    QString m_fileName;
    QString m_prefix;
    QString m_suffix;
    QString m_extension;
};

// One process-wide notifier; savers reload their settings when it fires.
class ImageSaverConfigNotifier : public QObject
{
    Q_OBJECT
public:
    static ImageSaverConfigNotifier *instance();
signals:
    void configChanged();

private:
    using QObject::QObject;
};
