// Pictures of network groups against three running virtual readers: the device list's group tab
// with a saved group and the group editor, in windows of 1366x768 and 1400x900, written as
// "<dir>/groups-<name>-<lang>.png" for a look by eye.
#include "BrevanResources.h"
#include "DeviceListWidget.h"
#include "Gallery.h"
#include "KxAppWiring.h"
#include "KxConfig.h"
#include "KxDeviceAlias.h"
#include "KxDeviceKit.h"
#include "KxScriptedUiBackend.h"
#include "KxUiService.h"
#include "MainFrame.h"
#include "MainPageClient.h"
#include "NBoxDeviceListItem.h"
#include "NDeviceList.h"
#include "NetGroupEditWidget.h"
#include "VReaderProcess.h"

#include <QAbstractButton>
#include <QApplication>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <cstdio>

namespace
{
bool waitFor(const std::function<bool()> &done, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QTest::qWait(20);
    return done();
}
} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    brevanInitResources();
    const Gallery gallery(argc, argv, QStringLiteral("groups"), 400);
    QTemporaryDir data;
    KxConfig::instance()->setDataDir(data.path());
    KxDeviceAlias::instance()->load(KxConfig::instance()->aliasFile());
    gallery.loadLook(app);
    KxScriptedUiBackend ui;
    KxUi()->installBackend(&ui);
    KxAppWiring::install();
    KxDeviceKit *kit = KxDeviceKit::Instance();
    kit->setSystemSerialPortsEnabled(false);
    kit->setSerialPorts({});
    qApp->setProperty("localSetting_netDevFreshTimes", QStringLiteral("2"));
    qApp->setProperty("localSetting_deviceAliveTimes", QStringLiteral("30"));

    VReaderProcess vr;
    if (!vr.start({"--model", "KXS-FM800", "--count", "3"})) {
        std::fprintf(stderr, "virtual reader did not start\n");
        return 1;
    }
    kit->setDiscoveryPort(vr.discoveryPort());
    kit->setScanAddresses(vr.firstAddress() + "/29");
    QMap<QString, KxDeviceInfoMap> infos;
    QObject::connect(kit, &KxDeviceKit::deviceUpdated,
                     [&infos](const QString &, const QMap<QString, QString> &info) {
                         infos.insert(info.value("Serial Number"), info);
                     });
    kit->startDeviceScan(3, 2000);
    if (!waitFor([&] { return infos.size() == 3; }, 20000)) {
        std::fprintf(stderr, "readers not found\n");
        return 1;
    }
    const QStringList sns = infos.keys();
    {
        // One saved group: the first reader as master, the second as its slave.
        NetGroupEditWidget ed;
        ed.setReaders(infos.values());
        const int g = ed.newGroup();
        ed.addReader(KxNetGroupModel::keyOf(infos.value(sns[0])));
        ed.addReader(KxNetGroupModel::keyOf(infos.value(sns[1])));
        QSignalSpy done(&ed, &NetGroupEditWidget::saveFinished);
        Q_UNUSED(g);
        if (!ed.save() || !done.wait(40000) || !done.first().at(0).toBool()) {
            std::fprintf(stderr, "group not saved\n");
            return 1;
        }
    }

    for (const QSize size : {QSize(1366, 768), QSize(1400, 900)}) {
        MainFrame::setAvailableGeometryProvider([size] { return QRect(QPoint(0, 0), size); });
        MainFrame frame;
        frame.resize(size);
        frame.show();
        MainPageClient *page = frame.mainPage();
        DeviceListWidget *list = page->deviceList();
        const QString tag = QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
        waitFor([&] { return list->groupDeviceList()->allDevices().size() == 3; }, 20000);
        list->OnGroupBtnClicked();
        // The master's box unfolded, naming its member.
        for (NDeviceListItem *item : list->groupDeviceList()->allDevices()) {
            if (auto *box = qobject_cast<NBoxDeviceListItem *>(item))
                box->expandClicked();
        }
        gallery.save(&frame, "list-" + tag);
        frame.show();
        list->OnGroupEditBtnClicked();
        NetGroupEditWidget *ed = page->groupEditor();
        // A second group being built: the third reader dragged in, not saved yet.
        const int g2 = ed->newGroup();
        ed->addReader(KxNetGroupModel::keyOf(infos.value(sns[2])));
        ed->selectGroup(g2);
        gallery.save(&frame, "editor-" + tag);
        frame.show();
        ed->selectReader(KxNetGroupModel::keyOf(infos.value(sns[1])));
        gallery.save(&frame, "editor-reader-" + tag);
        ui.answerMessage(2);
        page->finishEditNetGroupSlot();
    }
    MainFrame::setAvailableGeometryProvider(nullptr);
    kit->stopDeviceScan(3);
    vr.stop();
    return 0;
}
