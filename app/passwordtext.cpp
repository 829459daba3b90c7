#include "app/passwordtext.h"
#include "data/db/dataset.h"
#include <QLineEdit>

namespace {
bool isBlank(QChar c)
{
    return c.unicode() <= 0x20 || c.isSpace();
}
}

QString TrimText(const QString &text)
{
    qsizetype begin = 0, end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

void MaskWithStars(QLineEdit *edit)
{
    edit->setEchoMode(QLineEdit::Password);
    // The style's own mask character varies; the program shows stars.
    edit->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
}

QString StoredPassword(const DataSet &security)
{
    if (security.recordCount() == 0 || security.fieldCount() == 0)
        return {};
    const QVariant v = security.value(0, 0);
    return v.isValid() ? TrimText(v.toString()) : QString();
}
