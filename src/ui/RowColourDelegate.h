#pragma once
#include <QStyledItemDelegate>

// Keeps a red row recognisable while it is selected: the highlight would
// otherwise paint every selected row's text the same.
class RowColourDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};
