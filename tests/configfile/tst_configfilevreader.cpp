// Export, import and comparison against the real virtual reader program.
#include "KxConfigFileIO.h"
#include "KxDeviceConfigs.h"
#include "KxExportList.h"
#include "VReaderSession.h"

#include <QSignalSpy>
#include <QTemporaryDir>

using namespace VReaderSession;

namespace {
QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

KxConfigFileIO::ImportResult importNow(KxDeviceConnector *c, const QString &path)
{
    KxConfigFileIO::ImportResult r;
    bool done = false;
    QObject ctx;
    KxConfigFileIO::importFileAsync(c, path, &ctx, [&](const KxConfigFileIO::ImportResult &res) {
        r = res;
        done = true;
    });
    QElapsedTimer t;
    t.start();
    while (!done && t.elapsed() < 60000)
        QTest::qWait(5);
    return r;
}
}  // namespace

class TestConfigFileVReader : public QObject
{
    Q_OBJECT

private slots:
    void roundTripLosesNothing()
    {
        VReaderProcess vp;
        QVERIFY2(vp.start({"--count", "2"}), vp.errorOutput().constData());
        QCOMPARE(vp.readers().size(), 2);
        auto a = login(vp.readers()[0]);
        auto b = login(vp.readers()[1]);
        QVERIFY(a && b);
        KxDeviceCommand *ca = a->command();
        const KxExportList list = KxExportList::forModel(KxDeviceConfigs::instance(),
                                                         vp.readers()[0].model);
        // Stored changes of several kinds on the first reader: options, a text, a data format.
        QVector<ChangedCmdInfo> changes = pickChanges(ca, 5, 0, list.codes);
        QCOMPARE(changes.size(), 5);
        ChangedCmdInfo text;
        text.code = "PRESET";
        text.value = QByteArray("AB=12");
        changes << text;
        ChangedCmdInfo format;
        format.code = "DFMADD";
        format.value = QByteArray("0199");
        changes << format;
        QStringList failed;
        QVERIFY2(ca->saveCmds(changes, true, failed), qPrintable(failed.join(',')));

        QTemporaryDir dir;
        const QString fileA = dir.filePath("a.xml");
        const QString fileB = dir.filePath("b.xml");
        QString error;
        QVERIFY2(KxConfigFileIO::exportToFile(a.get(), fileA, &error), qPrintable(error));
        const KxConfigFile::ParsedFile parsedA = KxConfigFile::readFile(fileA);
        QCOMPARE(parsedA.check, 0);
        QCOMPARE(parsedA.deviceType, vp.readers()[0].model);
        QMap<QString, QString> inFile;
        for (const KxConfigEntry &e : parsedA.entries)
            inFile.insert(e.code, e.value);
        for (const ChangedCmdInfo &ch : changes)
            QCOMPARE(inFile.value(ch.code), QString::fromUtf8(ch.value.toByteArray()));
        for (const QString &restricted : KxDeviceConfigs::instance()->restrictExportCmds())
            QVERIFY2(!inFile.contains(restricted), qPrintable(restricted));
        QCOMPARE(parsedA.entries.last().code, QString("DFMADD"));

        // Before the import the second reader differs in exactly the changed commands.
        QStringList differing;
        for (const KxConfigDiff &d : KxConfigFileIO::compare(b.get(), parsedA.entries)) {
            differing << d.code;
            QCOMPARE(d.readerValue, b->command()->valueText(d.code));
            QCOMPARE(d.fileValue, inFile.value(d.code));
        }
        QStringList changedCodes;
        for (const ChangedCmdInfo &ch : changes)
            changedCodes << ch.code;
        differing.sort();
        changedCodes.sort();
        QCOMPARE(differing, changedCodes);

        QCOMPARE(KxConfigFileIO::checkImportFile(b.get(), fileA), 0);
        const KxConfigFileIO::ImportResult r = importNow(b.get(), fileA);
        QCOMPARE(r.value("result"), QString("1"));
        QCOMPARE(r.value("FailCmdsCnt"), QString("0"));
        QCOMPARE(r.value("UnknownCmdsCnt"), QString("0"));
        for (const ChangedCmdInfo &ch : changes)
            QCOMPARE(readerValue(b.get(), ch.code), ch.value.toByteArray());
        QVERIFY(KxConfigFileIO::compare(b.get(), parsedA.entries).isEmpty());

        QVERIFY(KxConfigFileIO::exportToFile(b.get(), fileB));
        QCOMPARE(readAll(fileB), readAll(fileA));
    }

    void importReportsRefusedAndUnknown()
    {
        Started vp;
        QVERIFY2(vp.start({}), qPrintable(vp.why));
        auto &c = vp.connector;
        const QVector<ChangedCmdInfo> good = pickChanges(c->command(), 1);
        QCOMPARE(good.size(), 1);
        const QByteArray before = readerValue(c.get(), "TRGCMD");
        QTemporaryDir dir;
        const QString path = dir.filePath("mixed.xml");
        const KxConfigEntries entries = {
            {"ZZZZZZ", "1"},                                   // a command the reader lacks
            {good[0].code, QString::fromUtf8(good[0].value.toByteArray())},
            {"TRGCMD", "A B"},                                 // refused by the reader
            {"bad", "1"},                                      // not a command code at all
            {"PRESET", "x;y"},                                 // needs a binary request
        };
        QVERIFY(KxConfigFile::writeFile(path, KxConfigFile::toXml(vp.process.readers()[0].model, entries)));
        const KxConfigFileIO::ImportResult r = importNow(c.get(), path);
        QCOMPARE(r.value("result"), QString("0"));
        QCOMPARE(r.value("FailCmdsCnt"), QString("1"));
        QCOMPARE(r.value("FailCmds"), QString("TRGCMD"));
        QCOMPARE(r.value("UnknownCmdsCnt"), QString("2"));
        QStringList unknown = r.value("UnknownCmds").split(',');
        unknown.sort();
        QCOMPARE(unknown, (QStringList{"ZZZZZZ", "bad"}));
        // The good command was taken and stored; the refused one kept its value.
        QCOMPARE(readerValue(c.get(), good[0].code), good[0].value.toByteArray());
        QCOMPARE(readerValue(c.get(), "TRGCMD"), before);
        QCOMPARE(readerValue(c.get(), "PRESET"), QByteArray("x;y"));
        QCOMPARE(c->command()->value("PRESET"), QByteArray("x;y"));
    }

