#pragma once
// Renders setting codes with Zint and reads each one back with ZXing: a code that does not decode
// to its own text is never handed out.
#include <QImage>
#include <QString>

enum class SettingCodeType {
    Code128 = 1,
    DataMatrix = 2,
    Pdf417 = 3,
    QrCode = 4,
    DataMatrixProgramming = 5,
};

namespace SettingCodeEncoder {
// A monochrome image of `text`, or a null image with `error` set.
QImage encode(SettingCodeType type, const QString &text, QString *error);
// The texts ZXing reads in `image`.
QStringList decode(const QImage &image);
// encode() followed by decode(); fails with a clear message when the code does not read back.
QImage encodeVerified(SettingCodeType type, const QString &text, QString *error);
// "1d", "pdf417", "qr", "dm", "dmp" (command-line names) to a type; false when unknown.
bool typeFromName(const QString &name, SettingCodeType *type);
} // namespace SettingCodeEncoder
