// The quick page's tools: which ones a reader gets, and against the real virtual reader the
// configuration-set box (enable, rename with its refusals), automatic and point focus,
// self-learning from an unreadable exposure, judged by whether the reader reads, the debug test
// with the reader's real read rate, monitoring followed on the reader, the quick page of a model
// without one, and a running tool stopped when the page goes.
#include "ConfigLib.h"
#include "KxConfig.h"
#include "KxDeviceCommand.h"
#include "KxI18nUtil.h"
#include "KxScriptedUiBackend.h"
#include "KxSettings.h"
#include "LazyPlainTextEdit.h"
#include "ResultOutputWidget.h"
#include "KxStandardControls.h"
#include "QuickConfigSetBox.h"
#include "QuickSettingsWidget.h"
#include "QuickTools.h"
#include "VReaderProcess.h"
#include "VReaderSession.h"
#include "DialogTestUtil.h"
#include "BCodePropertyWidget.h"
#include "KxPageInfo.h"
#include "QuickToolDialogs.h"
#include "QuickTestSummaryDlg.h"
#include "ResultOutputTableWidget.h"
#include "SelectPointFocusDlg.h"
#include "SelfLearningResultDlg.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMenu>
#include <QScrollArea>
#include <QRadioButton>
#include <QSpinBox>

#include <QComboBox>
#include <QListWidget>
#include <QTableWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>
#include <QSignalSpy>

using QuickTools::Reader;
Q_DECLARE_METATYPE(QuickTools::Reader)

namespace {

Reader reader(bool offline, const QString &comType, bool monitorValues, bool learning,
              const QStringList &codes)
{
    Reader r;
    r.offline = offline;
    r.comType = comType;
    r.monitorValues = monitorValues;
    r.learningValues = learning;
    r.codes = QSet<QString>(codes.begin(), codes.end());
    return r;
}

// The quick page on a reader of its own, its dialogs answered by a script. start() only logs
// in, for tests that set the reader up before the page reads it; open() does both.
struct QuickOnReader
{
    KxScriptedUiBackend ui;
    VReaderSession::Started r;
    QuickSettingsWidget page;
    QString why;

    bool start(const QStringList &args)
    {
        const bool ok = r.start(args);
        why = r.why;
        return ok;
    }
    bool openPage()
    {
        why = QStringLiteral("the page did not open");
        return page.openDevice(r.pointer(), QVariant());
    }
    bool open(const QStringList &args) { return start(args) && openPage(); }
    KxDeviceConnector *reader() const { return r.get(); }
};

// Good reads of the reader's counters ("<reads>N<good>M<ms>T").
int goodReads(KxDeviceConnector *c)
{
    const QByteArray v = VReaderSession::readerValue(c, QStringLiteral("DBGCNT"));
    const int n = v.indexOf('N');
    const int m = v.indexOf('M');
    return n >= 0 && m > n ? v.mid(n + 1, m - n - 1).toInt() : -1;
}

double meanGray(const QImage &image)
{
    const QImage g = image.convertToFormat(QImage::Format_Grayscale8);
    double sum = 0;
    for (int y = 0; y < g.height(); ++y) {
        const uchar *line = g.constScanLine(y);
        for (int x = 0; x < g.width(); ++x)
            sum += line[x];
    }
    return g.isNull() ? -1 : sum / (double(g.width()) * g.height());
}

// Opens the page's test summary from the tool's menu, as a user does after a test; the
// dialog's rate text, bar heights and kept images.
struct SummaryShown
{
    bool shown = false;
    QString rate;
    QList<int> bars;
    int images = -1;  // -1: the dialog said none were kept
};
SummaryShown showSummary(QuickSettingsWidget &page, const QString &tool)
{
    SummaryShown out;
    RunnerScope scope([&](QDialog *d) {
        auto *dlg = qobject_cast<QuickTestSummaryDlg *>(d);
        if (!dlg)
            return -1;
        out.shown = true;
        out.rate = dlg->rateLabel()->text();
        out.bars = dlg->barCounts();
        out.images = dlg->imageList() ? dlg->imageList()->count() : -1;
        dlg->reject();
        return int(QDialog::Rejected);
    });
    QToolButton *b = page.tool(tool);
    if (b && b->menu()) {
        emit b->menu()->aboutToShow();
        QAction *a = b->menu()->findChild<QAction *>("actSummary");
        if (a && a->isEnabled())
            a->trigger();
    }
    return out;
}

}  // namespace

