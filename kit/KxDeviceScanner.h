#pragma once
// Discovery: datagram searches to the scan list, passes over serial ports, alive checks, and the
// datagram requests to one reader (network settings, alias, group, blink). Lives on the kit's
// discovery thread; the kit reaches it through queued calls and reads its device table (which
// is guarded by a mutex) from any thread.
#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QMutex>
#include <QObject>
#include <QSet>

#include <functional>

#include "KxAddressPolicy.h"
#include "KxKitTypes.h"

class QTimer;
class QUdpSocket;
class KxSerialProber;

struct KxKnownDevice
{
    QString id;
    KxDeviceInfoMap info;
    bool serial = false;
    QHostAddress address;   // network: where its datagrams come from
    quint16 discoveryPort = 0;
    QString portPath;       // serial
    qint64 lastSeenMs = 0;
    quint64 lastSeenRound = 0;
};

class KxDeviceScanner : public QObject
{
    Q_OBJECT
public:
    struct Sink
    {
        std::function<void(const QString &, const KxDeviceInfoMap &)> updated;
        std::function<void(const QString &)> offline;
        std::function<void()> serialEnumEnd;
        // type is the result datagram type (network, alias, group, blink)
        std::function<void(int type, const QString &sn, const QString &mac, int result)> result;
    };
    // Whether a device id, or a serial port, is held by an open link of the kit.
    using HeldQuery = std::function<bool(const QString &)>;

    static constexpr int kTickMs = 100;
    static constexpr int kRequestResendMs = 1000;
    static constexpr int kRequestAttempts = 3;
    static constexpr int kMaxLearnedTargets = 4096;

    KxDeviceScanner(Sink sink, HeldQuery idHeld, HeldQuery portHeld);
    ~KxDeviceScanner() override;

    // Id rules: network readers by MAC address (serial number when there is none), serial
    // readers by serial number and port.
    static QString networkId(const KxDeviceInfoMap &info);
    static QString serialId(const QString &serialNumber, const QString &portPath);

    // ---- thread-safe ----
    bool find(const QString &id, KxKnownDevice *out) const;
    QList<KxKnownDevice> devices() const;

    // ---- scanner thread only (the kit calls them through queued invocations) ----
    void start(int intervalMs);
    void stop();
    void refresh();
    void setIntervalMs(int ms);
    void setAliveMs(int ms);
    void setDelayEnumMs(int ms);
    void pauseEnum(bool pause);
    void pauseAliveCheck(bool pause);
    void setTargets(const QList<KxScanTarget> &targets);
    void setDiscoveryPort(quint16 port);
    void setSerialPorts(const QStringList &ports, bool fromEnvironment);
    void setSystemSerialPorts(bool enabled);
    void hotplug();
    // Searches one address at once; found gets the reader's id and map, or an empty id when
    // nothing answered within timeoutMs. The address joins the scan list when it answers.
    void probeAddress(const QHostAddress &address, int timeoutMs,
                      std::function<void(QString, KxDeviceInfoMap)> found);
    // Sends a request datagram (network, alias, group, blink) to the reader named in fields.
    bool sendRequest(quint8 type, const KxDeviceInfoMap &fields);

private:
    struct Pending
    {
        quint8 type = 0;
        QByteArray datagram;
        QHostAddress address;
        quint16 port = 0;
        int attempts = 0;
        qint64 nextMs = 0;
        QString sn, mac;
    };
    struct Probe
    {
        QHostAddress address;
        qint64 deadlineMs = 0;
        std::function<void(QString, KxDeviceInfoMap)> found;
    };

    void ensureSocket();
    void tick();
    void round();
    void readDatagrams();
    void onInformation(const QHostAddress &from, quint16 fromPort, const KxDeviceInfoMap &info);
    void checkAlive();
    void serialPass();
    void onSerialPassDone(const QMap<QString, KxDeviceInfoMap> &found, const QStringList &probed);
    QStringList serialPortList() const;
    void sendDatagram(const QByteArray &bytes, const QHostAddress &to, quint16 port);
    void store(const KxKnownDevice &device);
    bool remove(const QString &id);

    Sink m_sink;
    HeldQuery m_idHeld, m_portHeld;
    QUdpSocket *m_socket = nullptr;
    QTimer *m_tick;
    KxSerialProber *m_prober;
    QElapsedTimer m_clock;

    bool m_scanning = false, m_enumPaused = false, m_alivePaused = false;
    bool m_refreshPending = false;
    qint64 m_nextRoundMs = 0;
    qint64 m_refreshAtMs = -1;
    int m_intervalMs = 5000, m_aliveMs = 15000, m_delayEnumMs = 0;
    quint64 m_round = 0;
    quint32 m_transaction = 0;
    quint16 m_discoveryPort;
    QList<KxScanTarget> m_targets, m_learned;
    QStringList m_serialPorts;
    bool m_serialFromEnv = true, m_systemSerial = true;
    bool m_serialRunning = false, m_serialPending = false;
    QStringList m_lastSerialList;
    QSet<QString> m_forceReport;
    QHash<quint32, Pending> m_pending;
    QList<Probe> m_probes;

    mutable QMutex m_mutex;  // guards m_known
    QHash<QString, KxKnownDevice> m_known;
};
