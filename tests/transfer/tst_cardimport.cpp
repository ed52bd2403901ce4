#include "store/CardSecrets.h"
#include "store/Database.h"
#include "store/Error.h"
#include "store/Gbk.h"
#include "support/CardBuilder.h"
#include "support/Stored.h"
#include "support/TempHome.h"
#include "transfer/CardImport.h"
#include "transfer/CsvReader.h"

#include <QProcess>
#include <QtTest>

using CsvReader::Record;

// Reading CSV files as our export and spreadsheets write them, planning an import against the
// stored cards, and writing it: all or nothing, cards matched, dates computed, numbers sealed.
class TestCardImport : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void decoding_data();
    void decoding();
    void parsing_data();
    void parsing();
    void parseErrorsNameRowAndColumn_data();
    void parseErrorsNameRowAndColumn();

    void headers_data();
    void headers();
    void badRowsAreRefusedWithRowAndColumn_data();
    void badRowsAreRefusedWithRowAndColumn();
    void storedCardsAreMatchedNotDuplicated();

    void applyWritesCardsWithDates();
    void updateKeepsNumberTheFileDoesNotCarry();
    void failedWriteLeavesNothing();
    void protectedNumbersAreSealed();
    void lockedVaultRefusesNumbers();

    void commandAddsSkipsAndReports();
    void commandRefusesBadFileWritingNothing();

private:
    static QByteArray utf8(const QString& text) { return text.toUtf8(); }
    CardImport::Plan planOf(const QString& text) { return CardImport::planBytes(text.toUtf8(), *m_db); }
    int cardCount() { return Stored::count(*m_db, "SELECT id FROM txyk"); }

    TempHome* m_home = nullptr;
    Database* m_db = nullptr;
    const QDate m_today{2013, 9, 5};
};

void TestCardImport::init()
{
    m_home = new TempHome;
    QDir().mkpath(m_home->path() + "/Data");
    m_db = new Database;
    m_db->open(m_home->databasePath());
}

void TestCardImport::cleanup()
{
    delete m_db;
    m_db = nullptr;
    delete m_home;
    m_home = nullptr;
}

void TestCardImport::decoding_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    const QString chinese = QStringLiteral("卡名,账单日\r\n招行,20\r\n");
    QTest::newRow("UTF-8") << chinese.toUtf8() << chinese;
    QTest::newRow("UTF-8 with BOM") << QByteArray("\xEF\xBB\xBF") + chinese.toUtf8() << chinese;
    QTest::newRow("GBK") << Gbk::encode(chinese) << chinese;
    QTest::newRow("GBK, no ASCII at all")
        << Gbk::encode(QStringLiteral("建设银行")) << QStringLiteral("建设银行");
    QTest::newRow("plain ASCII") << QByteArray("c_name\n") << QStringLiteral("c_name\n");
    QTest::newRow("empty") << QByteArray() << QString();
}

void TestCardImport::decoding()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(CsvReader::decode(bytes), text);
}

void TestCardImport::parsing_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<int>>("rows");
    QTest::addColumn<QList<QStringList>>("cells");
    // clang-format off
    QTest::newRow("CRLF") << "a,b\r\nc,d\r\n" << QList<int>{1, 2} << QList<QStringList>{{"a", "b"}, {"c", "d"}};
    QTest::newRow("LF, no final line end") << "a,b\nc,d" << QList<int>{1, 2} << QList<QStringList>{{"a", "b"}, {"c", "d"}};
    QTest::newRow("CR only") << "a\rb\r" << QList<int>{1, 2} << QList<QStringList>{{"a"}, {"b"}};
    QTest::newRow("empty cells") << ",x,\n" << QList<int>{1} << QList<QStringList>{{"", "x", ""}};
    QTest::newRow("quoted comma and doubled quote") << "\"招行,白金\",\"他说\"\"好\"\"\"\n"
        << QList<int>{1} << QList<QStringList>{{"招行,白金", "他说\"好\""}};
    // A cell with line breaks is one spreadsheet row: the next record is row 3, not 5.
    QTest::newRow("line breaks inside quotes") << "t\r\n\"两行\n名字\r\n三行\",1\r\nx,2\r\n"
        << QList<int>{1, 2, 3} << QList<QStringList>{{"t"}, {"两行\n名字\r\n三行", "1"}, {"x", "2"}};
    QTest::newRow("quoted empty and quote after comma") << "\"\",\"a\"\n" << QList<int>{1} << QList<QStringList>{{"", "a"}};
    QTest::newRow("empty line keeps numbering") << "a\n\nb\n" << QList<int>{1, 2, 3} << QList<QStringList>{{"a"}, {}, {"b"}};
    QTest::newRow("quote inside a plain cell") << "5\"寸\n" << QList<int>{1} << QList<QStringList>{{"5\"寸"}};
    // clang-format on
}

