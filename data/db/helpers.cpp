#include "data/db/helpers.h"
#include "data/db/regional.h"

void SqlDateLiteral(QString &text)
{
    const auto d = Regional::parseDate(text);
    text = d ? SqlDateLiteral(*d) : QStringLiteral("ERROR");
}

QString SqlDateLiteral(const QDate &date)
{
    // A year below 100 is written with four digits, so that it is not read
    // back as a two-digit year of this or the last century.
    const QString year = date.year() < 100 ? QStringLiteral("%1").arg(date.year(), 4, 10, QLatin1Char('0'))
                                           : QString::number(date.year());
    return QStringLiteral("#%1/%2/%3#").arg(date.month()).arg(date.day()).arg(year);
}

std::optional<QChar> FirstSpecialChar(const QString &text)
{
    // The 31 characters refused in criteria, passwords and descriptions.
    static const char forbidden[] = "!\"#$%&'()*+,-.:;<=>?@[\\]^_`{|}~";
    static_assert(sizeof(forbidden) - 1 == 31);
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u == 0 || (u < 0x80 && std::char_traits<char>::find(forbidden, 31, char(u))))
            return c;
    }
    return std::nullopt;
}

bool HasNoSpecialChars(const QString &text)
{
    return !FirstSpecialChar(text);
}

QString TrimText(const QString &text)
{
    auto blank = [](QChar c) { return c.unicode() <= 0x20 || c.isSpace(); };
    qsizetype begin = 0, end = text.size();
    while (begin < end && blank(text[begin]))
        ++begin;
    while (end > begin && blank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}
