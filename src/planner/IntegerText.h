#pragma once

#include <QString>
#include <QStringView>
#include <optional>

// Whole numbers typed by the user: optional blanks around, an optional sign, decimal digits,
// within the range of a 32-bit signed integer.
namespace IntegerText {

std::optional<int> parse(QStringView text);

// Parse or throw Error("'<text>' is not a valid integer value").
int parseOrThrow(const QString& text);

} // namespace IntegerText
