#include "billing/SummaryCommand.h"
#include "store/Clock.h"
#include "store/Database.h"
#include "support/CardBuilder.h"
#include "support/Stored.h"
#include "support/TempHome.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// `velmora --summary [--json]`: the refresh pass without a window, printed.
class TestSummaryCommand : public QObject
{
    Q_OBJECT
private slots:
    void seededHomeAsText();
    void seededHomeAsJson();
    void jsonListsMostUrgentFirst_data();
    void jsonListsMostUrgentFirst();
    void jsonLastFourOfForeignCard();
    void jsonLeavesOutDirectionControls();
    void freshHomeIsReportedAndLeftAlone();
    void unreadableDatabase_data();
    void unreadableDatabase();
    void executableOnSeededAndMissingHome();

private:
    void seed(const TempHome& home);
    int run(const TempHome& home, bool json, QString& out, QString& err);
    int m_dueId = 0, m_skippedId = 0;
};

void TestSummaryCommand::seed(const TempHome& home)
{
    Database db;
    db.open(home.databasePath());
    CardBuilder b(db);
    m_dueId = b.name(QStringLiteral("招行"))
                  .number(QStringLiteral("6225 8801 2345 6789"))
                  .statementDay(20)
                  .repaymentDay(7)
                  .ratio(10)
                  .used(33)
                  .insert(); // due in 2 days on 2013-9-5
    b.name(QStringLiteral("建行")).number(QStringLiteral("4367")).statementDay(1).repaymentDay(25).insert();
    b.name(QStringLiteral("过期")).statementDay(28).repaymentDay(1).insert();
    m_skippedId = b.name(QStringLiteral("坏卡")).statementDay(40).repaymentDay(8).insert();
}

int TestSummaryCommand::run(const TempHome& home, bool json, QString& out, QString& err)
{
    FixedClock clock(QDate(2013, 9, 5));
    QTextStream o(&out), e(&err);
    const int code = runSummaryCommand(home.home(), clock, json, o, e);
    o.flush();
    e.flush();
    return code;
}

void TestSummaryCommand::seededHomeAsText()
{
    TempHome home;
    seed(home);
    QString out, err;
    QCOMPARE(run(home, false, out, err), 0);
    const QStringList lines = out.split(u'\n');
    QCOMPARE(lines.mid(0, 9), QStringList({"当前日期:2013-9-5", "1天内需还:0张", "2天内需还:0张",
                                           "3天内需还:1张", "7天内需还:1张", "10天内需还:1张",
                                           "15天内需还:1张", "已经过期:1张", "3天内共需还款:1张"}));
    QVERIFY(out.contains(QStringLiteral("3天内共需还：1张")));
    QVERIFY(out.contains(QStringLiteral("招行  尾号6789  还款日2013-9-7  剩余2天  最低还款33\n")));
    QVERIFY(err.contains(QStringLiteral("坏卡")));
}

