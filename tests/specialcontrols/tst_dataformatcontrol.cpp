// The data format control and its editor: the command catalogue, the input rules of the
// parameter fields, the rule editor's queue and preview, and the value the control reports.
#include "controls_testutil.h"

#include "DataFormatDialogs.h"
#include "KxDataFormatCatalogue.h"
#include "KxDataFormatControl.h"
#include "KxI18nUtil.h"
#include "KxSpecialControls.h"

#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

namespace {

KxDataFormatField field(KxDataFormatParam::Type type, int length, int max = 0)
{
    return KxDataFormatField{QString(), KxDataFormatParam{type, length, max}};
}

}  // namespace

class TstDataFormatControl : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { KxSpecialControls::registerAll(); }

    // The editor offers exactly the commands the engine runs, with the same parameters, so a
    // rule built in the editor always decodes in the reader.
    void catalogueMatchesTheEngine()
    {
        const QList<KxDataFormatFunction> &all = KxDataFormatCatalogue::functions();
        QCOMPARE(all.size(), 29);
        QStringList codes;
        for (const KxDataFormatFunction &f : all) {
            codes << f.cmd;
            QVERIFY2(f.classKey.startsWith("#IDS_DataFmtCls_"), qPrintable(f.cmd));
            QCOMPARE(f.nameKey, "#IDS_DataFmtCmd_" + f.cmd + "_Name");
            QCOMPARE(f.descKey, "#IDS_DataFmtCmd_" + f.cmd + "_Desc");
            const QList<KxDataFormatParam> engine = KxDataFormatCommands::params(f.cmd);
            QCOMPARE(f.fields.size(), engine.size());
            for (int i = 0; i < engine.size(); ++i) {
                QCOMPARE(int(f.fields[i].param.type), int(engine[i].type));
                QCOMPARE(f.fields[i].param.length, engine[i].length);
                QCOMPARE(f.fields[i].param.max, engine[i].max);
                const QString suffix = engine.size() == 1 ? QString() : QString::number(i + 1);
                QCOMPARE(f.fields[i].noteKey, "#IDS_DataFmtCmd_" + f.cmd + "_Note" + suffix);
            }
        }
        codes.sort();
        QCOMPARE(codes, KxDataFormatCommands::codes());
    }

    void inputRules_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("max");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QByteArray>("bytes");
        const int num = KxDataFormatParam::Num, chr = KxDataFormatParam::Char, key = KxDataFormatParam::Key;
        QTest::newRow("number") << num << 2 << 99 << "8" << true << QByteArray("8");
        QTest::newRow("number 99") << num << 2 << 99 << "99" << true << QByteArray("99");
        QTest::newRow("zero") << num << 2 << 99 << "0" << false << QByteArray();
        QTest::newRow("leading zero") << num << 2 << 99 << "07" << false << QByteArray();
        QTest::newRow("letters") << num << 2 << 99 << "1a" << false << QByteArray();
        QTest::newRow("over the maximum") << num << 4 << 4995 << "4996" << false << QByteArray();
        QTest::newRow("one character") << chr << 1 << 0 << "-" << true << QByteArray("-");
        QTest::newRow("a key in brackets") << chr << 1 << 0 << "[CR]" << true << QByteArray("\r");
        QTest::newRow("two for one") << chr << 1 << 0 << "ab" << false << QByteArray();
        QTest::newRow("empty") << chr << 15 << 0 << "" << false << QByteArray();
        QTest::newRow("text with a key") << chr << 15 << 0 << "A[TAB]B" << true << QByteArray("A\tB");
        QTest::newRow("unknown bracket kept") << chr << 15 << 0 << "[XY]" << true << QByteArray("[XY]");
        QTest::newRow("too long") << chr << 15 << 0 << "0123456789ABCDEF" << false << QByteArray();
        QTest::newRow("non-ASCII counts its bytes") << chr << 1 << 0 << QString::fromUtf8("é") << false << QByteArray();
        QTest::newRow("non-ASCII as UTF-8") << chr << 15 << 0 << QString::fromUtf8("é") << true << QByteArray("\xC3\xA9");
        QTest::newRow("key name") << key << 99 << 0 << "tab" << true << QByteArray("\t");
        QTest::newRow("unknown key") << key << 99 << 0 << "ENTER" << false << QByteArray();
    }
    void inputRules()
    {
        QFETCH(int, type);
        QFETCH(int, length);
        QFETCH(int, max);
        QFETCH(QString, entry);
        QFETCH(bool, accepted);
        QFETCH(QByteArray, bytes);
        QByteArray out;
        QCOMPARE(KxDataFormatCatalogue::parseInput(field(KxDataFormatParam::Type(type), length, max), entry, &out), accepted);
        QCOMPARE(out, bytes);
    }

    void editorBuildsTheRuleItPreviews()
    {
        DataFormatEditDlg dlg({1, "999", KxDataFormatText::kAnyLength, QString()}, true);
        dlg.setSample("0123456789AB");
        dlg.selectCommand("B9");
        QVERIFY(dlg.addCommand({"PRE-"}));
        dlg.selectCommand("F2");
        // A wrong entry is refused with the message and leaves the queue alone.
        QVERIFY(!dlg.addCommand({"0", "]"}));
        QCOMPARE(dlg.statusText(), kxTr("#IDS_DataFormat_InputUncorrect"));
        QCOMPARE(dlg.queue().size(), 1);
        QVERIFY(dlg.addCommand({"8", "]"}));
        QVERIFY(dlg.statusText().isEmpty());
        const KxDataFormatRule rule = dlg.rule();
        QCOMPARE(rule.serialize(), QStringLiteral("169999999999B900045052452DF2085D"));
        // The preview is what the engine makes of the sample with this very rule.
        QCOMPARE(dlg.previewText(), QStringLiteral("PRE-01234567]"));
        QCOMPARE(KxDataFormatEngine::apply({rule}, "0123456789AB", "032").output, QByteArray("PRE-01234567]"));
        // A sample too short for F2 8 makes the rule fail, and the preview says so.
        dlg.setSample("123");
        QVERIFY(dlg.previewText().startsWith(kxTr("#IDS_DataFormat_PreviewFailed")));
        dlg.removeCommand(1);
        QCOMPARE(dlg.previewText(), QStringLiteral("PRE-"));
    }

    void editorRefusesARuleWithoutCommands()
    {
        DataFormatEditDlg dlg({2, "999", 12, QString()}, true);
        dlg.open();
        QSignalSpy accepted(&dlg, &QDialog::accepted);
        auto *save = dlg.findChildren<QPushButton *>().value(0);
        for (QPushButton *b : dlg.findChildren<QPushButton *>()) {
            if (b->text() == kxTr("#IDS_SaveDataFormat"))
                save = b;
        }
        QVERIFY(save);
        save->click();
        QCOMPARE(accepted.count(), 0);
        QCOMPARE(dlg.statusText(), kxTr("#IDS_DataFormat_NoCommands"));
        QVERIFY(dlg.isVisible());
    }

    void controlValueFollowsTheEditor()
    {
        const QString stored = KxDataFormatList::serialize({{1, "032", 9999, "F7EA"}});
        auto item = makeItem("DATAFORMAT", stored);
        EventSink sink;
        auto *c = qobject_cast<KxDataFormat *>(makeControl(item.get(), &sink));
        QVERIFY(c);
        QCOMPARE(c->button()->text(), kxTr("#IDS_Setting"));
        QCOMPARE(c->displayValue().toString(), QStringLiteral("Data Format 1:169990329999F7EA"));
        DataFormatListDlg *list = c->openEditor();
        QVERIFY(list);
        QCOMPARE(list->list()->topLevelItemCount(), 1);
        QCOMPARE(list->list()->topLevelItem(0)->text(1), QStringLiteral("032"));
        DataFormatEditDlg *edit = list->edit(-1);
        QVERIFY(edit);
        edit->selectCommand("F1");
        QVERIFY(edit->addCommand({"[CR]"}));
        edit->accept();
        QCOMPARE(list->rules().size(), 2);
        list->move(1, -1);
        QCOMPARE(list->rules().value(0).commands, QStringLiteral("F10D"));
        list->accept();
        const QString expected = QStringLiteral("1:169999999999F10D;\r\n1:169990329999F7EA;\r\n");
        QCOMPARE(c->value().toString(), expected);
        QCOMPARE(sink.count(KxValueChangedEvent::eventType()), 1);
        // Deleting every rule leaves an empty value, which the reader takes as no formats.
        list = c->openEditor();
        list->remove(0);
        list->remove(0);
        list->accept();
        QCOMPARE(c->value().toString(), QString());
        QCOMPARE(sink.count(KxValueChangedEvent::eventType()), 2);
    }
};

QTEST_MAIN(TstDataFormatControl)
#include "tst_dataformatcontrol.moc"
