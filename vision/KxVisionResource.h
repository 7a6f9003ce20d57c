#pragma once
// The resources a camera keeps (trained models, OCR sets, template images) in two levels, with a
// disk cache of template pictures: "<resource folder>/templates/<id>[@small].<type>".
#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <functional>

class KxDeviceConnector;

struct VisionResInfo
{
    QString uuid;
    QString name;
    QString path;
    QString op;
    QString group_uuid;
    QString kind;     // "model", "ocr", "template"
    QString imgType;
};

struct VisionResGroup
{
    QString uuid;
    QString name;
    QList<VisionResInfo> entries;
};

class KxVisionResource : public QObject
{
    Q_OBJECT
public:
    using Done = std::function<void(bool ok, const QString &error)>;
    KxVisionResource(KxDeviceConnector *connector, const QString &resourceDir, QObject *parent = nullptr);

    // The "RESLST" reply: "TopLevelNodes" with their "SecondLevelNodes". False when it has none.
    bool applyList(const QJsonObject &reply);
    QList<VisionResGroup> groups() const { return m_groups; }
    const VisionResInfo *entry(const QString &uuid) const;

    void refresh(const Done &done);
    // kind "model" ("AMOLOD"), "ocr" ("OSTLOD") or "template" ("BMILOD" with imgType).
    void load(const QString &kind, const VisionResGroup &group, const VisionResInfo &entry,
              const QByteArray &data, const Done &done);
    void removeTemplate(const QString &uuid, const Done &done);
    // The cached file of a template (thumbnail or original); fetched and cached when missing
    // ("BMIGTH"/"BMIGOR", both with the 60000 ms of every vision call). done gets the file path,
    // empty on failure or time-out.
    void templateFile(const QString &uuid, bool thumbnail,
                      const std::function<void(const QString &path)> &done);
    QString cachePath(const QString &uuid, const QString &imgType, bool thumbnail) const;

signals:
    void resourcesChanged();

private:
    QPointer<KxDeviceConnector> m_connector;
    QString m_dir;
    QList<VisionResGroup> m_groups;
};
