#pragma once
// The configuration sets of a virtual reader ("MPCADD"): the command with its default sets, and
// the rule by which a read goes through the enabled sets.
#include "ConfigLibRecord.h"
#include "VrCommandTable.h"

#include <functional>

namespace VrConfigSets {
constexpr int SetCount = 4;
// Models whose pages include this file have configuration sets.
inline QString pageFile() { return QStringLiteral("ConfigLib Settings.xml"); }

// The "MPCADD" command: a setting whose default holds SetCount disabled sets ("Config 1" ...,
// ids 1 to SetCount) with the table's defaults of the per-set codes.
VrCommand command(const VrCommandTable &table, int count = SetCount);

// Takes written records (one, or several joined by "|") into the joined list: each replaces the
// set of its id. All or nothing: false with a reason when a record cannot be read, names no set
// of the list, or holds a code or value the table refuses.
bool merge(const VrCommandTable &table, const QByteArray &joined, const QByteArray &records,
           QByteArray *merged, QString *error);

// The codes a set may hold: the seven imaging codes and the symbology enable codes the table has.
bool isSetCode(const VrCommandTable &table, const QString &code);

// The enabled sets, in id order: the order in which a read tries them.
QList<ConfigLibRecord> enabled(const QByteArray &joined);

// The values a read with this set uses: the set's own values of the per-set codes over the
// running ones; its exposure is a fixed one.
std::function<QByteArray(const QString &)> values(const ConfigLibRecord &set,
                                                 std::function<QByteArray(const QString &)> running);
}  // namespace VrConfigSets
