#pragma once
// The server's reply lines, each with its CR LF. Clients match the codes; readers in the field
// also match some of the texts, so they stay as they are.
#include <QString>

namespace FtpReplies {
inline QString line(const char *text) { return QString::fromLatin1(text) + QStringLiteral("\r\n"); }
inline QString greeting() { return line("220 Welcome to QFtpServer."); }
inline QString userOk() { return line("331 User name OK, need password."); }
inline QString loginIncorrect() { return line("530 User name or password was incorrect."); }
inline QString loggedIn() { return line("230 You are logged in."); }
inline QString loginFirst() { return line("530 You must log in first."); }
inline QString readOnly() { return line("550 Can't do that in read-only mode."); }
inline QString quitting() { return line("221 Quitting..."); }
inline QString authTls() { return line("234 Initializing SSL connection."); }
inline QString features() { return QStringLiteral("211-Features:\r\n UTF8\r\n211 End\r\n"); }
inline QString pwd(const QString &dir) { return QStringLiteral("257 \"%1\"\r\n").arg(dir); }
inline QString okay() { return line("200 Command okay."); }
inline QString passive(const QString &address, int hi, int lo)
{
    return QStringLiteral("227 Entering Passive Mode (%1,%2,%3).\r\n").arg(address).arg(hi).arg(lo);
}
inline QString pending() { return line("350 Requested file action pending further information."); }
inline QString size(qint64 bytes) { return QStringLiteral("213 %1\r\n").arg(bytes); }
inline QString system() { return line("215 UNIX"); }
inline QString notImplemented() { return line("502 Command not implemented."); }
inline QString actionOk() { return line("250 Requested file action okay, completed."); }
inline QString created(const QString &dir) { return QStringLiteral("257 \"%1\" created.\r\n").arg(dir); }
inline QString fileUnavailable() { return line("550 Requested action not taken; file unavailable."); }
inline QString noDataConnection() { return line("425 Can't open data connection."); }
inline QString transferStarting() { return line("150 File status okay; about to open data connection."); }
inline QString transferDone() { return line("226 Closing data connection."); }
inline QString notReadable() { return line("425 File or directory is not readable or doesn't exist."); }
inline QString writeFailed() { return line("451 Requested action aborted. Could not write data to file."); }
inline QString localError() { return line("451 Requested action aborted: local error in processing."); }
inline QString noSpace() { return line("550 Insufficient disk space; cannot write files."); }
// Replies of situations the table above has no line for.
inline QString transferAborted() { return line("426 Connection closed; transfer aborted."); }
inline QString lineTooLong() { return line("500 Command line too long."); }
inline QString badPort() { return line("501 PORT must name the client's own address."); }
inline QString tooManyConnections() { return line("421 Too many connections; try again later."); }
inline QString lockedOut() { return line("421 Too many failed logins; try again later."); }
inline QString idleTimeout() { return line("421 Idle timeout; closing control connection."); }
inline QString badSequence() { return line("503 Bad sequence of commands."); }
} // namespace FtpReplies
