#include "VcImaging.h"

#include <QElapsedTimer>
#include <QPainter>
#include <QtMath>

#include <vector>
#include <zint.h>

namespace {

// Three box blurs in a row approximate a Gaussian of the given sigma.
void boxBlur(std::vector<float> &v, int w, int h, double sigma)
{
    const int r = int(qRound((qSqrt(4.0 * sigma * sigma + 1.0) - 1.0) / 2.0));
    if (r < 1)
        return;
    std::vector<float> line(size_t(qMax(w, h)));
    const float norm = 1.0f / float(2 * r + 1);
    auto pass = [&](float *base, int n, int stride) {
        float sum = 0;
        for (int i = -r; i <= r; ++i)
            sum += base[size_t(qBound(0, i, n - 1) * stride)];
        for (int i = 0; i < n; ++i) {
            line[size_t(i)] = sum * norm;
            sum += base[size_t(qMin(n - 1, i + r + 1) * stride)] - base[size_t(qMax(0, i - r) * stride)];
        }
        for (int i = 0; i < n; ++i)
            base[size_t(i * stride)] = line[size_t(i)];
    };
    for (int k = 0; k < 3; ++k) {
        for (int y = 0; y < h; ++y)
            pass(v.data() + size_t(y) * size_t(w), w, 1);
        for (int x = 0; x < w; ++x)
            pass(v.data() + x, h, w);
    }
}

// A small fast generator: the noise of one frame is the same on every machine.
struct XorShift
{
    quint64 s;
    explicit XorShift(quint64 seed) : s(seed ? seed : 0x2545F4914F6CDD1Dull) {}
    quint32 next()
    {
        s ^= s << 13;
        s ^= s >> 7;
        s ^= s << 17;
        return quint32(s >> 11);
    }
    // Roughly normal, mean 0 and deviation 1 (sum of four uniforms).
    float normal()
    {
        const quint32 a = next(), b = next();
        const float sum = float(a & 0xFFFF) + float(a >> 16) + float(b & 0xFFFF) + float(b >> 16);
        return (sum / 65536.0f - 2.0f) * 1.7320508f;
    }
};

}  // namespace

