#include "KxModelName.h"

namespace KxModelName {

QString stripPrefixes(const QString &name)
{
    QString s = name;
    s.remove(QStringLiteral("KXS-"), Qt::CaseSensitive);
    s.remove(QStringLiteral("KXS_"), Qt::CaseSensitive);
    return s;
}

QString normalise(const QString &name)
{
    QString s = stripPrefixes(name);
    s.remove(QStringLiteral("KXS"), Qt::CaseSensitive);
    const int dash = s.lastIndexOf(QLatin1Char('-'));
    if (dash >= 0)
        s.truncate(dash);
    return s;
}

} // namespace KxModelName
