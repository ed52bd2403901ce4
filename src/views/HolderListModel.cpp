#include "views/HolderListModel.h"

#include "store/Query.h"
#include "views/CardFilter.h"

HolderListModel::HolderListModel(Query& holders, bool withAllEntry, QObject* parent)
    : QAbstractListModel(parent), m_holders(holders), m_withAllEntry(withAllEntry)
{
    connect(&m_holders, &QAbstractItemModel::modelReset, this, &HolderListModel::reload);
    connect(&m_holders, &QAbstractItemModel::layoutChanged, this, &HolderListModel::reload);
    connect(&m_holders, &QAbstractItemModel::rowsInserted, this, &HolderListModel::reload);
    connect(&m_holders, &QAbstractItemModel::rowsRemoved, this, &HolderListModel::reload);
    connect(&m_holders, &QAbstractItemModel::dataChanged, this, &HolderListModel::reload);
    connect(&m_holders, &Query::stateChanged, this, &HolderListModel::reload);
    reload();
}

void HolderListModel::reload()
{
    QStringList names;
    if (m_withAllEntry)
        names << QString::fromUtf16(CardFilter::kAllHolders);
    const int column = m_holders.isOpen() ? m_holders.fieldIndex(QStringLiteral("c_name")) : -1;
    if (column >= 0) {
        const bool inserting = m_holders.state() == Query::State::Insert;
        for (int row = 0; row < m_holders.recordCount(); ++row) {
            if (inserting && row == m_holders.currentRow())
                continue; // not saved yet
            const QString name = m_holders.valueAt(row, column).toString();
            if (!name.trimmed().isEmpty())
                names << name;
        }
    }
    if (names == m_names)
        return;
    beginResetModel();
    m_names = names;
    endResetModel();
}

int HolderListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_names.size());
}

QVariant HolderListModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return m_names.at(index.row());
    return {};
}
