// Sending changes: single changes through the worker queue, batches with acknowledgement
// checks, saving and restoring the changed-command list, auto-sleep.
#include "KxDeviceCommand.h"

#include "KxDataStreamMaker.h"
#include "KxDataStreamParser.h"
#include "KxDeviceCommandThread.h"

#include <QDebug>

namespace {
const QString kLuaAdd = QStringLiteral("LUAADD");
const QString kLuaQry = QStringLiteral("LUAQRY");
}  // namespace

KxCmdItems KxDeviceCommand::changeItems(const ChangedCmdInfo &cmd)
{
    const QByteArray v = cmd.value.toByteArray();
    KxCmdItems items;
    if (cmd.code == QLatin1String("DFMADD")) {
        items.append({QStringLiteral("DFMCAL"), QByteArray()});
        if (!v.isEmpty())
            items.append({cmd.code, v});
    } else if (cmd.code == kLuaQry) {
        // The script travels as the reader's script command.
        items.append({kLuaAdd, v});
    } else {
        items.append({cmd.code, v});
    }
    return items;
}

bool KxDeviceCommand::sendCmdAsync(const ChangedCmdInfo &cmd, QObject *handler, bool flag,
                                   const Done &done, bool refreshAll)
{
    const KxCmdItems items = changeItems(cmd);
    // Values holding "," or ";", and empty ones, travel alone in binary requests.
    QByteArrayList frames;
    QString refused;
    if (!KxCmdFraming::buildFramesBinarySafe(items, false, bufferSize(), frames, &refused,
                                             actionCodes(items))) {
        qWarning() << "KxDeviceCommand::sendCmdAsync()...refused value of" << refused;
        if (done)
            done(false, {refused.isEmpty() ? cmd.code : refused});
        return false;
    }
    const quint64 ticket = m_nextTicket++;
    KxCmdTask task;
    task.id = QStringLiteral("change:") + cmd.code;
    task.reportFunction = true;
    for (const auto &i : items)
        task.userData.cmds.append({i.first, i.second, false, false});
    QVariantMap payload;
    payload.insert(QStringLiteral("ticket"), ticket);
    task.userData.payload = payload;
    // The worker is joined before this object goes, so the task may use it.
    task.function = [this, cmd, frames, flag, refreshAll](_struResultUserDatas &data) {
        QStringList failed;
        const bool ok = applyChange(cmd, frames, flag, refreshAll, failed);
        QVariantMap m = data.payload.toMap();
        m.insert(QStringLiteral("failed"), failed);
        data.payload = m;
        return ok;
    };
    m_pending.insert(ticket, Pending{QPointer<QObject>(handler), handler != nullptr, done, cmd, 1});
    if (!addTask(task)) {
        m_pending.remove(ticket);
        if (done)
            done(false, {cmd.code});
        if (m_pending.isEmpty())
            emit pendingChangesFinished();
        return false;
    }
    return true;
}

bool KxDeviceCommand::applyChange(const ChangedCmdInfo &cmd, const QByteArrayList &frames,
                                  bool merge, bool refreshAll, QStringList &failed)
{
    // What the reader runs before this change; changes run in order on this thread, so earlier
    // ones are already recorded.
    const QByteArray before = value(cmd.code);
    bool ok = true;
    QStringList changed;
    if (cmd.code == kLuaQry) {
        // Script frames: the script skip rule of sendChangedCmds.
        QList<QString> f;
        ok = sendFrames(frames, f, false, false, true, nullptr);
        failed = f;
    } else {
        for (const QByteArray &frame : frames) {
            const KxCmdItems items = KxCmdFraming::frameItems(frame);
            QByteArray reply;
            if (send(frame, reply) != 0) {
                qWarning().noquote() << "***SEND CMDS Fail 1!" << frame;
                for (const auto &i : items)
                    failed << i.first;
                ok = false;
                break;
            }
            KxDataStreamParser parser(reply, DataType_Frame);
            // Each frame's answer is what the reader runs now, also when an item failed.
            if (merge && !refreshAll)
                mergeValues(parser.tags(), &changed);
            const QStringList f = KxCmdFraming::unconfirmed(items, parser.tags());
            if (!f.isEmpty()) {
                qWarning().noquote() << "***SAVE CMDS Fail 2!"
                                     << QStringLiteral("(%1)").arg(f.join(", "))
                                     << KxCmdFraming::replyTail(reply);
                failed << f;
                ok = false;
                break;  // the later frames of this change depend on this one
            }
        }
    }
    if (ok) {
        recordChange(cmd, before);
        if (refreshAll) {
            if (syncSettings(false))
                notify([this] { emit cmdChanged({}, true); });
        } else if (!changed.isEmpty()) {
            notify([this, changed] { emit cmdChanged(changed, true); });
        }
        return true;
    }
    if (!changed.isEmpty())
        notify([this, changed] { emit cmdChanged(changed, true); });
    // Part of the change may have been taken (a clear before a refused add): ask the reader.
    QByteArray now;
    if (query(DataProtocol_Settings, QLatin1Char('@') + cmd.code + QLatin1Char('*'), now)
        == DataResult_Ack)
        adoptReaderValue(cmd, now, before);
    return false;
}

