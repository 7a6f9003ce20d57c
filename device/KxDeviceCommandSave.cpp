// Sending changes: single changes through the worker queue, batches with acknowledgement
// checks, saving and restoring the changed-command list, auto-sleep.
#include "KxDeviceCommand.h"

#include "KxDataStreamMaker.h"
#include "KxDataStreamParser.h"
#include "KxDeviceCommandThread.h"
#include "KxRequestParser.h"

#include <QDebug>

namespace {
const QString kLuaAdd = QStringLiteral("LUAADD");
const QString kLuaQry = QStringLiteral("LUAQRY");

QStringList codesOf(const QByteArray &frame)
{
    KxSettingsRequest request;
    QStringList out;
    if (KxParseSettingsRequest(frame, &request)) {
        for (const KxRequestItem &i : request.items)
            out << i.code;
    }
    return out;
}
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
    KxCmdTask task;
    task.id = QStringLiteral("change:") + cmd.code;
    const quint64 ticket = m_nextTicket++;
    Pending p{QPointer<QObject>(handler), handler != nullptr, done, cmd};
    if (cmd.code == kLuaQry) {
        // Script path: frames sized to the reader's buffer, sent with the script skip rule.
        QByteArrayList frames;
        if (!KxCmdFraming::buildFrames(items, false, bufferSize(), frames)) {
            if (done)
                done(false, {cmd.code});
            return false;
        }
        task.function = [frames](_struResultUserDatas &data) {
            KxDeviceCommandPtr self = data.payload.toMap().value(QStringLiteral("self")).value<KxDeviceCommandPtr>();
            QList<QString> failed;
            const bool ok = self && self->sendChangedCmds(frames, failed, true, false, true);
            QVariantMap m = data.payload.toMap();
            m.insert(QStringLiteral("failed"), QStringList(failed));
            data.payload = m;
            return ok;
        };
        task.reportFunction = true;
    } else {
        KxDataStreamMaker maker(DataProtocol_Settings);
        for (const auto &i : items) {
            if (!maker.addCmd(i.first, i.second)) {
                qWarning() << "KxDeviceCommand::sendCmdAsync()...refused value of" << i.first;
                if (done)
                    done(false, {i.first});
                return false;
            }
        }
        task.kind = KxCmdTask::Raw;
        task.frames << maker.toByteArray(false);
    }
    QByteArray opt(3, '\0');
    opt[0] = flag ? 1 : 0;
    opt[1] = refreshAll ? 1 : 0;
    QVariantMap payload;
    payload.insert(QStringLiteral("opt"), opt);
    payload.insert(QStringLiteral("ticket"), ticket);
    payload.insert(QStringLiteral("self"), QVariant::fromValue(KxDeviceCommandPtr(this)));
    task.userData.payload = payload;
    for (const auto &i : items)
        task.userData.cmds.append({i.first, i.second, false, false});
    QByteArray previous = value(cmd.code);
    p.cmd.previous = previous;
    m_pending.insert(ticket, p);
    if (!addTask(task)) {
        m_pending.remove(ticket);
        if (done)
            done(false, {cmd.code});
        return false;
    }
    return true;
}

void KxDeviceCommand::slot_ResultProcessing(bool bRet, const QByteArray &byteResponse,
                                            const _struResultUserDatas &struUserData)
{
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
    if (payload.contains(QStringLiteral("failed"))) {  // the script path reports its own codes
        finishPending(ticket, bRet, payload.value(QStringLiteral("failed")).toStringList());
        return;
    }
    const QByteArray opt = payload.value(QStringLiteral("opt")).toByteArray();
    KxDataStreamParser parser(byteResponse, DataType_Frame);
    QList<QString> failed;
    if (!bRet || !parser.checkAllCmdAck(failed)) {
        if (bRet) {
            qWarning().noquote() << "***SAVE CMDS Fail 2!"
                                 << QStringLiteral("(%1)").arg(QStringList(failed).join(", "))
                                 << KxCmdFraming::replyTail(byteResponse);
        }
        if (failed.isEmpty()) {
            for (const KxTaskCmd &c : struUserData.cmds)
                failed << c.code;
        }
        finishPending(ticket, false, failed);
        return;
    }
    if (opt.size() != 3 || opt[2] != 0) {
        finishPending(ticket, false, {});
        return;
    }
    if (opt[0] == 1) {
        if (opt[1]) {
            asyncProcess([](KxDeviceCommandPtr cmd) {
                QMap<QString, QByteArray> r;
                if (cmd && cmd->syncSettings(false))
                    r.insert(QStringLiteral("ok"), "1");
                return r;
            }, [](KxDeviceCommandPtr cmd, QMap<QString, QByteArray> r) {
                if (cmd && r.contains(QStringLiteral("ok")))
                    emit cmd->cmdChanged({}, true);
            });
        } else {
            QStringList changed;
            mergeValues(parser.tags(), &changed);
            if (!changed.isEmpty())
                emit cmdChanged(changed, true);
        }
    }
    finishPending(ticket, true, {});
}

