#include "KxControlBase.h"

#include "KxControlEvents.h"
#include "KxControlUtil.h"
#include "KxI18nUtil.h"
#include "KxPropertyWidget.h"

#include <QCoreApplication>
#include <QLabel>
#include <QWidget>

KxControlBase::KxControlBase(QObject *parent)
    : QObject(parent), m_owner(qobject_cast<KxPropertyWidget *>(parent))
{
}

KxControlBase::~KxControlBase()
{
    // Label and editor normally live in the property widget's tree; a control that was never
    // placed still owns them.
    if (m_label && !m_label->parent())
        delete m_label;
    if (m_editorRoot && !m_editorRoot->parent())
        delete m_editorRoot;
}

QWidget *KxControlBase::labelWidget() const
{
    return m_label;
}

void KxControlBase::setLabelWidth(int width)
{
    if (m_label && m_item && !m_item->attributes.contains(QStringLiteral("AutoFit")))
        m_label->setMinimumWidth(width);
}

void KxControlBase::applyValue(const QVariant &v)
{
    if (v == value())
        return;
    setValue(v);
    notifyValueChanged(true);
}

void KxControlBase::setValue(const QVariant &v)
{
    updateTitle(v);
}

QVariant KxControlBase::displayValue() const
{
    return value();
}

bool KxControlBase::isModified() const
{
    return isModifiedValue(value());
}

void KxControlBase::acceptValue()
{
    if (!m_item || !isModified())
        return;
    m_item->value = value();
    updateTitle(m_item->value);
}

void KxControlBase::revertValue(bool notify)
{
    if (!m_item)
        return;
    if (!isModified()) {
        updateTitle(value());
        return;
    }
    if (notify) {
        setValue(m_item->value);
        notifyValueChanged(true);
    } else {
        const bool was = m_silent;
        m_silent = true;
        setValue(m_item->value);
        m_silent = was;
    }
}

void KxControlBase::setEditorEnabled(bool) {}
void KxControlBase::pageShown() {}
void KxControlBase::regionChanged() {}
void KxControlBase::setParam(const QString &, const QVariant &) {}

QVariant KxControlBase::itemParam(const QString &key) const
{
    if (!m_item)
        return QVariant();
    return m_item->attributes.value(key);
}

bool KxControlBase::setOptions(const QVariant &)
{
    return true;
}

bool KxControlBase::createLabel(QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setText(QStringLiteral("%1:").arg(titleText()));
    label->setObjectName(m_item ? m_item->id : QString());
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    if (m_item && !m_item->toolTip.isEmpty())
        label->setToolTip(kxTr(m_item->toolTip));
    const bool autoFit = m_item && m_item->attributes.contains(QStringLiteral("AutoFit"));
    label->setWordWrap(!autoFit);
    if (m_item && m_item->attributes.contains(QStringLiteral("HideDisplayName")))
        label->setVisible(false);
    m_label = label;
    return true;
}

bool KxControlBase::createEditor(QWidget *)
{
    QWidget *editor = editorWidget();
    if (!editor)
        return false;
    if (!m_editorRoot)
        m_editorRoot = editor;
    if (!m_item)
        return true;
    for (auto it = m_item->attributes.constBegin(); it != m_item->attributes.constEnd(); ++it) {
        const QString key = it.key().toLower();
        const QString text = it.value().toString();
        if (key == QLatin1String("minwidth"))
            editor->setMinimumWidth(KxControlUtil::toInt(text));
        else if (key == QLatin1String("maxwidth"))
            editor->setMaximumWidth(KxControlUtil::toInt(text));
        else if (key == QLatin1String("minheight"))
            editor->setMinimumHeight(KxControlUtil::toInt(text));
        else if (key == QLatin1String("maxheight"))
            editor->setMaximumHeight(KxControlUtil::toInt(text));
        else if (key == QLatin1String("enable"))
            editor->setEnabled(text == QLatin1String("1"));
    }
    return true;
}

bool KxControlBase::afterSetup()
{
    return true;
}

