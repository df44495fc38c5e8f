#pragma once
#include <QAbstractTableModel>
#include <QList>
#include <QString>

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
