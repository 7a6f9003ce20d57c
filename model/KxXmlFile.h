#pragma once
// Opens and parses one XML description file, reporting a missing file, a read failure or a
// syntax error (with line and column) to the issue sink.
#include "KxDescriptionIssue.h"

#include <QDomDocument>
#include <QDomElement>
#include <functional>

namespace KxXml {

// False (with an issue) when the file is missing, unreadable or not well-formed.
bool readDocument(const QString &path, QDomDocument &doc, const KxIssueSink &sink);
bool parseBytes(const QByteArray &bytes, QDomDocument &doc, const KxIssueSink &sink);

// Visits every element below `root` (not root itself) in document order, without recursion.
// The visitor returns false to skip the element's own descendants.
void forEachDescendant(const QDomElement &root, const std::function<bool(const QDomElement &)> &fn);

// Every descendant element named `tag`, in document order (nested matches included).
QList<QDomElement> descendants(const QDomElement &root, const QString &tag);

// Decimal integer; `ok` false (and 0) for anything else.
int toInt(const QString &text, bool *ok);

} // namespace KxXml
