#pragma once
// Text rules of the command interaction dialog: typed input, hex input, how requests and
// replies are shown, and the history file. Pure functions, no widgets.
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace SendCmdFormat {

constexpr int kMaxHistory = 100;

// The typed text without any white space.
QString compact(const QString &text);
// Hex input: pairs of hex digits, blanks allowed between pairs. False for anything else.
bool parseHex(const QString &text, QByteArray &out);
// Frames a typed command: texts starting with "@" or "#" go into a settings frame, others are
// sent as typed. Empty when a settings text cannot be framed.
QByteArray requestBytes(const QString &compactText);

struct Display
{
    bool hex = false;
    bool headAndTail = true;
    bool tags = true;   // "Request: " / "Response: " in front of each line
    bool parse = false; // replies listed item by item
};
// The frame without its envelope: the text request head "~" 0x01 "0000" and ";" 0x03, or the
// binary envelope (7E, kind, length ... CRC, 03) of a reply.
QByteArray stripEnvelope(const QByteArray &frame);
QString formatBytes(const QByteArray &bytes, const Display &display);
QString requestLine(const QByteArray &request, const Display &display);
QString responseLine(const QByteArray &reply, const Display &display);
// One line per reply item: "CODE=value (status)"; sub-tags as "CODE.TAG=value".
QStringList parsedReply(const QByteArray &reply);

// The history: adds text as the newest entry (moving an old copy), keeps kMaxHistory.
QStringList addToHistory(QStringList history, const QString &text);
bool loadHistory(const QString &path, QStringList &out);
bool saveHistory(const QString &path, const QStringList &history);

}  // namespace SendCmdFormat
