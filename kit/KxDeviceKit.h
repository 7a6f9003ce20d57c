#pragma once
// The device kit: discovers readers, keeps their links and carries frames to and from them.
// One instance per process, living on the thread that first asked for it (the main thread).
// Every link runs on an I/O thread of its own; discovery runs on another. Signals are always
// emitted from the kit's own thread through queued calls, so receivers on the main thread never
// run inside a kit call.
#include <QByteArray>
#include <QMap>
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

#include "KxAddressPolicy.h"
#include "KxInProcessReader.h"
#include "KxKitTypes.h"

class KxDeviceLink;
class KxDeviceScanner;
struct KxLinkSpec;
class QThread;

class KxDeviceKit : public QObject
{
    Q_OBJECT
public:
    using ReplyCallback = std::function<void(const QString &, int, const QByteArray &, QObject *)>;

    static KxDeviceKit *Instance();
    ~KxDeviceKit() override;

    // ---- links -------------------------------------------------------------------------------
    // Opens the link of a discovered (or added) reader. type/port: 0/0 reader link with results,
    // 1/0 command-only link, 2/1 log link. claim: take the reader for this tool (role request);
    // serial and log links ignore it. Blocks until the link is up or has failed (at most a few
    // seconds); true = connected.
    bool connectToDevice(const QString &id, EConnectType type = ConnectType_Reader,
                         bool claim = true, EDevicePortType port = DevicePort_Main);
    // Opens a reader link to an explicit address: "host:port", "host" (port 36520) or a serial
    // device path. The id names the link from then on.
    bool connectToDevice_Cmd(const QString &id, const QString &address);
    // Opens an offline device answered in-process from the model's offline description.
    bool connectToOffLineDevice(const QString &id, const QString &xml, const QString &cfgPath);
    void disconnectFromDeviceEx(const QString &id, int port = DevicePort_Main);
    bool isConnected(const QString &id, int port = DevicePort_Main) const;
    // True when the reader is neither reported by discovery nor held by an open link.
    bool isDeviceRemove(const QString &id) const;
    // Adds a network reader by address; KxAddResult codes (0, -1 unreachable, -2 known).
    int addDevice(const QString &ip, int port = KxAddressPolicy::kDefaultCommandPort);

    // Sends one request and waits for its reply: 0 with reply filled, else a KxSendError code.
    // Safe from any thread except a link's own; requests of one link are sent one at a time in
    // the order they arrive.
    int sendBinaryMessage(const QString &id, const QByteArray &frame, QByteArray &reply,
                          int timeoutMs = 60000, int port = DevicePort_Main);
    // Sends without waiting; the callback runs once, on the context's thread (the kit's when no
    // context is given), with (id, code, reply, context). Returns the request's id; a context
    // that is destroyed first cancels the callback.
    QString sendBinaryMessage(const QString &id, const QByteArray &frame, ReplyCallback callback,
                              QObject *context, int timeoutMs = 60000, int port = DevicePort_Main);

    void startKeepAlive(const QString &id, int intervalMs = 5000);
    void stopKeepAlive(const QString &id);
    // Sets the reader's frame time-out ("FRMTMO", clamped to 10000 .. 180000 ms).
    bool setTimeOut_7E01(const QString &id, int ms);

    // Offline devices: the in-process reader engine is registered by the program.
    void setOffLineReaderFactory(KxOffLineReaderFactory factory);

    // ---- discovery ---------------------------------------------------------------------------
    void startDeviceScan(int scanType = ScanType_All, int intervalMs = 5000);
    void refreshDeviceScan(int scanType = ScanType_All);
    void stopDeviceScan(int scanType = ScanType_All);
    void setRefreshTime(int seconds);
    void setCheckDeviceAliveTime(int seconds);
    void setDelayEnumTime(int ms);
    void pauseBroadcastDeviceEnum(bool pause);
    void pauseBroadcastDeviceCheckOffLine(bool pause);
    // A device arrived or went away (hot-plug): re-probe the serial ports soon.
    void dbtDeviceArrival(bool arrival, bool removal, const QString &path);

