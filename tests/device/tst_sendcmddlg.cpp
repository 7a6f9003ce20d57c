// The command interaction dialog: typed and hex input, display of frames, history, saved log.
#include "KxBinaryFrame.h"
#include "KxConfig.h"
#include "KxDataStreamParser.h"
#include "KxScriptedUiBackend.h"
#include "SendCmdDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QTemporaryDir>
#include <QtTest>

class TestSendCmdDlg : public QObject
{
    Q_OBJECT
    QTemporaryDir m_data;

private slots:
    void initTestCase()
    {
        QVERIFY(m_data.isValid());
        KxConfig::instance()->setDataDir(m_data.path());
    }

    void parseHex_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("spaced") << "7E 01 30" << true << QByteArray("\x7E\x01\x30", 3);
        QTest::newRow("joined pairs") << "7e0130  41" << true << QByteArray("\x7E\x01\x30\x41", 4);
        QTest::newRow("odd digit") << "7E 1" << false << QByteArray();
        QTest::newRow("not hex") << "7E ZZ" << false << QByteArray();
        QTest::newRow("sign") << "+1" << false << QByteArray();
        QTest::newRow("empty") << "  " << false << QByteArray();
    }
    void parseHex()
    {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(QByteArray, bytes);
        QByteArray out;
        QCOMPARE(SendCmdFormat::parseHex(text, out), ok);
        if (ok)
            QCOMPARE(out, bytes);
    }

    void requestAndDisplay()
    {
        QCOMPARE(SendCmdFormat::compact(" @ILL SCN*\t\n"), QStringLiteral("@ILLSCN*"));
        const QByteArray frame = SendCmdFormat::requestBytes("@ILLSCN*");
        QCOMPARE(frame, QByteArray("\x7E\x01" "0000@ILLSCN*;\x03"));
        QCOMPARE(SendCmdFormat::requestBytes("HELLO"), QByteArray("HELLO"));
        SendCmdFormat::Display d;
        d.headAndTail = false;
        QCOMPARE(SendCmdFormat::requestLine(frame, d), QStringLiteral("Request: @ILLSCN*"));
        d.hex = true;
        d.tags = false;
        d.headAndTail = true;
        QCOMPARE(SendCmdFormat::requestLine(frame.left(3), d), QStringLiteral("7E 01 30"));
        // A reply shown parsed item by item; a malformed reply still shows, as bytes.
        KxSettingsReply reply;
        reply.tags.append({QStringLiteral("ILLSCN"), 6, {{QString(), 6, QByteArray("2")}}});
        const QByteArray bytes = KxFrame::encode(KxFrame::SettingsReply, KxEncodeSettingsReply(reply));
        d = SendCmdFormat::Display();
        d.parse = true;
        QCOMPARE(SendCmdFormat::responseLine(bytes, d), QStringLiteral("Response: ILLSCN=2 (6)"));
        QVERIFY(SendCmdFormat::parsedReply("\x7E\x81garbage").isEmpty());
        QVERIFY(!SendCmdFormat::responseLine("\x7E\x81garbage", d).isEmpty());
    }

    void historyRoundTrip()
    {
        QStringList h;
        for (int i = 0; i < SendCmdFormat::kMaxHistory + 5; ++i)
            h = SendCmdFormat::addToHistory(h, QStringLiteral("@C%1").arg(i));
        h = SendCmdFormat::addToHistory(h, QStringLiteral("@C10"));
        QCOMPARE(h.size(), SendCmdFormat::kMaxHistory);
        QCOMPARE(h.last(), QStringLiteral("@C10"));
        QCOMPARE(h.count(QStringLiteral("@C10")), 1);
        const QString path = m_data.filePath("h.cache");
        QVERIFY(SendCmdFormat::saveHistory(path, h));
        QStringList back;
        QVERIFY(SendCmdFormat::loadHistory(path, back));
        QCOMPARE(back, h);
        QVERIFY(SendCmdFormat::loadHistory(m_data.filePath("missing"), back));
        QVERIFY(back.isEmpty());
    }

    void dialogKeepsHistoryAndSavesLog()
    {
        KxScriptedUiBackend ui;
        {
            SendCmdDlg dlg(nullptr);
            QCOMPARE(dlg.titleKey(), QStringLiteral("#IDS_CmdInteraction"));
            QCOMPARE(dlg.historyPath(), m_data.filePath("history.cache"));
            // No reader and no open port: nothing is sent, the user is told, history kept.
            QVERIFY(!dlg.sendText(" @ILLSCN * "));
            QVERIFY(ui.messageTexts().contains(QStringLiteral("#IDS_ERRORCOM")));
            QCOMPARE(dlg.history(), QStringList{"@ILLSCN*"});
            dlg.hexSend()->setChecked(true);
            QVERIFY(!dlg.sendText("7E 0"));
            QVERIFY(ui.messageTexts().contains(QStringLiteral("#IDS_HexSendInvalid")));
        }
        SendCmdDlg again(nullptr);
        QCOMPARE(again.history(), QStringList{"@ILLSCN*"});

        const QString target = m_data.filePath("log");
        ui.answerFile(target);
        QVERIFY(again.saveLog());
        QFile f(target + ".txt");
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(f.readAll()), again.logText());
        ui.answerFile(m_data.filePath("no/such/dir/log.txt"));
        QVERIFY(!again.saveLog());
        QVERIFY(ui.messageTexts().contains(QStringLiteral("#IDS_SaveFile_Failed")));
        QVERIFY(ui.errors().isEmpty());
    }
};

QTEST_MAIN(TestSendCmdDlg)
#include "tst_sendcmddlg.moc"
