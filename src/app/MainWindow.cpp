#include "app/MainWindow.h"

#include "app/AboutBox.h"
#include "app/Autostart.h"
#include "app/BankPage.h"
#include "app/ClearCopies.h"
#include "app/DayWatcher.h"
#include "app/DesktopNotices.h"
#include "app/LoginDialog.h"
#include "app/PromoPage.h"
#include "app/SettingsPage.h"
#include "app/StartupProbe.h"
#include "app/TrayController.h"
#include "app/WindowSystem.h"
#include "billing/CardFacts.h"
#include "billing/RefreshJobs.h"
#include "billing/RefreshPass.h"
#include "billing/RepaymentCalendar.h"
#include "planner/JournalPage.h"
#include "planner/ParameterPage.h"
#include "planner/PlannerEntry.h"
#include "remind/MailReminder.h"
#include "remind/MailServerDialog.h"
#include "remind/ReminderWindow.h"
#include "store/DataModule.h"
#include "store/DateText.h"
#include "store/Error.h"
#include "store/ProgramLog.h"
#include "store/Query.h"
#include "sync/BackgroundSync.h"
#include "sync/CalendarSyncDialog.h"
#include "ui/AppContext.h"
#include "ui/DialogParent.h"
#include "ui/LoopTimer.h"
#include "ui/MessageBox.h"
#include "ui/PageKeys.h"
#include "ui/ShowErrors.h"
#include "views/CardEditor.h"
#include "views/CardPage.h"
#include "views/HolderDialog.h"
#include "views/RepaymentMonthPage.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QShortcut>
#include <QSystemTrayIcon>
#include <QTabBar>
#include <QTabWidget>
#include <QWheelEvent>
#include <QWindow>
#include <QWindowStateChangeEvent>

#include <utility>

namespace {
// Steps to the next page whose tab is shown, from `from` in direction `step`; -1 when none.
int nextShownTab(const QTabBar* bar, int from, int step, bool wrap)
{
    const int count = bar->count();
    for (int i = 1; i < count; ++i) {
        int page = from + i * step;
        if (wrap)
            page = (page % count + count) % count;
        else if (page < 0 || page >= count)
            return -1;
        if (bar->isTabVisible(page) && bar->isTabEnabled(page))
            return page;
    }
    return -1;
}

// Arrow keys and the wheel on the tab buttons pass over the pages without a shown tab.
class PageBar : public QTabBar
{
public:
    using QTabBar::QTabBar;

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->key() != Qt::Key_Left && event->key() != Qt::Key_Right) {
            QTabBar::keyPressEvent(event);
            return;
        }
        const bool forward = (event->key() == Qt::Key_Right) != isRightToLeft();
        if (const int page = nextShownTab(this, currentIndex(), forward ? 1 : -1, false); page >= 0)
            setCurrentIndex(page);
        event->accept();
    }
    void wheelEvent(QWheelEvent* event) override
    {
        const QPoint delta = event->angleDelta();
        const int d = std::abs(delta.x()) > std::abs(delta.y()) ? delta.x() : delta.y();
        if (d != 0)
            if (const int page = nextShownTab(this, currentIndex(), d > 0 ? -1 : 1, false); page >= 0)
                setCurrentIndex(page);
        event->accept();
    }
};

// The page control. Ctrl+Tab and Ctrl+Shift+Tab step through the pages whose tab is shown
// only: the planner pages and a locked card tab are not reached that way.
class PageControl : public QTabWidget
{
public:
    explicit PageControl(QWidget* parent) : QTabWidget(parent) { setTabBar(new PageBar(this)); }

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        const bool ctrlTab = (event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab) &&
                             (event->modifiers() & Qt::ControlModifier);
        if (!ctrlTab || count() < 2) {
            QTabWidget::keyPressEvent(event);
            return;
        }
        const bool back = event->key() == Qt::Key_Backtab || (event->modifiers() & Qt::ShiftModifier);
        if (const int page = nextShownTab(tabBar(), currentIndex(), back ? -1 : 1, true); page >= 0)
            setCurrentIndex(page);
        event->accept();
    }
};
} // namespace

