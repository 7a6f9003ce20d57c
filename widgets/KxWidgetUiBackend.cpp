#include "KxWidgetUiBackend.h"

#include "KxI18nUtil.h"
#include "KxInputDlg.h"
#include "KxToast.h"
#include "KxWaitingDlg.h"
#include "NMessageBox.h"

#include <QDebug>
#include <QFileDialog>

KxMessageResult KxWidgetUiBackend::message(const KxMessageRequest &request)
{
    qDebug() << "KxWidgetUiBackend::message..." << request.title << request.text << request.buttons;
    return NMessageBox::ask(request);
}

void KxWidgetUiBackend::toast(const QString &text, int durationMs, KxMsgType type, QWidget *anchor)
{
    KxToast::showToast(text, durationMs, anchor, type);
}

QString KxWidgetUiBackend::defaultTitle(KxFileDialogKind kind)
{
    switch (kind) {
    case KxFileDialogKind::SaveFile:
        return QStringLiteral("#IDS_SaveFile");
    case KxFileDialogKind::Directory:
        return QStringLiteral("#IDS_SelectDirectory");
    default:
        return QStringLiteral("#IDS_OpenFile");
    }
}

KxFileResult KxWidgetUiBackend::fileDialog(const KxFileRequest &request)
{
    const QString title =
        kxTr(request.title.isEmpty() ? defaultTitle(request.kind) : request.title);
    KxFileResult result;
    QString selected;
    switch (request.kind) {
    case KxFileDialogKind::OpenFile: {
        const QString f = QFileDialog::getOpenFileName(request.parent, title, request.dir,
                                                       request.filter, &selected);
        if (!f.isEmpty())
            result.files << f;
        break;
    }
    case KxFileDialogKind::OpenFiles:
        result.files = QFileDialog::getOpenFileNames(request.parent, title, request.dir,
                                                     request.filter, &selected);
        break;
    case KxFileDialogKind::SaveFile: {
        const QString f = QFileDialog::getSaveFileName(request.parent, title, request.dir,
                                                       request.filter, &selected);
        if (!f.isEmpty())
            result.files << f;
        break;
    }
    case KxFileDialogKind::Directory: {
        const QString d = QFileDialog::getExistingDirectory(request.parent, title, request.dir);
        if (!d.isEmpty())
            result.files << d;
        break;
    }
    }
    if (!result.cancelled())
        result.selectedFilter = selected;
    return result;
}

KxInputResult KxWidgetUiBackend::input(const KxInputRequest &request)
{
    return KxInputDlg::ask(request);
}

void KxWidgetUiBackend::showWaiting(const QString &text, const QString &cancelText, QWidget *anchor)
{
    if (!m_waiting) {
        m_waiting = new KxWaitingDlg(anchor ? anchor->window() : nullptr);
        m_waiting->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(m_waiting.data(), &KxWaitingDlg::signal_cancelClicked,
                         KxUiService::instance(), &KxUiService::notifyWaitingCancelled);
    }
    m_waiting->setText(text);
    m_waiting->setCancelText(cancelText);
    m_waiting->show();
    m_waiting->raise();
}

void KxWidgetUiBackend::closeWaiting()
{
    if (m_waiting)
        m_waiting->close();
}

bool KxWidgetUiBackend::isWaitingShown() const
{
    return m_waiting && m_waiting->isVisible();
}
