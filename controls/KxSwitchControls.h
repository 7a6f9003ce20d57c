#pragma once
// Switch and slider-like controls: the two-state switch, the switch with a slider, the
// two-handle range slider and the stepped state slider.
#include "KxControlBase.h"
#include "KxFeatureInfo.h"

#include <QPointer>

class KxRangeSlider;
class KxToggleSwitch;
class QLabel;
class QSlider;

class KxToggleButtonPrivate : public KxControlBase
{
    Q_OBJECT
public:
    using KxControlBase::KxControlBase;
    QWidget *editorWidget() const override;
    void setValue(const QVariant &v) override;
    QVariant value() const override;
    QVariant displayValue() const override;
    bool createEditor(QWidget *parent) override;
    KxToggleSwitch *toggle() const { return m_switch; }

private:
    QString keyFor(bool on) const;
    QPointer<QWidget> m_box;
    KxToggleSwitch *m_switch = nullptr;
    QLabel *m_text = nullptr;
    QList<KxFeatureInfo> m_options;
};

class KxToggleSlider : public KxControlBase
{
    Q_OBJECT
public:
    using KxControlBase::KxControlBase;
    QWidget *editorWidget() const override;
    void setValue(const QVariant &v) override;
    QVariant value() const override;
    bool createEditor(QWidget *parent) override;
    KxToggleSwitch *toggle() const { return m_switch; }
    QSlider *slider() const { return m_slider; }

private:
    void refresh();
    QPointer<QWidget> m_box;
    KxToggleSwitch *m_switch = nullptr;
    QSlider *m_slider = nullptr;
    QLabel *m_label = nullptr;
    qint64 m_multiple = 1;
    qint64 m_remainder = 0;
};

class KxDoubleSlider : public KxControlBase
{
    Q_OBJECT
public:
    using KxControlBase::KxControlBase;
    QWidget *editorWidget() const override;
    void setValue(const QVariant &v) override;
    QVariant value() const override;
    bool createEditor(QWidget *parent) override;
    KxRangeSlider *rangeSlider() const { return m_slider; }
    QLabel *rangeLabel() const { return m_label; }

private:
    QString format(int scaled) const;
    void refresh();
    QPointer<QWidget> m_box;
    KxRangeSlider *m_slider = nullptr;
    QLabel *m_label = nullptr;
    int m_decimals = 0;
    double m_scale = 1;
};

class KxStateSlider : public KxControlBase
{
    Q_OBJECT
public:
    using KxControlBase::KxControlBase;
    QWidget *editorWidget() const override;
    void setValue(const QVariant &v) override;
    QVariant value() const override;
    QVariant displayValue() const override;
    bool createEditor(QWidget *parent) override;
    QSlider *slider() const { return m_slider; }

private:
    void refresh();
    QPointer<QWidget> m_box;
    QSlider *m_slider = nullptr;
    QLabel *m_label = nullptr;
    QList<KxFeatureInfo> m_options;
    QString m_state; // a value with no matching option is kept as it is
};
