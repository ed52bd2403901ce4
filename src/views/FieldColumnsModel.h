#pragma once

#include <QAbstractProxyModel>
#include <QList>
#include <QString>
#include <QVector>

class Query;

// Shows chosen fields of a Query, by name and in a given order, with their titles. Rows are the
// query's rows one to one; fields the query lacks show empty cells.
class FieldColumnsModel : public QAbstractProxyModel
{
    Q_OBJECT
public:
    struct Column
    {
        QString field;
        QString title;
    };

    FieldColumnsModel(QList<Column> columns, QObject* parent = nullptr);

    void setSourceModel(QAbstractItemModel* source) override; // a Query
    Query* query() const;

    const QList<Column>& columns() const { return m_columns; }
    int sourceColumn(int column) const;            // -1 when the query lacks the field
    int columnOfField(const QString& field) const; // -1 when not shown

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QModelIndex mapToSource(const QModelIndex& proxyIndex) const override;
    QModelIndex mapFromSource(const QModelIndex& sourceIndex) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QModelIndex sibling(int row, int column, const QModelIndex& idx) const override;

private:
    void remap();

    QList<Column> m_columns;
    QVector<int> m_sourceColumns;
    QList<QMetaObject::Connection> m_connections;
};
