// The change dialogs against the real virtual reader: the save-or-discard sequence with its
// retry loop, undo in the history, the comparison with a file and the import question.
#include "ChangedCmdsListDlg.h"
#include "DoSaveChangedCmds.h"
#include "KxConfigCompareDlg.h"
#include "KxConfigFileIO.h"
#include "KxConfig.h"
#include "KxConfigFileUi.h"
#include "KxDeviceKit.h"
#include "DialogTestUtil.h"
#include "KxDialogRunner.h"
#include "KxScriptedUiBackend.h"
#include "KxStyledButtons.h"
#include "VReaderSession.h"

#include <QTableWidget>
#include <QTemporaryDir>

using namespace VReaderSession;

namespace {
QStringList codesOf(const QVector<ChangedCmdInfo> &list)
{
    QStringList out;
    for (const ChangedCmdInfo &c : list)
        out << c.code;
    out.sort();
    return out;
}
}  // namespace

class TestChangesVReader : public QObject
{
    Q_OBJECT
    QTemporaryDir m_data;

private slots:
    void initTestCase() { KxConfig::instance()->setDataDir(m_data.path()); }

    void leavingWithoutChangesShowsNothing()
    {
        Started vp;
        QVERIFY2(vp.start({}), qPrintable(vp.why));
        auto &c = vp.connector;
        KxScriptedUiBackend ui;
        int runs = 0;
        RunnerScope scope([&](QDialog *) { return ++runs, 1; });
        QVERIFY(DoSaveChangedCmds(c.get(), true, true));
        QCOMPARE(runs, 0);
        QVERIFY(ui.shown().isEmpty());
    }

    void cancelStaysAndNotSaveRestores()
    {
        Started vp;
        QVERIFY2(vp.start({}), qPrintable(vp.why));
        auto &c = vp.connector;
        KxDeviceCommand *cmd = c->command();
        const QVector<ChangedCmdInfo> changes = pickChanges(cmd, 2);
        QMap<QString, QByteArray> before;
        for (const ChangedCmdInfo &ch : changes)
            before.insert(ch.code, cmd->value(ch.code));
        QCOMPARE(sendChanges(cmd, changes, this), 2);
        KxScriptedUiBackend ui;
        QStringList listed;
        int answer = SaveChoice_Cancel;
        RunnerScope scope([&](QDialog *d) {
            auto *dlg = qobject_cast<ChangedCmdsListDlg *>(d);
            listed.clear();
            for (int i = 0; dlg && i < dlg->rowCount(); ++i)
                listed << dlg->rowCode(i);
            listed.sort();
            dlg->button(answer)->click();
            return d->result();
        });
        QVERIFY(!DoSaveChangedCmds(c.get(), true, true));
        QCOMPARE(listed, codesOf(changes));
        QCOMPARE(cmd->changedCmds().size(), 2);
        for (const ChangedCmdInfo &ch : changes)
            QCOMPARE(readerValue(c.get(), ch.code), ch.value.toByteArray());

        answer = SaveChoice_NotSave;
        QVERIFY(DoSaveChangedCmds(c.get(), true, true));
        QVERIFY(cmd->changedCmds().isEmpty());
        for (auto it = before.constBegin(); it != before.constEnd(); ++it)
            QCOMPARE(readerValue(c.get(), it.key()), it.value());
        QCOMPARE(ui.waitingTexts(), QStringList{"#IDS_RestoreChangedCmds_ing"});
        QVERIFY(ui.isClean());
    }

    void failedSaveThenBackLeavesChangesUnsaved()
    {
        Started vp;
        QVERIFY2(vp.start({}), qPrintable(vp.why));
        auto &c = vp.connector;
        KxDeviceCommand *cmd = c->command();
        const QVector<ChangedCmdInfo> changes = pickChanges(cmd, 2);
        QCOMPARE(sendChanges(cmd, changes, this), 2);
        vp.process.stop();
        KxScriptedUiBackend ui;
        ui.answerMessage(1, "IDS_CmdSave_Fail");             // the failed codes
        ui.answerMessage(2, "#IDS_SaveChangedCmds_Failed");  // "Back"
        int runs = 0;
        RunnerScope scope([&](QDialog *) { return ++runs, int(SaveChoice_Save); });
        QVERIFY(DoSaveChangedCmds(c.get(), true, true));
        QCOMPARE(runs, 1);
        QCOMPARE(codesOf(cmd->changedCmds()), codesOf(changes));
        const auto question = ui.lastMessage();
        QCOMPARE(question.buttons, (QStringList{"#IDS_Restry", "#IDS_Back"}));
        QVERIFY(ui.toastTexts().isEmpty());
        QVERIFY2(ui.isClean(), qPrintable(ui.errors().join('\n')));
    }

