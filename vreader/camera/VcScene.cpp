#include "VcScene.h"

#include "VcImaging.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtMath>

namespace {

// Label n of a conveyor is unreadable when its hash falls below the share: the same labels are
// unreadable in every run with the same seed.
bool labelUnreadable(quint32 seed, qint64 n, double share)
{
    quint64 x = (quint64(seed) << 32) ^ quint64(n) ^ 0x9E3779B97F4A7C15ull;
    x ^= x >> 33;
    x *= 0xff51afd7ed558ccdull;
    x ^= x >> 33;
    x *= 0xc4ceb9fe1a85ec53ull;
    x ^= x >> 33;
    return double(x % 1000000) / 1000000.0 < share;
}

bool parseCode(const QJsonObject &o, const QString &where, VcSceneCode *code, QStringList *errors)
{
    const int before = errors->size();
    const QString symbology = o.value("symbology").toString();
    code->symbology = VcSymbologies::byName(symbology);
    if (!code->symbology)
        *errors << QStringLiteral("%1: unknown symbology \"%2\"").arg(where, symbology);
    code->text = o.value("text").toString();
    if (code->text.isEmpty())
        *errors << QStringLiteral("%1: \"text\" is missing").arg(where);
    if (!o.value("x").isDouble() || !o.value("y").isDouble())
        *errors << QStringLiteral("%1: \"x\" and \"y\" must be numbers").arg(where);
    code->centre = QPointF(o.value("x").toDouble(), o.value("y").toDouble());
    code->module = o.value("module").toDouble(code->module);
    if (code->module < 1 || code->module > 100)
        *errors << QStringLiteral("%1: \"module\" must be 1 to 100 pixels").arg(where);
    code->rotation = o.value("rotation").toDouble(0);
    code->height = o.value("height").toDouble(0);
    code->ink = o.value("ink").toDouble(code->ink);
    code->paper = o.value("paper").toDouble(code->paper);
    if (code->ink < 0 || code->ink > 1 || code->paper < 0 || code->paper > 1)
        *errors << QStringLiteral("%1: \"ink\" and \"paper\" are reflectances from 0 to 1").arg(where);
    // The text must suit the symbology (digits for EAN-13 and so on): Zint says so now rather
    // than at every read. A conveyor's "{n}" stands for a number.
    if (errors->size() == before) {
        VcSceneCode probe = *code;
        probe.text.replace(QStringLiteral("{n}"), QStringLiteral("1"));
        QString why;
        if (VcImaging::symbol(probe, &why).isNull())
            *errors << QStringLiteral("%1: cannot be drawn: %2").arg(where, why);
    }
    return errors->size() == before;
}

bool parseCodes(const QJsonValue &v, const QString &where, QList<VcSceneCode> *codes,
                QStringList *errors)
{
    if (v.isUndefined())
        return true;
    if (!v.isArray()) {
        *errors << QStringLiteral("%1 must be an array").arg(where);
        return false;
    }
    bool ok = true;
    const QJsonArray a = v.toArray();
    for (int i = 0; i < a.size(); ++i) {
        VcSceneCode c;
        if (parseCode(a.at(i).toObject(), QStringLiteral("%1[%2]").arg(where).arg(i), &c, errors))
            codes->append(c);
        else
            ok = false;
    }
    return ok;
}

VcSceneCode code(const char *symbology, const char *text, double x, double y, double module,
                 double rotation = 0)
{
    VcSceneCode c;
    c.symbology = VcSymbologies::byName(QString::fromLatin1(symbology));
    c.text = QString::fromUtf8(text);
    c.centre = QPointF(x, y);
    c.module = module;
    c.rotation = rotation;
    return c;
}

}  // namespace

QList<VcSceneCode> VcScene::codesAt(double seconds, qint64 *label, bool *unreadable) const
{
    if (label)
        *label = 0;
    if (unreadable)
        *unreadable = false;
    if (conveyor.rate <= 0 || conveyor.label.isEmpty())
        return codes;
    const qint64 n = qint64(qFloor(qMax(0.0, seconds) * conveyor.rate)) + 1;
    const bool bad = labelUnreadable(seed, n, conveyor.unreadable);
    if (label)
        *label = n;
    if (unreadable)
        *unreadable = bad;
    QList<VcSceneCode> out = codes;
    for (VcSceneCode c : conveyor.label) {
        c.text.replace(QStringLiteral("{n}"), QString::number(n));
        if (bad)
            c.ink = c.paper * 0.97;  // a label printed without ink contrast
        out << c;
    }
    return out;
}

