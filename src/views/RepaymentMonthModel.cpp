#include "views/RepaymentMonthModel.h"

#include <QFont>

namespace {

constexpr int kDaysInWeek = 7;

const char16_t* const kWeekdays[kDaysInWeek] = {u"一", u"二", u"三", u"四", u"五", u"六", u"日"};

QDate firstOfMonth(QDate date)
{
    return QDate(date.year(), date.month(), 1);
}

} // namespace

RepaymentMonthModel::Shade RepaymentMonthModel::shadeOf(MonthPlan::State state)
{
    switch (state) {
    case MonthPlan::State::None:
        return {};
    case MonthPlan::State::DueSoon:
        return {QColor(0xFF, 0xE2, 0xA0), QColor(0x5C, 0x3A, 0x00)};
    case MonthPlan::State::Overdue:
        return {QColor(0xF6, 0xB8, 0xB8), QColor(0x7A, 0x00, 0x00)};
    case MonthPlan::State::Repaid:
        return {QColor(0xC8, 0xE6, 0xC9), QColor(0x1B, 0x45, 0x1E)};
    }
    return {};
}

RepaymentMonthModel::RepaymentMonthModel(QObject* parent) : QAbstractTableModel(parent) {}

void RepaymentMonthModel::setCards(const QList<CardFacts>& cards, QDate today)
{
    beginResetModel();
    m_cards = cards;
    m_today = today;
    if (!m_month.isValid())
        m_month = firstOfMonth(today);
    rebuild();
    endResetModel();
}

void RepaymentMonthModel::showMonth(QDate date)
{
    if (!date.isValid() || firstOfMonth(date) == m_month)
        return;
    beginResetModel();
    m_month = firstOfMonth(date);
    rebuild();
    endResetModel();
    emit monthChanged();
}

void RepaymentMonthModel::rebuild()
{
    m_days = MonthPlan::days(m_cards, m_month, m_today);
    m_leadingCells = m_month.isValid() ? m_month.dayOfWeek() - 1 : 0;
}

QString RepaymentMonthModel::monthTitle() const
{
    return QStringLiteral("%1年%2月").arg(m_month.year()).arg(m_month.month());
}

QModelIndex RepaymentMonthModel::indexOf(QDate date) const
{
    if (!date.isValid() || firstOfMonth(date) != m_month)
        return {};
    const int cell = m_leadingCells + date.day() - 1;
    return index(cell / kDaysInWeek, cell % kDaysInWeek);
}

const MonthPlan::Day* RepaymentMonthModel::dayAt(const QModelIndex& index) const
{
    if (!index.isValid() || index.model() != this)
        return nullptr;
    const int day = index.row() * kDaysInWeek + index.column() - m_leadingCells;
    return day >= 0 && day < m_days.size() ? &m_days.at(day) : nullptr;
}

int RepaymentMonthModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() || m_days.isEmpty())
        return 0;
    return (m_leadingCells + int(m_days.size()) + kDaysInWeek - 1) / kDaysInWeek;
}

int RepaymentMonthModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kDaysInWeek;
}

QString RepaymentMonthModel::cellText(const MonthPlan::Day& day) const
{
    using MonthPlan::Kind;
    QString text = QString::number(day.date.day());
    if (day.date == m_today)
        text += QStringLiteral(" 今天");
    if (const int repayments = day.count(Kind::Repayment)) {
        text += QStringLiteral("\n还款 %1张").arg(repayments);
        if (const MonthPlan::State shade = day.shade(); shade != MonthPlan::State::None)
            text += u' ' + MonthPlan::stateText(shade); // the colour is never the only sign
    }
    if (const int statements = day.count(Kind::Statement))
        text += QStringLiteral("\n账单日 %1张").arg(statements);
    return text;
}

QVariant RepaymentMonthModel::data(const QModelIndex& index, int role) const
{
    const MonthPlan::Day* day = dayAt(index);
    if (!day)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return cellText(*day);
    case Qt::AccessibleTextRole:
    case Qt::ToolTipRole:
        return MonthPlan::dayText(*day, m_today);
    case DateRole:
        return day->date;
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignTop);
    case Qt::FontRole:
        if (day->date == m_today) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    case Qt::BackgroundRole:
    case Qt::ForegroundRole: {
        const Shade shade = shadeOf(day->shade());
        if (!shade.background.isValid())
            return {};
        return role == Qt::BackgroundRole ? shade.background : shade.text;
    }
    default:
        return {};
    }
}

QVariant RepaymentMonthModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= kDaysInWeek)
        return QAbstractTableModel::headerData(section, orientation, role);
    const QString weekday = QString::fromUtf16(kWeekdays[section]);
    if (role == Qt::DisplayRole)
        return weekday;
    if (role == Qt::AccessibleTextRole || role == Qt::ToolTipRole)
        return QStringLiteral("星期") + weekday;
    return {};
}

Qt::ItemFlags RepaymentMonthModel::flags(const QModelIndex& index) const
{
    return dayAt(index) ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}
