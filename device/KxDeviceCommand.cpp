#include "KxDeviceCommand.h"

#include "KxDataStreamMaker.h"
#include "KxDataStreamParser.h"
#include "KxDeviceCommandThread.h"
#include "KxDeviceConfigs.h"
#include "KxDeviceConnector.h"
#include "KxDeviceKit.h"

#include <QDebug>
#include <QThread>

namespace {
const KxTagInfo *findTag(const KxTagList &list, const QString &code)
{
    for (const KxTagInfo &t : list) {
        if (t.code == code)
            return &t;
    }
    return nullptr;
}
}  // namespace

KxDeviceCommand::KxDeviceCommand(KxDeviceConnector *connector, QObject *parent)
    : QObject(parent), m_connector(connector)
{
    kxRegisterDeviceTypes();
    if (connector)
        m_deviceId = connector->deviceId();
    ensureWorker();
}

KxDeviceCommand::~KxDeviceCommand()
{
    m_destroying = true;
    stopWorker();
}

void KxDeviceCommand::ensureWorker()
{
    if (m_destroying)
        return;
    if (m_thread && !m_thread->isStopping()) {
        if (!m_thread->isRunning())
            m_thread->start(QThread::InheritPriority);
        return;
    }
    m_thread = new KxDeviceCommandThread(m_deviceId, KxDeviceCommandPtr(this));
    connect(m_thread, &KxDeviceCommandThread::signal_ResultProcessing, this,
            &KxDeviceCommand::slot_ResultProcessing, Qt::QueuedConnection);
    connect(m_thread, &KxDeviceCommandThread::signal_ResultProcessCallback, this,
            &KxDeviceCommand::slot_ResultProcessCallback, Qt::QueuedConnection);
    connect(m_thread, &KxDeviceCommandThread::signal_ResultGetStatistics, this,
            &KxDeviceCommand::signal_ResultGetStatistics, Qt::QueuedConnection);
    m_thread->start(QThread::InheritPriority);
}

void KxDeviceCommand::notify(const std::function<void()> &emitter)
{
    if (QThread::currentThread() == thread())
        emitter();
    else
        QMetaObject::invokeMethod(this, emitter, Qt::QueuedConnection);
}

void KxDeviceCommand::stopWorker()
{
    if (!m_thread)
        return;
    // The thread ends after its current tick and deletes itself; nobody waits for a send that
    // may take up to its time-out.
    KxDeviceCommandThread *thread = m_thread;
    m_thread = nullptr;
    thread->stop();
    if (thread == QThread::currentThread()) {
        // Asked by its own job: the loop ends after it; the thread goes when it has finished.
        connect(thread, &QThread::finished, thread, &QObject::deleteLater);
        return;
    }
    // Jobs use this object until they end, so they must end before it goes. A send still on
    // the wire is ended by closing the link (it then fails at once) rather than waited for.
    if (!thread->wait(kStopGraceMs)) {
        qWarning() << "KxDeviceCommand::stopWorker()...closing the link to end a send" << m_deviceId;
        KxDeviceKit::Instance()->disconnectFromDeviceEx(m_deviceId, DevicePort_Main);
        if (!thread->wait(kStopWaitMs)) {
            qCritical() << "KxDeviceCommand::stopWorker()...worker did not stop" << m_deviceId;
            connect(thread, &QThread::finished, thread, &QObject::deleteLater);
            return;
        }
    }
    delete thread;
}

bool KxDeviceCommand::init(bool vision, bool skipSync)
{
    if (!resetForLogin(vision))
        return false;
    if (skipSync)
        return true;
    if (!readForLogin())
        return false;
    if (!rawValue(QStringLiteral("SOPQAO"), Capabilities).isEmpty()
        && !rawValue(QStringLiteral("SOPQDB"), Capabilities).isEmpty())
        m_connector->setDeviceTimeOut(10000);
    return true;
}

bool KxDeviceCommand::readForLogin()
{
    if (!syncSettings(true))
        return false;
    readDifferences();
    return true;
}

bool KxDeviceCommand::resetForLogin(bool vision)
{
    if (!m_connector) {
        qWarning() << "KxDeviceCommand::init()...no connector";
        return false;
    }
    {
        QMutexLocker lock(&m_dataMutex);
        m_vision = vision;
        m_values.clear();
        m_capabilities.clear();
        m_defaults.clear();
        m_configSets.clear();
        m_applied.clear();
        m_extend.clear();
        m_changed.clear();
        m_bufferSize = -1;
    }
    emit signal_ChangedCmdsHistoryChange(true);
    ensureWorker();
    return true;
}

KxDeviceConfigs *KxDeviceCommand::configs() const
{
    return m_configs ? m_configs : KxDeviceConfigs::instance();
}

bool KxDeviceCommand::hasCmd(const QString &code) const
{
    QMutexLocker lock(&m_dataMutex);
    return findTag(m_capabilities, code) || findTag(m_values, code);
}

QByteArray KxDeviceCommand::value(const QString &code, bool base64,
                                  const QMap<QString, QByteArray> *source) const
{
    QByteArray v;
    bool found = false;
    QMutexLocker lock(&m_dataMutex);
    if (source && source->contains(code)) {
        v = source->value(code);
        found = true;
    }
    if (!found) {
        for (int i = m_applied.size() - 1; i >= 0; --i) {
            if (m_applied[i].code == code) {
                v = m_applied[i].value.toByteArray();
                found = true;
                break;
            }
        }
    }
    if (!found) {
        const KxTagInfo *t = findTag(m_values, code);
        if (t && t->result == DataResult_Ack) {
            v = t->value();
            found = true;
        }
    }
    if (found && code == QLatin1String("MPCADD"))
        v = QByteArrayList(m_configSets.values()).join('|');
    return base64 ? QByteArray::fromBase64(v) : v;
}

