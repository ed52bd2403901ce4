#include "app/AppAssembly.h"

#include "app/LoginDialog.h"
#include "app/MainWindow.h"
#include "app/StartupProbe.h"
#include "app/TrayController.h"
#include "remind/ReminderWindow.h"
#include "store/DataModule.h"
#include "ui/AppContext.h"
#include "ui/ShowErrors.h"
#include "views/HolderDialog.h"

#include <QTimer>

AppAssembly::AppAssembly(AppContext& context, const Options& options)
{
    if (options.data) {
        m_data = options.data;
    } else {
        m_ownData = std::make_unique<DataModule>();
        m_data = m_ownData.get();
        if (options.openDatabase)
            ui::showErrors(nullptr, [&] { m_data->open(context.home.databasePath()); });
    }
    context.data = m_data;
    markStartupStep("open database");

    // Made parentless here; the main window takes them as its own children.
    auto tray = std::make_unique<TrayController>();
    markStartupStep("tray icon and menu");
    auto snoozeTimer = std::make_unique<QTimer>();
    auto reminder = std::make_unique<ReminderWindow>(*m_data, *context.clock, *snoozeTimer);
    markStartupStep("reminder window");
    auto holders = std::make_unique<HolderDialog>();
    markStartupStep("holder dialog");
    auto login = options.withLogin ? std::make_unique<LoginDialog>() : nullptr;
    markStartupStep("login dialog");
    m_window = std::make_unique<MainWindow>(
        context, MainWindow::Parts{*m_data, *tray, *reminder, *holders, *snoozeTimer, login.get()});
    snoozeTimer.release();
    m_tray = tray.release();
    m_reminder = reminder.release();
    m_holders = holders.release();
    m_login = login.release();
}

AppAssembly::~AppAssembly()
{
    m_window.reset(); // with its dialogs, before the data module their lists belong to
}
