#pragma once
// The page interface: every page the main window or an edit frame shows derives from it.
// Shared here, below the edit pages and the main window, so both can use it.
#include <QPointer>
#include <QVariant>
#include <QWidget>

class KxDeviceConnector;

// Which panel the main window shows.
enum MainFramePanel { MainFramePanel_Main = 0, MainFramePanel_DeviceEdit = 1 };

// The kind of frame a device edit page shows.
enum DeviceEditMode {
    DeviceEditMode_None = 0,
    DeviceEditMode_QuickSettings = 1,
    DeviceEditMode_AdvancedSettings = 2,
    DeviceEditMode_Vision = 3,
    DeviceEditMode_Rfid = 4,
    DeviceEditMode_Statistics = 5,
};

class IPluginWidget : public QWidget
{
    Q_OBJECT
public:
    using QWidget::QWidget;

    // Default: releases the pointer and refuses. Not a slot: the connector type is unknown here.
    virtual bool openDevice(QPointer<KxDeviceConnector> connector, const QVariant &param)
    {
        connector.clear();
        Q_UNUSED(param);
        return false;
    }

public slots:
    virtual bool openDeviceById(const QString &deviceId, const QVariant &param) = 0;
    // True when the page may be left (may ask the user).
    virtual bool checkLeave() = 0;
    // True when the window may close.
    virtual bool checkClose() { return checkLeave(); }
    virtual bool isBusy() = 0;
    virtual bool stopBusy() = 0;
    virtual bool activate(const QVariant &param)
    {
        Q_UNUSED(param);
        return true;
    }
    virtual bool deactivate(const QVariant &param)
    {
        Q_UNUSED(param);
        return true;
    }
    virtual bool closing(const QVariant &param) = 0;
    // Shows the given page item (a KxItemInfo pointer in the variant).
    virtual void locate(const QVariant &item) { Q_UNUSED(item); }
};

// Pages the main window hosts directly (the main page and the device edit page). The window
// speaks the panel words below; by default they map onto the page operations above.
class IMainFramePanel : public IPluginWidget
{
    Q_OBJECT
public:
    using IPluginWidget::IPluginWidget;

public slots:
    // True for the device edit page.
    virtual bool isDeviceEditClient() const { return false; }
    virtual MainFramePanel panelId() const
    {
        return isDeviceEditClient() ? MainFramePanel_DeviceEdit : MainFramePanel_Main;
    }
    // Hands the panel the reader and the edit mode.
    virtual bool setDevice(const QString &device_id, const QVariant &mode)
    {
        return openDeviceById(device_id, mode);
    }
    // False while the panel must not be replaced by another one.
    virtual bool canLeave() { return checkLeave(); }
    virtual bool canClose() { return checkClose(); }
    // The panel becomes visible / is being replaced.
    virtual void enter(const QVariant &param) { activate(param); }
    virtual void leave(const QVariant &out) { deactivate(out); }
};
