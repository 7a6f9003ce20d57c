#pragma once
// One virtual reader without its links: answers request frames from its command table, keeps
// running and stored settings apart, persists what a reader keeps across restarts, and answers
// discovery datagrams. Hosts (network, pseudo-terminal, in-process) feed it complete frames.
#include "KxDataStreamTypes.h"
#include "KxDiscovery.h"
#include "VfReader.h"
#include "VrCommandTable.h"
#include "VrReaderCamera.h"
#include "VrStoredResults.h"
#include "VrSettingCodes.h"
#include "VrReaderTools.h"

#include <QHash>
#include <QMap>
#include <QSharedPointer>
#include <memory>

class VrReaderCamera;
class VvCamera;
struct VcResult;

struct KxSettingsRequest;

struct VrIdentity
{
    enum Kind { FixedMount, Serial, Camera };
    Kind kind = FixedMount;
    QString model;  // "KXS-FM800"
    QString serial;
    QString mac;
    QString firmware = QStringLiteral("V1.00.000");
    // Network readers only; changed by network-settings requests.
    QString ip;
    QString mask = QStringLiteral("255.0.0.0");
    QString gateway = QStringLiteral("127.0.0.1");
    QString dhcp = QStringLiteral("0");
    quint16 cmdPort = 36520;
    quint16 logPort = 36521;
};

class VrReaderEngine
{
public:
    // statePath empty: nothing is persisted (offline devices).
    VrReaderEngine(QSharedPointer<const VrCommandTable> table, const VrIdentity &identity,
                   const QString &statePath);

    // Reads the stored settings and identity; a missing file is a fresh reader. False with a
    // message when the file exists but cannot be read (the reader then starts from defaults and
    // does not overwrite the file until a setting is stored).
    bool loadState(QString *error = nullptr);

    struct Outcome
    {
        QByteArray reply;      // complete reply frame; empty: stay silent
        bool restart = false;  // drop the links for a moment after sending the reply
        QStringList log;       // lines for the reader's log
        QList<QByteArray> results;  // result frames for the links that carry results
        QByteArray extendData;      // extend data and information of the reply (images)
        QByteArray extendInfo;
    };
    Outcome handleFrame(const QByteArray &frame);

    struct DiscoveryOutcome
    {
        QList<KxDiscovery::Datagram> replies;
        bool moved = false;  // the network address changed: rebind, then announce
        QStringList log;
    };
    DiscoveryOutcome handleDatagram(const KxDiscovery::Datagram &request);

    // Makes version the firmware the reader reports, stored with its state; false (and the old
    // version kept) when the state cannot be written.
    bool installFirmware(const QString &version);
    // What a restart does: running settings fall back to the stored ones.
    void restart();

    KxDiscovery::Datagram information(quint32 transaction) const;
    QMap<QString, QString> infoMap() const;
    QByteArray infoJson() const;
    const VrIdentity &identity() const { return m_identity; }
    QByteArray runningValue(const QString &code) const;
    QByteArray storedValue(const QString &code) const;

    // Set by the host: another client holds the reader.
    // Monitoring and tests end with the client that started them.
    void setConfigtoolConnected(bool held)
    {
        m_configtool = held;
        if (!held)
            stopTools();
    }
    // Fault injection: this code always answers 21.
    void setRefusedCode(const QString &code) { m_refused = code; }
    // Fault injection: "@*" answers with no items.
    void setEmptyQueryAll(bool on) { m_emptyQueryAll = on; }
    // Fault injection: every n-th simulated read finds no code (0: every read is good).
    void setNoReadEvery(int n) { m_noReadEvery = qMax(0, n); }
    // The receive buffer size "BUFQRY" reports (bytes of a batch body).
    void setBufferSize(int bytes) { m_bufferSize = qMax(1, bytes); }
    int bufferSize() const { return m_bufferSize; }

    // One read as a trigger starts it; the counters of "DBGCNT" move.
    void simulateRead();
    // Time one simulated read takes, added to the "T" counter.
    static constexpr int kSimulatedReadMs = 15;

