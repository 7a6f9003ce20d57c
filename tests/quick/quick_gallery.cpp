// Renders the quick page against a virtual reader for a look by eye: a badly set reader (blurred
// and too dark), the same reader after automatic focus and after self-learning, and a
// configuration set enabled, at two window sizes, into "<dir>/quick-<name>-<lang>.png".
#include "BCodeImageCanvas.h"
#include "BCodeImageView.h"
#include "BCodeImageViewPrivate.h"
#include "BrevanResources.h"
#include "Gallery.h"
#include "KxConfig.h"
#include "KxDeviceCommand.h"
#include "KxStandardControls.h"
#include "QuickConfigSetBox.h"
#include "QuickSettingsWidget.h"
#include "KxSettings.h"
#include "QuickToolDialogs.h"
#include "QuickTools.h"
#include "SelectPointFocusDlg.h"
#include "SelfLearningResultDlg.h"
#include "QuickTestSummaryDlg.h"
#include "VReaderProcess.h"
#include "GalleryReader.h"
#include "VReaderSession.h"

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    brevanInitResources();
    const Gallery gallery(argc, argv, QStringLiteral("quick"), 300);
    QTemporaryDir data;
    KxConfig::instance()->setDataDir(data.path());
    KxStandardControls::registerAll();
    gallery.loadLook(app);

    VReaderProcess vr;
    auto connector = GalleryReader::start(vr, {"--count", "1", "--sensor", "1280x800"});
    if (!connector)
        return 1;
    QByteArray v;
    connector->queryCommand(1, "#FOCPOS", v, "100");
    connector->queryCommand(1, "#EXPMOD", v, "1");
    connector->queryCommand(1, "#EXPFET", v, "20");
    connector->queryCommand(1, "#EXPFGN", v, "0");

    QuickSettingsWidget page;
    page.openDevice(QPointer<KxDeviceConnector>(connector.get()), QVariant());
    page.resize(1366, 768);
    page.show();
    QTest::qWait(200);
    GalleryReader::fetch(page.imageView());
    gallery.save(&page, QStringLiteral("blurred-1366x768"));

    page.show();
    page.tool(QuickTools::autoFocus())->click();
    for (int i = 0; i < 3000 && page.isBusy(); ++i)
        QTest::qWait(20);
    GalleryReader::fetch(page.imageView());
    gallery.save(&page, QStringLiteral("focused-1366x768"));

    page.show();
    page.tool(QuickTools::selfLearning())->click();
    QTest::qWait(100);
    gallery.save(&page, QStringLiteral("learning-1366x768"));
    page.show();
    for (int i = 0; i < 6000 && page.isBusy(); ++i)
        QTest::qWait(20);
    GalleryReader::fetch(page.imageView());
    gallery.save(&page, QStringLiteral("learned-1366x768"));
    {
        const auto &res = page.learnResult();
        SelfLearningResultDlg dlg(QPointer<KxDeviceConnector>(connector.get()), res.before, res.after, res.changes, &page);
        dlg.show();
        gallery.save(&dlg, QStringLiteral("learn-result"));
    }

    // The debug test over twenty reads, its results in their table, and the tools' dialogs.
    KxSettings::instance()->setValue("TestEx", "NumberOfTimes", 20);
    page.tool(QuickTools::testEx())->click();
    for (int i = 0; i < 3000 && page.isBusy(); ++i)
        QTest::qWait(20);
    QTest::qWait(500);
    gallery.save(&page, QStringLiteral("debug-test-1366x768"));
    {
        QuickTestSettingsDlg dlg(QStringLiteral("test"), &page);
        dlg.show();
        gallery.save(&dlg, QStringLiteral("read-test-settings"));
        AutoFocusParamsDlg params(&page);
        params.show();
        gallery.save(&params, QStringLiteral("focus-params"));
        SelectPointFocusDlg point(page.imageView()->d()->lastPixmap(), page.imageView()->d()->sensorSize(), &page);
        point.choose(QPoint(280, 170));
        point.show();
        gallery.save(&point, QStringLiteral("point-focus"));
    }

    page.configSetBox()->combo()->setCurrentIndex(1);
    page.configSetBox()->enableButton()->click();
    QTest::qWait(500);
    page.resize(1400, 900);
    page.show();
    GalleryReader::fetch(page.imageView());
    gallery.save(&page, QStringLiteral("set-enabled-1400x900"));

    // A model without a quick page of its own: its most used settings fill the dock.
    VReaderProcess handHeld;
    auto second = GalleryReader::start(handHeld, {"--model", "KXS-HS120", "--count", "1"});
    if (!second)
        return 1;
    QuickSettingsWidget other;
    other.openDevice(QPointer<KxDeviceConnector>(second.get()), QVariant());
    other.resize(1366, 768);
    other.show();
    gallery.save(&other, QStringLiteral("fallback-1366x768"));

    // A debug test on a reader that misses every third read: its summary with the images kept.
    VReaderProcess missing;
    auto third = GalleryReader::start(missing, {"--count", "1", "--sensor", "640x480", "--no-read-every", "4"});
    if (!third)
        return 1;
    QuickSettingsWidget tested;
    tested.openDevice(QPointer<KxDeviceConnector>(third.get()), QVariant());
    tested.resize(1366, 768);
    tested.show();
    KxSettings::instance()->setValue("TestEx", "NumberOfTimes", 12);
    tested.tool(QuickTools::testEx())->click();
    for (int i = 0; i < 3000 && tested.isBusy(); ++i)
        QTest::qWait(20);
    QTest::qWait(500);
    QuickTestSummaryDlg summary(tested.testSummary(), &tested);
    summary.show();
    gallery.save(&summary, QStringLiteral("test-summary"));
    return 0;
}