void KxDeviceCommand::adoptReaderValue(const ChangedCmdInfo &cmd, const QByteArray &value,
                                       const QByteArray &before)
{
    bool empty = false;
    {
        QMutexLocker lock(&m_dataMutex);
        KxTagInfo tag;
        tag.code = cmd.code;
        tag.subTags.append({QString(), DataResult_Ack, value});
        QStringList ignored;
        KxCompareTags(m_values, {tag}, ignored);
        int index = -1;
        for (int i = 0; i < m_changed.size(); ++i) {
            if (m_changed[i].code == cmd.code)
                index = i;
        }
        // Without a changed entry the reader ran its stored value before this change.
        const QByteArray stored = index >= 0 ? m_changed[index].previous.toByteArray() : before;
        for (int i = m_applied.size() - 1; i >= 0; --i) {
            if (m_applied[i].code == cmd.code)
                m_applied.remove(i);
        }
        if (value == stored) {
            if (index >= 0)
                m_changed.remove(index);
        } else {
            ChangedCmdInfo entry = index >= 0 ? m_changed[index] : cmd;
            entry.value = value;
            entry.displayValue = QVariant();
            entry.previous = stored;
            entry.number = ++m_changeCounter;
            if (index >= 0)
                m_changed[index] = entry;
            else
                m_changed.append(entry);
            m_applied.append(entry);
        }
        empty = m_changed.isEmpty();
    }
    if (cmd.code == QLatin1String("MPCADD"))
        refreshConfigurationSets();
    qInfo() << "KxDeviceCommand::adoptReaderValue()..." << cmd.code << value;
    const QStringList codes{cmd.code};
    notify([this, codes, empty] {
        emit cmdChanged(codes, true);
        emit signal_ChangedCmdsHistoryChange(empty);
    });
}

void KxDeviceCommand::slot_ResultProcessing(bool bRet, const QByteArray &byteResponse,
                                            const _struResultUserDatas &struUserData)
{
    Q_UNUSED(byteResponse)
    const QVariantMap payload = struUserData.payload.toMap();
    // Marked commands that the reader stored leave the changed-command list.
    bool removed = false;
    {
        QMutexLocker lock(&m_dataMutex);
        for (const KxTaskCmd &c : struUserData.cmds) {
            if (!c.saved)
                continue;
            for (int i = m_changed.size() - 1; i >= 0; --i) {
                if (m_changed[i].code == c.code) {
                    m_changed.remove(i);
                    removed = true;
                }
            }
        }
    }
    if (removed)
        emit signal_ChangedCmdsHistoryChange(changedCmds().isEmpty());
    if (!payload.contains(QStringLiteral("ticket")))
        return;
    const quint64 ticket = payload.value(QStringLiteral("ticket")).toULongLong();
    QStringList failed = payload.value(QStringLiteral("failed")).toStringList();
    failed << payload.value(QStringLiteral("checked")).toStringList();
    if (!bRet && failed.isEmpty()) {
        for (const KxTaskCmd &c : struUserData.cmds)
            failed << c.code;
    }
    finishPending(ticket, bRet && failed.isEmpty(), failed);
}

