#include "KxNetGroupConfig.h"

#include <QRegularExpression>
#include <QStringList>

namespace KxNetGroupConfig
{

namespace
{
const QStringList kLeaveKeys = {"Gr ID",      "Serial Number", "MAC Address", "Gr En",
                                "Gr Role",    "Gr Mst MAC",    "Gr Mst SN",   "Gr Mst IP"};
const QStringList kSlaveKeys = {"Gr ID",      "Serial Number", "MAC Address", "Gr En",
                                "Gr Role",    "Gr Mst MAC",    "Gr Mst SN",   "Gr Mst IP",
                                "Gr Name",    "Gr mode",       "Gr sync mode", "Gr sync min",
                                "Gr sync max"};
const QStringList kMasterKeys = kSlaveKeys + QStringList{"Gr slave"};

QString pair(const char *key, const QString &value)
{
    return QLatin1String(key) + QLatin1Char('=') + value + QLatin1Char(';');
}

QString slaveList(const QList<Member> &slaves)
{
    QStringList items;
    for (const Member &m : slaves)
        items << QStringLiteral("<%1,%2,%3>").arg(m.sn, m.mac, m.ip);
    return items.join(QLatin1Char(','));
}

// Serial numbers and names travel inside the pairs and the slave list: none of the separators.
bool plainText(const QString &s, int maxLength)
{
    static const QRegularExpression bad(QStringLiteral("[;=<>,\\x00-\\x1f]"));
    return s.size() <= maxLength && !s.contains(bad);
}

bool isValidSn(const QString &sn)
{
    return !sn.isEmpty() && plainText(sn, 64) && sn.trimmed() == sn;
}

bool fail(QString *reason, const QString &why)
{
    if (reason)
        *reason = why;
    return false;
}

// A decimal number without sign or leading zeros in [lo, hi].
bool number(const QString &s, int lo, int hi, int *out)
{
    static const QRegularExpression re(QStringLiteral("^(0|[1-9][0-9]{0,5})$"));
    if (!re.match(s).hasMatch())
        return false;
    const int v = s.toInt();
    if (v < lo || v > hi)
        return false;
    *out = v;
    return true;
}

bool parseSlaves(const QString &text, QList<Member> *slaves)
{
    slaves->clear();
    if (text.isEmpty())
        return true;
    const QStringList items = text.split(QStringLiteral(">,<"));
    for (int i = 0; i < items.size(); ++i) {
        QString item = items.at(i);
        if (i == 0 && !item.startsWith(QLatin1Char('<')))
            return false;
        if (i == items.size() - 1 && !item.endsWith(QLatin1Char('>')))
            return false;
        if (i == 0)
            item.remove(0, 1);
        if (i == items.size() - 1)
            item.chop(1);
        const QStringList f = item.split(QLatin1Char(','));
        if (f.size() != 3)
            return false;
        const Member m{f.at(0), f.at(1), f.at(2)};
        if (!isValidSn(m.sn) || !isValidMac(m.mac) || !isValidIPv4(m.ip))
            return false;
        for (const Member &o : qAsConst(*slaves)) {
            if (o.sn == m.sn || o.mac.compare(m.mac, Qt::CaseInsensitive) == 0)
                return false;
        }
        slaves->append(m);
    }
    return true;
}
} // namespace

bool isValidName(const QString &name)
{
    return plainText(name, kMaxNameLength);
}

bool isValidMac(const QString &mac)
{
    static const QRegularExpression re(
        QStringLiteral("^[0-9A-Fa-f]{2}([:-])[0-9A-Fa-f]{2}(\\1[0-9A-Fa-f]{2}){4}$"));
    return re.match(mac).hasMatch();
}

bool isValidIPv4(const QString &ip)
{
    static const QRegularExpression re(QStringLiteral(
        "^(25[0-5]|2[0-4]\\d|1\\d\\d|[1-9]?\\d)(\\.(25[0-5]|2[0-4]\\d|1\\d\\d|[1-9]?\\d)){3}$"));
    return re.match(ip).hasMatch();
}

bool isValidAttributes(const Attributes &a)
{
    return a.priority >= 0 && a.priority <= kMaxPriority && a.mode >= 0 && a.mode <= kMaxMode &&
           a.minCodes >= 1 && a.maxCodes <= kMaxCodes && a.minCodes <= a.maxCodes;
}

QString build(const Entry &e)
{
    QString t = pair("Gr ID", QString::number(e.groupId)) + pair("Serial Number", e.self.sn) +
                pair("MAC Address", e.self.mac);
    if (e.role == Role::None) {
        return t + QStringLiteral("Gr En=0;Gr Role=") + QString::number(e.leaveRole) +
               QStringLiteral(";Gr Mst MAC=;Gr Mst SN=;Gr Mst IP=0.0.0.0;");
    }
    t += e.role == Role::Master ? QStringLiteral("Gr En=1;Gr Role=1;")
                                : QStringLiteral("Gr En=1;Gr Role=2;");
    t += pair("Gr Mst MAC", e.master.mac) + pair("Gr Mst SN", e.master.sn) +
         pair("Gr Mst IP", e.master.ip) + pair("Gr Name", e.name) +
         pair("Gr mode", QString::number(e.attributes.priority)) +
         pair("Gr sync mode", QString::number(e.attributes.mode)) +
         pair("Gr sync min", QString::number(e.attributes.minCodes)) +
         pair("Gr sync max", QString::number(e.attributes.maxCodes));
    if (e.role == Role::Master)
        t += pair("Gr slave", slaveList(e.slaves));
    return t;
}

bool parse(const QString &text, Entry *out, QString *reason)
{
    if (!text.endsWith(QLatin1Char(';')))
        return fail(reason, QStringLiteral("the text does not end with ';'"));
    QStringList keys;
    QMap<QString, QString> v;
    const QStringList items = text.left(text.size() - 1).split(QLatin1Char(';'));
    for (const QString &item : items) {
        const int eq = item.indexOf(QLatin1Char('='));
        if (eq <= 0)
            return fail(reason, QStringLiteral("'%1' is not a key=value pair").arg(item));
        keys << item.left(eq);
        v.insert(item.left(eq), item.mid(eq + 1));
    }
    Entry e;
    const QString en = v.value(QStringLiteral("Gr En"));
    const QString role = v.value(QStringLiteral("Gr Role"));
    const QStringList *layout = nullptr;
    if (en == QLatin1String("0")) {
        layout = &kLeaveKeys;
        e.role = Role::None;
    } else if (en == QLatin1String("1") && role == QLatin1String("1")) {
        layout = &kMasterKeys;
        e.role = Role::Master;
    } else if (en == QLatin1String("1") && role == QLatin1String("2")) {
        layout = &kSlaveKeys;
        e.role = Role::Slave;
    } else {
        return fail(reason, QStringLiteral("\"Gr En\" and \"Gr Role\" name no known layout"));
    }
    if (keys != *layout)
        return fail(reason, QStringLiteral("the keys are not the layout's keys in its order"));

    if (!number(v.value(QStringLiteral("Gr ID")), 0, kMaxGroupId, &e.groupId))
        return fail(reason, QStringLiteral("\"Gr ID\" is not a group number"));
    e.self = {v.value(QStringLiteral("Serial Number")), v.value(QStringLiteral("MAC Address")),
              QString()};
    if (!isValidSn(e.self.sn) || !isValidMac(e.self.mac))
        return fail(reason, QStringLiteral("bad serial number or MAC address"));
    e.master = {v.value(QStringLiteral("Gr Mst SN")), v.value(QStringLiteral("Gr Mst MAC")),
                v.value(QStringLiteral("Gr Mst IP"))};

    if (e.role == Role::None) {
        if (!number(role, 0, 2, &e.leaveRole))
            return fail(reason, QStringLiteral("\"Gr Role\" must be 0, 1 or 2"));
        if (!e.master.sn.isEmpty() || !e.master.mac.isEmpty() ||
            e.master.ip != QLatin1String("0.0.0.0"))
            return fail(reason, QStringLiteral("a reader leaving its group names no master"));
        e.master = Member();
        if (out)
            *out = e;
        return true;
    }

    if (!isValidSn(e.master.sn) || !isValidMac(e.master.mac) || !isValidIPv4(e.master.ip))
        return fail(reason, QStringLiteral("bad master serial number, MAC or IP address"));
    const bool selfIsMaster = e.master.sn == e.self.sn &&
                              e.master.mac.compare(e.self.mac, Qt::CaseInsensitive) == 0;
    if (e.role == Role::Master && !selfIsMaster)
        return fail(reason, QStringLiteral("a master names itself as master"));
    if (e.role == Role::Slave && (e.master.sn == e.self.sn ||
                                  e.master.mac.compare(e.self.mac, Qt::CaseInsensitive) == 0))
        return fail(reason, QStringLiteral("a slave cannot be its own master"));
    e.name = v.value(QStringLiteral("Gr Name"));
    if (!isValidName(e.name))
        return fail(reason, QStringLiteral("bad group name"));
    Attributes &a = e.attributes;
    if (!number(v.value(QStringLiteral("Gr mode")), 0, kMaxPriority, &a.priority) ||
        !number(v.value(QStringLiteral("Gr sync mode")), 0, kMaxMode, &a.mode) ||
        !number(v.value(QStringLiteral("Gr sync min")), 1, kMaxCodes, &a.minCodes) ||
        !number(v.value(QStringLiteral("Gr sync max")), 1, kMaxCodes, &a.maxCodes) ||
        a.minCodes > a.maxCodes)
        return fail(reason, QStringLiteral("a group attribute is out of range"));
    if (e.role == Role::Master) {
        if (!parseSlaves(v.value(QStringLiteral("Gr slave")), &e.slaves))
            return fail(reason, QStringLiteral("bad slave list"));
        for (const Member &s : qAsConst(e.slaves)) {
            if (s.sn == e.self.sn || s.mac.compare(e.self.mac, Qt::CaseInsensitive) == 0)
                return fail(reason, QStringLiteral("a master cannot be its own slave"));
        }
    }
    if (out)
        *out = e;
    return true;
}

QMap<QString, QString> infoKeys(const Entry &e)
{
    QMap<QString, QString> m;
    m.insert(QStringLiteral("Gr ID"), QString::number(e.groupId));
    if (e.role == Role::None) {
        m.insert(QStringLiteral("Gr En"), QStringLiteral("0"));
        m.insert(QStringLiteral("Gr Role"), QString::number(e.leaveRole));
        m.insert(QStringLiteral("Gr Mst SN"), QString());
        m.insert(QStringLiteral("Gr Mst MAC"), QString());
        m.insert(QStringLiteral("Gr Mst IP"), QStringLiteral("0.0.0.0"));
        return m;
    }
    m.insert(QStringLiteral("Gr En"), QStringLiteral("1"));
    m.insert(QStringLiteral("Gr Role"), e.role == Role::Master ? QStringLiteral("1")
                                                               : QStringLiteral("2"));
    m.insert(QStringLiteral("Gr Mst SN"), e.master.sn);
    m.insert(QStringLiteral("Gr Mst MAC"), e.master.mac);
    m.insert(QStringLiteral("Gr Mst IP"), e.master.ip);
    m.insert(QStringLiteral("Gr Name"), e.name);
    m.insert(QStringLiteral("Gr mode"), QString::number(e.attributes.priority));
    m.insert(QStringLiteral("Gr sync mode"), QString::number(e.attributes.mode));
    m.insert(QStringLiteral("Gr sync min"), QString::number(e.attributes.minCodes));
    m.insert(QStringLiteral("Gr sync max"), QString::number(e.attributes.maxCodes));
    if (e.role == Role::Master)
        m.insert(QStringLiteral("Gr slave"), slaveList(e.slaves));
    return m;
}

} // namespace KxNetGroupConfig
