#pragma once
#include "ui/IdentifiedColumnsModel.h"
#include "zpool/RaidStatus.h"

// The member table: a copy of the selected pool's member list.
class RaidStatusModel : public IdentifiedColumnsModel {
    Q_OBJECT
public:
    explicit RaidStatusModel(QList<Column> columns, QObject* parent = nullptr);
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    void setList(const RaidStatusList& list);
    const RaidStatusList& list() const { return list_; }
    RaidStatusPtr member(int row) const;

protected:
    QString cellText(int row, const QString& identifier) const override;
    bool rowIsRed(int row) const override;

private:
    RaidStatusList list_;
};
