#include "KxWorkflowRules.h"

QRegularExpression KxWorkflowRules::triggerPattern()
{
    return QRegularExpression(QStringLiteral("^[1-9][0-9]{1}$"));
}

QString KxWorkflowRules::checkName(const QString &name, const QList<KxVisionWorkflow> &flows, int except)
{
    const QString n = name.trimmed();
    if (n.isEmpty())
        return QStringLiteral("#IDS_WorkflowName_EmptyTips");
    if (n.size() > kMaxNameLength)
        return QStringLiteral("#IDS_WorkflowName_LengthTips");
    for (int i = 0; i < flows.size(); ++i) {
        if (i != except && flows[i].displayName == n)
            return QStringLiteral("#IDS_WorkflowName_Exist_Tips");
    }
    return QString();
}

QString KxWorkflowRules::checkTrigger(const QString &triggerId, const QList<KxVisionWorkflow> &flows, int except)
{
    if (triggerId.trimmed().isEmpty())
        return QStringLiteral("#IDS_WorkflowTriggerId_EmptyTips");
    if (!triggerPattern().match(triggerId).hasMatch())
        return QStringLiteral("#IDS_WorkflowTriggerId_FormatTips");
    for (int i = 0; i < flows.size(); ++i) {
        if (i != except && flows[i].triggerId == triggerId)
            return QStringLiteral("#IDS_WorkflowTriggerId_ExistTips");
    }
    return QString();
}

QString KxWorkflowRules::canAddWorkflow(int count, int maxWorkflows)
{
    return count >= maxWorkflows ? QStringLiteral("#IDS_MaxWorkflow_Tips") : QString();
}

QString KxWorkflowRules::canAddNode(const KxVisionWorkflow &flow, const QString &method,
                                    int maxCount, int maxTools)
{
    if (flow.nodes.size() >= maxTools)
        return QStringLiteral("#IDS_MaxTool_Tips");
    int same = 0;
    for (const KxVisionNode &n : flow.nodes)
        same += n.method == method ? 1 : 0;
    if (maxCount > 0 && same >= maxCount)
        return QStringLiteral("#IDS_ToolMaxCount_Tips");
    return QString();
}

QString KxWorkflowRules::canTest(const KxVisionWorkflow &flow)
{
    return flow.nodes.isEmpty() ? QStringLiteral("#IDS_TestNodeEmpty_Tips") : QString();
}

int KxWorkflowRules::nextIndex(const KxVisionWorkflow &flow)
{
    int next = 0;
    for (const KxVisionNode &n : flow.nodes)
        next = qMax(next, n.index + 1);
    return next;
}
