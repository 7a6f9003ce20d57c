// The network group side of the device list: group membership lists, the tabs and the group
// editing view.
#include "DeviceListLogic.h"
#include "DeviceListWidget.h"
#include "KxStyledButtons.h"
#include "NBoxDeviceListItem.h"
#include "NDeviceGroupItem.h"
#include "NDeviceList.h"
#include "NDeviceListItem.h"
#include "USBDeviceManager.h"

#include <QDebug>
#include <QStackedWidget>
#include <QToolButton>

using namespace DeviceListLogic;

void DeviceListWidget::placeInGroupList(NDeviceList *list, const QString &id,
                                        const KxDeviceInfoMap &info)
{
    const NetGroupPlace place = netGroupPlace(info);
    const QString target = place.groupId.isEmpty() ? QString()
                           : place.slave           ? place.slaveGroupId()
                                                   : place.groupId;
    QString current;
    if (list->findDevice(id, &current) && current != target)
        removeFromGroupList(list, id);
    if (target.isEmpty())
        return;
    if (place.groupId != QLatin1String(kGroupUngrouped)) {
        list->addGroup(place.groupId, place.groupName.isEmpty()
                                          ? QStringLiteral("#IDS_NetGroup_NoName")
                                          : place.groupName);
        if (place.slave)
            list->addGroup(target, QStringLiteral("#IDS_DeviceGroup_Slaves"), place.groupId);
    }
    if (NDeviceListItem *item = list->addDevice(target, id, info))
        item->setStale(false);
    updateBoxes();
}

void DeviceListWidget::removeFromGroupList(NDeviceList *list, const QString &id)
{
    if (list->removeDevice(id))
        dropEmptyNetGroups(list);
    updateBoxes();
}

void DeviceListWidget::updateBoxes()
{
    QStringList present;
    for (NDeviceListItem *item : m_allList->allDevices())
        present << item->deviceInfo().value(QStringLiteral("Serial Number"));
    for (NDeviceList *l : {m_allList, m_groupList, m_editList}) {
        for (NDeviceListItem *item : l->allDevices()) {
            if (auto *box = qobject_cast<NBoxDeviceListItem *>(item))
                box->setPresentMembers(present);
        }
    }
}

void DeviceListWidget::dropEmptyNetGroups(NDeviceList *list)
{
    for (NDeviceGroupItem *g : list->topGroups()) {
        if (g->groupId() == QLatin1String(kGroupUngrouped))
            continue;
        for (NDeviceGroupItem *sub : g->subGroups()) {
            if (sub->allDevices().isEmpty())
                list->removeGroup(sub->groupId());
        }
        if (g->allDevices().isEmpty())
            list->removeGroup(g->groupId());
    }
}

void DeviceListWidget::showList(NDeviceList *list)
{
    m_current = list;
    m_stack->setCurrentWidget(list);
    updateTabs();
}

void DeviceListWidget::updateTabs()
{
    const bool all = m_current == m_allList;
    m_devListBtn->setVisible(!m_groupEditing);
    m_devGroupBtn->setVisible(!m_groupEditing);
    m_editBtn->setVisible(m_groupEditing);
    m_devListBtn->setChecked(all);
    m_devGroupBtn->setChecked(!all && !m_groupEditing);
    // The shown tab cannot be pressed again; the other one can.
    m_devListBtn->setEnabled(!all);
    m_devGroupBtn->setEnabled(all);
    m_groupEditBtn->setVisible(m_current == m_groupList);
    m_btnReback->setVisible(m_groupEditing);
    m_bottomBar->setVisible(m_current != m_allList);
    m_btnAdd->setEnabled(!m_groupEditing);
    m_btnRefresh->setEnabled(!m_groupEditing);
}

void DeviceListWidget::OnListBtnClicked()
{
    if (m_groupEditing)
        return;
    showList(m_allList);
    if (m_selectedId.isEmpty())
        return;
    if (NDeviceListItem *item = m_allList->findDevice(m_selectedId))
        selectDevice(m_selectedId, item->deviceInfo());
}

void DeviceListWidget::OnGroupBtnClicked()
{
    if (m_groupEditing)
        return;
    showList(m_groupList);
}

void DeviceListWidget::OnGroupEditBtnClicked()
{
    if (m_groupEditing)
        return;
    qDebug() << "DeviceListWidget::OnGroupEditBtnClicked()...";
    USBDeviceManager::instance()->setNotificationsEnabled(false);
    m_groupEditing = true;
    m_beforeEdit = m_current;
    m_editList->removeDevicesIf([](NDeviceListItem *) { return true; });
    dropEmptyNetGroups(m_editList);
    QList<KxDeviceInfoMap> maps;
    for (NDeviceListItem *item : m_groupList->allDevices()) {
        const KxDeviceInfoMap info = item->deviceInfo();
        if (info.value(QStringLiteral("Supp Gr")).trimmed() != QLatin1String("1"))
            continue;
        placeInGroupList(m_editList, item->deviceId(), info);
        maps << info;
    }
    m_editList->setGroupButtonsVisible(true);
    showList(m_editList);
    emit readyToEditNetGroup(maps);
}

void DeviceListWidget::editNetGroupListRefresh(QList<QMap<QString, QString>> list)
{
    // The editor's maps carry no reader id: find each reader by serial number and MAC address.
    auto idOf = [this](const KxDeviceInfoMap &info) {
        const QString sn = info.value(QStringLiteral("Serial Number"));
        const QString mac = info.value(QStringLiteral("MAC Address"));
        for (NDeviceList *l : {m_groupList, m_allList}) {
            for (NDeviceListItem *item : l->allDevices()) {
                const KxDeviceInfoMap m = item->deviceInfo();
                if (m.value(QStringLiteral("Serial Number")) == sn &&
                    m.value(QStringLiteral("MAC Address")).compare(mac, Qt::CaseInsensitive) == 0)
                    return item->deviceId();
            }
        }
        return mac.isEmpty() ? sn : mac;
    };
    m_editList->removeDevicesIf([](NDeviceListItem *) { return true; });
    dropEmptyNetGroups(m_editList);
    for (const KxDeviceInfoMap &info : qAsConst(list)) {
        const QString id = idOf(info);
        if (!id.isEmpty())
            placeInGroupList(m_editList, id, info);
    }
    m_editList->setGroupButtonsVisible(m_groupEditing);
}

void DeviceListWidget::RebackDeviceListWidget()
{
    qDebug() << "DeviceListWidget::RebackDeviceListWidget()...";
    if (m_groupEditing)
        USBDeviceManager::instance()->setNotificationsEnabled(true);
    m_groupEditing = false;
    m_editList->setGroupButtonsVisible(false);
    // Back to the tab editing started from: entered from a reader's button, that is the list
    // of all readers, which must not be left showing only the network groups.
    NDeviceList *back = m_beforeEdit && m_beforeEdit != m_editList ? m_beforeEdit : m_groupList;
    m_beforeEdit = nullptr;
    showList(back);
    if (back == m_allList && !m_selectedId.isEmpty()) {
        if (NDeviceListItem *item = m_allList->findDevice(m_selectedId))
            selectDevice(m_selectedId, item->deviceInfo());
    }
}
