#include "KxNumericControls.h"

#include "KxControlUtil.h"
#include "KxOptionList.h"

#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <cmath>
#include <limits>

using KxControlUtil::toInt;

KxIntRange KxIntRange::fromItem(const KxItemInfo &item, int fallbackMin, int fallbackMax)
{
    KxIntRange r;
    const QVariant minV = item.attribute(QStringLiteral("Minimum"));
    const QVariant maxV = item.attribute(QStringLiteral("Maximum"));
    r.minimum = minV.isValid() ? toInt(minV.toString()) : fallbackMin;
    r.maximum = maxV.isValid() ? toInt(maxV.toString()) : fallbackMax;
    const QVariant stepV = item.attribute(QStringLiteral("Step"));
    r.step = qMax(1, stepV.isValid() ? toInt(stepV.toString()) : 1);
    qint64 low = 0;
    qint64 high = 0;
    if (!item.limit.isEmpty() && KxLimit::parse(item.limit).bounds(&low, &high)) {
        r.minimum = int(qBound<qint64>(r.minimum, low, r.maximum));
        r.maximum = int(qBound<qint64>(r.minimum, high, r.maximum));
    }
    if (r.maximum < r.minimum)
        r.maximum = r.minimum;
    return r;
}

namespace {

bool numberOf(const QVariant &v, double *out)
{
    bool ok = false;
    const double d = v.toString().trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(d))
        return false;
    *out = d;
    return true;
}

int clampToInt(double d)
{
    return int(qBound<double>(std::numeric_limits<int>::min(), std::llround(d),
                              std::numeric_limits<int>::max()));
}

// A "Maximum" or "Minimum" parameter applied to the spin box without its change signals;
// false for other keys and for values that are not numbers.
bool setSpinLimit(QSpinBox *spin, const QString &key, const QVariant &value)
{
    double d = 0;
    if (!numberOf(value, &d))
        return false;
    const QSignalBlocker block(spin);
    if (key.compare(QLatin1String("Maximum"), Qt::CaseInsensitive) == 0)
        spin->setMaximum(clampToInt(d));
    else if (key.compare(QLatin1String("Minimum"), Qt::CaseInsensitive) == 0)
        spin->setMinimum(clampToInt(d));
    else
        return false;
    return true;
}

} // namespace

// --- integer spin box -----------------------------------------------------------------------

QWidget *KxSpinBox::editorWidget() const
{
    return m_spin;
}

int KxSpinBox::correctParity(int n, int parity, int minimum, int maximum)
{
    const bool odd = (n % 2) != 0;
    if ((parity == 1 && odd) || (parity == 2 && !odd) || parity == 0)
        return n;
    // One below, unless that leaves the range; then one above.
    if (n - 1 >= minimum)
        return n - 1;
    if (n + 1 <= maximum)
        return n + 1;
    return n;
}

bool KxSpinBox::createEditor(QWidget *parent)
{
    m_spin = new QSpinBox(parent);
    const KxIntRange r = KxIntRange::fromItem(*item(), std::numeric_limits<int>::min(),
                                              std::numeric_limits<int>::max());
    m_spin->setRange(r.minimum, r.maximum);
    m_spin->setSingleStep(r.step);
    m_spin->setMinimumWidth(120);
    m_spin->setMinimumHeight(28);
    m_spin->setKeyboardTracking(false); // one change per finished entry, not per keystroke
    const QString par = textAttr(QStringLiteral("Limit"));
    if (par.compare(QLatin1String("Odd"), Qt::CaseInsensitive) == 0)
        m_parity = 1;
    else if (par.compare(QLatin1String("Even"), Qt::CaseInsensitive) == 0)
        m_parity = 2;
    setValue(item()->value);
    connect(m_spin, QOverload<int>::of(&QSpinBox::valueChanged), this, &KxSpinBox::onChanged);
    return KxControlBase::createEditor(parent);
}

void KxSpinBox::onChanged(int v)
{
    const int fixed = correctParity(v, m_parity, m_spin->minimum(), m_spin->maximum());
    if (fixed != v) {
        m_spin->setValue(fixed); // re-enters with the corrected number, which notifies
        return;
    }
    notifyValueChanged(true);
}

