#pragma once
// Single-number controls: integer and floating spin boxes, the position slider with its
// Multiple/Remainder mapping and the slider coupled to a spin box.
#include "KxControlBase.h"

#include <QDoubleSpinBox>
#include <QPointer>
#include <QSpinBox>

class QDoubleSpinBox;
class QLabel;
class QSlider;
class QSpinBox;

class KxSpinBox : public KxControlBase
{
    Q_OBJECT
public:
    using KxControlBase::KxControlBase;
    QWidget *editorWidget() const override;
    void setValue(const QVariant &v) override;
    QVariant value() const override;
    void setEditorEnabled(bool enabled) override;
    void setParam(const QString &key, const QVariant &value) override;
    bool createEditor(QWidget *parent) override;

    QSpinBox *spinBox() const { return m_spin; }
    // 0 none, 1 odd only, 2 even only (from an attribute "Limit" in any letter case).
    int parity() const { return m_parity; }
    // The value a parity rule turns n into (n itself when it already fits).
    static int correctParity(int n, int parity, int minimum, int maximum);

private:
    void onChanged(int v);
    QPointer<QSpinBox> m_spin;
    int m_parity = 0;
};

class KxDoubleSpinBox : public KxControlBase
{
    Q_OBJECT
public:
    using KxControlBase::KxControlBase;
    QWidget *editorWidget() const override;
    void setValue(const QVariant &v) override;
    QVariant value() const override;
    void setParam(const QString &key, const QVariant &value) override;
    bool createEditor(QWidget *parent) override;
    QDoubleSpinBox *spinBox() const { return m_spin; }

private:
    QPointer<QDoubleSpinBox> m_spin;
};

class KxSlider : public KxControlBase
{
    Q_OBJECT
public:
    using KxControlBase::KxControlBase;
    QWidget *editorWidget() const override;
    void setValue(const QVariant &v) override;
    QVariant value() const override;
    bool createEditor(QWidget *parent) override;
    QSlider *slider() const { return m_slider; }
    QLabel *valueLabel() const { return m_label; }

    // value = remainder + position x multiple; position = (value - remainder) / multiple,
    // truncated toward zero.
    static qint64 valueOf(int position, qint64 multiple, qint64 remainder);
    static int positionOf(qint64 value, qint64 multiple, qint64 remainder);

private:
    QPointer<QWidget> m_box;
    QSlider *m_slider = nullptr;
    QLabel *m_label = nullptr;
    qint64 m_multiple = 1;
    qint64 m_remainder = 0;
};

class KxSpinSlider : public KxControlBase
{
    Q_OBJECT
public:
    using KxControlBase::KxControlBase;
    QWidget *editorWidget() const override;
    void setValue(const QVariant &v) override;
    QVariant value() const override;
    void setParam(const QString &key, const QVariant &value) override;
    bool createEditor(QWidget *parent) override;
    QSpinBox *spinBox() const { return m_spin; }
    QSlider *slider() const { return m_slider; }

private:
    void syncSlider();
    QPointer<QWidget> m_box;
    QSlider *m_slider = nullptr;
    QSpinBox *m_spin = nullptr;
    int m_multiple = 1;
};

// Reads Minimum/Maximum of an item narrowed by its Limit; fallbacks when absent.
struct KxIntRange
{
    int minimum = 0;
    int maximum = 0;
    int step = 1;
    static KxIntRange fromItem(const KxItemInfo &item, int fallbackMin, int fallbackMax);
};