class TestQuickTools : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        KxConfig::instance()->setDataDir(m_dir.filePath("data"));
        QVERIFY(QDir().mkpath(KxConfig::instance()->dataDir()));
        KxStandardControls::registerAll();
        // Real texts, so a message key without its text or placeholder shows.
        KxI18nUtil::instance()->loadMain(QStringLiteral(BREVAN_SOURCE_DIR "/models/resources"), "en");
    }

    void toolTable_data()
    {
        QTest::addColumn<Reader>("r");
        QTest::addColumn<QStringList>("tools");
        const QStringList all = {"FOCAUT", "TESSRN", "TESLIB", "SCNITG"};
        QTest::newRow("offline with monitor values")
            << reader(true, "1", true, true, all) << QStringList{"Id_Tool_Monitor"};
        QTest::newRow("offline without")
            << reader(true, "1", false, true, all) << QStringList{"Id_Tool_Play"};
        QTest::newRow("debug test before read test")
            << reader(false, "1", true, true, all)
            << QStringList{"Id_Tool_Monitor", "Id_Tool_AutoFocus", "Id_Tool_SelfLearning", "Id_Tool_TestEx",
                           "Id_Tool_Trigger"};
        QTest::newRow("read test without debug test")
            << reader(false, "1", false, false, {"TESLIB"}) << QStringList{"Id_Tool_Play", "Id_Tool_Test"};
        QTest::newRow("COM Type 0: no tests")
            << reader(false, "0", false, false, all) << QStringList{"Id_Tool_Play", "Id_Tool_AutoFocus"};
        QTest::newRow("images hide the trigger test")
            << reader(false, "1", false, false, {"SCNITG", "IMGGET"}) << QStringList{"Id_Tool_Play"};
    }
    void toolTable()
    {
        QFETCH(Reader, r);
        QFETCH(QStringList, tools);
        QCOMPARE(QuickTools::forReader(r), tools);
        // The page runs every tool the reader qualifies for, in the same order.
        QCOMPARE(QuickTools::available(r), tools);
    }

    void configSetsOnTheReader()
    {
        QuickOnReader s;
        QVERIFY2(s.open({"--count", "1", "--sensor", "640x480"}), qPrintable(s.why));
        s.page.resize(1366, 768);
        s.page.show();
        QuickConfigSetBox *box = s.page.configSetBox();
        QVERIFY(box->isVisibleTo(&s.page));
        QCOMPARE(box->sets().size(), 4);
        QCOMPARE(box->combo()->count(), 4);
        QCOMPARE(s.page.toolIds(),
                 (QStringList{"Id_Tool_Monitor", "Id_Tool_AutoFocus", "Id_Tool_SelfLearning", "Id_Tool_TestEx"}));

        // Enable the second set: the reader's own list says so.
        box->combo()->setCurrentIndex(1);
        const int id = box->currentSet()->id();
        QSignalSpy enabled(&s.page, &QuickSettingsWidget::OnSignalConfigLibEnable);
        box->enableButton()->click();
        QCOMPARE(enabled.count(), 1);
        auto readerSet = [&](int wanted) {
            for (const ConfigLibRecord &r :
                 ConfigLibRecord::splitList(VReaderSession::readerValue(s.reader(), "MPCADD"))) {
                if (r.id == wanted)
                    return r;
            }
            return ConfigLibRecord();
        };
        QTRY_COMPARE_WITH_TIMEOUT(readerSet(id).enable, 1, 30000);
        QCOMPARE(box->enableButton()->text(), kxTr("#IDS_Disable"));

        // Rename: too long, then a name another set has, then a good one with colons.
        s.ui.answerInput(QString(33, QLatin1Char('x')));
        s.ui.answerInput(box->sets().at(0)->name());
        s.ui.answerInput(QStringLiteral(" Dock:A "));
        box->nameButton()->click();
        const auto toasts = s.ui.shown(KxScriptedUiBackend::Kind::Toast);
        QCOMPARE(toasts.size(), 2);
        QCOMPARE(toasts[0].text, kxTr("#IDS_ConfigNameTooLong"));
        QCOMPARE(toasts[1].text, kxTr("#IDS_ConfigNameIsExist"));
        QTRY_COMPARE_WITH_TIMEOUT(readerSet(id).name, QStringLiteral("DockA"), 30000);
        QVERIFY(box->combo()->currentText().contains(QStringLiteral("DockA")));
        // Cancelling the dialog changes nothing.
        s.ui.cancelInput();
        box->nameButton()->click();
        QCOMPARE(readerSet(id).name, QStringLiteral("DockA"));
        QVERIFY(s.ui.isClean());
    }

    void autoFocusMakesTheReaderRead()
    {
        QuickOnReader s;
        QVERIFY2(s.start({"--count", "1", "--sensor", "640x480"}), qPrintable(s.why));
        QByteArray v;
        // Far from the scene's focus: the labels blur away.
        QCOMPARE(s.reader()->queryCommand(1, "#FOCPOS", v, "0"), 6);
        const int before = goodReads(s.reader());
        QCOMPARE(s.reader()->queryCommand(1, "#SCNITG", v), 6);
        QCOMPARE(goodReads(s.reader()), before);

        QVERIFY2(s.openPage(), qPrintable(s.why));
        QToolButton *focus = s.page.tool(QuickTools::autoFocus());
        QVERIFY(focus);
        focus->click();
        QVERIFY(s.page.isBusy());
        QCOMPARE(focus->text(), kxTr("#IDS_AutoFocus_ing"));
        QTRY_VERIFY_WITH_TIMEOUT(!s.page.isBusy(), 60000);
        QVERIFY(!focus->isChecked());
        const auto toasts = s.ui.shown(KxScriptedUiBackend::Kind::Toast);
        QCOMPARE(toasts.size(), 1);
        const QByteArray pos = VReaderSession::readerValue(s.reader(), "FOCPOS");
        QVERIFY(pos != "0");
        QCOMPARE(toasts[0].text, kxTr("#IDS_AutoFocus_Done").arg(QString::fromUtf8(pos)));
        // The page's copy of the reader's values follows.
        QCOMPARE(s.reader()->command()->rawValue("FOCPOS"), pos);
        QCOMPARE(s.reader()->queryCommand(1, "#SCNITG", v), 6);
        QCOMPARE(goodReads(s.reader()), before + 1);
    }

    void selfLearningMakesTheReaderRead()
    {
        QuickOnReader s;
        QVERIFY2(s.start({"--count", "1", "--sensor", "640x480"}), qPrintable(s.why));
        QByteArray v;
        // Fixed exposure, the shortest, no gain: the labels are too dark to read.
        for (const QByteArrayList &set : {QByteArrayList{"#EXPMOD", "1"}, {"#EXPFET", "10"}, {"#EXPFGN", "0"}})
            QCOMPARE(s.reader()->queryCommand(1, QString::fromLatin1(set[0]), v, set[1]), 6);
        const int before = goodReads(s.reader());
        QCOMPARE(s.reader()->queryCommand(1, "#SCNITG", v), 6);
        QCOMPARE(goodReads(s.reader()), before);

        QVERIFY2(s.openPage(), qPrintable(s.why));
        QToolButton *learn = s.page.tool(QuickTools::selfLearning());
        QVERIFY(learn);
        learn->click();
        QVERIFY(s.page.isBusy());
        QCOMPARE(learn->text(), kxTr("#IDS_StopLearning"));
        QTRY_VERIFY_WITH_TIMEOUT(!s.page.isBusy(), 120000);
        QCOMPARE(learn->text(), kxTr("#IDS_StartLearning"));
        const auto toasts = s.ui.shown(KxScriptedUiBackend::Kind::Toast);
        QCOMPARE(toasts.size(), 1);
        const QByteArray exposure = VReaderSession::readerValue(s.reader(), "EXPFET");
        QVERIFY(exposure != "10");
        // The summary names what changed, as the reader has it.
        QVERIFY2(toasts[0].text.contains(QStringLiteral("exposure %1 µs").arg(QString::fromUtf8(exposure))),
                 qPrintable(toasts[0].text));
        QCOMPARE(s.reader()->command()->rawValue("EXPFET"), exposure);
        QCOMPARE(s.reader()->queryCommand(1, "#SCNITG", v), 6);
        QCOMPARE(goodReads(s.reader()), before + 1);

        // The result: the image before (too dark) and after, and the learned settings as
        // changed commands running unsaved.
        const QuickSettingsWidget::LearnResult &res = s.page.learnResult();
        QVERIFY(res.valid);
        QCOMPARE(res.before.size(), QSize(640, 480));
        QCOMPARE(res.after.size(), QSize(640, 480));
        QVERIFY2(meanGray(res.before) < meanGray(res.after),
                 qPrintable(QStringLiteral("%1 %2").arg(meanGray(res.before)).arg(meanGray(res.after))));
        QByteArray stored;
        QStringList learned;
        for (const ChangedCmdInfo &c : res.changes) {
            learned << c.code;
            if (c.code == QLatin1String("EXPFET")) {
                stored = c.previous.toByteArray();
                QCOMPARE(c.value.toByteArray(), exposure);
            }
        }
        QVERIFY2(learned.contains("EXPFET"), qPrintable(learned.join(',')));
        QVERIFY2(!learned.contains("ATLSTP"), qPrintable(learned.join(',')));  // the tool's own
        QVERIFY(!stored.isEmpty() && stored != exposure);
        // Undo the exposure in the result dialog, keep the rest: the reader runs its stored
        // exposure again, and only the kept ones stay changes.
        bool undone = false;
        int rows = -1;
        {
            RunnerScope scope([&](QDialog *d) {
                auto *dlg = qobject_cast<SelfLearningResultDlg *>(d);
                if (!dlg || !dlg->undoButton("EXPFET"))
                    return -1;
                rows = dlg->table()->rowCount();
                QSignalSpy spy(dlg, &SelfLearningResultDlg::undone);
                dlg->undoButton("EXPFET")->click();
                undone = spy.wait(30000) && spy.first().at(1).toBool();
                dlg->keepButton()->click();
                return dlg->result();
            });
            emit learn->menu()->aboutToShow();
            QAction *show = learn->menu()->findChild<QAction *>("actLearnResult");
            QVERIFY(show && show->isEnabled());
            show->trigger();
        }
        QCOMPARE(rows, learned.size());
        QVERIFY(undone);
        QCOMPARE(VReaderSession::readerValue(s.reader(), "EXPFET"), stored);
        QStringList still;
        for (const ChangedCmdInfo &c : s.reader()->command()->changedCmds())
            still << c.code;
        QVERIFY(!still.contains("EXPFET"));
        for (const QString &code : learned) {
            if (code != QLatin1String("EXPFET"))
                QVERIFY2(still.contains(code), qPrintable(code));
        }
    }

    void selfLearningRefusesFlowMode()
    {
        QuickOnReader s;
        QVERIFY2(s.start({"--count", "1", "--sensor", "640x480"}), qPrintable(s.why));
        QByteArray v;
        QCOMPARE(s.reader()->queryCommand(1, "#SCNMOD", v, "3"), 6);
        const QByteArray exposure = VReaderSession::readerValue(s.reader(), "EXPFET");
        QVERIFY2(s.openPage(), qPrintable(s.why));
        s.page.tool(QuickTools::selfLearning())->click();
        QTRY_VERIFY_WITH_TIMEOUT(!s.page.isBusy(), 60000);
        const auto toasts = s.ui.shown(KxScriptedUiBackend::Kind::Toast);
        QCOMPARE(toasts.size(), 1);
        QCOMPARE(toasts[0].text, kxTr("#IDS_SelfLearning_UnsupportBurstMode"));
        QCOMPARE(VReaderSession::readerValue(s.reader(), "EXPFET"), exposure);
    }

    void triggerTestReadRate_data()
    {
        QTest::addColumn<int>("times");
        QTest::newRow("20 triggers") << 20;
        QTest::newRow("0: until stopped") << 0;
    }
    void triggerTestReadRate()
    {
        QFETCH(int, times);
        // A hand-held reader: it triggers and has no images. Every 4th read finds nothing.
        QuickOnReader s;
        QVERIFY2(s.start({"--model", "KXS-HS120", "--count", "1", "--no-read-every", "4"}), qPrintable(s.why));
        KxSettings::instance()->setValue("TestTrigger", "NumberOfTimes", times);
        QVERIFY2(s.openPage(), qPrintable(s.why));
        QCOMPARE(s.page.toolIds(), (QStringList{"Id_Tool_Play", "Id_Tool_Trigger"}));
        QToolButton *trigger = s.page.tool(QuickTools::trigger());
        trigger->click();
        QVERIFY(s.page.isBusy());
        if (times == 0) {
            // Still running well past what a bounded count would take, until stopped.
            QTest::qWait(3000);
            QVERIFY(s.page.isBusy());
            trigger->click();  // stop
        }
        QTRY_VERIFY_WITH_TIMEOUT(!s.page.isBusy(), 120000);
        QVERIFY(!trigger->isChecked());
        const auto toasts = s.ui.shown(KxScriptedUiBackend::Kind::Toast);
        QCOMPARE(toasts.size(), 1);
        if (times == 20) {
            QVERIFY2(toasts[0].text.startsWith(kxTr("#IDS_TriggerTest_Summary").arg(20).arg(15).arg(5).arg("75.0")),
                     qPrintable(toasts[0].text));
        } else {
            QVERIFY2(toasts[0].text.contains(QStringLiteral("read rate")), qPrintable(toasts[0].text));
            QVERIFY(!toasts[0].text.startsWith(kxTr("#IDS_TriggerTest_Summary").arg(0)));
        }
        // The summary stays in the text log.
        s.page.resultOutput()->textEdit()->flush();
        QVERIFY(s.page.resultOutput()->textEdit()->toPlainText().contains(QStringLiteral("Trigger test:")));
        // And in its dialog: one bar entry per good read; this reader has no images to keep.
        const QuickTestSummary &sum = s.page.testSummary();
        if (times == 20) {
            QCOMPARE(sum.attempts, 20);
            QCOMPARE(sum.good, 15);
            QCOMPARE(sum.noRead, 5);
        }
        QCOMPARE(sum.times.size(), sum.good);
        const SummaryShown shown = showSummary(s.page, QuickTools::trigger());
        QVERIFY(shown.shown);
        int charted = 0;
        for (int n : shown.bars)
            charted += n;
        QCOMPARE(charted, sum.good);
        QCOMPARE(shown.images, -1);
        if (times == 20)
            QVERIFY2(shown.rate.contains("75.0%"), qPrintable(shown.rate));
    }

    void debugTestReportsTheReadersRate()
    {
        // Every 4th read finds nothing: 8 reads give 6 good ones.
        QuickOnReader s;
        QVERIFY2(s.open({"--count", "1", "--sensor", "640x480", "--no-read-every", "4"}), qPrintable(s.why));
        // The settings dialog stores what the test sends.
        {
            RunnerScope scope([](QDialog *d) {
                auto *dlg = qobject_cast<QuickTestSettingsDlg *>(d);
                if (!dlg)
                    return -1;
                dlg->timesBox()->setValue(8);
                dlg->levelBox()->setValue(0);
                dlg->accept();
                return int(QDialog::Accepted);
            });
            QToolButton *b = s.page.tool(QuickTools::testEx());
            QVERIFY(b && b->menu());
            b->menu()->findChild<QAction *>("actSettings")->trigger();
        }
        QCOMPARE(KxSettings::instance()->value("TestEx", "NumberOfTimes", 0).toInt(), 8);
        s.page.tool(QuickTools::testEx())->click();
        QVERIFY(s.page.isBusy());
        QCOMPARE(s.page.tool(QuickTools::testEx())->text(), kxTr("#IDS_StopDebug"));
        QTRY_VERIFY_WITH_TIMEOUT(!s.page.isBusy(), 60000);
        QCOMPARE(s.page.tool(QuickTools::testEx())->text(), kxTr("#IDS_StartDebug"));
        const auto toasts = s.ui.shown(KxScriptedUiBackend::Kind::Toast);
        QCOMPARE(toasts.size(), 1);
        QCOMPARE(toasts[0].text, kxTr("#IDS_ReaderTest_Summary")
                                     .arg(kxTr("#IDS_DebugTestResults")).arg(8).arg(6).arg(2).arg("75.00"));
        QCOMPARE(VReaderSession::readerValue(s.reader(), "CCFBML"), QByteArray("0A8B0C"));
        // Every read reached the table as a test result, the failed ones as NG.
        QVERIFY(s.page.testTable());
        QTRY_VERIFY_WITH_TIMEOUT(s.page.testTable()->rowCount() >= 8, 30000);
        int ng = 0;
        for (const QStringList &row : s.page.testTable()->exportRows())
            ng += row.value(1) == QLatin1String("NG");
        QCOMPARE(ng, 2);
        // The summary keeps the reader's images taken after the no-reads, and charts the
        // decode times of the good reads.
        const QuickTestSummary &sum = s.page.testSummary();
        QCOMPARE(sum.attempts, 8);
        QCOMPARE(sum.noRead, 2);
        QVERIFY(sum.imagesPossible);
        QVERIFY(!sum.images.isEmpty() && sum.images.size() <= 2);
        for (const QImage &img : sum.images)
            QCOMPARE(img.size(), QSize(640, 480));
        QVERIFY(!sum.times.isEmpty() && sum.times.size() <= 6);
        const SummaryShown shown = showSummary(s.page, QuickTools::testEx());
        QVERIFY(shown.shown);
        QCOMPARE(shown.images, sum.images.size());
        int charted = 0;
        for (int n : shown.bars)
            charted += n;
        QCOMPARE(charted, sum.times.size());
    }

    void summaryDistribution_data()
    {
        QTest::addColumn<QList<double>>("times");
        QTest::addColumn<int>("bins");
        QTest::newRow("none") << QList<double>{} << 0;
        QTest::newRow("all at one time") << QList<double>{12, 12, 12} << 1;
        QTest::newRow("fewer reads than bins") << QList<double>{3, 40, 41.5} << 3;
        QList<double> spread;
        for (int i = 0; i < 100; ++i)
            spread << 20 + i * 0.7;
        QTest::newRow("spread") << spread << 8;
        QTest::newRow("fractions near one ms") << QList<double>{0.2, 0.4, 0.9, 1.1} << 2;
    }
    void summaryDistribution()
    {
        QFETCH(QList<double>, times);
        QFETCH(int, bins);
        QuickTestSummary sum;
        sum.times = times;
        const QVector<QuickTestSummary::Bin> d = sum.distribution(8);
        QCOMPARE(d.size(), bins);
        int counted = 0;
        for (int i = 0; i < d.size(); ++i) {
            QVERIFY(d[i].to > d[i].from);
            if (i > 0)
                QCOMPARE(d[i].from, d[i - 1].to);  // no gaps, no overlaps
            counted += d[i].count;
        }
        QCOMPARE(counted, times.size());
        // Every time lies in the bin that counted it: recount by the bins' bounds.
        for (int i = 0; i < d.size(); ++i) {
            int in = 0;
            for (double t : times)
                in += t >= d[i].from && (t < d[i].to || (i == d.size() - 1 && t <= d[i].to));
            QCOMPARE(in, d[i].count);
        }
    }

    void leavingTheTabStopsTheReadTest()
    {
        QuickOnReader s;
        QVERIFY2(s.start({"--count", "1", "--sensor", "640x480"}), qPrintable(s.why));
        // The model has the debug test, so the read test is not offered; the page runs the one
        // it shows, and a read test started by hand stops the same way.
        KxSettings::instance()->setValue("TestEx", "NumberOfTimes", 0);
        QVERIFY2(s.openPage(), qPrintable(s.why));
        s.page.tool(QuickTools::testEx())->click();
        QTRY_COMPARE_WITH_TIMEOUT(QJsonDocument::fromJson(VReaderSession::readerValue(s.reader(), "TESQST"))
                                      .object().value("test").toInt(), 1, 30000);
        // Until stopped: still running once it has read a while.
        QTRY_VERIFY_WITH_TIMEOUT(QJsonDocument::fromJson(VReaderSession::readerValue(s.reader(), "TESQST"))
                                     .object().value("reads").toInt() >= 5, 30000);
        QVERIFY(s.page.isBusy());
        // The frame deactivates the page when the user goes to another page.
        QVERIFY(s.page.deactivate(QVariant()));
        QTRY_VERIFY_WITH_TIMEOUT(!s.page.isBusy(), 30000);
        QCOMPARE(QJsonDocument::fromJson(VReaderSession::readerValue(s.reader(), "TESQST"))
                     .object().value("test").toInt(), 0);
    }

    void pointFocusSendsTheChosenPoint()
    {
        QuickOnReader s;
        QVERIFY2(s.open({"--count", "1", "--sensor", "640x480"}), qPrintable(s.why));
        {
            RunnerScope scope([](QDialog *d) {
                auto *dlg = qobject_cast<AutoFocusParamsDlg *>(d);
                if (!dlg)
                    return -1;
                dlg->button(AutoFocusParamsDlg::Point)->setChecked(true);
                dlg->accept();
                return int(QDialog::Accepted);
            });
            s.page.tool(QuickTools::autoFocus())->menu()->findChild<QAction *>("actSettings")->trigger();
        }
        QCOMPARE(AutoFocusParamsDlg::stored(), AutoFocusParamsDlg::Point);
        // A cancelled choice sends nothing.
        {
            RunnerScope scope([](QDialog *) { return int(QDialog::Rejected); });
            s.page.tool(QuickTools::autoFocus())->click();
        }
        QVERIFY(!s.page.isBusy());
        QVERIFY(!QJsonDocument::fromJson(VReaderSession::readerValue(s.reader(), "FOCQAT")).object().contains("mode"));
        // The middle of the picture is the middle of the sensor.
        QPoint chosen;
        {
            RunnerScope scope([&chosen](QDialog *d) {
                auto *dlg = qobject_cast<SelectPointFocusDlg *>(d);
                if (!dlg)
                    return -1;
                const QSize shown = dlg->picture()->pixmap(Qt::ReturnByValue).size();
                dlg->choose(QPoint(shown.width() / 2, shown.height() / 2));
                chosen = dlg->point();
                dlg->accept();
                return int(QDialog::Accepted);
            });
            s.page.tool(QuickTools::autoFocus())->click();
        }
        QVERIFY(qAbs(chosen.x() - 320) <= 2 && qAbs(chosen.y() - 240) <= 2);
        QTRY_VERIFY_WITH_TIMEOUT(!s.page.isBusy(), 60000);
        const QJsonObject st = QJsonDocument::fromJson(VReaderSession::readerValue(s.reader(), "FOCQAT")).object();
        QCOMPARE(st.value("mode").toString(), QStringLiteral("point"));
        QCOMPARE(AutoFocusParamsDlg::lastPoint(), chosen);
        // The page says what the reader found.
        const auto toasts = s.ui.shown(KxScriptedUiBackend::Kind::Toast);
        QCOMPARE(toasts.size(), 1);
        QCOMPARE(toasts[0].text, st.value("state").toInt() == 2
                                     ? kxTr("#IDS_AutoFocus_Done").arg(st.value("FOCPOS").toString())
                                     : kxTr("#IDS_AutoFocus_Failed"));
        AutoFocusParamsDlg::store(AutoFocusParamsDlg::Auto);
    }

    void readerEndingMonitoringEndsTheTool()
    {
        QuickOnReader s;
        QVERIFY2(s.open({"--count", "1", "--sensor", "640x480"}), qPrintable(s.why));
        s.page.tool(QuickTools::monitor())->click();
        QTRY_COMPARE_WITH_TIMEOUT(VReaderSession::readerValue(s.reader(), "SCNMTG"), QByteArray("1"), 30000);
        // Monitoring reads by itself: the counters move without a trigger.
        const int before = goodReads(s.reader());
        QTRY_VERIFY_WITH_TIMEOUT(goodReads(s.reader()) >= before + 3, 30000);
        // Something else ends it on the reader (here a test starting): the page follows.
        QByteArray v;
        QCOMPARE(s.reader()->queryCommand(1, "#TESSRN", v, "1"), 6);
        QTRY_VERIFY_WITH_TIMEOUT(!s.page.isBusy(), 30000);
        QVERIFY(!s.page.tool(QuickTools::monitor())->isChecked());
        QCOMPARE(s.reader()->queryCommand(1, "#TESSEN", v), 6);
    }

    void modelWithoutQuickPageGetsMostUsedSettings()
    {
        QuickOnReader s;
        QVERIFY2(s.open({"--model", "KXS-HS120", "--count", "1"}), qPrintable(s.why));
        QVERIFY(s.page.settings()->pages());
        QStringList ids;
        for (const KxPageInfo *p : s.page.settings()->pages()->pages) {
            for (const KxItemInfo *item : p->allItems())
                ids << item->id;
        }
        // What the hand-held reader's own pages hold of the most used settings, in that order.
        QCOMPARE(ids.mid(0, 3), (QStringList{"SCNMOD", "DECTMO", "SCNITV"}));
        // Groups keep their own titles; nothing else of the model's pages comes along.
        QCOMPARE(s.page.settings()->pages()->pages.first()->groups.first()->displayName, QStringLiteral("#IDS_Grp_Mode"));
        QVERIFY(ids.contains("ILLMOD") && ids.contains("AIMENA"));
        QVERIFY(!ids.contains("C39ENA"));
    }

    void longTitlesWrapInTheDock()
    {
        QuickOnReader s;
        QVERIFY2(s.open({"--count", "1", "--sensor", "640x480"}), qPrintable(s.why));
        s.page.resize(1366, 768);
        s.page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&s.page));
        auto *title = s.page.settings()->findChild<QLabel *>(QStringLiteral("DECTMO"));
        QVERIFY(title && title->isVisible());
        // The page fits the dock, so no editor lies over a title and the long one wraps.
        QScrollArea *scroll = nullptr;
        for (QWidget *w = title; w && !scroll; w = w->parentWidget())
            scroll = qobject_cast<QScrollArea *>(w);
        QVERIFY(scroll);
        QVERIFY2(scroll->widget()->minimumSizeHint().width() <= scroll->viewport()->width(),
                 qPrintable(QStringLiteral("%1 > %2").arg(scroll->widget()->minimumSizeHint().width())
                                .arg(scroll->viewport()->width())));
        QVERIFY(title->wordWrap());
        QVERIFY(title->fontMetrics().horizontalAdvance(title->text()) > title->width());
        for (QWidget *editor : title->parentWidget()->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
            if (editor == title || qobject_cast<QLabel *>(editor) || !editor->isVisible())
                continue;
            const QRect e = editor->geometry();
            if (e.top() < title->geometry().bottom() && e.bottom() > title->geometry().top())
                QVERIFY2(!e.intersects(title->geometry()), qPrintable(editor->metaObject()->className()));
        }
    }

    void leavingStopsTheMonitor()
    {
        QuickOnReader s;
        QVERIFY2(s.open({"--count", "1", "--sensor", "640x480"}), qPrintable(s.why));
        s.page.show();
        QToolButton *monitor = s.page.tool(QuickTools::monitor());
        QVERIFY(monitor);
        monitor->click();
        QVERIFY(s.page.isBusy());
        QCOMPARE(monitor->text(), kxTr("#IDS_StopMonitor"));
        QTRY_COMPARE_WITH_TIMEOUT(VReaderSession::readerValue(s.reader(), "SCNMTR"), QByteArray("1"), 30000);
        // Another tool stays off while one runs.
        s.page.tool(QuickTools::autoFocus())->click();
        QVERIFY(!s.page.tool(QuickTools::autoFocus())->isChecked());
        // The edit frame asks the page to stop before it goes.
        QVERIFY(s.page.closing(QVariant()));
        QVERIFY(!s.page.isBusy());
        QVERIFY(!monitor->isChecked());
        QCOMPARE(monitor->text(), kxTr("#IDS_StartMonitor"));
        QTRY_COMPARE_WITH_TIMEOUT(VReaderSession::readerValue(s.reader(), "SCNMTR"), QByteArray("0"), 30000);
    }
};

QTEST_MAIN(TestQuickTools)
#include "tst_quicktools.moc"
