#include "app/AppAssembly.h"
#include "app/MainWindow.h"
#include "app/SettingsPage.h"
#include "billing/CardSchedule.h"
#include "billing/RefreshPass.h"
#include "remind/ReminderWindow.h"
#include "store/DataModule.h"
#include "support/CardBuilder.h"
#include "support/Stored.h"
#include "support/TempHome.h"
#include "ui/AppContext.h"
#include "ui/MessageBox.h"
#include "views/CardEditor.h"
#include "views/CardFilter.h"
#include "views/CardGrid.h"
#include "views/CardGridModel.h"
#include "views/CardPage.h"
#include "views/EditMenuTexts.h"
#include "views/FilterBar.h"
#include "views/HolderDialog.h"
#include "views/RecordNavigator.h"

#include <QAbstractItemModelTester>
#include <QAbstractItemView>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTableView>
#include <QToolButton>
#include <QtTest>

namespace {
// Types text as the input method delivers it, Chinese included.
void type(QWidget* widget, const QString& text)
{
    QInputMethodEvent event;
    event.setCommitString(text);
    QApplication::sendEvent(widget, &event);
}

// Opens a drop-down list and closes it again, as a click on a choice does; returns once the
// filter bar has heard of it.
void closeUp(QComboBox* box)
{
    QSignalSpy closed(qobject_cast<CloseUpComboBox*>(box), &CloseUpComboBox::closedUp);
    box->showPopup();
    box->hidePopup();
    QVERIFY(closed.wait());
}
} // namespace

// The card tab over five seeded cards and three holders, shown offscreen.
class TestCardPage : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void modelsPassTester();
    void gridColumnsAndShading();
    void filterChoiceChangesListedRows();
    void holderFilterWithQuoteAndBackToAll();
    void quickButtonsListCountedCards();
    void eachCountIsTheRowsItsButtonLists();
    void footerFollowsFilter();
    void titleClickSorts();
    void gridAndCursorMoveTogether();
    void insertTypeSaveCreatesCard();
    void invalidDayRefusedNothingLost();
    void paidStateCommandsFromMenu();
    void deleteAsksAndRemoves();
    void typingIntoEmptyListStartsCard();
    void holderAddedShowsInBothBoxes();
    void buttonsOpenWindowsWithoutBlocking();
    void chosenHolderIsSaved();
    void foldButtonTogglesEditor();
    void editorKeyboardOrderAndHints();
    void showAllFromMenuResetsFilterBar();
    void quickButtonShowsInTheBar_data();
    void quickButtonShowsInTheBar();
    void rejectedStatementReleasesFreeze();
    void pendingEditGoesThroughEditorSave_data();
    void pendingEditGoesThroughEditorSave();
    void boxFiltersByValueJustChosen_data();
    void boxFiltersByValueJustChosen();
    void skippedCardHasNoDueColour();
    void columnsFitCardNumberAndDates();
    void ratioMeaningShownAsTyped();
    void emptyHolderRefused();
    void countsFollowSavedCard();
    void editorSaveStoresWhatThePassStores_data();
    void editorSaveStoresWhatThePassStores();
    void typedMinimumRepaymentKeptUntilNextPass_data();
    void typedMinimumRepaymentKeptUntilNextPass();
    void failedRecomputeUndoesTheSave_data();
    void failedRecomputeUndoesTheSave();
    void navigatorIsCompactWithIcons();
    void editMenusReadChinese();

private:
    int count(const QString& sql) const;
    template <typename T> T* child(const QString& name) const
    {
        T* widget = m_page->findChild<T*>(name);
        if (!widget)
            qFatal("no child %s", qPrintable(name));
        return widget;
    }
    QStringList listedNames() const;
    QVariant stored(int id, const QString& field) const;
    void click(const QString& name) { QTest::mouseClick(child<QWidget>(name), Qt::LeftButton); }
    void navigate(const QString& button)
    {
        child<QToolButton>(button)->click(); // the navigator's buttons
    }

    TempHome* m_home = nullptr;
    AppContext* m_context = nullptr;
    FixedClock m_clock{QDate(2013, 9, 5)};
    DataModule* m_data = nullptr;
    CardPage* m_page = nullptr;
    int m_zhaohang = 0, m_jianhang = 0, m_gonghang = 0, m_zhonghang = 0, m_nonghang = 0;
};

void TestCardPage::init()
{
    MessageBox::clearShownTexts();
    MessageBox::setSuppressAll(true);
    m_home = new TempHome;
    m_data = new DataModule;
    m_data->open(m_home->databasePath());
    Database& db = m_data->database();
    CardBuilder::addHolder(db, QStringLiteral("本人"));
    CardBuilder::addHolder(db, QStringLiteral("张三"));
    CardBuilder::addHolder(db, QStringLiteral("O'Brien"));
    CardBuilder cards(db);
    m_zhaohang = cards.name("招行")
                     .statementDay(5)
                     .repaymentDay(23)
                     .holder("本人")
                     .daysLeft(0)
                     .used(1000)
                     .limit(20000)
                     .insert();
    m_jianhang = cards.name("建行")
                     .statementDay(12)
                     .repaymentDay(2)
                     .holder("本人")
                     .daysLeft(2)
                     .used(500.5)
                     .limit(10000)
                     .insert();
    m_gonghang = cards.name("工行")
                     .statementDay(20)
                     .repaymentDay(8)
                     .holder("O'Brien")
                     .daysLeft(-3)
                     .used(200)
                     .limit(5000)
                     .insert();
    m_zhonghang = cards.name("中行")
                      .statementDay(1)
                      .repaymentDay(20)
                      .holder("张三")
                      .daysLeft(10)
                      .repaid(true, 9, 2013)
                      .used(0)
                      .limit(30000)
                      .insert();
    m_nonghang = cards.name("农行")
                     .statementDay(28)
                     .repaymentDay(15)
                     .holder("张三")
                     .daysLeft(5)
                     .used(300)
                     .limit(8000)
                     .insert();
    m_data->cards().close();
    m_data->cards().open();
    m_data->holders().close();
    m_data->holders().open();

    m_context = new AppContext(m_home->home());
    m_context->clock = &m_clock;
    m_context->data = m_data;
    m_page = new CardPage(*m_context);
    m_page->attachData(*m_data);
    m_page->setEditorHeight(CardPage::kEditorOpenHeight);
    m_page->resize(1020, 600);
    m_page->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_page));
}

void TestCardPage::cleanup()
{
    delete m_page;
    delete m_context;
    delete m_data;
    delete m_home;
    MessageBox::setSuppressAll(false);
}

QStringList TestCardPage::listedNames() const
{
    QStringList names;
    const QAbstractItemModel* model = m_page->grid()->model();
    for (int row = 0; row < model->rowCount(); ++row)
        names << model->index(row, 0).data().toString();
    return names;
}

int TestCardPage::count(const QString& sql) const
{
    return Stored::value(m_data->database(), sql).toInt();
}

QVariant TestCardPage::stored(int id, const QString& field) const
{
    const QVariantList row =
        Stored::row(m_data->database(), QStringLiteral("SELECT %1 FROM txyk WHERE id=?").arg(field), {id});
    return row.isEmpty() ? QVariant(QStringLiteral("<no card>")) : row.first();
}

void TestCardPage::modelsPassTester()
{
    using Mode = QAbstractItemModelTester::FailureReportingMode;
    HolderDialog dialog;
    dialog.attachData(*m_data);
    QAbstractItemModelTester grid(m_page->grid()->model(), Mode::QtTest);
    QAbstractItemModelTester editorHolders(child<QComboBox>("cardHolderBox")->model(), Mode::QtTest);
    QAbstractItemModelTester filterHolders(child<QComboBox>("holderFilterBox")->model(), Mode::QtTest);
    QAbstractItemModelTester holderGrid(dialog.grid()->model(), Mode::QtTest);

    // Walk the models through reopen, sort, insert, edit, post, cancel and delete.
    click("unpaidChoice");
    m_page->cardGrid()->titleClicked(8, false);
    m_page->showAllCards();
    m_page->editor()->insertCard();
    type(child<QLineEdit>("cardNameEdit"), "新卡");
    type(child<QLineEdit>("statementDayEdit"), "3");
    type(child<QLineEdit>("repaymentDayEdit"), "21");
    QVERIFY(m_page->editor()->commit(true));
    m_page->editor()->insertCard();
    m_page->editor()->cancel();
    MessageBox::setNextAnswer(QMessageBox::Yes);
    m_page->editor()->deleteCard();
    dialog.navigator()->findChild<QToolButton*>("nbInsert")->click();
    type(dialog.nameEdit(), "李四");
    dialog.navigator()->findChild<QToolButton*>("nbPost")->click();
    m_data->holders().refresh();
    QCOMPARE(m_page->grid()->model()->rowCount(), 5);
}

