#include "KxInstaller.h"

#include <KZip>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace
{

// The folder of the archive that holds the installation: the top, or its single folder.
const KArchiveDirectory *installRoot(const KArchiveDirectory *top)
{
    const QStringList entries = top->entries();
    if (entries.size() == 1) {
        const KArchiveEntry *only = top->entry(entries.first());
        if (only && only->isDirectory())
            return static_cast<const KArchiveDirectory *>(only);
    }
    return top;
}

bool safeName(const QString &name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
        && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\'));
}

bool extract(const KArchiveDirectory *dir, const QString &target, QString *error)
{
    if (!QDir().mkpath(target)) {
        *error = QStringLiteral("cannot create ") + target;
        return false;
    }
    for (const QString &name : dir->entries()) {
        if (!safeName(name)) {
            *error = QStringLiteral("unsafe name in the archive: ") + name;
            return false;
        }
        const KArchiveEntry *e = dir->entry(name);
        const QString path = target + QLatin1Char('/') + name;
        if (e->isDirectory()) {
            if (!extract(static_cast<const KArchiveDirectory *>(e), path, error))
                return false;
            continue;
        }
        if (!e->isFile() || !e->symLinkTarget().isEmpty()) {
            *error = QStringLiteral("unsupported entry in the archive: ") + name;
            return false;
        }
        const auto *f = static_cast<const KArchiveFile *>(e);
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            *error = QStringLiteral("cannot write ") + path;
            return false;
        }
        QScopedPointer<QIODevice> in(f->createDevice());
        if (!in || !in->open(QIODevice::ReadOnly)) {
            *error = QStringLiteral("cannot read ") + name + QStringLiteral(" from the archive");
            return false;
        }
        // Read exactly the entry's size: an empty file reads nothing, a short one is damaged.
        for (qint64 total = 0; total < f->size();) {
            const QByteArray chunk = in->read(qMin<qint64>(1 << 20, f->size() - total));
            if (chunk.isEmpty()) {
                *error = QStringLiteral("damaged entry in the archive: ") + name;
                return false;
            }
            if (out.write(chunk) != chunk.size()) {
                *error = QStringLiteral("cannot unpack ") + name;
                return false;
            }
            total += chunk.size();
        }
        out.close();
        const mode_t mode = f->permissions();
        QFile::Permissions perms = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
        if (mode & 0111)
            perms |= QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther;
        QFile::setPermissions(path, perms);
    }
    return true;
}

} // namespace

KxInstaller::KxInstaller(const QString &archive, const QString &installDir)
    : m_archive(QFileInfo(archive).absoluteFilePath()),
      m_installDir(QDir::cleanPath(QFileInfo(installDir).absoluteFilePath()))
{
}

QString KxInstaller::check() const
{
    KZip zip(m_archive);
    if (!zip.open(QIODevice::ReadOnly))
        return QStringLiteral("not a readable zip archive: ") + m_archive;
    const KArchiveDirectory *root = installRoot(zip.directory());
    const KArchiveEntry *program = root->entry(QStringLiteral("brevan"));
    if (!program || !program->isFile())
        return QStringLiteral("the archive holds no program \"brevan\"");
    return QString();
}

bool KxInstaller::unpack(const QString &target)
{
    KZip zip(m_archive);
    if (!zip.open(QIODevice::ReadOnly)) {
        m_error = QStringLiteral("not a readable zip archive: ") + m_archive;
        return false;
    }
    if (!extract(installRoot(zip.directory()), target, &m_error))
        return false;
    QFile::setPermissions(target + QStringLiteral("/brevan"),
                          QFile::permissions(target + QStringLiteral("/brevan")) | QFile::ExeOwner
                              | QFile::ExeGroup | QFile::ExeOther);
    return true;
}

bool KxInstaller::run()
{
    m_error = check();
    if (!m_error.isEmpty())
        return false;
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss-zzz"));
    const QString fresh = m_installDir + QStringLiteral(".new-") + stamp;
    if (!unpack(fresh)) {
        QDir(fresh).removeRecursively();
        return false;
    }
    // The swap: the running installation becomes the previous one, the fresh folder takes its
    // name. If the second rename fails, the first is undone.
    const QString previous = previousDir();
    if (QFileInfo::exists(previous) && !QDir(previous).removeRecursively()) {
        m_error = QStringLiteral("cannot remove the earlier previous installation ") + previous;
        QDir(fresh).removeRecursively();
        return false;
    }
    QDir parent = QFileInfo(m_installDir).dir();
    const bool hadInstall = QFileInfo::exists(m_installDir);
    if (hadInstall && !parent.rename(m_installDir, previous)) {
        m_error = QStringLiteral("cannot move the installation aside");
        QDir(fresh).removeRecursively();
        return false;
    }
    if (!parent.rename(fresh, m_installDir)) {
        m_error = QStringLiteral("cannot move the new installation in place");
        if (hadInstall)
            parent.rename(previous, m_installDir);
        QDir(fresh).removeRecursively();
        return false;
    }
    return true;
}
