// The quick page's tools: which ones a reader gets, and against the real virtual reader the
// configuration-set box (enable, rename with its refusals), automatic focus from a blurred start
// and self-learning from an unreadable exposure, judged by whether the reader reads, and a
// running monitor stopped when the page goes.
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

#include <QComboBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

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

// Good reads of the reader's counters ("<reads>N<good>M<ms>T").
int goodReads(KxDeviceConnector *c)
{
    const QByteArray v = VReaderSession::readerValue(c, QStringLiteral("DBGCNT"));
    const int n = v.indexOf('N');
    const int m = v.indexOf('M');
    return n >= 0 && m > n ? v.mid(n + 1, m - n - 1).toInt() : -1;
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
        // The page offers only the tools it runs, in the same order.
        QStringList shown;
        for (const QString &id : tools) {
            // The read and debug tests are not offered yet.
            if (id != QuickTools::test() && id != QuickTools::testEx())
                shown << id;
        }
        QCOMPARE(QuickTools::available(r), shown);
    }

    void configSetsOnTheReader()
    {
        KxScriptedUiBackend ui;
        VReaderProcess vr;
        QVERIFY2(vr.start({"--count", "1", "--sensor", "640x480"}), vr.errorOutput().constData());
        QString why;
        auto connector = VReaderSession::login(vr, &why);
        QVERIFY2(connector, qPrintable(why));
        QuickSettingsWidget page;
        QVERIFY(page.openDevice(QPointer<KxDeviceConnector>(connector.get()), QVariant()));
        page.resize(1366, 768);
        page.show();
        QuickConfigSetBox *box = page.configSetBox();
        QVERIFY(box->isVisibleTo(&page));
        QCOMPARE(box->sets().size(), 4);
        QCOMPARE(box->combo()->count(), 4);
        QCOMPARE(page.toolIds(), (QStringList{"Id_Tool_Monitor", "Id_Tool_AutoFocus", "Id_Tool_SelfLearning"}));

        // Enable the second set: the reader's own list says so.
        box->combo()->setCurrentIndex(1);
        const int id = box->currentSet()->id();
        QSignalSpy enabled(&page, &QuickSettingsWidget::OnSignalConfigLibEnable);
        box->enableButton()->click();
        QCOMPARE(enabled.count(), 1);
        auto readerSet = [&](int wanted) {
            for (const ConfigLibRecord &r :
                 ConfigLibRecord::splitList(VReaderSession::readerValue(connector.get(), "MPCADD"))) {
                if (r.id == wanted)
                    return r;
            }
            return ConfigLibRecord();
        };
        QTRY_COMPARE_WITH_TIMEOUT(readerSet(id).enable, 1, 30000);
        QCOMPARE(box->enableButton()->text(), kxTr("#IDS_Disable"));

        // Rename: too long, then a name another set has, then a good one with colons.
        ui.answerInput(QString(33, QLatin1Char('x')));
        ui.answerInput(box->sets().at(0)->name());
        ui.answerInput(QStringLiteral(" Dock:A "));
        box->nameButton()->click();
        const auto toasts = ui.shown(KxScriptedUiBackend::Kind::Toast);
        QCOMPARE(toasts.size(), 2);
        QCOMPARE(toasts[0].text, kxTr("#IDS_ConfigNameTooLong"));
        QCOMPARE(toasts[1].text, kxTr("#IDS_ConfigNameIsExist"));
        QTRY_COMPARE_WITH_TIMEOUT(readerSet(id).name, QStringLiteral("DockA"), 30000);
        QVERIFY(box->combo()->currentText().contains(QStringLiteral("DockA")));
        // Cancelling the dialog changes nothing.
        ui.cancelInput();
        box->nameButton()->click();
        QCOMPARE(readerSet(id).name, QStringLiteral("DockA"));
        QVERIFY(ui.isClean());
    }

    void autoFocusMakesTheReaderRead()
    {
        KxScriptedUiBackend ui;
        VReaderProcess vr;
        QVERIFY2(vr.start({"--count", "1", "--sensor", "640x480"}), vr.errorOutput().constData());
        QString why;
        auto connector = VReaderSession::login(vr, &why);
        QVERIFY2(connector, qPrintable(why));
        QByteArray v;
        // Far from the scene's focus: the labels blur away.
        QCOMPARE(connector->queryCommand(1, "#FOCPOS", v, "0"), 6);
        const int before = goodReads(connector.get());
        QCOMPARE(connector->queryCommand(1, "#SCNITG", v), 6);
        QCOMPARE(goodReads(connector.get()), before);

        QuickSettingsWidget page;
        QVERIFY(page.openDevice(QPointer<KxDeviceConnector>(connector.get()), QVariant()));
        QToolButton *focus = page.tool(QuickTools::autoFocus());
        QVERIFY(focus);
        focus->click();
        QVERIFY(page.isBusy());
        QCOMPARE(focus->text(), kxTr("#IDS_AutoFocus_ing"));
        QTRY_VERIFY_WITH_TIMEOUT(!page.isBusy(), 60000);
        QVERIFY(!focus->isChecked());
        const auto toasts = ui.shown(KxScriptedUiBackend::Kind::Toast);
        QCOMPARE(toasts.size(), 1);
        const QByteArray pos = VReaderSession::readerValue(connector.get(), "FOCPOS");
        QVERIFY(pos != "0");
        QCOMPARE(toasts[0].text, kxTr("#IDS_AutoFocus_Done").arg(QString::fromUtf8(pos)));
        // The page's copy of the reader's values follows.
        QCOMPARE(connector->command()->rawValue("FOCPOS"), pos);
        QCOMPARE(connector->queryCommand(1, "#SCNITG", v), 6);
        QCOMPARE(goodReads(connector.get()), before + 1);
    }

    void selfLearningMakesTheReaderRead()
    {
        KxScriptedUiBackend ui;
        VReaderProcess vr;
        QVERIFY2(vr.start({"--count", "1", "--sensor", "640x480"}), vr.errorOutput().constData());
        QString why;
        auto connector = VReaderSession::login(vr, &why);
        QVERIFY2(connector, qPrintable(why));
        QByteArray v;
        // Fixed exposure, the shortest, no gain: the labels are too dark to read.
        for (const QByteArrayList &s : {QByteArrayList{"#EXPMOD", "1"}, {"#EXPFET", "10"}, {"#EXPFGN", "0"}})
            QCOMPARE(connector->queryCommand(1, QString::fromLatin1(s[0]), v, s[1]), 6);
        const int before = goodReads(connector.get());
        QCOMPARE(connector->queryCommand(1, "#SCNITG", v), 6);
        QCOMPARE(goodReads(connector.get()), before);

        QuickSettingsWidget page;
        QVERIFY(page.openDevice(QPointer<KxDeviceConnector>(connector.get()), QVariant()));
        QToolButton *learn = page.tool(QuickTools::selfLearning());
        QVERIFY(learn);
        learn->click();
        QVERIFY(page.isBusy());
        QCOMPARE(learn->text(), kxTr("#IDS_StopLearning"));
        QTRY_VERIFY_WITH_TIMEOUT(!page.isBusy(), 120000);
        QCOMPARE(learn->text(), kxTr("#IDS_StartLearning"));
        const auto toasts = ui.shown(KxScriptedUiBackend::Kind::Toast);
        QCOMPARE(toasts.size(), 1);
        const QByteArray exposure = VReaderSession::readerValue(connector.get(), "EXPFET");
        QVERIFY(exposure != "10");
        // The summary names what changed, as the reader has it.
        QVERIFY2(toasts[0].text.contains(QStringLiteral("exposure %1 µs").arg(QString::fromUtf8(exposure))),
                 qPrintable(toasts[0].text));
        QCOMPARE(connector->command()->rawValue("EXPFET"), exposure);
        QCOMPARE(connector->queryCommand(1, "#SCNITG", v), 6);
        QCOMPARE(goodReads(connector.get()), before + 1);
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
        KxScriptedUiBackend ui;
        VReaderProcess vr;
        // A hand-held reader: it triggers and has no images. Every 4th read finds nothing.
        QVERIFY2(vr.start({"--model", "KXS-HS120", "--count", "1", "--no-read-every", "4"}), vr.errorOutput().constData());
        QString why;
        auto connector = VReaderSession::login(vr, &why);
        QVERIFY2(connector, qPrintable(why));
        KxSettings::instance()->setValue("TestTrigger", "NumberOfTimes", times);
        QuickSettingsWidget page;
        QVERIFY(page.openDevice(QPointer<KxDeviceConnector>(connector.get()), QVariant()));
        QCOMPARE(page.toolIds(), (QStringList{"Id_Tool_Play", "Id_Tool_Trigger"}));
        QToolButton *trigger = page.tool(QuickTools::trigger());
        trigger->click();
        QVERIFY(page.isBusy());
        if (times == 0) {
            // Still running well past what a bounded count would take, until stopped.
            QTest::qWait(3000);
            QVERIFY(page.isBusy());
            trigger->click();  // stop
        }
        QTRY_VERIFY_WITH_TIMEOUT(!page.isBusy(), 120000);
        QVERIFY(!trigger->isChecked());
        const auto toasts = ui.shown(KxScriptedUiBackend::Kind::Toast);
        QCOMPARE(toasts.size(), 1);
        if (times == 20) {
            QVERIFY2(toasts[0].text.startsWith(kxTr("#IDS_TriggerTest_Summary").arg(20).arg(15).arg(5).arg("75.0")),
                     qPrintable(toasts[0].text));
        } else {
            QVERIFY2(toasts[0].text.contains(QStringLiteral("read rate")), qPrintable(toasts[0].text));
            QVERIFY(!toasts[0].text.startsWith(kxTr("#IDS_TriggerTest_Summary").arg(0)));
        }
        // The summary stays in the text log.
        page.resultOutput()->textEdit()->flush();
        QVERIFY(page.resultOutput()->textEdit()->toPlainText().contains(QStringLiteral("Trigger test:")));
    }

    void leavingStopsTheMonitor()
    {
        KxScriptedUiBackend ui;
        VReaderProcess vr;
        QVERIFY2(vr.start({"--count", "1", "--sensor", "640x480"}), vr.errorOutput().constData());
        QString why;
        auto connector = VReaderSession::login(vr, &why);
        QVERIFY2(connector, qPrintable(why));
        QuickSettingsWidget page;
        QVERIFY(page.openDevice(QPointer<KxDeviceConnector>(connector.get()), QVariant()));
        page.show();
        QToolButton *monitor = page.tool(QuickTools::monitor());
        QVERIFY(monitor);
        monitor->click();
        QVERIFY(page.isBusy());
        QCOMPARE(monitor->text(), kxTr("#IDS_StopMonitor"));
        QTRY_COMPARE_WITH_TIMEOUT(VReaderSession::readerValue(connector.get(), "SCNMTR"), QByteArray("1"), 30000);
        // Another tool stays off while one runs.
        page.tool(QuickTools::autoFocus())->click();
        QVERIFY(!page.tool(QuickTools::autoFocus())->isChecked());
        // The edit frame asks the page to stop before it goes.
        QVERIFY(page.closing(QVariant()));
        QVERIFY(!page.isBusy());
        QVERIFY(!monitor->isChecked());
        QCOMPARE(monitor->text(), kxTr("#IDS_StartMonitor"));
        QTRY_COMPARE_WITH_TIMEOUT(VReaderSession::readerValue(connector.get(), "SCNMTR"), QByteArray("0"), 30000);
    }
};

QTEST_MAIN(TestQuickTools)
#include "tst_quicktools.moc"
