// A camera of the real virtual reader over loopback: vision login and resources, solutions,
// a workflow that reads the scene's code in a region and judges it, save, and what a failed call
// leaves behind.
#include "KxConfig.h"
#include "KxDeviceConnector.h"
#include "KxDeviceResource.h"
#include "KxSolutionDocument.h"
#include "KxVisionCall.h"
#include "KxVisionResult.h"
#include "KxVisionLogin.h"
#include "KxVisionResource.h"
#include "KxVisionSolution.h"
#include "VReaderProcess.h"

#include <QJsonArray>
#include <QtTest>
#include <memory>

namespace {
const char *const kSceneCode = "KX-PART-000142";

struct Result
{
    bool done = false;
    bool ok = false;
    QString text;
};
}  // namespace

class TestVisionCamera : public QObject
{
    Q_OBJECT

    QTemporaryDir m_data;
    VReaderProcess m_vp;

    std::vector<std::unique_ptr<KxDeviceConnector>> m_open;

    // A logged-in camera (or the failed login's code); released by cleanup().
    KxDeviceConnector *open(const QString &password = QString(), int *code = nullptr)
    {
        const VReaderProcess::Reader r = m_vp.readers().value(0);
        m_open.push_back(std::make_unique<KxDeviceConnector>(r.serial));
        KxDeviceConnector *c = m_open.back().get();
        KxDeviceInfoMap info;
        info.insert(QStringLiteral("Product Name"), r.model);
        info.insert(QStringLiteral("ZUI SUPPORT"), QStringLiteral("1"));
        info.insert(QStringLiteral("resId"), r.model);
        c->setDeviceInfo(info);
        if (!c->connectWithAddress(QStringLiteral("%1:%2").arg(r.address).arg(r.port)))
            return nullptr;
        const int result = c->login(QStringLiteral("admin"), password.isNull() ? QStringLiteral("719364") : password);
        if (code)
            *code = result;
        return c;
    }

    static bool wait(const Result &r)
    {
        QElapsedTimer t;
        t.start();
        while (!r.done && t.elapsed() < 60000)
            QTest::qWait(5);
        return r.done;
    }

    template <typename Call>
    static Result run(Call call)
    {
        Result r;
        call([&r](bool ok, const QString &text) {
            r.ok = ok;
            r.text = text;
            r.done = true;
        });
        wait(r);
        return r;
    }

    static KxVisionNode node(int index, const QString &method, QList<QPair<QString, QString>> params = {})
    {
        KxVisionNode n;
        n.index = index;
        n.method = method;
        n.displayName = method;
        n.params = params;
        return n;
    }

    // Camera, code reading in region, a condition on the read text, the result output.
    static KxVisionWorkflow readFlow(const QString &name, const QString &trigger, const QString &roi)
    {
        KxVisionWorkflow w;
        w.uuid = name + QStringLiteral("-1");
        w.displayName = name;
        w.triggerId = trigger;
        const QString condition = QStringLiteral(
            R"({"conditions":[{"id":"c1","name":"code","type":"char*","left_dep_value":"1.text","op":"==","right_dep_type":"FIXED","right_dep_value":"%1"}],"logics":[]})")
            .arg(QLatin1String(kSceneCode));
        w.nodes << node(0, "zuCamera") << node(1, "zuCodeReader", {{"roi", roi}, {"maxCodes", "1"}})
                << node(2, "zuConditionNode", {{"conditions", condition}})
                << node(3, "zuResultOutput", {{"format", "code={1.text}"}});
        return w;
    }

private slots:
    void initTestCase()
    {
        KxConfig::instance()->setDataDir(m_data.path());
        KxVisionLogin::install();
        QVERIFY2(m_vp.start({"--model", "KXS-SC500"}), m_vp.errorOutput().constData());
    }

    void cleanup()
    {
        for (auto &c : m_open) {
            c->logout();
            c->disconnectDevice();
        }
        m_open.clear();
    }

    void loginFetchesResources()
    {
        int code = 99;
        KxDeviceConnector *c = open(QString(), &code);
        QVERIFY(c);
        QCOMPARE(code, 0);
        QCOMPARE(c->state(), int(DeviceState_LoggedIn));
        KxVisionSolution *s = KxVisionLogin::solution(c);
        QVERIFY(s);
        QVERIFY(s->maxWorkflows() > 0 && s->maxTools() > 0);
        KxDeviceResource *res = KxVisionLogin::deviceResource(c);
        QVERIFY(res);
        QVERIFY(QFile::exists(res->toolkitDir() + QStringLiteral("/toolkit.xml")));
        QVERIFY(QFile::exists(res->toolkitDir() + QStringLiteral("/zuCodeReader/sample.png")));
        QVERIFY(c->logout());
        QVERIFY(!KxVisionLogin::solution(c));
    }

