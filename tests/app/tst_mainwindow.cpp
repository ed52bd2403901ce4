#include "app/AppAssembly.h"
#include "app/LoginDialog.h"
#include "app/MainWindow.h"
#include "app/TrayController.h"
#include "cli/AppSetup.h"
#include "remind/ReminderWindow.h"
#include "store/DataModule.h"
#include "support/TempHome.h"
#include "ui/AppContext.h"
#include "views/CardPage.h"
#include "views/HolderDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QWheelEvent>
#include <QtTest>

class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void showsTheTabsInOrder();
    void presetsLabelsAndFoldsEditor();
    void closeBoxKeepsWindowAndStopsAutoMinimize();
    void keyboardReachesShownPagesOnly_data();
    void keyboardReachesShownPagesOnly();
    void applicationSetUp();
    void dialogFramesHaveNoMinimizeOrMaximize();
};

void TestMainWindow::showsTheTabsInOrder()
{
    TempHome home;
    AppContext context(home.home());
    AppAssembly assembly(context, {.openDatabase = false, .withLogin = false});
    MainWindow& window = assembly.window();
    QCOMPARE(window.objectName(), QStringLiteral("mainWindow"));
    QCOMPARE(window.windowTitle(), QStringLiteral("VelmoraV2.0"));
    QCOMPARE(window.size(), QSize(1028, 670));
    QTabWidget* pages = window.findChild<QTabWidget*>(QStringLiteral("pages"));
    QVERIFY(pages);
    QStringList names, visible;
    for (int i = 0; i < pages->count(); ++i) {
        names << pages->widget(i)->objectName();
        if (pages->isTabVisible(i))
            visible << pages->tabText(i);
    }
    // The pages without a tab (the planner's, the unused second web view) are not in the tab list.
    QCOMPARE(names,
             QStringList({"cardPage", "RepaymentCalendarPage", "bankPage", "promoPage", "settingsPage"}));
    for (const char* hidden : {"cashFlowJournalPage", "cashFlowParameterPage", "bankPhonePage"})
        QVERIFY(window.findChild<QWidget*>(QLatin1String(hidden))->isHidden());
    QCOMPARE(visible,
             QStringList({"信用卡信息", "还款日历", "银行网站及电话", "在线申请信用卡", "系统设置"}));
    QCOMPARE(pages->currentWidget()->objectName(), QStringLiteral("cardPage"));

    window.setCardTabVisible(false);
    QCOMPARE(pages->currentWidget()->objectName(), QStringLiteral("bankPage"));
    // The month view names the cards: it is locked with the card tab, and gives way the same.
    window.setCardTabVisible(true);
    QVERIFY(window.isCardTabVisible());
    pages->setCurrentIndex(1);
    window.setCardTabVisible(false);
    QVERIFY(!pages->isTabVisible(1));
    QCOMPARE(pages->currentWidget()->objectName(), QStringLiteral("bankPage"));
    window.setCardTabVisible(true);
    QVERIFY(pages->isTabVisible(1));
}

void TestMainWindow::presetsLabelsAndFoldsEditor()
{
    TempHome home;
    FixedClock clock(QDate(2013, 9, 5));
    AppContext context(home.home());
    context.clock = &clock;
    AppAssembly assembly(context, {.openDatabase = false, .withLogin = false});
    MainWindow& window = assembly.window();
    QCOMPARE(window.findChild<QLabel*>(QStringLiteral("todayLabel"))->text(),
             QStringLiteral("当前日期:2013-9-5"));
    QStringList texts;
    for (int i = 0; i < 8; ++i)
        texts << window.findChild<QLabel*>(CardPage::countLabelName(i))->text();
    QCOMPARE(texts, QStringList({"1天内需还:", "2天内需还:", "3天内需还:", "7天内需还:", "10天内需还:",
                                 "15天内需还:", "已经过期:", "3天内共需还:"}));
    QCOMPARE(window.findChild<QWidget*>(QStringLiteral("cardEditorPanel"))->height(), 0);
    QVERIFY(!window.state().refreshed);
    QVERIFY(window.state().pwdProtect); // no pdtf key: protection is on from the start
    QCOMPARE(window.state().autoMinMinutes, 0);
}

void TestMainWindow::closeBoxKeepsWindowAndStopsAutoMinimize()
{
    TempHome home;
    AppContext context(home.home());
    AppAssembly assembly(context, {.openDatabase = false, .withLogin = false});
    MainWindow& window = assembly.window();
    assembly.tray().overrideTrayAvailable(true);
    window.autoMinimizeTimer().setInterval(60000);
    window.show();
    window.autoMinimizeTimer().start();
    QSignalSpy closeSpy(&window, &MainWindow::closeRequested);
    QVERIFY(!window.close());
    QVERIFY(window.isHiddenToTray()); // in the notification area, still running
    QVERIFY(!window.autoMinimizeTimer().isActive());
    QCOMPARE(closeSpy.count(), 1);
}

