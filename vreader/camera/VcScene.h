#pragma once
// What a virtual reader's camera looks at: codes, pictures and a background, optionally a
// conveyor that brings a new label at a fixed rate. Coordinates are sensor pixels.
#include "VcSymbology.h"

#include <QImage>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSize>
#include <QStringList>

struct VcSceneCode
{
    const VcSymbology *symbology = nullptr;
    QString text;           // on a conveyor "{n}" stands for the label number
    QPointF centre;         // sensor pixels
    double module = 4;      // pixels per module
    double rotation = 0;    // degrees, clockwise
    double height = 0;      // bar height of 1D codes in pixels; 0: 40 modules
    double ink = 0.08;      // reflectance of dark modules (0..1)
    double paper = 0.9;     // reflectance of light modules and the quiet zone
};

struct VcSceneImage
{
    QString file;
    QRectF rect;  // where it lies, sensor pixels
    QImage image; // loaded, 8-bit gray
};

// A plain patch: a label's paper, a part's face.
struct VcScenePatch
{
    QRectF rect;
    double reflectance = 0.9;
};

struct VcConveyor
{
    double rate = 0;        // labels per second; 0: no conveyor
    double unreadable = 0;  // share of labels printed so badly that no reader can read them
    QList<VcSceneCode> label;
};

struct VcScene
{
    QSize sensor;               // empty: the reader's own sensor size
    double background = 0.55;   // reflectance of what lies behind the codes
    double focus = 500;         // focus position at which the scene is sharp
    double noise = 1.0;         // scale of the sensor noise
    quint32 seed = 1;
    QList<VcSceneCode> codes;
    QList<VcSceneImage> images;
    QList<VcScenePatch> patches;  // painted under the images and codes
    VcConveyor conveyor;

    // The codes in view t seconds after the scene appeared; on a conveyor the label number and
    // whether that label is one of the unreadable ones.
    QList<VcSceneCode> codesAt(double seconds, qint64 *label = nullptr,
                               bool *unreadable = nullptr) const;
};

namespace VcScenes {
// Parses a scene file's JSON; relative image paths are taken from baseDir. Collects every
// problem in errors (with the element it concerns); false when the scene cannot be used.
bool parse(const QByteArray &json, const QString &baseDir, VcScene *scene, QStringList *errors);
// The scene a model shows without a scene file: "fixed-mount" a shipping label with Code 128,
// QR Code and Data Matrix; "hand-held" an EAN-13; "camera" a Data Matrix on a part. The codes
// are laid out for the given sensor size.
VcScene byKind(const QString &kind, const QSize &sensor);
}  // namespace VcScenes
