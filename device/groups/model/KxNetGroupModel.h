#pragma once
// What the group editor edits: the network readers that support groups, the groups they form
// (number, name, master, attributes, slaves) and the readers in none. Built from the readers'
// information maps; says which readers' configuration texts differ from what they hold now.
#include "KxNetGroupConfig.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

class KxNetGroupModel
{
public:
    struct Reader {
        QString key; // serial number + "/" + MAC address
        KxNetGroupConfig::Member member;
        QString title;   // alias or product name, for display
        int maxMembers = 0; // largest group it accepts as master; 0: no limit reported
        QMap<QString, QString> info;
    };
    struct Group {
        int id = 0;
        QString name;
        QString masterKey; // empty: the group has no master yet
        KxNetGroupConfig::Attributes attributes;
        QStringList slaveKeys;
        QStringList memberKeys() const
        {
            return masterKey.isEmpty() ? slaveKeys : QStringList(masterKey) + slaveKeys;
        }
    };
    // One reader whose text changes, with the group keys it must report afterwards.
    struct Change {
        QString key;
        QString sn;
        QString mac;
        QString text;
        QMap<QString, QString> expect;
    };
    enum class Result { Ok, TooMany, NoSuchGroup, NoSuchReader, BadName, BadAttributes };

    static QString keyOf(const QMap<QString, QString> &info);

    // Readers without "Supp Gr" = 1 or without serial number and MAC address are left out.
    void load(const QList<QMap<QString, QString>> &infos);

    QList<Reader> readers() const { return m_readers.values(); }
    bool hasReader(const QString &key) const { return m_readers.contains(key); }
    Reader reader(const QString &key) const { return m_readers.value(key); }
    QList<Group> groups() const { return m_groups; }
    const Group *group(int id) const;
    // The group a reader is in (-1: none).
    int groupOf(const QString &key) const;
    QStringList ungrouped() const;

    // A new, empty group with the next number above the largest in use; returns the number.
    int newGroup(const QString &name);
    // Puts the reader into the group (out of any other). The first reader of an empty group
    // becomes its master. Refused when the group would exceed its master's limit.
    Result addReader(const QString &key, int groupId);
    // Back to the ungrouped readers; a master leaves its group without one.
    Result removeReader(const QString &key);
    Result setMaster(const QString &key);
    // Dissolves the group: its readers become ungrouped.
    void removeGroup(int groupId);
    Result setProperties(int groupId, const QString &name,
                         const KxNetGroupConfig::Attributes &attributes);
    // The members a group may hold under this master (its "Gr Max"); 0: no limit.
    int limitOf(const Group &g) const;

    // The first rule a save would break, as a text key, or empty: "#IDS_Group_NoMasterDevice",
    // "#IDS_Morethan_MaxNetDevices".
    QString check() const;
    // The configuration text of a reader under the current groups.
    QString textOf(const QString &key) const;
    KxNetGroupConfig::Entry entryOf(const QString &key) const;
    // The readers whose text differs from the one built when the model was loaded or committed.
    QList<Change> changes() const;
    bool isChanged() const { return !changes().isEmpty(); }
    // Takes the current groups as what the readers hold (after a save that was verified).
    void commit();
    // Each reader's map with its group keys as edited (for the device list's editing view).
    QList<QMap<QString, QString>> maps() const;

private:
    Group *findGroup(int id);
    QMap<QString, Reader> m_readers;
    QList<Group> m_groups;
    QMap<QString, QString> m_saved;  // key -> text the reader holds
    QMap<QString, int> m_leaveRole;  // key -> role written when it leaves
    QMap<QString, int> m_lastGroup;  // key -> number of the group it was last in
};
