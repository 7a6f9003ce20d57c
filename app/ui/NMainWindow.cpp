#include "NMainWindow.h"

#include "KxI18nUtil.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDebug>
#include <QMouseEvent>
#include <QVBoxLayout>
#include <QWindow>

NMainWindow::NMainWindow(QWidget *parent) : QMainWindow(parent)
{
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinMaxButtonsHint);
    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("widgetMain"));
    m_clientLayout = new QVBoxLayout(m_client);
    m_clientLayout->setContentsMargins(1, 1, 1, 1); // room for the hairline border
    m_clientLayout->setSpacing(0);
    setCentralWidget(m_client);
    // Mouse moves near the edges reach us wherever they land in this window.
    qApp->installEventFilter(this);
}

NMainWindow::~NMainWindow()
{
    setEdgeCursor({});
}

void NMainWindow::setTitleBar(QWidget *title)
{
    m_title = title;
    if (!title)
        return;
    m_btnMin = title->findChild<QAbstractButton *>(QStringLiteral("btnMenu_Min"));
    m_btnMax = title->findChild<QAbstractButton *>(QStringLiteral("btnMenu_Max"));
    m_btnClose = title->findChild<QAbstractButton *>(QStringLiteral("btnMenu_Close"));
    // The system buttons and anything marked "HitTest" take their own clicks.
    for (QAbstractButton *b : {m_btnMin.data(), m_btnMax.data(), m_btnClose.data()}) {
        if (b)
            b->setProperty("HitTest", true);
    }
    if (m_btnMin) {
        m_btnMin->setToolTip(kxTr(QStringLiteral("#IDS_Minimized")));
        connect(m_btnMin, &QAbstractButton::clicked, this, &NMainWindow::onBtnMenu_Min_Clicked);
    }
    if (m_btnMax)
        connect(m_btnMax, &QAbstractButton::clicked, this, &NMainWindow::onBtnMenu_Max_Clicked);
    if (m_btnClose) {
        m_btnClose->setToolTip(kxTr(QStringLiteral("#IDS_Close")));
        connect(m_btnClose, &QAbstractButton::clicked, this,
                &NMainWindow::onBtnMenu_Close_Clicked);
    }
    updateMaximizeButton();
}

Qt::Edges NMainWindow::edgesAt(const QSize &size, const QPoint &pos, int margin)
{
    Qt::Edges edges;
    if (pos.x() < 0 || pos.y() < 0 || pos.x() >= size.width() || pos.y() >= size.height())
        return edges;
    if (pos.x() < margin)
        edges |= Qt::LeftEdge;
    else if (pos.x() >= size.width() - margin)
        edges |= Qt::RightEdge;
    if (pos.y() < margin)
        edges |= Qt::TopEdge;
    else if (pos.y() >= size.height() - margin)
        edges |= Qt::BottomEdge;
    return edges;
}

QString NMainWindow::maximizeToolTipKey(Qt::WindowStates state)
{
    return state.testFlag(Qt::WindowMaximized) ? QStringLiteral("#IDS_Restore")
                                                : QStringLiteral("#IDS_Maximized");
}

void NMainWindow::onBtnMenu_Min_Clicked()
{
    showMinimized();
}

void NMainWindow::onBtnMenu_Max_Clicked()
{
    if (isMaximized())
        showNormal();
    else
        showMaximized();
}

void NMainWindow::onBtnMenu_Close_Clicked()
{
    close();
}

void NMainWindow::updateMaximizeButton()
{
    if (!m_btnMax)
        return;
    const bool maximized = windowState().testFlag(Qt::WindowMaximized);
    m_btnMax->setToolTip(kxTr(maximizeToolTipKey(windowState())));
    m_btnMax->setProperty("maximized", maximized);
    m_btnMax->setChecked(maximized);
}

void NMainWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::WindowStateChange) {
        updateMaximizeButton();
        // No border to grab while maximised.
        const int m = isMaximized() || isFullScreen() ? 0 : 1;
        m_clientLayout->setContentsMargins(m, m, m, m);
    }
    QMainWindow::changeEvent(event);
}

