#include "views/CardFilter.h"
#include "views/CardRules.h"

#include <QtTest>

using CardFilter::FilterEvent;
using CardFilter::FilterState;
using CardFilter::StateChoice;

Q_DECLARE_METATYPE(FilterEvent)
Q_DECLARE_METATYPE(StateChoice)
Q_DECLARE_METATYPE(CardRules::RowShade)

// Statement texts of the filter bar and the quick buttons, row shading, the sort marker cycle,
// footer sums and the editor's checks.
class TestCardRules : public QObject
{
    Q_OBJECT
private slots:
    void filterStatement_data();
    void filterStatement();
    void quickStatement_data();
    void quickStatement();
    void windowTips_data();
    void windowTips();
    void rowShade_data();
    void rowShade();
    void sortCycle();
    void formatSum();
    void checkCard_data();
    void checkCard();
    void ratioMeaning_data();
    void ratioMeaning();
    void holderName_data();
    void holderName();
};

void TestCardRules::filterStatement_data()
{
    // clang-format off
    QTest::addColumn<FilterEvent>("event");
    QTest::addColumn<StateChoice>("choice");
    QTest::addColumn<bool>("hidePaid");
    QTest::addColumn<bool>("hideOverdue");
    QTest::addColumn<QString>("holder");
    QTest::addColumn<int>("window"); // index; text follows the index (-1: empty text)
    QTest::addColumn<QString>("statement");

    const auto U = StateChoice::Unpaid;
    const auto A = StateChoice::All;
    const auto P = StateChoice::Paid;
    const auto O = StateChoice::Overdue;

    // The two worked examples ("今天" means i_xyr=0 here).
    QTest::newRow("example: unpaid, both hides, holder, three days")
        << FilterEvent::UnpaidChosen << U << true << true << "本人" << 3
        << "select * from txyk  where  tf=False  and i_xyr>=0  and  tf=False  and cname=? and i_xyr<=3 "
           "and "
           "i_xyr>=0 order by c_jzr";
    QTest::newRow("example: today, no holder")
        << FilterEvent::UnpaidChosen << U << true << true << "" << 1
        << "select * from txyk  where  tf=False  and i_xyr>=0  and  tf=False  and i_xyr=0 order by c_jzr";

    // Full recipe members read everything.
    for (auto [name, event] : {std::pair{"holder closed", FilterEvent::HolderClosed},
                               std::pair{"window closed", FilterEvent::WindowClosed},
                               std::pair{"paid chosen", FilterEvent::PaidChosen}}) {
        QTest::newRow(name)
            << event << P << true << true << "张三" << 7
            << "select * from txyk  where  tf=True  and i_xyr>=0  and  tf=False  and cname=? "
               "and i_xyr<=7 and i_xyr>=0 order by c_jzr";
    }
    QTest::newRow("holder closed, all, nothing else")
        << FilterEvent::HolderClosed << A << false << false << "" << 0
        << "select * from txyk  where  1=1  order by c_jzr";
    QTest::newRow("hide overdue toggled from the initial state")
        << FilterEvent::HideOverdueToggled << A << false << true << "" << 0
        << "select * from txyk  where  1=1  and i_xyr>=0  order by c_jzr";

    // "已逾期" chosen ignores hide-overdue but reads hide-paid.
    QTest::newRow("overdue chosen") << FilterEvent::OverdueChosen << O << true << true << "" << 0
                                    << "select * from txyk  where  i_xyr<0  and  tf=False  order by c_jzr";
    // The hide switches drop the overdue restriction.
    QTest::newRow("hide overdue toggled while overdue")
        << FilterEvent::HideOverdueToggled << O << false << true << "" << 0
        << "select * from txyk  where  1=1  and i_xyr>=0  order by c_jzr";
    QTest::newRow("hide paid toggled while overdue, holder, window")
        << FilterEvent::HidePaidToggled << O << true << false << "本人" << 2
        << "select * from txyk  where  1=1  and  tf=False  and cname=? and i_xyr<=2 and i_xyr>=0 order "
           "by c_jzr";
    QTest::newRow("hide paid toggled while paid: contradiction")
        << FilterEvent::HidePaidToggled << P << true << false << "" << 0
        << "select * from txyk  where  tf=True  and  tf=False  order by c_jzr";

    // The press on "未还款" reads the selection from before the press and no hide switch.
    QTest::newRow("unpaid pressed while paid selected")
        << FilterEvent::UnpaidPressed << P << true << true << "本人" << 5
        << "select * from txyk  where  tf=True  and cname=? and i_xyr<=5 and i_xyr>=0 order by c_jzr";
    QTest::newRow("unpaid pressed while unpaid selected")
        << FilterEvent::UnpaidPressed << U << true << true << "" << 0
        << "select * from txyk  where  tf=False  order by c_jzr";

    // "所有" reads nothing.
    QTest::newRow("all chosen") << FilterEvent::AllChosen << P << true << true << "本人" << 3 << "select * from txyk  order by c_jzr";

    // Holder texts: bound, never pasted; "所有" and blanks add nothing; bound untrimmed.
    QTest::newRow("holder with a quote is bound as typed")
        << FilterEvent::HolderClosed << A << false << false << "O'Brien" << 0
        << "select * from txyk  where  1=1  and cname=? order by c_jzr";
    QTest::newRow("holder 所有 adds nothing") << FilterEvent::HolderClosed << A << false << false << "所有"
                                              << 0 << "select * from txyk  where  1=1  order by c_jzr";
    QTest::newRow("blank holder adds nothing") << FilterEvent::HolderClosed << A << false << false << "   "
                                               << 0 << "select * from txyk  where  1=1  order by c_jzr";
    QTest::newRow("holder tested trimmed, bound as shown")
        << FilterEvent::HolderClosed << A << false << false << " 本人 " << 0
        << "select * from txyk  where  1=1  and cname=? order by c_jzr";

    // Window entries.
    for (int i = 2; i <= 7; ++i) {
        QTest::addRow("window %d", i)
            << FilterEvent::WindowClosed << A << false << false << "" << i
            << QStringLiteral("select * from txyk  where  1=1  and i_xyr<=%1 and i_xyr>=0 "
                              "order by c_jzr")
                   .arg(i);
    }
    QTest::newRow("empty window text adds nothing") << FilterEvent::WindowClosed << A << false << false << ""
                                                    << -1 << "select * from txyk  where  1=1  order by c_jzr";
    // clang-format on
}

