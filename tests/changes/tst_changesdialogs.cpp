// The change dialogs without a reader: sizes, column rules, buttons and their results.
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
    void nameColumnWidth_data()
    {
        QTest::addColumn<QList<int>>("widths");
        QTest::addColumn<int>("expected");
        QTest::newRow("no names: the minimum") << QList<int>{} << 150;
        QTest::newRow("short names: the minimum") << QList<int>{40, 90} << 150;
        QTest::newRow("widest plus 15") << QList<int>{100, 200, 180} << 215;
        QTest::newRow("capped at the wrap width") << QList<int>{300} << 260;
        QTest::newRow("just below the cap") << QList<int>{245} << 260;
    }

    void nameColumnWidth()
    {
        QFETCH(QList<int>, widths);
        QFETCH(int, expected);
        QCOMPARE(ChangedCmdsListDlg::nameColumnWidth(widths), expected);
    }

    void rowHeight_data()
    {
        QTest::addColumn<int>("nameWidth");
        QTest::addColumn<int>("expected");
        QTest::newRow("fits") << 120 << 35;
        QTest::newRow("exactly the wrap width") << 260 << 35;
        QTest::newRow("two lines") << 261 << 48;
        QTest::newRow("three lines") << 600 << 72;
    }

    void rowHeight()
    {
        QFETCH(int, nameWidth);
        QFETCH(int, expected);
        QCOMPARE(ChangedCmdsListDlg::rowHeightFor(nameWidth), expected);
    }

    void fixedSizesAndButtons()
    {
        ChangedCmdsListDlg save(nullptr, false);
        QCOMPARE(save.size(), QSize(500, 400));
        QVERIFY(!save.fill(nullptr));
        QCOMPARE(save.rowCount(), 0);
        QCOMPARE(save.table()->columnCount(), 2);
        QVERIFY(save.button(0) && save.button(1) && save.button(2));
        ChangedCmdsListDlg history(nullptr, true);
        QCOMPARE(history.size(), QSize(500, 400));
        QCOMPARE(history.table()->columnCount(), 3);
        QVERIFY(history.button(2) == nullptr);
        QVERIFY(history.button(0) && history.button(1));
        // No rows: no setting code to print.
        QVERIFY(history.button(1)->isHidden());

        SaveChangedCmdsTipDlg tip;
        QCOMPARE(tip.size(), QSize(400, 180));
        QCOMPARE(tip.titleKey(), QString("#IDS_Tips"));
        for (int result : {0, 1, 2}) {
            SaveChangedCmdsTipDlg dlg;
            dlg.button(result)->click();
            QCOMPARE(dlg.result(), result);
        }
        QCOMPARE(tip.button(1)->textKey(), QString("#IDS_Save"));
        QCOMPARE(tip.button(2)->textKey(), QString("#IDS_NotSave"));
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
