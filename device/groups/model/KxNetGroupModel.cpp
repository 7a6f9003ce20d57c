#include "KxNetGroupModel.h"

using namespace KxNetGroupConfig;

namespace
{
Attributes attributesOf(const QMap<QString, QString> &info)
{
    Attributes a;
    bool ok1 = false, ok2 = false, ok3 = false, ok4 = false;
    const Attributes read{info.value(QStringLiteral("Gr mode")).toInt(&ok1),
                          info.value(QStringLiteral("Gr sync mode")).toInt(&ok2),
                          info.value(QStringLiteral("Gr sync min")).toInt(&ok3),
                          info.value(QStringLiteral("Gr sync max")).toInt(&ok4)};
    // A reader reporting values this editor cannot write gets the defaults shown.
    return ok1 && ok2 && ok3 && ok4 && isValidAttributes(read) ? read : a;
}

QString titleOf(const QMap<QString, QString> &info)
{
    for (const char *k : {"L Alias", "P Alias", "Product Name"}) {
        const QString v = info.value(QLatin1String(k)).trimmed();
        if (!v.isEmpty())
            return v;
    }
    return info.value(QStringLiteral("Serial Number"));
}
} // namespace

QString KxNetGroupModel::keyOf(const QMap<QString, QString> &info)
{
    return info.value(QStringLiteral("Serial Number")) + QLatin1Char('/') +
           info.value(QStringLiteral("MAC Address")).toUpper();
}

void KxNetGroupModel::load(const QList<QMap<QString, QString>> &infos)
{
    m_readers.clear();
    m_groups.clear();
    m_leaveRole.clear();
    m_lastGroup.clear();
    QMap<QString, int> groupIndex; // "Gr ID/Gr Mst SN" -> index in m_groups
    for (const auto &info : infos) {
        if (info.value(QStringLiteral("Supp Gr")).trimmed() != QLatin1String("1"))
            continue;
        Reader r;
        r.member = {info.value(QStringLiteral("Serial Number")),
                    info.value(QStringLiteral("MAC Address")),
                    info.value(QStringLiteral("Ip Address"))};
        if (r.member.sn.isEmpty() || r.member.mac.isEmpty())
            continue;
        r.key = keyOf(info);
        if (m_readers.contains(r.key))
            continue;
        r.title = titleOf(info);
        r.maxMembers = qMax(0, info.value(QStringLiteral("Gr Max")).toInt());
        r.info = info;
        m_readers.insert(r.key, r);
        const int role = info.value(QStringLiteral("Gr Role")).toInt();
        m_leaveRole.insert(r.key, role >= 0 && role <= 2 ? role : 0);
        const int id = info.value(QStringLiteral("Gr ID")).toInt();
        m_lastGroup.insert(r.key, id >= 0 && id <= kMaxGroupId ? id : 0);
        if (info.value(QStringLiteral("Gr En")).trimmed() != QLatin1String("1"))
            continue;
        const QString mstSn = info.value(QStringLiteral("Gr Mst SN"));
        const QString gkey = QString::number(m_lastGroup.value(r.key)) + QLatin1Char('/') + mstSn;
        if (!groupIndex.contains(gkey)) {
            Group g;
            g.id = m_lastGroup.value(r.key);
            g.name = info.value(QStringLiteral("Gr Name"));
            g.attributes = attributesOf(info);
            groupIndex.insert(gkey, m_groups.size());
            m_groups << g;
        }
        Group &g = m_groups[groupIndex.value(gkey)];
        if (role == 1 && mstSn == r.member.sn && g.masterKey.isEmpty()) {
            g.masterKey = r.key;
            // The master's view of name and attributes wins over its slaves'.
            g.name = info.value(QStringLiteral("Gr Name"));
            g.attributes = attributesOf(info);
        } else {
            g.slaveKeys << r.key;
        }
    }
    m_saved.clear();
    for (const QString &key : m_readers.keys())
        m_saved.insert(key, textOf(key));
}

const KxNetGroupModel::Group *KxNetGroupModel::group(int id) const
{
    for (const Group &g : m_groups) {
        if (g.id == id)
            return &g;
    }
    return nullptr;
}

KxNetGroupModel::Group *KxNetGroupModel::findGroup(int id)
{
    for (Group &g : m_groups) {
        if (g.id == id)
            return &g;
    }
    return nullptr;
}

int KxNetGroupModel::groupOf(const QString &key) const
{
    for (const Group &g : m_groups) {
        if (g.masterKey == key || g.slaveKeys.contains(key))
            return g.id;
    }
    return -1;
}

QStringList KxNetGroupModel::ungrouped() const
{
    QStringList out;
    for (const QString &key : m_readers.keys()) {
        if (groupOf(key) < 0)
            out << key;
    }
    return out;
}

int KxNetGroupModel::newGroup(const QString &name)
{
    int top = 0;
    for (const Group &g : qAsConst(m_groups))
        top = qMax(top, g.id);
    // Numbers the readers still hold count as used until a save has changed them.
    for (int id : m_lastGroup)
        top = qMax(top, id);
    Group g;
    g.id = qMin(top + 1, kMaxGroupId);
    g.name = name;
    m_groups << g;
    return g.id;
}

int KxNetGroupModel::limitOf(const Group &g) const
{
    if (!g.masterKey.isEmpty())
        return m_readers.value(g.masterKey).maxMembers;
    int limit = 0;
    for (const QString &k : g.slaveKeys) {
        const int m = m_readers.value(k).maxMembers;
        if (m > 0)
            limit = limit == 0 ? m : qMin(limit, m);
    }
    return limit;
}

