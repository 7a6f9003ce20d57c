// The setting-code windows: generating with the dialog's options, PDF and Word saved through the
// file dialog (and a failed save said so), the print preview's pages, the interface code, and
// the local settings dialog that edits what image saving and pruning read.
// BREVAN_SHOTS=<dir> also saves pictures (BREVAN_LANG=zh_cn for Chinese).
#include "BarcodeProgramming.h"
#include "KxConfig.h"
#include "KxDialogRunner.h"
#include "KxI18nUtil.h"
#include "KxScriptedUiBackend.h"
#include "KxSettings.h"
#include "LocalSettingDlg.h"
#include "MakeBarcodeWidget.h"
#include "PrintWidget.h"
#include "SetCodeDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

class TestSettingCodeDialog : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_data;

    template<typename T>
    static T *child(QWidget *parent, const char *name)
    {
        T *w = parent->findChild<T *>(QString::fromLatin1(name));
        if (!w)
            qWarning() << "no child" << name;
        return w;
    }
    static QString lang() { return qEnvironmentVariable("BREVAN_LANG", QStringLiteral("en")); }
    static void shot(QWidget *w, const QString &name)
    {
        const QString dir = qEnvironmentVariable("BREVAN_SHOTS");
        if (dir.isEmpty())
            return;
        w->show();
        QTest::qWait(300);
        w->grab().save(QStringLiteral("%1/codes-%2-%3.png").arg(dir, name, lang()));
    }
    static QStringList labels(const MakeBarcodeWidget *canvas)
    {
        QStringList out;
        for (const SettingCodeItem &item : canvas->sheet().items())
            out << item.label;
        return out;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_data.isValid());
        KxConfig::instance()->setDataDir(m_data.path());
        KxI18nUtil::instance()->loadMain(QStringLiteral(BREVAN_SOURCE_DIR "/models/resources"), lang());
    }

    void generateFollowsTheOptions_data()
    {
        QTest::addColumn<int>("typeIndex");
        QTest::addColumn<bool>("digits");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("code 128 with digit codes") << 0 << true
            << QStringList{"@SETUPE1", "@DFMCAL", "@DFMSET", "@DIGITA", "@DIGSAV", "@DFMSET", "@DIGITB",
                           "@DIGSAV", "@FOCPOS", "@DIGIT1,IT2", "@DIGIT3,IT4", "@DIGIT5", "@DIGSAV", "@SETUPE0"};
        QTest::newRow("qr merges") << 2 << false
            << QStringList{"@SETUPE1", "@BATCHS", "@DFMCAL;DFMSETA;DFMSETB;FOCPOS12345;", "@SETUPE0"};
        QTest::newRow("programming data matrix has no setup codes") << 4 << false
            << QStringList{"@DFMCAL;DFMSETA;DFMSETB;FOCPOS12345;"};
    }
    void generateFollowsTheOptions()
    {
        QFETCH(int, typeIndex);
        QFETCH(bool, digits);
        QFETCH(QStringList, expected);
        KxScriptedUiBackend ui;
        BarcodeProgramming dlg;
        dlg.addCommand(QStringLiteral("DFMSET"), QStringLiteral("A|B"));
        dlg.addCommand(QStringLiteral("FOCPOS"), QStringLiteral("12345"));
        child<QComboBox>(&dlg, "encodeType")->setCurrentIndex(typeIndex);
        child<QCheckBox>(&dlg, "digitEnable")->setChecked(digits);
        QVERIFY(child<QSpinBox>(&dlg, "digitMax")->isEnabled() == digits);
        child<QPushButton>(&dlg, "btnGenerate")->click();
        QCOMPARE(labels(dlg.canvas()), expected);
        QVERIFY(dlg.canvas()->minimumHeight() >= 400);
        QVERIFY(ui.isClean());
        if (typeIndex == 0)
            shot(&dlg, "dialog");
    }

    void failedCodeIsReported()
    {
        KxScriptedUiBackend ui;
        ui.answerMessage(1);
        BarcodeProgramming dlg;
        // Too long for a Code 128 of its own with digit codes off.
        dlg.addCommand(QStringLiteral("PRESET"), QString(400, QLatin1Char('x')));
        QVERIFY(!dlg.generate());
        QCOMPARE(ui.messageTexts().size(), 1);
        QVERIFY(ui.messageTexts().first().contains(QLatin1String("PRESET")));
        QCOMPARE(labels(dlg.canvas()), QStringList{"@SETUPE1"});
    }

    void savesPdfAndWord_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("suffix");
        QTest::newRow("pdf") << "btnSavePdf" << "pdf";
        QTest::newRow("word") << "btnSaveWord" << "docx";
    }
    void savesPdfAndWord()
    {
        QFETCH(QString, button);
        QFETCH(QString, suffix);
        KxScriptedUiBackend ui;
        BarcodeProgramming dlg;
        dlg.addCommand(QStringLiteral("TRGDEB"), QStringLiteral("42"));
        // The suffix is added when the name lacks it; the folder is remembered.
        const QString base = m_data.path() + QStringLiteral("/out/codes");
        QVERIFY(QDir().mkpath(m_data.path() + QStringLiteral("/out")));
        ui.answerFile(base);
        child<QPushButton>(&dlg, button.toLatin1().constData())->click();
        QVERIFY(QFileInfo(base + QLatin1Char('.') + suffix).size() > 1000);
        QCOMPARE(ui.toastTexts(), QStringList{"#IDS_Save_Success"});
        QCOMPARE(KxSettings::instance()->value("default", "savefile").toString(), m_data.path() + "/out");
        // A file that cannot be written is reported, not claimed.
        ui.answerFile(QStringLiteral("/nonexistent-dir/sub/codes.") + suffix);
        child<QPushButton>(&dlg, button.toLatin1().constData())->click();
        QCOMPARE(ui.toastTexts().last(), QStringLiteral("#IDS_Save_Failed"));
        // Cancelled: nothing written, nothing said.
        ui.cancelFile();
        child<QPushButton>(&dlg, button.toLatin1().constData())->click();
        QCOMPARE(ui.toastTexts().size(), 2);
        QVERIFY(ui.isClean());
    }

    void printPreviewShowsThePages()
    {
        KxScriptedUiBackend ui;
        BarcodeProgramming dlg;
        for (int i = 0; i < 24; ++i)
            dlg.addCommand(QStringLiteral("TRGDEB"), QString::number(i));
        int pages = 0;
        QStringList buttons;
        const auto previous = KxDialogRunner::install([&](QDialog *d) {
            auto *preview = qobject_cast<PrintWidget *>(d);
            if (!preview)
                return int(QDialog::Rejected);
            shot(preview, "preview");
            pages = preview->pageCount();
            for (QPushButton *b : preview->findChildren<QPushButton *>())
                buttons << b->objectName();
            return int(QDialog::Rejected);
        });
        child<QPushButton>(&dlg, "btnPrint")->click();
        KxDialogRunner::install(previous);
        // Twenty-six Code 128 codes with the header do not fit one A4 page.
        QVERIFY2(pages >= 2, qPrintable(QString::number(pages)));
        for (const char *b : {"btnPrint", "btnZoomIn", "btnZoomOut", "btnRestore", "btnClose"})
            QVERIFY2(buttons.contains(QLatin1String(b)), b);
    }

    void interfaceCode_data()
    {
        QTest::addColumn<bool>("setupN");
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("E pair") << false << QStringList{"@SETUPE1", "@INTERF4;"};
        QTest::newRow("N pair") << true << QStringList{"@SETUPN1", "@INTERF4;"};
    }
    void interfaceCode()
    {
        QFETCH(bool, setupN);
        QFETCH(QStringList, texts);
        KxScriptedUiBackend ui;
        SetCodeDialog dlg;
        QComboBox *list = dlg.interfaces();
        QCOMPARE(list->count(), 5);
        list->setCurrentIndex(list->findData(QStringLiteral("4")));
        child<QCheckBox>(&dlg, "setupNCheck")->setChecked(setupN);
        child<QPushButton>(&dlg, "btnGenerate")->click();
        const QList<SettingCodeItem> &items = dlg.canvas()->sheet().items();
        QCOMPARE(items.size(), 2);
        // The code reads as its command; the label is the interface's name.
        QCOMPARE(SettingCodeEncoder::decode(items[0].image), QStringList{texts[0]});
        QCOMPARE(SettingCodeEncoder::decode(items[1].image), QStringList{texts[1]});
        QCOMPARE(items[1].label, list->currentText());
        if (!setupN)
            shot(&dlg, "interface");
    }

    void localSettingsRoundTrip()
    {
        KxScriptedUiBackend ui;
        KxSettings *s = KxSettings::instance();
        s->setValue("default", "imageSaveDate", "6");
        s->setValue("default", "imageQuality", "4");
        LocalSettingDlg dlg;
        QCOMPARE(child<QComboBox>(&dlg, "imageSaveDate")->currentData().toInt(), 6);
        QCOMPARE(child<QComboBox>(&dlg, "imageQuality")->currentData().toInt(), 4);
        shot(&dlg, "localsettings");
        const QString folder = m_data.path() + QStringLiteral("/pictures");
        child<QLineEdit>(&dlg, "imagePath")->setText(folder);
        child<QComboBox>(&dlg, "imageRemoveStrategy")->setCurrentIndex(1);
        QVERIFY(!child<QComboBox>(&dlg, "imageSaveDate")->isEnabled());
        child<QSpinBox>(&dlg, "imageSaveMaxCount")->setValue(25);
        child<QComboBox>(&dlg, "miniFreeReservedSpace")->setCurrentIndex(2);
        child<QComboBox>(&dlg, "imageStrategy")->setCurrentIndex(0);
        child<QComboBox>(&dlg, "imageQuality")->setCurrentIndex(1);
        child<QPushButton>(&dlg, "IDD_OK")->click();
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(s->value("default", "imagePath").toString(), folder);
        QVERIFY(QFileInfo(folder).isDir());
        QCOMPARE(s->value("default", "imageRemoveStrategy").toString(), QStringLiteral("1"));
        QCOMPARE(s->value("default", "imageSaveMaxCount").toString(), QStringLiteral("25"));
        // Stored as choice indexes, read back as numbers by the disk monitor.
        QCOMPARE(s->value("default", "miniFreeReservedSpace").toString(), QStringLiteral("2"));
        QCOMPARE(s->value("default", "imageStrategy").toString(), QStringLiteral("0"));
        QCOMPARE(s->value("default", "imageQuality").toString(), QStringLiteral("1"));
    }

    void localSettingsRefuseAnUnwritableFolder()
    {
        KxScriptedUiBackend ui;
        ui.answerMessage(1);
        KxSettings *s = KxSettings::instance();
        s->setValue("default", "imagePath", m_data.path());
        s->setValue("default", "imageSaveMaxCount", "10");
        LocalSettingDlg dlg;
        child<QLineEdit>(&dlg, "imagePath")->setText(QStringLiteral("/proc/brevan-no-such-folder"));
        child<QSpinBox>(&dlg, "imageSaveMaxCount")->setValue(99);
        child<QPushButton>(&dlg, "IDD_OK")->click();
        QVERIFY(dlg.result() != int(QDialog::Accepted));
        QCOMPARE(ui.messageTexts(), QStringList{"#IDS_DRI_NO_WRITE_PERMISSION"});
        QCOMPARE(s->value("default", "imagePath").toString(), m_data.path());
        QCOMPARE(s->value("default", "imageSaveMaxCount").toString(), QStringLiteral("10"));
    }
};

QTEST_MAIN(TestSettingCodeDialog)
#include "tst_settingcodedialog.moc"
