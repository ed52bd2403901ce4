#include "billing/RefreshPass.h"
#include "store/DataModule.h"
#include "support/CardBuilder.h"
#include "support/Stored.h"
#include "support/TempHome.h"
#include "ui/AppContext.h"
#include "ui/MessageBox.h"
#include "views/CardGrid.h"
#include "views/CardGridModel.h"
#include "views/CardImportDialog.h"
#include "views/CardPage.h"
#include "views/CsvExport.h"

#include <QCheckBox>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>
#include <QtTest>

// "导入…" on the card tab: the preview, then one write on "导入"; and the export read back.
class TestCardImportPage : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void gridTitlesAreImportTitles();
    void previewThenImport();
    void refusedRowsBlockTheImport();
    void exportImportsBackAsTheSameCards();

private:
    void writeFile(const QByteArray& bytes);
    static QStringList lines(const QListWidget* list);
    int cardCount() { return Stored::count(m_data->database(), "SELECT id FROM txyk"); }

    TempHome* m_home = nullptr;
    FixedClock m_clock{QDate(2013, 9, 5)};
    DataModule* m_data = nullptr;
    AppContext* m_context = nullptr;
    CardPage* m_page = nullptr;
    QString m_path;
};

void TestCardImportPage::init()
{
    MessageBox::setSuppressAll(true);
    m_home = new TempHome;
    m_home->writeIni("[系统设置]\npdtf=0\n");
    m_data = new DataModule;
    m_data->open(m_home->databasePath());
    CardBuilder b(m_data->database());
    b.name("招行,白金").number("6225880123456789").set("c_yxq", "12/28").set("c_xym", "123");
    b.statementDay(20)
        .repaymentDay(7)
        .used(1000)
        .ratio(1)
        .limit(20000)
        .set("izdhkr", 18)
        .set("i_mxr", 50)
        .insert();
    b.name("他说\"好\"")
        .number("4367 4200 1234 1111")
        .statementDay(1)
        .repaymentDay(25)
        .repaid(true, 9, 2013)
        .insert();
    b.name("两行\n名字").number("5500-0000-0000-2222").statementDay(4).repaymentDay(22).limit(8000).insert();
    b.name("=1+1").statementDay(10).repaymentDay(28).used(12.5).insert();
    Refresh::recomputeAllCards(m_data->database(), m_clock.today());
    m_data->cards().setSql(DataModule::kAllCardsStatement);
    m_data->cards().open();
    m_context = new AppContext(m_home->home());
    m_context->clock = &m_clock;
    m_context->data = m_data;
    m_page = new CardPage(*m_context);
    m_page->attachData(*m_data);
    m_path = m_home->path() + "/导入.csv";
    CardImportDialog::setFileNameHook([this] { return m_path; });
}

void TestCardImportPage::cleanup()
{
    CardImportDialog::setFileNameHook(nullptr);
    CardImportDialog::setHook(nullptr);
    delete m_page;
    delete m_context;
    delete m_data;
    delete m_home;
    MessageBox::setSuppressAll(false);
}

