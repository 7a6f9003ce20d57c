#include "VrDataFormatting.h"

#include "KxDataFormat.h"

namespace VrDataFormatting {

QList<VcResult> apply(const QList<VcResult> &results, const Values &values, QStringList *log)
{
    const QByteArray mode = values(QStringLiteral("DFMENA"));
    if (mode.isEmpty() || mode == "0")
        return results;
    const bool strict = mode == "2";
    QStringList bad;
    const QList<KxDataFormatRule> rules =
        KxDataFormatList::parse(QString::fromUtf8(values(QStringLiteral("DFMADD"))), &bad);
    for (const QString &b : bad)
        *log << QStringLiteral("data format: rule skipped: %1").arg(b);
    QList<VcResult> out;
    for (VcResult r : results) {
        if (r.noRead) {
            out << r;
            continue;
        }
        const KxDataFormatOutcome o = KxDataFormatEngine::apply(rules, r.data, r.codeId);
        switch (o.kind) {
        case KxDataFormatOutcome::Formatted:
            r.data = o.output;
            if (o.delayMs > 0)
                *log << QStringLiteral("data format %1: output held %2 ms").arg(o.rule.format).arg(o.delayMs);
            out << r;
            break;
        case KxDataFormatOutcome::Discarded:
            *log << QStringLiteral("data format %1: result discarded").arg(o.rule.format);
            break;
        case KxDataFormatOutcome::Failed:
        case KxDataFormatOutcome::NoRule:
            if (o.kind == KxDataFormatOutcome::Failed)
                *log << QStringLiteral("data format: no rule held (%1)").arg(o.error);
            if (strict)
                *log << QStringLiteral("data format: %1 not sent, no rule formats it").arg(QString::fromUtf8(r.data));
            else
                out << r;
            break;
        }
    }
    // Positions count what is sent.
    for (int i = 0; i < out.size(); ++i)
        out[i].index = i;
    return out;
}

}  // namespace VrDataFormatting
