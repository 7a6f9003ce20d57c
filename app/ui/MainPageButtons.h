#pragma once
// Which device buttons the main page shows for a reader's information map, and which edit mode
// a button or a double click opens. Plain functions of the map, so tests feed them maps.
#include "IPluginWidget.h"
#include "KxKitTypes.h"

namespace MainPageButtons {

struct Visibility {
    bool vision = false;
    bool quick = false;
    bool advanced = false;
    bool network = false;
    bool groupEdit = false;
    bool firmware = false;
    bool operator==(const Visibility &o) const
    {
        return vision == o.vision && quick == o.quick && advanced == o.advanced
            && network == o.network && groupEdit == o.groupEdit && firmware == o.firmware;
    }
};

bool isVision(const KxDeviceInfoMap &info);  // "ZUI SUPPORT" = "1"
bool isRfid(const KxDeviceInfoMap &info);    // "rfid" = "1"
bool isOffLine(const KxDeviceInfoMap &info); // an offline description ("offLine" present)

// barcodeDebug: the settings switch group "DEBUG", key "barcode".
Visibility visibility(const KxDeviceInfoMap &info, bool barcodeDebug);

// The mode a double click opens.
DeviceEditMode doubleClickMode(const KxDeviceInfoMap &info);
// The mode a device button opens (object name); DeviceEditMode_None for other buttons.
DeviceEditMode buttonMode(const QString &buttonName, const KxDeviceInfoMap &info);

} // namespace MainPageButtons
