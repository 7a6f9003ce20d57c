#include "FtpListing.h"

#include <QLocale>

namespace FtpListing {

QString dateColumn(const QDateTime &modified, const QDateTime &now)
{
    // Month names are the English ones whatever the user's language: clients parse them.
    const QLocale c = QLocale::c();
    if (modified.date().year() == now.date().year())
        return c.toString(modified, QStringLiteral("MMM dd hh:mm"));
    return c.toString(modified, QStringLiteral("MMM dd  yyyy"));
}

QString longLine(const QFileInfo &info, const QDateTime &now)
{
    QString mode = info.isDir() ? QStringLiteral("d") : QStringLiteral("-");
    const QFile::Permissions p = info.permissions();
    const auto bit = [&mode, p](QFile::Permission flag, char letter) {
        mode += (p & flag) ? QLatin1Char(letter) : QLatin1Char('-');
    };
    bit(QFile::ReadOwner, 'r');
    bit(QFile::WriteOwner, 'w');
    bit(QFile::ExeOwner, 'x');
    bit(QFile::ReadGroup, 'r');
    bit(QFile::WriteGroup, 'w');
    bit(QFile::ExeGroup, 'x');
    bit(QFile::ReadOther, 'r');
    bit(QFile::WriteOther, 'w');
    bit(QFile::ExeOther, 'x');
    const QString owner = info.owner().isEmpty() ? QStringLiteral("unknown") : info.owner();
    const QString group = info.group().isEmpty() ? QStringLiteral("unknown") : info.group();
    const qint64 size = info.isDir() ? 4096 : info.size();
    return QStringLiteral("%1 1 %2 %3 %4 %5 %6")
        .arg(mode, owner, group)
        .arg(size, 12)
        .arg(dateColumn(info.lastModified(), now), info.fileName());
}

} // namespace FtpListing
