#pragma once
// The command-line form of setting codes: an exported configuration file in, an A4 PDF of its
// setting codes out (brevan --setting-codes FILE --encode qr --out codes.pdf).
#include <QString>

namespace SettingCodePrinter {
// Returns 0 on success; otherwise a non-zero code with `message` saying what went wrong.
// `encode` is one of "1d", "code128", "pdf417", "qr", "dm", "dmp"; empty means "qr".
int print(const QString &configFile, const QString &encode, const QString &outFile,
          QString *message);
} // namespace SettingCodePrinter
