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

std::optional<double> parseAmount(const QString &text)
{
    const QString t = text.trimmed();
    int i = 0;
    const int n = int(t.size());
    auto digitRun = [&] {
        const int from = i;
        while (i < n && t[i] >= QLatin1Char('0') && t[i] <= QLatin1Char('9'))
            ++i;
        return i - from;
    };
    if (i < n && (t[i] == QLatin1Char('+') || t[i] == QLatin1Char('-')))
        ++i;
    const int whole = digitRun();
    QChar separator;
    int fraction = 0;
    if (i < n && (t[i] == QLatin1Char(',') || t[i] == QLatin1Char('.'))) {
        separator = t[i++];
        fraction = digitRun();
    }
    if (whole + fraction == 0)
        return std::nullopt;
    int exponent = 0;
    if (i < n && (t[i] == QLatin1Char('e') || t[i] == QLatin1Char('E'))) {
        ++i;
        bool negative = false;
        if (i < n && (t[i] == QLatin1Char('+') || t[i] == QLatin1Char('-')))
            negative = t[i++] == QLatin1Char('-');
        const int from = i;
        if (digitRun() == 0)
            return std::nullopt;
        const QString e = t.mid(from, i - from);
        exponent = e.size() > 5 ? 99999 : e.toInt();
        if (negative)
            exponent = -exponent;
    }
    if (i != n)
        return std::nullopt;
    // "1.500" is fifteen hundred to a Greek reader and one and a half to
    // others: refused rather than guessed.
    if (separator == QLatin1Char('.') && fraction == 3)
        return std::nullopt;
    // Cents at most: "0,001" would be stored and printed as 0,00, and
    // "1,500" is fifteen hundred to a reader used to a decimal point.
    if (fraction - exponent > 2)
        return std::nullopt;

    QString c = t;
    c.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double v = QLocale::c().toDouble(c, &ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
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
