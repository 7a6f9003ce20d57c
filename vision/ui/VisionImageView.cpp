#include "VisionImageView.h"

#include "KxI18nUtil.h"

#include <QJsonObject>
#include <QMouseEvent>
#include <QPainter>

VisionImageView::VisionImageView(QWidget *parent) : QWidget(parent)
{
    setMinimumSize(320, 240);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void VisionImageView::setImage(const QImage &image)
{
    m_image = image;
    update();
}

void VisionImageView::setRegions(const QJsonArray &regions)
{
    m_regions = regions;
    update();
}

void VisionImageView::setDrawMode(bool on)
{
    m_draw = on;
    setCursor(on ? Qt::CrossCursor : Qt::ArrowCursor);
}

QRectF VisionImageView::imageRect() const
{
    if (m_image.isNull())
        return QRectF();
    const QSizeF s = QSizeF(m_image.size()).scaled(QSizeF(size()) - QSizeF(8, 8), Qt::KeepAspectRatio);
    return QRectF(QPointF((width() - s.width()) / 2, (height() - s.height()) / 2), s);
}

QPoint VisionImageView::toImage(const QPoint &p) const
{
    const QRectF r = imageRect();
    if (r.isEmpty())
        return QPoint();
    const double k = m_image.width() / r.width();
    return QPoint(qBound(0, int((p.x() - r.x()) * k), m_image.width() - 1),
                  qBound(0, int((p.y() - r.y()) * k), m_image.height() - 1));
}

void VisionImageView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), QColor("#2b2b2b"));
    if (m_image.isNull()) {
        p.setPen(QColor("#bbbbbb"));
        p.drawText(rect(), Qt::AlignCenter, kxTr(QStringLiteral("#IDS_VisionNoImage_Tips")));
        return;
    }
    const QRectF target = imageRect();
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(target, m_image);
    const double k = target.width() / m_image.width();
    p.setRenderHint(QPainter::Antialiasing);
    for (const QJsonValue &v : m_regions) {
        const QJsonObject o = v.toObject();
        const QString kind = o.value(QStringLiteral("kind")).toString();
        const QJsonArray pts = o.value(QStringLiteral("points")).toArray();
        QPolygonF poly;
        for (int i = 0; i + 1 < pts.size(); i += 2)
            poly << target.topLeft() + QPointF(pts[i].toDouble() * k, pts[i + 1].toDouble() * k);
        const QColor colour = kind == QLatin1String("code") ? QColor("#2fd15a")
            : kind == QLatin1String("blob") ? QColor("#ff9b2f")
            : kind == QLatin1String("match") ? QColor("#e040c0") : QColor("#3d8bff");
        p.setPen(QPen(colour, kind == QLatin1String("roi") ? 1.5 : 2.5,
                      kind == QLatin1String("roi") ? Qt::DashLine : Qt::SolidLine));
        p.setBrush(Qt::NoBrush);
        p.drawPolygon(poly);
        if (kind != QLatin1String("roi") && !poly.isEmpty()) {
            const QString label = o.value(QStringLiteral("label")).toString();
            const QRectF box = poly.boundingRect();
            QRectF tag(box.left(), box.top() - 20, p.fontMetrics().horizontalAdvance(label) + 10, 18);
            p.fillRect(tag, colour);
            p.setPen(Qt::black);
            p.drawText(tag, Qt::AlignCenter, label);
        }
    }
    if (m_dragging) {
        p.setPen(QPen(QColor("#3d8bff"), 2));
        p.setBrush(QColor(61, 139, 255, 50));
        p.drawRect(QRect(m_from, m_to).normalized());
    }
}

void VisionImageView::mousePressEvent(QMouseEvent *e)
{
    if (!m_draw || m_image.isNull() || e->button() != Qt::LeftButton)
        return;
    m_dragging = true;
    m_from = m_to = e->pos();
}

void VisionImageView::mouseMoveEvent(QMouseEvent *e)
{
    if (!m_dragging)
        return;
    m_to = e->pos();
    update();
}

void VisionImageView::mouseReleaseEvent(QMouseEvent *e)
{
    if (!m_dragging)
        return;
    m_dragging = false;
    m_to = e->pos();
    const QRect r = QRect(toImage(m_from), toImage(m_to)).normalized();
    update();
    if (r.width() >= 4 && r.height() >= 4)
        emit rectDrawn(r);
}