    void wrongPasswordNamesTheSession()
    {
        int code = 0;
        KxDeviceConnector *c = open(QStringLiteral("guess"), &code);
        QVERIFY(c);
        QCOMPARE(code, int(KxDeviceConnector::Login_CommandInit));
        QVERIFY2(c->visionError().contains(QLatin1String("USRLGI")), qPrintable(c->visionError()));
        QVERIFY(c->state() != DeviceState_LoggedIn);
    }

    // The scenario of the editor: a new camera gets its first solution (put in use), a workflow
    // that reads the scene's code in a region is tested, saved, and downloaded again after a new
    // login.
    void solutionRoundTrip()
    {
        KxDeviceConnector *c = open();
        QVERIFY(c && c->state() == DeviceState_LoggedIn);
        KxVisionSolution *s = KxVisionLogin::solution(c);
        QVERIFY(s->currentId().isEmpty());

        QString firstId;
        Result r = run([&](auto done) { s->create(QStringLiteral("Line 1"), [&firstId, done](bool ok, const QString &id) { firstId = id; done(ok, id); }); });
        QVERIFY(r.ok);
        QCOMPARE(s->currentId(), firstId);
        r = run([&](auto done) { s->create(QStringLiteral("Line 2"), done); });
        QVERIFY(r.ok);
        QCOMPARE(s->list().size(), 2);
        QCOMPARE(s->currentId(), firstId);  // only the first is put in use

        r = run([&](auto done) { s->download(firstId, done); });
        QVERIFY2(r.ok, qPrintable(r.text));
        const QString centre = QStringLiteral("320,240,640,480");   // the part's code lies in the middle
        const QString corner = QStringLiteral("0,0,200,200");
        KxVisionWorkflow flow = readFlow(QStringLiteral("Read"), QStringLiteral("21"), centre);
        flow.needFullResult = true;
        const QByteArray test = KxSolutionDocument::testDocument(KxSolutionDocument::workflowXml(flow),
                                                                 flow.displayName, flow.triggerId, true);
        r = run([&](auto done) { s->test(1, flow.triggerId, test, done); });
        QVERIFY2(r.ok, qPrintable(r.text));
        QCOMPARE(r.text, QStringLiteral("code=") + kSceneCode);
        const QJsonObject last = s->lastRun();
        QCOMPARE(last.value("ok").toInt(), 1);
        QCOMPARE(last.value("outputs").toObject().value("1.text").toString(), QLatin1String(kSceneCode));
        QVERIFY(!QImage::fromData(QByteArray::fromBase64(last.value("image").toString().toLatin1())).isNull());
        bool codeInRoi = false;
        for (const QJsonValue &v : last.value("regions").toArray()) {
            const QJsonObject reg = v.toObject();
            if (reg.value("kind").toString() != QLatin1String("code"))
                continue;
            const QJsonArray p = reg.value("points").toArray();
            codeInRoi = p.size() == 8 && QRect(320, 240, 640, 480).contains(p[0].toInt(), p[1].toInt());
            QCOMPARE(reg.value("label").toString(), QLatin1String(kSceneCode));
        }
        QVERIFY(codeInRoi);

        // The same workflow looking at a corner reads nothing: the condition ends it as NG.
        const KxVisionWorkflow blind = readFlow(QStringLiteral("Read"), QStringLiteral("21"), corner);
        r = run([&](auto done) {
            s->test(1, QString(), KxSolutionDocument::testDocument(KxSolutionDocument::workflowXml(blind), "Read", "21", false), done);
        });
        QVERIFY(r.ok);
        QCOMPARE(s->lastRun().value("ok").toInt(), 0);
        QCOMPARE(s->lastRun().value("outputs").toObject().value("1.count").toInt(), 0);
        QVERIFY(!s->lastRun().value("outputs").toObject().contains("3.text"));  // never reached

        const QByteArray solution = KxSolutionDocument::withWorkflow(s->document(), flow);
        r = run([&](auto done) { s->save(firstId, solution, done); });
        QVERIFY2(r.ok, qPrintable(r.text));
        r = run([&](auto done) { s->run(1, QStringLiteral("21"), done); });
        QVERIFY2(r.ok, qPrintable(r.text));
        QCOMPARE(r.text, QStringLiteral("code=") + kSceneCode);
        QVERIFY(s->lastRun().value("image").isString());  // the workflow asks for full results

        cleanup();
        c = open();
        QVERIFY(c && c->state() == DeviceState_LoggedIn);
        s = KxVisionLogin::solution(c);
        QCOMPARE(s->currentId(), firstId);
        r = run([&](auto done) { s->download(firstId, done); });
        QVERIFY(r.ok);
        QCOMPARE(s->document(), solution);
        QList<KxVisionWorkflow> flows;
        QVERIFY(KxSolutionDocument::parse(s->document(), &flows));
        QCOMPARE(flows.size(), 1);
        QCOMPARE(flows[0].nodes.size(), 4);
        QCOMPARE(flows[0].nodes[1].param("roi"), centre);
    }

