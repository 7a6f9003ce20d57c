#include "KxPairControls.h"

#include "KxControlUtil.h"
#include "KxI18nUtil.h"
#include "KxNumericControls.h"
#include "KxOptionList.h"

#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <cmath>
#include <limits>

KxSpinGroupControl::KxSpinGroupControl(QObject *parent, bool floating, QStringList labels,
                                       QStringList separators, QStringList joiners)
    : KxControlBase(parent), m_floating(floating), m_labels(std::move(labels)),
      m_separators(std::move(separators)), m_joiners(std::move(joiners))
{
}

QWidget *KxSpinGroupControl::editorWidget() const
{
    return m_box;
}

QStringList KxSpinGroupControl::splitValue(const QString &value, const QStringList &separators)
{
    QStringList out;
    QString rest = value;
    for (const QString &sep : separators) {
        const int pos = rest.indexOf(sep);
        if (pos < 0) {
            out.append(rest);
            rest.clear();
            continue;
        }
        out.append(rest.left(pos));
        rest = rest.mid(pos + sep.size());
    }
    out.append(rest);
    return out;
}

bool KxSpinGroupControl::createEditor(QWidget *parent)
{
    m_box = new QWidget(parent);
    auto *row = new QHBoxLayout(m_box);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    double lo = realAttr(QStringLiteral("Minimum"), m_floating ? -1e9 : std::numeric_limits<int>::min());
    double hi = realAttr(QStringLiteral("Maximum"), m_floating ? 1e9 : std::numeric_limits<int>::max());
    qint64 limLo = 0;
    qint64 limHi = 0;
    if (!item()->limit.isEmpty() && KxLimit::parse(item()->limit).bounds(&limLo, &limHi)) {
        lo = qMax(lo, double(limLo));
        hi = qMin(hi, double(limHi));
    }
    if (hi < lo)
        hi = lo;
    const double step = realAttr(QStringLiteral("Step"), 1);
    const int decimals = m_floating ? qBound(0, intAttr(QStringLiteral("Decimals"), 2), 6) : 0;
    const int count = m_separators.size() + 1;
    for (int i = 0; i < count; ++i) {
        if (i > 0 && !m_joiners.value(i - 1).isEmpty())
            row->addWidget(new QLabel(m_joiners.at(i - 1), m_box));
        const QString caption = m_labels.value(i);
        if (!caption.isEmpty())
            row->addWidget(new QLabel(kxTr(caption), m_box));
        auto *f = new QDoubleSpinBox(m_box);
        f->setDecimals(decimals);
        f->setRange(lo, hi);
        f->setSingleStep(step > 0 ? step : 1);
        f->setKeyboardTracking(false);
        f->setMinimumWidth(m_floating ? 88 : 80);
        f->setMinimumHeight(28);
        connect(f, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this,
                [this, i]() { fieldEdited(i); });
        row->addWidget(f);
        m_fields.append(f);
    }
    row->addStretch(1);
    setValue(item()->value);
    return KxControlBase::createEditor(parent);
}

void KxSpinGroupControl::fieldEdited(int)
{
    notifyValueChanged(true);
}

QString KxSpinGroupControl::formatField(int i) const
{
    const double v = m_fields.at(i)->value();
    if (m_floating)
        return KxControlUtil::formatReal(v);
    return QString::number(std::llround(v));
}

void KxSpinGroupControl::setValue(const QVariant &v)
{
    KxControlBase::setValue(v);
    if (!m_box)
        return;
    const QStringList parts = splitValue(v.toString(), m_separators);
    for (int i = 0; i < m_fields.size(); ++i) {
        const QSignalBlocker block(m_fields.at(i));
        m_fields.at(i)->setValue(KxControlUtil::toReal(parts.value(i)));
    }
}

QVariant KxSpinGroupControl::value() const
{
    if (!m_box)
        return QVariant();
    QString out = formatField(0);
    for (int i = 1; i < m_fields.size(); ++i)
        out += m_separators.at(i - 1) + formatField(i);
    return out;
}

