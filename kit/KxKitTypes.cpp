#include "KxKitTypes.h"

namespace KxSendError {

QString text(int code)
{
    switch (code) {
    case Ok: return QStringLiteral("ok");
    case NotConnected: return QStringLiteral("not connected");
    case Timeout: return QStringLiteral("time-out");
    case LinkLost: return QStringLiteral("link lost");
    case BadReply: return QStringLiteral("damaged reply");
    case BadRequest: return QStringLiteral("bad request");
    case ShuttingDown: return QStringLiteral("kit shutting down");
    case Rejected: return QStringLiteral("request rejected by the reader");
    default: return QStringLiteral("error %1").arg(code);
    }
}

}  // namespace KxSendError
