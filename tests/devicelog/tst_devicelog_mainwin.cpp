// The log tools as a user reaches them in the real main window against a virtual reader: the
// main page's tools menu opens the log update dialog, which downloads the reader's stored log
// and closes; the edit page's log button opens the live log, which shows a settings change
// after the active switch, saves it as text and closes with its link.
#include "BCodeEditFrame.h"
#include "BrevanResources.h"
#include "DeviceEditClient.h"
#include "DeviceListLogic.h"
#include "DeviceListWidget.h"
#include "DeviceLogDlg.h"
#include "DeviceLogDownload.h"
#include "DeviceLogTableModel.h"
#include "DialogTestUtil.h"
#include "KxDataStreamMaker.h"
#include "KxDeviceLogConnectManager.h"
#include "KxLoginedDevicesManage.h"
#include "LogUpdateDlg.h"
#include "MainFrame.h"
#include "MainPageClient.h"
#include "MainWinTestEnv.h"
#include "NDeviceGroupItem.h"
#include "NDeviceList.h"
#include "NDeviceListItem.h"
#include "VReaderSession.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QTextBrowser>
#include <QToolButton>
#include <QtTest>

class TstDeviceLogMainWin : public QObject
{
    Q_OBJECT
    MainWinTestEnv *env = nullptr;
    VReaderProcess vr;

    NDeviceListItem *listed(MainFrame &frame)
    {
        NDeviceGroupItem *net = frame.mainPage()->deviceList()->allDeviceList()->group(
            DeviceListLogic::kGroupNetwork);
        for (NDeviceListItem *item : net ? net->devices() : QList<NDeviceListItem *>()) {
            if (item->deviceInfo().value("Ip Address") == vr.readers().value(0).address
                && item->deviceInfo().value("offLine") != QLatin1String("1"))
                return item;
        }
        return nullptr;
    }

    template <typename W>
    static W *visible(QWidget *root, const QString &name)
    {
        for (W *w : root->findChildren<W *>(name))
            if (w->isVisible())
                return w;
        return nullptr;
    }

private slots:
    void initTestCase()
    {
        brevanInitResources();
        env = new MainWinTestEnv;
        MainFrame::setAvailableGeometryProvider([] { return QRect(0, 0, 1366, 768); });
        const QString why = VReaderSession::startForDiscovery(vr, {});
        QVERIFY2(why.isEmpty(), qPrintable(why));
    }
    void cleanupTestCase()
    {
        MainFrame::setAvailableGeometryProvider(nullptr);
        vr.stop();
        delete env;
    }

    void logToolsFromTheMainWindow()
    {
        MainFrame frame;
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        NDeviceListItem *item = nullptr;
        QVERIFY(waitFor([&] { return (item = listed(frame)); }, 30000));
        const QString id = item->deviceId();
        const QString serial = vr.readers().value(0).serial;

        // Main page, tools menu, "log update": the dialog runs modally, so it is driven from
        // the event loop it runs in.
        MainPageClient *page = frame.mainPage();
        auto *tools = qobject_cast<QToolButton *>(page->button("Id_Btn_Tools"));
        QVERIFY(tools && tools->menu());
        QAction *logUpdate = tools->menu()->findChild<QAction *>("menu_log_update");
        QVERIFY(logUpdate);
        QTemporaryDir dir;
        QString results;
        bool finished = false;
        QTimer::singleShot(0, this, [&] {
            auto *dlg = qobject_cast<LogUpdateDlg *>(QApplication::activeModalWidget());
            if (!dlg) {  // another window: let the test go on and fail
                if (QWidget *other = QApplication::activeModalWidget())
                    other->close();
                return;
            }
            dlg->folderEdit()->setText(dir.filePath("logs"));
            for (int r = 0; r < dlg->table()->rowCount(); ++r) {
                if (dlg->table()->item(r, 1) && dlg->table()->item(r, 1)->text().contains(serial))
                    dlg->table()->item(r, 0)->setCheckState(Qt::Checked);
            }
            dlg->findChild<QPushButton *>("btnDownload")->click();
            finished = waitFor([dlg] { return !dlg->download()->isRunning(); }, 60000);
            results = dlg->results()->toHtml();
            dlg->findChild<QPushButton *>("btnClose")->click();
        });
        logUpdate->trigger();  // returns when the dialog has closed
        QVERIFY(finished);
        QCOMPARE(results.count("icon_succ.png"), 1);
        const QStringList files = QDir(dir.filePath("logs")).entryList({serial + "_*_0.Kxlog"});
        QCOMPARE(files.size(), 1);
        QFile log(QDir(dir.filePath("logs")).filePath(files.first()));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QVERIFY(log.readAll().contains("start: firmware"));
        QVERIFY(!QApplication::activeModalWidget());

        // The edit page of the reader and its log button: the live log.
        QTest::mouseClick(item, Qt::LeftButton, Qt::NoModifier, QPoint(20, 10));
        QVERIFY(waitFor([&] { return page->selectedDeviceId() == id; }, 5000));
        page->button("Id_Btn_AdvancedSettings")->click();
        QVERIFY(waitFor([&] { return frame.getCurPanelId() == MainFramePanel_DeviceEdit; }));
        auto *client = qobject_cast<DeviceEditClient *>(frame.currentPanel());
        auto *edit = client ? qobject_cast<BCodeEditFrame *>(client->currentFrame()) : nullptr;
        QVERIFY(edit);
        QToolButton *logButton = nullptr;
        QVERIFY(waitFor([&] { return (logButton = visible<QToolButton>(edit, "Id_Btn_DeviceLog")); }, 15000));
        logButton->click();
        QPointer<DeviceLogDlg> live = edit->findChild<DeviceLogDlg *>();
        QVERIFY(live && live->isVisible());
        QVERIFY(waitFor([&] { return live->isReceiving(); }, 30000));
        live->activeSwitch()->click();
        KxDeviceConnector *c = KxLoginedDevicesManage::instance()->device(id);
        QVERIFY(c);
        QVERIFY(waitFor([&] { return live->activeSwitch()->isEnabled(); }, 30000));
        QVERIFY(live->activeSwitch()->isChecked());
        QByteArray reply;
        QCOMPARE(KxDeviceKit::Instance()->sendBinaryMessage(
                     id, KxMakeDataStreamCmd("#C28ENA1", DataProtocol_Settings, true), reply), 0);
        auto shows = [&](const QString &text) {
            for (const stLogData &l : live->model()->lines())
                if (l.data.contains(text))
                    return true;
            return false;
        };
        QVERIFY(waitFor([&] { return shows("C28ENA1"); }, 30000));
        env->ui.answerFile(dir.filePath("live.txt"));
        live->findChild<QPushButton *>("btnSave")->click();
        QFile saved(dir.filePath("live.txt"));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QVERIFY(saved.readAll().contains("C28ENA1"));
        live->findChild<QPushButton *>("btnClose")->click();
        QVERIFY(waitFor([&] { return live.isNull() || !live->isVisible(); }, 10000));
        QVERIFY(!KxDeviceLogConnectManager::instance()->isLinkOpen(id));
        edit->toolButton("Id_Btn_MainPage")->click();
        QVERIFY(waitFor([&] { return frame.getCurPanelId() == MainFramePanel_Main; }, 15000));
    }
};

QTEST_MAIN(TstDeviceLogMainWin)
#include "tst_devicelog_mainwin.moc"
