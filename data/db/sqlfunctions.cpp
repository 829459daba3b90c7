#include <algorithm>
#include "data/db/dberror.h"
#include "data/db/jetsql.h"
#include "data/db/regional.h"
#include <QCollator>
#include <QDate>
#include <QLocale>
#include <QStringDecoder>
#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>
#include <sqlite3.h>
#include <vector>

namespace {

// ---- dates stored as ISO text --------------------------------------------

// "YYYY-MM-DD", optionally followed by a time after a blank (or 'T').
bool parseIsoDate(const unsigned char *s, int n, int &y, int &m, int &d)
{
    auto num = [&](int &pos, int minDigits, int maxDigits, int &out) {
        int digits = 0;
        out = 0;
        while (pos < n && s[pos] >= '0' && s[pos] <= '9' && digits < maxDigits) {
            out = out * 10 + (s[pos] - '0');
            ++pos;
            ++digits;
        }
        return digits >= minDigits;
    };
    int pos = 0;
    if (!num(pos, 4, 4, y) || pos >= n || s[pos++] != '-')
        return false;
    if (!num(pos, 1, 2, m) || pos >= n || s[pos++] != '-')
        return false;
    if (!num(pos, 1, 2, d))
        return false;
    if (pos < n && s[pos] != ' ' && s[pos] != 'T')
        return false;
    return QDate::isValid(y, m, d);
}

bool valueDate(sqlite3_value *v, int &y, int &m, int &d)
{
    if (sqlite3_value_type(v) != SQLITE_TEXT)
        return false;
    const unsigned char *s = sqlite3_value_text(v);
    return s && parseIsoDate(s, sqlite3_value_bytes(v), y, m, d);
}

enum class DatePart { Day,
                      Month,
                      Year };

template <DatePart part>
void datePartFunc(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    int y, m, d;
    if (!valueDate(argv[0], y, m, d)) {
        sqlite3_result_null(ctx);
        return;
    }
    sqlite3_result_int(ctx, part == DatePart::Day ? d : part == DatePart::Month ? m
                                                                                : y);
}

// ---- Format(x, fmt) --------------------------------------------------------

void resultText(sqlite3_context *ctx, const QString &s)
{
    const QByteArray u = s.toUtf8();
    sqlite3_result_text(ctx, u.constData(), int(u.size()), SQLITE_TRANSIENT);
}

// Rounds the shortest decimal form of the number, half away from zero, so
// that 2.675 gives 2.68 as on paper rather than 2.67 from its binary value.
// Plain bytes: lists format two amounts on every row.
std::string fixedDecimalsAscii(double value, int decimals)
{
    char buf[400];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
    const char *begin = buf, *end = res.ptr;
    bool negative = false;
    if (begin != end && *begin == '-') {
        negative = true;
        ++begin;
    }
    const char *dot = std::find(begin, end, '.');
    std::string digits(begin, dot);
    const char *frac = dot == end ? end : dot + 1;
    const size_t fracLen = size_t(end - frac);
    const bool roundUp = fracLen > size_t(decimals) && frac[decimals] >= '5';
    digits.append(frac, std::min(fracLen, size_t(decimals)));
    digits.append(size_t(decimals) - std::min(fracLen, size_t(decimals)), '0');
    if (roundUp) {
        int i = int(digits.size()) - 1;
        while (i >= 0 && digits[size_t(i)] == '9')
            digits[size_t(i--)] = '0';
        if (i >= 0)
            ++digits[size_t(i)];
        else
            digits.insert(digits.begin(), '1');
    }
    std::string out;
    out.reserve(digits.size() + 2);
    // A value that rounds to zero shows no sign.
    if (negative && digits.find_first_not_of('0') != std::string::npos)
        out += '-';
    const size_t intLen = digits.size() - size_t(decimals);
    out.append(digits, 0, intLen);
    if (decimals > 0) {
        out += char(Regional::decimalSeparator().toLatin1());
        out.append(digits, intLen, std::string::npos);
    }
    return out;
}

QString fixedDecimals(double value, int decimals)
{
    if (!std::isfinite(value))
        return QString::number(value);
    return QString::fromStdString(fixedDecimalsAscii(value, decimals));
}

// "0", "0.0", "0.00", ...: the number of decimals, or -1 for another format.
int numberFormatDecimals(const QString &fmt)
{
    if (fmt.isEmpty() || fmt[0] != u'0')
        return -1;
    if (fmt.size() == 1)
        return 0;
    if (fmt[1] != u'.' || fmt.size() < 3)
        return -1;
    for (qsizetype i = 2; i < fmt.size(); ++i)
        if (fmt[i] != u'0')
            return -1;
    return int(fmt.size() - 2);
}

// Date formats built of d, dd, m, mm, yy, yyyy and separators; "/" is the
// regional date separator. Gives an empty text for another format.
QString formatDate(int y, int m, int d, const QString &fmt, bool *ok)
{
    QString out;
    *ok = true;
    const QString f = fmt.toLower();
    for (qsizetype i = 0; i < f.size();) {
        const QChar c = f[i];
        qsizetype run = 1;
        while (i + run < f.size() && f[i + run] == c)
            ++run;
        if (c == u'd' && run <= 2)
            out += run == 2 ? QStringLiteral("%1").arg(d, 2, 10, QLatin1Char('0')) : QString::number(d);
        else if (c == u'm' && run <= 2)
            out += run == 2 ? QStringLiteral("%1").arg(m, 2, 10, QLatin1Char('0')) : QString::number(m);
        else if (c == u'y' && (run == 2 || run == 4))
            out += run == 4 ? QStringLiteral("%1").arg(y, 4, 10, QLatin1Char('0'))
                            : QStringLiteral("%1").arg(y % 100, 2, 10, QLatin1Char('0'));
        else if (c == u'/')
            out += QString(run, Regional::dateSeparator());
        else if (c == u'-' || c == u'.' || c == u' ')
            out += QString(run, c);
        else
            *ok = false;
        i += run;
    }
    return out;
}

void jetFormatFunc(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    sqlite3_value *x = argv[0];
    const int type = sqlite3_value_type(x);
    if (type == SQLITE_NULL) {
        sqlite3_result_text(ctx, "", 0, SQLITE_STATIC);
        return;
    }
    // The common case first: an amount with "0.00" and the like, without
    // going through QString.
    if ((type == SQLITE_INTEGER || type == SQLITE_FLOAT) && sqlite3_value_type(argv[1]) == SQLITE_TEXT) {
        const char *f = reinterpret_cast<const char *>(sqlite3_value_text(argv[1]));
        const int n = sqlite3_value_bytes(argv[1]);
        int decimals = -1;
        if (n == 1 && f[0] == '0')
            decimals = 0;
        else if (n >= 3 && f[0] == '0' && f[1] == '.' && std::all_of(f + 2, f + n, [](char c) { return c == '0'; }))
            decimals = n - 2;
        const double v = sqlite3_value_double(x);
        if (decimals >= 0 && std::isfinite(v)) {
            const std::string r = fixedDecimalsAscii(v, decimals);
            sqlite3_result_text(ctx, r.data(), int(r.size()), SQLITE_TRANSIENT);
            return;
        }
    }
    const QString valueText = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_value_text(x)),
                                                sqlite3_value_bytes(x));
    if (sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        resultText(ctx, valueText);
        return;
    }
    const QString fmt = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_value_text(argv[1])),
                                          sqlite3_value_bytes(argv[1]));

    if (const int decimals = numberFormatDecimals(fmt); decimals >= 0) {
        if (type == SQLITE_INTEGER || type == SQLITE_FLOAT) {
            resultText(ctx, fixedDecimals(sqlite3_value_double(x), decimals));
            return;
        }
        // Text that reads as a number is formatted; other text stays as it is.
        bool isNumber = false;
        const double v = valueText.trimmed().toDouble(&isNumber);
        resultText(ctx, isNumber ? fixedDecimals(v, decimals) : valueText);
        return;
    }

    bool ok = false;
    int y, m, d;
    formatDate(2000, 1, 1, fmt, &ok);
    const bool namesDatePart = fmt.contains(u'd', Qt::CaseInsensitive) || fmt.contains(u'm', Qt::CaseInsensitive)
        || fmt.contains(u'y', Qt::CaseInsensitive);
    if (ok && namesDatePart) {
        resultText(ctx, valueDate(x, y, m, d) ? formatDate(y, m, d, fmt, &ok) : valueText);
        return;
    }
    const QByteArray msg = QStringLiteral("Format: η μορφή \"%1\" δεν υποστηρίζεται").arg(fmt).toUtf8();
    sqlite3_result_error(ctx, msg.constData(), int(msg.size()));
}

