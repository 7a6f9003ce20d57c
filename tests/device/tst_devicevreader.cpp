// The connector and command engine against the real virtual reader program on loopback.
#include "KxDeviceCommandThread.h"
#include "KxDeviceConfigs.h"
#include "VReaderSession.h"

#include <QSignalSpy>
#include <QtTest>

using namespace VReaderSession;

class TestDeviceVReader : public QObject
{
    Q_OBJECT

    static bool waitDone(bool &flag, int ms = 30000)
    {
        QElapsedTimer t;
        t.start();
        while (!flag && t.elapsed() < ms)
            QTest::qWait(5);
        return flag;
    }

    // Sends code/value pairs as running changes, in their order; the number acknowledged.
    template <typename Pairs>
    int sendValues(KxDeviceCommand *cmd, const Pairs &values)
    {
        QVector<ChangedCmdInfo> changes;
        for (const auto &v : values) {
            ChangedCmdInfo ch;
            ch.code = v.first;
            ch.value = v.second;
            changes << ch;
        }
        return sendChanges(cmd, changes, this);
    }

    // Saves the running changes and waits for the answer.
    bool saveAll(KxDeviceCommand *cmd)
    {
        bool done = false, saved = false;
        cmd->saveChangedCmdsAsync(this, [&](bool ok, const QStringList &) { saved = ok; done = true; });
        return waitDone(done) && saved;
    }

private slots:
    void loginReadsEverySetting()
    {
        VReaderProcess vp;
        QVERIFY2(vp.start({}), vp.errorOutput().constData());
        QString why;
        auto c = login(vp, &why);
        QVERIFY2(c, qPrintable(why));
        QCOMPARE(c->state(), int(DeviceState_LoggedIn));
        KxDeviceCommand *cmd = c->command();
        const KxTagList values = cmd->tagList(KxDeviceCommand::Values);
        QVERIFY(values.size() > 50);
        QCOMPARE(cmd->tagList(KxDeviceCommand::Capabilities).size(), values.size());
        QCOMPARE(cmd->tagList(KxDeviceCommand::Defaults).size(), values.size());
        QCOMPARE(cmd->value("DEVNAM"), QByteArray("KXS-FM800"));
        QCOMPARE(cmd->rawValue("DEVNAM", KxDeviceCommand::Defaults), QByteArray("KXS-FM800"));
        QCOMPARE(cmd->rawValue("DEVNAM", KxDeviceCommand::Capabilities), QByteArray("T0-32"));
        QVERIFY(cmd->hasCmd("BUFQRY"));
        QVERIFY(!cmd->hasCmd("ZZZZZZ"));
        QCOMPARE(cmd->bufferSize(), 4096);
        QCOMPARE(KxDeviceConfigs::instance()->cmdLength("NGRSET"), 32);
        QCOMPARE(KxDeviceConfigs::instance()->cmdLength("OUTFRX"), 128);
        QVERIFY(c->logout());
        QCOMPARE(c->state(), int(DeviceState_LoggedOut));
    }

    void refusedCodeReportedOthersKept()
    {
        VReaderProcess vp;
        QVERIFY(vp.start({}));
        auto c = login(vp);
        QVERIFY(c);
        KxDeviceCommand *cmd = c->command();
        QVector<ChangedCmdInfo> changes;
        for (const auto &p : {qMakePair(QString("DEVNAM"), QByteArray("ROOM1")),
                              qMakePair(QString("TRGCMD"), QByteArray("A B")),  // space: refused
                              qMakePair(QString("NGRSET"), QByteArray("MISS"))}) {
            ChangedCmdInfo ch;
            ch.code = p.first;
            ch.value = QVariant(p.second);
            changes << ch;
        }
        QSignalSpy announced(cmd, &KxDeviceCommand::cmdValueChanged);
        QStringList failed;
        QVERIFY(!cmd->saveCmds(changes, true, failed));
        QCOMPARE(failed, QStringList{"TRGCMD"});
        QCOMPARE(readerValue(c.get(), "DEVNAM"), QByteArray("ROOM1"));
        QCOMPARE(readerValue(c.get(), "NGRSET"), QByteArray("MISS"));
        QCOMPARE(readerValue(c.get(), "TRGCMD"), QByteArray("TRIG"));
        QCOMPARE(cmd->value("DEVNAM"), QByteArray("ROOM1"));
        QCOMPARE(cmd->value("TRGCMD"), QByteArray("TRIG"));
        QTRY_COMPARE(announced.size(), 1);
        const auto map = announced.first().at(0).value<QMap<QString, QByteArray>>();
        QCOMPARE(map.keys(), (QList<QString>{"DEVNAM", "NGRSET"}));
    }

