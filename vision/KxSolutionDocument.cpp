#include "KxSolutionDocument.h"

#include <QDomDocument>
#include <QXmlStreamWriter>

QString KxVisionNode::param(const QString &id) const
{
    for (const auto &p : params) {
        if (p.first == id)
            return p.second;
    }
    return QString();
}

void KxVisionNode::setParam(const QString &id, const QString &value)
{
    for (auto &p : params) {
        if (p.first == id) {
            p.second = value;
            return;
        }
    }
    params.append({id, value});
}

namespace {
bool fail(QString *error, const QString &why)
{
    if (error)
        *error = why;
    return false;
}

KxVisionWorkflow readWorkflow(const QDomElement &w)
{
    KxVisionWorkflow wf;
    wf.uuid = w.attribute(QStringLiteral("Uuid"));
    wf.displayName = w.attribute(QStringLiteral("DisplayName"));
    wf.triggerId = w.attribute(QStringLiteral("TriggerId"));
    const QString full = w.attribute(QStringLiteral("NeedFullResult"));
    wf.needFullResult = full == QLatin1String("true") || full == QLatin1String("1");
    const QDomElement nodes = w.firstChildElement(QStringLiteral("Nodes"));
    for (QDomElement n = nodes.firstChildElement(QStringLiteral("Node")); !n.isNull();
         n = n.nextSiblingElement(QStringLiteral("Node"))) {
        KxVisionNode node;
        node.index = n.attribute(QStringLiteral("Index")).toInt();
        node.method = n.attribute(QStringLiteral("Method"));
        node.displayName = n.attribute(QStringLiteral("DisplayName"));
        bool ok = false;
        const int no = n.attribute(QStringLiteral("DisplayNo")).toInt(&ok);
        node.displayNo = ok ? no : -1;
        node.uuid = n.attribute(QStringLiteral("Uuid"));
        node.type = n.attribute(QStringLiteral("Type"));
        const QDomElement prop = n.firstChildElement(QStringLiteral("Property"));
        for (QDomElement p = prop.firstChildElement(QStringLiteral("Param")); !p.isNull();
             p = p.nextSiblingElement(QStringLiteral("Param")))
            node.params.append({p.attribute(QStringLiteral("Id")), p.attribute(QStringLiteral("Value"))});
        wf.nodes << node;
    }
    return wf;
}

void writeWorkflow(QXmlStreamWriter &x, const KxVisionWorkflow &wf)
{
    x.writeStartElement(QStringLiteral("Workflow"));
    x.writeAttribute(QStringLiteral("Uuid"), wf.uuid);
    x.writeAttribute(QStringLiteral("DisplayName"), wf.displayName);
    x.writeAttribute(QStringLiteral("TriggerId"), wf.triggerId);
    x.writeAttribute(QStringLiteral("NeedFullResult"), wf.needFullResult ? "true" : "false");
    x.writeStartElement(QStringLiteral("Nodes"));
    for (const KxVisionNode &n : wf.nodes) {
        x.writeStartElement(QStringLiteral("Node"));
        x.writeAttribute(QStringLiteral("Index"), QString::number(n.index));
        x.writeAttribute(QStringLiteral("Method"), n.method);
        x.writeAttribute(QStringLiteral("DisplayName"), n.displayName);
        if (n.displayNo >= 0)
            x.writeAttribute(QStringLiteral("DisplayNo"), QString::number(n.displayNo));
        if (!n.uuid.isEmpty())
            x.writeAttribute(QStringLiteral("Uuid"), n.uuid);
        if (!n.type.isEmpty())
            x.writeAttribute(QStringLiteral("Type"), n.type);
        x.writeStartElement(QStringLiteral("Property"));
        for (const auto &p : n.params) {
            x.writeStartElement(QStringLiteral("Param"));
            x.writeAttribute(QStringLiteral("Id"), p.first);
            x.writeAttribute(QStringLiteral("Value"), p.second);
            x.writeEndElement();
        }
        x.writeEndElement();  // Property
        x.writeEndElement();  // Node
    }
    x.writeEndElement();  // Nodes
    x.writeEndElement();  // Workflow
}
}  // namespace

bool KxSolutionDocument::parse(const QByteArray &xml, QList<KxVisionWorkflow> *workflows, QString *error)
{
    QDomDocument doc;
    QString why;
    int line = 0;
    if (!doc.setContent(xml, &why, &line))
        return fail(error, QStringLiteral("line %1: %2").arg(line).arg(why));
    const QDomElement root = doc.documentElement();
    if (root.tagName() != QLatin1String("Solution"))
        return fail(error, QStringLiteral("the root is \"%1\", not \"Solution\"").arg(root.tagName()));
    if (root.attribute(QStringLiteral("KxVision")) != QLatin1String("1.0"))
        return fail(error, QStringLiteral("KxVision \"%1\" is not 1.0").arg(root.attribute(QStringLiteral("KxVision"))));
    workflows->clear();
    const QDomElement flows = root.firstChildElement(QStringLiteral("Workflows"));
    for (QDomElement w = flows.firstChildElement(QStringLiteral("Workflow")); !w.isNull();
         w = w.nextSiblingElement(QStringLiteral("Workflow")))
        workflows->append(readWorkflow(w));
    return true;
}

QByteArray KxSolutionDocument::make(const QList<KxVisionWorkflow> &workflows)
{
    QByteArray out;
    QXmlStreamWriter x(&out);
    x.setAutoFormatting(true);
    x.writeStartDocument(QStringLiteral("1.0"));
    x.writeStartElement(QStringLiteral("Solution"));
    x.writeAttribute(QStringLiteral("KxVision"), QStringLiteral("1.0"));
    x.writeStartElement(QStringLiteral("Workflows"));
    for (const KxVisionWorkflow &wf : workflows)
        writeWorkflow(x, wf);
    x.writeEndElement();
    x.writeEndElement();
    x.writeEndDocument();
    return out;
}

QByteArray KxSolutionDocument::workflowXml(const KxVisionWorkflow &workflow)
{
    QByteArray out;
    QXmlStreamWriter x(&out);
    writeWorkflow(x, workflow);
    return out;
}

bool KxSolutionDocument::parseWorkflow(const QByteArray &xml, KxVisionWorkflow *workflow, QString *error)
{
    QDomDocument doc;
    QString why;
    int line = 0;
    if (!doc.setContent(xml, &why, &line))
        return fail(error, QStringLiteral("line %1: %2").arg(line).arg(why));
    if (doc.documentElement().tagName() != QLatin1String("Workflow"))
        return fail(error, QStringLiteral("not a workflow"));
    *workflow = readWorkflow(doc.documentElement());
    return true;
}

QByteArray KxSolutionDocument::testDocument(const QByteArray &workflowXml, const QString &name,
                                            const QString &triggerId, bool needFullResult)
{
    KxVisionWorkflow wf;
    if (!parseWorkflow(workflowXml, &wf))
        return QByteArray();
    wf.displayName = name;
    wf.triggerId = triggerId;
    wf.needFullResult = needFullResult;
    return make({wf});
}

QByteArray KxSolutionDocument::withWorkflow(const QByteArray &solution, const KxVisionWorkflow &workflow)
{
    QList<KxVisionWorkflow> flows;
    if (!parse(solution, &flows))
        return QByteArray();
    bool replaced = false;
    for (KxVisionWorkflow &wf : flows) {
        if (!workflow.uuid.isEmpty() && wf.uuid == workflow.uuid) {
            wf = workflow;
            replaced = true;
        }
    }
    if (!replaced)
        flows << workflow;
    return make(flows);
}
