#pragma once
// Image requests: the value of "IMGGET" and its siblings ("0T1R2F50Q") and the encoded image.
#include <QByteArray>
#include <QImage>
#include <QString>

struct VcImageRequest
{
    int type = 0;      // "T": 0 a new image, 1 the image of the last read
    int ratio = 0;     // "R": 0 full size, 1 half, 2 quarter
    int format = 0;    // "F": 0 BMP, 1 raw 8-bit gray, 2 JPEG, 3 PNG
    int quality = 90;  // "Q": JPEG quality 1..100
    int prepro = 0;    // "I": 0 as taken, 1 sharpened, 2 binarised

    // Letter-tagged parts in any order; unknown letters or values out of range fail. A bare
    // number (a page's capture button) asks for the defaults.
    static bool parse(const QByteArray &value, VcImageRequest *request, QString *error);
};

namespace VcImageCodec {
QString formatName(int format);  // "bmp", "raw", "jpeg", "png"
// The image after the request's preprocessing.
QImage preprocessed(const QImage &gray, int prepro);
// Encodes the gray image as the request asks; empty when encoding fails.
QByteArray encode(const QImage &gray, const VcImageRequest &request);
}  // namespace VcImageCodec
