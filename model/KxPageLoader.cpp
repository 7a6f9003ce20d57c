#include "KxPageLoader.h"

#include "KxControlCreator.h"
#include "KxI18nUtil.h"
#include "KxOptionList.h"
#include "KxXmlFile.h"

namespace {

class PageReader
{
public:
    explicit PageReader(const KxIssueSink &sink) : m_sink(sink) {}

    std::unique_ptr<KxPagesInfo> read(const QDomDocument &doc, const QStringList &pageIds);

private:
    KxPageInfo *readPage(const QDomElement &e);
    KxGroupInfo *readGroup(const QDomElement &e);
    KxItemInfo *readItem(const QDomElement &e);
    QVariantList readStringList(const QDomElement &e);
    void readTriggersElement(const QDomElement &e, KxTriggerSet &set);
    void readTriggersAttribute(const QDomElement &owner, const QString &text, KxTriggerSet &set);
    int readInt(const QDomElement &owner, const QString &attr, const QString &text);

    const KxIssueSink &m_sink;
};

std::unique_ptr<KxPagesInfo> PageReader::read(const QDomDocument &doc, const QStringList &pageIds)
{
    kxRegisterDescriptionTypes();
    auto root = std::make_unique<KxPagesInfo>();
    const QDomElement top = doc.documentElement();
    root->method = top.attribute(QStringLiteral("Method"));

    // Pages elements anywhere (the root itself included); Page elements at any depth inside
    // them. Only outermost Pages elements are walked: a nested one holds nothing the outer walk
    // has not already read, and reading a page twice would show it twice.
    QList<QDomElement> pagesElements;
    if (top.tagName() == QLatin1String("Pages")) {
        pagesElements.append(top);
    } else {
        KxXml::forEachDescendant(top, [&](const QDomElement &e) {
            if (e.tagName() != QLatin1String("Pages"))
                return true;
            pagesElements.append(e);
            return false;
        });
    }
    if (pagesElements.isEmpty())
        m_sink.warning(top, QStringLiteral("no Pages element; the file describes no page"));

    QList<QDomElement> pageElements;
    for (const QDomElement &pe : pagesElements)
        pageElements += KxXml::descendants(pe, QStringLiteral("Page"));
    for (const QDomElement &p : pageElements) {
        const QString id = p.attribute(QStringLiteral("Id"));
        if (!pageIds.isEmpty() && !pageIds.contains(id))
            continue;
        root->pages.append(readPage(p));
    }

    for (const QDomElement &b : KxXml::descendants(top, QStringLiteral("Buttons"))) {
        const QString text = b.text();
        if (!text.isEmpty())
            root->buttons = text.split(QLatin1Char('|'), Qt::KeepEmptyParts);
    }
    if (top.tagName() == QLatin1String("Buttons") && !top.text().isEmpty())
        root->buttons = top.text().split(QLatin1Char('|'), Qt::KeepEmptyParts);
    return root;
}

KxPageInfo *PageReader::readPage(const QDomElement &e)
{
    auto *page = new KxPageInfo;
    const QDomNamedNodeMap attrs = e.attributes();
    for (int i = 0; i < attrs.count(); ++i) {
        const QDomAttr a = attrs.item(i).toAttr();
        const QString name = a.name();
        if (name == QLatin1String("Id"))
            page->id = a.value();
        else if (name == QLatin1String("DisplayName"))
            page->displayName = a.value();
        else if (name == QLatin1String("StyleSheet"))
            page->styleSheet = a.value();
        else if (name == QLatin1String("UserData"))
            page->userData = a.value();
        else
            page->attributes.insert(name, a.value());
    }
    if (page->id.isEmpty())
        m_sink.warning(e, QStringLiteral("page without Id"));
    for (const QDomElement &g : KxXml::descendants(e, QStringLiteral("Group")))
        page->groups.append(readGroup(g));
    return page;
}

int PageReader::readInt(const QDomElement &owner, const QString &attr, const QString &text)
{
    bool ok = false;
    const int v = KxXml::toInt(text, &ok);
    if (!ok)
        m_sink.warning(owner, QStringLiteral("%1=\"%2\" is not a decimal integer; read as 0")
                                  .arg(attr, text));
    return v;
}

void PageReader::readTriggersAttribute(const QDomElement &owner, const QString &text,
                                       KxTriggerSet &set)
{
    QStringList dropped;
    const KxTriggerGroup group = KxTriggerParser::parseAttribute(text, &dropped);
    for (const QString &d : dropped)
        m_sink.warning(owner, QStringLiteral("trigger condition \"%1\" has no link or no '='; "
                                             "dropped").arg(d));
    if (!group.triggers.isEmpty())
        set.addGroup(group);
}

void PageReader::readTriggersElement(const QDomElement &e, KxTriggerSet &set)
{
    for (const QDomElement &t : KxXml::descendants(e, QStringLiteral("Trigger"))) {
        KxTrigger trigger;
        trigger.link = t.attribute(QStringLiteral("Link"));
        trigger.value = t.text();
        if (t.hasAttribute(QStringLiteral("Flag")))
            trigger.flag = readInt(t, QStringLiteral("Flag"), t.attribute(QStringLiteral("Flag")));
        if (trigger.link.isEmpty())
            m_sink.warning(t, QStringLiteral("trigger without Link"));
        KxTriggerGroup group;
        group.triggers.append(trigger);
        set.addGroup(group);
    }
}

KxGroupInfo *PageReader::readGroup(const QDomElement &e)
{
    auto *group = new KxGroupInfo;
    const QDomNamedNodeMap attrs = e.attributes();
    for (int i = 0; i < attrs.count(); ++i) {
        const QDomAttr a = attrs.item(i).toAttr();
        const QString name = a.name();
        const QString v = a.value();
        if (name == QLatin1String("Id"))
            group->id = v;
        else if (name == QLatin1String("DisplayName"))
            group->displayName = v;
        else if (name == QLatin1String("Visible"))
            group->visible = v != QLatin1String("0");
        else if (name == QLatin1String("ShowLevel"))
            group->showLevel = readInt(e, name, v);
        else if (name == QLatin1String("Expand")) {
            group->expanded = v == QLatin1String("1");
            group->expandGiven = true;
        } else if (name == QLatin1String("Layout"))
            group->layout = v;
        else if (name == QLatin1String("StyleSheet"))
            group->styleSheet = v;
        else if (name == QLatin1String("Triggers"))
            readTriggersAttribute(e, v, group->triggers);
        else if (name == QLatin1String("UserData"))
            group->userData = v;
        else if (name == QLatin1String("SubPropertyWidget"))
            group->subPropertyWidget = v == QLatin1String("true");
        else
            group->attributes.insert(name, v);
    }
    for (QDomElement c = e.firstChildElement(); !c.isNull(); c = c.nextSiblingElement()) {
        const QString tag = c.tagName();
        if (tag == QLatin1String("Item")) {
            if (KxItemInfo *item = readItem(c))
                group->items.append(item);
        } else if (tag == QLatin1String("Triggers")) {
            readTriggersElement(c, group->triggers);
        } else {
            group->children.insert(tag, c.text());
        }
    }
    return group;
}

QVariantList PageReader::readStringList(const QDomElement &e)
{
    QVariantList list;
    for (const QDomElement &s : KxXml::descendants(e, QStringLiteral("String"))) {
        const QString key = s.attribute(QStringLiteral("UserData"));
        if (key.isEmpty()) {
            m_sink.warning(s, QStringLiteral("String without UserData; skipped"));
            continue;
        }
        KxFeatureInfo f;
        f.key = key;
        f.text = KxI18nUtil::instance()->translate(s.text());
        list.append(QVariant::fromValue(f));
    }
    return list;
}

KxItemInfo *PageReader::readItem(const QDomElement &e)
{
    const QString controlType = e.attribute(QStringLiteral("ControlType"));
    if (controlType.isEmpty()) {
        m_sink.warning(e, QStringLiteral("Item \"%1\" without ControlType; left out")
                              .arg(e.attribute(QStringLiteral("Id"))));
        return nullptr;
    }
    auto *item = new KxItemInfo;
    const QDomNamedNodeMap attrs = e.attributes();
    for (int i = 0; i < attrs.count(); ++i) {
        const QDomAttr a = attrs.item(i).toAttr();
        const QString name = a.name();
        const QString v = a.value();
        if (name == QLatin1String("Id"))
            item->id = v;
        else if (name == QLatin1String("DisplayName"))
            item->displayName = v;
        else if (name == QLatin1String("ControlType"))
            item->controlType = v;
        else if (name == QLatin1String("ReturnType"))
            item->returnType = v;
        else if (name == QLatin1String("StringList")) {
            item->stringList = v;
            QStringList problems;
            KxOptionList::parseInline(v, &problems);
            for (const QString &p : problems)
                m_sink.warning(e, QStringLiteral("StringList: %1").arg(p));
        } else if (name == QLatin1String("StringListHide"))
            item->stringListHide = v;
        else if (name == QLatin1String("Limit")) {
            item->limit = v;
            QStringList problems;
            KxLimit::parse(v, &problems);
            for (const QString &p : problems)
                m_sink.warning(e, QStringLiteral("Limit: %1").arg(p));
        } else if (name == QLatin1String("Default")) {
            item->defaultValue = v;
            item->value = v;
        } else if (name == QLatin1String("Flags"))
            item->flags = v;
        else if (name == QLatin1String("ToolTip"))
            item->toolTip = v;
        else if (name == QLatin1String("Triggers"))
            readTriggersAttribute(e, v, item->triggers);
        else if (name == QLatin1String("UserData"))
            item->userData = v;
        else if (name == QLatin1String("Visible"))
            item->visible = v != QLatin1String("0");
        else if (name == QLatin1String("ShowLevel"))
            item->showLevel = readInt(e, name, v);
        else if (name == QLatin1String("Reboot")) {
            item->reboot = readInt(e, name, v);
            item->attributes.insert(name, v);
        } else
            item->attributes.insert(name, v);
    }
    if (item->id.isEmpty())
        m_sink.warning(e, QStringLiteral("Item of type %1 without Id").arg(controlType));
    if (item->returnType.isEmpty())
        item->returnType = KxControlCreator::instance()->effectiveDefaultReturnType(controlType);

    for (QDomElement c = e.firstChildElement(); !c.isNull(); c = c.nextSiblingElement()) {
        const QString tag = c.tagName();
        if (tag == QLatin1String("StringList")) {
            item->children.insert(tag, readStringList(c));
        } else if (tag == QLatin1String("Triggers")) {
            readTriggersElement(c, item->triggers);
        } else {
            QVariantList params;
            for (const QDomElement &p : KxXml::descendants(c, QStringLiteral("Param"))) {
                const QString id = p.attribute(QStringLiteral("Id"));
                if (id.isEmpty())
                    continue;
                KxFeatureInfo f;
                f.key = id;
                f.text = p.text();
                params.append(QVariant::fromValue(f));
            }
            if (params.isEmpty())
                item->children.insert(tag, c.text());
            else
                item->children.insert(tag, params);
        }
    }
    return item;
}

} // namespace

