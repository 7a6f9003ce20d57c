#pragma once
// A UI backend for tests: answers message boxes, file dialogs and input dialogs from queued
// answers (per kind, in order) and records everything shown. Constructing one installs it in
// the UI service; destroying it restores the previous backend.
//
// A message box with a single button needs no answer (it is "clicked" at once). A question
// with several buttons, a file dialog or an input dialog without a queued answer records an
// error and answers as if cancelled, so a forgotten answer fails the test instead of blocking.
#include "KxUiService.h"

#include <QList>
#include <QQueue>
#include <QStringList>

class KxScriptedUiBackend : public IKxUiBackend
{
public:
    enum class Kind { Message, Toast, File, Input, Waiting };

    struct Shown {
        Kind kind = Kind::Message;
        KxMsgType msgType = KxMsgType::Information;
        QString title;
        QString text;        // message text, toast text, waiting text, input label
        QStringList buttons; // message button keys
        int answer = 0;      // message: 1-based button given back, 0 = closed
        KxFileDialogKind fileKind = KxFileDialogKind::OpenFile;
        QString dir;
        QString filter;
        int durationMs = 0; // toasts
        QString cancelText; // waiting dialog
    };

    KxScriptedUiBackend();
    ~KxScriptedUiBackend() override;
    KxScriptedUiBackend(const KxScriptedUiBackend &) = delete;
    KxScriptedUiBackend &operator=(const KxScriptedUiBackend &) = delete;

    // The next message box gets this 1-based button (0: closed by its title bar). With
    // expectText, a box whose text or title does not contain it records an error.
    void answerMessage(int button, const QString &expectText = QString());
    void answerFile(const QString &path, const QString &selectedFilter = QString());
    void answerFiles(const QStringList &paths);
    void cancelFile();
    void answerInput(const QString &text);
    void cancelInput();
    // The user presses cancel on the waiting dialog now.
    void pressWaitingCancel();

    const QList<Shown> &shown() const { return m_shown; }
    QList<Shown> shown(Kind kind) const;
    QStringList messageTexts() const;
    QStringList toastTexts() const;
    QStringList waitingTexts() const;
    Shown lastMessage() const;
    QStringList errors() const { return m_errors; }
    int pendingAnswers() const;
    // No errors and no answer left over.
    bool isClean() const { return m_errors.isEmpty() && pendingAnswers() == 0; }
    void clear();

    KxMessageResult message(const KxMessageRequest &request) override;
    void toast(const QString &text, int durationMs, KxMsgType type, QWidget *anchor) override;
    KxFileResult fileDialog(const KxFileRequest &request) override;
    KxInputResult input(const KxInputRequest &request) override;
    void showWaiting(const QString &text, const QString &cancelText, QWidget *anchor) override;
    void closeWaiting() override;
    bool isWaitingShown() const override { return m_waiting; }

private:
    struct MessageAnswer {
        int button;
        QString expect;
    };
    void addError(const QString &error);

    IKxUiBackend *m_previous = nullptr;
    QQueue<MessageAnswer> m_messageAnswers;
    QQueue<KxFileResult> m_fileAnswers;
    QQueue<KxInputResult> m_inputAnswers;
    QList<Shown> m_shown;
    QStringList m_errors;
    bool m_waiting = false;
};
