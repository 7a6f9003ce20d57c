// Language list, the start-up language chain, applying a language and the whole init().
#include "SettingsTestEnv.h"

#include <QLocale>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>

#include "KxI18nUtil.h"
#include "KxSettings.h"

using namespace settingstest;

namespace {

const QByteArray kLanguages = R"({"languages": [
    {"id": "en", "display": "English"},
    {"id": "zh_cn", "display": "简体中文"}]})";

QSettings *registry()
{
    static QSettings native(QSettings::NativeFormat, QSettings::UserScope,
                            QStringLiteral("Brevan"), QStringLiteral("Brevan"));
    return &native;
}

} // namespace

class TestLanguage : public QObject
{
    Q_OBJECT
private:
    QScopedPointer<QTemporaryDir> m_data;
    QScopedPointer<QTemporaryDir> m_install;
    KxSettings *settings() { return KxSettings::instance(); }
    QString resources() const { return m_install->path() + QStringLiteral("/models/resources"); }
    QString storedLanguage()
    {
        return settings()->value(QStringLiteral("default"), QStringLiteral("language")).toString();
    }

private slots:
    void init()
    {
        m_data.reset(new QTemporaryDir);
        m_install.reset(new QTemporaryDir);
        QVERIFY(m_data->isValid() && m_install->isValid());
        KxConfig::instance()->setDataDir(m_data->path());
        KxConfig::instance()->setInstallDir(m_install->path());
        QVERIFY(writeFile(resources() + QStringLiteral("/languages.json"), kLanguages));
        QVERIFY(writeFile(resources() + QStringLiteral("/i18n/en.xml"),
                          "<language><property id=\"IDS_About\">About</property>"
                          "<property id=\"IDS_OK\">OK</property></language>"));
        QVERIFY(writeFile(resources() + QStringLiteral("/i18n/zh_cn.xml"),
                          "<language><property id=\"IDS_About\">\xe5\x85\xb3\xe4\xba\x8e</property>"
                          "<property id=\"IDS_OK\">\xe7\xa1\xae\xe5\xae\x9a</property></language>"));
        registry()->remove(QStringLiteral("language"));
        registry()->sync();
    }

