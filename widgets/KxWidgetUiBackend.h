#pragma once
// The UI service's real backend: NMessageBox, KxToast, KxWaitingDlg, KxInputDlg and the file
// dialogs.
#include "KxUiService.h"
#include "KxWaitingDlg.h"

#include <QPointer>

class KxWidgetUiBackend : public IKxUiBackend
{
public:
    KxMessageResult message(const KxMessageRequest &request) override;
    void toast(const QString &text, int durationMs, KxMsgType type, QWidget *anchor) override;
    KxFileResult fileDialog(const KxFileRequest &request) override;
    KxInputResult input(const KxInputRequest &request) override;
    void showWaiting(const QString &text, const QString &cancelText, QWidget *anchor) override;
    void closeWaiting() override;
    bool isWaitingShown() const override;

    KxWaitingDlg *waitingDialog() const { return m_waiting; }

    // The default title of a file dialog kind.
    static QString defaultTitle(KxFileDialogKind kind);

private:
    QPointer<KxWaitingDlg> m_waiting;
};