    // Scan list and serial ports; the environment gives the defaults (see KxAddressPolicy).
    // Addresses outside 127.0.0.0/8 are refused and logged; the accepted list is returned.
    QList<KxScanTarget> setScanAddresses(const QString &text);
    void setDiscoveryPort(quint16 port);
    void setSerialPorts(const QStringList &ports);
    // Whether the system's USB serial ports are probed beside the configured ones.
    void setSystemSerialPortsEnabled(bool enabled);

    // Datagram requests to one reader, named by "Serial Number" and "MAC Address" of the map.
    bool changeDeviceNetwork(const KxDeviceInfoMap &info);
    bool changeDeviceAlias(const KxDeviceInfoMap &info);
    bool setDeviceNetworkGroup(const QString &config);
    bool blinkNotify(const KxDeviceInfoMap &info);

    // ---- firmware (KxDeviceKitFirmware.cpp) -------------------------------------------------
    // An "ifp" file is an archive holding a package and its manifest; it must be unpacked with
    // extractIfpFile before the other calls take its path.
    bool isIfp(const QString &path) const;
    bool extractIfpFile(const QString &path);
    // Checks a whole package (checksums, header, kind against the extension): product, version
    // and kind; false for anything that is not an intact package.
    bool getPakInfo(const QString &path, QString &product, QString &version, QString &kind,
                    qint64 *size = nullptr);
    // 0 when the package fits the reader; else 1 to 11 (manifest, system query, package or
    // variant mismatch). The reader's link must be open.
    int checkUpdateFirmwareInfo(const QString &id, const QString &path);
    // Sends the package and waits until the reader has checked and installed it (it restarts
    // then). strict: the reader may refuse packages not meant for it (218). error: 0 or the code.
    bool updateFirmwareFile(const QString &id, const QString &path, bool strict, int *error = nullptr);
    // Progress of a running or finished upgrade: a counter of step changes, block, step and
    // progress 0..1000. False when the device never started one.
    bool getUpdateFirmwareState(const QString &id, int &first, int &block, int &step, int &progress) const;

    // ---- reader log (KxDeviceKitLog.cpp), on the log link (port 1) -------------------------
    // Asks for the stored log and waits for it: the whole log has been delivered through
    // logDataReceived (to receivers connected directly, on the kit's thread) when this returns
    // true. Call from a thread other than the kit's; closing the log link ends the wait at once.
    bool logQuery(const QString &id, int timeoutMs = 300000);
    // Live log lines of the reader (while its active log, "LOGACT", is on) on or off.
    bool logRecv(const QString &id);
    bool stopLogRecv(const QString &id);

    // The last information map reported for a device (empty when unknown).
    KxDeviceInfoMap deviceInfo(const QString &id) const;

signals:
    void deviceConnectChanged(const QString &id, bool connected);
    void messageReceived(const QString &id, const QByteArray &data);
    void barcodeReceived(const QString &id, const QByteArray &data);
    void deviceUpdated(const QString &id, const QMap<QString, QString> &info);
    void deviceOffLine(const QString &id);
    void serialPortDeviceEnumEnd();
    void deviceAliasChanged(const QString &sn, const QString &mac, int result);
    void deviceNetworkChanged(const QString &sn, const QString &mac, int result);
    void deviceNetworkGroup(const QString &sn, const QString &mac, int state);
    void logDataReceived(const QString &id, const QByteArray &data);
    void logDisconnect(const QString &id);

private:
    explicit KxDeviceKit(QObject *parent = nullptr);
    std::shared_ptr<KxDeviceLink> link(const QString &id, int port) const;
    bool openLink(const KxLinkSpec &params);
    void shutdown();
    // Runs fn on the kit's thread from its event loop: signals never fire inside a kit call.
    void post(std::function<void()> fn);
    // Runs fn on the discovery thread; blocking waits for it.
    void onScanner(std::function<void()> fn, bool blocking = false);
    // What a log link frame delivers: a stored-log block's text, other frames whole.
    static QByteArray logBytes(const QByteArray &frame);
    int sendSync(const std::shared_ptr<KxDeviceLink> &link, const QByteArray &frame,
                 QByteArray &reply, int timeoutMs);

    mutable QMutex m_mutex;  // guards the members below
    QMap<QString, std::shared_ptr<KxDeviceLink>> m_links;  // key: port + ":" + id
    KxOffLineReaderFactory m_offLineFactory;
    KxDeviceScanner *m_scanner = nullptr;
    QThread *m_discoveryThread = nullptr;
};
