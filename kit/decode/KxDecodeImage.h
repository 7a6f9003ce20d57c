#pragma once
// Local decoding of reader images (no widgets): every symbology, with where each code was found.
#include <QByteArray>
#include <QImage>
#include <QList>
#include <QPolygon>
#include <QString>

struct KxFoundCode
{
    QString text;
    QString format;    // symbology name, e.g. "QRCode", "Code128"
    QPolygon position; // four corners in image pixels
};

// Decodes every code in image (any format QImage holds; converted to 8-bit grey when needed).
QList<KxFoundCode> KxDecodeCodes(const QImage &image);

// Turns reader image bytes into an 8-bit grey image: an encoded file (BMP, JPEG, PNG, ...) or,
// when its size is exactly width x height, raw 8-bit rows. Null when neither fits.
QImage KxImageFromBytes(const QByteArray &bytes, int width = 0, int height = 0);

// The kit's decode call: true when at least one code was found. text: the codes' texts joined
// by ";"; data: the codes as JSON (see KxFoundCodesToJson); timeMs: decode time in ms.
bool decodeImage(QString &text, const QByteArray &image, int width, int height, QByteArray &data,
                 int *timeMs = nullptr);

// [{"text":..,"format":..,"points":[x0,y0,x1,y1,...]}, ...] and back; bad input gives an
// empty list.
QByteArray KxFoundCodesToJson(const QList<KxFoundCode> &codes);
QList<KxFoundCode> KxFoundCodesFromJson(const QByteArray &json);
