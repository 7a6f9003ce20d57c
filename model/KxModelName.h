#pragma once
// Reader model names arrive in several spellings ("KXS-AB12-XY", "KXS_AB12", "AB12-01"); every
// comparison of model names goes through these two functions.
#include <QString>

namespace KxModelName {

// Removes every "KXS-", then every "KXS_" (case-sensitive).
QString stripPrefixes(const QString &name);

// stripPrefixes, then every remaining "KXS", then cuts at the last "-" when there is one.
QString normalise(const QString &name);

} // namespace KxModelName
