#pragma once
// The catalogue of formatting commands the editor offers (":/res/xml/dataformattools.xml"):
// classes of commands, each command with its name, description and parameter fields.
#include "KxDataFormat.h"

#include <QList>
#include <QString>

struct KxDataFormatField
{
    QString noteKey;
    KxDataFormatParam param;
};

struct KxDataFormatFunction
{
    QString cmd;
    QString classKey;
    QString nameKey;
    QString descKey;
    QList<KxDataFormatField> fields;
};

namespace KxDataFormatCatalogue {
// Read once; empty (with a log line) when the resource is missing or broken.
const QList<KxDataFormatFunction> &functions();
const KxDataFormatFunction *find(const QString &cmd);
// The parameter text a user typed, as bytes: "[NAME]" stands for a key ("[CR]"), anything else
// is the text's UTF-8. False with nothing set when the entry breaks the field's rule.
bool parseInput(const KxDataFormatField &field, const QString &text, QByteArray *bytes);
// The bytes as the editor shows them, character by character.
QString display(const QByteArray &bytes);
}  // namespace KxDataFormatCatalogue
