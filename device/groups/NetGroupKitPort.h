#pragma once
// Connects a group save to the device kit: texts go out with setDeviceNetworkGroup, the
// readers' answers and fresh information come back from the kit's signals.
class KxNetGroupSaver;

namespace NetGroupKitPort
{
void attach(KxNetGroupSaver *saver);
}
