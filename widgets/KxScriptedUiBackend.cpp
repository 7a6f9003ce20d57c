#include "KxScriptedUiBackend.h"

#include "KxButtonSet.h"

#include <QDebug>

KxScriptedUiBackend::KxScriptedUiBackend()
{
    m_previous = KxUiService::instance()->installBackend(this);
}

KxScriptedUiBackend::~KxScriptedUiBackend()
{
    KxUiService::instance()->installBackend(m_previous);
    if (pendingAnswers() > 0)
        qWarning() << "KxScriptedUiBackend: answers never asked for:" << pendingAnswers();
}

void KxScriptedUiBackend::answerMessage(int button, const QString &expectText)
{
    m_messageAnswers.enqueue({button, expectText});
}

void KxScriptedUiBackend::answerFile(const QString &path, const QString &selectedFilter)
{
    KxFileResult r;
    if (!path.isEmpty())
        r.files << path;
    r.selectedFilter = selectedFilter;
    m_fileAnswers.enqueue(r);
}

void KxScriptedUiBackend::answerFiles(const QStringList &paths)
{
    KxFileResult r;
    r.files = paths;
    m_fileAnswers.enqueue(r);
}

void KxScriptedUiBackend::cancelFile()
{
    m_fileAnswers.enqueue(KxFileResult());
}

void KxScriptedUiBackend::answerInput(const QString &text)
{
    m_inputAnswers.enqueue({true, text});
}

void KxScriptedUiBackend::cancelInput()
{
    m_inputAnswers.enqueue({false, QString()});
}

void KxScriptedUiBackend::pressWaitingCancel()
{
    if (!m_waiting) {
        addError(QStringLiteral("cancel pressed while no waiting dialog is shown"));
        return;
    }
    KxUiService::instance()->notifyWaitingCancelled();
}

QList<KxScriptedUiBackend::Shown> KxScriptedUiBackend::shown(Kind kind) const
{
    QList<Shown> out;
    for (const Shown &s : m_shown) {
        if (s.kind == kind)
            out << s;
    }
    return out;
}

static QStringList textsOf(const QList<KxScriptedUiBackend::Shown> &list)
{
    QStringList out;
    for (const auto &s : list)
        out << s.text;
    return out;
}

QStringList KxScriptedUiBackend::messageTexts() const
{
    return textsOf(shown(Kind::Message));
}

QStringList KxScriptedUiBackend::toastTexts() const
{
    return textsOf(shown(Kind::Toast));
}

QStringList KxScriptedUiBackend::waitingTexts() const
{
    return textsOf(shown(Kind::Waiting));
}

KxScriptedUiBackend::Shown KxScriptedUiBackend::lastMessage() const
{
    const QList<Shown> messages = shown(Kind::Message);
    return messages.isEmpty() ? Shown() : messages.last();
}

int KxScriptedUiBackend::pendingAnswers() const
{
    return m_messageAnswers.size() + m_fileAnswers.size() + m_inputAnswers.size();
}

void KxScriptedUiBackend::clear()
{
    m_messageAnswers.clear();
    m_fileAnswers.clear();
    m_inputAnswers.clear();
    m_shown.clear();
    m_errors.clear();
    m_waiting = false;
}

void KxScriptedUiBackend::addError(const QString &error)
{
    qWarning().noquote() << "KxScriptedUiBackend:" << error;
    m_errors << error;
}

KxMessageResult KxScriptedUiBackend::message(const KxMessageRequest &request)
{
    Shown s;
    s.kind = Kind::Message;
    s.msgType = request.type;
    s.title = request.title;
    s.text = request.text;
    s.buttons = KxButtonSet::keys(request.buttons);
    int button = 0;
    if (!m_messageAnswers.isEmpty()) {
        const MessageAnswer a = m_messageAnswers.dequeue();
        button = a.button;
        if (!a.expect.isEmpty() && !request.text.contains(a.expect) &&
            !request.title.contains(a.expect))
            addError(QStringLiteral("message \"%1\" answered, but \"%2\" was expected")
                         .arg(request.text, a.expect));
        if (button < 0 || button > s.buttons.size()) {
            addError(QStringLiteral("answer %1 for \"%2\", which has %3 buttons")
                         .arg(button)
                         .arg(request.text)
                         .arg(s.buttons.size()));
            button = 0;
        }
    } else if (s.buttons.size() == 1) {
        button = 1; // nothing to decide: the only button
    } else {
        addError(QStringLiteral("unanswered message \"%1\" (%2): closed")
                     .arg(request.text, s.buttons.join(QLatin1Char('|'))));
    }
    s.answer = button;
    m_shown << s;
    return KxButtonSet::resultFor(request.buttons, button);
}

void KxScriptedUiBackend::toast(const QString &text, int durationMs, KxMsgType type, QWidget *)
{
    Shown s;
    s.kind = Kind::Toast;
    s.msgType = type;
    s.text = text;
    s.durationMs = durationMs;
    m_shown << s;
}

KxFileResult KxScriptedUiBackend::fileDialog(const KxFileRequest &request)
{
    Shown s;
    s.kind = Kind::File;
    s.fileKind = request.kind;
    s.title = request.title;
    s.dir = request.dir;
    s.filter = request.filter;
    m_shown << s;
    if (m_fileAnswers.isEmpty()) {
        addError(QStringLiteral("unanswered file dialog \"%1\" (%2): cancelled")
                     .arg(request.title, request.filter));
        return KxFileResult();
    }
    KxFileResult r = m_fileAnswers.dequeue();
    if (!r.cancelled() && r.selectedFilter.isEmpty())
        r.selectedFilter = request.filter.split(QStringLiteral(";;")).value(0);
    if (r.files.size() > 1 && request.kind != KxFileDialogKind::OpenFiles) {
        addError(QStringLiteral("several files given to a single-file dialog \"%1\"")
                     .arg(request.title));
        r.files = QStringList{r.files.first()};
    }
    return r;
}

KxInputResult KxScriptedUiBackend::input(const KxInputRequest &request)
{
    Shown s;
    s.kind = Kind::Input;
    s.title = request.title;
    s.text = request.label;
    m_shown << s;
    if (m_inputAnswers.isEmpty()) {
        addError(QStringLiteral("unanswered input dialog \"%1\": cancelled").arg(request.label));
        return KxInputResult();
    }
    KxInputResult r = m_inputAnswers.dequeue();
    if (r.ok && request.maxLength > 0)
        r.text.truncate(request.maxLength); // the real line edit cannot take more
    if (r.ok && !request.allowEmpty && r.text.trimmed().isEmpty())
        addError(QStringLiteral("empty input given to \"%1\", whose OK is disabled then")
                     .arg(request.label));
    return r;
}

void KxScriptedUiBackend::showWaiting(const QString &text, const QString &cancelText, QWidget *)
{
    Shown s;
    s.kind = Kind::Waiting;
    s.text = text;
    s.cancelText = cancelText;
    m_shown << s;
    m_waiting = true;
}

void KxScriptedUiBackend::closeWaiting()
{
    m_waiting = false;
}
