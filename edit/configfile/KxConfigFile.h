#pragma once
// The configuration file of a reader: an XML document with one "Command" element per exported
// setting. Pure functions over plain data: building the entries from a value lookup, writing
// and parsing the document, and the checks made before an import.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

struct KxConfigEntry
{
    QString code;   // "CommandName"
    QString value;  // "Value"
    bool operator==(const KxConfigEntry &o) const { return code == o.code && value == o.value; }
};
using KxConfigEntries = QVector<KxConfigEntry>;

namespace KxConfigFile {

// Results of the import check.
enum CheckResult {
    Check_Ok = 0,
    Check_Unreadable = 1,  // cannot be opened for reading as text
    Check_Malformed = 2,   // not well-formed XML
    Check_WrongRoot = 3,   // root neither "Brevan" nor "Brewan"
    Check_OtherModel = 4,  // made for another model
};

inline QString fileFilter() { return QStringLiteral("Brevan Files (*.xml)"); }

// The value of a code as the reader holds it; false when the reader has none.
using ValueLookup = std::function<bool(const QString &code, QByteArray &value)>;

// The entries of an export, in the order of exportList: plain commands first, then "DFMADD" and
// "DFMQCU", then the saved auto-sleep value ("ATLSLP") when savedSleep is given. "LUAQRY" is
// written as "LUAADD"; "MPCADD" only when it holds at least one set. Codes the reader lacks are
// left out.
KxConfigEntries exportEntries(const QStringList &exportList, const ValueLookup &lookup,
                              const QByteArray *savedSleep = nullptr);

// The document: UTF-8, two-space indentation, root "Brevan" with "DeviceType".
QByteArray toXml(const QString &deviceType, const KxConfigEntries &entries);

// Writes all or nothing: a failed write leaves an existing file as it was.
bool writeFile(const QString &path, const QByteArray &bytes, QString *error = nullptr);

struct ParsedFile
{
    int check = Check_Unreadable;  // Check_Ok, Check_Malformed or Check_WrongRoot (parse);
                                   // readFile adds Check_Unreadable
    QString deviceType;
    KxConfigEntries entries;       // "Command" elements with a command name, in file order
    QStringList specialLabels;     // text keys of special contents ("#IDS_ConfigLib", ...)
    QString error;                 // what was wrong, for the log
};
ParsedFile parse(const QByteArray &bytes);
ParsedFile readFile(const QString &path);

// Model names compared for an import: "KXS_" and "KXS-" are removed (exact case) from both,
// then compared ignoring case.
bool sameModel(const QString &fileModel, const QString &readerModel);

// The import check of a file against a reader model; out receives the parsed file.
int checkFile(const QString &path, const QString &readerModel, ParsedFile *out = nullptr);

// A list of codes for a message: joined by ",", a line break before the 4th entry and then
// before every fifth entry after it (the 9th, the 14th, ...).
QString joinCodes(const QStringList &codes);

}  // namespace KxConfigFile
