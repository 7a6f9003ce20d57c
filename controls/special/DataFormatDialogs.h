#pragma once
// The data format editor: the list of rules (DataFormatListDlg) and the editor of one rule
// (DataFormatEditDlg) with its command queue and a live preview of the rule on a sample code.
// Both open with open(); their owner reads the result when they finish.
#include "KxDataFormat.h"
#include "NDialogEx.h"

#include <QPointer>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class QTableWidget;
class QTreeWidget;
class QVBoxLayout;
class QWidget;

class DataFormatEditDlg : public NDialogEx
{
    Q_OBJECT
public:
    DataFormatEditDlg(const KxDataFormatRule &rule, bool adding, QWidget *parent = nullptr);
    // The rule as edited; empty commands while the queue is empty.
    KxDataFormatRule rule() const;
    QList<KxDataFormatCommand> queue() const { return m_queue; }

    // Steps a user takes, exposed for tests and the gallery.
    void selectCommand(const QString &cmd);
    // Fills the parameter fields of the selected command and adds it; false (with
    // "#IDS_DataFormat_InputUncorrect" shown) when an entry breaks its field's rule.
    bool addCommand(const QStringList &entries);
    void removeCommand(int row);
    void setSample(const QString &text);
    QString previewText() const;
    QString statusText() const;

private:
    void buildFields();
    void refreshQueue();
    void refreshPreview();
    void save();

    KxDataFormatRule m_rule;
    QList<KxDataFormatCommand> m_queue;
    QString m_selected;
    QSpinBox *m_format;
    QComboBox *m_symbology;
    QSpinBox *m_length;
    QCheckBox *m_anyLength;
    QTreeWidget *m_commands;
    QLabel *m_help;
    QWidget *m_fieldBox;
    QVBoxLayout *m_fieldLayout;
    QList<QWidget *> m_fields;  // QLineEdit or QComboBox per parameter
    QTableWidget *m_table;
    QLineEdit *m_sample;
    QLabel *m_preview;
    QLabel *m_status;
};

class DataFormatListDlg : public NDialogEx
{
    Q_OBJECT
public:
    DataFormatListDlg(const QList<KxDataFormatRule> &rules, QWidget *parent = nullptr);
    QList<KxDataFormatRule> rules() const { return m_rules; }
    QTreeWidget *list() const { return m_list; }
    // Opens the rule editor for a new rule (row -1) or the rule of a row.
    DataFormatEditDlg *edit(int row);
    void remove(int row);
    void move(int row, int by);

private:
    void refresh(int select);
    QList<KxDataFormatRule> m_rules;
    QTreeWidget *m_list;
    QPointer<DataFormatEditDlg> m_editor;
};

namespace DataFormatText {
// "All Symbologies" for "999", else the id.
QString symbologyName(const QString &id);
// One line per rule: "Data Format %1:%2".
QString displayLines(const QList<KxDataFormatRule> &rules);
}  // namespace DataFormatText
