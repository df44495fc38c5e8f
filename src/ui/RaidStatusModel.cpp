#include "ui/RaidStatusModel.h"

#include "pools/PoolViewRules.h"

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
