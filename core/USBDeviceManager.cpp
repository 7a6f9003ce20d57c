#include "USBDeviceManager.h"

#include <QDebug>
#include <QMutex>
#include <QSocketNotifier>

#include <libudev.h>

namespace {
const int kDeviceChangeDelayMs = 2000;

QMutex g_instanceMutex;
USBDeviceManager *g_instance = nullptr;

QString text(const char *s)
{
    return s ? QString::fromUtf8(s) : QString();
}
} // namespace

USBDeviceManager::Decision USBDeviceManager::filterEvent(const QString &action,
                                                         const QString &devnode,
                                                         const QString &syspath)
{
    Decision d;
    d.add = action == QLatin1String("add");
    d.remove = action == QLatin1String("remove");
    if (!d.add && !d.remove)
        return {};
    for (const QString &candidate : {devnode, syspath}) {
        const QString lower = candidate.toLower();
        if (lower.contains(QLatin1String("hid")) || lower.contains(QLatin1String("usb"))) {
            d.path = lower;
            d.accepted = true;
            return d;
        }
    }
    return {};
}

USBDeviceManager *USBDeviceManager::instance()
{
    QMutexLocker locker(&g_instanceMutex);
    if (!g_instance)
        g_instance = new USBDeviceManager;
    return g_instance;
}

USBDeviceManager::USBDeviceManager(QObject *parent)
    : QObject(parent)
{
}

USBDeviceManager::~USBDeviceManager()
{
    stop();
    QMutexLocker locker(&g_instanceMutex);
    if (g_instance == this)
        g_instance = nullptr;
}

bool USBDeviceManager::start()
{
    if (m_monitor)
        return true;
    m_udev = udev_new();
    if (!m_udev) {
        qWarning() << "USBDeviceManager::start()...udev_new failed";
        return false;
    }
    m_monitor = udev_monitor_new_from_netlink(m_udev, "udev");
    if (!m_monitor) {
        qWarning() << "USBDeviceManager::start()...cannot open the udev monitor";
        stop();
        return false;
    }
    // Whole USB devices only, not each of their interfaces, like the device-interface classes
    // registered on other systems.
    udev_monitor_filter_add_match_subsystem_devtype(m_monitor, "hidraw", nullptr);
    udev_monitor_filter_add_match_subsystem_devtype(m_monitor, "usb", "usb_device");
    udev_monitor_filter_add_match_subsystem_devtype(m_monitor, "tty", nullptr);
    if (udev_monitor_enable_receiving(m_monitor) < 0) {
        qWarning() << "USBDeviceManager::start()...cannot receive udev events";
        stop();
        return false;
    }
    m_notifier = new QSocketNotifier(udev_monitor_get_fd(m_monitor), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &USBDeviceManager::readEvents);
    return true;
}

void USBDeviceManager::stop()
{
    delete m_notifier;
    m_notifier = nullptr;
    if (m_monitor) {
        udev_monitor_unref(m_monitor);
        m_monitor = nullptr;
    }
    if (m_udev) {
        udev_unref(m_udev);
        m_udev = nullptr;
    }
}

void USBDeviceManager::readEvents()
{
    if (!m_monitor)
        return;
    // The socket is non-blocking: drain everything that is queued.
    while (struct udev_device *dev = udev_monitor_receive_device(m_monitor)) {
        const QString action = text(udev_device_get_action(dev));
        const QString devnode = text(udev_device_get_devnode(dev));
        const QString syspath = text(udev_device_get_syspath(dev));
        udev_device_unref(dev);
        handleEvent(action, devnode, syspath);
    }
}

void USBDeviceManager::handleEvent(const QString &action, const QString &devnode,
                                   const QString &syspath)
{
    const Decision d = filterEvent(action, devnode, syspath);
    if (!d.accepted)
        return;
    qDebug().noquote() << "USBDeviceManager::handleEvent()..." << action << d.path;
    m_busy = true;
    emit signal_DeviceArrival(d.add, d.remove, d.path);
    if (m_notificationsEnabled) {
        m_busy = false;
        emit signal_DeviceChange(d.add, d.remove, d.path, kDeviceChangeDelayMs);
    }
}
