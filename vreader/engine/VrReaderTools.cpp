#include "VrReaderTools.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace VrReaderTools {

namespace {

VrCommand command(const char *code, VrCommand::Kind kind, const QByteArray &def = QByteArray())
{
    VrCommand c;
    c.code = QLatin1String(code);
    c.kind = kind;
    c.defaultValue = def;
    c.rule.kind = KxValueRule::Free;
    c.rule.defaultValue = QString::fromLatin1(def);
    c.rule.hasDefault = !def.isEmpty();
    return c;
}

}  // namespace

bool parseMatch(const QByteArray &value, Match *out)
{
    static const QRegularExpression re(QStringLiteral("^([01])A(\\d{1,6})B(\\d{1,3})C$"));
    const auto m = re.match(QString::fromLatin1(value));
    if (!m.hasMatch() || m.captured(3).toInt() > 100)
        return false;
    out->everyRead = m.captured(1) == QLatin1String("1");
    out->count = m.captured(2).toInt();
    out->level = m.captured(3).toInt();
    return true;
}

bool parseReadTest(const QByteArray &value, ReadTest *out)
{
    static const QRegularExpression re(QStringLiteral("^([012])A(\\d{1,5})B$"));
    const auto m = re.match(QString::fromLatin1(value));
    if (!m.hasMatch())
        return false;
    out->mode = m.captured(1).toInt();
    out->offsetMs = m.captured(2).toInt();
    // A timed test needs a time between reads a reader can keep.
    return out->mode != 1 || (out->offsetMs >= 50 && out->offsetMs <= 10000);
}

QByteArray state(const TestRun &run)
{
    const QJsonObject o{{QStringLiteral("test"), int(run.mode)},
                        {QStringLiteral("reads"), run.reads},
                        {QStringLiteral("good"), run.good},
                        {QStringLiteral("rate"), QString::number(run.rate(), 'f', 2)},
                        {QStringLiteral("level"), run.level}};
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QByteArray testFrame(const VcResult &result, bool ok, const TestRun &run, const VcSender &sender,
                     quint32 seq, quint64 read)
{
    QByteArray body;
    auto item = [&body](const char *key, const QByteArray &value) {
        body += key;
        body += '=';
        body += value;
        body += ';';
    };
    item("Test Result", ok ? "OK" : "NG");
    item("Read Rate", QByteArray::number(run.rate(), 'f', 2));
    item("Match Level", QByteArray::number(run.level));
    item("AI Position", result.noRead ? QByteArray()
                                      : QByteArray::number(result.centre.x()) + 'X'
                                            + QByteArray::number(result.centre.y()) + 'Y');
    item("Owner SN", sender.serial.toUtf8());
    item("Owner MAC", sender.mac.toUtf8());
    item("Owner IP", sender.ip.toUtf8());
    body += VcResultFrames::record(result, seq, read);
    const int size = body.size() + 10;
    return QByteArray("\x02\x02", 2) + QByteArray::number(size, 16).rightJustified(8, '0').toUpper() + body;
}

bool meetsLevel(const QList<VcResult> &results, int level)
{
    for (const VcResult &r : results) {
        if (r.noRead || r.quality < level)
            return false;
    }
    return !results.isEmpty();
}

QList<VrCommand> testCommands()
{
    return {command("TESSEN", VrCommand::Action), command("TESQST", VrCommand::ReadOnly),
            command("ORTSET", VrCommand::Setting, "0A0B"),
            command("CCFBML", VrCommand::Setting, "0A0B0C")};
}

QList<VrCommand> monitorCommands()
{
    return {command("SCNMTG", VrCommand::ReadOnly)};
}

QList<VrCommand> focusCommands()
{
    return {command("FOCPOT", VrCommand::Action), command("FOCQAT", VrCommand::ReadOnly)};
}

int monitorIntervalMs(int mode)
{
    return mode == 2 ? 100 : 200;
}

double sharpness(const QImage &image, const QRect &window)
{
    if (image.format() != QImage::Format_Grayscale8 || image.isNull())
        return 0;
    const QRect r = (window.isEmpty() ? image.rect() : window).intersected(image.rect());
    if (r.width() < 2 || r.height() < 2)
        return 0;
    double sum = 0;
    qint64 n = 0;
    for (int y = r.top(); y < r.bottom(); ++y) {
        const uchar *row = image.constScanLine(y);
        const uchar *next = image.constScanLine(y + 1);
        for (int x = r.left(); x < r.right(); ++x) {
            const int dx = int(row[x + 1]) - int(row[x]);
            const int dy = int(next[x]) - int(row[x]);
            sum += dx * dx + dy * dy;
            ++n;
        }
    }
    return n ? sum / double(n) : 0;
}

bool parsePoint(const QByteArray &value, QPoint *out)
{
    static const QRegularExpression re(QStringLiteral("^(\\d{1,5})X(\\d{1,5})Y$"));
    const auto m = re.match(QString::fromLatin1(value));
    if (!m.hasMatch())
        return false;
    *out = QPoint(m.captured(1).toInt(), m.captured(2).toInt());
    return true;
}

bool foundEdges(double best, double worst)
{
    return best > worst * 1.25 && best - worst > 0.5;
}

int searchFocus(int lo, int hi, const std::function<double(int)> &measure, double *best, double *worst)
{
    double worstValue = -1;
    // Coarse to fine: each round looks at eleven positions around the best of the last one.
    int centre = (lo + hi) / 2;
    int step = qMax(1, (hi - lo) / 10);
    double bestValue = -1;
    int bestPos = centre;
    for (int round = 0; round < 4; ++round) {
        for (int i = -5; i <= 5; ++i) {
            const int p = qBound(lo, centre + i * step, hi);
            const double v = measure(p);
            if (worstValue < 0 || v < worstValue)
                worstValue = v;
            if (v > bestValue) {
                bestValue = v;
                bestPos = p;
            }
        }
        centre = bestPos;
        if (step == 1)
            break;
        step = qMax(1, step / 5);
    }
    if (best)
        *best = bestValue;
    if (worst)
        *worst = worstValue;
    return bestPos;
}

}  // namespace VrReaderTools
