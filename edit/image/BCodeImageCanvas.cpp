#include "BCodeImageCanvas.h"

#include <QMouseEvent>
#include <QtMath>
#include <QPainter>

namespace {
constexpr double kCornerGrip = 10.0;  // widget pixels around a corner that start a resize
}

BCodeImageCanvas::BCodeImageCanvas(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("imageCanvas"));
    setMouseTracking(false);
    setMinimumSize(160, 120);
}

void BCodeImageCanvas::setPixmap(const QPixmap &pixmap)
{
    m_pixmap = pixmap;
    if (!m_fit)
        resize(m_pixmap.size());
    updateGeometry();
    update();
}

void BCodeImageCanvas::setCodes(const QList<KxFoundCode> &codes)
{
    m_codes = codes;
    update();
}

void BCodeImageCanvas::setRois(const QList<BCodeRoi> &rois)
{
    if (m_drag != Drag::None)
        return;  // the user's drag wins over a refresh arriving meanwhile
    m_rois = rois;
    update();
}

void BCodeImageCanvas::setFit(bool fit)
{
    m_fit = fit;
    if (!m_fit && !m_pixmap.isNull())
        resize(m_pixmap.size());
    updateGeometry();
    update();
}

void BCodeImageCanvas::setOverlayText(const QString &text)
{
    m_overlay = text;
    update();
}

QSize BCodeImageCanvas::sizeHint() const
{
    if (!m_fit && !m_pixmap.isNull())
        return m_pixmap.size();
    return QSize(640, 480);
}

QRectF BCodeImageCanvas::imageRect() const
{
    if (m_pixmap.isNull())
        return QRectF();
    const QSizeF img = m_pixmap.size();
    if (!m_fit) {
        const double x = qMax(0.0, (width() - img.width()) / 2);
        const double y = qMax(0.0, (height() - img.height()) / 2);
        return QRectF(QPointF(x, y), img);
    }
    const QSizeF scaled = img.scaled(size(), Qt::KeepAspectRatio);
    return QRectF(QPointF((width() - scaled.width()) / 2, (height() - scaled.height()) / 2), scaled);
}

QPoint BCodeImageCanvas::toImage(const QPointF &widgetPos) const
{
    const QRectF r = imageRect();
    if (r.isEmpty())
        return QPoint();
    const double s = r.width() / m_pixmap.width();
    return QPoint(qFloor((widgetPos.x() - r.left()) / s), qFloor((widgetPos.y() - r.top()) / s));
}

QPointF BCodeImageCanvas::toWidget(const QPoint &imagePos) const
{
    const QRectF r = imageRect();
    if (r.isEmpty())
        return QPointF();
    const double s = r.width() / m_pixmap.width();
    return QPointF(r.left() + imagePos.x() * s, r.top() + imagePos.y() * s);
}

QRect BCodeImageCanvas::clampToImage(const QRect &r) const
{
    return r.normalized().intersected(QRect(QPoint(0, 0), m_pixmap.size()));
}

