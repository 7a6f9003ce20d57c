#include "KxSwitchControls.h"

#include "KxControlUtil.h"
#include "KxI18nUtil.h"
#include "KxNumericControls.h"
#include "KxRangeSlider.h"
#include "KxToggleSwitch.h"
#include "KxWidgetStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>
#include <cmath>

// --- two-state switch -----------------------------------------------------------------------

QWidget *KxToggleButtonPrivate::editorWidget() const
{
    return m_box;
}

QString KxToggleButtonPrivate::keyFor(bool on) const
{
    const int idx = on ? 1 : 0;
    if (idx < m_options.size())
        return m_options.at(idx).key;
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

bool KxToggleButtonPrivate::createEditor(QWidget *parent)
{
    m_options = item()->options().mid(0, 2);
    m_box = new QWidget(parent);
    auto *row = new QHBoxLayout(m_box);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);
    m_switch = new KxToggleSwitch(m_box);
    m_switch->setFocusPolicy(Qt::StrongFocus);
    m_text = new QLabel(m_box);
    row->addWidget(m_switch);
    row->addWidget(m_text);
    row->addStretch(1);
    m_box->setMinimumHeight(28);
    setValue(item()->value);
    connect(m_switch, &QAbstractButton::toggled, this, [this]() {
        m_text->setText(displayValue().toString());
        notifyValueChanged(true);
    });
    return KxControlBase::createEditor(parent);
}

void KxToggleButtonPrivate::setValue(const QVariant &v)
{
    KxControlBase::setValue(v);
    if (!m_switch)
        return;
    const QSignalBlocker block(m_switch);
    m_switch->setChecked(v.toString() == keyFor(true));
    m_text->setText(displayValue().toString());
}

QVariant KxToggleButtonPrivate::value() const
{
    return m_switch ? QVariant(keyFor(m_switch->isChecked())) : QVariant();
}

QVariant KxToggleButtonPrivate::displayValue() const
{
    if (!m_switch)
        return QVariant();
    const int idx = m_switch->isChecked() ? 1 : 0;
    return idx < m_options.size() ? m_options.at(idx).text.toString() : value().toString();
}

// --- switch with slider ---------------------------------------------------------------------

QWidget *KxToggleSlider::editorWidget() const
{
    return m_box;
}

bool KxToggleSlider::createEditor(QWidget *parent)
{
    m_box = new QWidget(parent);
    auto *row = new QHBoxLayout(m_box);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(10);
    m_switch = new KxToggleSwitch(m_box);
    m_switch->setFocusPolicy(Qt::StrongFocus);
    m_slider = new QSlider(Qt::Horizontal, m_box);
    const KxIntRange r = KxIntRange::fromItem(*item(), 0, 100);
    m_slider->setRange(r.minimum, r.maximum);
    m_slider->setSingleStep(r.step);
    m_slider->setPageStep(qMax(r.step, (r.maximum - r.minimum) / 10));
    m_slider->setMinimumWidth(160);
    m_multiple = hasAttr(QStringLiteral("Multiple")) ? intAttr(QStringLiteral("Multiple")) : 1;
    if (m_multiple == 0)
        m_multiple = 1;
    m_remainder = intAttr(QStringLiteral("Remainder"), 0);
    m_label = new QLabel(m_box);
    m_label->setMinimumWidth(m_label->fontMetrics().horizontalAdvance(
        QString::number(KxSlider::valueOf(r.maximum, m_multiple, m_remainder)) + QStringLiteral("00")));
    row->addWidget(m_switch);
    row->addWidget(m_slider, 1);
    row->addWidget(m_label);
    setValue(item()->value);
    connect(m_switch, &QAbstractButton::toggled, this, [this]() {
        refresh();
        notifyValueChanged(true);
    });
    connect(m_slider, &QSlider::valueChanged, this, [this]() {
        refresh();
        notifyValueChanged(true);
    });
    return KxControlBase::createEditor(parent);
}

void KxToggleSlider::refresh()
{
    m_slider->setEnabled(m_switch->isChecked());
    m_label->setText(QString::number(KxSlider::valueOf(m_slider->value(), m_multiple, m_remainder)));
}

void KxToggleSlider::setValue(const QVariant &v)
{
    KxControlBase::setValue(v);
    if (!m_switch)
        return;
    const QStringList parts = v.toString().split(QLatin1Char('|'));
    const QSignalBlocker b1(m_switch);
    const QSignalBlocker b2(m_slider);
    m_switch->setChecked(parts.value(0) == QLatin1String("1"));
    if (parts.size() > 1)
        m_slider->setValue(KxSlider::positionOf(KxControlUtil::toInt64(parts.at(1)), m_multiple,
                                                m_remainder));
    refresh();
}

QVariant KxToggleSlider::value() const
{
    if (!m_switch)
        return QVariant();
    return QStringLiteral("%1|%2")
        .arg(m_switch->isChecked() ? QStringLiteral("1") : QStringLiteral("0"))
        .arg(KxSlider::valueOf(m_slider->value(), m_multiple, m_remainder));
}

// --- two-handle slider ----------------------------------------------------------------------

QWidget *KxDoubleSlider::editorWidget() const
{
    return m_box;
}

