#pragma once

#include "planner/CashFlowPlan.h"

#include <QWidget>

struct AppContext;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

// The (hidden) parameter tab of the cash-flow planner: the run's parameters and results, and
// the due-date calculator on the right.
class ParameterPage : public QWidget
{
    Q_OBJECT
public:
    explicit ParameterPage(AppContext& context, QWidget* parent = nullptr);

    // The run's parameters as typed; throws Error for an amount that is no whole number.
    CashFlow::Parameters parameters() const;
    // Periods run, loan total and self-raised total into their labels.
    void showResult(const CashFlow::Result& result);

private:
    void calculateRepaymentDate();

    AppContext& m_context;
    QLineEdit* m_overdraft = nullptr; // not used by the run
    QLineEdit* m_pool = nullptr;
    QLineEdit* m_loan = nullptr;
    QSpinBox* m_loanDay = nullptr;
    QSpinBox* m_interval = nullptr; // not used by the run
    QSpinBox* m_startYear = nullptr;
    QSpinBox* m_startMonth = nullptr;
    QSpinBox* m_periods = nullptr;
    QLabel* m_periodsRun = nullptr;
    QLabel* m_selfRaised = nullptr;
    QLabel* m_loanTotal = nullptr;
    QDateEdit* m_withdrawalDate = nullptr;
    QLineEdit* m_freeDays = nullptr;
    QDateEdit* m_repaymentDate = nullptr;
    QPushButton* m_calculate = nullptr;
};
