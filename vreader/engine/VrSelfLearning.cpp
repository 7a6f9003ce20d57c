#include "VrSelfLearning.h"

namespace VrSelfLearning {

QList<VrCommand> commands()
{
    QList<VrCommand> out;
    VrCommand wanted;
    wanted.code = QStringLiteral("ATLSOP");
    wanted.defaultValue = "1";
    wanted.rule.kind = KxValueRule::Integer;
    wanted.rule.hasMinimum = wanted.rule.hasMaximum = true;
    wanted.rule.minimum = 1;
    wanted.rule.maximum = 64;
    wanted.rule.defaultValue = QStringLiteral("1");
    wanted.rule.hasDefault = true;
    out << wanted;
    for (const char *code : {"ATLQPR", "ATLQLS", "ATLQLP", "ATLPAS"}) {
        VrCommand c;
        c.code = QLatin1String(code);
        c.kind = VrCommand::ReadOnly;
        out << c;
    }
    return out;
}

QList<Candidate> candidates()
{
    QList<Candidate> out;
    for (int gain : {0, 6, 12}) {
        for (int exposure : {100, 200, 400, 800, 1600, 3200, 6400})
            out << Candidate{exposure, gain};
    }
    return out;
}

}  // namespace VrSelfLearning
