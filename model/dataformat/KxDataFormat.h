#pragma once
// Data format rules and the engine that applies them to decoded data.
//
// A rule belongs to a format number, applies to one symbology ("999": all) and one data length
// (9999: any), and holds a command text: two-character command codes, each followed by its
// parameters. docs/data-formatting.md describes every command and the parameter encoding.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace KxDataFormatText {
constexpr int kAnyLength = 9999;
extern const char *const kAllSymbologies;  // "999"
}  // namespace KxDataFormatText

struct KxDataFormatRule
{
    int format = -1;
    QString symbology = QStringLiteral("999");
    int length = KxDataFormatText::kAnyLength;
    QString commands;

    // "%1%2%3%4%5": format, 6999, symbology, length in four digits, commands; empty for a
    // rule without a format number or without commands.
    QString serialize() const;
    // The inverse for a rule of a known format number; false when text is not such a rule.
    static bool parse(int format, const QString &text, KxDataFormatRule *rule);
    bool operator==(const KxDataFormatRule &o) const
    {
        return format == o.format && symbology == o.symbology && length == o.length && commands == o.commands;
    }
};

namespace KxDataFormatList {
// The reader's value: one "%1:%2;\r\n" line per rule, in order.
QString serialize(const QList<KxDataFormatRule> &rules);
// Lines that are not rules are skipped and reported in bad (when given).
QList<KxDataFormatRule> parse(const QString &value, QStringList *bad = nullptr);
}  // namespace KxDataFormatList

// One parameter of a command as the catalogue describes it.
struct KxDataFormatParam
{
    enum Type { Char, Num, Key };
    Type type = Char;
    int length = 1;  // maximum characters (for numbers: digits)
    int max = 0;     // numbers only
};

// One command of a command text with its decoded parameters (numbers as decimal text,
// characters as their bytes, keys as the key's byte).
struct KxDataFormatCommand
{
    QString code;  // "F1"
    QList<QByteArray> params;
};

namespace KxDataFormatCommands {
// The parameters every known command takes; empty code list for an unknown code.
bool known(const QString &code);
QList<KxDataFormatParam> params(const QString &code);
QStringList codes();
// Encodes one command with its parameters; false with a reason when a parameter does not fit.
bool encode(const KxDataFormatCommand &command, QString *text, QString *error = nullptr);
// Splits a command text; false with the offending position when it is malformed.
bool decode(const QString &text, QList<KxDataFormatCommand> *commands, QString *error = nullptr);
// Key names of "KEY" parameters and the bytes they stand for.
QStringList keyNames();
int keyByte(const QString &name);       // -1 when unknown
QString keyName(int byte);              // empty when the byte is no key
// How the editor shows one character: printable as itself, above 127 as "0x" + hex, others
// as "[NAME]".
QString displayChar(uchar c);
}  // namespace KxDataFormatCommands

// What applying the rules to one result gave.
struct KxDataFormatOutcome
{
    enum Kind {
        NoRule,     // no rule matched symbology and length: data unchanged
        Formatted,  // a rule ran to its end: output holds the new data
        Discarded,  // a rule told the reader not to send the result
        Failed      // every matching rule failed (a search or comparison did not hold)
    };
    Kind kind = NoRule;
    QByteArray output;
    KxDataFormatRule rule;  // the rule that ran (Formatted, Discarded)
    int delayMs = 0;        // delays the rule asks for before sending
    QString error;          // why the last matching rule failed
};

namespace KxDataFormatEngine {
// Applies the first rule, in list order, whose symbology and length match and whose commands
// run without failing.
KxDataFormatOutcome apply(const QList<KxDataFormatRule> &rules, const QByteArray &data,
                          const QString &codeId);
// Runs one command text on data, ignoring symbology and length (the editor's preview).
KxDataFormatOutcome run(const QString &commands, const QByteArray &data, const QString &codeId);
}  // namespace KxDataFormatEngine
