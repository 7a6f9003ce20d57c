#include "VcImageCodec.h"

#include <QBuffer>
#include <QRegularExpression>

bool VcImageRequest::parse(const QByteArray &value, VcImageRequest *r, QString *error)
{
    VcImageRequest out;
    static const QRegularExpression part(QStringLiteral("(\\d{1,4})([A-Z])"));
    const QString text = QString::fromLatin1(value).trimmed();
    // A page's capture button sends a bare number: an image with every default.
    static const QRegularExpression bare(QStringLiteral("^\\d{0,3}$"));
    int at = bare.match(text).hasMatch() ? text.size() : 0;
    while (at < text.size()) {
        const auto m = part.match(text, at, QRegularExpression::NormalMatch,
                                  QRegularExpression::AnchoredMatchOption);
        if (!m.hasMatch()) {
            *error = QStringLiteral("malformed image request \"%1\"").arg(text);
            return false;
        }
        const int n = m.captured(1).toInt();
        const QChar letter = m.captured(2).at(0);
        bool ok = true;
        switch (letter.toLatin1()) {
        case 'T': out.type = n; ok = n <= 1; break;
        case 'R': out.ratio = n; ok = n <= 2; break;
        case 'F': out.format = n; ok = n <= 3; break;
        case 'Q': out.quality = n; ok = n >= 1 && n <= 100; break;
        case 'I': out.prepro = n; ok = n <= 2; break;
        default: ok = false;
        }
        if (!ok) {
            *error = QStringLiteral("image request part %1%2 is not supported").arg(n).arg(letter);
            return false;
        }
        at = m.capturedEnd();
    }
    *r = out;
    return true;
}

namespace VcImageCodec {

QString formatName(int format)
{
    switch (format) {
    case 0: return QStringLiteral("bmp");
    case 1: return QStringLiteral("raw");
    case 2: return QStringLiteral("jpeg");
    default: return QStringLiteral("png");
    }
}

QImage preprocessed(const QImage &gray, int prepro)
{
    if (prepro == 0)
        return gray;
    QImage out(gray.size(), QImage::Format_Grayscale8);
    if (prepro == 2) {
        // Binarised at the mean brightness.
        quint64 sum = 0;
        for (int y = 0; y < gray.height(); ++y) {
            const uchar *row = gray.constScanLine(y);
            for (int x = 0; x < gray.width(); ++x)
                sum += row[x];
        }
        const int mean = int(sum / quint64(qMax(1, gray.width() * gray.height())));
        for (int y = 0; y < gray.height(); ++y) {
            const uchar *row = gray.constScanLine(y);
            uchar *dst = out.scanLine(y);
            for (int x = 0; x < gray.width(); ++x)
                dst[x] = row[x] > mean ? 255 : 0;
        }
        return out;
    }
    // Sharpened: the pixel against its four neighbours.
    for (int y = 0; y < gray.height(); ++y) {
        const uchar *up = gray.constScanLine(qMax(0, y - 1));
        const uchar *row = gray.constScanLine(y);
        const uchar *down = gray.constScanLine(qMin(gray.height() - 1, y + 1));
        uchar *dst = out.scanLine(y);
        for (int x = 0; x < gray.width(); ++x) {
            const int l = row[qMax(0, x - 1)], r = row[qMin(gray.width() - 1, x + 1)];
            dst[x] = uchar(qBound(0, 5 * row[x] - l - r - up[x] - down[x], 255));
        }
    }
    return out;
}

QByteArray encode(const QImage &image, const VcImageRequest &request)
{
    const QImage gray = preprocessed(image.convertToFormat(QImage::Format_Grayscale8), request.prepro);
    if (request.format == 1) {
        QByteArray raw;
        raw.reserve(gray.width() * gray.height());
        for (int y = 0; y < gray.height(); ++y)
            raw.append(reinterpret_cast<const char *>(gray.constScanLine(y)), gray.width());
        return raw;
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const char *fmt = request.format == 0 ? "BMP" : request.format == 2 ? "JPEG" : "PNG";
    // PNG at light compression: it is made on every request of a live view.
    if (!gray.save(&buffer, fmt, request.format == 2 ? request.quality : request.format == 3 ? 80 : -1))
        return QByteArray();
    return bytes;
}

}  // namespace VcImageCodec
