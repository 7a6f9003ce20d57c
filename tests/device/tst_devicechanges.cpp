// Changes whose values cannot travel in a text frame, taking single changes back, and the kept
// auto-sleep value, against the virtual reader's engine answering in-process.
#include "InProcessReader.h"
#include "KxCmdFraming.h"
#include "KxDeviceCommand.h"
#include "KxDeviceConnector.h"

#include <QSignalSpy>
#include <QtTest>

namespace {
struct Sent
{
    bool binary = false;
    char prefix = 0;
    QStringList codes;
    QByteArray firstValue;
};

// What one recorded request carried.
Sent decodeRequest(const QByteArray &frame)
{
    Sent s;
    KxSettingsRequest r;
    quint8 kind = 0;
    QByteArray payload;
    if (KxFrame::decode(frame, &kind, &payload) && kind == KxFrame::BinaryRequest) {
        s.binary = KxParseBinarySettingsRequest(payload, &r);
    } else if (!KxParseSettingsRequest(frame, &r)) {
        return s;
    }
    s.prefix = r.prefix;
    for (const KxRequestItem &i : r.items)
        s.codes << i.code;
    if (!r.items.isEmpty())
        s.firstValue = r.items.first().value;
    return s;
}
}  // namespace

class TestDeviceChanges : public QObject
{
    Q_OBJECT

    struct Session
    {
        QSharedPointer<InProcessReaderState> state;
        KxDeviceConnector *connector = nullptr;
        KxDeviceCommand *cmd = nullptr;
    };
    int m_next = 0;
    QList<KxDeviceConnector *> m_connectors;

    Session open(const QString &model = QStringLiteral("KXS-FM800"))
    {
        Session s;
        const QString id = QStringLiteral("CHANGES-%1").arg(++m_next);
        s.state = installInProcessReader(id, model);
        s.connector = new KxDeviceConnector(id);
        m_connectors << s.connector;
        s.connector->setDeviceInfo({{"offLine", "1"}, {"offLine_xml", model + ".xml"},
                                    {"Product Name", model}});
        if (!s.connector->connectDevice(true, false) || s.connector->login() != 0)
            return Session();
        s.cmd = s.connector->command();
        return s;
    }

    static QByteArray readerValue(const Session &s, const QString &code)
    {
        QByteArray v;
        s.connector->queryCommand(1, QLatin1Char('@') + code + QLatin1Char('*'), v);
        return v;
    }

    static ChangedCmdInfo change(const QString &code, const QByteArray &value)
    {
        ChangedCmdInfo c;
        c.code = code;
        c.name = code;
        c.value = value;
        c.displayValue = value;
        return c;
    }

    // Sends one change as the settings pages do; the answer of done, waited for.
    bool sendChange(const Session &s, const ChangedCmdInfo &c, QStringList *failed = nullptr)
    {
        int calls = 0;
        bool ok = false;
        s.cmd->sendCmdAsync(c, this, true, [&](bool r, const QStringList &f) {
            ++calls;
            ok = r;
            if (failed)
                *failed = f;
        });
        if (!QTest::qWaitFor([&] { return calls > 0; }, 10000))
            return false;
        QTest::qWait(30);  // a second answer for the same change would be a fault
        return calls == 1 && ok;
    }

    static QStringList changedCodes(KxDeviceCommand *cmd)
    {
        QStringList out;
        for (const ChangedCmdInfo &c : cmd->changedCmds())
            out << c.code;
        return out;
    }

private slots:
    void cleanup()
    {
        qDeleteAll(m_connectors);
        m_connectors.clear();
    }

