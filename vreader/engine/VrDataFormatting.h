#pragma once
// The reader's data formatting on its results: the rules of "DFMADD" applied to every code
// while "DFMENA" is on ("1": rules that match rewrite the data, "2": a code no rule formats is
// not sent).
#include "VcResultFrames.h"

#include <QStringList>
#include <functional>

namespace VrDataFormatting {
using Values = std::function<QByteArray(const QString &code)>;
QList<VcResult> apply(const QList<VcResult> &results, const Values &values, QStringList *log);
}  // namespace VrDataFormatting
