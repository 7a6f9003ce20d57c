#include "VrReaderCamera.h"

#include "VcGrading.h"
#include "VcSceneSource.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>

#include <algorithm>

namespace {

QList<double> numbers(const QByteArray &value)
{
    QList<double> out;
    for (const QByteArray &p : value.split(',')) {
        bool ok = false;
        const double d = p.trimmed().toDouble(&ok);
        if (ok)
            out << d;
    }
    return out;
}

double number(const QByteArray &value, double fallback)
{
    bool ok = false;
    const double d = value.trimmed().toDouble(&ok);
    return ok ? d : fallback;
}

// Where the symbols of the image lie, with a margin: the reader's localisation step.
QList<QRect> candidatesOf(const VcFrame &frame)
{
    QList<QRect> out;
    for (const VcPlacedCode &p : frame.codes) {
        const QRectF r = p.box.boundingRect();
        out << r.adjusted(-r.width() * 0.15, -r.height() * 0.15, r.width() * 0.15, r.height() * 0.15)
                   .toAlignedRect();
    }
    return out;
}

QPoint centreOf(const QPolygonF &box)
{
    QPointF c;
    for (const QPointF &p : box)
        c += p;
    return box.isEmpty() ? QPoint() : (c / box.size()).toPoint();
}

}  // namespace

VrReaderCamera::VrReaderCamera(QPointer<VcSceneSource> scene, const QSize &sensor)
    : m_scene(std::move(scene)), m_sensor(sensor.isValid() ? sensor : QSize(1280, 960))
{
}

bool VrReaderCamera::isImageCode(const QString &code)
{
    return code == QLatin1String("IMGGET") || code == QLatin1String("IMGGLI")
        || code == QLatin1String("IMGBGT") || code == QLatin1String("IMGTGT");
}

QSize VrReaderCamera::sensor() const
{
    if (m_scene && m_scene->scene().sensor.isValid())
        return m_scene->scene().sensor;
    return m_sensor;
}

double VrReaderCamera::sceneFocus() const
{
    return m_scene ? m_scene->scene().focus : VcScene().focus;
}

QByteArray VrReaderCamera::sensorValue() const
{
    const QSize s = sensor();
    return QByteArray::number(s.width()) + 'W' + QByteArray::number(s.height()) + 'H';
}

VcImagingSettings VrReaderCamera::imaging(const Values &v) const
{
    VcImagingSettings s;
    s.sensor = sensor();
    s.autoExposure = v(QStringLiteral("EXPMOD")) != "1";
    s.exposureUs = number(v(QStringLiteral("EXPFET")), s.exposureUs);
    s.gainDb = number(v(QStringLiteral("EXPFGN")), s.gainDb);
    const QList<double> range = numbers(v(QStringLiteral("EXPATR")));
    if (range.size() == 2 && range[0] < range[1]) {
        s.autoLow = int(range[0]);
        s.autoHigh = int(range[1]);
    }
    s.illumination = int(number(v(QStringLiteral("ILLMOD")), s.illumination));
    s.brightness = number(v(QStringLiteral("ILLBRT")), s.brightness);
    s.focus = number(v(QStringLiteral("FOCPOS")), s.focus);
    s.flip = int(number(v(QStringLiteral("IMGFLP")), 0)) & 3;
    return s;
}

VcDecodeOptions VrReaderCamera::decoding(const Values &v) const
{
    VcDecodeOptions o;
    for (const VcSymbology &s : VcSymbologies::all()) {
        // A reader without the symbology's switch reads it.
        const QByteArray on = v(s.enable);
        if (on.isEmpty() || on != "0")
            o.enabled << &s;
    }
    o.maxCodes = qBound(1, int(number(v(QStringLiteral("MLTCNT")), 1)), 64);
    if (v(QStringLiteral("CADENA")) == "1") {
        const QSize size = sensor();
        QRect area;
        const QByteArray regions = v(QStringLiteral("CADMRI"));
        const QList<double> edges = {number(v(QStringLiteral("CADLEF")), -1), number(v(QStringLiteral("CADTOP")), -1),
                                     number(v(QStringLiteral("CADRIG")), -1), number(v(QStringLiteral("CADBOT")), -1)};
        if (!regions.isEmpty()) {
            // A region string: every region is an area of its own.
            for (const QRect &r : VcRegions::parse(regions))
                o.areas << r.intersected(QRect(QPoint(0, 0), size));
        } else if (!edges.contains(-1)) {
            area = QRect(QPoint(int(edges[0]), int(edges[1])), QPoint(int(edges[2]), int(edges[3])));
        } else if (v(QStringLiteral("CADMOD")) == "1") {
            const QList<double> pos = numbers(v(QStringLiteral("CADPOS")));
            const QList<double> siz = numbers(v(QStringLiteral("CADSIZ")));
            if (pos.size() == 2 && siz.size() == 2)
                area = QRect(int(pos[0]), int(pos[1]), int(siz[0]), int(siz[1]));
        } else {
            const QList<double> ctr = numbers(v(QStringLiteral("CADCTR")));
            const QList<double> psz = numbers(v(QStringLiteral("CADPSZ")));
            if (ctr.size() == 2 && psz.size() == 2) {
                const double w = size.width() * psz[0] / 100.0;
                const double h = size.height() * psz[1] / 100.0;
                area = QRectF(size.width() * ctr[0] / 100.0 - w / 2,
                              size.height() * ctr[1] / 100.0 - h / 2, w, h).toAlignedRect();
            }
        }
        if (o.areas.isEmpty())
            o.areas << area.intersected(QRect(QPoint(0, 0), size));
        o.areas.removeAll(QRect());
        if (o.areas.isEmpty())
            o.areas << QRect(0, 0, 1, 1);  // an area outside the image reads nothing
    }
    return o;
}

