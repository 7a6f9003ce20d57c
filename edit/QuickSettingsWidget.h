#pragma once
// The quick settings page: the device card and the settings tabs of the model's quick pages.
// The centre holds the live image above the place of the output panel. The reader tools and the
// configuration-set box are not here yet; their places say so.
#include "IPluginWidget.h"

#include <QPointer>

class BCodeImageView;
class BCodePropertyWidget;
class DeviceCardWidget;
class QSplitter;
class ResultOutputWidget;
class QTabWidget;

class QuickSettingsWidget : public IPluginWidget
{
    Q_OBJECT
public:
    explicit QuickSettingsWidget(QWidget *parent = nullptr);

    DeviceCardWidget *deviceCard() const { return m_card; }
    QTabWidget *settingsTabs() const { return m_tabs; }
    BCodePropertyWidget *settings() const { return m_settings; }
    BCodeImageView *imageView() const { return m_imageView; }
    // The output panel under the image: the text log of results.
    QWidget *outputArea() const { return m_output; }
    ResultOutputWidget *resultOutput() const { return m_resultOutput; }

    bool openDevice(QPointer<KxDeviceConnector> connector, const QVariant &param) override;

public slots:
    bool openDeviceById(const QString &deviceId, const QVariant &param) override;
    bool checkLeave() override { return true; }
    // Playing images keeps the page busy.
    bool isBusy() override;
    bool stopBusy() override;
    bool activate(const QVariant &param) override;
    bool closing(const QVariant &param) override;
    // Shows the tab of the item ("Page Global Settings", "Page Exposure Settings", ...).
    void locate(const QVariant &item) override;
    void OnSlotConfigLibStreamMode(bool bStream);
    // A local decode of an image file, written to the text log under the image.
    void decodeResultSlot(const QString &imageFile, bool decodeRes, const QString &decodeData,
                          int decodeTime);

signals:
    void OnSignalConfigLibEnable();
    void OnSignalBtnDeviceLogClick();
    void OnSignalConfigLibStreamMode(bool bStream);

private:
    QPointer<KxDeviceConnector> m_connector;
    DeviceCardWidget *m_card;
    QTabWidget *m_tabs;
    BCodePropertyWidget *m_settings;
    QSplitter *m_splitter;
    BCodeImageView *m_imageView;
    QWidget *m_output;
    ResultOutputWidget *m_resultOutput;
};
