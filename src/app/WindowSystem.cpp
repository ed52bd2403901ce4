#include "app/WindowSystem.h"

#include <QGuiApplication>
#include <QWidget>

namespace WindowSystem {

bool isWayland()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

bool reportsMinimized()
{
    return !isWayland();
}

void bringForward(QWidget* window)
{
    if (isWayland() && window->isVisible()) {
        window->hide();
        window->show();
        return;
    }
    window->raise();
    window->activateWindow();
}

} // namespace WindowSystem