namespace {
const QString kBalloonTitle = QStringLiteral("温馨提示:");
const QString kBalloonText = QStringLiteral("Velmora正在运行中.....");
constexpr int kBalloonMsecs = 10000;
} // namespace

MainWindow::MainWindow(AppContext& context, const Parts& parts)
    : m_context(context), m_snoozeTimer(parts.snoozeTimer), m_data(parts.data), m_tray(parts.tray),
      m_reminder(parts.reminder), m_holders(parts.holders), m_login(parts.login),
      m_loginGate(context.settings), m_refreshJobs(std::make_unique<RefreshJobs>(context.home))
{
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(QStringLiteral("VelmoraV2.0"));
    resize(1028, 670);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    m_snoozeTimer.setObjectName(QStringLiteral("snoozeTimer"));
    m_autoMinimizeTimer.setObjectName(QStringLiteral("autoMinimizeTimer"));
    m_snoozeTimer.setSingleShot(false);
    m_autoMinimizeTimer.setSingleShot(false);

    m_pages = new PageControl(this);
    m_pages->setObjectName(QStringLiteral("pages"));
    m_pages->setDocumentMode(true);
    setCentralWidget(m_pages);
    PageKeys::install(m_pages);

    markStartupStep("main window frame");
    m_journalPage = new JournalPage(m_context, m_pages);
    markStartupStep("page: journal");
    m_cardPage = new CardPage(m_context, m_pages);
    m_cardPage->setObjectName(QStringLiteral("cardPage"));
    markStartupStep("page: cards");
    m_monthPage = new RepaymentMonthPage(*m_context.clock, m_pages);
    m_monthPage->setObjectName(QStringLiteral("RepaymentCalendarPage"));
    m_bankPage = new BankPage(m_context, m_pages);
    markStartupStep("page: banks");
    m_promoPage = new PromoPage(m_context, m_pages);
    markStartupStep("page: promotions");
    m_parameterPage = new ParameterPage(m_context, m_pages);
    m_bankPhonePage = new QWidget(m_pages);
    m_bankPhonePage->setObjectName(QStringLiteral("bankPhonePage"));
    markStartupStep("page: parameters");
    m_settingsPage = new SettingsPage(m_context, m_pages);
    markStartupStep("page: settings");

    m_pages->addTab(m_cardPage, QStringLiteral("信用卡信息"));
    m_pages->addTab(m_monthPage, QStringLiteral("还款日历"));
    m_pages->addTab(m_bankPage, QStringLiteral("银行网站及电话"));
    m_pages->addTab(m_promoPage, QStringLiteral("在线申请信用卡"));
    m_pages->addTab(m_settingsPage, QStringLiteral("系统设置"));
    // The pages without a tab are kept out of the tab list (a hidden tab is still offered to screen
    // readers); the planner's come in while it is open.
    for (QWidget* hidden :
         {static_cast<QWidget*>(m_journalPage), static_cast<QWidget*>(m_parameterPage), m_bankPhonePage})
        hidden->hide();
    m_pages->setCurrentWidget(m_cardPage);
    connect(m_settingsPage, &SettingsPage::plannerRequested,
            new PlannerEntry(m_pages, m_journalPage, m_parameterPage), &PlannerEntry::open);
    // Ctrl+Q ends the program as "退出软件" does, with its question.
    auto* quitKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this);
    quitKey->setContext(Qt::ApplicationShortcut);
    connect(quitKey, &QShortcut::activated, this, &MainWindow::requestExit);
    setWindowIcon(TrayController::programIcon());

    // The dialogs open over this window and go with it; so does the tray icon.
    for (QWidget* dialog : {static_cast<QWidget*>(m_login), static_cast<QWidget*>(&m_reminder),
                            static_cast<QWidget*>(&m_holders)})
        if (dialog)
            dialog->setParent(this, dialog->windowFlags());
    m_tray.setParent(this);
    m_snoozeTimer.setParent(this);
    connect(&m_tray, &TrayController::restoreAsked, this, [this] { requestRestore(Restore::DoubleClick); });
    connect(&m_tray, &TrayController::showMainAsked, this, [this] { requestRestore(Restore::Menu); });
    connect(&m_tray, &TrayController::exitAsked, this, &MainWindow::requestExit);
    connect(&m_tray, &TrayController::iconMade, this, [this] {
        // Unless the reminder is up: the user has something to do in the window.
        if (std::exchange(m_hideWhenTrayComes, false) && isVisible() && !m_hidden && !m_reminder.isVisible())
            hideToTray();
    });
    connect(&m_tray, &TrayController::autostartOffAsked, this, [] { Autostart::remove(); });
    connect(&m_tray, &TrayController::aboutAsked, this,
            [this] { AboutBox::showAbout(this, m_context.home); });
    connect(&m_tray, &TrayController::helpAsked, this, [this] { AboutBox::showHelp(this); });
    m_notices = new DesktopNotices(this);
    // The auto-minimize timer: each arming hides the window at most once; no balloon.
    connect(&m_autoMinimizeTimer, &QTimer::timeout, this, [this] {
        m_autoMinimizeTimer.stop();
        hideToTray();
    });
    connect(&m_snoozeTimer, &QTimer::timeout, this, [this] { requestRestore(Restore::SnoozeTick); });

    // The daily reminder mail hangs on every hide to the tray; a problem is told by a balloon,
    // or without a tray once in a message at the next show of the window.
    m_mailReminder = new MailReminder(m_context.settings, *m_context.clock, m_context.home.logPath(), this);
    connect(this, &MainWindow::minimized, this, &MainWindow::checkDailyMail);
    auto tellMailProblem = [this](const QString& title, const QString& notice, const QString& reason) {
        if (m_notices->notify(title, reason, DesktopNotices::Kind::Warning, 10000,
                              DesktopNotices::Keep::Listed) ||
            m_tray.showBalloon(title, reason, QSystemTrayIcon::Warning, 10000))
            return;
        m_mailNotice = notice + reason;
        if (isVisible() && !isMinimized())
            formShowMailNotice();
    };
    connect(m_mailReminder, &MailReminder::failed, this, [tellMailProblem](const QString& reason) {
        tellMailProblem(QStringLiteral("还款提醒邮件发送失败"),
                        QStringLiteral("今天的还款提醒邮件发送失败："), reason);
    });
    connect(m_mailReminder, &MailReminder::partlyRejected, this, [tellMailProblem](const QString& reason) {
        tellMailProblem(QStringLiteral("还款提醒邮件有收件人没有收到"),
                        QStringLiteral("今天的还款提醒邮件有收件人没有收到："), reason);
    });
    // Without a login at this show the card tab is locked, and so are the password and the
    // protection switch on the settings page.
    m_settingsPage->setLockCheck([this] { return m_state.pwdProtect && !m_state.loggedIn; });
    connect(m_settingsPage, &SettingsPage::mailServerRequested, this, [this] {
        auto* dialog = new MailServerDialog(m_context.settings.file(), ui::dialogParent(this));
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->open();
    });
    connect(m_settingsPage, &SettingsPage::calendarSyncRequested, this, [this] {
        auto* dialog = new CalendarSyncDialog(m_context.settings, ui::dialogParent(this));
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->open();
    });
    // A sync problem is told once (notice or balloon, never a box every refresh) and logged.
    m_calendarSync = new BackgroundSync(this);
    connect(m_calendarSync, &BackgroundSync::failed, this, [this](const QString& reason) {
        ProgramLog::append(m_context.home.logPath(), m_context.clock->now(),
                           QStringLiteral("日历同步失败：") + reason);
        const QString title = QStringLiteral("日历同步失败");
        if (!m_notices->notify(title, reason, DesktopNotices::Kind::Warning, 10000,
                               DesktopNotices::Keep::Listed))
            m_tray.showBalloon(title, reason, QSystemTrayIcon::Warning, 10000);
    });

    // The day's work also comes when the day turns while the program waits (often in the tray).
    m_dayWatcher = new DayWatcher(*m_context.clock, this);
    connect(m_dayWatcher, &DayWatcher::dayChanged, this, &MainWindow::runNewDay);

    markStartupStep("tabs, tray and mail wiring");
    formCreate();
    markStartupStep("settings shown, autostart entry");
    connectData();
    markStartupStep("lists bound to the pages");
}