    // With a camera, reads take and decode images and send result frames (VrReaderEngineCamera.cpp).
    void setCamera(std::unique_ptr<VrReaderCamera> camera);
    VrReaderCamera *camera() const { return m_camera.get(); }
    // A smart camera answers vision calls through this (VrReaderEngineVision.cpp).
    void setVision(std::unique_ptr<VvCamera> vision);
    VvCamera *vision() const { return m_vision.get(); }
    // A started vision run or test: the host calls visionTick() every visionIntervalMs().
    bool visionRunning() const;
    int visionIntervalMs() const;
    Outcome visionTick();
    // An RFID reader's radio side and the frequency tables of its regions (VrReaderEngineRfid.cpp).
    void setRfid(std::unique_ptr<VfReader> rfid, QMap<QString, QList<double>> regions);
    VfReader *rfid() const { return m_rfid.get(); }
    // The tag frames of the inventory rounds that are due now.
    Outcome rfidTick();
    ~VrReaderEngine();
    // Images of reads waiting for upload by FTP ("FTPENA"), taken by the host.
    struct FtpImage
    {
        QString name;
        QByteArray data;
    };
    QList<FtpImage> takeFtpImages();
    // One read of a continuous read mode; known: made from the scene's known codes (load mode).
    Outcome continuousRead(bool known);
    // A test or monitoring reads on its own every toolIntervalMs (VrReaderEngineTools.cpp).
    bool toolRunning() const;
    int toolIntervalMs() const;
    Outcome toolRead();
    void stopTools();
    // Results made while no client holds the reader, kept when "WLSBAT" is 1 (VrReaderEngineStored.cpp).
    void keepOffline(const QList<QByteArray> &frames);
    const VrStoredResults &offlineResults() const { return m_offline; }

private:
    KxTagInfo answer(char prefix, char query, const QString &code, const QByteArray &value,
                     bool hasValue, Outcome *outcome);
    KxTagInfo differences() const;
    KxTagInfo tag(const QString &code, int result, const QByteArray &value) const;
    QByteArray readOnlyValue(const QString &code) const;
    QByteArray defaultOf(const VrCommand &c) const;
    bool runAction(char prefix, const QString &code, Outcome *outcome);
    static bool isLiveDefault(const VrCommand &c, const QString &code);
    QByteArray counters() const;
    Outcome handleSettings(const KxSettingsRequest &request);
    Outcome handleVision(const QString &code, const QByteArray &json);
    bool applyGroup(const QString &text, QString *reason);
    bool saveState();
    void read(Outcome *outcome);
    QByteArray cameraSensor() const;
    void cameraSetting(char prefix, const QString &code, const QByteArray &value, Outcome *outcome);
    KxTagInfo answerImage(const QString &code, const QByteArray &value, Outcome *outcome);
    // Configuration sets (VrReaderEngineSets.cpp).
    KxTagInfo writeConfigSet(char prefix, const QByteArray &value, Outcome *outcome);
    VrReaderCamera::Read readWithSets(bool forced);
    VrReaderCamera::Values imageValues() const;
    // Setting codes in view (VrReaderEngineSetup.cpp): true when the read was a setting code
    // sheet, whose codes are not sent as results.
    bool scanSettingCodes(const VrReaderCamera::Read &r, Outcome *outcome);
    void applySettingCode(const QString &code, const QByteArray &value, Outcome *outcome);
    void queueFtpImage(const VrReaderCamera::Read &r);
    // Self-learning (VrReaderEngineLearning.cpp).
    void selfLearn(char prefix, const QByteArray &value, Outcome *outcome);
    QByteArray learningValue(const QString &code) const;
    // Tests, monitoring and focus (VrReaderEngineTools.cpp): true when the request was answered.
    bool toolRequest(char prefix, const QString &code, const QByteArray &value, Outcome *outcome,
                     KxTagInfo *reply);
    static bool isToolValue(const QString &code);
    bool storedRequest(const QString &code, const QByteArray &value, Outcome *outcome, KxTagInfo *reply);
    QByteArray toolValue(const QString &code) const;
    void focus(char prefix, const QRect &window, Outcome *outcome);
    // Inventory, counters and tag memory of an RFID reader: true when the request was answered.
    bool rfidRequest(char prefix, char query, const QString &code, const QByteArray &value,
                     bool hasValue, Outcome *outcome, KxTagInfo *reply);
    QList<QByteArray> resultFrames(const QList<VcResult> &results, bool good, QStringList *log = nullptr);

    QSharedPointer<const VrCommandTable> m_table;
    VrIdentity m_identity;
    QString m_statePath;
    bool m_stateWritable = true;
    QHash<QString, QByteArray> m_running;
    QHash<QString, QByteArray> m_stored;
    QHash<QString, QByteArray> m_custom;
    bool m_hasCustom = false;
    QString m_alias;
    QMap<QString, QString> m_group;
    bool m_configtool = false;
    QString m_refused;
    bool m_emptyQueryAll = false;
    // The encoded "^" list: it depends only on the table, the prefix and the buffer size.
    QByteArray m_capsKey, m_capsReply;
    // The encoded "&" list: the table's defaults and the few live values not on any page.
    QByteArray m_defaultsKey, m_defaultsReply;
    const void *m_liveTable = nullptr;
    QStringList m_liveCodes;
    // The encoded "*" list with everything it was made from written out as its key.
    QByteArray m_valuesKey, m_valuesReply;
    const void *m_readOnlyTable = nullptr;
    QStringList m_readOnlyCodes;
    int m_noReadEvery = 0;
    int m_bufferSize = 4096;
    // Read counters ("DBGCNT"): reads, good reads, time spent reading.
    quint64 m_reads = 0;
    quint64 m_goodReads = 0;
    quint64 m_readMs = 0;
    std::unique_ptr<VrReaderCamera> m_camera;
    VrSettingCodeSession m_setupCodes;
    QStringList m_setupApplied;  // codes set since programming began
    QList<FtpImage> m_ftpImages;
    std::unique_ptr<VvCamera> m_vision;
    quint32 m_resultSeq = 0;  // result frames sent
    int m_learnState = 0;     // "ATLQLS"
    int m_learnProgress = 0;  // "ATLQPR", percent
    QByteArray m_learnParams; // "ATLQLP"
    QByteArray m_learnPass;   // "ATLPAS"
    VrReaderTools::TestRun m_test;  // "TESQST"
    int m_testSet = 0;              // next set of a read test that cycles the sets
    int m_monitor = 0;              // "SCNMTG": the monitoring mode that runs
    QByteArray m_focusState;        // "FOCQAT"
    std::unique_ptr<VfReader> m_rfid;
    QMap<QString, QList<double>> m_regions;  // RFID frequency tables (kHz) by region
    QByteArray m_lastTagRead;               // "URFTRD" query: the last data read
    QByteArray m_lastTagWrite;              // "URFTWR" query: the last write done
    VrStoredResults m_offline;      // "WLSCNT", "WLSGET", "WLSCLR"
};
