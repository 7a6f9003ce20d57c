// What a reader makes of the setting codes it scans (the virtual reader's session), and the Word
// package of a sheet: well-formed parts whose pictures decode to the codes in order.
#include "SettingCodeCommands.h"
#include "SettingCodeSheet.h"
#include "VrSettingCodes.h"

#include <KZip>
#include <KArchiveFile>

#include <QDomDocument>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using Command = VrSettingCodeSession::Command;
Q_DECLARE_METATYPE(QList<Command>)

namespace {
QStringList texts(const QList<Command> &commands)
{
    QStringList out;
    for (const Command &c : commands)
        out << c.code + QString::fromUtf8(c.value);
    return out;
}
} // namespace

class TestSettingCodeScan : public QObject
{
    Q_OBJECT
private slots:
    // Code texts as a sheet makes them go in; the commands the reader runs come out.
    void session_data()
    {
        QTest::addColumn<QStringList>("codes");
        QTest::addColumn<QStringList>("applied");
        QTest::addColumn<bool>("stored");
        QTest::addColumn<bool>("activeAfter");
        QTest::newRow("digit codes spell a value")
            << QStringList{"@SETUPE1", "@FOCPOS", "@DIGIT1,IT2", "@DIGIT3,IT4", "@DIGIT5", "@DIGSAV", "@SETUPE0"}
            << QStringList{"FOCPOS12345"} << true << false;
        QTest::newRow("bar in digit codes")
            << QStringList{"@SETUPE1", "@PRESET", "@DIGIT1,IT2", "@DIGIVB", "@DIGIT3,IT4", "@DIGSAV", "@SETUPE0"}
            << QStringList{"PRESET12|34"} << true << false;
        QTest::newRow("data format list in code 128")
            << SettingCodeSheet::codeTexts(QStringList{"DFMCAL", "DFMSETA", "DFMSETB"},
                                           SettingCodeSheet::Options{SettingCodeType::Code128, true, true, 10})
            << QStringList{"DFMCAL", "DFMSETA", "DFMSETB"} << true << false;
        QTest::newRow("merged codes with batch code")
            << QStringList{"@SETUPE1", "@BATCHS", "@TRGDEB42;GRLDUR250;", "@PREENA1;", "@SETUPE0"}
            << QStringList{"TRGDEB42", "GRLDUR250", "PREENA1"} << true << false;
        QTest::newRow("N pair applies without storing")
            << QStringList{"@SETUPN1", "@TRGDEB7", "@SETUPN0"} << QStringList{"TRGDEB7"} << false << false;
        QTest::newRow("interface code stays in programming")
            << QStringList{"@SETUPE1", "@INTERF4;"} << QStringList{"INTERF4"} << false << true;
        QTest::newRow("nothing taken outside programming")
            << QStringList{"@TRGDEB42", "@DIGSAV", "@SETUPE0"} << QStringList{} << false << false;
        QTest::newRow("lone word before exit is an action")
            << QStringList{"@SETUPE1", "@CUSSAV", "@SETUPE0"} << QStringList{"CUSSAV"} << true << false;
        QTest::newRow("digit code without a command is dropped")
            << QStringList{"@SETUPE1", "@DIGIT1,IT2", "@DIGSAV", "@TRGDEB1", "@SETUPE0"}
            << QStringList{"TRGDEB1"} << true << false;
        QTest::newRow("plain data inside programming is no command")
            << QStringList{"@SETUPE1", "hello world", "@SETUPE0"} << QStringList{} << true << false;
    }
    void session()
    {
        QFETCH(QStringList, codes);
        QFETCH(QStringList, applied);
        QFETCH(bool, stored);
        QFETCH(bool, activeAfter);
        VrSettingCodeSession session;
        QList<Command> ran;
        bool store = false;
        for (const QString &code : codes) {
            const VrSettingCodeSession::Step step = session.feed(code);
            ran << step.apply;
            store = store || (step.left && step.store);
        }
        QCOMPARE(texts(ran), applied);
        QCOMPARE(store, stored);
        QCOMPARE(session.active(), activeAfter);
    }

