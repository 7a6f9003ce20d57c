#pragma once
// One list of the device list's stack: a scrolling column of groups (NDeviceGroupItem) holding
// reader entries (NDeviceListItem). Entries are keyed by reader id inside their group; the same
// reader may sit in several groups of one list only when the caller puts it there.
#include "KxKitTypes.h"

#include <QScrollArea>

#include <functional>

class NDeviceGroupItem;
class NDeviceListItem;
class QVBoxLayout;

class NDeviceList : public QScrollArea
{
    Q_OBJECT
public:
    explicit NDeviceList(const QString &listId, QWidget *parent = nullptr);

    QString listId() const { return objectName(); }

    // Adds a group (or returns the existing one with this id); with a parent id it becomes a
    // sub-group of that group (which must exist).
    NDeviceGroupItem *addGroup(const QString &groupId, const QString &titleKey,
                               const QString &parentGroupId = QString());
    NDeviceGroupItem *group(const QString &groupId) const;
    QList<NDeviceGroupItem *> topGroups() const { return m_groups; }
    // Removes a top group or a sub-group with all its entries.
    void removeGroup(const QString &groupId);

    // Adds the entry to the group, or updates it in place when the group already has it.
    // Returns null when the group does not exist.
    NDeviceListItem *addDevice(const QString &groupId, const QString &deviceId,
                               const KxDeviceInfoMap &info);
    // The first entry with this id in display order, and its group id.
    NDeviceListItem *findDevice(const QString &deviceId, QString *groupId = nullptr) const;
    bool contains(const QString &deviceId) const { return findDevice(deviceId) != nullptr; }
    // Removes the reader from every group of the list; false when it was in none.
    bool removeDevice(const QString &deviceId);
    // Removes every entry whose id the predicate accepts.
    void removeDevicesIf(const std::function<bool(NDeviceListItem *)> &accept);

    QList<NDeviceListItem *> allDevices() const;
    // The first entry that passes the search text, in display order; empty when none does.
    QString firstVisibleDeviceId() const;

    void setFilter(const QString &text);
    QString filter() const { return m_filter; }
    // Re-applies the filter to every entry and updates the counts.
    void refreshView();

    // Marks one entry (all entries with that id) as the selected one; empty clears the mark.
    void setSelectedDevice(const QString &deviceId);
    void setGroupButtonsVisible(bool visible);
    bool groupButtonsVisible() const { return m_groupButtons; }

signals:
    void deviceClicked(const QString &group_id, const QString &device_id);
    void deviceDClicked(const QString &group_id, const QString &device_id);
    void addDevToNetGroup(const QMap<QString, QString> &mapDevInfos);
    // Entries were added or removed.
    void deviceListChanged();
    void editAlias(const QString &device_id);
    void deviceBlink(const QMap<QString, QString> &device_infos);

private:
    void wire(NDeviceListItem *item);
    QString groupIdOf(const NDeviceListItem *item) const;

    QWidget *m_container;
    QVBoxLayout *m_layout;
    QList<NDeviceGroupItem *> m_groups;
    QString m_filter;
    QString m_selected;
    bool m_groupButtons = false;
};
