#include "planner/ParameterPage.h"

#include "planner/DueDateCalculator.h"
#include "ui/AppContext.h"
#include "ui/ShowErrors.h"

#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

QLabel* label(const QString& name, const QString& text, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    return l;
}

QLineEdit* edit(const QString& name, const QString& text, QWidget* parent)
{
    auto* e = new QLineEdit(text, parent);
    e->setObjectName(name);
    e->setFixedWidth(121);
    return e;
}

QSpinBox* spin(const QString& name, int low, int high, int value, QWidget* parent)
{
    auto* s = new QSpinBox(parent);
    s->setObjectName(name);
    s->setRange(low, high);
    s->setValue(value);
    s->setMinimumWidth(80);
    return s;
}

QDateEdit* datePicker(const QString& name, QDate date, QWidget* parent)
{
    auto* d = new QDateEdit(parent);
    d->setObjectName(name);
    d->setDateRange(DueDateCalculator::earliestDate(), DueDateCalculator::latestDate());
    d->setDisplayFormat(QStringLiteral("yyyy-M-d"));
    d->setCalendarPopup(true);
    d->setDate(date);
    d->setMinimumWidth(121);
    return d;
}

} // namespace

ParameterPage::ParameterPage(AppContext& context, QWidget* parent) : QWidget(parent), m_context(context)
{
    setObjectName(QStringLiteral("cashFlowParameterPage"));
    auto* layout = new QVBoxLayout(this);

    auto* group = new QGroupBox(QStringLiteral("GroupBox5"), this);
    group->setObjectName(QStringLiteral("parameterGroup"));
    group->setFixedHeight(305);
    layout->addWidget(group);
    layout->addStretch(1);

    auto* grid = new QGridLayout(group);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(10);

    // Left: the run's parameters.
    m_overdraft = edit(QStringLiteral("overdraftEdit"), QStringLiteral("10000"), group);
    m_pool = edit(QStringLiteral("poolEdit"), QStringLiteral("0"), group);
    m_loan = edit(QStringLiteral("loanEdit"), QStringLiteral("10000"), group);
    m_loanDay = spin(QStringLiteral("loanRepaymentDayBox"), 1, 31, 18, group);
    m_interval = spin(QStringLiteral("intervalDaysBox"), 0, 30, 1, group);
    m_startYear = spin(QStringLiteral("startYearBox"), 2013, 2100, 2013, group);
    m_startMonth = spin(QStringLiteral("startMonthBox"), 1, 12, 9, group);
    m_periods = spin(QStringLiteral("periodsBox"), 1, 2100, 5, group);

    grid->addWidget(label(QStringLiteral("overdraftLabel"), QStringLiteral("透支金"), group), 0, 0);
    grid->addWidget(m_overdraft, 0, 1);
    grid->addWidget(label(QStringLiteral("poolLabel"), QStringLiteral("周转金"), group), 1, 0);
    grid->addWidget(m_pool, 1, 1);
    grid->addWidget(label(QStringLiteral("loanLabel"), QStringLiteral("贷款金"), group), 2, 0);
    grid->addWidget(m_loan, 2, 1);
    grid->addWidget(label(QStringLiteral("loanRepaymentDayLabel"), QStringLiteral("贷款还款日"), group), 3,
                    0);
    grid->addWidget(m_loanDay, 3, 1, Qt::AlignLeft);
    grid->addWidget(label(QStringLiteral("intervalDaysLabel"), QStringLiteral("间隔天数"), group), 4, 0);
    grid->addWidget(m_interval, 4, 1, Qt::AlignLeft);
    grid->addWidget(label(QStringLiteral("startDateLabel"), QStringLiteral("开始日期"), group), 5, 0);
    grid->addWidget(m_startYear, 5, 1, Qt::AlignLeft);
    auto* monthBox = new QHBoxLayout;
    monthBox->addWidget(m_startMonth);
    monthBox->addWidget(label(QStringLiteral("startMonthUnitLabel"), QStringLiteral("月"), group));
    monthBox->addStretch(1);
    grid->addLayout(monthBox, 5, 2, 1, 2);

    // Middle: the number of periods.
    grid->addWidget(label(QStringLiteral("periodsLabel"), QStringLiteral("期数"), group), 0, 2,
                    Qt::AlignRight);
    grid->addWidget(m_periods, 0, 3, Qt::AlignLeft);

    // Bottom row: the results.
    m_periodsRun = label(QStringLiteral("periodsRunValue"), QStringLiteral("0"), group);
    m_selfRaised = label(QStringLiteral("selfRaisedValue"), QStringLiteral("0"), group);
    m_loanTotal = label(QStringLiteral("loanTotalValue"), QStringLiteral("0"), group);
    auto* results = new QHBoxLayout;
    results->addWidget(label(QStringLiteral("periodsRunLabel"), QStringLiteral("运作月份数："), group));
    results->addWidget(m_periodsRun);
    results->addSpacing(120);
    results->addWidget(label(QStringLiteral("selfRaisedLabel"), QStringLiteral("使用自筹金："), group));
    results->addWidget(m_selfRaised);
    results->addSpacing(120);
    results->addWidget(label(QStringLiteral("loanTotalLabel"), QStringLiteral("还贷款总数："), group));
    results->addWidget(m_loanTotal);
    results->addStretch(1);
    grid->addLayout(results, 6, 0, 1, 7);

    // Right: the due-date calculator.
    grid->setColumnStretch(4, 1);
    m_withdrawalDate = datePicker(QStringLiteral("withdrawalDateEdit"), QDate(2013, 9, 4), group);
    m_freeDays = edit(QStringLiteral("freeDaysEdit"), QStringLiteral("45"), group);
    m_repaymentDate = datePicker(QStringLiteral("repaymentDateEdit"), QDate(2013, 9, 29), group);
    m_calculate = new QPushButton(QStringLiteral("计算"), group);
    m_calculate->setObjectName(QStringLiteral("calculateRepaymentDateButton"));
    grid->addWidget(label(QStringLiteral("withdrawalDateLabel"), QStringLiteral("提现日："), group), 1, 5);
    grid->addWidget(m_withdrawalDate, 1, 6);
    grid->addWidget(label(QStringLiteral("freeDaysLabel"), QStringLiteral("名息日："), group), 2, 5);
    grid->addWidget(m_freeDays, 2, 6);
    grid->addWidget(label(QStringLiteral("repaymentDateLabel"), QStringLiteral("还款日："), group), 3, 5);
    grid->addWidget(m_repaymentDate, 3, 6);
    grid->addWidget(m_calculate, 4, 6, Qt::AlignLeft);

    connect(m_calculate, &QPushButton::clicked, this, &ParameterPage::calculateRepaymentDate);
}

CashFlow::Parameters ParameterPage::parameters() const
{
    return CashFlow::readParameters(m_pool->text(), m_loan->text(), m_loanDay->value(), m_startYear->value(),
                                    m_startMonth->value(), m_periods->value());
}

void ParameterPage::showResult(const CashFlow::Result& result)
{
    m_periodsRun->setText(QString::number(result.periodsRun));
    m_loanTotal->setText(QString::number(result.loanTotal));
    m_selfRaised->setText(QString::number(result.selfRaised));
}

void ParameterPage::calculateRepaymentDate()
{
    ui::showErrors(this, [this] {
        m_repaymentDate->setDate(
            DueDateCalculator::repaymentDate(m_withdrawalDate->date(), m_freeDays->text()));
    });
}
