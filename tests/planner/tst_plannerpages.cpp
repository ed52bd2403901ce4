#include "app/AppAssembly.h"
#include "app/MainWindow.h"
#include "planner/ParameterPage.h"
#include "store/DataModule.h"
#include "support/CardBuilder.h"
#include "support/TempHome.h"
#include "ui/AppContext.h"
#include "ui/MessageBox.h"

#include <QDateEdit>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QtTest>

class TestPlannerPages : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { MessageBox::setSuppressAll(true); }
    void init() { MessageBox::clearShownTexts(); }

    void calculator_data();
    void calculator();
    void parameterFieldsStartWithTheirDefaults();
    void runFromTheJournalTab();
};

void TestPlannerPages::calculator_data()
{
    // clang-format off
    QTest::addColumn<QString>("days");
    QTest::addColumn<QDate>("shown");
    QTest::addColumn<QString>("message");
    const QDate kept(2013, 9, 29); // the repayment date's own date stays on an error
    QTest::newRow("initial content") << "45" << QDate(2013, 10, 19) << "";
    QTest::newRow("zero copies the date") << "0" << QDate(2013, 9, 4) << "";
    QTest::newRow("negative goes back") << "-10" << QDate(2013, 8, 25) << "";
    QTest::newRow("blanks around") << " 30 " << QDate(2013, 10, 4) << "";
    QTest::newRow("not an integer") << "4.5" << kept << "名息日“4.5”不是有效的整数。";
    QTest::newRow("empty") << "" << kept << "名息日“”不是有效的整数。";
    QTest::newRow("beyond 32 bits") << "99999999999" << kept << "名息日“99999999999”不是有效的整数。";
    QTest::newRow("past the last date") << "2147483647" << kept << "还款日超出可显示的日期范围（1601-1-1 到 9999-12-31），未作改动。";
    QTest::newRow("before the first date") << "-200000" << kept << "还款日超出可显示的日期范围（1601-1-1 到 9999-12-31），未作改动。";
    // clang-format on
}

void TestPlannerPages::calculator()
{
    QFETCH(QString, days);
    QFETCH(QDate, shown);
    QFETCH(QString, message);
    TempHome home;
    AppContext context(home.home());
    ParameterPage page(context);
    page.findChild<QLineEdit*>("freeDaysEdit")->setText(days);
    QTest::mouseClick(page.findChild<QPushButton*>("calculateRepaymentDateButton"), Qt::LeftButton);
    auto* result = page.findChild<QDateEdit*>("repaymentDateEdit");
    QCOMPARE(result->date(), shown);
    QCOMPARE(MessageBox::shownTexts(), message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(page.findChild<QDateEdit*>("withdrawalDateEdit")->date(), QDate(2013, 9, 4));
    if (message.isEmpty())
        QCOMPARE(result->text(), shown.toString("yyyy-M-d"));
}

void TestPlannerPages::parameterFieldsStartWithTheirDefaults()
{
    TempHome home;
    AppContext context(home.home());
    ParameterPage page(context);
    QCOMPARE(page.findChild<QGroupBox*>("parameterGroup")->height(), 305);
    const QList<std::tuple<const char*, int, int, int>> spins = {{"loanRepaymentDayBox", 18, 1, 31},
                                                                 {"intervalDaysBox", 1, 0, 30},
                                                                 {"startYearBox", 2013, 2013, 2100},
                                                                 {"startMonthBox", 9, 1, 12},
                                                                 {"periodsBox", 5, 1, 2100}};
    for (const auto& [name, value, low, high] : spins) {
        auto* spin = page.findChild<QSpinBox*>(name);
        QVERIFY2(spin, name);
        QCOMPARE(std::tuple(spin->value(), spin->minimum(), spin->maximum()), std::tuple(value, low, high));
    }
    QStringList texts;
    for (const char* name : {"overdraftEdit", "poolEdit", "loanEdit", "freeDaysEdit"})
        texts << page.findChild<QLineEdit*>(name)->text();
    for (const char* name : {"periodsRunValue", "selfRaisedValue", "loanTotalValue", "periodsRunLabel",
                             "selfRaisedLabel", "loanTotalLabel", "freeDaysLabel"})
        texts << page.findChild<QLabel*>(name)->text();
    QCOMPARE(texts, QStringList({"10000", "0", "10000", "45", "0", "0", "0", "运作月份数：", "使用自筹金：",
                                 "还贷款总数：", "名息日："}));
}

namespace {
QStringList titles(QTableView* grid)
{
    QStringList result;
    QHeaderView* header = grid->horizontalHeader();
    for (int visual = 0; visual < header->count(); ++visual) {
        const int section = header->logicalIndex(visual);
        if (!header->isSectionHidden(section))
            result << QStringLiteral("%1:%2")
                          .arg(grid->model()->headerData(section, Qt::Horizontal).toString())
                          .arg(header->sectionSize(section));
    }
    return result;
}
} // namespace

void TestPlannerPages::runFromTheJournalTab()
{
    TempHome home;
    AppContext context(home.home());
    {
        Database db;
        db.open(home.databasePath());
        CardBuilder(db).name("A").statementDay(5).repaymentDay(25).limit(50000).insert();
    }
    AppAssembly assembly(context, {.withLogin = false});
    MainWindow& window = assembly.window();

    // Fields the run does not use may hold anything.
    window.findChild<QLineEdit*>("overdraftEdit")->setText("abc");
    window.findChild<QSpinBox*>("intervalDaysBox")->setValue(30);
    auto* button = window.findChild<QPushButton*>("runSimulationButton");
    QCOMPARE(button->text(), QStringLiteral("计算"));
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(MessageBox::shownTexts(), QStringList());
    QStringList labels;
    for (const char* name : {"periodsRunValue", "loanTotalValue", "selfRaisedValue"})
        labels << window.findChild<QLabel*>(name)->text();
    QCOMPARE(labels, QStringList({"5", "50000", "40000"}));

    auto* journal = window.findChild<QTableView*>("journalGrid");
    auto* plan = window.findChild<QTableView*>("planGrid");
    QCOMPARE(journal->model()->rowCount(), 10);
    QCOMPARE(journal->model()->index(0, 0).data().toString(), QStringLiteral("2013-9-6"));
    QCOMPARE(plan->model()->rowCount(), 5);
    QCOMPARE(titles(journal), QStringList({"日期:110", "提现卡:144", "还款卡:129", " 金额:85",
                                           "提款/还款/还贷:99", "提现数:70", "还款数:71"}));
    const int d = plan->horizontalHeader()->defaultSectionSize();
    QCOMPARE(
        titles(plan),
        QStringList({"卡名:133", QStringLiteral("提现日期:%1").arg(d), QStringLiteral("还款日期:%1").arg(d),
                     "总额度:71", QStringLiteral("已用额度:%1").arg(d), "免息天数:92", "累计提现金额:84",
                     QStringLiteral("提现次数:%1").arg(d), "是否提现:70"}));
    QVERIFY(!(journal->model()->flags(journal->model()->index(0, 1)) & Qt::ItemIsEditable));

    // A bad amount is refused before anything is cleared.
    window.findChild<QLineEdit*>("loanEdit")->setText("1万");
    window.findChild<QSpinBox*>("periodsBox")->setValue(2);
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(MessageBox::shownTexts(), QStringList({"贷款金“1万”不是有效的整数。"}));
    QCOMPARE(journal->model()->rowCount(), 10);
    QCOMPARE(window.findChild<QLabel*>("periodsRunValue")->text(), QStringLiteral("5"));
}

QTEST_MAIN(TestPlannerPages)
#include "tst_plannerpages.moc"
