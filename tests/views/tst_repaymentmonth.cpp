#include "store/Clock.h"
#include "store/Error.h"
#include "support/SampleFacts.h"
#include "ui/Contrast.h"
#include "views/RepaymentMonthModel.h"
#include "views/RepaymentMonthPage.h"

#include <QAbstractItemModelTester>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QtTest>

namespace {

CardFacts card(int id, int statementDay, int repaymentDay, QDate markedFor = {})
{
    return sampleFacts(id, statementDay, repaymentDay, markedFor, 6780);
}

const QDate kToday(2026, 12, 11);

QString cellText(const QAbstractItemModel& model, QDate date, int role)
{
    const auto& month = static_cast<const RepaymentMonthModel&>(model);
    return month.data(month.indexOf(date), role).toString();
}

} // namespace

// The month view "还款日历": its grid model and the page around it.
class TestRepaymentMonth : public QObject
{
    Q_OBJECT
private slots:
    void weeksOfAMonth_data();
    void weeksOfAMonth();
    void navigationAcrossTheYearEnd();
    void cellTextsAndColours();
    void enterListsTheDaysCards();
    void buttonsKeepTheDayAndTellTheMonth();
    void unreadableCardsAreTold();
};

void TestRepaymentMonth::weeksOfAMonth_data()
{
    QTest::addColumn<QDate>("month");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QPoint>("first"); // column, row of the 1st
    QTest::addColumn<QPoint>("last");
    QTest::newRow("February 2027 starts on a Monday")
        << QDate(2027, 2, 1) << 4 << QPoint(0, 0) << QPoint(6, 3);
    QTest::newRow("February 2028, leap year") << QDate(2028, 2, 1) << 5 << QPoint(1, 0) << QPoint(1, 4);
    QTest::newRow("December 2026") << QDate(2026, 12, 1) << 5 << QPoint(1, 0) << QPoint(3, 4);
    QTest::newRow("August 2026 needs six weeks") << QDate(2026, 8, 1) << 6 << QPoint(5, 0) << QPoint(0, 5);
}

void TestRepaymentMonth::weeksOfAMonth()
{
    QFETCH(QDate, month);
    QFETCH(int, rows);
    QFETCH(QPoint, first);
    QFETCH(QPoint, last);
    RepaymentMonthModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setCards({card(1, 29, 31)}, kToday);
    model.showMonth(month);
    QCOMPARE(model.rowCount(), rows);
    QCOMPARE(model.columnCount(), 7);
    const QModelIndex firstIndex = model.indexOf(month);
    const QModelIndex lastIndex = model.indexOf(QDate(month.year(), month.month(), month.daysInMonth()));
    QCOMPARE(QPoint(firstIndex.column(), firstIndex.row()), first);
    QCOMPARE(QPoint(lastIndex.column(), lastIndex.row()), last);
    int days = 0;
    for (int row = 0; row < model.rowCount(); ++row) {
        for (int column = 0; column < 7; ++column) {
            const QModelIndex index = model.index(row, column);
            const QDate date = index.data(RepaymentMonthModel::DateRole).toDate();
            if (!date.isValid()) { // outside the month: nothing to read, nothing to pick
                QCOMPARE(model.flags(index), Qt::NoItemFlags);
                QVERIFY(index.data(Qt::AccessibleTextRole).isNull());
                continue;
            }
            ++days;
            QCOMPARE(date.dayOfWeek(), column + 1); // Monday first
            QCOMPARE(model.indexOf(date), index);
        }
    }
    QCOMPARE(days, month.daysInMonth());
    // The card's days 29 and 31 on the month's last day in February.
    if (month.month() == 2)
        QCOMPARE(cellText(model, QDate(month.year(), 2, month.daysInMonth()), Qt::AccessibleTextRole),
                 QStringLiteral("2月%1日：1张卡还款，1张卡账单日").arg(month.daysInMonth()));
    QStringList weekdays, spoken;
    for (int column = 0; column < 7; ++column) {
        weekdays << model.headerData(column, Qt::Horizontal).toString();
        spoken << model.headerData(column, Qt::Horizontal, Qt::AccessibleTextRole).toString();
    }
    QCOMPARE(weekdays, QStringList({"一", "二", "三", "四", "五", "六", "日"}));
    QCOMPARE(spoken.first(), QStringLiteral("星期一"));
    QCOMPARE(spoken.last(), QStringLiteral("星期日"));
}