void TestCardImport::parsing()
{
    QFETCH(QString, text);
    QFETCH(QList<int>, rows);
    QFETCH(QList<QStringList>, cells);
    const QList<Record> records = CsvReader::parse(text);
    QList<int> gotRows;
    QList<QStringList> gotCells;
    for (const Record& r : records) {
        gotRows << r.row;
        gotCells << r.cells;
    }
    QCOMPARE(gotCells, cells);
    QCOMPARE(gotRows, rows);
}

void TestCardImport::parseErrorsNameRowAndColumn_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("where");
    QTest::newRow("quote left open") << "a,b\nc,\"d\ne\n"
                                     << "第2行第2列";
    QTest::newRow("text after the closing quote") << "a\n\"x\"y,z\n"
                                                  << "第2行第1列";
}

void TestCardImport::parseErrorsNameRowAndColumn()
{
    QFETCH(QString, text);
    QFETCH(QString, where);
    try {
        CsvReader::parse(text);
        QFAIL("no error");
    } catch (const Error& e) {
        QVERIFY2(e.message().startsWith(where), qPrintable(e.message()));
    }
    // Through the import: a refusal, nothing planned.
    const CardImport::Plan plan = planOf(text);
    QCOMPARE(plan.refusals.size(), 1);
    QVERIFY(!plan.canApply());
}

void TestCardImport::headers_data()
{
    QTest::addColumn<QString>("header");
    QTest::addColumn<QStringList>("unused");
    QTest::newRow("grid titles") << "卡名,卡号,账单日,还款日,\"最短\n还款日\",剩余还款天数" << QStringList();
    QTest::newRow("field names, any case") << "C_NAME,c_no,c_jzr,c_hkr,izdhkr,I_XYR" << QStringList();
    QTest::newRow("blanks, controls, editor labels")
        << QString::fromUtf16(u" 卡名 ,\u202A卡号,") + "账单日,还款日,最短免息日,剩余 还款天数"
        << QStringList();
    QTest::newRow("unknown column left aside")
        << "卡名,卡号,账单日,还款日,最短还款日,备注" << QStringList{"备注"};
}

void TestCardImport::headers()
{
    QFETCH(QString, header);
    QFETCH(QStringList, unused);
    const CardImport::Plan plan = planOf(header + "\r\n招行,6225880123456789,20,7,18,99\r\n");
    QVERIFY2(plan.refusals.isEmpty(), qPrintable(plan.refusals.value(0).text()));
    QCOMPARE(plan.unusedColumns, unused);
    QCOMPARE(plan.additions.size(), 1);
    const CardImport::PlannedCard& card = plan.additions.first();
    QCOMPARE(card.values.value("c_name").toString(), QString("招行"));
    QCOMPARE(card.values.value("c_jzr").toInt(), 20);
    QCOMPARE(card.values.value("c_hkr").toInt(), 7);
    QCOMPARE(card.values.value("izdhkr").toInt(), 18);
    QCOMPARE(card.last4, QString("6789"));
    QVERIFY(!card.values.contains("i_xyr")); // computed columns are never taken from the file
}

