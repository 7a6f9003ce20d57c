// Configuration sets against the running virtual reader: changes of several sets kept until the
// save and over a restart, discarded together, a refused change shown as the reader holds it;
// the configuration-library page (its cells, dialogs, popups and copying) and the edit frame's
// button rules.
#include "BCodeEditFrame.h"
#include "ConfigLib.h"
#include "ConfigLibDialogs.h"
#include "ConfigLibPropertyWidget.h"
#include "ConfigLibSettingsWidget.h"
#include "KxConfig.h"
#include "KxControlBase.h"
#include "KxI18nUtil.h"
#include "KxLoginedDevicesManage.h"
#include "KxScriptedUiBackend.h"
#include "KxStandardControls.h"
#include "QuickSettingsWidget.h"
#include "VReaderSession.h"

#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

using namespace VReaderSession;

namespace {
const QStringList kArgs = {"--count", "1", "--sensor", "640x480"};

QMap<int, ConfigLibRecord> readerSets(KxDeviceConnector *c)
{
    QMap<int, ConfigLibRecord> out;
    for (const ConfigLibRecord &r : ConfigLibRecord::splitList(readerValue(c, "MPCADD")))
        out.insert(r.id, r);
    return out;
}

// Runs a save or discard of the changed commands and answers whether it went through.
template <typename Start>
bool finish(Start start)
{
    bool done = false, ok = false;
    QObject ctx;
    start(&ctx, [&](bool o, const QStringList &) {
        ok = o;
        done = true;
    });
    QElapsedTimer t;
    t.start();
    while (!done && t.elapsed() < 60000)
        QTest::qWait(10);
    return done && ok;
}

// The reader logged in and registered, with its edit frame open on the configuration library.
struct PageSession
{
    VReaderProcess vr;
    KxScriptedUiBackend ui;
    KxDeviceConnector *c = nullptr;
    std::unique_ptr<BCodeEditFrame> frame;

    ~PageSession()
    {
        frame.reset();
        delete c;
    }
    QString open(const QStringList &args)
    {
        if (!vr.start(args))
            return QString::fromUtf8(vr.errorOutput());
        QString why;
        auto login = VReaderSession::login(vr, &why);
        if (!login)
            return why;
        c = login.release();
        KxLoginedDevicesManage::instance()->registerDevice(c->deviceId(), c);
        frame = std::make_unique<BCodeEditFrame>();
        frame->resize(1366, 768);
        frame->show();
        if (!frame->openDeviceById(c->deviceId(), QVariant(int(BCodeEditFrame::Page_ConfigLib))))
            return QStringLiteral("frame refused the reader");
        return page() ? QString() : QStringLiteral("no configuration-library page");
    }
    ConfigLibSettingsWidget *page() const { return qobject_cast<ConfigLibSettingsWidget *>(frame->currentPage()); }
    KxDeviceCommand *cmd() const { return c->command(); }
    ConfigLibRecord readerSet(int id) const { return readerSets(c).value(id); }
};
}  // namespace

