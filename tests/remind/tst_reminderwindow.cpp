#include "billing/RefreshPass.h"
#include "remind/DueSoonModel.h"
#include "remind/ReminderWindow.h"
#include "remind/Snooze.h"
#include "store/Clock.h"
#include "store/DataModule.h"
#include "support/CardBuilder.h"
#include "support/Stored.h"
#include "support/TempHome.h"
#include "ui/MessageBox.h"

#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

namespace {
// The five value labels beside the captions, top to bottom.
const char* const kValueNames[5] = {"cardNameValue", "cardNumberValue", "daysLeftValue", "amountUsedValue",
                                    "minimumRepaymentValue"};
} // namespace

// The reminder window over a due-soon list of three cards A, B, C (in this order).
class TestReminderWindow : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void showsCardAndControls();
    void stepsWithinTheList();
    void mostUrgentCardFirst_data();
    void mostUrgentCardFirst();
    void foreignCardShowsLastFour();
    void modelHoldsTheShownTexts();
    void snoozeRecordsDelayOnCurrentCard_data();
    void snoozeRecordsDelayOnCurrentCard();
    void unknownDelayTextDoesNotSnooze_data();
    void unknownDelayTextDoesNotSnooze();
    void storedTextIsPlainAndFitsBesideButtons();
    void snoozeReplacesOrKeepsPendingSnooze();
    void dismissCancelsPendingSnooze();
    void repaidOnSecondOfThree();
    void emptyListStillSnoozes();

