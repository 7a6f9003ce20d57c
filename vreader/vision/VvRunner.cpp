#include "VvRunner.h"

#include "VvConditions.h"
#include "VvTemplateMatch.h"

#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

#include <ZXing/ReadBarcode.h>

namespace {
QRect regionOf(const VvNode &n, const QImage &image)
{
    const QStringList p = n.params.value(QStringLiteral("roi")).split(QLatin1Char(','));
    if (p.size() != 4)
        return image.rect();
    const QRect r(p[0].toInt(), p[1].toInt(), p[2].toInt(), p[3].toInt());
    return r.intersected(image.rect());
}

// A locator's reference point: its "origin" "x,y", else the centre of its region.
QPointF originOf(const VvNode &n, const QRect &roi)
{
    const QStringList p = n.params.value(QStringLiteral("origin")).split(QLatin1Char(','));
    bool okX = false, okY = false;
    const double x = p.value(0).toDouble(&okX), y = p.value(1).toDouble(&okY);
    return p.size() == 2 && okX && okY ? QPointF(x, y) : QPointF(roi.center());
}

int intParam(const VvNode &n, const QString &id, int fallback)
{
    bool ok = false;
    const int v = n.params.value(id).toInt(&ok);
    return ok ? v : fallback;
}

QPolygon rectPolygon(const QRect &r)
{
    return QPolygon(r, true).mid(0, 4);
}

// Unsharp mask with a 4-neighbour Laplacian of weight k.
QImage sharpened(const QImage &in, double k)
{
    QImage out = in.copy();
    for (int y = 1; y < in.height() - 1; ++y) {
        const uchar *up = in.constScanLine(y - 1), *at = in.constScanLine(y), *down = in.constScanLine(y + 1);
        uchar *o = out.scanLine(y);
        for (int x = 1; x < in.width() - 1; ++x) {
            const double v = at[x] * (1 + 4 * k) - k * (up[x] + down[x] + at[x - 1] + at[x + 1]);
            o[x] = uchar(qBound(0.0, v, 255.0));
        }
    }
    return out;
}

struct Context
{
    VvRun *run;
    const VvRunner::Grab *grab;
    const VvRunner::Resources *resources;
    QByteArray resource(const QString &uuid, const QString &kind) const
    {
        return uuid.isEmpty() || !*resources ? QByteArray() : (*resources)(uuid, kind);
    }
    QString put(const VvNode &n, const QString &id, const QVariant &v)
    {
        const QString key = QStringLiteral("%1.%2").arg(n.index).arg(id);
        run->outputs.insert(key, v);
        return key;
    }
};

bool needImage(const VvRun &run, QString *error)
{
    if (!run.image.isNull())
        return true;
    *error = QStringLiteral("no image: a camera node must come first");
    return false;
}

// The node's region, moved with the locator its "locator" parameter names (that locator's
// "dx", "dy"). A locator that found nothing leaves no region: the node then finds nothing.
bool placedRegion(const VvNode &n, const Context &c, QRect *out, QString *error)
{
    *out = regionOf(n, c.run->image);
    const QString locator = n.params.value(QStringLiteral("locator")).trimmed();
    if (locator.isEmpty() || locator == QLatin1String("-1"))
        return true;
    const QString found = locator + QStringLiteral(".found");
    if (!c.run->outputs.contains(found)) {
        *error = QStringLiteral("locator %1 has not run").arg(locator);
        return false;
    }
    if (c.run->outputs.value(found).toInt() != 1) {
        *out = QRect();
        return true;
    }
    const QPoint shift(qRound(c.run->outputs.value(locator + QStringLiteral(".dx")).toDouble()),
                       qRound(c.run->outputs.value(locator + QStringLiteral(".dy")).toDouble()));
    const QStringList p = n.params.value(QStringLiteral("roi")).split(QLatin1Char(','));
    const QRect base = p.size() == 4 ? QRect(p[0].toInt(), p[1].toInt(), p[2].toInt(), p[3].toInt())
                                     : c.run->image.rect();
    *out = base.translated(shift).intersected(c.run->image.rect());
    return true;
}

// The template from the resource store found in the region by normalised cross-correlation.
bool templateLocator(const VvNode &n, Context &c, QString *error)
{
    if (!needImage(*c.run, error))
        return false;
    const QRect roi = regionOf(n, c.run->image);
    c.run->regions << VvRegion{n.index, QStringLiteral("roi"), rectPolygon(roi), n.name};
    const QString id = n.params.value(QStringLiteral("template"));
    const QImage templ = QImage::fromData(c.resource(id, QStringLiteral("template")));
    if (templ.isNull()) {
        *error = id.isEmpty() ? QStringLiteral("no template chosen") : QStringLiteral("no template %1").arg(id);
        return false;
    }
    bool ok = false;
    const double minScore = n.params.value(QStringLiteral("minScore")).toDouble(&ok);
    const VvTemplateMatch::Match m = VvTemplateMatch::find(c.run->image, roi, templ);
    const bool found = m.valid && m.score >= (ok ? qBound(0.0, minScore, 1.0) : 0.7);
    const QPointF centre = QRectF(m.box).center();
    const QPointF origin = originOf(n, roi);
    c.put(n, QStringLiteral("found"), found ? 1 : 0);
    c.put(n, QStringLiteral("score"), qRound(qMax(0.0, m.score) * 1000) / 1000.0);
    c.put(n, QStringLiteral("x"), found ? centre.x() : 0.0);
    c.put(n, QStringLiteral("y"), found ? centre.y() : 0.0);
    c.put(n, QStringLiteral("dx"), found ? centre.x() - origin.x() : 0.0);
    c.put(n, QStringLiteral("dy"), found ? centre.y() - origin.y() : 0.0);
    if (found)
        c.run->regions << VvRegion{n.index, QStringLiteral("match"), rectPolygon(m.box),
                                   QString::number(m.score, 'f', 2)};
    return true;
}

// Which class of a model the region shows: each class is a picture, found in the region by the
// template search; the best score names the class. A model is JSON
// {"classes": [{"name", "image" (base64 PNG or BMP)}]}.
bool classifier(const VvNode &n, Context &c, QString *error)
{
    if (!needImage(*c.run, error))
        return false;
    QRect roi;
    if (!placedRegion(n, c, &roi, error))
        return false;
    c.run->regions << VvRegion{n.index, QStringLiteral("roi"), rectPolygon(roi), n.name};
    const QString id = n.params.value(QStringLiteral("model"));
    const QJsonArray classes = QJsonDocument::fromJson(c.resource(id, QStringLiteral("model")))
                                   .object().value(QStringLiteral("classes")).toArray();
    if (classes.isEmpty()) {
        *error = id.isEmpty() ? QStringLiteral("no model chosen") : QStringLiteral("model %1 has no classes").arg(id);
        return false;
    }
    bool ok = false;
    const double minScore = n.params.value(QStringLiteral("minScore")).toDouble(&ok);
    QString best;
    VvTemplateMatch::Match bestMatch;
    bestMatch.score = -2;
    for (const QJsonValue &v : classes) {
        const QImage picture = QImage::fromData(QByteArray::fromBase64(v.toObject().value(QStringLiteral("image")).toString().toLatin1()));
        if (picture.isNull()) {
            *error = QStringLiteral("model %1: class %2 has no picture").arg(id, v.toObject().value(QStringLiteral("name")).toString());
            return false;
        }
        const VvTemplateMatch::Match m = VvTemplateMatch::find(c.run->image, roi, picture);
        if (m.valid && m.score > bestMatch.score) {
            bestMatch = m;
            best = v.toObject().value(QStringLiteral("name")).toString();
        }
    }
    const bool found = bestMatch.valid && bestMatch.score >= (ok ? qBound(0.0, minScore, 1.0) : 0.7);
    c.put(n, QStringLiteral("found"), found ? 1 : 0);
    c.put(n, QStringLiteral("class"), found ? best : QString());
    c.put(n, QStringLiteral("score"), qRound(qMax(0.0, bestMatch.score) * 1000) / 1000.0);
    if (found)
        c.run->regions << VvRegion{n.index, QStringLiteral("match"), rectPolygon(bestMatch.box),
                                   QStringLiteral("%1 %2").arg(best).arg(bestMatch.score, 0, 'f', 2)};
    return true;
}

bool camera(const VvNode &n, Context &c, QString *error)
{
    c.run->image = (*c.grab)();
    if (c.run->image.isNull()) {
        *error = QStringLiteral("the camera gave no image");
        return false;
    }
    c.run->image = c.run->image.convertToFormat(QImage::Format_Grayscale8);
    c.put(n, QStringLiteral("width"), c.run->image.width());
    c.put(n, QStringLiteral("height"), c.run->image.height());
    return true;
}

bool codeReader(const VvNode &n, Context &c, QString *error)
{
    if (!needImage(*c.run, error))
        return false;
    QRect roi;
    if (!placedRegion(n, c, &roi, error))
        return false;
    c.run->regions << VvRegion{n.index, QStringLiteral("roi"), rectPolygon(roi), n.name};
    // An empty region reads nothing (QImage::copy would take the whole image).
    const QImage crop = roi.isEmpty() ? QImage() : c.run->image.copy(roi);
    ZXing::DecodeHints hints;
    hints.setFormats(ZXing::BarcodeFormat::Any);
    hints.setTryHarder(true);
    hints.setTryRotate(true);
    hints.setTryDownscale(false);
    hints.setMaxNumberOfSymbols(qBound(1, intParam(n, QStringLiteral("maxCodes"), 1), 8));
    // ZXing misses some slightly blurred, tilted symbols that a mildly sharpened copy gives up.
    ZXing::Results found;
    for (double k : {0.0, 0.5, 0.25}) {
        if (crop.isNull() || !found.empty())
            break;
        const QImage img = k == 0.0 ? crop : sharpened(crop, k);
        ZXing::ImageView view(img.constBits(), img.width(), img.height(), ZXing::ImageFormat::Lum,
                              img.bytesPerLine());
        found = ZXing::ReadBarcodes(view, hints);
    }
    QStringList texts;
    for (const ZXing::Result &r : found) {
        if (!r.isValid())
            continue;
        const QString text = QString::fromStdString(r.text());
        QPolygon box;
        const auto &p = r.position();
        for (int i = 0; i < 4; ++i)
            box << QPoint(p[i].x + roi.x(), p[i].y + roi.y());
        c.run->regions << VvRegion{n.index, QStringLiteral("code"), box, text};
        if (texts.isEmpty())
            c.put(n, QStringLiteral("format"), QString::fromStdString(ZXing::ToString(r.format())));
        texts << text;
    }
    c.put(n, QStringLiteral("count"), texts.size());
    c.put(n, QStringLiteral("text"), texts.value(0));
    if (!texts.isEmpty() && c.run->result.isEmpty())
        c.run->result = texts.first();
    return true;
}

// The largest 4-connected set of pixels on the wanted side of the threshold inside the region.
bool blobLocator(const VvNode &n, Context &c, QString *error)
{
    if (!needImage(*c.run, error))
        return false;
    const QRect roi = regionOf(n, c.run->image);
    c.run->regions << VvRegion{n.index, QStringLiteral("roi"), rectPolygon(roi), n.name};
    const int threshold = qBound(0, intParam(n, QStringLiteral("threshold"), 100), 255);
    const bool dark = n.params.value(QStringLiteral("polarity"), QStringLiteral("0")) != QLatin1String("1");
    const int minArea = qMax(1, intParam(n, QStringLiteral("minArea"), 50));
    const int w = roi.width(), h = roi.height();
    QVector<quint8> seen(w * h, 0);
    auto wanted = [&](int x, int y) {
        const int v = c.run->image.constScanLine(roi.y() + y)[roi.x() + x];
        return dark ? v < threshold : v >= threshold;
    };
    int bestArea = 0;
    QRect bestBox;
    double bestX = 0, bestY = 0;
    QVector<int> stack;
    for (int y0 = 0; y0 < h; ++y0) {
        for (int x0 = 0; x0 < w; ++x0) {
            if (seen[y0 * w + x0] || !wanted(x0, y0))
                continue;
            int area = 0;
            double sx = 0, sy = 0;
            QRect box(x0, y0, 1, 1);
            stack = {y0 * w + x0};
            seen[y0 * w + x0] = 1;
            while (!stack.isEmpty()) {
                const int at = stack.takeLast();
                const int x = at % w, y = at / w;
                ++area;
                sx += x;
                sy += y;
                box = box.united(QRect(x, y, 1, 1));
                const int nx[4] = {x - 1, x + 1, x, x}, ny[4] = {y, y, y - 1, y + 1};
                for (int k = 0; k < 4; ++k) {
                    if (nx[k] < 0 || ny[k] < 0 || nx[k] >= w || ny[k] >= h || seen[ny[k] * w + nx[k]])
                        continue;
                    seen[ny[k] * w + nx[k]] = 1;
                    if (wanted(nx[k], ny[k]))
                        stack << ny[k] * w + nx[k];
                }
            }
            if (area > bestArea) {
                bestArea = area;
                bestBox = box;
                bestX = sx / area;
                bestY = sy / area;
            }
        }
    }
    const bool found = bestArea >= minArea;
    c.put(n, QStringLiteral("found"), found ? 1 : 0);
    c.put(n, QStringLiteral("area"), found ? bestArea : 0);
    c.put(n, QStringLiteral("x"), found ? roi.x() + bestX : 0.0);
    c.put(n, QStringLiteral("y"), found ? roi.y() + bestY : 0.0);
    const QPointF origin = originOf(n, roi);
    c.put(n, QStringLiteral("dx"), found ? roi.x() + bestX - origin.x() : 0.0);
    c.put(n, QStringLiteral("dy"), found ? roi.y() + bestY - origin.y() : 0.0);
    if (found)
        c.run->regions << VvRegion{n.index, QStringLiteral("blob"),
                                   rectPolygon(bestBox.translated(roi.topLeft())), n.name};
    return true;
}

bool presence(const VvNode &n, Context &c, QString *error)
{
    if (!needImage(*c.run, error))
        return false;
    QRect roi;
    if (!placedRegion(n, c, &roi, error))
        return false;
    c.run->regions << VvRegion{n.index, QStringLiteral("roi"), rectPolygon(roi), n.name};
    qint64 sum = 0;
    for (int y = roi.top(); y <= roi.bottom(); ++y) {
        const uchar *line = c.run->image.constScanLine(y);
        for (int x = roi.left(); x <= roi.right(); ++x)
            sum += line[x];
    }
    const double mean = roi.isEmpty() ? 0 : double(sum) / (qint64(roi.width()) * roi.height());
    // "min|max" as the range control writes it; "min-max" is taken too.
    const QStringList range = n.params.value(QStringLiteral("range"), QStringLiteral("0|255"))
                                  .split(QRegularExpression(QStringLiteral("[|-]")));
    const bool pass = mean >= range.value(0).toDouble() && mean <= range.value(1, "255").toDouble();
    c.put(n, QStringLiteral("mean"), qRound(mean * 100) / 100.0);
    c.put(n, QStringLiteral("pass"), pass ? 1 : 0);
    return true;
}

QJsonObject conditionsOf(const VvNode &n, QString *error)
{
    const QByteArray text = n.params.value(QStringLiteral("conditions")).toUtf8();
    if (text.trimmed().isEmpty())
        return {};
    QJsonParseError pe;
    const QJsonDocument d = QJsonDocument::fromJson(text, &pe);
    if (!d.isObject())
        *error = QStringLiteral("node %1: conditions are not a JSON object").arg(n.index);
    return d.object();
}

QString formatOutput(const QString &format, const QMap<QString, QVariant> &outputs)
{
    static const QRegularExpression ref(QStringLiteral("\\{([0-9]+\\.[A-Za-z_]+)\\}"));
    QString out;
    int at = 0;
    auto it = ref.globalMatch(format);
    while (it.hasNext()) {
        const auto m = it.next();
        out += format.mid(at, m.capturedStart() - at) + outputs.value(m.captured(1)).toString();
        at = m.capturedEnd();
    }
    return out + format.mid(at);
}
}  // namespace

