// Solution documents, the editor's workflow rules, the conditions the camera evaluates and the
// shipped tool kit, without a reader.
#include "KxSolutionDocument.h"
#include "KxVisionTools.h"
#include "KxWorkflowRules.h"
#include "VvConditions.h"
#include "VvTemplateMatch.h"

#include <QFile>
#include <QJsonDocument>
#include <QtTest>

class TestVisionDocument : public QObject
{
    Q_OBJECT

    static KxVisionWorkflow flow(const QString &name, const QString &trigger)
    {
        KxVisionWorkflow w;
        w.uuid = name + QStringLiteral("-uuid");
        w.displayName = name;
        w.triggerId = trigger;
        return w;
    }

private slots:
    void parseAcceptsOnlyVersionOne_data()
    {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<int>("workflows");
        QTest::newRow("1.0") << QByteArray("<?xml version=\"1.0\"?><Solution KxVision=\"1.0\"><Workflows>"
                                           "<Workflow DisplayName=\"A\" TriggerId=\"11\"/><Workflow DisplayName=\"B\" TriggerId=\"12\"/>"
                                           "</Workflows></Solution>") << true << 2;
        QTest::newRow("2.0") << QByteArray("<Solution KxVision=\"2.0\"><Workflows/></Solution>") << false << 0;
        QTest::newRow("no version") << QByteArray("<Solution><Workflows/></Solution>") << false << 0;
        QTest::newRow("other root") << QByteArray("<Solutions KxVision=\"1.0\"/>") << false << 0;
        QTest::newRow("not xml") << QByteArray("<Solution KxVision=\"1.0\"><Workflows>") << false << 0;
    }
    void parseAcceptsOnlyVersionOne()
    {
        QFETCH(QByteArray, xml);
        QFETCH(bool, accepted);
        QFETCH(int, workflows);
        QList<KxVisionWorkflow> flows;
        QString error;
        QCOMPARE(KxSolutionDocument::parse(xml, &flows, &error), accepted);
        QCOMPARE(error.isEmpty(), accepted);
        if (accepted)
            QCOMPARE(flows.size(), workflows);
    }

    void writeKeepsOrderAndOmitsEmpty()
    {
        KxVisionWorkflow w = flow(QStringLiteral("Read"), QStringLiteral("21"));
        w.needFullResult = true;
        KxVisionNode bare;
        bare.index = 0;
        bare.method = QStringLiteral("zuCamera");
        bare.displayName = QStringLiteral("Cam");
        bare.displayNo = -1;
        KxVisionNode full = bare;
        full.index = 1;
        full.displayNo = 0;
        full.uuid = QStringLiteral("n-1");
        full.type = QStringLiteral("tool");
        full.setParam(QStringLiteral("roi"), QStringLiteral("1,2,3,4"));
        w.nodes << bare << full;
        const QByteArray xml = KxSolutionDocument::make({w});
        QVERIFY(xml.contains("<Node Index=\"0\" Method=\"zuCamera\" DisplayName=\"Cam\">"));
        QVERIFY(xml.contains("<Node Index=\"1\" Method=\"zuCamera\" DisplayName=\"Cam\" DisplayNo=\"0\" "
                             "Uuid=\"n-1\" Type=\"tool\">"));
        QVERIFY(xml.contains("<Workflow Uuid=\"Read-uuid\" DisplayName=\"Read\" TriggerId=\"21\" NeedFullResult=\"true\">"));
        // What is written reads back the same.
        QList<KxVisionWorkflow> back;
        QVERIFY(KxSolutionDocument::parse(xml, &back));
        QCOMPARE(back.size(), 1);
        QCOMPARE(back[0].nodes.size(), 2);
        QCOMPARE(back[0].nodes[0].displayNo, -1);
        QCOMPARE(back[0].nodes[1].param(QStringLiteral("roi")), QStringLiteral("1,2,3,4"));
        QVERIFY(back[0].needFullResult);
    }