MainWindow::~MainWindow() = default;

void MainWindow::connectData()
{
    if (m_login)
        m_login->setGate(&m_loginGate);
    // A database that did not open (told at start-up) has no card secrets to guard or show.
    if (m_data.database().isOpen()) {
        m_cardLock = std::make_unique<CardLock>(m_context.settings, m_data.secrets());
        m_loginGate.setCardLock(m_cardLock.get());
        m_settingsPage->setCardLock(m_cardLock.get());
        m_cardPage->attachData(m_data);
        m_journalPage->attachData(m_data, *m_parameterPage);
        m_holders.attachData(m_data);
        m_monthPage->setCardSource([this] { return readCardFacts(m_data.database()); });
    }
    // Everything outside the card tab that reloads the card list saves a pending edit first.
    // A refused card is brought into view on its tab.
    const auto commitPendingEdit = [this] {
        if (m_cardPage->commitPendingEdit())
            return true;
        if (isCardTabVisible())
            m_pages->setCurrentWidget(m_cardPage);
        return false;
    };
    m_journalPage->setBeforeCardListChange(commitPendingEdit);
    m_reminder.setBeforeCardListChange(commitPendingEdit);
    connect(&m_reminder, &ReminderWindow::closed, this, [this] { m_state.refreshed = false; });
    // A paid mark changes what is due: the counts and the reminder's heading follow at once.
    connect(&m_reminder, &ReminderWindow::cardMarkedRepaid, this, [this] {
        ui::showErrors(this, [this] { m_cardPage->recountDueCards(); });
        renewReminderHeading();
    });
    connect(m_cardPage, &CardPage::paidMarkChanged, this, &MainWindow::rereadDueSoonCards);
    // "3天还款信息" and the editor's holder button open their windows without blocking.
    connect(m_cardPage, &CardPage::reminderRequested, this, [this] {
        m_reminder.show();
        m_reminder.raise();
        m_reminder.activateWindow();
    });
    connect(m_cardPage, &CardPage::holderDialogRequested, &m_holders, &HolderDialog::showOrRaise);
}

