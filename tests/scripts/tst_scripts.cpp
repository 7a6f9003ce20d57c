// Scripts on their own: the stored value form, syntax checks with their line, what the API
// does in both languages, and the sandbox (time, memory, no files).
#include "KxScript.h"

#include <QtTest>

using L = KxScriptRunner::Language;
Q_DECLARE_METATYPE(KxScriptRunner::Language)

class TstScripts : public QObject
{
    Q_OBJECT
private slots:
    void valueForm_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("value");
        QTest::newRow("ab") << "ab" << "0M4L6162";
        QTest::newRow("empty") << "" << "0M0L";
        // Two bytes for the one character: the count is of hex digits of the UTF-8 bytes.
        QTest::newRow("non-ASCII") << QString::fromUtf8("é") << "0M4LC3A9";
        QTest::newRow("line break") << "a\nb" << "0M6L610A62";
    }
    void valueForm()
    {
        QFETCH(QString, script);
        QFETCH(QString, value);
        QCOMPARE(KxScriptValue::encode(script), value);
        QString back;
        QVERIFY(KxScriptValue::decode(value, &back));
        QCOMPARE(back, script);
    }

    void malformedValuesAreRefused_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("count too small") << "0M2L6162";
        QTest::newRow("odd digits") << "0M3L616";
        QTest::newRow("not hex") << "0M4L61ZZ";
        QTest::newRow("no marks") << "6162";
        QTest::newRow("plain script") << "setOutput('x')";
    }
    void malformedValuesAreRefused()
    {
        QFETCH(QString, value);
        QString script = QStringLiteral("unchanged");
        QVERIFY(!KxScriptValue::decode(value, &script));
        QCOMPARE(script, QStringLiteral("unchanged"));
    }

    void syntaxErrorsGiveTheirLine_data()
    {
        QTest::addColumn<L>("language");
        QTest::addColumn<QString>("script");
        QTest::addColumn<int>("line");
        QTest::newRow("Lua, line 3") << L::Lua << "local a = 1\nlocal b = 2\nif a then" << 3;
        QTest::newRow("Lua, line 2") << L::Lua << "x = 1\nx = = 2\n" << 2;
        QTest::newRow("JavaScript, line 2") << L::JavaScript << "var a = 1;\nvar = 2;\n" << 2;
        QTest::newRow("JavaScript, line 4") << L::JavaScript << "var a = 1;\n\n\nif (a {\n}" << 4;
    }
    void syntaxErrorsGiveTheirLine()
    {
        QFETCH(L, language);
        QFETCH(QString, script);
        QFETCH(int, line);
        const KxScriptOutcome o = KxScriptRunner::check(language, script);
        QCOMPARE(int(o.kind), int(KxScriptOutcome::Error));
        QCOMPARE(o.line, line);
        QVERIFY(!o.error.isEmpty());
        // A sound script passes the check without running.
        QCOMPARE(int(KxScriptRunner::check(language, QStringLiteral("log('x')")).kind), int(KxScriptOutcome::Unchanged));
    }

    void apiRewritesData_data()
    {
        QTest::addColumn<L>("language");
        QTest::addColumn<QString>("script");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<QStringList>("log");
        const int out = KxScriptOutcome::Output, skipped = KxScriptOutcome::Skipped,
                  same = KxScriptOutcome::Unchanged;
        QTest::newRow("Lua prefix and length") << L::Lua
            << "setOutput('[' .. getSymbology() .. ']' .. string.upper(getData()) .. '/' .. getLength())"
            << out << QByteArray("[032]ABC-12/6") << QStringList();
        QTest::newRow("JavaScript prefix and length") << L::JavaScript
            << "setOutput('[' + getSymbology() + ']' + getData().toUpperCase() + '/' + getLength());"
            << out << QByteArray("[032]ABC-12/6") << QStringList();
        QTest::newRow("Lua skip") << L::Lua << "if getData():find('-') then skip() end" << skipped << QByteArray() << QStringList();
        QTest::newRow("JavaScript skip") << L::JavaScript << "if (getData().indexOf('-') >= 0) skip();" << skipped
                                         << QByteArray() << QStringList();
        QTest::newRow("Lua log only") << L::Lua << "log('seen ' .. getData())" << same << QByteArray() << QStringList{"seen abc-12"};
        QTest::newRow("JavaScript log, early return") << L::JavaScript << "log('seen ' + getData());\nreturn;\nsetOutput('no');"
                                                      << same << QByteArray() << QStringList{"seen abc-12"};
    }
    void apiRewritesData()
    {
        QFETCH(L, language);
        QFETCH(QString, script);
        QFETCH(int, kind);
        QFETCH(QByteArray, output);
        QFETCH(QStringList, log);
        const KxScriptOutcome o = KxScriptRunner::run(language, script, "abc-12", QStringLiteral("032"));
        QVERIFY2(o.kind != KxScriptOutcome::Error, qPrintable(o.error));
        QCOMPARE(int(o.kind), kind);
        QCOMPARE(o.output, output);
        QCOMPARE(o.log, log);
    }

    void sandboxStopsWhatItMustNotDo_data()
    {
        QTest::addColumn<L>("language");
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("reason");
        QTest::newRow("Lua endless loop") << L::Lua << "setOutput('x')\nwhile true do end" << "time limit";
        QTest::newRow("JavaScript endless loop") << L::JavaScript << "setOutput('x');\nwhile (true) {}" << "time limit";
        QTest::newRow("Lua opens a file") << L::Lua << "local f = io.open('/etc/passwd')" << "io";
        QTest::newRow("Lua runs a command") << L::Lua << "os.execute('true')" << "os";
        QTest::newRow("Lua loads a file") << L::Lua << "dofile('/etc/passwd')" << "dofile";
        QTest::newRow("Lua memory") << L::Lua << "local t = {}\nfor i = 1, 1e9 do t[i] = string.rep('x', 1000000) .. i end" << "memory";
        QTest::newRow("JavaScript file module") << L::JavaScript << "var fs = require('fs');" << "require";
        QTest::newRow("JavaScript runtime error") << L::JavaScript << "setOutput('x');\nnothing.here();" << "nothing";
    }
    void sandboxStopsWhatItMustNotDo()
    {
        QFETCH(L, language);
        QFETCH(QString, script);
        QFETCH(QString, reason);
        KxScriptLimits limits;
        limits.timeMs = 300;
        const KxScriptOutcome o = KxScriptRunner::run(language, script, "abc", QStringLiteral("002"), limits);
        QCOMPARE(int(o.kind), int(KxScriptOutcome::Error));
        QVERIFY2(o.error.contains(reason), qPrintable(o.error));
        // Whatever the script set before it was stopped is not used.
        QVERIFY(o.output.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TstScripts)
#include "tst_scripts.moc"
