#pragma once
// A reader's camera: takes images of its scene with the reader's imaging settings, reads them
// with its decoding settings (enabled symbologies, decode area, codes per read, time-out) and
// answers image requests. Settings come from the reader's running values.
#include "VcDecoder.h"
#include "VcImageCodec.h"
#include "VcImaging.h"
#include "VcResultFrames.h"

#include <QPointer>
#include <functional>

class VcSceneSource;

class VrReaderCamera
{
public:
    // The reader's running value of a command; empty when the reader does not have it.
    using Values = std::function<QByteArray(const QString &code)>;

    // sensor: the size the reader reports when the scene names none.
    VrReaderCamera(QPointer<VcSceneSource> scene, const QSize &sensor);

    static bool isImageCode(const QString &code);
    QSize sensor() const;
    // The focus position at which the scene is sharp (what automatic focus finds).
    double sceneFocus() const;
    // "IMGGWH" form: "1920W1200H".
    QByteArray sensorValue() const;

    struct Image
    {
        bool ok = false;
        QString error;
        QByteArray data;  // encoded image
        QByteArray info;  // compact JSON about it
    };
    // "IMGGET", "IMGGLI", "IMGBGT", "IMGTGT" with their value ("0T1R2F50Q", "2F").
    Image image(const QString &code, const QByteArray &value, const Values &values);

    struct Read
    {
        bool good = false;
        double ms = 0;  // time the read took
        QList<VcResult> results;
        QStringList log;
    };
    // One read: a new image, decoded. forceNoRead makes it find nothing (fault injection).
    Read read(const Values &values, bool forceNoRead);
    // An image taken with these values, not kept as the last read's (focus searches).
    QImage snapshot(const Values &values);
    // The image of the last read (setting codes are read from it again, in full).
    const QImage &lastImage() const { return m_lastImage; }
    // Load mode: results made from the scene's known codes without taking or decoding images.
    Read knownCodes(const Values &values);
    // One image as the reader's imaging settings form it (vision workflows).
    QImage grab(const Values &values) { return capture(values).image; }

    // Decoding settings as the reader applies them (exposed for tests of the settings).
    VcImagingSettings imaging(const Values &values) const;
    VcDecodeOptions decoding(const Values &values) const;

private:
    QList<VcSceneCode> codesInView(qint64 *label, bool *unreadable) const;
    VcFrame capture(const Values &values);

    QPointer<VcSceneSource> m_scene;
    QSize m_sensor;
    quint64 m_frames = 0;
    // The image of the last read and the codes found in it ("T1", "IMGBGT", "IMGTGT").
    QImage m_lastImage;
    QList<QPolygonF> m_lastBoxes;
    QByteArray m_lastText;
};
