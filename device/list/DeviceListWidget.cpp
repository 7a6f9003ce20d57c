#include "DeviceListWidget.h"

#include "AddDeviceDlg.h"
#include "DeviceAliasEditDlg.h"
#include "DeviceListIcons.h"
#include "DeviceListLogic.h"
#include "IKxDeviceLogPorts.h"
#include "KxDeviceAlias.h"
#include "KxDeviceConfigs.h"
#include "KxDeviceKit.h"
#include "KxI18nUtil.h"
#include "KxSearchLineEdit.h"
#include "KxSettings.h"
#include "KxStyledButtons.h"
#include "KxUiService.h"
#include "KxWidgetStyle.h"
#include "NDeviceGroupItem.h"
#include "NDeviceList.h"
#include "NDeviceListItem.h"

#include <QApplication>
#include <QDebug>
#include <QHBoxLayout>
#include <QMetaMethod>
#include <QStackedWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

using namespace DeviceListLogic;

namespace
{
IKxDeviceLogPorts *g_logPorts = nullptr;

QToolButton *tabButton(const char *name, const QString &key, QWidget *parent)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(QLatin1String(name));
    b->setText(kxTr(key));
    b->setCheckable(true);
    b->setAutoExclusive(false);
    b->setCursor(Qt::PointingHandCursor);
    b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    b->setFixedHeight(34);
    return b;
}

QToolButton *iconButton(const char *name, DeviceListIcon icon, const QString &tip, QWidget *parent)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(QLatin1String(name));
    b->setIcon(deviceListIcon(icon, 16, QColor(KxStyle::Text), QColor(KxStyle::Accent)));
    b->setIconSize(QSize(16, 16));
    b->setFixedSize(30, 30);
    b->setToolTip(kxTr(tip));
    b->setCursor(Qt::PointingHandCursor);
    return b;
}
} // namespace

IKxDeviceLogPorts *deviceLogPorts()
{
    return g_logPorts;
}

void setDeviceLogPorts(IKxDeviceLogPorts *ports)
{
    g_logPorts = ports;
}

DeviceListWidget::DeviceListWidget(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("DeviceListWidget"));
    // The signals carry these under their typedef names; queued receivers need them registered.
    qRegisterMetaType<KxDeviceInfoMap>("KxDeviceInfoMap");
    qRegisterMetaType<QList<KxDeviceInfoMap>>("QList<KxDeviceInfoMap>");
    buildUi();
    addFixedGroups();
    addVirtualDevices();

    KxDeviceKit *kit = KxDeviceKit::Instance();
    connect(kit, &KxDeviceKit::deviceUpdated, this, &DeviceListWidget::OnDeviceUpdated);
    connect(kit, &KxDeviceKit::deviceOffLine, this, &DeviceListWidget::OnDeviceOffLine);
    connect(kit, &KxDeviceKit::serialPortDeviceEnumEnd, this,
            &DeviceListWidget::OnSerialPortDeviceEnumEnd);

    m_sweepTimer = new QTimer(this);
    m_sweepTimer->setSingleShot(true);
    connect(m_sweepTimer, &QTimer::timeout, this, &DeviceListWidget::sweepStale);
    QTimer::singleShot(kStartDelayMs, this, &DeviceListWidget::startScan);
}

DeviceListWidget::~DeviceListWidget()
{
    qDebug() << "DeviceListWidget::~DeviceListWidget";
    KxDeviceKit::Instance()->stopDeviceScan(ScanType_All);
}