void TestSummaryCommand::seededHomeAsJson()
{
    TempHome home;
    seed(home);
    QString out, err;
    QCOMPARE(run(home, true, out, err), 0);
    QJsonParseError error;
    const QJsonObject root = QJsonDocument::fromJson(out.toUtf8(), &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(root.keys(), QStringList({"best_today", "counts", "date", "due_soon", "skipped"}));
    QCOMPARE(root.value("date").toString(), QStringLiteral("2013-9-5"));
    const QJsonObject counts = root.value("counts").toObject();
    QCOMPARE(counts, (QJsonObject{{"today", 0},
                                  {"within2", 0},
                                  {"within3", 1},
                                  {"within7", 1},
                                  {"within10", 1},
                                  {"within15", 1},
                                  {"overdue", 1},
                                  {"within3_total", 1}}));
    const QJsonArray due = root.value("due_soon").toArray();
    QCOMPARE(due.size(), 1);
    QCOMPARE(due.at(0).toObject(), (QJsonObject{{"id", m_dueId},
                                                {"name", "招行"},
                                                {"no_last4", "6789"},
                                                {"repay_date", "2013-9-7"},
                                                {"days_left", 2},
                                                {"min_repayment", 33}}));
    QCOMPARE(root.value("skipped").toArray(), QJsonArray({m_skippedId}));
}

// The due-soon cards by days left, then id, around month ends; "J/H" cards named 卡1, 卡2, ...
void TestSummaryCommand::jsonListsMostUrgentFirst_data()
{
    // clang-format off
    QTest::addColumn<QDate>("today");
    QTest::addColumn<QStringList>("cards");
    QTest::addColumn<QStringList>("order");
    QTest::addColumn<QList<int>>("days");
    QTest::newRow("mid-month")      << QDate(2013, 9, 5)   << QStringList{"20/7", "20/5", "20/6", "25/5"}
                                    << QStringList{"卡2", "卡4", "卡3", "卡1"} << QList<int>{0, 0, 1, 2};
    QTest::newRow("year end")       << QDate(2026, 12, 31) << QStringList{"20/2", "10/31", "20/1"}
                                    << QStringList{"卡2", "卡3", "卡1"} << QList<int>{0, 1, 2};
    QTest::newRow("February's end") << QDate(2027, 2, 27)  << QStringList{"25/1", "1/31", "15/28", "1/2"}
                                    << QStringList{"卡2", "卡3", "卡1"} << QList<int>{1, 1, 2};
    // clang-format on
}

void TestSummaryCommand::jsonListsMostUrgentFirst()
{
    QFETCH(QDate, today);
    QFETCH(QStringList, cards);
    TempHome home;
    {
        Database db;
        db.open(home.databasePath());
        CardBuilder b(db);
        for (int i = 0; i < cards.size(); ++i) {
            const QStringList days = cards[i].split(u'/');
            b.name(QStringLiteral("卡%1").arg(i + 1))
                .statementDay(days[0].toInt())
                .repaymentDay(days[1].toInt())
                .insert();
        }
    }
    FixedClock clock(today);
    QString out, err;
    QTextStream o(&out), e(&err);
    QCOMPARE(runSummaryCommand(home.home(), clock, true, o, e), 0);
    o.flush();
    QStringList order;
    QList<int> days;
    for (const QJsonValue& card :
         QJsonDocument::fromJson(out.toUtf8()).object().value("due_soon").toArray()) {
        order << card.toObject().value("name").toString();
        days << card.toObject().value("days_left").toInt();
    }
    QTEST(order, "order");
    QTEST(days, "days");
}

// A card inserted by another tool (no c_last4) shows, and gets, its number's last four.
void TestSummaryCommand::jsonLastFourOfForeignCard()
{
    TempHome home;
    int id = 0;
    {
        Database db;
        db.open(home.databasePath());
        id = CardBuilder(db)
                 .name(QStringLiteral("外来"))
                 .set(QStringLiteral("c_no"), QStringLiteral("6222-0000-1234-4321"))
                 .statementDay(20)
                 .repaymentDay(5)
                 .insert(); // due today, 2013-9-5
    }
    QString out, err;
    QCOMPARE(run(home, true, out, err), 0);
    const QJsonArray due = QJsonDocument::fromJson(out.toUtf8()).object().value("due_soon").toArray();
    QCOMPARE(due.size(), 1);
    QCOMPARE(due.at(0).toObject().value("no_last4").toString(), QStringLiteral("4321"));
    Database db;
    db.open(home.databasePath());
    QCOMPARE(Stored::field(db, id, QStringLiteral("c_last4")).toString(), QStringLiteral("4321"));
}

// Direction controls in a card name would make it read otherwise wherever the JSON is shown.
void TestSummaryCommand::jsonLeavesOutDirectionControls()
{
    TempHome home;
    {
        Database db;
        db.open(home.databasePath());
        CardBuilder(db)
            .name(QString::fromUtf16(u"招\u202E行\u2067卡"))
            .statementDay(20)
            .repaymentDay(5)
            .insert();
    }
    QString out, err;
    QCOMPARE(run(home, true, out, err), 0);
    const QJsonArray due = QJsonDocument::fromJson(out.toUtf8()).object().value("due_soon").toArray();
    QCOMPARE(due.size(), 1);
    QCOMPARE(due.at(0).toObject().value("name").toString(), QStringLiteral("招行卡"));
}

void TestSummaryCommand::freshHomeIsReportedAndLeftAlone()
{
    TempHome home;
    QString out, err;
    QVERIFY(run(home, false, out, err) != 0);
    QVERIFY(err.contains(QStringLiteral("找不到数据库文件")));
    QVERIFY(out.isEmpty());
    QVERIFY(!QFile::exists(home.databasePath()));
}

void TestSummaryCommand::unreadableDatabase_data()
{
    // clang-format off
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("text") << QByteArray( "this is not a database, just some text long enough to have a header");
    // Another program's SQLite file: refused, not given our tables.
    QByteArray foreign;
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("other.db"));
        runOnSqliteFile(path, {QStringLiteral("CREATE TABLE notes (body TEXT)")});
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        foreign = file.readAll();
    }
    QTest::newRow("another program's database") << foreign;
    // clang-format on
}

void TestSummaryCommand::unreadableDatabase()
{
    QFETCH(QByteArray, content);
    TempHome home;
    QFile file(home.databasePath());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();
    QString out, err;
    QVERIFY(run(home, true, out, err) != 0);
    QVERIFY(out.isEmpty());
    QVERIFY2(err.contains(QStringLiteral("velmora: ")) && err.contains(QStringLiteral("不是本程序的数据库")),
             qPrintable(err));
    QFile again(home.databasePath());
    QVERIFY(again.open(QIODevice::ReadOnly));
    QCOMPARE(again.readAll(), content);
}

void TestSummaryCommand::executableOnSeededAndMissingHome()
{
    TempHome home;
    seed(home);
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VELMORA_HOME"), home.path());
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(VELMORA_EXECUTABLE),
                  {QStringLiteral("--summary"), QStringLiteral("--json")});
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitCode(), 0);
    const QJsonObject root = QJsonDocument::fromJson(process.readAllStandardOutput()).object();
    QVERIFY(root.value("counts").toObject().contains("within3_total"));

    // A home folder that does not exist is not created.
    const QString missing = home.path() + QStringLiteral("/nowhere");
    env.insert(QStringLiteral("VELMORA_HOME"), missing);
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(VELMORA_EXECUTABLE), {QStringLiteral("--summary")});
    QVERIFY(process.waitForFinished(30000));
    QVERIFY(process.exitCode() != 0);
    QVERIFY(!process.readAllStandardError().isEmpty());
    QVERIFY(!QDir(missing).exists());
}

QTEST_GUILESS_MAIN(TestSummaryCommand)
#include "tst_summarycommand.moc"
