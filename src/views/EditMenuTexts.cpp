#include "views/EditMenuTexts.h"

#include <cstring>

namespace {

struct MenuText
{
    const char* source;
    const char16_t* chinese;
};

constexpr MenuText kTexts[] = {
    {"&Undo", u"撤销(&U)"},
    {"&Redo", u"重做(&R)"},
    {"Cu&t", u"剪切(&T)"},
    {"&Copy", u"复制(&C)"},
    {"Copy &Link Location", u"复制链接地址(&L)"},
    {"&Paste", u"粘贴(&P)"},
    {"Delete", u"删除"},
    {"Select All", u"全选"},
    {"&Select All", u"全选(&S)"},
    {"&Step up", u"增加(&S)"},
    {"Step &down", u"减少(&D)"},
};

constexpr const char* kContexts[] = {"QLineEdit", "QWidgetTextControl", "QAbstractSpinBox"};

} // namespace

QString EditMenuTranslator::translate(const char* context, const char* sourceText, const char*, int) const
{
    if (!context || !sourceText)
        return {};
    bool known = false;
    for (const char* c : kContexts)
        known = known || std::strcmp(c, context) == 0;
    if (!known)
        return {};
    for (const MenuText& text : kTexts) {
        if (std::strcmp(text.source, sourceText) == 0)
            return QString::fromUtf16(text.chinese);
    }
    return {};
}