    // Refused calls: the camera's state and the client's stay as they were.
    void refusalsKeepState()
    {
        KxDeviceConnector *c = open();
        QVERIFY(c && c->state() == DeviceState_LoggedIn);
        KxVisionSolution *s = KxVisionLogin::solution(c);
        QVERIFY(s->list().size() >= 2);
        const QString id = s->list().at(0).solId;
        const QString otherName = s->list().at(1).solName;
        QVERIFY(run([&](auto done) { s->download(id, done); }).ok);
        const QByteArray before = s->document();
        const auto names = [s] {
            QStringList n;
            for (const auto &e : s->list())
                n << e.solName;
            return n;
        };
        const QStringList namesBefore = names();

        Result r = run([&](auto done) { s->rename(id, otherName, done); });
        QVERIFY(!r.ok);
        QVERIFY(r.text.contains(otherName));
        QCOMPARE(names(), namesBefore);

        // A trigger id used twice, too many workflows, a document of another version.
        QList<KxVisionWorkflow> twice{readFlow("A", "31", "0,0,10,10"), readFlow("B", "31", "0,0,10,10")};
        twice[1].uuid = "B-1";
        r = run([&](auto done) { s->save(id, KxSolutionDocument::make(twice), done); });
        QVERIFY(!r.ok);
        QVERIFY2(r.text.contains(QLatin1String("trigger id 31")), qPrintable(r.text));
        QList<KxVisionWorkflow> many;
        for (int i = 0; i <= s->maxWorkflows(); ++i) {
            many << readFlow(QStringLiteral("W%1").arg(i), QString::number(40 + i), "0,0,10,10");
            many.last().uuid = QStringLiteral("w%1").arg(i);
        }
        r = run([&](auto done) { s->save(id, KxSolutionDocument::make(many), done); });
        QVERIFY(!r.ok);
        QByteArray v2 = KxSolutionDocument::make({});
        v2.replace("KxVision=\"1.0\"", "KxVision=\"2.0\"");
        r = run([&](auto done) { s->save(id, v2, done); });
        QVERIFY(!r.ok);
        QCOMPARE(s->document(), before);
        QVERIFY(run([&](auto done) { s->download(id, done); }).ok);
        QCOMPARE(s->document(), before);

        // Mode 4 fails at once with an empty text; an unknown trigger id is refused.
        r = run([&](auto done) { s->run(4, QStringLiteral("21"), done); });
        QVERIFY(!r.ok);
        QVERIFY(r.text.isEmpty());
        r = run([&](auto done) { s->run(1, QStringLiteral("77"), done); });
        QVERIFY(!r.ok);

        // While running, the solution in use can be neither switched nor deleted.
        QVERIFY(run([&](auto done) { s->run(2, QString(), done); }).ok);
        QVERIFY(s->isRunning());
        QVERIFY(!run([&](auto done) { s->remove(s->currentId(), done); }).ok);
        QVERIFY(!run([&](auto done) { s->activate(s->list().at(1).solId, done); }).ok);
        QVERIFY(run([&](auto done) { s->run(3, QString(), done); }).ok);
        QVERIFY(!s->isRunning());
        QCOMPARE(names(), namesBefore);
    }

