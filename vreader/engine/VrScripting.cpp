#include "VrScripting.h"

#include "KxScript.h"

namespace VrScripting {

QByteArray functionList()
{
    return KxScriptRunner::apiFunctions().join(QLatin1Char('|')).toUtf8();
}

QList<VcResult> apply(const QList<VcResult> &results, const Values &values, QStringList *log)
{
    struct Script
    {
        KxScriptRunner::Language language;
        const char *enable;
        const char *source;
        const char *name;
    };
    const Script scripts[] = {{KxScriptRunner::JavaScript, "SCRENA", "SCRADD", "JavaScript"},
                              {KxScriptRunner::Lua, "LUAENA", "LUAADD", "Lua"}};
    QList<VcResult> out = results;
    for (const Script &s : scripts) {
        if (values(QString::fromLatin1(s.enable)) != "1")
            continue;
        QString source;
        if (!KxScriptValue::decode(QString::fromUtf8(values(QString::fromLatin1(s.source))), &source)) {
            *log << QStringLiteral("%1 script: stored value is not a script").arg(QLatin1String(s.name));
            continue;
        }
        if (source.trimmed().isEmpty())
            continue;
        QList<VcResult> next;
        for (VcResult r : qAsConst(out)) {
            if (r.noRead) {
                next << r;
                continue;
            }
            const KxScriptOutcome o = KxScriptRunner::run(s.language, source, r.data, r.codeId);
            for (const QString &line : o.log)
                *log << QStringLiteral("%1 script: %2").arg(QLatin1String(s.name), line);
            switch (o.kind) {
            case KxScriptOutcome::Output:
                r.data = o.output;
                next << r;
                break;
            case KxScriptOutcome::Skipped:
                *log << QStringLiteral("%1 script: code skipped").arg(QLatin1String(s.name));
                break;
            case KxScriptOutcome::Error:
                *log << QStringLiteral("%1 script error: %2; code sent unformatted").arg(QLatin1String(s.name), o.error);
                next << r;
                break;
            case KxScriptOutcome::Unchanged:
                next << r;
                break;
            }
        }
        out = next;
    }
    for (int i = 0; i < out.size(); ++i)
        out[i].index = i;
    return out;
}

}  // namespace VrScripting