void MainWindow::checkDailyMail()
{
    m_mailReminder->check(m_state.mailOn, m_state.mailTo, m_reminder.cards());
}

void MainWindow::formCreate()
{
    m_state.loggedIn = false; // the bank page reads its file when first shown

    const Settings& settings = m_context.settings;
    const bool autostart = settings.autostart();
    m_state.pwdProtect = settings.passwordProtect();
    m_state.autoMinMinutes = settings.autoMinMinutes();
    m_state.mailTo = settings.mailTo();
    m_state.mailOn = settings.mailOn();
    LoopTimer::setInterval(m_autoMinimizeTimer, m_state.autoMinMinutes * 60000);
    m_settingsPage->showValues(autostart, m_state.pwdProtect, m_state.autoMinMinutes, m_state.mailOn,
                               m_state.mailTo);

    if (autostart && !m_context.executablePath.isEmpty()) {
        // Not fatal: the rest of the window is set up as usual.
        ui::showErrors(this, [this] { Autostart::write(m_context.executablePath, m_context.autostartHome); });
    }

    m_cardPage->dateLabel()->setText(QStringLiteral("当前日期:") +
                                     DateText::format(m_context.clock->today()));
    for (int i = 0; i < 8; ++i)
        m_cardPage->countLabel(i)->setText(Refresh::countLabelText(i));

    m_state.refreshed = false;
    m_state.reminderShown = false;
    m_cardPage->setEditorHeight(0);
}

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    // The title bar's minimize button of a window that draws its own (Wayland) minimizes the
    // native window only: the widget never hears of it.
    if (QWindow* native = windowHandle())
        connect(native, &QWindow::windowStateChanged, this, &MainWindow::onNativeWindowStateChanged,
                Qt::UniqueConnection);
    if (!event->spontaneous() && !m_bringingForward)
        formShow();
}

