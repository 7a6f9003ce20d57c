// The whole editing loop through the real main window against the real virtual reader: find the
// reader in the device list, open it in advanced settings from the main page, change three
// controls of different kinds, see and undo one in the history, save, restart the reader and
// find what was saved; leave with an unsaved change answering "do not save"; export, change,
// import; and an import of another model's file only after the user confirms it.
#include "AdvancedSettingsWidget.h"
#include "BCodeEditFrame.h"
#include "BCodeToolsWidget.h"
#include "BrevanResources.h"
#include "ChangedCmdsListDlg.h"
#include "ControlEdit.h"
#include "DeviceEditClient.h"
#include "DeviceListLogic.h"
#include "DeviceListWidget.h"
#include "DialogTestUtil.h"
#include "DoSaveChangedCmds.h"
#include "KxConfigFile.h"
#include "KxControlBase.h"
#include "KxDeviceCommand.h"
#include "KxDeviceConnector.h"
#include "KxDeviceTypes.h"
#include "KxDialogRunner.h"
#include "KxI18nUtil.h"
#include "KxLoginedDevicesManage.h"
#include "MainFrame.h"
#include "MainPageClient.h"
#include "MainWinTestEnv.h"
#include "NDeviceGroupItem.h"
#include "NDeviceList.h"
#include "NDeviceListItem.h"
#include "VReaderSession.h"

#include <QAbstractButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

namespace {
using VReaderSession::readerValue;

// With BREVAN_GRAB_DIR set, pictures of the pages and dialogs for a look by eye.
void grabFor(QWidget *w, const QString &name)
{
    const QString dir = qEnvironmentVariable("BREVAN_GRAB_DIR");
    if (dir.isEmpty() || !w)
        return;
    const bool wasVisible = w->isVisible();
    w->show();
    QTest::qWait(100);
    w->grab().save(QDir(dir).filePath(name + ".png"));
    if (!wasVisible)
        w->hide();
}

QStringList changedCodes(KxDeviceCommand *cmd)
{
    QStringList out;
    for (const ChangedCmdInfo &c : cmd->changedCmds())
        out << c.code;
    out.sort();
    return out;
}
}  // namespace

class TestEditEndToEnd : public QObject
{
    Q_OBJECT
    MainWinTestEnv *env = nullptr;
    VReaderProcess vr;
    QTemporaryDir files;

    NDeviceListItem *listed(MainFrame &frame, const QString &address)
    {
        NDeviceGroupItem *net = frame.mainPage()->deviceList()->allDeviceList()->group(
            DeviceListLogic::kGroupNetwork);
        if (!net)
            return nullptr;
        for (NDeviceListItem *item : net->devices()) {
            if (item->deviceInfo().value("Ip Address") == address
                && item->deviceInfo().value("offLine") != QLatin1String("1"))
                return item;
        }
        return nullptr;
    }

    // Main page: select the reader in the list and press "advanced settings"; the edit page
    // opens on the advanced page with the reader logged in.
    BCodeEditFrame *openAdvanced(MainFrame &frame, QString *id)
    {
        NDeviceListItem *item = nullptr;
        if (!waitFor([&] { return (item = listed(frame, vr.readers().value(0).address)); }, 15000))
            return nullptr;
        *id = item->deviceId();
        MainPageClient *page = frame.mainPage();
        QTest::mouseClick(item, Qt::LeftButton, Qt::NoModifier, QPoint(20, 10));
        if (!waitFor([&] { return page->selectedDeviceId() == *id; }, 5000))
            return nullptr;
        QAbstractButton *advanced = page->button("Id_Btn_AdvancedSettings");
        if (!advanced || !advanced->isVisibleTo(page))
            return nullptr;
        advanced->click();
        if (!waitFor([&] { return frame.getCurPanelId() == MainFramePanel_DeviceEdit; }))
            return nullptr;
        auto *client = qobject_cast<DeviceEditClient *>(frame.currentPanel());
        auto *edit = client ? qobject_cast<BCodeEditFrame *>(client->currentFrame()) : nullptr;
        if (!edit || edit->deviceId() != *id || edit->currentPage() != edit->advancedPage())
            return nullptr;
        return edit;
    }

