#pragma once
// A read-only text log for fast streams: appended lines wait in a queue and reach the document
// at most every 50 ms in one edit, and the document keeps a bounded number of lines.
#include <QPlainTextEdit>
#include <QStringList>
#include <QTimer>

class LazyPlainTextEdit : public QPlainTextEdit
{
    Q_OBJECT
public:
    static constexpr int kMaxLines = 2000;
    explicit LazyPlainTextEdit(QWidget *parent = nullptr);

    void appendLine(const QString &line);
    void appendLines(const QStringList &lines);
    // Shows what is queued now.
    void flush();
    void clearAll();
    int pendingLines() const { return m_pending.size(); }

private:
    QStringList m_pending;
    QTimer m_timer;
};
