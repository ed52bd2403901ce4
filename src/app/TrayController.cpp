#include "app/TrayController.h"

#include "app/Autostart.h"
#include "app/MainWindow.h"
#include "app/MessageBox.h"

#include <QAction>
#include <QCursor>
#include <QGuiApplication>
#include <QMenu>
#include <QStyleHints>
#include <QSystemTrayIcon>
#include <QWindowStateChangeEvent>

namespace {
const QString kBalloonTitle = QStringLiteral("温馨提示:");
const QString kBalloonText = QStringLiteral("Velmora正在运行中.....");
constexpr int kBalloonMsecs = 10000;
} // namespace

QIcon TrayController::programIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48})
        icon.addFile(QStringLiteral(":/icons/velmora-%1.png").arg(size), QSize(size, size));
    return icon;
}

TrayController::TrayController(MainWindow& window) : QObject(&window), m_window(window)
{
    m_menu = new QMenu(&m_window);
    m_menu->setObjectName(QStringLiteral("PopupMenu1"));
    auto item = [this](const char* name, const QString& text) {
        QAction* action = m_menu->addAction(text);
        action->setObjectName(QLatin1String(name));
        return action;
    };
    QAction* showItem = item("N1", QStringLiteral("显示主界面"));
    item("N5", QStringLiteral("关于软件")); // no action
    QAction* autostartItem = item("N8", QStringLiteral("关闭开机启动"));
    item("N6", QStringLiteral("使用帮助")); // no action
    QAction* exitItem = item("N2", QStringLiteral("退出软件"));
    connect(showItem, &QAction::triggered, this, [this] { requestRestore(Restore::Menu); });
    connect(autostartItem, &QAction::triggered, this, &TrayController::disableAutostart);
    connect(exitItem, &QAction::triggered, this, &TrayController::requestExit);

    m_icon = new QSystemTrayIcon(programIcon(), this);
    m_icon->setObjectName(QStringLiteral("CoolTrayIcon1"));
    m_icon->setToolTip(QStringLiteral("Velmora"));
    m_icon->setContextMenu(m_menu); // the right button
    connect(m_icon, &QSystemTrayIcon::activated, this, &TrayController::onActivated);
    // The left button opens the menu as well, but only once no second click can follow: an open
    // menu grabs the pointer, and the double click would never reach the icon.
    m_leftClickMenu.setObjectName(QStringLiteral("LeftClickMenuTimer"));
    m_leftClickMenu.setSingleShot(true);
    connect(&m_leftClickMenu, &QTimer::timeout, this, [this] { m_menu->popup(m_leftClickPos); });

    // Timer2: each arming hides the window at most once; no balloon.
    connect(&m_window.autoMinimizeTimer(), &QTimer::timeout, this, [this] {
        m_window.autoMinimizeTimer().stop();
        hideToTray();
    });
    connect(&m_window.snoozeTimer(), &QTimer::timeout, this, [this] { requestRestore(Restore::SnoozeTick); });
    connect(&m_window, &MainWindow::closeRequested, this, [this] {
        if (trayAvailable())
            hideByCommand();
        else
            requestExit(); // without a notification area the close box is the only way out
    });
    m_window.installEventFilter(this);
}

TrayController::~TrayController()
{
    m_icon->hide();
}

void TrayController::onActivated(QSystemTrayIcon::ActivationReason reason)
{
    if (reason == QSystemTrayIcon::Trigger) {
        m_leftClickPos = QCursor::pos();
        m_leftClickMenu.start(QGuiApplication::styleHints()->mouseDoubleClickInterval());
    } else if (reason == QSystemTrayIcon::DoubleClick) {
        m_leftClickMenu.stop();
        m_menu->hide();
        requestRestore(Restore::DoubleClick);
    } else if (reason == QSystemTrayIcon::Context) {
        m_leftClickMenu.stop(); // the right button's menu is already open
    }
}

bool TrayController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &m_window && event->type() == QEvent::WindowStateChange)
        onWindowStateChanged(static_cast<QWindowStateChangeEvent*>(event)->oldState());
    return QObject::eventFilter(watched, event);
}

void TrayController::onWindowStateChanged(Qt::WindowStates oldState)
{
    const bool minimizedNow = m_window.windowState() & Qt::WindowMinimized;
    const bool minimizedBefore = oldState & Qt::WindowMinimized;
    if (minimizedNow && !minimizedBefore && !m_hidden && m_window.isVisible()) {
        // The minimize button. Hiding is left until the window system has finished minimizing.
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (!m_hidden && (m_window.windowState() & Qt::WindowMinimized))
                    hideByCommand();
            },
            Qt::QueuedConnection);
    } else if (!minimizedNow && minimizedBefore && m_hidden && m_window.isVisible()) {
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

bool TrayController::trayAvailable() const
{
    // Asked at every hide: a panel started after the program (autostart) brings its tray late.
    return m_trayOverride.value_or(QSystemTrayIcon::isSystemTrayAvailable());
}

void TrayController::hideToTray()
{
    const bool wasShown = !m_hidden;
    m_hidden = true;
    if (trayAvailable()) {
        m_icon->show(); // from the first hide on, and it stays
        m_window.hide();
    } else if (!(m_window.windowState() & Qt::WindowMinimized)) {
        // No notification area: an invisible window could never come back, so minimize it.
        m_window.setWindowState(m_window.windowState() | Qt::WindowMinimized);
    }
    if (wasShown)
        emit minimized(); // last: the mail reminder may keep the event loop busy for a while
}

void TrayController::hideByCommand()
{
    hideToTray();
    if (trayAvailable() && m_icon->isVisible())
        m_icon->showMessage(kBalloonTitle, kBalloonText, QSystemTrayIcon::Information, kBalloonMsecs);
    emit balloonShown(kBalloonTitle, kBalloonText, kBalloonMsecs);
}

void TrayController::restore(Restore how)
{
    const bool wasHidden =
        m_hidden || !m_window.isVisible() || (m_window.windowState() & Qt::WindowMinimized);
    if (how == Restore::Activation && !wasHidden) {
        m_window.raise();
        m_window.activateWindow();
        return;
    }
    m_hidden = false;
    if (how == Restore::SnoozeTick)
        m_window.snoozeTimer().stop(); // the snooze fires once
    if (how != Restore::SnoozeTick && m_window.state().pwdProtect)
        m_window.setCardTabVisible(false); // never visible before the login has succeeded
    if (how == Restore::Menu || how == Restore::SnoozeTick)
        m_window.setWindowState(Qt::WindowNoState); // a maximized window comes back at normal size

    // ShowMainWindow: a minimized state is cleared, a maximized one kept.
    if (m_window.windowState() & Qt::WindowMinimized)
        m_window.setWindowState(m_window.windowState() & ~Qt::WindowMinimized);
    if (!m_window.isVisible())
        m_window.show(); // the show handling runs as the window becomes visible
    else if (wasHidden)
        m_window.runShowHandling(); // it was only minimized (no notification area)
    m_window.raise();
    m_window.activateWindow();
}

void TrayController::requestRestore(Restore how)
{
    QMetaObject::invokeMethod(
        this, [this, how] { restore(how); }, Qt::QueuedConnection);
}

void TrayController::requestExit()
{
    if (!MessageBox::question(&m_window, QStringLiteral("您真的要退出吗？"), QStringLiteral("确认信息")))
        return;
    m_icon->hide();
    m_window.quit(); // stops Timer1 and Timer2, ends the event loop
}

void TrayController::disableAutostart()
{
    Autostart::remove();
}
