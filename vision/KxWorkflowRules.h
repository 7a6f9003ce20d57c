#pragma once
// What the workflow editor refuses, as the message key it shows: empty or taken names, empty or
// taken trigger ids, more workflows or nodes than the camera holds, testing nothing.
#include "KxSolutionDocument.h"

#include <QRegularExpression>
#include <QString>

namespace KxWorkflowRules {
constexpr int kMaxNameLength = 10;
// The input pattern of trigger ids: a first digit 1 to 9, then one more digit.
QRegularExpression triggerPattern();
// Empty when the name may be used; except: the workflow being renamed.
QString checkName(const QString &name, const QList<KxVisionWorkflow> &flows, int except = -1);
QString checkTrigger(const QString &triggerId, const QList<KxVisionWorkflow> &flows, int except = -1);
// "#IDS_MaxWorkflow_Tips" / "#IDS_MaxTool_Tips" when one more would pass the limit; also
// "#IDS_ToolMaxCount_Tips" when the workflow holds maxCount nodes of that tool already.
QString canAddWorkflow(int count, int maxWorkflows);
QString canAddNode(const KxVisionWorkflow &flow, const QString &method, int maxCount, int maxTools);
QString canTest(const KxVisionWorkflow &flow);
// The next free node index of the workflow.
int nextIndex(const KxVisionWorkflow &flow);
}  // namespace KxWorkflowRules
