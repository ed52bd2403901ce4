#pragma once

#include <QHash>
#include <QString>
#include <QVariant>
#include <optional>

// Rules of the card grid and editor that need no window: row shading, the sort marker cycle,
// the footer figures and the checks before a card is saved.
namespace CardRules {

enum class RowShade { Default, DueSoon, DueToday };

// Shade of a card's row from its days left (i_xyr) and repaid flag (tf). A card without days
// left (its days could not be computed) is never shaded; an empty flag reads as false.
RowShade rowShade(const QVariant& daysLeft, const QVariant& repaid);

// A sum for the footer: whole numbers without decimals, otherwise at most two decimals.
QString formatSum(double value);

// What a typed minimum-repayment ratio means, shown beside its field: the ratio counts in
// tenths, so "1" gives "= 10%". Empty when the text is empty or no number.
QString ratioMeaning(const QString& text);

// The message for a holder name that cannot be saved (empty or blank), or nothing.
std::optional<QString> checkHolderName(const QString& name);

// A field the editor refuses to save, with the message for the user.
struct FieldProblem
{
    QString field;
    QString message;
};

// Checks the editor's texts by field name (c_name, c_jzr, ...); nothing when they can be saved.
// Fields missing from `texts` are not checked.
std::optional<FieldProblem> checkCard(const QHash<QString, QString>& texts);

} // namespace CardRules

// Sort markers of the grid's titles and the sort each title click asks for.
class SortMarkers
{
public:
    enum class Marker { None, Down, Up };

    // A click on the title of `column` (sorting by `field`): returns the sort for the card list
    // ("field DESC" unless the marker showed down, then "field") and moves the markers on. A plain
    // click clears the other markers and goes none -> down -> up -> down; with Ctrl the others
    // stay and up goes back to none.
    QString click(int column, const QString& field, bool ctrl);

    Marker marker(int column) const { return m_markers.value(column, Marker::None); }
    void clear() { m_markers.clear(); }

private:
    QHash<int, Marker> m_markers;
};
