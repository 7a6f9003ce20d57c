// End to end: setting codes printed to PDF, the pages rendered by pdftoppm and laid in a fresh
// virtual reader's view; one trigger reads the sheet, and the reader runs and keeps (after a
// restart) the settings of the codes.
#include "SettingCodeCommands.h"
#include "SettingCodeSheet.h"
#include "VReaderSession.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class TestSettingCodeReader : public QObject
{
    Q_OBJECT
private:
    // The sheet's pages stacked into one picture the reader sees whole; empty on failure.
    static QString sceneOfPdf(const QString &pdf, const QString &dir)
    {
        QProcess p;
        p.start(QStringLiteral("pdftoppm"), {"-r", "150", "-gray", "-png", pdf, dir + "/page"});
        if (!p.waitForFinished(120000) || p.exitCode() != 0)
            return {};
        QList<QImage> pages;
        for (const QString &name : QDir(dir).entryList({"page*.png"}, QDir::Files, QDir::Name))
            pages << QImage(dir + '/' + name);
        if (pages.isEmpty() || pages.size() > 2)
            return {};
        QImage all(pages[0].width(), pages[0].height() * pages.size(), QImage::Format_Grayscale8);
        QPainter painter(&all);
        for (int i = 0; i < pages.size(); ++i)
            painter.drawImage(0, i * pages[0].height(), pages[i]);
        painter.end();
        if (!all.save(dir + "/sheet.png"))
            return {};
        QJsonObject image{{"file", "sheet.png"}, {"x", 0}, {"y", 0}, {"width", all.width()}, {"height", all.height()}};
        QJsonObject scene{{"sensor", QJsonArray{all.width(), all.height()}}, {"background", 0.9},
                          {"noise", 0.5}, {"images", QJsonArray{image}}};
        QFile f(dir + "/scene.json");
        if (!f.open(QIODevice::WriteOnly))
            return {};
        f.write(QJsonDocument(scene).toJson());
        return f.fileName();
    }

private slots:
    void readerTakesPrintedSettings_data()
    {
        QTest::addColumn<int>("type");
        QTest::newRow("code 128 with digit codes") << int(SettingCodeType::Code128);
        QTest::newRow("qr, merged") << int(SettingCodeType::QrCode);
    }
    void readerTakesPrintedSettings()
    {
        QFETCH(int, type);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        // Three changed settings, one long enough for digit codes.
        const QList<QPair<QString, QString>> changes{
            {"TRGDEB", "42"}, {"GRLDUR", "250"}, {"PRESET", "AB12"}};
        QStringList commands;
        for (const auto &c : changes)
            SettingCodeCommands::addCommand(&commands, c.first, c.second);
        SettingCodeSheet::Options o;
        o.type = SettingCodeType(type);
        o.digitMode = true;
        o.digitThreshold = 10;
        o.showText = true;
        SettingCodeSheet sheet;
        QString error;
        QVERIFY2(sheet.generate(commands, o, &error), qPrintable(error));
        const QString pdf = dir.filePath("codes.pdf");
        QVERIFY2(sheet.writePdf(pdf, {"Title: t", "Product: KXS-FM800", "Date Built: d", "Comments: c"}, &error),
                 qPrintable(error));
        const QString scene = sceneOfPdf(pdf, dir.path());
        QVERIFY(!scene.isEmpty());

        VReaderProcess vp;
        QVERIFY2(vp.start({"--model", "KXS-FM800", "--count", "1", "--scene", scene}), vp.errorOutput().constData());
        QString why;
        auto c = VReaderSession::login(vp, &why);
        QVERIFY2(c, qPrintable(why));
        for (const auto &ch : changes)
            QVERIFY(VReaderSession::readerValue(c.get(), ch.first) != ch.second.toUtf8());
        QByteArray v;
        // A loaded machine may take long over a large image: no decode time-out.
        QCOMPARE(c->queryCommand(1, QStringLiteral("#DECTMO0"), v), int(DataResult_Ack));
        QCOMPARE(c->queryCommand(1, QStringLiteral("#SCNITG"), v), int(DataResult_Ack));
        for (const auto &ch : changes)
            QCOMPARE(VReaderSession::readerValue(c.get(), ch.first), ch.second.toUtf8());
        c.reset();

        // "@SETUPE0" stored them: a restart keeps them.
        vp.stop();
        QVERIFY(vp.start({"--model", "KXS-FM800", "--count", "1", "--scene", scene}));
        c = VReaderSession::login(vp, &why);
        QVERIFY2(c, qPrintable(why));
        for (const auto &ch : changes)
            QCOMPARE(VReaderSession::readerValue(c.get(), ch.first), ch.second.toUtf8());
    }
};

QTEST_MAIN(TestSettingCodeReader)
#include "tst_settingcodereader.moc"
