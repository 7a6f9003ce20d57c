#include "DeviceListIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <cmath>

namespace
{

void drawShape(QPainter &p, DeviceListIcon shape, qreal s)
{
    const qreal u = s / 16.0; // drawn on a 16-unit grid
    auto pt = [u](qreal x, qreal y) { return QPointF(x * u, y * u); };
    switch (shape) {
    case DeviceListIcon::ChevronDown:
        p.drawPolyline(QPolygonF({pt(4, 6), pt(8, 10), pt(12, 6)}));
        break;
    case DeviceListIcon::ChevronRight:
        p.drawPolyline(QPolygonF({pt(6, 4), pt(10, 8), pt(6, 12)}));
        break;
    case DeviceListIcon::Refresh: {
        const QRectF r(pt(3, 3), pt(13, 13));
        p.drawArc(r, 60 * 16, 270 * 16);
        // arrow head at the open end of the arc (top right)
        p.drawPolyline(QPolygonF({pt(9.2, 1.8), pt(11.2, 3.4), pt(9.4, 5.4)}));
        break;
    }
    case DeviceListIcon::Add:
        p.drawLine(pt(8, 3), pt(8, 13));
        p.drawLine(pt(3, 8), pt(13, 8));
        break;
    case DeviceListIcon::Pencil: {
        QPainterPath path;
        path.moveTo(pt(3, 13));
        path.lineTo(pt(3.6, 10.4));
        path.lineTo(pt(10.6, 3.4));
        path.lineTo(pt(12.6, 5.4));
        path.lineTo(pt(5.6, 12.4));
        path.closeSubpath();
        p.drawPath(path);
        p.drawLine(pt(9.2, 4.8), pt(11.2, 6.8));
        break;
    }
    case DeviceListIcon::Blink: {
        // a light with rays
        p.drawEllipse(QRectF(pt(5.5, 5.5), pt(10.5, 10.5)));
        const QPointF c = pt(8, 8);
        for (int i = 0; i < 8; ++i) {
            const qreal a = i * 3.14159265 / 4;
            const QPointF d(std::cos(a), std::sin(a));
            p.drawLine(c + d * 4.6 * u, c + d * 6.6 * u);
        }
        break;
    }
    case DeviceListIcon::GroupAdd:
        p.drawEllipse(QRectF(pt(2.5, 3), pt(7.5, 8)));
        p.drawArc(QRectF(pt(1, 9), pt(9, 17)), 0, 180 * 16);
        p.drawLine(pt(12, 4), pt(12, 10));
        p.drawLine(pt(9, 7), pt(15, 7));
        break;
    }
}

QPixmap paint(DeviceListIcon shape, int size, const QColor &color, qreal dpr)
{
    QPixmap pm(qRound(size * dpr), qRound(size * dpr));
    pm.setDevicePixelRatio(dpr);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QPen pen(color, qMax(1.2, size / 11.0));
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    drawShape(p, shape, size);
    return pm;
}

} // namespace

QIcon deviceListIcon(DeviceListIcon shape, int size, const QColor &color, const QColor &hoverColor)
{
    QIcon icon;
    for (qreal dpr : {1.0, 2.0}) {
        icon.addPixmap(paint(shape, size, color, dpr), QIcon::Normal);
        icon.addPixmap(paint(shape, size, hoverColor.isValid() ? hoverColor : color, dpr),
                       QIcon::Active);
        icon.addPixmap(paint(shape, size, QColor(0xb4, 0xb9, 0xc2), dpr), QIcon::Disabled);
    }
    return icon;
}