QList<VcSceneCode> VrReaderCamera::codesInView(qint64 *label, bool *unreadable) const
{
    if (!m_scene)
        return {};
    return m_scene->scene().codesAt(m_scene->age(), label, unreadable);
}

VcFrame VrReaderCamera::capture(const Values &values)
{
    VcImagingSettings s = imaging(values);
    s.frame = ++m_frames;
    const VcScene scene = m_scene ? m_scene->scene() : VcScene();
    return VcImaging::render(scene, codesInView(nullptr, nullptr), s);
}

QImage VrReaderCamera::snapshot(const Values &values)
{
    // The noise of the last image: images of one search differ only by what the values change.
    VcImagingSettings s = imaging(values);
    s.frame = m_frames;
    const VcScene scene = m_scene ? m_scene->scene() : VcScene();
    return VcImaging::render(scene, codesInView(nullptr, nullptr), s).image;
}

VrReaderCamera::Read VrReaderCamera::read(const Values &values, bool forceNoRead)
{
    QElapsedTimer timer;
    timer.start();
    Read out;
    const VcFrame frame = capture(values);
    for (const QString &e : frame.errors)
        out.log << QStringLiteral("scene code not drawn: ") + e;
    VcDecodeOptions options = decoding(values);
    options.candidates = candidatesOf(frame);
    QElapsedTimer decodeTimer;
    decodeTimer.start();
    QList<VcDecoded> found = forceNoRead ? QList<VcDecoded>() : VcDecoder::decode(frame.image, options);
    const int grading = int(number(values(QStringLiteral("INCCQP")), 0));
    // Symbologies ZXing cannot read are read when they are enabled, inside the area and would
    // grade at least D: what a reader that knows them would manage.
    if (!forceNoRead) {
        for (const VcPlacedCode &p : frame.codes) {
            if (found.size() >= options.maxCodes)
                break;
            const VcSymbology *s = p.code.symbology;
            if (!s || s->zxing != 0 || !options.enabled.contains(s))
                continue;
            if (!options.inArea(centreOf(p.box)))
                continue;
            const VcGrades g = VcGrading::grade(frame.image, p.box, s->twoD, 1);
            if (g.parameters.value("cSC") >= 1 && g.transition < 0.55)
                found << VcDecoded{s, p.code.text.toUtf8(), p.box};
        }
    }
    // Codes whose modules are outside the module size range ("DECMSR") are not looked for.
    const QList<QByteArray> range = values(QStringLiteral("DECMSR")).split('|');
    if (range.size() == 2) {
        const double lo = number(range[0], 0), hi = number(range[1], 1e9);
        for (auto it = found.begin(); it != found.end();) {
            const auto placed = std::find_if(frame.codes.begin(), frame.codes.end(), [&it](const VcPlacedCode &p) {
                return p.code.symbology == it->symbology && p.code.text.toUtf8() == it->data;
            });
            const bool outside = placed != frame.codes.end() && (placed->code.module < lo || placed->code.module > hi);
            it = outside ? found.erase(it) : std::next(it);
        }
    }
    const double decodeMs = decodeTimer.nsecsElapsed() / 1e6;
    const double timeout = number(values(QStringLiteral("DECTMO")), 0);
    if (timeout > 0 && decodeMs > timeout) {
        out.log << QStringLiteral("read timed out after %1 ms").arg(decodeMs, 0, 'f', 1);
        found.clear();
    }
    m_lastImage = frame.image;
    m_lastBoxes.clear();
    m_lastText.clear();
    int index = 0;
    for (const VcDecoded &d : found) {
        // The placed code it came from gives the symbol's outline and module size.
        const VcPlacedCode *placed = nullptr;
        for (const VcPlacedCode &p : frame.codes) {
            if (p.code.symbology == d.symbology && p.code.text.toUtf8() == d.data)
                placed = &p;
        }
        const QPolygonF box = placed ? placed->box : d.box;
        const VcGrades g = VcGrading::grade(frame.image, box, d.symbology->twoD, grading == 2 ? 2 : 1);
        VcResult r;
        r.data = d.data;
        r.codeId = d.symbology->codeId;
        r.decodeMs = decodeMs / qMax(1, found.size());
        r.ppm = placed ? placed->code.module : 0;
        r.score = g.score;
        r.quality = g.quality;
        if (grading != 0) {
            r.standard = g.standard;
            r.grades = g.parameters;
        }
        r.centre = centreOf(d.box);
        r.index = index++;
        out.results << r;
        m_lastBoxes << box;
        if (m_lastText.isEmpty())
            m_lastText = d.data;
    }
    out.good = !out.results.isEmpty();
    out.ms = timer.nsecsElapsed() / 1e6;
    return out;
}

