// Local settings, FTP defaults, training readers, user-defined file and the settings hooks.
#include "SettingsTestEnv.h"

#include "KxSettings.h"

using namespace settingstest;

namespace {

class RecordingKit : public IKxDeviceKitTimes
{
public:
    QList<int> refresh;
    QList<int> alive;
    void setRefreshTime(int time) override { refresh << time; }
    void setCheckDeviceAliveTime(int time) override { alive << time; }
};

QByteArray localSettingXml(const QList<QPair<QByteArray, QByteArray>> &controls)
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Controls>\n";
    for (const auto &c : controls)
        xml += "<Control><ConfigNode>" + c.first + "</ConfigNode><Default>" + c.second
               + "</Default></Control>\n";
    return xml + "</Controls>\n";
}

QString appProperty(const QString &name)
{
    return qApp->property(name.toUtf8().constData()).toString();
}

} // namespace

class TestLocalSettings : public QObject
{
    Q_OBJECT
private:
    QScopedPointer<QTemporaryDir> m_data;
    QTemporaryDir m_files;
    KxSettings *settings() { return KxSettings::instance(); }
    QString xmlPath() const { return m_files.path() + QStringLiteral("/localsetting.xml"); }

private slots:
    void init()
    {
        // A fresh profile for every case: new data directory, no download folder yet.
        m_data.reset(new QTemporaryDir);
        QVERIFY(m_data->isValid());
        KxConfig::instance()->setDataDir(m_data->path());
        QDir(downloadPath()).removeRecursively();
        settings()->setDeviceKitTimes(nullptr);
    }