void TestCardPage::gridColumnsAndShading()
{
    QAbstractItemModel* model = m_page->grid()->model();
    QCOMPARE(model->columnCount(), 19);
    QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("卡名"));
    QCOMPARE(model->headerData(3, Qt::Horizontal).toString(), QStringLiteral("效验码"));
    QCOMPARE(model->headerData(6, Qt::Horizontal).toString(), QStringLiteral("已还款"));
    QCOMPARE(model->headerData(18, Qt::Horizontal).toString(), QStringLiteral("最短\n还款日"));
    QCOMPARE(model->headerData(0, Qt::Horizontal, Qt::BackgroundRole).value<QColor>(), QColor(255, 255, 128));
    QCOMPARE(model->headerData(6, Qt::Horizontal, Qt::BackgroundRole).value<QColor>(), QColor(255, 255, 0));
    QCOMPARE(model->headerData(15, Qt::Horizontal, Qt::BackgroundRole).value<QColor>(), QColor(255, 255, 0));
    QCOMPARE(m_page->grid()->horizontalHeader()->sectionSize(0), 88);
    QCOMPARE(m_page->grid()->horizontalHeader()->sectionSize(11), 94);

    // Initial order: by days left, then repaid first.
    QCOMPARE(listedNames(), QStringList({"工行", "招行", "建行", "农行", "中行"}));
    auto shade = [&](int row) { return model->index(row, 3).data(Qt::BackgroundRole).value<QColor>(); };
    QCOMPARE(shade(0), QColor(255, 221, 221));                       // overdue, unpaid
    QCOMPARE(shade(1), QColor(255, 128, 128));                       // due today
    QCOMPARE(shade(2), QColor(255, 221, 221));                       // two days
    QVERIFY(!model->index(3, 3).data(Qt::BackgroundRole).isValid()); // five days
    QVERIFY(!model->index(4, 3).data(Qt::BackgroundRole).isValid()); // repaid
    QCOMPARE(model->index(4, 6).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
    QCOMPARE(model->index(0, 6).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    QCOMPARE(model->index(0, 8).data().toInt(), -3);
    QCOMPARE(model->index(0, 8).data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignCenter));
    QVERIFY(!(model->flags(model->index(0, 0)) & Qt::ItemIsEditable));
    QVERIFY(!(model->flags(model->index(0, 6)) & Qt::ItemIsUserCheckable));

    // A colour follows the card's flag as soon as it changes in the list.
    m_data->cards().moveTo(1);
    m_data->cards().setValue("tf", true);
    m_data->cards().post();
    QVERIFY(!shade(1).isValid());
}

void TestCardPage::filterChoiceChangesListedRows()
{
    click("unpaidChoice"); // 未还款
    QCOMPARE(m_data->cards().sql(), QStringLiteral("select * from txyk  where  tf=False  order by c_jzr"));
    QCOMPARE(listedNames(), QStringList({"招行", "建行", "工行", "农行"}));

    click("repaidChoice"); // 已还款
    QCOMPARE(listedNames(), QStringList({"中行"}));

    click("overdueChoice"); // 已逾期
    QCOMPARE(listedNames(), QStringList({"工行"}));

    // A hide switch drops the overdue restriction.
    click("hideOverdueBox");
    QCOMPARE(listedNames(), QStringList({"中行", "招行", "建行", "农行"}));

    // With both the hide switch and "未还款": unpaid, not overdue.
    click("unpaidChoice");
    QCOMPARE(listedNames(), QStringList({"招行", "建行", "农行"}));

    // The window "今天" lists the card due today.
    auto* window = child<QComboBox>("dueWindowBox");
    window->setCurrentIndex(1);
    closeUp(window);
    QCOMPARE(listedNames(), QStringList({"招行"}));

    // "所有" lists every card, and the rest of the bar says so too.
    click("allCardsChoice");
    QCOMPARE(m_data->cards().sql(), DataModule::kAllCardsStatement);
    QCOMPARE(listedNames().size(), 5);
    QVERIFY(!child<QCheckBox>("hideOverdueBox")->isChecked());
    QCOMPARE(window->currentIndex(), 0);

    // Pressing "未还款" while it is selected rebuilds without the hide switches.
    click("hideOverdueBox");
    window->setCurrentIndex(1);
    closeUp(window);
    click("unpaidChoice");
    QVERIFY(m_data->cards().sql().contains(" i_xyr>=0 "));
    QTest::mousePress(child<QRadioButton>("unpaidChoice"), Qt::RightButton);
    QCOMPARE(m_data->cards().sql(),
             QStringLiteral("select * from txyk  where  tf=False  and i_xyr=0 order by c_jzr"));
    QVERIFY(!m_data->cards().controlsDisabled());
}

void TestCardPage::holderFilterWithQuoteAndBackToAll()
{
    auto* holders = child<QComboBox>("holderFilterBox");
    QCOMPARE(holders->currentIndex(), 0);
    QCOMPARE(holders->currentText(), QStringLiteral("所有"));
    holders->setCurrentIndex(holders->findText("O'Brien"));
    closeUp(holders);
    QVERIFY(MessageBox::shownTexts().isEmpty());
    QCOMPARE(listedNames(), QStringList({"工行"}));

    holders->setCurrentIndex(holders->findText("本人"));
    closeUp(holders);
    QCOMPARE(listedNames(), QStringList({"招行", "建行"}));

    // A list closed by a click elsewhere counts too.
    holders->setCurrentIndex(0); // 所有
    holders->showPopup();
    holders->view()->window()->hide();
    QTRY_COMPARE(m_data->cards().sql(), QStringLiteral("select * from txyk  where  1=1  order by c_jzr"));
    QCOMPARE(listedNames().size(), 5);
}

void TestCardPage::quickButtonsListCountedCards()
{
    click("dueIn1DayButton"); // due today
    QCOMPARE(m_data->cards().sql(),
             QStringLiteral("select * from txyk where  tf=False and i_xyr=0 and i_xyr>=0"));
    QCOMPARE(listedNames(), QStringList({"招行"}));
    click("dueIn3DaysButton"); // 0 to 2 days
    QCOMPARE(listedNames(), QStringList({"招行", "建行"}));
    click("dueIn3DaysTotalButton");
    QCOMPARE(listedNames(), QStringList({"招行", "建行"}));
    click("overdueButton"); // overdue
    QCOMPARE(listedNames(), QStringList({"工行"}));
    click("dueIn15DaysButton"); // 0 to 15 days, unpaid only
    QCOMPARE(listedNames(), QStringList({"招行", "建行", "农行"}));

    // Hiding the window (to the tray) hides the drop-downs too; that is no filter event.
    m_page->hide();
    QCOMPARE(m_data->cards().sql(), CardFilter::quickStatement(5));
    m_page->show();

    QSignalSpy reminder(m_page, &CardPage::reminderRequested);
    click("reminderButton");
    QCOMPARE(reminder.count(), 1);
}

// The figure beside each quick button is the number of cards the button lists, at every edge
// of its window (a repaid card counts nowhere).
void TestCardPage::eachCountIsTheRowsItsButtonLists()
{
    CardBuilder cards(m_data->database());
    for (int daysLeft : {-1, 0, 1, 2, 3, 6, 7, 8, 10, 11, 15, 16})
        cards.name(QStringLiteral("剩%1天").arg(daysLeft)).daysLeft(daysLeft).insert();
    cards.name(QStringLiteral("已还")).daysLeft(1).repaid(true, 9, 2013).insert();
    const std::array<int, 8> counts = Refresh::countDueCards(m_data->database());
    for (int i = 0; i < 8; ++i) {
        m_page->showQuickFilter(i);
        QCOMPARE(m_data->cards().sql(), CardFilter::quickStatement(i));
        QVERIFY2(m_data->cards().recordCount() == counts[size_t(i)] && counts[size_t(i)] > 0,
                 qPrintable(QStringLiteral("label %1: %2 counted, %3 listed")
                                .arg(i)
                                .arg(counts[size_t(i)])
                                .arg(m_data->cards().recordCount())));
    }
}

