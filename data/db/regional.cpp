#include "data/db/regional.h"
#include "data/db/clock.h"
#include <QCollator>
#include <QLocale>
#include <cmath>

namespace Regional {

QString shortDateFormat() { return QStringLiteral("d/M/yyyy"); }
QChar dateSeparator() { return QLatin1Char('/'); }
QString longTimeFormat() { return QStringLiteral("HH:mm:ss"); }
QChar decimalSeparator() { return QLatin1Char(','); }

const QCollator &greekCollator()
{
    // QCollator is not safe to share between threads.
    static thread_local const QCollator collator(QLocale(QLocale::Greek, QLocale::Greece));
    return collator;
}

QString formatDate(const QDate &d)
{
    return d.isValid() ? d.toString(shortDateFormat()) : QString();
}

QString formatDateTime(const QDateTime &dt)
{
    if (!dt.isValid())
        return QString();
    if (dt.time() == QTime(0, 0))
        return formatDate(dt.date());
    return formatDate(dt.date()) + QLatin1Char(' ') + dt.time().toString(longTimeFormat());
}

namespace {
void skipBlanks(const QString &s, int &i)
{
    while (i < s.size() && s[i] == QLatin1Char(' '))
        ++i;
}

// A run of decimal digits; false when there is none.
bool readNumber(const QString &s, int &i, int &value, int &digits)
{
    digits = 0;
    qint64 v = 0;
    while (i < s.size() && s[i] >= QLatin1Char('0') && s[i] <= QLatin1Char('9')) {
        if (v < 100000)
            v = v * 10 + (s[i].unicode() - '0');
        ++i;
        ++digits;
    }
    value = int(v);
    return digits > 0;
}
}

std::optional<QDate> parseDate(const QString &text, const QDate &today)
{
    const QChar sep = dateSeparator();
    int i = 0, n[3] = {0, 0, 0}, digits[3] = {0, 0, 0}, parts = 0;
    skipBlanks(text, i);
    if (!readNumber(text, i, n[0], digits[0]))
        return std::nullopt;
    parts = 1;
    skipBlanks(text, i);
    if (i >= text.size() || text[i] != sep)
        return std::nullopt;
    ++i;
    skipBlanks(text, i);
    if (!readNumber(text, i, n[1], digits[1]))
        return std::nullopt;
    parts = 2;
    skipBlanks(text, i);
    if (i < text.size() && text[i] == sep) {
        ++i;
        skipBlanks(text, i);
        if (readNumber(text, i, n[2], digits[2])) {
            parts = 3;
            skipBlanks(text, i);
            if (i < text.size() && text[i] == sep)
                ++i;
            skipBlanks(text, i);
        }
    }
    if (i != text.size())
        return std::nullopt;

    int day = n[0], month = n[1], year = today.year();
    if (parts == 3) {
        year = n[2];
        if (digits[2] <= 2) {
            // The hundred years from 50 back to 49 ahead of this year.
            const int lowest = today.year() - 50;
            year = lowest - (lowest % 100) + n[2];
            if (year < lowest)
                year += 100;
        }
    }
    if (year < 1 || year > 9999 || !QDate::isValid(year, month, day))
        return std::nullopt;
    return QDate(year, month, day);
}

std::optional<QDate> parseDate(const QString &text) { return parseDate(text, Clock::today()); }

AmountReading readAmount(const QString &text)
{
    static const QString Digits = QStringLiteral("Γράψτε το ποσό μόνο με ψηφία και κόμμα για τα δεκαδικά, π.χ. 1500,00");
    static const QString Comma = QStringLiteral("Γράψτε το ποσό με κόμμα για τα δεκαδικά, π.χ. 1500,00");
    static const QString Exponent = QStringLiteral("Γράψτε το ποσό χωρίς εκθέτη (e), π.χ. 1500,00");
    static const QString Cents = QStringLiteral("Το ποσό έχει το πολύ δύο δεκαδικά, π.χ. 1500,00");
    static const QString TooLarge = QStringLiteral("Το ποσό είναι πολύ μεγάλο.");

    const QString t = text.trimmed();
    int i = 0;
    const int n = int(t.size());
    auto isDigit = [&](int at) { return t[at] >= QLatin1Char('0') && t[at] <= QLatin1Char('9'); };
    if (i < n && (t[i] == QLatin1Char('+') || t[i] == QLatin1Char('-')))
        ++i;
    // Digits with separators between them, as typed; the shape decides.
    int digits = 0, separators = 0, afterLast = 0;
    for (; i < n && (isDigit(i) || t[i] == QLatin1Char(',') || t[i] == QLatin1Char('.')); ++i) {
        if (isDigit(i)) {
            ++digits;
            ++afterLast;
        } else {
            ++separators;
            afterLast = 0;
        }
    }
    if (digits == 0)
        return {std::nullopt, Digits};
    if (i < n && (t[i] == QLatin1Char('e') || t[i] == QLatin1Char('E'))) {
        int j = i + 1;
        if (j < n && (t[j] == QLatin1Char('+') || t[j] == QLatin1Char('-')))
            ++j;
        while (j < n && isDigit(j))
            ++j;
        if (j == n && j > i + 1 && isDigit(j - 1))
            return {std::nullopt, Exponent};
    }
    if (i != n)
        return {std::nullopt, Digits};
    // "1.500" is fifteen hundred to a Greek reader and one and a half to
    // others, "1,500" the other way round: refused rather than guessed, as
    // is any number with thousands separators.
    if (separators > 1 || (separators == 1 && afterLast == 3))
        return {std::nullopt, Comma};
    // Cents at most: "0,0001" would be stored and printed as 0,00.
    if (separators == 1 && afterLast > 2)
        return {std::nullopt, Cents};

    QString c = t;
    c.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double v = QLocale::c().toDouble(c, &ok);
    if (!ok || !std::isfinite(v))
        return {std::nullopt, TooLarge};   // the shape is a number's
    return {v, QString()};
}

std::optional<double> parseAmount(const QString &text)
{
    return readAmount(text).value;
}

QString formatAmount(double value, int decimals)
{
    QString s = QString::number(value, 'f', decimals);
    if (s.startsWith(QLatin1Char('-')) && s.count(QLatin1Char('0')) == s.size() - 2)
        s.remove(0, 1);   // no "-0,00"
    s.replace(QLatin1Char('.'), decimalSeparator());
    return s;
}

QString formatNumber(double value)
{
    QString s = QString::number(value, 'g', 15);
    if (s.contains(QLatin1Char('e')))
        s = QString::number(value, 'g', 17);
    s.replace(QLatin1Char('.'), decimalSeparator());
    return s;
}

}   // namespace Regional
