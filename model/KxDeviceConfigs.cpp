#include "KxDeviceConfigs.h"

#include "KxConfig.h"
#include "KxModelFiles.h"
#include "KxModelName.h"
#include "KxSettings.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QMutexLocker>

KxDescriptionDirs KxDescriptionDirs::fromModelsDir(const QString &modelsDir)
{
    KxDescriptionDirs d;
    d.modelsDir = modelsDir;
    d.barcodeDir = modelsDir + QStringLiteral("/barcodesetting");
    d.rfidDir = modelsDir + QStringLiteral("/rfidsetting");
    d.offlineDir = d.barcodeDir + QStringLiteral("/offline");
    return d;
}

KxDescriptionDirs KxDescriptionDirs::installed()
{
    KxConfig *c = KxConfig::instance();
    KxDescriptionDirs d;
    d.modelsDir = c->installDir() + QStringLiteral("/models");
    d.barcodeDir = c->barcodeSettingDir();
    d.rfidDir = c->rfidSettingDir();
    d.offlineDir = c->offlineDir();
    return d;
}

KxDeviceConfigs *KxDeviceConfigs::instance()
{
    static KxDeviceConfigs *self = [] {
        auto *c = new KxDeviceConfigs(KxDescriptionDirs(), QString()); // kept until exit
        c->m_currentLanguage = true;
        return c;
    }();
    return self;
}

KxDeviceConfigs::KxDeviceConfigs(const KxDescriptionDirs &dirs, const QString &language)
    : m_dirs(dirs), m_language(language)
{
}

void KxDeviceConfigs::addIssues(const KxDescriptionIssues &more) const
{
    QMutexLocker lock(&m_cacheMutex);
    m_issues += more;
}

KxDescriptionIssues KxDeviceConfigs::issues() const
{
    QMutexLocker lock(&m_cacheMutex);
    return m_issues;
}

bool KxDeviceConfigs::load()
{
    if (m_loaded.load())
        return true;
    QMutexLocker lock(&m_loadMutex);
    if (m_loaded.load())
        return true;
    return loadLocked();
}

bool KxDeviceConfigs::loadLocked()
{
    if (m_currentLanguage) {
        // The singleton follows the installation and the program's language.
        m_dirs = KxDescriptionDirs::installed();
        m_language = KxSettings::instance()->language();
    }
    KxDescriptionIssues issues;
    KxDevicesData devices;
    QList<KxSymbology> symbologies;
    const bool devicesOk = KxModelFiles::readDevices(
        m_dirs.barcodeDir + QStringLiteral("/devices/Devices.xml"), m_dirs.offlineDir, m_language,
        devices, &issues);
    const bool symOk = devicesOk &&
        KxModelFiles::readSymbologies(m_dirs.barcodeDir + QStringLiteral("/Symbologies.xml"),
                                      symbologies, &issues);

    DirData barcode;
    DirData rfid;
    if (devicesOk && symOk) {
        // Events and Refs never fail the load; Refs is read only beside a readable Events.
        for (auto *pair : {&barcode, &rfid}) {
            const QString dir = pair == &barcode ? m_dirs.barcodeDir : m_dirs.rfidDir;
            pair->eventsOk =
                KxModelFiles::readEvents(dir + QStringLiteral("/Events.xml"), pair->events, &issues);
            if (pair->eventsOk)
                pair->refsOk =
                    KxModelFiles::readRefs(dir + QStringLiteral("/Refs.xml"), pair->refs, &issues);
        }
    }
    for (const KxDescriptionIssue &i : issues)
        qWarning().noquote() << "KxDeviceConfigs::load()..." << i.toString();
    addIssues(issues);
    if (!devicesOk || !symOk)
        return false;

    m_devices = devices;
    m_symbologies = symbologies;
    m_barcode = barcode;
    m_rfid = rfid;
    m_loaded.store(true);
    return true;
}

bool KxDeviceConfigs::ensureLoaded() const
{
    if (m_loaded.load())
        return true;
    // Queries are const for callers; loading on first use is an internal detail.
    return const_cast<KxDeviceConfigs *>(this)->load();
}

bool KxDeviceConfigs::findDevice(const QString &modelName, KxDeviceConfig &entry) const
{
    if (!ensureLoaded())
        return false;
    const QString key = KxModelName::stripPrefixes(modelName);
    if (key.isEmpty())
        return false;
    const int dash = key.indexOf(QLatin1Char('-'));
    const QString head = dash >= 0 ? key.left(dash) : QString();
    for (const QMap<QString, KxDeviceConfig> &devices : m_devices.categories) {
        auto it = devices.constFind(key);
        if (it == devices.constEnd() && !head.isEmpty())
            it = devices.constFind(head);
        if (it == devices.constEnd()) {
            for (auto d = devices.constBegin(); d != devices.constEnd(); ++d) {
                const QString id = KxModelName::stripPrefixes(d->id);
                if (!id.isEmpty() && key.startsWith(id, Qt::CaseInsensitive)) {
                    it = d;
                    break;
                }
            }
        }
        if (it != devices.constEnd()) {
            entry = *it;
            return true;
        }
    }
    return false;
}

