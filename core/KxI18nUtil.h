#pragma once
// Translation of text keys ("#IDS_...") through the language files.
#include <QHash>
#include <QMutex>
#include <QString>

class KxI18nUtil
{
public:
    static KxI18nUtil *instance();

    // A text not starting with '#' is returned as is (or "text_suffix"). A key is looked up in the
    // main map, then the device model map; with a suffix the stored text is a "|"-separated list of
    // "name:text" variants. A miss returns the key without '#' (or "key_suffix") and found = false.
    QString translate(const QString &key, const QString &suffix = QString(),
                      bool *found = nullptr) const;

    // Loads "<dir>/i18n/<lang>.xml" into the main map (replacing it). False when unreadable.
    bool loadMain(const QString &resourcesDir, const QString &lang);
    // Overlays texts on the main map (user-defined texts win).
    void overlayMain(const QHash<QString, QString> &texts);
    // Reloads the device model map from "<modelDir>/i18n/<lang>.xml"; cleared first.
    void loadDeviceModel(const QString &modelDir, const QString &lang);
    void clear();

    // Parses one language file: property id (without '#') -> text. Empty ids are ignored.
    static QHash<QString, QString> readLanguageFile(const QString &path, bool *ok = nullptr);

private:
    KxI18nUtil() = default;
    mutable QMutex m_mutex;
    QHash<QString, QString> m_main;
    QHash<QString, QString> m_device;
};

// Short form used by every widget: translated text of a key.
inline QString kxTr(const QString &key, const QString &suffix = QString())
{
    return KxI18nUtil::instance()->translate(key, suffix);
}
