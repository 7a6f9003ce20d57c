#pragma once
// The per-user settings file "software.ini" (read and written straight through, no cache),
// local settings from the installation, language choice and translators.
#include <QHash>
#include <QObject>
#include <QString>
#include <QVariant>

class QColor;
class QLocale;
class QTranslator;

class KxSettingBase : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    static QVariant value(const QString &file, const QString &group, const QString &key,
                          const QVariant &defaultValue = QVariant());
    static void setValue(const QString &file, const QString &group, const QString &key,
                         const QVariant &value);
};

// What the settings need of the device kit; the kit side registers an implementation so this
// library does not link the kit.
class IKxDeviceKitTimes
{
public:
    virtual ~IKxDeviceKitTimes() = default;
    virtual void setRefreshTime(int time) = 0;
    virtual void setCheckDeviceAliveTime(int time) = 0;
};

class KxSettings : public KxSettingBase
{
    Q_OBJECT
public:
    static KxSettings *instance();

    // Font, style sheet, user-defined texts, translators, language, local settings, FTP, training.
    void init();

    QString settingsFile() const;
    QVariant value(const QString &group, const QString &key,
                   const QVariant &defaultValue = QVariant()) const;
    void setValue(const QString &group, const QString &key, const QVariant &value);

    // Local settings: text as published in the application property "localSetting_<key>",
    // number with the choice-index tables (GB or days) applied.
    QString localSetting(const QString &key) const;
    int localSettingNumber(const QString &key) const;
    static int mapLocalSettingNumber(const QString &key, int storedIndex);
    void loadLocalSettings(const QString &localSettingXml);
    void seedFtpSettings();
    void loadTrainingDevices(const QString &devicesXml);
    bool loadUserDefined(const QString &userDefinedXml);

    // Language: chosen at init, stored by setLanguage, applied (texts + Qt translators).
    QString language() const { return m_language; }
    QString determineLanguage(); // the start-up chain; stores the result
    // The chain itself: stored id, else the registry value, else "default/language" of the
    // installation's config.ini (when that file exists, "en" by default), else the locale.
    static QString chooseLanguage(const QString &stored, const QString &registry,
                                  const QString &configIniFile, const QLocale &locale);
    void setLanguage(const QVariant &id);
    void applyLanguage(const QString &id);
    QString region() const { return m_region; }
    bool hasRegion() const { return m_hasRegion; }
    QHash<QString, QString> userDefinedTexts() const { return m_userDefined; }

    // The application palette colour: the 7 characters from offset 20 of the style sheet text,
    // invalid when they are not a colour.
    static QColor styleSheetPaletteColor(const QString &styleSheet);
    // Style sheet text of a resource read as Latin-1 up to the first NUL; empty when unreadable.
    static QString readStyleSheet(const QString &resource);

    void setDeviceKitTimes(IKxDeviceKitTimes *kit) { m_kitTimes = kit; }

    // The user's download directory (created when missing).
    static QString downloadDir();

signals:
    void updateStyleSheets();
    void updateCmdInputType(QString cmdInputType);

private:
    explicit KxSettings(QObject *parent = nullptr);
    void initFont();
    void initStyleSheet();
    void ensureTranslators();
    void resetTranslator(QTranslator **translator);
    void publishLocalSetting(const QString &key, const QString &value);
    QString m_language;
    QTranslator *m_qtTranslator = nullptr;
    QTranslator *m_qtBaseTranslator = nullptr;
    QTranslator *m_appTranslator = nullptr;
    QHash<QString, QString> m_userDefined;
    QString m_region;
    bool m_hasRegion = false;
    IKxDeviceKitTimes *m_kitTimes = nullptr;
};