void MainWindow::formShow()
{
    m_state.loggedIn = false;
    // Sealed values open only with their password, whatever the switch says (a sealed copy put
    // back while protection is off).
    if (m_state.pwdProtect || secretsSealed())
        runLoginGate();

    // A new calendar day counts as a new refresh cycle: the program may live in the tray for days.
    const QDate today = m_context.clock->today();
    // A card being edited is saved (and checked) before the pass reloads the list; a refused one
    // stays in the editor and the pass waits for the next show.
    if ((!m_state.refreshed || m_state.refreshedOn != today) && m_cardPage->commitPendingEdit()) {
        runDay(m_state.loggedIn);
    } else if (m_state.loggedIn && m_state.reminderWithheldOn == today) {
        showReminderOnTop(); // held back for want of a login today: the login brings it
    }

    if (m_state.autoMinMinutes > 0)
        LoopTimer::enable(m_autoMinimizeTimer); // a running countdown is kept
    formShowMailNotice();
}

void MainWindow::formShowMailNotice()
{
    if (!m_mailNotice.isEmpty())
        MessageBox::error(this, std::exchange(m_mailNotice, QString()));
}

void MainWindow::runLoginGate()
{
    if (!m_login)
        return;
    setCardTabVisible(false);
    // The card secrets stay open only while the card tab does: dropped before asking again.
    showSecrets(false);
    // The reminder stays on top of every window; the modal login would open under it and both
    // would look frozen. It steps aside while the login is up.
    const bool reminderUp = m_reminder.isVisible();
    if (reminderUp)
        m_reminder.hide();
    const bool sealedBefore = secretsSealed();
    const int outcome = m_login->exec();
    if (reminderUp && !m_reminder.isVisible())
        m_reminder.show();
    // Closing the dialog without a correct password leaves the card tab hidden.
    if (outcome == QDialog::Accepted) {
        showSecrets(true);
        setCardTabVisible(true);
        m_pages->setCurrentWidget(m_cardPage);
        m_state.loggedIn = true;
        // The first login under protection seals the cards; older copies still hold them in clear.
        if (!sealedBefore && secretsSealed())
            offerToRemoveClearCopies(this, m_data.database().path());
    }
}

bool MainWindow::secretsSealed() const
{
    return m_data.database().isOpen() && m_data.secrets().keyStored();
}

void MainWindow::showSecrets(bool opened)
{
    if (!m_data.database().isOpen())
        return;
    ui::showErrors(this, [&] {
        if (!opened)
            m_data.secrets().lock();
        m_data.reloadSecretFields();
        if (const int unreadable = m_data.secrets().takeUnreadableCount(); unreadable > 0)
            MessageBox::error(
                this, QStringLiteral("有%1项卡号、校验码或有效期无法解密（数据库可能已损坏或被改动），"
                                     "显示为“%2”；这些值保持原样，不会被改写。")
                          .arg(unreadable)
                          .arg(CardSecrets::kUnreadableText));
    });
}

void MainWindow::runNewDay()
{
    // Once a day: a show may have run the day's work already.
    if (m_state.refreshedOn == m_context.clock->today())
        return;
    // A card being typed is never saved behind the user's back: the next show saves it (with its
    // checks) and runs the day then.
    if (m_cardPage->editor()->isDirty() || m_data.cards().state() == Query::State::Edit ||
        m_data.cards().state() == Query::State::Insert)
        return;
    // Hidden, the card tab counts as locked: a restore asks for the password first.
    runDay(m_state.loggedIn && isVisible() && !m_hidden);
    checkDailyMail(); // at a show this waits for the next hide
}

void MainWindow::runDay(bool unlocked)
{
    m_state.pwdProtect = m_context.settings.passwordProtect();
    m_state.refreshed = true;
    m_state.refreshedOn = m_context.clock->today();
    runRefreshPass(unlocked);
}

