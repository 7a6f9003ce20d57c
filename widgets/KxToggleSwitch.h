#pragma once
// An on/off switch: a rounded track with a sliding knob, accent-coloured when on, with an
// optional text on its right. Checkable; space and clicks toggle it like any button.
#include <QAbstractButton>

class QVariantAnimation;

class KxToggleSwitch : public QAbstractButton
{
    Q_OBJECT
public:
    explicit KxToggleSwitch(QWidget *parent = nullptr);
    explicit KxToggleSwitch(const QString &textKey, QWidget *parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }
    // Knob position 0 (off) .. 1 (on); follows the checked state with a short animation.
    qreal knobPosition() const { return m_pos; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void checkStateSet() override;
    void nextCheckState() override;
    bool hitButton(const QPoint &pos) const override;

private:
    void animateTo(bool on);
    qreal m_pos = 0.0;
    QVariantAnimation *m_anim;
};
