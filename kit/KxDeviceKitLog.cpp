// KxDeviceKit: the reader's log over the log link (port 1).
#include "KxDeviceKit.h"

#include "KxDataStreamMaker.h"
#include "KxDataStreamParser.h"
#include "KxLinkFrames.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QSemaphore>
#include <QThread>

namespace {
constexpr int kSwitchTimeoutMs = 60000;

// One text request on the log link, acknowledged when the reader answers it with status 6.
bool logRequest(KxDeviceKit *kit, const QString &id, const QByteArray &request, int timeoutMs)
{
    QByteArray reply;
    const int code = kit->sendBinaryMessage(id, KxMakeDataStreamCmd(request, DataProtocol_Settings, true),
                                            reply, timeoutMs, DevicePort_Log);
    if (code != KxSendError::Ok) {
        qWarning().noquote() << "KxDeviceKit::logRequest()..." << id << request << KxSendError::text(code);
        return false;
    }
    return KxCheckDataStreamCmd(reply, QString::fromLatin1(request.mid(1, 6)));
}
}  // namespace

QByteArray KxDeviceKit::logBytes(const QByteArray &frame)
{
    quint16 type = 0;
    QByteArray payload;
    if (KxKestor::parse(frame, &type, &payload) && type == KxKestor::StoredLog)
        return payload;
    return frame;
}

bool KxDeviceKit::logQuery(const QString &id, int timeoutMs)
{
    if (QThread::currentThread() == thread()) {
        // The log arrives on this thread's event loop, which a wait here would block.
        qWarning() << "KxDeviceKit::logQuery()... refused on the kit's own thread";
        return false;
    }
    QElapsedTimer spent;
    spent.start();
    if (!logRequest(this, id, "@LOGQRY", timeoutMs))
        return false;
    // The blocks came before the answer and were handed to this thread's queue first: once a
    // marker queued now has run, every block has been emitted.
    auto done = std::make_shared<QSemaphore>();
    post([done] { done->release(); });
    return done->tryAcquire(1, int(qMax<qint64>(1000, timeoutMs - spent.elapsed())));
}

bool KxDeviceKit::logRecv(const QString &id)
{
    return logRequest(this, id, "@LOGRCV1", kSwitchTimeoutMs);
}

bool KxDeviceKit::stopLogRecv(const QString &id)
{
    return logRequest(this, id, "@LOGRCV0", kSwitchTimeoutMs);
}