void KxDeviceCommand::finishPending(quint64 ticket, bool ok, const QStringList &failed)
{
    if (!m_pending.contains(ticket))
        return;
    const Pending p = m_pending.take(ticket);
    if (ok)
        recordChange(p.cmd, p.cmd.previous.toByteArray());
    if (p.done && (!p.hasHandler || p.handler))
        p.done(ok, failed);
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
    emit signal_ChangedCmdsHistoryChange(false);
}

bool KxDeviceCommand::sendChangedCmds(const QByteArrayList &frames, QList<QString> &failed,
                                      bool refresh, bool resync, bool quiet)
{
    bool ok = true;
    bool luaFailed = false;
    QStringList changed;
    for (const QByteArray &frame : frames) {
        const QString code = KxCmdFraming::frameCode(frame);
        if (luaFailed && (code == kLuaAdd || code == kLuaQry)) {
            failed << codesOf(frame);
            continue;
        }
        QByteArray reply;
        if (send(frame, reply) != 0) {
            qWarning().noquote() << "***sendChangedCmds Fail 1!" << reply;
            // Nothing of this frame is known to have arrived.
            failed << codesOf(frame);
            ok = false;
            luaFailed = luaFailed || code == kLuaAdd;
            continue;
        }
        KxDataStreamParser parser(reply, DataType_Frame);
        QList<QString> frameFailed;
        if (!parser.checkAllCmdAck(frameFailed)) {
            qWarning().noquote() << "***sendChangedCmds Fail 2!"
                                 << QStringLiteral("(%1)").arg(QStringList(frameFailed).join(", "))
                                 << KxCmdFraming::replyTail(reply);
            if (frameFailed.isEmpty())
                frameFailed = codesOf(frame);
            failed << frameFailed;
            ok = false;
            luaFailed = luaFailed || code == kLuaAdd;
        }
        if (refresh && !resync && !quiet)
            mergeValues(parser.tags(), &changed);
    }
    if (quiet)
        return ok;
    if (ok && !changed.isEmpty())
        emit cmdChanged(changed, true);
    if (ok && refresh && resync)
        return syncSettingsEx(SyncRefresh) != kSyncFailed;
    return ok;
}

bool KxDeviceCommand::saveCmds(const QVector<ChangedCmdInfo> &cmds, bool permanent,
                               QStringList &failed, const QStringList &marked)
{
    failed.clear();
    if (cmds.isEmpty())
        return true;
    KxCmdItems items;
    for (const ChangedCmdInfo &c : cmds)
        items.append({c.code, c.value.toByteArray()});
    QByteArrayList frames;
    QString refused;
    if (!KxCmdFraming::buildFrames(items, permanent, bufferSize(), frames, &refused)) {
        qWarning() << "KxDeviceCommand::saveCmds()...the list was refused at" << refused;
        failed << refused;
        return false;
    }
    QList<QString> failedList;
    const bool sent = sendChangedCmds(frames, failedList, false, false, false);
    failed = failedList;
    QMap<QString, QByteArray> plain, markedValues;
    {
        QMutexLocker lock(&m_dataMutex);
        QSet<QString> taken;
        for (int i = cmds.size() - 1; i >= 0; --i) {
            const ChangedCmdInfo &c = cmds[i];
            if (failed.contains(c.code) || taken.contains(c.code))
                continue;
            taken.insert(c.code);
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
                if (taken.contains(m_changed[i].code))
                    m_changed.remove(i);
            }
            for (int i = m_applied.size() - 1; i >= 0; --i) {
                if (taken.contains(m_applied[i].code))
                    m_applied.remove(i);
            }
        }
    }
    if (!plain.isEmpty())
        emit cmdValueChanged(plain, false);
    if (!markedValues.isEmpty())
        emit cmdValueChanged(markedValues, false);
    if (permanent)
        emit signal_ChangedCmdsHistoryChange(changedCmds().isEmpty());
    return sent && failed.isEmpty();
}

