#pragma once

// The set-up shared by the tools that write the README's pictures: the sample cards in the main
// window on a throw-away home, on 2013-09-05 after the day's refresh pass. Offscreen.
#include "app/AppAssembly.h"
#include "app/DemoData.h"
#include "app/MainWindow.h"
#include "billing/RefreshPass.h"
#include "store/DataModule.h"
#include "support/DarkPalette.h"
#include "support/TempHome.h"
#include "ui/AppContext.h"

#include <QApplication>
#include <memory>

// The picture's file from "<file.png> [--dark]" (--dark: under a dark desktop palette); empty,
// with `usage` printed, when no file is named. Call after the QApplication is made.
inline QString screenshotFile(int argc, char* argv[], const char* usage)
{
    QApplication::setApplicationName(QStringLiteral("Velmora"));
    if (argc < 2) {
        qWarning("usage: %s", usage);
        return {};
    }
    if (argc > 2 && qstrcmp(argv[2], "--dark") == 0) {
        QApplication::setStyle(QStringLiteral("Fusion"));
        QApplication::setPalette(darkPalette());
    }
    return QString::fromLocal8Bit(argv[1]);
}

struct DemoWindow
{
    TempHome home;
    FixedClock clock{QDate(2013, 9, 5)};
    AppContext context{home.home()};
    DataModule data;
    RefreshResult result;
    std::unique_ptr<AppAssembly> assembly;

    DemoWindow()
    {
        context.clock = &clock;
        data.open(home.databasePath());
        DemoData::seed(data.database(), clock.today());
        data.holders().close(); // opened before the sample holders went in
        data.holders().open();
        result = RefreshPass(data, clock).run();
        assembly =
            std::make_unique<AppAssembly>(context, AppAssembly::Options{.data = &data, .withLogin = false});
    }

    MainWindow& window() { return assembly->window(); }
};
