// Local settings, FTP defaults, user-defined texts and the training readers list.
#include "KxSettings.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QStandardPaths>
#include <QThread>

namespace {

const int kMaxPathLength = 300; // longer stored paths are taken as damaged and reset

bool readXml(const QString &path, QDomDocument *doc)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QString error;
    int line = 0;
    if (!doc->setContent(&file, &error, &line)) {
        qWarning() << "KxSettings: cannot parse" << path << "line" << line << error;
        return false;
    }
    return true;
}

QString makeDir(const QString &path)
{
    if (!path.isEmpty() && !QDir().mkpath(path))
        qWarning() << "KxSettings: cannot create directory" << path;
    return path;
}

} // namespace

QString KxSettings::downloadDir()
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (dir.isEmpty())
        dir = QDir::homePath() + QStringLiteral("/Downloads");
    return makeDir(QDir::cleanPath(dir));
}

void KxSettings::publishLocalSetting(const QString &key, const QString &value)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app)
        return;
    const QByteArray name = ("localSetting_" + key).toUtf8();
    if (QThread::currentThread() == app->thread())
        app->setProperty(name.constData(), value);
    else
        QMetaObject::invokeMethod(app, [app, name, value] {
            app->setProperty(name.constData(), value);
        }, Qt::QueuedConnection);
}

void KxSettings::loadLocalSettings(const QString &localSettingXml)
{
    QDomDocument doc;
    if (!readXml(localSettingXml, &doc))
        return;
    const QString group = QStringLiteral("default");
    const QDomNodeList controls = doc.documentElement().elementsByTagName(QStringLiteral("Control"));
    for (int i = 0; i < controls.size(); ++i) {
        const QDomElement control = controls.at(i).toElement();
        const QString key = control.firstChildElement(QStringLiteral("ConfigNode")).text().trimmed();
        if (key.isEmpty())
            continue;
        QString stored = value(group, key).toString();
        if (stored.isEmpty()) {
            stored = control.firstChildElement(QStringLiteral("Default")).text().trimmed();
            if (stored == QLatin1String("%USERDOWNLOAD%"))
                stored = downloadDir();
            setValue(group, key, stored);
        } else if (key == QLatin1String("imagePath") && stored.size() > kMaxPathLength) {
            stored = downloadDir();
            setValue(group, key, stored);
        }
        publishLocalSetting(key, stored);
    }
}

QString KxSettings::localSetting(const QString &key) const
{
    QCoreApplication *app = QCoreApplication::instance();
    const QVariant published =
        app ? app->property(("localSetting_" + key).toUtf8().constData()) : QVariant();
    if (published.isValid())
        return published.toString();
    return value(QStringLiteral("default"), key).toString();
}

int KxSettings::mapLocalSettingNumber(const QString &key, int storedIndex)
{
    struct Table
    {
        const char *key;
        std::initializer_list<int> values;
        int outOfRange;
    };
    static const Table tables[] = {
        {"miniFreeReservedSpace", {1, 2, 5, 10}, 1},               // gigabytes
        {"imageSaveDate", {1, 3, 7, 10, 15, 30, 60, 90}, 3},        // days
        {"statisticsSaveDate", {30, 60, 180, 360, 720}, 30},
    };
    for (const Table &table : tables) {
        if (key != QLatin1String(table.key))
            continue;
        if (storedIndex < 0 || storedIndex >= int(table.values.size()))
            return table.outOfRange;
        return table.values.begin()[storedIndex];
    }
    return storedIndex;
}

int KxSettings::localSettingNumber(const QString &key) const
{
    bool ok = false;
    const int stored = localSetting(key).trimmed().toInt(&ok);
    // Text that is no number counts as an index outside every table.
    return mapLocalSettingNumber(key, ok ? stored : -1);
}

void KxSettings::seedFtpSettings()
{
    const QString group = QStringLiteral("ftp");
    const QString defaultDir = downloadDir() + QStringLiteral("/ftp");
    const QList<QPair<QString, QVariant>> defaults = {
        {QStringLiteral("port"), 34210},
        {QStringLiteral("user"), QStringLiteral("admin")},
        {QStringLiteral("password"), QStringLiteral("vexor")},
        {QStringLiteral("dir"), defaultDir},
        {QStringLiteral("ftpRemoveStrategy"), 0},
        {QStringLiteral("ftpSaveDate"), 7},
        {QStringLiteral("ftpSaveMaxCount"), 50000},
    };
    for (const auto &entry : defaults) {
        const QString stored = value(group, entry.first).toString();
        const bool damagedDir =
            entry.first == QLatin1String("dir") && stored.size() > kMaxPathLength;
        if (stored.isEmpty() || damagedDir)
            setValue(group, entry.first, entry.second);
    }
    makeDir(value(group, QStringLiteral("dir")).toString());
}

void KxSettings::loadTrainingDevices(const QString &devicesXml)
{
    QStringList names;
    QDomDocument doc;
    if (readXml(devicesXml, &doc)) {
        const QDomNodeList devices = doc.documentElement().elementsByTagName(QStringLiteral("Device"));
        for (int i = 0; i < devices.size(); ++i) {
            const QString name = devices.at(i).toElement().text().trimmed();
            if (!name.isEmpty() && !names.contains(name))
                names << name;
        }
    }
    if (QCoreApplication *app = QCoreApplication::instance())
        app->setProperty("Training_DevPNameList", names);
}

bool KxSettings::loadUserDefined(const QString &userDefinedXml)
{
    m_userDefined.clear();
    QDomDocument doc;
    if (!readXml(userDefinedXml, &doc))
        return false;
    const QDomElement root = doc.documentElement();
    const QDomElement language = root.firstChildElement(QStringLiteral("language"));
    for (QDomElement prop = language.firstChildElement(QStringLiteral("property")); !prop.isNull();
         prop = prop.nextSiblingElement(QStringLiteral("property"))) {
        QString id = prop.attribute(QStringLiteral("id")).trimmed();
        if (id.startsWith(QLatin1Char('#')))
            id.remove(0, 1);
        if (!id.isEmpty())
            m_userDefined.insert(id, prop.text());
    }
    const QDomElement upgrade = root.firstChildElement(QStringLiteral("Upgrade"));
    if (!upgrade.isNull() && upgrade.hasAttribute(QStringLiteral("region"))) {
        const QString region = upgrade.attribute(QStringLiteral("region")).trimmed();
        if (!region.isEmpty()) {
            m_region = region;
            m_hasRegion = true;
            setValue(QStringLiteral("userdefined"), QStringLiteral("region"), region);
        }
    }
    return true;
}
