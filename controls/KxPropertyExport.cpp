// JSON export of the property widget's values.
#include "KxPropertyWidget.h"

#include "KxControlBase.h"

#include <QJsonArray>

namespace {

bool isPlainType(const QString &t)
{
    return t == QLatin1String("string") || t == QLatin1String("int") || t == QLatin1String("float")
           || t == QLatin1String("double");
}

} // namespace

QJsonObject KxPropertyWidget::valuesToJson() const
{
    QJsonObject out;
    for (const QString &pageId : m_order) {
        const _tagKxPropertyInfo &rec = m_infos[pageId];
        QJsonObject pageObj;
        for (const KxGroupInfo *g : rec.page->groups) {
            QJsonArray arr;
            for (const KxItemInfo *item : g->items) {
                if (!isStorable(item))
                    continue;
                // The control's value where one is shown, else the edit kept for it, else
                // the stored value.
                QVariant v;
                bool shown = false;
                for (KxControlBase *c : rec.controls) {
                    if (c->item() == item) {
                        v = c->value();
                        shown = true;
                        break;
                    }
                }
                if (!shown)
                    v = rec.pending.value(item->id, item->value);
                if (v.userType() != QMetaType::QString)
                    continue;
                QJsonObject o;
                o.insert(QStringLiteral("Id"), item->id);
                if (!item->returnType.isEmpty() && !isPlainType(item->returnType))
                    o.insert(QStringLiteral("Type"), item->returnType);
                if (!item->flags.isEmpty())
                    o.insert(QStringLiteral("Flags"), item->flags);
                o.insert(QStringLiteral("Param"), v.toString());
                arr.append(o);
            }
            if (!arr.isEmpty())
                pageObj.insert(g->id, arr);
        }
        if (!pageObj.isEmpty())
            out.insert(pageId, pageObj);
    }
    return out;
}

QJsonObject KxPropertyWidget::valuesToWrappedJson() const
{
    const QJsonObject plain = valuesToJson();
    QJsonObject pages;
    for (auto it = plain.constBegin(); it != plain.constEnd(); ++it)
        pages.insert(it.key(), QJsonObject{{QStringLiteral("Group"), it.value()}});
    QJsonObject property;
    if (!pages.isEmpty())
        property.insert(QStringLiteral("Page"), pages);
    return QJsonObject{{QStringLiteral("Property"), property}};
}
