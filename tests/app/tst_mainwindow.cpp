#include "app/AppContext.h"
#include "app/LoginDialog.h"
#include "app/MainWindow.h"
#include "app/TrayController.h"
#include "remind/ReminderWindow.h"
#include "store/DataModule.h"
#include "support/TempHome.h"
#include "views/CardPage.h"
#include "views/HolderDialog.h"

#include <QLabel>
#include <QTabWidget>
#include <QtTest>

class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void showsFourTabsInOrder();
    void presetsLabelsAndFoldsEditor();
    void closeBoxKeepsWindowAndStopsAutoMinimize();
};

void TestMainWindow::showsFourTabsInOrder()
{
    TempHome home;
    AppContext context(home.home());
    MainWindow window(context);
    QCOMPARE(window.objectName(), QStringLiteral("TForm1"));
    QCOMPARE(window.windowTitle(), QStringLiteral("VelmoraV2.0"));
    QCOMPARE(window.size(), QSize(1028, 670));
    QTabWidget* pages = window.findChild<QTabWidget*>(QStringLiteral("PageControl1"));
    QVERIFY(pages);
    QStringList names, visible;
    for (int i = 0; i < pages->count(); ++i) {
        names << pages->widget(i)->objectName();
        if (pages->isTabVisible(i))
            visible << pages->tabText(i);
    }
    QCOMPARE(names, QStringList({"TabSheet1", "TabSheet2", "TabSheet4", "TabSheet6", "TabSheet3", "TabSheet5",
                                 "TabSheet7"}));
    QCOMPARE(visible, QStringList({"信用卡信息", "银行网站及电话", "在线申请信用卡", "系统设置"}));
    QCOMPARE(pages->currentWidget()->objectName(), QStringLiteral("TabSheet2"));

    window.setCardTabVisible(false);
    QCOMPARE(pages->currentWidget()->objectName(), QStringLiteral("TabSheet4"));
    window.setCardTabVisible(true);
    QVERIFY(window.isCardTabVisible());
}

void TestMainWindow::presetsLabelsAndFoldsEditor()
{
    TempHome home;
    FixedClock clock(QDate(2013, 9, 5));
    AppContext context(home.home());
    context.clock = &clock;
    MainWindow window(context);
    QCOMPARE(window.findChild<QLabel*>(QStringLiteral("Label31"))->text(),
             QStringLiteral("当前日期:2013-9-5"));
    QStringList texts;
    for (int i = 32; i <= 39; ++i)
        texts << window.findChild<QLabel*>(QStringLiteral("Label%1").arg(i))->text();
    QCOMPARE(texts, QStringList({"1天内需还:", "2天内需还:", "3天内需还:", "7天内需还:", "10天内需还:",
                                 "15天内需还:", "已经过期:", "3天内共需还:"}));
    QCOMPARE(window.findChild<QWidget*>(QStringLiteral("Panel2"))->height(), 0);
    QVERIFY(!window.state().refreshed);
    QVERIFY(!window.state().pwdProtect);
    QCOMPARE(window.state().autoMinMinutes, 0);
}

void TestMainWindow::closeBoxKeepsWindowAndStopsAutoMinimize()
{
    TempHome home;
    AppContext context(home.home());
    MainWindow window(context);
    window.tray()->overrideTrayAvailable(true);
    window.autoMinimizeTimer().setInterval(60000);
    window.show();
    window.autoMinimizeTimer().start();
    QSignalSpy closeSpy(&window, &MainWindow::closeRequested);
    QVERIFY(!window.close());
    QVERIFY(window.tray()->isHidden()); // in the notification area, still running
    QVERIFY(!window.autoMinimizeTimer().isActive());
    QCOMPARE(closeSpy.count(), 1);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
