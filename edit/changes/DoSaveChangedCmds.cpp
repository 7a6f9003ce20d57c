#include "DoSaveChangedCmds.h"

#include "ChangedCmdsListDlg.h"
#include "KxCmdFraming.h"
#include "KxDeviceCommand.h"
#include "KxDeviceConnector.h"
#include "KxDialogRunner.h"
#include "KxUiService.h"
#include "SaveChangedCmdsTipDlg.h"

#include <QDebug>
#include <QEventLoop>
#include <QPointer>

namespace {
struct RunResult
{
    bool ok = false;
    QStringList failed;
};

// Saves (or discards) the changed commands on the worker and waits for the answer; a command
// object that goes away meanwhile counts as a failure.
RunResult runOnWorker(KxDeviceCommand *cmd, bool save)
{
    RunResult result;
    QEventLoop loop;
    bool finished = false;
    QObject::connect(cmd, &QObject::destroyed, &loop, &QEventLoop::quit);
    const auto done = [&](bool ok, const QStringList &failed) {
        result.ok = ok;
        result.failed = failed;
        finished = true;
        loop.quit();
    };
    if (save)
        cmd->saveChangedCmdsAsync(&loop, done);
    else
        cmd->discardChangedCmdsAsync(&loop, done);
    if (!finished)
        loop.exec();
    return result;
}

}  // namespace

bool WaitForPendingChanges(KxDeviceCommand *cmd, QWidget *parent)
{
    if (!cmd || cmd->pendingChanges() == 0)
        return true;
    qInfo() << "WaitForPendingChanges()..." << cmd->pendingChanges();
    QPointer<KxDeviceCommand> guard(cmd);
    QEventLoop loop;
    bool cancelled = false;
    QObject::connect(cmd, &KxDeviceCommand::pendingChangesFinished, &loop, &QEventLoop::quit);
    QObject::connect(cmd, &QObject::destroyed, &loop, &QEventLoop::quit);
    KxUi()->showWaiting(QStringLiteral("#IDS_WaitingPendingChanges"), QStringLiteral("#IDS_Cancel"),
                        [&loop, &cancelled] {
                            cancelled = true;
                            loop.quit();
                        },
                        parent);
    if (guard && guard->pendingChanges() > 0)
        loop.exec();
    KxUi()->closeWaiting();
    return !cancelled;
}

namespace {
int askChoice(KxDeviceConnector *connector, bool listMode, QWidget *parent)
{
    if (listMode) {
        ChangedCmdsListDlg dlg(connector, false, parent);
        if (dlg.rowCount() == 0 && !connector)
            return SaveChoice_Cancel;
        return KxDialogRunner::run(&dlg);
    }
    SaveChangedCmdsTipDlg dlg(parent);
    return KxDialogRunner::run(&dlg);
}
}  // namespace

bool DoSaveChangedCmds(KxDeviceConnector *connector, bool listMode, bool leaving, QWidget *parent)
{
    if (!connector)
        return false;
    QPointer<KxDeviceConnector> guard(connector);
    QPointer<KxDeviceCommand> cmd = connector->command();
    // A change still on its way (an edit finished by leaving) is asked about like the others.
    if (!WaitForPendingChanges(cmd, parent))
        return false;
    if (!cmd || cmd->changedCmds().isEmpty())
        return true;
    qInfo() << "DoSaveChangedCmds()..." << connector->deviceId() << listMode << leaving;
    for (;;) {
        const int choice = askChoice(guard, listMode, parent);
        if (choice != SaveChoice_Save && choice != SaveChoice_NotSave)
            return false;
        if (!cmd)  // the reader went away while the user decided
            return true;
        const bool save = choice == SaveChoice_Save;
        // The command object saves and restores the same way whether or not the reader is
        // being left; `leaving` only tells the log why.
        KxUi()->showWaiting(save ? QStringLiteral("#IDS_SaveChangedCmds_ing")
                                 : QStringLiteral("#IDS_RestoreChangedCmds_ing"),
                            QString(), {}, parent);
        const RunResult r = runOnWorker(cmd, save);
        KxUi()->closeWaiting();
        if (!r.failed.isEmpty()) {
            KxMessageRequest m;
            m.type = KxMsgType::Error;
            m.title = QStringLiteral("#IDS_Tips");
            m.text = KxCmdFraming::failureMessage(r.failed, !save);
            m.buttons = QStringLiteral("#IDS_MessageBox_OK");
            m.width = 350;
            m.parent = parent;
            KxUi()->message(m);
        }
        QString outcome;
        if (save)
            outcome = r.ok ? QStringLiteral("#IDS_SaveChangedCmds_Success")
                           : QStringLiteral("#IDS_SaveChangedCmds_Failed");
        else if (!r.ok)
            outcome = QStringLiteral("#IDS_RestoreChangedCmds_Failed");
        if (r.ok) {
            if (!outcome.isEmpty())
                KxUi()->toast(outcome, 3000, parent);
            return true;
        }
        qWarning() << "DoSaveChangedCmds()...failed" << (save ? "save" : "restore") << r.failed;
        if (!cmd)
            return true;
        const KxMessageResult again = KxUi()->question(
            outcome, QStringLiteral("#IDS_Tips"),
            listMode ? QStringLiteral("#IDS_Restry|Back") : QStringLiteral("#IDS_OK|Cancel"),
            parent, 350);
        if (again.button != 1)
            return true;
    }
}
