// The vision edit frame against the real camera: a first solution, a workflow built from the
// tool dialog with its checks, the reading region drawn on the image, a test that marks the
// code, saving, and leaving with unsaved changes.
#include "KxConfig.h"
#include "KxControlBase.h"
#include "KxI18nUtil.h"
#include "KxDeviceConnector.h"
#include "KxPropertyWidget.h"
#include "KxScriptedUiBackend.h"
#include "KxStandardControls.h"
#include "KxVisionControls.h"
#include "KxVisionLogin.h"
#include "KxVisionResource.h"
#include "KxVisionSolution.h"
#include "VReaderProcess.h"
#include "VisionDialogs.h"
#include "VisionEditFrame.h"
#include "VisionImageView.h"

#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QCheckBox>
#include <QComboBox>
#include <QSpinBox>
#include <QTableWidget>
#include <QtTest>
#include <memory>

class TestVisionFrame : public QObject
{
    Q_OBJECT

    QTemporaryDir m_data;
    VReaderProcess m_vp;
    std::unique_ptr<KxDeviceConnector> m_c;

private slots:
    void initTestCase()
    {
        KxConfig::instance()->setDataDir(m_data.path());
        KxStandardControls::registerAll();
        KxVisionLogin::install();
        QVERIFY2(m_vp.start({"--model", "KXS-SC500"}), m_vp.errorOutput().constData());
        const VReaderProcess::Reader r = m_vp.readers().value(0);
        m_c = std::make_unique<KxDeviceConnector>(r.serial);
        KxDeviceInfoMap info{{"Product Name", r.model}, {"ZUI SUPPORT", "1"}, {"resId", r.model}};
        m_c->setDeviceInfo(info);
        QVERIFY(m_c->connectWithAddress(QStringLiteral("%1:%2").arg(r.address).arg(r.port)));
        QCOMPARE(m_c->login(QStringLiteral("admin"), QStringLiteral("719364")), 0);
    }

    void cleanupTestCase()
    {
        m_c->logout();
        m_c->disconnectDevice();
    }