void TestCardImportPage::writeFile(const QByteArray& bytes)
{
    QFile file(m_path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QStringList TestCardImportPage::lines(const QListWidget* list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    return texts;
}

void TestCardImportPage::gridTitlesAreImportTitles()
{
    // Every title the grid (and so the export) writes is read back as its own field.
    CardGridModel grid;
    for (int c = 0; c < grid.columnCount(); ++c) {
        const QString title = grid.headerData(c, Qt::Horizontal).toString();
        QCOMPARE(grid.columnOfField(CardImport::fieldOfTitle(title)), c);
    }
}

void TestCardImportPage::previewThenImport()
{
    writeFile(QByteArray("\xEF\xBB\xBF") + QStringLiteral("卡名,卡号,账单日,还款日,总额度\r\n"
                                                          "\"招行,白金\",6789,20,7,30000\r\n"
                                                          "工行,6222000011112222,3,21,5000\r\n")
                                               .toUtf8());
    auto* button = m_page->findChild<QToolButton*>("importButton");
    QVERIFY(button);
    QCOMPARE(button->text(), QString("导入…"));
    QVERIFY(!button->accessibleName().isEmpty());

    // The preview lists what would happen; nothing is written while it shows; "取消" keeps it so.
    int shown = 0;
    CardImportDialog::setHook([&](CardImportDialog& dialog) {
        ++shown;
        QCOMPARE(lines(dialog.findChild<QListWidget*>("importAdditionsList")),
                 QStringList{"第3行：工行（尾号2222）"});
        QCOMPARE(lines(dialog.findChild<QListWidget*>("importUpdatesList")),
                 QStringList{"第2行：招行,白金（尾号6789）"});
        QCOMPARE(dialog.findChild<QListWidget*>("importRefusalsList")->count(), 0);
        QVERIFY(dialog.findChild<QPushButton*>("importConfirmButton")->isEnabled());
        QCOMPARE(cardCount(), 4);
        dialog.findChild<QPushButton*>("importCancelButton")->click();
    });
    button->click();
    QCOMPARE(shown, 1);
    QCOMPARE(cardCount(), 4);

    // "导入" with the stored card left alone.
    CardImportDialog::setHook([&](CardImportDialog& dialog) {
        dialog.findChild<QCheckBox*>("importUpdateStoredCheck")->setChecked(false);
        dialog.findChild<QPushButton*>("importConfirmButton")->click();
    });
    button->click();
    QCOMPARE(cardCount(), 5);
    QCOMPARE(m_page->grid()->model()->rowCount(), 5); // the list shows it at once
    QCOMPARE(Stored::value(m_data->database(), "SELECT i_ed FROM txyk WHERE c_name='招行,白金'").toInt(),
             20000);

    // Again with updating: the stored card takes the file's limit, nothing is added twice.
    CardImportDialog::setHook([&](CardImportDialog& dialog) {
        QCOMPARE(dialog.findChild<QListWidget*>("importUpdatesList")->count(), 2);
        dialog.findChild<QPushButton*>("importConfirmButton")->click();
    });
    button->click();
    QCOMPARE(cardCount(), 5);
    QCOMPARE(Stored::value(m_data->database(), "SELECT i_ed FROM txyk WHERE c_name='招行,白金'").toInt(),
             30000);
    QCOMPARE(Stored::value(m_data->database(), "SELECT c_no FROM txyk WHERE c_name='招行,白金'").toString(),
             QString("6225880123456789"));
}

void TestCardImportPage::refusedRowsBlockTheImport()
{
    writeFile(QStringLiteral("卡名,账单日,还款日\n新卡,1,20\n坏卡,40,20\n").toUtf8());
    bool checked = false;
    CardImportDialog::setHook([&](CardImportDialog& dialog) {
        QCOMPARE(lines(dialog.refusalList()), QStringList{"第3行“账单日”列：账单日必须是1到31之间的整数。"});
        QCOMPARE(dialog.additionList()->count(), 1);
        QVERIFY(!dialog.importButton()->isEnabled());
        checked = true;
        dialog.accept(); // even if it were pressed, nothing is written
    });
    m_page->importCards();
    QVERIFY(checked);
    QCOMPARE(cardCount(), 4);
}

void TestCardImportPage::exportImportsBackAsTheSameCards()
{
    const QByteArray exported = CsvExport::encode(CsvExport::tableOf(*m_page->cardGrid()->model(), true));
    // Into an empty database: the same rows, but for the check code, which the export never carries.
    m_data->database().executeSql("DELETE FROM txyk");
    writeFile(exported);
    CardImportDialog::setHook([&](CardImportDialog& dialog) {
        QCOMPARE(dialog.additionList()->count(), 4);
        dialog.importButton()->click();
    });
    m_page->importCards();
    QCOMPARE(cardCount(), 4);
    QCOMPARE(CsvExport::encode(CsvExport::tableOf(*m_page->cardGrid()->model(), true)), exported);
    QVERIFY(Stored::value(m_data->database(), "SELECT c_xym FROM txyk WHERE c_xym IS NOT NULL").isNull());
    QCOMPARE(Stored::value(m_data->database(), "SELECT c_name FROM txyk WHERE c_jzr=10").toString(),
             QString("=1+1"));
}

QTEST_MAIN(TestCardImportPage)
#include "tst_cardimportpage.moc"
