#include "app/passwordtext.h"
#include <QLineEdit>

void MaskWithStars(QLineEdit *edit)
{
    edit->setEchoMode(QLineEdit::Password);
    // The style's own mask character varies; the program shows stars.
    edit->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
}
