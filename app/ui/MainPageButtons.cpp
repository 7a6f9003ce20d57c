#include "MainPageButtons.h"

namespace MainPageButtons {

namespace
{
bool intIs(const KxDeviceInfoMap &info, const char *key, int value)
{
    bool ok = false;
    const int v = info.value(QLatin1String(key)).trimmed().toInt(&ok);
    return ok && v == value;
}
} // namespace

bool isVision(const KxDeviceInfoMap &info)
{
    return info.value(QStringLiteral("ZUI SUPPORT")) == QLatin1String("1");
}

bool isRfid(const KxDeviceInfoMap &info)
{
    return info.value(QStringLiteral("rfid")) == QLatin1String("1");
}

bool isOffLine(const KxDeviceInfoMap &info)
{
    return info.contains(QStringLiteral("offLine"));
}

Visibility visibility(const KxDeviceInfoMap &info, bool barcodeDebug)
{
    Visibility v;
    if (isOffLine(info)) {
        v.quick = true;
        v.advanced = true;
        return v;
    }
    const bool vision = isVision(info);
    const bool rfid = isRfid(info);
    v.firmware = true;
    if (barcodeDebug) {
        v.quick = !rfid;
        v.advanced = true;
    } else {
        v.quick = !vision && !rfid;
        v.advanced = !vision;
    }
    v.vision = vision;
    // A local reader changes its network through its commands, so it needs all four; a network
    // reader is changed through discovery and always can (the dialog's network path).
    const bool local = info.contains(QStringLiteral("Device Type"));
    v.network = local
        ? info.contains(QStringLiteral("NETDEN")) && info.contains(QStringLiteral("NETLPA"))
            && info.contains(QStringLiteral("NETSMK")) && info.contains(QStringLiteral("NETGIP"))
        : info.contains(QStringLiteral("Ip Address"));
    v.groupEdit = info.contains(QStringLiteral("Supp Gr")) && intIs(info, "Supp Gr", 1);
    if (info.contains(QStringLiteral("Online")) && intIs(info, "Online", 0))
        v = Visibility();
    return v;
}

DeviceEditMode doubleClickMode(const KxDeviceInfoMap &info)
{
    if (isVision(info))
        return DeviceEditMode_Vision;
    if (isRfid(info))
        return DeviceEditMode_Rfid;
    return DeviceEditMode_QuickSettings;
}

DeviceEditMode buttonMode(const QString &buttonName, const KxDeviceInfoMap &info)
{
    if (buttonName == QLatin1String("Id_Btn_QuickSettings"))
        return isRfid(info) ? DeviceEditMode_Rfid : DeviceEditMode_QuickSettings;
    if (buttonName == QLatin1String("Id_Btn_AdvancedSettings"))
        return isRfid(info) ? DeviceEditMode_Rfid : DeviceEditMode_AdvancedSettings;
    if (buttonName == QLatin1String("Id_Btn_VisionSettings"))
        return DeviceEditMode_Vision;
    if (buttonName == QLatin1String("Id_Btn_Statistics"))
        return DeviceEditMode_Statistics;
    return DeviceEditMode_None;
}

} // namespace MainPageButtons
