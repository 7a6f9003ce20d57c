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
    // Values holding "," or ";" (pairs, lines, scripts) travel alone in binary requests.
    QByteArrayList frames;
    QString refused;
    if (!KxCmdFraming::buildFramesBinarySafe(items, false, bufferSize(), frames, &refused)) {
        qWarning() << "KxDeviceCommand::sendCmdAsync()...refused value of" << refused;
        if (done)
            done(false, {refused.isEmpty() ? cmd.code : refused});
        return false;
    }
    KxCmdTask task;
    task.id = QStringLiteral("change:") + cmd.code;
    const quint64 ticket = m_nextTicket++;
    Pending p{QPointer<QObject>(handler), handler != nullptr, done, cmd, frames.size()};
    if (cmd.code == kLuaQry) {
        // Script path: frames sized to the reader's buffer, sent with the script skip rule.
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
        p.framesLeft = 1;  // reported once, for all frames
    } else {
        task.kind = KxCmdTask::Raw;
        task.frames = frames;
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
    auto it = m_pending.find(ticket);
    const bool pending = it != m_pending.end();  // gone: an earlier frame of it failed
    const bool last = !pending || --it->framesLeft <= 0;
    if (opt[0] == 1 && !opt[1]) {
        // Each frame's answer is the reader's value now, even after an earlier frame failed.
        QStringList changed;
        mergeValues(parser.tags(), &changed);
        if (!changed.isEmpty())
            emit cmdChanged(changed, true);
    }
    if (!last)
        return;  // the change's other frames are still on their way
    if (!pending)
        return;
    if (opt[0] == 1 && opt[1]) {
        asyncProcess([](KxDeviceCommandPtr cmd) {
            QMap<QString, QByteArray> r;
            if (cmd && cmd->syncSettings(false))
                r.insert(QStringLiteral("ok"), "1");
            return r;
        }, [](KxDeviceCommandPtr cmd, QMap<QString, QByteArray> r) {
            if (cmd && r.contains(QStringLiteral("ok")))
                emit cmd->cmdChanged({}, true);
        });
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
        QList<QString> frameFailed;
        bool acked = parser.checkAllCmdAck(frameFailed);
        // An item the reader left unanswered was not taken either.
        QSet<QString> answered;
        for (const KxTagInfo &t : parser.tags())
            answered.insert(t.code);
        for (const QString &c : sent) {
            if (!answered.contains(c) && !frameFailed.contains(c)) {
                frameFailed << c;
                acked = false;
            }
        }
        if (!acked) {
            qWarning().noquote() << "***sendChangedCmds Fail 2!"
                                 << QStringLiteral("(%1)").arg(QStringList(frameFailed).join(", "))
                                 << KxCmdFraming::replyTail(reply);
            if (frameFailed.isEmpty())
                frameFailed = sent;
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
        emit cmdChanged(changed, true);
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
    failed.clear();
    if (cmds.isEmpty())
        return true;
    KxCmdItems items;
    for (const ChangedCmdInfo &c : cmds)
        items.append({c.code, c.value.toByteArray()});
    // Values holding "," or ";" go alone in binary requests; the rest stay batched.
    QByteArrayList frames;
    QString refused;
    if (!KxCmdFraming::buildFramesBinarySafe(items, permanent, bufferSize(), frames, &refused)) {
        qWarning() << "KxDeviceCommand::saveCmds()...the list was refused at" << refused;
        failed << refused;
        return false;
    }
    QList<QString> failedList;
    KxTagList answers;
    const bool sent = sendFrames(frames, failedList, false, false, false, &answers);
    failed = failedList;
    if (verify) {
        // The answer to a set is the value now in force: the last answer of a code counts.
        QMap<QString, QByteArray> wanted;
        for (const ChangedCmdInfo &c : cmds)
            wanted.insert(c.code, c.value.toByteArray());
        QMap<QString, QByteArray> inForce;
        for (const KxTagInfo &t : qAsConst(answers)) {
            if (t.subTag(QString()))
                inForce.insert(t.code, t.value());
        }
        for (auto it = inForce.constBegin(); it != inForce.constEnd(); ++it) {
            if (wanted.contains(it.key()) && wanted.value(it.key()) != it.value()
                && !failed.contains(it.key())) {
                qWarning() << "KxDeviceCommand::saveCmds()...reader kept" << it.key() << it.value();
                failed << it.key();
            }
        }
    }
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
