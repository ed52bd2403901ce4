// Writes a picture of the month view "还款日历" with the sample cards:
// repayment_calendar_screenshot <file.png> [--dark]. Runs offscreen; used for the README.
#include "DemoScreenshot.h"
#include "views/RepaymentMonthModel.h"
#include "views/RepaymentMonthPage.h"

#include <QTabWidget>
#include <QTableView>
#include <QTest>

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString file = screenshotFile(argc, argv, "repayment_calendar_screenshot <file.png> [--dark]");
    if (file.isEmpty())
        return 2;

    DemoWindow demo;
    MainWindow& window = demo.window();
    window.state().reminderShown = true; // the reminder would stand over the page
    window.state().reminderShownOn = demo.clock.today();
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    RepaymentMonthPage* page = window.monthPage();
    window.pages()->setCurrentWidget(page);
    // Enter on today lists its cards below the grid.
    page->grid()->setFocus();
    page->grid()->setCurrentIndex(page->model()->indexOf(demo.clock.today()));
    QTest::keyClick(page->grid(), Qt::Key_Return);
    QTest::qWait(50);
    return window.grab().save(file) ? 0 : 1;
}
