#pragma once
// Image requests: the value of "IMGGET" and its siblings ("0T1R2F50Q") and the encoded image.
#include <QByteArray>
#include <QImage>
#include <QString>

struct VcImageRequest
{
    int type = 0;      // "T": 0 a new image, 1 the image of the last read
    int ratio = 0;     // "R": 0 full size, 1 half, 2 quarter
    int format = 0;    // "F": 0 BMP, 1 PNG, 2 JPEG, 3 raw 8-bit gray
    int quality = 80;  // "Q": JPEG quality 1..100
    int prepro = 0;    // "I": raw only; 0 as taken, 1 contrast stretched

    // Letter-tagged parts in any order; unknown letters or values out of range fail.
    static bool parse(const QByteArray &value, VcImageRequest *request, QString *error);
};

namespace VcImageCodec {
QString formatName(int format);  // "bmp", "png", "jpeg", "raw"
// Encodes the gray image as the request asks; empty when encoding fails.
QByteArray encode(const QImage &gray, const VcImageRequest &request);
}  // namespace VcImageCodec
