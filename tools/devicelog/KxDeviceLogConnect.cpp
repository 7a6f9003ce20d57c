#include "KxDeviceLogConnect.h"

#include "KxDeviceKit.h"
#include "KxDeviceLogConnectManager.h"

#include <QDebug>
#include <QDir>

KxDeviceLogConnect::KxDeviceLogConnect(const QString &deviceId, const KxDeviceInfoMap &info, QObject *parent)
    : QObject(parent), m_deviceId(deviceId), m_info(info)
{
}

KxDeviceLogConnect::~KxDeviceLogConnect()
{
    QMutexLocker lock(&m_mutex);
    m_file.close();
}

KxDeviceInfoMap KxDeviceLogConnect::deviceInfo() const
{
    QMutexLocker lock(&m_mutex);
    return m_info;
}

void KxDeviceLogConnect::setDeviceInfo(const KxDeviceInfoMap &info)
{
    QMutexLocker lock(&m_mutex);
    m_info = info;
}

QString KxDeviceLogConnect::filePathPrefix() const
{
    QMutexLocker lock(&m_mutex);
    return m_prefix;
}

int KxDeviceLogConnect::fileIndex() const
{
    QMutexLocker lock(&m_mutex);
    return m_fileIndex;
}

void KxDeviceLogConnect::beginFiles(const QString &prefix)
{
    QMutexLocker lock(&m_mutex);
    m_file.close();
    m_prefix = prefix;
    m_fileIndex = 0;
    m_fileBytes = 0;
    m_files.clear();
    m_writeFailed = false;
}

QStringList KxDeviceLogConnect::endFiles()
{
    QMutexLocker lock(&m_mutex);
    m_file.close();
    // Data still on its way (a link closed mid-log) must not open the files again.
    m_prefix.clear();
    return m_files;
}

bool KxDeviceLogConnect::writeLocked(const char *data, qint64 size)
{
    const QString name = m_prefix + QString::number(m_fileIndex) + QStringLiteral(".Kxlog");
    if (m_file.fileName() != name || !m_file.isOpen()) {
        m_file.close();
        m_file.setFileName(name);
        if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append)) {
            qWarning().noquote() << "KxDeviceLogConnect::handleLogData()... cannot open" << name << m_file.errorString();
            return false;
        }
        if (!m_files.contains(name))
            m_files.append(name);
    }
    if (m_file.write(data, size) != size) {
        qWarning().noquote() << "KxDeviceLogConnect::handleLogData()... cannot write" << name << m_file.errorString();
        return false;
    }
    m_fileBytes += size;
    return true;
}

void KxDeviceLogConnect::handleLogData(const QByteArray &data)
{
    if (m_mode == LiveMode) {
        emit liveData(data);
        return;
    }
    QMutexLocker lock(&m_mutex);
    if (m_prefix.isEmpty() || m_writeFailed)
        return;
    const char *p = data.constData();
    qint64 left = data.size();
    while (left > 0) {
        // What fits in the current file; a full file moves the rest to the next index.
        const qint64 room = kFileLimit - m_fileBytes;
        if (room <= 0) {
            m_file.close();
            ++m_fileIndex;
            m_fileBytes = 0;
            continue;
        }
        const qint64 n = qMin(room, left);
        if (!writeLocked(p, n)) {
            m_writeFailed = true;
            return;
        }
        p += n;
        left -= n;
    }
}

void KxDeviceLogConnect::handleLinkLost()
{
    m_linkOpen = false;
    emit linkLost(m_deviceId);
}

void KxDeviceLogConnect::cancel()
{
    m_cancelled.storeRelaxed(1);
    // Closing the link ends the query's wait at once.
    KxDeviceKit::Instance()->disconnectFromDeviceEx(m_deviceId, DevicePort_Log);
}

bool KxDeviceLogConnect::download(const QString &batchStamp, const QString &dir)
{
    m_mode = DownloadMode;
    m_batchStamp = batchStamp;
    emit downloadStarted(m_deviceId);
    KxDeviceLogConnectManager *manager = KxDeviceLogConnectManager::instance();
    auto fail = [this](const QString &why) {
        qWarning().noquote() << "KxDeviceLogConnect::download()..." << m_deviceId << why;
        emit downloadFailed(m_deviceId, why);
        emit downloadFinished(m_deviceId);
        return false;
    };
    if (!manager->openLink(m_deviceId))
        return fail(QStringLiteral("log link not opened"));
    QString folder = dir;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    const KxDeviceInfoMap info = deviceInfo();
    // A name part may not leave the folder.
    auto part = [](QString s) { return s.replace(QLatin1Char('/'), QLatin1Char('-')).replace(QLatin1Char('\\'), QLatin1Char('-')); };
    beginFiles(folder + part(info.value(QStringLiteral("Serial Number"))) + QLatin1Char('_')
               + part(info.value(QStringLiteral("Product Name"))) + QLatin1Char('_') + batchStamp + QLatin1Char('_'));
    const bool queried = m_cancelled.loadRelaxed() == 0 && KxDeviceKit::Instance()->logQuery(m_deviceId);
    manager->closeLink(m_deviceId);
    bool writeFailed = false;
    const QString prefix = filePathPrefix();
    {
        QMutexLocker lock(&m_mutex);
        writeFailed = m_writeFailed;
    }
    const QStringList files = endFiles();
    if (!queried || writeFailed || m_cancelled.loadRelaxed()) {
        // What arrived is kept, but never under a name that passes for a whole log.
        for (const QString &f : files) {
            QFile::remove(f + QStringLiteral(".part"));
            QFile::rename(f, f + QStringLiteral(".part"));
        }
        return fail(m_cancelled.loadRelaxed() ? QStringLiteral("cancelled")
                    : writeFailed ? QStringLiteral("cannot write the log file")
                                  : QStringLiteral("the reader did not send its whole log"));
    }
    if (files.isEmpty()) {
        // An empty log is still a result: an empty first file says so.
        QFile empty(prefix + QStringLiteral("0.Kxlog"));
        if (!empty.open(QIODevice::WriteOnly))
            return fail(QStringLiteral("cannot write the log file"));
    }
    emit downloadSucceeded(m_deviceId, files.isEmpty() ? QStringList{prefix + QStringLiteral("0.Kxlog")} : files);
    emit downloadFinished(m_deviceId);
    return true;
}