bool KxDeviceConfigs::isCompatible(const QString &candidate, const QString &model,
                                   const QString &alternateModel) const
{
    if (candidate.isEmpty())
        return false;
    if (candidate == model)
        return true;
    const QString normCandidate = KxModelName::normalise(candidate);
    if (normCandidate == KxModelName::normalise(model))
        return true;
    KxDeviceConfig entry;
    const QString owner = alternateModel.isEmpty() ? model : alternateModel;
    if (!findDevice(KxModelName::normalise(owner), entry) || entry.cmpkey.isEmpty())
        return false;
    for (const QString &k : entry.cmpkey.split(QLatin1Char('|'), Qt::SkipEmptyParts)) {
        if (KxModelName::normalise(k) == normCandidate)
            return true;
    }
    return false;
}

bool KxDeviceConfigs::isDeviceShown(const QString &modelName, const QString &flagText) const
{
    ensureLoaded();
    const int type = deviceType();
    if (type == 1 && flagText == QLatin1String("1"))
        return false;
    if (type == 2 && flagText != QLatin1String("1"))
        return false;
    if (!deviceFilter())
        return true;
    QString name = modelName;
    if (!name.startsWith(QLatin1String("KXS-")))
        name.prepend(QStringLiteral("KXS-"));
    KxDeviceConfig entry;
    return findDevice(name, entry);
}

QList<KxDeviceConfig> KxDeviceConfigs::allDevices() const
{
    QList<KxDeviceConfig> out;
    if (!ensureLoaded())
        return out;
    for (const QMap<QString, KxDeviceConfig> &devices : m_devices.categories)
        out += devices.values();
    return out;
}

int KxDeviceConfigs::deviceType() const
{
    return ensureLoaded() ? m_devices.type : 0;
}

bool KxDeviceConfigs::deviceFilter() const
{
    return ensureLoaded() ? m_devices.filter : true;
}

QString KxDeviceConfigs::unknownDeviceIcon() const
{
    ensureLoaded(); // the singleton learns its directories on first load
    return m_dirs.barcodeDir + QStringLiteral("/devices/KXS_UnknowDevice.png");
}

QString KxDeviceConfigs::deviceIcon(const QString &model) const
{
    KxDeviceConfig entry;
    if (findDevice(model, entry) && !entry.icon.isEmpty()) {
        const QStringList candidates = {
            QStringLiteral("%1/%2").arg(m_dirs.modelsDir, entry.icon),
            QStringLiteral("%1/devices/%2").arg(m_dirs.barcodeDir, entry.icon),
        };
        for (const QString &c : candidates) {
            if (QFileInfo(c).isFile())
                return c;
        }
    }
    return unknownDeviceIcon();
}

QString KxDeviceConfigs::modelDir(const KxDeviceConfig &entry) const
{
    // A model's files sit in a folder named by its normalised id, under the barcode-setting
    // directory or, for RFID readers, the RFID directory.
    ensureLoaded();
    const QStringList candidates = {
        m_dirs.barcodeDir + QLatin1Char('/') + entry.key,
        m_dirs.rfidDir + QLatin1Char('/') + entry.key,
        m_dirs.barcodeDir + QLatin1Char('/') + entry.id,
    };
    for (const QString &c : candidates) {
        if (QFileInfo(c).isDir())
            return c;
    }
    return candidates.first();
}

QString KxDeviceConfigs::modelDir(const QString &modelName) const
{
    KxDeviceConfig entry;
    return findDevice(modelName, entry) ? modelDir(entry) : QString();
}

QString KxDeviceConfigs::pagePath(const QString &modelDir, const QString &page)
{
    // Callers name pages with or without the extension ("1D" or "1D.xml").
    QString name = page;
    if (name.endsWith(QLatin1String(".xml"), Qt::CaseInsensitive))
        name.chop(4);
    return QStringLiteral("%1/pages/%2.xml").arg(modelDir, name);
}

QString KxDeviceConfigs::pagePath(const KxDeviceConfig &entry, const QString &page) const
{
    return pagePath(modelDir(entry), page);
}

