#pragma once
// One connected reader's command engine: its settings as read from the reader, value lookups
// for the pages, framing, sending and checking changed settings, and the changed-command list.
// Slow work runs on its worker thread; results come back through queued signals.
#include "KxCmdFraming.h"
#include "KxDeviceImageRequest.h"
#include "KxDeviceTypes.h"

#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QVector>

#include <atomic>

class KxDeviceConnector;
class KxDeviceCommandThread;
class KxDeviceConfigs;

class KxDeviceCommand : public QObject
{
    Q_OBJECT
public:
    static constexpr int kTimeoutMs = 60000;
    enum TagListKind { Values, Capabilities, Defaults };  // "@*", "@^", "@&"
    enum SyncStep { SyncRefresh = 0, SyncCommands = 1, SyncExtend = 2, SyncMissing = 3 };
    using Done = std::function<void(bool ok, const QStringList &failed)>;

    explicit KxDeviceCommand(KxDeviceConnector *connector, QObject *parent = nullptr);
    ~KxDeviceCommand() override;

    // Reads every setting of the reader (unless skipSync); needs a live connector.
    bool init(bool vision, bool skipSync = false);
    // init in two halves, for a login whose reading runs on the worker: forget everything
    // read before (main thread), then read (any thread but the main one's event loop).
    bool resetForLogin(bool vision);
    bool readForLogin();
    bool isVision() const { return m_vision; }
    QString deviceId() const { return m_deviceId; }
    void setRfid(bool rfid) { m_rfid = rfid; }
    bool isRfid() const { return m_rfid; }
    // Where the length table and the command lists come from (default: the installation's).
    void setDescriptions(KxDeviceConfigs *configs) { m_configs = configs; }

    // ---- synchronisation (any thread) --------------------------------------------------------
    bool syncSettings(bool full);
    int syncSettingsEx(int step);
    int getSyncCmds(int failStep);
    int syncExtendData(int failStep);
    int syncCmdLengths();

    // ---- lookups (any thread) ----------------------------------------------------------------
    bool hasCmd(const QString &code) const;
    QByteArray value(const QString &code, bool base64 = false,
                     const QMap<QString, QByteArray> *source = nullptr) const;
    QString valueText(const QString &code, bool base64 = false,
                      const QMap<QString, QByteArray> *source = nullptr) const;
    // Straight from one list, empty unless the reader acknowledged the code.
    QByteArray rawValue(const QString &code, TagListKind list = Values) const;
    QString rawValueText(const QString &code, TagListKind list = Values) const;
    QByteArray extendData(const QString &code) const;
    KxTagList tagList(TagListKind list) const;
    QMap<int, QByteArray> configurationSets() const;
    // The reader's receive buffer size, read once; a caller that knows better may set it.
    int bufferSize();
    void setBufferSize(int bytes);
    // The warning key for a change of code on this reader's link; empty when none applies.
    QString rebootWarning(const QString &code) const;

    // ---- sending -----------------------------------------------------------------------------
    int query(int protocol, const QString &code, QByteArray &value, const QByteArray &extra = {},
              int *error = nullptr, int timeoutMs = kTimeoutMs);
    // A job: work on the worker thread, done on the main thread. Jobs and queued changes run
    // in the order they were asked for. done always runs while this object lives: with the
    // result "error" set when the job threw, could not be queued or the worker stopped first.
    void asyncProcess(const KxJobWork &work, const KxJobDone &done);
    bool addTask(const KxCmdTask &task, bool unique = false);
    // One change sent as a running change; on success the reader's answer updates the values,
    // the change is recorded and done(ok, failed) runs while handler lives. flag: take the
    // reply into the values (refreshAll: read every value again instead). A value holding ","
    // or ";", or an empty one, travels alone in a binary request; done runs once, after the
    // change's last frame. Every item must come back acknowledged with the value sent. After
    // a failure the reader's value of the code is read again and shown, and kept as a change
    // when it differs from the stored one (a clear that went through before a refused add).
    bool sendCmdAsync(const ChangedCmdInfo &cmd, QObject *handler, bool flag = true,
                      const Done &done = {}, bool refreshAll = false);
    // The items one change becomes: "DFMADD" clears first ("DFMCAL") and an empty one only
    // clears; a script ("LUAQRY") travels as "LUAADD".
    static KxCmdItems changeItems(const ChangedCmdInfo &cmd);
    // Sends frames (text or binary requests) and checks every acknowledgement, synchronously
    // (worker thread); an item the reader leaves unanswered counts as failed.
    bool sendChangedCmds(const QByteArrayList &frames, QList<QString> &failed, bool refresh,
                         bool resync, bool quiet);
    // Frames the changes and sends them with "@" (permanent: stored entries leave the changed
    // list) or "#"; synchronous. marked: codes announced after the others. Values holding ","
    // or ";" go alone in binary requests in their place; the other items stay batched.
    bool saveCmds(const QVector<ChangedCmdInfo> &cmds, bool permanent, QStringList &failed,
                  const QStringList &marked = {});
    // The changed-command list saved permanently / restored to the previous values, on the
    // worker; done runs on the main thread while context lives.
    void saveChangedCmdsAsync(QObject *context, const Done &done);
    void discardChangedCmdsAsync(QObject *context, const Done &done);
    // Discards the changes of codes on the reader, synchronously: each gets back the value it
    // had before its first change (what the reader has stored) with "#", so nothing new is
    // stored; a restored code leaves the changed-command list. A code counts as failed when
    // the reader refuses it or answers with another value. Codes without a change are skipped.
    bool restoreCmds(const QStringList &codes, QStringList &failed);
    // The same for one changed command, on the worker; done runs on the main thread while
    // context lives. False (done not called) when code has no changed-command entry.
    bool restoreChangedCmd(const QString &code, QObject *context = nullptr, const Done &done = {});

