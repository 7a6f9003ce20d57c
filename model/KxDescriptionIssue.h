#pragma once
// Problems found while reading description files. Loaders never stop at the first one: they
// collect every problem with its file, line and element so a caller can log them together.
#include <QList>
#include <QString>

class QDomNode;

struct KxDescriptionIssue
{
    enum Severity { Warning, Error };

    Severity severity = Error;
    QString file;
    int line = 0;   // 1-based; 0 when unknown
    int column = 0; // 1-based; 0 when unknown
    QString element;
    QString message;

    // "file:line:column: error: <element>: message"
    QString toString() const;
};

using KxDescriptionIssues = QList<KxDescriptionIssue>;

// Appends to an optional issue list; the helpers keep call sites short.
class KxIssueSink
{
public:
    KxIssueSink(KxDescriptionIssues *issues, const QString &file) : m_issues(issues), m_file(file)
    {
    }

    void error(const QDomNode &node, const QString &message) const;
    void warning(const QDomNode &node, const QString &message) const;
    void fileError(const QString &message, int line = 0, int column = 0) const;
    const QString &file() const { return m_file; }
    KxDescriptionIssues *list() const { return m_issues; }

private:
    void add(KxDescriptionIssue::Severity s, const QDomNode &node, const QString &message) const;
    KxDescriptionIssues *m_issues;
    QString m_file;
};

bool kxHasErrors(const KxDescriptionIssues &issues);
QString kxIssuesText(const KxDescriptionIssues &issues);
