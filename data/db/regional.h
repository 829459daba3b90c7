#pragma once
#include <QDate>
#include <QDateTime>
#include <QString>
#include <optional>

class QCollator;

// The regional conventions the program is made for (Greek settings).
namespace Regional {
QString shortDateFormat();   // "d/M/yyyy"
QChar dateSeparator();       // '/'
QString longTimeFormat();    // "HH:mm:ss"
QChar decimalSeparator();    // ','

// Greek dictionary order, one collator per thread: the SQL collation GREEK
// and the data sets' in-memory sort use this one.
const QCollator &greekCollator();

QString formatDate(const QDate &d);   // 5/3/2008
// Date, and the long time after a blank when the time is not midnight.
QString formatDateTime(const QDateTime &dt);

// Reads a typed date by the short-date rules: day/month[/year], blanks
// before and between the parts skipped, a trailing separator allowed,
// one- or two-digit years in the window 50 years back to 49 ahead of
// today's year, two parts take today's year, real calendar dates only.
std::optional<QDate> parseDate(const QString &text, const QDate &today);
std::optional<QDate> parseDate(const QString &text);   // today from Clock

// Reads an amount: optional sign, digits, one decimal separator (',', or
// '.' where it cannot be a thousands point), at most two decimals. Refused,
// with the reason as a Greek sentence: letters and signs, thousands
// separators, a separator followed by exactly three digits ("1.500",
// "1,500"), an exponent ("1,5e2"), more decimals, what does not fit a double.
struct AmountReading {
    std::optional<double> value;
    QString refusal;   // empty when read
};
AmountReading readAmount(const QString &text);
std::optional<double> parseAmount(const QString &text);
// The largest amount a receipt takes: 99.999.999,99.
inline constexpr double MaxAmount = 99999999.99;

// An amount with a fixed number of decimals and the regional separator: "12,50".
QString formatAmount(double value, int decimals = 2);
// A number in its shortest exact form with the regional separator: "12,5".
QString formatNumber(double value);
}
