#pragma once
// Vision calls (protocol 7): a six-letter code with a compact JSON payload, a JSON reply. A call
// succeeds only when the kit's result is 6.
#include <QJsonObject>
#include <QObject>
#include <functional>

class KxDeviceConnector;

namespace KxVisionCall {
constexpr int kTimeoutMs = 60000;
struct Reply
{
    bool ok = false;
    int result = 0;     // the kit's result (6 done, 5 unknown, 21 refused or not sent)
    QJsonObject json;
    QString error;      // the reader's "error" text or what went wrong on the way
};
// Blocks: only for worker threads and tools.
Reply call(KxDeviceConnector *connector, const QString &code, const QJsonObject &payload = {},
           int timeoutMs = kTimeoutMs);
// Returns at once; done runs on the main thread while context lives (with ok false when the
// call could not be sent).
void callAsync(KxDeviceConnector *connector, QObject *context, const QString &code,
               const QJsonObject &payload, const std::function<void(const Reply &)> &done);
// The reply of a vision frame (kind 0x87) for code.
Reply parse(const QString &code, const QByteArray &frame, int sendError);
}  // namespace KxVisionCall