void KxDeviceCommand::finishPending(quint64 ticket, bool ok, const QStringList &failed)
{
    if (!m_pending.contains(ticket))
        return;
    const Pending p = m_pending.take(ticket);
    if (p.done && (!p.hasHandler || p.handler))
        p.done(ok, failed);
    if (m_pending.isEmpty())
        emit pendingChangesFinished();
}

void KxDeviceCommand::recordChange(const ChangedCmdInfo &cmd, const QByteArray &previous)
{
    {
        QMutexLocker lock(&m_dataMutex);
        ChangedCmdInfo entry = cmd;
        entry.number = ++m_changeCounter;
        bool found = false;
        for (ChangedCmdInfo &c : m_changed) {
            if (c.code == cmd.code) {
                entry.previous = c.previous;  // the first previous value is what discard restores
                c = entry;
                found = true;
            }
        }
        if (!found) {
            entry.previous = previous;
            m_changed.append(entry);
        }
        for (int i = m_applied.size() - 1; i >= 0; --i) {
            if (m_applied[i].code == cmd.code)
                m_applied.remove(i);
        }
        m_applied.append(entry);
    }
    notify([this] { emit signal_ChangedCmdsHistoryChange(false); });
}

bool KxDeviceCommand::sendChangedCmds(const QByteArrayList &frames, QList<QString> &failed,
                                      bool refresh, bool resync, bool quiet)
{
    return sendFrames(frames, failed, refresh, resync, quiet, nullptr);
}

bool KxDeviceCommand::sendFrames(const QByteArrayList &frames, QList<QString> &failed,
                                 bool refresh, bool resync, bool quiet, KxTagList *answers)
{
    bool ok = true;
    bool luaFailed = false;
    QStringList changed;
    for (const QByteArray &frame : frames) {
        const QString code = KxCmdFraming::frameCode(frame);
        const QStringList sent = KxCmdFraming::frameCodes(frame);
        if (luaFailed && (code == kLuaAdd || code == kLuaQry)) {
            failed << sent;
            continue;
        }
        QByteArray reply;
        if (send(frame, reply) != 0) {
            qWarning().noquote() << "***sendChangedCmds Fail 1!" << reply;
            // Nothing of this frame is known to have arrived.
            failed << sent;
            ok = false;
            luaFailed = luaFailed || code == kLuaAdd;
            continue;
        }
        KxDataStreamParser parser(reply, DataType_Frame);
        // Every item needs its acknowledgement holding the value sent; an item the reader left
        // unanswered, refused or answered with another value was not taken.
        QStringList frameFailed = KxCmdFraming::unconfirmed(KxCmdFraming::frameItems(frame),
                                                            parser.tags());
        if (!frameFailed.isEmpty()) {
            qWarning().noquote() << "***sendChangedCmds Fail 2!"
                                 << QStringLiteral("(%1)").arg(QStringList(frameFailed).join(", "))
                                 << KxCmdFraming::replyTail(reply);
            failed << frameFailed;
            ok = false;
            luaFailed = luaFailed || code == kLuaAdd;
        }
        if (answers)
            *answers << parser.tags();
        if (refresh && !resync && !quiet)
            mergeValues(parser.tags(), &changed);
    }
    if (quiet)
        return ok;
    if (ok && !changed.isEmpty())
        notify([this, changed] { emit cmdChanged(changed, true); });
    if (ok && refresh && resync)
        return syncSettingsEx(SyncRefresh) != kSyncFailed;
    return ok;
}

bool KxDeviceCommand::saveCmds(const QVector<ChangedCmdInfo> &cmds, bool permanent,
                               QStringList &failed, const QStringList &marked)
{
    return saveCmdsChecked(cmds, permanent, failed, marked, false);
}

