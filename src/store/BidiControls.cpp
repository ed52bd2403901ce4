#include "store/BidiControls.h"

bool isBidiControl(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069);
}

QString withoutBidiControls(QString text)
{
    text.removeIf(isBidiControl);
    return text;
}
