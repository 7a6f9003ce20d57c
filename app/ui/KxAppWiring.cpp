#include "KxAppWiring.h"

#include "KxDeviceKit.h"
#include "KxDeviceTypes.h"
#include "KxVisionLogin.h"
#include "USBDeviceManager.h"
#include "VrModel.h"

#include <QDebug>

void KxDeviceKitTimesAdapter::setRefreshTime(int time)
{
    m_kit->setRefreshTime(time);
}

void KxDeviceKitTimesAdapter::setCheckDeviceAliveTime(int time)
{
    m_kit->setCheckDeviceAliveTime(time);
}

void KxAppWiring::install()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    kxRegisterDeviceTypes();
    KxDeviceKit *kit = KxDeviceKit::Instance();
    kit->setOffLineReaderFactory(&VrModel::createOffLineReader);
    // Cameras log in with their vision session and resources.
    KxVisionLogin::install();

    static KxDeviceKitTimesAdapter times(kit);
    KxSettings::instance()->setDeviceKitTimes(&times);

    QObject::connect(USBDeviceManager::instance(), &USBDeviceManager::signal_DeviceArrival, kit,
                     [kit](bool add, bool remove, const QString &path) {
                         kit->dbtDeviceArrival(add, remove, path);
                     });
    qDebug() << "KxAppWiring::install()...";
}