bool KxDeviceCommand::saveCmdsChecked(const QVector<ChangedCmdInfo> &cmds, bool permanent,
                                      QStringList &failed, const QStringList &marked, bool verify)
{
    // Every acknowledgement is compared with the value sent, so verify is always in force.
    Q_UNUSED(verify)
    failed.clear();
    if (cmds.isEmpty())
        return true;
    KxCmdItems items;
    for (const ChangedCmdInfo &c : cmds)
        items.append({c.code, c.value.toByteArray()});
    // Values holding "," or ";", and empty ones, go alone in binary requests; the rest stay
    // batched.
    QByteArrayList frames;
    QString refused;
    if (!KxCmdFraming::buildFramesBinarySafe(items, permanent, bufferSize(), frames, &refused,
                                             actionCodes(items))) {
        qWarning() << "KxDeviceCommand::saveCmds()...the list was refused at" << refused;
        failed << refused;
        return false;
    }
    QList<QString> failedList;
    const bool sent = sendFrames(frames, failedList, false, false, false, nullptr);
    failed = failedList;
    failed.removeDuplicates();
    QMap<QString, QByteArray> plain, markedValues;
    bool empty = false;
    {
        QMutexLocker lock(&m_dataMutex);
        // The entry each code was saved from: a change recorded since then is newer and stays.
        // Values that do not come from the changed list (number 0, an import) replace any.
        QMap<QString, int> savedNumber;
        QSet<QString> taken;
        for (int i = cmds.size() - 1; i >= 0; --i) {
            const ChangedCmdInfo &c = cmds[i];
            if (failed.contains(c.code) || taken.contains(c.code))
                continue;
            taken.insert(c.code);
            savedNumber.insert(c.code, c.number);
            const QByteArray v = c.value.toByteArray();
            KxTagInfo tag;
            tag.code = c.code;
            tag.subTags.append({QString(), DataResult_Ack, v});
            QStringList ignored;
            KxCompareTags(m_values, {tag}, ignored);
            (marked.contains(c.code) ? markedValues : plain).insert(c.code, v);
        }
        if (permanent) {
            for (int i = m_changed.size() - 1; i >= 0; --i) {
                ChangedCmdInfo &c = m_changed[i];
                if (!taken.contains(c.code))
                    continue;
                const int saved = savedNumber.value(c.code);
                if (saved == 0 || c.number == saved) {
                    m_changed.remove(i);
                } else {
                    // Stored now is what was saved; the newer running value is still a change.
                    c.previous = plain.value(c.code, markedValues.value(c.code));
                }
            }
            for (int i = m_applied.size() - 1; i >= 0; --i) {
                const int saved = savedNumber.value(m_applied[i].code);
                if (taken.contains(m_applied[i].code) && (saved == 0 || m_applied[i].number == saved))
                    m_applied.remove(i);
            }
        }
        empty = m_changed.isEmpty();
    }
    if (plain.contains(QStringLiteral("MPCADD")) || markedValues.contains(QStringLiteral("MPCADD")))
        refreshConfigurationSets();
    notify([this, plain, markedValues, permanent, empty] {
        if (!plain.isEmpty())
            emit cmdValueChanged(plain, false);
        if (!markedValues.isEmpty())
            emit cmdValueChanged(markedValues, false);
        if (permanent)
            emit signal_ChangedCmdsHistoryChange(empty);
    });
    return sent && failed.isEmpty();
}

void KxDeviceCommand::saveChangedCmdsAsync(QObject *context, const Done &done)
{
    QPointer<QObject> guard(context);
    const bool hadContext = context != nullptr;
    const QVector<ChangedCmdInfo> asked = changedCmds();
    // The list is taken when the job runs: every change asked for before the save has reached
    // the reader and is recorded by then.
    asyncProcess([](KxDeviceCommandPtr cmd) {
        QMap<QString, QByteArray> r;
        QStringList failed;
        const bool ok = cmd && cmd->saveCmds(cmd->changedCmds(), true, failed);
        r.insert(QStringLiteral("ok"), ok ? "1" : "0");
        r.insert(QStringLiteral("failed"), failed.join(QLatin1Char(',')).toLatin1());
        return r;
    }, [guard, hadContext, done, asked](KxDeviceCommandPtr, QMap<QString, QByteArray> r) {
        if (!done || (hadContext && !guard))
            return;
        const QString failedText = QString::fromLatin1(r.value(QStringLiteral("failed")));
        QStringList failed = failedText.isEmpty() ? QStringList() : failedText.split(QLatin1Char(','));
        const bool ok = r.value(QStringLiteral("ok")) == "1";
        if (!ok && failed.isEmpty()) {
            // The job did not run (worker stopped or refused): nothing was saved.
            for (const ChangedCmdInfo &c : asked)
                failed << c.code;
        }
        done(ok, failed);
    });
}
