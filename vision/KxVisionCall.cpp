#include "KxVisionCall.h"

#include "KxDataStreamParser.h"
#include "KxDeviceConnector.h"

#include <QJsonDocument>
#include <QCoreApplication>
#include <QPointer>

namespace {
QByteArray compact(const QJsonObject &o)
{
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

KxVisionCall::Reply finish(const QString &code, int result, const QByteArray &value, int sendError)
{
    KxVisionCall::Reply r;
    r.result = result;
    const QJsonDocument doc = QJsonDocument::fromJson(value);
    r.json = doc.object();
    r.ok = result == DataResult_Ack && doc.isObject();
    if (!r.ok) {
        r.error = r.json.value(QStringLiteral("error")).toString();
        if (r.error.isEmpty())
            r.error = sendError != 0 ? QStringLiteral("%1 not sent (%2)").arg(code).arg(sendError)
                                     : QStringLiteral("%1 answered %2").arg(code).arg(result);
    }
    return r;
}
}  // namespace

KxVisionCall::Reply KxVisionCall::call(KxDeviceConnector *connector, const QString &code,
                                       const QJsonObject &payload, int timeoutMs)
{
    if (!connector)
        return finish(code, DataResult_Refused, {}, -1);
    QByteArray value;
    int error = 0;
    const int result = connector->queryCommand(DataProtocol_Vision, code, value, compact(payload),
                                               &error, timeoutMs);
    return finish(code, result, value, error);
}

KxVisionCall::Reply KxVisionCall::parse(const QString &code, const QByteArray &frame, int sendError)
{
    QByteArray value;
    const int result = sendError != 0 ? int(DataResult_Refused)
        : KxGetDataStreamResult(frame, code, value, nullptr, DataProtocol_Vision);
    return finish(code, result, value, sendError);
}

void KxVisionCall::callAsync(KxDeviceConnector *connector, QObject *context, const QString &code,
                             const QJsonObject &payload,
                             const std::function<void(const Reply &)> &done)
{
    const auto answer = [code, done](int error, const QByteArray &reply) {
        if (done)
            done(parse(code, reply, error));
    };
    if (!connector || !connector->sendAsync(context, code, DataProtocol_Vision, compact(payload), answer)) {
        QPointer<QObject> guard(context);
        QMetaObject::invokeMethod(
            context ? context : QCoreApplication::instance(),
            [guard, answer, context] {
                if (!context || guard)
                    answer(-1, {});
            },
            Qt::QueuedConnection);
    }
}
