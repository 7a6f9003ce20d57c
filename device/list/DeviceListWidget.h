#pragma once
// The device list, left half of the main page. It scans for readers through the device kit
// (USB, serial lines and network), keeps one entry per reader in three lists:
//   "ALL_DEVICE_LIST"   local, network and virtual (offline model) readers;
//   "GROUP_DEVICE_LIST" network readers by network group, and the ungrouped ones;
//   "EDIT_GROUP_LIST"   the same readers while groups are being edited;
// filters them by a search text and tells the main page which reader is selected.
//
// Use: create it, connect deviceClicked / deviceDClicked / deviceListChanged. Scanning starts
// 300 ms after construction and stops when the widget is destroyed. selectedDeviceId() and
// selectedDeviceInfo() give the current selection; refresh(delayMs) (or OnBtnRefreshClicked)
// rebuilds the list without losing the selection; pauseEnumeration() pauses the kit's network
// enumeration while an edit page is shown.
//
// deviceBlink(map) carries the reader's information map plus "Device Id"; the main page runs
// DeviceBlink::blink() with it.
#include "KxKitTypes.h"

#include <QSet>
#include <QWidget>

class KxSearchLineEdit;
class KxPushButton;
class NDeviceList;
class QStackedWidget;
class QTimer;
class QToolButton;

class DeviceListWidget : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kStartDelayMs = 300;
    static constexpr int kHotPlugDelayMs = 2000;

    explicit DeviceListWidget(QWidget *parent = nullptr);
    ~DeviceListWidget() override;

    // ---- selection ----
    bool hasSelection() const { return m_selected; }
    // The selected reader, or the one remembered across a refresh.
    QString selectedDeviceId() const { return m_selectedId; }
    KxDeviceInfoMap selectedDeviceInfo() const { return m_selectedInfo; }
    // The information map of a listed reader (all-devices list first); empty when unknown.
    KxDeviceInfoMap deviceInfo(const QString &deviceId) const;

    // ---- lists ----
    NDeviceList *allDeviceList() const { return m_allList; }
    NDeviceList *groupDeviceList() const { return m_groupList; }
    NDeviceList *editGroupList() const { return m_editList; }
    NDeviceList *currentList() const { return m_current; }
    bool isGroupEditing() const { return m_groupEditing; }
    QString searchText() const;
    void setSearchText(const QString &text);

    // ---- scanning ----
    // Clears the list and asks the kit to enumerate again after delayMs.
    void refresh(int delayMs);
    // Pauses (or resumes) the kit's network enumeration.
    void pauseEnumeration(bool pause);
    // How long after a refresh entries that were not reported again stay listed (tests).
    void setRefreshGraceMs(int ms) { m_graceMs = ms; }

signals:
    void deviceListChanged();
    void deviceClicked(QString device_id, KxDeviceInfoMap device_info);
    void deviceDClicked(QString device_id, KxDeviceInfoMap device_info);
    void readyToEditNetGroup(QList<KxDeviceInfoMap> device_info_list);
    void finishEditNetGroup();
    void addDevToNetGroup(QMap<QString, QString> mapDevInfos);
    void deviceBlink(QMap<QString, QString> device_infos);

public slots:
    void OnBtnRefreshClicked();
    void OnGroupEditBtnClicked();
    void editNetGroupListRefresh(QList<QMap<QString, QString>> list);
    void RebackDeviceListWidget();
    void OnDeviceChange(bool bAdd, bool bRemove, QString strPath, int nDelayTime);
    void OnDeviceUpdated(const QString &device_id, const QMap<QString, QString> &device_info);
    void OnDeviceClicked(const QString &group_id, const QString &device_id);
    void OnDeviceDClicked(const QString &group_id, const QString &device_id);
    void OnDeviceOffLine(const QString &device_id);
    void OnBtnAddDeviceClicked();
    void OnListBtnClicked();
    void OnGroupBtnClicked();
    void onEditAliasSlot(const QString &device_id);
    void OnSerialPortDeviceEnumEnd();
    void onSearchTextChanged(const QString &text);

private:
    void buildUi();
    void connectList(NDeviceList *list);
    void addFixedGroups();
    void addVirtualDevices();
    void startScan();
    void placeInGroupList(NDeviceList *list, const QString &id, const KxDeviceInfoMap &info);
    void removeFromGroupList(NDeviceList *list, const QString &id);
    // Tells each group master's box which of its members discovery reports.
    void updateBoxes();
    void dropEmptyNetGroups(NDeviceList *list);
    void sweepStale();
    void selectDevice(const QString &id, const KxDeviceInfoMap &info);
    void selectFallback();
    void markSelection();
    void showList(NDeviceList *list);
    void updateTabs();

    NDeviceList *m_allList = nullptr;
    NDeviceList *m_groupList = nullptr;
    NDeviceList *m_editList = nullptr;
    NDeviceList *m_current = nullptr;
    NDeviceList *m_beforeEdit = nullptr; // the tab to return to when group editing ends
    QStackedWidget *m_stack = nullptr;
    QToolButton *m_devListBtn = nullptr;
    QToolButton *m_devGroupBtn = nullptr;
    KxPushButton *m_groupEditBtn = nullptr;
    QToolButton *m_editBtn = nullptr;
    KxPushButton *m_btnReback = nullptr;
    QWidget *m_bottomBar = nullptr;
    KxSearchLineEdit *m_search = nullptr;
    QToolButton *m_btnRefresh = nullptr;
    QToolButton *m_btnAdd = nullptr;
    QTimer *m_sweepTimer = nullptr;

    bool m_groupEditing = false;
    bool m_selected = false;
    QString m_selectedId;
    KxDeviceInfoMap m_selectedInfo;
    int m_graceMs = 3000;
};
