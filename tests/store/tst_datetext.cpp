#include "store/DateText.h"
#include "store/Error.h"

#include <QtTest>

class TestDateText : public QObject
{
    Q_OBJECT
private slots:
    void formatsWithoutLeadingZeros();
    void parses_data();
    void parses();
    void parseOrThrowMessage();
    void clamps_data();
    void clamps();
};

void TestDateText::formatsWithoutLeadingZeros()
{
    QCOMPARE(DateText::format(QDate(2013, 9, 5)), QStringLiteral("2013-9-5"));
    QCOMPARE(DateText::format(QDate(2014, 12, 31)), QStringLiteral("2014-12-31"));
    QCOMPARE(DateText::format(QDate()), QString());
    QCOMPARE(DateText::format(1990, 1, 1), QStringLiteral("1990-1-1"));
}

void TestDateText::parses_data()
{
    // clang-format off
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("expected");
    QTest::newRow("plain")              << "2013-9-5"        << QDate(2013, 9, 5);
    QTest::newRow("zeros")              << "2013-09-05"      << QDate(2013, 9, 5);
    QTest::newRow("blanks")             << " 2013-9-5 "      << QDate(2013, 9, 5);
    QTest::newRow("leap day")           << "2012-2-29"       << QDate(2012, 2, 29);
    QTest::newRow("no leap day")        << "2013-2-29"       << QDate();
    QTest::newRow("day 0")              << "2013-9-0"        << QDate();
    QTest::newRow("month 13")           << "2013-13-1"       << QDate();
    QTest::newRow("31 in 30-day month") << "2013-9-31"       << QDate();
    QTest::newRow("empty")              << ""                << QDate();
    QTest::newRow("letters")            << "abc"             << QDate();
    QTest::newRow("slashes")            << "2013/9/5"        << QDate();
    QTest::newRow("trailing")           << "2013-9-5x"       << QDate();
    QTest::newRow("negative")           << "-2013-9-5"       << QDate();
    QTest::newRow("long number")        << "99999999999-1-1" << QDate();
    // clang-format on
}

void TestDateText::parses()
{
    QFETCH(QString, text);
    QFETCH(QDate, expected);
    const auto parsed = DateText::parse(text);
    QCOMPARE(parsed.value_or(QDate()), expected);
}

void TestDateText::parseOrThrowMessage()
{
    QVERIFY_THROWS_EXCEPTION(Error, DateText::parseOrThrow(u"2013-9-31"));
    try {
        DateText::parseOrThrow(u"2013-9-31");
    } catch (const Error& e) {
        QCOMPARE(e.message(), QStringLiteral("'2013-9-31' is not a valid date"));
    }
}

void TestDateText::clamps_data()
{
    // clang-format off
    QTest::addColumn<int>("year");
    QTest::addColumn<int>("month");
    QTest::addColumn<int>("day");
    QTest::addColumn<QDate>("expected");
    QTest::newRow("leap february")   << 2012 << 2  << 31 << QDate(2012, 2, 29);
    QTest::newRow("common february") << 2013 << 2  << 29 << QDate(2013, 2, 28);
    QTest::newRow("30-day month")    << 2013 << 9  << 31 << QDate(2013, 9, 30);
    QTest::newRow("in range")        << 2013 << 12 << 31 << QDate(2013, 12, 31);
    // clang-format on
}

void TestDateText::clamps()
{
    QFETCH(int, year);
    QFETCH(int, month);
    QFETCH(int, day);
    QFETCH(QDate, expected);
    QCOMPARE(DateText::clampedDate(year, month, day), expected);
}

QTEST_GUILESS_MAIN(TestDateText)
#include "tst_datetext.moc"
