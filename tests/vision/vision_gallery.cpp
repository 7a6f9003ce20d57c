// Pictures of the vision edit frame against a virtual camera: the workflow that reads the
// part's code in a drawn region, tested, with the tool and workflow dialogs:
// vision_gallery <output-dir> [en|zh_cn] [WxH]
#include "Gallery.h"
#include "KxConfig.h"
#include "KxControlBase.h"
#include "KxDeviceConnector.h"
#include "KxPropertyWidget.h"
#include "KxScriptedUiBackend.h"
#include "KxStandardControls.h"
#include "KxVisionControls.h"
#include "KxVisionLogin.h"
#include "KxVisionSolution.h"
#include "VReaderProcess.h"
#include "VisionDialogs.h"
#include "VisionEditFrame.h"
#include "VisionImageView.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTemporaryDir>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    Gallery gallery(argc, argv, QStringLiteral("vision"), 400);
    gallery.loadLook(app);
    const QStringList wh = QString::fromLocal8Bit(argc > 3 ? argv[3] : "1366x768").split('x');
    const QSize size(wh.value(0).toInt(), wh.value(1).toInt());
    QTemporaryDir data;
    KxConfig::instance()->setDataDir(data.path());
    KxStandardControls::registerAll();
    KxVisionLogin::install();
    KxScriptedUiBackend ui;
    VReaderProcess vp;
    if (!vp.start({"--model", "KXS-SC500"}))
        return 1;
    const VReaderProcess::Reader r = vp.readers().value(0);
    KxDeviceConnector c(r.serial);
    c.setDeviceInfo({{"Product Name", r.model}, {"ZUI SUPPORT", "1"}, {"resId", r.model}});
    if (!c.connectWithAddress(QStringLiteral("%1:%2").arg(r.address).arg(r.port)) || c.login("admin", "719364") != 0)
        return 2;

    VisionEditFrame frame;
    frame.resize(size);
    frame.show();
    frame.openDevice(&c, {});
    const auto settle = [](const std::function<bool()> &done) { (void)QTest::qWaitFor(done, 30000); };
    ui.answerInput(QStringLiteral("Line A"));
    frame.newSolution();
    settle([&] { return !frame.editedSolution().isEmpty(); });
    frame.newWorkflow();
    auto *dlg = frame.findChild<VisionWorkflowDlg *>();
    dlg->nameEdit()->setText(QStringLiteral("Read"));
    dlg->triggerEdit()->setText(QStringLiteral("21"));
    gallery.save(dlg, QStringLiteral("workflow-dialog"));
    dlg->tryAccept();
    settle([&] { return frame.workflows().size() == 1; });
    frame.addNode();
    auto *tools = frame.findChild<VisionToolDlg *>();
    tools->selectTool(QStringLiteral("zuCodeReader"));
    gallery.save(tools, QStringLiteral("tool-dialog"));
    tools->reject();
    for (const char *t : {"zuCamera", "zuCodeReader", "zuConditionNode", "zuResultOutput"})
        frame.addNodeOf(QLatin1String(t));
    frame.selectNode(2);
    if (KxControlBase *cond = frame.propertyWidget()->control(QStringLiteral("conditions"))) {
        cond->setValue(QStringLiteral(R"({"conditions":[{"id":"c1","type":"char*","left_dep_value":"1.text","op":"!=","right_dep_type":"FIXED","right_dep_value":""}]})"));
        cond->notifyValueChanged(true);
    }
    frame.selectNode(1);
    frame.testOnce();
    settle([&] { return !frame.imageView()->image().isNull(); });
    // The region drawn around the middle of the image, where the part's code lies.
    VisionImageView *view = frame.imageView();
    view->setDrawMode(true);
    const QRectF shown = view->imageRect();
    const QPoint from = (shown.topLeft() + QPointF(shown.width() * 0.3, shown.height() * 0.28)).toPoint();
    const QPoint to = (shown.topLeft() + QPointF(shown.width() * 0.7, shown.height() * 0.72)).toPoint();
    QTest::mousePress(view, Qt::LeftButton, Qt::NoModifier, from);
    QTest::mouseMove(view, to);
    QTest::mouseRelease(view, Qt::LeftButton, Qt::NoModifier, to);
    view->setDrawMode(false);
    frame.resultLabel()->clear();
    frame.testOnce();
    settle([&] { return !frame.resultLabel()->text().isEmpty(); });
    const QString suffix = QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
    gallery.save(&frame, QStringLiteral("frame-") + suffix);
    frame.show();
    frame.save();
    settle([&] { return !frame.isDirty(); });
    gallery.save(&frame, QStringLiteral("saved-") + suffix);
    // The solution running on the camera, its results arriving on the result stream.
    KxVisionSolution *sol = KxVisionLogin::solution(&c);
    frame.intervalBox()->setValue(300);
    const int before = sol->resultCount();
    frame.toggleRun();
    settle([&] { return sol->resultCount() >= before + 2; });
    gallery.save(&frame, QStringLiteral("running-") + suffix);
    frame.toggleRun();
    settle([&] { return !sol->isRunning(); });
    frame.selectNode(3);  // the result output with its send control
    gallery.save(&frame, QStringLiteral("send-") + suffix);
    // A template locator whose template is cut from the region drawn around the part.
    frame.addNodeOf(QStringLiteral("zuTemplateLocator"));
    const auto drawAt = [view](double x0, double y0, double x1, double y1) {
        const QRectF r = view->imageRect();
        view->setDrawMode(true);
        QTest::mousePress(view, Qt::LeftButton, Qt::NoModifier, (r.topLeft() + QPointF(r.width() * x0, r.height() * y0)).toPoint());
        QTest::mouseMove(view, (r.topLeft() + QPointF(r.width() * x1, r.height() * y1)).toPoint());
        QTest::mouseRelease(view, Qt::LeftButton, Qt::NoModifier, (r.topLeft() + QPointF(r.width() * x1, r.height() * y1)).toPoint());
        view->setDrawMode(false);
    };
    drawAt(0.4, 0.36, 0.6, 0.64);
    if (auto *templ = qobject_cast<KxZuKitTmpl *>(frame.propertyWidget()->control(QStringLiteral("template")))) {
        templ->fromImage();
        const int node = frame.currentNode();
        settle([&] { return !frame.workflows().at(0).nodes.at(node).param(QStringLiteral("template")).isEmpty(); });
        settle([&] { return !templ->thumbnail()->pixmap(Qt::ReturnByValue).isNull(); });
    }
    drawAt(0.15, 0.15, 0.85, 0.85);  // the search region
    const int shownBefore = sol->resultCount();
    frame.testOnce();
    settle([&] { return sol->resultCount() > shownBefore; });
    gallery.save(&frame, QStringLiteral("template-") + suffix);
    c.logout();
    c.disconnectDevice();
    return 0;
}
