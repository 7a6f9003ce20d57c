#pragma once
// Pure rules of the device list and its dialogs: where an entry belongs, whether it matches the
// search text, how product information and network commands are written. No widgets here, so
// tests feed them plain maps and texts.
#include "KxKitTypes.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

namespace DeviceListLogic
{

// Group ids of the all-devices list and the group list.
inline const char *const kGroupLocal = "ID_DEVGROUP_LOCAL";
inline const char *const kGroupNetwork = "ID_DEVGROUP_NETWORK";
inline const char *const kGroupVirtual = "ID_DEVGROUP_VIRTUAL";
inline const char *const kGroupHandHeld = "ID_DEVICEGROUP_VIRTUAL_HAND_HELD";
inline const char *const kGroupFixedMount = "ID_DEVICEGROUP_VIRTUAL_FIXED_MOUNT";
inline const char *const kGroupEngine = "ID_DEVICEGROUP_VIRTUAL_ENGINE";
inline const char *const kGroupUngrouped = "ID_DEVICEGROUP_UNGROUP";
// The id prefix of virtual (offline) readers.
inline const char *const kOffLinePrefix = "offLine_";

// "ID_DEVGROUP_LOCAL" for readers attached by USB or serial line ("Device Type"), else
// "ID_DEVGROUP_NETWORK".
QString attachGroup(const KxDeviceInfoMap &info);

// Where a reader sits in the network group list.
struct NetGroupPlace {
    QString groupId;    // empty: not in the group list at all
    QString groupName;  // "Gr Name" for a real group; empty for the ungrouped readers
    bool slave = false; // a slave sits in the sub-group groupId + "-Slaves"
    QString slaveGroupId() const { return groupId + QStringLiteral("-Slaves"); }
};
// Readers with "Supp Gr" = 1: "Gr En" = 0 gives "ID_DEVICEGROUP_UNGROUP", "Gr En" = 1 the group
// "Gr Name" + "-" + "Gr Mst SN" ("Gr Role" 2 marks a slave). Anything else: not listed.
NetGroupPlace netGroupPlace(const KxDeviceInfoMap &info);

// The virtual sub-group of a model category ("HandScan", "FixedScan", "OEMScan"); empty for
// categories that have no virtual readers.
QString virtualSubGroup(const QString &scanKind);

// The search rule: an empty text matches everything; otherwise the text is looked for, ignoring
// case, in "Product Name", then "L Alias", then "Serial Number" (only when the alias is empty),
// then "Ip Address".
bool matchesSearch(const KxDeviceInfoMap &info, const QString &text);

// "PRNQRY" text: lines separated by CR LF (a lone LF is accepted too), empty lines dropped, each
// split at its first ":" into a trimmed name and value. A line without ":" is a name alone.
QList<QPair<QString, QString>> parseProductInfo(const QString &text);
// The translation key for a row name readers commonly report ("Serial Number", ...), or an
// empty text for names only the reader knows; matching ignores case and spacing.
QString productInfoKey(const QString &name);

// The port field: the edit's own pattern (0 .. 65535) and the accepted range 1 .. 65535.
QString portPattern();
bool isPortText(const QString &text);     // matches the pattern
bool isAcceptedPort(const QString &text); // matches and lies in 1 .. 65535

// Strict dotted IPv4 address: four decimal parts 0 .. 255, no leading zeros, no spaces.
bool isValidIPv4(const QString &text);
// A subnet mask: a valid address whose bits are ones followed by zeros (not all zeros).
bool isValidSubnetMask(const QString &text);

// The command that changes a reader's network settings by its own command set.
QString networkCommand(bool dhcp, const QString &ip, const QString &mask, const QString &gateway);

// The alias shown for a reader: the alias the reader holds itself ("P Alias") when it has one,
// else the local alias (empty when none is stored).
QString effectiveAlias(const QString &localAlias, const KxDeviceInfoMap &info);

// The connection line of a reader's card: "IP: <address>" for network readers, "COM: <port>" for
// serial ones, else "SN: <serial number>" (empty when there is nothing to show).
QString connectionLine(const QString &deviceId, const KxDeviceInfoMap &info);

bool isVirtual(const KxDeviceInfoMap &info);
bool isOnline(const KxDeviceInfoMap &info); // false only for "Online" = "0"

} // namespace DeviceListLogic