void DeviceListWidget::buildUi()
{
    setStyleSheet(
        QStringLiteral(
            "QWidget#DeviceListWidget{background:#ffffff;}"
            "QToolButton#devListBtn,QToolButton#devGroupBtn,QToolButton#editBtn{border:none;"
            "border-bottom:2px solid %3;background:transparent;color:%2;font-size:13px;}"
            "QToolButton#devListBtn:checked,QToolButton#devGroupBtn:checked,QToolButton#editBtn:"
            "checked"
            "{border-bottom:2px solid %1;color:%1;font-weight:bold;}"
            "QToolButton#devListBtn:hover,QToolButton#devGroupBtn:hover{color:%1;}"
            "QToolButton#btnRefresh,QToolButton#btnAddDevice{border:1px solid %3;border-radius:4px;"
            "background:%4;}"
            "QToolButton#btnRefresh:hover,QToolButton#btnAddDevice:hover{border-color:%1;}"
            "KxSearchLineEdit{border:1px solid %3;border-radius:4px;padding:0 6px;min-height:28px;"
            "background:#ffffff;}"
            "KxSearchLineEdit:focus{border-color:%1;}")
            .arg(QLatin1String(KxStyle::Accent), QLatin1String(KxStyle::Text),
                 QLatin1String(KxStyle::Border), QLatin1String(KxStyle::ButtonFace)) +
        KxStyle::pushButtonSheet());
    setAttribute(Qt::WA_StyledBackground);

    m_devListBtn = tabButton("devListBtn", QStringLiteral("#IDS_DeviceList"), this);
    m_devGroupBtn = tabButton("devGroupBtn", QStringLiteral("#IDS_DeviceGroup"), this);
    m_editBtn = tabButton("editBtn", QStringLiteral("#IDS_NetworkGroupEdit"), this);
    m_editBtn->setChecked(true);
    m_editBtn->setCursor(Qt::ArrowCursor);
    m_editBtn->hide();
    connect(m_devListBtn, &QToolButton::clicked, this, &DeviceListWidget::OnListBtnClicked);
    connect(m_devGroupBtn, &QToolButton::clicked, this, &DeviceListWidget::OnGroupBtnClicked);
    auto *tabs = new QHBoxLayout;
    tabs->setContentsMargins(0, 0, 0, 0);
    tabs->setSpacing(0);
    tabs->addWidget(m_devListBtn);
    tabs->addWidget(m_devGroupBtn);
    tabs->addWidget(m_editBtn);

    m_search = new KxSearchLineEdit(this);
    m_search->setObjectName(QStringLiteral("editSearch"));
    m_search->setPlaceholderKey(QStringLiteral("#IDS_Device_Searsh"));
    m_search->setDelay(150);
    connect(m_search, &KxSearchLineEdit::signal_searchChanged, this,
            &DeviceListWidget::onSearchTextChanged);
    m_btnRefresh = iconButton("btnRefresh", DeviceListIcon::Refresh,
                              QStringLiteral("#IDS_DeviceListFresh"), this);
    m_btnAdd =
        iconButton("btnAddDevice", DeviceListIcon::Add, QStringLiteral("#IDS_AddDevice"), this);
    connect(m_btnRefresh, &QToolButton::clicked, this, &DeviceListWidget::OnBtnRefreshClicked);
    connect(m_btnAdd, &QToolButton::clicked, this, &DeviceListWidget::OnBtnAddDeviceClicked);
    auto *searchRow = new QHBoxLayout;
    searchRow->setContentsMargins(10, 8, 10, 6);
    searchRow->setSpacing(6);
    searchRow->addWidget(m_search, 1);
    searchRow->addWidget(m_btnRefresh);
    searchRow->addWidget(m_btnAdd);

    m_allList = new NDeviceList(QStringLiteral("ALL_DEVICE_LIST"), this);
    m_groupList = new NDeviceList(QStringLiteral("GROUP_DEVICE_LIST"), this);
    m_editList = new NDeviceList(QStringLiteral("EDIT_GROUP_LIST"), this);
    m_stack = new QStackedWidget(this);
    for (NDeviceList *list : {m_allList, m_groupList, m_editList}) {
        m_stack->addWidget(list);
        connectList(list);
    }

    m_groupEditBtn =
        new KxPushButton(QStringLiteral("#IDS_EditDeviceGroup"), KxPushButton::Primary, this);
    m_groupEditBtn->setObjectName(QStringLiteral("groupEditBtn"));
    m_groupEditBtn->setFixedHeight(32);
    connect(m_groupEditBtn, &QPushButton::clicked, this, &DeviceListWidget::OnGroupEditBtnClicked);
    m_btnReback =
        new KxPushButton(QStringLiteral("#IDS_EditDeviceGroupReturn"), KxPushButton::Normal, this);
    m_btnReback->setObjectName(QStringLiteral("btnReback"));
    m_btnReback->setFixedHeight(32);
    connect(m_btnReback, &QPushButton::clicked, this, [this] {
        if (isSignalConnected(QMetaMethod::fromSignal(&DeviceListWidget::finishEditNetGroup)))
            emit finishEditNetGroup(); // the main page saves and then calls RebackDeviceListWidget
        else
            RebackDeviceListWidget();
    });
    m_bottomBar = new QWidget(this);
    m_bottomBar->setFixedHeight(48);
    auto *bottom = new QHBoxLayout(m_bottomBar);
    bottom->setContentsMargins(10, 6, 10, 10);
    bottom->addWidget(m_groupEditBtn, 1);
    bottom->addWidget(m_btnReback, 1);

    auto *lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(0);
    lay->addLayout(tabs);
    lay->addLayout(searchRow);
    lay->addWidget(m_stack, 1);
    lay->addWidget(m_bottomBar);

    showList(m_allList);
}

