// The window against a virtual reader: proposing sends nothing, only the ticked changes are
// sent, as running changes, and the unticked ones stay as they were.
#include "KxConfig.h"
#include "KxI18nUtil.h"
#include "KxScriptedUiBackend.h"
#include "QuickSelectDlg.h"
#include "VReaderSession.h"

#include <QListWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

class TestQuickSelectDlg : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    VReaderProcess vr;

private slots:
    void initTestCase()
    {
        KxConfig::instance()->setDataDir(m_dir.path());
        QVERIFY(KxI18nUtil::instance()->loadMain(BREVAN_BIN_DIR "/models/resources", "en"));
        QVERIFY2(vr.start({"--model", "KXS-FM800"}), vr.errorOutput().constData());
    }

    void onlyTickedChangesAreSent()
    {
        QString why;
        std::unique_ptr<KxDeviceConnector> c = VReaderSession::login(vr, &why);
        QVERIFY2(c, qPrintable(why));
        KxScriptedUiBackend ui;
        QuickSelectDlg dlg(c.get());
        QListWidget *list = dlg.symbologyList();
        QVERIFY(list->count() > 2);
        for (int i = 0; i < list->count(); ++i)
            list->item(i)->setCheckState(list->item(i)->text() == "QR Code" ? Qt::Checked : Qt::Unchecked);
        dlg.propose();
        const QVector<QuickChange> changes = dlg.proposal();
        QVERIFY(changes.size() >= 3);
        QCOMPARE(dlg.changesTable()->rowCount(), changes.size());
        // Proposing sent nothing.
        for (const QuickChange &ch : changes)
            if (ch.code != "FOCAUT")
                QCOMPARE(VReaderSession::readerValue(c.get(), ch.code), ch.current);
        // Every other change is dropped.
        QStringList kept, dropped;
        for (int r = 0; r < changes.size(); ++r) {
            const bool keep = r % 2 == 0;
            dlg.changesTable()->item(r, 0)->setCheckState(keep ? Qt::Checked : Qt::Unchecked);
            (keep ? kept : dropped) << changes[r].code;
        }
        QVERIFY(dlg.applyKept());
        QTRY_VERIFY_WITH_TIMEOUT(!dlg.busy(), 30000);
        QVERIFY2(dlg.statusText().contains(QString::number(kept.size())), qPrintable(dlg.statusText()));
        for (const QuickChange &ch : changes) {
            if (ch.code == "FOCAUT")
                continue;
            const QByteArray now = VReaderSession::readerValue(c.get(), ch.code);
            QCOMPARE(now, kept.contains(ch.code) ? ch.proposed : ch.current);
        }
        // Running changes only: the reader's stored settings are untouched until saved.
        QVERIFY(!VReaderSession::readerValue(c.get(), "DIFQRY").isEmpty());
        QVERIFY2(ui.isClean(), qPrintable(ui.errors().join('\n')));
    }

    void cleanupTestCase() { vr.stop(); }
};

QTEST_MAIN(TestQuickSelectDlg)
#include "tst_quickselect_dlg.moc"
