#pragma once
// A solution document as the camera reads it: workflows of nodes with their parameters, and the
// rules the camera holds a document to before it stores or runs it.
#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

struct VvNode
{
    int index = 0;
    QString method;  // a tool id of the kit or "zuConditionNode", "zuBranchNode", "zuLoopNode"
    QString name;
    QMap<QString, QString> params;  // "Property" children <Param Id=".." Value=".."/>
};

struct VvWorkflow
{
    QString uuid;
    QString name;
    QString triggerId;
    bool fullResult = false;
    QList<VvNode> nodes;
};

struct VvLimits
{
    int maxWorkflows = 8;
    int maxTools = 16;
};

namespace VvWorkflows {
// The node methods the camera can run.
bool isKnownMethod(const QString &method);
// Parses a solution document. False with the reason when it is not one: not XML, a root other
// than "Solution" with "KxVision" = "1.0", or a workflow or node the rules below refuse.
bool parse(const QByteArray &xml, QList<VvWorkflow> *out, QString *error);
// The rules a stored solution keeps: names 1..10 characters and unique, trigger ids of two
// digits (the first not 0) and unique, within the limits, every node of a known method.
bool check(const QList<VvWorkflow> &workflows, const VvLimits &limits, QString *error);
}  // namespace VvWorkflows
