#include "app/AppAssembly.h"
#include "app/MainWindow.h"
#include "app/TrayController.h"
#include "remind/ReminderWindow.h"
#include "store/DataModule.h"
#include "support/CardBuilder.h"
#include "support/Stored.h"
#include "support/TempHome.h"
#include "ui/AppContext.h"
#include "ui/MessageBox.h"
#include "views/CardEditor.h"
#include "views/CardPage.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QToolButton>
#include <QtTest>

namespace {
// Types text as the input method delivers it.
void type(QWidget* widget, const QString& text)
{
    QInputMethodEvent event;
    event.setCommitString(text);
    QApplication::sendEvent(widget, &event);
}

// The program as it starts on 2013-9-5, without protection, with a tray: one card due today,
// one due in two days.
struct Program
{
    TempHome home;
    FixedClock clock{QDate(2013, 9, 5)};
    std::unique_ptr<AppContext> context;
    std::unique_ptr<AppAssembly> assembly;
    MainWindow* window = nullptr;
    ReminderWindow* reminder = nullptr;
    DataModule* data = nullptr;
    int dueToday = 0;
    int dueInTwoDays = 0;

    Program()
    {
        home.writeIni(QStringLiteral("[系统设置]\npdtf=0\n"));
        {
            DataModule seed;
            seed.open(home.databasePath());
            CardBuilder b(seed.database());
            dueToday = b.name(QStringLiteral("今天"))
                           .number("6225880000001111")
                           .statementDay(20)
                           .repaymentDay(5)
                           .insert();
            dueInTwoDays = b.name(QStringLiteral("后天"))
                               .number("6225880000002222")
                               .statementDay(20)
                               .repaymentDay(7)
                               .insert();
        }
        context = std::make_unique<AppContext>(home.home());
        context->clock = &clock;
        assembly = std::make_unique<AppAssembly>(*context, AppAssembly::Options{.withLogin = false});
        window = &assembly->window();
        reminder = &assembly->reminder();
        data = &assembly->data();
        assembly->tray().overrideTrayAvailable(true);
        window->show();
    }
    QString label(int i) const { return window->cardPage()->countLabel(i)->text(); }
    QStringList figures() const { return {label(0), label(2), label(7), reminder->heading()}; }
    // A new card typed into the editor and left unsaved; `valid` or with a statement day refused.
    void typeCard(bool valid)
    {
        CardPage* page = window->cardPage();
        page->setEditorHeight(CardPage::kEditorOpenHeight);
        page->findChild<QToolButton*>("nbInsert")->click();
        type(page->findChild<QLineEdit*>("cardNameEdit"), QStringLiteral("新卡"));
        type(page->findChild<QLineEdit*>("statementDayEdit"),
             valid ? QStringLiteral("3") : QStringLiteral("35"));
        type(page->findChild<QLineEdit*>("repaymentDayEdit"), QStringLiteral("21"));
    }
    int cards() { return Stored::count(data->database(), QStringLiteral("SELECT * FROM txyk")); }
};

// Answers the next modal box that opens: records the window it belongs to, then closes it.
class ModalWatcher : public QObject
{
public:
    QWidget* parentOfBox = nullptr;
    QString text;
    ModalWatcher()
    {
        m_timer.setInterval(5);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            m_timer.stop();
            parentOfBox = box->parentWidget();
            text = box->text();
            box->done(QMessageBox::Ok);
        });
        m_timer.start();
    }

private:
    QTimer m_timer;
};
} // namespace

class TestWindowCommands : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void countsFollowPaidMarks();
    void boxOpenedUnderReminderComesInFront();
    void quitHandsPendingCardToSave_data();
    void quitHandsPendingCardToSave();
};

void TestWindowCommands::init()
{
    MessageBox::clearShownTexts();
    MessageBox::setSuppressAll(true);
}

void TestWindowCommands::cleanup()
{
    MessageBox::setSuppressAll(false);
}

