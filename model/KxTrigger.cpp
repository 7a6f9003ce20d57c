#include "KxTrigger.h"

bool KxTrigger::holds(const QString &current) const
{
    // Empty pieces are kept: "Mode!=" means "Mode is not empty".
    const QStringList accepted = value.split(QLatin1Char('|'), Qt::KeepEmptyParts);
    switch (flag) {
    case In:
        return accepted.contains(current);
    case NotIn:
        return !accepted.contains(current);
    default:
        return false;
    }
}

bool KxTriggerGroup::holds(const QMap<QString, QVariant> &values) const
{
    bool anyTested = false;
    for (const KxTrigger &t : triggers) {
        const auto it = values.constFind(t.link);
        if (it == values.constEnd())
            continue; // a link without a control on the page does not decide
        anyTested = true;
        const bool ok = t.holds(it->toString());
        if (mode && ok)
            return true;
        if (!mode && !ok)
            return false;
    }
    return mode ? !anyTested : true;
}

void KxTriggerSet::addGroup(const KxTriggerGroup &group)
{
    groups.append(group);
    for (const KxTrigger &t : group.triggers) {
        if (!linkSet.contains(t.link)) {
            linkSet.insert(t.link);
            links.append(t.link);
        }
    }
}

bool KxTriggerSet::holds(const QMap<QString, QVariant> &values) const
{
    if (groups.isEmpty())
        return true;
    for (const KxTriggerGroup &g : groups) {
        if (g.holds(values))
            return true;
    }
    return false;
}

namespace KxTriggerParser {

KxTriggerGroup parseAttribute(const QString &text, QStringList *dropped)
{
    KxTriggerGroup group;
    const QStringList pieces = text.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (const QString &piece : pieces) {
        KxTrigger t;
        int pos = piece.indexOf(QStringLiteral("!="));
        int opLen = 2;
        if (pos >= 0) {
            t.flag = KxTrigger::NotIn;
        } else {
            pos = piece.indexOf(QLatin1Char('='));
            opLen = 1;
            t.flag = KxTrigger::In;
        }
        if (pos < 0) {
            if (dropped)
                dropped->append(piece);
            continue;
        }
        t.link = piece.left(pos).trimmed();
        t.value = piece.mid(pos + opLen).trimmed();
        if (t.link.isEmpty()) {
            if (dropped)
                dropped->append(piece);
            continue;
        }
        group.triggers.append(t);
    }
    return group;
}

} // namespace KxTriggerParser