void TestCardPage::footerFollowsFilter()
{
    CardGridModel* model = m_page->cardGrid()->model();
    QCOMPARE(model->footerText(0), QStringLiteral("总卡数"));
    QCOMPARE(model->footerText(1), QStringLiteral("5"));
    QCOMPARE(model->footerText(9), QStringLiteral("总消费"));
    QCOMPARE(model->footerText(10), QStringLiteral("2000.5"));
    QCOMPARE(model->footerText(12), QStringLiteral("总额度"));
    QCOMPARE(model->footerText(13), QStringLiteral("73000"));

    auto* holders = child<QComboBox>("holderFilterBox");
    holders->setCurrentIndex(holders->findText("张三"));
    closeUp(holders);
    QCOMPARE(model->footerText(1), QStringLiteral("2"));
    QCOMPARE(model->footerText(10), QStringLiteral("300"));
    QCOMPARE(model->footerText(13), QStringLiteral("38000"));

    // Kept current while the list changes.
    QSignalSpy changed(model, &CardGridModel::footerChanged);
    m_data->cards().setValue("i_yxf", 50);
    m_data->cards().post();
    QVERIFY(changed.count() > 0);
    QCOMPARE(model->footerText(10), QStringLiteral("350"));
}

void TestCardPage::titleClickSorts()
{
    QHeaderView* header = m_page->grid()->horizontalHeader();
    auto clickTitle = [&](int column, Qt::KeyboardModifiers modifiers = {}) {
        const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
        QTest::mouseClick(header->viewport(), Qt::LeftButton, modifiers, QPoint(x, header->height() / 2));
    };
    m_page->grid()->scrollTo(m_page->grid()->model()->index(0, 0));
    clickTitle(8); // 剩余还款天数
    QCOMPARE(m_data->cards().sort(), QStringLiteral("i_xyr DESC"));
    QCOMPARE(listedNames(), QStringList({"中行", "农行", "建行", "招行", "工行"}));
    clickTitle(8);
    QCOMPARE(m_data->cards().sort(), QStringLiteral("i_xyr"));
    QCOMPARE(listedNames(), QStringList({"工行", "招行", "建行", "农行", "中行"}));
    QCOMPARE(m_page->cardGrid()->markers().marker(8), SortMarkers::Marker::Up);

    clickTitle(0, Qt::ControlModifier); // 卡名, keeping the other marker
    QCOMPARE(m_data->cards().sort(), QStringLiteral("c_name DESC"));
    QCOMPARE(m_page->cardGrid()->markers().marker(8), SortMarkers::Marker::Up);

    // "下期记帐日" does not sort.
    m_page->cardGrid()->titleClicked(15, false);
    QCOMPARE(m_data->cards().sort(), QStringLiteral("c_name DESC"));

    // The list keeps the chosen sort through every reload, as the title's marker says.
    m_page->cardGrid()->titleClicked(8, false); // 剩余还款天数, descending
    const QStringList descending = {"中行", "农行", "建行", "招行", "工行"};
    QCOMPARE(listedNames(), descending);
    click("unpaidChoice"); // a filter
    QCOMPARE(listedNames(), QStringList({"农行", "建行", "招行", "工行"}));
    QCOMPARE(m_data->cards().currentRow(), 0); // the first listed card, as after any reopen
    QCOMPARE(child<QLineEdit>("cardNameEdit")->text(), QStringLiteral("农行"));
    click("dueIn15DaysButton"); // a quick button
    QCOMPARE(listedNames(), QStringList({"农行", "建行", "招行"}));
    m_page->showAllCards(); // "显示所有"
    QCOMPARE(listedNames(), descending);
    m_data->cards().close(); // the statement put back after a refresh
    m_data->cards().open();
    QCOMPARE(listedNames(), descending);
    QCOMPARE(m_page->cardGrid()->markers().marker(8), SortMarkers::Marker::Down);
}

void TestCardPage::gridAndCursorMoveTogether()
{
    QTableView* grid = m_page->grid();
    grid->setCurrentIndex(grid->model()->index(2, 4));
    QCOMPARE(m_data->cards().currentRow(), 2);
    QCOMPARE(child<QLineEdit>("cardNameEdit")->text(), QStringLiteral("建行"));

    m_data->cards().moveTo(4);
    QCOMPARE(grid->currentIndex().row(), 4);
    QVERIFY(grid->selectionModel()->isRowSelected(4, {}));
    QCOMPARE(child<QLineEdit>("cardNameEdit")->text(), QStringLiteral("中行"));

    navigate("nbFirst");
    QCOMPARE(grid->currentIndex().row(), 0);
    QCOMPARE(child<QLineEdit>("cardNameEdit")->text(), QStringLiteral("工行"));
}

void TestCardPage::insertTypeSaveCreatesCard()
{
    navigate("nbInsert");
    QCOMPARE(m_data->cards().state(), Query::State::Insert);
    type(child<QLineEdit>("cardNameEdit"), "光大");
    type(child<QLineEdit>("statementDayEdit"), "7");
    type(child<QLineEdit>("repaymentDayEdit"), "25");
    type(child<QLineEdit>("creditLimitEdit"), "15000");
    type(child<QLineEdit>("amountUsedEdit"), "88.5");
    navigate("nbPost");
    QVERIFY2(MessageBox::shownTexts().isEmpty(), qPrintable(MessageBox::shownTexts().join('|')));
    QCOMPARE(m_data->cards().state(), Query::State::Browse);

    const int id = m_data->cards().intValue("id");
    QVERIFY(id > 0);
    QCOMPARE(stored(id, "c_name").toString(), QStringLiteral("光大"));
    QCOMPARE(stored(id, "c_jzr").toInt(), 7);
    QCOMPARE(stored(id, "c_hkr").toInt(), 25);
    QCOMPARE(stored(id, "i_ed").toInt(), 15000);
    QCOMPARE(stored(id, "i_yxf").toDouble(), 88.5);
    QCOMPARE(m_page->grid()->model()->rowCount(), 6);
    QCOMPARE(m_page->cardGrid()->model()->footerText(1), QStringLiteral("6"));

    // Computed at once, as a refresh pass computes it.
    const auto schedule = computeCardSchedule(m_clock.today(), 7, 25, 0, 88.5);
    QVERIFY(schedule);
    QCOMPARE(stored(id, "i_xyr").toInt(), schedule->daysLeft);
    QCOMPARE(stored(id, "c_re_date").toString(), schedule->repaymentDate.toString(Qt::ISODate));
    QCOMPARE(m_data->cards().intValue("i_xyr", -999), schedule->daysLeft);
    QCOMPARE(m_data->cards().dateValue("c_next_jd_date"), schedule->nextStatementDate);
    const QVariantList before = {stored(id, "i_xyr"), stored(id, "c_re_date"), stored(id, "c_next_re_date"),
                                 stored(id, "i_xf"), stored(id, "i_zdhkje")};
    RefreshPass(*m_data, m_clock).run();
    const QVariantList after = {stored(id, "i_xyr"), stored(id, "c_re_date"), stored(id, "c_next_re_date"),
                                stored(id, "i_xf"), stored(id, "i_zdhkje")};
    QCOMPARE(after, before);
}

