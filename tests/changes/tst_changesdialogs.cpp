// The change dialogs without a reader: their buttons and what each one answers.
#include "ChangedCmdsListDlg.h"
#include "DoSaveChangedCmds.h"
#include "KxDialogRunner.h"
#include "KxStyledButtons.h"
#include "SaveChangedCmdsTipDlg.h"

#include <QTableWidget>
#include <QtTest>

class TestChangesDialogs : public QObject
{
    Q_OBJECT

private slots:
    void buttonsAndTheirResults()
    {
        ChangedCmdsListDlg save(nullptr, false);
        QVERIFY(!save.fill(nullptr));
        QCOMPARE(save.rowCount(), 0);
        QCOMPARE(save.table()->columnCount(), 2);
        QVERIFY(save.button(0) && save.button(1) && save.button(2));
        ChangedCmdsListDlg history(nullptr, true);
        QCOMPARE(history.table()->columnCount(), 3);
        QVERIFY(history.button(2) == nullptr);
        QVERIFY(history.button(0) && history.button(1));
        // No rows: no setting code to print.
        QVERIFY(history.button(1)->isHidden());

        for (int result : {0, 1, 2}) {
            SaveChangedCmdsTipDlg dlg;
            dlg.button(result)->click();
            QCOMPARE(dlg.result(), result);
        }
    }

    void noReaderMeansStay()
    {
        int runs = 0;
        const auto previous = KxDialogRunner::install([&](QDialog *) { return ++runs, 1; });
        QVERIFY(!DoSaveChangedCmds(nullptr, true, true));
        QCOMPARE(runs, 0);
        KxDialogRunner::install(previous);
    }
};

QTEST_MAIN(TestChangesDialogs)
#include "tst_changesdialogs.moc"
