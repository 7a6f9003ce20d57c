#pragma once
// Image formation: the scene's reflectance, lit and exposed with the reader's own imaging
// settings, blurred by the focus error, with seeded sensor noise, as an 8-bit gray image.
#include "VcScene.h"

#include <QImage>
#include <QPolygonF>

struct VcImagingSettings
{
    QSize sensor = QSize(1920, 1200);
    bool autoExposure = true;
    double exposureUs = 500;  // fixed exposure time
    double gainDb = 6;        // fixed gain
    int autoLow = 60;         // auto exposure aims at the middle of this brightness range
    int autoHigh = 180;
    int illumination = 2;     // 0 off, 1 on, 2 flash
    double brightness = 80;   // illumination brightness, percent
    double focus = 500;       // focus position
    int flip = 0;             // 0 none, 1 horizontal, 2 vertical, 3 both
    quint64 frame = 0;        // picks the noise of this image
};

struct VcPlacedCode
{
    VcSceneCode code;
    QPolygonF box;  // the symbol with its quiet zone, sensor pixels (after flipping)
};

struct VcFrame
{
    QImage image;  // Format_Grayscale8, the sensor size
    QList<VcPlacedCode> codes;
    double blurSigma = 0;  // pixels
    double gain = 1;       // brightness factor applied to the reflectance
    double renderMs = 0;
    QStringList errors;    // codes Zint could not draw (bad text for the symbology)
};

namespace VcImaging {
// Ambient light reaching the scene with the illumination off.
constexpr double Ambient = 0.15;
// Focus positions per pixel of blur: a focus 40 positions off blurs with a sigma of 1 pixel.
constexpr double FocusPerPixel = 40.0;

VcFrame render(const VcScene &scene, const QList<VcSceneCode> &codes, const VcImagingSettings &s);
// One code drawn by Zint with its quiet zone, one pixel per module: 0 dark, 255 light.
QImage symbol(const VcSceneCode &code, QString *error);
// The image scaled down by the ratio of an image request: 0 full, 1 half, 2 quarter.
QImage scaled(const QImage &image, int ratio);
}  // namespace VcImaging
