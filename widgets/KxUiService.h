#pragma once
// The one road by which code talks to the user: message boxes, questions, toasts, the waiting
// dialog, file dialogs and input dialogs. A backend does the showing: by default the real
// widgets; tests install KxScriptedUiBackend, which answers from a script and records what was
// shown, so no test ever waits on a modal dialog.
// Texts, titles and button sets are text keys ("#IDS_...") or plain texts; the backend
// translates them. GUI thread only, except toast(), which may be called from any thread.
#include "KxUiTypes.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>

class IKxUiBackend
{
public:
    virtual ~IKxUiBackend() = default;
    virtual KxMessageResult message(const KxMessageRequest &request) = 0;
    virtual void toast(const QString &text, int durationMs, KxMsgType type, QWidget *anchor) = 0;
    virtual KxFileResult fileDialog(const KxFileRequest &request) = 0;
    virtual KxInputResult input(const KxInputRequest &request) = 0;
    virtual void showWaiting(const QString &text, const QString &cancelText, QWidget *anchor) = 0;
    virtual void closeWaiting() = 0;
    virtual bool isWaitingShown() const = 0;
};

class KxUiService : public QObject
{
    Q_OBJECT
public:
    static KxUiService *instance();

    // Installs a backend (not owned) and returns the one it replaces; nullptr restores the
    // widget backend (and is what is returned while the widget backend is in use).
    IKxUiBackend *installBackend(IKxUiBackend *backend);
    IKxUiBackend *backend() const;

    // The window that dialogs and toasts belong to when the caller names none.
    void setMainWindow(QWidget *window);
    QWidget *mainWindow() const { return m_mainWindow; }

    KxMessageResult message(KxMessageRequest request);
    KxMessageResult information(const QString &text,
                                const QString &title = QStringLiteral("#IDS_Tips"),
                                QWidget *parent = nullptr);
    KxMessageResult warning(const QString &text, const QString &title = QStringLiteral("#IDS_Tips"),
                            QWidget *parent = nullptr);
    KxMessageResult error(const QString &text, const QString &title = QStringLiteral("#IDS_Tips"),
                          QWidget *parent = nullptr);
    KxMessageResult question(const QString &text,
                             const QString &title = QStringLiteral("#IDS_Tips"),
                             const QString &buttons = QStringLiteral("#IDS_OK|Cancel"),
                             QWidget *parent = nullptr, int width = 350);
    // A question answered with an accepting button (OK, Yes, ...).
    bool confirm(const QString &text, const QString &title = QStringLiteral("#IDS_Tips"),
                 QWidget *parent = nullptr);

    void toast(const QString &text, int durationMs = 3000, QWidget *parent = nullptr,
               KxMsgType type = KxMsgType::Information);

    // The waiting dialog: one at a time; showing it again changes its text. onCancel (and
    // signal_waitingCancelled) run when the user presses cancel; an empty cancelText shows none.
    void showWaiting(const QString &text, const QString &cancelText = QString(),
                     std::function<void()> onCancel = {}, QWidget *parent = nullptr);
    void closeWaiting();
    bool isWaitingShown() const;
    // Called by backends when the user pressed cancel on the waiting dialog.
    void notifyWaitingCancelled();

    // File dialogs; an empty result means cancelled.
    KxFileResult fileDialog(KxFileRequest request);
    QString getOpenFileName(const QString &title, const QString &dir, const QString &filter,
                            QWidget *parent = nullptr, QString *selectedFilter = nullptr);
    QStringList getOpenFileNames(const QString &title, const QString &dir, const QString &filter,
                                 QWidget *parent = nullptr);
    QString getSaveFileName(const QString &title, const QString &dir, const QString &filter,
                            QWidget *parent = nullptr, QString *selectedFilter = nullptr);
    QString getExistingDirectory(const QString &title, const QString &dir,
                                 QWidget *parent = nullptr);

    KxInputResult getText(KxInputRequest request);

signals:
    void signal_waitingCancelled();

private:
    KxUiService();
    ~KxUiService() override;
    QWidget *resolveParent(QWidget *parent) const;
    bool onGuiThread(const char *what) const;

    IKxUiBackend *m_widgetBackend;
    IKxUiBackend *m_backend = nullptr; // nullptr: the widget backend
    QPointer<QWidget> m_mainWindow;
    std::function<void()> m_onCancel;
};

// Short form: KxUi()->question("#IDS_...").
inline KxUiService *KxUi()
{
    return KxUiService::instance();
}
