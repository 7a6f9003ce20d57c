#include "KxPaintedIcon.h"

#include "KxWidgetStyle.h"

#include <QPainter>
#include <QPainterPath>

static QColor defaultColor(KxIconShape shape)
{
    switch (shape) {
    case KxIconShape::Info:
    case KxIconShape::Question:
        return QColor(KxStyle::Accent);
    case KxIconShape::Warning:
        return QColor(KxStyle::Warning);
    case KxIconShape::Error:
        return QColor(KxStyle::Danger);
    case KxIconShape::Success:
        return QColor(KxStyle::Success);
    case KxIconShape::Clear:
        return QColor("#a3a9b3");
    default:
        return QColor(KxStyle::TextMuted);
    }
}

// Draws a white glyph on a filled disc: "i", "?", "!" or a cross / check mark.
static void paintBadge(QPainter &p, KxIconShape shape, qreal s, const QColor &c)
{
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    if (shape == KxIconShape::Warning) {
        QPainterPath tri;
        tri.moveTo(s * 0.5, s * 0.06);
        tri.lineTo(s * 0.97, s * 0.9);
        tri.lineTo(s * 0.03, s * 0.9);
        tri.closeSubpath();
        p.setPen(QPen(c, s * 0.08, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(tri);
    } else {
        p.drawEllipse(QRectF(s * 0.04, s * 0.04, s * 0.92, s * 0.92));
    }
    QPen pen(Qt::white, s * 0.1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    switch (shape) {
    case KxIconShape::Info:
        p.drawLine(QPointF(s * 0.5, s * 0.45), QPointF(s * 0.5, s * 0.72));
        p.drawPoint(QPointF(s * 0.5, s * 0.29));
        break;
    case KxIconShape::Question: {
        QPainterPath q;
        q.moveTo(s * 0.36, s * 0.38);
        q.cubicTo(s * 0.36, s * 0.2, s * 0.64, s * 0.2, s * 0.64, s * 0.37);
        q.cubicTo(s * 0.64, s * 0.5, s * 0.5, s * 0.48, s * 0.5, s * 0.6);
        p.drawPath(q);
        p.drawPoint(QPointF(s * 0.5, s * 0.75));
        break;
    }
    case KxIconShape::Warning:
        p.drawLine(QPointF(s * 0.5, s * 0.36), QPointF(s * 0.5, s * 0.6));
        p.drawPoint(QPointF(s * 0.5, s * 0.75));
        break;
    case KxIconShape::Error:
        p.drawLine(QPointF(s * 0.34, s * 0.34), QPointF(s * 0.66, s * 0.66));
        p.drawLine(QPointF(s * 0.66, s * 0.34), QPointF(s * 0.34, s * 0.66));
        break;
    default: // Success
        p.drawPolyline(QPolygonF(
            {QPointF(s * 0.3, s * 0.52), QPointF(s * 0.44, s * 0.66), QPointF(s * 0.7, s * 0.38)}));
        break;
    }
}

QPixmap kxPaintedPixmap(KxIconShape shape, int size, const QColor &color, qreal dpr)
{
    const QColor c = color.isValid() ? color : defaultColor(shape);
    QPixmap pm(int(size * dpr), int(size * dpr));
    pm.setDevicePixelRatio(dpr);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    switch (shape) {
    case KxIconShape::Close:
        p.setPen(QPen(c, qMax(1.2, s * 0.09), Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(s * 0.28, s * 0.28), QPointF(s * 0.72, s * 0.72));
        p.drawLine(QPointF(s * 0.72, s * 0.28), QPointF(s * 0.28, s * 0.72));
        break;
    case KxIconShape::Search:
        p.setPen(QPen(c, qMax(1.2, s * 0.1), Qt::SolidLine, Qt::RoundCap));
        p.drawEllipse(QRectF(s * 0.16, s * 0.16, s * 0.5, s * 0.5));
        p.drawLine(QPointF(s * 0.59, s * 0.59), QPointF(s * 0.84, s * 0.84));
        break;
    case KxIconShape::Clear:
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawEllipse(QRectF(s * 0.1, s * 0.1, s * 0.8, s * 0.8));
        p.setPen(QPen(Qt::white, qMax(1.2, s * 0.09), Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(s * 0.36, s * 0.36), QPointF(s * 0.64, s * 0.64));
        p.drawLine(QPointF(s * 0.64, s * 0.36), QPointF(s * 0.36, s * 0.64));
        break;
    default:
        paintBadge(p, shape, s, c);
        break;
    }
    return pm;
}

QIcon kxPaintedIcon(KxIconShape shape, int size, const QColor &color)
{
    QIcon icon;
    icon.addPixmap(kxPaintedPixmap(shape, size, color, 1.0));
    icon.addPixmap(kxPaintedPixmap(shape, size, color, 2.0));
    return icon;
}