namespace VcScenes {

bool parse(const QByteArray &json, const QString &baseDir, VcScene *scene, QStringList *errors)
{
    QJsonParseError pe;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &pe);
    if (!doc.isObject()) {
        *errors << QStringLiteral("not a JSON object: %1 at offset %2").arg(pe.errorString()).arg(pe.offset);
        return false;
    }
    const int before = errors->size();
    const QJsonObject o = doc.object();
    VcScene s;
    if (o.contains("sensor")) {
        const QJsonArray a = o.value("sensor").toArray();
        s.sensor = QSize(a.at(0).toInt(), a.at(1).toInt());
        if (a.size() != 2 || s.sensor.width() < 64 || s.sensor.height() < 64
            || s.sensor.width() > 4096 || s.sensor.height() > 4096)
            *errors << QStringLiteral("\"sensor\" must be [width, height], 64 to 4096 pixels");
    }
    s.background = o.value("background").toDouble(s.background);
    if (s.background < 0 || s.background > 1)
        *errors << QStringLiteral("\"background\" is a reflectance from 0 to 1");
    s.focus = o.value("focus").toDouble(s.focus);
    s.noise = o.value("noise").toDouble(s.noise);
    if (s.noise < 0 || s.noise > 50)
        *errors << QStringLiteral("\"noise\" must be 0 to 50");
    s.seed = quint32(o.value("seed").toInt(int(s.seed)));
    parseCodes(o.value("codes"), QStringLiteral("codes"), &s.codes, errors);
    const QJsonArray patches = o.value("labels").toArray();
    for (int i = 0; i < patches.size(); ++i) {
        const QJsonObject po = patches.at(i).toObject();
        VcScenePatch p;
        p.rect = QRectF(po.value("x").toDouble(), po.value("y").toDouble(), po.value("width").toDouble(),
                        po.value("height").toDouble());
        p.reflectance = po.value("reflectance").toDouble(p.reflectance);
        if (p.rect.isEmpty() || p.reflectance < 0 || p.reflectance > 1)
            *errors << QStringLiteral("labels[%1]: needs a width and height and a reflectance from 0 to 1").arg(i);
        s.patches << p;
    }
    const QJsonArray images = o.value("images").toArray();
    for (int i = 0; i < images.size(); ++i) {
        const QJsonObject io = images.at(i).toObject();
        VcSceneImage im;
        im.file = io.value("file").toString();
        const QString path = QDir(baseDir).absoluteFilePath(im.file);
        if (im.file.isEmpty() || !im.image.load(path)) {
            *errors << QStringLiteral("images[%1]: cannot read image \"%2\"").arg(i).arg(path);
            continue;
        }
        im.image = im.image.convertToFormat(QImage::Format_Grayscale8);
        im.rect = QRectF(io.value("x").toDouble(), io.value("y").toDouble(),
                         io.value("width").toDouble(im.image.width()),
                         io.value("height").toDouble(im.image.height()));
        s.images << im;
    }
    if (o.contains("conveyor")) {
        const QJsonObject c = o.value("conveyor").toObject();
        s.conveyor.rate = c.value("rate").toDouble();
        s.conveyor.unreadable = c.value("unreadable").toDouble();
        if (s.conveyor.rate <= 0 || s.conveyor.rate > 1000)
            *errors << QStringLiteral("conveyor: \"rate\" must be above 0 and at most 1000 labels per second");
        if (s.conveyor.unreadable < 0 || s.conveyor.unreadable > 1)
            *errors << QStringLiteral("conveyor: \"unreadable\" is a share from 0 to 1");
        parseCodes(c.value("label"), QStringLiteral("conveyor.label"), &s.conveyor.label, errors);
        if (s.conveyor.label.isEmpty())
            *errors << QStringLiteral("conveyor: \"label\" holds no code");
    }
    if (errors->size() != before)
        return false;
    *scene = s;
    return true;
}

VcScene byKind(const QString &kind, const QSize &sensor)
{
    VcScene s;
    const double w = sensor.width();
    const double h = sensor.height();
    // Module sizes follow the sensor so that small test sensors still see readable codes.
    const double m = qMax(2.0, qRound(qMin(w, h) / 160.0) * 1.0);
    if (kind == QLatin1String("hand-held")) {
        s.codes << code("EAN-13", "4006381333931", w / 2, h / 2, m);
    } else if (kind == QLatin1String("camera")) {
        s.background = 0.35;  // a grey metal part
        VcSceneCode dm = code("Data Matrix", "KX-PART-000142", w / 2, h / 2, m * 1.5, 12);
        dm.ink = 0.12;
        dm.paper = 0.7;
        s.codes << dm;
    } else {
        s.background = 0.45;  // a brown carton under the white label
        s.patches << VcScenePatch{QRectF(w * 0.08, h * 0.06, w * 0.84, h * 0.88), 0.88};
        s.codes << code("Code 128", "SHIP0001234567", w * 0.5, h * 0.22, m)
                << code("QR Code", "https://example.com/track/0001234567", w * 0.28, h * 0.65, m)
                << code("Data Matrix", "LOT 42 / 2026-12-06", w * 0.72, h * 0.65, m);
    }
    return s;
}

}  // namespace VcScenes