    void failedSaveThenRetrySaves()
    {
        VReaderProcess vp;
        QVERIFY(vp.start({}));
        const VReaderProcess::Reader reader = vp.readers().value(0);
        auto c = login(reader);
        QVERIFY(c);
        KxDeviceCommand *cmd = c->command();
        const QVector<ChangedCmdInfo> changes = pickChanges(cmd, 2);
        QCOMPARE(sendChanges(cmd, changes, this), 2);
        vp.stop();
        KxScriptedUiBackend ui;
        ui.answerMessage(1, "IDS_CmdSave_Fail");
        ui.answerMessage(1, "#IDS_SaveChangedCmds_Failed");  // "Retry"
        int runs = 0;
        bool back = false;
        RunnerScope scope([&](QDialog *) {
            if (++runs == 2) {
                // The reader is back before the user tries again.
                back = vp.start({});
                if (!back)
                    qWarning() << vp.errorOutput();
                QElapsedTimer t;
                t.start();
                while (!KxDeviceKit::Instance()->isConnected(reader.serial) && t.elapsed() < 15000)
                    QTest::qWait(20);
            }
            return int(SaveChoice_Save);
        });
        QVERIFY(DoSaveChangedCmds(c.get(), true, true));
        QVERIFY(back);
        QCOMPARE(runs, 2);
        QVERIFY(cmd->changedCmds().isEmpty());
        QCOMPARE(ui.toastTexts(), QStringList{"#IDS_SaveChangedCmds_Success"});
        QVERIFY2(ui.isClean(), qPrintable(ui.errors().join('\n')));

        // Stored: they survive a restart of the reader.
        c.reset();
        QVERIFY(vp.restart({}));
        c = login(vp);
        QVERIFY(c);
        for (const ChangedCmdInfo &ch : changes)
            QCOMPARE(c->command()->value(ch.code), ch.value.toByteArray());
    }

    void undoRestoresOneCommand()
    {
        Started vp;
        QVERIFY2(vp.start({}), qPrintable(vp.why));
        auto &c = vp.connector;
        KxDeviceCommand *cmd = c->command();
        const QVector<ChangedCmdInfo> changes = pickChanges(cmd, 2);
        QCOMPARE(changes.size(), 2);
        QMap<QString, QByteArray> previousOf;
        for (const ChangedCmdInfo &ch : changes)
            previousOf.insert(ch.code, cmd->value(ch.code));
        QCOMPARE(sendChanges(cmd, changes, this), 2);

        ChangedCmdsListDlg dlg(c.get(), true);
        QCOMPARE(dlg.rowCount(), 2);
        QVERIFY(!dlg.button(1)->isHidden());  // setting code offered while changes exist
        QSignalSpy undone(&dlg, &ChangedCmdsListDlg::rowUndone);
        QSignalSpy finished(&dlg, &QDialog::finished);
        // The dialog is never shown or laid out: every cell sits at the origin, so the button
        // must find its row by the code it carries. Undo the second row first.
        const int row = 1;
        const QString first = dlg.rowCode(row);
        const QString second = dlg.rowCode(0);
        QCOMPARE(dlg.rowOf(first), row);
        QCOMPARE(dlg.rowOf("NOSUCH"), -1);
        const ChangedCmdInfo &undoneChange = changes[0].code == first ? changes[0] : changes[1];
        const ChangedCmdInfo &keptChange = changes[0].code == first ? changes[1] : changes[0];
        QCOMPARE(undoneChange.code, first);
        QCOMPARE(keptChange.code, second);
        auto *undo = qobject_cast<QPushButton *>(dlg.undoButton(row));
        QVERIFY(undo);
        QVERIFY(!dlg.isVisible());
        QCOMPARE(undo->objectName(), first);
        QCOMPARE(undo->property(ChangedCmdsListDlg::kUndoCodeProperty).toString(), first);
        QCOMPARE(undo->text(), QString("X"));
        undo->click();
        QTRY_COMPARE_WITH_TIMEOUT(undone.size(), 1, 30000);
        QCOMPARE(undone[0][0].toString(), first);
        QVERIFY(undone[0][1].toBool());
        QCOMPARE(readerValue(c.get(), first), previousOf.value(first));
        QCOMPARE(cmd->value(first), previousOf.value(first));
        QCOMPARE(readerValue(c.get(), second), keptChange.value.toByteArray());
        QCOMPARE(codesOf(cmd->changedCmds()), QStringList{second});
        QCOMPARE(dlg.rowCount(), 1);
        QCOMPARE(dlg.rowCode(0), second);
        QCOMPARE(finished.size(), 0);

        qobject_cast<QPushButton *>(dlg.undoButton(0))->click();
        QTRY_COMPARE_WITH_TIMEOUT(undone.size(), 2, 30000);
        QCOMPARE(undone[1][0].toString(), second);
        QTRY_COMPARE(finished.size(), 1);
        QCOMPARE(finished[0][0].toInt(), int(SaveChoice_Cancel));
        QVERIFY(cmd->changedCmds().isEmpty());
        QCOMPARE(readerValue(c.get(), second), previousOf.value(second));
    }

