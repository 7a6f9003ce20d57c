// Taking changes back on the reader (one, some or all changed commands) and keeping the
// reader's auto-sleep value while editing.
#include "KxDeviceCommand.h"

#include "KxDataStreamMaker.h"
#include "KxDataStreamParser.h"

#include <QDebug>

namespace {
QMap<QString, QByteArray> doneResult(bool ok, const QStringList &failed)
{
    QMap<QString, QByteArray> r;
    r.insert(QStringLiteral("ok"), ok ? "1" : "0");
    r.insert(QStringLiteral("failed"), failed.join(QLatin1Char(',')).toLatin1());
    return r;
}

void answer(const KxDeviceCommand::Done &done, const QMap<QString, QByteArray> &r)
{
    const QString failed = QString::fromLatin1(r.value(QStringLiteral("failed")));
    done(r.value(QStringLiteral("ok")) == "1",
         failed.isEmpty() ? QStringList() : failed.split(QLatin1Char(',')));
}
}  // namespace

bool KxDeviceCommand::restoreCmds(const QStringList &codes, QStringList &failed)
{
    failed.clear();
    QVector<ChangedCmdInfo> restore;
    {
        QMutexLocker lock(&m_dataMutex);
        for (const ChangedCmdInfo &c : qAsConst(m_changed)) {
            if (!codes.contains(c.code))
                continue;
            ChangedCmdInfo r = c;
            r.value = c.previous;
            r.displayValue = QVariant();
            restore << r;
        }
    }
    if (restore.isEmpty())
        return true;
    // "#": the reader runs with what it has stored and stores nothing new. The answer must
    // hold the restored value; an empty one travels as an explicit empty value.
    const bool ok = saveCmdsChecked(restore, false, failed, {}, true);
    QSet<QString> restored;
    for (const ChangedCmdInfo &c : qAsConst(restore)) {
        if (!failed.contains(c.code))
            restored.insert(c.code);
    }
    bool empty = false;
    {
        QMutexLocker lock(&m_dataMutex);
        for (int i = m_changed.size() - 1; i >= 0; --i) {
            if (restored.contains(m_changed[i].code))
                m_changed.remove(i);
        }
        for (int i = m_applied.size() - 1; i >= 0; --i) {
            if (restored.contains(m_applied[i].code))
                m_applied.remove(i);
        }
        empty = m_changed.isEmpty();
    }
    if (!restored.isEmpty())
        notify([this, empty] { emit signal_ChangedCmdsHistoryChange(empty); });
    return ok;
}

bool KxDeviceCommand::restoreChangedCmd(const QString &code, QObject *context, const Done &done)
{
    bool known = false;
    for (const ChangedCmdInfo &c : changedCmds())
        known = known || c.code == code;
    if (!known)
        return false;
    qInfo() << "KxDeviceCommand::restoreChangedCmd()..." << code;
    QPointer<QObject> guard(context);
    const bool hadContext = context != nullptr;
    asyncProcess([code](KxDeviceCommandPtr cmd) {
        QStringList failed;
        bool ok = false;
        if (cmd)
            ok = cmd->restoreCmds({code}, failed);
        else
            failed << code;
        return doneResult(ok, failed);
    }, [guard, hadContext, done](KxDeviceCommandPtr, QMap<QString, QByteArray> r) {
        if (done && (!hadContext || guard))
            answer(done, r);
    });
    return true;
}

void KxDeviceCommand::discardChangedCmdsAsync(QObject *context, const Done &done)
{
    QStringList codes;
    for (const ChangedCmdInfo &c : changedCmds())
        codes << c.code;
    QPointer<QObject> guard(context);
    const bool hadContext = context != nullptr;
    asyncProcess([codes](KxDeviceCommandPtr cmd) {
        QStringList failed;
        const bool ok = cmd && cmd->restoreCmds(codes, failed);
        return doneResult(ok, failed);
    }, [guard, hadContext, done](KxDeviceCommandPtr, QMap<QString, QByteArray> r) {
        if (done && (!hadContext || guard))
            answer(done, r);
    });
}

bool KxDeviceCommand::saveAutoSleep()
{
    if (hasSavedAutoSleep())
        return true;
    QByteArray v;
    if (query(DataProtocol_Settings, QStringLiteral("@ATLSLP*"), v) != DataResult_Ack)
        return false;
    QMutexLocker lock(&m_dataMutex);
    m_savedSleep = v;
    m_sleepSaved = true;
    return true;
}

bool KxDeviceCommand::restoreAutoSleep()
{
    QByteArray kept;
    {
        QMutexLocker lock(&m_dataMutex);
        if (!m_sleepSaved)
            return false;
        kept = m_savedSleep;
    }
    QByteArray reply;
    const QByteArray frame = KxMakeDataStreamCmd("#ATLSLP" + kept, DataProtocol_Settings);
    if (send(frame, reply) != 0 || !KxCheckDataStreamCmd(reply, QStringLiteral("ATLSLP")))
        return false;
    QMutexLocker lock(&m_dataMutex);
    m_sleepSaved = false;
    m_savedSleep.clear();
    return true;
}

bool KxDeviceCommand::hasSavedAutoSleep() const
{
    QMutexLocker lock(&m_dataMutex);
    return m_sleepSaved;
}

QByteArray KxDeviceCommand::savedAutoSleep() const
{
    QMutexLocker lock(&m_dataMutex);
    return m_sleepSaved ? m_savedSleep : QByteArray();
}
