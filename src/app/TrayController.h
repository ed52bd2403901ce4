#pragma once

#include <QIcon>
#include <QObject>
#include <QPoint>
#include <QString>
#include <QSystemTrayIcon>
#include <QTimer>

#include <optional>

class QDBusServiceWatcher;
class QMenu;

// The notification-area icon and its menu. It tells what the user did with them; the main
// window decides what follows. The icon is absent until shown, and then stays until the
// program ends.
//
// Two kinds of notification area exist: the old embedded tray (XEmbed), which reports single
// and double clicks, and StatusNotifierItem hosts (Plasma, GNOME's extension, waybar), which
// send Activate for a left click and show the exported menu themselves. At login the panel
// often starts after the program: the icon is then made once the host's watcher appears.
class TrayController : public QObject
{
    Q_OBJECT
public:
    static constexpr const char* kWatcherService = "org.kde.StatusNotifierWatcher";

    explicit TrayController(QObject* parent = nullptr);
    ~TrayController() override;

    static QIcon programIcon();

    // Asked at every hide: a panel started after the program (autostart) brings its tray late.
    bool trayAvailable() const;
    // None until the desktop has a notification area to put it in.
    QSystemTrayIcon* icon() const { return m_icon; }
    QMenu* menu() const { return m_menu; }
    // From the first hide on; an icon that cannot be made yet is shown as soon as it can.
    void showIcon();
    void hideIcon();
    bool isIconShown() const { return m_iconShown; }
    // A balloon at the shown icon; false when there is none to show it at.
    bool showBalloon(const QString& title, const QString& text, QSystemTrayIcon::MessageIcon kind, int msecs);
    // The icon lives on a StatusNotifierItem host: a left click is an Activate.
    bool onStatusNotifierHost() const { return m_statusNotifier; }

    // Tests drive the window's hidden and shown states on platforms without a notification area.
    void overrideTrayAvailable(bool available) { m_trayOverride = available; }

signals:
    void restoreAsked();      // a double click on the icon, or Activate on a StatusNotifierItem host
    void showMainAsked();     // "显示主界面"
    void exitAsked();         // "退出软件"
    void autostartOffAsked(); // "关闭开机启动"
    void aboutAsked();        // "关于软件"
    void helpAsked();         // "使用帮助"
    void iconMade();          // the notification area appeared and the icon was made

private:
    void makeIcon();
    void onWatcherAppeared();
    void onActivated(QSystemTrayIcon::ActivationReason reason);
    void updateMenu();

    QSystemTrayIcon* m_icon = nullptr;
    QMenu* m_menu = nullptr;
    QDBusServiceWatcher* m_watcher = nullptr;
    std::optional<bool> m_trayOverride;
    bool m_iconShown = false;
    bool m_statusNotifier = false;
    QTimer m_leftClickMenu{this}; // opens the menu after a left click that stayed single
    QPoint m_leftClickPos;
};
