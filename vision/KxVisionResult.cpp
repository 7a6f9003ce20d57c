#include "KxVisionResult.h"

#include <QJsonDocument>

namespace {
KxVisionResult fromObject(const QJsonObject &o, bool withImage)
{
    KxVisionResult r;
    r.kind = o.value(QStringLiteral("kind")).toString();
    r.seq = qint64(o.value(QStringLiteral("seq")).toDouble());
    r.timed = o.value(QStringLiteral("timed")).toInt() == 1;
    r.triggerId = o.value(QStringLiteral("triggerId")).toVariant().toString();
    r.workflow = o.value(QStringLiteral("workflow")).toString();
    r.ok = o.value(QStringLiteral("ok")).toInt() == 1;
    r.error = o.value(QStringLiteral("error")).toString();
    r.result = o.value(QStringLiteral("result")).toString();
    r.outputs = o.value(QStringLiteral("outputs")).toObject();
    r.regions = o.value(QStringLiteral("regions")).toArray();
    for (const QJsonValue &v : o.value(QStringLiteral("trace")).toArray())
        r.trace << v.toString();
    const QByteArray data = withImage ? QByteArray::fromBase64(o.value(QStringLiteral("image")).toString().toLatin1())
                                      : QByteArray();
    if (!data.isEmpty()) {
        r.image = QImage::fromData(data);
        // A shrunk image is brought back to the sensor size the regions are measured in.
        const QSize sensor(o.value(QStringLiteral("imageWidth")).toInt(), o.value(QStringLiteral("imageHeight")).toInt());
        if (!r.image.isNull() && sensor.isValid() && !sensor.isEmpty() && sensor != r.image.size()
            && sensor.width() <= 16384 && sensor.height() <= 16384)
            r.image = r.image.scaled(sensor, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    return r;
}
}  // namespace

bool KxVisionResult::parse(const QByteArray &payload, KxVisionResult *out, bool withImage)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(payload, &error);
    if (!doc.isObject())
        return false;
    const QJsonObject o = doc.object();
    const QString kind = o.value(QStringLiteral("kind")).toString();
    if ((kind != QLatin1String("test") && kind != QLatin1String("run")) || !o.value(QStringLiteral("ok")).isDouble())
        return false;
    *out = fromObject(o, withImage);
    return true;
}

KxVisionResult KxVisionResult::fromReply(const QJsonObject &reply, const QString &kind)
{
    KxVisionResult r = fromObject(reply, true);
    r.kind = kind;
    return r;
}
