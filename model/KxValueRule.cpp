#include "KxValueRule.h"

#include "KxPageInfo.h"

#include <QHash>
#include <QRegularExpression>
#include <cmath>

namespace {

KxValueRule::Kind kindOf(const QString &t)
{
    static const QHash<QString, KxValueRule::Kind> kinds = {
        {QStringLiteral("ComboBox"), KxValueRule::Option},
        {QStringLiteral("ButtonGroup"), KxValueRule::Option},
        {QStringLiteral("Radio"), KxValueRule::Option},
        {QStringLiteral("ToggleButton"), KxValueRule::Option},
        {QStringLiteral("CheckBox"), KxValueRule::OptionSet},
        {QStringLiteral("SpinBox"), KxValueRule::Integer},
        {QStringLiteral("Slider"), KxValueRule::Integer},
        {QStringLiteral("SpinSlider"), KxValueRule::Integer},
        {QStringLiteral("DoubleSpinBox"), KxValueRule::Real},
        {QStringLiteral("RangeBox"), KxValueRule::IntPair},
        {QStringLiteral("Point"), KxValueRule::IntPair},
        {QStringLiteral("Size"), KxValueRule::IntPair},
        {QStringLiteral("DoubleRangeBox"), KxValueRule::RealPair},
        {QStringLiteral("DoublePoint"), KxValueRule::RealPair},
        {QStringLiteral("DoubleSize"), KxValueRule::RealPair},
        {QStringLiteral("DoubleSlider"), KxValueRule::RealPair},
        {QStringLiteral("Line"), KxValueRule::IntLine},
        {QStringLiteral("ToggleSlider"), KxValueRule::SwitchValue},
        {QStringLiteral("LineEdit"), KxValueRule::Text},
        {QStringLiteral("TextEdit"), KxValueRule::Text},
        {QStringLiteral("RegExpEdit"), KxValueRule::Text},
        {QStringLiteral("HexEdit"), KxValueRule::Hex},
        {QStringLiteral("Ipv4"), KxValueRule::Ipv4},
    };
    return kinds.value(t, KxValueRule::Free);
}

QChar separatorOf(const QString &t)
{
    if (t == QLatin1String("RangeBox") || t == QLatin1String("DoubleRangeBox"))
        return QLatin1Char('|');
    return QLatin1Char(',');
}

bool setBail(QString *why, const QString &text)
{
    if (why)
        *why = text;
    return false;
}

} // namespace

KxValueRule KxValueRule::fromItem(const KxItemInfo &item)
{
    KxValueRule r;
    r.controlType = item.controlType;
    r.kind = kindOf(item.controlType);
    r.separator = separatorOf(item.controlType);
    r.hasDefault = item.defaultValue.isValid();
    r.defaultValue = item.defaultValue.toString();
    r.limit = KxLimit::parse(item.limit);

    if (r.kind == Option || r.kind == OptionSet) {
        const QList<KxFeatureInfo> all = item.options();
        for (const KxFeatureInfo &f : all) {
            if (r.limit.isEmpty() || r.limit.allows(f.key))
                r.options.append(f);
        }
        if (item.controlType == QLatin1String("ToggleButton"))
            r.options = r.options.mid(0, 2);
        r.hidden = item.stringListHide.split(QLatin1Char('|'), Qt::SkipEmptyParts);
    }

    bool ok = false;
    const QVariant minV = item.attribute(QStringLiteral("Minimum"));
    const QVariant maxV = item.attribute(QStringLiteral("Maximum"));
    if (r.isNumeric()) {
        r.minimum = minV.toString().trimmed().toDouble(&ok);
        r.hasMinimum = minV.isValid() && ok;
        r.maximum = maxV.toString().trimmed().toDouble(&ok);
        r.hasMaximum = maxV.isValid() && ok;
    }
    if (item.controlType == QLatin1String("Slider")) {
        const qint64 mul = item.attribute(QStringLiteral("Multiple")).toString().toLongLong(&ok);
        r.multiple = ok && mul != 0 ? mul : 1;
        r.remainder = item.attribute(QStringLiteral("Remainder")).toString().toLongLong(&ok);
        if (!ok)
            r.remainder = 0;
        // Minimum and Maximum count slider positions; turn them into values.
        r.minimum = double(r.remainder) + r.minimum * double(r.multiple);
        r.maximum = double(r.remainder) + r.maximum * double(r.multiple);
        if (r.minimum > r.maximum)
            std::swap(r.minimum, r.maximum);
    }
    if (item.controlType == QLatin1String("SpinBox")) {
        // The parity switch is an attribute spelled other than "Limit" (which the loader takes).
        for (auto it = item.attributes.constBegin(); it != item.attributes.constEnd(); ++it) {
            if (it.key().compare(QLatin1String("Limit"), Qt::CaseInsensitive) != 0)
                continue;
            const QString v = it.value().toString();
            if (v.compare(QLatin1String("Odd"), Qt::CaseInsensitive) == 0)
                r.parity = 1;
            else if (v.compare(QLatin1String("Even"), Qt::CaseInsensitive) == 0)
                r.parity = 2;
        }
    }
    if (r.kind == Text || r.kind == Hex) {
        QVariant len = item.attribute(QStringLiteral("MaxLength"));
        if (!len.isValid() && r.kind == Text)
            len = item.attribute(QStringLiteral("Maximum"));
        const int n = len.toString().trimmed().toInt(&ok);
        if (len.isValid() && ok && n >= 0)
            r.maxLength = n;
        if (r.kind == Text)
            r.pattern = item.attribute(QStringLiteral("RegExp")).toString();
    }
    return r;
}

