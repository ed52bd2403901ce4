#pragma once

#include <QString>
#include <QStringView>
#include <optional>

// Whole numbers typed by the user: optional blanks around, an optional sign, decimal digits,
// within the range of a 32-bit signed integer.
namespace IntegerText {

std::optional<int> parse(QStringView text);

// Parse or throw Error with a Chinese message naming the field: "周转金“abc”不是有效的整数。"
int parseOrThrow(const QString& text, const QString& field);

} // namespace IntegerText