QString KxDoubleSlider::format(int scaled) const
{
    if (m_decimals == 0)
        return QString::number(scaled);
    return QString::number(scaled / m_scale, 'f', m_decimals);
}

bool KxDoubleSlider::createEditor(QWidget *parent)
{
    m_decimals = qBound(0, intAttr(QStringLiteral("Decimals"), 0), 4);
    m_scale = std::pow(10.0, m_decimals);
    m_box = new QWidget(parent);
    auto *row = new QHBoxLayout(m_box);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(10);
    m_slider = new KxRangeSlider(m_box);
    const double lo = realAttr(QStringLiteral("Minimum"), 0);
    const double hi = realAttr(QStringLiteral("Maximum"), 100);
    m_slider->setRange(int(std::llround(lo * m_scale)), int(std::llround(hi * m_scale)));
    m_label = new QLabel(m_box);
    m_label->setMinimumWidth(m_label->fontMetrics().horizontalAdvance(
        QStringLiteral("[%1 - %1]0").arg(format(m_slider->maximum()))));
    row->addWidget(m_slider, 1);
    row->addWidget(m_label);
    setValue(item()->value);
    connect(m_slider, &KxRangeSlider::rangeEdited, this, [this]() {
        refresh();
        notifyValueChanged(true);
    });
    return KxControlBase::createEditor(parent);
}

void KxDoubleSlider::refresh()
{
    m_label->setText(QStringLiteral("[%1 - %2]").arg(format(m_slider->lower()), format(m_slider->upper())));
}

void KxDoubleSlider::setValue(const QVariant &v)
{
    KxControlBase::setValue(v);
    if (!m_slider)
        return;
    const QStringList parts = v.toString().split(QLatin1Char(','));
    const double a = KxControlUtil::toReal(parts.value(0));
    const double b = parts.size() > 1 ? KxControlUtil::toReal(parts.at(1)) : a;
    m_slider->setValues(int(std::llround(a * m_scale)), int(std::llround(b * m_scale)));
    refresh();
}

QVariant KxDoubleSlider::value() const
{
    if (!m_slider)
        return QVariant();
    return QStringLiteral("%1,%2").arg(format(m_slider->lower()), format(m_slider->upper()));
}

// --- state slider ---------------------------------------------------------------------------

QWidget *KxStateSlider::editorWidget() const
{
    return m_box;
}

bool KxStateSlider::createEditor(QWidget *parent)
{
    m_options = item()->options();
    m_box = new QWidget(parent);
    auto *row = new QHBoxLayout(m_box);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(10);
    m_slider = new QSlider(Qt::Horizontal, m_box);
    m_slider->setRange(0, qMax(0, m_options.size() - 1));
    m_slider->setPageStep(1);
    m_slider->setTickPosition(QSlider::TicksBelow);
    m_slider->setTickInterval(1);
    m_slider->setMinimumWidth(180);
    if (textAttr(QStringLiteral("StateType")).compare(QLatin1String("PROGRESS"), Qt::CaseInsensitive) == 0) {
        // A progress-like scale: the part up to the handle is filled with the accent colour.
        m_slider->setStyleSheet(QStringLiteral(
            "QSlider::groove:horizontal{height:6px;background:#d9dde4;border-radius:3px;}"
            "QSlider::sub-page:horizontal{background:%1;border-radius:3px;}"
            "QSlider::handle:horizontal{width:14px;margin:-5px 0;border-radius:7px;"
            "background:#ffffff;border:2px solid %1;}").arg(QLatin1String(KxStyle::Accent)));
        m_slider->setTickPosition(QSlider::NoTicks);
    }
    const QString tips = textAttr(QStringLiteral("Tips"));
    if (!tips.isEmpty())
        m_slider->setToolTip(kxTr(tips));
    m_label = new QLabel(m_box);
    int widest = 0;
    for (const KxFeatureInfo &f : m_options)
        widest = qMax(widest, m_label->fontMetrics().horizontalAdvance(f.text.toString()));
    m_label->setMinimumWidth(widest + 8);
    row->addWidget(m_slider, 1);
    row->addWidget(m_label);
    setValue(item()->value);
    connect(m_slider, &QSlider::valueChanged, this, [this](int pos) {
        if (pos >= 0 && pos < m_options.size())
            m_state = m_options.at(pos).key;
        refresh();
        notifyValueChanged(true);
    });
    return KxControlBase::createEditor(parent);
}

void KxStateSlider::refresh()
{
    m_label->setText(displayValue().toString());
}

void KxStateSlider::setValue(const QVariant &v)
{
    KxControlBase::setValue(v);
    if (!m_slider)
        return;
    m_state = v.toString();
    const QSignalBlocker block(m_slider);
    for (int i = 0; i < m_options.size(); ++i) {
        if (m_options.at(i).key == m_state)
            m_slider->setValue(i);
    }
    refresh();
}

QVariant KxStateSlider::value() const
{
    return m_slider ? QVariant(m_state) : QVariant();
}

QVariant KxStateSlider::displayValue() const
{
    for (const KxFeatureInfo &f : m_options) {
        if (f.key == m_state)
            return f.text.toString();
    }
    return m_state;
}