namespace VcImaging {

QImage symbol(const VcSceneCode &code, QString *error)
{
    if (!code.symbology) {
        *error = QStringLiteral("no symbology");
        return QImage();
    }
    zint_symbol *s = ZBarcode_Create();
    if (!s) {
        *error = QStringLiteral("out of memory");
        return QImage();
    }
    s->symbology = code.symbology->zint;
    s->input_mode = code.symbology->zint == BARCODE_GS1_128 ? GS1_MODE : UNICODE_MODE;
    s->scale = 0.5f;  // one pixel per module
    s->show_hrt = 0;
    s->output_options |= BARCODE_QUIET_ZONES;
    if (code.symbology->zint == BARCODE_DATAMATRIX)
        s->option_3 = DM_SQUARE;
    if (code.symbology->twoD) {
        // Room around the symbol beyond its own quiet zone, as a label has.
        s->whitespace_width = 2;
        s->whitespace_height = 2;
    } else {
        const double bars = code.height > 0 ? code.height / code.module : 40.0;
        s->height = float(qBound(5.0, bars, 500.0));
    }
    const QByteArray text = code.text.toUtf8();
    QImage out;
    const int rc = ZBarcode_Encode_and_Buffer(s, reinterpret_cast<const unsigned char *>(text.constData()),
                                              text.size(), 0);
    if (rc >= ZINT_ERROR || !s->bitmap || s->bitmap_width <= 0 || s->bitmap_height <= 0) {
        *error = QStringLiteral("%1 \"%2\": %3").arg(code.symbology->name, code.text,
                                                      QString::fromLatin1(s->errtxt));
    } else {
        out = QImage(s->bitmap_width, s->bitmap_height, QImage::Format_Grayscale8);
        for (int y = 0; y < s->bitmap_height; ++y) {
            const unsigned char *row = s->bitmap + size_t(y) * size_t(s->bitmap_width) * 3;
            uchar *dst = out.scanLine(y);
            for (int x = 0; x < s->bitmap_width; ++x)
                dst[x] = row[x * 3] < 128 ? 0 : 255;
        }
    }
    ZBarcode_Delete(s);
    return out;
}

VcFrame render(const VcScene &scene, const QList<VcSceneCode> &codes, const VcImagingSettings &st)
{
    QElapsedTimer timer;
    timer.start();
    VcFrame f;
    const int w = st.sensor.width();
    const int h = st.sensor.height();
    // Reflectance, 0..255, painted as gray RGB.
    QImage canvas(w, h, QImage::Format_RGB32);
    const int bg = qBound(0, qRound(scene.background * 255), 255);
    canvas.fill(qRgb(bg, bg, bg));
    {
        QPainter p(&canvas);
        for (const VcScenePatch &patch : scene.patches) {
            const int r = qBound(0, qRound(patch.reflectance * 255), 255);
            p.fillRect(patch.rect, QColor(r, r, r));
        }
        for (const VcSceneImage &im : scene.images)
            p.drawImage(im.rect, im.image);
        for (const VcSceneCode &c : codes) {
            QString error;
            const QImage sym = symbol(c, &error);
            if (sym.isNull()) {
                f.errors << error;
                continue;
            }
            QImage indexed = sym.convertToFormat(QImage::Format_Indexed8);
            const int ink = qBound(0, qRound(c.ink * 255), 255);
            const int paper = qBound(0, qRound(c.paper * 255), 255);
            QVector<QRgb> table(256);
            for (int i = 0; i < 256; ++i)
                table[i] = i < 128 ? qRgb(ink, ink, ink) : qRgb(paper, paper, paper);
            indexed.setColorTable(table);
            QTransform t;
            t.translate(c.centre.x(), c.centre.y());
            t.rotate(c.rotation);
            t.scale(c.module, c.module);
            t.translate(-sym.width() / 2.0, -sym.height() / 2.0);
            p.setTransform(t);
            const bool square = qFuzzyIsNull(std::fmod(c.rotation, 90.0));
            p.setRenderHint(QPainter::SmoothPixmapTransform, !square);
            p.drawImage(QPointF(0, 0), indexed);
            f.codes << VcPlacedCode{c, t.map(QPolygonF(QRectF(0, 0, sym.width(), sym.height())))};
        }
    }

    const double light = Ambient + (st.illumination != 0 ? qBound(0.0, st.brightness, 100.0) / 100.0 : 0);
    std::vector<float> v(size_t(w) * size_t(h));
    double sum = 0;
    for (int y = 0; y < h; ++y) {
        const QRgb *row = reinterpret_cast<const QRgb *>(canvas.constScanLine(y));
        float *dst = v.data() + size_t(y) * size_t(w);
        for (int x = 0; x < w; ++x) {
            dst[x] = float(qRed(row[x]));
            sum += dst[x];
        }
    }
    double gainLin = 1.0;
    if (st.autoExposure) {
        // Auto exposure brings the mean brightness to the middle of its target range.
        const double mean = sum / double(v.size());
        const double target = (st.autoLow + st.autoHigh) / 2.0;
        f.gain = mean > 0 ? target / mean : 1.0;
    } else {
        gainLin = qPow(10.0, st.gainDb / 20.0);
        f.gain = light * (st.exposureUs / 1000.0) * gainLin;
    }
    f.blurSigma = qAbs(st.focus - scene.focus) / FocusPerPixel;
    boxBlur(v, w, h, f.blurSigma);
    XorShift rng(quint64(scene.seed) * 0x9E3779B97F4A7C15ull + st.frame + 1);
    const float sigma = float(1.2 * gainLin * scene.noise);
    const float gain = float(f.gain);
    f.image = QImage(w, h, QImage::Format_Grayscale8);
    for (int y = 0; y < h; ++y) {
        const float *src = v.data() + size_t(y) * size_t(w);
        uchar *dst = f.image.scanLine(y);
        for (int x = 0; x < w; ++x) {
            const float value = src[x] * gain + (sigma > 0 ? rng.normal() * sigma : 0.0f);
            dst[x] = uchar(qBound(0, int(value + 0.5f), 255));
        }
    }
    if (st.flip != 0) {
        const bool horizontal = st.flip & 1;
        const bool vertical = st.flip & 2;
        f.image = f.image.mirrored(horizontal, vertical);
        QTransform m;
        m.translate(horizontal ? w : 0, vertical ? h : 0);
        m.scale(horizontal ? -1 : 1, vertical ? -1 : 1);
        for (VcPlacedCode &c : f.codes)
            c.box = m.map(c.box);
    }
    f.renderMs = timer.nsecsElapsed() / 1e6;
    return f;
}

QImage scaled(const QImage &image, int ratio)
{
    if (ratio != 1 && ratio != 2)
        return image;
    const int d = ratio == 1 ? 2 : 4;
    return image.scaled(qMax(1, image.width() / d), qMax(1, image.height() / d), Qt::IgnoreAspectRatio,
                        Qt::SmoothTransformation);
}

}  // namespace VcImaging
