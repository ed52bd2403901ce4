#pragma once

#include "app/LoginGate.h"

#include <QDate>
#include <QMainWindow>
#include <QTimer>
#include <memory>

struct AppContext;
class BankPage;
class CardPage;
class DataModule;
class HolderDialog;
class JournalPage;
class LoginDialog;
class MailReminder;
class ParameterPage;
class PromoPage;
class QTabWidget;
class RefreshJobs;
class ReminderWindow;
class SettingsPage;
class TrayController;

// The main window "VelmoraV2.0": one page control carrying the whole interface. It owns the
// run's state flags and orders the show handling (login gate, refresh pass, auto-minimize).
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    struct State
    {
        bool refreshed = false;     // the refresh pass has run since the flag was last cleared
        bool reminderShown = false; // the automatic reminder decision has been taken (per day)
        bool loggedIn = false;      // the login gate accepted the password at this show
        bool pwdProtect = false;    // pdtf
        bool mailOn = false;        // qy
        int autoMinMinutes = 0;     // zxf, 0 = off
        QString mailTo;             // em
        QDate refreshedOn;          // day of the last refresh pass

        // The reminder decision is taken once per calendar day.
        QDate reminderShownOn;
        // Cards the user was last told the refresh pass could not compute.
        QList<int> skippedCardsTold;
    };

    explicit MainWindow(AppContext& context, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The other start-up objects, created after this window in their order.
    void attach(LoginDialog* login, DataModule* data, ReminderWindow* reminder, HolderDialog* holders);

    State& state() { return m_state; }
    AppContext& context() { return m_context; }
    QTabWidget* pages() const { return m_pages; }
    CardPage* cardPage() const { return m_cardPage; }
    SettingsPage* settingsPage() const { return m_settingsPage; }
    QTimer& snoozeTimer() { return m_timer1; }       // Timer1
    QTimer& autoMinimizeTimer() { return m_timer2; } // Timer2
    LoginDialog* loginDialog() const { return m_login; }
    ReminderWindow* reminderWindow() const { return m_reminder; }
    HolderDialog* holderDialog() const { return m_holders; }
    MailReminder* mailReminder() const { return m_mailReminder; }

    // The daily reminder mail check, run on every hide of the window to the tray.
    void checkDailyMail();
    TrayController* tray() const { return m_tray; }

    // The show handling, for a window that comes back from a minimized state without a new show.
    void runShowHandling() { formShow(); }

    // Shows or hides the card tab's button; a hidden current page gives way to the next tab.
    void setCardTabVisible(bool visible);
    bool isCardTabVisible() const;

    // Ends the program without asking (the tray's exit after its confirmation).
    void quit();

signals:
    void closeRequested(); // the close box was used; the tray hides the window

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void formCreate();
    void formShow();
    void runLoginGate();
    void runRefreshPass();
    void showSecrets(bool opened);
    bool secretsSealed() const; // the card lists after the key was opened or dropped
    void formShowMailNotice();  // a reminder mail problem no balloon could tell, once

    AppContext& m_context;
    State m_state;
    QTabWidget* m_pages = nullptr;
    JournalPage* m_journalPage = nullptr;
    CardPage* m_cardPage = nullptr;
    BankPage* m_bankPage = nullptr;
    PromoPage* m_promoPage = nullptr;
    ParameterPage* m_parameterPage = nullptr;
    QWidget* m_bankPhonePage = nullptr;
    SettingsPage* m_settingsPage = nullptr;
    QTimer m_timer1;
    QTimer m_timer2;
    LoginDialog* m_login = nullptr;
    DataModule* m_data = nullptr;
    ReminderWindow* m_reminder = nullptr;
    HolderDialog* m_holders = nullptr;
    MailReminder* m_mailReminder = nullptr;
    TrayController* m_tray = nullptr;
    LoginGate m_loginGate;
    std::unique_ptr<RefreshJobs> m_refreshJobs; // daily backup, calendar file
    std::unique_ptr<CardLock> m_cardLock;       // the card secrets behind the login and the settings
    bool m_quitting = false;
    QString m_mailNotice; // for the next show
};
