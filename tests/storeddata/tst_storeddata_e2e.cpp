// A virtual reader on a conveyor reads on its own; while no client holds it, it keeps its
// results. The window fetches every one of them, saves them, and clears them on the reader
// only once the user confirms.
#include "KxConfig.h"
#include "KxI18nUtil.h"
#include "KxScriptedUiBackend.h"
#include "StoredDataDlg.h"
#include "StoredDataSession.h"
#include "VReaderSession.h"

#include <QFile>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

namespace {
// Labels pass one after another, every one of them readable.
const char kScene[] = R"({"sensor":[640,400],"seed":3,"conveyor":{"rate":10,"unreadable":0,)"
                      R"("label":[{"symbology":"Code 128","text":"BOX-{n}","x":320,"y":200,"module":2}]}})";

StoredCount readerCount(KxDeviceConnector *c)
{
    StoredCount n;
    n.count = -1;
    StoredResults::parseCount(VReaderSession::readerValue(c, "WLSCNT"), &n);
    return n;
}

bool setValue(KxDeviceConnector *c, const QString &code, const QByteArray &v)
{
    QByteArray got;
    return c->queryCommand(1, QLatin1Char('#') + code, got, v) == DataResult_Ack && got == v;
}
}  // namespace

class TestStoredDataE2E : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    VReaderProcess vr;

private slots:
    void initTestCase()
    {
        KxConfig::instance()->setDataDir(m_dir.path());
        QVERIFY(KxI18nUtil::instance()->loadMain(BREVAN_BIN_DIR "/models/resources", "en"));
        QFile scene(m_dir.filePath("scene.json"));
        QVERIFY(scene.open(QIODevice::WriteOnly) && scene.write(kScene) > 0);
        scene.close();
        QVERIFY2(vr.start({"--model", "KXS-FM800", "--scene", scene.fileName()}), vr.errorOutput().constData());
    }

    void resultsMadeOfflineAreFetchedCompleteAndClearedOnlyAfterConfirmation()
    {
        QString why;
        std::unique_ptr<KxDeviceConnector> c = VReaderSession::login(vr, &why);
        QVERIFY2(c, qPrintable(why));
        QVERIFY(c->command()->hasCmd("WLSBAT"));
        QCOMPARE(readerCount(c.get()).count, 0);
        // Reading on its own, then left alone: what it reads now has nowhere to go.
        QVERIFY(setValue(c.get(), "SCNITV", "100"));
        QVERIFY(setValue(c.get(), "SCNMOD", "1"));
        c->logout();
        c->disconnectDevice(true);
        c.reset();
        QTest::qWait(3000);  // reads go on meanwhile; two are enough, a loaded machine makes more
        c = VReaderSession::login(vr, &why);
        QVERIFY2(c, qPrintable(why));
        QVERIFY(setValue(c.get(), "SCNMOD", "0"));
        const StoredCount held = readerCount(c.get());
        QVERIFY2(held.count >= 2, qPrintable(QString::number(held.count)));
        QCOMPARE(held.lost, qint64(0));

        KxScriptedUiBackend ui;
        StoredDataDlg dlg(c.get());
        QVERIFY(dlg.session());
        QTRY_VERIFY_WITH_TIMEOUT(!dlg.session()->busy(), 30000);
        const QList<StoredResult> got = dlg.session()->results();
        QCOMPARE(got.size(), held.count);
        QCOMPARE(dlg.table()->rowCount(), held.count);
        // Complete: the reader numbers every result frame, so a gap would show.
        for (int i = 1; i < got.size(); ++i)
            QCOMPARE(got[i].info.seq, got[i - 1].info.seq + 1);
        for (const StoredResult &r : got) {
            QVERIFY(r.info.data.startsWith("BOX-") || r.info.result == 0);
            QVERIFY(r.time.isValid());
        }

        // The user does not confirm: nothing leaves the reader.
        ui.answerMessage(2, QString::number(held.count));
        dlg.findChild<QPushButton *>("btnClearReader")->click();
        QVERIFY(!dlg.session()->busy());
        QCOMPARE(readerCount(c.get()).count, held.count);

        // Saved, then confirmed: cleared.
        const QString csv = m_dir.filePath("stored.csv");
        QVERIFY(dlg.saveTo(csv));
        QFile f(csv);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = f.readAll().split('\n');
        QCOMPARE(lines.size(), held.count + 2);  // head, rows, nothing after the last line end
        QVERIFY(lines[1].contains(got[0].info.data));
        ui.answerMessage(1, QString::number(held.count));
        dlg.findChild<QPushButton *>("btnClearReader")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!dlg.session()->busy(), 30000);
        QCOMPARE(readerCount(c.get()).count, 0);
        QCOMPARE(dlg.table()->rowCount(), 0);
        QVERIFY2(ui.isClean(), qPrintable(ui.errors().join('\n')));

        // A connected client gets the results itself; the reader keeps nothing more.
        QByteArray echo;
        QCOMPARE(c->queryCommand(1, "#SCNITG", echo), int(DataResult_Ack));
        QCOMPARE(readerCount(c.get()).count, 0);
    }

    void closingDuringAFetchNeverWaits()
    {
        QString why;
        std::unique_ptr<KxDeviceConnector> c = VReaderSession::login(vr, &why);
        QVERIFY2(c, qPrintable(why));
        KxScriptedUiBackend ui;
        auto *dlg = new StoredDataDlg(c.get());
        QPointer<StoredDataSession> session = dlg->session();
        QVERIFY(session && session->busy());
        dlg->findChild<QPushButton *>("btnClose")->click();
        delete dlg;
        QVERIFY(!session);
        // The reader still answers: the job that outlived the window did not block its worker.
        QTRY_COMPARE_WITH_TIMEOUT(readerCount(c.get()).count, 0, 30000);
    }

    void cleanupTestCase() { vr.stop(); }
};

QTEST_MAIN(TestStoredDataE2E)
#include "tst_storeddata_e2e.moc"
