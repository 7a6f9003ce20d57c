#pragma once
// User scripts that rewrite decoded data. A script runs once per code with a small API:
//   getData()       the code's data (text)
//   getSymbology()  the symbology's code id ("032")
//   getLength()     the data length in bytes
//   setOutput(text) what the reader sends instead of the data
//   skip()          the code is not sent
//   log(text)       a line in the reader's log
// Runs are sandboxed: no file or system access, bounded time (and memory for Lua); an error
// leaves the code unchanged. docs/scripts.md describes the whole contract.
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace KxScriptValue {
// "%1M%2L%3": 0, the count of hex digits, the script's UTF-8 bytes in upper-case hex.
QString encode(const QString &script);
// The script of a value; false for a value not of that form.
bool decode(const QString &value, QString *script);
}  // namespace KxScriptValue

struct KxScriptOutcome
{
    enum Kind { Unchanged, Output, Skipped, Error };
    Kind kind = Unchanged;
    QByteArray output;  // Output
    QStringList log;
    QString error;      // Error: the message
    int line = 0;       // Error: the script line, when known
};

struct KxScriptLimits
{
    int timeMs = 500;                  // per run, wall time: generous for a loaded machine
    qint64 memoryBytes = 16 * 1024 * 1024;  // Lua only
};

namespace KxScriptRunner {
enum Language { JavaScript, Lua };
// Syntax only: Error with message and line, or Unchanged.
KxScriptOutcome check(Language language, const QString &script);
KxScriptOutcome run(Language language, const QString &script, const QByteArray &data, const QString &codeId,
                    const KxScriptLimits &limits = KxScriptLimits());
// The API's function names, as the reader lists them ("SCRQAA", "LUAQAA").
QStringList apiFunctions();
}  // namespace KxScriptRunner
