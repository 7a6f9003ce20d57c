#pragma once
// The device edit page until the real settings pages exist: it says which reader is open and
// in which mode, keeps the reader logged in while shown, and releases it when left.
#include "IPluginWidget.h"

class QLabel;

class EditPanelPlaceholder : public IMainFramePanel
{
    Q_OBJECT
public:
    explicit EditPanelPlaceholder(QWidget *parent = nullptr);

    QString deviceId() const { return m_deviceId; }
    int mode() const { return m_mode; }
    int enterCount() const { return m_enterCount; }
    // The text key naming an edit mode.
    static QString modeKey(int mode);

public slots:
    bool openDeviceById(const QString &device_id, const QVariant &mode) override;
    bool checkLeave() override { return true; }
    bool isBusy() override { return false; }
    bool stopBusy() override { return true; }
    void enter(const QVariant &param) override;
    void leave(const QVariant &out) override;
    bool closing(const QVariant &param) override;
    bool isDeviceEditClient() const override { return true; }

private:
    void releaseDevice();

    QString m_deviceId;
    int m_mode = 0;
    int m_enterCount = 0;
    QStringList m_statisticsDevices;
    QLabel *m_labTitle;
    QLabel *m_labText;
};