void TestCardPage::paidStateCommandsFromMenu()
{
    auto* menu = child<QMenu>("cardGridMenu");
    click("unpaidChoice"); // 未还款
    m_data->cards().locate("id", m_jianhang);
    const int row = m_data->cards().currentRow();
    menu->findChild<QAction*>("markRepaidAction")->trigger();
    QCOMPARE(stored(m_jianhang, "tf").toInt(), 1);
    QCOMPARE(stored(m_jianhang, "i_hkm").toInt(), 9);
    QCOMPARE(stored(m_jianhang, "i_hky").toInt(), 2013);
    // Still listed, now unshaded, until the next rebuild.
    QCOMPARE(m_data->cards().currentRow(), row);
    QVERIFY(listedNames().contains("建行"));
    QVERIFY(!m_page->grid()->model()->index(row, 0).data(Qt::BackgroundRole).isValid());

    menu->findChild<QAction*>("markNotRepaidAction")->trigger();
    QCOMPARE(stored(m_jianhang, "tf").toInt(), 0);
    QCOMPARE(stored(m_jianhang, "i_hkm").toInt(), 0);
    QCOMPARE(stored(m_jianhang, "i_hky").toInt(), 2013);
    QCOMPARE(m_page->grid()->model()->index(row, 0).data(Qt::BackgroundRole).value<QColor>(),
             QColor(255, 221, 221));

    // A card with a refused value being edited stops the command; nothing is lost.
    auto* day = child<QLineEdit>("repaymentDayEdit");
    day->selectAll();
    type(day, "0");
    menu->findChild<QAction*>("markRepaidAction")->trigger();
    QCOMPARE(MessageBox::shownTexts(), QStringList({"还款日必须是1到31之间的整数。"}));
    QCOMPARE(stored(m_jianhang, "tf").toInt(), 0);
    QCOMPARE(day->text(), QStringLiteral("0"));
}

void TestCardPage::invalidDayRefusedNothingLost()
{
    m_data->cards().locate("id", m_jianhang);
    auto* name = child<QLineEdit>("cardNameEdit");
    auto* day = child<QLineEdit>("statementDayEdit");
    name->clear();
    type(name, "建设银行");
    day->selectAll();
    type(day, "35");
    QCOMPARE(m_data->cards().state(), Query::State::Edit);

    navigate("nbPost");
    QCOMPARE(MessageBox::shownTexts(), QStringList({"账单日必须是1到31之间的整数。"}));
    QCOMPARE(m_data->cards().state(), Query::State::Edit);
    QCOMPARE(name->text(), QStringLiteral("建设银行"));
    QCOMPARE(day->text(), QStringLiteral("35"));
    QCOMPARE(stored(m_jianhang, "c_jzr").toInt(), 12);
    QCOMPARE(stored(m_jianhang, "c_name").toString(), QStringLiteral("建行"));

    // Moving away is refused too, and the grid stays on the card.
    const int row = m_data->cards().currentRow();
    m_page->grid()->setCurrentIndex(m_page->grid()->model()->index(0, 0));
    QCoreApplication::processEvents();
    QCOMPARE(m_data->cards().currentRow(), row);
    QCOMPARE(m_page->grid()->currentIndex().row(), row);
    QCOMPARE(day->text(), QStringLiteral("35"));

    // Corrected, it saves.
    day->selectAll();
    type(day, "13");
    navigate("nbPost");
    QCOMPARE(stored(m_jianhang, "c_jzr").toInt(), 13);
    QCOMPARE(stored(m_jianhang, "c_name").toString(), QStringLiteral("建设银行"));
}

void TestCardPage::deleteAsksAndRemoves()
{
    m_data->cards().locate("id", m_nonghang);
    MessageBox::setNextAnswer(QMessageBox::No);
    navigate("nbDelete");
    QCOMPARE(MessageBox::shownTexts(), QStringList({RecordNavigator::deleteQuestion()}));
    QCOMPARE(RecordNavigator::deleteQuestion(), QStringLiteral("确定删除这条记录吗？"));
    QCOMPARE(stored(m_nonghang, "c_name").toString(), QStringLiteral("农行"));

    MessageBox::setNextAnswer(QMessageBox::Yes);
    navigate("nbDelete");
    QCOMPARE(stored(m_nonghang, "c_name").toString(), QStringLiteral("<no card>"));
    QCOMPARE(m_page->grid()->model()->rowCount(), 4);
    QVERIFY(!listedNames().contains("农行"));
}

void TestCardPage::typingIntoEmptyListStartsCard()
{
    click("repaidChoice"); // 已还款: one card
    MessageBox::setNextAnswer(QMessageBox::Yes);
    navigate("nbDelete");
    QCOMPARE(m_page->grid()->model()->rowCount(), 0);
    QVERIFY(child<QLineEdit>("cardNameEdit")->text().isEmpty());
    QVERIFY(child<QLineEdit>("amountUsedEdit")->text().isEmpty());

    type(child<QLineEdit>("cardNameEdit"), "浦发");
    QCOMPARE(m_data->cards().state(), Query::State::Insert);
    QCOMPARE(child<QLineEdit>("cardNameEdit")->text(), QStringLiteral("浦发"));
    type(child<QLineEdit>("statementDayEdit"), "9");
    type(child<QLineEdit>("repaymentDayEdit"), "27");
    navigate("nbPost");
    QVERIFY2(MessageBox::shownTexts() == QStringList({RecordNavigator::deleteQuestion()}),
             qPrintable(MessageBox::shownTexts().join('|')));
    // Shown although it does not match the filter, until the next rebuild.
    QCOMPARE(listedNames(), QStringList({"浦发"}));
    click("allCardsChoice");
    QCOMPARE(listedNames().size(), 5);
}

void TestCardPage::holderAddedShowsInBothBoxes()
{
    HolderDialog dialog;
    dialog.attachData(*m_data);
    dialog.showOrRaise();
    QCOMPARE(dialog.windowTitle(), QStringLiteral("持卡人维护"));
    dialog.navigator()->findChild<QToolButton*>("nbInsert")->click();
    type(dialog.findChild<QLineEdit*>("holderNameEdit"), "李四");
    auto* editorBox = child<QComboBox>("cardHolderBox");
    auto* filterBox = child<QComboBox>("holderFilterBox");
    QCOMPARE(editorBox->findText("李四"), -1); // not saved yet
    dialog.navigator()->findChild<QToolButton*>("nbPost")->click();
    QVERIFY(editorBox->findText("李四") >= 0);
    QVERIFY(filterBox->findText("李四") >= 0);
    QCOMPARE(filterBox->itemText(0), QStringLiteral("所有"));

    // Renaming in the dialog's grid shows at once too.
    QAbstractItemModel* model = dialog.grid()->model();
    const int row = m_data->holders().currentRow();
    QVERIFY(model->setData(model->index(row, 0), QStringLiteral("李四四")));
    dialog.navigator()->findChild<QToolButton*>("nbPost")->click();
    QVERIFY(filterBox->findText("李四四") >= 0);
    QCOMPARE(filterBox->findText("李四"), -1);

    // Closing the dialog keeps a holder typed but not yet saved; an empty new row is dropped.
    dialog.navigator()->findChild<QToolButton*>("nbInsert")->click();
    type(dialog.findChild<QLineEdit*>("holderNameEdit"), "王五");
    dialog.close();
    QVERIFY(filterBox->findText("王五") >= 0);
    dialog.showOrRaise();
    const int holders = m_data->holders().recordCount();
    dialog.navigator()->findChild<QToolButton*>("nbInsert")->click();
    dialog.close();
    QCOMPARE(m_data->holders().recordCount(), holders);
    QCOMPARE(m_data->holders().state(), Query::State::Browse);
}

void TestCardPage::chosenHolderIsSaved()
{
    m_data->cards().locate("id", m_zhonghang);
    auto* box = child<QComboBox>("cardHolderBox");
    QCOMPARE(box->currentText(), QStringLiteral("张三"));
    box->setCurrentIndex(box->findText("本人"));
    emit box->activated(box->currentIndex());
    QCOMPARE(m_data->cards().state(), Query::State::Edit);
    navigate("nbPost");
    QCOMPARE(stored(m_zhonghang, "cname").toString(), QStringLiteral("本人"));

    // A holder the list lacks shows an empty box.
    m_data->database().executeSql("UPDATE txyk SET cname='无名' WHERE id=?", {m_zhonghang});
    navigate("nbRefresh");
    QCOMPARE(box->currentIndex(), -1);
}