void KxSpinBox::setValue(const QVariant &v)
{
    KxControlBase::setValue(v);
    if (!m_spin)
        return;
    const QSignalBlocker block(m_spin);
    m_spin->setValue(toInt(v.toString()));
}

QVariant KxSpinBox::value() const
{
    return m_spin ? QVariant(QString::number(m_spin->value())) : QVariant();
}

void KxSpinBox::setEditorEnabled(bool enabled)
{
    if (m_spin)
        m_spin->setEnabled(enabled);
}

void KxSpinBox::setParam(const QString &key, const QVariant &value)
{
    if (!m_spin)
        return;
    const int before = m_spin->value();
    if (!setSpinLimit(m_spin, key, value))
        return;
    // A new limit that moved the value is a real change the owner must hear about.
    if (m_spin->value() != before)
        notifyValueChanged(true);
}

// --- floating spin box ----------------------------------------------------------------------

QWidget *KxDoubleSpinBox::editorWidget() const
{
    return m_spin;
}

bool KxDoubleSpinBox::createEditor(QWidget *parent)
{
    m_spin = new QDoubleSpinBox(parent);
    const int decimals = hasAttr(QStringLiteral("Decimals"))
                             ? qBound(0, intAttr(QStringLiteral("Decimals")), 10)
                             : 3;
    m_spin->setDecimals(decimals);
    m_spin->setRange(realAttr(QStringLiteral("Minimum"), -1e12), realAttr(QStringLiteral("Maximum"), 1e12));
    const double step = realAttr(QStringLiteral("Step"), 0);
    m_spin->setSingleStep(step > 0 ? step : std::pow(10.0, -qMin(decimals, 2)));
    m_spin->setMinimumWidth(120);
    m_spin->setMinimumHeight(28);
    m_spin->setKeyboardTracking(false);
    setValue(item()->value);
    connect(m_spin, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this,
            [this]() { notifyValueChanged(true); });
    return KxControlBase::createEditor(parent);
}

void KxDoubleSpinBox::setValue(const QVariant &v)
{
    KxControlBase::setValue(v);
    if (!m_spin)
        return;
    const QSignalBlocker block(m_spin);
    m_spin->setValue(KxControlUtil::toReal(v.toString()));
}

QVariant KxDoubleSpinBox::value() const
{
    return m_spin ? QVariant(KxControlUtil::formatReal(m_spin->value())) : QVariant();
}

void KxDoubleSpinBox::setParam(const QString &key, const QVariant &value)
{
    double d = 0;
    if (!m_spin || !numberOf(value, &d))
        return;
    const double before = m_spin->value();
    {
        const QSignalBlocker block(m_spin);
        if (key.compare(QLatin1String("Maximum"), Qt::CaseInsensitive) == 0)
            m_spin->setMaximum(d);
        else if (key.compare(QLatin1String("Minimum"), Qt::CaseInsensitive) == 0)
            m_spin->setMinimum(d);
        else
            return;
    }
    if (m_spin->value() != before)
        notifyValueChanged(true);
}

// --- slider ---------------------------------------------------------------------------------

qint64 KxSlider::valueOf(int position, qint64 multiple, qint64 remainder)
{
    return remainder + qint64(position) * multiple;
}

int KxSlider::positionOf(qint64 value, qint64 multiple, qint64 remainder)
{
    if (multiple == 0)
        return 0;
    return int((value - remainder) / multiple); // C++ division truncates toward zero
}

QWidget *KxSlider::editorWidget() const
{
    return m_box;
}

