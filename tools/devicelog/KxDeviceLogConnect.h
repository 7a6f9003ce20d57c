#pragma once
// One reader's log link as the log tools use it: downloads of the stored log into files of at
// most 52428800 bytes each, or the live log handed on as it arrives. The manager routes the
// kit's log data here; a download runs on a thread of its own.
#include "KxKitTypes.h"

#include <QAtomicInt>
#include <QFile>
#include <QMutex>
#include <QObject>
#include <QStringList>

class KxDeviceLogConnect : public QObject
{
    Q_OBJECT
public:
    enum Mode { DownloadMode = 0, LiveMode = 1 };
    static constexpr qint64 kFileLimit = 52428800;

    KxDeviceLogConnect(const QString &deviceId, const KxDeviceInfoMap &info, QObject *parent = nullptr);
    ~KxDeviceLogConnect() override;

    QString deviceId() const { return m_deviceId; }
    KxDeviceInfoMap deviceInfo() const;
    void setDeviceInfo(const KxDeviceInfoMap &info);
    int mode() const { return m_mode; }
    void setMode(int mode) { m_mode = mode; }
    bool isLinkOpen() const { return m_linkOpen; }
    void setLinkOpen(bool open) { m_linkOpen = open; }

    // The whole download, blocking (call it on a thread of its own): open the log link, name
    // the files "<dir><serial>_<product>_<batchStamp>_<n>.Kxlog", ask for the log, close the
    // link. True when the reader sent its whole log and every byte was written.
    bool download(const QString &batchStamp, const QString &dir);
    // Ends a running or coming download at once (it fails); safe from any thread. A cancelled
    // connection downloads again after clearCancel().
    void cancel();
    void clearCancel() { m_cancelled.storeRelaxed(0); }

    // Files named from prefix on: "<prefix><index>.Kxlog", starting at index 0.
    void beginFiles(const QString &prefix);
    // Closes the current file and takes no more data; the files written since beginFiles.
    QStringList endFiles();
    QString filePathPrefix() const;
    int fileIndex() const;

    // Log data of this reader (any thread): written to the files, or handed on live.
    void handleLogData(const QByteArray &data);
    void handleLinkLost();

signals:
    void downloadStarted(const QString &deviceId);
    void downloadSucceeded(const QString &deviceId, const QStringList &files);
    void downloadFailed(const QString &deviceId, const QString &reason);
    void downloadFinished(const QString &deviceId);
    void liveData(const QByteArray &data);
    void linkLost(const QString &deviceId);

private:
    bool writeLocked(const char *data, qint64 size);

    QString m_deviceId;
    KxDeviceInfoMap m_info;
    QString m_prefix;
    int m_fileIndex = 0;
    qint64 m_fileBytes = 0;
    QString m_batchStamp;
    bool m_linkOpen = false;
    int m_mode = DownloadMode;

    mutable QMutex m_mutex;  // the members above and below, between the kit's and the download's thread
    QFile m_file;
    QStringList m_files;
    bool m_writeFailed = false;
    QAtomicInt m_cancelled;
};
