#pragma once
#include "zpool/RaidInfo.h"

#include <QAbstractTableModel>
#include <QStyledItemDelegate>

// A table whose columns are known by identifier, as the pool view's rules
// speak of them; the header's Qt::UserRole answers the identifier.
class IdentifiedColumnsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    struct Column {
        QString identifier;
        QString title;
    };
    explicit IdentifiedColumnsModel(QList<Column> columns, QObject* parent = nullptr);

    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QString identifier(int column) const;

protected:
    virtual QString cellText(int row, const QString& identifier) const = 0;
    virtual bool rowIsRed(int row) const = 0;

private:
    QList<Column> columns_;
};

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

// Keeps a red row recognisable while it is selected: the highlight would
// otherwise paint every selected row's text the same.
class RowColourDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};
