#pragma once
// A search field: a magnifier on the left, a clear button on the right while there is text,
// and signal_searchChanged, optionally delayed so that typing fast filters once.
#include <QLineEdit>

class QAction;
class QTimer;

class KxSearchLineEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit KxSearchLineEdit(QWidget *parent = nullptr);
    // Placeholder as a text key or text.
    void setPlaceholderKey(const QString &key);
    // 0 (default): signal_searchChanged follows every edit at once.
    void setDelay(int ms);
    QAction *clearAction() const { return m_clear; }

signals:
    void signal_searchChanged(const QString &text);

private:
    QAction *m_clear;
    QTimer *m_delay;
};