    void compareAppliesOnlySelectedRows()
    {
        VReaderProcess vp;
        QVERIFY(vp.start({"--count", "2"}));
        auto a = login(vp);
        auto b = login(vp.readers().value(1));
        QVERIFY(a && b);
        const QVector<ChangedCmdInfo> changes = pickChanges(a->command(), 3);
        QCOMPARE(changes.size(), 3);
        QStringList failed;
        QVERIFY(a->command()->saveCmds(changes, true, failed));
        QTemporaryDir dir;
        const QString path = dir.filePath("a.xml");
        QVERIFY(KxConfigFileIO::exportToFile(a.get(), path));
        const QVector<KxConfigDiff> diffs =
            KxConfigFileIO::compare(b.get(), KxConfigFile::readFile(path).entries);

        KxScriptedUiBackend ui;
        KxConfigCompareDlg dlg(b.get(), diffs);
        QCOMPARE(dlg.rowCount(), 3);
        QStringList rows;
        for (int i = 0; i < dlg.rowCount(); ++i)
            rows << dlg.rowCode(i);
        rows.sort();
        QCOMPARE(rows, codesOf(changes));
        const QString skipped = dlg.rowCode(1);
        const QByteArray skippedBefore = readerValue(b.get(), skipped);
        dlg.setRowChecked(0, true);
        dlg.setRowChecked(2, true);
        QStringList chosen = dlg.checkedCodes();
        QSignalSpy applied(&dlg, &KxConfigCompareDlg::applied);
        QSignalSpy finished(&dlg, &QDialog::finished);
        dlg.applyButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(applied.size(), 1, 30000);
        QStringList sent = applied[0][0].toStringList();
        sent.sort();
        chosen.sort();
        QCOMPARE(sent, chosen);
        QVERIFY(applied[0][1].toStringList().isEmpty());
        for (const ChangedCmdInfo &ch : changes) {
            if (chosen.contains(ch.code))
                QCOMPARE(readerValue(b.get(), ch.code), ch.value.toByteArray());
        }
        QCOMPARE(readerValue(b.get(), skipped), skippedBefore);
        // Applied as changes: unsaved until the user saves them.
        QCOMPARE(codesOf(b->command()->changedCmds()), chosen);
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished[0][0].toInt(), 1);
        QCOMPARE(dlg.rowCount(), 1);
    }

    void importOfOtherModelOnlyAfterConfirmation()
    {
        Started vp;
        QVERIFY2(vp.start({}), qPrintable(vp.why));
        auto &c = vp.connector;
        const QVector<ChangedCmdInfo> changes = pickChanges(c->command(), 1);
        QCOMPARE(changes.size(), 1);
        const QByteArray before = readerValue(c.get(), changes[0].code);
        QTemporaryDir dir;
        const QString path = dir.filePath("other.xml");
        QVERIFY(KxConfigFile::writeFile(path, KxConfigFile::toXml(
            "KXS-HS120", {{changes[0].code, QString::fromUtf8(changes[0].value.toByteArray())}})));

        KxScriptedUiBackend ui;
        ui.answerFile(path);
        ui.answerMessage(2, "#IDS_ImportConfig_Unmatch_Tips");  // Cancel
        KxConfigFileUi::ImportOutcome out = KxConfigFileUi::importConfig(c.get());
        QVERIFY(!out.imported);
        QCOMPARE(readerValue(c.get(), changes[0].code), before);
        QVERIFY(ui.waitingTexts().isEmpty());

        ui.answerFile(path);
        ui.answerMessage(1, "#IDS_ImportConfig_Unmatch_Tips");  // OK
        out = KxConfigFileUi::importConfig(c.get());
        QVERIFY(out.imported);
        QVERIFY(out.ok);
        QCOMPARE(readerValue(c.get(), changes[0].code), changes[0].value.toByteArray());
        QCOMPARE(ui.toastTexts(), QStringList{"#IDS_ImportConfig_Success"});
        QVERIFY2(ui.isClean(), qPrintable(ui.errors().join('\n')));

        // A broken file is refused with its message before anything is sent.
        QVERIFY(KxConfigFile::writeFile(path, "<Brevan"));
        ui.clear();
        ui.answerFile(path);
        out = KxConfigFileUi::importConfig(c.get());
        QVERIFY(!out.imported);
        QCOMPARE(ui.messageTexts(), QStringList{"#IDS_ImportConfig_Malformed"});
    }

    void exportRemembersFolder()
    {
        Started vp;
        QVERIFY2(vp.start({}), qPrintable(vp.why));
        auto &c = vp.connector;
        QTemporaryDir dir;
        KxScriptedUiBackend ui;
        ui.answerFile(dir.filePath("cfg"));
        QVERIFY(KxConfigFileUi::exportConfig(c.get()));
        QVERIFY(QFile::exists(dir.filePath("cfg.xml")));
        QCOMPARE(ui.toastTexts(), QStringList{"#IDS_ExportConfig_Success"});
        ui.answerFile(dir.filePath("again.xml"));
        QVERIFY(KxConfigFileUi::exportConfig(c.get()));
        const auto files = ui.shown(KxScriptedUiBackend::Kind::File);
        QCOMPARE(files.size(), 2);
        QCOMPARE(files[1].dir, QFileInfo(dir.path()).absoluteFilePath());
        QCOMPARE(files[1].filter, QString("Brevan Files (*.xml)"));
    }
};

QTEST_MAIN(TestChangesVReader)
#include "tst_changesvreader.moc"
