#include "QuickTestSummary.h"

#include <algorithm>
#include <cmath>

double QuickTestSummary::rate() const
{
    const int answered = good + noRead;
    return answered > 0 ? 100.0 * good / answered : -1.0;
}

bool QuickTestSummary::keepImage(const QImage &image)
{
    if (image.isNull() || images.size() >= kMaxImages)
        return false;
    images << image;
    return true;
}

QVector<QuickTestSummary::Bin> QuickTestSummary::distribution(int maxBins) const
{
    QVector<Bin> bins;
    if (times.isEmpty() || maxBins < 1)
        return bins;
    const auto [lo, hi] = std::minmax_element(times.begin(), times.end());
    const double from = std::floor(*lo);
    const double span = std::ceil(*hi) - from;
    // Fewer reads than bins, or times close together, give fewer bins; a bin is at least
    // 1 ms wide, and the last one holds its upper end.
    const int n = std::max(1, std::min({maxBins, int(times.size()), int(span)}));
    const double width = std::max(1.0, std::ceil(span / n));
    bins.resize(n);
    for (int i = 0; i < n; ++i) {
        bins[i].from = from + i * width;
        bins[i].to = from + (i + 1) * width;
    }
    for (double t : times) {
        const int i = std::min(n - 1, int((t - from) / width));
        ++bins[i].count;
    }
    return bins;
}
