// Key translation: plain texts, suffix variants, misses, language files and overlays.
#include <QTemporaryDir>
#include <QtTest>

#include "KxI18nUtil.h"

namespace {

bool writeLanguageFile(const QString &dir, const QString &lang, const QByteArray &body)
{
    QDir().mkpath(dir + QStringLiteral("/i18n"));
    QFile file(QStringLiteral("%1/i18n/%2.xml").arg(dir, lang));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    file.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<language>\n" + body + "</language>\n");
    return true;
}

} // namespace

class TestI18nUtil : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QString resources() const { return m_dir.path() + QStringLiteral("/resources"); }
    QString model() const { return m_dir.path() + QStringLiteral("/model"); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(writeLanguageFile(resources(), QStringLiteral("en"),
                                  "<property id=\"IDS_X\">a:first|b:second</property>\n"
                                  "<property id=\"IDS_Gaps\">|a:first||b:second|</property>\n"
                                  "<property id=\"IDS_Colon\">a:x:y|b:z</property>\n"
                                  "<property id=\"IDS_NoName\">b|a:first</property>\n"
                                  "<property id=\"IDS_Plain\">Hello</property>\n"
                                  "<property id=\"IDS_Empty\"></property>\n"
                                  "<property id=\"IDS_Shared\">from main</property>\n"));
        QVERIFY(writeLanguageFile(model(), QStringLiteral("en"),
                                  "<property id=\"IDS_ModelOnly\">model text</property>\n"
                                  "<property id=\"IDS_Shared\">from model</property>\n"));
    }

    void init()
    {
        KxI18nUtil *i18n = KxI18nUtil::instance();
        i18n->clear();
        QVERIFY(i18n->loadMain(resources(), QStringLiteral("en")));
        i18n->loadDeviceModel(model(), QStringLiteral("en"));
    }

    void translate_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("found");

        QTest::newRow("variant b") << "#IDS_X" << "b" << "second" << true;
        QTest::newRow("variant a") << "#IDS_X" << "a" << "first" << true;
        QTest::newRow("no such variant") << "#IDS_X" << "c" << "IDS_X_c" << false;
        QTest::newRow("whole text without suffix") << "#IDS_X" << "" << "a:first|b:second" << true;
        QTest::newRow("empty parts skipped") << "#IDS_Gaps" << "b" << "second" << true;
        QTest::newRow("text keeps later colons") << "#IDS_Colon" << "a" << "x:y" << true;
        QTest::newRow("part without a name never matches") << "#IDS_NoName" << "b" << "IDS_NoName_b"
                                                          << false;
        QTest::newRow("plain key") << "#IDS_Plain" << "" << "Hello" << true;
        QTest::newRow("empty translation is found") << "#IDS_Empty" << "" << "" << true;
        QTest::newRow("miss") << "#IDS_Missing" << "" << "IDS_Missing" << false;
        QTest::newRow("miss with suffix") << "#IDS_Missing" << "x" << "IDS_Missing_x" << false;
        QTest::newRow("plain text with suffix") << "Plain" << "x" << "Plain_x" << true;
        QTest::newRow("plain text") << "Plain" << "" << "Plain" << true;
        QTest::newRow("empty text") << "" << "" << "" << true;
        QTest::newRow("device model map") << "#IDS_ModelOnly" << "" << "model text" << true;
        QTest::newRow("main map before model map") << "#IDS_Shared" << "" << "from main" << true;
        QTest::newRow("case matters") << "#ids_plain" << "" << "ids_plain" << false;
    }

    void translate()
    {
        QFETCH(QString, key);
        QFETCH(QString, suffix);
        QFETCH(QString, expected);
        QFETCH(bool, found);
        bool isFound = !found;
        QCOMPARE(KxI18nUtil::instance()->translate(key, suffix, &isFound), expected);
        QCOMPARE(isFound, found);
        QCOMPARE(kxTr(key, suffix), expected);
    }

    void readLanguageFileSkipsEmptyIds()
    {
        const QString path = m_dir.path() + QStringLiteral("/ids.xml");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("<language><property id=\"\">lost</property><property>no id</property>"
                   "<property id=\"#IDS_Hash\">hash</property>"
                   "<property id=\" IDS_Space \">space</property>"
                   "<property id=\"IDS_Zh\">\xe5\x85\xb3\xe4\xba\x8e</property></language>");
        file.close();
        bool ok = false;
        const QHash<QString, QString> texts = KxI18nUtil::readLanguageFile(path, &ok);
        QVERIFY(ok);
        QCOMPARE(texts.size(), 3);
        QVERIFY(!texts.contains(QString()));
        QCOMPARE(texts.value(QStringLiteral("IDS_Hash")), QStringLiteral("hash"));
        QCOMPARE(texts.value(QStringLiteral("IDS_Space")), QStringLiteral("space"));
        QCOMPARE(texts.value(QStringLiteral("IDS_Zh")), QString::fromUtf8("关于"));
    }

    void readLanguageFileFailures_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("not xml") << QByteArray("this is not xml <<<");
        QTest::newRow("truncated") << QByteArray("<language><property id=\"IDS_A\">A</prop");
        QTest::newRow("empty") << QByteArray();
    }

    void readLanguageFileFailures()
    {
        QFETCH(QByteArray, content);
        const QString path = m_dir.path() + QStringLiteral("/bad.xml");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
        file.close();
        bool ok = true;
        QVERIFY(KxI18nUtil::readLanguageFile(path, &ok).isEmpty());
        QVERIFY(!ok);
    }

    void missingFileLeavesMapEmpty()
    {
        bool ok = true;
        QVERIFY(KxI18nUtil::readLanguageFile(m_dir.path() + QStringLiteral("/none.xml"), &ok)
                    .isEmpty());
        QVERIFY(!ok);
        KxI18nUtil *i18n = KxI18nUtil::instance();
        QVERIFY(!i18n->loadMain(m_dir.path() + QStringLiteral("/nowhere"), QStringLiteral("en")));
        bool found = true;
        QCOMPARE(i18n->translate(QStringLiteral("#IDS_Plain"), QString(), &found),
                 QStringLiteral("IDS_Plain"));
        QVERIFY(!found);
    }

    void overlayWins()
    {
        KxI18nUtil *i18n = KxI18nUtil::instance();
        QHash<QString, QString> custom;
        custom.insert(QStringLiteral("IDS_Plain"), QStringLiteral("Custom"));
        custom.insert(QStringLiteral("#IDS_New"), QStringLiteral("Added"));
        i18n->overlayMain(custom);
        QCOMPARE(i18n->translate(QStringLiteral("#IDS_Plain")), QStringLiteral("Custom"));
        QCOMPARE(i18n->translate(QStringLiteral("#IDS_New")), QStringLiteral("Added"));
        // Untouched keys keep their texts.
        QCOMPARE(i18n->translate(QStringLiteral("#IDS_X"), QStringLiteral("a")),
                 QStringLiteral("first"));
    }

    void deviceModelMapIsReplaced()
    {
        KxI18nUtil *i18n = KxI18nUtil::instance();
        QCOMPARE(i18n->translate(QStringLiteral("#IDS_ModelOnly")), QStringLiteral("model text"));
        // Another model without a language file: the previous model's texts are gone.
        i18n->loadDeviceModel(m_dir.path() + QStringLiteral("/other"), QStringLiteral("en"));
        bool found = true;
        QCOMPARE(i18n->translate(QStringLiteral("#IDS_ModelOnly"), QString(), &found),
                 QStringLiteral("IDS_ModelOnly"));
        QVERIFY(!found);
        QCOMPARE(i18n->translate(QStringLiteral("#IDS_Plain")), QStringLiteral("Hello"));
    }
};

QTEST_GUILESS_MAIN(TestI18nUtil)
#include "tst_i18nutil.moc"
