#pragma once

#include <memory>

struct AppContext;
class DataModule;
class HolderDialog;
class LoginDialog;
class MainWindow;
class ReminderWindow;
class TrayController;

// The one place that builds the main window with everything it works with: the program, its
// benchmark, its picture tools and the tests all start the window through it.
class AppAssembly
{
public:
    struct Options
    {
        // Open the home's database (a failure is told and the window comes up without cards).
        bool openDatabase = true;
        // An open data module to work with instead (tests and tools that fill their own).
        DataModule* data = nullptr;
        // Without the login dialog protection never asks (tests of the window's other parts).
        bool withLogin = true;
    };

    explicit AppAssembly(AppContext& context) : AppAssembly(context, Options{}) {}
    AppAssembly(AppContext& context, const Options& options);
    ~AppAssembly();

    MainWindow& window() const { return *m_window; }
    DataModule& data() const { return *m_data; }
    TrayController& tray() const { return *m_tray; }
    ReminderWindow& reminder() const { return *m_reminder; }
    HolderDialog& holders() const { return *m_holders; }
    LoginDialog* login() const { return m_login; }

private:
    std::unique_ptr<DataModule> m_ownData; // outlives every window bound to its lists
    DataModule* m_data = nullptr;
    std::unique_ptr<MainWindow> m_window;
    // Owned by the main window once it exists.
    TrayController* m_tray = nullptr;
    ReminderWindow* m_reminder = nullptr;
    HolderDialog* m_holders = nullptr;
    LoginDialog* m_login = nullptr;
};
