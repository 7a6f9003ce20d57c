#pragma once
// The edit frame of an RFID reader: a tool bar (main page, inventory, settings, the unsaved
// changes) over two pages, the inventory page and the settings pages generated from the
// model's descriptions. Leaving it stops a running inventory without waiting on the reader.
#include "IPluginWidget.h"

#include <QPointer>

class AdvancedSettingsWidget;
class QButtonGroup;
class QHBoxLayout;
class QStackedWidget;
class QToolButton;
class RfidInventoryWidget;

class RFIDEditFrame : public IPluginWidget
{
    Q_OBJECT
public:
    enum Page { Page_Inventory = 0, Page_Settings = 1 };
    // How long leaving waits for the reader to confirm the inventory stopped before it goes anyway.
    static constexpr int kLeaveStopMs = 6000;

    explicit RFIDEditFrame(QWidget *parent = nullptr);
    ~RFIDEditFrame() override;

    // The live RFID frame, if any.
    static RFIDEditFrame *live();
    QPointer<KxDeviceConnector> connector() const { return m_connector; }
    QString deviceId() const { return m_deviceId; }

    RfidInventoryWidget *inventoryPage() const { return m_inventory; }
    AdvancedSettingsWidget *settingsPage() const { return m_settings; }
    QWidget *currentPage() const;
    QToolButton *toolButton(const QString &objectName) const;
    bool switchPage(int index);
    // True while leaving waits for the inventory to stop.
    bool isLeaving() const { return m_leaving; }

public slots:
    bool openDeviceById(const QString &deviceId, const QVariant &param) override;
    bool checkLeave() override;
    bool isBusy() override;
    bool stopBusy() override;
    bool deactivate(const QVariant &param) override;
    bool closing(const QVariant &param) override;
    void OnToolBarBtnClicked();

private:
    QToolButton *addToolButton(const QString &id, const QString &textKey, const QString &icon);
    void updateUnsaved();
    void leaveToMainPage();
    void checkPageButton();

    QWidget *m_toolbar;
    QHBoxLayout *m_toolbarLayout;
    QButtonGroup *m_toolGroup;
    QToolButton *m_unsaved = nullptr;
    QStackedWidget *m_pageStack;
    RfidInventoryWidget *m_inventory = nullptr;
    AdvancedSettingsWidget *m_settings = nullptr;
    QPointer<KxDeviceConnector> m_connector;
    QString m_deviceId;
    bool m_leaveGuard = true;
    bool m_leaving = false;
    QMetaObject::Connection m_historyLink;
};
