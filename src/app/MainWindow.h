#pragma once

#include "app/LoginGate.h"

#include <QDate>
#include <QMainWindow>
#include <QTimer>
#include <functional>
#include <memory>

struct AppContext;
class BackgroundSync;
class BankPage;
struct CardFacts;
class DayWatcher;
class CardPage;
class DataModule;
class DesktopNotices;
class HolderDialog;
class JournalPage;
class LoginDialog;
class MailReminder;
class ParameterPage;
class PromoPage;
class QTabWidget;
class RefreshJobs;
struct RefreshResult;
class RepaymentMonthPage;
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
        // The day the reminder was held back because the card tab was locked; the next
        // successful login of that day shows it.
        QDate reminderWithheldOn;
        // Cards the user was last told the refresh pass could not compute.
        QList<int> skippedCardsTold;
    };

    // What the window works with, made before it by the program's assembly (AppAssembly).
    // The dialogs and the tray controller become the window's own children.
    struct Parts
    {
        DataModule& data;
        TrayController& tray;
        ReminderWindow& reminder;
        HolderDialog& holders;
        QTimer& snoozeTimer;          // which the reminder arms
        LoginDialog* login = nullptr; // none: protection never asks (tests of the other parts)
    };

    // How a hidden or minimized window comes back.
    enum class Restore {
        DoubleClick, // keeps a maximized window maximized; hides the card tab under protection
        Menu,        // "显示主界面": normal size; hides the card tab under protection
        SnoozeTick,  // the snooze timer: stops it first; normal size; the card tab stays as it is
        Activation,  // a second start of the program: like a double click, but a window that is
                     // already shown is only brought forward (no lock-out without a login)
    };

    MainWindow(AppContext& context, const Parts& parts);
    ~MainWindow() override;

    State& state() { return m_state; }
    QTabWidget* pages() const { return m_pages; }
    CardPage* cardPage() const { return m_cardPage; }
    RepaymentMonthPage* monthPage() const { return m_monthPage; }
    SettingsPage* settingsPage() const { return m_settingsPage; }
    QTimer& snoozeTimer() { return m_snoozeTimer; }
    QTimer& autoMinimizeTimer() { return m_autoMinimizeTimer; }
    MailReminder* mailReminder() const { return m_mailReminder; }
    DayWatcher* dayWatcher() const { return m_dayWatcher; }

    // The daily reminder mail check, run on every hide of the window to the tray.
    void checkDailyMail();

    // The show handling, for a window that comes back from a minimized state without a new show.
    void runShowHandling() { formShow(); }

    // Shows or hides the card tab's button; a hidden current page gives way to the next tab.
    void setCardTabVisible(bool visible);
    bool isCardTabVisible() const;

    // Hidden and shown states. Hiding (minimize button, close box, the auto-minimize timer)
    // makes the window invisible and shows the tray icon. Where the desktop has no
    // notification area the window is minimized instead, so it can always be brought back.
    // Each shown -> hidden transition raises minimized() exactly once. Restoring (double click,
    // "显示主界面", the snooze timer) makes the window visible again, which runs its show
    // handling (login gate, refresh, re-arming the auto-minimize timer).
    void hideToTray(); // no balloon
    // The minimize button and the close box: hide, then the balloon "温馨提示:".
    void hideByCommand();
    void restore(Restore how);
    // The same, from the event loop: what asks for it (the icon, a timer, a socket) may be gone
    // by the time the login's event loop inside the restore returns.
    void requestRestore(Restore how);
    // The start in the tray (a setting, or --minimized): the window stays hidden unless the day's
    // reminder has cards to show, then it comes up with it (after the login under protection).
    // Without a notification area it is shown as usual.
    void startInTray();
    bool isHiddenToTray() const { return m_hidden; }
    // "退出软件": asks "您真的要退出吗？"; Yes stops both timers and ends the program. A card
    // being edited is saved first; when its save is refused, the user may go back to it.
    void requestExit();

    // Ends the program without asking (the exit after its confirmation).
    void quit();

