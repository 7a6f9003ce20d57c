#pragma once
// The workflow dialog (new, settings, rename) with its checks, and the tool dialog that adds a
// node: the tools by kit group, each with its picture.
#include "KxSolutionDocument.h"
#include "KxVisionTools.h"
#include "NDialogEx.h"

class QCheckBox;
class QLineEdit;
class QListWidget;

class VisionWorkflowDlg : public NDialogEx
{
    Q_OBJECT
public:
    enum Kind { New, Settings, Rename };
    // flows: the solution's workflows; index: the one edited (-1 for a new one).
    VisionWorkflowDlg(Kind kind, const QList<KxVisionWorkflow> &flows, int index, QWidget *parent = nullptr);
    QLineEdit *nameEdit() const { return m_name; }
    QLineEdit *triggerEdit() const { return m_trigger; }
    QCheckBox *fullResultBox() const { return m_full; }
    // The entered values on a workflow (the edited one's copy, or a new one).
    KxVisionWorkflow result() const;
    // Accepts when the values pass; otherwise tells why (through the UI service) and stays.
    bool tryAccept();

private:
    Kind m_kind;
    QList<KxVisionWorkflow> m_flows;
    int m_index;
    QLineEdit *m_name;
    QLineEdit *m_trigger;
    QCheckBox *m_full;
};

class VisionToolDlg : public NDialogEx
{
    Q_OBJECT
public:
    VisionToolDlg(const KxVisionTools &tools, QWidget *parent = nullptr);
    QString selectedTool() const { return m_selected; }
    bool selectTool(const QString &id);
    QList<QListWidget *> groupLists() const { return m_lists; }

private:
    QList<QListWidget *> m_lists;
    QString m_selected;
};
