#include "KxXmlFile.h"

#include <QFile>
#include <QFileInfo>

namespace KxXml {

bool readDocument(const QString &path, QDomDocument &doc, const KxIssueSink &sink)
{
    QFileInfo info(path);
    if (!info.exists()) {
        sink.fileError(QStringLiteral("file does not exist"));
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        sink.fileError(QStringLiteral("cannot open for reading: %1").arg(file.errorString()));
        return false;
    }
    return parseBytes(file.readAll(), doc, sink);
}

bool parseBytes(const QByteArray &bytes, QDomDocument &doc, const KxIssueSink &sink)
{
    QString message;
    int line = 0;
    int column = 0;
    if (!doc.setContent(bytes, &message, &line, &column)) {
        sink.fileError(QStringLiteral("not well-formed XML: %1").arg(message), line, column);
        return false;
    }
    if (doc.documentElement().isNull()) {
        sink.fileError(QStringLiteral("no root element"));
        return false;
    }
    return true;
}

void forEachDescendant(const QDomElement &root, const std::function<bool(const QDomElement &)> &fn)
{
    QDomElement e = root.firstChildElement();
    while (!e.isNull()) {
        const bool descend = fn(e);
        QDomElement child = descend ? e.firstChildElement() : QDomElement();
        if (!child.isNull()) {
            e = child;
            continue;
        }
        // Next sibling, climbing back up until one exists or we are back at root.
        QDomElement cur = e;
        e = QDomElement();
        while (!cur.isNull() && cur != root) {
            QDomElement sib = cur.nextSiblingElement();
            if (!sib.isNull()) {
                e = sib;
                break;
            }
            cur = cur.parentNode().toElement();
        }
    }
}

QList<QDomElement> descendants(const QDomElement &root, const QString &tag)
{
    QList<QDomElement> out;
    forEachDescendant(root, [&](const QDomElement &e) {
        if (e.tagName() == tag)
            out.append(e);
        return true;
    });
    return out;
}

int toInt(const QString &text, bool *ok)
{
    bool good = false;
    const int v = text.trimmed().toInt(&good, 10);
    if (ok)
        *ok = good;
    return good ? v : 0;
}

} // namespace KxXml
