#include "VcDecoder.h"

#include <ZXing/ReadBarcode.h>

#include <algorithm>

namespace {

void readArea(const QImage &gray, const QRect &area, int formats, int maxCodes,
              const VcDecodeOptions &options, QList<VcDecoded> *out)
{
    ZXing::DecodeHints hints;
    hints.setFormats(ZXing::BarcodeFormats(static_cast<ZXing::BarcodeFormat>(formats)));
    hints.setTryHarder(true);
    hints.setTryRotate(true);
    // ZXing 1.4 asserts when it merges a linear code found again in a downscaled copy of a
    // large image; the reader's modules are small enough to be found at full size.
    hints.setTryDownscale(false);
    hints.setMaxNumberOfSymbols(quint8(qBound(1, maxCodes, 255)));
    const uchar *origin = gray.constBits() + size_t(area.top()) * size_t(gray.bytesPerLine()) + area.left();
    const ZXing::ImageView view(origin, area.width(), area.height(), ZXing::ImageFormat::Lum,
                                int(gray.bytesPerLine()));
    for (const ZXing::Result &r : ZXing::ReadBarcodes(view, hints)) {
        if (!r.isValid() || out->size() >= options.maxCodes)
            continue;
        const bool gs1 = r.symbologyIdentifier() == "]C1";
        const VcSymbology *s = VcSymbologies::byZxing(int(r.format()), gs1);
        // A Code 128 read while only GS1-128 is enabled (or the other way round) is not a read.
        if (!s || !options.enabled.contains(s))
            continue;
        VcDecoded d;
        d.symbology = s;
        const std::string text = r.text();
        d.data = QByteArray(text.data(), int(text.size()));
        for (const auto &p : r.position())
            d.box << QPointF(p.x + area.left(), p.y + area.top());
        const bool seen = std::any_of(out->begin(), out->end(), [&d](const VcDecoded &o) {
            return o.symbology == d.symbology && o.data == d.data
                && o.box.boundingRect().intersects(d.box.boundingRect());
        });
        if (!seen)
            out->append(d);
    }
}

}  // namespace

namespace VcDecoder {

QList<VcDecoded> decode(const QImage &image, const VcDecodeOptions &options)
{
    QList<VcDecoded> out;
    const QImage gray = image.format() == QImage::Format_Grayscale8
        ? image : image.convertToFormat(QImage::Format_Grayscale8);
    int formats = 0;
    for (const VcSymbology *s : options.enabled)
        formats |= s ? s->zxing : 0;
    const QRect area = options.area.isNull() ? gray.rect() : options.area.intersected(gray.rect());
    if (formats == 0 || area.width() < 8 || area.height() < 8 || options.maxCodes < 1)
        return out;
    readArea(gray, area, formats, options.maxCodes, options, &out);
    for (const QRect &candidate : options.candidates) {
        if (out.size() >= options.maxCodes)
            break;
        const QRect part = candidate.intersected(area);
        const bool found = std::any_of(out.begin(), out.end(), [&part](const VcDecoded &d) {
            return part.contains(d.box.boundingRect().center().toPoint());
        });
        if (!found && part.width() >= 8 && part.height() >= 8)
            readArea(gray, part, formats, 1, options, &out);
    }
    return out;
}

}  // namespace VcDecoder
