#pragma once
// Button-set keys of message boxes, such as "#IDS_OK|Cancel" or "#IDS_Yes|No|Cancel".
#include "KxUiTypes.h"

#include <QString>
#include <QStringList>

namespace KxButtonSet
{

// Splits a set on "|": the first part is used as it stands, later parts get "#IDS_" prepended
// unless they already start with '#'. Parts are trimmed and empty parts dropped, so "#IDS_OK|"
// is one button. An empty set gives the single button "#IDS_MessageBox_OK".
QStringList keys(const QString &buttonSet);

// The translated texts of keys(buttonSet), in order.
QStringList texts(const QString &buttonSet);

// The meaning of a button key: OK-like keys accept, "Yes" is Yes, "No"/"DontSave" are No,
// Cancel/Close/Back/Exit reject. Unknown keys fall back on position: the first of several
// buttons accepts, the last rejects, those between are actions; a lone button accepts.
KxButtonRole roleOf(const QString &key, int index, int count);

// The result for the 1-based button number of a set (0 or out of range: closed, Reject).
KxMessageResult resultFor(const QString &buttonSet, int button);

} // namespace KxButtonSet
