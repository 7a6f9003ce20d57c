#include "KxConfigFile.h"

#include <QDomDocument>
#include <QFile>
#include <QSaveFile>
#include <QXmlStreamWriter>

namespace {
const QString kMpcAdd = QStringLiteral("MPCADD");
const QString kCadMri = QStringLiteral("CADMRI");
const QString kLuaQry = QStringLiteral("LUAQRY");
const QString kLuaAdd = QStringLiteral("LUAADD");
const QString kSleep = QStringLiteral("ATLSLP");

bool isDataFormat(const QString &code)
{
    return code == QLatin1String("DFMADD") || code == QLatin1String("DFMQCU");
}

QString stripPrefixes(QString name)
{
    name.remove(QStringLiteral("KXS_"));
    name.remove(QStringLiteral("KXS-"));
    return name;
}
}  // namespace

namespace KxConfigFile {

KxConfigEntries exportEntries(const QStringList &exportList, const ValueLookup &lookup,
                              const QByteArray *savedSleep)
{
    KxConfigEntries plain;
    KxConfigEntries formats;
    QStringList seen;
    for (const QString &code : exportList) {
        if (code == kSleep || seen.contains(code))
            continue;
        seen << code;
        QByteArray value;
        if (!lookup || !lookup(code, value))
            continue;
        if (code == kMpcAdd && value.isEmpty())
            continue;  // no configuration sets: nothing to carry
        const QString name = code == kLuaQry ? kLuaAdd : code;
        (isDataFormat(code) ? formats : plain).append({name, QString::fromUtf8(value)});
    }
    plain += formats;
    if (savedSleep)
        plain.append({kSleep, QString::fromUtf8(*savedSleep)});
    return plain;
}

QByteArray toXml(const QString &deviceType, const KxConfigEntries &entries)
{
    QByteArray out;
    QXmlStreamWriter w(&out);
    w.setAutoFormatting(true);
    w.setAutoFormattingIndent(2);
    w.writeStartDocument(QStringLiteral("1.0"));
    w.writeStartElement(QStringLiteral("Brevan"));
    w.writeAttribute(QStringLiteral("DeviceType"), deviceType);
    for (const KxConfigEntry &e : entries) {
        w.writeEmptyElement(QStringLiteral("Command"));
        w.writeAttribute(QStringLiteral("CommandName"), e.code);
        w.writeAttribute(QStringLiteral("Value"), e.value);
    }
    w.writeEndElement();
    w.writeEndDocument();
    // The stream writer names the encoding in upper case; the file says "utf-8".
    out.replace("encoding=\"UTF-8\"", "encoding=\"utf-8\"");
    return out;
}

bool writeFile(const QString &path, const QByteArray &bytes, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    if (file.write(bytes) != bytes.size()) {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

ParsedFile parse(const QByteArray &bytes)
{
    ParsedFile out;
    QDomDocument doc;
    QString msg;
    int line = 0;
    int column = 0;
    if (!doc.setContent(bytes, &msg, &line, &column)) {
        out.check = Check_Malformed;
        out.error = QStringLiteral("%1 at line %2, column %3").arg(msg).arg(line).arg(column);
        return out;
    }
    const QDomElement root = doc.documentElement();
    if (root.tagName() != QLatin1String("Brevan") && root.tagName() != QLatin1String("Brewan")) {
        out.check = Check_WrongRoot;
        out.error = QStringLiteral("root element %1").arg(root.tagName());
        return out;
    }
    out.check = Check_Ok;
    out.deviceType = root.attribute(QStringLiteral("DeviceType"));
    for (QDomElement e = root.firstChildElement(QStringLiteral("Command")); !e.isNull();
         e = e.nextSiblingElement(QStringLiteral("Command"))) {
        const QString code = e.attribute(QStringLiteral("CommandName"));
        if (code.isEmpty())
            continue;
        out.entries.append({code, e.attribute(QStringLiteral("Value"))});
        if (code == kMpcAdd && !out.specialLabels.contains(QStringLiteral("#IDS_ConfigLib")))
            out.specialLabels << QStringLiteral("#IDS_ConfigLib");
        if (code == kCadMri && !out.specialLabels.contains(QStringLiteral("#IDS_CADMRI")))
            out.specialLabels << QStringLiteral("#IDS_CADMRI");
    }
    return out;
}

ParsedFile readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        ParsedFile out;
        out.check = Check_Unreadable;
        out.error = file.errorString();
        return out;
    }
    return parse(file.readAll());
}

bool sameModel(const QString &fileModel, const QString &readerModel)
{
    return stripPrefixes(fileModel).compare(stripPrefixes(readerModel), Qt::CaseInsensitive) == 0;
}

int checkFile(const QString &path, const QString &readerModel, ParsedFile *out)
{
    ParsedFile parsed = readFile(path);
    int result = parsed.check;
    if (result == Check_Ok && !sameModel(parsed.deviceType, readerModel))
        result = Check_OtherModel;
    if (out)
        *out = parsed;
    return result;
}

QString joinCodes(const QStringList &codes)
{
    QString out;
    for (int i = 0; i < codes.size(); ++i) {
        if (i > 0)
            out += QLatin1Char(',');
        // Entry n (1-based) starts a line for n = 4, 9, 14, ...
        if (i + 1 >= 4 && (i + 1 - 4) % 5 == 0)
            out += QLatin1Char('\n');
        out += codes.at(i);
    }
    return out;
}

}  // namespace KxConfigFile
