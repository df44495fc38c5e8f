#pragma once
#include "devices/VRLHddInfo.h"
#include "zpool/RaidInfo.h"

#include <QAbstractTableModel>
#include <QStringList>

// The disk table of the create-RAID panel. Cells are answered by column
// identifier; the rows are the disks given at the last reload.
class DiskTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit DiskTableModel(QObject* parent = nullptr);

    // Identifier of the table; only "DiskList" shows cell texts.
    void setTableIdentifier(const QString& identifier) { tableIdentifier_ = identifier; }
    QString tableIdentifier() const { return tableIdentifier_; }
    QString columnIdentifier(int column) const { return identifiers_.value(column); }
    int columnOf(const QString& identifier) const { return identifiers_.indexOf(identifier); }

    // `pools` (imported and ejected) tell which disks belong to a RAID set.
    void reload(const HddList& disks, RaidListPtr pools = nullptr);
    const HddList& disks() const { return disks_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    QString tableIdentifier_;
    QStringList identifiers_;
    QStringList titles_;
    HddList disks_;
    QStringList holds_;  // per row: the set or volumes on the disk
};
