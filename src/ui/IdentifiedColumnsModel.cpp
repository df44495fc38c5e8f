#include "ui/IdentifiedColumnsModel.h"

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
