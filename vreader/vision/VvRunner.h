#pragma once
// Runs one workflow over the camera's images: each node in order, control nodes jumping, each
// tool's outputs named "<index>.<id>" for the nodes after it. Bounded: a run stops after
// kMaxSteps node executions.
#include "VvWorkflow.h"

#include <QImage>
#include <QJsonObject>
#include <QPolygon>
#include <QVariant>
#include <functional>

struct VvRegion
{
    int node = 0;
    QString kind;  // "roi", "code", "blob"
    QPolygon points;
    QString label;
};

struct VvRun
{
    bool ok = false;       // every node ran and no condition failed
    QString error;         // why a node could not run; empty when it only judged "NG"
    QString result;        // text of the result output node (or the first code read)
    QMap<QString, QVariant> outputs;
    QList<VvRegion> regions;
    QImage image;          // the last image taken
    QStringList trace;     // "index method" per executed node
    QByteArray sent;       // what a result output sends on the result links ("send" on)

    QJsonObject toJson(bool withImage) const;
};

namespace VvRunner {
constexpr int kMaxSteps = 1000;
using Grab = std::function<QImage()>;
// The data of an entry of the camera's resource store by its id and kind ("template",
// "model"); empty when there is none.
using Resources = std::function<QByteArray(const QString &uuid, const QString &kind)>;
VvRun run(const VvWorkflow &workflow, const Grab &grab, const Resources &resources = {});
}  // namespace VvRunner