private:
    void click(const char* name) { QTest::mouseClick(button(name), Qt::LeftButton); }
    // Types `text` over the list's edit text, key by key (also characters an input method gives).
    void type(QComboBox* combo, const QString& text)
    {
        combo->lineEdit()->selectAll();
        QTest::keyClick(combo->lineEdit(), Qt::Key_Backspace);
        for (const QChar c : text)
            QTest::sendKeyEvent(QTest::Click, combo->lineEdit(), Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
    QAbstractButton* button(const char* name) { return m_window->findChild<QAbstractButton*>(name); }
    QString value(int i) { return m_window->findChild<QLabel*>(kValueNames[i - 1])->text(); }
    QVariant field(int id, const QString& name) { return Stored::field(m_data->database(), id, name); }
    void rereadCards()
    {
        m_window->setCards(readDueSoonCards(m_data->database()));
    } // as a refresh hands them

    TempHome* m_home = nullptr;
    DataModule* m_data = nullptr;
    FixedClock m_clock{QDate(2013, 9, 5)};
    QTimer* m_snoozeTimer = nullptr;
    ReminderWindow* m_window = nullptr;
    QList<int> m_ids;
};

void TestReminderWindow::init()
{
    MessageBox::setSuppressAll(true);
    MessageBox::clearShownTexts();
    m_home = new TempHome;
    m_data = new DataModule;
    m_data->open(m_home->databasePath());
    CardBuilder cards(m_data->database());
    m_ids.clear();
    m_ids << cards.name("A")
                 .number("6222 01")
                 .daysLeft(0)
                 .used(1500)
                 .set("i_xf", 1200)
                 .set("i_zdhkje", 120.5)
                 .set("c_re_date", QDate(2013, 9, 5))
                 .set("t_time", 7)
                 .insert();
    m_ids << cards.name("B")
                 .number("6222 02")
                 .daysLeft(1)
                 .set("c_re_date", QDate(2013, 9, 6))
                 .set("t_time", 7)
                 .insert();
    m_ids << cards.name("C")
                 .number("6222 03")
                 .daysLeft(2)
                 .set("c_re_date", QDate(2013, 9, 7))
                 .set("t_time", 7)
                 .insert();
    m_snoozeTimer = new QTimer;
    m_window = new ReminderWindow(*m_data, m_clock, *m_snoozeTimer);
    rereadCards();
    m_window->setHeading(Refresh::headingText(3));
    m_window->show();
}

void TestReminderWindow::cleanup()
{
    delete m_window;
    delete m_snoozeTimer;
    delete m_data;
    delete m_home;
    QVERIFY(MessageBox::shownTexts().isEmpty());
    MessageBox::setSuppressAll(false);
}

void TestReminderWindow::showsCardAndControls()
{
    QCOMPARE(m_window->objectName(), QStringLiteral("reminderWindow"));
    QCOMPARE(m_window->windowTitle(), QStringLiteral("还款提醒"));
    QCOMPARE(m_window->size(), QSize(499, 324));
    QCOMPARE(m_window->minimumSize(), m_window->maximumSize());
    QVERIFY(m_window->windowFlags() & Qt::WindowStaysOnTopHint);
    QCOMPARE(m_window->heading(), QStringLiteral("3天内共需还：3张"));
    QStringList labels;
    for (const char* name : {"cardNameCaption", "cardNumberCaption", "daysLeftCaption", "amountUsedCaption",
                             "minimumRepaymentCaption"})
        labels << m_window->findChild<QLabel*>(name)->text();
    QCOMPARE(labels, QStringList({"卡名：", "卡号：", "剩下还款天数：", "已消费：", "最低还款："}));
    QCOMPARE(QStringList({value(1), value(2), value(3), value(4), value(5)}),
             QStringList({"A", "尾号2201", "0", "1500", "120.5"})); // 已消费: the amount used, not i_xf
    QCOMPARE(button("markRepaidButton")->text(), QStringLiteral("还清"));
    QCOMPARE(button("previousCardButton")->text(), QStringLiteral("上一张"));
    QCOMPARE(button("nextCardButton")->text(), QStringLiteral("下一张"));
    QCOMPARE(button("snoozeButton")->text(), QStringLiteral("确定"));
    QCOMPARE(button("stopRemindingButton")->text(), QStringLiteral("不再提醒"));
    auto* combo = m_window->findChild<QComboBox*>("snoozeDelayBox");
    QVERIFY(combo->isEditable());
    QCOMPARE(combo->count(), 13);
    QCOMPARE(combo->itemText(12), QStringLiteral("12小时后再提醒"));
    QCOMPARE(combo->currentIndex(), -1);
    QCOMPARE(combo->currentText(), QStringLiteral("5分钟后再提醒"));
}

void TestReminderWindow::stepsWithinTheList()
{
    click("previousCardButton"); // on the first card
    QCOMPARE(value(1), QStringLiteral("A"));
    click("nextCardButton");
    QCOMPARE(value(1), QStringLiteral("B"));
    click("nextCardButton");
    click("nextCardButton"); // on the last card
    QCOMPARE(value(1), QStringLiteral("C"));
    QCOMPARE(m_window->currentRow(), 2);
    click("previousCardButton");
    QCOMPARE(value(1), QStringLiteral("B"));
}

// The card due today comes first, then by days left and id, whatever order the cards were entered in.
void TestReminderWindow::mostUrgentCardFirst_data()
{
    // clang-format off
    QTest::addColumn<QList<int>>("daysLeft"); // of A, B, C
    QTest::addColumn<QString>("order");
    QTest::newRow("entered in order")   << QList<int>{0, 1, 2} << "ABC";
    QTest::newRow("due today entered last") << QList<int>{2, 1, 0} << "CBA";
    QTest::newRow("ties by id")         << QList<int>{1, 0, 0} << "BCA";
    // clang-format on
}

void TestReminderWindow::mostUrgentCardFirst()
{
    QFETCH(QList<int>, daysLeft);
    for (int i = 0; i < 3; ++i)
        m_data->database().execute(
            QStringLiteral("UPDATE txyk SET i_xyr=%1 WHERE id=%2").arg(daysLeft[i]).arg(m_ids[i]));
    rereadCards();
    QString shown;
    for (int i = 0; i < 3; ++i) {
        shown += value(1);
        click("nextCardButton");
    }
    QTEST(shown, "order");
}

// A card another tool wrote has no c_last4: its number's last four are shown.
void TestReminderWindow::foreignCardShowsLastFour()
{
    m_data->database().execute(QStringLiteral("UPDATE txyk SET c_last4=NULL WHERE id=%1").arg(m_ids[0]));
    rereadCards();
    QCOMPARE(value(1), QStringLiteral("A"));
    QCOMPARE(value(2), QStringLiteral("尾号2201"));
}

// The window's read-only model: one row per card, the panel's five texts as its columns (an
// amount never filled in is empty, a card without a number has no "尾号").
void TestReminderWindow::modelHoldsTheShownTexts()
{
    m_data->database().execute(
        QStringLiteral("UPDATE txyk SET i_yxf=NULL, c_no=NULL, c_last4=NULL WHERE id=%1").arg(m_ids[2]));
    const DueSoonModel* model = m_window->model();
    QAbstractItemModelTester tester(const_cast<DueSoonModel*>(model),
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    rereadCards();
    QCOMPARE(model->rowCount(), 3);
    QCOMPARE(model->columnCount(), 5);
    QStringList rows;
    for (int row = 0; row < model->rowCount(); ++row) {
        QStringList texts;
        for (int column = 0; column < model->columnCount(); ++column)
            texts << model->index(row, column).data().toString();
        rows << texts.join(u'|');
    }
    QCOMPARE(rows, QStringList({"A|尾号2201|0|1500|120.5", "B|尾号2202|1||", "C||2||"}));
    QCOMPARE(model->headerData(3, Qt::Horizontal).toString(), QStringLiteral("已消费"));
    QVERIFY(!model->flags(model->index(0, 0)).testFlag(Qt::ItemIsEditable));
}

void TestReminderWindow::snoozeRecordsDelayOnCurrentCard_data()
{
    // clang-format off
    QTest::addColumn<int>("index");     // -1: no item chosen
    QTest::addColumn<QString>("typed"); // typed into the list's edit field instead, when not null
    QTest::addColumn<int>("delay");
    QTest::newRow("untouched")                    << -1 << QString()        << 300000;
    QTest::newRow("5 minutes chosen")             << 0  << QString()        << 300000;
    QTest::newRow("10 minutes")                   << 1  << QString()        << 600000;
    QTest::newRow("1 hour")                       << 4  << QString()        << 3600000;
    QTest::newRow("8 hours")                      << 10 << QString()        << 28800000;
    QTest::newRow("12 hours")                     << 12 << QString()        << 43200000;
    QTest::newRow("typed item text")              << -1 << "2小时后再提醒"  << 7200000;
    QTest::newRow("typed minutes")                << -1 << "20"             << 1200000;
    QTest::newRow("typed minutes, blanks around") << -1 << " 45 "           << 2700000;
    QTest::newRow("typed minutes with unit")      << -1 << "20分钟"         << 1200000;
    QTest::newRow("typed like an item")           << -1 << "25分钟后再提醒" << 1500000;
    QTest::newRow("full-width digits")            << -1 << "１０"           << 600000;
    QTest::newRow("a whole day")                  << -1 << "1440"           << 86400000;
    // clang-format on
}

void TestReminderWindow::snoozeRecordsDelayOnCurrentCard()
{
    QFETCH(int, index);
    QFETCH(QString, typed);
    QFETCH(int, delay);
    auto* combo = m_window->findChild<QComboBox*>("snoozeDelayBox");
    if (index >= 0)
        combo->setCurrentIndex(index);
    if (!typed.isNull())
        type(combo, typed);
    QSignalSpy closed(m_window, &ReminderWindow::closed);
    click("nextCardButton"); // B is current
    click("snoozeButton");
    QCOMPARE(field(m_ids[1], "t_time").toInt(), delay);
    QCOMPARE(field(m_ids[0], "t_time").toInt(), 7);
    QCOMPARE(field(m_ids[2], "t_time").toInt(), 7);
    QVERIFY(m_snoozeTimer->isActive());
    QCOMPARE(m_snoozeTimer->interval(), delay);
    QVERIFY(!m_window->isVisible());
    QCOMPARE(closed.count(), 1);
}

void TestReminderWindow::unknownDelayTextDoesNotSnooze_data()
{
    // clang-format off
    QTest::addColumn<QString>("typed");
    QTest::newRow("words")                   << "过一会儿";
    QTest::newRow("empty")                   << "";
    QTest::newRow("zero")                    << "0";
    QTest::newRow("more than a day")         << "1441";
    QTest::newRow("negative")                << "-5";
    QTest::newRow("fraction")                << "2.5";
    QTest::newRow("other words with a unit") << "半小时";
    QTest::newRow("latin letters")           << "abc";
    // clang-format on
}

void TestReminderWindow::unknownDelayTextDoesNotSnooze()
{
    QFETCH(QString, typed);
    auto* combo = m_window->findChild<QComboBox*>("snoozeDelayBox");
    type(combo, typed);
    QSignalSpy closed(m_window, &ReminderWindow::closed);
    click("snoozeButton");
    const QStringList shown = MessageBox::shownTexts();
    MessageBox::clearShownTexts();
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown.first().startsWith(QStringLiteral("无法识别提醒时间")), qPrintable(shown.first()));
    QVERIFY(!m_snoozeTimer->isActive());
    QCOMPARE(field(m_ids[0], "t_time").toInt(), 7);
    QVERIFY(m_window->isVisible());
    QCOMPARE(closed.count(), 0);
}

// A card name is shown as typed: tags stay text, and a long name is cut with "…" short of the
// buttons, the whole name in the tooltip. Of the card number only the last four digits show.
void TestReminderWindow::storedTextIsPlainAndFitsBesideButtons()
{
    const QString longName = QStringLiteral("中国工商银行牡丹环球旅行白金信用卡（外币双币种）副卡");
    Database& db = m_data->database();
    QCOMPARE(db.executeSql(QStringLiteral("update txyk set c_name=?, c_no=?, c_last4=? where id=?"),
                           {QStringLiteral("<b>A</b>"), QStringLiteral("6222-0000 1234 5678"),
                            QStringLiteral("5678"), m_ids[0]}),
             1);
    QCOMPARE(db.executeSql(QStringLiteral("update txyk set c_name=? where id=?"), {longName, m_ids[1]}), 1);
    rereadCards();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));

    auto* name = m_window->findChild<QLabel*>("cardNameValue");
    auto* number = m_window->findChild<QLabel*>("cardNumberValue");
    QCOMPARE(name->text(), QStringLiteral("<b>A</b>"));
    QCOMPARE(number->text(), QStringLiteral("尾号5678"));
    for (const char* label : {"reminderHeading", "cardNameValue", "cardNumberValue", "daysLeftValue",
                              "amountUsedValue", "minimumRepaymentValue"})
        QCOMPARE(m_window->findChild<QLabel*>(label)->textFormat(), Qt::PlainText);
    QVERIFY(name->toolTip().isEmpty());

    click("nextCardButton");
    QVERIFY(name->text().endsWith(QChar(0x2026)));
    QVERIFY(longName.startsWith(name->text().chopped(1)));
    QCOMPARE(name->toolTip(), longName);
    // The cut text ends before the buttons begin.
    const QWidget* repaid = button("markRepaidButton");
    const int textRight = name->mapTo(m_window, QPoint(name->contentsRect().left(), 0)).x() +
                          name->fontMetrics().horizontalAdvance(name->text());
    QVERIFY2(textRight <= repaid->mapTo(m_window, QPoint(0, 0)).x(), qPrintable(QString::number(textRight)));

    click("previousCardButton"); // a short name again: whole, no tooltip
    QCOMPARE(name->text(), QStringLiteral("<b>A</b>"));
    QVERIFY(name->toolTip().isEmpty());
}