    void saveSurvivesRestartDiscardRestores()
    {
        VReaderProcess vp;
        QVERIFY(vp.start({}));
        auto c = login(vp);
        QVERIFY(c);
        KxDeviceCommand *cmd = c->command();
        const QVector<ChangedCmdInfo> changes = pickChanges(cmd, 4);
        QCOMPARE(changes.size(), 4);
        QCOMPARE(sendChanges(cmd, changes, this), 4);
        QCOMPARE(cmd->changedCmds().size(), 4);
        for (const ChangedCmdInfo &ch : changes)
            QCOMPARE(cmd->value(ch.code), ch.value.toByteArray());
        QVERIFY(saveAll(cmd));
        QVERIFY(cmd->changedCmds().isEmpty());

        c.reset();
        QVERIFY(vp.restart({}));
        c = login(vp);
        QVERIFY(c);
        cmd = c->command();
        for (const ChangedCmdInfo &ch : changes)
            QCOMPARE(cmd->value(ch.code), ch.value.toByteArray());

        // Running changes, then discarded: the reader goes back to the saved values.
        const QVector<ChangedCmdInfo> more = pickChanges(cmd, 2, 4);
        QCOMPARE(more.size(), 2);
        QMap<QString, QByteArray> before;
        for (const ChangedCmdInfo &ch : more)
            before.insert(ch.code, cmd->value(ch.code));
        QCOMPARE(sendChanges(cmd, more, this), 2);
        for (const ChangedCmdInfo &ch : more)
            QCOMPARE(readerValue(c.get(), ch.code), ch.value.toByteArray());
        bool done = false;
        bool restored = false;
        cmd->discardChangedCmdsAsync(this, [&](bool ok, const QStringList &) { restored = ok; done = true; });
        QVERIFY(waitDone(done));
        QVERIFY(restored);
        QVERIFY(cmd->changedCmds().isEmpty());
        for (auto it = before.constBegin(); it != before.constEnd(); ++it) {
            QCOMPARE(readerValue(c.get(), it.key()), it.value());
            QCOMPARE(cmd->value(it.key()), it.value());
        }
    }

    void separatorValuesStoreAndRestore()
    {
        VReaderProcess vp;
        QVERIFY(vp.start({}));
        auto c = login(vp);
        QVERIFY(c);
        KxDeviceCommand *cmd = c->command();
        const QMap<QString, QByteArray> stored = {{"CADPOS", "50,50"},
                                                  {"CADLIN", "0,300|1919,300"},
                                                  {"DEVNAM", "PAIRS"}};
        QCOMPARE(sendValues(cmd, stored.toStdMap()), stored.size());
        QVERIFY(saveAll(cmd));
        QVERIFY(cmd->changedCmds().isEmpty());

        c.reset();
        QVERIFY(vp.restart({}));
        c = login(vp);
        QVERIFY(c);
        cmd = c->command();
        for (auto it = stored.constBegin(); it != stored.constEnd(); ++it)
            QCOMPARE(cmd->value(it.key()), it.value());

        // Two running changes; one is taken back and the reader runs with its stored value.
        const QList<QPair<QString, QByteArray>> running = {{"CADPOS", "60,70"}, {"CADSIZ", "640,480"}};
        QCOMPARE(sendValues(cmd, running), 2);
        QCOMPARE(readerValue(c.get(), "CADPOS"), QByteArray("60,70"));
        bool done = false;
        bool restored = false;
        QVERIFY(cmd->restoreChangedCmd("CADPOS", this, [&](bool ok, const QStringList &) {
            restored = ok;
            done = true;
        }));
        QVERIFY(waitDone(done));
        QVERIFY(restored);
        QCOMPARE(readerValue(c.get(), "CADPOS"), QByteArray("50,50"));
        QCOMPARE(cmd->value("CADPOS"), QByteArray("50,50"));
        QCOMPARE(cmd->changedCmds().size(), 1);
        QCOMPARE(cmd->changedCmds().first().code, QString("CADSIZ"));
        QCOMPARE(readerValue(c.get(), "CADSIZ"), QByteArray("640,480"));
    }

    void droppedLinkKeepsChanges()
    {
        VReaderProcess vp;
        QVERIFY(vp.start({"--drop-after", "16"}));
        auto c = login(vp);
        QVERIFY(c);
        KxDeviceCommand *cmd = c->command();
        cmd->setBufferSize(128);
        const QList<QPair<QString, QByteArray>> texts = {
            {"DEVNAM", QByteArray(30, 'n')}, {"NGRSET", QByteArray(30, 'g')},
            {"OUTFRX", QByteArray(120, 'x')}, {"DEVDES", QByteArray(250, 'd')},
            {"OCATPL", QByteArray(48, 'a')}, {"OCBTPL", QByteArray(48, 'l')},
            {"TRGCMD", QByteArray(16, 't')}, {"PRESET", QByteArray(10, 'p')}};
        QCOMPARE(sendValues(cmd, texts), texts.size());
        QCOMPARE(cmd->changedCmds().size(), texts.size());
        bool done = false, saved = true;
        QStringList failed;
        cmd->saveChangedCmdsAsync(this, [&](bool ok, const QStringList &f) {
            saved = ok;
            failed = f;
            done = true;
        });
        QVERIFY(waitDone(done));
        QVERIFY(!saved);
        QVERIFY(!failed.isEmpty());
        QStringList kept;
        for (const ChangedCmdInfo &ch : cmd->changedCmds())
            kept << ch.code;
        kept.sort();
        failed.sort();
        QCOMPARE(kept, failed);
    }
};

QTEST_MAIN(TestDeviceVReader)
#include "tst_devicevreader.moc"
