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
    void calculateRepaymentDate(); // Button2

    AppContext& m_context;
    QLineEdit* m_overdraft = nullptr;      // Edit10, not used by the run
    QLineEdit* m_pool = nullptr;           // Edit9
    QLineEdit* m_loan = nullptr;           // Edit11
    QSpinBox* m_loanDay = nullptr;         // SpinEdit4
    QSpinBox* m_interval = nullptr;        // SpinEdit1, not used by the run
    QSpinBox* m_startYear = nullptr;       // SpinEdit2
    QSpinBox* m_startMonth = nullptr;      // SpinEdit3
    QSpinBox* m_periods = nullptr;         // SpinEdit5
    QLabel* m_periodsRun = nullptr;        // Label19
    QLabel* m_selfRaised = nullptr;        // Label30
    QLabel* m_loanTotal = nullptr;         // Label21
    QDateEdit* m_withdrawalDate = nullptr; // DateTimePicker1
    QLineEdit* m_freeDays = nullptr;       // Edit1
    QDateEdit* m_repaymentDate = nullptr;  // DateTimePicker2
    QPushButton* m_calculate = nullptr;    // Button2
};
