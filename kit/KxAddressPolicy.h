#pragma once
// Which addresses the kit may talk to, and the scan and serial-port lists it reads from settings
// and the environment. Pure functions, so tests can feed them plain text.
#include <QHostAddress>
#include <QList>
#include <QString>
#include <QStringList>

struct KxScanTarget
{
    QHostAddress address;
    quint16 port = 0;  // 0: the default discovery port
    bool operator==(const KxScanTarget &o) const { return address == o.address && port == o.port; }
};

namespace KxAddressPolicy {

// Largest number of targets one scan list may expand to; longer lists are cut and logged.
constexpr int kMaxScanTargets = 4096;
// Discovery port of readers unless BREVAN_DISCOVERY_PORT or a setter says otherwise.
constexpr quint16 kDefaultDiscoveryPort = 36522;
// Command port of network readers unless their information map says otherwise.
constexpr quint16 kDefaultCommandPort = 36520;

// True for IPv4 addresses in 127.0.0.0/8 (and the IPv4-mapped IPv6 forms of them). Nothing else
// is ever sent to on these machines.
bool isAllowed(const QHostAddress &address);

// Parses a scan list: entries separated by ",", ";" or white space; each entry is an address,
// "address:port" or a range "first-last" of IPv4 addresses (optionally ":port" after the last).
// Entries that do not parse or lie outside the allowed range are left out and described in
// *rejected (one line each). The result keeps the order of the text, without duplicates.
QList<KxScanTarget> parseScanTargets(const QString &text, QStringList *rejected = nullptr);

// Parses a list of serial port paths separated by ",", ";" or new lines; blank entries and
// "#" comment lines are skipped, duplicates removed.
QStringList parseSerialPorts(const QString &text);

// The serial ports named by BREVAN_SERIAL_PORTS and the file named by BREVAN_SERIAL_PORTS_FILE.
QStringList serialPortsFromEnvironment();

// The scan targets named by BREVAN_SCAN_ADDRESSES (empty when unset).
QList<KxScanTarget> scanTargetsFromEnvironment(QStringList *rejected = nullptr);

// BREVAN_DISCOVERY_PORT, or kDefaultDiscoveryPort when unset or invalid.
quint16 discoveryPortFromEnvironment();

}  // namespace KxAddressPolicy
