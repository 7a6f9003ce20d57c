#include "VcDecoder.h"

#include <ZXing/ReadBarcode.h>

#include <QRegularExpression>

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
    if (formats == 0 || options.maxCodes < 1)
        return out;
    const QList<QRect> areas = options.areas.isEmpty() ? QList<QRect>{gray.rect()} : options.areas;
    for (const QRect &wanted : areas) {
        const QRect area = wanted.intersected(gray.rect());
        if (area.width() < 8 || area.height() < 8 || out.size() >= options.maxCodes)
            continue;
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
    }
    return out;
}

}  // namespace VcDecoder

namespace VcRegions {

QList<QRect> parse(const QByteArray &text)
{
    static const QRegularExpression region(
        QStringLiteral("(?<index>\\d+)I(?<left>\\d+)L(?<top>\\d+)T(?<right>\\d+)R(?<bottom>\\d+)B"));
    QList<QRect> out;
    auto it = region.globalMatch(QString::fromLatin1(text));
    while (it.hasNext()) {
        const auto m = it.next();
        const QRect r(QPoint(m.captured("left").toInt(), m.captured("top").toInt()),
                      QPoint(m.captured("right").toInt(), m.captured("bottom").toInt()));
        if (r.isValid())
            out << r;
    }
    return out;
}

QByteArray compose(const QList<QRect> &areas)
{
    QString s = QStringLiteral("%1S").arg(areas.size());
    for (int i = 0; i < areas.size(); ++i) {
        const QRect &r = areas[i];
        s += QStringLiteral("%1I%2L%3T%4R%5B").arg(i).arg(r.left()).arg(r.top()).arg(r.right()).arg(r.bottom());
    }
    return s.toLatin1();
}

}  // namespace VcRegions
