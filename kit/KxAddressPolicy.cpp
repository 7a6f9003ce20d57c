#include "KxAddressPolicy.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>

namespace KxAddressPolicy {

bool isAllowed(const QHostAddress &address)
{
    bool ok = false;
    const quint32 v4 = address.toIPv4Address(&ok);  // also unwraps ::ffff:127.x.y.z
    return ok && (v4 >> 24) == 127;
}

namespace {

bool parsePort(const QString &text, quint16 *port)
{
    bool ok = false;
    const uint value = text.toUInt(&ok);
    if (!ok || value == 0 || value > 65535)
        return false;
    *port = quint16(value);
    return true;
}

// Splits "host:port" for IPv4 hosts; a bare host keeps port 0.
bool splitHostPort(const QString &entry, QString *host, quint16 *port)
{
    const int colon = entry.lastIndexOf(':');
    if (colon < 0 || entry.count(':') > 1) {  // bare IPv4 or an IPv6 literal without port
        *host = entry;
        *port = 0;
        return true;
    }
    *host = entry.left(colon);
    return parsePort(entry.mid(colon + 1), port);
}

bool parseV4(const QString &text, quint32 *v4)
{
    QHostAddress a;
    if (!a.setAddress(text) || a.protocol() != QAbstractSocket::IPv4Protocol)
        return false;
    *v4 = a.toIPv4Address();
    return true;
}

}  // namespace

QList<KxScanTarget> parseScanTargets(const QString &text, QStringList *rejected)
{
    QList<KxScanTarget> out;
    QSet<QString> seen;
    auto reject = [rejected](const QString &entry, const QString &why) {
        if (rejected)
            rejected->append(QStringLiteral("%1: %2").arg(entry, why));
    };
    auto add = [&](const QHostAddress &a, quint16 port) {
        const QString key = a.toString() + ':' + QString::number(port);
        if (seen.contains(key))
            return;
        if (out.size() >= kMaxScanTargets) {
            reject(key, QStringLiteral("more than %1 targets").arg(kMaxScanTargets));
            return;
        }
        seen.insert(key);
        out.append({a, port});
    };

    const QStringList entries =
        text.split(QRegularExpression(QStringLiteral("[,;\\s]+")), Qt::SkipEmptyParts);
    for (const QString &entry : entries) {
        const int slash = entry.indexOf('/');
        if (slash > 0) {
            quint32 base = 0;
            bool ok = false;
            const int bits = entry.mid(slash + 1).toInt(&ok);
            if (!ok || bits < 0 || bits > 32 || !parseV4(entry.left(slash), &base)) {
                reject(entry, QStringLiteral("not a CIDR block"));
                continue;
            }
            const quint32 mask = bits == 0 ? 0 : ~quint32(0) << (32 - bits);
            const quint32 first = base & mask;
            const quint64 count = quint64(1) << (32 - bits);
            if (!isAllowed(QHostAddress(first)) || !isAllowed(QHostAddress(quint32(first + count - 1)))) {
                reject(entry, QStringLiteral("outside 127.0.0.0/8, refused"));
                continue;
            }
            for (quint64 i = 0; i < count && out.size() < kMaxScanTargets; ++i)
                add(QHostAddress(quint32(first + i)), 0);
            continue;
        }
        const int dash = entry.indexOf('-');
        if (dash > 0) {
            QString lastHost;
            quint16 port = 0;
            quint32 first = 0, last = 0;
            if (!splitHostPort(entry.mid(dash + 1), &lastHost, &port)
                || !parseV4(entry.left(dash), &first) || !parseV4(lastHost, &last) || last < first) {
                reject(entry, QStringLiteral("not an address range"));
                continue;
            }
            if (!isAllowed(QHostAddress(first)) || !isAllowed(QHostAddress(last))) {
                reject(entry, QStringLiteral("outside 127.0.0.0/8, refused"));
                continue;
            }
            if (last - first >= quint32(kMaxScanTargets)) {
                reject(entry, QStringLiteral("range longer than %1 addresses").arg(kMaxScanTargets));
                continue;
            }
            for (quint32 v = first; v <= last; ++v)
                add(QHostAddress(v), port);
            continue;
        }
        QString host;
        quint16 port = 0;
        QHostAddress address;
        if (!splitHostPort(entry, &host, &port) || !address.setAddress(host)) {
            reject(entry, QStringLiteral("not an address"));
            continue;
        }
        if (!isAllowed(address)) {
            reject(entry, QStringLiteral("outside 127.0.0.0/8, refused"));
            continue;
        }
        add(QHostAddress(address.toIPv4Address()), port);
    }
    return out;
}

QStringList parseSerialPorts(const QString &text)
{
    QStringList out;
    const QStringList lines = text.split(QRegularExpression(QStringLiteral("[,;\\r\\n]+")),
                                         Qt::SkipEmptyParts);
    for (QString line : lines) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith('#') || out.contains(line))
            continue;
        out.append(line);
    }
    return out;
}

QStringList serialPortsFromEnvironment()
{
    QStringList ports = parseSerialPorts(qEnvironmentVariable("BREVAN_SERIAL_PORTS"));
    const QString file = qEnvironmentVariable("BREVAN_SERIAL_PORTS_FILE");
    if (!file.isEmpty()) {
        QFile f(file);
        if (f.open(QIODevice::ReadOnly)) {
            // A list file is a handful of lines; cap the read so a wrong path cannot stall us.
            for (const QString &p : parseSerialPorts(QString::fromUtf8(f.read(64 * 1024))))
                if (!ports.contains(p))
                    ports.append(p);
        }
    }
    return ports;
}

QList<KxScanTarget> scanTargetsFromEnvironment(QStringList *rejected)
{
    return parseScanTargets(qEnvironmentVariable("BREVAN_SCAN_ADDRESSES"), rejected);
}

quint16 discoveryPortFromEnvironment()
{
    quint16 port = 0;
    if (parsePort(qEnvironmentVariable("BREVAN_DISCOVERY_PORT").trimmed(), &port))
        return port;
    return kDefaultDiscoveryPort;
}

}  // namespace KxAddressPolicy
