#pragma once
// Visibility conditions of groups and items: a set of groups of conditions on other controls'
// values. The set holds when any group holds; a group holds when all its conditions hold.
#include "KxDescriptionIssue.h"

#include <QList>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>

struct KxTrigger
{
    enum Flag { In = 0, NotIn = 1, Never = 2 };
    QString link;  // id of the control whose value is tested
    QString value; // accepted values, separated by "|"
    int flag = In;

    bool holds(const QString &current) const;
};

struct KxTriggerGroup
{
    bool mode = false; // false: every condition must hold; true: any one suffices
    QList<KxTrigger> triggers;

    bool holds(const QMap<QString, QVariant> &values) const;
};

struct KxTriggerSet
{
    QList<KxTriggerGroup> groups;
    QSet<QString> linkSet;
    QStringList links; // distinct link ids, first seen first

    void addGroup(const KxTriggerGroup &group);
    bool isEmpty() const { return groups.isEmpty(); }
    // An empty set always holds; otherwise at least one group must hold.
    bool holds(const QMap<QString, QVariant> &values) const;
};

namespace KxTriggerParser {

// The "Triggers" attribute: "A=1;B!=2|3". Dropped pieces are reported as warnings when a sink
// is given. Returns a group with mode false, or an empty group when nothing remained.
KxTriggerGroup parseAttribute(const QString &text, QStringList *dropped = nullptr);

} // namespace KxTriggerParser