    void testDocumentAndReplace()
    {
        KxVisionWorkflow a = flow(QStringLiteral("A"), QStringLiteral("11"));
        KxVisionWorkflow b = flow(QStringLiteral("B"), QStringLiteral("12"));
        const QByteArray test = KxSolutionDocument::testDocument(KxSolutionDocument::workflowXml(b),
                                                                 QStringLiteral("T"), QStringLiteral("99"), true);
        QList<KxVisionWorkflow> flows;
        QVERIFY(KxSolutionDocument::parse(test, &flows));
        QCOMPARE(flows.size(), 1);
        QCOMPARE(flows[0].displayName, QStringLiteral("T"));
        QCOMPARE(flows[0].triggerId, QStringLiteral("99"));
        QVERIFY(KxSolutionDocument::testDocument("<Workflow", "T", "99", false).isEmpty());

        const QByteArray solution = KxSolutionDocument::make({a, b});
        b.displayName = QStringLiteral("B2");
        QVERIFY(KxSolutionDocument::parse(KxSolutionDocument::withWorkflow(solution, b), &flows));
        QCOMPARE(flows.size(), 2);
        QCOMPARE(flows[1].displayName, QStringLiteral("B2"));
        QVERIFY(KxSolutionDocument::parse(KxSolutionDocument::withWorkflow(solution, flow("C", "13")), &flows));
        QCOMPARE(flows.size(), 3);
        QVERIFY(KxSolutionDocument::withWorkflow("<Solution KxVision=\"2.0\"/>", b).isEmpty());
    }