    // Results travel on the result stream: a single test, a started test repeating on its
    // interval until stopped, and a started run that outlives the client's session.
    void resultsOnTheStream()
    {
        KxDeviceConnector *c = open();
        QVERIFY(c && c->state() == DeviceState_LoggedIn);
        KxVisionSolution *s = KxVisionLogin::solution(c);
        QList<KxVisionResult> got;
        connect(s, &KxVisionSolution::resultReceived, this, [&got](const KxVisionResult &r) { got << r; });
        const KxVisionWorkflow flow = readFlow(QStringLiteral("Read"), QStringLiteral("21"), QStringLiteral("320,240,640,480"));
        const QByteArray doc = KxSolutionDocument::testDocument(KxSolutionDocument::workflowXml(flow), "Read", "21", false);

        QVERIFY(run([&](auto done) { s->test(1, flow.triggerId, doc, done); }).ok);
        QTRY_COMPARE_WITH_TIMEOUT(got.size(), 1, 60000);
        const KxVisionResult once = got.last();
        QCOMPARE(once.kind, QStringLiteral("test"));
        QVERIFY(!once.timed && once.ok);
        QCOMPARE(once.result, QStringLiteral("code=") + kSceneCode);
        QCOMPARE(once.outputs.value("1.text").toString(), QLatin1String(kSceneCode));
        QVERIFY(!once.image.isNull());
        bool codeMarked = false;
        for (const QJsonValue &v : once.regions)
            codeMarked |= v.toObject().value("kind").toString() == QLatin1String("code");
        QVERIFY(codeMarked);
        QCOMPARE(once.image.size(), QImage::fromData(QByteArray::fromBase64(s->lastRun().value("image").toString().toLatin1())).size());

        // The camera refuses intervals out of bounds; the client keeps its own within them.
        for (int ms : {50, 70000}) {
            const KxVisionCall::Reply r = KxVisionCall::call(c, "TSTSTX", {{"solData", QString::fromUtf8(doc)}, {"interval", ms}});
            QVERIFY2(!r.ok && r.error.contains(QLatin1String("interval")), qPrintable(r.error));
        }
        s->setIntervalMs(10);
        QCOMPARE(s->intervalMs(), int(KxVisionSolution::kMinIntervalMs));

        s->setIntervalMs(200);
        QVERIFY(run([&](auto done) { s->test(2, flow.triggerId, doc, done); }).ok);
        QVERIFY(s->isTesting());
        QTRY_VERIFY_WITH_TIMEOUT(got.size() >= 4, 60000);
        for (int i = 1; i < got.size(); ++i) {
            QVERIFY(got[i].timed && got[i].kind == QLatin1String("test"));
            QCOMPARE(got[i].seq, got[i - 1].seq + 1);
            QCOMPARE(got[i].outputs.value("1.text").toString(), QLatin1String(kSceneCode));
        }
        QVERIFY(!run([&](auto done) { s->run(2, QString(), done); }).ok);  // one mode at a time
        QVERIFY(run([&](auto done) { s->test(3, QString(), {}, done); }).ok);
        QVERIFY(!s->isTesting());

        // Stopped means stopped: two single tests a while apart follow each other in sequence.
        const auto single = [&] {
            const int before = got.size();
            if (!run([&](auto done) { s->test(1, flow.triggerId, doc, done); }).ok)
                return qint64(-1);
            QElapsedTimer t;
            t.start();
            while (t.elapsed() < 60000 && (got.size() == before || got.last().timed))
                QTest::qWait(5);
            return got.last().timed ? qint64(-1) : got.last().seq;
        };
        const qint64 first = single();
        QVERIFY(first > 0);
        QTest::qWait(3 * s->intervalMs());
        QCOMPARE(single(), first + 1);

        // A started run goes on without the client and is known as running at the next login.
        QVERIFY(run([&](auto done) { s->run(2, QString(), done); }).ok);
        cleanup();
        c = open();
        QVERIFY(c && c->state() == DeviceState_LoggedIn);
        s = KxVisionLogin::solution(c);
        QVERIFY(s->isRunning());
        int runs = 0;
        connect(s, &KxVisionSolution::resultReceived, this, [&runs](const KxVisionResult &r) { runs += r.kind == QLatin1String("run") && r.timed; });
        QTRY_VERIFY_WITH_TIMEOUT(runs >= 2, 60000);
        QVERIFY(run([&](auto done) { s->run(3, QString(), done); }).ok);
        QVERIFY(!s->isRunning());
    }

