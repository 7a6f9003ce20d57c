// Renders the device list with readers, the reader details and each reader dialog into
// "<dir>/devicelist-<name>-<lang>.png" for a visual check.
#include "AddDeviceDlg.h"
#include "ChangeNetworkSettingDlg.h"
#include "DeviceAliasEditDlg.h"
#include "DeviceInfoWidget.h"
#include "DeviceListLogic.h"
#include "DeviceListTestEnv.h"
#include "DeviceListWidget.h"
#include "NDeviceList.h"

#include <QApplication>
#include <QFont>
#include <QFile>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QTest>

#include <cstdio>

static void save(QWidget *w, const QString &dir, const QString &name, const QString &lang)
{
    w->show();
    QTest::qWait(200);
    const QString path = QStringLiteral("%1/devicelist-%2-%3.png").arg(dir, name, lang);
    if (!w->grab().save(path))
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    else
        std::printf("%s %dx%d\n", qPrintable(path), w->width(), w->height());
    w->hide();
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    // The application's font (its settings substitute a Chinese-capable family), so the
    // pictures show the texts as users see them.
    QFont::insertSubstitutions(QStringLiteral("Microsoft Yahei"),
                               {QStringLiteral("WenQuanYi Micro Hei"),
                                QStringLiteral("Noto Sans CJK SC"), QStringLiteral("DejaVu Sans")});
    QFont appFont = QApplication::font();
    appFont.setFamily(QStringLiteral("Microsoft Yahei"));
    QApplication::setFont(appFont);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/tmp");
    const QString lang = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("en");
    DeviceListTestEnv env;
    KxI18nUtil::instance()->loadMain(QStringLiteral(BREVAN_SOURCE_DIR "/models/resources"), lang);
    QFile css(QStringLiteral(BREVAN_SOURCE_DIR "/resources/qss/wsdefault.css"));
    if (css.open(QIODevice::ReadOnly))
        app.setStyleSheet(QString::fromLatin1(css.readAll()));
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
    save(&page, dir, "main", lang);
    list->OnGroupBtnClicked();
    save(&page, dir, "groups", lang);
    list->OnListBtnClicked();
    list->setSearchText("packing");
    save(&page, dir, "search", lang);

    AddDeviceDlg add;
    add.ipEdit()->setText("127.0.0.5");
    save(&add, dir, "add", lang);
    ChangeNetworkSettingDlg net("02:4B:00:00:00:01", a);
    save(&net, dir, "network", lang);
    DeviceAliasEditDlg alias("02:4B:00:00:00:02", list->deviceInfo("02:4B:00:00:00:02"));
    save(&alias, dir, "alias", lang);
    KxDeviceAlias::instance()->setAlias("FM8000002", "");
    return 0;
}
