#include "VcSymbology.h"

#include <ZXing/BarcodeFormat.h>
#include <zint.h>

namespace {

int zx(ZXing::BarcodeFormat f)
{
    return int(f);
}

QString simplified(const QString &name)
{
    QString s = name.toLower();
    s.remove(QLatin1Char(' '));
    s.remove(QLatin1Char('-'));
    s.remove(QLatin1Char('_'));
    return s;
}

}  // namespace

namespace VcSymbologies {

const QList<VcSymbology> &all()
{
    using F = ZXing::BarcodeFormat;
    static const QList<VcSymbology> table = {
        {"Code 128", "002", BARCODE_CODE128, zx(F::Code128), "C28ENA", false},
        {"GS1-128", "003", BARCODE_GS1_128, zx(F::Code128), "G28ENA", false},
        {"Code 39", "004", BARCODE_CODE39, zx(F::Code39), "C39ENA", false},
        {"Code 93", "005", BARCODE_CODE93, zx(F::Code93), "C93ENA", false},
        {"Code 11", "006", BARCODE_CODE11, 0, "C11ENA", false},
        {"Codabar", "007", BARCODE_CODABAR, zx(F::Codabar), "CBAENA", false},
        {"Interleaved 2 of 5", "008", BARCODE_C25INTER, zx(F::ITF), "I25ENA", false},
        {"Matrix 2 of 5", "009", BARCODE_C25STANDARD, 0, "M25ENA", false},
        {"EAN-13", "010", BARCODE_EANX, zx(F::EAN13), "E13ENA", false},
        {"EAN-8", "011", BARCODE_EANX, zx(F::EAN8), "EA8ENA", false},
        {"UPC-A", "012", BARCODE_UPCA, zx(F::UPCA), "UPAENA", false},
        {"UPC-E", "013", BARCODE_UPCE, zx(F::UPCE), "UPEENA", false},
        {"MSI Plessey", "014", BARCODE_MSI_PLESSEY, 0, "MSIENA", false},
        {"GS1 DataBar", "015", BARCODE_DBAR_OMN, zx(F::DataBar), "D12ENA", false},
        {"QR Code", "032", BARCODE_QRCODE, zx(F::QRCode), "QRCENA", true},
        {"Data Matrix", "033", BARCODE_DATAMATRIX, zx(F::DataMatrix), "DMXENA", true},
        {"PDF417", "034", BARCODE_PDF417, zx(F::PDF417), "PDFENA", true},
        {"MicroPDF417", "035", BARCODE_MICROPDF417, 0, "MPDENA", true},
        {"Aztec", "036", BARCODE_AZTEC, zx(F::Aztec), "AZTENA", true},
        {"Han Xin", "037", BARCODE_HANXIN, 0, "HXNENA", true},
        {"MaxiCode", "038", BARCODE_MAXICODE, zx(F::MaxiCode), "MXCENA", true},
        {"DotCode", "039", BARCODE_DOTCODE, 0, "DOTENA", true},
    };
    return table;
}

const VcSymbology *byName(const QString &name)
{
    const QString wanted = simplified(name);
    for (const VcSymbology &s : all()) {
        if (simplified(s.name) == wanted)
            return &s;
    }
    // Common short names.
    static const QList<QPair<QString, QString>> aliases = {
        {"qr", "QR Code"}, {"dm", "Data Matrix"}, {"ean13", "EAN-13"}, {"ean8", "EAN-8"},
        {"itf", "Interleaved 2 of 5"}, {"pdf", "PDF417"}, {"gs1128", "GS1-128"},
        {"upca", "UPC-A"}, {"upce", "UPC-E"}, {"databar", "GS1 DataBar"}};
    for (const auto &a : aliases) {
        if (a.first == wanted)
            return byName(a.second);
    }
    return nullptr;
}

const VcSymbology *byCodeId(const QString &codeId)
{
    for (const VcSymbology &s : all()) {
        if (s.codeId == codeId)
            return &s;
    }
    return nullptr;
}

const VcSymbology *byZxing(int format, bool gs1)
{
    if (format == zx(ZXing::BarcodeFormat::Code128))
        return byCodeId(gs1 ? QStringLiteral("003") : QStringLiteral("002"));
    for (const VcSymbology &s : all()) {
        if (s.zxing == format)
            return &s;
    }
    return nullptr;
}

}  // namespace VcSymbologies