void BCodeImageCanvas::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), QColor(40, 40, 40));
    const QRectF target = imageRect();
    if (!m_pixmap.isNull()) {
        p.setRenderHint(QPainter::SmoothPixmapTransform, m_fit);
        p.drawPixmap(target, m_pixmap, QRectF(m_pixmap.rect()));
    }
    p.setRenderHint(QPainter::Antialiasing);
    // Found codes: their outline and text, in green.
    QFont f = font();
    f.setPixelSize(13);
    p.setFont(f);
    for (const KxFoundCode &c : m_codes) {
        QPolygonF poly;
        for (const QPoint &pt : c.position)
            poly << toWidget(pt);
        p.setPen(QPen(QColor(0, 200, 80), 2));
        p.setBrush(QColor(0, 200, 80, 50));
        p.drawPolygon(poly);
        const QRectF box = poly.boundingRect();
        const QString label = c.text.left(40);
        const QRectF textRect(box.left(), box.bottom() + 2, qMax(box.width(), 120.0), 18);
        p.fillRect(textRect, QColor(0, 0, 0, 160));
        p.setPen(QColor(120, 255, 160));
        p.drawText(textRect.adjusted(3, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, label);
    }
    // Decode areas: dashed orange frames with their index.
    for (const BCodeRoi &r : m_rois) {
        const QRectF w(toWidget(r.rect.topLeft()), toWidget(r.rect.bottomRight() + QPoint(1, 1)));
        p.setPen(QPen(QColor(255, 160, 0), 2, Qt::DashLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(w);
        p.setPen(QColor(255, 160, 0));
        p.drawText(w.topLeft() + QPointF(4, 14), QString::number(r.index));
        if (m_editable) {
            p.setBrush(QColor(255, 160, 0));
            for (const QPointF &c : {w.topLeft(), w.topRight(), w.bottomLeft(), w.bottomRight()})
                p.drawRect(QRectF(c - QPointF(3, 3), QSizeF(6, 6)));
        }
    }
    if (!m_overlay.isEmpty()) {
        p.setPen(Qt::white);
        const QRectF band(0, height() - 24, width(), 24);
        p.fillRect(band, QColor(0, 0, 0, 150));
        p.drawText(band.adjusted(8, 0, -8, 0), Qt::AlignLeft | Qt::AlignVCenter,
                   p.fontMetrics().elidedText(m_overlay, Qt::ElideMiddle, width() - 16));
    }
}

void BCodeImageCanvas::mousePressEvent(QMouseEvent *event)
{
    if (!m_editable || m_pixmap.isNull() || event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    const QPoint img = toImage(event->localPos());
    m_pressImage = img;
    m_drag = Drag::None;
    m_dragRoi = -1;
    // Corners first (any area), then the inside of an area.
    for (int i = 0; i < m_rois.size() && m_drag == Drag::None; ++i) {
        const QRect r = m_rois.at(i).rect;
        const QPoint corners[4] = {r.topLeft(), r.topRight(), r.bottomLeft(), r.bottomRight()};
        const QPoint opposite[4] = {r.bottomRight(), r.bottomLeft(), r.topRight(), r.topLeft()};
        for (int c = 0; c < 4; ++c) {
            const QPointF d = toWidget(corners[c]) - event->localPos();
            if (qAbs(d.x()) <= kCornerGrip && qAbs(d.y()) <= kCornerGrip) {
                m_drag = Drag::Resize;
                m_dragRoi = i;
                m_anchor = opposite[c];
                break;
            }
        }
    }
    for (int i = 0; i < m_rois.size() && m_drag == Drag::None; ++i) {
        if (m_rois.at(i).rect.contains(img)) {
            m_drag = Drag::Move;
            m_dragRoi = i;
            m_startRect = m_rois.at(i).rect;
        }
    }
    if (m_drag == Drag::None) {
        if (m_rois.isEmpty()) {
            m_drag = Drag::Create;
            m_anchor = img;
            m_rois << BCodeRoi{0, QRect(img, QSize(1, 1))};
            m_dragRoi = 0;
        } else {
            // A point outside the area pulls the area out to include it.
            m_dragRoi = 0;
            m_rois[0].rect = clampToImage(BCodeRoiString::extendTo(m_rois[0].rect, img));
            update();
            emit roiEdited(m_rois[0].index, m_rois[0].rect);
            return;
        }
    }
    event->accept();
}

void BCodeImageCanvas::mouseMoveEvent(QMouseEvent *event)
{
    if (m_drag == Drag::None || m_dragRoi < 0 || m_dragRoi >= m_rois.size())
        return QWidget::mouseMoveEvent(event);
    const QPoint img = toImage(event->localPos());
    QRect r;
    if (m_drag == Drag::Move) {
        r = m_startRect.translated(img - m_pressImage);
        // Keep the size; push back inside the image.
        const QRect bounds(QPoint(0, 0), m_pixmap.size());
        if (r.left() < 0)
            r.moveLeft(0);
        if (r.top() < 0)
            r.moveTop(0);
        if (r.right() > bounds.right())
            r.moveRight(bounds.right());
        if (r.bottom() > bounds.bottom())
            r.moveBottom(bounds.bottom());
    } else {
        r = clampToImage(QRect(m_anchor, img));
    }
    if (!r.isEmpty())
        m_rois[m_dragRoi].rect = r;
    update();
}

void BCodeImageCanvas::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_drag == Drag::None || m_dragRoi < 0 || m_dragRoi >= m_rois.size())
        return QWidget::mouseReleaseEvent(event);
    mouseMoveEvent(event);
    const BCodeRoi roi = m_rois.at(m_dragRoi);
    m_drag = Drag::None;
    m_dragRoi = -1;
    emit roiEdited(roi.index, roi.rect);
}
