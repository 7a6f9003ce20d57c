#pragma once
// Directory listings in the style of a UNIX long listing, as FTP clients parse them.
#include <QDateTime>
#include <QFileInfo>
#include <QString>

namespace FtpListing {
// One "ls -l" line (without CR LF). The date shows the time for entries of `now`'s year and the
// year otherwise.
QString longLine(const QFileInfo &info, const QDateTime &now);
// The date columns alone, for tests and clients.
QString dateColumn(const QDateTime &modified, const QDateTime &now);
} // namespace FtpListing
