#pragma once
// A group of the device list: a title with an arrow, the group name and the number of visible
// entries "(n)", and below it the entries and sub-groups. Clicking the title folds the group.
#include "KxKitTypes.h"

#include <QWidget>

class NDeviceListItem;
class QLabel;
class QVBoxLayout;

class NDeviceGroupTitle : public QWidget
{
    Q_OBJECT
public:
    NDeviceGroupTitle(const QString &titleKey, int level, QWidget *parent = nullptr);
    void setTitleKey(const QString &titleKey);
    QString titleKey() const { return m_titleKey; }
    void setCount(int count);
    void setExpanded(bool expanded);
    QString countText() const;
    QString nameText() const;

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;

private:
    QString m_titleKey;
    QLabel *m_labArrow;
    QLabel *m_labName;
    QLabel *m_labCount;
};

class NDeviceGroupItem : public QWidget
{
    Q_OBJECT
public:
    // level 0 for a top group, 1 for a sub-group.
    NDeviceGroupItem(const QString &groupId, const QString &titleKey, int level,
                     QWidget *parent = nullptr);

    QString groupId() const { return m_groupId; }
    NDeviceGroupTitle *title() const { return m_title; }

    // Adds the entry, or updates the entry with this id in place; returns it.
    NDeviceListItem *addDevice(const QString &deviceId, const KxDeviceInfoMap &info);
    NDeviceListItem *device(const QString &deviceId) const;
    bool removeDevice(const QString &deviceId);
    QList<NDeviceListItem *> devices() const { return m_devices; }

    void addSubGroup(NDeviceGroupItem *group);
    NDeviceGroupItem *takeSubGroup(const QString &groupId);
    QList<NDeviceGroupItem *> subGroups() const { return m_subGroups; }

    // Entries of this group and its sub-groups, in display order.
    QList<NDeviceListItem *> allDevices() const;
    // Entries that pass the filter, sub-groups included.
    int visibleCount() const;

    void setExpanded(bool expanded);
    bool isExpanded() const { return m_expanded; }
    void toggleExpanded() { setExpanded(!m_expanded); }

    // Applies each entry's filter result and the fold state; updates the counts.
    void refreshView(bool searching);

signals:
    void expandedChanged(bool expanded);

private:
    QString m_groupId;
    int m_level;
    bool m_expanded = true;
    NDeviceGroupTitle *m_title;
    QWidget *m_body;
    QVBoxLayout *m_deviceLayout;
    QVBoxLayout *m_subLayout;
    QList<NDeviceListItem *> m_devices;
    QList<NDeviceGroupItem *> m_subGroups;
};