// "当月已还清", "当月未还清" and the reminder's "还清" renew the counts and the heading at once.
void TestWindowCommands::countsFollowPaidMarks()
{
    Program p;
    const QStringList before = {"1天内需还:1张", "3天内需还:2张", "3天内共需还款:2张", "3天内共需还：2张"};
    QCOMPARE(p.figures(), before);
    QVERIFY(p.reminder->isVisible());

    QMenu* menu = p.window->cardPage()->gridMenu();
    QVERIFY(p.data->cards().locate("id", p.dueToday));
    menu->findChild<QAction*>("markRepaidAction")->trigger();
    QCOMPARE(p.figures(),
             QStringList({"1天内需还:0张", "3天内需还:1张", "3天内共需还款:1张", "3天内共需还：1张"}));
    menu->findChild<QAction*>("markNotRepaidAction")->trigger();
    QCOMPARE(p.figures(), before);

    // The reminder stands on its first card; after "还清" the list and the figures hold one card.
    QTest::mouseClick(p.reminder->findChild<QToolButton*>("markRepaidButton"), Qt::LeftButton);
    QCOMPARE(int(p.reminder->cards().size()), 1);
    QCOMPARE(p.figures().mid(1), QStringList({"3天内需还:1张", "3天内共需还款:1张", "3天内共需还：1张"}));
    QTest::mouseClick(p.reminder->findChild<QToolButton*>("markRepaidButton"), Qt::LeftButton);
    QCOMPARE(p.figures(),
             QStringList({"1天内需还:0张", "3天内需还:0张", "3天内共需还款:0张", "3天内共需还：0张"}));
    QVERIFY(MessageBox::shownTexts().isEmpty());
}

// The stay-on-top reminder covers every other window of the program: a box that a command of the
// reminder raises (here the editor's refusal of a half-typed card) belongs to the reminder.
void TestWindowCommands::boxOpenedUnderReminderComesInFront()
{
    Program p;
    QVERIFY(p.reminder->isVisible());
    p.typeCard(false);
    MessageBox::setSuppressAll(false); // the real box, answered by the watcher
    ModalWatcher watcher;
    QTest::mouseClick(p.reminder->findChild<QToolButton*>("markRepaidButton"), Qt::LeftButton);
    QCOMPARE(watcher.text, QStringLiteral("账单日必须是1到31之间的整数。"));
    QCOMPARE(watcher.parentOfBox, p.reminder);
    QCOMPARE(p.data->cards().state(), Query::State::Insert); // nothing lost, nothing marked
    QCOMPARE(Stored::field(p.data->database(), p.dueToday, "tf").toInt(), 0);

    // Without the reminder a box opens over the window that asks.
    p.reminder->close();
    ModalWatcher second;
    p.window->cardPage()->gridMenu()->findChild<QAction*>("markRepaidAction")->trigger();
    QCOMPARE(second.text, QStringLiteral("账单日必须是1到31之间的整数。"));
    QCOMPARE(second.parentOfBox->window(), p.window);
}

void TestWindowCommands::quitHandsPendingCardToSave_data()
{
    // clang-format off
    QTest::addColumn<bool>("valid");
    QTest::addColumn<bool>("leaveAnyway");
    QTest::addColumn<QStringList>("asked");
    QTest::addColumn<bool>("quits");
    const QString exit = QStringLiteral("您真的要退出吗？");
    const QString refused = QStringLiteral("账单日必须是1到31之间的整数。");
    const QString unsaved = QStringLiteral("正在编辑的卡片尚未保存，仍要退出吗？");
    QTest::newRow("valid card: saved, then quit") << true  << false << QStringList{exit} << true;
    QTest::newRow("refused card: go back")        << false << false << QStringList{exit, refused, unsaved} << false;
    QTest::newRow("refused card: leave anyway")   << false << true  << QStringList{exit, refused, unsaved} << true;
    // clang-format on
}

// "退出软件" with a card typed and hidden to the tray: the card goes through the editor's save;
// a refused card makes the quit ask, and the user may go back to it.
void TestWindowCommands::quitHandsPendingCardToSave()
{
    QFETCH(bool, valid);
    QFETCH(bool, leaveAnyway);
    QFETCH(QStringList, asked);
    QFETCH(bool, quits);
    Program p;
    p.reminder->close();
    const int cardsBefore = p.cards();
    p.typeCard(valid);
    p.window->hideToTray();
    p.window->snoozeTimer().start(60000); // stopped only by a quit

    MessageBox::setNextAnswer(QMessageBox::Yes); // "您真的要退出吗？"
    if (!valid) {
        MessageBox::setNextAnswer(QMessageBox::Ok); // the editor's refusal
        MessageBox::setNextAnswer(leaveAnyway ? QMessageBox::Yes : QMessageBox::No);
    }
    p.window->requestExit();
    QCOMPARE(MessageBox::shownTexts(), asked);
    QCOMPARE(!p.window->snoozeTimer().isActive(), quits);
    QCOMPARE(p.cards(), cardsBefore + (valid ? 1 : 0));
    if (!quits) {
        // Back to the card as typed, in sight.
        QTRY_VERIFY(p.window->isVisible());
        QCOMPARE(p.data->cards().state(), Query::State::Insert);
        QCOMPARE(p.window->pages()->currentWidget(), p.window->cardPage());
        QCOMPARE(p.window->cardPage()->findChild<QLineEdit*>("statementDayEdit")->text(),
                 QStringLiteral("35"));
    }
}

QTEST_MAIN(TestWindowCommands)
#include "tst_windowcommands.moc"