    // The edit frame's own "main page" button, as the user leaves the reader.
    bool leave(MainFrame &frame, BCodeEditFrame *edit, const QString &id)
    {
        edit->toolButton("Id_Btn_MainPage")->click();
        if (frame.getCurPanelId() != MainFramePanel_Main)
            return false;
        KxDeviceConnector *c = KxLoginedDevicesManage::instance()->device(id);
        return !c || c->state() == DeviceState_LoggedOut;
    }

private slots:
    void initTestCase()
    {
        brevanInitResources();
        env = new MainWinTestEnv;
        // A look at the Chinese texts: BREVAN_TEST_LANG=zh_cn.
        const QString lang = qEnvironmentVariable("BREVAN_TEST_LANG");
        if (!lang.isEmpty())
            KxI18nUtil::instance()->loadMain(QStringLiteral(BREVAN_SOURCE_DIR "/models/resources"), lang);
        MainFrame::setAvailableGeometryProvider([] { return QRect(0, 0, 1400, 900); });
        const QString why = VReaderSession::startForDiscovery(vr, {});
        QVERIFY2(why.isEmpty(), qPrintable(why));
    }
    void cleanupTestCase()
    {
        MainFrame::setAvailableGeometryProvider(nullptr);
        vr.stop();
        delete env;
    }

