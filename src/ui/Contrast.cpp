#include "ui/Contrast.h"

#include <QPalette>
#include <QWidget>

#include <cmath>

namespace Contrast {

namespace {
double linear(double channel)
{
    return channel <= 0.03928 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}
} // namespace

double relativeLuminance(const QColor& colour)
{
    const QColor c = colour.toRgb();
    return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
}

double ratio(const QColor& a, const QColor& b)
{
    const double la = relativeLuminance(a);
    const double lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor readableOn(const QColor& hue, const QColor& background, double minimum)
{
    if (ratio(hue, background) >= minimum)
        return hue;
    const QColor hsl = hue.toHsl();
    const float h = std::max(0.0f, hsl.hslHueF()); // gray has no hue (-1)
    const float s = hsl.hslSaturationF();
    const float l = hsl.lightnessF();
    // Away from the background first; the other way only if that end is reached in vain.
    const bool lightBackground = relativeLuminance(background) > 0.18;
    QColor best = hue;
    for (const int direction : {lightBackground ? -1 : 1, lightBackground ? 1 : -1}) {
        for (int step = 1; step <= 255; ++step) {
            const float lightness = std::clamp(l + direction * step / 255.0f, 0.0f, 1.0f);
            const QColor candidate = QColor::fromHslF(h, s, lightness).toRgb();
            if (ratio(candidate, background) >= minimum)
                return candidate;
            if (ratio(candidate, background) > ratio(best, background))
                best = candidate;
            if (lightness <= 0.0f || lightness >= 1.0f)
                break;
        }
    }
    return best;
}

void setTextHue(QWidget* widget, const QColor& hue)
{
    QPalette palette = widget->palette();
    const QColor text = readableOn(hue, palette.color(QPalette::Window));
    for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
        palette.setColor(role, text);
    widget->setPalette(palette);
}

} // namespace Contrast