void TestCardRules::filterStatement()
{
    QFETCH(FilterEvent, event);
    QFETCH(StateChoice, choice);
    QFETCH(bool, hidePaid);
    QFETCH(bool, hideOverdue);
    QFETCH(QString, holder);
    QFETCH(int, window);
    QFETCH(QString, statement);

    FilterState state;
    state.choice = choice;
    state.hidePaid = hidePaid;
    state.hideOverdue = hideOverdue;
    state.holderText = holder;
    state.windowIndex = std::max(window, 0);
    state.windowText = window < 0 ? QString() : CardFilter::windowItems().at(window);
    const CardFilter::Listing listing = CardFilter::statementFor(event, state);
    QCOMPARE(listing.statement, statement);
    QCOMPARE(listing.values, statement.contains("cname=?") ? QVariantList{holder} : QVariantList());
}

// Each quick button's statement and the tooltip that says which days its count covers.
void TestCardRules::quickStatement_data()
{
    // clang-format off
    QTest::addColumn<int>("button");
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("tip");
    const QString head = QStringLiteral("select * from txyk where  tf=False  and i_xyr<=");
    QTest::newRow("dueIn1DayButton")  << 0 << "select * from txyk where  tf=False and i_xyr=0 and i_xyr>=0" << "未还款、剩余0天（今天到期）的卡片";
    QTest::newRow("dueIn2DaysButton")  << 1 << head + "1 and i_xyr>=0"  << "未还款、剩余0～1天（今天或明天到期）的卡片";
    QTest::newRow("dueIn3DaysButton")  << 2 << head + "2 and i_xyr>=0"  << "未还款、剩余0～2天（今天到后天到期）的卡片";
    QTest::newRow("dueIn7DaysButton")  << 3 << "select * from txyk where  tf=False  and i_xyr<=7 and i_xyr>=0" << "未还款、剩余0～7天（今天到7天后到期）的卡片";
    QTest::newRow("dueIn10DaysButton")  << 4 << head + "10 and i_xyr>=0" << "未还款、剩余0～10天（今天到10天后到期）的卡片";
    QTest::newRow("dueIn15DaysButton") << 5 << head + "15 and i_xyr>=0" << "未还款、剩余0～15天（今天到15天后到期）的卡片";
    QTest::newRow("overdueButton") << 6 << "select * from txyk where  tf=False  and i_xyr<=-1" << "未还款、已过还款日的卡片（剩余天数小于0）";
    QTest::newRow("dueIn3DaysTotalButton") << 7 << head + "2 and i_xyr>=0"  << "未还款、剩余0～2天（今天到后天到期）的卡片";
    // clang-format on
}

void TestCardRules::quickStatement()
{
    QFETCH(int, button);
    QFETCH(QString, statement);
    QFETCH(QString, tip);
    QCOMPARE(CardFilter::quickStatement(button), statement);
    QCOMPARE(CardFilter::quickTip(button), tip);
}