VrReaderCamera::Read VrReaderCamera::knownCodes(const Values &values)
{
    Read out;
    qint64 label = 0;
    bool unreadable = false;
    const QList<VcSceneCode> codes = codesInView(&label, &unreadable);
    if (unreadable)
        return out;
    const VcDecodeOptions options = decoding(values);
    const int grading = int(number(values(QStringLiteral("INCCQP")), 0));
    for (const VcSceneCode &c : codes) {
        if (out.results.size() >= options.maxCodes)
            break;
        if (!c.symbology || !options.enabled.contains(c.symbology))
            continue;
        if (!options.inArea(c.centre.toPoint()))
            continue;
        VcResult r;
        r.data = c.text.toUtf8();
        r.codeId = c.symbology->codeId;
        r.ppm = c.module;
        r.score = 100.0 * (c.paper - c.ink);
        r.quality = 92;
        if (grading != 0) {
            // Known codes are taken as printed perfectly.
            VcGrades g = VcGrading::grade(QImage(), QPolygonF(), c.symbology->twoD, grading);
            r.standard = g.standard;
            for (auto it = g.parameters.begin(); it != g.parameters.end(); ++it)
                it.value() = 4;
            r.grades = g.parameters;
        }
        r.centre = c.centre.toPoint();
        r.index = out.results.size();
        out.results << r;
    }
    out.good = !out.results.isEmpty();
    return out;
}

VrReaderCamera::Image VrReaderCamera::image(const QString &code, const QByteArray &value,
                                            const Values &values)
{
    QElapsedTimer timer;
    timer.start();
    Image out;
    VcImageRequest request;
    if (!VcImageRequest::parse(value, &request, &out.error))
        return out;
    const bool background = code == QLatin1String("IMGBGT");
    if (code == QLatin1String("IMGTGT"))
        request.type = 1;
    QImage image;
    QByteArray decoded;
    int codes = 0;
    if (background) {
        // What the reader sees without the codes: the scene's background and pictures.
        VcImagingSettings s = imaging(values);
        s.frame = ++m_frames;
        image = VcImaging::render(m_scene ? m_scene->scene() : VcScene(), {}, s).image;
    } else if (request.type == 1 && !m_lastImage.isNull()) {
        image = m_lastImage;
        decoded = m_lastText;
        codes = m_lastBoxes.size();
        if (code == QLatin1String("IMGTGT")) {
            // The alternate image: the last read's image with the codes it found outlined.
            image = image.convertToFormat(QImage::Format_RGB32);
            QPainter p(&image);
            p.setPen(QPen(Qt::white, qMax(2, image.width() / 400)));
            for (const QPolygonF &box : m_lastBoxes)
                p.drawPolygon(box);
            p.end();
            image = image.convertToFormat(QImage::Format_Grayscale8);
        }
    } else {
        const VcFrame frame = capture(values);
        image = frame.image;
        VcDecodeOptions options = decoding(values);
        options.candidates = candidatesOf(frame);
        const QList<VcDecoded> found = VcDecoder::decode(image, options);
        codes = found.size();
        if (!found.isEmpty())
            decoded = found.first().data;
    }
    const double makeMs = timer.nsecsElapsed() / 1e6;
    const QImage sized = VcImaging::scaled(image, request.ratio);
    out.data = VcImageCodec::encode(sized, request);
    if (out.data.isEmpty()) {
        out.error = QStringLiteral("the image could not be encoded");
        return out;
    }
    QJsonObject info;
    info.insert("width", sized.width());
    info.insert("height", sized.height());
    info.insert("format", VcImageCodec::formatName(request.format));
    info.insert("decoded", QString::fromUtf8(decoded));
    info.insert("codes", codes);
    info.insert("ratio", request.ratio);
    info.insert("type", background ? 255 : request.type);
    info.insert("makeMs", qRound(makeMs * 100) / 100.0);
    info.insert("encodeMs", qRound((timer.nsecsElapsed() / 1e6 - makeMs) * 100) / 100.0);
    out.info = QJsonDocument(info).toJson(QJsonDocument::Compact);
    out.ok = true;
    return out;
}