namespace KxPageLoader {

std::unique_ptr<KxPagesInfo> loadPagesFromBytes(const QByteArray &bytes, const QString &fileName,
                                                const QStringList &pageIds,
                                                KxDescriptionIssues *issues)
{
    const KxIssueSink sink(issues, fileName);
    QDomDocument doc;
    if (!KxXml::parseBytes(bytes, doc, sink))
        return nullptr;
    PageReader reader(sink);
    return reader.read(doc, pageIds);
}

std::unique_ptr<KxPagesInfo> loadPages(const QString &path, const QStringList &pageIds,
                                       KxDescriptionIssues *issues)
{
    const KxIssueSink sink(issues, path);
    QDomDocument doc;
    if (!KxXml::readDocument(path, doc, sink))
        return nullptr;
    PageReader reader(sink);
    return reader.read(doc, pageIds);
}

std::vector<KxPageListEntry> loadPageList(const QString &path, KxDescriptionIssues *issues)
{
    std::vector<KxPageListEntry> out;
    std::unique_ptr<KxPagesInfo> all = loadPages(path, QStringList(), issues);
    if (!all)
        return out;
    // Hand each page over to a root of its own.
    const QList<KxPageInfo *> pages = all->pages;
    all->pages.clear();
    for (KxPageInfo *p : pages) {
        KxPageListEntry entry;
        entry.pageId = p->id;
        entry.pages = std::make_unique<KxPagesInfo>();
        entry.pages->pages.append(p);
        out.push_back(std::move(entry));
    }
    return out;
}

} // namespace KxPageLoader
