#pragma once
// A camera's resource package: fetched once with "RESDAT", kept as "<data>/models/<resId>.zip"
// and unpacked into "<data>/vision/<resId>" (tool kit, parameter descriptions, template cache).
// A folder that is already there is used as it is.
#include <QObject>

class KxDeviceConnector;

class KxDeviceResource : public QObject
{
    Q_OBJECT
public:
    explicit KxDeviceResource(const QString &resId, QObject *parent = nullptr);

    static QString resourceDirFor(const QString &resId);
    // Sends only (safe on the login worker): fetches and unpacks the package when the folder is
    // empty. False with what failed in error.
    static bool fetch(KxDeviceConnector *connector, const QString &resId, QString *error);
    // Unpacks zip bytes into dir, refusing entries that would leave it.
    static bool unpack(const QByteArray &zip, const QString &dir, QString *error);

    QString resId() const { return m_resId; }
    QString dir() const { return resourceDirFor(m_resId); }
    QString toolkitDir() const;
    // The folder must hold "toolkit/toolkit.xml"; announces it with resourceChanged.
    bool init();
    bool reload();

signals:
    void resourceChanged(const QString &resourceName);

private:
    QString m_resId;
};
