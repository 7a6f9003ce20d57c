#include "KxDeviceScanner.h"

#include "KxDiscovery.h"
#include "KxSerialProber.h"

#include <QDebug>
#include <QNetworkDatagram>
#include <QSerialPortInfo>
#include <QTimer>
#include <QUdpSocket>

KxDeviceScanner::KxDeviceScanner(Sink sink, HeldQuery idHeld, HeldQuery portHeld)
    : m_sink(std::move(sink)), m_idHeld(std::move(idHeld)), m_portHeld(std::move(portHeld)),
      m_tick(new QTimer(this)), m_prober(new KxSerialProber(this)),
      m_discoveryPort(KxAddressPolicy::discoveryPortFromEnvironment())
{
    m_clock.start();
    m_tick->setInterval(kTickMs);
    connect(m_tick, &QTimer::timeout, this, &KxDeviceScanner::tick);
}

KxDeviceScanner::~KxDeviceScanner() = default;

QString KxDeviceScanner::networkId(const KxDeviceInfoMap &info)
{
    const QString mac = info.value(QStringLiteral("MAC Address"));
    if (!mac.isEmpty())
        return QStringLiteral("NET:") + mac;
    const QString sn = info.value(QStringLiteral("Serial Number"));
    return sn.isEmpty() ? QString() : QStringLiteral("NET:") + sn;
}

QString KxDeviceScanner::serialId(const QString &serialNumber, const QString &portPath)
{
    return serialNumber + QStringLiteral(":COM:") + portPath;
}

bool KxDeviceScanner::find(const QString &id, KxKnownDevice *out) const
{
    QMutexLocker lock(&m_mutex);
    const auto it = m_known.constFind(id);
    if (it == m_known.constEnd())
        return false;
    if (out)
        *out = *it;
    return true;
}

QList<KxKnownDevice> KxDeviceScanner::devices() const
{
    QMutexLocker lock(&m_mutex);
    return m_known.values();
}

void KxDeviceScanner::store(const KxKnownDevice &device)
{
    QMutexLocker lock(&m_mutex);
    m_known.insert(device.id, device);
}

bool KxDeviceScanner::remove(const QString &id)
{
    QMutexLocker lock(&m_mutex);
    return m_known.remove(id) > 0;
}

// ---- control ---------------------------------------------------------------------------------

void KxDeviceScanner::ensureSocket()
{
    if (!m_socket) {
        m_socket = new QUdpSocket(this);
        // Bound to loopback: nothing we send can leave the machine, and answers come back here.
        if (!m_socket->bind(QHostAddress(QHostAddress::LocalHost), 0))
            qWarning() << "KxDeviceScanner::start()... cannot bind discovery socket:"
                       << m_socket->errorString();
        connect(m_socket, &QUdpSocket::readyRead, this, &KxDeviceScanner::readDatagrams);
    }
}

void KxDeviceScanner::start(int intervalMs)
{
    ensureSocket();
    setIntervalMs(intervalMs);
    m_scanning = true;
    m_nextRoundMs = m_clock.elapsed();
    m_serialPending = true;
    m_tick->start();
    tick();
}

void KxDeviceScanner::stop()
{
    m_scanning = false;
    m_refreshPending = false;
    m_refreshAtMs = -1;
}

void KxDeviceScanner::refresh()
{
    ensureSocket();
    if (m_enumPaused) {
        m_refreshPending = true;  // runs when enumeration resumes
        return;
    }
    {
        QMutexLocker lock(&m_mutex);
        for (auto it = m_known.cbegin(); it != m_known.cend(); ++it)
            m_forceReport.insert(it.key());
    }
    m_refreshAtMs = m_clock.elapsed() + m_delayEnumMs;
    if (!m_tick->isActive())
        m_tick->start();
    if (m_delayEnumMs == 0)
        tick();
}

void KxDeviceScanner::setIntervalMs(int ms)
{
    m_intervalMs = qBound(100, ms, 24 * 3600 * 1000);
    m_nextRoundMs = qMin(m_nextRoundMs, m_clock.elapsed() + m_intervalMs);
}

void KxDeviceScanner::setAliveMs(int ms)
{
    m_aliveMs = qMax(500, ms);
}