void MainWindow::runRefreshPass(bool unlocked)
{
    const QDate today = m_context.clock->today();
    m_cardPage->dateLabel()->setText(QStringLiteral("当前日期:") + DateText::format(today));
    if (!m_data.database().isOpen())
        return; // its failure was told at start-up
    RefreshSteps steps;
    steps.tell = [this](const QString& problem) { tellRefreshProblem(problem); };
    steps.backedUp = [] { markStartupStep("daily backup"); };
    steps.show = [this, unlocked](const RefreshResult& result) {
        markStartupStep("refresh pass");
        showRefreshResult(result);
        syncCalendar(result.cards);
        if (m_state.reminderShownOn != m_context.clock->today())
            m_state.reminderShown = false;
        const ReminderDecision decision =
            decideReminder(m_state.reminderShown, unlocked, m_state.pwdProtect, result.dueSoonCount());
        if (decision.markShown) {
            m_state.reminderShown = true;
            m_state.reminderShownOn = m_context.clock->today();
            // Locked: the cards due wait for the next login of the day.
            m_state.reminderWithheldOn = decision.show ? QDate() : m_context.clock->today();
        }
        if (decision.show)
            showReminderOnTop();
    };
    // The calendar file is not needed on screen: written once the window has been painted.
    steps.writeCalendar = [this](std::function<void()> write) {
        m_pendingCalendar = std::move(write);
        if (m_painted)
            QTimer::singleShot(0, this, &MainWindow::writeDueCalendar);
    };
    ui::showErrors(this, [&] {
        const RefreshResult result = runRefreshSequence(m_data, *m_context.clock, *m_refreshJobs, steps);
        emit refreshed(result);
    });
}

void MainWindow::showRefreshResult(const RefreshResult& result)
{
    m_cardPage->showBestCard(result.cards);
    markStartupStep("best card");
    m_monthPage->reload();
    for (int i = 0; i < 8; ++i)
        m_cardPage->countLabel(i)->setText(result.labelTexts.at(i));

    // Cards the pass could not compute are named once, not at every refresh.
    QList<int> skippedIds;
    QStringList skippedNames;
    for (const SkippedCard& card : result.skipped) {
        skippedIds << card.id;
        skippedNames << (card.name.isEmpty() ? QStringLiteral("（无卡名，编号%1）").arg(card.id) : card.name);
    }
    if (!skippedIds.isEmpty() && skippedIds != m_state.skippedCardsTold)
        MessageBox::information(this, QStringLiteral("以下卡片的账单日或还款日缺失或不在1到31之间，"
                                                     "未能计算还款日期，请在卡片资料中改正：\n") +
                                          skippedNames.join(u'\n'));
    m_state.skippedCardsTold = skippedIds;

    m_reminder.setCards(result.dueSoon);
    if (result.dueSoonCount() > 0)
        m_reminder.setHeading(result.heading);
}

void MainWindow::tellRefreshProblem(const QString& text)
{
    // A backup is tried once a day; a calendar file that cannot be written fails at every pass.
    const QDate today = m_context.clock->today();
    if (m_problemsToldOn != today) {
        m_problemsToldOn = today;
        m_problemsTold.clear();
    }
    if (m_problemsTold.contains(text))
        return;
    m_problemsTold << text;
    tellUser(text);
}

void MainWindow::renewReminderHeading()
{
    m_reminder.setHeading(Refresh::headingText(int(m_reminder.cards().size())));
}

void MainWindow::rereadDueSoonCards()
{
    if (m_data.database().isOpen())
        ui::showErrors(this, [this] { m_reminder.setCards(readDueSoonCards(m_data.database())); });
    renewReminderHeading();
}

void MainWindow::showReminderOnTop()
{
    m_state.reminderWithheldOn = QDate();
    if (m_reminder.cards().isEmpty())
        return; // nothing due any more
    showReminderOverWindow();
}

void MainWindow::tellUser(const QString& text)
{
    // A balloon at an icon not shown yet is dropped: without a notification service, a message.
    if (!m_notices->notify(QStringLiteral("Velmora"), text, DesktopNotices::Kind::Warning, 10000,
                           DesktopNotices::Keep::Listed))
        MessageBox::information(this, text);
}

void MainWindow::showReminderOverWindow()
{
    // Wayland stacks a window above another only as its transient, and only once that other
    // window is mapped; stay-on-top means nothing there. The reminder waits for the first paint.
    if (WindowSystem::isWayland() && !(windowHandle() && windowHandle()->isExposed() && m_painted)) {
        m_reminderWaitsForPaint = true;
        return;
    }
    m_reminder.show();
    m_reminder.raise();
}