void DeviceListWidget::connectList(NDeviceList *list)
{
    connect(list, &NDeviceList::deviceClicked, this, &DeviceListWidget::OnDeviceClicked);
    connect(list, &NDeviceList::deviceDClicked, this, &DeviceListWidget::OnDeviceDClicked);
    connect(list, &NDeviceList::addDevToNetGroup, this, &DeviceListWidget::addDevToNetGroup);
    connect(list, &NDeviceList::editAlias, this, &DeviceListWidget::onEditAliasSlot);
    connect(list, &NDeviceList::deviceBlink, this, &DeviceListWidget::deviceBlink);
}

void DeviceListWidget::addFixedGroups()
{
    m_allList->addGroup(QLatin1String(kGroupLocal), QStringLiteral("#IDS_DeviceGroup_Local"));
    m_allList->addGroup(QLatin1String(kGroupNetwork), QStringLiteral("#IDS_DeviceGroup_Network"));
    m_allList->addGroup(QLatin1String(kGroupVirtual), QStringLiteral("#IDS_DeviceGroup_Offline"));
    for (NDeviceList *list : {m_groupList, m_editList})
        list->addGroup(QLatin1String(kGroupUngrouped), QStringLiteral("#IDS_DeviceGroup_Unknow"));
}

void DeviceListWidget::addVirtualDevices()
{
    static const QList<QPair<const char *, const char *>> subGroups = {
        {kGroupHandHeld, "#ID_STRING_HAND_HELD"},
        {kGroupFixedMount, "#ID_STRING_FIXED_MOUNT"},
        {kGroupEngine, "#ID_STRING_OEM_ENGINE"},
    };
    for (const KxDeviceConfig &entry : KxDeviceConfigs::instance()->allDevices()) {
        const QString sub = virtualSubGroup(entry.category);
        if (entry.offlineXml.isEmpty() || entry.hide || sub.isEmpty())
            continue;
        for (const auto &s : subGroups) {
            if (sub == QLatin1String(s.first))
                m_allList->addGroup(sub, QLatin1String(s.second), QLatin1String(kGroupVirtual));
        }
        const QString model = entry.name.isEmpty() ? entry.id : entry.name;
        KxDeviceInfoMap info;
        info.insert(QStringLiteral("offLine_xml"), entry.offlineXml);
        info.insert(QStringLiteral("offLine"), QStringLiteral("1"));
        info.insert(QStringLiteral("Product Name"), model);
        m_allList->addDevice(sub, QLatin1String(kOffLinePrefix) + model, info);
    }
}

void DeviceListWidget::startScan()
{
    KxSettings *settings = KxSettings::instance();
    int period = settings->localSettingNumber(QStringLiteral("netDevFreshTimes"));
    int alive = settings->localSettingNumber(QStringLiteral("deviceAliveTimes"));
    if (period <= 0)
        period = 5; // local settings missing or damaged: the installation's defaults
    if (alive <= 0)
        alive = 10;
    qDebug() << "DeviceListWidget::startScan()..." << period << alive;
    KxDeviceKit *kit = KxDeviceKit::Instance();
    kit->startDeviceScan(ScanType_All, period * 1000);
    kit->setCheckDeviceAliveTime(alive);
    // Readers the kit already knows (a list built again) are reported only on change: ask for
    // all of them now.
    kit->setDelayEnumTime(0);
    kit->refreshDeviceScan(ScanType_All);
}

