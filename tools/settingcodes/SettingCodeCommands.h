#pragma once
// The texts of setting codes: which commands a changed setting becomes, how long parameters are
// spelled out in digit codes, and how commands are merged into two-dimensional codes.
#include <QStringList>

namespace SettingCodeCommands {
// Appends the commands of one changed setting: lists split at "|"; a data format list is
// preceded by "DFMCAL", which clears the reader's list first.
void addCommand(QStringList *commands, const QString &name, const QString &value);

// One code per command for linear symbols. A command at least `digitThreshold` long (and every
// data format command) becomes its header followed by digit codes; a threshold below 1 turns
// digit codes off.
QStringList singleCodes(const QStringList &commands, int digitThreshold);
// The digit codes of one parameter: two characters per code, "|" as "@DIGIVB", ending "@DIGSAV".
QStringList digitCodes(const QString &parameter);
// Commands joined with ";" into codes of at most `mergeLimit` characters (the separators not
// counted); a longer command still gets a code of its own.
QStringList mergedCodes(const QStringList &commands, int mergeLimit = 512);
} // namespace SettingCodeCommands
