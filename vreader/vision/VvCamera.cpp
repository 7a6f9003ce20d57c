#include "VvCamera.h"

#include "VvRunner.h"

#include <KZip>
#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QUuid>

namespace {
VvCamera::Answer refuse(const QString &why)
{
    return VvCamera::Answer{21, QJsonObject{{QStringLiteral("error"), why}}, why};
}

QString now()
{
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

const char *const kEmptySolution =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Solution KxVision=\"1.0\"><Workflows/></Solution>\n";
}  // namespace

VvCamera::VvCamera(const QString &package, const QString &storePath, Grab grab)
    : m_package(package), m_store(storePath), m_grab(std::move(grab))
{
}

VvCamera::Answer VvCamera::call(const QString &code, const QJsonObject &p)
{
    if (code == QLatin1String("USRLGI")) {
        if (p.value(QStringLiteral("usrName")).toString() != QLatin1String("admin")
            || p.value(QStringLiteral("usrPwd")).toString() != QLatin1String(kPassword))
            return refuse(QStringLiteral("wrong account or password"));
        m_loggedIn = true;
        return Answer{6, QJsonObject{{"result", 0}, {"maxWorkflows", m_limits.maxWorkflows},
                                     {"maxTools", m_limits.maxTools}},
                      QStringLiteral("vision login admin")};
    }
    if (code == QLatin1String("USRLGO")) {
        m_loggedIn = false;
        endTest();
        return Answer{6, QJsonObject{{"result", 0}}, QStringLiteral("vision logout")};
    }
    static const QStringList known{"SOLLST", "SOLNEW", "SOLDEL", "SOLRNM", "SOLCUR", "SOLUSE",
                                   "SOLDAT", "SOLSAV", "RUNONE", "RUNSTX", "RUNSTP", "TSTONE",
                                   "TSTSTX", "TSTSTP", "AMOLOD", "OSTLOD", "BMILOD", "BMIDEL",
                                   "BMIGTH", "BMIGOR", "RESLST", "RESDAT"};
    if (!known.contains(code))
        return Answer{5, {}, QStringLiteral("unknown vision call %1").arg(code)};
    if (!m_loggedIn)
        return refuse(QStringLiteral("%1: not logged in").arg(code));
    if (code.startsWith(QLatin1String("SOL")))
        return solutionCall(code, p);
    if (code.startsWith(QLatin1String("RUN")) || code.startsWith(QLatin1String("TST")))
        return runCall(code, p);
    if (code == QLatin1String("RESDAT"))
        return package();
    return resourceCall(code, p);
}

VvCamera::Answer VvCamera::commit(const VvStore &before, Answer ok, const QString &log)
{
    if (!m_store.save()) {
        m_store = before;
        return refuse(QStringLiteral("cannot store the change"));
    }
    ok.log = log;
    return ok;
}

VvCamera::Answer VvCamera::solutionCall(const QString &code, const QJsonObject &p)
{
    const QString id = p.value(QStringLiteral("solId")).toString();
    const QString name = p.value(QStringLiteral("solName")).toString().trimmed();
    const VvStore before = m_store;
    VvSolution *sol = m_store.find(id);
    const bool busy = m_mode != Idle && !id.isEmpty() && id == m_store.current;
    if (code == QLatin1String("SOLLST")) {
        QJsonArray list;
        for (const VvSolution &s : m_store.solutions)
            list << QJsonObject{{"solId", s.id}, {"solName", s.name}, {"createTime", s.created},
                                {"modifyTime", s.modified}, {"curUsed", s.id == m_store.current}};
        return Answer{6, QJsonObject{{"list", list}}, {}};
    }
    if (code == QLatin1String("SOLCUR"))
        return Answer{6, QJsonObject{{"solId", m_store.current},
                                     {"mode", m_mode == Running ? "run" : m_mode == Testing ? "test" : "idle"}}, {}};
    if (code == QLatin1String("SOLNEW") || code == QLatin1String("SOLRNM")) {
        if (name.isEmpty() || name.size() > 32)
            return refuse(QStringLiteral("solution name must have 1 to 32 characters"));
        for (const VvSolution &s : m_store.solutions) {
            if (s.name == name && s.id != id)
                return refuse(QStringLiteral("solution name %1 exists").arg(name));
        }
        if (code == QLatin1String("SOLRNM")) {
            if (!sol)
                return refuse(QStringLiteral("no solution %1").arg(id));
            sol->name = name;
            sol->modified = now();
            return commit(before, Answer{6, {}, {}}, QStringLiteral("solution %1 renamed %2").arg(id, name));
        }
        if (m_store.solutions.size() >= kMaxSolutions)
            return refuse(QStringLiteral("at most %1 solutions").arg(kMaxSolutions));
        const QString newId = QStringLiteral("S%1").arg(m_store.nextId++, 4, 10, QLatin1Char('0'));
        m_store.solutions << VvSolution{newId, name, now(), now(), kEmptySolution};
        return commit(before, Answer{6, QJsonObject{{"solId", newId}}, {}},
                      QStringLiteral("solution %1 created as %2").arg(name, newId));
    }
    if (!sol)
        return refuse(QStringLiteral("no solution %1").arg(id));
    if (code == QLatin1String("SOLDAT"))
        return Answer{6, QJsonObject{{"solData", QString::fromUtf8(sol->document)}}, {}};
    if (busy)
        return refuse(QStringLiteral("solution %1 is running").arg(id));
    if (code == QLatin1String("SOLDEL")) {
        for (int i = 0; i < m_store.solutions.size(); ++i) {
            if (m_store.solutions[i].id == id)
                m_store.solutions.removeAt(i--);
        }
        if (m_store.current == id)
            m_store.current.clear();
        return commit(before, Answer{6, {}, {}}, QStringLiteral("solution %1 deleted").arg(id));
    }
    if (code == QLatin1String("SOLUSE")) {
        if (m_mode != Idle)
            return refuse(QStringLiteral("stop running before switching solutions"));
        m_store.current = id;
        return commit(before, Answer{6, {}, {}}, QStringLiteral("solution %1 in use").arg(id));
    }
    // SOLSAV
    const QByteArray doc = p.value(QStringLiteral("solData")).toString().toUtf8();
    QList<VvWorkflow> flows;
    QString why;
    if (!VvWorkflows::parse(doc, &flows, &why) || !VvWorkflows::check(flows, m_limits, &why))
        return refuse(why);
    sol->document = doc;
    sol->modified = now();
    return commit(before, Answer{6, {}, {}},
                  QStringLiteral("solution %1 saved, %2 workflows").arg(id).arg(flows.size()));
}

VvCamera::Answer VvCamera::runCall(const QString &code, const QJsonObject &p)
{
    const bool test = code.startsWith(QLatin1String("TST"));
    const QString step = code.mid(3);
    if (step == QLatin1String("STP")) {
        if (m_mode != (test ? Testing : Running))
            return refuse(QStringLiteral("%1: nothing to stop").arg(code));
        m_mode = Idle;
        return Answer{6, QJsonObject{{"result", 0}}, QStringLiteral("%1 stopped").arg(test ? "test" : "run")};
    }
    QByteArray doc;
    if (test && p.contains(QStringLiteral("solData"))) {
        doc = p.value(QStringLiteral("solData")).toString().toUtf8();
    } else {
        const VvSolution *sol = m_store.find(m_store.current);
        if (!sol)
            return refuse(QStringLiteral("%1: no solution in use").arg(code));
        doc = sol->document;
    }
    QList<VvWorkflow> flows;
    QString why;
    if (!VvWorkflows::parse(doc, &flows, &why) || !VvWorkflows::check(flows, m_limits, &why))
        return refuse(why);
    const QString trigger = p.value(QStringLiteral("triggerId")).toVariant().toString();
    const VvWorkflow *flow = nullptr;
    for (const VvWorkflow &wf : flows) {
        if (trigger.isEmpty() || wf.triggerId == trigger) {
            flow = &wf;
            break;
        }
    }
    if (!flow)
        return refuse(trigger.isEmpty() ? QStringLiteral("%1: no workflow").arg(code)
                                        : QStringLiteral("%1: no workflow with trigger id %2").arg(code, trigger));
    if (flow->nodes.isEmpty())
        return refuse(QStringLiteral("workflow %1 has no nodes").arg(flow->name));
    if (!m_grab)
        return refuse(QStringLiteral("%1: the camera has no image source").arg(code));
    if (step == QLatin1String("STX")) {
        if (m_mode != Idle)
            return refuse(QStringLiteral("%1: already %2").arg(code, m_mode == Running ? "running" : "testing"));
        const QJsonValue interval = p.value(QStringLiteral("interval"));
        const int ms = interval.isUndefined() ? kDefaultIntervalMs : interval.toInt(-1);
        if (ms < kMinIntervalMs || ms > kMaxIntervalMs)
            return refuse(QStringLiteral("%1: interval must be %2 to %3 ms").arg(code).arg(kMinIntervalMs).arg(kMaxIntervalMs));
        m_mode = test ? Testing : Running;
        m_started = *flow;
        m_intervalMs = ms;
        return Answer{6, QJsonObject{{"result", 0}, {"interval", ms}},
                      QStringLiteral("%1 of %2 started, every %3 ms").arg(test ? "test" : "run", flow->name).arg(ms)};
    }
    Answer a;
    const VvRun run = runFlow(*flow, &a, test, false);
    QJsonObject out = run.toJson(test || flow->fullResult);
    out.insert(QStringLiteral("triggerId"), flow->triggerId);
    out.insert(QStringLiteral("workflow"), flow->name);
    a.json = out;
    a.log = QStringLiteral("%1 %2: %3 %4").arg(code, flow->name, run.ok ? "OK" : "NG", run.error);
    return a;
}

// One run with the store's templates; its result frame and what it sends go into the answer.
VvRun VvCamera::runFlow(const VvWorkflow &flow, Answer *answer, bool test, bool timed)
{
    const auto resources = [this](const QString &uuid, const QString &kind) {
        const VvResourceEntry *e = m_store.findEntry(uuid, nullptr);
        return e && e->kind == kind ? e->data : QByteArray();
    };
    const VvRun run = VvRunner::run(flow, m_grab, resources);
    answer->results << resultFrame(run, flow, test, timed);
    if (!run.sent.isEmpty())
        answer->sent << run.sent;
    return run;
}

VvCamera::Answer VvCamera::tick()
{
    if (m_mode == Idle || !m_grab)
        return Answer{21};
    const bool test = m_mode == Testing;
    Answer a;
    const VvRun run = runFlow(m_started, &a, test, true);
    if (!run.error.isEmpty())
        a.log = QStringLiteral("%1 %2: %3").arg(test ? "test" : "run", m_started.name, run.error);
    return a;
}

void VvCamera::endTest()
{
    if (m_mode == Testing)
        m_mode = Idle;
}

// A result frame: what the run found, with the image for tests and for workflows that ask for
// full results. The image travels as JPEG, halved until it fits a frame; "imageWidth" and
// "imageHeight" keep the sensor size the regions are measured in.
QByteArray VvCamera::resultFrame(const VvRun &run, const VvWorkflow &flow, bool test, bool timed)
{
    QJsonObject o = run.toJson(false);
    o.insert(QStringLiteral("kind"), test ? QStringLiteral("test") : QStringLiteral("run"));
    o.insert(QStringLiteral("seq"), qint64(++m_frameSeq));
    o.insert(QStringLiteral("timed"), timed ? 1 : 0);
    o.insert(QStringLiteral("triggerId"), flow.triggerId);
    o.insert(QStringLiteral("workflow"), flow.name);
    if ((test || flow.fullResult) && !run.image.isNull()) {
        o.insert(QStringLiteral("imageWidth"), run.image.width());
        o.insert(QStringLiteral("imageHeight"), run.image.height());
        QImage image = run.image;
        QByteArray text;
        for (;;) {
            QByteArray jpeg;
            QBuffer buffer(&jpeg);
            buffer.open(QIODevice::WriteOnly);
            image.save(&buffer, "JPEG", 80);
            text = jpeg.toBase64();
            if (text.size() <= kMaxFrameImage || image.width() <= 64)
                break;
            image = image.scaled(image.width() / 2, image.height() / 2, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        }
        o.insert(QStringLiteral("image"), QString::fromLatin1(text));
    }
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

VvCamera::Answer VvCamera::resourceCall(const QString &code, const QJsonObject &p)
{
    if (code == QLatin1String("RESLST")) {
        QJsonArray tops;
        for (const VvResourceGroup &g : m_store.resources) {
            QJsonArray seconds;
            for (const VvResourceEntry &e : g.entries)
                seconds << QJsonObject{{"UUID", e.uuid}, {"Name", e.name}, {"Path", e.path},
                                       {"Operator", e.op}, {"Kind", e.kind}, {"ImgType", e.imgType}};
            tops << QJsonObject{{"UUID", g.uuid}, {"Name", g.name}, {"SecondLevelNodes", seconds}};
        }
        return Answer{6, QJsonObject{{"TopLevelNodes", tops}}, {}};
    }
    const QString uuid = p.value(QStringLiteral("SecondLevelNodes-UUID")).toString();
    const VvStore before = m_store;
    VvResourceGroup *group = nullptr;
    VvResourceEntry *entry = m_store.findEntry(uuid, &group);
    if (code == QLatin1String("BMIGTH") || code == QLatin1String("BMIGOR")) {
        if (!entry || entry->kind != QLatin1String("template"))
            return refuse(QStringLiteral("no template %1").arg(uuid));
        QByteArray data = entry->data;
        QString type = entry->imgType;
        if (code == QLatin1String("BMIGTH")) {
            const QImage small = QImage::fromData(entry->data).scaled(96, 96, Qt::KeepAspectRatio,
                                                                       Qt::SmoothTransformation);
            QBuffer b(&data);
            data.clear();
            b.open(QIODevice::WriteOnly);
            small.save(&b, "PNG");
            type = QStringLiteral("PNG");
        }
        return Answer{6, QJsonObject{{"ImgType", type}, {"data", QString::fromLatin1(data.toBase64())}}, {}};
    }
    if (code == QLatin1String("BMIDEL")) {
        if (!entry)
            return refuse(QStringLiteral("no resource %1").arg(uuid));
        for (int i = 0; i < group->entries.size(); ++i) {
            if (group->entries[i].uuid == uuid)
                group->entries.removeAt(i--);
        }
        return commit(before, Answer{6, {}, {}}, QStringLiteral("resource %1 deleted").arg(uuid));
    }
    // AMOLOD, OSTLOD, BMILOD: add or replace one entry.
    const QByteArray data = QByteArray::fromBase64(p.value(QStringLiteral("data")).toString().toLatin1());
    const QString kind = code == QLatin1String("AMOLOD") ? QStringLiteral("model")
        : code == QLatin1String("OSTLOD") ? QStringLiteral("ocr") : QStringLiteral("template");
    const QString topUuid = p.value(QStringLiteral("TopLevelNodes-UUID")).toString();
    const QString name = p.value(QStringLiteral("SecondLevelNodes-Name")).toString();
    if (topUuid.isEmpty() || uuid.isEmpty() || name.isEmpty() || data.isEmpty())
        return refuse(QStringLiteral("%1: group, entry, name and data are needed").arg(code));
    const QString imgType = p.value(QStringLiteral("ImgType")).toString().toUpper();
    if (kind == QLatin1String("template") && QImage::fromData(data).isNull())
        return refuse(QStringLiteral("%1: the data is not an image").arg(code));
    if (entry && group->uuid != topUuid)
        return refuse(QStringLiteral("%1: entry %2 belongs to another group").arg(code, uuid));
    VvResourceGroup *target = nullptr;
    for (VvResourceGroup &g : m_store.resources) {
        if (g.uuid == topUuid)
            target = &g;
    }
    if (!target) {
        m_store.resources << VvResourceGroup{topUuid, p.value(QStringLiteral("TopLevelNodes-Name")).toString(), {}};
        target = &m_store.resources.last();
        entry = nullptr;
    }
    VvResourceEntry e{uuid, name, p.value(QStringLiteral("Path")).toString(),
                      p.value(QStringLiteral("Operator")).toString(), kind, imgType, data};
    if (entry)
        *entry = e;
    else
        target->entries << e;
    return commit(before, Answer{6, {}, {}}, QStringLiteral("%1 %2 stored").arg(kind, name));
}

VvCamera::Answer VvCamera::package() const
{
    QDir dir(m_package);
    if (m_package.isEmpty() || !dir.exists())
        return refuse(QStringLiteral("no resource package"));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    KZip zip(&buffer);
    if (!zip.open(QIODevice::WriteOnly))
        return refuse(QStringLiteral("cannot pack the resource package"));
    for (const QString &sub : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
        zip.addLocalDirectory(dir.filePath(sub), sub);
    zip.close();
    return Answer{6, QJsonObject{{"data", QString::fromLatin1(bytes.toBase64())}},
                  QStringLiteral("resource package, %1 bytes").arg(bytes.size())};
}
