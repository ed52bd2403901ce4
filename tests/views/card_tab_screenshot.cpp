// Writes a picture of the card tab with the sample cards: card_tab_screenshot <file.png> [--dark]
// Runs offscreen; used for the README's screenshots (--dark: under a dark desktop palette).
#include "app/AppAssembly.h"
#include "app/DemoData.h"
#include "app/MainWindow.h"
#include "billing/RefreshPass.h"
#include "store/DataModule.h"
#include "support/DarkPalette.h"
#include "support/TempHome.h"
#include "ui/AppContext.h"
#include "views/CardPage.h"

#include <QApplication>
#include <QLabel>
#include <QTableView>
#include <QTest>

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Velmora"));
    if (argc < 2) {
        qWarning("usage: card_tab_screenshot <file.png> [--dark]");
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
    const RefreshResult result = RefreshPass(data, clock).run();
    AppAssembly assembly(context, {.data = &data, .withLogin = false});
    MainWindow& window = assembly.window();

    CardPage* page = window.cardPage();
    for (int i = 0; i < 8 && i < result.labelTexts.size(); ++i)
        page->countLabel(i)->setText(result.labelTexts.at(i));
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    page->toggleEditor();
    data.cards().moveTo(1);
    QTest::qWait(50);
    return window.grab().save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
