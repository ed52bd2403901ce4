#pragma once

#include <QIcon>
#include <QObject>
#include <QPoint>
#include <QString>
#include <QSystemTrayIcon>
#include <QTimer>

#include <optional>

class QMenu;

// The notification-area icon and its menu. It tells what the user did with them; the main
// window decides what follows. The icon is absent until shown, and then stays until the
// program ends.
class TrayController : public QObject
{
    Q_OBJECT
public:
    explicit TrayController(QObject* parent = nullptr);
    ~TrayController() override;

    static QIcon programIcon();

    // Asked at every hide: a panel started after the program (autostart) brings its tray late.
    bool trayAvailable() const;
    QSystemTrayIcon* icon() const { return m_icon; }
    QMenu* menu() const { return m_menu; }

    // Tests drive the window's hidden and shown states on platforms without a notification area.
    void overrideTrayAvailable(bool available) { m_trayOverride = available; }

signals:
    void restoreAsked();      // a double click on the icon
    void showMainAsked();     // "显示主界面"
    void exitAsked();         // "退出软件"
    void autostartOffAsked(); // "关闭开机启动"

private:
    void onActivated(QSystemTrayIcon::ActivationReason reason);

    QSystemTrayIcon* m_icon = nullptr;
    QMenu* m_menu = nullptr;
    std::optional<bool> m_trayOverride;
    QTimer m_leftClickMenu{this}; // opens the menu after a left click that stayed single
    QPoint m_leftClickPos;
};