bool KxSlider::createEditor(QWidget *parent)
{
    m_box = new QWidget(parent);
    auto *row = new QHBoxLayout(m_box);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(10);
    m_slider = new QSlider(Qt::Horizontal, m_box);
    const KxIntRange r = KxIntRange::fromItem(*item(), 0, 100);
    m_slider->setRange(r.minimum, r.maximum);
    m_slider->setSingleStep(r.step);
    m_slider->setPageStep(qMax(r.step, (r.maximum - r.minimum) / 10));
    m_slider->setMinimumWidth(180);
    m_multiple = hasAttr(QStringLiteral("Multiple")) ? intAttr(QStringLiteral("Multiple")) : 1;
    if (m_multiple == 0)
        m_multiple = 1; // a zero step would make every position the same value
    m_remainder = intAttr(QStringLiteral("Remainder"), 0);
    m_label = new QLabel(m_box);
    m_label->setMinimumWidth(m_label->fontMetrics().horizontalAdvance(
        QString::number(valueOf(r.maximum, m_multiple, m_remainder)) + QStringLiteral("00")));
    row->addWidget(m_slider, 1);
    row->addWidget(m_label);
    setValue(item()->value);
    connect(m_slider, &QSlider::valueChanged, this, [this]() {
        m_label->setText(value().toString());
        notifyValueChanged(true);
    });
    return KxControlBase::createEditor(parent);
}

void KxSlider::setValue(const QVariant &v)
{
    KxControlBase::setValue(v);
    if (!m_slider)
        return;
    const QSignalBlocker block(m_slider);
    m_slider->setValue(positionOf(KxControlUtil::toInt64(v.toString()), m_multiple, m_remainder));
    m_label->setText(v.toString());
}

QVariant KxSlider::value() const
{
    if (!m_slider)
        return QVariant();
    return QString::number(valueOf(m_slider->value(), m_multiple, m_remainder));
}

// --- slider with spin box -------------------------------------------------------------------

QWidget *KxSpinSlider::editorWidget() const
{
    return m_box;
}

bool KxSpinSlider::createEditor(QWidget *parent)
{
    m_box = new QWidget(parent);
    auto *row = new QHBoxLayout(m_box);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(10);
    const KxIntRange r = KxIntRange::fromItem(*item(), 0, 100);
    m_multiple = qMax(1, intAttr(QStringLiteral("Multiple"), 1));
    m_slider = new QSlider(Qt::Horizontal, m_box);
    m_slider->setRange(r.minimum / m_multiple, r.maximum / m_multiple);
    m_slider->setSingleStep(qMax(1, r.step / m_multiple));
    m_slider->setPageStep(qMax(1, (r.maximum - r.minimum) / m_multiple / 10));
    m_slider->setMinimumWidth(160);
    m_spin = new QSpinBox(m_box);
    m_spin->setRange(r.minimum, r.maximum);
    m_spin->setSingleStep(r.step);
    m_spin->setKeyboardTracking(false);
    m_spin->setMinimumWidth(96);
    m_spin->setMinimumHeight(28);
    row->addWidget(m_slider, 1);
    row->addWidget(m_spin);
    setValue(item()->value);
    connect(m_slider, &QSlider::valueChanged, this, [this](int pos) {
        const QSignalBlocker block(m_spin);
        m_spin->setValue(pos * m_multiple);
        notifyValueChanged(true);
    });
    connect(m_spin, QOverload<int>::of(&QSpinBox::valueChanged), this, [this]() {
        syncSlider();
        notifyValueChanged(true);
    });
    return KxControlBase::createEditor(parent);
}

void KxSpinSlider::syncSlider()
{
    const QSignalBlocker block(m_slider);
    m_slider->setValue(m_spin->value() / m_multiple);
}

void KxSpinSlider::setValue(const QVariant &v)
{
    KxControlBase::setValue(v);
    if (!m_spin)
        return;
    {
        const QSignalBlocker block(m_spin);
        m_spin->setValue(toInt(v.toString()));
    }
    syncSlider();
}

QVariant KxSpinSlider::value() const
{
    return m_spin ? QVariant(QString::number(m_spin->value())) : QVariant();
}

void KxSpinSlider::setParam(const QString &key, const QVariant &value)
{
    if (!m_spin)
        return;
    const int before = m_spin->value();
    if (!setSpinLimit(m_spin, key, value))
        return;
    {
        const QSignalBlocker block(m_slider);
        m_slider->setRange(m_spin->minimum() / m_multiple, m_spin->maximum() / m_multiple);
    }
    syncSlider();
    if (m_spin->value() != before)
        notifyValueChanged(true);
}