    // A template cut from the camera's own image is found again; a code reader that follows the
    // locator reads in a region drawn for another place of the part; a result output sends its
    // text on the result stream.
    void templateLocatorAndSending()
    {
        KxDeviceConnector *c = open();
        QVERIFY(c && c->state() == DeviceState_LoggedIn);
        KxVisionSolution *s = KxVisionLogin::solution(c);
        KxVisionResource *res = KxVisionLogin::resource(c);
        const auto test = [&](const KxVisionWorkflow &w) {
            const Result r = run([&](auto done) {
                s->test(1, QString(), KxSolutionDocument::testDocument(KxSolutionDocument::workflowXml(w), w.displayName, w.triggerId, false), done);
            });
            return r.ok ? s->lastRun() : QJsonObject{{"failed", r.text}};
        };
        KxVisionWorkflow look = readFlow("Look", "22", "0,0,1280,960");
        look.nodes = look.nodes.mid(0, 2);
        const QJsonObject seen = test(look);
        const QImage image = QImage::fromData(QByteArray::fromBase64(seen.value("image").toString().toLatin1()));
        QPolygon code;
        for (const QJsonValue &v : seen.value("regions").toArray()) {
            const QJsonArray p = v.toObject().value("points").toArray();
            if (v.toObject().value("kind").toString() == QLatin1String("code"))
                for (int i = 0; i + 1 < p.size(); i += 2)
                    code << QPoint(p[i].toInt(), p[i + 1].toInt());
        }
        QVERIFY(!image.isNull() && code.size() == 4);
        const QRect part = code.boundingRect().adjusted(-16, -16, 16, 16);
        QByteArray png;
        QBuffer b(&png);
        b.open(QIODevice::WriteOnly);
        image.copy(part).save(&b, "PNG");
        const VisionResGroup group{QStringLiteral("g2"), QStringLiteral("Parts"), {}};
        QVERIFY(run([&](auto done) { res->load("template", group, {"tp1", "Part", "/t", "admin", "g2", "template", "PNG"}, png, done); }).ok);
        QImage checker(48, 48, QImage::Format_Grayscale8);
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 48; ++x)
                checker.setPixel(x, y, ((x / 6 + y / 6) % 2) ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
        QByteArray other;
        QBuffer ob(&other);
        ob.open(QIODevice::WriteOnly);
        checker.save(&ob, "PNG");
        QVERIFY(run([&](auto done) { res->load("template", group, {"tp2", "Checker", "/t", "admin", "g2", "template", "PNG"}, other, done); }).ok);

        // The reader's region is drawn 150, 100 pixels up and left of the part; the locator's
        // origin is there too, so following it puts the region on the part.
        const QPoint off(150, 100);
        const QRect drawn = part.translated(-off);
        const QPointF origin = QRectF(part).center() - off;
        struct Case { QString templ; QString follow; int found; int codes; };
        for (const Case &k : {Case{"tp1", "1", 1, 1}, Case{"tp1", "", 1, 0}, Case{"tp2", "1", 0, 0}}) {
            KxVisionWorkflow w = look;
            w.nodes[1] = node(2, "zuCodeReader", {{"roi", QStringLiteral("%1,%2,%3,%4").arg(drawn.x()).arg(drawn.y()).arg(drawn.width()).arg(drawn.height())},
                                                  {"locator", k.follow}});
            w.nodes.insert(1, node(1, "zuTemplateLocator", {{"template", k.templ}, {"roi", "0,0,1280,960"}, {"minScore", "0.8"},
                                                            {"origin", QStringLiteral("%1,%2").arg(origin.x()).arg(origin.y())}}));
            const QJsonObject r = test(w);
            const QJsonObject out = r.value("outputs").toObject();
            QVERIFY2(!r.contains("failed") && !r.contains("error"), qPrintable(QJsonDocument(r).toJson()));
            QCOMPARE(out.value("1.found").toInt(), k.found);
            QCOMPARE(out.value("2.count").toInt(), k.codes);
            if (k.found) {
                QVERIFY(out.value("1.score").toDouble() > 0.95);
                QVERIFY(qAbs(out.value("1.x").toDouble() - QRectF(part).center().x()) <= 1.0);
                QVERIFY(qAbs(out.value("1.dy").toDouble() - off.y()) <= 1.0);
            } else {
                QVERIFY(out.value("1.score").toDouble() < 0.8);
            }
        }
        // A model of two classes tells the part from a pattern that is not there.
        const auto model = [](const QList<QPair<QString, QByteArray>> &classes) {
            QJsonArray list;
            for (const auto &k : classes)
                list << QJsonObject{{"name", k.first}, {"image", QString::fromLatin1(k.second.toBase64())}};
            return QJsonDocument(QJsonObject{{"classes", list}}).toJson(QJsonDocument::Compact);
        };
        const VisionResGroup models{QStringLiteral("m1"), QStringLiteral("Models"), {}};
        QVERIFY(run([&](auto done) { res->load("model", models, {"md1", "Parts", "/m", "admin", "m1", "model", ""}, model({{"checker", other}, {"part", png}}), done); }).ok);
        QVERIFY(run([&](auto done) { res->load("model", models, {"md2", "Checker", "/m", "admin", "m1", "model", ""}, model({{"checker", other}}), done); }).ok);
        for (const auto &k : {qMakePair(QStringLiteral("md1"), QStringLiteral("part")), qMakePair(QStringLiteral("md2"), QString())}) {
            KxVisionWorkflow w = look;
            w.nodes[1] = node(1, "zuClassifier", {{"model", k.first}, {"minScore", "0.8"}});
            const QJsonObject out = test(w).value("outputs").toObject();
            QCOMPARE(out.value("1.class").toString(), k.second);
            QCOMPARE(out.value("1.found").toInt(), k.second.isEmpty() ? 0 : 1);
        }

        KxVisionWorkflow missing = look;
        missing.nodes << node(2, "zuTemplateLocator", {{"template", "nothing"}});
        QVERIFY(test(missing).value("error").toString().contains(QLatin1String("no template nothing")));

        // The result output sends its text, with its terminator, as a single-code frame.
        QList<QByteArray> sent;
        connect(c, &KxDeviceConnector::batBarcodeReceived, this, [&sent](QList<STRUCT_BARCODE_INFO> list) {
            for (const STRUCT_BARCODE_INFO &i : list)
                sent << i.data;
        });
        KxVisionWorkflow out = readFlow("Send", "23", "0,0,1280,960");
        out.nodes[3].params << qMakePair(QStringLiteral("send"), QStringLiteral("1|CR"));
        QVERIFY(test(out).value("ok").toInt() == 1);
        QTRY_COMPARE_WITH_TIMEOUT(sent.size(), 1, 30000);
        QCOMPARE(sent[0], QByteArray("code=") + kSceneCode + "\r");
    }