class TestConfigLibPage : public QObject
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
        QVERIFY(KxI18nUtil::instance()->loadMain(BREVAN_BIN_DIR "/models/resources", "en"));
    }

    // Two sets changed before one save: both are stored and come back after a restart.
    void changesOfTwoSetsSurviveTheSave()
    {
        Started vr;
        QVERIFY2(vr.start(kArgs), qPrintable(vr.why));
        auto &c = vr.connector;
        KxDeviceCommand *cmd = c->command();
        QObject owner;
        const QList<ConfigLib *> sets = ConfigLib::load(KxDeviceCommandPtr(cmd), &owner);
        QCOMPARE(sets.size(), 4);
        sets[0]->setValue(ConfigLib::KeyName, QStringLiteral("Dock A"), true);
        sets[1]->setValue(QStringLiteral("EXPFET"), QStringLiteral("1500"), true);
        sets[1]->setValue(ConfigLib::KeyEnable, 1, true);
        QTRY_COMPARE_WITH_TIMEOUT(cmd->pendingChanges(), 0, 30000);
        // One changed entry for the sets, naming both.
        QList<ChangedCmdInfo> entries;
        for (const ChangedCmdInfo &e : cmd->changedCmds()) {
            if (e.code == "MPCADD")
                entries << e;
        }
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries[0].displayValue.toString(), QStringLiteral("Dock A, Config 2"));
        QVERIFY(finish([cmd](QObject *ctx, const KxDeviceCommand::Done &d) { cmd->saveChangedCmdsAsync(ctx, d); }));
        QVERIFY(cmd->changedCmds().isEmpty());

        c.reset();
        QVERIFY2(vr.process.restart(kArgs), vr.process.errorOutput().constData());
        c = login(vr.process, &vr.why);
        QVERIFY2(c, qPrintable(vr.why));
        const QMap<int, ConfigLibRecord> stored = readerSets(c.get());
        QCOMPARE(stored.value(1).name, QStringLiteral("Dock A"));
        QCOMPARE(stored.value(2).value("EXPFET"), QByteArray("1500"));
        QCOMPARE(stored.value(2).enable, 1);
        QCOMPARE(stored.value(3).name, QStringLiteral("Config 3"));
        // A fresh login shows them as well.
        const QList<ConfigLib *> again = ConfigLib::load(KxDeviceCommandPtr(c->command()), &owner);
        QCOMPARE(again.value(0)->name(), QStringLiteral("Dock A"));
        QVERIFY(ConfigLib::anyEnabled(KxDeviceCommandPtr(c->command())));
    }

    // A refused change shows the reader's set again and keeps earlier ones; discarding puts
    // every changed set back.
    void refusedThenDiscarded()
    {
        Started vr;
        QVERIFY2(vr.start(kArgs), qPrintable(vr.why));
        auto &c = vr.connector;
        KxDeviceCommand *cmd = c->command();
        const QByteArray original = readerValue(c.get(), "MPCADD");
        QObject owner;
        const QList<ConfigLib *> sets = ConfigLib::load(KxDeviceCommandPtr(cmd), &owner);
        QCOMPARE(sets.size(), 4);
        const QString exposure = sets[3]->read("EXPFET").toString();
        sets[0]->setValue(QStringLiteral("EXPFET"), QStringLiteral("800"), true);
        sets[2]->setValue(ConfigLib::KeyName, QStringLiteral("Line 3"), true);
        QSignalSpy applied(sets[3], &ConfigLib::applied);
        QSignalSpy reloaded(sets[3], &ConfigLib::configChanged);
        sets[3]->setValue(QStringLiteral("EXPFET"), QStringLiteral("5"), true);  // below the range
        QTRY_COMPARE_WITH_TIMEOUT(applied.count(), 1, 30000);
        QCOMPARE(applied[0][0].toBool(), false);
        QTRY_COMPARE_WITH_TIMEOUT(sets[3]->read("EXPFET").toString(), exposure, 30000);
        QVERIFY(reloaded.count() >= 2);  // the edit, then the reader's set again
        QCOMPARE(sets[0]->read("EXPFET").toString(), QStringLiteral("800"));
        QCOMPARE(readerSets(c.get()).value(3).name, QStringLiteral("Line 3"));

        QVERIFY(finish([cmd](QObject *ctx, const KxDeviceCommand::Done &d) { cmd->discardChangedCmdsAsync(ctx, d); }));
        QCOMPARE(readerValue(c.get(), "MPCADD"), original);
        QTRY_COMPARE_WITH_TIMEOUT(sets[2]->name(), QStringLiteral("Config 3"), 30000);
        QVERIFY(sets[0]->read("EXPFET").toString() != QStringLiteral("800"));
    }

    void pageAndFrameRules_data()
    {
        QTest::addColumn<int>("count");
        QTest::newRow("four sets") << 4;
        QTest::newRow("one set") << 1;
    }
    void pageAndFrameRules()
    {
        QFETCH(int, count);
        PageSession s;
        const QString failed = s.open(kArgs + QStringList{"--config-sets", QString::number(count)});
        QVERIFY2(failed.isEmpty(), qPrintable(failed));
        ConfigLibSettingsWidget *page = s.page();
        QCOMPARE(page->sets().size(), count);
        QCOMPARE(page->table()->columnCount(), count);
        // One set: nothing to copy between, and the frame offers no library button.
        QCOMPARE(page->copyBar()->isVisibleTo(page), count > 1);
        QCOMPARE(s.frame->configLibButton()->isVisibleTo(s.frame.get()), count >= 2);
        QCOMPARE(page->copyFrom()->itemData(0).toInt(), 255);
        QCOMPARE(page->copyFrom()->itemText(0), kxTr("#IDS_CurrentConfigLib"));
        QCOMPARE(page->copyFrom()->count(), count + 1);
        QCOMPARE(page->copyTo()->count(), count);
        // The set fields first, then the per-set items the reader has, popups gathered.
        QStringList keys;
        for (const ConfigLibRow &r : page->rows())
            keys << r.key;
        QCOMPARE(keys, (QStringList{"_Name", "_Enable", "_1DCode", "_2DCode", "_RetryCount", "_ImageGroupNo",
                                    "_TaskNo", "ILLPOS", "FOCPOS", "EXPFGN", "EXPFET", "IPPGAM"}));
        QCOMPARE(page->rows().last().codes, (QStringList{"IPPGAM", "IPPDEN", "IPPEDC"}));
        QCOMPARE(page->cellText(page->rowOf("_TaskNo"), 0), kxTr("#ID_STRING_Disabled"));
        QCOMPARE(s.frame->configLibButton()->text(), kxTr("#IDS_ConfigLib_Disable"));

        // Enabling through the dialog: the reader's set and the frame's button follow.
        s.ui.answerMessage(1);  // "#IDS_Enable"
        QSignalSpy enabled(page, &ConfigLibSettingsWidget::OnSignalConfigLibEnable);
        page->openCell(page->rowOf("_Enable"), count - 1);
        const int id = page->sets().last()->id();
        QTRY_COMPARE_WITH_TIMEOUT(s.readerSet(id).enable, 1, 30000);
        QVERIFY(enabled.count() >= 1);
        QCOMPARE(s.frame->configLibButton()->text(), kxTr("#IDS_ConfigLib_Enable"));
        QCOMPARE(page->cellText(page->rowOf("_Enable"), count - 1), kxTr("#IDS_Toggle_On"));

        // Stream mode hides the button and goes back to quick settings; the page was left.
        QPointer<ConfigLibSettingsWidget> guard(page);
        emit page->OnSignalConfigLibStreamMode(true);
        QCOMPARE(s.frame->currentPage(), static_cast<QWidget *>(s.frame->quickPage()));
        QVERIFY(!s.frame->configLibButton()->isVisibleTo(s.frame.get()));
        s.frame->OnSlotConfigLibStreamMode(false);
        QCOMPARE(s.frame->configLibButton()->isVisibleTo(s.frame.get()), count >= 2);
        QVERIFY(s.ui.isClean());
    }

    // Number and option cells through their editors, as a user types into them.
    void cellEditorsReachTheReader_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("value");
        QTest::newRow("retry count") << "_RetryCount" << 7;
        QTest::newRow("exposure time") << "EXPFET" << 1500;
        QTest::newRow("gain") << "EXPFGN" << 12;
        QTest::newRow("image group") << "_ImageGroupNo" << 3;
    }
    void cellEditorsReachTheReader()
    {
        QFETCH(QString, key);
        QFETCH(int, value);
        PageSession s;
        const QString failed = s.open(kArgs);
        QVERIFY2(failed.isEmpty(), qPrintable(failed));
        ConfigLibSettingsWidget *page = s.page();
        const int row = page->rowOf(key);
        QVERIFY(row >= 0);
        QTableWidget *table = page->table();
        table->editItem(table->item(row, 1));
        if (auto *spin = table->viewport()->findChild<QSpinBox *>()) {
            spin->setValue(value);
        } else {
            auto *box = table->viewport()->findChild<QComboBox *>();
            QVERIFY(box);
            box->setCurrentIndex(box->findData(value));
        }
        const int id = page->sets().at(1)->id();
        if (key == "_RetryCount") {
            QTRY_COMPARE_WITH_TIMEOUT(s.readerSet(id).retryCount, value, 30000);
        } else if (key == "_ImageGroupNo") {
            QTRY_COMPARE_WITH_TIMEOUT(s.readerSet(id).imageGroupNo, value, 30000);
            QVERIFY(s.readerSet(id).hasImageGroup);
            // The task number can now be chosen.
            QCOMPARE(page->cellText(page->rowOf("_TaskNo"), 1), QStringLiteral("1"));
        } else {
            QTRY_COMPARE_WITH_TIMEOUT(s.readerSet(id).value(key), QByteArray::number(value), 30000);
        }
        // Other sets are untouched.
        QCOMPARE(s.readerSet(page->sets().at(0)->id()).toHex(), page->sets().at(0)->recordAsRead());
    }

    void renameRules()
    {
        PageSession s;
        const QString failed = s.open(kArgs);
        QVERIFY2(failed.isEmpty(), qPrintable(failed));
        ConfigLibSettingsWidget *page = s.page();
        QSignalSpy renamed(page, &ConfigLibSettingsWidget::OnSignalConfigLibNameChange);
        s.ui.answerInput(QString(33, QLatin1Char('x')));
        s.ui.answerInput(QStringLiteral(" :: : "));
        s.ui.answerInput(QStringLiteral("Config 1"));
        s.ui.answerInput(QString(32, QLatin1Char('y')));
        page->openCell(page->rowOf("_Name"), 2);
        QStringList toasts;
        for (const auto &t : s.ui.shown(KxScriptedUiBackend::Kind::Toast))
            toasts << t.text;
        QCOMPARE(toasts, (QStringList{kxTr("#IDS_ConfigNameTooLong"), kxTr("#IDS_ConfigNameIsEmpty"),
                                      kxTr("#IDS_ConfigNameIsExist")}));
        const int id = page->sets().at(2)->id();
        QTRY_COMPARE_WITH_TIMEOUT(s.readerSet(id).name, QString(32, QLatin1Char('y')), 30000);
        QCOMPARE(renamed.count(), 1);
        QCOMPARE(renamed[0][0].toInt(), id);
        QCOMPARE(page->cellText(page->rowOf("_Name"), 2), QString(32, QLatin1Char('y')));
        QVERIFY(s.ui.isClean());
    }

    void popupsAndCopies()
    {
        PageSession s;
        const QString failed = s.open(kArgs);
        QVERIFY2(failed.isEmpty(), qPrintable(failed));
        ConfigLibSettingsWidget *page = s.page();
        const QList<ConfigLib *> sets = page->sets();

        // 1D symbologies off for the first set, in one change.
        auto *codes = qobject_cast<TablePopupDlg *>(page->openCell(page->rowOf("_1DCode"), 0));
        QVERIFY(codes);
        QCOMPARE(codes->height(), 600);
        QVERIFY(codes->list()->count() > 5);
        // Some symbologies start off: select all first, then none.
        if (codes->selectAll()->checkState() != Qt::Checked)
            codes->selectAll()->click();
        QCOMPARE(codes->selectAll()->checkState(), Qt::Checked);
        QCOMPARE(codes->chosen().values().count(QStringLiteral("1")), codes->list()->count());
        codes->selectAll()->click();
        QCOMPARE(codes->selectAll()->checkState(), Qt::Unchecked);
        codes->applyAndClose();
        QTRY_COMPARE_WITH_TIMEOUT(s.readerSet(sets[0]->id()).value("C28ENA"), QByteArray("0"), 30000);
        QCOMPARE(page->cellText(page->rowOf("_1DCode"), 0), kxTr("#IDS_BarCodeIsDisable"));
        QCOMPARE(page->cellText(page->rowOf("_2DCode"), 0).isEmpty(), false);
        auto *twoD = qobject_cast<TablePopupDlg *>(page->openCell(page->rowOf("_2DCode"), 0));
        QVERIFY(twoD);
        QCOMPARE(twoD->height(), 300);
        twoD->reject();

        // The illumination popup shows the set's own item only.
        sets[0]->setValue(QStringLiteral("ILLPOS"), QStringLiteral("1|3"), true);
        auto *led = qobject_cast<LedPopupDlg *>(page->openCell(page->rowOf("ILLPOS"), 0));
        QVERIFY(led);
        KxControlBase *zones = led->properties()->control("ILLPOS");
        QVERIFY(zones);
        QCOMPARE(zones->value().toString(), QStringLiteral("1|3"));
        QVERIFY(!led->properties()->control("EXPFET"));
        led->accept();
        auto *pre = qobject_cast<PreImagePopupDlg *>(page->openCell(page->rowOf("IPPGAM"), 0));
        QVERIFY(pre);
        QVERIFY(pre->properties()->control("IPPDEN"));
        QVERIFY(!pre->properties()->control("ILLPOS"));
        pre->accept();

        // Copying a set takes its values and retry count, not its name or switch.
        sets[0]->setValue(QStringLiteral("EXPFET"), QStringLiteral("2500"), true);
        sets[0]->setValue(ConfigLib::KeyRetryCount, 4, true);
        page->copyFrom()->setCurrentIndex(page->copyFrom()->findData(sets[0]->id()));
        page->copyTo()->setCurrentIndex(page->copyTo()->findData(sets[2]->id()));
        page->copyButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(s.readerSet(sets[2]->id()).value("EXPFET"), QByteArray("2500"), 30000);
        const ConfigLibRecord copied = s.readerSet(sets[2]->id());
        QCOMPARE(copied.retryCount, 4);
        QCOMPARE(copied.value("C28ENA"), QByteArray("0"));
        QCOMPARE(copied.value("ILLPOS"), QByteArray("1|3"));
        QCOMPARE(copied.name, QStringLiteral("Config 3"));
        QCOMPARE(page->cellText(page->rowOf("EXPFET"), 2), QStringLiteral("2500"));

        // From the current settings: the reader's running values.
        const QByteArray running = readerValue(s.c, "EXPFET");
        page->copyFrom()->setCurrentIndex(0);
        page->copyTo()->setCurrentIndex(page->copyTo()->findData(sets[2]->id()));
        page->copyButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(s.readerSet(sets[2]->id()).value("EXPFET"), running, 30000);

        // A set onto itself is refused with a notice.
        page->copyFrom()->setCurrentIndex(page->copyFrom()->findData(sets[1]->id()));
        page->copyTo()->setCurrentIndex(page->copyTo()->findData(sets[1]->id()));
        page->copyButton()->click();
        QCOMPARE(s.ui.shown(KxScriptedUiBackend::Kind::Toast).last().text, kxTr("#IDS_ConfigCopySame"));
    }
};

QTEST_MAIN(TestConfigLibPage)
#include "tst_configlibpage.moc"
