#pragma once
// The camera's image with the regions of the last test drawn on it (regions of interest blue,
// codes green with their text, blobs orange, template matches magenta with their score). In
// draw mode a dragged rectangle is reported in image pixels.
#include <QImage>
#include <QJsonArray>
#include <QWidget>

class VisionImageView : public QWidget
{
    Q_OBJECT
public:
    explicit VisionImageView(QWidget *parent = nullptr);
    void setImage(const QImage &image);
    QImage image() const { return m_image; }
    // [{"kind", "points" [x0,y0,...], "label"}] in image pixels.
    void setRegions(const QJsonArray &regions);
    QJsonArray regions() const { return m_regions; }
    void setDrawMode(bool on);
    bool drawMode() const { return m_draw; }
    // Image pixel <-> widget point.
    QRectF imageRect() const;
    QPoint toImage(const QPoint &widgetPoint) const;

signals:
    void rectDrawn(const QRect &imageRect);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QImage m_image;
    QJsonArray m_regions;
    bool m_draw = false;
    bool m_dragging = false;
    QPoint m_from, m_to;
};