void TestCardPage::foldButtonTogglesEditor()
{
    m_page->setEditorHeight(0);
    click("editorFoldButton");
    QCOMPARE(m_page->editorHeight(), 168);
    QVERIFY(child<QWidget>("cardEditorPanel")->isVisible());
    QVERIFY(!child<QToolButton>("editorFoldButton")->icon().isNull());
    click("editorFoldButton");
    QCOMPARE(m_page->editorHeight(), 0);
    m_page->setEditorHeight(20); // 20 still counts as folded
    click("editorFoldButton");
    QCOMPARE(m_page->editorHeight(), 168);
}

void TestCardPage::editorKeyboardOrderAndHints()
{
    // Row by row, left to right.
    const QStringList order = {"cardNameEdit",         "cardNumberEdit",       "statementDayEdit",
                               "repaymentDayEdit",     "shortestFreeDaysEdit", "validityEdit",
                               "checkCodeEdit",        "creditLimitEdit",      "longestFreeDaysEdit",
                               "cardHolderBox",        "holderButton",         "minimumRatioEdit",
                               "minimumRepaymentEdit", "amountUsedEdit"};
    QWidget* widget = child<QWidget>(order.first());
    for (const QString& next : order.mid(1)) {
        do
            widget = widget->nextInFocusChain();
        while (!(widget->focusPolicy() & Qt::TabFocus) || widget->objectName().isEmpty());
        QCOMPARE(widget->objectName(), next);
    }

    QWidget* navigator = child<QWidget>("cardNavigator");
    QCOMPARE(navigator->toolTip(), QStringLiteral("增加/修改/删除"));
    QStringList hints;
    for (QToolButton* button : navigator->findChildren<QToolButton*>())
        hints << button->toolTip();
    QCOMPARE(hints, QStringList({"首条", "上一条", "下一条", "尾条", "增加", "删除", "编辑", "保存", "取消",
                                 "刷新"}));

    QStringList red;
    for (QLabel* label : child<QWidget>("cardEditorGroup")->findChildren<QLabel*>()) {
        const QColor text = label->palette().color(QPalette::WindowText);
        if (text.hslSaturation() > 0 && text.hslHue() == 0)
            red << label->text();
    }
    QCOMPARE(red, QStringList({"卡名*", "账单日*", "还款日*"}));
}

void TestCardPage::showAllFromMenuResetsFilterBar()
{
    click("hideRepaidBox");
    auto* holders = child<QComboBox>("holderFilterBox");
    holders->setCurrentIndex(holders->findText("本人"));
    closeUp(holders);
    click("overdueChoice");
    QCOMPARE(listedNames().size(), 0);
    auto* menu = child<QMenu>("cardGridMenu");
    QStringList captions;
    for (QAction* action : menu->actions())
        captions << action->text();
    QCOMPARE(captions, QStringList({"当月已还清", "当月未还清", "显示所有"}));
    menu->findChild<QAction*>("showAllCardsAction")->trigger();
    QCOMPARE(m_data->cards().sql(), DataModule::kAllCardsStatement);
    QCOMPARE(listedNames().size(), 5);
    // The bar shows what the list shows: every card.
    QVERIFY(child<QRadioButton>("allCardsChoice")->isChecked());
    QVERIFY(!child<QCheckBox>("hideRepaidBox")->isChecked());
    QCOMPARE(holders->currentText(), QStringLiteral("所有"));
}

// After a quick due button the bar shows the list: state, hide switch and the window that covers
// the same days; where no window entry does, the box names the days.
void TestCardPage::quickButtonShowsInTheBar_data()
{
    // clang-format off
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("choice");
    QTest::addColumn<bool>("hidePaid");
    QTest::addColumn<int>("window");
    QTest::addColumn<QString>("daysShown"); // the window box's text while no entry is chosen
    QTest::newRow("1天内: today")       << 0 << "unpaidChoice" << false << 1  << "";
    QTest::newRow("2天内: days 0-1")    << 1 << "unpaidChoice" << false << -1 << "0～1天";
    QTest::newRow("3天内: days 0-2")    << 2 << "unpaidChoice" << false << 2  << "";
    QTest::newRow("7天内: days 0-7")    << 3 << "unpaidChoice" << false << 7  << "";
    QTest::newRow("10天内: days 0-10")  << 4 << "unpaidChoice" << false << -1 << "0～10天";
    QTest::newRow("15天内: days 0-15")  << 5 << "unpaidChoice" << false << -1 << "0～15天";
    QTest::newRow("已经过期")           << 6 << "overdueChoice" << true  << 0  << "";
    QTest::newRow("3天内共需还")        << 7 << "unpaidChoice" << false << 2  << "";
    // clang-format on
}

void TestCardPage::quickButtonShowsInTheBar()
{
    QFETCH(int, index);
    QFETCH(QString, choice);
    QFETCH(bool, hidePaid);
    QFETCH(int, window);
    QFETCH(QString, daysShown);
    click("hideOverdueBox"); // an earlier choice the quick list does not have
    click(CardPage::countButtonName(index));
    const QStringList listed = listedNames();
    QVERIFY(child<QRadioButton>(choice)->isChecked());
    QCOMPARE(child<QCheckBox>("hideRepaidBox")->isChecked(), hidePaid);
    QVERIFY(!child<QCheckBox>("hideOverdueBox")->isChecked());
    QCOMPARE(child<QComboBox>("holderFilterBox")->currentText(), QStringLiteral("所有"));
    auto* windowBox = child<QComboBox>("dueWindowBox");
    QCOMPARE(windowBox->currentIndex(), window);
    if (window < 0)
        QCOMPARE(windowBox->placeholderText(), daysShown);
    QVERIFY(!windowBox->toolTip().isEmpty());
    QCOMPARE(child<QToolButton>(CardPage::countButtonName(index))->toolTip(), CardFilter::quickTip(index));
    if (window >= 0) { // the bar's own filter, as shown, lists the same cards
        closeUp(windowBox);
        QCOMPARE(listedNames(), listed);
    }
}

void TestCardPage::rejectedStatementReleasesFreeze()
{
    m_page->showStatement("select * from nosuchtable  order by c_jzr", true);
    QCOMPARE(MessageBox::shownTexts().size(), 1);
    QVERIFY(!m_data->cards().controlsDisabled());
    QVERIFY(!m_data->cards().isOpen());
    m_page->cardGrid()->titleClicked(0, false); // closed list: reported, no crash
    QCOMPARE(MessageBox::shownTexts().size(), 2);
    click("repaidChoice");
    QCOMPARE(listedNames(), QStringList({"中行"}));
}

void TestCardPage::buttonsOpenWindowsWithoutBlocking()
{
    AppAssembly assembly(*m_context, {.data = m_data, .withLogin = false});
    MainWindow& window = assembly.window();
    ReminderWindow& reminder = assembly.reminder();
    HolderDialog& holders = assembly.holders();
    CardPage* page = window.cardPage();

    page->findChild<QToolButton*>("reminderButton")->click();
    QVERIFY(reminder.isVisible());
    page->findChild<QToolButton*>("reminderButton")->click(); // open already: comes to the front
    QVERIFY(reminder.isVisible());

    page->findChild<QToolButton*>("holderButton")->click();
    QVERIFY(holders.isVisible());
    QVERIFY(!holders.isModal());
}

void TestCardPage::pendingEditGoesThroughEditorSave_data()
{
    // clang-format off
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("valid");
    for (const char* action :
         {"refresh", "filter", "quick", "showAll", "paidMenu", "reminderRepaid", "planner", "titleSort"}) {
        QTest::addRow("%s, card valid", action)   << QString::fromLatin1(action) << true;
        QTest::addRow("%s, card refused", action) << QString::fromLatin1(action) << false;
    }
    // clang-format on
}

