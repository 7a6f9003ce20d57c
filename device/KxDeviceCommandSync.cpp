// Reading the reader's settings: the three lists, the sync commands, extend data, lengths.
#include "KxDeviceCommand.h"

#include "KxDataStreamMaker.h"
#include "KxDataStreamParser.h"
#include "KxDataStreamValue.h"
#include "KxDeviceConfigs.h"

#include <QDebug>

bool KxDeviceCommand::queryList(const QByteArray &request, KxTagList &out, QByteArray *reply)
{
    QByteArray r;
    const QByteArray frame = KxMakeDataStreamCmd(request, DataProtocol_Settings, true);
    if (send(frame, r) != 0) {
        if (reply)
            *reply = r;
        return false;
    }
    if (reply)
        *reply = r;
    KxDataStreamParser parser(r, DataType_Frame);
    if (!parser.isValid() || parser.tags().isEmpty())
        return false;
    out = parser.tags();
    return true;
}

bool KxDeviceCommand::syncSettings(bool full)
{
    QByteArray reply;
    if (full) {
        KxTagList caps, defaults;
        if (!queryList("@^", caps, &reply)) {
            qWarning() << "KxDeviceCommand::syncSettings()...\"@^\" failed" << reply.right(10);
            return false;
        }
        if (!queryList("@&", defaults, &reply)) {
            qWarning() << "KxDeviceCommand::syncSettings()...\"@&\" failed" << reply.right(10);
            return false;
        }
        QMutexLocker lock(&m_dataMutex);
        m_capabilities = caps;
        m_defaults = defaults;
        m_bufferSize = -1;
    }
    KxTagList values;
    if (!queryList("@*", values, &reply)) {
        qWarning() << "KxDeviceCommand::syncSettings()...\"@*\" failed" << reply.right(10);
        return false;
    }
    {
        QMutexLocker lock(&m_dataMutex);
        m_values = values;
    }
    if (!full)
        return true;
    if (m_rfid)
        return syncCmdLengths() != kSyncFailed;
    if (syncSettingsEx(SyncCommands) == kSyncFailed || syncCmdLengths() == kSyncFailed
        || syncSettingsEx(SyncExtend) == kSyncFailed || syncSettingsEx(SyncMissing) == kSyncFailed)
        return false;
    refreshConfigurationSets();
    return true;
}

void KxDeviceCommand::readDifferences()
{
    // A reader that runs values it has not stored (a save that failed before the last
    // session ended) names them; they are unsaved changes from the start.
    if (!hasCmd(QStringLiteral("DIFQRY")))
        return;
    QByteArray reply;
    if (send(KxMakeDataStreamCmd("@DIFQRY*", DataProtocol_Settings, true), reply) != 0) {
        qWarning() << "KxDeviceCommand::readDifferences()...no answer";
        return;
    }
    KxDataStreamParser parser(reply, DataType_Frame);
    const KxTagInfo *diff = nullptr;
    for (const KxTagInfo &t : parser.tags()) {
        if (t.code == QLatin1String("DIFQRY") && t.result == DataResult_Ack)
            diff = &t;
    }
    if (!diff)
        return;
    bool any = false;
    {
        QMutexLocker lock(&m_dataMutex);
        const QList<QByteArray> codes = diff->value().split(',');
        for (const QByteArray &raw : codes) {
            const QString code = QString::fromLatin1(raw.trimmed());
            const KxSubTag *stored = diff->subTag(code);
            const KxTagInfo *running = nullptr;
            for (const KxTagInfo &t : qAsConst(m_values)) {
                if (t.code == code)
                    running = &t;
            }
            if (code.isEmpty() || !stored || stored->result != DataResult_Ack || !running
                || running->result != DataResult_Ack || running->value() == stored->value)
                continue;
            bool known = false;
            for (const ChangedCmdInfo &c : qAsConst(m_changed))
                known = known || c.code == code;
            if (known)
                continue;
            ChangedCmdInfo entry;
            entry.code = code;
            entry.value = running->value();
            entry.previous = stored->value;
            entry.number = ++m_changeCounter;
            m_changed.append(entry);
            any = true;
        }
    }
    qInfo() << "KxDeviceCommand::readDifferences()..." << diff->value();
    if (any)
        notify([this] { emit signal_ChangedCmdsHistoryChange(false); });
}

int KxDeviceCommand::syncSettingsEx(int step)
{
    switch (step) {
    case SyncCommands:
        return getSyncCmds(1);
    case SyncExtend:
        return syncExtendData(2);
    case SyncMissing: {
        // Commands the reader lists with capabilities but left out of its values.
        QStringList missing;
        {
            QMutexLocker lock(&m_dataMutex);
            QSet<QString> have;
            for (const KxTagInfo &t : qAsConst(m_values))
                have.insert(t.code);
            for (const KxTagInfo &t : qAsConst(m_capabilities)) {
                // Actions ("action") have no value to read; asking would only echo them.
                if (t.result == DataResult_Ack && !have.contains(t.code) && !t.value().isEmpty()
                    && t.value() != QLatin1String("action"))
                    missing << t.code;
            }
        }
        if (missing.isEmpty())
            return 0;
        KxDataStreamMaker maker(DataProtocol_Settings);
        for (const QString &c : qAsConst(missing))
            maker.addCmd(c, "*");
        QByteArray reply;
        if (send(maker.toByteArray(false), reply) != 0 || !KxDataStreamParser(reply).isValid()) {
            qWarning().noquote() << "syncSettingsEx fail 3:" << reply;
            return kSyncFailed;
        }
        mergeValues(KxDataStreamParser(reply).tags(), nullptr);
        return 0;
    }
    default: {
        KxTagList values;
        QByteArray reply;
        if (!queryList("@*", values, &reply)) {
            qWarning().noquote() << "syncSettingsEx fail 3:" << reply;
            return kSyncFailed;
        }
        {
            QMutexLocker lock(&m_dataMutex);
            m_values = values;
        }
        if (getSyncCmds(3) == kSyncFailed || syncExtendData(3) == kSyncFailed)
            return kSyncFailed;
        refreshConfigurationSets();
        return 0;
    }
    }
}