VvRun VvRunner::run(const VvWorkflow &workflow, const Grab &grab, const Resources &resources)
{
    VvRun run;
    Context c{&run, &grab, &resources};
    QMap<int, int> position;
    for (int i = 0; i < workflow.nodes.size(); ++i)
        position.insert(workflow.nodes[i].index, i);
    QMap<int, int> loops;  // node index -> iterations done
    bool judged = true;
    int pc = 0;
    for (int steps = 0; pc < workflow.nodes.size(); ++steps) {
        if (steps >= kMaxSteps) {
            run.error = QStringLiteral("more than %1 node executions").arg(kMaxSteps);
            return run;
        }
        const VvNode &n = workflow.nodes[pc];
        run.trace << QStringLiteral("%1 %2").arg(n.index).arg(n.method);
        QString error;
        bool ok = true;
        int next = pc + 1;
        if (n.method == QLatin1String("zuCamera")) {
            ok = camera(n, c, &error);
        } else if (n.method == QLatin1String("zuCodeReader")) {
            ok = codeReader(n, c, &error);
        } else if (n.method == QLatin1String("zuBlobLocator")) {
            ok = blobLocator(n, c, &error);
        } else if (n.method == QLatin1String("zuPresence")) {
            ok = presence(n, c, &error);
        } else if (n.method == QLatin1String("zuTemplateLocator")) {
            ok = templateLocator(n, c, &error);
        } else if (n.method == QLatin1String("zuClassifier")) {
            ok = classifier(n, c, &error);
        } else if (n.method == QLatin1String("zuResultOutput")) {
            run.result = formatOutput(n.params.value(QStringLiteral("format")), run.outputs);
            c.put(n, QStringLiteral("text"), run.result);
            // "send": "<0|1>|<terminator>", the text sent as it stands on the result links.
            const QStringList send = n.params.value(QStringLiteral("send")).split(QLatin1Char('|'));
            if (send.value(0) == QLatin1String("1")) {
                static const QMap<QString, QByteArray> ends{{"NONE", ""}, {"CR", "\r"}, {"LF", "\n"}, {"CRLF", "\r\n"}};
                run.sent = run.result.toUtf8() + ends.value(send.value(1), QByteArrayLiteral("\r\n"));
            }
        } else if (n.method == QLatin1String("zuConditionNode")) {
            bool holds = false;
            const QJsonObject d = conditionsOf(n, &error);
            ok = error.isEmpty() && VvConditions::evaluateAll(d, run.outputs, &holds, &error);
            c.put(n, QStringLiteral("result"), holds ? 1 : 0);
            if (ok && !holds) {  // a failed check ends the run as "NG"
                judged = false;
                break;
            }
        } else if (n.method == QLatin1String("zuBranchNode")) {
            const QJsonObject d = conditionsOf(n, &error);
            const QJsonObject branches = QJsonDocument::fromJson(
                n.params.value(QStringLiteral("branches")).toUtf8()).object();
            QString taken = QStringLiteral("ELSE");
            for (auto it = branches.begin(); ok && error.isEmpty() && it != branches.end(); ++it) {
                bool holds = false;
                if (it.key() == QLatin1String("ELSE"))
                    continue;
                ok = VvConditions::evaluate(d, it.key(), run.outputs, &holds, &error);
                if (ok && holds) {
                    taken = it.key();
                    break;
                }
            }
            ok = ok && error.isEmpty();
            c.put(n, QStringLiteral("branch"), taken);
            if (ok && branches.contains(taken)) {
                const int target = branches.value(taken).toInt(-1);
                if (!position.contains(target)) {
                    ok = false;
                    error = QStringLiteral("branch %1 goes to no node %2").arg(taken).arg(target);
                } else {
                    next = position.value(target);
                }
            }
        } else if (n.method == QLatin1String("zuLoopNode")) {
            const int target = intParam(n, QStringLiteral("target"), -1);
            const int count = qBound(0, intParam(n, QStringLiteral("count"), 1), 100);
            const QJsonObject d = conditionsOf(n, &error);
            bool holds = true;
            ok = error.isEmpty() && VvConditions::evaluateAll(d, run.outputs, &holds, &error);
            if (ok && !position.contains(target)) {
                ok = false;
                error = QStringLiteral("loop goes to no node %1").arg(target);
            }
            int &done = loops[n.index];
            c.put(n, QStringLiteral("iteration"), done);
            if (ok && holds && done < count) {
                ++done;
                next = position.value(target);
            } else {
                done = 0;
            }
        } else {
            ok = false;
            error = QStringLiteral("unknown tool %1").arg(n.method);
        }
        if (!ok) {
            run.error = QStringLiteral("node %1 (%2): %3").arg(n.index).arg(n.method, error);
            return run;
        }
        pc = next;
    }
    run.ok = judged;
    return run;
}

QJsonObject VvRun::toJson(bool withImage) const
{
    QJsonObject o;
    o.insert(QStringLiteral("ok"), ok ? 1 : 0);
    if (!error.isEmpty())
        o.insert(QStringLiteral("error"), error);
    o.insert(QStringLiteral("result"), result);
    QJsonObject outs;
    for (auto it = outputs.begin(); it != outputs.end(); ++it)
        outs.insert(it.key(), QJsonValue::fromVariant(it.value()));
    o.insert(QStringLiteral("outputs"), outs);
    QJsonArray regs;
    for (const VvRegion &r : regions) {
        QJsonArray pts;
        for (const QPoint &p : r.points)
            pts << p.x() << p.y();
        regs << QJsonObject{{QStringLiteral("node"), r.node}, {QStringLiteral("kind"), r.kind},
                            {QStringLiteral("points"), pts}, {QStringLiteral("label"), r.label}};
    }
    o.insert(QStringLiteral("regions"), regs);
    o.insert(QStringLiteral("trace"), QJsonArray::fromStringList(trace));
    if (withImage && !image.isNull()) {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        o.insert(QStringLiteral("image"), QString::fromLatin1(png.toBase64()));
    }
    return o;
}