    void workflowRules_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("trigger");
        QTest::addColumn<int>("except");
        QTest::addColumn<QString>("nameKey");
        QTest::addColumn<QString>("triggerKey");
        QTest::newRow("fine") << "New" << "13" << -1 << "" << "";
        QTest::newRow("empty") << " " << "" << -1 << "#IDS_WorkflowName_EmptyTips" << "#IDS_WorkflowTriggerId_EmptyTips";
        QTest::newRow("taken") << "Read" << "11" << -1 << "#IDS_WorkflowName_Exist_Tips" << "#IDS_WorkflowTriggerId_ExistTips";
        QTest::newRow("own on edit") << "Read" << "11" << 0 << "" << "";
        QTest::newRow("10 chars") << "abcdefghij" << "99" << -1 << "" << "";
        QTest::newRow("11 chars") << "abcdefghijk" << "10" << -1 << "#IDS_WorkflowName_LengthTips" << "";
        QTest::newRow("leading 0") << "X" << "05" << -1 << "" << "#IDS_WorkflowTriggerId_FormatTips";
        QTest::newRow("3 digits") << "X" << "100" << -1 << "" << "#IDS_WorkflowTriggerId_FormatTips";
        QTest::newRow("one digit") << "X" << "7" << -1 << "" << "#IDS_WorkflowTriggerId_FormatTips";
    }
    void workflowRules()
    {
        QFETCH(QString, name);
        QFETCH(QString, trigger);
        QFETCH(int, except);
        QFETCH(QString, nameKey);
        QFETCH(QString, triggerKey);
        const QList<KxVisionWorkflow> flows{flow(QStringLiteral("Read"), QStringLiteral("11")),
                                            flow(QStringLiteral("Check"), QStringLiteral("12"))};
        QCOMPARE(KxWorkflowRules::checkName(name, flows, except), nameKey);
        if (!trigger.isEmpty() || !triggerKey.isEmpty())
            QCOMPARE(KxWorkflowRules::checkTrigger(trigger, flows, except), triggerKey);
    }

    void nodeLimits()
    {
        KxVisionWorkflow w = flow(QStringLiteral("A"), QStringLiteral("11"));
        QCOMPARE(KxWorkflowRules::canTest(w), QStringLiteral("#IDS_TestNodeEmpty_Tips"));
        for (int i = 0; i < 3; ++i) {
            KxVisionNode n;
            n.index = KxWorkflowRules::nextIndex(w);
            n.method = i == 0 ? QStringLiteral("zuCamera") : QStringLiteral("zuCodeReader");
            w.nodes << n;
        }
        QCOMPARE(w.nodes.last().index, 2);
        QCOMPARE(KxWorkflowRules::canAddNode(w, QStringLiteral("zuCodeReader"), 4, 4), QString());
        QCOMPARE(KxWorkflowRules::canAddNode(w, QStringLiteral("zuCodeReader"), 4, 3), QStringLiteral("#IDS_MaxTool_Tips"));
        QCOMPARE(KxWorkflowRules::canAddNode(w, QStringLiteral("zuCamera"), 1, 16), QStringLiteral("#IDS_ToolMaxCount_Tips"));
        QCOMPARE(KxWorkflowRules::canAddWorkflow(8, 8), QStringLiteral("#IDS_MaxWorkflow_Tips"));
        QCOMPARE(KxWorkflowRules::canAddWorkflow(7, 8), QString());
    }

    void conditions_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<bool>("holds");
        const QByteArray text = R"({"id":"c1","type":"char*","left_dep_value":"1.text","op":"==","right_dep_type":"FIXED","right_dep_value":"KX-1"})";
        const QByteArray count = R"({"id":"c2","type":"int","left_dep_value":"1.count","op":">=","right_dep_type":"FIXED","right_dep_value":"2"})";
        const QByteArray mean = R"({"id":"c3","type":"float","left_dep_value":"2.mean","op":"<","right_dep_type":"DEPENDENCY","right_dep_value":"2.limit"})";
        QTest::newRow("text equal") << "{\"conditions\":[" + text + "]}" << true << true;
        QTest::newRow("all must hold") << "{\"conditions\":[" + text + "," + count + "]}" << true << false;
        QTest::newRow("or") << "{\"conditions\":[" + text + "," + count + R"(],"logics":[{"id":"l1","op":"OR","dep_ids":["c1","c2"]}]})" << true << true;
        QTest::newRow("and of not") << "{\"conditions\":[" + text + "," + count + R"(],"logics":[{"id":"n","op":"NOT","dep_ids":["c2"]},{"id":"l","op":"AND","dep_ids":["c1","n"]}]})" << true << true;
        QTest::newRow("dependency") << "{\"conditions\":[" + mean + "]}" << true << true;
        QTest::newRow("missing output") << QByteArray(R"({"conditions":[{"id":"c","type":"int","left_dep_value":"9.x","op":"==","right_dep_type":"FIXED","right_dep_value":"1"}]})") << false << false;
        QTest::newRow("bad operator") << QByteArray(R"({"conditions":[{"id":"c","type":"int","left_dep_value":"1.count","op":"=<","right_dep_type":"FIXED","right_dep_value":"1"}]})") << false << false;
        QTest::newRow("text as number") << QByteArray(R"({"conditions":[{"id":"c","type":"int","left_dep_value":"1.text","op":"==","right_dep_type":"FIXED","right_dep_value":"1"}]})") << false << false;
        QTest::newRow("logic loop") << QByteArray(R"({"conditions":[],"logics":[{"id":"a","op":"AND","dep_ids":["b"]},{"id":"b","op":"AND","dep_ids":["a"]}]})") << false << false;
        QTest::newRow("empty holds") << QByteArray("{}") << true << true;
    }
    void conditions()
    {
        QFETCH(QByteArray, json);
        QFETCH(bool, valid);
        QFETCH(bool, holds);
        const VvConditions::Outputs outputs{{"1.text", "KX-1"}, {"1.count", 1}, {"2.mean", 80.5},
                                            {"2.limit", 120}};
        bool result = !holds;
        QString error;
        QCOMPARE(VvConditions::evaluateAll(QJsonDocument::fromJson(json).object(), outputs, &result, &error), valid);
        QCOMPARE(error.isEmpty(), valid);
        if (valid)
            QCOMPARE(result, holds);
    }

    // The tool kit shipped for the camera model: every tool has its pages, picture and
    // parameter lists, and every parameter kind maps to a control.
    void shippedToolKit()
    {
        const QString base = QStringLiteral(BREVAN_SOURCE_DIR "/models/vision/SC500");
        KxVisionTools tools;
        QVERIFY(tools.load(base + QStringLiteral("/toolkit")));
        QVERIFY(tools.loadParams(base + QStringLiteral("/zukit/") + tools.kitName()));
        QVERIFY2(tools.errors().isEmpty(), qPrintable(tools.errors().join('\n')));
        int count = 0;
        for (const KxVisionToolGroup &g : tools.groups()) {
            QVERIFY(g.displayName.startsWith(QLatin1String("#IDS_")));
            for (const KxVisionTool &t : g.tools) {
                ++count;
                QVERIFY2(!QImage(tools.samplePath(t.id)).isNull(), qPrintable(t.id));
                const auto pages = tools.propertyPages(t.id);
                QVERIFY2(pages && !pages->pages.isEmpty(), qPrintable(t.id));
                QVERIFY(tools.helpTips(t.id).startsWith(QLatin1String("#IDS_")));
                const KxVisionFunctionParams p = tools.zuGetFunctionParamsInfos(t.id);
                QVERIFY2(!p.output_params.isEmpty(), qPrintable(t.id));
                QCOMPARE(p.condition_params.size(), p.output_params.size());
                for (const QVariantMap &c : p.condition_params)
                    QVERIFY(QStringList({"type_int", "type_float", "type_char_star"}).contains(c.value("data_type").toString()));
                // Each parameter's page item uses the control its description maps to: by its
                // kit data type where the input table names it, else by its control kind.
                QMap<QString, QString> items;
                for (const KxPageInfo *page : pages->pages)
                    for (const KxGroupInfo *group : page->groups)
                        for (const KxItemInfo *item : group->items)
                            items.insert(item->id, item->controlType);
                for (const QVariantMap &in : p.input_params) {
                    const QString kind = in.value(QStringLiteral("control")).toString();
                    const QString where = t.id + '.' + in.value("id").toString();
                    QVERIFY2(!kind.isEmpty() && !KxVisionTools::controlTypeForKind(kind).isEmpty(), qPrintable(where));
                    const QString type = in.value(QStringLiteral("type")).toString();
                    const bool byType = QStringList({"ZU_IMAGE_INFO", "zuBenchMarkRslts", "zuLocatorContext", "zuKitOutPut", "zuKitTmpl"}).contains(type);
                    QCOMPARE(items.value(in.value("id").toString()),
                             byType ? KxVisionTools::controlTypeForInput(type) : KxVisionTools::controlTypeForKind(kind));
                }
            }
        }
        QCOMPARE(count, 10);
        QCOMPARE(tools.tool(QStringLiteral("zuCamera"))->maxCount, 1);
        QVERIFY(!tools.tool(QStringLiteral("zuNothing")));
        QVERIFY(tools.zuGetFunctionParamsInfos(QStringLiteral("zuNothing")).input_params.isEmpty());
        QVERIFY(!KxVisionTools().load(base));  // no toolkit.xml there
    }

    // Templates cut from a textured image are found exactly where they were cut, through the
    // coarse level (large templates) and without it (small ones); what is not there scores low.
    void templateMatch_data()
    {
        QTest::addColumn<QRect>("cut");
        QTest::addColumn<QRect>("region");
        QTest::addColumn<bool>("there");
        QTest::newRow("small") << QRect(300, 200, 20, 16) << QRect(0, 0, 480, 360) << true;
        QTest::newRow("large") << QRect(37, 211, 90, 70) << QRect(0, 0, 480, 360) << true;
        QTest::newRow("in a region") << QRect(250, 40, 64, 48) << QRect(200, 10, 200, 120) << true;
        QTest::newRow("outside the region") << QRect(250, 40, 64, 48) << QRect(0, 150, 480, 210) << false;
    }

    void templateMatch()
    {
        QFETCH(QRect, cut);
        QFETCH(QRect, region);
        QFETCH(bool, there);
        // Smooth texture, so a shrunk copy still looks like the original.
        QImage image(480, 360, QImage::Format_Grayscale8);
        quint32 seed = 12345;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                seed = seed * 1103515245u + 12345u;
                const double v = 128 + 60 * std::sin(x * 0.11 + y * 0.05) * std::cos(y * 0.13 - x * 0.02) + ((seed >> 16) % 21) - 10;
                image.scanLine(y)[x] = uchar(qBound(0.0, v + 30 * std::sin(x * y * 0.0007), 255.0));
            }
        const VvTemplateMatch::Match m = VvTemplateMatch::find(image, region, image.copy(cut));
        QVERIFY(m.valid);
        QVERIFY(region.contains(m.box));
        if (there) {
            QCOMPARE(m.box, cut);
            QVERIFY(m.score > 0.99);
        } else {
            QVERIFY2(m.score < 0.9, qPrintable(QString::number(m.score)));
        }
        QImage flat(30, 30, QImage::Format_Grayscale8);
        flat.fill(90);
        QCOMPARE(VvTemplateMatch::find(image, region, flat).score, 0.0);
        QVERIFY(!VvTemplateMatch::find(image, QRect(0, 0, 10, 10), image.copy(cut)).valid);
    }

    void controlMappings()
    {
        QCOMPARE(KxVisionTools::controlTypeForKind("zuPoint2i"), QStringLiteral("Point"));
        QCOMPARE(KxVisionTools::controlTypeForKind("zuColorRangeParams"), QStringLiteral("ColorRange"));
        QCOMPARE(KxVisionTools::controlTypeForKind("zuLineEditPath"), QStringLiteral("TextEdit"));
        QTest::ignoreMessage(QtWarningMsg, "***###*** ZuKitCtrlType: zuDial");
        QCOMPARE(KxVisionTools::controlTypeForKind("zuDial"), QString());
        QCOMPARE(KxVisionTools::controlTypeForInput("zuLocatorContext"), QStringLiteral("ZuKitLocatorContext"));
        QTest::ignoreMessage(QtWarningMsg, "***###*** ZuKitInputType: zuOther");
        QCOMPARE(KxVisionTools::controlTypeForInput("zuOther"), QStringLiteral("ZuKitInputEdit"));
    }
};

QTEST_GUILESS_MAIN(TestVisionDocument)
#include "tst_visiondocument.moc"
