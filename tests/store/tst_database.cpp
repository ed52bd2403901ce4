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
    void connectionSettings();
    void statementStoresWhatItIsGiven_data();
    void statementStoresWhatItIsGiven();
    void statementRunsAgainWithNewValues();
    void statementErrorsNameTheStatement();
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
    // clang-format off
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("text")          << QByteArray("this is not a database\n");
    QTest::newRow("random bytes")  << QByteArray(4096, '\x5a');
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
    // clang-format on
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
    // clang-format off
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("keptCard"); // a card that must still be there, if any

    QTest::newRow("new")        << false << QByteArray() << true << QString();
    QTest::newRow("empty file") << true  << QByteArray() << true << QString();
    QTest::newRow("empty database") << true
                                    << sqliteFile({QStringLiteral("CREATE TABLE t (x)"),
                                                   QStringLiteral("DROP TABLE t")})
                                    << true << QString();
    QTest::newRow("ours, marked") << true << oursThen({}) << true << QStringLiteral("kept");
    QTest::newRow("ours, without the mark")
        << true
        << oursThen({QStringLiteral("PRAGMA application_id=0"), QStringLiteral("PRAGMA user_version=0")})
        << true << QStringLiteral("kept");
    QTest::newRow("ours, older version") << true << oursThen({QStringLiteral("PRAGMA user_version=0")}) << true << QStringLiteral("kept");

    QTest::newRow("foreign tables")
        << true
        << sqliteFile({QStringLiteral("CREATE TABLE notes (id INTEGER PRIMARY KEY, body TEXT)"),
                       QStringLiteral("INSERT INTO notes (body) VALUES ('hello')")})
        << false << QString();
    QTest::newRow("foreign mark, no tables")    << true << sqliteFile({QStringLiteral("PRAGMA application_id=1234")}) << false << QString();
    QTest::newRow("foreign version, no tables") << true << sqliteFile({QStringLiteral("PRAGMA user_version=7")})      << false << QString();
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
    QTest::newRow("no database") << true << QByteArray("just text, long enough to be more than nothing\n") << false << QString();
    // A file of ours with statements planted in it: they would run at every refresh.
    QTest::newRow("ours with a trigger")
        << true << oursThen({QStringLiteral("CREATE TRIGGER t AFTER UPDATE ON txyk BEGIN UPDATE txyk SET tf=1; END")})
        << false << QString();
    QTest::newRow("ours with a view")
        << true << oursThen({QStringLiteral("CREATE VIEW v AS SELECT c_no FROM txyk")}) << false << QString();
    QTest::newRow("ours, marked, with another table")
        << true << oursThen({QStringLiteral("CREATE TABLE side (no TEXT)")}) << false << QString();
    QTest::newRow("ours, older version, with a trigger")
        << true
        << oursThen({QStringLiteral("CREATE TRIGGER t BEFORE INSERT ON tname BEGIN SELECT 1; END"),
                     QStringLiteral("PRAGMA user_version=1")})
        << false << QString();
    QTest::newRow("marked, without our tables")
        << true
        << sqliteFile({QStringLiteral("PRAGMA application_id=%1").arg(Database::kApplicationId),
                       QStringLiteral("PRAGMA user_version=%1").arg(Database::kSchemaVersion)})
        << false << QString();
    QTest::newRow("ours with an index of its own tables") << true << oursThen({QStringLiteral("CREATE INDEX i ON txyk (c_jzr)")}) << true << QStringLiteral("kept");
    // clang-format on
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
    QVERIFY(!data.plannerScratch().isOpen());
    QCOMPARE(data.cards().sql(), QStringLiteral("select * from txyk  order by i_xyr,tf DESC"));
    QCOMPARE(data.holders().sql(), QStringLiteral("select * from tname  order by c_jzr\n"));
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

// How every connection is set up: others are waited for, freed space is zeroed.
void TestDatabase::connectionSettings()
{
    TempHome home;
    Database db;
    db.open(home.databasePath());
    QCOMPARE(Stored::value(db, QStringLiteral("PRAGMA busy_timeout")).toInt(), 5000);
    QCOMPARE(Stored::value(db, QStringLiteral("PRAGMA secure_delete")).toInt(), 1);
    QCOMPARE(Stored::value(db, QStringLiteral("PRAGMA cache_size")).toInt(), -16384);
    QCOMPARE(Stored::value(db, QStringLiteral("PRAGMA foreign_keys")).toInt(), 0);
    QCOMPARE(Stored::value(db, QStringLiteral("PRAGMA trusted_schema")).toInt(), 0);
    // Defensive: the file's structure cannot be rewritten by a statement.
    db.executeSql(QStringLiteral("PRAGMA writable_schema=ON"));
    QVERIFY_THROWS_EXCEPTION(Error, db.executeSql(QStringLiteral("UPDATE sqlite_master SET sql=sql")));
}