    void settingCodesAreRecognised_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("setting");
        QTest::newRow("enter") << "@SETUPE1" << true;
        QTest::newRow("merged") << "@TRGDEB42;GRLDUR250;" << true;
        QTest::newRow("product data") << "BOX-0042" << false;
        QTest::newRow("at sign then lower case") << "@setupe1" << false;
        QTest::newRow("too short") << "@ABC" << false;
    }
    void settingCodesAreRecognised()
    {
        QFETCH(QString, text);
        QFETCH(bool, setting);
        QCOMPARE(VrSettingCodeSession::looksLikeSettingCode(text), setting);
    }

    void docxPackage_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("showText");
        QTest::newRow("code 128, text below") << int(SettingCodeType::Code128) << true;
        QTest::newRow("qr") << int(SettingCodeType::QrCode) << false;
    }
    void docxPackage()
    {
        QFETCH(int, type);
        QFETCH(bool, showText);
        QTemporaryDir dir;
        QStringList commands;
        SettingCodeCommands::addCommand(&commands, QStringLiteral("TRGDEB"), QStringLiteral("42"));
        SettingCodeCommands::addCommand(&commands, QStringLiteral("PRESET"), QStringLiteral("A&B<1>"));
        SettingCodeSheet::Options o;
        o.type = SettingCodeType(type);
        o.showText = showText;
        SettingCodeSheet sheet;
        QString error;
        QVERIFY2(sheet.generate(commands, o, &error), qPrintable(error));
        const QString path = dir.filePath(QStringLiteral("codes.docx"));
        const QStringList header{"Title: <t&>", "Product: p", "Date Built: d", "Comments: c"};
        QVERIFY2(sheet.writeDocx(path, header, &error), qPrintable(error));

        KZip zip(path);
        QVERIFY(zip.open(QIODevice::ReadOnly));
        const KArchiveDirectory *root = zip.directory();
        for (const char *part : {"[Content_Types].xml", "_rels/.rels", "word/document.xml",
                                 "word/_rels/document.xml.rels"}) {
            const KArchiveFile *f = root->file(QString::fromLatin1(part));
            QVERIFY2(f, part);
            QDomDocument doc;
            QString xmlError;
            QVERIFY2(doc.setContent(f->data(), true, &xmlError), qPrintable(QStringLiteral("%1: %2").arg(part, xmlError)));
        }
        QDomDocument document;
        QVERIFY(document.setContent(root->file(QStringLiteral("word/document.xml"))->data(), true));
        const QString w = QStringLiteral("http://schemas.openxmlformats.org/wordprocessingml/2006/main");
        const QDomNodeList paragraphTexts = document.elementsByTagNameNS(w, QStringLiteral("t"));
        QStringList shown;
        for (int i = 0; i < paragraphTexts.size(); ++i)
            shown << paragraphTexts.at(i).toElement().text();
        QCOMPARE(shown.mid(0, 4), header);
        const QStringList expected = SettingCodeSheet::codeTexts(commands, o);
        QCOMPARE(shown.size(), 4 + (showText ? expected.size() : 0));
        // Each picture, in document order, reads as its code.
        const QDomNodeList blips = document.elementsByTagNameNS(
            QStringLiteral("http://schemas.openxmlformats.org/drawingml/2006/main"), QStringLiteral("blip"));
        QCOMPARE(blips.size(), expected.size());
        QDomDocument rels;
        QVERIFY(rels.setContent(root->file(QStringLiteral("word/_rels/document.xml.rels"))->data()));
        QMap<QString, QString> targets;
        const QDomNodeList relList = rels.elementsByTagName(QStringLiteral("Relationship"));
        for (int i = 0; i < relList.size(); ++i)
            targets.insert(relList.at(i).toElement().attribute("Id"), relList.at(i).toElement().attribute("Target"));
        QStringList read;
        for (int i = 0; i < blips.size(); ++i) {
            const QString id = blips.at(i).toElement().attributeNS(
                QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships"),
                QStringLiteral("embed"));
            const KArchiveFile *png = root->file(QStringLiteral("word/") + targets.value(id));
            QVERIFY2(png, qPrintable(id));
            read << SettingCodeEncoder::decode(QImage::fromData(png->data(), "PNG"));
        }
        QCOMPARE(read, expected);

        // LibreOffice, where installed, must open it as a document of pages.
        const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
        if (soffice.isEmpty())
            return;
        QProcess p;
        p.start(soffice, {"--headless", "--convert-to", "pdf", "--outdir", dir.path(), path});
        QVERIFY(p.waitForFinished(180000));
        QVERIFY(QFileInfo::exists(dir.filePath(QStringLiteral("codes.pdf"))));
    }

    void docxUnwritablePathFails()
    {
        SettingCodeSheet sheet;
        QString error;
        QVERIFY(sheet.generate({QStringLiteral("TRGDEB1")}, SettingCodeSheet::Options{}, &error));
        QVERIFY(!sheet.writeDocx(QStringLiteral("/nonexistent-dir/x/codes.docx"), {}, &error));
        QVERIFY(error.contains(QLatin1String("codes.docx")));
        QVERIFY(!QFileInfo::exists(QStringLiteral("/nonexistent-dir/x/codes.docx")));
    }
};

QTEST_MAIN(TestSettingCodeScan)
#include "tst_settingcodescan.moc"
