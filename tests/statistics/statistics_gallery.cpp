// Pictures of the statistics page against three virtual readers on a conveyor, with a shift of
// history written beforehand so the trend has something to show:
// statistics_gallery <output-dir> [en|zh_cn] [WxH]
#include "BrevanResources.h"
#include "DeviceEditClient.h"
#include "DeviceListLogic.h"
#include "DeviceListWidget.h"
#include "Gallery.h"
#include "KxDeviceConnector.h"
#include "KxStyledButtons.h"
#include "MainFrame.h"
#include "MainPageClient.h"
#include "MainWinTestEnv.h"
#include "NDeviceGroupItem.h"
#include "NDeviceList.h"
#include "NDeviceListItem.h"
#include "PasswordWidgets.h"
#include "StatisticsPassword.h"
#include "StatisticsEditFrame.h"
#include "StatisticsEditWidget.h"
#include "StatisticsHistory.h"
#include "StatisticsHistoryViewDlg.h"
#include "StatisticsReader.h"
#include "StatisticsTestScene.h"
#include "VReaderSession.h"
#include "QStatisticsImageWidget.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QLineEdit>

#include <cstdio>

namespace {
// Eight hours of a line: a record every half hour, one reader with a bad hour in the middle.
void writeShift(const QString &path, int reader)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    const QDateTime now = QDateTime::currentDateTime();
    qint64 total = 0, good = 0;
    double timeMs = 0;
    for (int i = 16; i >= 1; --i) {
        const int reads = 5200 + 300 * ((i * 7 + reader) % 5);
        double rate = 0.985 - 0.004 * reader - 0.002 * ((i + reader) % 3);
        if (reader == 2 && (i == 9 || i == 8))
            rate -= 0.08;
        const qint64 ok = qint64(reads * rate);
        total += reads;
        good += ok;
        timeMs += ok * (11.0 + reader * 2 + (i % 4) * 0.7);
        const StatisticsCounts c{total, good, qint64(timeMs)};
        f.write(now.addSecs(-1800 * i).toString("yyyy-MM-dd HH:mm:ss").toUtf8() + ','
                + StatisticsCounters::figures(c).record().toUtf8() + "\r\n");
    }
}
}  // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    brevanInitResources();
    const Gallery gallery(argc, argv, QStringLiteral("statistics"), 400);
    QSize size(1366, 768);
    if (argc > 3) {
        const QStringList wh = QString::fromLocal8Bit(argv[3]).split('x');
        size = QSize(wh.value(0).toInt(), wh.value(1).toInt());
    }
    const QString tag = QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
    MainWinTestEnv env;
    gallery.loadLook(app);
    QTemporaryDir dir;
    const QString scene = dir.filePath("conveyor.json");
    StatisticsTestScene::write(scene);
    VReaderProcess vr;
    const QString why = VReaderSession::startForDiscovery(vr, {"--count", "3", "--scene", scene}, 3);
    if (!why.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(why));
        return 1;
    }
    const QHostAddress first(vr.firstAddress());
    KxDeviceKit::Instance()->setScanAddresses(first.toString() + '-' + QHostAddress(first.toIPv4Address() + 2).toString());
    for (int i = 0; i < vr.readers().size(); ++i) {
        const VReaderProcess::Reader r = vr.readers()[i];
        writeShift(StatisticsHistory::pathFor(r.serial, QString()), i);
        std::unique_ptr<KxDeviceConnector> c = VReaderSession::login(r);
        if (!c)
            return 1;
        QByteArray v;
        c->queryCommand(1, "#SCNITV", v, "100");
        c->queryCommand(1, "#SCNMOD", v, "1");
        c->logout();
        c->disconnectDevice(true);
    }

    MainFrame::setAvailableGeometryProvider([size] { return QRect(QPoint(0, 0), size); });
    MainFrame frame;
    frame.mainPage()->setStatisticsSelector([](QWidget *, const QList<KxDeviceInfoMap> &readers) {
        QStringList ids;
        for (const KxDeviceInfoMap &info : readers)
            ids << info.value("Device Id");
        return ids;
    });
    frame.show();
    frame.resize(size);
    NDeviceGroupItem *net = nullptr;
    for (int i = 0; i < 500; ++i) {
        net = frame.mainPage()->deviceList()->allDeviceList()->group(DeviceListLogic::kGroupNetwork);
        if (net && net->devices().size() >= 3)
            break;
        QTest::qWait(20);
    }
    if (!net || net->devices().isEmpty())
        return 1;
    QTest::mouseClick(net->devices().first(), Qt::LeftButton, Qt::NoModifier, QPoint(20, 10));
    QTest::qWait(200);
    frame.mainPage()->button("Id_Btn_Statistics")->click();
    QTest::qWait(500);
    auto *edit = qobject_cast<DeviceEditClient *>(frame.currentPanel());
    auto *page = edit ? qobject_cast<StatisticsEditFrame *>(edit->currentFrame()) : nullptr;
    if (!page)
        return 1;
    // Connecting: the cards say so.
    gallery.save(&frame, QStringLiteral("connecting-") + tag);
    frame.show();
    for (int i = 0; i < 1500; ++i) {
        int withImage = 0;
        for (StatisticsEditWidget *w : page->editWidgets())
            withImage += w->imageWidget()->hasImage() && w->imageWidget()->markCount() > 0;
        if (withImage == page->editWidgets().size())
            break;
        QTest::qWait(20);
    }
    gallery.save(&frame, QStringLiteral("page-") + tag);

    frame.show();
    StatisticsHistoryViewDlg history(page->editWidgets().last()->title(),
                                     page->readers().last()->history().path(), &frame);
    gallery.save(&history, QStringLiteral("history-") + tag);

    frame.show();
    page->lockButton()->click();
    QTest::qWait(300);
    gallery.save(&frame, QStringLiteral("locked-") + tag);
    frame.show();
    PasswordValidationWidget unlock(&frame);
    gallery.save(&unlock, QStringLiteral("unlock-") + tag);
    PasswordChangeWidget change(&frame);
    gallery.save(&change, QStringLiteral("password-") + tag);
    StatisticsEditWidget::setDialogRunner([](QDialog *d) {
        if (auto *v = qobject_cast<PasswordValidationWidget *>(d)) {
            v->passwordEdit()->setText(StatisticsPassword::defaultPassword());
            v->okButton()->click();
        }
        return d->result();
    });
    page->lockButton()->click();  // unlocks, so the next run starts unlocked
    MainFrame::setAvailableGeometryProvider(nullptr);
    vr.stop();
    return 0;
}
