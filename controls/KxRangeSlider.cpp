#include "KxRangeSlider.h"

#include "KxWidgetStyle.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace {
constexpr int HandleRadius = 8;
constexpr int GrooveHeight = 4;
} // namespace

KxRangeSlider::KxRangeSlider(QWidget *parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void KxRangeSlider::setRange(int minimum, int maximum)
{
    m_min = minimum;
    m_max = qMax(minimum, maximum);
    setValues(m_lower, m_upper);
}

void KxRangeSlider::setValues(int lower, int upper)
{
    lower = qBound(m_min, lower, m_max);
    upper = qBound(m_min, upper, m_max);
    if (lower > upper)
        qSwap(lower, upper);
    m_lower = lower;
    m_upper = upper;
    update();
}

QSize KxRangeSlider::sizeHint() const
{
    return QSize(220, 2 * HandleRadius + 8);
}

QSize KxRangeSlider::minimumSizeHint() const
{
    return QSize(80, 2 * HandleRadius + 8);
}

int KxRangeSlider::xOf(int value) const
{
    const int left = HandleRadius + 1;
    const int span = qMax(1, width() - 2 * left);
    if (m_max == m_min)
        return left;
    return left + int(qint64(value - m_min) * span / (m_max - m_min));
}

int KxRangeSlider::valueAt(int x) const
{
    const int left = HandleRadius + 1;
    const int span = qMax(1, width() - 2 * left);
    const qint64 rel = qBound(0, x - left, span);
    return m_min + int((rel * (m_max - m_min) + span / 2) / span);
}

void KxRangeSlider::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const int cy = height() / 2;
    const QColor accent(isEnabled() ? KxStyle::Accent : "#9aa4b5");
    p.setPen(Qt::NoPen);
    p.setBrush(QColor("#d9dde4"));
    p.drawRoundedRect(QRectF(HandleRadius, cy - GrooveHeight / 2.0, width() - 2 * HandleRadius,
                             GrooveHeight), 2, 2);
    const int xl = xOf(m_lower);
    const int xu = xOf(m_upper);
    p.setBrush(accent);
    p.drawRect(QRectF(xl, cy - GrooveHeight / 2.0, xu - xl, GrooveHeight));
    for (int h = 0; h < 2; ++h) {
        const int x = h == 0 ? xl : xu;
        p.setPen(QPen(accent, h == m_active && hasFocus() ? 3 : 2));
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(x, cy), HandleRadius - 1, HandleRadius - 1);
    }
}

void KxRangeSlider::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const int x = event->pos().x();
    const int dl = qAbs(x - xOf(m_lower));
    const int du = qAbs(x - xOf(m_upper));
    // Equal distance (handles on top of each other): pick by direction of the click.
    m_active = dl < du ? 0 : (du < dl ? 1 : (x < xOf(m_lower) ? 0 : 1));
    m_dragging = true;
    moveActive(valueAt(x));
}

void KxRangeSlider::mouseMoveEvent(QMouseEvent *event)
{
    if (m_dragging)
        moveActive(valueAt(event->pos().x()));
}

void KxRangeSlider::mouseReleaseEvent(QMouseEvent *)
{
    m_dragging = false;
}

void KxRangeSlider::keyPressEvent(QKeyEvent *event)
{
    const int current = m_active == 0 ? m_lower : m_upper;
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Down:
        moveActive(current - m_step);
        break;
    case Qt::Key_Right:
    case Qt::Key_Up:
        moveActive(current + m_step);
        break;
    case Qt::Key_Space:
        m_active = 1 - m_active;
        update();
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

void KxRangeSlider::moveActive(int value)
{
    value = qBound(m_min, value, m_max);
    int lower = m_lower;
    int upper = m_upper;
    if (m_active == 0)
        lower = qMin(value, m_upper);
    else
        upper = qMax(value, m_lower);
    if (lower == m_lower && upper == m_upper)
        return;
    m_lower = lower;
    m_upper = upper;
    update();
    emit rangeEdited(m_lower, m_upper);
}
