#pragma once
// Hot-plug notifications for USB and HID readers. On Linux a udev netlink monitor, watched by a
// socket notifier in the main thread, reports hidraw, usb and tty devices coming and going.
#include <QObject>
#include <QString>

class QSocketNotifier;
struct udev;
struct udev_monitor;

class USBDeviceManager : public QObject
{
    Q_OBJECT
public:
    // What one udev event means for the device list.
    struct Decision
    {
        bool accepted = false;
        bool add = false;
        bool remove = false;
        QString path; // lower-cased
    };
    // Pure filter: "add" is an arrival, "remove" a removal, other actions are ignored; the first
    // of devnode and syspath that contains "hid" or "usb" (case-insensitive) is the path.
    static Decision filterEvent(const QString &action, const QString &devnode,
                                const QString &syspath);

    static USBDeviceManager *instance();
    explicit USBDeviceManager(QObject *parent = nullptr);
    ~USBDeviceManager() override; // stops monitoring

    bool start();
    void stop();
    bool isStarted() const { return m_monitor != nullptr; }

    void setNotificationsEnabled(bool enabled) { m_notificationsEnabled = enabled; }
    bool notificationsEnabled() const { return m_notificationsEnabled; }
    bool isBusy() const { return m_busy; }

    // Applies the filter and emits the signals; the udev reader feeds every event through it.
    void handleEvent(const QString &action, const QString &devnode, const QString &syspath);

signals:
    void signal_DeviceChange(bool bAdd, bool bRemove, QString strPath, int nDelayTime);
    void signal_DeviceArrival(bool bAdd, bool bRemove, QString strUsbPath);

private:
    void readEvents();

    bool m_notificationsEnabled = true;
    bool m_busy = false;
    struct udev *m_udev = nullptr;
    struct udev_monitor *m_monitor = nullptr;
    QSocketNotifier *m_notifier = nullptr;
};