// ---- folding for LIKE --------------------------------------------------------

bool isCombiningAccent(char32_t c) { return c >= 0x300 && c <= 0x36F; }

// One code point of the BMP folded: canonical decomposition reduced to its
// base letter when only accents follow (ά -> α, ΐ -> ι, é -> e), then simple
// case folding (Σ, ς -> σ). A lone accent folds to nothing (0).
char16_t computeFold(char32_t c)
{
    if (isCombiningAccent(c))
        return 0;
    for (int guard = 0; guard < 4 && QChar::decompositionTag(c) == QChar::Canonical; ++guard) {
        const QString d = QChar::decomposition(c);
        if (d.isEmpty() || d[0].isSurrogate())
            break;
        bool accentsOnly = true;
        for (qsizetype i = 1; i < d.size(); ++i)
            accentsOnly = accentsOnly && isCombiningAccent(d[i].unicode());
        if (!accentsOnly)
            break;
        c = d[0].unicode();
    }
    const char32_t f = QChar::toCaseFolded(c);
    return f <= 0xFFFF ? char16_t(f) : char16_t(c);
}

const char16_t *foldTable()
{
    static const std::unique_ptr<char16_t[]> table = [] {
        std::unique_ptr<char16_t[]> t(new char16_t[0x10000]);
        for (char32_t c = 0; c < 0x10000; ++c)
            t[c] = (c >= 0xD800 && c <= 0xDFFF) ? char16_t(c) : computeFold(c);
        return t;
    }();
    return table.get();
}

