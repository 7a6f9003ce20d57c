// The edit client against the real virtual reader: frames by mode, the advanced settings page
// built from the model, changes through real controls, the history with its undo, saving,
// leaving with and without changes, a failed save, defaults, configuration files.
#include "AdvancedSettingsWidget.h"
#include "BCodeEditFrame.h"
#include "BCodeToolsWidget.h"
#include "ChangedCmdsListDlg.h"
#include "ControlEdit.h"
#include "DeviceEditClient.h"
#include "VisionEditFrame.h"
#include "DialogTestUtil.h"
#include "DoSaveChangedCmds.h"
#include "EditLogic.h"
#include "RFIDEditFrame.h"
#include "KxConfig.h"
#include "KxControlBase.h"
#include "KxDeviceCommand.h"
#include "KxDialogRunner.h"
#include "KxLoginedDevicesManage.h"
#include "KxScriptedUiBackend.h"
#include "KxStandardControls.h"
#include "QuickSettingsWidget.h"
#include "StatisticsEditFrame.h"
#include "VReaderSession.h"

#include "KxI18nUtil.h"

#include <QAbstractButton>
#include <QMenu>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

using namespace VReaderSession;

namespace {
// A logged-in reader in the registry, as the main page leaves it before the edit page opens.
KxDeviceConnector *openReader(const VReaderProcess &vp)
{
    std::unique_ptr<KxDeviceConnector> c = login(vp);
    if (!c)
        return nullptr;
    KxDeviceConnector *raw = c.release();
    KxLoginedDevicesManage::instance()->registerDevice(raw->deviceId(), raw);
    return raw;
}

// A logged-in virtual reader with its edit client open in one mode, as the main page leaves it.
struct EditSession
{
    VReaderProcess vp;
    KxDeviceConnector *c = nullptr;
    KxScriptedUiBackend ui;
    DeviceEditClient client;
    BCodeEditFrame *frame = nullptr;

    ~EditSession() { delete c; }

    // Empty when the edit frame is open, else what failed.
    QString open(int mode)
    {
        if (!vp.start({}))
            return QStringLiteral("start: ") + QString::fromUtf8(vp.errorOutput());
        c = openReader(vp);
        if (!c)
            return QStringLiteral("no login");
        if (!client.changeEditMode(mode, c->deviceId(), {}))
            return QStringLiteral("mode %1 refused").arg(mode);
        frame = qobject_cast<BCodeEditFrame *>(client.currentFrame());
        return frame ? QString() : QStringLiteral("no edit frame");
    }
};

QStringList changedCodes(KxDeviceCommand *cmd)
{
    QStringList out;
    for (const ChangedCmdInfo &c : cmd->changedCmds())
        out << c.code;
    out.sort();
    return out;
}
}  // namespace

class TestEditVReader : public QObject
{
    Q_OBJECT
    QTemporaryDir m_data;

private slots:
    void initTestCase()
    {
        KxConfig::instance()->setDataDir(m_data.path());
        KxStandardControls::registerAll();
        QVERIFY(KxI18nUtil::instance()->loadMain(BREVAN_BIN_DIR "/models/resources", "en"));
    }

