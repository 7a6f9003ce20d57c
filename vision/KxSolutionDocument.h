#pragma once
// The solution document exchanged with a camera: "Solution" (KxVision "1.0") > "Workflows" >
// "Workflow" > "Nodes" > "Node" > "Property" > "Param". Reading accepts only that root and
// version; writing keeps the attribute order and leaves out what is empty or negative.
#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

struct KxVisionNode
{
    int index = 0;
    QString method;       // tool id or "zuConditionNode", "zuBranchNode", "zuLoopNode"
    QString displayName;
    int displayNo = -1;   // written only when 0 or more
    QString uuid;         // written only when not empty
    QString type;         // written only when not empty
    QList<QPair<QString, QString>> params;  // in the order written

    QString param(const QString &id) const;
    void setParam(const QString &id, const QString &value);
};

struct KxVisionWorkflow
{
    QString uuid;
    QString displayName;
    QString triggerId;
    bool needFullResult = false;
    QList<KxVisionNode> nodes;
};

namespace KxSolutionDocument {
// False with the reason for anything but a well-formed "Solution" of "KxVision" "1.0".
bool parse(const QByteArray &xml, QList<KxVisionWorkflow> *workflows, QString *error = nullptr);
QByteArray make(const QList<KxVisionWorkflow> &workflows);
// One workflow's element alone, and back.
QByteArray workflowXml(const KxVisionWorkflow &workflow);
bool parseWorkflow(const QByteArray &xml, KxVisionWorkflow *workflow, QString *error = nullptr);
// A document holding only this workflow with its name, trigger id and full-result flag set;
// empty when the workflow text is not well-formed.
QByteArray testDocument(const QByteArray &workflowXml, const QString &name,
                        const QString &triggerId, bool needFullResult);
// The solution with workflow put in place of the one with its Uuid (appended when new); empty
// when the solution cannot be read.
QByteArray withWorkflow(const QByteArray &solution, const KxVisionWorkflow &workflow);
}  // namespace KxSolutionDocument
