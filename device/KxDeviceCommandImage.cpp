// Image fetches of the command engine: the request is built from the acquisition parameters
// and sent on the worker thread (through a job); one request at a time per reader.
#include "KxDeviceCommand.h"

#include "KxDataStreamMaker.h"
#include "KxDataStreamParser.h"
#include "KxDeviceKit.h"

#include <QDebug>

QString KxImageRequest::code() const
{
    if (alternate)
        return QStringLiteral("IMGTGT");
    if (type == QLatin1String("255"))
        return QStringLiteral("IMGBGT");
    if (capGli && capGliPrepro)
        return QStringLiteral("IMGGLI");
    return QStringLiteral("IMGGET");
}

QString KxImageRequest::value() const
{
    const QString c = code();
    QString v;
    if (c == QLatin1String("IMGBGT"))
        v = QStringLiteral("%1F").arg(format);
    else if (c == QLatin1String("IMGTGT"))
        v = QStringLiteral("%1T%2R%3F").arg(altType, ratio, format);
    else if (c == QLatin1String("IMGGLI"))
        v = QStringLiteral("%1T%2R%3F").arg(gliType.isEmpty() ? type : gliType, ratio, format);
    else
        v = QStringLiteral("%1T%2R%3F").arg(type, ratio, format);
    if (format == QLatin1String("2") && !quality.isEmpty())
        v += QStringLiteral("%1Q").arg(quality);
    else if (format == QLatin1String("3") && !prepro.isEmpty() && !capGliPrepro)
        v += QStringLiteral("%1I").arg(prepro);
    return v;
}

KxImageRequest KxImageRequest::fromStored(const QString &stored)
{
    KxImageRequest r;
    const QStringList f = stored.split(QLatin1Char(','));
    auto field = [&f](int i, const QString &fallback) {
        const QString v = f.value(i).trimmed();
        return v.isEmpty() ? fallback : v;
    };
    r.type = field(0, r.type);
    r.ratio = field(1, r.ratio);
    r.format = field(2, r.format);
    r.quality = f.value(3).trimmed();
    r.prepro = f.value(4).trimmed();
    return r;
}

namespace {
// Clears the busy flag however the fetch ends.
struct BusyGuard
{
    std::atomic<bool> &flag;
    ~BusyGuard() { flag = false; }
};
}  // namespace

KxImageReply KxDeviceCommand::getImage(const KxImageRequest &request)
{
    KxImageReply out;
    bool expected = false;
    if (!m_imageBusy.compare_exchange_strong(expected, true)) {
        qWarning() << "KxDeviceCommand::getImage...Lost.....";
        out.error = DataResult_Refused;
        return out;
    }
    BusyGuard guard{m_imageBusy};
    const QString code = request.code();
    const QByteArray frame = KxMakeDataStreamCmd(
        QStringLiteral("@%1%2").arg(code, request.value()).toUtf8(), DataProtocol_Settings, true);
    if (frame.isEmpty()) {
        out.error = DataResult_Refused;
        return out;
    }
    QByteArray reply;
    const int sent = send(frame, reply, kTimeoutMs);
    if (sent != 0) {
        out.error = sent;
        return out;
    }
    // One parse: the reply carries the whole image.
    const KxDataStreamParser parser(reply, DataType_Frame);
    QByteArray ignored;
    const int status = parser.isValid() ? parser.getSubTagData(code, QString(), ignored) : DataResult_Invalid;
    if (status != DataResult_Ack) {
        out.error = status;
        return out;
    }
    out.image = parser.extendData();
    out.info = parser.extendInfo();
    if (out.image.isEmpty()) {
        out.error = DataResult_Refused;
        return out;
    }
    out.ok = true;
    return out;
}

bool KxDeviceCommand::isImageBusy() const
{
    return m_imageBusy;
}