    void languageList_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QStringList>("ids");
        QTest::newRow("both listed") << kLanguages << QStringList{"en", "zh_cn"};
        QTest::newRow("enable 0 hidden, missing enable listed")
            << QByteArray(R"({"languages":[{"id":"en","display":"English","enable":1},
                {"id":"de","display":"Deutsch","enable":0},{"id":"fr","display":"Francais"}]})")
            << QStringList{"en", "fr"};
        QTest::newRow("empty id or display skipped")
            << QByteArray(R"({"languages":[{"id":"","display":"Nobody"},{"id":"ja","display":""},
                {"display":"No id"},{"id":"ko","display":"Korean"}]})")
            << QStringList{"ko"};
        QTest::newRow("enable false hidden")
            << QByteArray(R"({"languages":[{"id":"en","display":"English","enable":false}]})")
            << QStringList{};
        QTest::newRow("not an object") << QByteArray("[1,2,3]") << QStringList{};
        QTest::newRow("broken json") << QByteArray("{\"languages\": [") << QStringList{};
        QTest::newRow("no languages member") << QByteArray("{}") << QStringList{};
    }

    void languageList()
    {
        QFETCH(QByteArray, json);
        QFETCH(QStringList, ids);
        QVERIFY(writeFile(resources() + QStringLiteral("/languages.json"), json));
        QStringList listed;
        const auto languages = KxConfig::instance()->languages();
        for (const auto &entry : languages) {
            listed << entry.first;
            QVERIFY(!entry.second.isEmpty());
        }
        QCOMPARE(listed, ids);
    }

    void languageListMissingFile()
    {
        QVERIFY(QFile::remove(resources() + QStringLiteral("/languages.json")));
        QVERIFY(KxConfig::instance()->languages().isEmpty());
    }

    void chain_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("registryValue");
        QTest::addColumn<QByteArray>("configIni"); // empty: no config.ini
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("expected");
        QTest::newRow("stored wins") << "en" << "zh_cn" << QByteArray("[default]\nlanguage=zh_cn\n")
                                     << "zh_CN" << "en";
        QTest::newRow("registry") << "" << "zh_cn" << QByteArray("[default]\nlanguage=en\n")
                                  << "en_US" << "zh_cn";
        QTest::newRow("config.ini") << "" << "" << QByteArray("[default]\nlanguage=zh_cn\n")
                                    << "en_US" << "zh_cn";
        QTest::newRow("config.ini without language") << "" << "" << QByteArray("[other]\nx=1\n")
                                                     << "zh_CN" << "en";
        QTest::newRow("chinese locale") << "" << "" << QByteArray() << "zh_CN" << "zh_cn";
        QTest::newRow("taiwan locale") << "" << "" << QByteArray() << "zh_TW" << "zh_cn";
        QTest::newRow("english locale") << "" << "" << QByteArray() << "en_GB" << "en";
        QTest::newRow("german locale") << "" << "" << QByteArray() << "de_DE" << "en";
    }

    void chain()
    {
        QFETCH(QString, stored);
        QFETCH(QString, registryValue);
        QFETCH(QByteArray, configIni);
        QFETCH(QString, locale);
        QFETCH(QString, expected);
        const QString ini = m_install->path() + QStringLiteral("/config.ini");
        if (!configIni.isEmpty())
            QVERIFY(writeFile(ini, configIni));
        QCOMPARE(KxSettings::chooseLanguage(stored, registryValue, ini, QLocale(locale)), expected);
    }

    void firstAndSecondStartAgree()
    {
        // An English installation: config.ini names "en".
        QVERIFY(writeFile(m_install->path() + QStringLiteral("/config.ini"),
                          "[default]\nlanguage=en\n"));
        QVERIFY(!QFileInfo::exists(KxConfig::instance()->settingsFile()));
        const QString first = settings()->determineLanguage();
        QCOMPARE(first, QStringLiteral("en"));
        QCOMPARE(storedLanguage(), first);

        // Second start: software.ini exists (other settings written) but the language is gone.
        QSettings ini(KxConfig::instance()->settingsFile(), QSettings::IniFormat);
        ini.remove(QStringLiteral("default/language"));
        ini.setValue(QStringLiteral("ftp/port"), 34210);
        ini.sync();
        QVERIFY(QFileInfo::exists(KxConfig::instance()->settingsFile()));
        QVERIFY(storedLanguage().isEmpty());
        const QString second = settings()->determineLanguage();
        QCOMPARE(second, first);
        QCOMPARE(storedLanguage(), first);
    }

    void registryValueUsedAndStored()
    {
        registry()->setValue(QStringLiteral("language"), QStringLiteral("zh_cn"));
        registry()->sync();
        QCOMPARE(settings()->determineLanguage(), QStringLiteral("zh_cn"));
        QCOMPARE(storedLanguage(), QStringLiteral("zh_cn"));
        registry()->remove(QStringLiteral("language"));
        registry()->sync();
    }

    void storedLanguageRespected()
    {
        registry()->setValue(QStringLiteral("language"), QStringLiteral("zh_cn"));
        registry()->sync();
        settings()->setLanguage(QStringLiteral("en"));
        QCOMPARE(settings()->determineLanguage(), QStringLiteral("en"));
        settings()->setLanguage(QStringLiteral("zh_cn"));
        QCOMPARE(settings()->determineLanguage(), QStringLiteral("zh_cn"));
    }

    void setLanguageTakesEffectAfterRestart()
    {
        settings()->applyLanguage(QStringLiteral("en"));
        settings()->setLanguage(QStringLiteral("zh_cn"));
        QCOMPARE(storedLanguage(), QStringLiteral("zh_cn"));
        QCOMPARE(settings()->language(), QStringLiteral("en"));
        QCOMPARE(kxTr(QStringLiteral("#IDS_About")), QStringLiteral("About"));
        settings()->setLanguage(QString());
        QCOMPARE(storedLanguage(), QStringLiteral("zh_cn"));
    }

    void applyLanguage_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("applied");
        QTest::addColumn<QString>("about");
        QTest::newRow("chinese") << "zh_cn" << "zh_cn" << QString::fromUtf8("关于");
        QTest::newRow("english") << "en" << "en" << "About";
        QTest::newRow("unknown falls back") << "fr" << "en" << "About";
        QTest::newRow("empty falls back") << "" << "en" << "About";
    }

    void applyLanguage()
    {
        QFETCH(QString, id);
        QFETCH(QString, applied);
        QFETCH(QString, about);
        settings()->applyLanguage(id);
        QCOMPARE(settings()->language(), applied);
        QCOMPARE(kxTr(QStringLiteral("#IDS_About")), about);
    }

    void qtTranslators()
    {
        const QString lrelease = QStandardPaths::findExecutable(QStringLiteral("lrelease"));
        if (lrelease.isEmpty())
            QSKIP("lrelease is not installed");
        const QString qmDir = resources() + QStringLiteral("/qm");
        auto makeQm = [&](const QString &name, const char *context, const char *source,
                          const QString &text) {
            const QString ts = m_install->path() + QStringLiteral("/%1.ts").arg(name);
            const QByteArray xml = QByteArray("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                                              "<!DOCTYPE TS><TS version=\"2.1\" language=\"zh_CN\">"
                                              "<context><name>") + context
                                   + "</name><message><source>" + source
                                   + "</source><translation>" + text.toUtf8()
                                   + "</translation></message></context></TS>\n";
            QVERIFY(writeFile(ts, xml));
            QDir().mkpath(qmDir);
            QCOMPARE(QProcess::execute(lrelease, {QStringLiteral("-silent"), ts, QStringLiteral("-qm"),
                                                  qmDir + QStringLiteral("/%1.qm").arg(name)}),
                     0);
        };
        makeQm(QStringLiteral("bv_zh_cn"), "Brevan", "Hello", QString::fromUtf8("你好"));
        makeQm(QStringLiteral("qtbase_zh_cn"), "QtBase", "Cancel", QString::fromUtf8("取消"));

        settings()->applyLanguage(QStringLiteral("zh_cn"));
        QCOMPARE(QCoreApplication::translate("Brevan", "Hello"), QString::fromUtf8("你好"));
        QCOMPARE(QCoreApplication::translate("QtBase", "Cancel"), QString::fromUtf8("取消"));

        // English: the Qt files are not used and no bv_en.qm exists, so nothing is translated.
        settings()->applyLanguage(QStringLiteral("en"));
        QCOMPARE(QCoreApplication::translate("Brevan", "Hello"), QStringLiteral("Hello"));
        QCOMPARE(QCoreApplication::translate("QtBase", "Cancel"), QStringLiteral("Cancel"));
    }

    void userDefinedTextsWin()
    {
        const QString path = m_install->path() + QStringLiteral("/models/userdirectory/userdefined.xml");
        QVERIFY(writeFile(path, "<userdefined><language><property id=\"IDS_About\">Our tool</property>"
                                "</language></userdefined>"));
        QVERIFY(settings()->loadUserDefined(path));
        settings()->applyLanguage(QStringLiteral("zh_cn"));
        QCOMPARE(kxTr(QStringLiteral("#IDS_About")), QStringLiteral("Our tool"));
        QCOMPARE(kxTr(QStringLiteral("#IDS_OK")), QString::fromUtf8("确定"));
        QVERIFY(settings()->loadUserDefined(QString()) == false);
        settings()->applyLanguage(QStringLiteral("zh_cn"));
        QCOMPARE(kxTr(QStringLiteral("#IDS_About")), QString::fromUtf8("关于"));
    }

    void wholeInit()
    {
        const QString install = m_install->path() + QStringLiteral("/models");
        QVERIFY(writeFile(install + QStringLiteral("/localsetting/localsetting.xml"),
                          "<Controls><Control><ConfigNode>imagePath</ConfigNode>"
                          "<Default>%USERDOWNLOAD%</Default></Control>"
                          "<Control><ConfigNode>imageSaveDate</ConfigNode><Default>5</Default>"
                          "</Control></Controls>"));
        QVERIFY(writeFile(install + QStringLiteral("/trainingsetting/devices.xml"),
                          "<Devices><Device>KXS-XY100</Device></Devices>"));
        QVERIFY(writeFile(m_install->path() + QStringLiteral("/config.ini"),
                          "[default]\nlanguage=en\n"));
        // No user-defined file: the region comes from the settings file.
        settings()->setValue(QStringLiteral("userdefined"), QStringLiteral("region"),
                             QStringLiteral("#IDS_Region_EU"));
        // A settings file from an earlier start that never stored the language.
        QVERIFY(QFileInfo::exists(KxConfig::instance()->settingsFile()));

        settings()->init();

        QCOMPARE(settings()->language(), QStringLiteral("en"));
        QCOMPARE(storedLanguage(), QStringLiteral("en"));
        QCOMPARE(kxTr(QStringLiteral("#IDS_OK")), QStringLiteral("OK"));
        QCOMPARE(settings()->region(), QStringLiteral("#IDS_Region_EU"));
        QCOMPARE(settings()->localSetting(QStringLiteral("imagePath")), downloadPath());
        QCOMPARE(settings()->localSettingNumber(QStringLiteral("imageSaveDate")), 30);
        QVERIFY(QFileInfo(downloadPath() + QStringLiteral("/ftp")).isDir());
        QCOMPARE(qApp->property("Training_DevPNameList").toStringList(),
                 QStringList{QStringLiteral("KXS-XY100")});
        QCOMPARE(QFont::substitutes(QStringLiteral("Microsoft Yahei")).isEmpty(), false);
    }
};

SETTINGS_TEST_MAIN(TestLanguage)
#include "tst_language.moc"
