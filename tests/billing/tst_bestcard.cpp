#include "billing/BestCard.h"
#include "billing/SummaryCommand.h"
#include "store/Clock.h"
#include "store/Database.h"
#include "support/CardBuilder.h"
#include "support/TempHome.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

// Today's best card: the longest interest-free purchase among the cards with usable days.
class TestBestCard : public QObject
{
    Q_OBJECT
private slots:
    void choice_data();
    void choice();
    void choiceFollowsTheStatementBilled_data();
    void choiceFollowsTheStatementBilled();
    void summaryShowsIt();
};

// A card as "J/H" or "J/H/limit/used"; ids count from 1 in the order given.
static QList<CardFacts> cardsFrom(const QStringList& shapes)
{
    QList<CardFacts> cards;
    for (const QString& shape : shapes) {
        const QStringList f = shape.split('/');
        CardFacts c;
        c.id = int(cards.size()) + 1;
        c.name = QStringLiteral("卡%1").arg(c.id);
        c.numberLast4 = QStringLiteral("%1").arg(1000 + c.id);
        c.statementDay = f[0].toInt();
        c.repaymentDay = f[1].toInt();
        if (f.size() > 3) {
            c.limit = f[2].toDouble();
            c.used = f[3].toDouble();
        }
        cards.append(c);
    }
    return cards;
}

void TestBestCard::choice_data()
{
    // clang-format off
    QTest::addColumn<QStringList>("cards");
    QTest::addColumn<int>("id"); // 0: none
    QTest::addColumn<int>("days");
    // Today 2013-9-5: 20/7 gives 32 days, 1/25 gives 50, 4/22 gives 47, 10/28 gives 23.
    QTest::newRow("no cards")                       << QStringList{}                                 << 0 << 0;
    QTest::newRow("only unusable days")             << QStringList{"0/8", "40/8", "5/0"}             << 0 << 0;
    QTest::newRow("most days wins")                 << QStringList{"20/7", "1/25", "4/22", "10/28"}  << 2 << 50;
    QTest::newRow("unusable card skipped")          << QStringList{"1/40", "4/22"}                   << 2 << 47;
    QTest::newRow("tie: larger free limit")         << QStringList{"1/25/10000/9000", "1/25/5000/0"} << 2 << 50;
    QTest::newRow("tie: same free limit, lower id") << QStringList{"1/25/5000/0", "1/25/6000/1000"}  << 1 << 50;
    QTest::newRow("tie: missing limit reads as 0")  << QStringList{"1/25/100/200", "1/25"}           << 2 << 50;
    QTest::newRow("day 31 in a 30-day month")       << QStringList{"10/31", "10/28"}                 << 1 << 25;
    // clang-format on
}

void TestBestCard::choice()
{
    QFETCH(QStringList, cards);
    QFETCH(int, id);
    QFETCH(int, days);
    const auto best = bestCardToday(cardsFrom(cards), QDate(2013, 9, 5));
    if (id == 0) {
        QVERIFY(!best);
        QCOMPARE(bestCardLine(best), QString());
        return;
    }
    QVERIFY(best);
    QCOMPARE(best->id, id);
    QCOMPARE(best->days, days);
    QCOMPARE(bestCardLine(best), QStringLiteral("今日推荐刷卡：卡%1（免息%2天）").arg(id).arg(days));
}

// Early in the month a card whose repayment day comes before its statement day keeps a purchase
// free until the repayment of this month's statement, not of last month's.
void TestBestCard::choiceFollowsTheStatementBilled_data()
{
    // clang-format off
    QTest::addColumn<QDate>("today");
    QTest::addColumn<QStringList>("cards");
    QTest::addColumn<int>("id");
    QTest::addColumn<int>("days");
    QTest::newRow("new year's day")     << QDate(2027, 1, 1)   << QStringList{"25/15", "5/25"} << 1 << 45;
    QTest::newRow("early February")     << QDate(2027, 2, 5)   << QStringList{"25/15", "10/28"} << 1 << 38;
    QTest::newRow("between the days")   << QDate(2027, 1, 20)  << QStringList{"25/15", "5/25"} << 2 << 36;
    QTest::newRow("year end")           << QDate(2026, 12, 31) << QStringList{"20/1", "1/20"}  << 1 << 32;
    // clang-format on
}

void TestBestCard::choiceFollowsTheStatementBilled()
{
    QFETCH(QDate, today);
    QFETCH(QStringList, cards);
    QFETCH(int, id);
    const auto best = bestCardToday(cardsFrom(cards), today);
    QVERIFY(best);
    QCOMPARE(best->id, id);
    QTEST(best->days, "days");
}

void TestBestCard::summaryShowsIt()
{
    TempHome home;
    FixedClock clock(QDate(2013, 9, 5));
    const auto summary = [&](bool json) {
        QString out, err;
        QTextStream o(&out), e(&err);
        runSummaryCommand(home.home(), clock, json, o, e);
        o.flush();
        return out;
    };
    {
        Database db;
        db.open(home.databasePath());
    }
    QVERIFY(QJsonDocument::fromJson(summary(true).toUtf8()).object()["best_today"].isNull());
    QVERIFY(!summary(false).contains("今日推荐刷卡"));

    {
        Database db;
        db.open(home.databasePath());
        CardBuilder b(db);
        b.name("招行").number("6225 8801 2345 6789").statementDay(20).repaymentDay(7).insert();
        b.name("建行").number("4367-4200-1234-1111").statementDay(1).repaymentDay(25).insert();
    }
    const QJsonObject best =
        QJsonDocument::fromJson(summary(true).toUtf8()).object()["best_today"].toObject();
    QCOMPARE(best, QJsonObject({{"id", 2}, {"name", "建行"}, {"no_last4", "1111"}, {"days", 50}}));
    const QStringList lines = summary(false).split('\n');
    QCOMPARE(lines.value(9), QString("今日推荐刷卡：建行（免息50天）")); // right after the counts
}

QTEST_GUILESS_MAIN(TestBestCard)
#include "tst_bestcard.moc"
