#include "app/passwordtext.h"
#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QProxyStyle>

namespace {
// The program's style, with a star for each typed character of a password
// (the style's own mask character varies). A style sheet would say the same
// at the cost of parsing one for every password box, the access check's
// included.
class StarStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget, QStyleHintReturn *returned) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter)
            return '*';
        return QProxyStyle::styleHint(hint, option, widget, returned);
    }
};
}

void MaskWithStars(QLineEdit *edit)
{
    edit->setEchoMode(QLineEdit::Password);
    static QPointer<StarStyle> stars;
    if (!stars) {
        stars = new StarStyle(QApplication::style()->name());
        stars->setParent(qApp);
    }
    edit->setStyle(stars);
}