    void buildTestAndSave()
    {
        KxScriptedUiBackend ui;
        VisionEditFrame frame;
        frame.resize(1366, 768);
        frame.show();
        QVERIFY(frame.openDevice(m_c.get(), {}));
        QCOMPARE(frame.tools().groups().size(), 6);
        QVERIFY(frame.editedSolution().isEmpty());

        // The first solution is put in use and opened for editing.
        ui.answerInput(QStringLiteral("Line A"));
        frame.newSolution();
        QTRY_VERIFY_WITH_TIMEOUT(!frame.editedSolution().isEmpty(), 30000);
        QCOMPARE(KxVisionLogin::solution(m_c.get())->currentId(), frame.editedSolution());
        QCOMPARE(frame.solutionList()->count(), 1);

        // The workflow dialog refuses an empty name, then takes a good one.
        frame.newWorkflow();
        auto *dlg = frame.findChild<VisionWorkflowDlg *>();
        QVERIFY(dlg && dlg->isVisible());
        dlg->triggerEdit()->setText(QStringLiteral("21"));
        QVERIFY(!dlg->tryAccept());
        QCOMPARE(ui.messageTexts().last(), QStringLiteral("#IDS_WorkflowName_EmptyTips"));
        dlg->nameEdit()->setText(QStringLiteral("Read"));
        QVERIFY(dlg->tryAccept());
        QTRY_COMPARE(frame.workflows().size(), 1);
        QCOMPARE(frame.workflows().at(0).triggerId, QStringLiteral("21"));
        QTRY_VERIFY(!frame.findChild<VisionWorkflowDlg *>());
        // A second workflow may not take the same trigger id.
        frame.newWorkflow();
        QTRY_VERIFY(frame.findChild<VisionWorkflowDlg *>() != nullptr);
        dlg = frame.findChild<VisionWorkflowDlg *>();
        dlg->nameEdit()->setText(QStringLiteral("Other"));
        dlg->triggerEdit()->setText(QStringLiteral("21"));
        QVERIFY(!dlg->tryAccept());
        QCOMPARE(ui.messageTexts().last(), QStringLiteral("#IDS_WorkflowTriggerId_ExistTips"));
        dlg->reject();
        QTRY_VERIFY(!frame.findChild<VisionWorkflowDlg *>());
        frame.selectWorkflow(0);

        // Nodes from the tool dialog, grouped by the kit, each with its picture.
        frame.addNode();
        auto *tools = frame.findChild<VisionToolDlg *>();
        QVERIFY(tools);
        QCOMPARE(tools->groupLists().size(), 6);
        QVERIFY(!tools->groupLists().at(0)->item(0)->icon().isNull());
        QVERIFY(tools->selectTool(QStringLiteral("zuCamera")));
        tools->accept();
        QTRY_COMPARE(frame.workflows().at(0).nodes.size(), 1);
        QTRY_VERIFY(!frame.findChild<VisionToolDlg *>());
        frame.addNodeOf(QStringLiteral("zuCamera"));  // one camera per workflow
        QCOMPARE(ui.messageTexts().last(), QStringLiteral("#IDS_ToolMaxCount_Tips"));
        frame.addNodeOf(QStringLiteral("zuCodeReader"));
        frame.addNodeOf(QStringLiteral("zuConditionNode"));
        KxControlBase *conditions = frame.propertyWidget()->control(QStringLiteral("conditions"));
        QVERIFY(conditions);
        conditions->setValue(QStringLiteral(R"({"conditions":[{"id":"c1","type":"int","left_dep_value":"1.count","op":">=","right_dep_type":"FIXED","right_dep_value":"1"}]})"));
        conditions->notifyValueChanged(true);
        QTRY_VERIFY(frame.workflows().at(0).nodes.at(2).param(QStringLiteral("conditions")).contains("1.count"));
        QCOMPARE(frame.nodeList()->count(), 3);
        QVERIFY(frame.isDirty());

        // A test over the whole image finds the part's code.
        frame.selectNode(1);
        frame.testOnce();
        QTRY_VERIFY_WITH_TIMEOUT(frame.resultLabel()->text().contains(QLatin1String("KX-PART-000142")), 60000);
        QVERIFY(frame.resultLabel()->text().contains(QLatin1String(">OK<")));
        QVERIFY(!frame.imageView()->image().isNull());
        // The outputs table names each output by its node.
        const QList<QTableWidgetItem *> text = frame.outputTable()->findItems(QStringLiteral("KX-PART-000142"), Qt::MatchExactly);
        QCOMPARE(text.size(), 1);
        QVERIFY2(frame.outputTable()->item(text[0]->row(), 0)->text().startsWith(QStringLiteral("1 %1").arg(frame.workflows().at(0).nodes.at(1).displayName)),
                 qPrintable(frame.outputTable()->item(text[0]->row(), 0)->text()));

        // Drawing the region on the image sets the reader node's region.
        VisionImageView *view = frame.imageView();
        frame.button(QStringLiteral("btnDraw"))->click();
        QVERIFY(view->drawMode());
        const QRectF shown = view->imageRect();
        const QPoint from = (shown.topLeft() + QPointF(shown.width() * 0.05, shown.height() * 0.05)).toPoint();
        const QPoint to = (shown.topLeft() + QPointF(shown.width() * 0.3, shown.height() * 0.3)).toPoint();
        QTest::mousePress(view, Qt::LeftButton, Qt::NoModifier, from);
        QTest::mouseMove(view, to);
        QTest::mouseRelease(view, Qt::LeftButton, Qt::NoModifier, to);
        const QStringList roi = frame.workflows().at(0).nodes.at(1).param(QStringLiteral("roi")).split(',');
        QCOMPARE(roi.size(), 4);
        QVERIFY2(roi[0].toInt() < 100 && roi[2].toInt() > 200, qPrintable(roi.join(',')));
        // The corner holds no code: the condition ends the test as NG.
        frame.testOnce();
        QTRY_VERIFY_WITH_TIMEOUT(frame.resultLabel()->text().contains(QLatin1String(">NG<")), 60000);

        // Leaving with unsaved changes asks; Cancel stays.
        ui.answerMessage(3);
        QVERIFY(!frame.checkLeave());
        QCOMPARE(ui.lastMessage().text, QStringLiteral("#IDS_SaveWorkflow_Tips"));

        frame.button(QStringLiteral("btnSave"))->click();
        QTRY_VERIFY_WITH_TIMEOUT(!frame.isDirty(), 30000);
        QCOMPARE(ui.toastTexts().last(), QStringLiteral("#IDS_SaveSolution_Success"));
        KxVisionSolution *s = KxVisionLogin::solution(m_c.get());
        bool downloaded = false;
        s->download(frame.editedSolution(), [&](bool ok, const QString &) { downloaded = ok; });
        QTRY_VERIFY_WITH_TIMEOUT(downloaded, 30000);
        QList<KxVisionWorkflow> stored;
        QVERIFY(KxSolutionDocument::parse(s->document(), &stored));
        QCOMPARE(stored.size(), 1);
        QCOMPARE(stored[0].nodes.size(), 3);
        QCOMPARE(stored[0].nodes[1].param(QStringLiteral("roi")), roi.join(','));
        QVERIFY(frame.checkLeave());
        QVERIFY(ui.errors().isEmpty());
    }

