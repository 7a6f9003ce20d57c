#pragma once
// The quick settings page: the device card and the settings tabs of the model's quick pages.
// The live image, the reader tools, the configuration-set box and the output panels are not
// here yet; their places say so.
#include "IPluginWidget.h"

#include <QPointer>

class BCodePropertyWidget;
class DeviceCardWidget;
class QTabWidget;

class QuickSettingsWidget : public IPluginWidget
{
    Q_OBJECT
public:
    explicit QuickSettingsWidget(QWidget *parent = nullptr);

    DeviceCardWidget *deviceCard() const { return m_card; }
    QTabWidget *settingsTabs() const { return m_tabs; }
    BCodePropertyWidget *settings() const { return m_settings; }

    bool openDevice(QPointer<KxDeviceConnector> connector, const QVariant &param) override;

public slots:
    bool openDeviceById(const QString &deviceId, const QVariant &param) override;
    bool checkLeave() override { return true; }
    bool isBusy() override { return false; }
    bool stopBusy() override { return true; }
    bool activate(const QVariant &param) override;
    bool closing(const QVariant &param) override;
    // Shows the tab of the item ("Page Global Settings", "Page Exposure Settings", ...).
    void locate(const QVariant &item) override;
    void OnSlotConfigLibStreamMode(bool bStream);

signals:
    void OnSignalConfigLibEnable();
    void OnSignalBtnDeviceLogClick();
    void OnSignalConfigLibStreamMode(bool bStream);

private:
    QPointer<KxDeviceConnector> m_connector;
    DeviceCardWidget *m_card;
    QTabWidget *m_tabs;
    BCodePropertyWidget *m_settings;
};