signals:
    void closeRequested(); // the close box was used
    void minimized();      // the application's minimize notification
    void balloonShown(const QString& title, const QString& text, int msecs);
    // A refresh of the window finished: the counts, the reminder and its decision are done. What
    // else follows each refresh (the calendar file aside) hangs on this.
    void refreshed(const RefreshResult& result);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void formCreate();
    void formShow();
    void runLoginGate();
    // The day's work, at the first show of a refresh cycle and when the day turns: the daily
    // backup, the refresh pass, the counts, the reminder (shown when `unlocked` or unprotected),
    // the calendar file.
    void runDay(bool unlocked);
    void runNewDay(); // the day turned while the program runs: the day's work and mail, once
    void runRefreshPass(bool unlocked);
    void showSecrets(bool opened);
    bool secretsSealed() const; // the card lists after the key was opened or dropped
    void formShowMailNotice();  // a reminder mail problem no balloon could tell, once
    void connectData();         // the pages and dialogs to the lists of an open database
    void onWindowStateChanged(Qt::WindowStates oldState);
    void onNativeWindowStateChanged(Qt::WindowState state);
    void hideAfterMinimize();
    void bringForward();
    // The reminder opens above this window, also where only a transient is stacked above it.
    void showReminderOverWindow();
    // A problem that must reach the user: a desktop notice, else a message box.
    void tellUser(const QString& text);
    void writeDueCalendar();                             // the calendar file after a refresh pass, once
    void showRefreshResult(const RefreshResult& result); // counts, skipped cards, reminder decision
    void tellRefreshProblem(const QString& text);        // each problem once a day
    // The CalDAV calendar after a refresh pass, off the UI thread, when one is set.
    void syncCalendar(const QList<CardFacts>& cards);
    void showReminderOnTop();
    void renewReminderHeading(); // from the reminder's cards
    void rereadDueSoonCards();   // after a paid mark outside the reminder
    bool pendingEditAllowsExit();

    AppContext& m_context;
    State m_state;
    QTabWidget* m_pages = nullptr;
    JournalPage* m_journalPage = nullptr;
    CardPage* m_cardPage = nullptr;
    RepaymentMonthPage* m_monthPage = nullptr; // "还款日历"
    BankPage* m_bankPage = nullptr;
    PromoPage* m_promoPage = nullptr;
    ParameterPage* m_parameterPage = nullptr;
    QWidget* m_bankPhonePage = nullptr;
    SettingsPage* m_settingsPage = nullptr;
    QTimer& m_snoozeTimer;
    QTimer m_autoMinimizeTimer;
    DataModule& m_data;
    TrayController& m_tray;
    ReminderWindow& m_reminder;
    HolderDialog& m_holders;
    LoginDialog* m_login = nullptr;
    MailReminder* m_mailReminder = nullptr;
    DayWatcher* m_dayWatcher = nullptr;
    DesktopNotices* m_notices = nullptr;
    BackgroundSync* m_calendarSync = nullptr;
    LoginGate m_loginGate;
    std::unique_ptr<RefreshJobs> m_refreshJobs; // daily backup, calendar file
    std::unique_ptr<CardLock> m_cardLock;       // the card secrets behind the login and the settings
    bool m_quitting = false;
    bool m_hidden = false;                // hidden to the tray (or minimized for want of one) by the program
    bool m_painted = false;               // the first paint is done
    bool m_hideWhenTrayComes = false;     // started for the tray before there was one
    bool m_bringingForward = false;       // hidden and shown again only to come in front
    bool m_reminderWaitsForPaint = false; // shown once this window is on screen
    std::function<void()> m_pendingCalendar; // the calendar write of the last pass, until painted
    QStringList m_problemsTold;              // refresh problems told ...
    QDate m_problemsToldOn;                  // ... on this day
    QString m_mailNotice;                    // for the next show
};
