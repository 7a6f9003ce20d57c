// Setting codes: the command texts, every symbology read back by ZXing, and a PDF whose pages,
// rendered by pdftoppm, decode to the codes in order.
#include "SettingCodeCommands.h"
#include "SettingCodeSheet.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using SettingCodeCommands::addCommand;

class TestSettingCodes : public QObject
{
    Q_OBJECT
private slots:
    void addCommandRules_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("plain") << "FOCPOS" << "12345" << QStringList{"FOCPOS12345"};
        QTest::newRow("data format set") << "DFMSET" << "A|B" << QStringList{"DFMCAL", "DFMSETA", "DFMSETB"};
        QTest::newRow("data format add") << "DFMADD" << "X" << QStringList{"DFMCAL", "DFMADDX"};
        QTest::newRow("mpc list") << "MPCADD" << "1|2" << QStringList{"MPCADD1", "MPCADD2"};
        QTest::newRow("bar in plain value kept") << "PREFIX" << "a|b" << QStringList{"PREFIXa|b"};
    }
    void addCommandRules()
    {
        QFETCH(QString, name);
        QFETCH(QString, value);
        QFETCH(QStringList, expected);
        QStringList commands{QStringLiteral("KEEP01")};
        addCommand(&commands, name, value);
        QCOMPARE(commands, QStringList{QStringLiteral("KEEP01")} + expected);
    }

    void singleCodes_data()
    {
        QTest::addColumn<QStringList>("commands");
        QTest::addColumn<int>("threshold");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("digits split") << QStringList{"FOCPOS12345"} << 10
            << QStringList{"@FOCPOS", "@DIGIT1,IT2", "@DIGIT3,IT4", "@DIGIT5", "@DIGSAV"};
        QTest::newRow("short stays whole") << QStringList{"FOCPOS123"} << 10 << QStringList{"@FOCPOS123"};
        QTest::newRow("digit mode off") << QStringList{"FOCPOS12345"} << -1 << QStringList{"@FOCPOS12345"};
        QTest::newRow("bar separates") << QStringList{"ABCDEF12|34"} << 5
            << QStringList{"@ABCDEF", "@DIGIT1,IT2", "@DIGIVB", "@DIGIT3,IT4", "@DIGSAV"};
        QTest::newRow("data format always split") << QStringList{"DFMSETab"} << -1
            << QStringList{"@DFMSET", "@DIGITA,ITB", "@DIGSAV"};
        QTest::newRow("marked command keeps its mark") << QStringList{"#FOCPOS99"} << 3
            << QStringList{"#FOCPOS", "@DIGIT9,IT9", "@DIGSAV"};
        QTest::newRow("other characters skipped") << QStringList{"ABCDEF1-2"} << 3
            << QStringList{"@ABCDEF", "@DIGIT1,IT2", "@DIGSAV"};
        QTest::newRow("empty parameter adds nothing") << QStringList{"ABCDEF"} << 3 << QStringList{};
    }
    void singleCodes()
    {
        QFETCH(QStringList, commands);
        QFETCH(int, threshold);
        QFETCH(QStringList, expected);
        QCOMPARE(SettingCodeCommands::singleCodes(commands, threshold), expected);
    }

    void mergedCodes_data()
    {
        QTest::addColumn<QStringList>("commands");
        QTest::addColumn<int>("limit");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("three short") << QStringList{"c1", "c2", "c3"} << 512 << QStringList{"@c1;c2;c3;"};
        QTest::newRow("empty") << QStringList{} << 512 << QStringList{};
        // "@" counts against the limit, the separators do not.
        QTest::newRow("one per code at the limit") << QStringList{"aaaa", "bbbb", "cccc"} << 8
            << QStringList{"@aaaa;", "@bbbb;", "@cccc;"};
        QTest::newRow("two fit") << QStringList{"aaaa", "bbbb", "cccc"} << 9
            << QStringList{"@aaaa;bbbb;", "@cccc;"};
        QTest::newRow("over-long alone") << QStringList{"x", QString(600, 'L'), "y"} << 512
            << QStringList{"@x;", "@" + QString(600, 'L') + ";", "@y;"};
    }
    void mergedCodes()
    {
        QFETCH(QStringList, commands);
        QFETCH(int, limit);
        QFETCH(QStringList, expected);
        QCOMPARE(SettingCodeCommands::mergedCodes(commands, limit), expected);
    }

    void sheetTexts_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("code 128 empty") << int(SettingCodeType::Code128) << QStringList{"@SETUPE1", "@SETUPE0"};
        QTest::newRow("qr") << int(SettingCodeType::QrCode)
                            << QStringList{"@SETUPE1", "@BATCHS", "@c1;c2;c3;", "@SETUPE0"};
        QTest::newRow("programming data matrix") << int(SettingCodeType::DataMatrixProgramming)
                                                 << QStringList{"@c1;c2;c3;"};
    }
    void sheetTexts()
    {
        QFETCH(int, type);
        QFETCH(QStringList, expected);
        SettingCodeSheet::Options o;
        o.type = SettingCodeType(type);
        const QStringList commands = o.type == SettingCodeType::Code128
            ? QStringList{} : QStringList{"c1", "c2", "c3"};
        QCOMPARE(SettingCodeSheet::codeTexts(commands, o), expected);
        SettingCodeSheet sheet;
        QString error;
        QVERIFY2(sheet.generate(commands, o, &error), qPrintable(error));
        QCOMPARE(sheet.items().size(), expected.size());
        QVERIFY(sheet.contentHeight() >= 400);
    }

    // Every type renders codes that ZXing reads back as their own text.
    void everyTypeReadsBack_data()
    {
        QTest::addColumn<int>("type");
        QTest::newRow("code 128") << int(SettingCodeType::Code128);
        QTest::newRow("data matrix") << int(SettingCodeType::DataMatrix);
        QTest::newRow("pdf417") << int(SettingCodeType::Pdf417);
        QTest::newRow("qr") << int(SettingCodeType::QrCode);
        QTest::newRow("programming data matrix") << int(SettingCodeType::DataMatrixProgramming);
    }
    void everyTypeReadsBack()
    {
        QFETCH(int, type);
        const QString text = QStringLiteral("@FOCPOS120;EXPTIM500;GAINVL3;");
        QString error;
        const QImage image = SettingCodeEncoder::encodeVerified(SettingCodeType(type), text, &error);
        QVERIFY2(!image.isNull(), qPrintable(error));
        QCOMPARE(SettingCodeEncoder::decode(image), QStringList{text});
    }

    // A command no code can hold stops the generation with a message naming it.
    void failedCodeStops()
    {
        SettingCodeSheet::Options o;
        o.type = SettingCodeType::Code128;
        SettingCodeSheet sheet;
        QString error;
        QVERIFY(!sheet.generate({QStringLiteral("PREFIX") + QString(400, QLatin1Char('x'))}, o, &error));
        QVERIFY2(error.contains(QLatin1String("PREFIX")), qPrintable(error));
        QCOMPARE(sheet.items().size(), 1); // the enter code made before it stays
    }

    void pdfPagesDecodeInOrder_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("dpi");
        // 150 dpi is the layout's own resolution: a code whose modules were a single pixel there
        // read at 300 dpi only.
        for (int dpi : {150, 300}) {
            const QByteArray d = QByteArray::number(dpi) + " dpi";
            QTest::newRow(("code 128 with digit codes " + d).constData()) << int(SettingCodeType::Code128) << dpi;
            QTest::newRow(("qr " + d).constData()) << int(SettingCodeType::QrCode) << dpi;
            QTest::newRow(("pdf417 " + d).constData()) << int(SettingCodeType::Pdf417) << dpi;
            QTest::newRow(("data matrix " + d).constData()) << int(SettingCodeType::DataMatrix) << dpi;
        }
    }
    void pdfPagesDecodeInOrder()
    {
        QFETCH(int, type);
        QFETCH(int, dpi);
        QTemporaryDir dir;
        dir.setAutoRemove(qEnvironmentVariableIsEmpty("KEEP_PAGES"));
        if (!dir.autoRemove())
            qInfo() << dir.path();
        QVERIFY(dir.isValid());
        QStringList commands;
        for (int i = 0; i < 6; ++i)
            addCommand(&commands, QStringLiteral("EXPTIM"), QString::number(1000 + i * 37));
        addCommand(&commands, QStringLiteral("DFMSET"), QStringLiteral("1A|2B"));
        SettingCodeSheet::Options o;
        o.type = SettingCodeType(type);
        o.digitMode = true;
        o.mergeLimit = 40;
        o.showText = true;
        SettingCodeSheet sheet;
        QString error;
        QVERIFY2(sheet.generate(commands, o, &error), qPrintable(error));
        const QString pdf = dir.path() + QStringLiteral("/codes.pdf");
        QVERIFY2(sheet.writePdf(pdf, {"Title: t", "Product: p", "Date Built: d", "Comments: c"}, &error),
                 qPrintable(error));
        QProcess p;
        p.start(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QString::number(dpi),
                                             QStringLiteral("-gray"), QStringLiteral("-png"), pdf,
                                             dir.path() + QStringLiteral("/page")});
        QVERIFY(p.waitForFinished(120000));
        QCOMPARE(p.exitCode(), 0);
        const QStringList pages = QDir(dir.path()).entryList({QStringLiteral("page*.png")}, QDir::Files, QDir::Name);
        QVERIFY(!pages.isEmpty());
        // Codes are read top to bottom on each page: cut the page into bands at blank rows.
        QStringList read;
        for (const QString &name : pages) {
            const QImage page(dir.path() + QLatin1Char('/') + name);
            QVERIFY(!page.isNull());
            const QImage grey = page.convertToFormat(QImage::Format_Grayscale8);
            int bandStart = -1;
            for (int y = 0; y <= grey.height(); ++y) {
                bool blank = true;
                if (y < grey.height()) {
                    const uchar *row = grey.constScanLine(y);
                    for (int x = 0; x < grey.width() && blank; ++x)
                        blank = row[x] > 128;
                }
                if (!blank && bandStart < 0)
                    bandStart = y;
                if (blank && bandStart >= 0) {
                    if (y - bandStart > 20) {
                        const QImage band = grey.copy(0, qMax(0, bandStart - 10), grey.width(), y - bandStart + 20);
                        read << SettingCodeEncoder::decode(band);
                    }
                    bandStart = -1;
                }
            }
        }
        QCOMPARE(read, SettingCodeSheet::codeTexts(commands, o));
    }
};

QTEST_MAIN(TestSettingCodes)
#include "tst_settingcodes.moc"
