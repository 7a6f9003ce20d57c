#pragma once
// Finds a template in a gray image by normalised cross-correlation: an exhaustive search on
// copies shrunk until the template is small, then a full-resolution search around the best
// coarse place. Scores run from -1 to 1; a flat template or window scores 0.
#include <QImage>
#include <QRect>

namespace VvTemplateMatch {
struct Match
{
    bool valid = false;  // the template fits inside the region
    QRect box;           // where the template lies best, in image pixels
    double score = 0;
};
// image and templ are converted to 8-bit gray; region is clipped to the image.
Match find(const QImage &image, const QRect &region, const QImage &templ);
// The score of the template at one place (top-left); for tests and refinement.
double scoreAt(const QImage &image, const QImage &templ, const QPoint &at);
}  // namespace VvTemplateMatch
