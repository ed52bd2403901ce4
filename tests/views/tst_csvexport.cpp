#include "cli/ExportCommand.h"
#include "store/DataModule.h"
#include "store/SafeFile.h"
#include "support/CardBuilder.h"
#include "support/TempHome.h"
#include "ui/AppContext.h"
#include "ui/MessageBox.h"
#include "views/CardGridModel.h"
#include "views/CardPage.h"
#include "views/CsvExport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QProcess>
#include <QTableView>
#include <QToolButton>
#include <QtTest>

// "导出…" and --export-csv: the listed cards as CSV, read back by Python's csv module.
class TestCsvExport : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void quoting_data();
    void quoting();
    void exportedFileEqualsShownRows();
    void lockedPageGivesLastFour();
    void bestCardOnSummaryPanel();
    void commandExportsEveryCard_data();
    void commandExportsEveryCard();
    void commandWritesWhatTheWindowExports_data();
    void commandWritesWhatTheWindowExports();

private:
    static QJsonObject readBack(const QString& path);
    void makePage();
    QStringList shownRow(int row) const;

    TempHome* m_home = nullptr;
    FixedClock m_clock{QDate(2013, 9, 5)};
    DataModule* m_data = nullptr;
    AppContext* m_context = nullptr;
    CardPage* m_page = nullptr;
};

void TestCsvExport::init()
{
    MessageBox::setSuppressAll(true);
    m_home = new TempHome;
    m_home->writeIni("[系统设置]\npdtf=0\n");
    m_data = new DataModule;
    m_data->open(m_home->databasePath());
    CardBuilder b(m_data->database());
    b.name("招行,白金")
        .number("6225880123456789")
        .set("c_xym", "123")
        .set("c_yxq", "12/28")
        .statementDay(20)
        .repaymentDay(7)
        .used(1000)
        .limit(20000)
        .insert();
    b.name("他说\"好\"")
        .number("4367 4200 1234 1111")
        .statementDay(1)
        .repaymentDay(25)
        .repaid(true, 9, 2013)
        .limit(5000)
        .insert();
    b.name("两行\n名字\r\n三行")
        .number("5500-0000-0000-2222")
        .statementDay(4)
        .repaymentDay(22)
        .limit(8000)
        .insert();
    b.name("普通").number("6200000000003333").statementDay(10).repaymentDay(28).insert();
}

void TestCsvExport::makePage()
{
    m_data->cards().close();
    m_data->cards().open();
    m_context = new AppContext(m_home->home());
    m_context->clock = &m_clock;
    m_context->data = m_data;
    m_page = new CardPage(*m_context);
    m_page->attachData(*m_data);
    m_page->resize(1020, 600);
}

void TestCsvExport::cleanup()
{
    CsvExport::setFileNameHook(nullptr);
    delete m_page;
    m_page = nullptr;
    delete m_context;
    m_context = nullptr;
    delete m_data;
    delete m_home;
    MessageBox::setSuppressAll(false);
}

QJsonObject TestCsvExport::readBack(const QString& path)
{
    QProcess python;
    python.start("/usr/bin/python3", {QStringLiteral(VELMORA_READ_CSV), path});
    if (!python.waitForFinished(30000) || python.exitCode() != 0) {
        qWarning("%s", python.readAllStandardError().constData());
        return {};
    }
    return QJsonDocument::fromJson(python.readAllStandardOutput()).object();
}

QStringList TestCsvExport::shownRow(int row) const
{
    const QAbstractItemModel* model = m_page->grid()->model();
    QStringList cells;
    for (int c = 0; c < model->columnCount(); ++c) {
        const QModelIndex index = model->index(row, c);
        const QVariant check = index.data(Qt::CheckStateRole);
        cells << (check.isValid() ? (check.toInt() == Qt::Checked ? "是" : "否") : index.data().toString());
    }
    return cells;
}

