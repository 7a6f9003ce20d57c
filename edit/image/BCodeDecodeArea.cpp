#include "BCodeDecodeArea.h"

namespace BCodeDecodeArea {

namespace {
bool pair(const QString &text, int &a, int &b)
{
    const QStringList f = text.split(QLatin1Char(','));
    if (f.size() != 2)
        return false;
    bool ok1 = false, ok2 = false;
    a = f[0].trimmed().toInt(&ok1);
    b = f[1].trimmed().toInt(&ok2);
    return ok1 && ok2;
}

ChangedCmdInfo change(const QString &code, const QString &value)
{
    ChangedCmdInfo c;
    c.code = code;
    c.name = code;
    c.value = value;
    c.displayValue = value;
    return c;
}
}  // namespace

QList<BCodeRoi> read(const Has &has, const Lookup &value, const QSize &sensor)
{
    if (!has(QStringLiteral("CADENA")) || value(QStringLiteral("CADENA")) != QLatin1String("1"))
        return {};
    if (has(QStringLiteral("CADMRI")) && !value(QStringLiteral("CADMRI")).isEmpty())
        return BCodeRoiString::parse(value(QStringLiteral("CADMRI")));
    const QStringList edges{QStringLiteral("CADLEF"), QStringLiteral("CADTOP"),
                            QStringLiteral("CADRIG"), QStringLiteral("CADBOT")};
    if (has(edges[0]) && has(edges[1]) && has(edges[2]) && has(edges[3])) {
        int v[4];
        for (int i = 0; i < 4; ++i) {
            bool ok = false;
            v[i] = value(edges[i]).toInt(&ok);
            if (!ok)
                return {};
        }
        if (v[2] < v[0] || v[3] < v[1])
            return {};
        return {BCodeRoi{0, QRect(QPoint(v[0], v[1]), QPoint(v[2], v[3]))}};
    }
    if (has(QStringLiteral("CADPOS")) && has(QStringLiteral("CADSIZ"))
        && (!has(QStringLiteral("CADMOD")) || value(QStringLiteral("CADMOD")) == QLatin1String("1"))) {
        int x, y, w, h;
        if (pair(value(QStringLiteral("CADPOS")), x, y) && pair(value(QStringLiteral("CADSIZ")), w, h)
            && w > 0 && h > 0)
            return {BCodeRoi{0, QRect(x, y, w, h)}};
        return {};
    }
    if (has(QStringLiteral("CADCTR")) && has(QStringLiteral("CADPSZ")) && sensor.isValid()) {
        // Centre and size in percent of the sensor.
        const QStringList c = value(QStringLiteral("CADCTR")).split(QLatin1Char(','));
        const QStringList s = value(QStringLiteral("CADPSZ")).split(QLatin1Char(','));
        if (c.size() == 2 && s.size() == 2) {
            const double cx = c[0].toDouble() * sensor.width() / 100;
            const double cy = c[1].toDouble() * sensor.height() / 100;
            const double w = s[0].toDouble() * sensor.width() / 100;
            const double h = s[1].toDouble() * sensor.height() / 100;
            if (w > 0 && h > 0)
                return {BCodeRoi{0, QRect(qRound(cx - w / 2), qRound(cy - h / 2), qRound(w), qRound(h))}};
        }
        return {};
    }
    return {};
}

QVector<ChangedCmdInfo> changesFor(const Has &has, const QRect &rect, const QSize &sensor)
{
    QRect r = rect.normalized();
    if (sensor.isValid())
        r = r.intersected(QRect(QPoint(0, 0), sensor));
    QVector<ChangedCmdInfo> out;
    if (r.isEmpty() || !has(QStringLiteral("CADENA")))
        return out;
    out << change(QStringLiteral("CADENA"), QStringLiteral("1"));
    if (has(QStringLiteral("CADMRI"))) {
        out << change(QStringLiteral("CADMRI"), BCodeRoiString::single(r));
    } else if (has(QStringLiteral("CADLEF")) && has(QStringLiteral("CADTOP"))
               && has(QStringLiteral("CADRIG")) && has(QStringLiteral("CADBOT"))) {
        out << change(QStringLiteral("CADLEF"), QString::number(r.left()));
        out << change(QStringLiteral("CADTOP"), QString::number(r.top()));
        out << change(QStringLiteral("CADRIG"), QString::number(r.right()));
        out << change(QStringLiteral("CADBOT"), QString::number(r.bottom()));
    } else if (has(QStringLiteral("CADPOS")) && has(QStringLiteral("CADSIZ"))) {
        // The size goes in steps of 8 pixels, at least 16.
        int w = qMax(16, (r.width() + 4) / 8 * 8);
        int h = qMax(16, (r.height() + 4) / 8 * 8);
        if (sensor.isValid()) {
            w = qMin(w, sensor.width() / 8 * 8);
            h = qMin(h, sensor.height() / 8 * 8);
        }
        int x = r.left(), y = r.top();
        if (sensor.isValid()) {
            x = qBound(0, x, sensor.width() - w);
            y = qBound(0, y, sensor.height() - h);
        }
        if (has(QStringLiteral("CADMOD")))
            out << change(QStringLiteral("CADMOD"), QStringLiteral("1"));
        out << change(QStringLiteral("CADPOS"), QStringLiteral("%1,%2").arg(x).arg(y));
        out << change(QStringLiteral("CADSIZ"), QStringLiteral("%1,%2").arg(w).arg(h));
    } else {
        out.clear();
    }
    return out;
}

}  // namespace BCodeDecodeArea
