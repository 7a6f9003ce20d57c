// The setting-code windows reached the way a user reaches them in the real main window, against a
// real virtual reader: the edit frame's tools menu makes the codes of the settings changed on the
// reader, the main page's set-up button makes the interface code; each is closed by its button.
// The edit frame's settings menu reaches the main window's FTP settings as well.
#include "AdvancedSettingsWidget.h"
#include "BarcodeProgramming.h"
#include "BCodeEditFrame.h"
#include "BrevanResources.h"
#include "ChangedCmdsListDlg.h"
#include "ControlEdit.h"
#include "DeviceEditClient.h"
#include "DeviceListLogic.h"
#include "DeviceListWidget.h"
#include "DialogTestUtil.h"
#include "DoSaveChangedCmds.h"
#include "FtpSettingDialog.h"
#include "KxDeviceCommand.h"
#include "KxDeviceConnector.h"
#include "KxLoginedDevicesManage.h"
#include "MainFrame.h"
#include "MainPageClient.h"
#include "MainWinTestEnv.h"
#include "MakeBarcodeWidget.h"
#include "NDeviceGroupItem.h"
#include "NDeviceList.h"
#include "NDeviceListItem.h"
#include "SetCodeDialog.h"
#include "VReaderSession.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

namespace {
QStringList labels(const MakeBarcodeWidget *canvas)
{
    QStringList out;
    for (const SettingCodeItem &item : canvas->sheet().items())
        out << item.label;
    return out;
}

// Shows the dialog as the runner's stand-in for exec() and presses its close button.
int closeByButton(QDialog *dlg)
{
    dlg->show();
    if (!QTest::qWaitForWindowExposed(dlg))
        return -1;
    auto *close = dlg->findChild<QPushButton *>(QStringLiteral("btnClose"));
    if (!close)
        return -1;
    QTest::mouseClick(close, Qt::LeftButton);
    return dlg->isVisible() ? -1 : dlg->result();
}
// Clicks the tool button and, in the menu that drops down, the action named `name`.
bool pickFromMenu(QToolButton *button, const QString &name)
{
    QAction *action = button && button->menu() ? button->menu()->findChild<QAction *>(name) : nullptr;
    if (!action)
        return false;
    bool picked = false;
    QTimer poll;
    int polls = 0;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (++polls > 500 || (menu && menu->isVisible())) {
            poll.stop();
            if (menu) {
                picked = true;
                QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier, menu->actionGeometry(action).center());
            }
        }
    });
    poll.start(20);
    QTest::mouseClick(button, Qt::LeftButton);
    return picked;
}
} // namespace