// A card typed after "+" and not yet saved meets an action that reloads or moves the card list:
// the editor's save (with its checks) runs first. A valid card is saved as typed; a refused one
// stays in the editor with its message and the action does not run. Never a blank row.
void TestCardPage::pendingEditGoesThroughEditorSave()
{
    QFETCH(QString, action);
    QFETCH(bool, valid);
    delete m_page; // the main window's own card tab is used
    m_page = nullptr;
    CardBuilder(m_data->database())
        .name("明天到期")
        .statementDay(20)
        .repaymentDay(m_clock.today().day() + 1)
        .insert();
    m_data->cards().close();
    m_data->cards().open();
    AppAssembly assembly(*m_context, {.data = m_data, .withLogin = false});
    MainWindow& window = assembly.window();
    ReminderWindow& reminder = assembly.reminder();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window)); // the first show ran the refresh pass
    reminder.show();
    reminder.close(); // the next show runs the pass again
    CardPage* page = window.cardPage();
    page->setEditorHeight(CardPage::kEditorOpenHeight);
    auto field = [page](const char* name) { return page->findChild<QLineEdit*>(name); };
    const QString statementBefore = m_data->cards().sql();
    const int dueCard = reminder.cards().value(0).id;
    QVERIFY(dueCard > 0);
    const int repaidBefore = count("SELECT count(*) FROM txyk WHERE tf=1");
    const int cardsBefore = count("SELECT count(*) FROM txyk");

    page->findChild<QToolButton*>("nbInsert")->click();
    type(field("cardNameEdit"), "新卡");
    type(field("statementDayEdit"), valid ? "3" : "35");
    type(field("repaymentDayEdit"), "21");
    page->setEditorHeight(0); // folded meanwhile
    MessageBox::clearShownTexts();

    bool ran = false;
    if (action == "refresh") {
        window.hide(); // to the tray and back
        window.show();
        ran = window.state().refreshed;
    } else if (action == "filter") {
        QTest::mouseClick(page->findChild<QRadioButton*>("unpaidChoice"), Qt::LeftButton);
        ran = m_data->cards().sql().contains("tf=False");
        QCOMPARE(page->findChild<QRadioButton*>("unpaidChoice")->isChecked(), ran);
    } else if (action == "quick") {
        QTest::mouseClick(page->findChild<QToolButton*>("dueIn1DayButton"), Qt::LeftButton);
        ran = m_data->cards().sql() == CardFilter::quickStatement(0);
    } else if (action == "showAll") {
        page->gridMenu()->findChild<QAction*>("showAllCardsAction")->trigger();
        ran = m_data->cards().sql() == DataModule::kAllCardsStatement;
    } else if (action == "paidMenu") {
        page->gridMenu()->findChild<QAction*>("markRepaidAction")->trigger();
        ran = count("SELECT count(*) FROM txyk WHERE tf=1") > repaidBefore;
    } else if (action == "reminderRepaid") {
        reminder.show();
        QTest::mouseClick(reminder.findChild<QToolButton*>("markRepaidButton"), Qt::LeftButton);
        ran = stored(dueCard, "tf").toInt() == 1;
    } else if (action == "planner") {
        window.settingsPage()->findChild<QPushButton*>("PlannerButton")->click(); // "现金流规划…"
        QTest::mouseClick(window.findChild<QPushButton*>("runSimulationButton"), Qt::LeftButton);
        ran = count("SELECT count(*) FROM Tjz") > 0;
        QCOMPARE(window.pages()->currentWidget() == page, !valid); // a refused card is shown
    } else if (action == "titleSort") {
        page->cardGrid()->titleClicked(0, false);
        ran = !m_data->cards().sort().isEmpty();
    }

    QCOMPARE(ran, valid);
    QCOMPARE(count("SELECT count(*) FROM txyk WHERE c_name IS NULL OR trim(c_name)=''"), 0);
    QCOMPARE(count("SELECT count(*) FROM txyk"), cardsBefore + (valid ? 1 : 0));
    if (valid) {
        QVERIFY2(MessageBox::shownTexts().isEmpty(), qPrintable(MessageBox::shownTexts().join('|')));
        QCOMPARE(count("SELECT count(*) FROM txyk WHERE c_name='新卡' AND c_jzr='3' AND c_hkr='21'"), 1);
        QCOMPARE(m_data->cards().state(), Query::State::Browse);
    } else {
        QCOMPARE(MessageBox::shownTexts(), QStringList({"账单日必须是1到31之间的整数。"}));
        QCOMPARE(m_data->cards().state(), Query::State::Insert);
        QCOMPARE(m_data->cards().sql(), statementBefore);
        QCOMPARE(field("cardNameEdit")->text(), QStringLiteral("新卡"));
        QCOMPARE(field("statementDayEdit")->text(), QStringLiteral("35"));
        QCOMPARE(page->editorHeight(), CardPage::kEditorOpenHeight); // back in sight
        QVERIFY(page->editor()->isDirty());
    }
}

void TestCardPage::boxFiltersByValueJustChosen_data()
{
    // clang-format off
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("way");
    QTest::addColumn<QString>("choice");
    QTest::addColumn<QStringList>("listed");
    const QStringList mine = {"招行", "建行"};
    for (const char* way : {"mouse", "keys in list", "keys on closed box"}) {
        QTest::addRow("holder, %s", way) << "holderFilterBox" << way << "本人" << mine;
        QTest::addRow("window, %s", way)
            << "dueWindowBox" << way << "二天内" << QStringList({"招行", "建行"}); // 0 to 2 days
    }
    // clang-format on
}

// The holder and window boxes filter by the value just chosen, with the mouse or the keyboard.
void TestCardPage::boxFiltersByValueJustChosen()
{
    QFETCH(QString, box);
    QFETCH(QString, way);
    QFETCH(QString, choice);
    QFETCH(QStringList, listed);
    auto* combo = child<QComboBox>(box);
    const int target = combo->findText(choice);
    QVERIFY(target >= 0);
    if (box == "holderFilterBox") // start from "所有" so the choice is one step down
        combo->setCurrentIndex(0);
    if (way == "mouse") {
        combo->showPopup();
        QAbstractItemView* view = combo->view();
        QTRY_VERIFY(view->isVisible());
        const QRect rect = view->visualRect(view->model()->index(target, combo->modelColumn()));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rect.center());
    } else if (way == "keys in list") {
        combo->showPopup();
        QAbstractItemView* view = combo->view();
        QTRY_VERIFY(view->isVisible());
        view->setCurrentIndex(view->model()->index(combo->currentIndex() < 0 ? 0 : combo->currentIndex(), 0));
        while (view->currentIndex().row() < target)
            QTest::keyClick(view, Qt::Key_Down);
        QTest::keyClick(view, Qt::Key_Return);
    } else {
        combo->setFocus();
        while (combo->currentIndex() < target)
            QTest::keyClick(combo, Qt::Key_Down);
    }
    QCOMPARE(combo->currentText(), choice);
    QTRY_COMPARE(listedNames(), listed);
    QVERIFY(!combo->view()->isVisible());
}

// A card the refresh pass cannot compute shows no due colour and an empty 剩余还款天数 cell.
void TestCardPage::skippedCardHasNoDueColour()
{
    const int broken =
        CardBuilder(m_data->database()).name("坏卡").statementDay(40).repaymentDay(9).daysLeft(0).insert();
    const int missing = CardBuilder(m_data->database()).name("空卡").insert();
    const RefreshResult result = RefreshPass(*m_data, m_clock).run();
    QCOMPARE(result.skipped.size(), 2);
    QAbstractItemModel* model = m_page->grid()->model();
    for (const int id : {broken, missing}) {
        QVERIFY(m_data->cards().locate("id", id));
        const int row = m_data->cards().currentRow();
        for (int column : {0, 8})
            QVERIFY2(!model->index(row, column).data(Qt::BackgroundRole).isValid(),
                     qPrintable(QString::number(id)));
        QCOMPARE(model->index(row, 8).data().toString(), QString());
    }
}