    void framesFollowTheMode()
    {
        KxScriptedUiBackend ui;
        DeviceEditClient client;
        QString kind = "untouched";
        QVERIFY(!DeviceEditClient::currentEditedDevice(&kind));
        QCOMPARE(kind, QString("untouched"));
        // No such reader: the frame is made but cannot open it.
        QVERIFY(!client.changeEditMode(2, "nope", {}));
        QPointer<IPluginWidget> first = client.currentFrame();
        QVERIFY(qobject_cast<BCodeEditFrame *>(first));
        client.changeEditMode(1, "nope", {});
        QVERIFY(client.currentFrame() != first.data());
        QVERIFY(qobject_cast<BCodeEditFrame *>(client.currentFrame()));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!first);
        // The vision frame opens only a logged-in camera; mode 3 keeps the frame it made.
        QVERIFY(!client.changeEditMode(3, "cam", {}));
        auto *vision = qobject_cast<VisionEditFrame *>(client.currentFrame());
        QVERIFY(vision);
        QVERIFY(!client.changeEditMode(3, "cam2", {}));
        QCOMPARE(client.currentFrame(), vision);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!vision->connector());
        DeviceEditClient::currentEditedDevice(&kind);
        QCOMPARE(kind, QString("VisionEdit"));
        // A mode outside 1..5 keeps the frame.
        client.changeEditMode(9, "cam3", QVariant(2));
        QCOMPARE(client.currentFrame(), vision);
        QVERIFY(client.openDeviceById("stat", QVariant(5)));
        QVERIFY(qobject_cast<StatisticsEditFrame *>(client.currentFrame()));
        // Like the barcode frame, the RFID frame is made but cannot open a reader that is not there.
        QVERIFY(!client.openDeviceById("rf", QVariant(4)));
        QVERIFY(qobject_cast<RFIDEditFrame *>(client.currentFrame()));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        DeviceEditClient::currentEditedDevice(&kind);
        QCOMPARE(kind, QString("RFIDEdit"));
        QVERIFY(client.checkLeave());
        QVERIFY(!client.isBusy());
    }

    // The loop of the issue: change three values, see and undo one in the history, save,
    // restart the reader, find the saved values; leave answering "do not save"; export,
    // change, import.
    void editUndoSaveRestartLeaveImport()
    {
        VReaderProcess vp;
        QVERIFY(vp.start({}));
        KxDeviceConnector *c = openReader(vp);
        QVERIFY(c);
        const QString id = c->deviceId();
        KxScriptedUiBackend ui;
        QByteArray before[3];
        const QStringList codes = {"TRGDEB", "CIDENA", "PREENA"};
        for (int i = 0; i < 3; ++i)
            before[i] = readerValue(c, codes[i]);
        const QStringList wanted = {before[0] == "17" ? "18" : "17", before[1] == "1" ? "0" : "1",
                                    before[2] == "1" ? "0" : "1"};
        {
            DeviceEditClient client;
            QVERIFY(client.changeEditMode(DeviceEditMode_AdvancedSettings, id, {}));
            auto *frame = qobject_cast<BCodeEditFrame *>(client.currentFrame());
            QVERIFY(frame);
            QCOMPARE(DeviceEditClient::currentEditedDevice().data(), c);
            AdvancedSettingsWidget *adv = frame->advancedPage();
            QVERIFY(adv);
            QCOMPARE(frame->currentPage(), adv);
            QVERIFY(frame->toolButton("Id_Btn_AdvancedSettings")->isChecked());
            QVERIFY(adv->navigation().size() >= 5);
            QVERIFY(adv->navButton("Id_Nav_ReadMode"));
            QCOMPARE(adv->navButton("Id_Nav_ReadMode")->property("propertyId").toString(), QString("ReadMode.xml"));
            QVERIFY(frame->unsavedButton()->text().contains(kxTr("#IDS_AllChangesSaved").left(10)));

            // Three control types: a spin box, a combo box and a toggle, on two pages.
            adv->locate(adv->findCommand("TRGDEB"));
            QCOMPARE(adv->currentPropertyId(), QString("ReadMode.xml"));
            QVERIFY(adv->navButton("Id_Nav_ReadMode")->isChecked());
            QVERIFY(editValue(adv->currentPage(), "TRGDEB", wanted[0]));
            QVERIFY(adv->openPage("Output.xml"));
            QVERIFY(editValue(adv->currentPage(), "CIDENA", wanted[1]));
            QVERIFY(editValue(adv->currentPage(), "PREENA", wanted[2]));
            QCOMPARE(changedCodes(c->command()), (QStringList{"CIDENA", "PREENA", "TRGDEB"}));
            QVERIFY(frame->unsavedButton()->text().contains("3"));
            QVERIFY(frame->settingCodeCommands().contains("TRGDEB" + wanted[0]));
            // Running on the reader, not yet saved.
            QCOMPARE(readerValue(c, "TRGDEB"), wanted[0].toUtf8());

            // The history lists the three; undo CIDENA there.
            int listed = 0;
            {
                RunnerScope scope([&](QDialog *d) {
                    auto *dlg = qobject_cast<ChangedCmdsListDlg *>(d);
                    if (!dlg || !dlg->isHistoryMode())
                        return -1;
                    listed = dlg->rowCount();  // never shown: the undo finds its row by code
                    for (int r = 0; r < dlg->rowCount(); ++r) {
                        if (dlg->rowCode(r) == "CIDENA") {
                            QSignalSpy undone(dlg, &ChangedCmdsListDlg::rowUndone);
                            qobject_cast<QAbstractButton *>(dlg->undoButton(r))->click();
                            undone.wait(20000);
                            break;
                        }
                    }
                    return 0;
                });
                adv->tools()->button("Id_Btn_ConfigHistory")->click();
            }
            QCOMPARE(listed, 3);
            QVERIFY(waitFor([&] { return changedCodes(c->command()).size() == 2; }));
            QCOMPARE(readerValue(c, "CIDENA"), before[1]);
            QVERIFY(waitFor([&] { return adv->currentPage()->controlValue("CIDENA").toString() == QString(before[1]); }));
            QVERIFY(frame->unsavedButton()->text().contains("2"));

            // Save to the reader.
            QSignalSpy finished(adv->tools(), &BCodeToolsWidget::toolFinished);
            adv->tools()->button("Id_Btn_SaveToDevice")->click();
            QVERIFY(finished.wait(30000));
            QCOMPARE(finished.last().at(1).toBool(), true);
            QVERIFY(ui.toastTexts().contains("#IDS_SaveChangedCmds_Success"));
            QVERIFY(changedCodes(c->command()).isEmpty());
            QVERIFY(frame->unsavedButton()->text().contains(kxTr("#IDS_AllChangesSaved").left(10)));
        }
        QVERIFY(vp.restart({}));
        QVERIFY(waitFor([&] { return !KxLoginedDevicesManage::instance()->device(id) || true; }));
        c = openReader(vp);
        QVERIFY(c);
        QCOMPARE(readerValue(c, "TRGDEB"), wanted[0].toUtf8());
        QCOMPARE(readerValue(c, "PREENA"), wanted[2].toUtf8());
        QCOMPARE(readerValue(c, "CIDENA"), before[1]);

        // Leave with an unsaved change, answering "do not save".
        {
            DeviceEditClient client;
            QVERIFY(client.changeEditMode(DeviceEditMode_AdvancedSettings, id, {}));
            auto *frame = qobject_cast<BCodeEditFrame *>(client.currentFrame());
            QVERIFY(frame->advancedPage()->openPage("ReadMode.xml"));
            QVERIFY(editValue(frame->advancedPage()->currentPage(), "TRGDEB", "23"));
            QCOMPARE(readerValue(c, "TRGDEB"), QByteArray("23"));
            int asked = 0;
            RunnerScope scope([&](QDialog *d) {
                asked += qobject_cast<ChangedCmdsListDlg *>(d) != nullptr;
                return int(SaveChoice_NotSave);
            });
            QVERIFY(client.checkLeave());
            QCOMPARE(asked, 1);
            QCOMPARE(readerValue(c, "TRGDEB"), wanted[0].toUtf8());
            QVERIFY(changedCodes(c->command()).isEmpty());
        }

        // Export, change, import: the exported values come back.
        {
            DeviceEditClient client;
            QVERIFY(client.changeEditMode(DeviceEditMode_AdvancedSettings, id, {}));
            auto *frame = qobject_cast<BCodeEditFrame *>(client.currentFrame());
            BCodeToolsWidget *tools = frame->advancedPage()->tools();
            const QString file = m_data.filePath("reader.xml");
            ui.answerFile(file);
            QSignalSpy finished(tools, &BCodeToolsWidget::toolFinished);
            QVERIFY(tools->runTool("Id_Btn_ExportCfg"));
            QVERIFY(finished.size() == 1 || finished.wait(30000));
            QVERIFY(finished.last().at(1).toBool());
            QVERIFY(QFileInfo(file).size() > 100);
            QVERIFY(frame->advancedPage()->openPage("ReadMode.xml"));
            QVERIFY(editValue(frame->advancedPage()->currentPage(), "TRGDEB", "31"));
            ui.answerFile(file);
            finished.clear();
            QVERIFY(tools->runTool("Id_Btn_ImportCfg"));
            QVERIFY(finished.size() == 1 || finished.wait(60000));
            QCOMPARE(readerValue(c, "TRGDEB"), wanted[0].toUtf8());
            QVERIFY(waitFor([&] {
                return frame->advancedPage()->currentPage()->controlValue("TRGDEB").toString() == wanted[0];
            }));
        }
        delete KxLoginedDevicesManage::instance()->device(id).data();
    }

    void leavingWithoutChangesShowsNoDialog()
    {
        EditSession s;
        const QString why = s.open(DeviceEditMode_QuickSettings);
        QVERIFY2(why.isEmpty(), qPrintable(why));
        QCOMPARE(s.frame->currentPage(), s.frame->quickPage());
        QVERIFY(s.frame->toolButton("Id_Btn_QuickSettings")->isChecked());
        QVERIFY(s.frame->quickPage()->settings()->controls().size() > 0);
        int runs = 0;
        RunnerScope scope([&](QDialog *) { return ++runs, 0; });
        QVERIFY(s.client.checkLeave());
        QVERIFY(s.client.checkClose());
        QCOMPARE(runs, 0);
        QVERIFY(s.ui.shown(KxScriptedUiBackend::Kind::Message).isEmpty());
    }

    void failedSaveThenBackLeavesChangesUnsaved()
    {
        EditSession s;
        const QString why = s.open(DeviceEditMode_AdvancedSettings);
        QVERIFY2(why.isEmpty(), qPrintable(why));
        QVERIFY(s.frame->advancedPage()->openPage("ReadMode.xml"));
        QVERIFY(editValue(s.frame->advancedPage()->currentPage(), "TRGDEB", "42"));
        s.vp.stop();
        s.ui.answerMessage(1, kxTr("#IDS_CmdSave_Fail"));
        s.ui.answerMessage(2, "#IDS_SaveChangedCmds_Failed");  // "Back"
        RunnerScope scope([&](QDialog *) { return int(SaveChoice_Save); });
        QVERIFY(s.client.checkLeave());
        QCOMPARE(changedCodes(s.c->command()), QStringList{"TRGDEB"});
        QVERIFY2(s.ui.errors().isEmpty(), qPrintable(s.ui.errors().join('\n')));
    }

    // Leaving finishes an edit whose answer has not come back yet: it is waited for, listed
    // with the others and saved, never lost.
    void editInFlightWhenLeavingIsAskedAbout()
    {
        EditSession s;
        const QString why = s.open(DeviceEditMode_AdvancedSettings);
        QVERIFY2(why.isEmpty(), qPrintable(why));
        QVERIFY(s.frame->advancedPage()->openPage("ReadMode.xml"));
        BCodePropertyWidget *page = s.frame->advancedPage()->currentPage();
        KxControlBase *control = page->control("TRGDEB");
        QVERIFY(control);
        control->applyValue("37");
        QStringList listed;
        RunnerScope scope([&](QDialog *d) {
            if (auto *dlg = qobject_cast<ChangedCmdsListDlg *>(d)) {
                for (int i = 0; i < dlg->rowCount(); ++i)
                    listed << dlg->rowCode(i);
            }
            return int(SaveChoice_Save);
        });
        QVERIFY(s.client.checkLeave());
        QCOMPARE(listed, QStringList{"TRGDEB"});
        QVERIFY(s.c->command()->changedCmds().isEmpty());
        QCOMPARE(s.c->command()->pendingChanges(), 0);
        QVERIFY(s.vp.restart({}));
        auto again = login(s.vp);
        QVERIFY(again);
        QCOMPARE(again->command()->value("TRGDEB"), QByteArray("37"));
        QVERIFY2(s.ui.errors().isEmpty(), qPrintable(s.ui.errors().join('\n')));
    }

    void toolBarRulesAndPages()
    {
        EditSession s;
        const QString why = s.open(DeviceEditMode_QuickSettings);
        QVERIFY2(why.isEmpty(), qPrintable(why));
        KxDeviceCommand *cmd = s.c->command();
        QStringList order;
        for (QToolButton *b : s.frame->findChildren<QToolButton *>()) {
            if (b->objectName().startsWith("Id_Btn_"))
                order << b->objectName();
        }
        QCOMPARE(order.first(), QString("Id_Btn_MainPage"));
        QVERIFY(order.contains("Id_Btn_Tools"));
        QCOMPARE(order.contains("Id_Btn_ConfigLibSettings"), cmd->hasCmd("MPCADD"));
        if (s.frame->configLibButton()) {
            QCOMPARE(s.frame->configLibButton()->isVisibleTo(s.frame),
                     EditLogic::configLibButtonVisible(cmd->configurationSets().size(), cmd->value("IPPOPM")));
        }
        QMenu *tools = s.frame->toolButton("Id_Btn_Tools")->menu();
        QVERIFY(tools);
        QCOMPARE(tools->findChild<QAction *>("menu_sync") != nullptr, cmd->hasCmd("WLSBAT"));
        QVERIFY(tools->findChild<QAction *>("menu_compare"));

        // The configuration-library page is made anew on each switch.
        QVERIFY(s.frame->switchPage(BCodeEditFrame::Page_ConfigLib));
        QPointer<QWidget> lib = s.frame->currentPage();
        QVERIFY(s.frame->switchPage(BCodeEditFrame::Page_ConfigLib));
        QVERIFY(s.frame->currentPage() != lib.data());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!lib);
        QVERIFY(s.frame->switchPage(BCodeEditFrame::Page_Advanced));
        QPointer<QWidget> adv = s.frame->currentPage();
        QVERIFY(s.frame->switchPage(BCodeEditFrame::Page_Quick));
        QVERIFY(s.frame->switchPage(BCodeEditFrame::Page_Advanced));
        QCOMPARE(s.frame->currentPage(), adv.data());

        // Device log levels from the reader's range; the window opens once.
        QCOMPARE(s.frame->deviceLogLevels(),
                 EditLogic::deviceLogLevels(cmd->rawValue("DBGLVL", KxDeviceCommand::Capabilities)));
        s.frame->advancedPage()->tools()->button("Id_Btn_DeviceLog")->click();
        QPointer<QWidget> log = s.frame->deviceLogWindow();
        QVERIFY(log);
        s.frame->OnSignalBtnDeviceLogClicked();
        QCOMPARE(s.frame->deviceLogWindow(), log.data());

        // Main page: leaves through checkLeave and asks the window for its main page.
        int mainPage = 0;
        DeviceEditClient::setShowMainPageHandler([&] { ++mainPage; });
        s.frame->toolButton("Id_Btn_MainPage")->click();
        QCOMPARE(mainPage, 1);
        DeviceEditClient::setShowMainPageHandler(nullptr);
    }

    // An import that changed link settings makes every page read all values again, also
    // values whose change the page never heard of.
    void importRebootRefreshesThePage()
    {
        EditSession s;
        const QString why = s.open(DeviceEditMode_AdvancedSettings);
        QVERIFY2(why.isEmpty(), qPrintable(why));
        BCodePropertyWidget *page = s.frame->advancedPage()->openPage("ReadMode.xml");
        QVERIFY(page);
        KxDeviceCommand *cmd = s.c->command();
        const QString shown = page->controlValue("TRGDEB").toString();
        QCOMPARE(shown.toUtf8(), cmd->value("TRGDEB"));
        const QString next = shown == "27" ? "28" : "27";
        ChangedCmdInfo change;
        change.code = "TRGDEB";
        change.value = next.toUtf8();
        QStringList failed;
        cmd->blockSignals(true);  // the page hears nothing of this change
        const bool saved = cmd->saveCmds({change}, true, failed);
        cmd->blockSignals(false);
        QVERIFY2(saved, qPrintable(failed.join(',')));
        QCOMPARE(cmd->value("TRGDEB"), next.toUtf8());
        QCOMPARE(page->controlValue("TRGDEB").toString(), shown);
        emit cmd->cmdValueChanged_ImportReboot();
        QCOMPARE(page->controlValue("TRGDEB").toString(), next);
        QCOMPARE(page->control("TRGDEB")->item()->value.toString(), next);
        QCOMPARE(page->pendingSends(), 0);  // a refresh sends nothing back
        QVERIFY(cmd->changedCmds().isEmpty());
    }

    void rebootWarningCancelSendsNothing()
    {
        EditSession s;
        const QString why = s.open(DeviceEditMode_AdvancedSettings);
        QVERIFY2(why.isEmpty(), qPrintable(why));
        BCodePropertyWidget *page = s.frame->advancedPage()->openPage("Communication.xml");
        QVERIFY(page);
        KxControlBase *interf = page->control("INTERF");
        QVERIFY(interf);
        const QString before = interf->value().toString();
        s.ui.answerMessage(2, "#IDS_InterfChange_Reboot");  // Cancel
        interf->applyValue(before == "0" ? "2" : "0");
        QCOMPARE(interf->value().toString(), before);
        QCOMPARE(page->pendingSends(), 0);
        QVERIFY(s.c->command()->changedCmds().isEmpty());
        QVERIFY(s.ui.isClean());
    }
};

QTEST_MAIN(TestEditVReader)
#include "tst_editvreader.moc"