void TestCsvExport::quoting_data()
{
    // clang-format off
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("field");
    QTest::newRow("plain")           << "招行"       << "招行";
    QTest::newRow("comma")           << "a,b"        << "\"a,b\"";
    QTest::newRow("quote")           << "他说\"好\"" << "\"他说\"\"好\"\"\"";
    QTest::newRow("line feed")       << "a\nb"       << "\"a\nb\"";
    QTest::newRow("carriage return") << "a\rb"       << "\"a\rb\"";
    QTest::newRow("empty")           << ""           << "";
    // What a spreadsheet would run as a formula is made text.
    QTest::newRow("formula")         << "=HYPERLINK(\"x\")" << "\"'=HYPERLINK(\"\"x\"\")\"";
    QTest::newRow("plus")            << "+1+cmd"     << "'+1+cmd";
    QTest::newRow("minus")           << "-2+3"       << "'-2+3";
    QTest::newRow("at")              << "@SUM(A1)"   << "'@SUM(A1)";
    QTest::newRow("tab")             << "\tx"        << "'\tx";
    QTest::newRow("carriage return first") << "\r=1" << "\"'\r=1\"";
    QTest::newRow("negative number") << "-5"         << "-5";
    QTest::newRow("negative fraction") << "-3.25"    << "-3.25";
    QTest::newRow("sign alone")      << "-"          << "'-";
    QTest::newRow("no digit before the point") << "-.5" << "'-.5";
    QTest::newRow("no digit after the point")  << "+5." << "'+5.";
    QTest::newRow("equals inside")   << "a=b"        << "a=b";
    QTest::newRow("direction controls") << QString::fromUtf16(u"招\u202E行\u2066") << "招行";
    QTest::newRow("formula behind a control") << QString::fromUtf16(u"\u202A=1+1") << "'=1+1";
    // clang-format on
}

void TestCsvExport::quoting()
{
    QFETCH(QString, value);
    QFETCH(QString, field);
    QCOMPARE(CsvExport::field(value), field);
    QCOMPARE(CsvExport::encode({{value, "x"}}), QByteArray("\xEF\xBB\xBF") + (field + ",x\r\n").toUtf8());
}

void TestCsvExport::exportedFileEqualsShownRows()
{
    makePage();
    m_page->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_page));
    // A filter in force: only the unpaid cards are listed, and only they are exported.
    m_page->showStatement("select * from txyk  where  tf=False  order by c_jzr", true);
    const QAbstractItemModel* model = m_page->grid()->model();
    QCOMPARE(model->rowCount(), 3);

    const QString path = m_home->path() + "/卡片.csv";
    CsvExport::setFileNameHook([&] { return path; });
    QToolButton* button = m_page->findChild<QToolButton*>("exportButton");
    QVERIFY(button);
    QCOMPARE(button->text(), QString("导出…"));
    // Full numbers: said to be unencrypted and asked first; "No" writes nothing.
    MessageBox::clearShownTexts();
    MessageBox::setNextAnswer(QMessageBox::No);
    button->click();
    QVERIFY(!QFileInfo::exists(path));
    QVERIFY(MessageBox::shownTexts().value(0).contains(QStringLiteral("没有加密")));
    MessageBox::setNextAnswer(QMessageBox::Yes);
    button->click();

    const QJsonObject read = readBack(path);
    QVERIFY(read["bom"].toBool());
    const QJsonArray rows = read["rows"].toArray();
    QCOMPARE(rows.size(), 1 + 3);
    QStringList titles;
    for (int c = 0; c < model->columnCount(); ++c)
        titles << model->headerData(c, Qt::Horizontal).toString();
    QCOMPARE(rows[0].toVariant().toStringList(), titles);
    QCOMPARE(titles.first(), QString("卡名"));
    QCOMPARE(titles.last(), QString("最短\n还款日"));
    QStringList names;
    for (int r = 0; r < 3; ++r) {
        QStringList shown = shownRow(r);
        shown[3].clear(); // the check code never leaves the program
        QCOMPARE(rows[r + 1].toVariant().toStringList(), shown);
        names << rows[r + 1].toArray()[0].toString();
    }
    QCOMPARE(names, QStringList({"两行\n名字\r\n三行", "普通", "招行,白金"}));
    QCOMPARE(rows[3].toArray()[1].toString(), QString("6225880123456789")); // unlocked: in full
    QCOMPARE(rows[3].toArray()[3].toString(), QString());
}

void TestCsvExport::lockedPageGivesLastFour()
{
    m_home->writeIni("[系统设置]\npdtf=1\n");
    makePage(); // never shown: the tab is locked
    const QString path = m_home->path() + "/locked.csv";
    CsvExport::setFileNameHook([&] { return path; });
    m_page->exportShownCards();
    const QJsonArray rows = readBack(path)["rows"].toArray();
    QCOMPARE(rows.size(), 1 + 4);
    QStringList numbers, codes, validity;
    for (int r = 1; r < rows.size(); ++r) {
        numbers << rows[r].toArray()[1].toString();
        validity << rows[r].toArray()[2].toString();
        codes << rows[r].toArray()[3].toString();
    }
    numbers.sort();
    QCOMPARE(numbers, QStringList({"1111", "2222", "3333", "6789"}));
    QCOMPARE(codes, QStringList({"", "", "", ""}));
    QCOMPARE(validity, QStringList({"", "", "", ""}));

    // Cancelling the dialog writes nothing.
    QFile::remove(path);
    CsvExport::setFileNameHook([] { return QString(); });
    m_page->exportShownCards();
    QVERIFY(!QFile::exists(path));
}

