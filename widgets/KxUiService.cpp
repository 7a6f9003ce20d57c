#include "KxUiService.h"

#include "KxWaitingDlg.h"
#include "KxWidgetUiBackend.h"

#include <QApplication>
#include <QMutex>
#include <QThread>

KxUiService *KxUiService::instance()
{
    static QMutex mutex;
    static KxUiService *service = nullptr;
    QMutexLocker lock(&mutex);
    if (!service)
        service = new KxUiService; // kept until exit, like every process-wide service
    return service;
}

KxUiService::KxUiService() : m_widgetBackend(new KxWidgetUiBackend)
{
    if (qApp)
        moveToThread(qApp->thread());
}

KxUiService::~KxUiService()
{
    delete m_widgetBackend;
}

IKxUiBackend *KxUiService::installBackend(IKxUiBackend *backend)
{
    IKxUiBackend *previous = m_backend;
    m_backend = backend;
    return previous;
}

IKxUiBackend *KxUiService::backend() const
{
    return m_backend ? m_backend : m_widgetBackend;
}

void KxUiService::setMainWindow(QWidget *window)
{
    m_mainWindow = window;
}

QWidget *KxUiService::resolveParent(QWidget *parent) const
{
    if (parent)
        return parent;
    QWidget *active = QApplication::activeModalWidget();
    // Never parent a dialog to the waiting dialog: it is deleted when closed, and would take a
    // message box still open on it along.
    while (qobject_cast<KxWaitingDlg *>(active))
        active = active->parentWidget() ? active->parentWidget()->window() : nullptr;
    if (active)
        return active;
    if (m_mainWindow)
        return m_mainWindow;
    return QApplication::activeWindow();
}

bool KxUiService::onGuiThread(const char *what) const
{
    if (qApp && QThread::currentThread() == qApp->thread())
        return true;
    qWarning("KxUiService::%s... called outside the GUI thread: not shown", what);
    return false;
}

KxMessageResult KxUiService::message(KxMessageRequest request)
{
    if (!onGuiThread("message"))
        return KxMessageResult();
    request.parent = resolveParent(request.parent);
    if (request.width <= 0)
        request.width = 350;
    return backend()->message(request);
}

static KxMessageRequest makeRequest(KxMsgType type, const QString &text, const QString &title,
                                    const QString &buttons, QWidget *parent, int width)
{
    KxMessageRequest r;
    r.type = type;
    r.text = text;
    r.title = title;
    r.buttons = buttons;
    r.parent = parent;
    r.width = width;
    return r;
}

KxMessageResult KxUiService::information(const QString &text, const QString &title, QWidget *parent)
{
    return message(makeRequest(KxMsgType::Information, text, title,
                               QStringLiteral("#IDS_MessageBox_OK"), parent, 350));
}

KxMessageResult KxUiService::warning(const QString &text, const QString &title, QWidget *parent)
{
    return message(makeRequest(KxMsgType::Warning, text, title,
                               QStringLiteral("#IDS_MessageBox_OK"), parent, 350));
}

KxMessageResult KxUiService::error(const QString &text, const QString &title, QWidget *parent)
{
    return message(makeRequest(KxMsgType::Error, text, title, QStringLiteral("#IDS_MessageBox_OK"),
                               parent, 350));
}

KxMessageResult KxUiService::question(const QString &text, const QString &title,
                                      const QString &buttons, QWidget *parent, int width)
{
    return message(makeRequest(KxMsgType::Question, text, title, buttons, parent, width));
}

bool KxUiService::confirm(const QString &text, const QString &title, QWidget *parent)
{
    return question(text, title, QStringLiteral("#IDS_OK|Cancel"), parent).isAccepted();
}

void KxUiService::toast(const QString &text, int durationMs, QWidget *parent, KxMsgType type)
{
    if (qApp && QThread::currentThread() != qApp->thread()) {
        // Workers may report through a toast: hand it to the GUI thread.
        QPointer<QWidget> guard(parent);
        const bool hadParent = parent != nullptr;
        QMetaObject::invokeMethod(
            this,
            [this, text, durationMs, guard, hadParent, type] {
                if (hadParent && !guard)
                    return; // its window has gone
                toast(text, durationMs, guard.data(), type);
            },
            Qt::QueuedConnection);
        return;
    }
    QWidget *anchor = parent ? parent : (m_mainWindow ? m_mainWindow.data() : nullptr);
    backend()->toast(text, durationMs, type, anchor);
}

void KxUiService::showWaiting(const QString &text, const QString &cancelText,
                              std::function<void()> onCancel, QWidget *parent)
{
    if (!onGuiThread("showWaiting"))
        return;
    m_onCancel = std::move(onCancel);
    backend()->showWaiting(text, cancelText, resolveParent(parent));
}

void KxUiService::closeWaiting()
{
    if (!onGuiThread("closeWaiting"))
        return;
    m_onCancel = nullptr;
    backend()->closeWaiting();
}

bool KxUiService::isWaitingShown() const
{
    return backend()->isWaitingShown();
}

void KxUiService::notifyWaitingCancelled()
{
    const std::function<void()> callback = m_onCancel;
    if (callback)
        callback();
    emit signal_waitingCancelled();
}

KxFileResult KxUiService::fileDialog(KxFileRequest request)
{
    if (!onGuiThread("fileDialog"))
        return KxFileResult();
    request.parent = resolveParent(request.parent);
    return backend()->fileDialog(request);
}

static KxFileRequest fileRequest(KxFileDialogKind kind, const QString &title, const QString &dir,
                                 const QString &filter, QWidget *parent)
{
    KxFileRequest r;
    r.kind = kind;
    r.title = title;
    r.dir = dir;
    r.filter = filter;
    r.parent = parent;
    return r;
}

QString KxUiService::getOpenFileName(const QString &title, const QString &dir,
                                     const QString &filter, QWidget *parent,
                                     QString *selectedFilter)
{
    const KxFileResult r =
        fileDialog(fileRequest(KxFileDialogKind::OpenFile, title, dir, filter, parent));
    if (selectedFilter && !r.cancelled())
        *selectedFilter = r.selectedFilter;
    return r.first();
}

QStringList KxUiService::getOpenFileNames(const QString &title, const QString &dir,
                                          const QString &filter, QWidget *parent)
{
    return fileDialog(fileRequest(KxFileDialogKind::OpenFiles, title, dir, filter, parent)).files;
}

QString KxUiService::getSaveFileName(const QString &title, const QString &dir,
                                     const QString &filter, QWidget *parent,
                                     QString *selectedFilter)
{
    const KxFileResult r =
        fileDialog(fileRequest(KxFileDialogKind::SaveFile, title, dir, filter, parent));
    if (selectedFilter && !r.cancelled())
        *selectedFilter = r.selectedFilter;
    return r.first();
}

QString KxUiService::getExistingDirectory(const QString &title, const QString &dir, QWidget *parent)
{
    return fileDialog(fileRequest(KxFileDialogKind::Directory, title, dir, QString(), parent))
        .first();
}

KxInputResult KxUiService::getText(KxInputRequest request)
{
    if (!onGuiThread("getText"))
        return KxInputResult();
    request.parent = resolveParent(request.parent);
    return backend()->input(request);
}
