#include "KxDecodeImage.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <ZXing/ReadBarcode.h>

namespace {
QImage toGrey(const QImage &image)
{
    if (image.format() == QImage::Format_Grayscale8)
        return image;
    return image.convertToFormat(QImage::Format_Grayscale8);
}
}  // namespace

QList<KxFoundCode> KxDecodeCodes(const QImage &image)
{
    QList<KxFoundCode> out;
    if (image.isNull())
        return out;
    const QImage grey = toGrey(image);
    // The stride must be the real bytes per line: Qt pads rows to 4 bytes.
    ZXing::ImageView view(grey.constBits(), grey.width(), grey.height(), ZXing::ImageFormat::Lum,
                          grey.bytesPerLine());
    ZXing::DecodeHints hints;
    hints.setFormats(ZXing::BarcodeFormat::Any);
    hints.setTryHarder(true);
    hints.setTryRotate(true);
    // ZXing 1.4 asserts when it merges a linear code found again in a downscaled copy of a
    // large image; reader images are decoded at full size only.
    hints.setTryDownscale(false);
    const ZXing::Results results = ZXing::ReadBarcodes(view, hints);
    for (const ZXing::Result &r : results) {
        if (!r.isValid())
            continue;
        KxFoundCode code;
        code.text = QString::fromStdString(r.text());
        code.format = QString::fromStdString(ZXing::ToString(r.format()));
        const auto &p = r.position();
        for (int i = 0; i < 4; ++i)
            code.position << QPoint(p[i].x, p[i].y);
        out << code;
    }
    return out;
}

QImage KxImageFromBytes(const QByteArray &bytes, int width, int height)
{
    if (bytes.isEmpty())
        return QImage();
    if (width > 0 && height > 0 && qint64(width) * height == bytes.size()) {
        QImage raw(width, height, QImage::Format_Grayscale8);
        for (int y = 0; y < height; ++y)
            memcpy(raw.scanLine(y), bytes.constData() + qint64(y) * width, size_t(width));
        return raw;
    }
    return QImage::fromData(bytes);
}

bool decodeImage(QString &text, const QByteArray &image, int width, int height, QByteArray &data,
                 int *timeMs)
{
    QElapsedTimer timer;
    timer.start();
    const QList<KxFoundCode> codes = KxDecodeCodes(KxImageFromBytes(image, width, height));
    QStringList texts;
    for (const KxFoundCode &c : codes)
        texts << c.text;
    text = texts.join(QLatin1Char(';'));
    data = KxFoundCodesToJson(codes);
    if (timeMs)
        *timeMs = int(timer.elapsed());
    return !codes.isEmpty();
}

QByteArray KxFoundCodesToJson(const QList<KxFoundCode> &codes)
{
    QJsonArray list;
    for (const KxFoundCode &c : codes) {
        QJsonArray points;
        for (const QPoint &p : c.position)
            points << p.x() << p.y();
        list << QJsonObject{{QStringLiteral("text"), c.text},
                            {QStringLiteral("format"), c.format},
                            {QStringLiteral("points"), points}};
    }
    return QJsonDocument(list).toJson(QJsonDocument::Compact);
}

QList<KxFoundCode> KxFoundCodesFromJson(const QByteArray &json)
{
    QList<KxFoundCode> out;
    const QJsonDocument doc = QJsonDocument::fromJson(json);
    if (!doc.isArray())
        return out;
    for (const QJsonValue &v : doc.array()) {
        const QJsonObject o = v.toObject();
        KxFoundCode c;
        c.text = o.value(QStringLiteral("text")).toString();
        c.format = o.value(QStringLiteral("format")).toString();
        const QJsonArray pts = o.value(QStringLiteral("points")).toArray();
        for (int i = 0; i + 1 < pts.size(); i += 2)
            c.position << QPoint(pts.at(i).toInt(), pts.at(i + 1).toInt());
        out << c;
    }
    return out;
}
