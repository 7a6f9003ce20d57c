#include "BCodeRoiString.h"

#include <QRegularExpression>

namespace BCodeRoiString {

QString compose(const QList<BCodeRoi> &rois)
{
    QString out = QStringLiteral("%1S").arg(rois.size());
    for (const BCodeRoi &r : rois) {
        out += QStringLiteral("%1I%2L%3T%4R%5B")
                   .arg(r.index)
                   .arg(r.rect.left())
                   .arg(r.rect.top())
                   .arg(r.rect.right())
                   .arg(r.rect.bottom());
    }
    return out;
}

QString single(const QRect &rect)
{
    return QStringLiteral("1S0I%1L%2T%3R%4B")
        .arg(rect.left())
        .arg(rect.top())
        .arg(rect.right())
        .arg(rect.bottom());
}

QList<BCodeRoi> parse(const QString &text)
{
    static const QRegularExpression re(QStringLiteral(
        "(?<index>\\d+)I(?<left>\\d+)L(?<top>\\d+)T(?<right>\\d+)R(?<bottom>\\d+)B"));
    QList<BCodeRoi> out;
    const int s = text.indexOf(QLatin1Char('S'));
    const QString body = s >= 0 ? text.mid(s + 1) : text;
    auto it = re.globalMatch(body);
    while (it.hasNext()) {
        const auto m = it.next();
        bool ok[5];
        const int index = m.captured(QStringLiteral("index")).toInt(&ok[0]);
        const int left = m.captured(QStringLiteral("left")).toInt(&ok[1]);
        const int top = m.captured(QStringLiteral("top")).toInt(&ok[2]);
        const int right = m.captured(QStringLiteral("right")).toInt(&ok[3]);
        const int bottom = m.captured(QStringLiteral("bottom")).toInt(&ok[4]);
        if (!(ok[0] && ok[1] && ok[2] && ok[3] && ok[4]) || right < left || bottom < top)
            continue;
        out << BCodeRoi{index, QRect(QPoint(left, top), QPoint(right, bottom))};
    }
    return out;
}

QRect toImage(const QRect &reader, double rateW, double rateH)
{
    if (rateW <= 0 || rateH <= 0)
        return reader;
    return QRect(QPoint(qRound(reader.left() / rateW), qRound(reader.top() / rateH)),
                 QPoint(qRound(reader.right() / rateW), qRound(reader.bottom() / rateH)));
}

QRect toReader(const QRect &image, double rateW, double rateH)
{
    if (rateW <= 0 || rateH <= 0)
        return image;
    return QRect(QPoint(qRound(image.left() * rateW), qRound(image.top() * rateH)),
                 QPoint(qRound(image.right() * rateW), qRound(image.bottom() * rateH)));
}

QRect extendTo(const QRect &rect, const QPoint &point)
{
    if (rect.contains(point))
        return rect;
    return rect.united(QRect(point, QSize(1, 1)));
}

}  // namespace BCodeRoiString
