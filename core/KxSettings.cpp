#include "KxSettings.h"

#include "KxConfig.h"
#include "KxI18nUtil.h"

#include <QColor>
#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QLocale>
#include <QMutex>
#include <QMutexLocker>
#include <QPalette>
#include <QRegularExpression>
#include <QSettings>
#include <QThread>
#include <QTranslator>

// --- KxSettingBase: every access opens the file anew, so threads share nothing -------------

static QString settingsKey(const QString &group, const QString &key)
{
    return group.isEmpty() ? key : QStringLiteral("%1/%2").arg(group, key);
}

QVariant KxSettingBase::value(const QString &file, const QString &group, const QString &key,
                              const QVariant &defaultValue)
{
    if (file.isEmpty())
        return defaultValue;
    QSettings settings(file, QSettings::IniFormat);
    settings.setIniCodec("UTF-8");
    return settings.value(settingsKey(group, key), defaultValue);
}

void KxSettingBase::setValue(const QString &file, const QString &group, const QString &key,
                             const QVariant &value)
{
    if (file.isEmpty())
        return; // no data directory: nothing is written
    QSettings settings(file, QSettings::IniFormat);
    settings.setIniCodec("UTF-8");
    settings.setValue(settingsKey(group, key), value);
    settings.sync();
    if (settings.status() != QSettings::NoError)
        qWarning() << "KxSettingBase::setValue... cannot write" << file << group << key;
}

// --- KxSettings ------------------------------------------------------------------------------

KxSettings::KxSettings(QObject *parent) : KxSettingBase(parent) {}

KxSettings *KxSettings::instance()
{
    static QMutex creation;
    static KxSettings *self = nullptr;
    QMutexLocker lock(&creation);
    if (!self)
        self = new KxSettings; // kept until exit
    return self;
}

QString KxSettings::settingsFile() const
{
    return KxConfig::instance()->settingsFile();
}

QVariant KxSettings::value(const QString &group, const QString &key,
                           const QVariant &defaultValue) const
{
    return KxSettingBase::value(settingsFile(), group, key, defaultValue);
}

void KxSettings::setValue(const QString &group, const QString &key, const QVariant &value)
{
    KxSettingBase::setValue(settingsFile(), group, key, value);
    if (group != QLatin1String("default"))
        return;
    if (key == QLatin1String("cmdInputType")) {
        emit updateCmdInputType(value.toString());
    } else if (key == QLatin1String("netDevFreshTimes")) {
        if (m_kitTimes)
            m_kitTimes->setRefreshTime(value.toInt());
    } else if (key == QLatin1String("deviceAliveTimes")) {
        if (m_kitTimes)
            m_kitTimes->setCheckDeviceAliveTime(value.toInt());
    }
    // A local setting changed in its dialog takes effect at once, not only after a restart.
    if (qApp && qApp->property(("localSetting_" + key).toUtf8().constData()).isValid())
        publishLocalSetting(key, value.toString());
}

void KxSettings::init()
{
    initFont();
    initStyleSheet();

    KxConfig *config = KxConfig::instance();
    const QString userDefined = config->userDirectoryDir() + QStringLiteral("/userdefined.xml");
    if (!loadUserDefined(userDefined) || !m_hasRegion) {
        const QString stored = value(QStringLiteral("userdefined"), QStringLiteral("region")).toString();
        if (!stored.isEmpty()) {
            m_region = stored;
            m_hasRegion = true;
        }
    }

    ensureTranslators();

    const QString lang = determineLanguage();
    qDebug() << "KxSettings::init...language..." << lang;
    applyLanguage(lang);

    loadLocalSettings(config->localSettingDir() + QStringLiteral("/localsetting.xml"));
    seedFtpSettings();
    loadTrainingDevices(config->trainingSettingDir() + QStringLiteral("/devices.xml"));
}

void KxSettings::initFont()
{
    auto *gui = qobject_cast<QGuiApplication *>(QCoreApplication::instance());
    if (!gui)
        return;
    // The family the style sheets name; on systems without it, fonts that carry Chinese glyphs.
    const QString family = QStringLiteral("Microsoft Yahei");
    QFont::insertSubstitutions(family, {QStringLiteral("WenQuanYi Micro Hei"),
                                        QStringLiteral("Noto Sans CJK SC"),
                                        QStringLiteral("WenQuanYi Zen Hei"),
                                        QStringLiteral("DejaVu Sans")});
    QFont font = QGuiApplication::font();
    font.setFamily(family);
    QGuiApplication::setFont(font);
}

QString KxSettings::readStyleSheet(const QString &resource)
{
    QFile file(resource);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    QByteArray data = file.readAll();
    const int nul = data.indexOf('\0');
    if (nul >= 0)
        data.truncate(nul);
    return QString::fromLatin1(data);
}

QColor KxSettings::styleSheetPaletteColor(const QString &styleSheet)
{
    const QString name = styleSheet.mid(20, 7);
    static const QRegularExpression hex(QStringLiteral("^#[0-9A-Fa-f]{6}$"));
    if (!hex.match(name).hasMatch())
        return QColor();
    return QColor(name);
}

