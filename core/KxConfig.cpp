#include "KxConfig.h"

#include "KxCrashHandler.h"
#include "KxSaveLog.h"
#include "KxSettings.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QStandardPaths>

namespace
{
QBasicMutex s_instanceMutex;
KxConfig *s_instance = nullptr;

// A directory is usable when it exists (created with its parents if need be) and we may write
// into it: every file the program keeps for the user goes below it.
bool usableDirectory(const QString &dir)
{
    if (dir.isEmpty())
        return false;
    QFileInfo info(dir);
    if (!info.exists() && !QDir().mkpath(dir))
        return false;
    info.refresh();
    return info.isDir() && info.isWritable();
}

QString joined(const QString &dir, const QString &rest)
{
    return dir.isEmpty() ? QString() : dir + rest;
}
} // namespace

KxConfig *KxConfig::instance()
{
    QMutexLocker lock(&s_instanceMutex);
    if (!s_instance)
        s_instance = new KxConfig;
    return s_instance;
}

KxConfig::KxConfig(QObject *parent) : QObject(parent) {}

QString KxConfig::applicationName()
{
    return QStringLiteral("Brevan");
}

QString KxConfig::versionString()
{
    return QStringLiteral("V2.03.006.4");
}

QStringList KxConfig::dataDirCandidates() const
{
    return {qEnvironmentVariable("KX_DATA_PATH"),
            QStandardPaths::writableLocation(QStandardPaths::AppDataLocation), installDir()};
}

QString KxConfig::chooseDataDirFrom(const QStringList &candidates)
{
    QString chosen;
    for (const QString &candidate : candidates) {
        if (usableDirectory(candidate)) {
            chosen = QDir::cleanPath(QFileInfo(candidate).absoluteFilePath());
            break;
        }
    }
    if (chosen.isEmpty())
        return QString();
    const QString app = applicationName();
    if (QFileInfo(chosen).fileName() != app) {
        const QString sub = chosen + QLatin1Char('/') + app;
        if (usableDirectory(sub))
            chosen = sub;
    }
    return chosen;
}

QString KxConfig::chooseDataDir()
{
    return chooseDataDirFrom(dataDirCandidates());
}

void KxConfig::init()
{
    m_dataDir = chooseDataDir();

    KxCrashHandler::install(m_dataDir, QString(), versionString().toLower());

    KxSaveLog *log = KxSaveLog::instance();
    if (!m_dataDir.isEmpty()) {
        log->setPath(m_dataDir + QStringLiteral("/log"));
        const QString level = KxSettingBase::value(settingsFile(), QStringLiteral("default"),
                                                   QStringLiteral("appLogLevel"))
                                  .toString();
        log->setMsgLevel(level); // empty keeps the default mask
        log->start();
    }
    // Logged once the handler is in place, so the choice is on record in the log file. Without
    // a data directory nothing is written: the default handler keeps printing.
    qDebug() << "KxConfig::init..." << m_dataDir;
}

QString KxConfig::dataDir() const
{
    return m_dataDir;
}
void KxConfig::setDataDir(const QString &dir)
{
    m_dataDir = dir;
}

QString KxConfig::settingsFile() const
{
    return joined(m_dataDir, QStringLiteral("/software.ini"));
}
QString KxConfig::aliasFile() const
{
    return joined(m_dataDir, QStringLiteral("/alias.ini"));
}
QString KxConfig::databaseDir() const
{
    return joined(m_dataDir, QStringLiteral("/database"));
}

QString KxConfig::subDir(const QString &name) const
{
    if (m_dataDir.isEmpty() || name.isEmpty())
        return QString();
    const QString dir = QStringLiteral("%1/%2").arg(m_dataDir, name);
    if (!QFileInfo(dir).isDir() && !QDir().mkpath(dir))
        return QString();
    return dir;
}

QString KxConfig::crashDumpFile(const QString &fileName) const
{
    if (m_dataDir.isEmpty())
        return QString();
    return QStringLiteral("%1/dump/%2").arg(m_dataDir, fileName);
}

QString KxConfig::installDir() const
{
    if (!m_installDir.isEmpty())
        return m_installDir;
    return QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QString();
}

void KxConfig::setInstallDir(const QString &dir)
{
    m_installDir = dir;
}

QString KxConfig::barcodeSettingDir() const
{
    return joined(installDir(), QStringLiteral("/models/barcodesetting"));
}
QString KxConfig::offlineDir() const
{
    return joined(installDir(), QStringLiteral("/models/barcodesetting/offline"));
}
QString KxConfig::rfidSettingDir() const
{
    return joined(installDir(), QStringLiteral("/models/rfidsetting"));
}
QString KxConfig::resourcesDir() const
{
    return joined(installDir(), QStringLiteral("/models/resources"));
}
QString KxConfig::trainingSettingDir() const
{
    return joined(installDir(), QStringLiteral("/models/trainingsetting"));
}
QString KxConfig::localSettingDir() const
{
    return joined(installDir(), QStringLiteral("/models/localsetting"));
}
QString KxConfig::userDirectoryDir() const
{
    return joined(installDir(), QStringLiteral("/models/userdirectory"));
}

QString KxConfig::imagesDir(const QString &name) const
{
    if (installDir().isEmpty())
        return QString();
    return QStringLiteral("%1/images/%2").arg(installDir(), name);
}
