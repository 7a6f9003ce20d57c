#include "KxButtonSet.h"

#include "KxI18nUtil.h"

namespace KxButtonSet
{

QStringList keys(const QString &buttonSet)
{
    QStringList out;
    const QStringList parts = buttonSet.split(QLatin1Char('|'));
    for (int i = 0; i < parts.size(); ++i) {
        const QString part = parts.at(i).trimmed();
        if (part.isEmpty())
            continue;
        if (i == 0 || part.startsWith(QLatin1Char('#')))
            out << part;
        else
            out << QStringLiteral("#IDS_") + part;
    }
    if (out.isEmpty())
        out << QStringLiteral("#IDS_MessageBox_OK");
    return out;
}

QStringList texts(const QString &buttonSet)
{
    QStringList out;
    for (const QString &key : keys(buttonSet))
        out << kxTr(key);
    return out;
}

static QString bareName(const QString &key)
{
    QString name = key;
    for (const char *prefix : {"#IDS_", "#ID_", "#"}) {
        if (name.startsWith(QLatin1String(prefix))) {
            name = name.mid(int(qstrlen(prefix)));
            break;
        }
    }
    return name.toLower();
}

KxButtonRole roleOf(const QString &key, int index, int count)
{
    static const QStringList accept = {"ok",    "messagebox_ok", "confirm",  "save", "apply",
                                       "retry", "restry",        "continue", "sure", "done"};
    static const QStringList reject = {"cancel", "close", "back",
                                       "exit",   "quit",  "messagebox_cancel"};
    static const QStringList no = {"no", "dontsave", "notsave", "discard"};
    const QString name = bareName(key);
    if (name == QLatin1String("yes"))
        return KxButtonRole::Yes;
    if (accept.contains(name))
        return KxButtonRole::Accept;
    if (no.contains(name))
        return KxButtonRole::No;
    if (reject.contains(name))
        return KxButtonRole::Reject;
    if (index == 0)
        return KxButtonRole::Accept;
    if (index == count - 1)
        return KxButtonRole::Reject;
    return KxButtonRole::Action;
}

KxMessageResult resultFor(const QString &buttonSet, int button)
{
    KxMessageResult result;
    const QStringList k = keys(buttonSet);
    if (button < 1 || button > k.size())
        return result;
    result.button = button;
    result.key = k.at(button - 1);
    result.role = roleOf(result.key, button - 1, k.size());
    return result;
}

} // namespace KxButtonSet
