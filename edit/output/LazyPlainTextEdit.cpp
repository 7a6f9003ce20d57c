#include "LazyPlainTextEdit.h"

#include <QScrollBar>

LazyPlainTextEdit::LazyPlainTextEdit(QWidget *parent) : QPlainTextEdit(parent)
{
    setReadOnly(true);
    setMaximumBlockCount(kMaxLines);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    m_timer.setSingleShot(true);
    m_timer.setInterval(50);
    connect(&m_timer, &QTimer::timeout, this, &LazyPlainTextEdit::flush);
}

void LazyPlainTextEdit::appendLine(const QString &line)
{
    appendLines({line});
}

void LazyPlainTextEdit::appendLines(const QStringList &lines)
{
    m_pending += lines;
    // Lines that would scroll out at once are never laid out.
    if (m_pending.size() > kMaxLines)
        m_pending.erase(m_pending.begin(), m_pending.end() - kMaxLines);
    if (!m_timer.isActive())
        m_timer.start();
}

void LazyPlainTextEdit::flush()
{
    m_timer.stop();
    if (m_pending.isEmpty())
        return;
    QScrollBar *bar = verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    appendPlainText(m_pending.join(QLatin1Char('\n')));
    m_pending.clear();
    if (atEnd)
        bar->setValue(bar->maximum());
}

void LazyPlainTextEdit::clearAll()
{
    m_timer.stop();
    m_pending.clear();
    clear();
}
