#include "BCodeImageOptions.h"

#include "KxI18nUtil.h"
#include "KxSettings.h"

namespace {
const QString kGroup = QStringLiteral("IMGGET");

QStringList values(BCodeImageOptions::Param p)
{
    switch (p) {
    case BCodeImageOptions::Type: return {"0", "1", "255"};
    case BCodeImageOptions::Ratio: return {"0", "1", "2"};
    case BCodeImageOptions::Format: return {"0", "1", "2", "3"};
    case BCodeImageOptions::Quality: return {"30", "60", "90", "100"};
    case BCodeImageOptions::Prepro: return {"0", "1", "2"};
    case BCodeImageOptions::Position: return {"0", "1"};
    default: return {};
    }
}
}  // namespace

QString BCodeImageOptions::textKey(Param p)
{
    switch (p) {
    case Type: return QStringLiteral("#IDS_CMD_IMGGET_T");
    case Ratio: return QStringLiteral("#IDS_CMD_IMGGET_R");
    case Format: return QStringLiteral("#IDS_CMD_IMGGET_F");
    case Quality: return QStringLiteral("#IDS_CMD_IMGGET_Q");
    case Prepro: return QStringLiteral("#IDS_CMD_IMGGET_I");
    case Position: return QStringLiteral("#ID_STLIST_128ENA");
    default: return QString();
    }
}

QList<BCodeImageOptions::Offer> BCodeImageOptions::offered(Param p)
{
    const QStringList v = values(p);
    const QStringList names = kxTr(textKey(p)).split(QLatin1Char('|'));
    QList<Offer> out;
    for (int i = 0; i < v.size(); ++i)
        out << Offer(v[i], names.value(i, v[i]));
    return out;
}

BCodeImageOptions BCodeImageOptions::load()
{
    BCodeImageOptions o;
    KxSettings *s = KxSettings::instance();
    const QStringList f =
        s->value(kGroup, QStringLiteral("cmd"), QStringLiteral("0,0,0,0,0")).toString().split(QLatin1Char(','));
    auto field = [&f](int i, const QString &fallback) {
        const QString v = f.value(i).trimmed();
        return v.isEmpty() ? fallback : v;
    };
    o.type = field(0, o.type);
    o.ratio = field(1, o.ratio);
    o.format = field(2, o.format);
    o.quality = f.value(3).trimmed();
    o.prepro = f.value(4).trimmed();
    bool ok = false;
    const int interval = s->value(kGroup, QStringLiteral("interval")).toString().toInt(&ok);
    if (ok)
        o.intervalMs = qBound(kMinIntervalMs, interval, kMaxIntervalMs);
    o.position = s->value(kGroup, QStringLiteral("ai"), o.position).toString();
    o.gliType = s->value(kGroup, QStringLiteral("GLI")).toString();
    return o;
}

QString BCodeImageOptions::storedCmd() const
{
    return QStringLiteral("%1,%2,%3,%4,%5").arg(type, ratio, format, quality, prepro);
}

bool BCodeImageOptions::store() const
{
    if (type.isEmpty() || ratio.isEmpty() || format.isEmpty())
        return false;
    KxSettings *s = KxSettings::instance();
    s->setValue(kGroup, QStringLiteral("cmd"), storedCmd());
    s->setValue(kGroup, QStringLiteral("interval"), intervalMs);
    s->setValue(kGroup, QStringLiteral("ai"), position);
    s->setValue(kGroup, QStringLiteral("GLI"), type);
    return true;
}

QSize BCodeImageOptions::blankSize(const QSize &sensor, const QString &ratio)
{
    const QString r = ratio.trimmed();
    if (r == QLatin1String("1"))
        return sensor / 2;
    if (r == QLatin1String("2"))
        return sensor / 4;
    return sensor;
}
