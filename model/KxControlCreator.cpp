#include "KxControlCreator.h"

#include "KxControlTypes.h"

#include <QMutexLocker>

KxControlCreator *KxControlCreator::instance()
{
    static KxControlCreator registry; // thread-safe first-use construction
    return &registry;
}

bool KxControlCreator::registerControl(const QString &controlType, KxControlCreatorFn creator,
                                       KxControlDestroyerFn destroyer,
                                       const QString &defaultReturnType)
{
    if (controlType.isEmpty() || !creator)
        return false;
    QMutexLocker lock(&m_mutex);
    if (m_entries.contains(controlType))
        return true;
    m_entries.insert(controlType, Entry{std::move(creator), std::move(destroyer),
                                        defaultReturnType});
    return true;
}

bool KxControlCreator::isRegistered(const QString &controlType) const
{
    QMutexLocker lock(&m_mutex);
    return m_entries.contains(controlType);
}

QString KxControlCreator::defaultReturnType(const QString &controlType) const
{
    QMutexLocker lock(&m_mutex);
    const auto it = m_entries.constFind(controlType);
    return it == m_entries.constEnd() ? QString() : it->defaultReturnType;
}

QStringList KxControlCreator::registeredTypes() const
{
    QMutexLocker lock(&m_mutex);
    return m_entries.keys();
}

KxControlBase *KxControlCreator::create(const QString &controlType, QWidget *parent) const
{
    KxControlCreatorFn fn;
    {
        QMutexLocker lock(&m_mutex);
        const auto it = m_entries.constFind(controlType);
        if (it == m_entries.constEnd())
            return nullptr;
        fn = it->creator;
    }
    // Called without the lock: a creator may itself consult the registry.
    return fn(parent);
}

bool KxControlCreator::destroy(const QString &controlType, KxControlBase *control) const
{
    KxControlDestroyerFn fn;
    {
        QMutexLocker lock(&m_mutex);
        const auto it = m_entries.constFind(controlType);
        if (it == m_entries.constEnd() || !it->destroyer)
            return false;
        fn = it->destroyer;
    }
    if (control)
        fn(control);
    return true;
}

QString KxControlCreator::effectiveDefaultReturnType(const QString &controlType) const
{
    {
        QMutexLocker lock(&m_mutex);
        const auto it = m_entries.constFind(controlType);
        if (it != m_entries.constEnd())
            return it->defaultReturnType;
    }
    return KxControlTypes::knownDefaultReturnType(controlType);
}

KxControlsMnt *KxControlsMnt::instance()
{
    static KxControlsMnt mnt;
    return &mnt;
}

KxControlsMnt::KxControlsMnt(KxControlCreator *registry)
    : m_registry(registry ? registry : KxControlCreator::instance())
{
}

KxControlBase *KxControlsMnt::createControl(const QString &controlType, QWidget *parent) const
{
    if (controlType.isEmpty())
        return nullptr;
    return m_registry->create(controlType, parent);
}

bool KxControlsMnt::destroyControl(const QString &controlType, KxControlBase *control) const
{
    return m_registry->destroy(controlType, control);
}
