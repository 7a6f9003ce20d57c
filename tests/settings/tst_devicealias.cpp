// The local alias file: round trips, rewrites, unicode and damaged files.
#include "SettingsTestEnv.h"

#include <QJsonDocument>
#include <QJsonObject>

#include "KxDeviceAlias.h"

using namespace settingstest;

class TestDeviceAlias : public QObject
{
    Q_OBJECT
private:
    QScopedPointer<QTemporaryDir> m_data;
    QString aliasFile() const { return m_data->path() + QStringLiteral("/alias.ini"); }

    QJsonObject fileObject() const
    {
        const QJsonDocument doc = QJsonDocument::fromJson(readFile(aliasFile()));
        return doc.object();
    }

private slots:
    void init()
    {
        m_data.reset(new QTemporaryDir);
        QVERIFY(m_data->isValid());
        KxConfig::instance()->setDataDir(m_data->path());
        KxDeviceAlias::instance()->load(KxConfig::instance()->aliasFile());
        QCOMPARE(KxDeviceAlias::instance()->file(), aliasFile());
    }

    void roundTrip()
    {
        KxDeviceAlias *aliases = KxDeviceAlias::instance();
        QVERIFY(aliases->setAlias(QStringLiteral("SN001"), QStringLiteral("Line 1 entry")));
        QVERIFY(aliases->setAlias(QStringLiteral("SN002"), QString::fromUtf8("包装线 2号 ✓")));
        QVERIFY(aliases->setAlias(QStringLiteral("SN003"), QStringLiteral("Dock \"east\"")));

        // Reading the file anew gives the same map.
        aliases->load(aliasFile());
        QCOMPARE(aliases->alias(QStringLiteral("SN001")), QStringLiteral("Line 1 entry"));
        QCOMPARE(aliases->alias(QStringLiteral("SN002")), QString::fromUtf8("包装线 2号 ✓"));
        QCOMPARE(aliases->alias(QStringLiteral("SN003")), QStringLiteral("Dock \"east\""));
        QCOMPARE(aliases->aliases().size(), 3);

        // One indented UTF-8 JSON object.
        const QByteArray content = readFile(aliasFile());
        QVERIFY(content.contains("\n    \"SN001\": \"Line 1 entry\""));
        QVERIFY(content.contains(QString::fromUtf8("包装线").toUtf8()));
        QCOMPARE(fileObject().size(), 3);
    }

    void rewriteKeepsOthers()
    {
        KxDeviceAlias *aliases = KxDeviceAlias::instance();
        QVERIFY(aliases->setAlias(QStringLiteral("A"), QStringLiteral("first")));
        QVERIFY(aliases->setAlias(QStringLiteral("B"), QStringLiteral("second")));
        QVERIFY(aliases->setAlias(QStringLiteral("A"), QStringLiteral("renamed")));
        const QJsonObject object = fileObject();
        QCOMPARE(object.value(QStringLiteral("A")).toString(), QStringLiteral("renamed"));
        QCOMPARE(object.value(QStringLiteral("B")).toString(), QStringLiteral("second"));
        QCOMPARE(object.size(), 2);
        // No temporary file is left behind.
        QCOMPARE(QDir(m_data->path()).entryList(QDir::Files), QStringList{"alias.ini"});
    }

    void emptyTextRemovesAlias()
    {
        KxDeviceAlias *aliases = KxDeviceAlias::instance();
        QVERIFY(aliases->setAlias(QStringLiteral("A"), QStringLiteral("first")));
        QVERIFY(aliases->setAlias(QStringLiteral("B"), QStringLiteral("second")));
        QVERIFY(aliases->setAlias(QStringLiteral("A"), QString()));
        QVERIFY(aliases->alias(QStringLiteral("A")).isEmpty());
        QVERIFY(!fileObject().contains(QStringLiteral("A")));
        QCOMPARE(fileObject().value(QStringLiteral("B")).toString(), QStringLiteral("second"));
    }

    void emptyKey()
    {
        KxDeviceAlias *aliases = KxDeviceAlias::instance();
        QVERIFY(!aliases->setAlias(QString(), QStringLiteral("nobody")));
        QVERIFY(aliases->alias(QString()).isEmpty());
        QVERIFY(!QFileInfo::exists(aliasFile()));
    }

    void lookupByAlias()
    {
        KxDeviceAlias *aliases = KxDeviceAlias::instance();
        QVERIFY(aliases->setAlias(QStringLiteral("SN9"), QStringLiteral("Gate")));
        QCOMPARE(aliases->keyOfAlias(QStringLiteral("Gate")), QStringLiteral("SN9"));
        QVERIFY(aliases->keyOfAlias(QStringLiteral("gate")).isEmpty());
        QVERIFY(aliases->keyOfAlias(QString()).isEmpty());
    }

    void damagedFile_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("truncated") << QByteArray("{\n    \"SN1\": \"Li");
        QTest::newRow("array") << QByteArray("[\"SN1\", \"Line\"]");
        QTest::newRow("ini text") << QByteArray("[General]\nSN1=Line\n");
        QTest::newRow("binary") << QByteArray("\x00\xff\xfe{", 4);
    }

    void damagedFile()
    {
        QFETCH(QByteArray, content);
        QVERIFY(writeFile(aliasFile(), content));
        KxDeviceAlias *aliases = KxDeviceAlias::instance();
        aliases->load(aliasFile());
        QVERIFY(aliases->aliases().isEmpty());
        // The damaged content is kept aside before the next write replaces it.
        QCOMPARE(readFile(aliasFile() + QStringLiteral(".corrupt")), content);
        QVERIFY(aliases->setAlias(QStringLiteral("SN2"), QStringLiteral("Fresh")));
        QCOMPARE(fileObject().value(QStringLiteral("SN2")).toString(), QStringLiteral("Fresh"));
        QCOMPARE(readFile(aliasFile() + QStringLiteral(".corrupt")), content);
    }

    void nonTextValuesIgnored()
    {
        QVERIFY(writeFile(aliasFile(), R"({"SN1": "Line", "SN2": 5, "SN3": null, "": "x"})"));
        KxDeviceAlias *aliases = KxDeviceAlias::instance();
        aliases->load(aliasFile());
        QCOMPARE(aliases->aliases().size(), 1);
        QCOMPARE(aliases->alias(QStringLiteral("SN1")), QStringLiteral("Line"));
    }

    void unwritableDirectory()
    {
        KxDeviceAlias *aliases = KxDeviceAlias::instance();
        aliases->load(m_data->path() + QStringLiteral("/missing/dir/alias.ini"));
        QVERIFY(!aliases->setAlias(QStringLiteral("SN1"), QStringLiteral("Line")));
        // Kept for the session even though it could not be written.
        QCOMPARE(aliases->alias(QStringLiteral("SN1")), QStringLiteral("Line"));
    }
};

SETTINGS_TEST_MAIN(TestDeviceAlias)
#include "tst_devicealias.moc"
