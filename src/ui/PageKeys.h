#pragma once

class QTabBar;
class QTabWidget;

namespace PageKeys {

// The next page whose tab is shown, from `from` in direction `step` (+1 or -1), wrapping round;
// -1 when there is none.
int nextShownPage(const QTabBar* bar, int from, int step);

// Ctrl+Tab / Ctrl+PgDn and Ctrl+Shift+Tab / Ctrl+PgUp switch the pages of `pages` wherever the
// focus is in its window (a grid or an edit field included), over the shown tabs only.
void install(QTabWidget* pages);

} // namespace PageKeys