void TestReminderWindow::snoozeReplacesOrKeepsPendingSnooze()
{
    m_snoozeTimer->setTimerType(Qt::PreciseTimer); // so that remainingTime() is exact
    auto* combo = m_window->findChild<QComboBox*>("snoozeDelayBox");
    combo->setCurrentIndex(5); // 2 hours
    click("snoozeButton");
    QTRY_VERIFY(m_snoozeTimer->remainingTime() <= 7200000 - 250); // counting down
    const int pending = m_snoozeTimer->remainingTime();

    // The same delay again: the pending snooze keeps its due time.
    m_window->show();
    click("snoozeButton");
    QVERIFY(m_snoozeTimer->isActive());
    QVERIFY(m_snoozeTimer->remainingTime() <= pending);

    // Another delay: one snooze, counted from now.
    m_window->show();
    combo->setCurrentIndex(0);
    click("snoozeButton");
    QVERIFY(m_snoozeTimer->isActive());
    QCOMPARE(m_snoozeTimer->interval(), 300000);
    QVERIFY(m_snoozeTimer->remainingTime() > 300000 - 250);
}

void TestReminderWindow::dismissCancelsPendingSnooze()
{
    click("snoozeButton");
    QVERIFY(m_snoozeTimer->isActive());
    m_window->show();
    QSignalSpy closed(m_window, &ReminderWindow::closed);
    click("stopRemindingButton");
    QVERIFY(!m_snoozeTimer->isActive());
    QVERIFY(!m_window->isVisible());
    QCOMPARE(closed.count(), 1);

    // The title bar's close box is a close too.
    m_window->show();
    QVERIFY(m_window->close());
    QCOMPARE(closed.count(), 2);
}

