#include "VcGrading.h"

#include <QtMath>

#include <array>

namespace {

int contrastGrade(double sc)
{
    return sc >= 0.70 ? 4 : sc >= 0.55 ? 3 : sc >= 0.40 ? 2 : sc >= 0.20 ? 1 : 0;
}

int modulationGrade(double transition)
{
    return transition < 0.25 ? 4 : transition < 0.35 ? 3 : transition < 0.45 ? 2 : transition < 0.55 ? 1 : 0;
}

}  // namespace

namespace VcGrading {

VcGrades grade(const QImage &gray, const QPolygonF &symbol, bool twoD, int mode)
{
    VcGrades g;
    const QRect bounds = symbol.boundingRect().toAlignedRect().intersected(gray.rect());
    std::array<int, 256> histogram{};
    int samples = 0;
    // At most about 40000 samples, spread evenly over the symbol.
    const int step = qMax(1, int(qSqrt(double(bounds.width()) * bounds.height() / 40000.0)));
    for (int y = bounds.top(); y <= bounds.bottom(); y += step) {
        const uchar *row = gray.constScanLine(y);
        for (int x = bounds.left(); x <= bounds.right(); x += step) {
            if (!symbol.containsPoint(QPointF(x + 0.5, y + 0.5), Qt::OddEvenFill))
                continue;
            ++histogram[row[x]];
            ++samples;
        }
    }
    auto percentile = [&](double p) {
        const int wanted = qMax(1, int(samples * p));
        int seen = 0;
        for (int v = 0; v < 256; ++v) {
            seen += histogram[size_t(v)];
            if (seen >= wanted)
                return v;
        }
        return 255;
    };
    const int dark = samples ? percentile(0.05) : 0;
    const int light = samples ? percentile(0.95) : 0;
    g.contrast = (light - dark) / 255.0;
    const double lo = dark + 0.2 * (light - dark);
    const double hi = light - 0.2 * (light - dark);
    int between = 0;
    for (int v = int(qCeil(lo)); v <= int(qFloor(hi)) && v < 256; ++v)
        between += histogram[size_t(qMax(0, v))];
    g.transition = samples ? double(between) / samples : 1.0;
    if (light - dark < 4)
        g.transition = 1.0;

    const int sc = contrastGrade(g.contrast);
    const int mod = modulationGrade(g.transition);
    const int rm = qMin(sc, mod);
    const int minR = dark <= light / 2 ? 4 : 0;
    QMap<QString, int> &p = g.parameters;
    if (!twoD) {
        g.standard = QStringLiteral("ISO15416");
        p = {{"cDEC", 4}, {"cEDGE", sc >= 1 ? 4 : 0}, {"cSC", sc}, {"cMINR", minR}, {"cMINE", mod},
             {"cMOD", mod}, {"cQZ", 4}, {"cDCE", 4}, {"cDEF", mod}};
    } else if (mode == 2) {
        g.standard = QStringLiteral("ISO29158");
        p = {{"cDEC", 4}, {"cCC", sc}, {"cCM", mod}, {"cRM", rm}, {"cFPD", mod}, {"cFID", mod},
             {"cVID", 4}, {"cAN", 4}, {"cGN", 4}, {"cUEC", mod}, {"cPGH", 4}, {"cPGV", 4},
             {"cMR", minR}};
    } else {
        g.standard = QStringLiteral("ISO15415");
        p = {{"cDEC", 4}, {"cSC", sc}, {"cMOD", mod}, {"cRM", rm}, {"cFPD", mod}, {"cFID", mod},
             {"cVID", 4}, {"cAN", 4}, {"cGN", 4}, {"cUEC", mod}, {"cPGH", 4}, {"cPGV", 4}};
    }
    int overall = 4;
    for (int v : p)
        overall = qMin(overall, v);
    g.overall = overall;
    p.insert(QStringLiteral("cALL"), overall);
    static const int kQuality[] = {0, 40, 62, 77, 92};
    g.quality = kQuality[overall];
    g.score = qBound(0.0, 100.0 * g.contrast * (1.0 - g.transition), 100.0);
    return g;
}

QString letter(int quality)
{
    if (quality >= 85)
        return QStringLiteral("A");
    if (quality >= 70)
        return QStringLiteral("B");
    if (quality >= 55)
        return QStringLiteral("C");
    if (quality >= 1)
        return QStringLiteral("D");
    return QString();
}

}  // namespace VcGrading
