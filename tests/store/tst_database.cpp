#include "store/DataModule.h"
#include "store/Database.h"
#include "store/Error.h"
#include "support/CardBuilder.h"
#include "support/Stored.h"
#include "support/TempHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

class TestDatabase : public QObject
{
    Q_OBJECT
private slots:
    void createsMissingDatabaseWithEveryField();
    void reopensWithoutRecreating();
    void refusesFilesThatAreNoDatabase_data();
    void refusesFilesThatAreNoDatabase();
    void marksOursAndLeavesOthersUntouched_data();
    void marksOursAndLeavesOthersUntouched();
    void dataModuleOpensItsQueries();
    void transactionRollsBackUnlessCommitted();
};

static QStringList columnsOf(Database& db, const QString& table)
{
    QStringList names;
    for (const QVariant& name : Stored::column(
             db, QStringLiteral("SELECT name FROM pragma_table_info('%1') ORDER BY cid").arg(table)))
        names << name.toString();
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
                  "i_xyr",  "i_xf",   "tf_tx", "i_tx_num",  "t_time",         "c_last4"}));
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
    QCOMPARE(Stored::row(db, QStringLiteral("select tf, tf_tx from txyk")), QVariantList({0, 0}));
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
    QCOMPARE(Stored::column(db, QStringLiteral("select c_name from txyk")),
             QVariantList({QStringLiteral("kept")}));
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

// Bytes of a SQLite file made by plain SQL statements, as another program (or an earlier version
// of ours) would leave it.
static QByteArray sqliteFile(const QStringList& statements)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("made.db"));
    runOnSqliteFile(path, statements);
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

// Our database as this program makes it, then `statements` run on it.
static QByteArray oursThen(const QStringList& statements)
{
    TempHome home;
    {
        Database db;
        db.open(home.databasePath());
        CardBuilder(db).name(QStringLiteral("kept")).insert();
        for (const QString& statement : statements)
            db.executeSql(statement);
    }
    QFile file(home.databasePath());
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

static qint64 pragma(Database& db, const char* name)
{
    return Stored::value(db, QStringLiteral("PRAGMA %1").arg(QLatin1StringView(name))).toLongLong();
}

void TestDatabase::marksOursAndLeavesOthersUntouched_data()
{
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("keptCard"); // a card that must still be there, if any

    QTest::newRow("new") << false << QByteArray() << true << QString();
    QTest::newRow("empty file") << true << QByteArray() << true << QString();
    QTest::newRow("empty database") << true
                                    << sqliteFile({QStringLiteral("CREATE TABLE t (x)"),
                                                   QStringLiteral("DROP TABLE t")})
                                    << true << QString();
    QTest::newRow("ours, marked") << true << oursThen({}) << true << QStringLiteral("kept");
    QTest::newRow("ours, without the mark")
        << true
        << oursThen({QStringLiteral("PRAGMA application_id=0"), QStringLiteral("PRAGMA user_version=0")})
        << true << QStringLiteral("kept");
    QTest::newRow("ours, older version")
        << true << oursThen({QStringLiteral("PRAGMA user_version=0")}) << true << QStringLiteral("kept");

    QTest::newRow("foreign tables")
        << true
        << sqliteFile({QStringLiteral("CREATE TABLE notes (id INTEGER PRIMARY KEY, body TEXT)"),
                       QStringLiteral("INSERT INTO notes (body) VALUES ('hello')")})
        << false << QString();
    QTest::newRow("foreign mark, no tables")
        << true << sqliteFile({QStringLiteral("PRAGMA application_id=1234")}) << false << QString();
    QTest::newRow("foreign version, no tables")
        << true << sqliteFile({QStringLiteral("PRAGMA user_version=7")}) << false << QString();
    QTest::newRow("our tables plus a foreign one, unmarked")
        << true
        << oursThen({QStringLiteral("CREATE TABLE notes (body TEXT)"),
                     QStringLiteral("PRAGMA application_id=0"), QStringLiteral("PRAGMA user_version=0")})
        << false << QString();
    QTest::newRow("a table named txyk alone")
        << true << sqliteFile({QStringLiteral("CREATE TABLE txyk (id INTEGER PRIMARY KEY, c_name TEXT)")})
        << false << QString();
    QTest::newRow("ours from a newer version")
        << true << oursThen({QStringLiteral("PRAGMA user_version=%1").arg(Database::kSchemaVersion + 1)})
        << false << QString();
    QTest::newRow("no database") << true << QByteArray("just text, long enough to be more than nothing\n")
                                 << false << QString();
}

void TestDatabase::marksOursAndLeavesOthersUntouched()
{
    QFETCH(bool, exists);
    QFETCH(QByteArray, content);
    QFETCH(bool, accepted);
    QFETCH(QString, keptCard);
    TempHome home;
    if (exists) {
        QFile file(home.databasePath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    Database db;
    if (!accepted) {
        try {
            db.open(home.databasePath());
            QFAIL("opened a file that is not ours");
        } catch (const Error& e) {
            QVERIFY2(e.message().contains(QStringLiteral("未作任何改动")), qPrintable(e.message()));
        }
        QVERIFY(!db.isOpen());
        QFile file(home.databasePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), content);
        QCOMPARE(QFileInfo(home.databasePath()).dir().entryList(QDir::Files),
                 QStringList({QStringLiteral("Data.db")}));
        return;
    }
    db.open(home.databasePath());
    QCOMPARE(pragma(db, "application_id"), qint64(Database::kApplicationId));
    QCOMPARE(pragma(db, "user_version"), qint64(Database::kSchemaVersion));
    QCOMPARE(Stored::value(db, QStringLiteral("select c_name from txyk")).toString(), keptCard);
    QCOMPARE(Stored::value(db, QStringLiteral("select count(*) from tname, tjz, Txyk_jz")).toInt(), 0);
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
    QCOMPARE(Stored::value(db, QStringLiteral("select tf from txyk")).toInt(), 0);
    {
        Transaction t(db);
        db.execute(QStringLiteral("UPDATE Txyk SET tf=True,i_hkm = 9,i_hky = 2013 where id=%1").arg(id));
        t.commit();
    }
    QCOMPARE(Stored::value(db, QStringLiteral("select tf from txyk")).toInt(), 1);
}

QTEST_GUILESS_MAIN(TestDatabase)
#include "tst_database.moc"
