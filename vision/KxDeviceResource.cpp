#include "KxDeviceResource.h"

#include "KxConfig.h"
#include "KxDeviceConnector.h"
#include "KxVisionCall.h"

#include <KZip>
#include <QBuffer>
#include <QDebug>
#include <QDir>
#include <QRegularExpression>
#include <QFile>
#include <QSaveFile>

namespace {
bool fail(QString *error, const QString &why)
{
    qWarning().noquote() << "KxDeviceResource::init()," << why;
    if (error)
        *error = why;
    return false;
}

bool copyOut(const KArchiveDirectory *d, const QString &to, QString *error)
{
    if (!QDir().mkpath(to))
        return fail(error, QStringLiteral("cannot create %1").arg(to));
    for (const QString &name : d->entries()) {
        if (name == QLatin1String("..") || name == QLatin1String(".") || name.contains(QLatin1Char('/'))
            || name.contains(QLatin1Char('\\')))
            return fail(error, QStringLiteral("bad entry \"%1\" in the package").arg(name));
        const KArchiveEntry *e = d->entry(name);
        const QString path = QDir(to).filePath(name);
        if (e->isDirectory()) {
            if (!copyOut(static_cast<const KArchiveDirectory *>(e), path, error))
                return false;
        } else {
            QSaveFile f(path);
            const QByteArray data = static_cast<const KArchiveFile *>(e)->data();
            if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size() || !f.commit())
                return fail(error, QStringLiteral("cannot write %1").arg(path));
        }
    }
    return true;
}
}  // namespace

KxDeviceResource::KxDeviceResource(const QString &resId, QObject *parent)
    : QObject(parent), m_resId(resId)
{
}

QString KxDeviceResource::resourceDirFor(const QString &resId)
{
    QString safe = resId;
    safe.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_.-]")), QStringLiteral("_"));
    return QDir(KxConfig::instance()->dataDir()).filePath(QStringLiteral("vision/") + safe);
}

QString KxDeviceResource::toolkitDir() const
{
    return QDir(dir()).filePath(QStringLiteral("toolkit"));
}

bool KxDeviceResource::unpack(const QByteArray &zip, const QString &dir, QString *error)
{
    QByteArray bytes = zip;
    QBuffer buffer(&bytes);
    KZip archive(&buffer);
    if (!archive.open(QIODevice::ReadOnly))
        return fail(error, QStringLiteral("the package is not a zip archive"));
    return copyOut(archive.directory(), dir, error);
}

bool KxDeviceResource::fetch(KxDeviceConnector *connector, const QString &resId, QString *error)
{
    const QString dir = resourceDirFor(resId);
    if (QFile::exists(QDir(dir).filePath(QStringLiteral("toolkit/toolkit.xml"))))
        return true;
    if (resId.isEmpty())
        return fail(error, QStringLiteral("resPath isEmpty!"));
    const KxVisionCall::Reply r = KxVisionCall::call(connector, QStringLiteral("RESDAT"));
    const QByteArray zip = QByteArray::fromBase64(r.json.value(QStringLiteral("data")).toString().toLatin1());
    if (!r.ok || zip.isEmpty())
        return fail(error, QStringLiteral("send RESDAT fail! %1").arg(r.error));
    const QString models = KxConfig::instance()->subDir(QStringLiteral("models"));
    const QString zipPath = QDir(models).filePath(QFileInfo(dir).fileName() + QStringLiteral(".zip"));
    if (QFile::exists(zipPath) && !QFile::remove(zipPath))
        return fail(error, QStringLiteral("remove file fail!"));
    QSaveFile f(zipPath);
    if (models.isEmpty() || !f.open(QIODevice::WriteOnly) || f.write(zip) != zip.size() || !f.commit())
        return fail(error, QStringLiteral("open file fail!"));
    if (QFile::exists(dir) && !QDir(dir).removeRecursively())
        return fail(error, QStringLiteral("remove extractPath failed!"));
    qInfo() << "KxDeviceResource::init(), extract files..." << zipPath;
    QString why;
    if (!unpack(zip, dir, &why))
        return fail(error, QStringLiteral("extract-files failed! %1").arg(why));
    return true;
}

bool KxDeviceResource::init()
{
    return reload();
}

bool KxDeviceResource::reload()
{
    if (!QFile::exists(QDir(toolkitDir()).filePath(QStringLiteral("toolkit.xml")))) {
        qWarning() << "KxDeviceResource::reload()...no tool kit in" << dir();
        return false;
    }
    emit resourceChanged(m_resId);
    return true;
}