void TestCardImport::badRowsAreRefusedWithRowAndColumn_data()
{
    QTest::addColumn<QString>("csv");
    QTest::addColumn<QString>("message");
    const QString head = "卡名,卡号,账单日,还款日,已还款,总额度,已消费额度\r\n";
    const QString good = "好卡,1111,1,20,否,5000,0\r\n";
    // clang-format off
    QTest::newRow("day out of range") << head + good + "坏卡,2222,32,20,否,5000,0\r\n"
        << "第3行“账单日”列：账单日必须是1到31之间的整数。";
    QTest::newRow("day not a number") << head + good + "坏卡,2222,1,二十,否,5000,0\r\n"
        << "第3行“还款日”列：还款日必须是1到31之间的整数。";
    QTest::newRow("no name") << head + "  ,2222,1,20,否,5000,0\r\n" << "第2行“卡名”列：请填写卡名。";
    QTest::newRow("limit not whole") << head + "坏卡,2222,1,20,否,5000.5,0\r\n" << "第2行“总额度”列：总额度必须是整数。";
    QTest::newRow("amount not a number") << head + "坏卡,2222,1,20,否,5000,一千\r\n"
        << "第2行“已消费额度”列：已消费必须是数字。";
    QTest::newRow("number a spreadsheet took for a number") << head + "坏卡,6.22588E+15,1,20,否,5000,0\r\n"
        << "第2行“卡号”列：卡号只能由数字、空格和“-”组成（若表格程序把卡号存成了科学计数法，请把这一列设为文本后重新保存）。";
    QTest::newRow("flag") << head + "坏卡,2222,1,20,也许,5000,0\r\n" << "第2行“已还款”列：只能填“是”或“否”。";
    QTest::newRow("same card twice") << head + good + "\"好卡\",'-1111,2,21,否,1,1\r\n"
        << "第3行：与第2行是同一张卡（卡名和卡号后四位相同）。";
    QTest::newRow("cells without a title") << head + "坏卡,2222,1,20,否,5000,0,多余\r\n"
        << "第2行：第8列以后的单元格没有标题。";
    QTest::newRow("missing column") << "卡名,卡号,还款日\r\n" + good << "第1行：缺少“账单日”列。";
    QTest::newRow("column twice") << "卡名,c_jzr,账单日,还款日\r\n" << "第1行“账单日”列：与第2列是同一项，只能有一列。";
    QTest::newRow("empty file") << "" << "文件是空的，没有标题行。";
    // clang-format on
}

void TestCardImport::badRowsAreRefusedWithRowAndColumn()
{
    QFETCH(QString, csv);
    QFETCH(QString, message);
    CardBuilder(*m_db).name("已有").number("9999").statementDay(3).repaymentDay(21).insert();
    const CardImport::Plan plan = planOf(csv);
    QVERIFY(!plan.refusals.isEmpty());
    QCOMPARE(plan.refusals.first().text(), message);
    QVERIFY(!plan.canApply());
    QVERIFY_THROWS_EXCEPTION(Error, CardImport::apply(plan, *m_db, CardSecrets(*m_db), m_today, true));
    QCOMPARE(cardCount(), 1);
}

void TestCardImport::storedCardsAreMatchedNotDuplicated()
{
    CardBuilder b(*m_db);
    b.name("招行").number("6225 8801 2345 6789").statementDay(20).repaymentDay(7).insert();
    b.name("招行").number("4367420012341111").statementDay(1).repaymentDay(25).insert();
    b.name("双胞胎").number("5555").statementDay(1).repaymentDay(25).insert();
    b.name("双胞胎").number("0005555").statementDay(2).repaymentDay(26).insert();
    const CardImport::Plan plan = planOf("卡名,卡号,账单日,还款日\n"
                                         "招行,6225-8801-2345-6789,21,8\n" // same name, same last four
                                         " 招行 ,6789,21,8\n"              // same again, in the file
                                         "招行,4367420099992222,1,25\n"    // same name, other number
                                         "工行,6789,5,23\n"                // other name
                                         "双胞胎,5555,1,25\n");            // two stored cards fit
    QCOMPARE(plan.updates.size(), 1);
    QCOMPARE(plan.updates.first().row, 2);
    QCOMPARE(plan.updates.first().storedId, 1);
    QCOMPARE(plan.additions.size(), 2);
    QCOMPARE(plan.additions[0].text(), QString("第4行：招行（尾号2222）"));
    QCOMPARE(plan.additions[1].text(), QString("第5行：工行（尾号6789）"));
    QStringList refused;
    for (const CardImport::Refusal& r : plan.refusals)
        refused << r.text();
    QCOMPARE(refused, QStringList({"第3行：与第2行是同一张卡（卡名和卡号后四位相同）。",
                                   "第6行：已有多张卡名和卡号后四位都相同的卡，无法确定更新哪一张。"}));

    // Without a number column the name alone finds the card.
    const CardImport::Plan byName = planOf("卡名,账单日,还款日\n工行,5,23\n双胞胎,1,25\n");
    QCOMPARE(byName.additions.size(), 1);
    QCOMPARE(byName.refusals.size(), 1);
    QVERIFY(byName.refusals.first().reason.contains("同名"));
}

