#pragma once
// The application-wide event filter: Escape never closes a dialog, and a widget with the dynamic
// property "canMove" set is dragged by its child named "widgetTitle".
#include <QMargins>
#include <QObject>
#include <QPoint>

class QWidget;

class KxAppInit : public QObject
{
    Q_OBJECT
public:
    static KxAppInit *instance();
    void install(); // on the application object, once

    bool isDragging() const { return m_dragging; }
    // The part of the title that starts a drag, in global coordinates.
    static QRect titleHitRect(const QWidget *title);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit KxAppInit(QObject *parent = nullptr);
    bool m_installed = false;
    bool m_dragging = false;
    QPoint m_offset;
};