    void separatorValueSentAlone_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QByteArray>("value");
        QTest::newRow("point") << "CADPOS" << QByteArray("50,50");
        QTest::newRow("size") << "CADSIZ" << QByteArray("640,480");
        QTest::newRow("line") << "CADLIN" << QByteArray("0,500|1919,500");
        QTest::newRow("semicolon in text") << "PRESET" << QByteArray("a;b");
    }
    void separatorValueSentAlone()
    {
        QFETCH(QString, code);
        QFETCH(QByteArray, value);
        Session s = open();
        QVERIFY(s.cmd);
        QVERIFY(readerValue(s, code) != value);
        s.state->clear();
        QVERIFY(sendChange(s, change(code, value)));
        QCOMPARE(s.state->frames.size(), 1);
        const Sent sent = decodeRequest(s.state->frames.first());
        QVERIFY(sent.binary);
        QCOMPARE(sent.prefix, '#');
        QCOMPARE(sent.codes, QStringList{code});
        QCOMPARE(sent.firstValue, value);
        QCOMPARE(readerValue(s, code), value);
        QCOMPARE(s.cmd->value(code), value);
        QCOMPARE(changedCodes(s.cmd), QStringList{code});
    }

    void dataFormatWithSeparatorWaitsForBothFrames()
    {
        Session s = open();
        QVERIFY(s.cmd);
        s.state->clear();
        const QByteArray value("0099,1");
        QVERIFY(sendChange(s, change("DFMADD", value)));
        QCOMPARE(s.state->frames.size(), 2);
        QCOMPARE(decodeRequest(s.state->frames[0]).codes, QStringList{"DFMCAL"});
        QVERIFY(decodeRequest(s.state->frames[1]).binary);
        QCOMPARE(s.cmd->value("DFMADD"), value);

        // The second frame goes unanswered: the change fails once and is not recorded.
        s.cmd->clearChangedCmds();
        s.state->dropAnswers = QStringList{"DFMADD"};
        QStringList failed;
        QVERIFY(!sendChange(s, change("DFMADD", "0100,2"), &failed));
        QVERIFY(failed.contains("DFMADD"));
        QVERIFY(s.cmd->changedCmds().isEmpty());
    }

    void saveKeepsBatchAndOrder()
    {
        Session s = open();
        QVERIFY(s.cmd);
        const QByteArray sizeBefore = readerValue(s, "CADSIZ");
        const QVector<ChangedCmdInfo> list = {change("DEVNAM", "ROOM1"), change("NGRSET", "4E4F4E45"),
                                              change("CADPOS", "10,20"),
                                              change("CADSIZ", "8,8"),  // below the minimum
                                              change("TRGCMD", "GO")};
        s.state->clear();
        QSignalSpy announced(s.cmd, &KxDeviceCommand::cmdValueChanged);
        QStringList failed;
        QVERIFY(!s.cmd->saveCmds(list, false, failed));
        QCOMPARE(failed, QStringList{"CADSIZ"});
        QCOMPARE(s.state->frames.size(), 4);
        const Sent first = decodeRequest(s.state->frames[0]);
        QVERIFY(!first.binary);
        QCOMPARE(first.codes, (QStringList{"DEVNAM", "NGRSET"}));
        QCOMPARE(decodeRequest(s.state->frames[1]).codes, QStringList{"CADPOS"});
        QCOMPARE(decodeRequest(s.state->frames[2]).codes, QStringList{"CADSIZ"});
        QCOMPARE(decodeRequest(s.state->frames[3]).codes, QStringList{"TRGCMD"});
        QCOMPARE(readerValue(s, "CADPOS"), QByteArray("10,20"));
        QCOMPARE(readerValue(s, "TRGCMD"), QByteArray("GO"));
        QCOMPARE(readerValue(s, "CADSIZ"), sizeBefore);
        QCOMPARE(s.cmd->value("CADSIZ"), sizeBefore);
        QTRY_COMPARE(announced.size(), 1);
        using Values = QMap<QString, QByteArray>;
        QCOMPARE(announced.first().at(0).value<Values>().keys(),
                 (QList<QString>{"CADPOS", "DEVNAM", "NGRSET", "TRGCMD"}));
    }

    void unansweredItemFails()
    {
        Session s = open();
        QVERIFY(s.cmd);
        const QByteArray before = s.cmd->value("NGRSET");
        s.state->dropAnswers = QStringList{"NGRSET"};
        QStringList failed;
        QVERIFY(!s.cmd->saveCmds({change("DEVNAM", "R2"), change("NGRSET", "4C4F5354")}, false, failed));
        QCOMPARE(failed, QStringList{"NGRSET"});
        QCOMPARE(s.cmd->value("DEVNAM"), QByteArray("R2"));
        QCOMPARE(s.cmd->value("NGRSET"), before);
    }

    // Every item of a change or a save needs an acknowledgement holding the value sent.
    void acknowledgementsCheckedItemByItem_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QString>("dropped");
        QTest::addColumn<QByteArray>("answeredAs");
        QTest::newRow("clear answered, add not") << "DFMADD" << QByteArray("0099") << "DFMADD"
                                                 << QByteArray();
        QTest::newRow("other value in force") << "DEVNAM" << QByteArray("R9") << QString()
                                              << QByteArray("R8");
        QTest::newRow("binary item unanswered") << "CADPOS" << QByteArray("50,50") << "CADPOS"
                                                << QByteArray();
    }
    void acknowledgementsCheckedItemByItem()
    {
        QFETCH(QString, code);
        QFETCH(QByteArray, value);
        QFETCH(QString, dropped);
        QFETCH(QByteArray, answeredAs);
        Session s = open();
        QVERIFY(s.cmd);
        if (!dropped.isEmpty())
            s.state->dropAnswers = QStringList{dropped};
        if (!answeredAs.isEmpty())
            s.state->answerAs.insert(code, answeredAs);
        QStringList failed;
        QVERIFY(!sendChange(s, change(code, value), &failed));
        QCOMPARE(failed, QStringList{code});
        for (const ChangedCmdInfo &c : s.cmd->changedCmds())
            QVERIFY2(c.value.toByteArray() != value, qPrintable(c.code));
        // The batch path judges the same way.
        QVERIFY(!s.cmd->saveCmds({change(code, value), change("NGRSET", "4B455054")}, true, failed));
        QCOMPARE(failed, QStringList{code});
        QCOMPARE(s.cmd->value("NGRSET"), QByteArray("4B455054"));
    }

    // A data format change clears first; when the reader then refuses the new format, the
    // page must show that the reader now has none, and that this runs unsaved.
    void refusedAddAfterClearShowsWhatReaderHolds()
    {
        Session s = open();
        QVERIFY(s.cmd);
        QVERIFY(sendChange(s, change("DFMADD", "0099")));
        QStringList failed;
        QVERIFY(s.cmd->saveCmds(s.cmd->changedCmds(), true, failed));
        QVERIFY(s.cmd->changedCmds().isEmpty());
        s.state->refuseSets = QStringList{"DFMADD"};
        QVERIFY(!sendChange(s, change("DFMADD", "0102"), &failed));
        QCOMPARE(failed, QStringList{"DFMADD"});
        QCOMPARE(readerValue(s, "DFMADD"), QByteArray());
        QCOMPARE(s.cmd->value("DFMADD"), QByteArray());
        const QVector<ChangedCmdInfo> changed = s.cmd->changedCmds();
        QCOMPARE(changed.size(), 1);
        QCOMPARE(changed.first().code, QStringLiteral("DFMADD"));
        QCOMPARE(changed.first().previous.toByteArray(), QByteArray("0099"));
        // Discarding brings the stored format back.
        s.state->refuseSets.clear();
        QVERIFY(s.cmd->restoreCmds({"DFMADD"}, failed));
        QCOMPARE(readerValue(s, "DFMADD"), QByteArray("0099"));
        QVERIFY(s.cmd->changedCmds().isEmpty());
    }

    // Clearing a text: an empty value in a text item only asks, so it travels as an explicit
    // empty binary value, for a change, a save and an undo back to empty.
    void emptyValueIsSetNotAsked()
    {
        Session s = open();
        QVERIFY(s.cmd);
        QVERIFY(sendChange(s, change("PRESET", "abc")));
        QCOMPARE(readerValue(s, "PRESET"), QByteArray("abc"));
        s.state->clear();
        QVERIFY(sendChange(s, change("PRESET", QByteArray())));
        const QByteArrayList frames = s.state->frames;
        QCOMPARE(frames.size(), 1);
        const Sent sent = decodeRequest(frames.first());
        QVERIFY(sent.binary);
        QCOMPARE(sent.codes, QStringList{"PRESET"});
        QCOMPARE(sent.firstValue, QByteArray());
        QCOMPARE(readerValue(s, "PRESET"), QByteArray());
        QCOMPARE(s.cmd->value("PRESET"), QByteArray());
        // Undo goes back to the stored empty value.
        QStringList failed;
        QVERIFY(s.cmd->restoreCmds({"PRESET"}, failed));
        QVERIFY(failed.isEmpty());
        QCOMPARE(readerValue(s, "PRESET"), QByteArray());
        QVERIFY(sendChange(s, change("PRESET", "xyz")));
        QVERIFY(s.cmd->restoreCmds({"PRESET"}, failed));
        QCOMPARE(readerValue(s, "PRESET"), QByteArray());
        QVERIFY(s.cmd->changedCmds().isEmpty());
        // An action keeps its empty text item: it runs, it does not clear.
        s.state->clear();
        QVERIFY(sendChange(s, change("DFMADD", QByteArray())));
        QCOMPARE(decodeRequest(s.state->frames.value(0)).binary, false);
    }

    void restoreOneChangedCommand()
    {
        Session s = open();
        QVERIFY(s.cmd);
        const QByteArray posBefore = readerValue(s, "CADPOS");
        const QByteArray nameBefore = readerValue(s, "DEVNAM");
        QVERIFY(sendChange(s, change("DEVNAM", "R3")));
        QVERIFY(sendChange(s, change("CADPOS", "30,40")));
        QVERIFY(sendChange(s, change("CADPOS", "31,41")));  // the first previous value counts
        QCOMPARE(changedCodes(s.cmd), (QStringList{"DEVNAM", "CADPOS"}));
        QSignalSpy history(s.cmd, &KxDeviceCommand::signal_ChangedCmdsHistoryChange);
        s.state->clear();

        int calls = 0;
        bool ok = false;
        QStringList failed{"stale"};
        const auto done = [&](bool r, const QStringList &f) { ++calls, ok = r, failed = f; };
        QVERIFY(s.cmd->restoreChangedCmd("CADPOS", this, done));
        QTRY_COMPARE(calls, 1);
        QVERIFY(ok);
        QVERIFY(failed.isEmpty());
        QCOMPARE(s.state->frames.size(), 1);
        const Sent sent = decodeRequest(s.state->frames.first());
        QCOMPARE(sent.prefix, '#');  // the stored value is not stored again
        QCOMPARE(sent.codes, QStringList{"CADPOS"});
        QCOMPARE(sent.firstValue, posBefore);
        QCOMPARE(readerValue(s, "CADPOS"), posBefore);
        QCOMPARE(s.cmd->value("CADPOS"), posBefore);
        QCOMPARE(changedCodes(s.cmd), QStringList{"DEVNAM"});
        QTRY_VERIFY(!history.isEmpty());
        QCOMPARE(history.last().at(0).toBool(), false);

        QVERIFY(!s.cmd->restoreChangedCmd("CADPOS", this, done));  // no longer a change
        QVERIFY(s.cmd->restoreChangedCmd("DEVNAM", this, done));
        QTRY_COMPARE(calls, 2);
        QVERIFY(ok);
        QCOMPARE(readerValue(s, "DEVNAM"), nameBefore);
        QVERIFY(s.cmd->changedCmds().isEmpty());
        QTRY_COMPARE(history.last().at(0).toBool(), true);
    }

    void restoreThatCannotTakeFails()
    {
        // A restore the reader does not confirm keeps the change: a failure to report.
        Session s = open();
        QVERIFY(s.cmd);
        QVERIFY(sendChange(s, change("DEVNAM", "R5")));
        s.state->dropAnswers = QStringList{"DEVNAM"};
        bool finished = false, ok = true;
        QStringList failed;
        QVERIFY(s.cmd->restoreChangedCmd("DEVNAM", this, [&](bool r, const QStringList &f) {
            ok = r, failed = f, finished = true;
        }));
        QTRY_VERIFY(finished);
        QVERIFY(!ok);
        QCOMPARE(failed, QStringList{"DEVNAM"});
        QCOMPARE(changedCodes(s.cmd), QStringList{"DEVNAM"});
        QCOMPARE(s.cmd->value("DEVNAM"), QByteArray("R5"));
    }

    void restoreAnswersNothingOnceContextIsGone()
    {
        Session s = open();
        QVERIFY(s.cmd);
        QVERIFY(sendChange(s, change("DEVNAM", "R4")));
        auto *context = new QObject;
        bool called = false;
        QVERIFY(s.cmd->restoreChangedCmd("DEVNAM", context, [&](bool, const QStringList &) { called = true; }));
        delete context;
        QTRY_VERIFY(s.cmd->changedCmds().isEmpty());  // the restore itself still ran
        QTest::qWait(50);
        QVERIFY(!called);
    }

    void autoSleepValueKept()
    {
        Session s = open(QStringLiteral("KXS-EM30"));
        QVERIFY(s.cmd);
        QVERIFY(!s.cmd->hasSavedAutoSleep());
        QVERIFY(s.cmd->savedAutoSleep().isEmpty());
        QStringList failed;
        QVERIFY(s.cmd->saveCmds({change("ATLSLP", "25")}, false, failed));
        QVERIFY(s.cmd->saveAutoSleep());
        QCOMPARE(s.cmd->savedAutoSleep(), QByteArray("25"));
        // Switched off for editing: the kept value stays what the reader had.
        QVERIFY(s.cmd->saveCmds({change("ATLSLP", "0")}, false, failed));
        QVERIFY(s.cmd->saveAutoSleep());
        QCOMPARE(s.cmd->savedAutoSleep(), QByteArray("25"));
        QVERIFY(s.cmd->restoreAutoSleep());
        QCOMPARE(readerValue(s, "ATLSLP"), QByteArray("25"));
        QVERIFY(!s.cmd->hasSavedAutoSleep());
        QVERIFY(s.cmd->savedAutoSleep().isEmpty());
    }
};

QTEST_MAIN(TestDeviceChanges)
#include "tst_devicechanges.moc"
