#pragma once
// A horizontal slider with two handles selecting [lower, upper]. Mouse drags the nearer handle;
// Left/Right move the active handle, Space switches the active handle.
#include <QWidget>

class KxRangeSlider : public QWidget
{
    Q_OBJECT
public:
    explicit KxRangeSlider(QWidget *parent = nullptr);

    void setRange(int minimum, int maximum);
    int minimum() const { return m_min; }
    int maximum() const { return m_max; }
    // Values are clamped to the range and ordered (lower <= upper); no signal is emitted.
    void setValues(int lower, int upper);
    int lower() const { return m_lower; }
    int upper() const { return m_upper; }
    void setSingleStep(int step) { m_step = qMax(1, step); }
    int activeHandle() const { return m_active; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    // Only for changes made by the user.
    void rangeEdited(int lower, int upper);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    int valueAt(int x) const;
    int xOf(int value) const;
    void moveActive(int value);

    int m_min = 0;
    int m_max = 100;
    int m_lower = 0;
    int m_upper = 100;
    int m_step = 1;
    int m_active = 0; // 0 lower, 1 upper
    bool m_dragging = false;
};
