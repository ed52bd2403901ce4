#include "remind/DueSoonModel.h"

void DueSoonModel::setCards(const QList<DueSoonCard>& cards)
{
    beginResetModel();
    m_cards = cards;
    endResetModel();
}

int DueSoonModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_cards.size());
}

int DueSoonModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant DueSoonModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const DueSoonCard& card = m_cards.at(index.row());
    switch (index.column()) {
    case Name:
        return card.name;
    case Number:
        // Shown over whatever is on screen: of the card number only its readable last four.
        return card.numberLast4.isEmpty() ? QString() : QStringLiteral("尾号") + card.numberLast4;
    case DaysLeft:
        return QString::number(card.daysLeft);
    case Used: // the amount used (i_yxf), not the interest-free days
        return amountText(card.used);
    case MinRepayment:
        return amountText(card.minRepayment);
    }
    return {};
}

QVariant DueSoonModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char16_t* const kTitles[ColumnCount] = {u"卡名", u"卡号", u"剩下还款天数", u"已消费",
                                                         u"最低还款"};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    return QString::fromUtf16(kTitles[section]);
}
