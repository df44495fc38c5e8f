#include "ui/PoolTableModels.h"

#include "pools/PoolViewRules.h"

#include <QBrush>

IdentifiedColumnsModel::IdentifiedColumnsModel(QList<Column> columns, QObject* parent)
    : QAbstractTableModel(parent), columns_(std::move(columns))
{
}

int IdentifiedColumnsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(columns_.size());
}

QString IdentifiedColumnsModel::identifier(int column) const
{
    return column >= 0 && column < columns_.size() ? columns_.at(column).identifier : QString();
}

QVariant IdentifiedColumnsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= columns_.size())
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole)
        return columns_.at(section).title;
    if (role == Qt::UserRole)
        return columns_.at(section).identifier;
    return {};
}

QVariant IdentifiedColumnsModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return cellText(index.row(), identifier(index.column()));
    case Qt::ForegroundRole:
        return QBrush(rowIsRed(index.row()) ? QColor(Qt::red) : QColor(Qt::black));
    default:
        return {};
    }
}

RaidListModel::RaidListModel(QList<Column> columns, QObject* parent)
    : IdentifiedColumnsModel(std::move(columns), parent)
{
}

int RaidListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(list_->size());
}

void RaidListModel::setList(RaidListPtr list)
{
    beginResetModel();
    list_ = list ? std::move(list) : std::make_shared<const RaidList>();
    endResetModel();
}

RaidInfoPtr RaidListModel::pool(int row) const
{
    return row >= 0 && row < list_->size() ? list_->at(row) : nullptr;
}

QString RaidListModel::cellText(int row, const QString& id) const
{
    return PoolViewRules::poolCellText(*list_->at(row), id);
}

bool RaidListModel::rowIsRed(int row) const
{
    return PoolViewRules::poolRowColour(*list_->at(row)) == PoolViewRules::TextColour::Red;
}

RaidStatusModel::RaidStatusModel(QList<Column> columns, QObject* parent)
    : IdentifiedColumnsModel(std::move(columns), parent)
{
}

int RaidStatusModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(list_.size());
}

void RaidStatusModel::setList(const RaidStatusList& list)
{
    beginResetModel();
    list_ = list;
    endResetModel();
}

RaidStatusPtr RaidStatusModel::member(int row) const
{
    return row >= 0 && row < list_.size() ? list_.at(row) : nullptr;
}

QString RaidStatusModel::cellText(int row, const QString& id) const
{
    return PoolViewRules::memberCellText(*list_.at(row), id);
}

bool RaidStatusModel::rowIsRed(int row) const
{
    return PoolViewRules::memberRowColour(*list_.at(row)) == PoolViewRules::TextColour::Red;
}

void RowColourDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    const QVariant brush = index.data(Qt::ForegroundRole);
    if (brush.canConvert<QBrush>() && brush.value<QBrush>().color() == QColor(Qt::red)) {
        option->palette.setColor(QPalette::Highlight, QColor(176, 0, 32));
        option->palette.setColor(QPalette::HighlightedText, QColor(Qt::white));
    }
}