int KxDeviceCommand::getSyncCmds(int failStep)
{
    KxDataStreamMaker maker(DataProtocol_Settings);
    for (const QString &code : configs()->syncCmds(m_rfid)) {
        if (hasCmd(code))
            maker.addCmd(code, "*");
    }
    if (maker.isEmpty())
        return 0;
    QByteArray reply;
    const bool sent = send(maker.toByteArray(false), reply) == 0;
    KxDataStreamParser parser(reply, DataType_Frame);
    if (!sent || !parser.isValid()) {
        if (failStep == 3)
            qWarning().noquote() << "getSyncCmds fail 3:" << reply;
        else
            qWarning().noquote() << QStringLiteral("syncSettingsEx fail %1:").arg(failStep) << reply;
        return kSyncFailed;
    }
    mergeValues(parser.tags(), nullptr);
    return 0;
}

int KxDeviceCommand::syncExtendData(int failStep)
{
    for (const QString &code : configs()->syncExtendData(m_rfid)) {
        if (!hasCmd(code))
            continue;
        QByteArray reply;
        const QByteArray frame = KxMakeDataStreamCmd("@" + code.toLatin1() + "*", DataProtocol_Settings);
        QByteArray v, extend;
        if (send(frame, reply) != 0
            || KxGetDataStreamResult(reply, code, v, &extend) == DataResult_Invalid) {
            if (failStep == 3)
                qWarning().noquote() << "syncExtendData fail 3:" << reply;
            else
                qWarning().noquote() << QStringLiteral("syncSettingsEx fail %1:").arg(failStep) << reply;
            return kSyncFailed;
        }
        QMutexLocker lock(&m_dataMutex);
        if (extend.isEmpty())
            m_extend.remove(code);
        else
            m_extend.insert(code, extend);
    }
    return 0;
}

int KxDeviceCommand::syncCmdLengths()
{
    // Lengths are asked with the range query: the reader answers "T0-64" for a text of up to
    // 64 bytes, and the upper end is the length.
    KxDataStreamMaker maker(DataProtocol_Settings);
    for (const QString &code : configs()->getLenCmds(m_rfid)) {
        if (!hasCmd(code))
            continue;
        if (!maker.addCmd(code, "^"))
            qWarning() << "Add SyncGetLenCmds fail!" << code;
    }
    if (maker.isEmpty())
        return 0;
    QByteArray reply;
    if (send(maker.toByteArray(false), reply) != 0) {
        qWarning() << "Send SyncGetLenCmds fail!";
        return kSyncFailed;
    }
    KxDataStreamParser parser(reply, DataType_Frame);
    if (!parser.isValid()) {
        qWarning() << "Send SyncGetLenCmds fail!" << parser.errorString();
        return kSyncFailed;
    }
    for (const KxTagInfo &t : parser.tags()) {
        for (const KxSubTag &s : t.subTags) {
            if (s.result != DataResult_Ack)
                continue;
            QByteArray text = s.value.trimmed();
            if (!text.isEmpty() && (text[0] == 'T' || text[0] == 'H'))
                text.remove(0, 1);
            QList<KxRange> ranges;
            if (!KxParseDataStreamValue(text, ranges))
                continue;
            qint64 high = 0;
            for (const KxRange &r : ranges)
                high = qMax(high, r.high);
            configs()->setCmdLength(t.code + s.tag, int(qMin<qint64>(high, INT_MAX)));
        }
    }
    return 0;
}

void KxDeviceCommand::mergeValues(const KxTagList &reply, QStringList *changed)
{
    QStringList local;
    QStringList &out = changed ? *changed : local;
    {
        QMutexLocker lock(&m_dataMutex);
        KxCompareTags(m_values, reply, out);
    }
    // The sets are read from the list value, so they follow it.
    if (out.contains(QLatin1String("MPCADD")))
        refreshConfigurationSets();
}

void KxDeviceCommand::refreshConfigurationSets()
{
    QMutexLocker lock(&m_dataMutex);
    m_configSets.clear();
    for (const KxTagInfo &t : qAsConst(m_values)) {
        if (t.code != QLatin1String("MPCADD") || t.result != DataResult_Ack)
            continue;
        bool numbered = false;
        for (const KxSubTag &s : t.subTags) {
            bool ok = false;
            const int id = s.tag.toInt(&ok);
            if (ok && s.result == DataResult_Ack && !s.value.isEmpty()) {
                m_configSets.insert(id, s.value);
                numbered = true;
            }
        }
        if (!numbered) {
            int id = 0;
            for (const QByteArray &part : t.value().split('|')) {
                if (!part.isEmpty())
                    m_configSets.insert(id++, part);
            }
        }
    }
}