// A value bound to a statement is stored as the program's saves always stored it.
void TestDatabase::statementStoresWhatItIsGiven_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("type");    // typeof() in SQLite
    QTest::addColumn<QVariant>("stored"); // read back
    // clang-format off
    QTest::newRow("null")        << QVariant()                               << "null"    << QVariant();
    QTest::newRow("int")         << QVariant(42)                             << "integer" << QVariant(qlonglong(42));
    QTest::newRow("large")       << QVariant(qlonglong(1) << 40)             << "integer" << QVariant(qlonglong(1) << 40);
    QTest::newRow("double")      << QVariant(88.5)                           << "real"    << QVariant(88.5);
    QTest::newRow("flag")        << QVariant(true)                           << "integer" << QVariant(qlonglong(1));
    QTest::newRow("date")        << QVariant(QDate(2013, 9, 8))              << "text"    << QVariant(QStringLiteral("2013-09-08"));
    QTest::newRow("text")        << QVariant(QStringLiteral("招行 O'Brien")) << "text"    << QVariant(QStringLiteral("招行 O'Brien"));
    QTest::newRow("empty text")  << QVariant(QString(""))                    << "text"    << QVariant(QString(""));
    QTest::newRow("bytes")       << QVariant(QByteArray("a\0b", 3))          << "blob"    << QVariant(QByteArray("a\0b", 3));
    // clang-format on
}

void TestDatabase::statementStoresWhatItIsGiven()
{
    QFETCH(QVariant, value);
    QFETCH(QString, type);
    QFETCH(QVariant, stored);
    TempHome home;
    Database db;
    db.open(home.databasePath());
    db.executeSql(QStringLiteral("CREATE TABLE t (v)"));
    QCOMPARE(db.executeSql(QStringLiteral("INSERT INTO t VALUES (?)"), {value}), 1);
    QCOMPARE(Stored::row(db, QStringLiteral("SELECT typeof(v), v FROM t WHERE rowid=?"), {db.lastInsertId()}),
             QVariantList({type, stored}));
}

void TestDatabase::statementRunsAgainWithNewValues()
{
    TempHome home;
    Database db;
    db.open(home.databasePath());
    CardBuilder b(db);
    const int a = b.name(QStringLiteral("甲")).insert();
    const int c = b.name(QStringLiteral("丙")).insert();
    Statement rename(db, QStringLiteral("UPDATE txyk SET c_name=? WHERE id=?"));
    QCOMPARE(rename.bind(0, QStringLiteral("乙")).bind(1, qint64(a)).run(), 1);
    QCOMPARE(rename.bind(1, qint64(c)).run(), 1); // the name stays bound
    QCOMPARE(rename.bind(1, qint64(999)).run(), 0);
    Statement names(db, QStringLiteral("SELECT id, c_name FROM txyk ORDER BY id"));
    QCOMPARE(names.columnCount(), 2);
    QCOMPARE(names.columnName(1), QStringLiteral("c_name"));
    for (int run = 0; run < 2; ++run) { // read twice: reset starts it over
        QStringList read;
        while (names.step())
            read << names.text(1);
        QCOMPARE(read, QStringList({"乙", "乙"}));
        names.reset();
    }
}

// A failed statement throws with the statement and SQLite's reason; nothing runs of a text with
// two statements, nor on a closed database.
void TestDatabase::statementErrorsNameTheStatement()
{
    TempHome home;
    Database db;
    db.open(home.databasePath());
    const auto failure = [&](const QString& sql) {
        try {
            db.executeSql(sql);
        } catch (const Error& e) {
            return e.message();
        }
        return QStringLiteral("<no error>");
    };
    QCOMPARE(failure(QStringLiteral("SELEC 1")), QStringLiteral("SELEC 1\nnear \"SELEC\": syntax error"));
    QCOMPARE(failure(QStringLiteral("DELETE FROM tname; DROP TABLE txyk")),
             QStringLiteral(
                 "DELETE FROM tname; DROP TABLE txyk\nUnable to execute multiple statements at a time"));
    QCOMPARE(Stored::count(db, QStringLiteral("SELECT * FROM sqlite_master WHERE name='txyk'")), 1);

    db.close();
    QVERIFY_THROWS_EXCEPTION(Error, Statement(db, QStringLiteral("SELECT 1")));
}

QTEST_GUILESS_MAIN(TestDatabase)
#include "tst_database.moc"
