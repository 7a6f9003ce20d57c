// brevan --setting-codes: an exported configuration file in, a PDF out whose pages decode to the
// codes of its commands in order; mistakes end with a message and no file.
#include "KxConfigFile.h"
#include "SettingCodeCommands.h"
#include "SettingCodeSheet.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class TestSettingCodesCli : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QString m_config;
    KxConfigEntries m_entries;

    int brevan(const QStringList &args, QByteArray *err)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KX_DATA_PATH"), m_dir.path() + QStringLiteral("/data"));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(BREVAN_BIN_DIR "/brevan"), args);
        if (!p.waitForFinished(120000)) {
            p.kill();
            p.waitForFinished(5000);
            return -1;
        }
        *err = p.readAllStandardError();
        return p.exitCode();
    }

    // Reads the codes of every page top to bottom (pages cut into bands at blank rows).
    QStringList readPdf(const QString &pdf)
    {
        const QString prefix = m_dir.path() + QStringLiteral("/pg");
        QProcess p;
        p.start(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("300"),
                                             QStringLiteral("-gray"), QStringLiteral("-png"), pdf, prefix});
        if (!p.waitForFinished(120000) || p.exitCode() != 0)
            return {};
        QStringList read;
        const QStringList pages = QDir(m_dir.path()).entryList({QStringLiteral("pg*.png")}, QDir::Files, QDir::Name);
        for (const QString &name : pages) {
            const QImage grey = QImage(m_dir.path() + QLatin1Char('/') + name).convertToFormat(QImage::Format_Grayscale8);
            int start = -1;
            for (int y = 0; y <= grey.height(); ++y) {
                bool blank = true;
                for (int x = 0; y < grey.height() && x < grey.width() && blank; ++x)
                    blank = grey.constScanLine(y)[x] > 128;
                if (!blank && start < 0)
                    start = y;
                if (blank && start >= 0) {
                    if (y - start > 20)
                        read << SettingCodeEncoder::decode(grey.copy(0, qMax(0, start - 10), grey.width(), y - start + 20));
                    start = -1;
                }
            }
            QFile::remove(m_dir.path() + QLatin1Char('/') + name);
        }
        return read;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_entries = {{QStringLiteral("EXPTIM"), QStringLiteral("1200")},
                     {QStringLiteral("GAINVL"), QStringLiteral("8")},
                     {QStringLiteral("DFMSET"), QStringLiteral("1A|2B")},
                     {QStringLiteral("FOCPOS"), QStringLiteral("345")}};
        m_config = m_dir.path() + QStringLiteral("/reader.xml");
        QVERIFY(KxConfigFile::writeFile(m_config, KxConfigFile::toXml(QStringLiteral("KXS-FM800"), m_entries)));
    }

    void printsDecodableCodes_data()
    {
        QTest::addColumn<QString>("encode");
        QTest::newRow("qr") << "qr";
        QTest::newRow("code 128") << "1d";
        QTest::newRow("data matrix") << "dm";
    }
    void printsDecodableCodes()
    {
        QFETCH(QString, encode);
        const QString pdf = m_dir.path() + QStringLiteral("/codes-%1.pdf").arg(encode);
        QByteArray err;
        QCOMPARE(brevan({QStringLiteral("--setting-codes"), m_config, QStringLiteral("--encode"), encode,
                         QStringLiteral("--out"), pdf}, &err), 0);
        QStringList commands;
        for (const KxConfigEntry &e : qAsConst(m_entries))
            SettingCodeCommands::addCommand(&commands, e.code, e.value);
        SettingCodeSheet::Options o;
        QVERIFY(SettingCodeEncoder::typeFromName(encode, &o.type));
        o.digitMode = o.type == SettingCodeType::Code128;
        const QStringList expected = SettingCodeSheet::codeTexts(commands, o);
        QVERIFY(expected.contains(QStringLiteral("@SETUPE1")));
        QCOMPARE(readPdf(pdf), expected);
    }

    void mistakesEndWithAMessage_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown encode") << QStringList{"--encode", "aztec"} << "unknown --encode";
        QTest::newRow("not a configuration") << QStringList{"--setting-codes-file-missing"}
                                              << m_dir.path() + "/missing.xml is not a configuration file";
    }
    void mistakesEndWithAMessage()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        const QString pdf = m_dir.path() + QStringLiteral("/never.pdf");
        QStringList all;
        if (args.first() == QLatin1String("--setting-codes-file-missing"))
            all = QStringList{QStringLiteral("--setting-codes"), m_dir.path() + QStringLiteral("/missing.xml"),
                              QStringLiteral("--out"), pdf};
        else
            all = QStringList{QStringLiteral("--setting-codes"), m_config, QStringLiteral("--out"), pdf} + args;
        QByteArray err;
        QVERIFY(brevan(all, &err) != 0);
        QVERIFY2(err.contains("brevan: " + message.toUtf8()), err.constData());
        QVERIFY(!QFile::exists(pdf));
    }
};

QTEST_MAIN(TestSettingCodesCli)
#include "tst_settingcodescli.moc"
