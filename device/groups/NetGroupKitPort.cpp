#include "NetGroupKitPort.h"

#include "KxDeviceKit.h"
#include "KxNetGroupSaver.h"

namespace NetGroupKitPort
{

void attach(KxNetGroupSaver *saver)
{
    KxDeviceKit *kit = KxDeviceKit::Instance();
    saver->setSender([kit](const QString &text) { return kit->setDeviceNetworkGroup(text); });
    saver->setRefresher([kit] { kit->refreshDeviceScan(ScanType_All); });
    QObject::connect(kit, &KxDeviceKit::deviceNetworkGroup, saver,
                     &KxNetGroupSaver::onGroupState);
    QObject::connect(kit, &KxDeviceKit::deviceUpdated, saver, &KxNetGroupSaver::onDeviceUpdated);
}

} // namespace NetGroupKitPort
