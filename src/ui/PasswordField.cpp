#include "ui/PasswordField.h"

#include <QApplication>
#include <QLineEdit>
#include <QProxyStyle>

namespace {
class AsteriskMaskStyle : public QProxyStyle
{
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter)
            return u'*';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

QStyle* asteriskStyle()
{
    // One style for all fields, living as long as the application.
    static QStyle* style = [] {
        auto* s = new AsteriskMaskStyle;
        s->setParent(qApp);
        return s;
    }();
    return style;
}
} // namespace

void makePasswordField(QLineEdit* edit)
{
    edit->setEchoMode(QLineEdit::Password);
    edit->setStyle(asteriskStyle());
}
