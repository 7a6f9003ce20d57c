// KxDeviceKit: requests on open links.
#include "KxDeviceKit.h"

#include "KxDataStreamMaker.h"
#include "KxDataStreamParser.h"
#include "KxDeviceLink.h"

#include <QDebug>
#include <QThread>
#include <QUuid>

namespace {
// A blocking caller waits this much longer than its time-out, so that the link (which owns the
// wire) normally reports the time-out itself and knows to drop a late reply.
constexpr int kWaitGraceMs = 250;

int effectiveTimeout(int timeoutMs)
{
    return timeoutMs > 0 ? timeoutMs : 60000;
}
}  // namespace

int KxDeviceKit::sendSync(const std::shared_ptr<KxDeviceLink> &l, const QByteArray &frame,
                          QByteArray &reply, int timeoutMs)
{
    reply.clear();
    if (frame.isEmpty())
        return KxSendError::BadRequest;
    if (!l || !l->isUp())
        return KxSendError::NotConnected;
    if (l->thread() == QThread::currentThread()) {
        qWarning() << "KxDeviceKit::sendBinaryMessage()... refused: called on the link's own thread";
        return KxSendError::BadRequest;
    }
    timeoutMs = effectiveTimeout(timeoutMs);
    auto wait = std::make_shared<KxSyncWait>();
    auto req = std::make_shared<KxLinkRequest>();
    req->frame = frame;
    req->deadline = QDeadlineTimer(timeoutMs);
    req->done = [wait](int code, const QByteArray &r) { wait->set(code, r); };
    // A request the caller sent itself is timed by the caller: the link only learns of it when
    // bytes come back.
    const bool direct = l->submitDirect(req);
    if (!direct)
        l->submit(req);
    if (!wait->wait(QDeadlineTimer(timeoutMs + (direct ? 0 : kWaitGraceMs)))) {
        req->finish(KxSendError::Timeout);  // the link is stuck; we stop waiting regardless
        l->expire();
    }
    QByteArray r;
    const int code = wait->result(&r);
    if (code == KxSendError::Ok || code == KxSendError::Rejected)
        reply = std::move(r);
    return code;
}

int KxDeviceKit::sendBinaryMessage(const QString &id, const QByteArray &frame, QByteArray &reply,
                                   int timeoutMs, int port)
{
    return sendSync(link(id, port), frame, reply, timeoutMs);
}

QString KxDeviceKit::sendBinaryMessage(const QString &id, const QByteArray &frame,
                                       ReplyCallback callback, QObject *context, int timeoutMs,
                                       int port)
{
    const QString requestId = QUuid::createUuid().toString(QUuid::WithoutBraces);
    const bool hasContext = context != nullptr;
    QPointer<QObject> guard(context);
    // Results go to the kit's thread first, and from there to the context's thread, so a
    // context that is destroyed meanwhile is noticed on a thread that can tell.
    auto deliver = [this, id, callback, guard, hasContext](int code, const QByteArray &r) {
        if (!callback)
            return;
        post([id, callback, guard, hasContext, code, r] {
            if (!hasContext) {
                callback(id, code, r, nullptr);
                return;
            }
            if (!guard)
                return;
            QMetaObject::invokeMethod(guard.data(), [id, callback, guard, code, r] {
                if (guard)
                    callback(id, code, r, guard.data());
            }, Qt::QueuedConnection);
        });
    };
    const auto l = link(id, port);
    if (frame.isEmpty() || !l || !l->isUp()) {
        deliver(frame.isEmpty() ? int(KxSendError::BadRequest) : int(KxSendError::NotConnected),
                QByteArray());
        return requestId;
    }
    auto req = std::make_shared<KxLinkRequest>();
    req->frame = frame;
    req->deadline = QDeadlineTimer(effectiveTimeout(timeoutMs));
    req->done = [deliver](int code, const QByteArray &r) {
        deliver(code, code == KxSendError::Ok || code == KxSendError::Rejected ? r : QByteArray());
    };
    l->submit(req);
    return requestId;
}

void KxDeviceKit::startKeepAlive(const QString &id, int intervalMs)
{
    if (const auto l = link(id, DevicePort_Main))
        l->startKeepAlive(intervalMs);
}

void KxDeviceKit::stopKeepAlive(const QString &id)
{
    if (const auto l = link(id, DevicePort_Main))
        l->stopKeepAlive();
}

bool KxDeviceKit::setTimeOut_7E01(const QString &id, int ms)
{
    const int value = qBound(10000, ms, 180000);
    const QByteArray frame = KxMakeDataStreamCmd("#FRMTMO" + QByteArray::number(value),
                                                 DataProtocol_Settings, true);
    QByteArray reply, echoed;
    const int code = sendBinaryMessage(id, frame, reply, 10000, DevicePort_Main);
    const bool ok = code == KxSendError::Ok
        && KxGetDataStreamResult(reply, QStringLiteral("FRMTMO"), echoed) == DataResult_Ack;
    if (!ok)
        qWarning().noquote() << "KxDeviceKit::setTimeOut_7E01()..." << id << value
                             << KxSendError::text(code);
    return ok;
}
