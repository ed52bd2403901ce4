#include "app/TrayController.h"

#include <QAction>
#include <QCursor>
#include <QGuiApplication>
#include <QMenu>
#include <QStyleHints>
#include <QSystemTrayIcon>

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
    connect(showItem, &QAction::triggered, this, &TrayController::showMainAsked);
    connect(autostartItem, &QAction::triggered, this, &TrayController::autostartOffAsked);
    connect(exitItem, &QAction::triggered, this, &TrayController::exitAsked);

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
}

TrayController::~TrayController()
{
    m_icon->hide();
    delete m_menu;
}

void TrayController::onActivated(QSystemTrayIcon::ActivationReason reason)
{
    if (reason == QSystemTrayIcon::Trigger) {
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
    return m_trayOverride.value_or(QSystemTrayIcon::isSystemTrayAvailable());
}