class TestSettingCodeMenu : public QObject
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

    void codesOfChangedSettingsFromTheToolsMenu()
    {
        MainFrame frame;
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        MainPageClient *page = frame.mainPage();
        NDeviceListItem *item = nullptr;
        QVERIFY(waitFor([&] { return (item = listed(frame)); }, 15000));
        const QString id = item->deviceId();
        QTest::mouseClick(item, Qt::LeftButton, Qt::NoModifier, QPoint(20, 10));
        QVERIFY(waitFor([&] { return page->selectedDeviceId() == id; }, 5000));
        page->button("Id_Btn_AdvancedSettings")->click();
        QVERIFY(waitFor([&] { return frame.getCurPanelId() == MainFramePanel_DeviceEdit; }));
        auto *client = qobject_cast<DeviceEditClient *>(frame.currentPanel());
        auto *edit = client ? qobject_cast<BCodeEditFrame *>(client->currentFrame()) : nullptr;
        QVERIFY(edit && edit->advancedPage());
        KxDeviceConnector *c = KxLoginedDevicesManage::instance()->device(id);
        QVERIFY(c);

        // Three settings changed through their controls, as the user changes them.
        AdvancedSettingsWidget *adv = edit->advancedPage();
        const QStringList codes = {"TRGDEB", "CIDENA", "PREENA"};
        QStringList wanted;
        for (const QString &code : codes) {
            const QByteArray now = VReaderSession::readerValue(c, code);
            wanted << (code == "TRGDEB" ? (now == "17" ? "18" : "17") : (now == "1" ? "0" : "1"));
        }
        QVERIFY(adv->openPage("ReadMode.xml"));
        QVERIFY(editValue(adv->currentPage(), codes[0], wanted[0]));
        QVERIFY(adv->openPage("Output.xml"));
        QVERIFY(editValue(adv->currentPage(), codes[1], wanted[1]));
        QVERIFY(editValue(adv->currentPage(), codes[2], wanted[2]));
        QCOMPARE(c->command()->changedCmds().size(), 3);

        // Tools, then "setting codes" in the menu that drops down; the dialog opens on the codes
        // of the three, one Code 128 each; QR merges them; the close button ends it.
        QStringList single;
        QStringList merged;
        QStringList interfaceLabels;
        QString firstInterface;
        int result = -2;
        int setupResult = -2;
        int ftpResult = -2;
        RunnerScope scope([&](QDialog *d) {
            if (auto *dlg = qobject_cast<BarcodeProgramming *>(d)) {
                single = labels(dlg->canvas());
                dlg->findChild<QComboBox *>(QStringLiteral("encodeType"))->setCurrentIndex(2);
                QTest::mouseClick(dlg->findChild<QPushButton *>(QStringLiteral("btnGenerate")), Qt::LeftButton);
                merged = labels(dlg->canvas());
                return result = closeByButton(dlg);
            }
            if (auto *dlg = qobject_cast<SetCodeDialog *>(d)) {
                interfaceLabels = labels(dlg->canvas());
                firstInterface = dlg->interfaces()->currentText();
                return setupResult = closeByButton(dlg);
            }
            if (auto *dlg = qobject_cast<FtpSettingDialog *>(d)) {
                dlg->show();
                QTest::mouseClick(dlg->findChild<QPushButton *>(QStringLiteral("IDD_CANCEL")), Qt::LeftButton);
                return ftpResult = dlg->isVisible() ? -1 : dlg->result();
            }
            // Leaving the reader: keep its saved settings.
            return qobject_cast<ChangedCmdsListDlg *>(d) ? int(SaveChoice_NotSave) : -1;
        });
        QVERIFY(pickFromMenu(edit->toolButton("Id_Btn_Tools"), QStringLiteral("menu_barcode")));
        QVERIFY(waitFor([&] { return result != -2; }, 30000));
        QCOMPARE(result, int(QDialog::Rejected));
        QCOMPARE(single, (QStringList{"@SETUPE1", "@TRGDEB" + wanted[0], "@CIDENA" + wanted[1],
                                      "@PREENA" + wanted[2], "@SETUPE0"}));
        QCOMPARE(merged, (QStringList{"@SETUPE1", "@BATCHS",
                                      QStringLiteral("@TRGDEB%1;CIDENA%2;PREENA%3;").arg(wanted[0], wanted[1], wanted[2]),
                                      "@SETUPE0"}));
        // Making codes leaves the changes as they were.
        QCOMPARE(c->command()->changedCmds().size(), 3);

        // Settings, then FTP settings: the main window's own dialog, not a stand-in.
        QVERIFY(pickFromMenu(edit->toolButton("Id_Btn_Settings"), QStringLiteral("menu_ftp")));
        QVERIFY(waitFor([&] { return ftpResult != -2; }, 30000));
        QCOMPARE(ftpResult, int(QDialog::Rejected));

        // Back on the main page, its set-up button makes the interface code of the first entry.
        edit->toolButton("Id_Btn_MainPage")->click();
        QVERIFY(waitFor([&] { return frame.getCurPanelId() == MainFramePanel_Main; }));
        QAbstractButton *setup = page->button("Id_Btn_SETUP");
        QVERIFY(setup && setup->isVisibleTo(page));
        QTest::mouseClick(setup, Qt::LeftButton);
        QCOMPARE(setupResult, int(QDialog::Rejected));
        QVERIFY(!firstInterface.isEmpty());
        QCOMPARE(interfaceLabels, (QStringList{"@SETUPE1", firstInterface}));
    }
};

QTEST_MAIN(TestSettingCodeMenu)
#include "tst_settingcodemenu.moc"
