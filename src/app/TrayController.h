#pragma once

#include <QIcon>
#include <QObject>
#include <QPoint>
#include <QString>
#include <QSystemTrayIcon>
#include <QTimer>

#include <optional>

class MainWindow;
class QAction;
class QMenu;

// The notification-area icon and the main window's hidden and shown states.
//
// Hiding (minimize button, close box, the auto-minimize timer Timer2) makes the window
// invisible and shows the icon, which then stays until the program ends. Where the desktop
// has no notification area the window is minimized instead, so it can always be brought
// back. Each shown -> hidden transition raises minimized() exactly once.
// Restoring (double click, menu "显示主界面", the snooze timer Timer1) makes the window visible
// again, which runs its show handling (login gate, refresh, re-arming Timer2).
class TrayController : public QObject
{
    Q_OBJECT
public:
    enum class Restore {
        DoubleClick, // keeps a maximized window maximized; hides the card tab under protection
        Menu,        // "显示主界面": normal size; hides the card tab under protection
        SnoozeTick,  // Timer1: stops Timer1 first; normal size; the card tab stays as it is
        Activation,  // a second start of the program: like a double click, but a window that is
                     // already shown is only brought forward (no lock-out without a login)
    };

    explicit TrayController(MainWindow& window);
    ~TrayController() override;

    static QIcon programIcon();

    // Hide to the notification area (HideToTray); no balloon.
    void hideToTray();
    // The minimize button and the close box: hide, then the balloon "温馨提示:".
    void hideByCommand();
    void restore(Restore how);
    // The same, from the event loop: what asks for it (the icon, a timer, a socket) may be gone
    // by the time the login's event loop inside the restore returns.
    void requestRestore(Restore how);
    // "退出软件": asks "您真的要退出吗？"; Yes stops both timers and ends the program.
    void requestExit();
    // "关闭开机启动": deletes the autostart entry; settings stay as they are.
    void disableAutostart();

    bool isHidden() const { return m_hidden; }
    bool trayAvailable() const;
    QSystemTrayIcon* icon() const { return m_icon; }
    QMenu* menu() const { return m_menu; }

    // Tests drive the tray state machine on platforms without a notification area.
    void overrideTrayAvailable(bool available) { m_trayOverride = available; }

signals:
    void minimized(); // the application's minimize notification
    void balloonShown(const QString& title, const QString& text, int msecs);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showMainWindow();
    void onActivated(QSystemTrayIcon::ActivationReason reason);
    void onWindowStateChanged(Qt::WindowStates oldState);

    MainWindow& m_window;
    QSystemTrayIcon* m_icon = nullptr;
    QMenu* m_menu = nullptr;
    std::optional<bool> m_trayOverride;
    bool m_hidden = false;
    QTimer m_leftClickMenu{this}; // opens the menu after a left click that stayed single
    QPoint m_leftClickPos;
};
