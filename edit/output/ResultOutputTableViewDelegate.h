#pragma once
// Draws result cells: long data elided in the middle (the whole text is the tool tip) and
// failures ("NG") in the warning colour.
#include <QStyledItemDelegate>

class ResultOutputTableViewDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;
};
