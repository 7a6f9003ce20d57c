#pragma once
// What the camera keeps across restarts: its solutions with their documents, the solution in
// use, and the resources (models, OCR sets, template images) in two levels. Written whole to one
// JSON file after every change; a change that cannot be written is undone.
#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

struct VvSolution
{
    QString id;
    QString name;
    QString created;
    QString modified;
    QByteArray document;
};

struct VvResourceEntry
{
    QString uuid;
    QString name;
    QString path;
    QString op;
    QString kind;     // "model", "ocr", "template"
    QString imgType;  // templates: "BMP", "PNG", ...
    QByteArray data;
};

struct VvResourceGroup
{
    QString uuid;
    QString name;
    QList<VvResourceEntry> entries;
};

class VvStore
{
public:
    explicit VvStore(const QString &path) : m_path(path) {}
    // A missing file is an empty store; false when the file exists but cannot be read.
    bool load(QString *error);
    // Writes the state; false (nothing changed on disk) when it cannot.
    bool save() const;

    QList<VvSolution> solutions;
    QString current;
    QList<VvResourceGroup> resources;
    int nextId = 1;

    VvSolution *find(const QString &id);
    VvResourceEntry *findEntry(const QString &uuid, VvResourceGroup **group = nullptr);

private:
    QJsonObject toJson() const;
    QString m_path;
    bool m_writable = true;  // false after a file that could not be read: keep it
};
