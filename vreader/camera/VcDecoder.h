#pragma once
// Reads codes from an 8-bit gray image with ZXing, inside a decode area, for the enabled
// symbologies only.
#include "VcSymbology.h"

#include <QImage>
#include <QList>
#include <QPolygonF>
#include <QRect>

struct VcDecodeOptions
{
    QList<const VcSymbology *> enabled;  // nothing enabled reads nothing
    QRect area;                          // null: the whole image
    int maxCodes = 1;
    // Where the reader's localisation expects symbols: each is read on its own as well, since
    // one pass over the whole image does not find every symbol of a crowded scene.
    QList<QRect> candidates;
};

struct VcDecoded
{
    const VcSymbology *symbology = nullptr;
    QByteArray data;
    QPolygonF box;  // image pixels
};

namespace VcDecoder {
QList<VcDecoded> decode(const QImage &gray, const VcDecodeOptions &options);
}
