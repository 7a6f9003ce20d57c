#include "ResultOutputTableViewDelegate.h"

#include "ResultOutputTableViewModel.h"

void ResultOutputTableViewDelegate::initStyleOption(QStyleOptionViewItem *option,
                                                   const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    option->textElideMode = Qt::ElideMiddle;
    if (index.data(ResultOutputTableViewModel::FailRole).toBool()) {
        option->palette.setColor(QPalette::Text, QColor(0xd9, 0x30, 0x25));
        option->palette.setColor(QPalette::HighlightedText, QColor(0xff, 0xd0, 0xcc));
        option->font.setBold(true);
    }
}
