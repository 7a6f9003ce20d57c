#pragma once
// The logs of several readers downloaded at once, each on a thread of its own, all named with
// one batch time stamp "yyyy-MM-dd_hh-mm-ss". Results come back on this object's thread.
#include "KxKitTypes.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QStringList>

class QThread;

class DeviceLogDownload : public QObject
{
    Q_OBJECT
public:
    explicit DeviceLogDownload(QObject *parent = nullptr);
    // Cancels what runs and waits (bounded) for the threads.
    ~DeviceLogDownload() override;

    // False when a download still runs or there is nothing to do.
    bool start(const QList<QPair<QString, KxDeviceInfoMap>> &readers, const QString &dir);
    void cancel();
    bool isRunning() const { return !m_threads.isEmpty(); }
    QString batchStamp() const { return m_stamp; }

    // The folder of the log downloads: setting "dir" of group "logUpdate", else the user's
    // download folder.
    static QString defaultDir();
    static void rememberDir(const QString &dir);

signals:
    void readerFinished(const QString &deviceId, bool ok, const QStringList &files);
    void finished();

private:
    QHash<QString, QThread *> m_threads;
    QString m_stamp;
};
