#include "SettingCodeEncoder.h"

#include <QStringList>

#include <ZXing/ReadBarcode.h>
#include <zint.h>

namespace SettingCodeEncoder {

QImage encode(SettingCodeType type, const QString &text, QString *error)
{
    zint_symbol *s = ZBarcode_Create();
    if (!s) {
        *error = QStringLiteral("out of memory");
        return QImage();
    }
    s->input_mode = DATA_MODE;
    s->show_hrt = 0;
    s->border_width = 1;
    s->height = 30.0f;
    s->scale = 1.0f;
    switch (type) {
    case SettingCodeType::Code128:
        s->symbology = BARCODE_CODE128;
        s->output_options |= READER_INIT;
        break;
    case SettingCodeType::Pdf417:
        s->symbology = BARCODE_PDF417;
        break;
    case SettingCodeType::QrCode:
        s->symbology = BARCODE_QRCODE;
        s->scale = 2.0f;
        break;
    case SettingCodeType::DataMatrix:
    case SettingCodeType::DataMatrixProgramming:
        s->symbology = BARCODE_DATAMATRIX;
        s->option_3 = DM_SQUARE;
        s->height = 60.0f;
        s->scale = 2.0f;
        if (type == SettingCodeType::DataMatrixProgramming)
            s->output_options |= READER_INIT;
        break;
    }
    // Quiet zones so the code reads on its own, whatever surrounds it on the page.
    s->output_options |= BARCODE_QUIET_ZONES;
    const QByteArray bytes = text.toLocal8Bit();
    QImage out;
    const int rc = ZBarcode_Encode_and_Buffer(
        s, reinterpret_cast<const unsigned char *>(bytes.constData()), bytes.size(), 0);
    if (rc >= ZINT_ERROR || !s->bitmap || s->bitmap_width <= 0 || s->bitmap_height <= 0) {
        *error = QStringLiteral("\"%1\": %2").arg(text, QString::fromLatin1(s->errtxt));
    } else {
        out = QImage(s->bitmap_width, s->bitmap_height, QImage::Format_Grayscale8);
        for (int y = 0; y < s->bitmap_height; ++y) {
            const unsigned char *row = s->bitmap + size_t(y) * size_t(s->bitmap_width) * 3;
            uchar *dst = out.scanLine(y);
            for (int x = 0; x < s->bitmap_width; ++x)
                dst[x] = row[x * 3] < 128 ? 0 : 255;
        }
    }
    ZBarcode_Delete(s);
    return out;
}

QStringList decode(const QImage &image)
{
    const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
    ZXing::ImageView view(grey.constBits(), grey.width(), grey.height(), ZXing::ImageFormat::Lum,
                          grey.bytesPerLine());
    ZXing::DecodeHints hints;
    hints.setFormats(ZXing::BarcodeFormat::Code128 | ZXing::BarcodeFormat::PDF417
                     | ZXing::BarcodeFormat::QRCode | ZXing::BarcodeFormat::DataMatrix);
    hints.setTryHarder(true);
    hints.setTryRotate(false);
    QStringList texts;
    for (const ZXing::Result &r : ZXing::ReadBarcodes(view, hints)) {
        if (r.isValid())
            texts << QString::fromStdString(r.text());
    }
    return texts;
}

QImage encodeVerified(SettingCodeType type, const QString &text, QString *error)
{
    QImage image = encode(type, text, error);
    if (image.isNull())
        return image;
    const QStringList read = decode(image);
    if (!read.contains(text)) {
        *error = QStringLiteral("the code of \"%1\" does not read back (read: \"%2\")")
                     .arg(text, read.join(QStringLiteral("\", \"")));
        return QImage();
    }
    return image;
}

bool typeFromName(const QString &name, SettingCodeType *type)
{
    static const QList<QPair<QString, SettingCodeType>> names = {
        {QStringLiteral("1d"), SettingCodeType::Code128},
        {QStringLiteral("code128"), SettingCodeType::Code128},
        {QStringLiteral("pdf417"), SettingCodeType::Pdf417},
        {QStringLiteral("qr"), SettingCodeType::QrCode},
        {QStringLiteral("dm"), SettingCodeType::DataMatrix},
        {QStringLiteral("dmp"), SettingCodeType::DataMatrixProgramming},
    };
    for (const auto &entry : names) {
        if (entry.first.compare(name, Qt::CaseInsensitive) == 0) {
            *type = entry.second;
            return true;
        }
    }
    return false;
}

} // namespace SettingCodeEncoder
