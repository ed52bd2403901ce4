#include "views/RepaymentMonthPage.h"

#include "store/Clock.h"
#include "store/Error.h"
#include "views/RepaymentMonthModel.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <utility>

namespace {

QPushButton* makeButton(const QString& text, const QString& name, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setAccessibleName(text);
    return button;
}

// A label in a state's colours, saying what the colour means.
QLabel* makeLegend(MonthPlan::State state, const QString& name, QWidget* parent)
{
    auto* label = new QLabel(MonthPlan::stateText(state), parent);
    label->setObjectName(name);
    const RepaymentMonthModel::Shade shade = RepaymentMonthModel::shadeOf(state);
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, shade.background);
    palette.setColor(QPalette::WindowText, shade.text);
    label->setPalette(palette);
    label->setAutoFillBackground(true);
    label->setContentsMargins(6, 2, 6, 2);
    return label;
}

} // namespace

RepaymentMonthPage::RepaymentMonthPage(const Clock& clock, QWidget* parent)
    : QWidget(parent), m_clock(clock), m_model(new RepaymentMonthModel(this))
{
    m_previous = makeButton(QStringLiteral("上个月"), QStringLiteral("PreviousMonthButton"), this);
    m_next = makeButton(QStringLiteral("下个月"), QStringLiteral("NextMonthButton"), this);
    m_thisMonth = makeButton(QStringLiteral("本月"), QStringLiteral("CurrentMonthButton"), this);
    m_monthLabel = new QLabel(this);
    m_monthLabel->setObjectName(QStringLiteral("MonthLabel"));
    QFont titleFont = m_monthLabel->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.2);
    m_monthLabel->setFont(titleFont);
    m_monthLabel->setMinimumWidth(
        m_monthLabel->fontMetrics().horizontalAdvance(QStringLiteral("0000年00月")) + 8);
    m_monthLabel->setAlignment(Qt::AlignCenter);

    auto* top = new QHBoxLayout;
    top->addWidget(m_previous);
    top->addWidget(m_monthLabel);
    top->addWidget(m_next);
    top->addWidget(m_thisMonth);
    top->addStretch();
    top->addWidget(makeLegend(MonthPlan::State::Overdue, QStringLiteral("OverdueLegend"), this));
    top->addWidget(makeLegend(MonthPlan::State::DueSoon, QStringLiteral("DueSoonLegend"), this));
    top->addWidget(makeLegend(MonthPlan::State::Repaid, QStringLiteral("RepaidLegend"), this));

    m_problem = new QLabel(this);
    m_problem->setObjectName(QStringLiteral("MonthProblem"));
    m_problem->setWordWrap(true);
    m_problem->hide();

    m_grid = new QTableView(this);
    m_grid->setObjectName(QStringLiteral("MonthGrid"));
    m_grid->setAccessibleName(QStringLiteral("还款日历表"));
    m_grid->setModel(m_model);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectItems);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setTabKeyNavigation(false); // Tab goes on to the day's cards
    m_grid->setWordWrap(true);
    m_grid->setCornerButtonEnabled(false);
    m_grid->verticalHeader()->hide();
    m_grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_grid->verticalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_grid->horizontalHeader()->setSectionsClickable(false);

    m_dayLabel = new QLabel(this);
    m_dayLabel->setObjectName(QStringLiteral("DayCardsLabel"));
    m_dayList = new QListWidget(this);
    m_dayList->setObjectName(QStringLiteral("DayCardsList"));
    m_dayList->setAccessibleName(QStringLiteral("当天的卡"));
    m_dayList->setMaximumHeight(m_dayList->fontMetrics().height() * 7);
    m_dayLabel->setBuddy(m_dayList);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_problem);
    layout->addWidget(m_grid, 1);
    layout->addWidget(m_dayLabel);
    layout->addWidget(m_dayList);

    connect(m_previous, &QPushButton::clicked, this, [this] { stepMonth(-1); });
    connect(m_next, &QPushButton::clicked, this, [this] { stepMonth(1); });
    connect(m_thisMonth, &QPushButton::clicked, this, [this] {
        m_model->showMonth(m_model->today());
        m_grid->setCurrentIndex(m_model->indexOf(m_model->today()));
    });
    connect(m_model, &RepaymentMonthModel::monthChanged, this, &RepaymentMonthPage::showMonthTitle);
    connect(m_grid->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { listDay(current); });
    connect(m_grid, &QTableView::clicked, this, &RepaymentMonthPage::listDay);
    // Enter: the day's cards, with the keyboard on their list.
    connect(m_grid, &QTableView::activated, this, [this](const QModelIndex& index) {
        listDay(index);
        if (m_dayList->count() > 0) {
            m_dayList->setCurrentRow(0);
            m_dayList->setFocus(Qt::OtherFocusReason);
        }
    });
}

void RepaymentMonthPage::setCardSource(CardSource source)
{
    m_source = std::move(source);
    reload();
}

void RepaymentMonthPage::reload()
{
    m_stale = true;
    if (isVisible())
        load();
}

void RepaymentMonthPage::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Marks and cards change on other pages: what is shown is read when it comes into view.
    m_stale = true;
    load();
}

void RepaymentMonthPage::load()
{
    if (!std::exchange(m_stale, false))
        return;
    QList<CardFacts> cards;
    m_problem->hide();
    try {
        if (m_source)
            cards = m_source();
    } catch (const Error& e) {
        m_problem->setText(QStringLiteral("无法读取卡片：") + e.message());
        m_problem->show();
    }
    const QDate today = m_clock.today();
    const QDate oldToday = m_model->today();
    // The month of today is followed into the next when the day turns; another month stays.
    const bool followToday = !oldToday.isValid() || (m_model->month().year() == oldToday.year() &&
                                                     m_model->month().month() == oldToday.month());
    const QDate current = m_model->data(m_grid->currentIndex(), RepaymentMonthModel::DateRole).toDate();
    m_model->setCards(cards, today);
    if (followToday)
        m_model->showMonth(today);
    showMonthTitle();
    QModelIndex index = m_model->indexOf(current);
    if (!index.isValid())
        index = m_model->indexOf(today);
    if (!index.isValid())
        index = m_model->indexOf(m_model->month());
    m_grid->setCurrentIndex(index);
    listDay(index);
}

void RepaymentMonthPage::showMonthTitle()
{
    m_monthLabel->setText(m_model->monthTitle());
    m_monthLabel->setAccessibleName(QStringLiteral("当前显示") + m_model->monthTitle());
}

void RepaymentMonthPage::stepMonth(int months)
{
    QDate day = m_model->data(m_grid->currentIndex(), RepaymentMonthModel::DateRole).toDate();
    if (!day.isValid())
        day = m_model->month();
    const QDate target = day.addMonths(months); // the 31st becomes the month's last day
    m_model->showMonth(target);
    m_grid->setCurrentIndex(m_model->indexOf(target));
}

void RepaymentMonthPage::listDay(const QModelIndex& index)
{
    m_dayList->clear();
    const MonthPlan::Day* day = m_model->dayAt(index);
    if (!day) {
        m_dayLabel->clear();
        return;
    }
    m_dayLabel->setText(MonthPlan::dayText(*day, m_model->today()));
    for (const MonthPlan::Entry& entry : day->entries) {
        auto* item = new QListWidgetItem(MonthPlan::entryText(entry), m_dayList);
        const RepaymentMonthModel::Shade shade = RepaymentMonthModel::shadeOf(entry.state);
        if (shade.background.isValid()) {
            item->setBackground(shade.background);
            item->setForeground(shade.text);
        }
    }
}