QString KxDeviceCommand::valueText(const QString &code, bool base64,
                                   const QMap<QString, QByteArray> *source) const
{
    return QString::fromUtf8(value(code, base64, source));
}

QByteArray KxDeviceCommand::rawValue(const QString &code, TagListKind list) const
{
    QMutexLocker lock(&m_dataMutex);
    const KxTagList &l = list == Capabilities ? m_capabilities
        : list == Defaults                    ? m_defaults
                                              : m_values;
    const KxTagInfo *t = findTag(l, code);
    return t && t->result == DataResult_Ack ? t->value() : QByteArray();
}

QString KxDeviceCommand::rawValueText(const QString &code, TagListKind list) const
{
    return QString::fromUtf8(rawValue(code, list));
}

QByteArray KxDeviceCommand::extendData(const QString &code) const
{
    QMutexLocker lock(&m_dataMutex);
    return m_extend.value(code);
}

KxTagList KxDeviceCommand::tagList(TagListKind list) const
{
    QMutexLocker lock(&m_dataMutex);
    return list == Capabilities ? m_capabilities : list == Defaults ? m_defaults : m_values;
}

QMap<int, QByteArray> KxDeviceCommand::configurationSets() const
{
    QMutexLocker lock(&m_dataMutex);
    return m_configSets;
}

int KxDeviceCommand::bufferSize()
{
    QMutexLocker lock(&m_dataMutex);
    if (m_bufferSize < 0)
        m_bufferSize = KxCmdFraming::bufferSize(m_capabilities, m_values);
    return m_bufferSize;
}

void KxDeviceCommand::setBufferSize(int bytes)
{
    QMutexLocker lock(&m_dataMutex);
    m_bufferSize = qMax(bytes, KxCmdFraming::kMinBufferSize);
}

QString KxDeviceCommand::rebootWarning(const QString &code) const
{
    if (!m_connector)
        return QString();
    const KxDeviceInfoMap info = m_connector->deviceInfo();
    return KxCmdFraming::rebootWarningKey(code, info.value(QStringLiteral("COM Type")));
}

int KxDeviceCommand::query(int protocol, const QString &code, QByteArray &value,
                           const QByteArray &extra, int *error, int timeoutMs)
{
    QPointer<KxDeviceConnector> connector = m_connector;
    if (!connector) {
        value.clear();
        if (error)
            *error = KxSendError::NotConnected;
        return DataResult_Refused;
    }
    return connector->queryCommand(protocol, code, value, extra, error, timeoutMs);
}

int KxDeviceCommand::send(const QByteArray &frame, QByteArray &reply, int timeoutMs)
{
    if (!m_connector)
        return KxSendError::NotConnected;
    return KxDeviceKit::Instance()->sendBinaryMessage(m_deviceId, frame, reply, timeoutMs);
}

void KxDeviceCommand::asyncProcess(const KxJobWork &work, const KxJobDone &done)
{
    ensureWorker();
    if (m_thread && m_thread->addJob({work, done}))
        return;
    // Never run here (this may be the main thread) and never leave a caller waiting.
    qWarning() << "KxDeviceCommand::asyncProcess()...job refused" << m_deviceId;
    if (!done)
        return;
    KxDeviceCommandPtr self(this);
    QMetaObject::invokeMethod(this, [self, done] {
        if (self)
            done(self, {{QStringLiteral("error"), QByteArrayLiteral("refused")}});
    }, Qt::QueuedConnection);
}

bool KxDeviceCommand::addTask(const KxCmdTask &task, bool unique)
{
    ensureWorker();
    return m_thread && m_thread->addTask(task, unique);
}

void KxDeviceCommand::setStatisticsPolling(bool on)
{
    ensureWorker();
    if (m_thread)
        m_thread->setStatisticsPolling(on);
}

void KxDeviceCommand::slot_ResultProcessCallback(KxDeviceCommandPtr devCommand,
                                                 const QMap<QString, QByteArray> &mapResult,
                                                 const _struProcessCallback &struCB)
{
    if (!devCommand || devCommand != this)
        return;
    if (struCB.done)
        struCB.done(devCommand, mapResult);
}

QVector<ChangedCmdInfo> KxDeviceCommand::changedCmds() const
{
    QMutexLocker lock(&m_dataMutex);
    return m_changed;
}

QVector<ChangedCmdInfo> KxDeviceCommand::appliedChanges() const
{
    QMutexLocker lock(&m_dataMutex);
    return m_applied;
}

void KxDeviceCommand::clearChangedCmds()
{
    {
        QMutexLocker lock(&m_dataMutex);
        m_changed.clear();
        m_applied.clear();
    }
    notify([this] { emit signal_ChangedCmdsHistoryChange(true); });
}

QSet<QString> KxDeviceCommand::actionCodes(const KxCmdItems &items) const
{
    // The data-format clear that precedes an add, and codes the reader does not list with a
    // value, are run, not set, by an empty value; every other empty value clears a setting.
    QSet<QString> out;
    QMutexLocker lock(&m_dataMutex);
    for (const auto &i : items) {
        if (i.first == QLatin1String("DFMCAL") || !findTag(m_values, i.first))
            out.insert(i.first);
    }
    return out;
}
