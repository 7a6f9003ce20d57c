#pragma once
// Reads codes from an 8-bit gray image with ZXing, inside a decode area, for the enabled
// symbologies only.
#include "VcSymbology.h"

#include <QImage>
#include <QList>
#include <QPolygonF>
#include <QRect>

#include <algorithm>

struct VcDecodeOptions
{
    QList<const VcSymbology *> enabled;  // nothing enabled reads nothing
    QList<QRect> areas;                  // decode areas; none: the whole image
    int maxCodes = 1;
    // Where the reader's localisation expects symbols: each is read on its own as well, since
    // one pass over the whole image does not find every symbol of a crowded scene.
    QList<QRect> candidates;

    bool inArea(const QPoint &p) const
    {
        return areas.isEmpty() || std::any_of(areas.begin(), areas.end(), [&p](const QRect &a) { return a.contains(p); });
    }
};

// Region strings of decode areas: "<count>S" then "<index>I<left>L<top>T<right>R<bottom>B" per
// area, edges inclusive.
namespace VcRegions {
QList<QRect> parse(const QByteArray &text);
QByteArray compose(const QList<QRect> &areas);
}

struct VcDecoded
{
    const VcSymbology *symbology = nullptr;
    QByteArray data;
    QPolygonF box;  // image pixels
};

namespace VcDecoder {
QList<VcDecoded> decode(const QImage &gray, const VcDecodeOptions &options);
}
