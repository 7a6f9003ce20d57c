// The title bar's update reminder against the real stand-in service: the button appears only
// for an offered update, and the check is refused while the current panel is busy.
#include "DialogTestUtil.h"
#include "KxConfig.h"
#include "KxI18nUtil.h"
#include "KxScriptedUiBackend.h"
#include "KxSettings.h"
#include "KxUiService.h"
#include "KxUpdater.h"
#include "MainFrameTitle.h"
#include "VServiceProcess.h"

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

class TstUpdateTitle : public QObject
{
    Q_OBJECT
    QTemporaryDir m_data;
    VServiceProcess m_service;
    KxScriptedUiBackend m_ui;

private slots:
    void initTestCase()
    {
        KxConfig::instance()->setDataDir(m_data.path());
        KxI18nUtil::instance()->loadMain(QStringLiteral(BREVAN_SOURCE_DIR "/models/resources"), "en");
        KxUi()->installBackend(&m_ui);
        QVERIFY(m_service.start());
        KxSettings::instance()->setValue("update", "url", m_service.updateUrl());
    }
    void cleanupTestCase() { KxUi()->installBackend(nullptr); }

    void reminder_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("shown");
        QTest::newRow("update offered") << "newer" << true;
        QTest::newRow("already latest") << "same" << false;
        QTest::newRow("another application") << "wrong-app" << false;
    }

    void reminder()
    {
        QFETCH(QString, mode);
        QFETCH(bool, shown);
        QVERIFY(m_service.setFaults({{"update_mode", mode}}));
        MainFrameTitle title;
        QCOMPARE(title.updateTimer()->interval(), 60000);
        QVERIFY(title.updateTimer()->isActive());
        QVERIFY(!title.updateButton()->isVisibleTo(&title));
        title.runUpdateCheck();
        QCOMPARE(title.findChildren<KxUpdater *>().size(), 1);
        // The check is over when its updater has gone.
        QTRY_VERIFY_WITH_TIMEOUT(title.findChildren<KxUpdater *>().isEmpty(), 30000);
        QCOMPARE(title.updateButton()->isVisibleTo(&title), shown);
        QCOMPARE(title.updateButton()->property("enable").toBool(), shown);
    }

    void busyRefusesTheCheck()
    {
        MainFrameTitle title;
        title.setBusyProbe([] { return true; });
        QStringList dialogs;
        RunnerScope runner([&](QDialog *d) {
            dialogs << d->objectName();
            return int(QDialog::Rejected);
        });
        m_ui.clear();
        title.showCheckUpdateDlg();
        QCOMPARE(m_ui.toastTexts(), QStringList({"#IDS_RUNNING_Tips"}));
        QVERIFY(dialogs.isEmpty());
        title.setBusyProbe([] { return false; });
        title.showCheckUpdateDlg();
        QCOMPARE(dialogs, QStringList({"CheckUpdateDlg"}));
    }
};

QTEST_MAIN(TstUpdateTitle)
#include "tst_update_title.moc"