void TestRepaymentMonth::navigationAcrossTheYearEnd()
{
    RepaymentMonthModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setCards({card(1, 20, 5), card(2, 25, 31)}, kToday);
    QCOMPARE(model.monthTitle(), QStringLiteral("2026年12月"));
    QSignalSpy changed(&model, &RepaymentMonthModel::monthChanged);
    model.showNextMonth();
    QCOMPARE(model.monthTitle(), QStringLiteral("2027年1月"));
    QCOMPARE(model.month(), QDate(2027, 1, 1));
    QCOMPARE(cellText(model, QDate(2027, 1, 31), Qt::AccessibleTextRole),
             QStringLiteral("1月31日：1张卡还款"));
    model.showNextMonth();
    QCOMPARE(cellText(model, QDate(2027, 2, 28), Qt::AccessibleTextRole),
             QStringLiteral("2月28日：1张卡还款"));
    model.showPreviousMonth();
    model.showPreviousMonth();
    model.showPreviousMonth();
    QCOMPARE(model.monthTitle(), QStringLiteral("2026年11月"));
    QCOMPARE(changed.count(), 5);
    model.showMonth(QDate(2026, 11, 30)); // the month shown already: no change
    QCOMPARE(changed.count(), 5);
    // New cards keep the month shown.
    model.setCards({card(3, 30, 30)}, kToday);
    QCOMPARE(model.month(), QDate(2026, 11, 1));
    QCOMPARE(cellText(model, QDate(2026, 11, 30), Qt::AccessibleTextRole),
             QStringLiteral("11月30日：1张卡还款，1张卡账单日"));
}

void TestRepaymentMonth::cellTextsAndColours()
{
    RepaymentMonthModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    // Overdue (5th), due today (11th) with a repaid card, due in two days (13th), repaid (20th).
    model.setCards(
        {card(1, 1, 5), card(2, 1, 11), card(3, 2, 11, kToday), card(4, 1, 13), card(5, 2, 20, kToday)},
        kToday);
    using S = MonthPlan::State;
    const struct
    {
        int day;
        S shade;
        const char* cell;
        const char* spoken;
    } expected[] = {
        {5, S::Overdue, "5\n还款 1张 已过期", "12月5日：1张卡还款（1张已过期）"},
        {11, S::DueSoon, "11 今天\n还款 2张 3天内到期",
         "12月11日（今天）：2张卡还款（1张3天内到期，1张已还清）"},
        {13, S::DueSoon, "13\n还款 1张 3天内到期", "12月13日：1张卡还款（1张3天内到期）"},
        {20, S::Repaid, "20\n还款 1张 已还清", "12月20日：1张卡还款（1张已还清）"},
        {1, S::None, "1\n账单日 3张", "12月1日：3张卡账单日"},
        {14, S::None, "14", "12月14日：没有还款或账单日"},
    };
    for (const auto& e : expected) {
        const QDate date(2026, 12, e.day);
        QCOMPARE(cellText(model, date, Qt::DisplayRole), QString::fromUtf8(e.cell));
        QCOMPARE(cellText(model, date, Qt::AccessibleTextRole), QString::fromUtf8(e.spoken));
        const QModelIndex index = model.indexOf(date);
        const QVariant background = index.data(Qt::BackgroundRole);
        const QVariant text = index.data(Qt::ForegroundRole);
        QCOMPARE(background.isValid(), e.shade != S::None);
        QCOMPARE(text.isValid(), e.shade != S::None); // never one without the other
        if (background.isValid()) {
            QCOMPARE(background.value<QColor>(), RepaymentMonthModel::shadeOf(e.shade).background);
            QVERIFY(Contrast::ratio(text.value<QColor>(), background.value<QColor>()) >= Contrast::kMinimum);
        }
    }
    QVERIFY(model.indexOf(kToday).data(Qt::FontRole).value<QFont>().bold());
    QVERIFY(!model.indexOf(kToday.addDays(1)).data(Qt::FontRole).isValid());
}