// "二天内" lists days 0 to 2 while "2天内需还" counts 0 to 1: each window entry says its days.
void TestCardRules::windowTips_data()
{
    // clang-format off
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("tip");
    QTest::newRow("所有")   << 0 << "不按剩余还款天数筛选";
    QTest::newRow("今天")   << 1 << "剩余0天（今天到期）的卡片";
    QTest::newRow("二天内") << 2 << "剩余0～2天（今天到后天到期）的卡片，不含已逾期";
    QTest::newRow("三天内") << 3 << "剩余0～3天（今天到3天后到期）的卡片，不含已逾期";
    QTest::newRow("一周内") << 7 << "剩余0～7天（今天到7天后到期）的卡片，不含已逾期";
    // clang-format on
}

void TestCardRules::windowTips()
{
    QFETCH(int, index);
    QFETCH(QString, tip);
    QCOMPARE(CardFilter::windowTip(index), tip);
    // The statement of that entry covers those days.
    CardFilter::FilterState state;
    state.windowIndex = index;
    state.windowText = CardFilter::windowItems().at(index);
    const QString statement =
        CardFilter::statementFor(CardFilter::FilterEvent::WindowClosed, state).statement;
    if (index == 1)
        QVERIFY(statement.contains(QStringLiteral(" and i_xyr=0 ")));
    else if (index > 1)
        QVERIFY(statement.contains(QStringLiteral(" and i_xyr<=%1 and i_xyr>=0 ").arg(index)));
}

void TestCardRules::rowShade_data()
{
    // clang-format off
    QTest::addColumn<QVariant>("days");
    QTest::addColumn<QVariant>("paid");
    QTest::addColumn<CardRules::RowShade>("shade");
    using S = CardRules::RowShade;
    QTest::newRow("unpaid overdue") << QVariant(-5) << QVariant(false) << S::DueSoon;
    QTest::newRow("unpaid 3 days")  << QVariant(3)  << QVariant(false) << S::DueSoon;
    QTest::newRow("unpaid 1 day")   << QVariant(1)  << QVariant(false) << S::DueSoon;
    QTest::newRow("unpaid today")   << QVariant(0)  << QVariant(false) << S::DueToday;
    QTest::newRow("unpaid 4 days")  << QVariant(4)  << QVariant(false) << S::Default;
    QTest::newRow("paid today")     << QVariant(0)  << QVariant(true)  << S::Default;
    QTest::newRow("paid overdue")   << QVariant(-2) << QVariant(true)  << S::Default;
    // Days the refresh pass could not compute are empty: no due colour.
    QTest::newRow("not computed")             << QVariant()                          << QVariant(false) << S::Default;
    QTest::newRow("not computed, typed null") << QVariant(QMetaType(QMetaType::Int)) << QVariant(false) << S::Default;
    QTest::newRow("nothing known")            << QVariant()                          << QVariant()      << S::Default;
    // clang-format on
}

void TestCardRules::rowShade()
{
    QFETCH(QVariant, days);
    QFETCH(QVariant, paid);
    QFETCH(CardRules::RowShade, shade);
    QCOMPARE(CardRules::rowShade(days, paid), shade);
}

void TestCardRules::sortCycle()
{
    using M = SortMarkers::Marker;
    SortMarkers markers;
    // Plain clicks on one column: descending, ascending, descending.
    QCOMPARE(markers.click(8, QStringLiteral("i_xyr"), false), QStringLiteral("i_xyr DESC"));
    QCOMPARE(markers.marker(8), M::Down);
    QCOMPARE(markers.click(8, QStringLiteral("i_xyr"), false), QStringLiteral("i_xyr"));
    QCOMPARE(markers.marker(8), M::Up);
    QCOMPARE(markers.click(8, QStringLiteral("i_xyr"), false), QStringLiteral("i_xyr DESC"));
    QCOMPARE(markers.marker(8), M::Down);

    // A plain click elsewhere clears the other markers; the first click always sorts descending.
    QCOMPARE(markers.click(0, QStringLiteral("c_name"), false), QStringLiteral("c_name DESC"));
    QCOMPARE(markers.marker(8), M::None);

    // Ctrl keeps the others, and up goes back to none.
    QCOMPARE(markers.click(8, QStringLiteral("i_xyr"), true), QStringLiteral("i_xyr DESC"));
    QCOMPARE(markers.marker(0), M::Down);
    QCOMPARE(markers.click(8, QStringLiteral("i_xyr"), true), QStringLiteral("i_xyr"));
    QCOMPARE(markers.marker(8), M::Up);
    QCOMPARE(markers.click(8, QStringLiteral("i_xyr"), true), QStringLiteral("i_xyr DESC"));
    QCOMPARE(markers.marker(8), M::None);
    QCOMPARE(markers.marker(0), M::Down);
}