bool KxControlBase::isModifiedValue(const QVariant &v) const
{
    if (!m_item)
        return false;
    // An item without a default has no stored value yet: an empty editor matches it.
    if (!m_item->value.isValid())
        return v.isValid() && !v.toString().isEmpty();
    return v != m_item->value;
}

bool KxControlBase::setup(KxItemInfo *item, QWidget *parent)
{
    if (!item)
        return false;
    m_item = item;
    if (!createLabel(parent))
        return false;
    if (!createEditor(parent))
        return false;
    return afterSetup();
}

void KxControlBase::updateTitle(const QVariant &v)
{
    if (!m_showChanged || !m_label || !m_item)
        return;
    if (isModifiedValue(v))
        m_label->setText(QStringLiteral("<font color=red>%1:*</font>").arg(titleText().toHtmlEscaped()));
    else
        m_label->setText(QStringLiteral("%1:").arg(titleText()));
}

namespace {

// Hands a change event to the control's owner, at once or through its queue; the event is
// freed in every case.
void deliver(QObject *target, QEvent *event, bool sync)
{
    if (!target) {
        delete event;
        return;
    }
    if (sync) {
        QCoreApplication::sendEvent(target, event);
        delete event;
    } else {
        QCoreApplication::postEvent(target, event, Qt::NormalEventPriority);
    }
}

} // namespace

void KxControlBase::notifyValueChanged(bool sync)
{
    updateTitle(value());
    if (m_silent || !m_label)
        return;
    auto *event = new KxValueChangedEvent(m_label->objectName(), this);
    deliver(parent(), event, sync);
}

void KxControlBase::notifyCustomChanged(const QString &type, const QVariant &params, bool sync)
{
    if (m_silent || !m_label || type.isEmpty())
        return;
    QVariantMap data{{QStringLiteral("Type"), type}};
    if (params.isValid())
        data.insert(QStringLiteral("Params"), params);
    auto *event = new KxCustomChangedEvent(m_label->objectName(), this, data);
    deliver(parent(), event, sync);
}

void KxControlBase::notifyExtend(const QString &controlId)
{
    if (!m_label || !parent())
        return;
    KxExtendEvent event(m_label->objectName(), this, controlId);
    QCoreApplication::sendEvent(parent(), &event);
}

void KxControlBase::setShowChanged(bool on)
{
    if (m_item && m_item->attribute(QStringLiteral("ChangedTips")).toString() == QLatin1String("0"))
        return;
    m_showChanged = on;
}

void KxControlBase::setWidthRange(QWidget *w, int min, int max)
{
    if (!w)
        return;
    w->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Preferred);
    if (min > 0)
        w->setMinimumWidth(min);
    if (max > 0 && max > min)
        w->setMaximumWidth(max);
}

void KxControlBase::setHeightRange(QWidget *w, int min, int max)
{
    if (!w)
        return;
    QSizePolicy p = w->sizePolicy();
    p.setVerticalPolicy(QSizePolicy::Minimum);
    w->setSizePolicy(p);
    if (min > 0)
        w->setMinimumHeight(min);
    if (max > 0 && max > min)
        w->setMaximumHeight(max);
}

QString KxControlBase::itemId() const
{
    return m_item ? m_item->id : QString();
}

QString KxControlBase::titleText() const
{
    return m_item ? kxTr(m_item->displayName) : QString();
}

QVariant KxControlBase::attr(const QString &key) const
{
    return m_item ? m_item->attribute(key) : QVariant();
}

bool KxControlBase::hasAttr(const QString &key) const
{
    return attr(key).isValid();
}

int KxControlBase::intAttr(const QString &key, int fallback) const
{
    const QVariant v = attr(key);
    return v.isValid() ? KxControlUtil::toInt(v.toString()) : fallback;
}

double KxControlBase::realAttr(const QString &key, double fallback) const
{
    const QVariant v = attr(key);
    return v.isValid() ? KxControlUtil::toReal(v.toString()) : fallback;
}

QString KxControlBase::textAttr(const QString &key, const QString &fallback) const
{
    const QVariant v = attr(key);
    return v.isValid() ? v.toString() : fallback;
}