KxDeviceInfoMap DeviceListWidget::deviceInfo(const QString &deviceId) const
{
    for (NDeviceList *list : {m_allList, m_groupList, m_editList}) {
        if (NDeviceListItem *item = list->findDevice(deviceId))
            return item->deviceInfo();
    }
    return KxDeviceInfoMap();
}

QString DeviceListWidget::searchText() const
{
    return m_search->text();
}

void DeviceListWidget::setSearchText(const QString &text)
{
    m_search->setText(text);
    onSearchTextChanged(text);
}

void DeviceListWidget::refresh(int delayMs)
{
    qDebug() << "DeviceListWidget::refresh()..." << delayMs;
    // Entries stay on screen until the kit has had its chance to report them again, so a
    // refresh neither empties the list for a moment nor loses the selection.
    m_selected = false;
    for (NDeviceList *list : {m_allList, m_groupList}) {
        for (NDeviceListItem *item : list->allDevices())
            item->setStale(!isVirtual(item->deviceInfo()));
    }
    if (!qApp->property("LOG_CONN_NO_FRESH").toBool() && deviceLogPorts())
        deviceLogPorts()->dropLogConnections();
    KxDeviceKit *kit = KxDeviceKit::Instance();
    kit->setDelayEnumTime(delayMs);
    kit->refreshDeviceScan(ScanType_All);
    m_sweepTimer->start(qMax(0, delayMs) + m_graceMs);
}

void DeviceListWidget::pauseEnumeration(bool pause)
{
    KxDeviceKit::Instance()->pauseBroadcastDeviceEnum(pause);
}

void DeviceListWidget::OnBtnRefreshClicked()
{
    refresh(0);
}

void DeviceListWidget::OnDeviceChange(bool bAdd, bool bRemove, QString strPath, int nDelayTime)
{
    qDebug() << "DeviceListWidget::OnDeviceChange()..." << bAdd << bRemove << strPath << nDelayTime;
    KxDeviceKit::Instance()->dbtDeviceArrival(bAdd, bRemove, strPath);
    refresh(nDelayTime);
}

void DeviceListWidget::sweepStale()
{
    auto stale = [](NDeviceListItem *item) { return item->isStale(); };
    m_allList->removeDevicesIf(stale);
    m_groupList->removeDevicesIf(stale);
    dropEmptyNetGroups(m_groupList);
    selectFallback();
}

void DeviceListWidget::OnDeviceUpdated(const QString &device_id,
                                       const QMap<QString, QString> &device_info)
{
    if (device_id.isEmpty())
        return;
    KxDeviceInfoMap info = device_info;
    const QString sn = info.value(QStringLiteral("Serial Number"));
    if (info.contains(QStringLiteral("Serial Number")))
        info.insert(QStringLiteral("L Alias"),
                    effectiveAlias(KxDeviceAlias::instance()->alias(sn), info));

    const QString group = attachGroup(info);
    const QString other =
        QLatin1String(group == QLatin1String(kGroupLocal) ? kGroupNetwork : kGroupLocal);
    if (NDeviceGroupItem *g = m_allList->group(other))
        g->removeDevice(device_id);
    NDeviceListItem *item = m_allList->addDevice(group, device_id, info);
    if (item)
        item->setStale(false);

    if (group == QLatin1String(kGroupNetwork)) {
        if (!info.value(QStringLiteral("Log Port")).isEmpty() && deviceLogPorts())
            deviceLogPorts()->registerLogPort(device_id, info);
        if (!m_groupEditing)
            placeInGroupList(m_groupList, device_id, info);
    }

    if (m_selected && device_id == m_selectedId) {
        if (m_selectedInfo != info) { // the details page follows the reader's new state
            m_selectedInfo = info;
            emit deviceClicked(device_id, info);
        }
    } else if (!m_selected && !m_selectedId.isEmpty() && m_current == m_allList) {
        NDeviceListItem *remembered = m_allList->findDevice(m_selectedId);
        if (remembered && !remembered->isStale())
            selectDevice(m_selectedId, remembered->deviceInfo());
    }
}