void TestCardImport::applyWritesCardsWithDates()
{
    CardBuilder(*m_db)
        .name("招行")
        .number("6225880123456789")
        .statementDay(20)
        .repaymentDay(7)
        .limit(1)
        .insert();
    const CardImport::Plan plan =
        planOf("卡名,卡号,账单日,还款日,已还款,总额度,已消费额度,最低还款比例,持卡人\n"
               "招行,6225880123456789,20,7,否,30000,100,1,本人\n"
               "'=工行,4367420012341111,1,25,是,5000,,,\n");
    QVERIFY(plan.canApply());
    QCOMPARE(plan.updates.size(), 1);

    // Stored cards skipped: only the new card is written.
    const CardImport::Outcome skipped = CardImport::apply(plan, *m_db, CardSecrets(*m_db), m_today, false);
    QCOMPARE(skipped.added, 1);
    QCOMPARE(skipped.skipped, 1);
    QCOMPARE(Stored::field(*m_db, 1, "i_ed").toInt(), 1);
    const int added = Stored::value(*m_db, "SELECT id FROM txyk WHERE c_name='=工行'").toInt();
    QVERIFY(added > 1);
    // Its dates as a save computes them on 2013-9-5: statement 1st, repayment 25th.
    QCOMPARE(Stored::field(*m_db, added, "c_re_date").toString(), QString("2013-09-25"));
    QCOMPARE(Stored::field(*m_db, added, "i_xyr").toInt(), 20);
    QCOMPARE(Stored::field(*m_db, added, "c_last4").toString(), QString("1111"));
    // Marked repaid as "当月已还清" marks it: for the repayment it covers.
    QCOMPARE(Stored::row(*m_db, "SELECT tf, i_hkm, i_hky FROM txyk WHERE id=?", {added}),
             QVariantList({1, 9, 2013}));
    QVERIFY(Stored::field(*m_db, added, "i_yxf").isNull());

    // Updating: the stored card takes the file's values, no card is added twice.
    const CardImport::Plan again =
        planOf("卡名,卡号,账单日,还款日,已还款,总额度,已消费额度,最低还款比例,持卡人\n"
               "招行,6225880123456789,20,7,否,30000,100,1,本人\n");
    const CardImport::Outcome updated = CardImport::apply(again, *m_db, CardSecrets(*m_db), m_today, true);
    QCOMPARE(updated.updated, 1);
    QCOMPARE(cardCount(), 2);
    QCOMPARE(Stored::row(*m_db, "SELECT i_ed, i_yxf, i_zdhkbl, cname FROM txyk WHERE id=1"),
             QVariantList({30000, 100.0, 1.0, "本人"}));
    QCOMPARE(Stored::field(*m_db, 1, "i_zdhkje").toDouble(), 10.0); // 100 at a ratio of 1 (10%)
}

void TestCardImport::updateKeepsNumberTheFileDoesNotCarry()
{
    // An export made under the password has the last four digits and no validity.
    CardBuilder(*m_db)
        .name("招行")
        .number("6225880123456789")
        .set("c_yxq", "12/28")
        .set("c_xym", "123")
        .statementDay(20)
        .repaymentDay(7)
        .insert();
    const CardImport::Plan plan = planOf("卡名,卡号,有效期,效验码,账单日,还款日\n招行,6789,,,21,8\n");
    QCOMPARE(plan.updates.size(), 1);
    QVERIFY(!plan.carriesSecrets);
    CardImport::apply(plan, *m_db, CardSecrets(*m_db), m_today, true);
    QCOMPARE(Stored::row(*m_db, "SELECT c_no, c_yxq, c_xym, c_jzr, c_hkr FROM txyk WHERE id=1"),
             QVariantList({"6225880123456789", "12/28", "123", 21, 8}));
}

void TestCardImport::failedWriteLeavesNothing()
{
    CardBuilder(*m_db).name("招行").number("6789").statementDay(20).repaymentDay(7).limit(1).insert();
    const CardImport::Plan plan =
        planOf("卡名,卡号,账单日,还款日,总额度\n新卡,1111,1,25,1\n招行,6789,20,7,2\n");
    // The update fails half way: the card added before it goes too.
    m_db->executeSql(
        "CREATE TRIGGER refuse BEFORE UPDATE OF i_ed ON txyk BEGIN SELECT RAISE(ABORT, 'no'); END");
    QVERIFY_THROWS_EXCEPTION(Error, CardImport::apply(plan, *m_db, CardSecrets(*m_db), m_today, true));
    QCOMPARE(cardCount(), 1);
    QCOMPARE(Stored::field(*m_db, 1, "i_ed").toInt(), 1);
}

