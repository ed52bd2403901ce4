#pragma once

class QWidget;

namespace ui {

// The parent a dialog or message box opens over. A window that stays on top of all others (the
// repayment reminder) would cover a box opened over any other window, and the program would
// look frozen; while such a window is shown, boxes open as its children, which window systems
// keep in front of it. Otherwise `wanted` itself.
QWidget* dialogParent(QWidget* wanted);

} // namespace ui