inline char32_t foldCodePoint(char32_t c, const char16_t *table)
{
    return c < 0x10000 ? table[c] : QChar::toCaseFolded(c);
}

// Decodes UTF-8 into code points; a malformed byte reads as U+FFFD.
template <class F>
void forEachCodePoint(const unsigned char *s, int n, F &&f)
{
    int i = 0;
    while (i < n) {
        const unsigned char b = s[i];
        if (b < 0x80) {
            f(char32_t(b));
            ++i;
            continue;
        }
        int len = b >= 0xF0 && b < 0xF8 ? 4 : b >= 0xE0 ? 3
            : b >= 0xC2 && b < 0xE0                     ? 2
                                                        : 0;
        if (b >= 0xF8)
            len = 0;
        char32_t c = len == 2 ? b & 0x1F : len == 3 ? b & 0x0F
                                                    : b & 0x07;
        bool good = len > 0 && i + len <= n;
        for (int k = 1; good && k < len; ++k) {
            if ((s[i + k] & 0xC0) != 0x80)
                good = false;
            else
                c = (c << 6) | (s[i + k] & 0x3F);
        }
        if (good && ((len == 3 && c < 0x800) || (len == 4 && (c < 0x10000 || c > 0x10FFFF))))
            good = false;
        f(good ? c : char32_t(0xFFFD));
        i += good ? len : 1;
    }
}

// A LIKE pattern read once per statement: '%' any run, '_' one character,
// the escape character making the next one literal; literals folded.
struct LikePattern {
    enum Kind : char { Literal,
                       One,
                       Any };
    struct Item {
        Kind kind;
        char32_t ch;
    };
    std::vector<Item> items;
    char32_t escape = 0;
    bool hasEscape = false;
    std::string source;
};

