#pragma once
// The tool kit of a camera model: "toolkit.xml" (groups of tools for the add-node dialog), each
// tool's "property.xml" (parameter pages) and "sample.png", and the parameter descriptions of
// the vision kit ("function_params.json", "zuParams_description.json") with the mapping of their
// kinds to control types. Problems are collected with their file, never fatal.
#include "KxPageInfo.h"

#include <QMap>
#include <QStringList>
#include <QVariantMap>
#include <memory>

struct KxVisionTool
{
    QString id;
    QString displayName;
    int displayNo = -1;
    QString uuid;
    QString type;
    int maxCount = 0;  // 0: no limit of its own
    QString groupId;
};

struct KxVisionToolGroup
{
    QString id;
    QString displayName;
    QList<KxVisionTool> tools;
};

// One function's parameters: each a map with "type", "id", "name", "type_enum", "is_complex",
// "default_value" (conditions also "data_type"), plus what the description file adds
// ("control", "min", "max", "step", "options").
struct KxVisionFunctionParams
{
    QList<QVariantMap> input_params;
    QList<QVariantMap> output_params;
    QList<QVariantMap> condition_params;
};

class KxVisionTools
{
public:
    // toolkitDir: the folder holding "toolkit.xml". False (and no tools) when it cannot be read.
    bool load(const QString &toolkitDir);
    // zukitDir: the folder holding the two JSON files. False when they cannot be read.
    bool loadParams(const QString &zukitDir);
    QStringList errors() const { return m_errors; }

    QList<KxVisionToolGroup> groups() const { return m_groups; }
    const KxVisionTool *tool(const QString &id) const;
    QString kitName() const { return m_kitName; }
    QString propertyPath(const QString &id) const;
    QString samplePath(const QString &id) const;
    std::unique_ptr<KxPagesInfo> propertyPages(const QString &id) const;
    QString helpTips(const QString &id) const;

    // The parameter lists of one function (a tool id); empty lists for an unknown one.
    KxVisionFunctionParams zuGetFunctionParamsInfos(const QString &function) const;

    // Control type of a parameter's control kind ("zuSpinBox" -> "SpinBox"); empty and logged
    // for a kind without one.
    static QString controlTypeForKind(const QString &kind);
    // Control type of an input parameter by its data type; unknown types give "ZuKitInputEdit",
    // logged.
    static QString controlTypeForInput(const QString &dataType);

private:
    QString m_dir;
    QString m_kitName;
    QList<KxVisionToolGroup> m_groups;
    QMap<QString, KxVisionFunctionParams> m_params;
    QStringList m_errors;
};