bool NMainWindow::isHitTestVisible(const QPoint &titlePos) const
{
    for (QWidget *w = m_title->childAt(titlePos); w && w != m_title; w = w->parentWidget()) {
        if (w->property("HitTest").toBool())
            return true;
    }
    return false;
}

bool NMainWindow::handleTitleEvent(QEvent *event)
{
    auto *me = static_cast<QMouseEvent *>(event);
    switch (event->type()) {
    case QEvent::MouseButtonDblClick:
        if (me->button() == Qt::LeftButton && !isHitTestVisible(me->pos())
            && m_btnMax && m_btnMax->isVisible()) {
            onBtnMenu_Max_Clicked();
            return true;
        }
        break;
    case QEvent::MouseButtonPress:
        if (me->button() != Qt::LeftButton || isHitTestVisible(me->pos()))
            break;
        if (windowHandle() && windowHandle()->startSystemMove())
            return true;
        if (!isMaximized()) {
            m_dragging = true;
            m_dragOffset = me->globalPos() - frameGeometry().topLeft();
            return true;
        }
        break;
    case QEvent::MouseMove:
        if (m_dragging && (me->buttons() & Qt::LeftButton)) {
            move(me->globalPos() - m_dragOffset);
            return true;
        }
        break;
    case QEvent::MouseButtonRelease:
        if (m_dragging) {
            m_dragging = false;
            return true;
        }
        break;
    default:
        break;
    }
    return false;
}

void NMainWindow::setEdgeCursor(Qt::Edges edges)
{
    if (edges == m_cursorEdges)
        return;
    if (m_cursorEdges)
        QApplication::restoreOverrideCursor();
    m_cursorEdges = edges;
    if (!edges)
        return;
    Qt::CursorShape shape = Qt::SizeAllCursor;
    const bool lr = edges & (Qt::LeftEdge | Qt::RightEdge);
    const bool tb = edges & (Qt::TopEdge | Qt::BottomEdge);
    if (lr && tb) {
        const bool mainDiagonal = edges == (Qt::LeftEdge | Qt::TopEdge)
            || edges == (Qt::RightEdge | Qt::BottomEdge);
        shape = mainDiagonal ? Qt::SizeFDiagCursor : Qt::SizeBDiagCursor;
    } else {
        shape = lr ? Qt::SizeHorCursor : Qt::SizeVerCursor;
    }
    QApplication::setOverrideCursor(shape);
}

bool NMainWindow::handleEdgeEvent(QWidget *widget, QEvent *event)
{
    if (isMaximized() || isFullScreen() || minimumSize() == maximumSize()) {
        setEdgeCursor({});
        return false;
    }
    auto *me = static_cast<QMouseEvent *>(event);
    const QPoint pos = mapFromGlobal(widget->mapToGlobal(me->pos()));
    const Qt::Edges edges = edgesAt(size(), pos);
    if (event->type() == QEvent::MouseMove && me->buttons() == Qt::NoButton) {
        setEdgeCursor(edges);
        return false;
    }
    if (event->type() == QEvent::MouseButtonPress && me->button() == Qt::LeftButton && edges
        && windowHandle()) {
        if (windowHandle()->startSystemResize(edges)) {
            setEdgeCursor({});
            return true;
        }
    }
    return false;
}

bool NMainWindow::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    const bool mouse = type == QEvent::MouseButtonPress || type == QEvent::MouseMove
        || type == QEvent::MouseButtonRelease || type == QEvent::MouseButtonDblClick;
    if (mouse && watched->isWidgetType()) {
        auto *widget = static_cast<QWidget *>(watched);
        if (widget->window() == this) {
            if (type != QEvent::MouseButtonRelease && type != QEvent::MouseButtonDblClick
                && !m_dragging && handleEdgeEvent(widget, event))
                return true;
            if (watched == m_title && handleTitleEvent(event))
                return true;
        }
    } else if (type == QEvent::Leave && watched == this) {
        setEdgeCursor({});
    }
    return QMainWindow::eventFilter(watched, event);
}