bool KxDeviceConfigs::isPageExportable(const QString &path) const
{
    {
        QMutexLocker lock(&m_cacheMutex);
        const auto it = m_exportable.constFind(path);
        if (it != m_exportable.constEnd())
            return *it;
    }
    KxDescriptionIssues issues;
    const bool v = KxModelFiles::readExportable(path, &issues);
    addIssues(issues);
    QMutexLocker lock(&m_cacheMutex);
    m_exportable.insert(path, v);
    return v;
}

QStringList KxDeviceConfigs::getLenCmds(bool rfid) const
{
    // A Cmd lists its codes in its text; a Cmd without text stands for its own id.
    QStringList out;
    for (const KxCmdList &l : getLenCmdLists(rfid)) {
        const QStringList codes = l.cmds.isEmpty() ? QStringList{l.id} : l.cmds;
        for (const QString &c : codes) {
            if (!out.contains(c))
                out.append(c);
        }
    }
    return out;
}

QList<KxCmdList> KxDeviceConfigs::getLenCmdLists(bool rfid) const
{
    return ensureLoaded() ? dirData(rfid).refs.getLenCmds : QList<KxCmdList>();
}

QStringList KxDeviceConfigs::syncCmds(bool rfid) const
{
    return ensureLoaded() ? dirData(rfid).refs.syncCmds : QStringList();
}

QStringList KxDeviceConfigs::syncExtendData(bool rfid) const
{
    return ensureLoaded() ? dirData(rfid).refs.syncExtendData : QStringList();
}

QStringList KxDeviceConfigs::endCmds(bool rfid) const
{
    return ensureLoaded() ? dirData(rfid).refs.endCmds : QStringList();
}

QStringList KxDeviceConfigs::restrictExportCmds(bool rfid) const
{
    return ensureLoaded() ? dirData(rfid).refs.restrictExportCmds : QStringList();
}

QStringList KxDeviceConfigs::resizeCmds(bool rfid) const
{
    return ensureLoaded() ? dirData(rfid).refs.resizeCmds : QStringList();
}

QList<KxCmdList> KxDeviceConfigs::scriptCmdLists(bool rfid) const
{
    return ensureLoaded() ? dirData(rfid).refs.scripts : QList<KxCmdList>();
}

QStringList KxDeviceConfigs::scriptCmds(const QString &id, bool rfid) const
{
    for (const KxCmdList &l : scriptCmdLists(rfid)) {
        if (l.id == id)
            return l.cmds;
    }
    return QStringList();
}

QString KxDeviceConfigs::refText(const QString &id, bool rfid) const
{
    return ensureLoaded() ? dirData(rfid).refs.refs.value(id) : QString();
}

KxEventTriggers KxDeviceConfigs::triggers(const QString &commandId, bool rfid) const
{
    return ensureLoaded() ? dirData(rfid).events.value(commandId) : KxEventTriggers();
}

QList<KxSymbology> KxDeviceConfigs::symbologies() const
{
    return ensureLoaded() ? m_symbologies : QList<KxSymbology>();
}

QList<KxUiTool> KxDeviceConfigs::uiLayoutTools(const QString &dir) const
{
    ensureLoaded();
    const QString path = (dir.isEmpty() ? m_dirs.barcodeDir : dir) + QStringLiteral("/UILayout.xml");
    {
        QMutexLocker lock(&m_cacheMutex);
        const auto it = m_uiLayouts.constFind(path);
        if (it != m_uiLayouts.constEnd())
            return *it;
    }
    QList<KxUiTool> tools;
    KxDescriptionIssues issues;
    if (!KxModelFiles::readUiLayout(path, tools, &issues))
        tools.clear();
    addIssues(issues);
    QMutexLocker lock(&m_cacheMutex);
    m_uiLayouts.insert(path, tools);
    return tools;
}

QMap<QString, QList<double>> KxDeviceConfigs::urfhpTable() const
{
    ensureLoaded();
    QMap<QString, QList<double>> table;
    KxDescriptionIssues issues;
    KxModelFiles::readUrfhp(m_dirs.rfidDir + QStringLiteral("/urfhp.xml"), table, &issues);
    addIssues(issues);
    return table;
}

void KxDeviceConfigs::setCmdLength(const QString &codeAndSubTag, int length)
{
    QMutexLocker lock(&m_cacheMutex);
    m_lengths.insert(codeAndSubTag, length);
}

int KxDeviceConfigs::cmdLength(const QString &codeAndSubTag, int fallback) const
{
    QMutexLocker lock(&m_cacheMutex);
    return m_lengths.value(codeAndSubTag, fallback);
}

void KxDeviceConfigs::clearCmdLengths()
{
    QMutexLocker lock(&m_cacheMutex);
    m_lengths.clear();
}
