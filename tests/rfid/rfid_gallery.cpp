// Pictures of the RFID frame through the main window against a virtual RFID reader of 60 tags:
// the inventory page after an inventory with a verified user-memory write and a refused TID
// write, and the settings page: rfid_gallery <output-dir> [en|zh_cn] [WxH]
#include "AdvancedSettingsWidget.h"
#include "BrevanResources.h"
#include "DeviceEditClient.h"
#include "DeviceListLogic.h"
#include "DeviceListWidget.h"
#include "Gallery.h"
#include "MainFrame.h"
#include "MainPageClient.h"
#include "MainWinTestEnv.h"
#include "NDeviceGroupItem.h"
#include "NDeviceList.h"
#include "NDeviceListItem.h"
#include "RFIDEditFrame.h"
#include "RfidInventoryWidget.h"
#include "RfidTagModel.h"
#include "VReaderSession.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QToolButton>

#include <cstdio>

namespace {
bool waitFor(const std::function<bool()> &done, int ms)
{
    for (int i = 0; i < ms / 20 && !done(); ++i)
        QTest::qWait(20);
    return done();
}
} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    brevanInitResources();
    const Gallery gallery(argc, argv, QStringLiteral("rfid"), 400);
    QSize size(1366, 768);
    if (argc > 3) {
        const QStringList wh = QString::fromLocal8Bit(argv[3]).split('x');
        size = QSize(wh.value(0).toInt(), wh.value(1).toInt());
    }
    const QString tag = QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
    MainWinTestEnv env;
    gallery.loadLook(app);
    VReaderProcess vr;
    const QString why = VReaderSession::startForDiscovery(
        vr, {"--model", "KXS-RF600", "--tags", "60", "--set", "URFRND=20", "--set", "URFANT=15"});
    if (!why.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(why));
        return 1;
    }
    MainFrame::setAvailableGeometryProvider([size] { return QRect(QPoint(0, 0), size); });
    MainFrame frame;
    frame.show();
    frame.resize(size);
    NDeviceGroupItem *net = nullptr;
    if (!waitFor([&] {
            net = frame.mainPage()->deviceList()->allDeviceList()->group(DeviceListLogic::kGroupNetwork);
            return net && !net->devices().isEmpty();
        }, 20000))
        return 1;
    QTest::mouseDClick(net->devices().first(), Qt::LeftButton, Qt::NoModifier, QPoint(20, 10));
    RFIDEditFrame *rfid = nullptr;
    if (!waitFor([&] {
            auto *edit = qobject_cast<DeviceEditClient *>(frame.currentPanel());
            rfid = edit ? qobject_cast<RFIDEditFrame *>(edit->currentFrame()) : nullptr;
            return rfid != nullptr;
        }, 30000))
        return 1;
    RfidInventoryWidget *page = rfid->inventoryPage();
    page->findChild<QAbstractButton *>("btnInventory")->click();
    waitFor([&] { return page->state() == RfidInventoryWidget::State::Running; }, 10000);
    waitFor([&] { return page->state() == RfidInventoryWidget::State::Stopped; }, 60000);
    // A user-memory write that reads back, then a TID write the reader refuses.
    page->selectEpc(page->model()->table().row(4).epc);
    page->bankBox()->setCurrentIndex(KxRfidMemory::Bank_User);
    page->pointerBox()->setValue(0);
    page->dataEdit()->setText(QStringLiteral("CAFE 0042 1234"));
    page->findChild<QAbstractButton *>("btnWriteBank")->click();
    waitFor([&] { return !page->memoryBusy(); }, 15000);
    gallery.save(&frame, QStringLiteral("inventory-") + tag);
    frame.show();
    page->bankBox()->setCurrentIndex(KxRfidMemory::Bank_Tid);
    page->dataEdit()->setText(QStringLiteral("1234"));
    page->findChild<QAbstractButton *>("btnWriteBank")->click();
    waitFor([&] { return !page->memoryBusy(); }, 15000);
    page->findChild<QLineEdit *>("editEpcFilter")->setText(QStringLiteral("00"));
    page->findChild<QComboBox *>("comboAntennaFilter")->setCurrentIndex(2);
    gallery.save(&frame, QStringLiteral("locked-filtered-") + tag);
    frame.show();
    rfid->toolButton("Id_Btn_AdvancedSettings")->click();
    QTest::qWait(300);
    gallery.save(&frame, QStringLiteral("settings-") + tag);
    frame.show();
    rfid->toolButton("Id_Btn_MainPage")->click();
    waitFor([&] { return frame.getCurPanelId() == MainFramePanel_Main; }, 15000);
    MainFrame::setAvailableGeometryProvider(nullptr);
    vr.stop();
    return 0;
}
