#pragma once
// Per-symbology settings of the symbology pages applied to what the decoder found: the length
// range ("<XXX>LEN", "min|max") drops codes outside it, and "<XXX>TCK" "0" leaves out the
// check digit of the symbologies that carry one. XXX is the symbology's prefix, the first three
// characters of its enable code ("C28" of "C28ENA").
#include "VcResultFrames.h"

#include <QStringList>
#include <functional>

namespace VrSymbologySettings {
using Values = std::function<QByteArray(const QString &code)>;
QList<VcResult> apply(const QList<VcResult> &results, const Values &values, QStringList *log);
}  // namespace VrSymbologySettings