void TestReminderWindow::repaidOnSecondOfThree()
{
    Query& cards = m_data->cards();
    cards.close();
    cards.open();
    QVERIFY(cards.locate("id", m_ids[1]));
    QVERIFY(!cards.boolValue("tf"));
    click("nextCardButton");
    click("markRepaidButton");
    QCOMPARE(int(m_window->cards().size()), 2);
    QCOMPARE(m_window->currentRow(), 0);
    QCOMPARE(value(1), QStringLiteral("A"));
    QCOMPARE(m_window->heading(), QStringLiteral("3天内共需还：3张")); // not recounted here
    QVERIFY(m_window->isVisible());
    QCOMPARE(field(m_ids[1], "tf").toInt(), 1);
    QCOMPARE(field(m_ids[1], "i_hkm").toInt(), 9);
    QCOMPARE(field(m_ids[1], "i_hky").toInt(), 2013);
    QCOMPARE(field(m_ids[0], "tf").toInt(), 0);
    QVERIFY(cards.boolValue("tf")); // the card list shows the new state
}

void TestReminderWindow::emptyListStillSnoozes()
{
    click("markRepaidButton");
    click("markRepaidButton");
    click("markRepaidButton");
    QVERIFY(m_window->cards().isEmpty());
    QCOMPARE(value(1), QString());
    click("markRepaidButton"); // nothing left to mark: no harm
    click("nextCardButton");
    click("snoozeButton");
    QVERIFY(m_snoozeTimer->isActive());
    QCOMPARE(m_snoozeTimer->interval(), 300000);
    QVERIFY(!m_window->isVisible());
}

QTEST_MAIN(TestReminderWindow)
#include "tst_reminderwindow.moc"
