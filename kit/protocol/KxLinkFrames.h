#pragma once
// Link management frames (role, keep-alive) and the "KESTOR" result and log frames.
#include <QByteArray>
#include <QString>

namespace KxLink {
enum Role : quint8 { Role_Reader = 0, Role_Command = 1, Role_Log = 2 };

QByteArray makeRoleRequest(quint8 role);
bool parseRoleRequest(const QByteArray &payload, quint8 *role);
// status 6 granted or 21 refused, then the compact JSON information map.
QByteArray makeRoleReply(int status, const QByteArray &infoJson);
bool parseRoleReply(const QByteArray &payload, int *status, QByteArray *infoJson);

QByteArray makeKeepAlive(quint32 intervalMs);
bool parseKeepAlive(const QByteArray &payload, quint32 *intervalMs);
QByteArray makeKeepAliveReply();
}  // namespace KxLink

namespace KxKestor {
constexpr int HeaderSize = 12;
enum Type : quint16 {
    SingleBarcode = 4128,
    BarcodeText = 4129,
    BarcodeTextOld = 2081,
    TestResult = 4133,
    LogLine = 4149,
    StoredLog = 4150,  // a block of the reader's stored log, raw text
    VisionResult = 4160,  // a camera's run or test result, compact JSON
    Json = 65281,
};
QByteArray make(quint16 type, const QByteArray &payload);
// One complete frame; false for anything shorter than its header says or with another magic.
bool parse(const QByteArray &frame, quint16 *type, QByteArray *payload);
// A log line payload: "Log Lvl=<level>;Log Data=<text>".
QByteArray makeLogLine(int level, const QString &text);
}  // namespace KxKestor
