#pragma once
// Point focus: the user clicks the point of the last image the reader should be sharp at.
#include "NDialogEx.h"

#include <QPixmap>

class QLabel;

class SelectPointFocusDlg : public NDialogEx
{
    Q_OBJECT
public:
    // image: what the view shows; sensor: the reader's sensor size, which the point is in.
    SelectPointFocusDlg(const QPixmap &image, const QSize &sensor, QWidget *parent = nullptr);
    // The chosen point in sensor pixels; null until one is clicked.
    QPoint point() const { return m_point; }
    // Chooses the point that lies at pos of the shown picture (what a click does).
    void choose(const QPoint &pos);
    QLabel *picture() const { return m_picture; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void redraw();

    QPixmap m_image;
    QSize m_sensor;
    QPoint m_point;
    QLabel *m_picture;
    QWidget *m_ok;
};
