#include "ui/RaidListModel.h"

#include "pools/PoolViewRules.h"

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
