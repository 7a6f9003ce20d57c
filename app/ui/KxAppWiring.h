#pragma once
// Start-up wiring between libraries that do not know each other: the kit opens offline
// (virtual) readers with the reader engine, the settings drive the kit's timers, and hot-plug
// events make the kit re-probe its serial ports. Safe to call more than once.
#include "KxSettings.h"

class KxDeviceKit;

// The settings' view of the kit's discovery timers.
class KxDeviceKitTimesAdapter : public IKxDeviceKitTimes
{
public:
    explicit KxDeviceKitTimesAdapter(KxDeviceKit *kit) : m_kit(kit) {}
    void setRefreshTime(int time) override;
    void setCheckDeviceAliveTime(int time) override;

private:
    KxDeviceKit *m_kit;
};

namespace KxAppWiring {
void install();
}
