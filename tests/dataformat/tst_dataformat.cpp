// Data format rules: their text forms, the command encoding, and what each command does to
// decoded data.
#include "KxDataFormat.h"

#include <QtTest>

namespace {

// Builds a command text from code and parameter pairs, failing the test on a bad command.
QString cmds(const QList<KxDataFormatCommand> &list)
{
    QString all;
    for (const KxDataFormatCommand &c : list) {
        QString one, error;
        if (!KxDataFormatCommands::encode(c, &one, &error))
            qWarning() << "encode failed" << error;
        all += one;
    }
    return all;
}

KxDataFormatCommand c(const char *code, const QList<QByteArray> &params = {})
{
    return KxDataFormatCommand{QString::fromLatin1(code), params};
}

}  // namespace

class TstDataFormat : public QObject
{
    Q_OBJECT
private slots:
    void ruleSerialisation_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("symbology");
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("commands");
        QTest::addColumn<QString>("text");
        QTest::newRow("all symbologies, length 12") << 1 << "999" << 12 << "F141" << "169999990012F141";
        QTest::newRow("any length") << 3 << "032" << 9999 << "F7" << "369990329999F7";
        QTest::newRow("format 12") << 12 << "002" << 8 << "EA" << "1269990020008EA";
        QTest::newRow("no format number") << -1 << "999" << 12 << "F141" << "";
        QTest::newRow("no commands") << 1 << "999" << 12 << "" << "";
    }
    void ruleSerialisation()
    {
        QFETCH(int, format);
        QFETCH(QString, symbology);
        QFETCH(int, length);
        QFETCH(QString, commands);
        QFETCH(QString, text);
        const KxDataFormatRule r{format, symbology, length, commands};
        QCOMPARE(r.serialize(), text);
        if (text.isEmpty())
            return;
        KxDataFormatRule back;
        QVERIFY(KxDataFormatRule::parse(format, text, &back));
        QCOMPARE(back, r);
    }

    void valueLinesRoundTrip()
    {
        const QList<KxDataFormatRule> rules = {{1, "999", 12, "F141"}, {1, "032", 9999, "F7EA"},
                                               {2, "002", 4, "B3"}};
        const QString value = KxDataFormatList::serialize(rules);
        QCOMPARE(value, QStringLiteral("1:169999990012F141;\r\n1:169990329999F7EA;\r\n2:269990020004B3;\r\n"));
        QCOMPARE(KxDataFormatList::parse(value), rules);
        // A rule without commands is not written.
        QCOMPARE(KxDataFormatList::serialize({{1, "999", 12, ""}}), QString());
        // Broken lines are reported, the good ones kept.
        QStringList bad;
        const QList<KxDataFormatRule> kept =
            KxDataFormatList::parse(QStringLiteral("x:1;\r\n2:369999999999F7;\r\n1:2699999999F7;"), &bad);
        QCOMPARE(kept.size(), 0);
        QCOMPARE(bad.size(), 3);
        QCOMPARE(KxDataFormatList::parse(QStringLiteral("2:269999999999F7;")).size(), 1);
    }

    void encodingRejectsWhatDoesNotFit_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QList<QByteArray>>("params");
        QTest::newRow("unknown code") << "ZZ" << QList<QByteArray>{};
        QTest::newRow("missing parameter") << "F2" << QList<QByteArray>{"3"};
        QTest::newRow("number too big") << "F5" << QList<QByteArray>{"100"};
        QTest::newRow("latency too big") << "EF" << QList<QByteArray>{"4996"};
        QTest::newRow("two characters for one") << "F1" << QList<QByteArray>{"ab"};
        QTest::newRow("text too long") << "FB" << QList<QByteArray>{QByteArray(16, 'x')};
        QTest::newRow("empty text") << "B9" << QList<QByteArray>{""};
    }
    void encodingRejectsWhatDoesNotFit()
    {
        QFETCH(QString, code);
        QFETCH(QList<QByteArray>, params);
        QString text, error;
        QVERIFY(!KxDataFormatCommands::encode({code, params}, &text, &error));
        QVERIFY(!error.isEmpty());
    }

    void encodingRoundTrips()
    {
        // Separators and control bytes travel as hex, so a rule line never holds ";".
        const QList<KxDataFormatCommand> list = {
            c("B9", {"a;b\r\n"}), c("F2", {"7", ";"}), c("EF", {"25"}), c("BA", {"2", "-", "::"}),
            c("B5", {"\t"}), c("F7")};
        const QString text = cmds(list);
        QCOMPARE(text, QStringLiteral("B90005613B620D0AF2073BEF0025BA02012D023A3AB509F7"));
        QVERIFY(!text.contains(QLatin1Char(';')));
        QList<KxDataFormatCommand> back;
        QVERIFY(KxDataFormatCommands::decode(text, &back));
        QCOMPARE(back.size(), list.size());
        for (int i = 0; i < list.size(); ++i) {
            QCOMPARE(back[i].code, list[i].code);
            QCOMPARE(back[i].params, list[i].params);
        }
        QString error;
        QVERIFY(!KxDataFormatCommands::decode(QStringLiteral("F1"), &back, &error));
        QVERIFY(!KxDataFormatCommands::decode(QStringLiteral("B90003414"), &back, &error));
        QVERIFY(!KxDataFormatCommands::decode(QStringLiteral("QQ"), &back, &error));
    }

    void displayOfCharacters_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("shown");
        QTest::newRow("letter") << int('A') << "A";
        QTest::newRow("tilde") << 126 << "~";
        QTest::newRow("space") << 32 << "[SP]";
        QTest::newRow("carriage return") << 13 << "[CR]";
        QTest::newRow("delete") << 127 << "[DEL]";
        QTest::newRow("high byte") << 0xAB << "0xAB";
        QTest::newRow("128") << 128 << "0x80";
    }
    void displayOfCharacters()
    {
        QFETCH(int, code);
        QFETCH(QString, shown);
        QCOMPARE(KxDataFormatCommands::displayChar(uchar(code)), shown);
    }

    void commandsRewriteData_data()
    {
        QTest::addColumn<QString>("commands");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QByteArray>("output");
        QTest::newRow("send all then a character") << cmds({c("F1", {"!"})}) << QByteArray("ABC123") << QByteArray("ABC123!");
        QTest::newRow("prefix then the first 8") << cmds({c("B9", {"PRE-"}), c("F2", {"8", "/"})})
                                                 << QByteArray("0123456789AB") << QByteArray("PRE-01234567/");
        QTest::newRow("send up to a character") << cmds({c("F3", {"-", "|"}), c("F5", {"1"}), c("F1", {"."})})
                                                << QByteArray("LOT-42") << QByteArray("LOT|42.");
        QTest::newRow("all but the last 2") << cmds({c("E9", {"2"})}) << QByteArray("ABCDEF") << QByteArray("ABCD");
        QTest::newRow("repeat a character") << cmds({c("F4", {"*", "3"}), c("F1", {"*"})}) << QByteArray("X") << QByteArray("***X*");
        QTest::newRow("symbology and length") << cmds({c("B3"), c("B9", {":"}), c("B4"), c("B5", {"\t"})})
                                              << QByteArray("HELLO") << QByteArray("032:5\t");
        QTest::newRow("replace all") << cmds({c("E4", {"-", "__"}), c("F1", {"."})}) << QByteArray("A-B-C") << QByteArray("A__B__C.");
        QTest::newRow("replace the first one") << cmds({c("BA", {"1", "-", "+"}), c("F1", {"."})})
                                               << QByteArray("A-B-C") << QByteArray("A+B-C.");
        QTest::newRow("suppress characters") << cmds({c("FB", {" -"}), c("F1", {"."})}) << QByteArray("A -B C") << QByteArray("ABC.");
        QTest::newRow("search forward, send the rest") << cmds({c("F8", {"="}), c("F5", {"1"}), c("F1", {";"})})
                                                       << QByteArray("KEY=VALUE") << QByteArray("VALUE;");
        QTest::newRow("skip leading zeros") << cmds({c("E6", {"0"}), c("F1", {"#"})}) << QByteArray("000705") << QByteArray("705#");
        QTest::newRow("first digit, first non-digit") << cmds({c("EC"), c("F3", {"X", "-"}), c("ED"), c("F1", {"."})})
                                                      << QByteArray("ab123X9") << QByteArray("123-X9.");
        QTest::newRow("search a string") << cmds({c("B0", {"SN:"}), c("F5", {"3"}), c("F1", {"."})})
                                         << QByteArray("PN:1 SN:77") << QByteArray("77.");
        QTest::newRow("search backward") << cmds({c("EA"), c("F9", {"/"}), c("F5", {"1"}), c("F1", {"."})})
                                         << QByteArray("a/b/file") << QByteArray("file.");
        QTest::newRow("backward over padding") << cmds({c("EA"), c("E7", {" "}), c("F6", {"2"}), c("F2", {"3", "."})})
                                               << QByteArray("CODE12   ") << QByteArray("E12.");
        QTest::newRow("backward string") << cmds({c("EA"), c("B1", {"--"}), c("F1", {"."})})
                                         << QByteArray("a--b--c") << QByteArray("--c.");
        QTest::newRow("move back to the start") << cmds({c("F5", {"3"}), c("F7"), c("F2", {"1", "."})})
                                                << QByteArray("XYZW") << QByteArray("X.");
        QTest::newRow("compare then send") << cmds({c("FE", {"("}), c("B2", {"01)"}), c("F1", {"."})})
                                           << QByteArray("(01)1234") << QByteArray("1234.");
        QTest::newRow("loop repeats the command before") << cmds({c("F2", {"1", "-"}), c("EE", {"2"}), c("F1", {"."})})
                                                         << QByteArray("ABCDE") << QByteArray("A-B-C-DE.");
        QTest::newRow("non-ASCII data stays bytes") << cmds({c("F2", {"2", "|"})}) << QByteArray("\xC3\xA9xyz")
                                                    << QByteArray("\xC3\xA9|");
    }
    void commandsRewriteData()
    {
        QFETCH(QString, commands);
        QFETCH(QByteArray, data);
        QFETCH(QByteArray, output);
        const KxDataFormatOutcome o = KxDataFormatEngine::run(commands, data, QStringLiteral("032"));
        QVERIFY2(o.kind == KxDataFormatOutcome::Formatted, qPrintable(o.error));
        QCOMPARE(o.output, output);
    }

    void failingCommandsFailTheRule_data()
    {
        QTest::addColumn<QString>("commands");
        QTest::addColumn<QByteArray>("data");
        QTest::newRow("too few to send") << cmds({c("F2", {"9", "."})}) << QByteArray("ABC");
        QTest::newRow("character not there") << cmds({c("F3", {"#", "."})}) << QByteArray("ABC");
        QTest::newRow("search fails") << cmds({c("F8", {"#"})}) << QByteArray("ABC");
        QTest::newRow("backward from the start") << cmds({c("F9", {"A"})}) << QByteArray("ABC");
        QTest::newRow("move past the end") << cmds({c("F5", {"4"})}) << QByteArray("ABC");
        QTest::newRow("move before the start") << cmds({c("F6", {"1"})}) << QByteArray("ABC");
        QTest::newRow("comparison") << cmds({c("B2", {"AC"})}) << QByteArray("ABC");
        QTest::newRow("no digit") << cmds({c("EC")}) << QByteArray("ABC");
        QTest::newRow("loop without a command") << cmds({c("EE", {"2"})}) << QByteArray("ABC");
        QTest::newRow("malformed text") << QStringLiteral("F2") << QByteArray("ABC");
    }
    void failingCommandsFailTheRule()
    {
        QFETCH(QString, commands);
        QFETCH(QByteArray, data);
        const KxDataFormatOutcome o = KxDataFormatEngine::run(commands, data, QStringLiteral("002"));
        QCOMPARE(int(o.kind), int(KxDataFormatOutcome::Failed));
        QVERIFY(!o.error.isEmpty());
    }

    void rulesMatchSymbologyAndLength()
    {
        const QList<KxDataFormatRule> rules = {
            {1, "032", 9999, cmds({c("B9", {"QR:"}), c("F1", {"."})})},
            {1, "999", 4, cmds({c("B9", {"FOUR:"}), c("F1", {"."})})},
            // Fails on data without "-", so the next matching rule runs.
            {2, "999", 9999, cmds({c("F3", {"-", "+"})})},
            {2, "999", 9999, cmds({c("B9", {"ANY:"}), c("F1", {"."})})},
            {3, "010", 13, cmds({c("B8")})}};
        auto apply = [&](const QByteArray &data, const QString &id) { return KxDataFormatEngine::apply(rules, data, id); };
        QCOMPARE(apply("hello", "032").output, QByteArray("QR:hello."));
        QCOMPARE(apply("abcd", "002").output, QByteArray("FOUR:abcd."));
        QCOMPARE(apply("ab-cd", "002").output, QByteArray("ab+"));
        QCOMPARE(apply("abcde", "002").output, QByteArray("ANY:abcde."));
        QCOMPARE(apply("abcde", "002").rule.format, 2);
        // The all-symbologies rule of format 2 comes before the discarding one.
        QCOMPARE(int(apply("4006381333931", "010").kind), int(KxDataFormatOutcome::Formatted));
        QCOMPARE(int(KxDataFormatEngine::apply({rules[4]}, "4006381333931", "010").kind),
                 int(KxDataFormatOutcome::Discarded));
        QCOMPARE(int(KxDataFormatEngine::apply({rules[0]}, "xyz", "002").kind), int(KxDataFormatOutcome::NoRule));
        const KxDataFormatOutcome failed = KxDataFormatEngine::apply({rules[2]}, "abc", "002");
        QCOMPARE(int(failed.kind), int(KxDataFormatOutcome::Failed));
        // Latency is reported, not waited for.
        const KxDataFormatOutcome held = KxDataFormatEngine::run(cmds({c("EF", {"120"}), c("EF", {"5"}), c("F1", {"."})}), "a", "002");
        QCOMPARE(held.delayMs, 125);
    }
};

QTEST_APPLESS_MAIN(TstDataFormat)
#include "tst_dataformat.moc"
