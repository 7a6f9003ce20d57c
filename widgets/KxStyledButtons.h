#pragma once
// Styled push and tool buttons. Texts are keys ("#IDS_...") or plain texts, shown translated.
#include <QIcon>
#include <QPushButton>
#include <QToolButton>

class KxPushButton : public QPushButton
{
    Q_OBJECT
public:
    enum Kind { Normal = 0, Primary = 1, Danger = 2 };

    explicit KxPushButton(const QString &textKey = QString(), Kind kind = Normal,
                          QWidget *parent = nullptr);
    void setTextKey(const QString &textKey);
    QString textKey() const { return m_textKey; }
    void setKind(Kind kind);
    Kind kind() const { return m_kind; }

private:
    QString m_textKey;
    Kind m_kind = Normal;
};

// An icon-and-text tool button; checkable buttons may carry a second icon for the checked
// state (the "_checked" variant of tool bar icons).
class KxToolButton : public QToolButton
{
    Q_OBJECT
public:
    explicit KxToolButton(const QString &textKey = QString(), const QIcon &icon = QIcon(),
                          QWidget *parent = nullptr);
    void setTextKey(const QString &textKey);
    QString textKey() const { return m_textKey; }
    void setIcons(const QIcon &normal, const QIcon &checked);

private:
    void updateIcon();
    QString m_textKey;
    QIcon m_normal;
    QIcon m_checked;
};
