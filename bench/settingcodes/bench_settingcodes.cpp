// Setting codes for 500 commands: our rendering (Zint through the encoder, images made for the
// page) against bare Zint calls for the same texts in the same run; the read-back by ZXing that
// every generation does is measured on its own.
#include "SettingCodeCommands.h"
#include "SettingCodeEncoder.h"
#include "SettingCodeSheet.h"
#include "bench.h"

#include <QGuiApplication>

#include <zint.h>

namespace {
int bareZint(const QStringList &texts, int symbology, float scale)
{
    int made = 0;
    for (const QString &text : texts) {
        zint_symbol *s = ZBarcode_Create();
        s->symbology = symbology;
        s->scale = scale;
        s->input_mode = DATA_MODE;
        s->output_options |= BARCODE_QUIET_ZONES;
        const QByteArray bytes = text.toLocal8Bit();
        if (ZBarcode_Encode_and_Buffer(s, reinterpret_cast<const unsigned char *>(bytes.constData()),
                                       bytes.size(), 0) < ZINT_ERROR)
            ++made;
        ZBarcode_Delete(s);
    }
    return made;
}
} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    QStringList commands;
    for (int i = 0; i < 500; ++i)
        SettingCodeCommands::addCommand(&commands, QStringLiteral("TRG%1").arg(i % 1000, 3, 10, QLatin1Char('0')),
                                        QString::number(1000 + i * 7));
    struct Case
    {
        const char *name;
        SettingCodeType type;
        int symbology;
        float scale;
    };
    const Case cases[] = {{"code 128", SettingCodeType::Code128, BARCODE_CODE128, 1.0f},
                          {"qr", SettingCodeType::QrCode, BARCODE_QRCODE, 2.0f}};
    for (const Case &c : cases) {
        SettingCodeSheet::Options o;
        o.type = c.type;
        o.mergeLimit = 60; // several codes, not one large symbol
        const QStringList texts = SettingCodeSheet::codeTexts(commands, o);
        int ours = 0;
        const double encodeMs = bench::medianMs([&] {
            ours = 0;
            QString error;
            for (const QString &t : texts)
                ours += !SettingCodeEncoder::encode(t.startsWith(QLatin1String("@SETUP")) || t == QLatin1String("@BATCHS")
                                                        ? SettingCodeType::Code128 : c.type, t, &error).isNull();
        });
        int bare = 0;
        const double zintMs = bench::medianMs([&] { bare = bareZint(texts, c.symbology, c.scale); });
        bench::report(QStringLiteral("setting codes, %1, %2 codes rendered").arg(QLatin1String(c.name)).arg(texts.size()),
                      encodeMs, zintMs, QStringLiteral("%1 and %2 made").arg(ours).arg(bare));
        SettingCodeSheet sheet;
        QString error;
        const double generateMs = bench::medianMs([&] { sheet.generate(commands, o, &error); }, 3);
        bench::report(QStringLiteral("setting codes, %1, generation with ZXing read-back").arg(QLatin1String(c.name)),
                      generateMs, zintMs, error.isEmpty() ? QStringLiteral("every code read back") : error);
    }
    return 0;
}
