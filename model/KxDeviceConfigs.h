#pragma once
// The reader models the program knows, read once from the installation's description files:
// which entry belongs to a model name, its icon, offline configuration and page files, which
// model names are compatible, and the command lists and triggers of the command engine.
#include "KxDescriptionIssue.h"
#include "KxDeviceConfig.h"

#include <QHash>
#include <QMutex>
#include <atomic>

// Where the description files live. The default is the installation; tests and the virtual
// reader may point anywhere.
struct KxDescriptionDirs
{
    QString barcodeDir; // <models>/barcodesetting
    QString rfidDir;    // <models>/rfidsetting
    QString offlineDir; // <models>/barcodesetting/offline
    QString modelsDir;  // <install>/models

    static KxDescriptionDirs fromModelsDir(const QString &modelsDir);
    static KxDescriptionDirs installed(); // from KxConfig
};

class KxDeviceConfigs
{
public:
    static KxDeviceConfigs *instance(); // installed directories, current language

    // A standalone set reading the given directories; `language` filters "lang" entries.
    KxDeviceConfigs(const KxDescriptionDirs &dirs, const QString &language);
    KxDeviceConfigs(const KxDeviceConfigs &) = delete;
    KxDeviceConfigs &operator=(const KxDeviceConfigs &) = delete;

    // Reads the files once; a failed load is tried again on the next call or query.
    bool load();
    bool isLoaded() const { return m_loaded.load(); }
    // Everything the loads reported, fatal or not, oldest first.
    KxDescriptionIssues issues() const;
    const KxDescriptionDirs &dirs() const { return m_dirs; }

    bool findDevice(const QString &modelName, KxDeviceConfig &entry) const;
    bool isCompatible(const QString &candidate, const QString &model,
                      const QString &alternateModel = QString()) const;
    bool isDeviceShown(const QString &modelName, const QString &flagText) const;
    QList<KxDeviceConfig> allDevices() const; // every entry, categories and keys in order
    int deviceType() const;
    bool deviceFilter() const;

    QString deviceIcon(const QString &model) const;
    QString unknownDeviceIcon() const;

    // The model's own directory (its pages, layout and conditions).
    QString modelDir(const KxDeviceConfig &entry) const;
    QString modelDir(const QString &modelName) const; // empty when the model is unknown
    static QString pagePath(const QString &modelDir, const QString &page);
    QString pagePath(const KxDeviceConfig &entry, const QString &page) const;
    bool isPageExportable(const QString &pagePath) const;

    QStringList getLenCmds(bool rfid) const;
    QList<KxCmdList> getLenCmdLists(bool rfid) const;
    QStringList syncCmds(bool rfid = false) const;
    QStringList syncExtendData(bool rfid = false) const;
    QStringList endCmds(bool rfid = false) const;
    QStringList restrictExportCmds(bool rfid = false) const;
    QStringList resizeCmds(bool rfid = false) const;
    QList<KxCmdList> scriptCmdLists(bool rfid = false) const;
    QStringList scriptCmds(const QString &id, bool rfid = false) const;
    QString refText(const QString &id, bool rfid = false) const;
    KxEventTriggers triggers(const QString &commandId, bool rfid = false) const;

    QList<KxSymbology> symbologies() const;
    // Tools of "<dir>/UILayout.xml"; `dir` defaults to the barcode-setting directory.
    QList<KxUiTool> uiLayoutTools(const QString &dir = QString()) const;
    // Frequency tables of "<rfid dir>/urfhp.xml".
    QMap<QString, QList<double>> urfhpTable() const;

    // Length table, filled by the command engine as readers are synchronised.
    void setCmdLength(const QString &codeAndSubTag, int length);
    int cmdLength(const QString &codeAndSubTag, int fallback = -1) const;
    void clearCmdLengths();

private:
    bool ensureLoaded() const;
    bool loadLocked();
    void addIssues(const KxDescriptionIssues &more) const;

    struct DirData
    {
        bool eventsOk = false;
        bool refsOk = false;
        QHash<QString, KxEventTriggers> events;
        KxRefsData refs;
    };
    const DirData &dirData(bool rfid) const { return rfid ? m_rfid : m_barcode; }

    KxDescriptionDirs m_dirs;
    QString m_language;
    bool m_currentLanguage = false; // read the program's language at load time
    std::atomic<bool> m_loaded{false};
    mutable QMutex m_loadMutex;
    KxDevicesData m_devices;
    DirData m_barcode;
    DirData m_rfid;
    QList<KxSymbology> m_symbologies;

    mutable QMutex m_cacheMutex; // issues, lengths and files read on demand
    mutable KxDescriptionIssues m_issues;
    QHash<QString, int> m_lengths;
    mutable QHash<QString, QList<KxUiTool>> m_uiLayouts;
    mutable QHash<QString, bool> m_exportable;
};
