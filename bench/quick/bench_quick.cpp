// The quick page's trigger test against a bare loop of the same trigger requests over the kit,
// both against the same virtual reader in the same run, and the GUI thread's longest stall while
// the test runs.
#include "KxConfig.h"
#include "KxDeviceConnector.h"
#include "KxI18nUtil.h"
#include "KxScriptedUiBackend.h"
#include "KxSettings.h"
#include "KxStandardControls.h"
#include "QuickSettingsWidget.h"
#include "QuickTools.h"
#include "VReaderProcess.h"
#include "VReaderSession.h"
#include "bench.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

namespace {
constexpr int kTriggers = 30;
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTemporaryDir data;
    KxConfig::instance()->setDataDir(data.path());
    KxStandardControls::registerAll();
    KxI18nUtil::instance()->loadMain(QStringLiteral(BREVAN_SOURCE_DIR "/models/resources"), "en");
    KxScriptedUiBackend ui;
    VReaderProcess vr;
    if (!vr.start({"--model", "KXS-HS120", "--count", "1"})) {
        std::fprintf(stderr, "virtual reader did not start\n");
        return 1;
    }
    QString why;
    auto connector = VReaderSession::login(vr, &why);
    if (!connector) {
        std::fprintf(stderr, "login failed: %s\n", qPrintable(why));
        return 1;
    }
    int reads = 0;
    QObject::connect(connector.get(), &KxDeviceConnector::batBarcodeReceived, &app, [&reads] { ++reads; });
    KxSettings::instance()->setValue("TestTrigger", "NumberOfTimes", kTriggers);
    QuickSettingsWidget page;
    page.openDevice(QPointer<KxDeviceConnector>(connector.get()), QVariant());
    QToolButton *tool = page.tool(QuickTools::trigger());
    if (!tool) {
        std::fprintf(stderr, "no trigger tool\n");
        return 1;
    }

    // Bare: trigger, wait for the result, next.
    auto bare = [&] {
        for (int i = 0; i < kTriggers; ++i) {
            const int seen = reads;
            QByteArray v;
            connector->queryCommand(1, "@SCNITG", v);
            QElapsedTimer t;
            t.start();
            while (reads == seen && t.elapsed() < 2000)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
    };
    double stall = 0;
    auto run = [&] {
        tool->click();
        while (page.isBusy())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    };
    // The stall watch runs in a round of its own: its 1 ms timer costs the timed rounds nothing.
    auto watched = [&] {
        QElapsedTimer gap;
        gap.start();
        QTimer tick;
        tick.setInterval(1);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            stall = std::max(stall, gap.nsecsElapsed() / 1e6);
            gap.restart();
        });
        tick.start();
        run();
    };
    // Alternating, so a busy machine slows both alike.
    std::vector<double> b, s;
    for (int round = 0; round < 3; ++round) {
        b.push_back(bench::medianMs(bare, 1));
        s.push_back(bench::medianMs(run, 1));
    }
    watched();
    std::sort(b.begin(), b.end());
    std::sort(s.begin(), s.end());
    bench::report(QStringLiteral("trigger test, %1 triggers").arg(kTriggers), s[1], b[1],
                  QStringLiteral("bare loop of the same requests; aim below 1.5"));
    bench::value(QStringLiteral("longest GUI stall during the trigger test"), stall, QStringLiteral("ms"));
    return 0;
}
