#include "KxControlEvents.h"

#include "KxControlBase.h"

KxControlEventBase::KxControlEventBase(const QString &id, KxControlBase *control,
                                       const QVariant &data)
    : m_id(id), m_control(control), m_raw(control), m_data(data)
{
}

KxControlEventBase::~KxControlEventBase() = default;

KxControlBase *KxControlEventBase::control() const
{
    // A posted event whose control was deleted meanwhile names no control.
    return m_control ? m_raw : nullptr;
}

#define KX_EVENT_TYPE(Class)                                                                      \
    QEvent::Type Class::eventType()                                                               \
    {                                                                                             \
        static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());  \
        return type;                                                                              \
    }

KX_EVENT_TYPE(KxValueChangedEvent)
KX_EVENT_TYPE(KxCustomChangedEvent)
KX_EVENT_TYPE(KxExtendEvent)
KX_EVENT_TYPE(KxROIChangedEvent)

KxValueChangedEvent::KxValueChangedEvent(const QString &id, KxControlBase *control)
    : QEvent(eventType()), KxControlEventBase(id, control)
{
}

KxCustomChangedEvent::KxCustomChangedEvent(const QString &id, KxControlBase *control,
                                           const QVariantMap &data)
    : QEvent(eventType()), KxControlEventBase(id, control, data)
{
}

QString KxCustomChangedEvent::type() const
{
    return data().toMap().value(QStringLiteral("Type")).toString();
}

QVariant KxCustomChangedEvent::params() const
{
    return data().toMap().value(QStringLiteral("Params"));
}

KxExtendEvent::KxExtendEvent(const QString &id, KxControlBase *control, const QString &controlId)
    : QEvent(eventType()),
      KxControlEventBase(id, control, QVariantMap{{QStringLiteral("ControlID"), controlId}})
{
}

QString KxExtendEvent::controlId() const
{
    return data().toMap().value(QStringLiteral("ControlID")).toString();
}

KxROIChangedEvent::KxROIChangedEvent(const QString &id, KxControlBase *control)
    : QEvent(eventType()), KxControlEventBase(id, control)
{
}

void kxRegisterControlEventTypes()
{
    KxValueChangedEvent::eventType();
    KxCustomChangedEvent::eventType();
    KxExtendEvent::eventType();
    KxROIChangedEvent::eventType();
}