std::unique_ptr<LikePattern> compilePattern(const unsigned char *p, int n, bool hasEscape, char32_t escape)
{
    auto pat = std::make_unique<LikePattern>();
    pat->hasEscape = hasEscape;
    pat->escape = escape;
    pat->source.assign(reinterpret_cast<const char *>(p), size_t(n));
    const char16_t *table = foldTable();
    bool escaped = false;
    forEachCodePoint(p, n, [&](char32_t c) {
        if (!escaped && hasEscape && c == escape) {
            escaped = true;
            return;
        }
        if (!escaped && c == '%') {
            if (pat->items.empty() || pat->items.back().kind != LikePattern::Any)
                pat->items.push_back({LikePattern::Any, 0});
        } else if (!escaped && c == '_') {
            pat->items.push_back({LikePattern::One, 0});
        } else if (const char32_t f = foldCodePoint(c, table)) {
            pat->items.push_back({LikePattern::Literal, f});
        }
        escaped = false;
    });
    return pat;
}

bool likeMatch(const LikePattern &pat, const std::vector<char32_t> &text)
{
    const auto &p = pat.items;
    const size_t np = p.size(), ns = text.size();
    size_t pi = 0, si = 0, starP = size_t(-1), starS = 0;
    while (si < ns) {
        if (pi < np && (p[pi].kind == LikePattern::One || (p[pi].kind == LikePattern::Literal && p[pi].ch == text[si]))) {
            ++pi;
            ++si;
        } else if (pi < np && p[pi].kind == LikePattern::Any) {
            starP = pi++;
            starS = si;
        } else if (starP != size_t(-1)) {
            pi = starP + 1;
            si = ++starS;
        } else {
            return false;
        }
    }
    while (pi < np && p[pi].kind == LikePattern::Any)
        ++pi;
    return pi == np;
}

void likeFunc(sqlite3_context *ctx, int argc, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL
        || (argc == 3 && sqlite3_value_type(argv[2]) == SQLITE_NULL)) {
        sqlite3_result_null(ctx);
        return;
    }
    bool hasEscape = false;
    char32_t escape = 0;
    if (argc == 3) {
        const unsigned char *e = sqlite3_value_text(argv[2]);
        int count = 0;
        forEachCodePoint(e, sqlite3_value_bytes(argv[2]), [&](char32_t c) {
            escape = c;
            ++count;
        });
        if (count != 1) {
            sqlite3_result_error(ctx, "ESCAPE expression must be a single character", -1);
            return;
        }
        hasEscape = true;
    }

    const unsigned char *p = sqlite3_value_text(argv[0]);
    const int np = sqlite3_value_bytes(argv[0]);
    auto *cached = static_cast<LikePattern *>(sqlite3_get_auxdata(ctx, 0));
    std::unique_ptr<LikePattern> fresh;
    if (!cached || cached->hasEscape != hasEscape || cached->escape != escape
        || cached->source.size() != size_t(np) || std::memcmp(cached->source.data(), p, size_t(np)) != 0) {
        fresh = compilePattern(p, np, hasEscape, escape);
        cached = fresh.get();
    }

    static thread_local std::vector<char32_t> text;
    text.clear();
    const char16_t *table = foldTable();
    const unsigned char *s = sqlite3_value_text(argv[1]);
    forEachCodePoint(s, sqlite3_value_bytes(argv[1]), [&](char32_t c) {
        if (const char32_t f = foldCodePoint(c, table))
            text.push_back(f);
    });
    sqlite3_result_int(ctx, likeMatch(*cached, text) ? 1 : 0);

    // Handed over last: SQLite may free it at once when it cannot keep it.
    if (fresh)
        sqlite3_set_auxdata(ctx, 0, fresh.release(), [](void *d) { delete static_cast<LikePattern *>(d); });
}

// ---- collation GREEK ---------------------------------------------------------

int compareViews(QStringView a, QStringView b)
{
    const int r = Regional::greekCollator().compare(a, b);
    if (r != 0)
        return r < 0 ? -1 : 1;
    // Texts the collator deems equal still get a fixed order, so that the
    // order is total and only identical texts compare equal.
    const int t = a.compare(b, Qt::CaseSensitive);
    return t < 0 ? -1 : t > 0 ? 1
                              : 0;
}