void TestCardImport::protectedNumbersAreSealed()
{
    CardSecrets secrets(*m_db);
    secrets.protect("密码");
    const CardImport::Plan plan =
        planOf("卡名,卡号,有效期,效验码,账单日,还款日\n招行,6225880123456789,12/28,321,20,7\n");
    QVERIFY(plan.carriesSecrets);
    CardImport::apply(plan, *m_db, secrets, m_today, true);
    const QVariantList stored = Stored::row(*m_db, "SELECT id, c_no, c_yxq, c_xym, c_last4 FROM txyk");
    for (int i = 1; i <= 3; ++i)
        QVERIFY2(stored[i].toString().startsWith("vsec2:"), qPrintable(stored[i].toString()));
    QCOMPARE(stored[4].toString(), QString("6789"));
    QCOMPARE(secrets.shown("c_no", stored[1], stored[0].toLongLong(), stored[4]).toString(),
             QString("6225880123456789"));
    QCOMPARE(secrets.shown("c_xym", stored[3], stored[0].toLongLong()).toString(), QString("321"));
}

void TestCardImport::lockedVaultRefusesNumbers()
{
    CardSecrets(*m_db).protect("密码");
    Database other; // as a command opens it: the key is not open
    other.open(m_home->databasePath());
    CardSecrets locked(other);
    const CardImport::Plan plan =
        CardImport::planBytes(utf8("卡名,卡号,账单日,还款日\n招行,6225880123456789,20,7\n"), other);
    QVERIFY(CardImport::secretsProblem(plan, locked).contains("登录"));
    QVERIFY_THROWS_EXCEPTION(Error, CardImport::apply(plan, other, locked, m_today, true));
    QCOMPARE(cardCount(), 0);
    // Without numbers the cards can go in all the same.
    const CardImport::Plan plain =
        CardImport::planBytes(utf8("卡名,卡号,账单日,还款日\n招行,,20,7\n"), other);
    QVERIFY(CardImport::secretsProblem(plain, locked).isEmpty());
    QCOMPARE(CardImport::apply(plain, other, locked, m_today, true).added, 1);
}

void TestCardImport::commandAddsSkipsAndReports()
{
    CardBuilder(*m_db).name("招行").number("6225880123456789").statementDay(20).repaymentDay(7).insert();
    delete m_db; // the command opens the database itself
    m_db = nullptr;
    const QString path = m_home->path() + "/卡片.csv";
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(Gbk::encode(QStringLiteral(
        "卡名,卡号,账单日,还款日,备注\r\n招行,6789,21,8,旧卡\r\n\"工行\n白金\",1111,1,25,\r\n")));
    file.close();
    QProcess p;
    p.start(QStringLiteral(VELMORA_EXECUTABLE), {"--import-csv", path});
    QVERIFY(p.waitForFinished(20000));
    QCOMPARE(p.exitCode(), 0);
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    QVERIFY2(out.contains("已导入1张新卡片，跳过1张已有的卡片。"), qPrintable(out));
    QVERIFY2(out.contains("第2行：招行（尾号6789）"), qPrintable(out));
    QVERIFY(QString::fromUtf8(p.readAllStandardError()).contains("未使用的列：备注"));

    m_db = new Database;
    m_db->open(m_home->databasePath());
    QCOMPARE(Stored::column(*m_db, "SELECT c_name FROM txyk ORDER BY id"),
             QVariantList({"招行", "工行\n白金"}));
    QCOMPARE(Stored::field(*m_db, 1, "c_jzr").toInt(), 20); // skipped, not updated
    QVERIFY(!Stored::field(*m_db, 2, "c_re_date").isNull());
}

void TestCardImport::commandRefusesBadFileWritingNothing()
{
    delete m_db;
    m_db = nullptr;
    const QString path = m_home->path() + "/bad.csv";
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(utf8("\xEF\xBB\xBF卡名,账单日,还款日\r\n好卡,1,20\r\n坏卡,1,0\r\n"));
    file.close();
    QProcess p;
    p.start(QStringLiteral(VELMORA_EXECUTABLE), {"--import-csv", path});
    QVERIFY(p.waitForFinished(20000));
    QCOMPARE(p.exitCode(), 1);
    const QString err = QString::fromUtf8(p.readAllStandardError());
    QVERIFY2(err.contains("第3行“还款日”列：还款日必须是1到31之间的整数。"), qPrintable(err));
    QVERIFY(err.contains("没有导入任何卡片"));
    m_db = new Database;
    m_db->open(m_home->databasePath());
    QCOMPARE(cardCount(), 0);
}

QTEST_MAIN(TestCardImport)
#include "tst_cardimport.moc"
