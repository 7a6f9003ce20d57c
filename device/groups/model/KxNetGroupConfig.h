#pragma once
// The group configuration text of one reader: "key=value;" pairs in a fixed order, one layout
// for a master, one for a slave and one for a reader that leaves all groups. build() writes it;
// parse() accepts exactly what build() can write and says why anything else is refused.
#include <QList>
#include <QMap>
#include <QString>

namespace KxNetGroupConfig
{

// One reader as the group text names it.
struct Member {
    QString sn;
    QString mac;
    QString ip;
    bool operator==(const Member &o) const { return sn == o.sn && mac == o.mac && ip == o.ip; }
};

// The group's attributes, written as "Gr mode", "Gr sync mode", "Gr sync min", "Gr sync max".
struct Attributes {
    int priority = 0; // "Gr mode": 0 the master's result first, 1 the first result to arrive
    int mode = 0;     // "Gr sync mode": 0 all members read on the master's trigger, 1 each alone
    int minCodes = 1; // "Gr sync min": codes a combined result needs at least
    int maxCodes = 1; // "Gr sync max": codes a combined result takes at most
    bool operator==(const Attributes &o) const
    {
        return priority == o.priority && mode == o.mode && minCodes == o.minCodes &&
               maxCodes == o.maxCodes;
    }
};

constexpr int kMaxPriority = 1;
constexpr int kMaxMode = 1;
constexpr int kMaxCodes = 64;
constexpr int kMaxNameLength = 32;
constexpr int kMaxGroupId = 65535;

enum class Role { None = 0, Master = 1, Slave = 2 };

struct Entry {
    Role role = Role::None;     // None: the reader leaves all groups
    int groupId = 0;
    Member self;
    int leaveRole = 0;          // the "Gr Role" written when leaving (0, 1 or 2)
    Member master;              // masters and slaves: the group's master
    QString name;
    Attributes attributes;
    QList<Member> slaves;       // masters only
};

// The text of the entry. The caller keeps the fields valid (see the checks below).
QString build(const Entry &entry);

// Reads a text; false with a short English reason when it is not exactly one of the three
// layouts or a value is out of range.
bool parse(const QString &text, Entry *entry, QString *reason = nullptr);

// The value checks parse() applies, for editors that want to refuse early.
bool isValidName(const QString &name);
bool isValidMac(const QString &mac);
bool isValidIPv4(const QString &ip);
bool isValidAttributes(const Attributes &a);

// The group keys of an information map that the entry sets ("Gr En", "Gr Role", "Gr ID",
// "Gr Name", "Gr Mst SN", "Gr Mst MAC", "Gr Mst IP", the attributes, "Gr slave"): what the
// reader reports once it has taken the text.
QMap<QString, QString> infoKeys(const Entry &entry);

} // namespace KxNetGroupConfig
