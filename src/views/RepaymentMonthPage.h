#pragma once

#include "billing/CardFacts.h"

#include <QWidget>
#include <functional>

class Clock;
class QLabel;
class QListWidget;
class QModelIndex;
class QPushButton;
class QTableView;
class RepaymentMonthModel;

// "还款日历": a month of repayments and statement days as a grid, the previous and next month a
// button away; Enter or a click on a day lists its cards below. The cards come from a source
// the window gives; they are read again whenever the page comes into view.
class RepaymentMonthPage : public QWidget
{
    Q_OBJECT
public:
    using CardSource = std::function<QList<CardFacts>()>; // may throw Error

    explicit RepaymentMonthPage(const Clock& clock, QWidget* parent = nullptr);

    void setCardSource(CardSource source);
    // Reads the cards again now when the page is shown, else when it next comes into view.
    void reload();

    RepaymentMonthModel* model() const { return m_model; }
    QTableView* grid() const { return m_grid; }
    QListWidget* dayList() const { return m_dayList; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void load();
    void showMonthTitle();
    void listDay(const QModelIndex& index);
    void stepMonth(int months);

    const Clock& m_clock;
    CardSource m_source;
    bool m_stale = true;
    RepaymentMonthModel* m_model = nullptr;
    QPushButton* m_previous = nullptr;
    QPushButton* m_next = nullptr;
    QPushButton* m_thisMonth = nullptr;
    QLabel* m_monthLabel = nullptr;
    QLabel* m_problem = nullptr;
    QTableView* m_grid = nullptr;
    QLabel* m_dayLabel = nullptr;
    QListWidget* m_dayList = nullptr;
};