    // Indexes outside a table fall back to its default; other keys keep their number.
    void numberTables_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("expected");
        QTest::newRow("space past end") << "miniFreeReservedSpace" << 4 << 1;
        QTest::newRow("space negative") << "miniFreeReservedSpace" << -1 << 1;
        QTest::newRow("images past end") << "imageSaveDate" << 8 << 3;
        QTest::newRow("images negative") << "imageSaveDate" << -3 << 3;
        QTest::newRow("statistics past end") << "statisticsSaveDate" << 5 << 30;
        QTest::newRow("other key unchanged") << "imageSaveMaxCount" << 50000 << 50000;
        QTest::newRow("other key negative") << "netDevFreshTimes" << -2 << -2;
    }

    void numberTables()
    {
        QFETCH(QString, key);
        QFETCH(int, index);
        QFETCH(int, expected);
        QCOMPARE(KxSettings::mapLocalSettingNumber(key, index), expected);
    }

    void numberFromStoredText()
    {
        QVERIFY(writeFile(xmlPath(), localSettingXml({{"imageSaveDate", "6"},
                                                      {"miniFreeReservedSpace", "junk"},
                                                      {"imageSaveMaxCount", "1234"}})));
        settings()->loadLocalSettings(xmlPath());
        QCOMPARE(settings()->localSettingNumber(QStringLiteral("imageSaveDate")), 60);
        QCOMPARE(settings()->localSettingNumber(QStringLiteral("miniFreeReservedSpace")), 1);
        QCOMPARE(settings()->localSettingNumber(QStringLiteral("imageSaveMaxCount")), 1234);
    }

    void defaultsStoredAndPublished()
    {
        QVERIFY(writeFile(xmlPath(), localSettingXml({{"imageQuality", "2"},
                                                      {"imageFileType", " 0 "},
                                                      {"", "ignored"}})));
        settings()->setValue(QStringLiteral("default"), QStringLiteral("imageFileType"),
                             QStringLiteral("3"));
        settings()->loadLocalSettings(xmlPath());
        QCOMPARE(settings()->value(QStringLiteral("default"), QStringLiteral("imageQuality")).toString(),
                 QStringLiteral("2"));
        QCOMPARE(appProperty(QStringLiteral("localSetting_imageQuality")), QStringLiteral("2"));
        // A stored choice is never replaced by the default.
        QCOMPARE(appProperty(QStringLiteral("localSetting_imageFileType")), QStringLiteral("3"));
        QCOMPARE(settings()->localSetting(QStringLiteral("imageFileType")), QStringLiteral("3"));
    }

    void userDownloadOnFreshProfile()
    {
        QVERIFY(!QFileInfo::exists(downloadPath()));
        QVERIFY(writeFile(xmlPath(), localSettingXml({{"imagePath", "%USERDOWNLOAD%"}})));
        settings()->loadLocalSettings(xmlPath());
        const QString stored =
            settings()->value(QStringLiteral("default"), QStringLiteral("imagePath")).toString();
        QCOMPARE(stored, downloadPath());
        QVERIFY(QFileInfo(downloadPath()).isDir());
        QCOMPARE(settings()->localSetting(QStringLiteral("imagePath")), downloadPath());
    }

    void imagePathLength_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("replaced");
        QTest::newRow("300 kept") << 300 << false;
        QTest::newRow("301 replaced") << 301 << true;
        QTest::newRow("1000 replaced") << 1000 << true;
    }

    void imagePathLength()
    {
        QFETCH(int, length);
        QFETCH(bool, replaced);
        QString longPath = QStringLiteral("/images/");
        longPath += QString(length - longPath.size(), QLatin1Char('p'));
        QCOMPARE(longPath.size(), length);
        settings()->setValue(QStringLiteral("default"), QStringLiteral("imagePath"), longPath);
        QVERIFY(writeFile(xmlPath(), localSettingXml({{"imagePath", "%USERDOWNLOAD%"}})));
        settings()->loadLocalSettings(xmlPath());
        const QString expected = replaced ? downloadPath() : longPath;
        QCOMPARE(settings()->value(QStringLiteral("default"), QStringLiteral("imagePath")).toString(),
                 expected);
        QCOMPARE(appProperty(QStringLiteral("localSetting_imagePath")), expected);
        QCOMPARE(QFileInfo(downloadPath()).isDir(), replaced);
    }

    void missingLocalSettingFileChangesNothing()
    {
        settings()->loadLocalSettings(m_files.path() + QStringLiteral("/absent.xml"));
        QVERIFY(!QFileInfo::exists(KxConfig::instance()->settingsFile()));
    }

    void ftpSeeding_data()
    {
        QTest::addColumn<QString>("storedDir");
        QTest::addColumn<bool>("reset");
        QTest::newRow("empty") << QString() << true;
        QTest::newRow("301 characters") << QString(300, QLatin1Char('d')).prepend(QLatin1Char('/'))
                                        << true;
        QTest::newRow("own folder kept") << QStringLiteral("@DATA@/myftp") << false;
    }

    void ftpSeeding()
    {
        QFETCH(QString, storedDir);
        QFETCH(bool, reset);
        storedDir.replace(QStringLiteral("@DATA@"), m_data->path());
        const QString ftp = QStringLiteral("ftp");
        if (!storedDir.isEmpty())
            settings()->setValue(ftp, QStringLiteral("dir"), storedDir);
        settings()->setValue(ftp, QStringLiteral("port"), 2121);
        settings()->seedFtpSettings();

        const QString expectedDir = reset ? downloadPath() + QStringLiteral("/ftp") : storedDir;
        QCOMPARE(settings()->value(ftp, QStringLiteral("dir")).toString(), expectedDir);
        QVERIFY(QFileInfo(expectedDir).isDir());
        QCOMPARE(settings()->value(ftp, QStringLiteral("port")).toInt(), 2121);
        QCOMPARE(settings()->value(ftp, QStringLiteral("user")).toString(), QStringLiteral("admin"));
        QCOMPARE(settings()->value(ftp, QStringLiteral("password")).toString(),
                 QStringLiteral("vexor"));
        QCOMPARE(settings()->value(ftp, QStringLiteral("ftpRemoveStrategy")).toInt(), 0);
        QCOMPARE(settings()->value(ftp, QStringLiteral("ftpSaveDate")).toInt(), 7);
        QCOMPARE(settings()->value(ftp, QStringLiteral("ftpSaveMaxCount")).toInt(), 50000);
    }

    void trainingDevices()
    {
        const QString path = m_files.path() + QStringLiteral("/devices.xml");
        QVERIFY(writeFile(path, "<Devices><Device>  KXS-XY100 \n</Device><Device></Device>"
                                "<Device>KXS-XY200</Device><Device>KXS-XY100</Device></Devices>"));
        settings()->loadTrainingDevices(path);
        QCOMPARE(qApp->property("Training_DevPNameList").toStringList(),
                 QStringList({QStringLiteral("KXS-XY100"), QStringLiteral("KXS-XY200")}));
        settings()->loadTrainingDevices(m_files.path() + QStringLiteral("/absent.xml"));
        QVERIFY(qApp->property("Training_DevPNameList").toStringList().isEmpty());
    }

    void userDefinedFile()
    {
        const QString path = m_files.path() + QStringLiteral("/userdefined.xml");
        QVERIFY(writeFile(path, "<userdefined><language><property id=\"IDS_About\">Info</property>"
                                "<property id=\"\">x</property></language>"
                                "<Upgrade region=\"#IDS_Region_CN\"/></userdefined>"));
        QVERIFY(settings()->loadUserDefined(path));
        QCOMPARE(settings()->region(), QStringLiteral("#IDS_Region_CN"));
        QVERIFY(settings()->hasRegion());
        QCOMPARE(settings()->value(QStringLiteral("userdefined"), QStringLiteral("region")).toString(),
                 QStringLiteral("#IDS_Region_CN"));
        const auto texts = settings()->userDefinedTexts();
        QCOMPARE(texts.size(), 1);
        QCOMPARE(texts.value(QStringLiteral("IDS_About")), QStringLiteral("Info"));
        QVERIFY(!settings()->loadUserDefined(m_files.path() + QStringLiteral("/absent.xml")));
        QVERIFY(settings()->userDefinedTexts().isEmpty());
    }

    void kitHooks()
    {
        RecordingKit kit;
        settings()->setDeviceKitTimes(&kit);
        settings()->setValue(QStringLiteral("default"), QStringLiteral("netDevFreshTimes"), 5);
        settings()->setValue(QStringLiteral("default"), QStringLiteral("deviceAliveTimes"),
                             QStringLiteral("12"));
        // The same key in another group is just a value.
        settings()->setValue(QStringLiteral("ftp"), QStringLiteral("netDevFreshTimes"), 9);
        settings()->setDeviceKitTimes(nullptr);
        QCOMPARE(kit.refresh, QList<int>({5}));
        QCOMPARE(kit.alive, QList<int>({12}));
        QCOMPARE(settings()->value(QStringLiteral("default"), QStringLiteral("netDevFreshTimes")).toInt(),
                 5);
    }

    void cmdInputTypeSignal()
    {
        QSignalSpy spy(settings(), &KxSettings::updateCmdInputType);
        settings()->setValue(QStringLiteral("default"), QStringLiteral("cmdInputType"),
                             QStringLiteral("hex"));
        settings()->setValue(QStringLiteral("DEBUG"), QStringLiteral("cmdInputType"),
                             QStringLiteral("text"));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toString(), QStringLiteral("hex"));
    }

    void changedLocalSettingIsPublished()
    {
        QVERIFY(writeFile(xmlPath(), localSettingXml({{"imageStrategy", "1"}})));
        settings()->loadLocalSettings(xmlPath());
        QCOMPARE(settings()->localSetting(QStringLiteral("imageStrategy")), QStringLiteral("1"));
        settings()->setValue(QStringLiteral("default"), QStringLiteral("imageStrategy"), 0);
        QCOMPARE(settings()->localSetting(QStringLiteral("imageStrategy")), QStringLiteral("0"));
    }

    void unicodeValuesSurvive()
    {
        const QString path = QString::fromUtf8("/数据/图像 files");
        settings()->setValue(QStringLiteral("logUpdate"), QStringLiteral("dir"), path);
        QCOMPARE(settings()->value(QStringLiteral("logUpdate"), QStringLiteral("dir")).toString(), path);
        QVERIFY(readFile(KxConfig::instance()->settingsFile()).contains(path.toUtf8()));
    }

    void noDataDirWritesNothing()
    {
        KxConfig::instance()->setDataDir(QString());
        settings()->setValue(QStringLiteral("default"), QStringLiteral("imageQuality"), 4);
        QCOMPARE(settings()->value(QStringLiteral("default"), QStringLiteral("imageQuality"),
                                   QStringLiteral("none")).toString(),
                 QStringLiteral("none"));
        QVERIFY(QDir(m_data->path()).entryList(QDir::Files).isEmpty());
    }

    void styleSheetColour_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("colour");
        const QString head(20, QLatin1Char('x'));
        QTest::newRow("colour at 20") << head + QStringLiteral("#0c3484;}") << "#0c3484";
        QTest::newRow("upper case") << head + QStringLiteral("#F9F9F9") << "#f9f9f9";
        QTest::newRow("not hex") << head + QStringLiteral("#zz3484") << "";
        QTest::newRow("short colour") << head + QStringLiteral("#fff; color") << "";
        QTest::newRow("too short") << QStringLiteral("#0c3484") << "";
    }

    void styleSheetColour()
    {
        QFETCH(QString, text);
        QFETCH(QString, colour);
        const QColor c = KxSettings::styleSheetPaletteColor(text);
        QCOMPARE(c.isValid(), !colour.isEmpty());
        if (c.isValid())
            QCOMPARE(c.name(), colour);
    }

    void styleSheetStopsAtNul()
    {
        const QString path = m_files.path() + QStringLiteral("/style.css");
        QVERIFY(writeFile(path, QByteArray("QWidget{color:red;}\0garbage", 27)));
        QCOMPARE(KxSettings::readStyleSheet(path), QStringLiteral("QWidget{color:red;}"));
        QVERIFY(KxSettings::readStyleSheet(m_files.path() + QStringLiteral("/none.css")).isEmpty());
    }
};

SETTINGS_TEST_MAIN(TestLocalSettings)
#include "tst_localsettings.moc"
