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
        Started vp;
        QVERIFY2(vp.start({}), qPrintable(vp.why));
        auto &c = vp.connector;
        QCOMPARE(c->state(), int(DeviceState_LoggedIn));
        KxDeviceCommand *cmd = c->command();
        const KxTagList values = cmd->tagList(KxDeviceCommand::Values);
        QVERIFY(values.size() > 50);
        // Every command with a value was read; actions are listed with capabilities only.
        int actions = 0;
        for (const KxTagInfo &t : cmd->tagList(KxDeviceCommand::Capabilities)) {
            if (t.value() == QLatin1String("action"))
                ++actions;
            else
                QVERIFY2(!cmd->rawValue(t.code, KxDeviceCommand::Values).isNull(), qPrintable(t.code));
        }
        QVERIFY(actions > 0);
        QVERIFY(cmd->rawValue("FACDEF", KxDeviceCommand::Values).isNull());
        QCOMPARE(cmd->tagList(KxDeviceCommand::Capabilities).size(), values.size() + actions);
        // Every code with a default has its capabilities.
        const KxTagList defaults = cmd->tagList(KxDeviceCommand::Defaults);
        QVERIFY(defaults.size() > 50);
        for (const KxTagInfo &t : defaults)
            QVERIFY2(!cmd->rawValue(t.code, KxDeviceCommand::Capabilities).isNull(), qPrintable(t.code));
        QCOMPARE(cmd->value("DEVNAM"), QByteArray("KXS-FM800"));
        QCOMPARE(cmd->rawValue("DEVNAM", KxDeviceCommand::Defaults), QByteArray("KXS-FM800"));
        QCOMPARE(cmd->rawValue("DEVNAM", KxDeviceCommand::Capabilities), QByteArray("T0-32"));
        QVERIFY(cmd->hasCmd("BUFQRY"));
        QVERIFY(!cmd->hasCmd("ZZZZZZ"));
        QCOMPARE(cmd->bufferSize(), 4096);
        QCOMPARE(KxDeviceConfigs::instance()->cmdLength("NGRSET"), 64);
        QCOMPARE(KxDeviceConfigs::instance()->cmdLength("OUTFRX"), 128);
        QVERIFY(c->logout());
        QCOMPARE(c->state(), int(DeviceState_LoggedOut));
    }

    void refusedCodeReportedOthersKept()
    {
        Started vp;
        QVERIFY2(vp.start({}), qPrintable(vp.why));
        auto &c = vp.connector;
        KxDeviceCommand *cmd = c->command();
        QVector<ChangedCmdInfo> changes;
        for (const auto &p : {qMakePair(QString("DEVNAM"), QByteArray("ROOM1")),
                              qMakePair(QString("TRGCMD"), QByteArray("A B")),  // space: refused
                              qMakePair(QString("NGRSET"), QByteArray("4D495353"))}) {
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
        QCOMPARE(readerValue(c.get(), "NGRSET"), QByteArray("4D495353"));
        QCOMPARE(readerValue(c.get(), "TRGCMD"), QByteArray("TRIG"));
        QCOMPARE(cmd->value("DEVNAM"), QByteArray("ROOM1"));
        QCOMPARE(cmd->value("TRGCMD"), QByteArray("TRIG"));
        QTRY_COMPARE(announced.size(), 1);
        const auto map = announced.first().at(0).value<QMap<QString, QByteArray>>();
        QCOMPARE(map.keys(), (QList<QString>{"DEVNAM", "NGRSET"}));
    }

    void saveSurvivesRestartDiscardRestores()
    {
        Started vp;
        QVERIFY2(vp.start({}), qPrintable(vp.why));
        auto &c = vp.connector;
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
        QVERIFY(vp.process.restart({}));
        c = login(vp.process);
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
        Started vp;
        QVERIFY2(vp.start({}), qPrintable(vp.why));
        auto &c = vp.connector;
        KxDeviceCommand *cmd = c->command();
        const QMap<QString, QByteArray> stored = {{"CADPOS", "50,50"},
                                                  {"CADLIN", "0,300|1919,300"},
                                                  {"DEVNAM", "PAIRS"}};
        QCOMPARE(sendValues(cmd, stored.toStdMap()), stored.size());
        QVERIFY(saveAll(cmd));
        QVERIFY(cmd->changedCmds().isEmpty());

        c.reset();
        QVERIFY(vp.process.restart({}));
        c = login(vp.process);
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

    // Edits and a save interleaved: the save stores what was edited before it, the edit after
    // it stays a running change, and the value shown is the reader's.
    void editsAroundSaveKeepTheirOrder()
    {
        Started vp;
        QVERIFY2(vp.start({}), qPrintable(vp.why));
        auto &c = vp.connector;
        KxDeviceCommand *cmd = c->command();
        int answers = 0;
        bool saved = false;
        const auto change = [](const QByteArray &v) {
            ChangedCmdInfo ch;
            ch.code = QStringLiteral("DEVNAM");
            ch.value = v;
            return ch;
        };
        cmd->sendCmdAsync(change("FIRST"), this, true, [&](bool, const QStringList &) { ++answers; });
        cmd->saveChangedCmdsAsync(this, [&](bool ok, const QStringList &) {
            saved = ok;
            ++answers;
        });
        cmd->sendCmdAsync(change("SECOND"), this, true, [&](bool, const QStringList &) { ++answers; });
        QTRY_COMPARE_WITH_TIMEOUT(answers, 3, 30000);
        QVERIFY(saved);
        QCOMPARE(readerValue(c.get(), "DEVNAM"), QByteArray("SECOND"));
        QCOMPARE(cmd->value("DEVNAM"), QByteArray("SECOND"));
        const QVector<ChangedCmdInfo> changed = cmd->changedCmds();
        QCOMPARE(changed.size(), 1);
        QCOMPARE(changed.first().value.toByteArray(), QByteArray("SECOND"));
        QCOMPARE(changed.first().previous.toByteArray(), QByteArray("FIRST"));
        c.reset();
        QVERIFY(vp.process.restart({}));
        c = login(vp.process);
        QVERIFY(c);
        QCOMPARE(c->command()->value("DEVNAM"), QByteArray("FIRST"));
    }

    // Values a reader runs without having stored them are unsaved changes at the next login.
    void unsavedValuesShownAtLogin()
    {
        Started vp;
        QVERIFY2(vp.start({}), qPrintable(vp.why));
        auto &c = vp.connector;
        QVERIFY(c->command()->hasCmd("DIFQRY"));
        QVERIFY(c->command()->changedCmds().isEmpty());
        const QList<QPair<QString, QByteArray>> values = {{"DEVNAM", "ROOM7"}, {"NGRSET", "4E4F4E45"}};
        QCOMPARE(sendValues(c->command(), values), 2);
        c.reset();
        c = login(vp.process);
        QVERIFY(c);
        KxDeviceCommand *cmd = c->command();
        QMap<QString, QPair<QByteArray, QByteArray>> seen;
        for (const ChangedCmdInfo &ch : cmd->changedCmds())
            seen.insert(ch.code, {ch.value.toByteArray(), ch.previous.toByteArray()});
        QCOMPARE(seen.keys(), (QList<QString>{"DEVNAM", "NGRSET"}));
        QCOMPARE(seen.value("DEVNAM").first, QByteArray("ROOM7"));
        QCOMPARE(seen.value("DEVNAM").second, QByteArray("KXS-FM800"));
        QCOMPARE(cmd->value("DEVNAM"), QByteArray("ROOM7"));
        QStringList failed;
        QVERIFY(cmd->restoreCmds({"DEVNAM", "NGRSET"}, failed));
        QCOMPARE(readerValue(c.get(), "DEVNAM"), QByteArray("KXS-FM800"));
        QVERIFY(cmd->changedCmds().isEmpty());
    }

    // The login reads on the worker: the call returns at once; cancel closes the link and the
    // login ends as cancelled instead of running to its end.
    void loginAsyncReturnsAtOnceAndCancels()
    {
        VReaderProcess vp;
        QVERIFY(vp.start({"--delay-ms", "400"}));
        const VReaderProcess::Reader r = vp.readers().value(0);
        const auto connect = [&r]() {
            auto c = std::make_unique<KxDeviceConnector>(r.serial);
            c->setDeviceInfo({{"Product Name", r.model}});
            return c->connectWithAddress(QStringLiteral("%1:%2").arg(r.address).arg(r.port))
                ? std::move(c) : nullptr;
        };
        auto c = connect();
        QVERIFY(c);
        int code = 1;
        c->loginAsync("admin", QString(), this, [&](int result) { code = result; });
        QVERIFY(c->isLoggingIn());
        QCOMPARE(code, 1);
        QTRY_COMPARE_WITH_TIMEOUT(code, int(KxDeviceConnector::Login_Ok), 60000);
        QCOMPARE(c->state(), int(DeviceState_LoggedIn));
        QVERIFY(c->command()->hasCmd("DEVNAM"));
        c.reset();

        auto second = connect();
        QVERIFY(second);
        code = 1;
        second->loginAsync("admin", QString(), this, [&](int result) { code = result; });
        second->cancelLogin();
        QTRY_VERIFY_WITH_TIMEOUT(code != 1, 60000);
        QCOMPARE(code, int(KxDeviceConnector::Login_Cancelled));
        QVERIFY(!second->isLoggingIn());
        QVERIFY(!KxDeviceKit::Instance()->isConnected(r.serial));
        QVERIFY(second->state() != DeviceState_LoggedIn);
    }

    void droppedLinkKeepsChanges()
    {
        VReaderProcess vp;
        // Login takes nine requests (the lists, sync, lengths, extend data, missing codes,
        // differences), the eight changes eight more: the link drops at the save.
        QVERIFY(vp.start({"--drop-after", "17"}));
        auto c = login(vp);
        QVERIFY(c);
        KxDeviceCommand *cmd = c->command();
        cmd->setBufferSize(128);
        const QList<QPair<QString, QByteArray>> texts = {
            {"DEVNAM", QByteArray(30, 'n')}, {"NGRSET", QByteArray(30, '6')},
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
