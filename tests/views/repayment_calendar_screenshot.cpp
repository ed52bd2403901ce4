// Writes a picture of the month view "还款日历" with the sample cards:
// repayment_calendar_screenshot <file.png> [--dark]. Runs offscreen; used for the README.
#include "app/AppAssembly.h"
#include "app/DemoData.h"
#include "app/MainWindow.h"
#include "billing/RefreshPass.h"
#include "store/DataModule.h"
#include "support/DarkPalette.h"
#include "support/TempHome.h"
#include "ui/AppContext.h"
#include "views/RepaymentMonthModel.h"
#include "views/RepaymentMonthPage.h"

#include <QApplication>
#include <QTabWidget>
#include <QTableView>
#include <QTest>

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Velmora"));
    if (argc < 2) {
        qWarning("usage: repayment_calendar_screenshot <file.png> [--dark]");
        return 2;
    }
    if (argc > 2 && qstrcmp(argv[2], "--dark") == 0) {
        QApplication::setStyle(QStringLiteral("Fusion"));
        QApplication::setPalette(darkPalette());
    }

    TempHome home;
    FixedClock clock(QDate(2013, 9, 5));
    AppContext context(home.home());
    context.clock = &clock;
    DataModule data;
    data.open(home.databasePath());
    DemoData::seed(data.database(), clock.today());
    data.holders().close(); // opened before the sample holders went in
    data.holders().open();
    RefreshPass(data, clock).run();
    AppAssembly assembly(context, {.data = &data, .withLogin = false});
    MainWindow& window = assembly.window();
    window.state().reminderShown = true; // the reminder would stand over the page
    window.state().reminderShownOn = clock.today();
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    RepaymentMonthPage* page = window.monthPage();
    window.pages()->setCurrentWidget(page);
    // Enter on today lists its cards below the grid.
    page->grid()->setFocus();
    page->grid()->setCurrentIndex(page->model()->indexOf(clock.today()));
    QTest::keyClick(page->grid(), Qt::Key_Return);
    QTest::qWait(50);
    return window.grab().save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
