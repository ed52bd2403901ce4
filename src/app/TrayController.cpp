#include "app/TrayController.h"

#include "app/Autostart.h"

#include <QAction>
#include <QCursor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusServiceWatcher>
#include <QGuiApplication>
#include <QMenu>
#include <QStyleHints>
#include <QSystemTrayIcon>

namespace {
bool watcherRegistered()
{
    const QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.isConnected() && bus.interface() &&
           bus.interface()->isServiceRegistered(QLatin1String(TrayController::kWatcherService)).value();
}

bool platformIs(const char* name)
{
    return QGuiApplication::platformName().startsWith(QLatin1String(name));
}
} // namespace

QIcon TrayController::programIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48})
        icon.addFile(QStringLiteral(":/icons/velmora-%1.png").arg(size), QSize(size, size));
    return icon;
}

TrayController::TrayController(QObject* parent) : QObject(parent)
{
    m_menu = new QMenu; // a top-level popup; deleted with the controller
    m_menu->setObjectName(QStringLiteral("trayMenu"));
    auto item = [this](const char* name, const QString& text) {
        QAction* action = m_menu->addAction(text);
        action->setObjectName(QLatin1String(name));
        return action;
    };
    QAction* showItem = item("showMainAction", QStringLiteral("显示主界面"));
    QAction* aboutItem = item("aboutAction", QStringLiteral("关于软件"));
    QAction* autostartItem = item("autostartOffAction", QStringLiteral("关闭开机启动"));
    QAction* helpItem = item("helpAction", QStringLiteral("使用帮助"));
    m_menu->addSeparator()->setObjectName(QStringLiteral("exitSeparator"));
    QAction* exitItem = item("exitAction", QStringLiteral("退出软件"));
    connect(showItem, &QAction::triggered, this, &TrayController::showMainAsked);
    connect(aboutItem, &QAction::triggered, this, &TrayController::aboutAsked);
    connect(autostartItem, &QAction::triggered, this, [this] {
        emit autostartOffAsked();
        updateMenu();
    });
    connect(helpItem, &QAction::triggered, this, &TrayController::helpAsked);
    connect(exitItem, &QAction::triggered, this, &TrayController::exitAsked);
    connect(m_menu, &QMenu::aboutToShow, this, &TrayController::updateMenu);
    updateMenu();

    // The left button opens the menu as well, but only once no second click can follow: an open
    // menu grabs the pointer, and the double click would never reach the icon.
    m_leftClickMenu.setObjectName(QStringLiteral("LeftClickMenuTimer"));
    m_leftClickMenu.setSingleShot(true);
    connect(&m_leftClickMenu, &QTimer::timeout, this, [this] { m_menu->popup(m_leftClickPos); });

    // Qt decides once, at the first icon it makes, whether the desktop has a StatusNotifierItem
    // host. Where that is the only kind of tray (Wayland), the icon waits for the host's watcher;
    // under X11 the embedded tray is taken at once and Qt itself waits for one that comes late.
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        m_watcher = new QDBusServiceWatcher(QLatin1String(kWatcherService), bus,
                                            QDBusServiceWatcher::WatchForRegistration, this);
        connect(m_watcher, &QDBusServiceWatcher::serviceRegistered, this, &TrayController::onWatcherAppeared);
    }
    const bool waitForWatcher = platformIs("wayland") && bus.isConnected() && !watcherRegistered();
    if (!waitForWatcher)
        makeIcon();
}

TrayController::~TrayController()
{
    if (m_icon)
        m_icon->hide();
    delete m_menu;
}

void TrayController::makeIcon()
{
    m_statusNotifier = !platformIs("offscreen") && watcherRegistered();
    m_icon = new QSystemTrayIcon(programIcon(), this);
    m_icon->setObjectName(QStringLiteral("trayIcon"));
    m_icon->setToolTip(QStringLiteral("Velmora"));
    m_icon->setContextMenu(m_menu); // the right button, or the host's own menu
    connect(m_icon, &QSystemTrayIcon::activated, this, &TrayController::onActivated);
    if (m_iconShown)
        m_icon->show();
}

void TrayController::onWatcherAppeared()
{
    if (!m_icon) {
        makeIcon();
        emit iconMade();
    } else if (m_statusNotifier && m_iconShown) {
        // The panel was restarted: register with its new watcher.
        m_icon->hide();
        m_icon->show();
    }
}

void TrayController::showIcon()
{
    m_iconShown = true;
    if (m_icon)
        m_icon->show();
}

void TrayController::hideIcon()
{
    m_iconShown = false;
    if (m_icon)
        m_icon->hide();
}

bool TrayController::showBalloon(const QString& title, const QString& text, QSystemTrayIcon::MessageIcon kind,
                                 int msecs)
{
    if (!m_icon || !m_icon->isVisible())
        return false; // Qt drops a balloon at an icon that is not shown
    m_icon->showMessage(title, text, kind, msecs);
    return true;
}

void TrayController::updateMenu()
{
    // Nothing to switch off while no autostart entry exists.
    if (auto* autostartItem = m_menu->findChild<QAction*>(QStringLiteral("autostartOffAction")))
        autostartItem->setEnabled(Autostart::isOn());
}

void TrayController::onActivated(QSystemTrayIcon::ActivationReason reason)
{
    if (reason == QSystemTrayIcon::Trigger && m_statusNotifier) {
        // Activate: these hosts know no double click and open the menu themselves.
        emit restoreAsked();
    } else if (reason == QSystemTrayIcon::Trigger) {
        m_leftClickPos = QCursor::pos();
        m_leftClickMenu.start(QGuiApplication::styleHints()->mouseDoubleClickInterval());
    } else if (reason == QSystemTrayIcon::DoubleClick) {
        m_leftClickMenu.stop();
        m_menu->hide();
        emit restoreAsked();
    } else if (reason == QSystemTrayIcon::Context) {
        m_leftClickMenu.stop(); // the right button's menu is already open
    }
}

bool TrayController::trayAvailable() const
{
    if (m_trayOverride)
        return *m_trayOverride;
    // Asking Qt before the icon exists would fix its choice of tray for the whole run.
    return m_icon && QSystemTrayIcon::isSystemTrayAvailable();
}