void KxDeviceScanner::setDelayEnumMs(int ms)
{
    m_delayEnumMs = qBound(0, ms, 600000);
}

void KxDeviceScanner::pauseEnum(bool pause)
{
    m_enumPaused = pause;
    if (!pause && m_refreshPending) {
        m_refreshPending = false;
        refresh();
    }
}

void KxDeviceScanner::pauseAliveCheck(bool pause)
{
    if (m_alivePaused && !pause) {
        // Time spent paused does not count against any reader.
        QMutexLocker lock(&m_mutex);
        for (auto &d : m_known) {
            d.lastSeenMs = m_clock.elapsed();
            d.lastSeenRound = m_round;
        }
    }
    m_alivePaused = pause;
}

void KxDeviceScanner::setTargets(const QList<KxScanTarget> &targets)
{
    m_targets = targets;
}

void KxDeviceScanner::setDiscoveryPort(quint16 port)
{
    if (port != 0)
        m_discoveryPort = port;
}

void KxDeviceScanner::setSerialPorts(const QStringList &ports, bool fromEnvironment)
{
    m_serialPorts = ports;
    m_serialFromEnv = fromEnvironment;
    m_serialPending = true;
}

void KxDeviceScanner::setSystemSerialPorts(bool enabled)
{
    m_systemSerial = enabled;
}

void KxDeviceScanner::hotplug()
{
    ensureSocket();
    m_serialPending = true;
    m_refreshAtMs = m_clock.elapsed() + m_delayEnumMs;
    if (!m_tick->isActive())
        m_tick->start();
}

// ---- the tick --------------------------------------------------------------------------------

void KxDeviceScanner::tick()
{
    const qint64 now = m_clock.elapsed();
    if (!m_enumPaused) {
        if (m_refreshAtMs >= 0 && now >= m_refreshAtMs) {
            m_refreshAtMs = -1;
            m_serialPending = true;
            round();
            m_nextRoundMs = now + m_intervalMs;
        } else if (m_scanning && now >= m_nextRoundMs) {
            round();
            m_nextRoundMs = now + m_intervalMs;
        }
        if ((m_scanning || m_serialPending) && !m_serialRunning) {
            // New ports (a reader plugged in, a pseudo-terminal listed) start a pass at once.
            if (m_serialPending || serialPortList() != m_lastSerialList)
                serialPass();
        }
    }
    checkAlive();

    for (auto it = m_pending.begin(); it != m_pending.end();) {
        Pending &p = it.value();
        if (now < p.nextMs) {
            ++it;
        } else if (p.attempts >= kRequestAttempts) {
            qWarning().noquote() << "KxDeviceScanner::tick()... no answer to request" << p.type
                                 << "for" << p.sn << p.mac;
            it = m_pending.erase(it);
        } else {
            sendDatagram(p.datagram, p.address, p.port);
            ++p.attempts;
            p.nextMs = now + kRequestResendMs;
            ++it;
        }
    }
    for (int i = m_probes.size() - 1; i >= 0; --i) {
        if (now >= m_probes[i].deadlineMs) {
            const auto found = m_probes.takeAt(i).found;
            found(QString(), {});
        }
    }
}

void KxDeviceScanner::sendDatagram(const QByteArray &bytes, const QHostAddress &to, quint16 port)
{
    if (!KxAddressPolicy::isAllowed(to)) {
        qWarning() << "KxDeviceScanner::sendDatagram()... refused, outside 127.0.0.0/8:"
                   << to.toString();
        return;
    }
    if (m_socket && !bytes.isEmpty())
        m_socket->writeDatagram(bytes, to, port);
}

void KxDeviceScanner::round()
{
    ++m_round;
    KxDiscovery::Datagram search;
    search.type = KxDiscovery::Search;
    search.transaction = quint32(m_round);
    const QByteArray bytes = KxDiscovery::encode(search);
    int sent = 0;
    for (const QList<KxScanTarget> *list : {&m_targets, &m_learned}) {
        for (const KxScanTarget &t : *list) {
            if (sent >= KxAddressPolicy::kMaxScanTargets + kMaxLearnedTargets)
                return;
            sendDatagram(bytes, t.address, t.port ? t.port : m_discoveryPort);
            ++sent;
        }
    }
}

