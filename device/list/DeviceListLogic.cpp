#include "DeviceListLogic.h"

#include <QHash>
#include <QRegularExpression>

namespace DeviceListLogic
{

QString attachGroup(const KxDeviceInfoMap &info)
{
    return QLatin1String(info.contains(QStringLiteral("Device Type")) ? kGroupLocal
                                                                      : kGroupNetwork);
}

NetGroupPlace netGroupPlace(const KxDeviceInfoMap &info)
{
    NetGroupPlace place;
    if (info.value(QStringLiteral("Supp Gr")).trimmed().toInt() != 1)
        return place;
    const QString en = info.value(QStringLiteral("Gr En")).trimmed();
    if (en == QLatin1String("0") || en.isEmpty()) {
        place.groupId = QLatin1String(kGroupUngrouped);
        return place;
    }
    if (en.toInt() != 1)
        return place;
    place.groupName = info.value(QStringLiteral("Gr Name"));
    place.groupId = place.groupName + QLatin1Char('-') + info.value(QStringLiteral("Gr Mst SN"));
    place.slave = info.value(QStringLiteral("Gr Role")).trimmed() == QLatin1String("2");
    return place;
}

QString virtualSubGroup(const QString &scanKind)
{
    if (scanKind == QLatin1String("HandScan"))
        return QLatin1String(kGroupHandHeld);
    if (scanKind == QLatin1String("FixedScan"))
        return QLatin1String(kGroupFixedMount);
    if (scanKind == QLatin1String("OEMScan"))
        return QLatin1String(kGroupEngine);
    return QString();
}

bool matchesSearch(const KxDeviceInfoMap &info, const QString &text)
{
    if (text.isEmpty())
        return true;
    auto has = [&](const char *key) {
        return info.value(QLatin1String(key)).contains(text, Qt::CaseInsensitive);
    };
    if (has("Product Name") || has("L Alias"))
        return true;
    // A reader known by its alias is not found by its serial number any more.
    if (info.value(QStringLiteral("L Alias")).isEmpty() && has("Serial Number"))
        return true;
    return has("Ip Address");
}

QList<QPair<QString, QString>> parseProductInfo(const QString &text)
{
    QList<QPair<QString, QString>> rows;
    QString normalised = text;
    normalised.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    for (const QString &raw : normalised.split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (line.isEmpty())
            continue;
        const int colon = line.indexOf(QLatin1Char(':'));
        if (colon < 0)
            rows.append({line, QString()});
        else
            rows.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
    }
    return rows;
}

QString productInfoKey(const QString &name)
{
    static const QHash<QString, QString> keys = {
        {QStringLiteral("productname"), QStringLiteral("#IDS_Info_ProductName")},
        {QStringLiteral("model"), QStringLiteral("#IDS_Info_ProductName")},
        {QStringLiteral("serialnumber"), QStringLiteral("#IDS_Info_SerialNumber")},
        {QStringLiteral("firmwareversion"), QStringLiteral("#IDS_Info_FirmwareVersion")},
        {QStringLiteral("hardwareversion"), QStringLiteral("#IDS_Info_HardwareVersion")},
        {QStringLiteral("macaddress"), QStringLiteral("#IDS_Info_MacAddress")},
        {QStringLiteral("manufacturedate"), QStringLiteral("#IDS_Info_ManufactureDate")},
        {QStringLiteral("bootversion"), QStringLiteral("#IDS_Info_BootVersion")},
    };
    QString folded = name.toLower();
    folded.remove(QLatin1Char(' ')).remove(QLatin1Char('_')).remove(QLatin1Char('-'));
    return keys.value(folded);
}

QString portPattern()
{
    return QStringLiteral(
        "^([0-9]|[1-9]\\d|[1-9]\\d{2}|[1-9]\\d{3}|[1-5]\\d{4}|6[0-4]\\d{3}|65[0-4]\\d{2}"
        "|655[0-2]\\d|6553[0-5])$");
}

bool isPortText(const QString &text)
{
    static const QRegularExpression re(portPattern());
    return re.match(text).hasMatch();
}

bool isAcceptedPort(const QString &text)
{
    return isPortText(text) && text.toInt() >= 1;
}

bool isValidIPv4(const QString &text)
{
    static const QRegularExpression re(QStringLiteral(
        "^(25[0-5]|2[0-4]\\d|1\\d\\d|[1-9]?\\d)(\\.(25[0-5]|2[0-4]\\d|1\\d\\d|[1-9]?\\d)){3}$"));
    return re.match(text).hasMatch();
}

bool isValidSubnetMask(const QString &text)
{
    if (!isValidIPv4(text))
        return false;
    quint32 v = 0;
    for (const QString &part : text.split(QLatin1Char('.')))
        v = (v << 8) | quint32(part.toUInt());
    if (v == 0)
        return false;
    const quint32 inverted = ~v;
    return (inverted & (inverted + 1)) == 0; // ones then zeros
}

QString networkCommand(bool dhcp, const QString &ip, const QString &mask, const QString &gateway)
{
    if (dhcp)
        return QStringLiteral("@NETDEN1");
    return QStringLiteral("@NETDEN0,LPA%1,SMK%2,GIP%3").arg(ip, mask, gateway);
}

QString effectiveAlias(const QString &localAlias, const KxDeviceInfoMap &info)
{
    // The alias dialog writes to readers that hold their alias, so theirs is the current one.
    const QString held = info.value(QStringLiteral("P Alias"));
    return held.isEmpty() ? localAlias : held;
}

QString connectionLine(const QString &deviceId, const KxDeviceInfoMap &info)
{
    const QString ip = info.value(QStringLiteral("Ip Address"));
    if (!info.contains(QStringLiteral("Device Type")) && !ip.isEmpty())
        return QStringLiteral("IP: ") + ip;
    QString port = info.value(QStringLiteral("Port Name"));
    const int com = deviceId.indexOf(QLatin1String(":COM"));
    if (port.isEmpty() && com >= 0)
        port = deviceId.mid(com + 1);
    if (info.contains(QStringLiteral("Device Type")) && !port.isEmpty())
        return QStringLiteral("COM: ") + port;
    const QString sn = info.value(QStringLiteral("Serial Number"));
    return sn.isEmpty() ? QString() : QStringLiteral("SN: ") + sn;
}

bool isVirtual(const KxDeviceInfoMap &info)
{
    return info.contains(QStringLiteral("offLine"));
}

bool isOnline(const KxDeviceInfoMap &info)
{
    return !info.contains(QStringLiteral("Online")) ||
           info.value(QStringLiteral("Online")).trimmed().toInt() != 0;
}

} // namespace DeviceListLogic