void KxDeviceCommand::saveChangedCmdsAsync(QObject *context, const Done &done)
{
    const QVector<ChangedCmdInfo> list = changedCmds();
    QPointer<QObject> guard(context);
    const bool hadContext = context != nullptr;
    asyncProcess([list](KxDeviceCommandPtr cmd) {
        QMap<QString, QByteArray> r;
        QStringList failed;
        const bool ok = cmd && cmd->saveCmds(list, true, failed);
        r.insert(QStringLiteral("ok"), ok ? "1" : "0");
        r.insert(QStringLiteral("failed"), failed.join(QLatin1Char(',')).toLatin1());
        return r;
    }, [guard, hadContext, done](KxDeviceCommandPtr, QMap<QString, QByteArray> r) {
        if (!done || (hadContext && !guard))
            return;
        const QString failed = QString::fromLatin1(r.value(QStringLiteral("failed")));
        done(r.value(QStringLiteral("ok")) == "1",
             failed.isEmpty() ? QStringList() : failed.split(QLatin1Char(',')));
    });
}

void KxDeviceCommand::discardChangedCmdsAsync(QObject *context, const Done &done)
{
    QVector<ChangedCmdInfo> restore = changedCmds();
    for (ChangedCmdInfo &c : restore)
        c.value = c.previous;
    QPointer<QObject> guard(context);
    const bool hadContext = context != nullptr;
    asyncProcess([restore](KxDeviceCommandPtr cmd) {
        QMap<QString, QByteArray> r;
        QStringList failed;
        const bool ok = cmd && cmd->saveCmds(restore, false, failed);
        if (cmd) {
            // Restored codes are no longer changes.
            QMutexLocker lock(&cmd->m_dataMutex);
            for (int i = cmd->m_changed.size() - 1; i >= 0; --i) {
                if (!failed.contains(cmd->m_changed[i].code))
                    cmd->m_changed.remove(i);
            }
            for (int i = cmd->m_applied.size() - 1; i >= 0; --i) {
                if (!failed.contains(cmd->m_applied[i].code))
                    cmd->m_applied.remove(i);
            }
        }
        r.insert(QStringLiteral("ok"), ok ? "1" : "0");
        r.insert(QStringLiteral("failed"), failed.join(QLatin1Char(',')).toLatin1());
        return r;
    }, [guard, hadContext, done](KxDeviceCommandPtr cmd, QMap<QString, QByteArray> r) {
        if (cmd)
            emit cmd->signal_ChangedCmdsHistoryChange(cmd->changedCmds().isEmpty());
        if (!done || (hadContext && !guard))
            return;
        const QString failed = QString::fromLatin1(r.value(QStringLiteral("failed")));
        done(r.value(QStringLiteral("ok")) == "1",
             failed.isEmpty() ? QStringList() : failed.split(QLatin1Char(',')));
    });
}

bool KxDeviceCommand::saveAutoSleep()
{
    if (m_sleepSaved)
        return true;
    QByteArray v;
    if (query(DataProtocol_Settings, QStringLiteral("@ATLSLP*"), v) != DataResult_Ack)
        return false;
    m_savedSleep = v;
    m_sleepSaved = true;
    return true;
}

bool KxDeviceCommand::restoreAutoSleep()
{
    if (!m_sleepSaved)
        return false;
    QByteArray reply;
    const QByteArray frame = KxMakeDataStreamCmd("#ATLSLP" + m_savedSleep, DataProtocol_Settings);
    if (send(frame, reply) != 0 || !KxCheckDataStreamCmd(reply, QStringLiteral("ATLSLP")))
        return false;
    m_sleepSaved = false;
    m_savedSleep.clear();
    return true;
}
