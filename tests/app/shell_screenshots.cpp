// Writes pictures of the settings tab and the bank tab for the README:
//   shell_screenshots <settings.png> <bank.png>
// Runs offscreen with a fresh home folder.
#include "app/AppAssembly.h"
#include "app/MainWindow.h"
#include "support/TempHome.h"
#include "ui/AppContext.h"

#include <QApplication>
#include <QTabWidget>
#include <QTest>

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Velmora"));
    if (argc < 3) {
        qWarning("usage: shell_screenshots <settings.png> <bank.png>");
        return 2;
    }

    TempHome home;
    home.writeIni(QStringLiteral("[系统设置]\nroot=1\npdtf=0\nzxf=30\nem=me@example.cn\nqy=1\n"));
    AppContext context(home.home());
    context.settings.savePassword(QStringLiteral("x")); // shows what a forgotten password costs
    AppAssembly assembly(context, {.openDatabase = false, .withLogin = false});
    MainWindow& window = assembly.window();
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;

    bool ok = true;
    for (const auto& [page, file] : {std::pair{"settingsPage", argv[1]}, std::pair{"bankPage", argv[2]}}) {
        window.pages()->setCurrentWidget(window.findChild<QWidget*>(QLatin1String(page)));
        QTest::qWait(50);
        ok = window.grab().save(QString::fromLocal8Bit(file)) && ok;
    }
    return ok ? 0 : 1;
}