    // Changes sent and not yet answered (main thread); pendingChangesFinished when none is left.
    int pendingChanges() const { return m_pending.size(); }

    QVector<ChangedCmdInfo> changedCmds() const;
    QVector<ChangedCmdInfo> appliedChanges() const;
    // The codes that run unsaved on the reader ("DIFQRY"), as changed commands (synchronous;
    // codes already listed keep their entries).
    void readDifferences();
    void clearChangedCmds();

    // Auto-sleep: keep the reader's "ATLSLP" and put it back later (synchronous).
    bool saveAutoSleep();
    bool restoreAutoSleep();
    bool hasSavedAutoSleep() const;
    // The kept "ATLSLP" value (what the reader had before auto-sleep was switched off for
    // editing); empty when none is kept.
    QByteArray savedAutoSleep() const;

    // One image from the reader, synchronously (call it from a job's work function): refused
    // while an earlier request of this reader is still outstanding (KxDeviceCommandImage.cpp).
    KxImageReply getImage(const KxImageRequest &request);
    bool isImageBusy() const;

    void setStatisticsPolling(bool on);
    // Stops the worker and waits for it; a send still on the wire after a short grace is ended
    // by closing the link, so no job outlives this object. Queued work reports failure.
    void stopWorker();
    KxDeviceCommandThread *worker() const { return m_thread; }

signals:
    void cmdChanged(const QStringList &cmds, bool bEmitValueChanged);
    void cmdValueChanged(const QMap<QString, QByteArray> &changed_cmds, bool bBlockSignals);
    // An import changed settings that restart the reader or change its link: pages read
    // every value again instead of the announced changes only.
    void cmdValueChanged_ImportReboot();
    void signal_ChangedCmdsHistoryChange(bool bEmpty);
    void pendingChangesFinished();
    void signal_ResultGetStatistics(const QByteArray &byteResponse);

public slots:
    void slot_ResultProcessing(bool bRet, const QByteArray &byteResponse,
                               const _struResultUserDatas &struUserData);
    void slot_ResultProcessCallback(KxDeviceCommandPtr devCommand,
                                    const QMap<QString, QByteArray> &mapResult,
                                    const _struProcessCallback &struCB);

private:
    struct Pending
    {
        QPointer<QObject> handler;
        bool hasHandler = false;
        Done done;
        ChangedCmdInfo cmd;
        int framesLeft = 1;  // a change may need more than one frame (a binary-safe value)
    };
    void ensureWorker();
    // Emits on this object's thread (signals raised by worker code reach the pages in order).
    void notify(const std::function<void()> &emitter);
    // Worker side of sendCmdAsync.
    bool applyChange(const ChangedCmdInfo &cmd, const QByteArrayList &frames, bool merge,
                     bool refreshAll, QStringList &failed);
    // Takes value as what the reader runs for code; before is what it ran before the change.
    void adoptReaderValue(const ChangedCmdInfo &cmd, const QByteArray &value,
                          const QByteArray &before);
    QSet<QString> actionCodes(const KxCmdItems &items) const;
    int send(const QByteArray &frame, QByteArray &reply, int timeoutMs = kTimeoutMs);
    bool queryList(const QByteArray &request, KxTagList &out, QByteArray *reply);
    KxDeviceConfigs *configs() const;
    void refreshConfigurationSets();
    void mergeValues(const KxTagList &reply, QStringList *changed);
    void recordChange(const ChangedCmdInfo &cmd, const QByteArray &previous);
    static constexpr int kStopGraceMs = 500;
    static constexpr int kStopWaitMs = 15000;
    // sendChangedCmds, also handing back every item the reader answered.
    bool sendFrames(const QByteArrayList &frames, QList<QString> &failed, bool refresh,
                    bool resync, bool quiet, KxTagList *answers);
    // saveCmds; with verify a code also fails when the reader answers with another value.
    bool saveCmdsChecked(const QVector<ChangedCmdInfo> &cmds, bool permanent, QStringList &failed,
                         const QStringList &marked, bool verify);
    void finishPending(quint64 ticket, bool ok, const QStringList &failed);

    QVector<ChangedCmdInfo> m_changed;
    KxTagList m_values;        // "@*"
    KxTagList m_capabilities;  // "@^"
    KxTagList m_defaults;      // "@&"
    QMap<int, QByteArray> m_configSets;
    QVector<ChangedCmdInfo> m_applied;
    QMap<QString, QByteArray> m_extend;  // extend data of the sync commands
    int m_bufferSize = -1;
    QPointer<KxDeviceConnector> m_connector;
    QString m_deviceId;
    KxDeviceCommandThread *m_thread = nullptr;
    KxDeviceConfigs *m_configs = nullptr;
    bool m_vision = false;
    bool m_destroying = false;
    bool m_rfid = false;
    bool m_sleepSaved = false;
    QByteArray m_savedSleep;
    int m_changeCounter = 0;
    quint64 m_nextTicket = 1;
    QMap<quint64, Pending> m_pending;
    std::atomic<bool> m_imageBusy{false};
    mutable QMutex m_dataMutex;  // the lists above: the worker updates, the pages read
};

Q_DECLARE_METATYPE(KxDeviceCommandPtr)
