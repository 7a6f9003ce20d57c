#include "VvWorkflow.h"

#include <QDomDocument>
#include <QRegularExpression>
#include <QSet>

namespace {
bool fail(QString *error, const QString &why)
{
    if (error)
        *error = why;
    return false;
}
}  // namespace

bool VvWorkflows::isKnownMethod(const QString &method)
{
    static const QSet<QString> known{
        QStringLiteral("zuCamera"),        QStringLiteral("zuCodeReader"),
        QStringLiteral("zuBlobLocator"),   QStringLiteral("zuPresence"),
        QStringLiteral("zuResultOutput"),  QStringLiteral("zuConditionNode"),
        QStringLiteral("zuBranchNode"),    QStringLiteral("zuLoopNode"),
        QStringLiteral("zuTemplateLocator"), QStringLiteral("zuClassifier")};
    return known.contains(method);
}

bool VvWorkflows::parse(const QByteArray &xml, QList<VvWorkflow> *out, QString *error)
{
    QDomDocument doc;
    QString why;
    int line = 0;
    if (!doc.setContent(xml, &why, &line))
        return fail(error, QStringLiteral("solution is not XML (line %1: %2)").arg(line).arg(why));
    const QDomElement root = doc.documentElement();
    if (root.tagName() != QLatin1String("Solution")
        || root.attribute(QStringLiteral("KxVision")) != QLatin1String("1.0"))
        return fail(error, QStringLiteral("not a solution document of version 1.0"));
    out->clear();
    const QDomElement flows = root.firstChildElement(QStringLiteral("Workflows"));
    for (QDomElement w = flows.firstChildElement(QStringLiteral("Workflow")); !w.isNull();
         w = w.nextSiblingElement(QStringLiteral("Workflow"))) {
        VvWorkflow wf;
        wf.uuid = w.attribute(QStringLiteral("Uuid"));
        wf.name = w.attribute(QStringLiteral("DisplayName"));
        wf.triggerId = w.attribute(QStringLiteral("TriggerId"));
        wf.fullResult = w.attribute(QStringLiteral("NeedFullResult")) == QLatin1String("true")
            || w.attribute(QStringLiteral("NeedFullResult")) == QLatin1String("1");
        const QDomElement nodes = w.firstChildElement(QStringLiteral("Nodes"));
        for (QDomElement n = nodes.firstChildElement(QStringLiteral("Node")); !n.isNull();
             n = n.nextSiblingElement(QStringLiteral("Node"))) {
            VvNode node;
            bool ok = false;
            node.index = n.attribute(QStringLiteral("Index")).toInt(&ok);
            if (!ok)
                return fail(error, QStringLiteral("workflow %1: a node without an index").arg(wf.name));
            node.method = n.attribute(QStringLiteral("Method"));
            node.name = n.attribute(QStringLiteral("DisplayName"));
            const QDomElement prop = n.firstChildElement(QStringLiteral("Property"));
            for (QDomElement p = prop.firstChildElement(QStringLiteral("Param")); !p.isNull();
                 p = p.nextSiblingElement(QStringLiteral("Param")))
                node.params.insert(p.attribute(QStringLiteral("Id")), p.attribute(QStringLiteral("Value")));
            wf.nodes << node;
        }
        out->append(wf);
    }
    return true;
}

bool VvWorkflows::check(const QList<VvWorkflow> &workflows, const VvLimits &limits, QString *error)
{
    static const QRegularExpression trigger(QStringLiteral("^[1-9][0-9]$"));
    if (workflows.size() > limits.maxWorkflows)
        return fail(error, QStringLiteral("more than %1 workflows").arg(limits.maxWorkflows));
    QSet<QString> names, triggers;
    for (const VvWorkflow &wf : workflows) {
        if (wf.name.isEmpty() || wf.name.size() > 10)
            return fail(error, QStringLiteral("workflow name \"%1\" must have 1 to 10 characters").arg(wf.name));
        if (names.contains(wf.name))
            return fail(error, QStringLiteral("workflow name \"%1\" used twice").arg(wf.name));
        if (!trigger.match(wf.triggerId).hasMatch())
            return fail(error, QStringLiteral("workflow %1: trigger id \"%2\" is not 10 to 99").arg(wf.name, wf.triggerId));
        if (triggers.contains(wf.triggerId))
            return fail(error, QStringLiteral("trigger id %1 used twice").arg(wf.triggerId));
        names.insert(wf.name);
        triggers.insert(wf.triggerId);
        if (wf.nodes.size() > limits.maxTools)
            return fail(error, QStringLiteral("workflow %1: more than %2 nodes").arg(wf.name).arg(limits.maxTools));
        QSet<int> indexes;
        for (const VvNode &n : wf.nodes) {
            if (!isKnownMethod(n.method))
                return fail(error, QStringLiteral("workflow %1: unknown tool \"%2\"").arg(wf.name, n.method));
            if (indexes.contains(n.index))
                return fail(error, QStringLiteral("workflow %1: node index %2 used twice").arg(wf.name).arg(n.index));
            indexes.insert(n.index);
        }
    }
    return true;
}
