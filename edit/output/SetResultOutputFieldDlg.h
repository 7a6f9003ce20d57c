#pragma once
// Chooses the columns of a result table: one check box per column and "select all". OK stays
// disabled while nothing is checked, as a table without columns shows nothing.
#include "NDialogEx.h"

#include <QList>

class QCheckBox;
class QGridLayout;
class KxPushButton;

class SetResultOutputFieldDlg : public NDialogEx
{
    Q_OBJECT
public:
    explicit SetResultOutputFieldDlg(QWidget *parent = nullptr);

    // strDes: a text key or a literal column name.
    void addItem(const QString &strDes, bool bCheck);
    QList<bool> checkedItems() const;
    QList<QCheckBox *> checkBoxes() const { return m_boxes; }
    QCheckBox *selectAllBox() const { return m_selectAll; }
    KxPushButton *okButton() const { return m_ok; }

signals:
    // A change left at least one column checked.
    void anyChecked();

private:
    void onItemToggled();
    void onSelectAll(bool checked);

    QGridLayout *m_grid;
    QCheckBox *m_selectAll;
    QList<QCheckBox *> m_boxes;
    KxPushButton *m_ok;
};
