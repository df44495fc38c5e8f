#include "ui/DiskTableModel.h"

#include "create/DiskColumns.h"
#include "pools/DiskContents.h"

DiskTableModel::DiskTableModel(QObject* parent)
    : QAbstractTableModel(parent), tableIdentifier_(DiskColumns::TableIdentifier),
      identifiers_{DiskColumns::Slot,      DiskColumns::Model,    DiskColumns::SN,
                   DiskColumns::Available, DiskColumns::DiskPath, DiskColumns::MountPoint},
      titles_{tr("Bay"),       tr("Model"),     tr("Serial Number"),
              tr("Capacity"),  tr("Disk"),      tr("Volume")}
{
}

void DiskTableModel::reload(const HddList& disks, RaidListPtr pools)
{
    beginResetModel();
    disks_ = disks;
    holds_.clear();
    for (const VRLHddInfoPtr& d : disks_)
        holds_ << (d && pools ? DiskContents::summary(DiskContents::holding(*d, *pools)) : QString());
    endResetModel();
}

int DiskTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(disks_.size());
}

int DiskTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(identifiers_.size());
}

QVariant DiskTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= disks_.size())
        return {};
    if (role == Qt::TextAlignmentRole && identifiers_.value(index.column()) == DiskColumns::Available)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole && role != Qt::AccessibleTextRole)
        return {};
    if (tableIdentifier_ != DiskColumns::TableIdentifier)
        return QString();
    const VRLHddInfoPtr& disk = disks_.at(index.row());
    if (!disk)
        return QString();
    return DiskColumns::cellText(*disk, identifiers_.value(index.column()), holds_.value(index.row()));
}

QVariant DiskTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return titles_.value(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}
