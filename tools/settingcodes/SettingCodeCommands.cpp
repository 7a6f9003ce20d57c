#include "SettingCodeCommands.h"

namespace SettingCodeCommands {

void addCommand(QStringList *commands, const QString &name, const QString &value)
{
    const bool dataFormat = name == QLatin1String("DFMSET") || name == QLatin1String("DFMADD");
    if (dataFormat || name == QLatin1String("MPCADD")) {
        if (dataFormat)
            commands->append(QStringLiteral("DFMCAL"));
        const QStringList parts = value.split(QLatin1Char('|'));
        for (const QString &part : parts)
            commands->append(name + part);
        return;
    }
    commands->append(name + value);
}

QStringList digitCodes(const QString &parameter)
{
    const QString empty = QStringLiteral("@DIG");
    QStringList codes;
    QString pending = empty;
    for (const QChar c : parameter) {
        if (c == QLatin1Char('|')) {
            if (pending.size() > empty.size())
                codes << pending;
            pending = empty;
            codes << QStringLiteral("@DIGIVB");
        } else if (c.isDigit() || (c >= QLatin1Char('A') && c <= QLatin1Char('F'))) {
            if (pending == empty) {
                pending += QStringLiteral("IT") + c;
            } else {
                pending += QStringLiteral(",IT") + c;
                codes << pending;
                pending = empty;
            }
        }
    }
    if (pending.size() > empty.size())
        codes << pending;
    codes << QStringLiteral("@DIGSAV");
    return codes;
}

QStringList singleCodes(const QStringList &commands, int digitThreshold)
{
    QStringList codes;
    for (const QString &s : commands) {
        const bool marked = s.startsWith(QLatin1Char('#')) || s.startsWith(QLatin1Char('@'));
        bool split = false;
        if (s.size() >= 7) {
            const QString word = marked ? s.mid(1, 6) : s.left(6);
            split = word == QLatin1String("DFMSET") || word == QLatin1String("DFMADD");
        }
        if (!split && (digitThreshold < 1 || s.size() < digitThreshold)) {
            codes << QLatin1Char('@') + s;
            continue;
        }
        const QString header = marked ? s.left(7) : QLatin1Char('@') + s.left(6);
        const QString parameter = s.mid(marked ? 7 : 6).toUpper();
        if (parameter.isEmpty())
            continue;
        codes << header;
        codes << digitCodes(parameter);
    }
    return codes;
}

QStringList mergedCodes(const QStringList &commands, int mergeLimit)
{
    QStringList codes;
    QString acc = QStringLiteral("@");
    int counted = 1; // the separators are not counted against the limit
    for (int i = 0; i < commands.size(); ++i) {
        const QString &c = commands.at(i);
        const bool last = i == commands.size() - 1;
        const bool full = mergeLimit < counted + c.size()
            || (!last && mergeLimit < counted + c.size() + commands.at(i + 1).size());
        acc += c + QLatin1Char(';');
        counted += c.size();
        if (last || full) {
            codes << acc;
            acc = QStringLiteral("@");
            counted = 1;
        }
    }
    return codes;
}

} // namespace SettingCodeCommands
