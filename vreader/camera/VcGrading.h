#pragma once
// Print-quality grades measured on the image itself: symbol contrast from the darkest and
// lightest pixels of the symbol, modulation from how many pixels lie between them (blur spreads
// every edge over more pixels).
#include <QImage>
#include <QMap>
#include <QPolygonF>
#include <QString>

struct VcGrades
{
    double contrast = 0;    // (light - dark) / 255, light and dark at the 95th and 5th percentile
    double transition = 0;  // share of the symbol's pixels between dark and light
    int overall = 0;        // 0 (F) .. 4 (A): the lowest of the parameters
    QString standard;       // "ISO15415", "ISO15416", "ISO29158"
    QMap<QString, int> parameters;
    int quality = 0;        // 0..100, the "c_q" score
    double score = 0;       // 0..100, the decode score
};

namespace VcGrading {
// mode 1: ISO 15415 for 2D, ISO 15416 for 1D; mode 2: ISO 29158 (direct part marking) for 2D.
VcGrades grade(const QImage &gray, const QPolygonF &symbol, bool twoD, int mode);
// Grade letter of a "c_q" score: "A" 85.., "B" 70.., "C" 55.., "D" 1.., "" for 0.
QString letter(int quality);
}  // namespace VcGrading
