#pragma once

#include <QTranslator>

// Chinese texts for the toolkit's own edit menus (the right-click menu of every edit field,
// spin box and text box), which the platform ships no Chinese catalogue for.
class EditMenuTranslator : public QTranslator
{
public:
    using QTranslator::QTranslator;

    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* sourceText, const char* disambiguation = nullptr,
                      int n = -1) const override;
};
