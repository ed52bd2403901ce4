#include "store/DataModule.h"
#include "store/Database.h"
#include "store/Error.h"
#include "support/CardBuilder.h"
#include "support/TempHome.h"

#include <QFile>
#include <QSqlQuery>
#include <QtTest>

class TestDatabase : public QObject
{
    Q_OBJECT
private slots:
    void createsMissingDatabaseWithEveryField();
    void reopensWithoutRecreating();
    void refusesFilesThatAreNoDatabase_data();
    void refusesFilesThatAreNoDatabase();
    void dataModuleOpensItsQueries();
    void transactionRollsBackUnlessCommitted();
};

static QStringList columnsOf(Database& db, const QString& table)
{
    QStringList names;
    QSqlQuery q(db.connection());
    q.exec(QStringLiteral("PRAGMA table_info(%1)").arg(table));
    while (q.next())
        names << q.value(1).toString();
    return names;
}

void TestDatabase::createsMissingDatabaseWithEveryField()
{
    TempHome home;
    Database db;
    db.open(home.databasePath());
    QCOMPARE(columnsOf(db, QStringLiteral("txyk")),
             QStringList(
                 {"id",     "c_name", "c_no",  "c_yxq",     "c_xym",          "c_jzr",     "c_hkr",
                  "izdhkr", "i_ed",   "i_mxr", "i_zdhkbl",  "i_zdhkje",       "i_yxf",     "cname",
                  "tf",     "i_hkm",  "i_hky", "c_re_date", "c_next_re_date", "c_jd_date", "c_next_jd_date",
                  "i_xyr",  "i_xf",   "tf_tx", "i_tx_num",  "t_time"}));
    QCOMPARE(columnsOf(db, QStringLiteral("tname")), QStringList({"id", "c_name"}));
    QCOMPARE(columnsOf(db, QStringLiteral("tjz")), QStringList({"id", "d_post_date", "c_name_tx", "c_name_hk",
                                                                "i_ed", "TF", "i_tx_num", "i_hk_num"}));
    QCOMPARE(columnsOf(db, QStringLiteral("Txyk_jz")),
             QStringList({"id", "c_name", "c_post_date", "c_re_date", "i_ed", "i_yyed", "i_mxr", "i_sum_ed",
                          "i_tx_num", "tf_tx", "y_y", "y_m", "y_d", "xyk_id"}));
    QCOMPARE(QFile::permissions(home.databasePath()) & 0x0077,
             QFileDevice::Permissions()); // no group/other bits

    // A new card starts unpaid and not withdrawn.
    CardBuilder(db).name(QStringLiteral("A")).insert();
    QSqlQuery q(db.connection());
    QVERIFY(q.exec(QStringLiteral("select tf, tf_tx from txyk")));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), 0);
    QCOMPARE(q.value(1).toInt(), 0);
}

void TestDatabase::reopensWithoutRecreating()
{
    TempHome home;
    {
        Database db;
        db.open(home.databasePath());
        CardBuilder(db).name(QStringLiteral("kept")).insert();
    }
    Database db;
    db.open(home.databasePath());
    QSqlQuery q(db.connection());
    QVERIFY(q.exec(QStringLiteral("select c_name from txyk")));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toString(), QStringLiteral("kept"));
}

void TestDatabase::refusesFilesThatAreNoDatabase_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("text") << QByteArray("this is not a database\n");
    QTest::newRow("random bytes") << QByteArray(4096, '\x5a');
    QTest::newRow("zeroed header") << QByteArray(8192, '\0').replace(0, 4, "SQLi");
    // A real database cut short: header intact, pages missing.
    QByteArray truncated;
    {
        TempHome home;
        {
            Database db;
            db.open(home.databasePath());
            for (int i = 0; i < 200; ++i)
                CardBuilder(db).name(QString(200, QChar(u'卡'))).insert();
        }
        QFile file(home.databasePath());
        file.open(QIODevice::ReadOnly);
        truncated = file.readAll();
    }
    QTest::newRow("truncated") << truncated.left(truncated.size() / 2);
    QByteArray zeroedHeader = truncated;
    zeroedHeader.replace(0, 100, QByteArray(100, '\0'));
    QTest::newRow("real database, header zeroed") << zeroedHeader;
}

void TestDatabase::refusesFilesThatAreNoDatabase()
{
    QFETCH(QByteArray, content);
    TempHome home;
    {
        QFile file(home.databasePath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    Database db;
    QVERIFY_THROWS_EXCEPTION(Error, db.open(home.databasePath()));
    QVERIFY(!db.isOpen());
    QFile file(home.databasePath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), content); // never replaced
}

void TestDatabase::dataModuleOpensItsQueries()
{
    TempHome home;
    DataModule data;
    data.open(home.databasePath());
    QVERIFY(data.cards().isOpen());
    QVERIFY(data.planRows().isOpen());
    QVERIFY(data.journal().isOpen());
    QVERIFY(data.holders().isOpen());
    QVERIFY(!data.scratch().isOpen());
    QVERIFY(!data.dueSoon().isOpen());
    QVERIFY(!data.plannerScratch().isOpen());
    QCOMPARE(data.cards().sql(), QStringLiteral("select * from txyk  order by i_xyr,tf DESC"));
    QCOMPARE(data.holders().sql(), QStringLiteral("select * from tname  order by c_jzr\n"));
    QCOMPARE(data.dueSoon().objectName(), QStringLiteral("Qxyk_temp2"));
}

void TestDatabase::transactionRollsBackUnlessCommitted()
{
    TempHome home;
    Database db;
    db.open(home.databasePath());
    const int id = CardBuilder(db).name(QStringLiteral("A")).insert();
    {
        Transaction t(db);
        db.execute(QStringLiteral("UPDATE Txyk SET tf=True,i_hkm = 9,i_hky = 2013 where id=%1").arg(id));
    }
    QSqlQuery q(db.connection());
    q.exec(QStringLiteral("select tf from txyk"));
    q.next();
    QCOMPARE(q.value(0).toInt(), 0);
    {
        Transaction t(db);
        db.execute(QStringLiteral("UPDATE Txyk SET tf=True,i_hkm = 9,i_hky = 2013 where id=%1").arg(id));
        t.commit();
    }
    q.exec(QStringLiteral("select tf from txyk"));
    q.next();
    QCOMPARE(q.value(0).toInt(), 1);
}

QTEST_GUILESS_MAIN(TestDatabase)
#include "tst_database.moc"
