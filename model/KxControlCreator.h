#pragma once
// Registry of control types: the widget libraries register a creator per ControlType name at
// start-up, and the property widget asks the manager for a new control by name. The registry
// itself knows no widget class, so the model layer stays free of Qt Widgets.
#include <QMap>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <functional>

class KxControlBase;
class QWidget;

using KxControlCreatorFn = std::function<KxControlBase *(QWidget *parent)>;
using KxControlDestroyerFn = std::function<void(KxControlBase *control)>;

class KxControlCreator
{
public:
    static KxControlCreator *instance();

    KxControlCreator() = default; // standalone registries for tests
    KxControlCreator(const KxControlCreator &) = delete;
    KxControlCreator &operator=(const KxControlCreator &) = delete;

    // The first registration of a name wins; a later one is ignored and still reports true.
    // False for an empty name or a missing creator.
    bool registerControl(const QString &controlType, KxControlCreatorFn creator,
                         KxControlDestroyerFn destroyer, const QString &defaultReturnType);

    bool isRegistered(const QString &controlType) const;
    // Registered default; empty for an unknown or empty name.
    QString defaultReturnType(const QString &controlType) const;
    QStringList registeredTypes() const;

    // Null for an unknown name or when the creator returns nothing.
    KxControlBase *create(const QString &controlType, QWidget *parent) const;
    // Deletes through the registered destroyer; false when there is none for that name.
    bool destroy(const QString &controlType, KxControlBase *control) const;

    // The ReturnType an item of that type gets when it gives none: the registered default, or,
    // for a type not registered in this process, the default of the built-in type table.
    QString effectiveDefaultReturnType(const QString &controlType) const;

private:
    struct Entry
    {
        KxControlCreatorFn creator;
        KxControlDestroyerFn destroyer;
        QString defaultReturnType;
    };
    mutable QMutex m_mutex;
    QMap<QString, Entry> m_entries;
};

class KxControlsMnt
{
public:
    static KxControlsMnt *instance();
    explicit KxControlsMnt(KxControlCreator *registry = nullptr);

    // The parent must be the property widget: controls deliver their events to their parent.
    KxControlBase *createControl(const QString &controlType, QWidget *parent) const;
    bool destroyControl(const QString &controlType, KxControlBase *control) const;

private:
    KxControlCreator *m_registry;
};