void KxSettings::initStyleSheet()
{
    const QString css = readStyleSheet(QStringLiteral(":/qss/wsdefault.css"));
    if (css.isEmpty()) {
        qWarning() << "KxSettings::initStyleSheet... style sheet not readable, default style kept";
        return;
    }
    const QColor color = styleSheetPaletteColor(css);
    if (color.isValid() && qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        QGuiApplication::setPalette(QPalette(color));
    // setStyleSheet is a slot of the widget application; this library stays free of widgets.
    if (QCoreApplication::instance() && QCoreApplication::instance()->inherits("QApplication"))
        QMetaObject::invokeMethod(QCoreApplication::instance(), "setStyleSheet",
                                  Q_ARG(QString, css));
    emit updateStyleSheets();
}

void KxSettings::ensureTranslators()
{
    if (m_appTranslator)
        return;
    m_qtTranslator = new QTranslator(this);
    m_qtBaseTranslator = new QTranslator(this);
    m_appTranslator = new QTranslator(this);
    if (QCoreApplication::instance()) {
        QCoreApplication::installTranslator(m_qtTranslator);
        QCoreApplication::installTranslator(m_qtBaseTranslator);
        QCoreApplication::installTranslator(m_appTranslator);
    }
}

void KxSettings::resetTranslator(QTranslator **translator)
{
    if ((*translator)->isEmpty())
        return;
    QCoreApplication::removeTranslator(*translator);
    delete *translator;
    *translator = new QTranslator(this);
    if (QCoreApplication::instance())
        QCoreApplication::installTranslator(*translator);
}

// --- Language --------------------------------------------------------------------------------

QString KxSettings::chooseLanguage(const QString &stored, const QString &registry,
                                   const QString &configIniFile, const QLocale &locale)
{
    if (!stored.isEmpty())
        return stored;
    QString lang = registry;
    if (lang.isEmpty() && !configIniFile.isEmpty() && QFileInfo::exists(configIniFile))
        lang = KxSettingBase::value(configIniFile, QStringLiteral("default"),
                                    QStringLiteral("language"), QStringLiteral("en"))
                   .toString();
    if (lang.isEmpty())
        lang = locale.language() == QLocale::Chinese ? QStringLiteral("zh_cn")
                                                     : QStringLiteral("en");
    return lang;
}

QString KxSettings::determineLanguage()
{
    const QString file = settingsFile();
    QString stored;
    if (!file.isEmpty() && QFileInfo::exists(file))
        stored = value(QStringLiteral("default"), QStringLiteral("language")).toString().trimmed();
    if (!stored.isEmpty())
        return stored;

    // A settings file without a language is treated like a first start, and the outcome is
    // kept, so the language never changes by itself from one start to the next.
    QSettings registry(QSettings::NativeFormat, QSettings::UserScope,
                       KxConfig::applicationName(), KxConfig::applicationName());
    const QString registryLang = registry.value(QStringLiteral("language")).toString().trimmed();
    const QString configIni = KxConfig::instance()->installDir().isEmpty()
                                  ? QString()
                                  : KxConfig::instance()->installDir() + QStringLiteral("/config.ini");
    const QString lang = chooseLanguage(QString(), registryLang, configIni, QLocale::system());
    setValue(QStringLiteral("default"), QStringLiteral("language"), lang);
    return lang;
}

void KxSettings::setLanguage(const QVariant &id)
{
    const QString lang = id.toString().trimmed();
    if (lang.isEmpty())
        return;
    setValue(QStringLiteral("default"), QStringLiteral("language"), lang);
}

void KxSettings::applyLanguage(const QString &id)
{
    KxConfig *config = KxConfig::instance();
    QString lang = QStringLiteral("en");
    const auto languages = config->languages();
    for (const auto &entry : languages) {
        if (entry.first == id) {
            lang = id;
            break;
        }
    }
    const QString resources = config->resourcesDir();
    KxI18nUtil *i18n = KxI18nUtil::instance();
    if (!i18n->loadMain(resources, lang))
        qWarning() << "KxSettings::applyLanguage... no language file for" << lang;
    i18n->overlayMain(m_userDefined);

    ensureTranslators();
    const QString qmDir = resources + QStringLiteral("/qm");
    const QString lower = lang.toLower();
    if (lang != QLatin1String("en")) {
        // Missing Qt translation files are normal: the widgets then stay in English.
        m_qtTranslator->load(QStringLiteral("qt_%1.qm").arg(lower), qmDir);
        m_qtBaseTranslator->load(QStringLiteral("qtbase_%1.qm").arg(lower), qmDir);
    } else {
        // Qt's own texts are English already; drop what an earlier language loaded.
        resetTranslator(&m_qtTranslator);
        resetTranslator(&m_qtBaseTranslator);
    }
    m_appTranslator->load(QStringLiteral("bv_%1.qm").arg(lower), qmDir);
    m_language = lang;
}