void KxDeviceScanner::readDatagrams()
{
    while (m_socket->hasPendingDatagrams()) {
        const QNetworkDatagram dg = m_socket->receiveDatagram(KxDiscovery::MaxDatagram + 1);
        KxDiscovery::Datagram d;
        if (!KxAddressPolicy::isAllowed(dg.senderAddress()) || !KxDiscovery::decode(dg.data(), &d))
            continue;  // malformed or foreign datagrams are ignored
        const QHostAddress from(dg.senderAddress().toIPv4Address());
        const quint16 fromPort = quint16(dg.senderPort());
        if (d.type == KxDiscovery::Information) {
            onInformation(from, fromPort, d.fields);
        } else if (KxDiscovery::isResultType(d.type)) {
            const auto it = m_pending.find(d.transaction);
            if (it != m_pending.end() && it->type == KxDiscovery::requestOf(d.type))
                m_pending.erase(it);
            m_sink.result(d.type, d.fields.value(QStringLiteral("Serial Number")),
                          d.fields.value(QStringLiteral("MAC Address")), d.result);
        }
    }
}

void KxDeviceScanner::onInformation(const QHostAddress &from, quint16 fromPort,
                                    const KxDeviceInfoMap &fields)
{
    const QString id = networkId(fields);
    if (id.isEmpty())
        return;
    KxKnownDevice device;
    const bool known = find(id, &device);
    KxDeviceInfoMap info = fields;
    if (info.value(QStringLiteral("Ip Address")).isEmpty())
        info.insert(QStringLiteral("Ip Address"), from.toString());
    const bool changed = !known || device.info != info;
    device.id = id;
    device.info = info;
    device.serial = false;
    device.address = from;
    device.discoveryPort = fromPort;
    device.lastSeenMs = m_clock.elapsed();
    device.lastSeenRound = m_round;
    store(device);

    // A reader that moved (network settings) answers from its new address: keep searching there.
    const KxScanTarget target{from, fromPort == m_discoveryPort ? quint16(0) : fromPort};
    const KxScanTarget exact{from, fromPort};
    if (!m_targets.contains(target) && !m_targets.contains(exact) && !m_learned.contains(target)
        && m_learned.size() < kMaxLearnedTargets)
        m_learned.append(target);

    for (int i = m_probes.size() - 1; i >= 0; --i) {
        if (m_probes[i].address == from) {
            const auto found = m_probes.takeAt(i).found;
            found(id, info);
        }
    }
    if (changed || m_forceReport.remove(id))
        m_sink.updated(id, info);
}

void KxDeviceScanner::checkAlive()
{
    if (m_alivePaused)
        return;
    const qint64 now = m_clock.elapsed();
    QStringList gone;
    {
        QMutexLocker lock(&m_mutex);
        for (const KxKnownDevice &d : qAsConst(m_known)) {
            // Two unanswered searches and the alive time are both needed, so a long refresh
            // period or a short alive time alone never declares a reader lost.
            if (!d.serial && now - d.lastSeenMs > m_aliveMs && m_round >= d.lastSeenRound + 2)
                gone.append(d.id);
        }
    }
    for (const QString &id : qAsConst(gone)) {
        if (m_idHeld(id))
            continue;  // its open link proves it is there
        remove(id);
        m_forceReport.remove(id);
        m_sink.offline(id);
    }
}

// ---- serial ----------------------------------------------------------------------------------

QStringList KxDeviceScanner::serialPortList() const
{
    QStringList ports = m_serialPorts;
    if (m_serialFromEnv)
        ports = KxAddressPolicy::serialPortsFromEnvironment();  // the file is re-read every pass
    if (m_systemSerial) {
        for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
            // USB serial ports only (USB CDC readers); plain UARTs are listed explicitly.
            if (info.hasVendorIdentifier() && !ports.contains(info.systemLocation()))
                ports.append(info.systemLocation());
        }
    }
    return ports;
}

void KxDeviceScanner::serialPass()
{
    m_serialPending = false;
    const QStringList all = serialPortList();
    m_lastSerialList = all;
    QStringList probe;
    for (const QString &p : all)
        if (!m_portHeld(p))
            probe.append(p);
    m_serialRunning = true;
    m_prober->run(probe, [this, probe](QMap<QString, KxDeviceInfoMap> found) {
        m_serialRunning = false;
        onSerialPassDone(found, probe);
    });
}

