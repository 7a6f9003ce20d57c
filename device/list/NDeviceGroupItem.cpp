#include "NDeviceGroupItem.h"

#include "DeviceListIcons.h"
#include "KxI18nUtil.h"
#include "KxWidgetStyle.h"
#include "NBoxDeviceListItem.h"
#include "NDeviceListItem.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QVBoxLayout>

NDeviceGroupTitle::NDeviceGroupTitle(const QString &titleKey, int level, QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("NDeviceGroupTitle"));
    setFixedHeight(level == 0 ? 32 : 28);
    setCursor(Qt::PointingHandCursor);
    m_labArrow = new QLabel(this);
    m_labArrow->setFixedSize(16, 16);
    m_labName = new QLabel(this);
    m_labName->setObjectName(QStringLiteral("labGroupName"));
    m_labName->setTextFormat(Qt::PlainText);
    m_labCount = new QLabel(this);
    m_labCount->setObjectName(QStringLiteral("labGroupCount"));
    setStyleSheet(QStringLiteral("QLabel#labGroupName{color:%1;font-size:%2px;font-weight:%3;}"
                                 "QLabel#labGroupCount{color:%4;font-size:12px;}")
                      .arg(QLatin1String(KxStyle::Text))
                      .arg(level == 0 ? 13 : 12)
                      .arg(level == 0 ? QStringLiteral("bold") : QStringLiteral("normal"))
                      .arg(QLatin1String(KxStyle::TextMuted)));
    auto *lay = new QHBoxLayout(this);
    lay->setContentsMargins(8 + level * 16, 0, 8, 0);
    lay->setSpacing(4);
    lay->addWidget(m_labArrow);
    lay->addWidget(m_labName);
    lay->addWidget(m_labCount);
    lay->addStretch(1);
    setTitleKey(titleKey);
    setCount(0);
    setExpanded(true);
}

void NDeviceGroupTitle::setTitleKey(const QString &titleKey)
{
    m_titleKey = titleKey;
    m_labName->setText(kxTr(titleKey));
}

void NDeviceGroupTitle::setCount(int count)
{
    m_labCount->setText(QStringLiteral("(%1)").arg(count));
}

void NDeviceGroupTitle::setExpanded(bool expanded)
{
    m_labArrow->setPixmap(
        deviceListIcon(expanded ? DeviceListIcon::ChevronDown : DeviceListIcon::ChevronRight, 16,
                       QColor(KxStyle::TextMuted))
            .pixmap(16, 16));
}

QString NDeviceGroupTitle::countText() const
{
    return m_labCount->text();
}

QString NDeviceGroupTitle::nameText() const
{
    return m_labName->text();
}

void NDeviceGroupTitle::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        emit clicked();
    QWidget::mousePressEvent(event);
}

NDeviceGroupItem::NDeviceGroupItem(const QString &groupId, const QString &titleKey, int level,
                                   QWidget *parent)
    : QWidget(parent), m_groupId(groupId), m_level(level)
{
    setObjectName(groupId);
    m_title = new NDeviceGroupTitle(titleKey, level, this);
    m_body = new QWidget(this);
    m_deviceLayout = new QVBoxLayout;
    m_deviceLayout->setContentsMargins(level * 12, 0, 0, 0);
    m_deviceLayout->setSpacing(2);
    m_subLayout = new QVBoxLayout;
    m_subLayout->setContentsMargins(0, 0, 0, 0);
    m_subLayout->setSpacing(0);
    auto *bodyLay = new QVBoxLayout(m_body);
    bodyLay->setContentsMargins(0, 0, 0, level == 0 ? 4 : 0);
    bodyLay->setSpacing(0);
    bodyLay->addLayout(m_deviceLayout);
    bodyLay->addLayout(m_subLayout);
    auto *lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(0);
    lay->addWidget(m_title);
    lay->addWidget(m_body);
    connect(m_title, &NDeviceGroupTitle::clicked, this, &NDeviceGroupItem::toggleExpanded);
}

NDeviceListItem *NDeviceGroupItem::addDevice(const QString &deviceId, const KxDeviceInfoMap &info)
{
    const bool box = NBoxDeviceListItem::isBox(info);
    NDeviceListItem *old = device(deviceId);
    if (old && (qobject_cast<NBoxDeviceListItem *>(old) != nullptr) == box) {
        old->setDeviceInfo(info);
        return old;
    }
    // A group master is shown as a box with its members; a reader that becomes or stops being
    // one gets the other kind of entry in the same place.
    NDeviceListItem *item = box ? new NBoxDeviceListItem(deviceId, info, m_body)
                                : new NDeviceListItem(deviceId, info, m_body);
    if (old) {
        const int at = m_devices.indexOf(old);
        m_devices.replace(at, item);
        m_deviceLayout->insertWidget(m_deviceLayout->indexOf(old), item);
        m_deviceLayout->removeWidget(old);
        item->setSelected(old->isSelected());
        item->setStale(old->isStale());
        old->hide();
        old->deleteLater();
    } else {
        m_devices.append(item);
        m_deviceLayout->addWidget(item);
    }
    return item;
}

NDeviceListItem *NDeviceGroupItem::device(const QString &deviceId) const
{
    for (NDeviceListItem *item : m_devices) {
        if (item->deviceId() == deviceId)
            return item;
    }
    return nullptr;
}

bool NDeviceGroupItem::removeDevice(const QString &deviceId)
{
    NDeviceListItem *item = device(deviceId);
    if (!item)
        return false;
    m_devices.removeOne(item);
    m_deviceLayout->removeWidget(item);
    item->hide();
    item->deleteLater();
    return true;
}

void NDeviceGroupItem::addSubGroup(NDeviceGroupItem *group)
{
    group->setParent(m_body);
    m_subGroups.append(group);
    m_subLayout->addWidget(group);
}

NDeviceGroupItem *NDeviceGroupItem::takeSubGroup(const QString &groupId)
{
    for (NDeviceGroupItem *g : m_subGroups) {
        if (g->groupId() == groupId) {
            m_subGroups.removeOne(g);
            m_subLayout->removeWidget(g);
            g->hide();
            return g;
        }
    }
    return nullptr;
}

QList<NDeviceListItem *> NDeviceGroupItem::allDevices() const
{
    QList<NDeviceListItem *> out = m_devices;
    for (NDeviceGroupItem *g : m_subGroups)
        out += g->allDevices();
    return out;
}

int NDeviceGroupItem::visibleCount() const
{
    int n = 0;
    for (NDeviceListItem *item : m_devices)
        n += item->matches() ? 1 : 0;
    for (NDeviceGroupItem *g : m_subGroups)
        n += g->visibleCount();
    return n;
}

void NDeviceGroupItem::setExpanded(bool expanded)
{
    if (m_expanded == expanded)
        return;
    m_expanded = expanded;
    m_title->setExpanded(expanded);
    m_body->setVisible(expanded);
    emit expandedChanged(expanded);
}

void NDeviceGroupItem::refreshView(bool searching)
{
    for (NDeviceListItem *item : m_devices)
        item->setVisible(item->matches());
    for (NDeviceGroupItem *g : m_subGroups) {
        g->refreshView(searching);
        // While searching, sub-groups without a match get out of the way.
        g->setVisible(!searching || g->visibleCount() > 0);
    }
    m_title->setCount(visibleCount());
}
