#pragma once
// The device edit page of the main window: a thin container holding exactly one edit frame,
// chosen by the kind of editing asked for, to which it forwards the window's page calls.
#include "IPluginWidget.h"

#include <QPointer>

#include <functional>

class QStackedWidget;

class DeviceEditClient : public IMainFramePanel
{
    Q_OBJECT
public:
    explicit DeviceEditClient(QWidget *parent = nullptr);

    IPluginWidget *currentFrame() const { return m_frame.data(); }
    QStackedWidget *stack() const { return m_stack; }

    // The reader being edited by the live barcode, vision or RFID frame (in that order); kind,
    // when given, becomes "BCodeEdit", "VisionEdit" or "RFIDEdit". Null, kind untouched, when
    // no frame lives.
    static QPointer<KxDeviceConnector> currentEditedDevice(QString *kind = nullptr);

    // How a frame asks the main window for its main page; set by the main window.
    static void setShowMainPageHandler(std::function<void()> handler);
    static void showMainPage();

public slots:
    bool changeEditMode(int mode, const QString &device_id, const QVariant &params);
    bool openDeviceById(const QString &deviceId, const QVariant &param) override;
    bool checkLeave() override;
    bool checkClose() override;
    bool isBusy() override;
    bool stopBusy() override;
    bool activate(const QVariant &param) override;
    bool deactivate(const QVariant &param) override;
    bool closing(const QVariant &param) override;
    void locate(const QVariant &item) override;
    bool isDeviceEditClient() const override { return true; }
    // Replaced by the main page: the edited reader is let go.
    void leave(const QVariant &out) override;

signals:
    void changeDevice();

private:
    void releaseDevice();

    QPointer<IPluginWidget> m_frame;
    QString m_deviceId;
    QStackedWidget *m_stack;
};