    // Every tool's page gets a control for each parameter; the vision controls edit their
    // node's parameter: the locator to follow, a template cut from the image or loaded from a
    // file onto the camera, and how a result is sent.
    void visionControls()
    {
        KxScriptedUiBackend ui;
        VisionEditFrame frame;
        frame.resize(1366, 768);
        frame.show();
        QVERIFY(frame.openDevice(m_c.get(), {}));
        QTRY_COMPARE_WITH_TIMEOUT(frame.workflows().size(), 1, 30000);
        frame.selectWorkflow(0);
        QVERIFY(!frame.workflows().at(0).nodes.isEmpty());
        frame.selectNode(frame.workflows().at(0).nodes.size() - 1);
        ui.answerMessage(1);
        frame.clearWorkflow();
        QCOMPARE(frame.workflows().at(0).nodes.size(), 0);
        QStringList all;
        for (const KxVisionToolGroup &g : frame.tools().groups())
            for (const KxVisionTool &t : g.tools)
                all << t.id;
        for (const QString &t : all) {
            frame.addNodeOf(t);
            const auto pages = frame.tools().propertyPages(t);
            for (const KxPageInfo *p : pages->pages)
                for (const KxGroupInfo *g : p->groups)
                    for (const KxItemInfo *i : g->items)
                        QVERIFY2(frame.propertyWidget()->control(i->id), qPrintable(t + '.' + i->id));
        }
        const QList<KxVisionNode> nodes = frame.workflows().at(0).nodes;
        const auto at = [&nodes](const char *method) {
            for (int i = 0; i < nodes.size(); ++i)
                if (nodes[i].method == QLatin1String(method))
                    return i;
            return -1;
        };
        const auto param = [&frame](int node, const char *id) { return frame.workflows().at(0).nodes.at(node).param(QLatin1String(id)); };

        // The presence check follows one of the two locators before it.
        frame.selectNode(at("zuPresence"));
        auto *follow = qobject_cast<KxZuKitLocatorContext *>(frame.propertyWidget()->control("locator"));
        QVERIFY(follow);
        QCOMPARE(follow->combo()->count(), 3);
        emit follow->combo()->activated(2);
        QCOMPARE(param(at("zuPresence"), "locator"), QString::number(nodes[at("zuTemplateLocator")].index));

        // A template from the image needs a drawn region; then it goes onto the camera.
        frame.selectNode(at("zuTemplateLocator"));
        auto *templ = qobject_cast<KxZuKitTmpl *>(frame.propertyWidget()->control("template"));
        QVERIFY(templ);
        templ->fromImage();
        QCOMPARE(ui.messageTexts().last(), QStringLiteral("#IDS_ZuTmplNoRegion_Tips"));
        QImage scene(200, 100, QImage::Format_Grayscale8);
        scene.fill(40);
        frame.imageView()->setImage(scene);
        emit frame.imageView()->rectDrawn(QRect(20, 10, 60, 40));
        templ->fromImage();
        QTRY_VERIFY_WITH_TIMEOUT(!param(at("zuTemplateLocator"), "template").isEmpty(), 30000);
        const QString cut = param(at("zuTemplateLocator"), "template");
        KxVisionResource *res = KxVisionLogin::resource(m_c.get());
        QVERIFY(res->entry(cut) && res->entry(cut)->kind == QLatin1String("template"));
        QTRY_VERIFY_WITH_TIMEOUT(!templ->thumbnail()->pixmap(Qt::ReturnByValue).isNull(), 30000);
        // A file: an image is taken, anything else is refused by the camera and changes nothing.
        QTemporaryDir dir;
        const QString png = dir.filePath("lid.png"), text = dir.filePath("notes.png");
        scene.save(png);
        QFile f(text);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("not an image") > 0);
        f.close();
        const int shown = ui.messageTexts().size();
        ui.answerFile(text);
        templ->loadFile();
        QTRY_VERIFY_WITH_TIMEOUT(ui.messageTexts().size() > shown, 30000);
        QVERIFY(ui.messageTexts().last().startsWith(kxTr("#IDS_ZuTmplLoad_Failed")));
        QCOMPARE(param(at("zuTemplateLocator"), "template"), cut);
        ui.answerFile(png);
        templ->loadFile();
        QTRY_VERIFY_WITH_TIMEOUT(param(at("zuTemplateLocator"), "template") != cut, 30000);
        QCOMPARE(res->entry(param(at("zuTemplateLocator"), "template"))->name, QStringLiteral("lid"));

