#include "views/FieldColumnsModel.h"

#include "store/Query.h"

FieldColumnsModel::FieldColumnsModel(QList<Column> columns, QObject* parent)
    : QAbstractProxyModel(parent), m_columns(std::move(columns))
{
    m_sourceColumns.fill(-1, m_columns.size());
}

Query* FieldColumnsModel::query() const
{
    return qobject_cast<Query*>(sourceModel());
}

void FieldColumnsModel::setSourceModel(QAbstractItemModel* source)
{
    beginResetModel();
    for (const auto& connection : std::as_const(m_connections))
        disconnect(connection);
    m_connections.clear();
    QAbstractProxyModel::setSourceModel(source);
    if (source) {
        // The query resets for every reopen and sort and otherwise only inserts, removes and
        // changes rows; columns change only with a reset.
        m_connections << connect(source, &QAbstractItemModel::modelAboutToBeReset, this,
                                 &FieldColumnsModel::beginResetModel);
        m_connections << connect(source, &QAbstractItemModel::modelReset, this, [this] {
            remap();
            endResetModel();
        });
        m_connections << connect(source, &QAbstractItemModel::layoutAboutToBeChanged, this,
                                 &FieldColumnsModel::beginResetModel);
        m_connections << connect(source, &QAbstractItemModel::layoutChanged, this, [this] {
            remap();
            endResetModel();
        });
        m_connections << connect(
            source, &QAbstractItemModel::rowsAboutToBeInserted, this,
            [this](const QModelIndex&, int first, int last) { beginInsertRows({}, first, last); });
        m_connections << connect(source, &QAbstractItemModel::rowsInserted, this,
                                 &FieldColumnsModel::endInsertRows);
        m_connections << connect(
            source, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex&, int first, int last) { beginRemoveRows({}, first, last); });
        m_connections << connect(source, &QAbstractItemModel::rowsRemoved, this,
                                 &FieldColumnsModel::endRemoveRows);
        m_connections << connect(source, &QAbstractItemModel::columnsAboutToBeInserted, this,
                                 &FieldColumnsModel::beginResetModel);
        m_connections << connect(source, &QAbstractItemModel::columnsInserted, this, [this] {
            remap();
            endResetModel();
        });
        m_connections << connect(source, &QAbstractItemModel::columnsAboutToBeRemoved, this,
                                 &FieldColumnsModel::beginResetModel);
        m_connections << connect(source, &QAbstractItemModel::columnsRemoved, this, [this] {
            remap();
            endResetModel();
        });
        m_connections << connect(
            source, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles) {
                if (m_columns.isEmpty() || !topLeft.isValid() || !bottomRight.isValid())
                    return;
                // Shading and footers depend on other fields of the row.
                emit dataChanged(index(topLeft.row(), 0), index(bottomRight.row(), columnCount() - 1), roles);
            });
    }
    remap();
    endResetModel();
}

void FieldColumnsModel::remap()
{
    const Query* q = query();
    for (int c = 0; c < m_columns.size(); ++c)
        m_sourceColumns[c] = q ? q->fieldIndex(m_columns[c].field) : -1;
}

int FieldColumnsModel::sourceColumn(int column) const
{
    return column >= 0 && column < m_sourceColumns.size() ? m_sourceColumns[column] : -1;
}

int FieldColumnsModel::columnOfField(const QString& field) const
{
    for (int c = 0; c < m_columns.size(); ++c) {
        if (m_columns[c].field.compare(field, Qt::CaseInsensitive) == 0)
            return c;
    }
    return -1;
}

QModelIndex FieldColumnsModel::index(int row, int column, const QModelIndex& parent) const
{
    if (parent.isValid() || row < 0 || column < 0 || row >= rowCount() || column >= columnCount())
        return {};
    return createIndex(row, column);
}

QModelIndex FieldColumnsModel::parent(const QModelIndex&) const
{
    return {};
}

QModelIndex FieldColumnsModel::sibling(int row, int column, const QModelIndex&) const
{
    return index(row, column);
}

bool FieldColumnsModel::hasChildren(const QModelIndex& parent) const
{
    return !parent.isValid() && rowCount() > 0 && columnCount() > 0;
}

int FieldColumnsModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() || !sourceModel())
        return 0;
    return sourceModel()->rowCount();
}

int FieldColumnsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QModelIndex FieldColumnsModel::mapToSource(const QModelIndex& proxyIndex) const
{
    if (!proxyIndex.isValid() || !sourceModel())
        return {};
    const int column = sourceColumn(proxyIndex.column());
    if (column < 0)
        return {};
    return sourceModel()->index(proxyIndex.row(), column);
}

QModelIndex FieldColumnsModel::mapFromSource(const QModelIndex& sourceIndex) const
{
    if (!sourceIndex.isValid())
        return {};
    const int column = int(m_sourceColumns.indexOf(sourceIndex.column()));
    if (column < 0)
        return {};
    return index(sourceIndex.row(), column);
}

QVariant FieldColumnsModel::data(const QModelIndex& index, int role) const
{
    const QModelIndex source = mapToSource(index);
    return source.isValid() ? source.data(role) : QVariant();
}

bool FieldColumnsModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    const QModelIndex source = mapToSource(index);
    return source.isValid() && sourceModel()->setData(source, value, role);
}

Qt::ItemFlags FieldColumnsModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    const QModelIndex source = mapToSource(index);
    return source.isValid() ? sourceModel()->flags(source) : (Qt::ItemIsEnabled | Qt::ItemIsSelectable);
}

QVariant FieldColumnsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && section >= 0 && section < m_columns.size()) {
        if (role == Qt::DisplayRole)
            return m_columns[section].title;
        if (role == Qt::TextAlignmentRole)
            return int(Qt::AlignCenter);
        return {};
    }
    if (orientation == Qt::Vertical && role == Qt::DisplayRole && section >= 0 && section < rowCount())
        return QString();
    return {};
}