void MainWindow::paintEvent(QPaintEvent* event)
{
    QMainWindow::paintEvent(event);
    if (std::exchange(m_reminderWaitsForPaint, false))
        QTimer::singleShot(0, this, [this] {
            if (isVisible())
                m_reminder.show();
        });
    if (!m_painted) {
        m_painted = true;
        if (m_pendingCalendar)
            QTimer::singleShot(0, this, &MainWindow::writeDueCalendar);
    }
}

void MainWindow::writeDueCalendar()
{
    if (const std::function<void()> write = std::exchange(m_pendingCalendar, {}))
        write();
}

void MainWindow::syncCalendar(const QList<CardFacts>& cards)
{
    const CalendarSyncSettings settings = CalendarSyncSettings::load(m_context.settings);
    if (!settings.configured())
        return;
    // The events are made here from the pass's cards; the network is used off this thread.
    m_calendarSync->start(settings, RepaymentCalendar::events(cards, m_context.clock->today()),
                          m_context.clock->now());
}

void MainWindow::setCardTabVisible(bool visible)
{
    const int index = m_pages->indexOf(m_cardPage);
    if (!visible && m_pages->currentIndex() == index)
        m_pages->setCurrentWidget(m_bankPage);
    m_pages->setTabVisible(index, visible);
    // The month view names the cards too: it is locked with the card tab.
    const int monthIndex = m_pages->indexOf(m_monthPage);
    if (!visible && m_pages->currentIndex() == monthIndex)
        m_pages->setCurrentWidget(m_bankPage);
    m_pages->setTabVisible(monthIndex, visible);
}

bool MainWindow::isCardTabVisible() const
{
    return m_pages->isTabVisible(m_pages->indexOf(m_cardPage));
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (m_quitting) {
        event->accept();
        return;
    }
    m_autoMinimizeTimer.stop();
    event->ignore();
    emit closeRequested();
    if (m_tray.trayAvailable())
        hideByCommand();
    else
        requestExit(); // without a notification area the close box is the only way out
}

void MainWindow::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        onWindowStateChanged(static_cast<QWindowStateChangeEvent*>(event)->oldState());
    // Without a notification area under Wayland the window was minimized by the compositor,
    // which never says so; it is back when it has the focus again.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && m_hidden && isVisible() &&
        !WindowSystem::reportsMinimized())
        requestRestore(Restore::DoubleClick);
}

void MainWindow::onNativeWindowStateChanged(Qt::WindowState state)
{
    if (state == Qt::WindowMinimized && !m_hidden && isVisible())
        hideAfterMinimize();
}

void MainWindow::hideAfterMinimize()
{
    // Hiding is left until the window system has finished minimizing; the state is not asked
    // again then: Wayland has already cleared it.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!m_hidden && isVisible())
                hideByCommand();
        },
        Qt::QueuedConnection);
}

void MainWindow::onWindowStateChanged(Qt::WindowStates oldState)
{
    const bool minimizedNow = windowState() & Qt::WindowMinimized;
    const bool minimizedBefore = oldState & Qt::WindowMinimized;
    if (minimizedNow && !minimizedBefore && !m_hidden && isVisible()) {
        hideAfterMinimize(); // the minimize button
    } else if (!minimizedNow && minimizedBefore && m_hidden && isVisible() &&
               WindowSystem::reportsMinimized()) {
        // Without a notification area the window was only minimized; the taskbar brought it back.
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (m_hidden)
                    restore(Restore::DoubleClick);
            },
            Qt::QueuedConnection);
    }
}

void MainWindow::hideToTray()
{
    m_hideWhenTrayComes = false;
    const bool wasShown = !m_hidden;
    m_hidden = true;
    if (m_tray.trayAvailable()) {
        m_tray.showIcon(); // from the first hide on, and it stays
        hide();
    } else if (!(windowState() & Qt::WindowMinimized) || !WindowSystem::reportsMinimized()) {
        // No notification area: an invisible window could never come back, so minimize it.
        setWindowState(windowState() | Qt::WindowMinimized);
    }
    if (wasShown)
        emit minimized(); // last: the mail reminder may keep the event loop busy for a while
}