// --- ranges ---------------------------------------------------------------------------------

namespace {
const QString kFrom = QStringLiteral("#IDS_From");
const QString kTo = QStringLiteral("#IDS_To");
const QString kDash = QStringLiteral("-");
const QString kBar = QStringLiteral("|");
const QString kComma = QStringLiteral(",");

// Keeps from <= to: the field not being edited follows the one that is.
void keepOrdered(QList<QDoubleSpinBox *> fields, int edited)
{
    QDoubleSpinBox *from = fields.at(0);
    QDoubleSpinBox *to = fields.at(1);
    if (from->value() <= to->value())
        return;
    QDoubleSpinBox *other = edited == 0 ? to : from;
    const QSignalBlocker block(other);
    other->setValue(edited == 0 ? from->value() : to->value());
}
} // namespace

KxRangeBox::KxRangeBox(QObject *parent)
    : KxSpinGroupControl(parent, false, {kFrom, kTo}, {kBar}, {kDash})
{
}

bool KxRangeBox::createEditor(QWidget *parent)
{
    return KxSpinGroupControl::createEditor(parent);
}

void KxRangeBox::fieldEdited(int index)
{
    keepOrdered(m_fields, index);
    notifyValueChanged(true);
}

void KxRangeBox::setParam(const QString &key, const QVariant &value)
{
    bool ok = false;
    const double d = value.toString().trimmed().toDouble(&ok);
    if (!m_box || !ok || !std::isfinite(d))
        return;
    const QString before = this->value().toString();
    if (key.compare(QLatin1String("Maximum"), Qt::CaseInsensitive) == 0) {
        for (QDoubleSpinBox *f : m_fields) {
            const QSignalBlocker block(f);
            f->setMaximum(d);
        }
    } else if (key.compare(QLatin1String("From"), Qt::CaseInsensitive) == 0) {
        const QSignalBlocker block(m_fields.at(0));
        m_fields.at(0)->setValue(d);
        keepOrdered(m_fields, 0);
    } else if (key.compare(QLatin1String("To"), Qt::CaseInsensitive) == 0) {
        const QSignalBlocker block(m_fields.at(1));
        m_fields.at(1)->setValue(d);
        keepOrdered(m_fields, 1);
    } else {
        return;
    }
    if (this->value().toString() != before)
        notifyValueChanged(true);
}

KxDoubleRangeBox::KxDoubleRangeBox(QObject *parent)
    : KxSpinGroupControl(parent, true, {kFrom, kTo}, {kBar}, {kDash})
{
}

void KxDoubleRangeBox::fieldEdited(int index)
{
    keepOrdered(m_fields, index);
    notifyValueChanged(true);
}

// --- points, sizes, lines -------------------------------------------------------------------

KxPoint::KxPoint(QObject *parent)
    : KxSpinGroupControl(parent, false, {QStringLiteral("X:"), QStringLiteral("Y:")}, {kComma}, {QString()})
{
}

KxDoublePoint::KxDoublePoint(QObject *parent)
    : KxSpinGroupControl(parent, true, {QStringLiteral("X:"), QStringLiteral("Y:")}, {kComma}, {QString()})
{
}

KxSize::KxSize(QObject *parent)
    : KxSpinGroupControl(parent, false, {QStringLiteral("#IDS_Size_Width"), QStringLiteral("#IDS_Size_Height")},
                         {kComma}, {QString()})
{
}

KxDoubleSize::KxDoubleSize(QObject *parent)
    : KxSpinGroupControl(parent, true, {QStringLiteral("#IDS_Size_Width"), QStringLiteral("#IDS_Size_Height")},
                         {kComma}, {QString()})
{
}

KxLine::KxLine(QObject *parent)
    : KxSpinGroupControl(parent, false,
                         {QStringLiteral("#IDS_Point_Start"), QString(), QStringLiteral("#IDS_Point_End"), QString()},
                         {kComma, kBar, kComma}, {QStringLiteral(","), QString(), QStringLiteral(",")})
{
}
