#pragma once
// Helpers of the control tests: items built in code and a parent that records control events.
#include "KxControlBase.h"
#include "KxControlCreator.h"
#include "KxControlEvents.h"
#include "KxPageInfo.h"
#include "KxPageLoader.h"
#include "KxStandardControls.h"
#include "KxBasicControls.h"
#include "KxComboBox.h"
#include "KxNumericControls.h"
#include "KxOptionControls.h"
#include "KxPairControls.h"
#include "KxSwitchControls.h"
#include "KxTextControls.h"
#include "KxTextDialogs.h"

#include <QList>
#include <QObject>
#include <memory>

struct RecordedEvent
{
    QEvent::Type type;
    QString id;
    KxControlBase *control;
    QVariant data;
};

// Stands where the property widget would: records every control event it receives.
class EventSink : public QObject
{
public:
    QList<RecordedEvent> events;
    int count(QEvent::Type t) const
    {
        int n = 0;
        for (const RecordedEvent &e : events)
            n += e.type == t ? 1 : 0;
        return n;
    }

protected:
    void customEvent(QEvent *e) override
    {
        if (auto *c = dynamic_cast<KxControlEventBase *>(e))
            events.append({e->type(), c->id(), c->control(), c->data()});
    }
};

inline std::unique_ptr<KxItemInfo> makeItem(const QString &type, const QString &value,
                                            const QVariantMap &attributes = {},
                                            const QString &inlineOptions = QString())
{
    auto item = std::make_unique<KxItemInfo>();
    item->id = QStringLiteral("ITM") + type.left(3).toUpper();
    item->displayName = QStringLiteral("Item");
    item->controlType = type;
    item->attributes = attributes;
    item->stringList = inlineOptions;
    item->defaultValue = value;
    item->value = value;
    return item;
}

// Creates the control of an item's type through the registry, parented to `parent`, and sets it up.
inline KxControlBase *makeControl(KxItemInfo *item, QObject *parent)
{
    KxStandardControls::registerAll();
    auto *c = KxControlCreator::instance()->create(item->controlType, nullptr);
    if (!c)
        return nullptr;
    c->setParent(parent);
    if (!c->setup(item, nullptr)) {
        delete c;
        return nullptr;
    }
    return c;
}

// An item and its control (cast to T), parented to a sink that records the control's events:
// how most control tests start. The sink goes first, and takes the control with it.
template <class T = KxControlBase>
struct Made
{
    std::unique_ptr<KxItemInfo> item;
    EventSink sink;
    T *c = nullptr;

    Made(const QString &type, const QString &value, const QVariantMap &attributes = {},
         const QString &inlineOptions = QString())
        : item(makeItem(type, value, attributes, inlineOptions)),
          c(qobject_cast<T *>(makeControl(item.get(), &sink)))
    {
    }
};

inline std::unique_ptr<KxPagesInfo> pagesFromXml(const QByteArray &xml)
{
    KxStandardControls::registerAll();
    return KxPageLoader::loadPagesFromBytes(xml, QStringLiteral("test.xml"));
}