    void templatesAreCached()
    {
        KxDeviceConnector *c = open();
        QVERIFY(c && c->state() == DeviceState_LoggedIn);
        KxVisionResource *res = KxVisionLogin::resource(c);
        QVERIFY(res);
        QImage picture(120, 80, QImage::Format_Grayscale8);
        picture.fill(90);
        QByteArray png;
        QBuffer b(&png);
        b.open(QIODevice::WriteOnly);
        picture.save(&b, "PNG");
        const VisionResGroup group{QStringLiteral("g1"), QStringLiteral("Parts"), {}};
        const VisionResInfo entry{QStringLiteral("t1"), QStringLiteral("Lid"), QStringLiteral("/tmpl"),
                                  QStringLiteral("admin"), QStringLiteral("g1"), QStringLiteral("template"), QStringLiteral("PNG")};
        Result r = run([&](auto done) { res->load(QStringLiteral("template"), group, entry, png, done); });
        QVERIFY2(r.ok, qPrintable(r.text));
        QVERIFY(res->entry(QStringLiteral("t1")));
        QVERIFY(!run([&](auto done) { res->load(QStringLiteral("template"), group, entry, "not an image", done); }).ok);

        QString path;
        bool got = false;
        res->templateFile(QStringLiteral("t1"), true, [&](const QString &p) { path = p; got = true; });
        QTRY_VERIFY_WITH_TIMEOUT(got, 60000);
        QVERIFY(path.endsWith(QLatin1String("t1@small.png")));
        QCOMPARE(QImage(path).width(), 96);
        // Deleting the template drops its cached pictures.
        QVERIFY(run([&](auto done) { res->removeTemplate(QStringLiteral("t1"), done); }).ok);
        QVERIFY(!QFile::exists(path));
        QVERIFY(!res->entry(QStringLiteral("t1")));
    }
};

QTEST_GUILESS_MAIN(TestVisionCamera)
#include "tst_visioncamera.moc"
