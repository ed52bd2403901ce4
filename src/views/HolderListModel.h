#pragma once

#include <QAbstractListModel>
#include <QStringList>

class Query;

// The names of the holder list (c_name of Qname) for a holder box, optionally led by "所有".
// Follows every change of the holder list at once; a holder being inserted shows once saved.
class HolderListModel : public QAbstractListModel
{
    Q_OBJECT
public:
    HolderListModel(Query& holders, bool withAllEntry, QObject* parent = nullptr);

    QStringList names() const { return m_names; }
    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    void reload();

    Query& m_holders;
    bool m_withAllEntry;
    QStringList m_names;
};
