#include "VrSymbologySettings.h"

#include "VcSymbology.h"

namespace VrSymbologySettings {

QList<VcResult> apply(const QList<VcResult> &results, const Values &values, QStringList *log)
{
    QList<VcResult> out;
    for (VcResult r : results) {
        const VcSymbology *s = r.noRead ? nullptr : VcSymbologies::byCodeId(r.codeId);
        if (!s || s->enable.size() < 3) {
            out << r;
            continue;
        }
        const QString prefix = s->enable.left(3);
        const QList<QByteArray> range = values(prefix + QStringLiteral("LEN")).split('|');
        bool okLow = false, okHigh = false;
        const int low = range.value(0).toInt(&okLow), high = range.value(1).toInt(&okHigh);
        if (range.size() == 2 && okLow && okHigh && (r.data.size() < low || r.data.size() > high)) {
            *log << QStringLiteral("%1 of length %2 dropped: outside %3 to %4").arg(s->name).arg(r.data.size()).arg(low).arg(high);
            continue;
        }
        if (values(prefix + QStringLiteral("TCK")) == "0" && !r.data.isEmpty())
            r.data.chop(1);
        out << r;
    }
    for (int i = 0; i < out.size(); ++i)
        out[i].index = i;
    return out;
}

}  // namespace VrSymbologySettings