bool KxValueRule::isNumeric() const
{
    return kind == Integer || kind == Real || kind == IntPair || kind == RealPair ||
           kind == IntLine || kind == SwitchValue;
}

bool KxValueRule::needsOptions() const
{
    return kind == Option || kind == OptionSet;
}

bool KxValueRule::needsRange() const
{
    return isNumeric();
}

bool KxValueRule::isEmpty(QString *why) const
{
    if (needsOptions() && options.isEmpty())
        return !setBail(why, QStringLiteral("no options"));
    if (needsRange()) {
        if (!hasMinimum || !hasMaximum)
            return !setBail(why, QStringLiteral("no Minimum or no Maximum"));
        if (minimum > maximum)
            return !setBail(why, QStringLiteral("Minimum %1 above Maximum %2")
                                     .arg(minimum)
                                     .arg(maximum));
        qint64 lo = 0;
        qint64 hi = 0;
        if (kind == Integer && limit.bounds(&lo, &hi) &&
            (double(hi) < minimum || double(lo) > maximum))
            return !setBail(why, QStringLiteral("Limit leaves no value inside the range"));
    }
    return false;
}

bool KxValueRule::acceptsInteger(const QString &v, QString *why) const
{
    bool ok = false;
    const qint64 n = v.trimmed().toLongLong(&ok, 10);
    if (!ok)
        return setBail(why, QStringLiteral("\"%1\" is not an integer").arg(v));
    if ((hasMinimum && double(n) < minimum) || (hasMaximum && double(n) > maximum))
        return setBail(why, QStringLiteral("%1 outside %2..%3").arg(n).arg(minimum).arg(maximum));
    if (kind == Integer && !limit.ranges.isEmpty() && !limit.allowsNumber(n))
        return setBail(why, QStringLiteral("%1 not allowed by the limit").arg(n));
    if (multiple != 1 && (n - remainder) % multiple != 0)
        return setBail(why, QStringLiteral("%1 is not %2 + a multiple of %3")
                                .arg(n)
                                .arg(remainder)
                                .arg(multiple));
    if ((parity == 1 && n % 2 == 0) || (parity == 2 && n % 2 != 0))
        return setBail(why, QStringLiteral("%1 has the wrong parity").arg(n));
    return true;
}

bool KxValueRule::acceptsReal(const QString &v, QString *why) const
{
    bool ok = false;
    const double d = v.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(d))
        return setBail(why, QStringLiteral("\"%1\" is not a number").arg(v));
    if ((hasMinimum && d < minimum) || (hasMaximum && d > maximum))
        return setBail(why, QStringLiteral("%1 outside %2..%3").arg(d).arg(minimum).arg(maximum));
    return true;
}