KxNetGroupModel::Result KxNetGroupModel::addReader(const QString &key, int groupId)
{
    if (!m_readers.contains(key))
        return Result::NoSuchReader;
    Group *g = findGroup(groupId);
    if (!g)
        return Result::NoSuchGroup;
    if (g->masterKey == key || g->slaveKeys.contains(key))
        return Result::Ok;
    const int count = g->memberKeys().size() + 1;
    const int limit = g->memberKeys().isEmpty() ? m_readers.value(key).maxMembers : limitOf(*g);
    if (limit > 0 && count > limit)
        return Result::TooMany;
    removeReader(key);
    g = findGroup(groupId);
    if (g->memberKeys().isEmpty())
        g->masterKey = key;
    else
        g->slaveKeys << key;
    return Result::Ok;
}

KxNetGroupModel::Result KxNetGroupModel::removeReader(const QString &key)
{
    if (!m_readers.contains(key))
        return Result::NoSuchReader;
    for (Group &g : m_groups) {
        if (g.masterKey == key)
            g.masterKey.clear();
        g.slaveKeys.removeAll(key);
    }
    return Result::Ok;
}

KxNetGroupModel::Result KxNetGroupModel::setMaster(const QString &key)
{
    Group *g = findGroup(groupOf(key));
    if (!g)
        return Result::NoSuchGroup;
    if (g->masterKey == key)
        return Result::Ok;
    const int limit = m_readers.value(key).maxMembers;
    if (limit > 0 && g->memberKeys().size() > limit)
        return Result::TooMany;
    const int at = g->slaveKeys.indexOf(key);
    g->slaveKeys.removeAt(at);
    if (!g->masterKey.isEmpty())
        g->slaveKeys.insert(at, g->masterKey);
    g->masterKey = key;
    return Result::Ok;
}

void KxNetGroupModel::removeGroup(int groupId)
{
    for (int i = 0; i < m_groups.size(); ++i) {
        if (m_groups.at(i).id == groupId) {
            m_groups.removeAt(i);
            return;
        }
    }
}

KxNetGroupModel::Result KxNetGroupModel::setProperties(int groupId, const QString &name,
                                                       const Attributes &attributes)
{
    Group *g = findGroup(groupId);
    if (!g)
        return Result::NoSuchGroup;
    if (!isValidName(name))
        return Result::BadName;
    if (!isValidAttributes(attributes))
        return Result::BadAttributes;
    g->name = name;
    g->attributes = attributes;
    return Result::Ok;
}

QString KxNetGroupModel::check() const
{
    for (const Group &g : m_groups) {
        if (g.memberKeys().isEmpty())
            continue;
        if (g.masterKey.isEmpty())
            return QStringLiteral("#IDS_Group_NoMasterDevice");
        const int limit = limitOf(g);
        if (limit > 0 && g.memberKeys().size() > limit)
            return QStringLiteral("#IDS_Morethan_MaxNetDevices");
    }
    return QString();
}

Entry KxNetGroupModel::entryOf(const QString &key) const
{
    Entry e;
    const Reader r = m_readers.value(key);
    e.self = r.member;
    const Group *g = group(groupOf(key));
    if (!g) {
        // Leaving: the number and role it holds now.
        e.role = Role::None;
        e.groupId = m_lastGroup.value(key);
        e.leaveRole = m_leaveRole.value(key);
        return e;
    }
    e.role = g->masterKey == key ? Role::Master : Role::Slave;
    e.groupId = g->id;
    if (!g->masterKey.isEmpty())
        e.master = m_readers.value(g->masterKey).member;
    e.name = g->name;
    e.attributes = g->attributes;
    if (e.role == Role::Master) {
        for (const QString &s : g->slaveKeys)
            e.slaves << m_readers.value(s).member;
    }
    return e;
}

QString KxNetGroupModel::textOf(const QString &key) const
{
    return build(entryOf(key));
}

QList<KxNetGroupModel::Change> KxNetGroupModel::changes() const
{
    QList<Change> out;
    for (const Reader &r : m_readers) {
        const QString text = textOf(r.key);
        if (text == m_saved.value(r.key))
            continue;
        out << Change{r.key, r.member.sn, r.member.mac, text, infoKeys(entryOf(r.key))};
    }
    return out;
}

void KxNetGroupModel::commit()
{
    for (auto it = m_readers.begin(); it != m_readers.end(); ++it) {
        const Entry e = entryOf(it.key());
        if (e.role != Role::None) {
            m_leaveRole.insert(it.key(), int(e.role));
            m_lastGroup.insert(it.key(), e.groupId);
        }
        m_saved.insert(it.key(), build(e));
        const auto keys = infoKeys(e);
        for (auto k = keys.cbegin(); k != keys.cend(); ++k)
            it->info.insert(k.key(), k.value());
    }
    // Re-built from the committed state, so a reader's leave text keeps its last group.
    for (const QString &key : m_readers.keys())
        m_saved.insert(key, textOf(key));
}

QList<QMap<QString, QString>> KxNetGroupModel::maps() const
{
    static const QStringList groupKeys = {"Gr En",      "Gr Role",      "Gr ID",
                                          "Gr Name",    "Gr Mst SN",    "Gr Mst MAC",
                                          "Gr Mst IP",  "Gr mode",      "Gr sync mode",
                                          "Gr sync min", "Gr sync max", "Gr slave"};
    QList<QMap<QString, QString>> out;
    for (const Reader &r : m_readers) {
        QMap<QString, QString> m = r.info;
        for (const QString &k : groupKeys)
            m.remove(k);
        const auto keys = infoKeys(entryOf(r.key));
        for (auto k = keys.cbegin(); k != keys.cend(); ++k)
            m.insert(k.key(), k.value());
        out << m;
    }
    return out;
}