void KxDeviceScanner::onSerialPassDone(const QMap<QString, KxDeviceInfoMap> &found,
                                       const QStringList &probed)
{
    QSet<QString> present;
    for (auto it = found.cbegin(); it != found.cend(); ++it) {
        KxDeviceInfoMap info = it.value();
        info.insert(QStringLiteral("Port Name"), it.key());
        if (!info.contains(QStringLiteral("Device Type")))
            info.insert(QStringLiteral("Device Type"), QStringLiteral("COM"));
        KxKnownDevice device;
        device.id = serialId(info.value(QStringLiteral("Serial Number")), it.key());
        const bool known = find(device.id, &device);
        const bool changed = !known || device.info != info;
        device.info = info;
        device.serial = true;
        device.portPath = it.key();
        device.lastSeenMs = m_clock.elapsed();
        device.lastSeenRound = m_round;
        store(device);
        present.insert(device.id);
        if (changed || m_forceReport.remove(device.id))
            m_sink.updated(device.id, info);
    }
    // Readers on ports that were probed and stayed silent, or whose port went away, are gone;
    // a port held by a link was not probed and keeps its reader.
    for (const KxKnownDevice &d : devices()) {
        if (!d.serial || present.contains(d.id))
            continue;
        if (probed.contains(d.portPath) || !m_lastSerialList.contains(d.portPath)) {
            if (m_idHeld(d.id))
                continue;
            remove(d.id);
            m_forceReport.remove(d.id);
            m_sink.offline(d.id);
        } else if (m_forceReport.remove(d.id)) {
            m_sink.updated(d.id, d.info);
        }
    }
    m_sink.serialEnumEnd();
}

// ---- requests --------------------------------------------------------------------------------

void KxDeviceScanner::probeAddress(const QHostAddress &address, int timeoutMs,
                                   std::function<void(QString, KxDeviceInfoMap)> found)
{
    ensureSocket();
    if (!KxAddressPolicy::isAllowed(address)) {
        qWarning() << "KxDeviceScanner::probeAddress()... refused, outside 127.0.0.0/8:"
                   << address.toString();
        found(QString(), {});
        return;
    }
    if (!m_tick->isActive())
        m_tick->start();
    m_probes.append({address, m_clock.elapsed() + timeoutMs, std::move(found)});
    KxDiscovery::Datagram search;
    search.type = KxDiscovery::Search;
    search.transaction = ++m_transaction | 0x80000000u;
    sendDatagram(KxDiscovery::encode(search), address, m_discoveryPort);
}

bool KxDeviceScanner::sendRequest(quint8 type, const KxDeviceInfoMap &fields)
{
    const QString sn = fields.value(QStringLiteral("Serial Number"));
    const QString mac = fields.value(QStringLiteral("MAC Address"));
    KxKnownDevice target;
    bool found = false;
    for (const KxKnownDevice &d : devices()) {
        if (!d.serial && d.info.value(QStringLiteral("Serial Number")) == sn
            && d.info.value(QStringLiteral("MAC Address")) == mac) {
            target = d;
            found = true;
            break;
        }
    }
    ensureSocket();
    if (!found || sn.isEmpty()) {
        qWarning().noquote() << "KxDeviceScanner::sendRequest()... no network reader" << sn << mac;
        return false;
    }
    KxDiscovery::Datagram d;
    d.type = type;
    d.transaction = ++m_transaction | 0x80000000u;
    d.fields = fields;
    Pending p;
    p.type = type;
    p.datagram = KxDiscovery::encode(d);
    if (p.datagram.isEmpty())
        return false;
    p.address = target.address;
    p.port = target.discoveryPort ? target.discoveryPort : m_discoveryPort;
    p.sn = sn;
    p.mac = mac;
    p.attempts = 1;
    p.nextMs = m_clock.elapsed() + kRequestResendMs;
    if (!KxAddressPolicy::isAllowed(p.address))
        return false;
    sendDatagram(p.datagram, p.address, p.port);
    m_pending.insert(d.transaction, p);
    if (!m_tick->isActive())
        m_tick->start();
    return true;
}
