#include "VcImageCodec.h"

#include <QBuffer>
#include <QRegularExpression>

bool VcImageRequest::parse(const QByteArray &value, VcImageRequest *r, QString *error)
{
    VcImageRequest out;
    static const QRegularExpression part(QStringLiteral("(\\d{1,4})([A-Z])"));
    const QString text = QString::fromLatin1(value).trimmed();
    int at = 0;
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
        case 'I': out.prepro = n; ok = n <= 1; break;
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
    case 1: return QStringLiteral("png");
    case 2: return QStringLiteral("jpeg");
    default: return QStringLiteral("raw");
    }
}

QByteArray encode(const QImage &image, const VcImageRequest &request)
{
    const QImage gray = image.convertToFormat(QImage::Format_Grayscale8);
    if (request.format == 3) {
        int lo = 0, hi = 255;
        if (request.prepro == 1) {
            lo = 255;
            hi = 0;
            for (int y = 0; y < gray.height(); ++y) {
                const uchar *row = gray.constScanLine(y);
                for (int x = 0; x < gray.width(); ++x) {
                    lo = qMin(lo, int(row[x]));
                    hi = qMax(hi, int(row[x]));
                }
            }
        }
        const double k = hi > lo ? 255.0 / (hi - lo) : 1.0;
        QByteArray raw;
        raw.reserve(gray.width() * gray.height());
        for (int y = 0; y < gray.height(); ++y) {
            const uchar *row = gray.constScanLine(y);
            if (request.prepro == 1) {
                for (int x = 0; x < gray.width(); ++x)
                    raw += char(qBound(0, int((row[x] - lo) * k + 0.5), 255));
            } else {
                raw.append(reinterpret_cast<const char *>(row), gray.width());
            }
        }
        return raw;
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const char *fmt = request.format == 0 ? "BMP" : request.format == 1 ? "PNG" : "JPEG";
    // PNG at light compression: it is made on every request of a live view.
    if (!gray.save(&buffer, fmt, request.format == 2 ? request.quality : request.format == 1 ? 80 : -1))
        return QByteArray();
    return bytes;
}

}  // namespace VcImageCodec