void TestMainWindow::keyboardReachesShownPagesOnly_data()
{
    // clang-format off
    QTest::addColumn<int>("key"); // or a wheel turn: ±120
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("onTabBar");
    QTest::addColumn<bool>("cardTabShown");
    for (const bool card : {true, false}) {
        const char* locked = card ? "" : ", card tab locked";
        QTest::addRow("Ctrl+Tab%s", locked)                  << int(Qt::Key_Tab)     << int(Qt::ControlModifier)                     << false << card;
        QTest::addRow("Ctrl+Shift+Tab%s", locked)            << int(Qt::Key_Backtab) << int(Qt::ControlModifier | Qt::ShiftModifier) << false << card;
        QTest::addRow("Right on the tab bar%s", locked)      << int(Qt::Key_Right)   << 0                                            << true  << card;
        QTest::addRow("Left on the tab bar%s", locked)       << int(Qt::Key_Left)    << 0                                            << true  << card;
        QTest::addRow("wheel down on the tab bar%s", locked) << -120                 << 0                                            << true  << card;
        QTest::addRow("wheel up on the tab bar%s", locked)   << 120                  << 0                                            << true  << card;
    }
    // clang-format on
}

void TestMainWindow::keyboardReachesShownPagesOnly()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(bool, onTabBar);
    QFETCH(bool, cardTabShown);
    TempHome home;
    AppContext context(home.home());
    AppAssembly assembly(context, {.openDatabase = false, .withLogin = false});
    MainWindow& window = assembly.window();
    window.show();
    QTabWidget* pages = window.pages();
    window.setCardTabVisible(cardTabShown);
    QSet<QString> reached;
    for (int i = 0; i < 2 * pages->count(); ++i) {
        if (key == 120 || key == -120) {
            QWheelEvent wheel(QPointF(5, 5), pages->tabBar()->mapToGlobal(QPointF(5, 5)), QPoint(),
                              QPoint(0, key), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QCoreApplication::sendEvent(pages->tabBar(), &wheel);
            reached << pages->currentWidget()->objectName();
            continue;
        }
        QTest::keyClick(onTabBar ? static_cast<QWidget*>(pages->tabBar()) : pages->currentWidget(),
                        Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        reached << pages->currentWidget()->objectName();
    }
    QSet<QString> shown{"bankPage", "promoPage", "settingsPage"};
    if (cardTabShown)
        shown << QStringLiteral("cardPage") << QStringLiteral("RepaymentCalendarPage");
    if (onTabBar) // arrows stop at the ends; they never pass a hidden page
        QVERIFY2(reached.subtract(shown).isEmpty(), qPrintable(reached.values().join(u' ')));
    else
        QCOMPARE(reached, shown);
}

void TestMainWindow::applicationSetUp()
{
    setUpApplication(*QCoreApplication::instance());
    QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("Velmora"));
    // No display name of its own: the window system would append it to every caption.
    QCoreApplication::setApplicationName(QStringLiteral("probe"));
    QCOMPARE(QGuiApplication::applicationDisplayName(), QStringLiteral("probe"));
    QCoreApplication::setApplicationName(QStringLiteral("Velmora"));
    // Qt's own texts come in Chinese.
    QDialogButtonBox buttons(QDialogButtonBox::Cancel | QDialogButtonBox::Yes);
    QCOMPARE(buttons.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("取消"));
}

void TestMainWindow::dialogFramesHaveNoMinimizeOrMaximize()
{
    TempHome home;
    AppContext context(home.home());
    AppAssembly assembly(context, {.openDatabase = false}); // the dialogs as the window owns them
    LoginDialog& login = *assembly.login();
    ReminderWindow& reminder = assembly.reminder();
    QCOMPARE(login.parentWidget(), &assembly.window());
    for (QWidget* w : {static_cast<QWidget*>(&login), static_cast<QWidget*>(&reminder)}) {
        const Qt::WindowFlags flags = w->windowFlags();
        QVERIFY2(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)),
                 qPrintable(w->objectName()));
        QVERIFY(flags & Qt::WindowCloseButtonHint);
        QVERIFY(flags & Qt::CustomizeWindowHint); // only what is asked for, no defaults added
        QCOMPARE(w->minimumSize(), w->maximumSize());
    }
    QCOMPARE(login.windowTitle(), QStringLiteral("登录"));
    QCOMPARE(reminder.windowTitle(), QStringLiteral("还款提醒"));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
