#pragma once

#include "billing/DueSoonCard.h"

#include <QAbstractTableModel>
#include <QList>

// The due-soon cards as the reminder window shows them, read-only: one row per card, most
// urgent first, and the five values of the window's card panel as its columns.
class DueSoonModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { Name, Number, DaysLeft, Used, MinRepayment, ColumnCount };

    explicit DueSoonModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

    void setCards(const QList<DueSoonCard>& cards);
    const QList<DueSoonCard>& cards() const { return m_cards; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    // The shown text: the name, "尾号5678" (empty without a number), the days left and the two
    // amounts ("1500", "120.5"; empty when never filled in).
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QList<DueSoonCard> m_cards;
};
