#pragma once
// In-memory form of one page description file: pages, groups and items. A root owns its pages,
// a page its groups, a group its items; item pointers stay valid as long as the root lives, so
// controls may keep them.
#include "KxFeatureInfo.h"
#include "KxTrigger.h"

#include <QList>
#include <QMap>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVariant>

struct KxItemInfo
{
    QString id; // also the command the value belongs to
    QString displayName;
    QString controlType;
    QString returnType;
    QString stringList;
    QString stringListHide;
    QString flags;
    QString toolTip;
    QString userData;
    QString limit;
    QVariantMap attributes; // every other attribute, plus "Reboot"
    QVariantMap children;   // one entry per child element other than Triggers
    KxTriggerSet triggers;
    qint32 showLevel = 1;
    bool visible = true;
    QVariant defaultValue;
    QVariant value; // last known device value; starts as the default
    qint32 reboot = 0;

    // Attribute lookup ignoring letter case, as the controls read their attributes.
    QVariant attribute(const QString &key, const QVariant &fallback = QVariant()) const;
    bool hasAttribute(const QString &key) const;
    // The option list: the StringList child when present, else the inline StringList attribute.
    QList<KxFeatureInfo> options() const;
};

struct KxGroupInfo
{
    KxGroupInfo() = default;
    KxGroupInfo(const KxGroupInfo &) = delete;
    KxGroupInfo &operator=(const KxGroupInfo &) = delete;
    ~KxGroupInfo();

    QString id;
    QString displayName;
    QList<KxItemInfo *> items; // owned
    QVariantMap attributes;
    QVariantMap children;
    KxTriggerSet triggers;
    qint32 showLevel = 1;
    bool visible = true;
    bool expanded = true;
    bool expandGiven = false;
    QString layout;
    QString styleSheet;
    QString userData;
    bool subPropertyWidget = false;
};

struct KxPageInfo
{
    KxPageInfo() = default;
    KxPageInfo(const KxPageInfo &) = delete;
    KxPageInfo &operator=(const KxPageInfo &) = delete;
    ~KxPageInfo();

    QString id;
    QString displayName;
    QList<KxGroupInfo *> groups; // owned
    QVariantMap attributes;
    QString styleSheet;
    QString userData;

    // Every item of every group, in order.
    QList<KxItemInfo *> allItems() const;
    KxItemInfo *findItem(const QString &id) const;
};

struct KxPagesInfo
{
    KxPagesInfo() = default;
    KxPagesInfo(const KxPagesInfo &) = delete;
    KxPagesInfo &operator=(const KxPagesInfo &) = delete;
    ~KxPagesInfo();

    QString method;
    QList<KxPageInfo *> pages; // owned
    QStringList buttons;

    KxPageInfo *findPage(const QString &id) const;
    // First item with that id on any page.
    KxItemInfo *findItem(const QString &id) const;
};

Q_DECLARE_METATYPE(KxItemInfo *)
Q_DECLARE_METATYPE(KxGroupInfo *)
Q_DECLARE_METATYPE(KxPageInfo *)
