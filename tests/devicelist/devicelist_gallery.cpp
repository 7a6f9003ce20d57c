// Renders the device list with readers, the reader details and each reader dialog into
// "<dir>/devicelist-<name>-<lang>.png" for a visual check.
#include "AddDeviceDlg.h"
#include "ChangeNetworkSettingDlg.h"
#include "DeviceAliasEditDlg.h"
#include "DeviceInfoWidget.h"
#include "DeviceListLogic.h"
#include "DeviceListTestEnv.h"
#include "DeviceListWidget.h"
#include "Gallery.h"
#include "NDeviceList.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLineEdit>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const Gallery gallery(argc, argv, QStringLiteral("devicelist"), 200);
    DeviceListTestEnv env;
    gallery.loadLook(app);
    KxDeviceAlias::instance()->setAlias("FM8000002", "Packing line 2");

    KxDeviceInfoMap a = networkReader("FM8000001", "127.0.0.2");
    a.insert("PRNQRY", "Model:KXS-FM800\r\nFirmware Version:V2.4.1\r\nHardware Version:B\r\n"
                       "Serial Number:FM8000001\r\nManufacture Date:2026-03-02");
    a.insert("Supp Gr", "1");
    a.insert("Gr En", "1");
    a.insert("Gr Role", "1");
    a.insert("Gr Name", "Line A");
    a.insert("Gr Mst SN", "FM8000001");
    KxDeviceInfoMap b = networkReader("FM8000002", "127.0.0.3");
    b.insert("Supp Gr", "1");
    b.insert("Gr En", "1");
    b.insert("Gr Role", "2");
    b.insert("Gr Name", "Line A");
    b.insert("Gr Mst SN", "FM8000001");
    b.insert("Is Connected To Configtool", "1");
    KxDeviceInfoMap c = networkReader("SC5000001", "127.0.0.4", "KXS-SC500");
    c.insert("ZUI SUPPORT", "1");
    KxDeviceInfoMap d = serialReader("HS1200001", "/dev/pts/3");

    QWidget page;
    page.setObjectName("page");
    page.setStyleSheet("QWidget#page{background:#f3f5f8;}");
    auto *lay = new QHBoxLayout(&page);
    auto *list = new DeviceListWidget(&page);
    list->setFixedWidth(330);
    auto *info = new DeviceInfoWidget(&page);
    lay->addWidget(list);
    lay->addWidget(info, 1);
    QObject::connect(list, &DeviceListWidget::deviceClicked, info, &DeviceInfoWidget::setDevice);
    list->OnDeviceUpdated("02:4B:00:00:00:01", a);
    list->OnDeviceUpdated("02:4B:00:00:00:02", b);
    list->OnDeviceUpdated("02:4B:00:00:00:04", c);
    list->OnDeviceUpdated("HS1200001:COM/dev/pts/3", d);
    list->OnDeviceClicked(DeviceListLogic::kGroupNetwork, "02:4B:00:00:00:01");
    page.resize(900, 640);
    gallery.save(&page, "main");
    list->OnGroupBtnClicked();
    gallery.save(&page, "groups");
    list->OnListBtnClicked();
    list->setSearchText("packing");
    gallery.save(&page, "search");

    AddDeviceDlg add;
    add.ipEdit()->setText("127.0.0.5");
    gallery.save(&add, "add");
    ChangeNetworkSettingDlg net("02:4B:00:00:00:01", a);
    gallery.save(&net, "network");
    DeviceAliasEditDlg alias("02:4B:00:00:00:02", list->deviceInfo("02:4B:00:00:00:02"));
    gallery.save(&alias, "alias");
    KxDeviceAlias::instance()->setAlias("FM8000002", "");
    return 0;
}
