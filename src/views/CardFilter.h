#pragma once

#include <QString>
#include <QVariantList>
#include <optional>

// Statements of the card list's filters. Pure functions: the filter bar reads its controls into
// a FilterState and runs the statement for the event that fired.
namespace CardFilter {

enum class StateChoice { None, All, Unpaid, Paid, Overdue };

// What the filter bar shows when an event fires.
struct FilterState
{
    StateChoice choice = StateChoice::All; // the selected state choice
    bool hidePaid = false;                 // "隐藏已还款"
    bool hideOverdue = false;              // "隐藏逾期"
    QString holderText;                    // holder box text as displayed
    QString windowText;                    // window box text
    int windowIndex = 0;                   // 0 "所有", 1 "今天", 2..7 "二天内".."一周内"
};

// The events of the filter bar; each reads a different part of the state.
enum class FilterEvent {
    HolderClosed,       // holder box drop-down closed
    WindowClosed,       // window box drop-down closed
    UnpaidChosen,       // "未还款" became selected
    PaidChosen,         // "已还款" became selected
    OverdueChosen,      // "已逾期" became selected (hide-overdue not read)
    HideOverdueToggled, // "隐藏逾期" toggled ("已逾期" counts as no restriction)
    HidePaidToggled,    // "隐藏已还款" toggled (as above)
    UnpaidPressed,      // mouse press on "未还款", with the selection from before the press
    AllChosen,          // "所有" chosen or pressed: every card, nothing else read
};

// The holder box's first entry; it stands for every holder.
inline constexpr char16_t kAllHolders[] = u"所有";

// The window box entries, indexes 0 to 7.
QStringList windowItems();

// A card list statement with the values bound to its placeholders (the holder a user typed).
struct Listing
{
    QString statement;
    QVariantList values;
};

// The card list statement for `event` given the filter bar's `state`.
Listing statementFor(FilterEvent event, const FilterState& state);

// The statement of the quick due button over count label `index` (0 = due within 1 day .. 7 = the 3-day
// total).
QString quickStatement(int index);

// The days left a quick due button lists (unpaid cards only): from `lowest` (none: no lower
// bound) to `highest`.
struct DayRange
{
    std::optional<int> lowest;
    int highest = 0;
};
DayRange quickDays(int index);

// The filter bar as it shows the list of quick due button `index`: "未还款" with the window that
// covers the same days, or "已逾期" with "隐藏已还款". `windowIndex` is -1 where no window box
// entry covers those days; `windowText` then says which days the list covers.
struct QuickBarState
{
    FilterState state;
    QString windowText;
};
QuickBarState quickBarState(int index);

// Tooltips saying exactly which days a count (and its button) and a window box entry cover.
QString quickTip(int index);
QString windowTip(int windowIndex);

} // namespace CardFilter
