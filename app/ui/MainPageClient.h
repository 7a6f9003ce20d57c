#pragma once
// The main page (panel 0): the tool bar, the device list on the left and, on the right, either
// the "select a reader" tips or the selected reader's details with its device buttons. It opens
// readers for editing (connectToEdit) and connects them from the details' switch.
#include "IPluginWidget.h"
#include "KxDeviceConnector.h"
#include "KxKitTypes.h"

#include <QMap>
#include <QPointer>

#include <functional>

class DeviceInfoWidget;
class DeviceListWidget;
class NetGroupEditWidget;

class KxToolButton;
class QAbstractButton;
class QLabel;
class QStackedWidget;

class MainPageClient : public IMainFramePanel
{
    Q_OBJECT
public:
    static constexpr const char *kUser = "admin";
    // Picks the readers of a statistics run; an empty list means cancelled.
    using StatisticsSelector = std::function<QStringList(QWidget *parent,
                                                         const QList<KxDeviceInfoMap> &readers)>;

    explicit MainPageClient(QWidget *parent = nullptr);
    ~MainPageClient() override;

    DeviceListWidget *deviceList() const { return m_deviceList; }
    DeviceInfoWidget *deviceInfo() const { return m_infoWidget; }
    NetGroupEditWidget *groupEditor() const { return m_groupEditor; }
    QStackedWidget *toolbarStack() const { return m_stackToolbar; }
    QStackedWidget *infoStack() const { return m_stackInfo; }
    QAbstractButton *button(const QString &objectName) const;

    QString selectedDeviceId() const { return m_deviceId; }
    KxDeviceConnector *selectedConnector() const { return m_connector.data(); }
    int pendingMode() const { return m_pendingMode; }
    bool isConnecting() const { return m_connecting; }
    bool editRequestAllowed() const { return m_editRequest; }

    void setStatisticsSelector(StatisticsSelector selector) { m_selector = std::move(selector); }
    // The edit mode named by the start option "--open" ("quick", "advanced"), else none.
    static int startOpenMode(const QString &name);

public slots:
    bool openDeviceById(const QString &deviceId, const QVariant &param) override;
    // Not while a reader is being connected from the details' switch.
    bool checkLeave() override { return !m_connecting; }
    bool isBusy() override { return m_connecting; }
    bool stopBusy() override { return true; }
    void enter(const QVariant &param) override;
    bool closing(const QVariant &param) override;

    void connectToEdit(DeviceEditMode mode);
    void OnDeviceListChanged();
    void OnDeviceClicked(QString device_id, KxDeviceInfoMap device_info);
    void OnDeviceDClicked(QString device_id, KxDeviceInfoMap device_info);
    void OnToolBarBtnClicked();
    void OnDeviceConnectChanged(bool connected);
    void OnDeviceStateChanged(int state);
    void OnMenuActionTriggered_Ftp();
    void OnMenuActionTriggered_LocalSetting();
    void OnMenuActionTriggered_LogUpdate();
    void OnMenuActionTriggered_Cmd();
    void OnMenuActionTriggered_QuickSelectiontool();
    void readyToEditNetGroupSlot(QList<KxDeviceInfoMap> device_info_list);
    void finishEditNetGroupSlot();
    void OnDeviceUpdated(const QString &device_id, const QMap<QString, QString> &device_info);
    void deviceBlink(QMap<QString, QString> device_infos);

signals:
    void signal_deviceRefresh();
    void signal_editNetGroup();
    void signal_netGroupListRefresh(QList<QMap<QString, QString>> list);
    void signal_rebackDeviceListWidget();

private:
    void buildUi();
    QWidget *buildToolBar();
    QWidget *buildGroupEditBar();
    QWidget *buildTipsPage();
    QWidget *buildInfoPage();
    KxToolButton *addToolButton(QWidget *bar, const QString &name, const QString &textKey,
                                QChar glyph);
    void applyButtonVisibility(const KxDeviceInfoMap &info);
    void selectConnector(const QString &deviceId, const KxDeviceInfoMap &info);
    void finishPending(int loginCode);
    QList<KxDeviceInfoMap> statisticsCandidates() const;
    static void unavailable();
    void openBatchFirmwareUpgrade();
    void leaveGroupEditing();
public:
    // The log update dialog over the online readers of the list.
    void openLogUpdate();
private:

    QStackedWidget *m_stackToolbar = nullptr;
    QStackedWidget *m_stackInfo = nullptr;
    QWidget *m_pageTips = nullptr;
    QWidget *m_pageInfo = nullptr;
    DeviceListWidget *m_deviceList = nullptr;
    DeviceInfoWidget *m_infoWidget = nullptr;
    NetGroupEditWidget *m_groupEditor = nullptr;
    QMap<QString, QAbstractButton *> m_buttons;

    QString m_deviceId;
    QPointer<KxDeviceConnector> m_connector;
    int m_pendingMode = 0;
    // Start option "--select <serial number, address or id>": the reader to select
    // once it is reported (demonstrations and screenshots of the details page).
    QString m_startSelection;
    // Start option "--open quick|advanced": open the start selection in that mode.
    int m_startOpenMode = 0;
    bool m_editRequest = true;
    bool m_connecting = false;
    bool m_quickSelectAfterOpen = false;  // the tools menu's quick selection waits for the page
    StatisticsSelector m_selector;
};