// The card number and the "下期" dates fit their columns in the font in use; no column is
// narrower than its given width.
void TestCardPage::columnsFitCardNumberAndDates()
{
    QTableView* grid = m_page->grid();
    CardGrid* cardGrid = m_page->cardGrid();
    RefreshPass(*m_data, m_clock).run(); // fills the dates
    QVERIFY(m_data->cards().locate("id", m_zhaohang));
    m_data->cards().setValue("c_no", "6228480402564890018");
    m_data->cards().post();
    const int row = m_data->cards().currentRow();
    for (int column = 0; column < grid->model()->columnCount(); ++column) {
        const int given = CardGridModel::defaultWidth(column);
        QVERIFY(grid->horizontalHeader()->sectionSize(column) >= (given > 0 ? given : 72));
        QCOMPARE(grid->horizontalHeader()->sectionSize(column), cardGrid->fittedWidth(column));
    }
    for (int column : {1, 7, 14, 15, 16}) {
        const QModelIndex cell = grid->model()->index(row, column);
        const QString text = cell.data().toString();
        QVERIFY2(!text.isEmpty(), qPrintable(QString::number(column)));
        QFont font = cell.data(Qt::FontRole).value<QFont>();
        const int room = grid->horizontalHeader()->sectionSize(column) - 8;
        QVERIFY2(QFontMetrics(font).horizontalAdvance(text) <= room,
                 qPrintable(QStringLiteral("column %1: %2 in %3").arg(column).arg(text).arg(room)));
    }
    QVERIFY(grid->horizontalHeader()->sectionSize(1) > 71);

    // The editor's number field shows the whole 19-digit number too.
    auto* number = child<QLineEdit>(QStringLiteral("cardNumberEdit"));
    QCOMPARE(number->text(), QStringLiteral("6228480402564890018"));
    QStyleOptionFrame option;
    option.initFrom(number);
    option.lineWidth = number->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, number);
    const QRect textRoom = number->style()->subElementRect(QStyle::SE_LineEditContents, &option, number);
    QVERIFY2(number->fontMetrics().horizontalAdvance(number->text()) <= textRoom.width() - 4,
             qPrintable(QString::number(textRoom.width())));
}

void TestCardPage::ratioMeaningShownAsTyped()
{
    QLabel* meaning = m_page->editor()->ratioMeaning();
    auto* ratio = child<QLineEdit>("minimumRatioEdit");
    QVERIFY(meaning->isVisible());
    QVERIFY(meaning->geometry().left() >= ratio->geometry().right()); // beside the field
    ratio->selectAll();
    type(ratio, "1");
    QCOMPARE(meaning->text(), QStringLiteral("= 10%"));
    type(ratio, "0");
    QCOMPARE(meaning->text(), QStringLiteral("= 100%"));
    navigate("nbPost");
    const int id = m_data->cards().intValue("id");
    QCOMPARE(stored(id, "i_zdhkbl").toDouble(), 10.0); // stored as typed
    // Another card shows its own ratio's meaning.
    m_data->database().executeSql("UPDATE txyk SET i_zdhkbl=0.5 WHERE id=?", {m_nonghang});
    navigate("nbRefresh");
    QVERIFY(m_data->cards().locate("id", m_nonghang));
    QCOMPARE(meaning->text(), QStringLiteral("= 5%"));
}

// An empty holder name is refused with a message and nothing is saved.
void TestCardPage::emptyHolderRefused()
{
    HolderDialog dialog;
    dialog.attachData(*m_data);
    dialog.showOrRaise();
    auto nav = [&](const char* name) { dialog.navigator()->findChild<QToolButton*>(name)->click(); };
    const int holders = count("SELECT count(*) FROM tname");

    nav("nbInsert");
    type(dialog.nameEdit(), "  ");
    nav("nbPost");
    QCOMPARE(MessageBox::shownTexts(), QStringList({"请填写持卡人。"}));
    QCOMPARE(m_data->holders().state(), Query::State::Insert);
    nav("nbNext"); // nor does moving on save it
    QCOMPARE(MessageBox::shownTexts().size(), 2);
    QCOMPARE(count("SELECT count(*) FROM tname"), holders);

    // Clearing an existing name is refused too, also when moving in the grid.
    MessageBox::clearShownTexts();
    dialog.nameEdit()->selectAll();
    type(dialog.nameEdit(), "李四");
    nav("nbPost");
    QVERIFY(MessageBox::shownTexts().isEmpty());
    dialog.nameEdit()->selectAll();
    QTest::keyClick(dialog.nameEdit(), Qt::Key_Backspace);
    QVERIFY(dialog.nameEdit()->text().isEmpty());
    QCOMPARE(m_data->holders().state(), Query::State::Edit);
    const int row = m_data->holders().currentRow();
    dialog.grid()->setCurrentIndex(dialog.grid()->model()->index(row == 0 ? 1 : 0, 0));
    QCOMPARE(m_data->holders().currentRow(), row);
    QCOMPARE(MessageBox::shownTexts(), QStringList({"请填写持卡人。"}));
    QCOMPARE(count("SELECT count(*) FROM tname WHERE c_name='李四'"), 1);
    // Closed with the name still empty: dropped, the old name stays.
    dialog.close();
    QCOMPARE(m_data->holders().state(), Query::State::Browse);
    QCOMPARE(count("SELECT count(*) FROM tname WHERE c_name IS NULL OR trim(c_name)=''"), 0);
    QCOMPARE(count("SELECT count(*) FROM tname WHERE c_name='李四'"), 1);

    // A new row left untouched is dropped without a word when moving on.
    MessageBox::clearShownTexts();
    dialog.showOrRaise();
    nav("nbInsert");
    nav("nbFirst");
    QVERIFY(MessageBox::shownTexts().isEmpty());
    QCOMPARE(count("SELECT count(*) FROM tname"), holders + 1);
}

// A save that computes a card recounts the eight due counts at once.
void TestCardPage::countsFollowSavedCard()
{
    const RefreshResult result = RefreshPass(*m_data, m_clock).run();
    for (int i = 0; i < 8; ++i)
        m_page->countLabel(i)->setText(result.labelTexts.at(i));

    // A new card due today.
    int statementDay = 0;
    for (int d = 1; d <= 28 && !statementDay; ++d) {
        const auto schedule = computeCardSchedule(m_clock.today(), d, m_clock.today().day(), 0, 0);
        if (schedule && schedule->daysLeft == 0)
            statementDay = d;
    }
    QVERIFY(statementDay > 0);
    navigate("nbInsert");
    type(child<QLineEdit>("cardNameEdit"), "今天到期");
    type(child<QLineEdit>("statementDayEdit"), QString::number(statementDay));
    type(child<QLineEdit>("repaymentDayEdit"), QString::number(m_clock.today().day()));
    navigate("nbPost");
    QCOMPARE(m_data->cards().intValue("i_xyr", -99), 0);
    const std::array<int, 8> counts = Refresh::countDueCards(m_data->database());
    QCOMPARE(counts[0], result.counts[0] + 1);
    for (int i = 0; i < 8; ++i)
        QCOMPARE(m_page->countLabel(i)->text(), Refresh::countLabelText(i, counts[i]));
    QCOMPARE(m_page->countLabel(0)->text(), QStringLiteral("1天内需还:%1张").arg(counts[0]));
}

namespace {
const QString kScheduleFields =
    QStringLiteral("i_zdhkje,c_re_date,c_next_re_date,c_jd_date,c_next_jd_date,i_xyr,i_xf");
}

// The editor's save computes a card with the refresh pass's own function: both store the same.
void TestCardPage::editorSaveStoresWhatThePassStores_data()
{
    QTest::addColumn<QString>("statementDay");
    QTest::addColumn<QString>("repaymentDay");
    QTest::addColumn<QString>("ratio");
    QTest::addColumn<QString>("used");
    QTest::addColumn<bool>("skipped");
    // clang-format off
    QTest::newRow("repaid after the statement") << "20" << "8"  << "1.5"  << "1234" << false;
    QTest::newRow("days past a month's end")    << "31" << "30" << "1"    << "99.5" << false;
    QTest::newRow("same day, nothing used")     << "5"  << "5"  << ""     << ""     << false;
    QTest::newRow("too large to compute")       << "12" << "2"  << "1e10" << "1e10" << true;
    // clang-format on
}

