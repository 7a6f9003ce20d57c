// The script controls: the stored value form, the check shown while typing, the local test
// run, import and export, and the function list of the assistance panel.
#include "controls_testutil.h"

#include "KxConfig.h"
#include "KxI18nUtil.h"
#include "KxScriptControls.h"
#include "KxScriptedUiBackend.h"
#include "KxSpecialControls.h"

#include <Qsci/qsciscintilla.h>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

class TstScriptControls : public QObject
{
    Q_OBJECT
private:
    KxScriptControl *make(const char *type, const QString &value, EventSink *sink, std::unique_ptr<KxItemInfo> *keep)
    {
        *keep = makeItem(QString::fromLatin1(type), value);
        return qobject_cast<KxScriptControl *>(makeControl(keep->get(), sink));
    }
    static bool shownAs(const QString &text, const QString &key) { return text == key || text == kxTr(key); }

private slots:
    void initTestCase() { KxSpecialControls::registerAll(); }

    void valueFollowsTheText_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("reported");
        for (const char *type : {"JS", "LUASCRIPT"}) {
            // A bare name is a statement in JavaScript but does not compile in Lua: kept, not reported.
            QTest::addRow("%s ab", type) << type << "ab" << "0M4L6162" << (type[0] == 'J' ? 1 : 0);
            QTest::addRow("%s empty", type) << type << "" << "0M0L" << 1;
            QTest::addRow("%s non-ASCII", type) << type << QString::fromUtf8("-- é") << "0M10L2D2D20C3A9" << 1;
        }
    }
    void valueFollowsTheText()
    {
        QFETCH(QString, type);
        QFETCH(QString, text);
        QFETCH(QString, value);
        QFETCH(int, reported);
        Made<KxScriptControl> m(type, "0M2L78");
        QVERIFY(m.c);
        QCOMPARE(m.c->script(), QStringLiteral("x"));
        m.c->setScript(text);
        QCOMPARE(m.c->value().toString(), value);
        QCOMPARE(m.sink.count(KxValueChangedEvent::eventType()), reported);
        // Read back from the value, the text is the same.
        m.c->setValue(value);
        QCOMPARE(m.c->script(), text);
        QCOMPARE(m.sink.count(KxValueChangedEvent::eventType()), reported);
    }

    // Typing stores the script at once but reports it once the user pauses, so the reader does
    // not get one change per key.
    void typingReportsOnceAfterAPause()
    {
        Made<KxScriptControl> m("LUASCRIPT", "0M0L");
        auto *editor = m.c->editorWidget()->findChild<QsciScintilla *>("source");
        QVERIFY(editor);
        for (const char *key : {"l", "o", "g", "(", "1", ")"})
            editor->append(QString::fromLatin1(key));
        QCOMPARE(m.c->value().toString(), KxScriptValue::encode(editor->text()));
        QCOMPARE(m.sink.count(KxValueChangedEvent::eventType()), 0);
        QTRY_COMPARE_WITH_TIMEOUT(m.sink.count(KxValueChangedEvent::eventType()), 1, 30000);
        QCOMPARE(m.c->checkText(), QStringLiteral("OK"));
    }

    void invalidValueEmptiesTheScript()
    {
        Made<KxScriptControl> m("JS", "0M4L6162");
        m.c->setValue(QStringLiteral("not a script"));
        QCOMPARE(m.c->value().toString(), QStringLiteral("0M0L"));
        QCOMPARE(m.c->script(), QString());
        QCOMPARE(m.sink.count(KxValueChangedEvent::eventType()), 1);
        // Already empty: nothing changes, nothing is reported.
        m.c->setValue(QStringLiteral("still not"));
        QCOMPARE(m.sink.count(KxValueChangedEvent::eventType()), 1);
    }

    void checkShowsErrorsWithTheirLine_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("check");
        QTest::newRow("Lua fine") << "LUASCRIPT" << "setOutput(getData())" << "OK";
        QTest::newRow("Lua error on line 2") << "LUASCRIPT" << "local a = 1\nlocal = 2" << "[2].";
        QTest::newRow("JavaScript fine") << "JS" << "setOutput(getData());" << "OK";
        QTest::newRow("JavaScript error on line 3") << "JS" << "var a;\nvar b;\nvar = ;" << "script:3:";
    }
    void checkShowsErrorsWithTheirLine()
    {
        QFETCH(QString, type);
        QFETCH(QString, text);
        QFETCH(QString, check);
        Made<KxScriptControl> m(type, "0M0L");
        m.c->setScript(text);
        if (check == QLatin1String("OK")) {
            QCOMPARE(m.c->checkText(), check);
            QCOMPARE(m.sink.count(KxValueChangedEvent::eventType()), 1);
        } else {
            QVERIFY2(m.c->checkText().startsWith("ERROR:"), qPrintable(m.c->checkText()));
            QVERIFY2(m.c->checkText().contains(check), qPrintable(m.c->checkText()));
            // Shown, never reported: nothing that does not compile goes to the reader.
            QCOMPARE(m.sink.count(KxValueChangedEvent::eventType()), 0);
        }
    }

    void testRunsTheScriptOnTheSample_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::newRow("Lua") << "LUASCRIPT" << "setOutput(getData():lower())" << "abc-1";
        QTest::newRow("JavaScript") << "JS" << "setOutput(getData().toLowerCase());" << "abc-1";
        QTest::newRow("Lua error") << "LUASCRIPT" << "\nerror('bad code')" << "ERROR: script:2: bad code";
        QTest::newRow("JavaScript endless") << "JS" << "while (true) {}" << "ERROR: time limit";
    }
    void testRunsTheScriptOnTheSample()
    {
        QFETCH(QString, type);
        QFETCH(QString, text);
        QFETCH(QString, shown);
        Made<KxScriptControl> m(type, "0M0L");
        m.c->setScript(text);
        m.c->setSample("ABC-1");
        m.c->runTest();
        QVERIFY2(m.c->testOutput().contains(shown), qPrintable(m.c->testOutput()));
    }

    void importAndExport()
    {
        KxScriptedUiBackend ui;
        QTemporaryDir dir;
        Made<KxScriptControl> m("LUASCRIPT", "0M0L");
        m.c->setScript(QString::fromUtf8("log('é')"));
        const QString path = dir.filePath("a.lua");
        QVERIFY(m.c->exportFile(path));
        QVERIFY(shownAs(ui.toastTexts().value(0), "#IDS_Export_Lua_Success"));
        m.c->setScript("x = 1");
        QVERIFY(m.c->importFile(path));
        QCOMPARE(m.c->script(), QString::fromUtf8("log('é')"));
        QVERIFY(shownAs(ui.toastTexts().value(1), "#IDS_Import_Lua_Success"));
        // A failed import keeps the text.
        QVERIFY(!m.c->importFile(dir.filePath("missing.lua")));
        QCOMPARE(m.c->script(), QString::fromUtf8("log('é')"));
        QVERIFY(shownAs(ui.toastTexts().value(2), "#IDS_Import_Lua_Failed"));
        QVERIFY(!m.c->exportFile(dir.filePath("no/such/dir/a.lua")));
        QVERIFY(shownAs(ui.toastTexts().value(3), "#IDS_Export_Lua_Failed"));
    }

    void assistanceListsTheFunctions()
    {
        bool ok = false;
        const QList<KxApiFunction> parsed = KxScriptAssistance::parse(
            "<interfaces><interface><name>getData()</name><simpleName>getData</simpleName>"
            "<description>one\\ntwo</description></interface><interface><name></name></interface></interfaces>",
            &ok);
        QVERIFY(ok);
        QCOMPARE(parsed.size(), 1);
        QCOMPARE(parsed[0].description, QStringLiteral("one\ntwo"));
        KxScriptAssistance::parse("<interfaces>", &ok);
        QVERIFY(!ok);

        // The shipped file describes every function the reader offers.
        KxScriptAssistance panel;
        QVERIFY(panel.load(QStringLiteral(BREVAN_SOURCE_DIR "/models/doc/api_en.xml")));
        const QStringList described = panel.shownNames();
        panel.setReaderFunctions(KxScriptRunner::apiFunctions());
        QCOMPARE(panel.shownNames(), described);
        QCOMPARE(described.size(), KxScriptRunner::apiFunctions().size());
        // A function the file lacks is still listed.
        panel.setReaderFunctions(KxScriptRunner::apiFunctions() << "newFunction");
        QCOMPARE(panel.shownNames().size(), described.size() + 1);
        QVERIFY(panel.shownNames().contains("newFunction"));
        panel.setFilter("output");
        QCOMPARE(panel.shownNames(), QStringList{"setOutput(text)"});
        QVERIFY(!panel.load(QStringLiteral("/nonexistent/api.xml")));
        // Without the file, the reader's functions are still listed, each as undefined.
        panel.setFilter(QString());
        QCOMPARE(panel.shownNames(), KxScriptRunner::apiFunctions() << "newFunction");
    }

    // The JavaScript editor's help opens a document of the reader's functions; Lua has none.
    void helpOpensTheFunctionDocument()
    {
        QTemporaryDir data;
        KxConfig::instance()->setDataDir(data.path());
        QList<QUrl> opened;
        KxScriptControl::setDocumentOpener([&opened](const QUrl &url) {
            opened << url;
            return true;
        });
        EventSink sink;
        std::unique_ptr<KxItemInfo> jsItem, luaItem;
        KxScriptControl *js = make("JS", "0M0L", &sink, &jsItem);
        KxScriptControl *lua = make("LUASCRIPT", "0M0L", &sink, &luaItem);
        QVERIFY(!lua->editorWidget()->findChild<QPushButton *>("help"));
        auto *help = js->editorWidget()->findChild<QPushButton *>("help");
        QVERIFY(help);
        help->click();
        QCOMPARE(opened.size(), 1);
        QFile pdf(opened[0].toLocalFile());
        QVERIFY2(pdf.open(QIODevice::ReadOnly), qPrintable(opened[0].toString()));
        QVERIFY(pdf.read(5) == "%PDF-");
        // Without an API description for the language there is no document.
        QVERIFY(KxScriptControl::helpDocument("xx").isEmpty());
        KxScriptControl::setDocumentOpener({});
    }
};

QTEST_MAIN(TstScriptControls)
#include "tst_scriptcontrols.moc"