void TestCsvExport::bestCardOnSummaryPanel()
{
    makePage();
    m_page->showBestCard();
    // 1/25 gives 50 days on 2013-9-5; 4/22 gives 47.
    QCOMPARE(m_page->findChild<QLabel*>("bestCardLabel")->text(),
             QString("今日推荐刷卡：他说\"好\"（免息50天）"));
    m_data->database().executeSql("DELETE FROM txyk");
    m_page->showBestCard();
    QCOMPARE(m_page->bestCardLabel()->text(), QString());
}

void TestCsvExport::commandExportsEveryCard_data()
{
    // clang-format off
    QTest::addColumn<QString>("ini");
    QTest::addColumn<QString>("number");
    QTest::newRow("protection off")  << "[系统设置]\npdtf=0\n" << "6225880123456789";
    QTest::newRow("protection on")   << "[系统设置]\npdtf=1\n" << "6789";
    QTest::newRow("no settings yet") << ""                     << "6789";
    // clang-format on
}

void TestCsvExport::commandExportsEveryCard()
{
    QFETCH(QString, ini);
    QFETCH(QString, number);
    delete m_data; // the command opens the database itself
    m_data = nullptr;
    if (ini.isEmpty())
        QFile::remove(m_home->iniPath());
    else
        m_home->writeIni(ini);
    const QString path = m_home->path() + "/all.csv";
    QProcess p;
    p.start(QStringLiteral(VELMORA_EXECUTABLE), {"--export-csv", path});
    QVERIFY(p.waitForFinished(20000));
    QCOMPARE(p.exitCode(), 0);
    const QJsonArray rows = readBack(path)["rows"].toArray();
    QCOMPARE(rows.size(), 1 + 4);
    QCOMPARE(rows[0].toArray()[1].toString(), QString("卡号"));
    QString found;
    for (int r = 1; r < rows.size(); ++r) {
        if (rows[r].toArray()[0].toString() == "招行,白金")
            found = rows[r].toArray()[1].toString();
    }
    QCOMPARE(found, number);
    for (int r = 1; r < rows.size(); ++r)
        QCOMPARE(rows[r].toArray()[3].toString(), QString()); // never the check code
    // Full numbers: the command says the file is not encrypted.
    QCOMPARE(QString::fromUtf8(p.readAllStandardError()).contains(QStringLiteral("没有加密")),
             number.size() > 4);
}

void TestCsvExport::commandWritesWhatTheWindowExports_data()
{
    QTest::addColumn<bool>("fullNumbers");
    QTest::newRow("full numbers") << true;
    QTest::newRow("last four") << false;
}

// The command streams rows straight from the database; the window exports its grid. Dates, real
// numbers, flags and empty cells must read the same both ways.
void TestCsvExport::commandWritesWhatTheWindowExports()
{
    QFETCH(bool, fullNumbers);
    Database& db = m_data->database();
    db.executeSql("UPDATE txyk SET c_re_date='2013-09-07', i_xyr=2, i_zdhkbl=0.1, i_xf=3.5 WHERE c_jzr=20");
    db.executeSql("UPDATE txyk SET c_next_re_date='2013-10-25', i_xyr=-3, i_ed=NULL WHERE c_jzr=4");
    // Whole amounts are written the quick way; at 16 digits and for fractions 'g' decides.
    db.executeSql("UPDATE txyk SET i_zdhkje=1e15, i_mxr=999999999999999, i_yxf=-2500 WHERE c_jzr=1");
    db.executeSql("UPDATE txyk SET i_zdhkje=0.000012, i_mxr=-1e20, i_yxf=0 WHERE c_jzr=4");
    Query& cards = m_data->cards();
    cards.setSql(DataModule::kAllCardsStatement);
    cards.open();
    CardGridModel grid;
    grid.setSourceModel(&cards);
    const QByteArray fromWindow = CsvExport::encode(CsvExport::tableOf(grid, fullNumbers));

    const QString path = m_home->path() + "/streamed.csv";
    {
        SafeFile::Writer out(path);
        QCOMPARE(CsvExport::writeCards(db, out, fullNumbers), 4);
        out.commit();
    }
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray streamed = file.readAll();
    QCOMPARE(QString::fromUtf8(streamed), QString::fromUtf8(fromWindow));
}

QTEST_MAIN(TestCsvExport)
#include "tst_csvexport.moc"
