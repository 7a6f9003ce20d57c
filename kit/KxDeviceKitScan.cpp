// KxDeviceKit: discovery and the datagram requests to one reader.
#include "KxDeviceKit.h"

#include "KxDeviceScanner.h"
#include "KxLinkRequest.h"
#include "KxDiscovery.h"

#include <QDebug>
#include <QThread>

namespace {

// "key=value;key=value;..." of a group configuration text.
KxDeviceInfoMap parsePairs(const QString &text)
{
    KxDeviceInfoMap out;
    for (const QString &pair : text.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const int eq = pair.indexOf(QLatin1Char('='));
        if (eq > 0)
            out.insert(pair.left(eq), pair.mid(eq + 1));
    }
    return out;
}

KxDeviceInfoMap pick(const KxDeviceInfoMap &from, const QStringList &keys)
{
    KxDeviceInfoMap out;
    for (const QString &k : keys)
        out.insert(k, from.value(k));
    return out;
}

const QString kSn = QStringLiteral("Serial Number");
const QString kMac = QStringLiteral("MAC Address");

}  // namespace

void KxDeviceKit::startDeviceScan(int, int intervalMs)
{
    onScanner([this, intervalMs] { m_scanner->start(intervalMs); });
}

void KxDeviceKit::refreshDeviceScan(int)
{
    onScanner([this] { m_scanner->refresh(); });
}

void KxDeviceKit::stopDeviceScan(int)
{
    onScanner([this] { m_scanner->stop(); });
}

void KxDeviceKit::setRefreshTime(int seconds)
{
    onScanner([this, seconds] { m_scanner->setIntervalMs(qMax(1, seconds) * 1000); });
}

void KxDeviceKit::setCheckDeviceAliveTime(int seconds)
{
    onScanner([this, seconds] { m_scanner->setAliveMs(qMax(1, seconds) * 1000); });
}

void KxDeviceKit::setDelayEnumTime(int ms)
{
    onScanner([this, ms] { m_scanner->setDelayEnumMs(ms); });
}

void KxDeviceKit::pauseBroadcastDeviceEnum(bool pause)
{
    onScanner([this, pause] { m_scanner->pauseEnum(pause); });
}

void KxDeviceKit::pauseBroadcastDeviceCheckOffLine(bool pause)
{
    onScanner([this, pause] { m_scanner->pauseAliveCheck(pause); });
}

void KxDeviceKit::dbtDeviceArrival(bool arrival, bool removal, const QString &path)
{
    qInfo().noquote() << "KxDeviceKit::dbtDeviceArrival()..." << arrival << removal << path;
    onScanner([this] { m_scanner->hotplug(); });
}

QList<KxScanTarget> KxDeviceKit::setScanAddresses(const QString &text)
{
    QStringList rejected;
    const QList<KxScanTarget> targets = KxAddressPolicy::parseScanTargets(text, &rejected);
    for (const QString &r : qAsConst(rejected))
        qWarning().noquote() << "KxDeviceKit::setScanAddresses()... refused:" << r;
    onScanner([this, targets] { m_scanner->setTargets(targets); });
    return targets;
}

void KxDeviceKit::setDiscoveryPort(quint16 port)
{
    onScanner([this, port] { m_scanner->setDiscoveryPort(port); });
}

void KxDeviceKit::setSerialPorts(const QStringList &ports)
{
    onScanner([this, ports] { m_scanner->setSerialPorts(ports, false); });
}

void KxDeviceKit::setSystemSerialPortsEnabled(bool enabled)
{
    onScanner([this, enabled] { m_scanner->setSystemSerialPorts(enabled); });
}

int KxDeviceKit::addDevice(const QString &ip, int port)
{
    QHostAddress address;
    if (!address.setAddress(ip.trimmed()) || port <= 0 || port > 65535)
        return KxAddResult::Unreachable;
    if (!KxAddressPolicy::isAllowed(address)) {
        qWarning().noquote() << "KxDeviceKit::addDevice()... refused, outside 127.0.0.0/8:" << ip;
        return KxAddResult::Unreachable;
    }
    const QString ipText = QHostAddress(address.toIPv4Address()).toString();
    auto cmdPort = [](const KxDeviceInfoMap &info) {
        const int p = info.value(QStringLiteral("Cmd Port")).toInt();
        return p > 0 ? p : int(KxAddressPolicy::kDefaultCommandPort);
    };
    if (m_scanner) {
        for (const KxKnownDevice &d : m_scanner->devices())
            if (!d.serial && d.info.value(QStringLiteral("Ip Address")) == ipText
                && cmdPort(d.info) == port)
                return KxAddResult::Exists;
    }
    auto wait = std::make_shared<KxSyncWait>();
    auto found = std::make_shared<KxDeviceInfoMap>();
    auto foundId = std::make_shared<QString>();
    onScanner([this, address, wait, found, foundId] {
        m_scanner->probeAddress(address, 2000, [wait, found, foundId](QString id, KxDeviceInfoMap info) {
            *foundId = id;
            *found = info;
            wait->set(id.isEmpty() ? 1 : 0, QByteArray());
        });
    });
    if (!wait->wait(QDeadlineTimer(3000)) || wait->result(nullptr) != 0) {
        qWarning().noquote() << "KxDeviceKit::addDevice()... no reader answers at" << ipText;
        return KxAddResult::Unreachable;
    }
    if (cmdPort(*found) != port) {
        qWarning().noquote() << "KxDeviceKit::addDevice()... reader at" << ipText
                             << "listens on port" << cmdPort(*found) << "not" << port;
        return KxAddResult::Unreachable;
    }
    qInfo().noquote() << "KxDeviceKit::addDevice()... added" << *foundId;
    return KxAddResult::Added;
}

bool KxDeviceKit::changeDeviceNetwork(const KxDeviceInfoMap &info)
{
    const KxDeviceInfoMap fields = pick(info, {kSn, kMac, QStringLiteral("Ip Address"),
                                               QStringLiteral("SubNetmask"),
                                               QStringLiteral("Gateway Address"),
                                               QStringLiteral("Use DHCP")});
    bool ok = false;
    onScanner([&] { ok = m_scanner->sendRequest(KxDiscovery::NetworkRequest, fields); }, true);
    return ok;
}

bool KxDeviceKit::changeDeviceAlias(const KxDeviceInfoMap &info)
{
    const KxDeviceInfoMap fields = pick(info, {kSn, kMac, QStringLiteral("L Alias")});
    bool ok = false;
    onScanner([&] { ok = m_scanner->sendRequest(KxDiscovery::AliasRequest, fields); }, true);
    return ok;
}

bool KxDeviceKit::setDeviceNetworkGroup(const QString &config)
{
    KxDeviceInfoMap fields = pick(parsePairs(config), {kSn, kMac});
    fields.insert(QStringLiteral("config"), config);
    bool ok = false;
    onScanner([&] { ok = m_scanner->sendRequest(KxDiscovery::GroupRequest, fields); }, true);
    return ok;
}

bool KxDeviceKit::blinkNotify(const KxDeviceInfoMap &info)
{
    const KxDeviceInfoMap fields = pick(info, {kSn, kMac});
    bool ok = false;
    onScanner([&] { ok = m_scanner->sendRequest(KxDiscovery::BlinkRequest, fields); }, true);
    return ok;
}
