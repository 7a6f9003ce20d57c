#include "KxDescriptionIssue.h"

#include <QDomElement>
#include <QStringList>

QString KxDescriptionIssue::toString() const
{
    QString where = file;
    if (line > 0) {
        where += QStringLiteral(":%1").arg(line);
        if (column > 0)
            where += QStringLiteral(":%1").arg(column);
    }
    const QString kind = severity == Error ? QStringLiteral("error") : QStringLiteral("warning");
    if (element.isEmpty())
        return QStringLiteral("%1: %2: %3").arg(where, kind, message);
    return QStringLiteral("%1: %2: <%3>: %4").arg(where, kind, element, message);
}

void KxIssueSink::add(KxDescriptionIssue::Severity s, const QDomNode &node,
                      const QString &message) const
{
    if (!m_issues)
        return;
    KxDescriptionIssue issue;
    issue.severity = s;
    issue.file = m_file;
    issue.line = node.lineNumber() > 0 ? node.lineNumber() : 0;
    issue.column = node.columnNumber() > 0 ? node.columnNumber() : 0;
    issue.element = node.isElement() ? node.toElement().tagName() : node.nodeName();
    issue.message = message;
    m_issues->append(issue);
}

void KxIssueSink::error(const QDomNode &node, const QString &message) const
{
    add(KxDescriptionIssue::Error, node, message);
}

void KxIssueSink::warning(const QDomNode &node, const QString &message) const
{
    add(KxDescriptionIssue::Warning, node, message);
}

void KxIssueSink::fileError(const QString &message, int line, int column) const
{
    if (!m_issues)
        return;
    KxDescriptionIssue issue;
    issue.severity = KxDescriptionIssue::Error;
    issue.file = m_file;
    issue.line = line;
    issue.column = column;
    issue.message = message;
    m_issues->append(issue);
}

bool kxHasErrors(const KxDescriptionIssues &issues)
{
    for (const KxDescriptionIssue &i : issues) {
        if (i.severity == KxDescriptionIssue::Error)
            return true;
    }
    return false;
}

QString kxIssuesText(const KxDescriptionIssues &issues)
{
    QStringList lines;
    lines.reserve(issues.size());
    for (const KxDescriptionIssue &i : issues)
        lines << i.toString();
    return lines.join(QLatin1Char('\n'));
}
