#pragma once
// Events a control sends to its parent (the property widget). Each class has its own type
// number, taken from QEvent::registerEventType on first use; receivers compare against
// eventType() and cast.
#include <QEvent>
#include <QPointer>
#include <QString>
#include <QVariant>

class KxControlBase;

class KxControlEventBase
{
public:
    KxControlEventBase(const QString &id, KxControlBase *control, const QVariant &data = QVariant());
    virtual ~KxControlEventBase();

    QString id() const { return m_id; }
    KxControlBase *control() const;
    QVariant data() const { return m_data; }

private:
    QString m_id;
    QPointer<QObject> m_control; // posted events may outlive their sender
    KxControlBase *m_raw;
    QVariant m_data;
};

class KxValueChangedEvent : public QEvent, public KxControlEventBase
{
public:
    KxValueChangedEvent(const QString &id, KxControlBase *control);
    static QEvent::Type eventType();
};

// data: {"Type": type, "Params": params (only when valid)}
class KxCustomChangedEvent : public QEvent, public KxControlEventBase
{
public:
    KxCustomChangedEvent(const QString &id, KxControlBase *control, const QVariantMap &data);
    static QEvent::Type eventType();
    QString type() const;
    QVariant params() const;
};

// data: {"ControlID": controlId}
class KxExtendEvent : public QEvent, public KxControlEventBase
{
public:
    KxExtendEvent(const QString &id, KxControlBase *control, const QString &controlId);
    static QEvent::Type eventType();
    QString controlId() const;
};

class KxROIChangedEvent : public QEvent, public KxControlEventBase
{
public:
    KxROIChangedEvent(const QString &id, KxControlBase *control);
    static QEvent::Type eventType();
};

// Takes the four type numbers now; the standard registration calls it at start-up.
void kxRegisterControlEventTypes();
