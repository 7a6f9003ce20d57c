#include "DeviceLogDownload.h"

#include "KxDeviceLogConnectManager.h"
#include "KxSettings.h"

#include <QDateTime>
#include <QThread>

DeviceLogDownload::DeviceLogDownload(QObject *parent) : QObject(parent)
{
}

DeviceLogDownload::~DeviceLogDownload()
{
    cancel();
    for (QThread *t : qAsConst(m_threads)) {
        // A thread still busy after the link closed is left to finish on its own.
        if (t->wait(5000))
            delete t;
        else
            QObject::connect(t, &QThread::finished, t, &QObject::deleteLater);
    }
}

QString DeviceLogDownload::defaultDir()
{
    const QString dir = KxSettings::instance()->value(QStringLiteral("logUpdate"), QStringLiteral("dir")).toString();
    return dir.isEmpty() ? KxSettings::downloadDir() : dir;
}

void DeviceLogDownload::rememberDir(const QString &dir)
{
    KxSettings::instance()->setValue(QStringLiteral("logUpdate"), QStringLiteral("dir"), dir);
}

bool DeviceLogDownload::start(const QList<QPair<QString, KxDeviceInfoMap>> &readers, const QString &dir)
{
    if (isRunning() || readers.isEmpty())
        return false;
    m_stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd_hh-mm-ss"));
    KxDeviceLogConnectManager *manager = KxDeviceLogConnectManager::instance();
    for (const auto &r : readers) {
        if (m_threads.contains(r.first))
            continue;
        KxDeviceLogConnect *c = manager->connection(r.first, r.second);
        c->clearCancel();
        const QString stamp = m_stamp;
        const QString id = r.first;
        auto ok = std::make_shared<bool>(false);
        auto files = std::make_shared<QStringList>();
        QThread *t = QThread::create([c, stamp, dir, ok, files] {
            QMetaObject::Connection got = QObject::connect(
                c, &KxDeviceLogConnect::downloadSucceeded, c,
                [files](const QString &, const QStringList &f) { *files = f; }, Qt::DirectConnection);
            *ok = c->download(stamp, dir);
            QObject::disconnect(got);
        });
        t->setObjectName(QStringLiteral("log ") + id);
        connect(t, &QThread::finished, this, [this, id, t, ok, files] {
            m_threads.remove(id);
            t->deleteLater();
            emit readerFinished(id, *ok, *files);
            if (m_threads.isEmpty())
                emit finished();
        });
        m_threads.insert(id, t);
        t->start();
    }
    return true;
}

void DeviceLogDownload::cancel()
{
    KxDeviceLogConnectManager *manager = KxDeviceLogConnectManager::instance();
    for (const QString &id : m_threads.keys()) {
        if (KxDeviceLogConnect *c = manager->find(id))
            c->cancel();
    }
}
