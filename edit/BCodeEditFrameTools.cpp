// The tools of the edit frame's menus and the device log entry.
#include "BCodeEditFrame.h"

#include "BarcodeProgramming.h"
#include "DeviceLogDlg.h"
#include "EditLogic.h"
#include "EditPlaceholders.h"
#include "KxConfigFileUi.h"
#include "KxDeviceCommand.h"
#include "KxDeviceConnector.h"
#include "KxDialogRunner.h"
#include "KxTrainingMainDlg.h"
#include "LocalSettingDlg.h"
#include "QuickSelectDlg.h"
#include "StoredDataDlg.h"

#include <QDebug>
#include <QMetaMethod>

QStringList BCodeEditFrame::settingCodeCommands() const
{
    KxDeviceCommand *cmd = m_connector ? m_connector->command() : nullptr;
    if (!cmd)
        return {};
    // The values as the reader runs them now, changes included.
    KxTagList values = cmd->tagList(KxDeviceCommand::Values);
    for (KxTagInfo &t : values) {
        const QByteArray running = cmd->value(t.code);
        for (KxSubTag &s : t.subTags) {
            if (s.tag.isEmpty())
                s.value = running;
        }
    }
    return EditLogic::settingCodeCommands(values);
}

QList<int> BCodeEditFrame::deviceLogLevels() const
{
    KxDeviceCommand *cmd = m_connector ? m_connector->command() : nullptr;
    return cmd ? EditLogic::deviceLogLevels(cmd->rawValue(QStringLiteral("DBGLVL"), KxDeviceCommand::Capabilities))
               : QList<int>();
}

void BCodeEditFrame::runPlaceholderTool(const QString &titleKey, const QStringList &lines)
{
    EditToolPlaceholderDlg dlg(titleKey, lines, this);
    KxDialogRunner::run(&dlg);
}

void BCodeEditFrame::OnMenuActionTriggered_Barcode()
{
    KxDeviceCommand *cmd = m_connector ? m_connector->command() : nullptr;
    if (!cmd)
        return;
    // The settings changed on this reader: codes of every value would also copy its address and
    // identity onto whichever reader scans them.
    BarcodeProgramming dlg(this);
    dlg.setProductName(m_connector->productName());
    for (const ChangedCmdInfo &c : cmd->changedCmds())
        dlg.addCommand(c.code, c.value.toString());
    dlg.generate();
    KxDialogRunner::run(&dlg);
}

void BCodeEditFrame::OnMenuActionTriggered_Compare()
{
    if (m_connector)
        KxConfigFileUi::compareConfig(m_connector, this);
}

void BCodeEditFrame::OnMenuActionTriggered_Training()
{
    if (!m_connector)
        return;
    if (m_training) {
        m_training->raise();
        m_training->activateWindow();
        return;
    }
    // A window of its own, without a parent: training goes on while the user edits the reader.
    auto *dlg = new KxTrainingMainDlg(m_connector->productName());
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    dlg->setModal(false);
    m_training = dlg;
    dlg->show();
}

void BCodeEditFrame::OnMenuActionTriggered_Sync()
{
    if (!m_connector)
        return;
    StoredDataDlg dlg(m_connector, this);
    KxDialogRunner::run(&dlg);
}

void BCodeEditFrame::OnMenuActionTriggered_Ftp()
{
    // The main window owns the FTP server: its slot shows the dialog and restarts the server.
    if (!invokeMainWindow("settingFtp()"))
        runPlaceholderTool(QStringLiteral("#IDS_FTP_Settings"));
}

void BCodeEditFrame::OnMenuActionTriggered_localSetting()
{
    // From the main window the dialog also reaches the FTP settings.
    if (invokeMainWindow("localSetting()"))
        return;
    LocalSettingDlg dlg(this);
    KxDialogRunner::run(&dlg);
}

bool BCodeEditFrame::invokeMainWindow(const char *slot)
{
    QWidget *top = window();
    const int index = top ? top->metaObject()->indexOfSlot(slot) : -1;
    return index >= 0 && top->metaObject()->method(index).invoke(top, Qt::DirectConnection);
}

void BCodeEditFrame::OnMenuActionTriggered_QuickSelectiontool()
{
    if (!m_connector)
        return;
    QuickSelectDlg dlg(m_connector, this);
    KxDialogRunner::run(&dlg);
}

void BCodeEditFrame::OnSignalBtnDeviceLogClicked()
{
    if (!m_connector)
        return;
    if (m_deviceLog) {
        m_deviceLog->raise();
        m_deviceLog->activateWindow();
        return;
    }
    auto *dlg = new DeviceLogDlg(m_connector, this);
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    dlg->setModal(false);
    m_deviceLog = dlg;
    dlg->show();
}
