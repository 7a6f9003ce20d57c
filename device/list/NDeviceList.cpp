#include "NDeviceList.h"

#include "NDeviceGroupItem.h"
#include "NDeviceListItem.h"

#include <QScrollBar>
#include <QVBoxLayout>

namespace
{
NDeviceGroupItem *findGroup(const QList<NDeviceGroupItem *> &groups, const QString &id)
{
    for (NDeviceGroupItem *g : groups) {
        if (g->groupId() == id)
            return g;
        if (NDeviceGroupItem *sub = findGroup(g->subGroups(), id))
            return sub;
    }
    return nullptr;
}

NDeviceGroupItem *parentOf(const QList<NDeviceGroupItem *> &groups, const QString &id)
{
    for (NDeviceGroupItem *g : groups) {
        for (NDeviceGroupItem *sub : g->subGroups()) {
            if (sub->groupId() == id)
                return g;
        }
        if (NDeviceGroupItem *p = parentOf(g->subGroups(), id))
            return p;
    }
    return nullptr;
}
} // namespace

NDeviceList::NDeviceList(const QString &listId, QWidget *parent) : QScrollArea(parent)
{
    setObjectName(listId);
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_container = new QWidget(this);
    m_container->setObjectName(QStringLiteral("deviceListContainer"));
    m_container->setStyleSheet(QStringLiteral("QWidget#deviceListContainer{background:#ffffff;}"));
    m_layout = new QVBoxLayout(m_container);
    m_layout->setContentsMargins(0, 4, 0, 4);
    m_layout->setSpacing(0);
    m_layout->addStretch(1);
    setWidget(m_container);
}

NDeviceGroupItem *NDeviceList::addGroup(const QString &groupId, const QString &titleKey,
                                        const QString &parentGroupId)
{
    if (NDeviceGroupItem *g = group(groupId))
        return g;
    if (!parentGroupId.isEmpty()) {
        NDeviceGroupItem *parent = group(parentGroupId);
        if (!parent)
            return nullptr;
        auto *g = new NDeviceGroupItem(groupId, titleKey, 1);
        parent->addSubGroup(g);
        return g;
    }
    auto *g = new NDeviceGroupItem(groupId, titleKey, 0, m_container);
    m_groups.append(g);
    m_layout->insertWidget(m_layout->count() - 1, g); // before the stretch
    return g;
}

NDeviceGroupItem *NDeviceList::group(const QString &groupId) const
{
    return findGroup(m_groups, groupId);
}

void NDeviceList::removeGroup(const QString &groupId)
{
    NDeviceGroupItem *g = nullptr;
    if (NDeviceGroupItem *parent = parentOf(m_groups, groupId)) {
        g = parent->takeSubGroup(groupId);
    } else {
        g = group(groupId);
        if (g) {
            m_groups.removeOne(g);
            m_layout->removeWidget(g);
            g->hide();
        }
    }
    if (g) {
        g->deleteLater();
        emit deviceListChanged();
    }
}

NDeviceListItem *NDeviceList::addDevice(const QString &groupId, const QString &deviceId,
                                        const KxDeviceInfoMap &info)
{
    NDeviceGroupItem *g = group(groupId);
    if (!g)
        return nullptr;
    NDeviceListItem *before = g->device(deviceId);
    const bool added = before == nullptr;
    NDeviceListItem *item = g->addDevice(deviceId, info);
    if (item != before) { // new, or replaced by the other kind of entry
        wire(item);
        item->setGroupButtonVisible(m_groupButtons);
        item->setSelected(deviceId == m_selected);
    }
    item->applyFilter(m_filter);
    refreshView();
    if (added)
        emit deviceListChanged();
    return item;
}

NDeviceListItem *NDeviceList::findDevice(const QString &deviceId, QString *groupId) const
{
    for (NDeviceListItem *item : allDevices()) {
        if (item->deviceId() == deviceId) {
            if (groupId)
                *groupId = groupIdOf(item);
            return item;
        }
    }
    return nullptr;
}

bool NDeviceList::removeDevice(const QString &deviceId)
{
    bool removed = false;
    std::function<void(const QList<NDeviceGroupItem *> &)> walk =
        [&](const QList<NDeviceGroupItem *> &gs) {
            for (NDeviceGroupItem *g : gs) {
                removed = g->removeDevice(deviceId) || removed;
                walk(g->subGroups());
            }
        };
    walk(m_groups);
    if (removed) {
        refreshView();
        emit deviceListChanged();
    }
    return removed;
}

void NDeviceList::removeDevicesIf(const std::function<bool(NDeviceListItem *)> &accept)
{
    QStringList ids;
    for (NDeviceListItem *item : allDevices()) {
        if (accept(item) && !ids.contains(item->deviceId()))
            ids << item->deviceId();
    }
    for (const QString &id : qAsConst(ids))
        removeDevice(id);
}

QList<NDeviceListItem *> NDeviceList::allDevices() const
{
    QList<NDeviceListItem *> out;
    for (NDeviceGroupItem *g : m_groups)
        out += g->allDevices();
    return out;
}

QString NDeviceList::firstVisibleDeviceId() const
{
    for (NDeviceListItem *item : allDevices()) {
        if (item->matches())
            return item->deviceId();
    }
    return QString();
}

void NDeviceList::setFilter(const QString &text)
{
    m_filter = text;
    for (NDeviceListItem *item : allDevices())
        item->applyFilter(text);
    refreshView();
}

void NDeviceList::refreshView()
{
    const bool searching = !m_filter.isEmpty();
    for (NDeviceGroupItem *g : m_groups)
        g->refreshView(searching);
}

void NDeviceList::setSelectedDevice(const QString &deviceId)
{
    m_selected = deviceId;
    for (NDeviceListItem *item : allDevices())
        item->setSelected(!deviceId.isEmpty() && item->deviceId() == deviceId);
}

void NDeviceList::setGroupButtonsVisible(bool visible)
{
    m_groupButtons = visible;
    for (NDeviceListItem *item : allDevices())
        item->setGroupButtonVisible(visible);
}

void NDeviceList::wire(NDeviceListItem *item)
{
    connect(item, &NDeviceListItem::clicked, this,
            [this, item](const QString &id) { emit deviceClicked(groupIdOf(item), id); });
    connect(item, &NDeviceListItem::doubleClicked, this,
            [this, item](const QString &id) { emit deviceDClicked(groupIdOf(item), id); });
    connect(item, &NDeviceListItem::addDevToNetGroup, this, &NDeviceList::addDevToNetGroup);
    connect(item, &NDeviceListItem::editAlias, this, &NDeviceList::editAlias);
    connect(item, &NDeviceListItem::deviceBlink, this, &NDeviceList::deviceBlink);
}

QString NDeviceList::groupIdOf(const NDeviceListItem *item) const
{
    std::function<QString(const QList<NDeviceGroupItem *> &)> walk =
        [&](const QList<NDeviceGroupItem *> &gs) -> QString {
        for (NDeviceGroupItem *g : gs) {
            if (g->devices().contains(const_cast<NDeviceListItem *>(item)))
                return g->groupId();
            const QString sub = walk(g->subGroups());
            if (!sub.isEmpty())
                return sub;
        }
        return QString();
    };
    return walk(m_groups);
}