        // A model file goes onto the camera and becomes the classifier's model.
        frame.selectNode(at("zuClassifier"));
        auto *model = qobject_cast<KxZuKitModel *>(frame.propertyWidget()->control("model"));
        QVERIFY(model && !model->thumbnail());
        const QString modelFile = dir.filePath("parts.json");
        QFile mf(modelFile);
        QVERIFY(mf.open(QIODevice::WriteOnly) && mf.write(R"({"classes":[]})") > 0);
        mf.close();
        ui.answerFile(modelFile);
        model->loadFile();
        QTRY_VERIFY_WITH_TIMEOUT(!param(at("zuClassifier"), "model").isEmpty(), 30000);
        QCOMPARE(res->entry(param(at("zuClassifier"), "model"))->kind, QStringLiteral("model"));
        QCOMPARE(model->combo()->currentText(), QStringLiteral("Models / parts"));

        frame.selectNode(at("zuResultOutput"));
        auto *send = qobject_cast<KxZuKitSendTC *>(frame.propertyWidget()->control("send"));
        QVERIFY(send && !send->endBox()->isEnabled());
        send->sendBox()->click();
        QCOMPARE(param(at("zuResultOutput"), "send"), QStringLiteral("1|CRLF"));
        send->endBox()->setCurrentIndex(send->endBox()->findData("LF"));
        emit send->endBox()->activated(send->endBox()->currentIndex());
        QCOMPARE(param(at("zuResultOutput"), "send"), QStringLiteral("1|LF"));

        ui.answerMessage(2);  // leave without saving
        QVERIFY(frame.checkLeave());
    }

    // A started test and a started run keep sending results that the frame shows as they come;
    // while one is started the buttons that would clash with it are off; leaving stops it.
    void startedTestAndRun()
    {
        KxScriptedUiBackend ui;
        VisionEditFrame frame;
        frame.resize(1366, 768);
        frame.show();
        QVERIFY(frame.openDevice(m_c.get(), {}));
        QTRY_COMPARE_WITH_TIMEOUT(frame.workflows().size(), 1, 30000);
        KxVisionSolution *s = KxVisionLogin::solution(m_c.get());
        const auto on = [&frame](const char *name) { return frame.button(QLatin1String(name))->isEnabled(); };
        frame.intervalBox()->setValue(200);

        struct Case { const char *button; const char *mode; const char *blocked; QString kind; };
        for (const Case &c : {Case{"btnTestRun", "#IDS_VisionTesting", "btnRun", QStringLiteral("test")},
                              Case{"btnRun", "#IDS_VisionRunning", "btnTestRun", QStringLiteral("run")}}) {
            const int before = s->resultCount();
            frame.button(QLatin1String(c.button))->click();
            QTRY_COMPARE_WITH_TIMEOUT(frame.modeLabel()->text(), kxTr(QLatin1String(c.mode)), 30000);
            QVERIFY(!on(c.blocked) && !on("btnSolUse") && !frame.intervalBox()->isEnabled());
            QTRY_VERIFY_WITH_TIMEOUT(s->resultCount() >= before + 3, 60000);
            QVERIFY(s->lastResult().timed);
            QCOMPARE(s->lastResult().kind, c.kind);
            QTRY_VERIFY(frame.resultLabel()->text().contains(kxTr(c.kind == QLatin1String("run") ? "#IDS_VisionRunResult" : "#IDS_VisionTestResult")));
            if (c.kind == QLatin1String("test")) {
                frame.button(QLatin1String(c.button))->click();
                QTRY_VERIFY_WITH_TIMEOUT(frame.modeLabel()->text().isEmpty(), 30000);
                QVERIFY(on("btnRun") && on("btnTestOnce") && frame.intervalBox()->isEnabled());
            }
        }
        // Leaving while the camera runs asks, and the run stops.
        ui.answerMessage(1);
        QVERIFY(frame.checkLeave());
        QCOMPARE(ui.lastMessage().text, QStringLiteral("#IDS_ExitSolutionRunning_Tips"));
        QTRY_VERIFY_WITH_TIMEOUT(!s->isRunning(), 30000);
        QVERIFY(ui.errors().isEmpty());
    }
};

QTEST_MAIN(TestVisionFrame)
#include "tst_visionframe.moc"