void TestCardRules::formatSum()
{
    QCOMPARE(CardRules::formatSum(0), QStringLiteral("0"));
    QCOMPARE(CardRules::formatSum(150000), QStringLiteral("150000"));
    QCOMPARE(CardRules::formatSum(1234.5), QStringLiteral("1234.5"));
    QCOMPARE(CardRules::formatSum(0.1 + 0.2), QStringLiteral("0.3"));
    QCOMPARE(CardRules::formatSum(-20.25), QStringLiteral("-20.25"));
}

void TestCardRules::checkCard_data()
{
    // clang-format off
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message"); // empty: accepted
    QTest::newRow("good card")          << ""         << ""       << "";
    QTest::newRow("no name")            << "c_name"   << "  "     << "请填写卡名。";
    QTest::newRow("day 0")              << "c_jzr"    << "0"      << "账单日必须是1到31之间的整数。";
    QTest::newRow("day 32")             << "c_hkr"    << "32"     << "还款日必须是1到31之间的整数。";
    QTest::newRow("day text")           << "c_jzr"    << "五"     << "账单日必须是1到31之间的整数。";
    QTest::newRow("day decimal")        << "c_hkr"    << "5.5"    << "还款日必须是1到31之间的整数。";
    QTest::newRow("day empty")          << "c_hkr"    << ""       << "还款日必须是1到31之间的整数。";
    QTest::newRow("day 31 with blanks") << "c_jzr"    << " 31 "   << "";
    QTest::newRow("limit decimal")      << "i_ed"     << "1000.5" << "总额度必须是整数。";
    QTest::newRow("limit empty")        << "i_ed"     << ""       << "";
    QTest::newRow("used text")          << "i_yxf"    << "abc"    << "已消费必须是数字。";
    QTest::newRow("used decimal")       << "i_yxf"    << "12.75"  << "";
    QTest::newRow("ratio infinite")     << "i_zdhkbl" << "inf"    << "最低还款比例必须是数字。";
    QTest::newRow("free days text")     << "i_mxr"    << "x"      << "最长免息日必须是数字。";
    QTest::newRow("minimum text")       << "i_zdhkje" << "1,5"    << "最低还款金额必须是数字。";
    QTest::newRow("shortest text")      << "izdhkr"   << "a"      << "最短免息日必须是整数。";
    // clang-format on
}

void TestCardRules::checkCard()
{
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(QString, message);
    QHash<QString, QString> texts = {
        {"c_name", "招行"}, {"c_no", "6225"}, {"c_jzr", "5"},      {"c_hkr", "23"},  {"izdhkr", "18"},
        {"i_ed", "20000"},  {"i_mxr", "50"},  {"i_zdhkbl", "0.1"}, {"i_zdhkje", ""}, {"i_yxf", "1200"},
    };
    if (!field.isEmpty())
        texts[field] = text;
    const auto problem = CardRules::checkCard(texts);
    if (message.isEmpty()) {
        QVERIFY2(!problem, qPrintable(problem ? problem->message : QString()));
    } else {
        QVERIFY(problem);
        QCOMPARE(problem->field, field);
        QCOMPARE(problem->message, message);
    }
}

void TestCardRules::ratioMeaning_data()
{
    // clang-format off
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("meaning");
    QTest::newRow("one is ten percent")      << "1"    << "= 10%";
    QTest::newRow("ten is the whole amount") << "10"   << "= 100%";
    QTest::newRow("fraction")                << "0.5"  << "= 5%";
    QTest::newRow("two decimals")            << "1.25" << "= 12.5%";
    QTest::newRow("blanks around")           << " 2 "  << "= 20%";
    QTest::newRow("zero")                    << "0"    << "= 0%";
    QTest::newRow("empty")                   << ""     << "";
    QTest::newRow("no number")               << "abc"  << "";
    QTest::newRow("percent sign typed")      << "10%"  << "";
    // clang-format on
}

void TestCardRules::ratioMeaning()
{
    QFETCH(QString, typed);
    QFETCH(QString, meaning);
    QCOMPARE(CardRules::ratioMeaning(typed), meaning);
}

void TestCardRules::holderName_data()
{
    // clang-format off
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("refused");
    QTest::newRow("empty")            << ""                       << true;
    QTest::newRow("blanks")           << "  "                     << true;
    QTest::newRow("full-width blank") << QStringLiteral("\u3000") << true;
    QTest::newRow("name")             << "本人"                   << false;
    QTest::newRow("name with blanks") << " 张三 "                 << false;
    // clang-format on
}

void TestCardRules::holderName()
{
    QFETCH(QString, name);
    QFETCH(bool, refused);
    const auto problem = CardRules::checkHolderName(name);
    QCOMPARE(problem.has_value(), refused);
    if (refused)
        QCOMPARE(*problem, QStringLiteral("请填写持卡人。"));
}

QTEST_GUILESS_MAIN(TestCardRules)
#include "tst_cardrules.moc"
