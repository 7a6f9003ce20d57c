#include "SettingCodePrinter.h"

#include "KxConfigFile.h"
#include "SettingCodeCommands.h"
#include "SettingCodeSheet.h"

#include <QDate>
#include <QFileInfo>

namespace SettingCodePrinter {

int print(const QString &configFile, const QString &encode, const QString &outFile, QString *message)
{
    SettingCodeSheet::Options options;
    options.type = SettingCodeType::QrCode;
    if (!encode.isEmpty() && !SettingCodeEncoder::typeFromName(encode, &options.type)) {
        *message = QStringLiteral("unknown --encode \"%1\" (1d, code128, pdf417, qr, dm or dmp)").arg(encode);
        return 2;
    }
    if (outFile.isEmpty()) {
        *message = QStringLiteral("--out names the PDF file to write");
        return 2;
    }
    const KxConfigFile::ParsedFile file = KxConfigFile::readFile(configFile);
    if (file.check != KxConfigFile::Check_Ok) {
        *message = QStringLiteral("%1 is not a configuration file: %2").arg(configFile, file.error);
        return 1;
    }
    QStringList commands;
    for (const KxConfigEntry &entry : file.entries)
        SettingCodeCommands::addCommand(&commands, entry.code, entry.value);
    options.digitMode = options.type == SettingCodeType::Code128;
    SettingCodeSheet sheet;
    QString error;
    if (!sheet.generate(commands, options, &error)) {
        *message = QStringLiteral("setting codes not made: %1").arg(error);
        return 1;
    }
    const QStringList header = {QStringLiteral("Title: ") + QFileInfo(configFile).fileName(),
                                QStringLiteral("Product: ") + file.deviceType,
                                QStringLiteral("Date Built: ") + QDate::currentDate().toString(Qt::ISODate),
                                QStringLiteral("Comments: ")};
    if (!sheet.writePdf(outFile, header, &error)) {
        *message = error;
        return 1;
    }
    *message = QStringLiteral("%1 setting codes for %2 commands written to %3")
                   .arg(sheet.items().size())
                   .arg(commands.size())
                   .arg(outFile);
    return 0;
}

} // namespace SettingCodePrinter
