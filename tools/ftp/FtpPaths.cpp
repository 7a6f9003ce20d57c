#include "FtpPaths.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

FtpPaths::FtpPaths(const QString &root)
    : m_root(QDir::cleanPath(QDir(root).absolutePath()))
    , m_canonicalRoot(QFileInfo(root).canonicalFilePath())
{
}

QString FtpPaths::normalise(const QString &cwd, const QString &arg)
{
    for (const QChar c : arg) {
        if (c == QChar(0) || c == QLatin1Char('\r') || c == QLatin1Char('\n'))
            return QString();
    }
    // Windows clients send back slashes; they never name a file here.
    QString text = arg;
    text.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QString joined = text.startsWith(QLatin1Char('/')) ? text : cwd + QLatin1Char('/') + text;
    QStringList parts;
    const QStringList pieces = joined.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString &piece : pieces) {
        if (piece == QLatin1String("."))
            continue;
        if (piece == QLatin1String("..")) {
            if (!parts.isEmpty())
                parts.removeLast();
            continue;
        }
        parts << piece;
    }
    return QLatin1Char('/') + parts.join(QLatin1Char('/'));
}

bool FtpPaths::inside(const QString &canonicalPath) const
{
    if (canonicalPath.isEmpty() || m_canonicalRoot.isEmpty())
        return false;
    return canonicalPath == m_canonicalRoot
        || canonicalPath.startsWith(m_canonicalRoot + QLatin1Char('/'))
        || m_canonicalRoot == QLatin1String("/");
}

QString FtpPaths::local(const QString &virtualPath) const
{
    if (virtualPath.isEmpty() || !virtualPath.startsWith(QLatin1Char('/')))
        return QString();
    return virtualPath == QLatin1String("/") ? m_canonicalRoot : m_canonicalRoot + virtualPath;
}

QString FtpPaths::existing(const QString &virtualPath) const
{
    const QString path = local(virtualPath);
    if (path.isEmpty())
        return QString();
    const QFileInfo info(path);
    if (!info.exists())
        return QString();
    return inside(info.canonicalFilePath()) ? path : QString();
}

QString FtpPaths::creatable(const QString &virtualPath) const
{
    const QString path = local(virtualPath);
    if (path.isEmpty() || virtualPath == QLatin1String("/"))
        return QString();
    const QFileInfo info(path);
    // A dangling link would let a write land wherever it points.
    if (info.isSymLink() && !inside(info.canonicalFilePath()))
        return QString();
    if (!inside(QFileInfo(info.absolutePath()).canonicalFilePath()))
        return QString();
    return path;
}

QString FtpPaths::toVirtual(const QString &localPath) const
{
    const QString clean = QDir::cleanPath(localPath);
    if (clean == m_canonicalRoot)
        return QStringLiteral("/");
    if (clean.startsWith(m_canonicalRoot + QLatin1Char('/')))
        return clean.mid(m_canonicalRoot.size());
    return QString();
}
