// The tool bar's save and defaults against the virtual reader's engine answering in-process,
// where single answers can be taken away while the reader keeps running.
#include "BCodeToolsWidget.h"
#include "InProcessReader.h"
#include "KxConfig.h"
#include "KxDataStreamValue.h"
#include "KxDeviceCommand.h"
#include "KxDeviceConnector.h"
#include "KxScriptedUiBackend.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

class TestEditSave : public QObject
{
    Q_OBJECT
    QTemporaryDir m_data;
    int m_next = 0;

    std::unique_ptr<KxDeviceConnector> open(QSharedPointer<InProcessReaderState> *state)
    {
        const QString id = QStringLiteral("EDITSAVE-%1").arg(++m_next);
        *state = installInProcessReader(id);
        auto c = std::make_unique<KxDeviceConnector>(id);
        c->setDeviceInfo({{"offLine", "1"}, {"offLine_xml", "KXS-FM800.xml"},
                          {"Product Name", "KXS-FM800"}});
        if (!c->connectDevice(true, false) || c->login() != 0)
            return nullptr;
        return c;
    }

    // A value of code other than its current one, from its option list.
    static QByteArray otherValue(KxDeviceCommand *cmd, const QString &code)
    {
        QList<int> options;
        KxParseRangesToInt(cmd->rawValue(code, KxDeviceCommand::Capabilities), options, 64);
        for (int v : options) {
            if (QByteArray::number(v) != cmd->value(code))
                return QByteArray::number(v);
        }
        return QByteArray();
    }

    bool sendRunning(KxDeviceCommand *cmd, const QString &code, const QByteArray &value)
    {
        ChangedCmdInfo c;
        c.code = code;
        c.value = value;
        int answered = 0;
        bool ok = false;
        cmd->sendCmdAsync(c, this, true, [&](bool r, const QStringList &) {
            ok = r;
            ++answered;
        });
        return QTest::qWaitFor([&] { return answered > 0; }, 20000) && ok;
    }

private slots:
    void initTestCase() { KxConfig::instance()->setDataDir(m_data.path()); }

    // A link-changing save whose other item the reader did not take is a failed save, even
    // though the reader still answers for its link.
    void saveWithRefusedItemFailsDespiteRestart()
    {
        QSharedPointer<InProcessReaderState> state;
        auto c = open(&state);
        QVERIFY(c);
        KxDeviceCommand *cmd = c->command();
        const QByteArray interf = otherValue(cmd, "INTERF");
        QVERIFY(!interf.isEmpty());
        QVERIFY(!cmd->rebootWarning("INTERF").isEmpty());
        QVERIFY(sendRunning(cmd, "INTERF", interf));
        QVERIFY(sendRunning(cmd, "NGRSET", "4C4F5354"));
        state->dropAnswers = QStringList{"NGRSET"};

        KxScriptedUiBackend ui;
        ui.answerMessage(1, "#IDS_InterfChange_Reboot");
        ui.answerMessage(1, "#IDS_SaveChangedCmds_Failed_2");
        BCodeToolsWidget tools;
        tools.setDevice(c.get());
        QSignalSpy finished(&tools, &BCodeToolsWidget::toolFinished);
        QSignalSpy mainPage(&tools, &BCodeToolsWidget::mainPageRequested);
        QVERIFY(tools.runTool("Id_Btn_SaveToDevice"));
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 30000);
        QCOMPARE(finished.first().at(1).toBool(), false);
        QCOMPARE(mainPage.size(), 0);
        QVERIFY(ui.toastTexts().isEmpty());
        QStringList unsaved;
        for (const ChangedCmdInfo &ch : cmd->changedCmds())
            unsaved << ch.code;
        QCOMPARE(unsaved, QStringList{"NGRSET"});
        QVERIFY2(ui.isClean(), qPrintable(ui.errors().join('\n')));
    }

    // Custom defaults that were never stored are refused: the user is told and stays; once
    // stored, the same command restarts the reader and leaves the page.
    void refusedDefaultsKeepThePage()
    {
        QSharedPointer<InProcessReaderState> state;
        auto c = open(&state);
        QVERIFY(c);
        KxScriptedUiBackend ui;
        BCodeToolsWidget tools;
        tools.setDevice(c.get());
        QSignalSpy finished(&tools, &BCodeToolsWidget::toolFinished);
        QSignalSpy mainPage(&tools, &BCodeToolsWidget::mainPageRequested);
        ui.answerMessage(1, "#ID_FRDTEXT_DEFAULT_LOAD_CUSTOM_INFO1");
        ui.answerMessage(1, "#IDS_DefaultRestore_Refused");
        tools.OnMenuActionTriggeredDefaultLoadCustom();
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 30000);
        QCOMPARE(finished.last().at(1).toBool(), false);
        QCOMPARE(mainPage.size(), 0);

        tools.OnMenuActionTriggeredDefaultSaveCustom();
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 2, 30000);
        QCOMPARE(finished.last().at(1).toBool(), true);
        ui.answerMessage(1, "#ID_FRDTEXT_DEFAULT_LOAD_CUSTOM_INFO1");
        tools.OnMenuActionTriggeredDefaultLoadCustom();
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 3, 30000);
        QCOMPARE(finished.last().at(1).toBool(), true);
        QCOMPARE(mainPage.size(), 1);
        QVERIFY2(ui.isClean(), qPrintable(ui.errors().join('\n')));
    }
};

QTEST_MAIN(TestEditSave)
#include "tst_editsave.moc"
