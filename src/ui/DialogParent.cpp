#include "ui/DialogParent.h"

#include <QApplication>
#include <QWidget>

namespace ui {

QWidget* dialogParent(QWidget* wanted)
{
    const QWidget* own = wanted ? wanted->window() : nullptr;
    QWidget* onTop = nullptr;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (!window->isVisible() || !(window->windowFlags() & Qt::WindowStaysOnTopHint))
            continue;
        if (window == own)
            return wanted; // already in front
        // The active one when several are up (it is the one the user looks at).
        if (!onTop || window->isActiveWindow())
            onTop = window;
    }
    return onTop ? onTop : wanted;
}

} // namespace ui