void DeviceListWidget::OnDeviceOffLine(const QString &device_id)
{
    qDebug() << "DeviceListWidget::OnDeviceOffLine()..." << device_id;
    m_allList->removeDevice(device_id);
    removeFromGroupList(m_groupList, device_id);
    if (device_id != m_selectedId)
        return;
    m_selected = false;
    const QString first = m_allList->firstVisibleDeviceId();
    if (first.isEmpty()) {
        m_selectedId.clear();
        m_selectedInfo.clear();
        markSelection();
        emit deviceListChanged();
        return;
    }
    selectDevice(first, m_allList->findDevice(first)->deviceInfo());
}

void DeviceListWidget::OnDeviceClicked(const QString &group_id, const QString &device_id)
{
    Q_UNUSED(group_id)
    NDeviceListItem *item = m_allList->findDevice(device_id);
    if (!item)
        item = m_groupList->findDevice(device_id);
    if (!item && m_current == m_editList)
        item = m_editList->findDevice(device_id);
    if (item)
        selectDevice(device_id, item->deviceInfo());
}

void DeviceListWidget::OnDeviceDClicked(const QString &group_id, const QString &device_id)
{
    Q_UNUSED(group_id)
    NDeviceListItem *item = m_allList->findDevice(device_id);
    if (!item)
        item = m_groupList->findDevice(device_id);
    if (!item)
        return;
    m_selected = true;
    m_selectedId = device_id;
    m_selectedInfo = item->deviceInfo();
    markSelection();
    emit deviceDClicked(device_id, m_selectedInfo);
}

void DeviceListWidget::selectDevice(const QString &id, const KxDeviceInfoMap &info)
{
    m_selected = true;
    m_selectedId = id;
    m_selectedInfo = info;
    markSelection();
    emit deviceClicked(id, info);
}

void DeviceListWidget::markSelection()
{
    for (NDeviceList *list : {m_allList, m_groupList, m_editList})
        list->setSelectedDevice(m_selectedId);
}

void DeviceListWidget::selectFallback()
{
    if (m_selected || m_groupEditing)
        return;
    NDeviceListItem *remembered =
        m_selectedId.isEmpty() ? nullptr : m_allList->findDevice(m_selectedId);
    if (remembered && remembered->isStale())
        return; // a refresh is under way: wait for the reader to be reported again
    QString id;
    if (remembered && remembered->matches())
        id = m_selectedId;
    else
        id = m_allList->firstVisibleDeviceId();
    if (id.isEmpty()) {
        emit deviceListChanged();
        return;
    }
    if (m_current == m_allList)
        selectDevice(id, m_allList->findDevice(id)->deviceInfo());
}

void DeviceListWidget::OnSerialPortDeviceEnumEnd()
{
    if (m_groupEditing)
        return;
    selectFallback();
}

void DeviceListWidget::onSearchTextChanged(const QString &text)
{
    for (NDeviceList *list : {m_allList, m_groupList, m_editList})
        list->setFilter(text);
    selectFallback();
}

void DeviceListWidget::OnBtnAddDeviceClicked()
{
    AddDeviceDlg dlg(this);
    if (dlg.exec() == QDialog::Accepted)
        KxUi()->toast(QStringLiteral("#IDS_AddDevice_Success"), 3000, this);
}

void DeviceListWidget::onEditAliasSlot(const QString &device_id)
{
    const KxDeviceInfoMap info = deviceInfo(device_id);
    if (info.isEmpty())
        return;
    DeviceAliasEditDlg dlg(device_id, info, this);
    if (dlg.exec() != QDialog::Accepted)
        return;
    const QString alias = dlg.alias();
    for (NDeviceList *list : {m_allList, m_groupList, m_editList}) {
        for (NDeviceListItem *item : list->allDevices()) {
            if (item->deviceId() != device_id)
                continue;
            KxDeviceInfoMap map = item->deviceInfo();
            map.insert(QStringLiteral("L Alias"), alias);
            item->setDeviceInfo(map);
            item->applyFilter(list->filter());
        }
        list->refreshView();
    }
    if (device_id == m_selectedId) {
        m_selectedInfo.insert(QStringLiteral("L Alias"), alias);
        if (m_selected)
            emit deviceClicked(device_id, m_selectedInfo);
    }
}
