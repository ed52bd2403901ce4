#pragma once

#include "store/Error.h"
#include "ui/MessageBox.h"

#include <utility>

class QWidget;

namespace ui {

// Runs `work`; an Error it throws is shown in an error box over `parent` and goes no further.
// True when `work` ran to its end.
template <typename Work> bool showErrors(QWidget* parent, Work&& work)
{
    try {
        std::forward<Work>(work)();
        return true;
    } catch (const Error& e) {
        MessageBox::error(parent, e.message());
        return false;
    }
}

} // namespace ui