QStringView decodeInto(std::vector<QChar> &buf, const void *data, int n)
{
    buf.resize(size_t(n) + 1);
    const auto *s = static_cast<const unsigned char *>(data);
    int i = 0;
    while (i < n && s[i] < 0x80) {
        buf[size_t(i)] = QChar(s[i]);
        ++i;
    }
    if (i == n)
        return QStringView(buf.data(), n);
    // Greek text is two-byte sequences and ASCII: decoded here, which an
    // integrity check of the customers' index does millions of times. Any
    // other byte leaves it all to the decoder, from the same point as ever.
    size_t out = size_t(i);
    bool whole = true;
    for (int j = i; j < n && whole;) {
        const unsigned char c = s[j];
        if (c < 0x80) {
            buf[out++] = QChar(c);
            ++j;
        } else if (c >= 0xC2 && c <= 0xDF && j + 1 < n && (s[j + 1] & 0xC0) == 0x80) {
            buf[out++] = QChar(char16_t(((c & 0x1F) << 6) | (s[j + 1] & 0x3F)));
            j += 2;
        } else {
            whole = false;
        }
    }
    if (whole)
        return QStringView(buf.data(), qsizetype(out));
    // Same decoder as QString::fromUtf8, so the data sets' sort agrees.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    QChar *end = decoder.appendToBuffer(buf.data() + i,
                                        QByteArrayView(reinterpret_cast<const char *>(s) + i, n - i));
    return QStringView(buf.data(), end - buf.data());
}

int greekCollation(void *, int n1, const void *s1, int n2, const void *s2)
{
    if (n1 == n2 && std::memcmp(s1, s2, size_t(n1)) == 0)
        return 0;
    static thread_local std::vector<QChar> a, b;
    return compareViews(decodeInto(a, s1, n1), decodeInto(b, s2, n2));
}

void check(sqlite3 *db, int rc, const char *what)
{
    if (rc != SQLITE_OK)
        throw DbError(QStringLiteral("Η συνάρτηση %1 δεν καταχωρίστηκε: %2").arg(QLatin1String(what), QString::fromUtf8(sqlite3_errmsg(db))));
}

}   // namespace

void SqlFunctions::registerAll(sqlite3 *db)
{
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    check(db, sqlite3_create_function_v2(db, "DAY", 1, flags, nullptr, datePartFunc<DatePart::Day>, nullptr, nullptr, nullptr), "DAY");
    check(db, sqlite3_create_function_v2(db, "MONTH", 1, flags, nullptr, datePartFunc<DatePart::Month>, nullptr, nullptr, nullptr), "MONTH");
    check(db, sqlite3_create_function_v2(db, "YEAR", 1, flags, nullptr, datePartFunc<DatePart::Year>, nullptr, nullptr, nullptr), "YEAR");
    check(db, sqlite3_create_function_v2(db, "JETFORMAT", 2, flags, nullptr, jetFormatFunc, nullptr, nullptr, nullptr), "JETFORMAT");
    check(db, sqlite3_create_function_v2(db, "like", 2, flags, nullptr, likeFunc, nullptr, nullptr, nullptr), "LIKE");
    check(db, sqlite3_create_function_v2(db, "like", 3, flags, nullptr, likeFunc, nullptr, nullptr, nullptr), "LIKE");
    check(db, sqlite3_create_collation_v2(db, "GREEK", SQLITE_UTF8, nullptr, greekCollation, nullptr), "GREEK");
}

int SqlFunctions::compareUtf8(const char *a, int lengthA, const char *b, int lengthB)
{
    return greekCollation(nullptr, lengthA, a, lengthB, b);
}

int SqlFunctions::compareText(const QString &a, const QString &b)
{
    return compareViews(a, b);
}

QString SqlFunctions::foldForLike(const QString &s)
{
    const char16_t *table = foldTable();
    QString out;
    out.reserve(s.size());
    for (qsizetype i = 0; i < s.size(); ++i) {
        char32_t c = s[i].unicode();
        if (s[i].isHighSurrogate() && i + 1 < s.size() && s[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(s[i], s[i + 1]);
            ++i;
        }
        if (const char32_t f = foldCodePoint(c, table))
            out.append(QStringView(QChar::fromUcs4(f)));
    }
    return out;
}
