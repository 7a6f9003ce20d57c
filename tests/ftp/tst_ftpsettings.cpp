// The FTP settings dialog: what it loads and stores, the notice about factory credentials, and
// the refusals that keep bad settings out. BREVAN_FTP_SHOTS=<dir> also saves pictures.
#include "FtpSettingDialog.h"
#include "FtpSettingWidget.h"
#include "KxConfig.h"
#include "KxI18nUtil.h"
#include "KxScriptedUiBackend.h"
#include "KxSettings.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

class TestFtpSettings : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_data;

    template<typename T>
    static T *child(QWidget *parent, const char *name)
    {
        return parent->findChild<T *>(QString::fromLatin1(name));
    }

    void storeDefaults()
    {
        KxSettings *s = KxSettings::instance();
        s->setValue("ftp", "port", 34210);
        s->setValue("ftp", "user", FtpSettingWidget::defaultUser());
        s->setValue("ftp", "password", FtpSettingWidget::defaultPassword());
        s->setValue("ftp", "dir", m_data.path() + QStringLiteral("/ftp"));
        s->setValue("ftp", "ftpRemoveStrategy", 0);
        s->setValue("ftp", "ftpSaveDate", 7);
        s->setValue("ftp", "ftpSaveMaxCount", 50000);
    }

    void shot(QWidget *w, const QString &name, const QString &lang)
    {
        const QString dir = qEnvironmentVariable("BREVAN_FTP_SHOTS");
        if (dir.isEmpty())
            return;
        w->show();
        QTest::qWait(200);
        w->grab().save(QStringLiteral("%1/ftp-%2-%3.png").arg(dir, name, lang));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_data.isValid());
        KxConfig::instance()->setDataDir(m_data.path());
        KxI18nUtil::instance()->loadMain(QStringLiteral(BREVAN_SOURCE_DIR "/models/resources"),
                                         qEnvironmentVariable("BREVAN_FTP_LANG", QStringLiteral("en")));
    }

    void defaultsNoticeFollowsTheFields()
    {
        KxScriptedUiBackend ui;
        storeDefaults();
        FtpSettingDialog dlg;
        auto *notice = child<QLabel>(&dlg, "ftpDefaultsNotice");
        QVERIFY(notice);
        QVERIFY(!notice->isHidden());
        QVERIFY(!notice->text().startsWith(QLatin1Char('#')));
        shot(&dlg, "settings-defaults", qEnvironmentVariable("BREVAN_FTP_LANG", QStringLiteral("en")));
        child<QLineEdit>(&dlg, "ftpPassword")->setText(QStringLiteral("another"));
        QVERIFY(notice->isHidden());
        child<QLineEdit>(&dlg, "ftpPassword")->setText(FtpSettingWidget::defaultPassword());
        QVERIFY(!notice->isHidden());
    }

    void savesEveryField()
    {
        KxScriptedUiBackend ui;
        storeDefaults();
        FtpSettingDialog dlg;
        const QString folder = m_data.path() + QStringLiteral("/uploads/new");
        child<QSpinBox>(&dlg, "ftpPort")->setValue(2121);
        child<QLineEdit>(&dlg, "ftpUser")->setText(QStringLiteral("line3"));
        child<QLineEdit>(&dlg, "ftpPassword")->setText(QStringLiteral("pw 3"));
        child<QLineEdit>(&dlg, "ftpFolder")->setText(folder);
        child<QComboBox>(&dlg, "ftpRemoveStrategy")->setCurrentIndex(1);
        child<QComboBox>(&dlg, "ftpSaveDate")->setCurrentIndex(1);
        child<QSpinBox>(&dlg, "ftpSaveMaxCount")->setValue(250);
        QVERIFY(!child<QComboBox>(&dlg, "ftpSaveDate")->isEnabled());
        child<QPushButton>(&dlg, "IDD_OK")->click();
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        KxSettings *s = KxSettings::instance();
        QCOMPARE(s->value("ftp", "port").toInt(), 2121);
        QCOMPARE(s->value("ftp", "user").toString(), QStringLiteral("line3"));
        QCOMPARE(s->value("ftp", "password").toString(), QStringLiteral("pw 3"));
        QCOMPARE(s->value("ftp", "dir").toString(), folder);
        QVERIFY(QFileInfo(folder).isDir());
        QCOMPARE(s->value("ftp", "ftpRemoveStrategy").toInt(), 1);
        QCOMPARE(s->value("ftp", "ftpSaveDate").toInt(), 5); // the 30-day choice
        QCOMPARE(s->value("ftp", "ftpSaveMaxCount").toInt(), 250);
        QVERIFY(ui.messageTexts().isEmpty());
        // And they come back as stored.
        FtpSettingDialog again;
        QCOMPARE(child<QComboBox>(&again, "ftpSaveDate")->currentIndex(), 1);
        QCOMPARE(child<QSpinBox>(&again, "ftpPort")->value(), 2121);
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("message");
        QTest::newRow("read-only folder") << "u" << "/proc/brevan-ftp" << "#IDS_DRI_NO_WRITE_PERMISSION";
        QTest::newRow("relative folder") << "u" << "relative/dir" << "#IDS_DRI_NO_WRITE_PERMISSION";
        QTest::newRow("empty user") << "  " << "" << "#IDS_FTP_EmptyCredentials";
    }
    void refusals()
    {
        QFETCH(QString, user);
        QFETCH(QString, folder);
        QFETCH(QString, message);
        KxScriptedUiBackend ui;
        ui.answerMessage(1);
        storeDefaults();
        FtpSettingDialog dlg;
        child<QLineEdit>(&dlg, "ftpUser")->setText(user);
        child<QSpinBox>(&dlg, "ftpPort")->setValue(2222);
        if (!folder.isEmpty())
            child<QLineEdit>(&dlg, "ftpFolder")->setText(folder);
        child<QPushButton>(&dlg, "IDD_OK")->click();
        QVERIFY(dlg.result() != QDialog::Accepted);
        QCOMPARE(ui.messageTexts(), QStringList{message});
        QCOMPARE(KxSettings::instance()->value("ftp", "port").toInt(), 34210);
    }
};

QTEST_MAIN(TestFtpSettings)
#include "tst_ftpsettings.moc"
