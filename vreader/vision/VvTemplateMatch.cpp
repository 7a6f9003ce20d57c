#include "VvTemplateMatch.h"

#include <QVector>
#include <cmath>

namespace {
// The coarse level keeps the template's longer side near this many pixels.
constexpr int kCoarseSide = 24;

QImage gray(const QImage &in)
{
    return in.format() == QImage::Format_Grayscale8 ? in : in.convertToFormat(QImage::Format_Grayscale8);
}

// Sums of the window's pixels and squared pixels from integral images, O(1) per window.
struct Integral
{
    int w = 0, h = 0;
    QVector<double> sum, sq;
    explicit Integral(const QImage &img) : w(img.width()), h(img.height()), sum((w + 1) * (h + 1), 0), sq((w + 1) * (h + 1), 0)
    {
        for (int y = 0; y < h; ++y) {
            const uchar *line = img.constScanLine(y);
            double rowSum = 0, rowSq = 0;
            for (int x = 0; x < w; ++x) {
                rowSum += line[x];
                rowSq += double(line[x]) * line[x];
                sum[(y + 1) * (w + 1) + x + 1] = sum[y * (w + 1) + x + 1] + rowSum;
                sq[(y + 1) * (w + 1) + x + 1] = sq[y * (w + 1) + x + 1] + rowSq;
            }
        }
    }
    double rect(const QVector<double> &t, int x, int y, int rw, int rh) const
    {
        const int s = w + 1;
        return t[(y + rh) * s + x + rw] - t[y * s + x + rw] - t[(y + rh) * s + x] + t[y * s + x];
    }
};

struct Templ
{
    QImage img;
    QVector<double> centred;  // pixel - mean
    double norm = 0;          // sqrt(sum of centred^2)
    explicit Templ(const QImage &t) : img(t), centred(t.width() * t.height())
    {
        double mean = 0;
        for (int y = 0; y < t.height(); ++y) {
            const uchar *line = t.constScanLine(y);
            for (int x = 0; x < t.width(); ++x)
                mean += line[x];
        }
        mean /= qMax(1, t.width() * t.height());
        double sq = 0;
        for (int y = 0; y < t.height(); ++y) {
            const uchar *line = t.constScanLine(y);
            for (int x = 0; x < t.width(); ++x) {
                const double v = line[x] - mean;
                centred[y * t.width() + x] = v;
                sq += v * v;
            }
        }
        norm = std::sqrt(sq);
    }
};

double ncc(const QImage &image, const Integral &in, const Templ &t, int x, int y)
{
    const int tw = t.img.width(), th = t.img.height();
    const double n = double(tw) * th;
    const double s = in.rect(in.sum, x, y, tw, th);
    const double var = in.rect(in.sq, x, y, tw, th) - s * s / n;
    if (t.norm < 1e-9 || var < 1e-9)
        return 0;
    // Sum of (I - meanI)(T - meanT) = sum of I * (T - meanT), since the centred template sums to 0.
    double cross = 0;
    for (int j = 0; j < th; ++j) {
        const uchar *line = image.constScanLine(y + j) + x;
        const double *tl = t.centred.constData() + j * tw;
        for (int i = 0; i < tw; ++i)
            cross += line[i] * tl[i];
    }
    return cross / (t.norm * std::sqrt(var));
}

// The best top-left inside [from, to] (inclusive) on one level.
QPoint best(const QImage &image, const Integral &in, const Templ &t, QPoint from, QPoint to, double *score)
{
    QPoint at(-1, -1);
    *score = -2;
    for (int y = from.y(); y <= to.y(); ++y) {
        for (int x = from.x(); x <= to.x(); ++x) {
            const double s = ncc(image, in, t, x, y);
            if (s > *score) {
                *score = s;
                at = QPoint(x, y);
            }
        }
    }
    return at;
}
}  // namespace

double VvTemplateMatch::scoreAt(const QImage &image, const QImage &templ, const QPoint &at)
{
    const QImage img = gray(image), tg = gray(templ);
    if (!QRect(QPoint(0, 0), img.size()).contains(QRect(at, tg.size())))
        return 0;
    return ncc(img, Integral(img), Templ(tg), at.x(), at.y());
}

VvTemplateMatch::Match VvTemplateMatch::find(const QImage &image, const QRect &region, const QImage &templ)
{
    Match m;
    const QImage full = gray(image);
    const QImage tg = gray(templ);
    const QRect area = region.intersected(full.rect());
    if (tg.isNull() || area.width() < tg.width() || area.height() < tg.height())
        return m;
    const QImage crop = full.copy(area);
    // Coarse search on shrunk copies: every place of the template inside the region.
    const int factor = qMax(1, qMax(tg.width(), tg.height()) / kCoarseSide);
    QPoint guess(0, 0);
    if (factor > 1) {
        // Smooth scaling may hand back another pixel format: back to 8-bit gray.
        const QImage small = gray(crop.scaled(crop.width() / factor, crop.height() / factor, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        const QImage st = gray(tg.scaled(qMax(1, tg.width() / factor), qMax(1, tg.height() / factor), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        if (small.width() >= st.width() && small.height() >= st.height()) {
            double s = 0;
            guess = best(small, Integral(small), Templ(st), QPoint(0, 0),
                         QPoint(small.width() - st.width(), small.height() - st.height()), &s) * factor;
        }
    }
    // Fine search at full resolution around the coarse place (everywhere when no coarse level).
    const int reach = factor > 1 ? 2 * factor : qMax(crop.width(), crop.height());
    const QPoint lo(qMax(0, guess.x() - reach), qMax(0, guess.y() - reach));
    const QPoint hi(qMin(crop.width() - tg.width(), guess.x() + reach), qMin(crop.height() - tg.height(), guess.y() + reach));
    double score = 0;
    const QPoint at = best(crop, Integral(crop), Templ(tg), lo, hi, &score);
    m.valid = at.x() >= 0;
    m.box = QRect(at + area.topLeft(), tg.size());
    m.score = score;
    return m;
}
