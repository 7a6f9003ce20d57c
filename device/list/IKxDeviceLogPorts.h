#pragma once
// What the device list needs of the reader log manager: network readers that offer a log port
// are announced to it, and a refresh asks it to drop its log connections. The log manager
// registers itself with setDeviceLogPorts(); until then nothing is announced.
#include "KxKitTypes.h"

class IKxDeviceLogPorts
{
public:
    virtual ~IKxDeviceLogPorts() = default;
    virtual void registerLogPort(const QString &deviceId, const KxDeviceInfoMap &info) = 0;
    virtual void dropLogConnections() = 0;
};

// The registered log manager (not owned), or null.
IKxDeviceLogPorts *deviceLogPorts();
void setDeviceLogPorts(IKxDeviceLogPorts *ports);
