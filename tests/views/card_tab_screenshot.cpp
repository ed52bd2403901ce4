// Writes a picture of the card tab with the sample cards: card_tab_screenshot <file.png> [--dark]
// Runs offscreen; used for the README's screenshots (--dark: under a dark desktop palette).
#include "DemoScreenshot.h"
#include "views/CardPage.h"

#include <QLabel>
#include <QTableView>
#include <QTest>

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString file = screenshotFile(argc, argv, "card_tab_screenshot <file.png> [--dark]");
    if (file.isEmpty())
        return 2;

    DemoWindow demo;
    MainWindow& window = demo.window();
    CardPage* page = window.cardPage();
    for (int i = 0; i < 8 && i < demo.result.labelTexts.size(); ++i)
        page->countLabel(i)->setText(demo.result.labelTexts.at(i));
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    page->toggleEditor();
    demo.data.cards().moveTo(1);
    QTest::qWait(50);
    return window.grab().save(file) ? 0 : 1;
}
