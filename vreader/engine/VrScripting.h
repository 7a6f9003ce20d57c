#pragma once
// The reader's user scripts on its results, after data formatting: the JavaScript of "SCRADD"
// while "SCRENA" is "1", the Lua script of "LUAADD" while "LUAENA" is "1". A script that fails
// or runs out of time is logged and the code goes out as it was.
#include "VcResultFrames.h"

#include <QStringList>
#include <functional>

namespace VrScripting {
using Values = std::function<QByteArray(const QString &code)>;
QList<VcResult> apply(const QList<VcResult> &results, const Values &values, QStringList *log);
// "SCRQFN", "SCRQAA", "LUAQAS", "LUAQAA": the script functions the reader offers, "|"-joined.
QByteArray functionList();
}  // namespace VrScripting