void TestCardPage::editorSaveStoresWhatThePassStores()
{
    QFETCH(QString, statementDay);
    QFETCH(QString, repaymentDay);
    QFETCH(QString, ratio);
    QFETCH(QString, used);
    QFETCH(bool, skipped);
    Database& db = m_data->database();
    const QString select = QStringLiteral("SELECT %1 FROM txyk WHERE id=?").arg(kScheduleFields);

    navigate("nbInsert");
    type(child<QLineEdit>("cardNameEdit"), "新卡");
    type(child<QLineEdit>("statementDayEdit"), statementDay);
    type(child<QLineEdit>("repaymentDayEdit"), repaymentDay);
    type(child<QLineEdit>("minimumRatioEdit"), ratio);
    type(child<QLineEdit>("amountUsedEdit"), used);
    navigate("nbPost");
    QVERIFY2(MessageBox::shownTexts().isEmpty(), qPrintable(MessageBox::shownTexts().join('|')));
    const int id = m_data->cards().intValue("id");
    const QVariantList saved = Stored::row(db, select, {id});
    QCOMPARE(saved.at(5).isNull(), skipped);
    // The list shows the saved row as stored, without a reload.
    QCOMPARE(m_data->cards().value("i_xyr").isNull(), skipped);
    QCOMPARE(m_data->cards().intValue("i_xyr", -99), saved.at(5).isNull() ? -99 : saved.at(5).toInt());

    // Stale values, then the pass over every card.
    db.executeSql(
        QStringLiteral("UPDATE txyk SET i_zdhkje=7,c_re_date='2000-01-01',c_next_re_date='2000-01-01',"
                       "c_jd_date='2000-01-01',c_next_jd_date='2000-01-01',i_xyr=77,i_xf=77"));
    const QList<SkippedCard> skippedByPass = Refresh::recomputeAllCards(db, m_clock.today());
    QCOMPARE(Stored::row(db, select, {id}), saved);
    QCOMPARE(skippedByPass.contains(SkippedCard{id, QStringLiteral("新卡")}), skipped);
}

// A minimum repayment typed into "最低还款金额" is stored as typed, its dates computed as ever;
// the next refresh pass computes it again. An emptied field is computed at once.
void TestCardPage::typedMinimumRepaymentKeptUntilNextPass_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("kept");
    // clang-format off
    QTest::newRow("typed")      << "88.5" << true;
    QTest::newRow("left empty") << ""     << false;
    // clang-format on
}

void TestCardPage::typedMinimumRepaymentKeptUntilNextPass()
{
    QFETCH(QString, typed);
    QFETCH(bool, kept);
    navigate("nbInsert");
    type(child<QLineEdit>("cardNameEdit"), "新卡");
    type(child<QLineEdit>("statementDayEdit"), "20");
    type(child<QLineEdit>("repaymentDayEdit"), "8");
    type(child<QLineEdit>("minimumRatioEdit"), "1");
    type(child<QLineEdit>("amountUsedEdit"), "1000");
    type(child<QLineEdit>("minimumRepaymentEdit"), typed);
    navigate("nbPost");
    QVERIFY2(MessageBox::shownTexts().isEmpty(), qPrintable(MessageBox::shownTexts().join('|')));
    const int id = m_data->cards().intValue("id");
    const QVariant saved = stored(id, "i_zdhkje");
    QVERIFY(!stored(id, "i_xyr").isNull());
    const QString shown = child<QLineEdit>("minimumRepaymentEdit")->text();

    RefreshPass(*m_data, m_clock).run();
    const QVariant computed = stored(id, "i_zdhkje");
    QVERIFY(computed.toDouble() != 88.5);
    QCOMPARE(saved.toDouble(), kept ? 88.5 : computed.toDouble());
    QCOMPARE(shown, kept ? QStringLiteral("88.5") : computed.toString());
}

// The save and its recompute are one transaction: a recompute that fails leaves nothing of the
// save behind, and the card stays in edit with what was typed.
void TestCardPage::failedRecomputeUndoesTheSave_data()
{
    // clang-format off
    QTest::addColumn<bool>("newCard");
    QTest::newRow("edited card") << false;
    QTest::newRow("new card")    << true;
    // clang-format on
}

void TestCardPage::failedRecomputeUndoesTheSave()
{
    QFETCH(bool, newCard);
    Database& db = m_data->database();
    db.executeSql(QStringLiteral("CREATE TRIGGER refuse BEFORE UPDATE OF i_xyr ON txyk "
                                 "BEGIN SELECT RAISE(ABORT, 'refused'); END"));
    const int cards = count(QStringLiteral("SELECT count(*) FROM txyk"));
    auto* name = child<QLineEdit>("cardNameEdit");
    if (newCard) {
        navigate("nbInsert");
        type(child<QLineEdit>("statementDayEdit"), "7");
        type(child<QLineEdit>("repaymentDayEdit"), "25");
    } else {
        QVERIFY(m_data->cards().locate("id", m_jianhang));
        name->selectAll();
    }
    type(name, "改名");
    navigate("nbPost");
    QCOMPARE(MessageBox::shownTexts().size(), 1);
    QVERIFY2(MessageBox::shownTexts().first().contains("refused"),
             qPrintable(MessageBox::shownTexts().first()));
    QCOMPARE(count(QStringLiteral("SELECT count(*) FROM txyk")), cards);
    QCOMPARE(count(QStringLiteral("SELECT count(*) FROM txyk WHERE c_name='改名'")), 0);
    QCOMPARE(m_data->cards().state(), newCard ? Query::State::Insert : Query::State::Edit);
    QCOMPARE(name->text(), QStringLiteral("改名"));

    // Once the recompute can run, the same save goes through whole.
    db.executeSql(QStringLiteral("DROP TRIGGER refuse"));
    MessageBox::clearShownTexts();
    navigate("nbPost");
    QVERIFY2(MessageBox::shownTexts().isEmpty(), qPrintable(MessageBox::shownTexts().join('|')));
    const int id = m_data->cards().intValue("id");
    QCOMPARE(stored(id, "c_name").toString(), QStringLiteral("改名"));
    QVERIFY(!stored(id, "i_xyr").isNull());
    QCOMPARE(count(QStringLiteral("SELECT count(*) FROM txyk")), cards + (newCard ? 1 : 0));
}

void TestCardPage::navigatorIsCompactWithIcons()
{
    HolderDialog dialog;
    dialog.attachData(*m_data);
    dialog.showOrRaise();
    for (RecordNavigator* navigator : {m_page->editor()->navigator(), dialog.navigator()}) {
        // Side by side at the left, not spread over the bar.
        int right = -1;
        for (QToolButton* button : navigator->findChildren<QToolButton*>()) {
            QVERIFY(!button->icon().pixmap(button->iconSize()).isNull());
            QVERIFY(button->text().isEmpty());
            QVERIFY(button->width() <= 40);
            QVERIFY(right < 0 || button->x() - right <= 14);
            right = button->geometry().right();
        }
        QVERIFY(navigator->width() - right > 100);
    }
    QStringList hints;
    for (QToolButton* button : dialog.navigator()->findChildren<QToolButton*>())
        hints << button->toolTip();
    QCOMPARE(hints, QStringList({"首条", "上一条", "下一条", "尾条", "增加", "删除", "保存"}));
    // Our own pictures stand in where the theme has none.
    for (int b = 0; b <= int(RecordNavigator::Button::Refresh); ++b)
        QVERIFY(!RecordNavigator::icon(RecordNavigator::Button(b)).isNull());
}

// The right-click menus of the editor's fields and of the holder dialog's field are Chinese.
void TestCardPage::editMenusReadChinese()
{
    EditMenuTranslator translator;
    QCoreApplication::installTranslator(&translator);
    HolderDialog dialog;
    dialog.attachData(*m_data);
    for (QLineEdit* edit : {child<QLineEdit>("cardNameEdit"), dialog.nameEdit()}) {
        std::unique_ptr<QMenu> menu(edit->createStandardContextMenu());
        QStringList texts;
        for (QAction* action : menu->actions()) {
            if (action->isSeparator())
                continue;
            // Drop the accelerator mark "(&U)" and the shortcut after the tab.
            const QString text = action->text().section(u'\t', 0, 0).remove(QRegularExpression("\\(&.\\)"));
            texts << text;
            QVERIFY2(!text.contains(QRegularExpression("[A-Za-z]")), qPrintable(action->text()));
        }
        QCOMPARE(texts, QStringList({"撤销", "重做", "剪切", "复制", "粘贴", "删除", "全选"}));
    }
    QCoreApplication::removeTranslator(&translator);
}

QTEST_MAIN(TestCardPage)
#include "tst_cardpage.moc"