void TestRepaymentMonth::enterListsTheDaysCards()
{
    FixedClock clock(kToday);
    RepaymentMonthPage page(clock);
    page.setCardSource([] { return QList<CardFacts>{card(1, 1, 15), card(2, 15, 5), card(3, 2, 15)}; });
    page.resize(900, 600);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    QTableView* grid = page.findChild<QTableView*>(QStringLiteral("MonthGrid"));
    QListWidget* list = page.findChild<QListWidget*>(QStringLiteral("DayCardsList"));
    QLabel* dayLabel = page.findChild<QLabel*>(QStringLiteral("DayCardsLabel"));
    QVERIFY(grid && list && dayLabel);
    QCOMPARE(grid->currentIndex(), page.model()->indexOf(kToday)); // today to begin with
    grid->setFocus();
    QTRY_VERIFY(grid->hasFocus());
    // From Friday the 11th one week down to the 18th, then back to Tuesday the 15th.
    QTest::keyClick(grid, Qt::Key_Down);
    QTest::keyClick(grid, Qt::Key_Left);
    QTest::keyClick(grid, Qt::Key_Left);
    QTest::keyClick(grid, Qt::Key_Left);
    QCOMPARE(grid->currentIndex().data(RepaymentMonthModel::DateRole).toDate(), QDate(2026, 12, 15));
    QTest::keyClick(grid, Qt::Key_Return);
    QCOMPARE(dayLabel->text(), QStringLiteral("12月15日：2张卡还款，1张卡账单日"));
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    QCOMPARE(texts, QStringList({"卡1 尾号6781：还款", "卡3 尾号6783：还款", "卡2 尾号6782：账单日"}));
    QTRY_VERIFY(list->hasFocus()); // the keyboard goes on to the cards
    QCOMPARE(list->currentRow(), 0);

    // Enter on a day without cards leaves the keyboard in the grid.
    grid->setFocus();
    QTRY_VERIFY(grid->hasFocus());
    QTest::keyClick(grid, Qt::Key_Right);
    QTest::keyClick(grid, Qt::Key_Enter);
    QCOMPARE(dayLabel->text(), QStringLiteral("12月16日：没有还款或账单日"));
    QCOMPARE(list->count(), 0);
    QVERIFY(grid->hasFocus());
}

void TestRepaymentMonth::buttonsKeepTheDayAndTellTheMonth()
{
    FixedClock clock(kToday);
    RepaymentMonthPage page(clock);
    page.setCardSource([] { return QList<CardFacts>{card(1, 20, 31)}; });
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    auto* next = page.findChild<QPushButton*>(QStringLiteral("NextMonthButton"));
    auto* previous = page.findChild<QPushButton*>(QStringLiteral("PreviousMonthButton"));
    auto* thisMonth = page.findChild<QPushButton*>(QStringLiteral("CurrentMonthButton"));
    auto* title = page.findChild<QLabel*>(QStringLiteral("MonthLabel"));
    QVERIFY(next && previous && thisMonth && title);
    QCOMPARE(title->text(), QStringLiteral("2026年12月"));
    page.grid()->setCurrentIndex(page.model()->indexOf(QDate(2026, 12, 31)));
    next->click();
    QCOMPARE(title->text(), QStringLiteral("2027年1月"));
    QCOMPARE(page.grid()->currentIndex().data(RepaymentMonthModel::DateRole).toDate(), QDate(2027, 1, 31));
    next->click(); // the 31st becomes February's last day, where the card's repayment falls
    QCOMPARE(title->text(), QStringLiteral("2027年2月"));
    QCOMPARE(page.dayList()->count(), 1);
    QCOMPARE(page.dayList()->item(0)->text(), QStringLiteral("卡1 尾号6781：还款"));
    previous->click();
    previous->click();
    previous->click();
    QCOMPARE(title->text(), QStringLiteral("2026年11月"));
    QCOMPARE(title->accessibleName(), QStringLiteral("当前显示2026年11月"));
    thisMonth->click();
    QCOMPARE(title->text(), QStringLiteral("2026年12月"));
    QCOMPARE(page.grid()->currentIndex(), page.model()->indexOf(kToday));

    // The month of today follows the day into the next month; a month chosen stays.
    clock.setDate(QDate(2027, 1, 2));
    page.reload();
    QCOMPARE(title->text(), QStringLiteral("2027年1月"));
    QCOMPARE(page.grid()->currentIndex(), page.model()->indexOf(QDate(2027, 1, 2)));
    previous->click();
    clock.setDate(QDate(2027, 2, 1));
    page.reload();
    QCOMPARE(title->text(), QStringLiteral("2026年12月"));
}

void TestRepaymentMonth::unreadableCardsAreTold()
{
    FixedClock clock(kToday);
    RepaymentMonthPage page(clock);
    page.setCardSource([]() -> QList<CardFacts> { throw Error(QStringLiteral("数据库已锁定")); });
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    auto* problem = page.findChild<QLabel*>(QStringLiteral("MonthProblem"));
    QVERIFY(problem && problem->isVisible());
    QCOMPARE(problem->text(), QStringLiteral("无法读取卡片：数据库已锁定"));
    QCOMPARE(page.model()->rowCount(), 5); // the month is still there, without cards
}

QTEST_MAIN(TestRepaymentMonth)
#include "tst_repaymentmonth.moc"
