#pragma once
// Process-wide paths: the per-user data directory chosen at start-up and the installation
// directory (the executable's directory) with the model data below it.
#include <QObject>
#include <QPair>
#include <QString>
#include <QStringList>

class KxConfig : public QObject
{
    Q_OBJECT
public:
    static KxConfig *instance();

    // Chooses the data directory, installs the crash handler, starts the log.
    void init();
    // Only the directory choice (steps 1-3); returns the chosen directory or an empty string.
    QString chooseDataDir();
    // The candidates in order: "KX_DATA_PATH", the per-user data location, the installation.
    QStringList dataDirCandidates() const;
    // Steps 1-3 on given candidates: the first usable one (created when missing), with an
    // application-name level added unless it already ends in one. Empty when none is usable.
    static QString chooseDataDirFrom(const QStringList &candidates);

    QString dataDir() const;
    void setDataDir(const QString &dir); // tests and tools only

    QString settingsFile() const;     // <data>/software.ini
    QString aliasFile() const;        // <data>/alias.ini
    QString databaseDir() const;      // <data>/database
    QString subDir(const QString &name) const; // created when missing; empty on failure
    QString crashDumpFile(const QString &fileName) const; // <data>/dump/<name>

    QString installDir() const;
    void setInstallDir(const QString &dir); // tests only; default: the executable's directory
    QString barcodeSettingDir() const;  // <install>/models/barcodesetting
    QString offlineDir() const;         // <install>/models/barcodesetting/offline
    QString rfidSettingDir() const;     // <install>/models/rfidsetting
    QString resourcesDir() const;       // <install>/models/resources
    QString trainingSettingDir() const; // <install>/models/trainingsetting
    QString localSettingDir() const;    // <install>/models/localsetting
    QString userDirectoryDir() const;   // <install>/models/userdirectory
    QString imagesDir(const QString &name) const; // <install>/images/<name>

    // The language list from languages.json: (id, display), in file order.
    QList<QPair<QString, QString>> languages() const;

    static QString applicationName(); // "Brevan"
    static QString versionString();   // "V2.03.006.4"

private:
    explicit KxConfig(QObject *parent = nullptr);
    QString m_dataDir;
    QString m_installDir;
};
