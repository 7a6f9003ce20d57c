#include "KxAppInit.h"

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QMutex>
#include <QMutexLocker>
#include <QWidget>

namespace
{
QBasicMutex s_instanceMutex;
KxAppInit *s_instance = nullptr;
// Left, top, right, bottom: the title's border belongs to the resize frame, not the drag.
const QMargins kTitleMargins(4, 4, 4, 0);
} // namespace

KxAppInit *KxAppInit::instance()
{
    QMutexLocker lock(&s_instanceMutex);
    if (!s_instance)
        s_instance = new KxAppInit;
    return s_instance;
}

KxAppInit::KxAppInit(QObject *parent) : QObject(parent) {}

void KxAppInit::install()
{
    if (m_installed || !qApp)
        return;
    qApp->installEventFilter(this);
    m_installed = true;
}

QRect KxAppInit::titleHitRect(const QWidget *title)
{
    const QRect global(title->mapToGlobal(QPoint(0, 0)), title->size());
    return global.marginsRemoved(kTitleMargins);
}

bool KxAppInit::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress: {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Escape && qobject_cast<QDialog *>(watched))
            return true;
        break;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseMove:
    case QEvent::MouseButtonRelease: {
        if (!watched->isWidgetType() || !watched->property("canMove").toBool())
            break;
        auto *widget = static_cast<QWidget *>(watched);
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (event->type() == QEvent::MouseButtonPress) {
            if (mouse->button() != Qt::LeftButton)
                break;
            const QWidget *title = widget->findChild<QWidget *>(QStringLiteral("widgetTitle"));
            if (title && titleHitRect(title).contains(mouse->globalPos())) {
                m_dragging = true;
                m_offset = mouse->globalPos() - widget->pos();
            }
        } else if (event->type() == QEvent::MouseMove) {
            if (m_dragging && (mouse->buttons() & Qt::LeftButton)) {
                widget->move(mouse->globalPos() - m_offset);
                return true;
            }
        } else {
            m_dragging = false;
        }
        break;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
