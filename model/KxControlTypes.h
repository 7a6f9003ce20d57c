#pragma once
// The control types the page files may name, with the class that implements each and the
// ReturnType an item gets when it gives none. The widget side registers its classes under these
// names; this table lets the model layer (and the virtual reader, which creates no controls)
// know the defaults without linking any widget code.
#include <QList>
#include <QString>

struct KxControlTypeInfo
{
    const char *controlType;
    const char *className;
    const char *defaultReturnType;
};

namespace KxControlTypes {

const QList<KxControlTypeInfo> &standardTypes();
const QList<KxControlTypeInfo> &specialTypes();

// Looks a name up in both tables (exact, case-sensitive).
bool isKnown(const QString &controlType);
QString knownDefaultReturnType(const QString &controlType);
QString className(const QString &controlType);

} // namespace KxControlTypes
