#pragma once
// Toasts: short non-modal notices that fade in over the window they belong to, stay for their
// time (3000 ms by default, fades included) and fade out. Several toasts of one window stack
// downward from the top centre; the same text shown again restarts the existing toast instead
// of stacking a copy. Toasts let mouse clicks through.
#include "KxUiTypes.h"

#include <QPointer>
#include <QWidget>

class QTimer;
class QVariantAnimation;

class KxToast : public QWidget
{
    Q_OBJECT
public:
    static constexpr int DefaultDuration = 3000;
    static constexpr int MaxStacked = 5;

    // Shows a toast (text key or plain text) over anchor's window; without an anchor over the
    // application's active window, or centred on the screen when there is none.
    static KxToast *showToast(const QString &textKey, int durationMs = DefaultDuration,
                              QWidget *anchor = nullptr, KxMsgType type = KxMsgType::Information);
    // The toasts currently shown over a window (nullptr: the free-standing ones), top first.
    static QList<KxToast *> toastsOf(QWidget *window);

    QString text() const { return m_text; }
    KxMsgType type() const { return m_type; }
    int duration() const { return m_duration; }
    bool isLeaving() const { return m_fadingOut; }
    // Changes the total time; a toast already holding restarts with the new time.
    void setDuration(int ms);
    void setFadeDuration(int ms);
    // Starts fading out now.
    void dismiss();

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    KxToast(const QString &text, KxMsgType type, QWidget *parentWindow);
    ~KxToast() override;
    void start();
    void startHold();
    static void restack(QWidget *window);
    QRect textRect() const;

    QString m_text;
    KxMsgType m_type;
    QPointer<QWidget> m_window;
    int m_duration = DefaultDuration;
    int m_fadeMs = 200;
    qreal m_opacity = 0.0;
    bool m_fadingOut = false;
    QTimer *m_hold;
    QVariantAnimation *m_fade;
};
