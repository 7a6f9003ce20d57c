#include "QuickSelection.h"

const QVector<QPair<QString, QString>> &QuickSelection::symbologySwitches()
{
    static const QVector<QPair<QString, QString>> table = {
        {"Code 128", "C28ENA"}, {"GS1-128", "G28ENA"}, {"Code 39", "C39ENA"}, {"Code 93", "C93ENA"},
        {"Code 11", "C11ENA"}, {"Codabar", "CBAENA"}, {"Interleaved 2 of 5", "I25ENA"},
        {"Matrix 2 of 5", "M25ENA"}, {"EAN-13", "E13ENA"}, {"EAN-8", "EA8ENA"}, {"UPC-A", "UPAENA"},
        {"UPC-E", "UPEENA"}, {"MSI Plessey", "MSIENA"}, {"GS1 DataBar", "D12ENA"}, {"QR Code", "QRCENA"},
        {"Data Matrix", "DMXENA"}, {"PDF417", "PDFENA"}, {"MicroPDF417", "MPDENA"}, {"Aztec", "AZTENA"},
        {"Han Xin", "HXNENA"}, {"MaxiCode", "MXCENA"}, {"DotCode", "DOTENA"}};
    return table;
}

QStringList QuickSelection::switchable(const Has &has)
{
    QStringList out;
    for (const auto &s : symbologySwitches())
        if (has(s.second))
            out << s.first;
    return out;
}

QVector<QuickChange> QuickSelection::propose(const QuickApplication &app, const Has &has, const Value &value)
{
    QVector<QuickChange> out;
    auto want = [&](const QString &code, const QByteArray &v, const QString &why) {
        if (!has(code))
            return;
        const QByteArray now = value(code);
        if (now != v)
            out.append({code, now, v, why});
    };
    // Only what the application uses: every other symbology costs decode time and risks
    // misreads.
    // A switch with variants (a value above 1) is on already and keeps its variant.
    for (const auto &s : symbologySwitches()) {
        if (!app.symbologies.contains(s.first))
            want(s.second, "0", QStringLiteral("#IDS_QuickSel_WhyUnused"));
        else if (has(s.second) && value(s.second) == "0")
            want(s.second, "1", QStringLiteral("#IDS_QuickSel_WhyUsed"));
    }
    // Sharp images: the reader finds the focus itself where it can, else a fixed position per
    // distance.
    if (has(QStringLiteral("FOCAUT"))) {
        // A button: sending it runs the search, whatever its value reads.
        out.append({QStringLiteral("FOCAUT"), QByteArray(), "1", QStringLiteral("#IDS_QuickSel_WhyFocus")});
    } else {
        static const char *positions[] = {"150", "300", "450"};
        want(QStringLiteral("FOCPOS"), positions[app.distance], QStringLiteral("#IDS_QuickSel_WhyFocus"));
    }
    // Modules look smaller the farther the label is.
    static const char *moduleRange[] = {"3|40", "1.5|20", "1|10"};
    want(QStringLiteral("DECMSR"), moduleRange[app.distance], QStringLiteral("#IDS_QuickSel_WhyModules"));
    // Brightness: automatic exposure follows the label; light on so exposures stay short,
    // dimmer on glossy labels that mirror it back.
    want(QStringLiteral("EXPMOD"), "0", QStringLiteral("#IDS_QuickSel_WhyExposure"));
    if (has(QStringLiteral("ILLMOD")) && value(QStringLiteral("ILLMOD")) == "0")
        want(QStringLiteral("ILLMOD"), "1", QStringLiteral("#IDS_QuickSel_WhyLight"));
    want(QStringLiteral("ILLBRT"), app.label == QuickApplication::Glossy ? "40" : "100",
         QStringLiteral("#IDS_QuickSel_WhyLight"));
    // Moving labels leave the view soon: a read may not take longer than that.
    static const char *timeouts[] = {"1000", "300", "100"};
    want(QStringLiteral("DECTMO"), timeouts[app.speed], QStringLiteral("#IDS_QuickSel_WhyTimeout"));
    // Several symbologies usually mean several codes per label.
    want(QStringLiteral("MLTCNT"), QByteArray::number(qBound(1, app.symbologies.size(), 8)),
         QStringLiteral("#IDS_QuickSel_WhyCount"));
    return out;
}
