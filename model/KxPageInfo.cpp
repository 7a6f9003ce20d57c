#include "KxPageInfo.h"

#include "KxOptionList.h"

#include <QtAlgorithms>

QVariant KxItemInfo::attribute(const QString &key, const QVariant &fallback) const
{
    const auto exact = attributes.constFind(key);
    if (exact != attributes.constEnd())
        return *exact;
    for (auto it = attributes.constBegin(); it != attributes.constEnd(); ++it) {
        if (it.key().compare(key, Qt::CaseInsensitive) == 0)
            return it.value();
    }
    return fallback;
}

bool KxItemInfo::hasAttribute(const QString &key) const
{
    return attribute(key).isValid();
}

QList<KxFeatureInfo> KxItemInfo::options() const
{
    const auto it = children.constFind(QStringLiteral("StringList"));
    if (it != children.constEnd())
        return kxFromVariantList(*it);
    return KxOptionList::parseInline(stringList);
}

KxGroupInfo::~KxGroupInfo()
{
    qDeleteAll(items);
}

KxPageInfo::~KxPageInfo()
{
    qDeleteAll(groups);
}

QList<KxItemInfo *> KxPageInfo::allItems() const
{
    QList<KxItemInfo *> out;
    for (const KxGroupInfo *g : groups)
        out += g->items;
    return out;
}

KxItemInfo *KxPageInfo::findItem(const QString &itemId) const
{
    for (const KxGroupInfo *g : groups) {
        for (KxItemInfo *i : g->items) {
            if (i->id == itemId)
                return i;
        }
    }
    return nullptr;
}

KxPagesInfo::~KxPagesInfo()
{
    qDeleteAll(pages);
}

KxPageInfo *KxPagesInfo::findPage(const QString &pageId) const
{
    for (KxPageInfo *p : pages) {
        if (p->id == pageId)
            return p;
    }
    return nullptr;
}

KxItemInfo *KxPagesInfo::findItem(const QString &itemId) const
{
    for (const KxPageInfo *p : pages) {
        if (KxItemInfo *i = p->findItem(itemId))
            return i;
    }
    return nullptr;
}
