#pragma once

class QWidget;

// What the window system lets a program do with its own windows. Under X11 a minimized window
// stays minimized and can be raised; Wayland never reports "minimized" (xdg-shell has no such
// state: Qt clears it at once) and ignores raise() and activateWindow().
namespace WindowSystem {

bool isWayland();
// A minimized window keeps Qt::WindowMinimized until it comes back.
bool reportsMinimized();
// Brings a shown window in front of the others. Under Wayland only a new mapping does that:
// the window is hidden and shown again (its show handling must not take that for a new show).
void bringForward(QWidget* window);

} // namespace WindowSystem