    // An empty value in a file clears the setting, running and stored, instead of only asking
    // for it and reporting the old value as imported.
    void importedEmptyValueClears()
    {
        Started vp;
        QVERIFY2(vp.start({}), qPrintable(vp.why));
        auto &c = vp.connector;
        QStringList failed;
        ChangedCmdInfo preset;
        preset.code = QStringLiteral("PRESET");
        preset.value = QByteArray("abc");
        QVERIFY(c->command()->saveCmds({preset}, true, failed));
        QCOMPARE(readerValue(c.get(), "PRESET"), QByteArray("abc"));
        QTemporaryDir dir;
        const QString path = dir.filePath("clear.xml");
        QVERIFY(KxConfigFile::writeFile(path, KxConfigFile::toXml(vp.process.readers()[0].model,
                                                                  {{"PRESET", QString()}})));
        QCOMPARE(importNow(c.get(), path).value("result"), QString("1"));
        QCOMPARE(readerValue(c.get(), "PRESET"), QByteArray());
        QCOMPARE(c->command()->value("PRESET"), QByteArray());
        c.reset();
        QVERIFY(vp.process.restart({}));
        c = login(vp.process);
        QVERIFY(c);
        QCOMPARE(c->command()->value("PRESET"), QByteArray());
    }

    // A file that changes the reader's link settings asks the pages to read every value again;
    // the same file once more changes nothing and asks nothing.
    void linkChangingImportAnnouncesRestart()
    {
        Started vp;
        QVERIFY2(vp.start({}), qPrintable(vp.why));
        auto &c = vp.connector;
        KxDeviceCommand *cmd = c->command();
        QVERIFY(cmd->hasCmd("INTERF"));
        QVERIFY(!cmd->rebootWarning("INTERF").isEmpty());
        const QByteArray interf = cmd->value("INTERF") == "0" ? "2" : "0";
        const QVector<ChangedCmdInfo> plain = pickChanges(cmd, 1);
        QCOMPARE(plain.size(), 1);
        QTemporaryDir dir;
        const QString path = dir.filePath("link.xml");
        const KxConfigEntries entries = {
            {plain[0].code, QString::fromUtf8(plain[0].value.toByteArray())},
            {"INTERF", QString::fromLatin1(interf)},
        };
        QVERIFY(KxConfigFile::writeFile(path, KxConfigFile::toXml(vp.process.readers()[0].model, entries)));
        QSignalSpy reboot(cmd, &KxDeviceCommand::cmdValueChanged_ImportReboot);
        KxConfigFileIO::ImportResult r = importNow(c.get(), path);
        QCOMPARE(r.value("result"), QString("1"));
        QCOMPARE(r.value("Reboot"), QString("1"));
        QCOMPARE(r.value("RebootCmds"), QString("INTERF"));
        QStringList changed = r.value("ChangedCmds").split(',');
        changed.sort();
        QStringList expected = {plain[0].code, "INTERF"};
        expected.sort();
        QCOMPARE(changed, expected);
        QCOMPARE(reboot.size(), 1);
        QCOMPARE(readerValue(c.get(), "INTERF"), interf);
        QCOMPARE(cmd->value("INTERF"), interf);

        r = importNow(c.get(), path);
        QCOMPARE(r.value("result"), QString("1"));
        QVERIFY(!r.contains("Reboot"));
        QVERIFY(r.value("ChangedCmds").isEmpty());
        QCOMPARE(reboot.size(), 1);
    }

    void importOfUnreadableFileSendsNothing()
    {
        Started vp;
        QVERIFY2(vp.start({}), qPrintable(vp.why));
        auto &c = vp.connector;
        QTemporaryDir dir;
        const QString path = dir.filePath("broken.xml");
        QVERIFY(KxConfigFile::writeFile(path, "<Brevan DeviceType=\"x\"><Command"));
        QCOMPARE(KxConfigFileIO::checkImportFile(c.get(), path), 2);
        const KxConfigFileIO::ImportResult r = importNow(c.get(), path);
        QCOMPARE(r.value("result"), QString("0"));
        QVERIFY(!r.contains("FailCmdsCnt"));
        QCOMPARE(KxConfigFileIO::checkImportFile(c.get(), dir.filePath("none.xml")), 1);
    }

    void exportWithoutReaderFails()
    {
        QTemporaryDir dir;
        QString error;
        QVERIFY(!KxConfigFileIO::exportToFile(nullptr, dir.filePath("x.xml"), &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!QFile::exists(dir.filePath("x.xml")));
    }
};

QTEST_MAIN(TestConfigFileVReader)
#include "tst_configfilevreader.moc"
