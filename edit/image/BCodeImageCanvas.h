#pragma once
// Paints one image (fitted or at its own size), the codes found in it and the decode areas,
// and lets the user drag the areas: move from inside, resize from a corner, draw a new one
// where there is none; a click outside the area extends it to include that point.
#include "BCodeRoiString.h"
#include "KxDecodeImage.h"

#include <QPixmap>
#include <QWidget>

class BCodeImageCanvas : public QWidget
{
    Q_OBJECT
public:
    explicit BCodeImageCanvas(QWidget *parent = nullptr);

    void setPixmap(const QPixmap &pixmap);
    QPixmap pixmap() const { return m_pixmap; }
    void setCodes(const QList<KxFoundCode> &codes);
    QList<KxFoundCode> codes() const { return m_codes; }
    // Decode areas in image pixels.
    void setRois(const QList<BCodeRoi> &rois);
    QList<BCodeRoi> rois() const { return m_rois; }
    void setRoiEditable(bool on) { m_editable = on; }
    // Fit: scaled into the widget keeping the ratio; else shown pixel for pixel.
    void setFit(bool fit);
    bool isFit() const { return m_fit; }
    void setOverlayText(const QString &text);

    // Where the image is drawn, and the mapping between widget and image pixels.
    QRectF imageRect() const;
    QPoint toImage(const QPointF &widgetPos) const;
    QPointF toWidget(const QPoint &imagePos) const;

    QSize sizeHint() const override;

signals:
    // A decode area was dragged to rect (image pixels); index is the area's own index.
    void roiEdited(int index, const QRect &rect);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    enum class Drag { None, Move, Resize, Create };
    QRect clampToImage(const QRect &r) const;

    QPixmap m_pixmap;
    QList<KxFoundCode> m_codes;
    QList<BCodeRoi> m_rois;
    QString m_overlay;
    bool m_fit = true;
    bool m_editable = true;
    Drag m_drag = Drag::None;
    int m_dragRoi = -1;
    QPoint m_pressImage;
    QRect m_startRect;
    QPoint m_anchor;  // the fixed corner while resizing or creating
};
