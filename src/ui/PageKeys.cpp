#include "ui/PageKeys.h"

#include <QShortcut>
#include <QTabBar>
#include <QTabWidget>

namespace PageKeys {

int nextShownPage(const QTabBar* bar, int from, int step)
{
    const int count = bar->count();
    for (int i = 1; i < count; ++i) {
        const int page = ((from + i * step) % count + count) % count;
        if (bar->isTabVisible(page) && bar->isTabEnabled(page))
            return page;
    }
    return -1;
}

void install(QTabWidget* pages)
{
    const struct
    {
        QKeySequence keys;
        int step;
    } kKeys[] = {
        {QKeySequence(Qt::CTRL | Qt::Key_Tab), 1},
        {QKeySequence(Qt::CTRL | Qt::Key_PageDown), 1},
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab), -1}, // Ctrl+Shift+Tab arrives as Backtab
        {QKeySequence(Qt::CTRL | Qt::Key_PageUp), -1},
    };
    for (const auto& key : kKeys) {
        // A window-wide key: the focus widget (a grid moves its cursor with Ctrl+PgDn) never sees it.
        auto* shortcut = new QShortcut(key.keys, pages);
        shortcut->setContext(Qt::WindowShortcut);
        QObject::connect(shortcut, &QShortcut::activated, pages, [pages, step = key.step] {
            if (const int page = nextShownPage(pages->tabBar(), pages->currentIndex(), step); page >= 0)
                pages->setCurrentIndex(page);
        });
    }
}

} // namespace PageKeys
