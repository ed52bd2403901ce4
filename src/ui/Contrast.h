#pragma once

#include <QColor>

class QWidget;

// Text that stays readable on its background in a light and a dark desktop palette: contrast
// as the web's accessibility guidelines measure it (1:1 to 21:1; 4.5:1 for normal text).
namespace Contrast {

inline constexpr double kMinimum = 4.5;

double relativeLuminance(const QColor& colour);
double ratio(const QColor& a, const QColor& b);

// `hue` kept (hue and saturation), its lightness moved away from `background` step by step
// until the pair reaches `minimum`: darker on a light background, lighter on a dark one.
QColor readableOn(const QColor& hue, const QColor& background, double minimum = kMinimum);

// Gives `widget` text of `hue`, made readable on the window colour of its palette.
void setTextHue(QWidget* widget, const QColor& hue);

} // namespace Contrast