void MainWindow::hideByCommand()
{
    hideToTray();
    // Told at every hide, so it must not pile up in the desktop's list of notices.
    if (!m_notices->notify(kBalloonTitle, kBalloonText, DesktopNotices::Kind::Information, kBalloonMsecs,
                           DesktopNotices::Keep::Transient))
        m_tray.showBalloon(kBalloonTitle, kBalloonText, QSystemTrayIcon::Information, kBalloonMsecs);
    emit balloonShown(kBalloonTitle, kBalloonText, kBalloonMsecs);
}

void MainWindow::restore(Restore how)
{
    const bool wasHidden = m_hidden || !isVisible() || (windowState() & Qt::WindowMinimized);
    if (how == Restore::Activation && !wasHidden) {
        bringForward();
        return;
    }
    m_hidden = false;
    if (how == Restore::SnoozeTick)
        m_snoozeTimer.stop(); // the snooze fires once
    if (how != Restore::SnoozeTick && m_state.pwdProtect)
        setCardTabVisible(false); // never visible before the login has succeeded
    if (how == Restore::Menu || how == Restore::SnoozeTick)
        setWindowState(Qt::WindowNoState); // a maximized window comes back at normal size

    // ShowMainWindow: a minimized state is cleared, a maximized one kept.
    if (windowState() & Qt::WindowMinimized)
        setWindowState(windowState() & ~Qt::WindowMinimized);
    if (!isVisible()) {
        show(); // the show handling runs as the window becomes visible
    } else if (wasHidden) {
        runShowHandling(); // it was only minimized (no notification area)
        bringForward();
    } else {
        bringForward();
    }
}

void MainWindow::bringForward()
{
    m_bringingForward = true; // a new mapping under Wayland, not a new show
    WindowSystem::bringForward(this);
    m_bringingForward = false;
}

void MainWindow::startInTray()
{
    if (!m_tray.trayAvailable()) {
        // At login the panel often comes after the program: the window goes to it then.
        m_hideWhenTrayComes = true;
        show();
        return;
    }
    m_hidden = true;
    m_tray.showIcon();
    int dueSoon = 0;
    if (m_data.database().isOpen())
        ui::showErrors(this, [&] {
            const RefreshResult result = RefreshPass(m_data, *m_context.clock).run();
            m_reminder.setCards(result.dueSoon); // what the day's mail check below sends
            dueSoon = result.dueSoonCount();
        });
    if (dueSoon > 0)
        restore(Restore::Menu); // the show handling runs the day's pass and raises the reminder
    else
        emit minimized(); // hidden from the start: the day's mail check
}

void MainWindow::requestRestore(Restore how)
{
    QMetaObject::invokeMethod(
        this, [this, how] { restore(how); }, Qt::QueuedConnection);
}

void MainWindow::requestExit()
{
    // The reminder stays on top of every window: the question would open under it and the
    // program would look frozen. It steps aside while the question is up.
    const bool reminderUp = m_reminder.isVisible();
    if (reminderUp)
        m_reminder.hide();
    const bool leaving =
        MessageBox::question(this, QStringLiteral("您真的要退出吗？"), QStringLiteral("确认信息")) &&
        pendingEditAllowsExit();
    if (!leaving) {
        if (reminderUp)
            m_reminder.show();
        return;
    }
    m_tray.hideIcon();
    quit(); // stops both timers, ends the event loop
}

bool MainWindow::pendingEditAllowsExit()
{
    // A card typed but not saved is handed to the editor's save first; when the save refuses it,
    // the user chooses between going back to it and leaving it unsaved.
    if (m_cardPage->commitPendingEdit())
        return true;
    if (MessageBox::question(this, QStringLiteral("正在编辑的卡片尚未保存，仍要退出吗？"),
                             QStringLiteral("确认信息")))
        return true;
    // Back to the card: the window comes up with it (the login first under protection).
    if (isCardTabVisible())
        m_pages->setCurrentWidget(m_cardPage);
    if (m_hidden || !isVisible())
        requestRestore(Restore::Menu);
    return false;
}

void MainWindow::quit()
{
    m_quitting = true;
    m_snoozeTimer.stop();
    m_autoMinimizeTimer.stop();
    QApplication::quit();
}
