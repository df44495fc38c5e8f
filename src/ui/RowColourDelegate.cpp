#include "ui/RowColourDelegate.h"

#include <QBrush>

void RowColourDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    const QVariant brush = index.data(Qt::ForegroundRole);
    if (brush.canConvert<QBrush>() && brush.value<QBrush>().color() == QColor(Qt::red)) {
        option->palette.setColor(QPalette::Highlight, QColor(176, 0, 32));
        option->palette.setColor(QPalette::HighlightedText, QColor(Qt::white));
    }
}
