#include "KxModelFiles.h"

#include "KxModelName.h"
#include "KxXmlFile.h"

#include <QRegularExpression>

namespace KxModelFiles {

namespace {

bool openRoot(const QString &path, const QString &rootName, QDomDocument &doc,
              const KxIssueSink &sink)
{
    if (!KxXml::readDocument(path, doc, sink))
        return false;
    const QDomElement root = doc.documentElement();
    if (root.tagName() != rootName) {
        sink.error(root, QStringLiteral("root element must be %1").arg(rootName));
        return false;
    }
    return true;
}

// The "id" of every Cmd child; elements without one are skipped with a warning.
QStringList cmdIds(const QDomElement &list, const KxIssueSink &sink)
{
    QStringList ids;
    for (QDomElement c = list.firstChildElement(QStringLiteral("Cmd")); !c.isNull();
         c = c.nextSiblingElement(QStringLiteral("Cmd"))) {
        const QString id = c.attribute(QStringLiteral("id")).trimmed();
        if (id.isEmpty()) {
            sink.warning(c, QStringLiteral("Cmd without id; skipped"));
            continue;
        }
        ids.append(id);
    }
    return ids;
}

QList<KxCmdList> cmdLists(const QDomElement &list, bool removeBlanks, const KxIssueSink &sink)
{
    QList<KxCmdList> out;
    for (QDomElement c = list.firstChildElement(QStringLiteral("Cmd")); !c.isNull();
         c = c.nextSiblingElement(QStringLiteral("Cmd"))) {
        KxCmdList entry;
        entry.id = c.attribute(QStringLiteral("id")).trimmed();
        if (entry.id.isEmpty()) {
            sink.warning(c, QStringLiteral("Cmd without id; skipped"));
            continue;
        }
        QString text = c.text();
        if (removeBlanks)
            text.remove(QRegularExpression(QStringLiteral("\\s")));
        for (const QString &p : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            if (!p.trimmed().isEmpty())
                entry.cmds.append(p.trimmed());
        }
        out.append(entry);
    }
    return out;
}

int intAttribute(const QDomElement &e, const QString &name, const KxIssueSink &sink)
{
    if (!e.hasAttribute(name))
        return 0;
    bool ok = false;
    const int v = KxXml::toInt(e.attribute(name), &ok);
    if (!ok)
        sink.warning(e, QStringLiteral("%1=\"%2\" is not a decimal integer; read as 0")
                            .arg(name, e.attribute(name)));
    return v;
}

KxUiTool readTool(const QDomElement &e)
{
    KxUiTool t;
    t.tag = e.tagName();
    t.id = e.attribute(QStringLiteral("id"));
    t.text = e.attribute(QStringLiteral("text"));
    t.icon = e.attribute(QStringLiteral("icon"));
    t.property = e.attribute(QStringLiteral("property"));
    for (QDomElement c = e.firstChildElement(); !c.isNull(); c = c.nextSiblingElement())
        t.entries.append(readTool(c));
    return t;
}

} // namespace

bool readDevices(const QString &path, const QString &offlineDir, const QString &language,
                 KxDevicesData &out, KxDescriptionIssues *issues)
{
    const KxIssueSink sink(issues, path);
    QDomDocument doc;
    if (!openRoot(path, QStringLiteral("Devices"), doc, sink))
        return false;
    const QDomElement root = doc.documentElement();
    out = KxDevicesData();
    out.type = intAttribute(root, QStringLiteral("Type"), sink);
    out.filter = root.attribute(QStringLiteral("Filter")) != QLatin1String("0");

    for (QDomElement cat = root.firstChildElement(QStringLiteral("Category")); !cat.isNull();
         cat = cat.nextSiblingElement(QStringLiteral("Category"))) {
        const QString catId = cat.attribute(QStringLiteral("id"));
        if (catId.isEmpty()) {
            sink.warning(cat, QStringLiteral("Category without id; skipped"));
            continue;
        }
        QMap<QString, KxDeviceConfig> &devices = out.categories[catId];
        for (QDomElement d = cat.firstChildElement(QStringLiteral("Device")); !d.isNull();
             d = d.nextSiblingElement(QStringLiteral("Device"))) {
            KxDeviceConfig entry;
            entry.id = d.attribute(QStringLiteral("id"));
            if (entry.id.isEmpty()) {
                sink.warning(d, QStringLiteral("Device without id; skipped"));
                continue;
            }
            const QString lang = d.attribute(QStringLiteral("lang"));
            if (!lang.isEmpty()) {
                bool listed = false;
                for (const QString &l : lang.split(QLatin1Char('|'), Qt::SkipEmptyParts))
                    listed = listed || l.trimmed().compare(language, Qt::CaseInsensitive) == 0;
                if (!listed)
                    continue;
            }
            entry.name = d.attribute(QStringLiteral("name"));
            entry.icon = d.attribute(QStringLiteral("icon"));
            entry.cmpkey = d.attribute(QStringLiteral("cmpkey"));
            const QString xml = d.attribute(QStringLiteral("xml"));
            if (!xml.isEmpty())
                entry.offlineXml = offlineDir + QLatin1Char('/') + xml;
            entry.hide = d.attribute(QStringLiteral("hide")) == QLatin1String("1");
            entry.set = d.attribute(QStringLiteral("set"));
            if (entry.set.isEmpty())
                entry.set = QStringLiteral("SETUPE");
            entry.category = catId;
            entry.key = KxModelName::normalise(entry.id);
            if (entry.key.isEmpty()) {
                sink.warning(d, QStringLiteral("Device id \"%1\" normalises to nothing; skipped")
                                    .arg(entry.id));
                continue;
            }
            if (devices.contains(entry.key))
                sink.warning(d, QStringLiteral("Device \"%1\" replaces \"%2\" under key %3")
                                    .arg(entry.id, devices.value(entry.key).id, entry.key));
            devices.insert(entry.key, entry);
        }
    }
    return true;
}

bool readSymbologies(const QString &path, QList<KxSymbology> &out, KxDescriptionIssues *issues)
{
    const KxIssueSink sink(issues, path);
    QDomDocument doc;
    if (!openRoot(path, QStringLiteral("setting"), doc, sink))
        return false;
    out.clear();
    const QDomElement list = doc.documentElement().firstChildElement(QStringLiteral("Symbologies"));
    if (list.isNull())
        sink.warning(doc.documentElement(), QStringLiteral("no Symbologies element"));
    for (QDomElement n = list.firstChildElement(QStringLiteral("node")); !n.isNull();
         n = n.nextSiblingElement(QStringLiteral("node"))) {
        KxSymbology s;
        s.name = n.attribute(QStringLiteral("name"));
        s.value = n.attribute(QStringLiteral("value"));
        s.type = intAttribute(n, QStringLiteral("type"), sink);
        out.append(s);
    }
    return true;
}

bool readEvents(const QString &path, QHash<QString, KxEventTriggers> &out,
                KxDescriptionIssues *issues)
{
    const KxIssueSink sink(issues, path);
    QDomDocument doc;
    if (!openRoot(path, QStringLiteral("Event"), doc, sink))
        return false;
    out.clear();
    for (QDomElement c = doc.documentElement().firstChildElement(QStringLiteral("Command"));
         !c.isNull(); c = c.nextSiblingElement(QStringLiteral("Command"))) {
        const QStringList codes =
            c.attribute(QStringLiteral("Id")).split(QLatin1Char(','), Qt::SkipEmptyParts);
        if (codes.isEmpty()) {
            sink.warning(c, QStringLiteral("Command without Id; skipped"));
            continue;
        }
        KxEventTriggers list;
        const QDomElement triggers = c.firstChildElement(QStringLiteral("Triggers"));
        if (triggers.isNull())
            sink.warning(c, QStringLiteral("Command without Triggers"));
        list.flag = intAttribute(triggers, QStringLiteral("Flag"), sink);
        for (QDomElement t = triggers.firstChildElement(QStringLiteral("Trigger")); !t.isNull();
             t = t.nextSiblingElement(QStringLiteral("Trigger"))) {
            KxEventTrigger et;
            et.item = t.text().trimmed();
            et.link = t.attribute(QStringLiteral("Link"));
            et.flag = intAttribute(t, QStringLiteral("Flag"), sink);
            if (et.item.isEmpty()) {
                sink.warning(t, QStringLiteral("Trigger without text; skipped"));
                continue;
            }
            list.triggers.append(et);
        }
        for (const QString &code : codes) {
            if (!code.trimmed().isEmpty())
                out.insert(code.trimmed(), list);
        }
    }
    return true;
}

bool readRefs(const QString &path, KxRefsData &out, KxDescriptionIssues *issues)
{
    const KxIssueSink sink(issues, path);
    QDomDocument doc;
    if (!openRoot(path, QStringLiteral("Command"), doc, sink))
        return false;
    out = KxRefsData();
    for (QDomElement e = doc.documentElement().firstChildElement(); !e.isNull();
         e = e.nextSiblingElement()) {
        const QString tag = e.tagName();
        if (tag == QLatin1String("Refs")) {
            for (QDomElement r = e.firstChildElement(QStringLiteral("Ref")); !r.isNull();
                 r = r.nextSiblingElement(QStringLiteral("Ref"))) {
                const QString id = r.attribute(QStringLiteral("id"));
                const QString text = r.text();
                if (id.isEmpty() || text.isEmpty()) {
                    sink.warning(r, QStringLiteral("Ref needs both id and text; skipped"));
                    continue;
                }
                out.refs.insert(id, text);
            }
        } else if (tag == QLatin1String("EndCmds")) {
            out.endCmds += cmdIds(e, sink);
        } else if (tag == QLatin1String("SyncCmds")) {
            out.syncCmds += cmdIds(e, sink);
        } else if (tag == QLatin1String("SyncExtendData")) {
            out.syncExtendData += cmdIds(e, sink);
        } else if (tag == QLatin1String("GetLenCmds")) {
            out.getLenCmds += cmdLists(e, false, sink);
        } else if (tag == QLatin1String("RestrictExportCmds")) {
            out.restrictExportCmds += cmdIds(e, sink);
        } else if (tag == QLatin1String("ResizeCmds")) {
            out.resizeCmds += cmdIds(e, sink);
        } else if (tag == QLatin1String("Script")) {
            out.scripts += cmdLists(e, true, sink);
        } else {
            sink.warning(e, QStringLiteral("unknown list %1; ignored").arg(tag));
        }
    }
    return true;
}

bool readUiLayout(const QString &path, QList<KxUiTool> &out, KxDescriptionIssues *issues)
{
    const KxIssueSink sink(issues, path);
    QDomDocument doc;
    if (!openRoot(path, QStringLiteral("Layout"), doc, sink))
        return false;
    out.clear();
    for (QDomElement t = doc.documentElement().firstChildElement(QStringLiteral("Tool"));
         !t.isNull(); t = t.nextSiblingElement(QStringLiteral("Tool"))) {
        if (t.attribute(QStringLiteral("id")).isEmpty()) {
            sink.warning(t, QStringLiteral("Tool without id; skipped"));
            continue;
        }
        out.append(readTool(t));
    }
    return true;
}

bool readUrfhp(const QString &path, QMap<QString, QList<double>> &out,
               KxDescriptionIssues *issues)
{
    const KxIssueSink sink(issues, path);
    QDomDocument doc;
    if (!openRoot(path, QStringLiteral("Frequency"), doc, sink))
        return false;
    out.clear();
    for (QDomElement e = doc.documentElement().firstChildElement(); !e.isNull();
         e = e.nextSiblingElement()) {
        QList<double> values;
        const QStringList parts =
            e.attribute(QStringLiteral("value")).split(QLatin1Char(','), Qt::SkipEmptyParts);
        for (const QString &p : parts) {
            bool ok = false;
            const double v = p.trimmed().toDouble(&ok);
            if (ok)
                values.append(v);
            else
                sink.warning(e, QStringLiteral("\"%1\" is not a number; skipped").arg(p));
        }
        out.insert(e.tagName(), values);
    }
    return true;
}

bool readExportable(const QString &pagePath, KxDescriptionIssues *issues)
{
    const KxIssueSink sink(issues, pagePath);
    QDomDocument doc;
    if (!KxXml::readDocument(pagePath, doc, sink))
        return true;
    const QString v = doc.documentElement().attribute(QStringLiteral("Exportable")).trimmed();
    return v != QLatin1String("0") && v.compare(QLatin1String("false"), Qt::CaseInsensitive) != 0;
}

} // namespace KxModelFiles
