#pragma once
#include "ui/IdentifiedColumnsModel.h"
#include "zpool/RaidInfo.h"

// The pool list. It holds the list it shows, so a refresh that builds a new
// one never changes rows under a reader; the list is swapped on the GUI thread.
class RaidListModel : public IdentifiedColumnsModel {
    Q_OBJECT
public:
    explicit RaidListModel(QList<Column> columns, QObject* parent = nullptr);
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    void setList(RaidListPtr list);
    RaidListPtr list() const { return list_; }
    RaidInfoPtr pool(int row) const;

protected:
    QString cellText(int row, const QString& identifier) const override;
    bool rowIsRed(int row) const override;

private:
    RaidListPtr list_ = std::make_shared<const RaidList>();
};