    void wholeLoop()
    {
        KxScriptedUiBackend &ui = env->ui;
        MainFrame frame;
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        QString id;
        BCodeEditFrame *edit = openAdvanced(frame, &id);
        QVERIFY(edit);
        KxDeviceConnector *c = KxLoginedDevicesManage::instance()->device(id);
        QVERIFY(c);
        QCOMPARE(c->state(), int(DeviceState_LoggedIn));
        AdvancedSettingsWidget *adv = edit->advancedPage();

        // Three control kinds: a spin box, a combo box and a toggle, on two pages.
        const QStringList codes = {"TRGDEB", "CIDENA", "PREENA"};
        QByteArray before[3];
        for (int i = 0; i < 3; ++i)
            before[i] = readerValue(c, codes[i]);
        const QStringList wanted = {before[0] == "17" ? "18" : "17", before[1] == "1" ? "0" : "1",
                                    before[2] == "1" ? "0" : "1"};
        QVERIFY(adv->openPage("ReadMode.xml"));
        QVERIFY(editValue(adv->currentPage(), codes[0], wanted[0]));
        QVERIFY(adv->openPage("Output.xml"));
        QVERIFY(editValue(adv->currentPage(), codes[1], wanted[1]));
        QVERIFY(editValue(adv->currentPage(), codes[2], wanted[2]));
        QCOMPARE(changedCodes(c->command()), (QStringList{"CIDENA", "PREENA", "TRGDEB"}));
        for (int i = 0; i < 3; ++i)
            QCOMPARE(readerValue(c, codes[i]), wanted[i].toUtf8());  // running, not saved
        QVERIFY(edit->unsavedButton()->text().contains("3"));
        grabFor(&frame, "advanced");
        // Each tool shows its picture; a row too narrow for the texts keeps them as tips.
        for (QToolButton *b : adv->tools()->findChildren<QToolButton *>()) {
            QVERIFY2(!b->icon().isNull(), qPrintable(b->objectName()));
            QCOMPARE(b->toolTip(), b->text());
            QCOMPARE(b->toolButtonStyle(), adv->tools()->isCompact() ? Qt::ToolButtonIconOnly
                                                                     : Qt::ToolButtonTextBesideIcon);
        }
        for (const char *id : {"Id_Btn_MainPage", "Id_Btn_AdvancedSettings"})
            QVERIFY2(!edit->toolButton(id)->icon().isNull(), id);
        QVERIFY(adv->navButton("Id_Nav_Output")->isChecked());  // follows the opened page

        // The history lists the three with their values; undo CIDENA there. The dialog is
        // never shown: the runner answers in its place.
        QMap<QString, QString> history;
        {
            RunnerScope scope([&](QDialog *d) {
                auto *dlg = qobject_cast<ChangedCmdsListDlg *>(d);
                if (!dlg || !dlg->isHistoryMode())
                    return -1;
                for (int r = 0; r < dlg->rowCount(); ++r) {
                    const auto *value = dlg->table()->item(r, 1);
                    history.insert(dlg->rowCode(r), value ? value->text() : QString());
                }
                grabFor(dlg, "history");
                const int row = dlg->rowOf("CIDENA");
                if (row < 0)
                    return -1;
                QSignalSpy undone(dlg, &ChangedCmdsListDlg::rowUndone);
                qobject_cast<QAbstractButton *>(dlg->undoButton(row))->click();
                undone.wait(20000);
                return 0;
            });
            adv->tools()->button("Id_Btn_ConfigHistory")->click();
        }
        QCOMPARE(history.keys(), (QStringList{"CIDENA", "PREENA", "TRGDEB"}));
        QVERIFY2(history.value("TRGDEB").contains(wanted[0]), qPrintable(history.value("TRGDEB")));
        QVERIFY(waitFor([&] { return changedCodes(c->command()) == QStringList({"PREENA", "TRGDEB"}); }));
        QCOMPARE(readerValue(c, "CIDENA"), before[1]);
        QVERIFY(waitFor([&] {
            return adv->currentPage()->controlValue("CIDENA").toString() == QString(before[1]);
        }));
        QVERIFY(edit->unsavedButton()->text().contains("2"));

        // Save to the reader, then leave: nothing is left to ask about.
        QSignalSpy finished(adv->tools(), &BCodeToolsWidget::toolFinished);
        adv->tools()->button("Id_Btn_SaveToDevice")->click();
        QVERIFY(finished.wait(30000));
        QVERIFY(finished.last().at(1).toBool());
        QVERIFY(ui.toastTexts().contains("#IDS_SaveChangedCmds_Success"));
        QVERIFY(c->command()->changedCmds().isEmpty());
        int dialogs = 0;
        {
            RunnerScope scope([&](QDialog *) { return ++dialogs, 0; });
            QVERIFY(leave(frame, edit, id));
        }
        QCOMPARE(dialogs, 0);

        // The reader restarts: the two saved values stay, the undone one has its old value.
        QVERIFY2(vr.restart({}), vr.errorOutput().constData());
        edit = openAdvanced(frame, &id);
        QVERIFY(edit);
        adv = edit->advancedPage();
        c = KxLoginedDevicesManage::instance()->device(id);
        QVERIFY(c);
        QCOMPARE(readerValue(c, "TRGDEB"), wanted[0].toUtf8());
        QCOMPARE(readerValue(c, "PREENA"), wanted[2].toUtf8());
        QCOMPARE(readerValue(c, "CIDENA"), before[1]);
        QVERIFY(adv->openPage("ReadMode.xml"));
        QCOMPARE(adv->currentPage()->controlValue("TRGDEB").toString(), wanted[0]);

        // Leave with an unsaved change, answering "do not save": the reader runs its saved value.
        QVERIFY(editValue(adv->currentPage(), "TRGDEB", "23"));
        QCOMPARE(readerValue(c, "TRGDEB"), QByteArray("23"));
        int asked = 0;
        {
            RunnerScope scope([&](QDialog *d) {
                auto *dlg = qobject_cast<ChangedCmdsListDlg *>(d);
                asked += dlg && !dlg->isHistoryMode() && dlg->rowCode(0) == "TRGDEB";
                grabFor(d, "save");
                return int(SaveChoice_NotSave);
            });
            QVERIFY(leave(frame, edit, id));
        }
        QCOMPARE(asked, 1);
        edit = openAdvanced(frame, &id);
        QVERIFY(edit);
        adv = edit->advancedPage();
        c = KxLoginedDevicesManage::instance()->device(id);
        QCOMPARE(readerValue(c, "TRGDEB"), wanted[0].toUtf8());
        QVERIFY(c->command()->changedCmds().isEmpty());

        // Export, change two values, import: the exported values come back, on the page too.
        BCodeToolsWidget *tools = adv->tools();
        const QString file = files.filePath("reader.xml");
        ui.answerFile(file);
        QVERIFY(tools->runTool("Id_Btn_ExportCfg"));
        QVERIFY(waitFor([&] { return QFileInfo(file).size() > 100; }));
        const KxConfigFile::ParsedFile exported = KxConfigFile::readFile(file);
        QCOMPARE(exported.check, 0);
        QVERIFY(exported.entries.contains(KxConfigEntry{"TRGDEB", wanted[0]}));
        QVERIFY(adv->openPage("ReadMode.xml"));
        QVERIFY(editValue(adv->currentPage(), "TRGDEB", "31"));
        QVERIFY(adv->openPage("Output.xml"));
        QVERIFY(editValue(adv->currentPage(), "PREENA", QString(before[2])));
        ui.answerFile(file);
        finished.clear();
        QSignalSpy importDone(tools, &BCodeToolsWidget::toolFinished);
        QVERIFY(tools->runTool("Id_Btn_ImportCfg"));
        QVERIFY(importDone.size() == 1 || importDone.wait(60000));
        QVERIFY(importDone.last().at(1).toBool());
        QCOMPARE(readerValue(c, "TRGDEB"), wanted[0].toUtf8());
        QCOMPARE(readerValue(c, "PREENA"), wanted[2].toUtf8());
        QVERIFY(waitFor([&] {
            return adv->currentPage()->controlValue("PREENA").toString() == wanted[2];
        }));
        QVERIFY(ui.toastTexts().contains("#IDS_ImportConfig_Success"));

        // A file made for another model: nothing is sent until the user confirms.
        const QString other = files.filePath("other.xml");
        QVERIFY(KxConfigFile::writeFile(
            other, KxConfigFile::toXml("KXS-HS120", {{"TRGDEB", "29"}})));
        ui.answerFile(other);
        ui.answerMessage(2, "#IDS_ImportConfig_Unmatch_Tips");  // Cancel
        const int messagesBefore = ui.shown(KxScriptedUiBackend::Kind::Message).size();
        const int waitsBefore = ui.waitingTexts().size();
        tools->runTool("Id_Btn_ImportCfg");
        QCOMPARE(ui.shown(KxScriptedUiBackend::Kind::Message).size(), messagesBefore + 1);
        QCOMPARE(ui.waitingTexts().size(), waitsBefore);  // no import started
        QCOMPARE(ui.pendingAnswers(), 0);
        QCOMPARE(readerValue(c, "TRGDEB"), wanted[0].toUtf8());
        ui.answerFile(other);
        ui.answerMessage(1, "#IDS_ImportConfig_Unmatch_Tips");  // OK
        importDone.clear();
        tools->runTool("Id_Btn_ImportCfg");
        QVERIFY(importDone.size() == 1 || importDone.wait(60000));
        QCOMPARE(readerValue(c, "TRGDEB"), QByteArray("29"));
        QVERIFY(c->command()->changedCmds().isEmpty());  // an import is stored at once
        QVERIFY2(ui.isClean(), qPrintable(ui.errors().join('\n')));

        QVERIFY(leave(frame, edit, id));
        QVERIFY(frame.close());
    }
};

QTEST_MAIN(TestEditEndToEnd)
#include "tst_edite2e.moc"
