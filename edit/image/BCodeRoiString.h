#pragma once
// The value form of a reader's decode areas: "<count>S" then "<index>I<left>L<top>T<right>R<bottom>B"
// per area, all decimal, in reader (sensor) pixels.
#include <QList>
#include <QRect>
#include <QString>

struct BCodeRoi
{
    int index = 0;
    QRect rect;  // left, top, right and bottom inclusive, as QRect keeps them
    bool operator==(const BCodeRoi &o) const { return index == o.index && rect == o.rect; }
};

namespace BCodeRoiString {

QString compose(const QList<BCodeRoi> &rois);
// The single-area form "1S0I%1L%2T%3R%4B".
QString single(const QRect &rect);
// Every well-formed area of text; a count that disagrees with the areas found is ignored,
// malformed parts are skipped.
QList<BCodeRoi> parse(const QString &text);
// Reader rectangle to shown-image rectangle and back; rateW/rateH are sensor size divided by
// shown size ("penWidthRate", "penHeighRate").
QRect toImage(const QRect &reader, double rateW, double rateH);
QRect toReader(const QRect &image, double rateW, double rateH);
// A point outside rect extends it to include the point.
QRect extendTo(const QRect &rect, const QPoint &point);

}  // namespace BCodeRoiString
