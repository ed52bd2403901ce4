#pragma once

#include "billing/MonthPlan.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QDate>

// The month view's grid: one week a row, Monday to Sunday, the days of one month with their
// repayments and statement days. Read-only; cells outside the month are empty and disabled.
class RepaymentMonthModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int DateRole = Qt::UserRole + 1; // QDate of a day cell

    // A day's shade and the text drawn on it: set together, readable in any desktop theme.
    struct Shade
    {
        QColor background;
        QColor text;
    };
    // Nothing (invalid colours) for State::None: the view's own colours.
    static Shade shadeOf(MonthPlan::State state);

    explicit RepaymentMonthModel(QObject* parent = nullptr);

    // New cards or a new today; the month shown stays.
    void setCards(const QList<CardFacts>& cards, QDate today);
    // The month of `date` (any day in it).
    void showMonth(QDate date);
    void showPreviousMonth() { showMonth(m_month.addMonths(-1)); }
    void showNextMonth() { showMonth(m_month.addMonths(1)); }

    QDate month() const { return m_month; } // its first day
    QDate today() const { return m_today; }
    QString monthTitle() const;            // "2026年12月"
    QModelIndex indexOf(QDate date) const; // invalid outside the month
    const MonthPlan::Day* dayAt(const QModelIndex& index) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

signals:
    void monthChanged();

private:
    void rebuild();
    QString cellText(const MonthPlan::Day& day) const;

    QList<CardFacts> m_cards;
    QDate m_today;
    QDate m_month;
    QList<MonthPlan::Day> m_days;
    int m_leadingCells = 0; // empty cells before the 1st (days of the week before it)
};