bool KxValueRule::accepts(const QString &value, QString *why) const
{
    switch (kind) {
    case Free:
        return true;
    case Option:
        for (const KxFeatureInfo &f : options) {
            if (f.key == value)
                return true;
        }
        return setBail(why, QStringLiteral("\"%1\" is not an option").arg(value));
    case OptionSet: {
        if (value.isEmpty())
            return true;
        for (const QString &k : value.split(QLatin1Char('|'))) {
            bool found = false;
            for (const KxFeatureInfo &f : options)
                found = found || f.key == k;
            if (!found)
                return setBail(why, QStringLiteral("\"%1\" is not an option").arg(k));
        }
        return true;
    }
    case Integer:
        return acceptsInteger(value, why);
    case Real:
        return acceptsReal(value, why);
    case IntPair:
    case RealPair: {
        const QStringList parts = value.split(separator);
        if (parts.size() != 2)
            return setBail(why, QStringLiteral("\"%1\" is not two values joined by '%2'")
                                    .arg(value, separator));
        for (const QString &p : parts) {
            if (!(kind == IntPair ? acceptsInteger(p, why) : acceptsReal(p, why)))
                return false;
        }
        return true;
    }
    case IntLine: {
        const QStringList points = value.split(QLatin1Char('|'));
        if (points.size() != 2)
            return setBail(why, QStringLiteral("\"%1\" is not two points").arg(value));
        for (const QString &pt : points) {
            const QStringList xy = pt.split(QLatin1Char(','));
            if (xy.size() != 2)
                return setBail(why, QStringLiteral("\"%1\" is not a point").arg(pt));
            if (!acceptsInteger(xy[0], why) || !acceptsInteger(xy[1], why))
                return false;
        }
        return true;
    }
    case SwitchValue: {
        const QStringList parts = value.split(QLatin1Char('|'));
        if (parts.size() != 2 || (parts[0] != QLatin1String("0") && parts[0] != QLatin1String("1")))
            return setBail(why, QStringLiteral("\"%1\" is not \"state|value\"").arg(value));
        return acceptsInteger(parts[1], why);
    }
    case Text:
        if (maxLength >= 0 && value.size() > maxLength)
            return setBail(why, QStringLiteral("longer than %1 characters").arg(maxLength));
        if (!pattern.isEmpty()) {
            const QRegularExpression re(QRegularExpression::anchoredPattern(pattern));
            if (re.isValid() && !re.match(value).hasMatch())
                return setBail(why, QStringLiteral("does not match %1").arg(pattern));
        }
        return true;
    case Hex: {
        QString compact = value;
        compact.remove(QLatin1Char(' '));
        static const QRegularExpression hexRe(QStringLiteral("^[0-9A-Fa-f]*$"));
        if (!hexRe.match(compact).hasMatch())
            return setBail(why, QStringLiteral("not hexadecimal"));
        if (maxLength >= 0 && compact.size() > maxLength)
            return setBail(why, QStringLiteral("longer than %1 characters").arg(maxLength));
        return true;
    }
    case Ipv4: {
        static const QRegularExpression ipRe(
            QStringLiteral("^(25[0-5]|2[0-4]\\d|1\\d\\d|[1-9]?\\d)(\\.(25[0-5]|2[0-4]\\d|1\\d\\d|"
                           "[1-9]?\\d)){3}$"));
        if (!ipRe.match(value).hasMatch())
            return setBail(why, QStringLiteral("\"%1\" is not an IPv4 address").arg(value));
        return true;
    }
    }
    return true;
}

QString KxValueRule::describe() const
{
    if (needsOptions()) {
        QStringList parts;
        for (const KxFeatureInfo &f : options)
            parts << QStringLiteral("%1:%2").arg(f.key, f.text.toString());
        return parts.join(QLatin1Char('|'));
    }
    if (needsRange())
        return QStringLiteral("%1..%2").arg(minimum).arg(maximum);
    if ((kind == Text || kind == Hex) && maxLength >= 0)
        return QStringLiteral("text <= %1").arg(maxLength);
    return QStringLiteral("any");
}
