#include "data/db/jetsql.h"
#include "data/db/dberror.h"
#include <QDate>
#include <QTime>
#include <vector>

// The statements of the program are written in the Jet dialect. They are cut
// into tokens first, so that quotes, brackets, '#' or TRUE inside a string
// literal are never touched; only whole tokens are rewritten.

namespace {

enum class Kind { Space,
                  Word,
                  Number,
                  String,
                  Name,
                  Date,
                  Op };

struct Token {
    Kind kind;
    QString out;     // the SQLite text this token becomes
    QString upper;   // words only: the word in upper case, for keyword checks
};

bool isWordStart(QChar c) { return c.isLetter() || c == u'_'; }
bool isWordChar(QChar c) { return c.isLetterOrNumber() || c == u'_' || c == u'$'; }

QString sqlQuoted(const QString &text)
{
    QString s = text;
    s.replace(u'\'', QStringLiteral("''"));
    return u'\'' + s + u'\'';
}

[[noreturn]] void syntaxError(const QString &what, const QString &jet)
{
    throw DbError(QStringLiteral("Συντακτικό λάθος στην εντολή (%1): %2").arg(what, jet));
}

int yearOf(const QString &digits)
{
    int y = digits.toInt();
    // Two-digit years as Jet reads them: 00-29 this century, 30-99 the last.
    if (digits.size() <= 2)
        y += y < 30 ? 2000 : 1900;
    return y;
}

// #m/d/yyyy# (month first), optionally #yyyy-m-d#, either with a time
// "h:mm[:ss] [AM|PM]". Gives the stored form: ISO date, and the time after a
// blank only when it is not midnight, as the rows store them.
QString dateConstant(const QString &body, const QString &jet)
{
    auto bad = [&]() -> QString {
        throw DbError(QStringLiteral("Μη έγκυρη ημερομηνία #%1# στην εντολή: %2").arg(body, jet));
    };
    const QStringList parts = body.simplified().split(u' ', Qt::SkipEmptyParts);
    if (parts.isEmpty() || parts.size() > 3)
        return bad();

    const QString &datePart = parts[0];
    QChar sep;
    for (QChar c : datePart) {
        if (c == u'/' || c == u'-' || c == u'.') {
            sep = c;
            break;
        }
    }
    if (sep.isNull())
        return bad();
    const QStringList dp = datePart.split(sep);
    if (dp.size() != 3)
        return bad();
    for (const QString &p : dp) {
        if (p.isEmpty() || p.size() > 4)
            return bad();
        for (QChar c : p)
            if (c < u'0' || c > u'9')
                return bad();
    }
    QDate date;
    if (dp[0].size() == 4)
        date = QDate(dp[0].toInt(), dp[1].toInt(), dp[2].toInt());
    else if (dp[0].size() <= 2 && dp[1].size() <= 2)
        date = QDate(yearOf(dp[2]), dp[0].toInt(), dp[1].toInt());   // three digits: the year as written
    if (!date.isValid())
        return bad();

    QTime time(0, 0);
    if (parts.size() >= 2) {
        QString t = parts[1];
        QString ampm = parts.size() == 3 ? parts[2].toUpper() : QString();
        if (ampm.isEmpty() && (t.endsWith(QLatin1String("AM"), Qt::CaseInsensitive) || t.endsWith(QLatin1String("PM"), Qt::CaseInsensitive))) {
            ampm = t.right(2).toUpper();
            t.chop(2);
        }
        if (!ampm.isEmpty() && ampm != QLatin1String("AM") && ampm != QLatin1String("PM"))
            return bad();
        const QStringList tp = t.split(u':');
        if (tp.size() < 2 || tp.size() > 3)
            return bad();
        int hms[3] = {0, 0, 0};
        for (int i = 0; i < tp.size(); ++i) {
            bool ok = false;
            hms[i] = tp[i].toInt(&ok);
            if (!ok || tp[i].isEmpty() || tp[i].size() > 2 || tp[i].startsWith(u'-') || tp[i].startsWith(u'+'))
                return bad();
        }
        if (!ampm.isEmpty()) {
            if (hms[0] < 1 || hms[0] > 12)
                return bad();
            hms[0] = hms[0] % 12 + (ampm == QLatin1String("PM") ? 12 : 0);
        }
        time = QTime(hms[0], hms[1], hms[2]);
        if (!time.isValid())
            return bad();
    }
    QString iso = date.toString(QStringLiteral("yyyy-MM-dd"));
    if (time != QTime(0, 0))
        iso += u' ' + time.toString(QStringLiteral("HH:mm:ss"));
    return sqlQuoted(iso);
}

std::vector<Token> tokenize(const QString &jet)
{
    std::vector<Token> toks;
    const qsizetype n = jet.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = jet[i];
        const qsizetype start = i;
        if (c.isSpace()) {
            while (i < n && jet[i].isSpace())
                ++i;
            toks.push_back({Kind::Space, jet.mid(start, i - start), {}});
        } else if (c == u'\'' || c == u'"') {
            // Both quote characters delimit text in Jet; a doubled quote is
            // one quote character inside.
            QString text;
            ++i;
            bool closed = false;
            while (i < n) {
                if (jet[i] == c) {
                    if (i + 1 < n && jet[i + 1] == c) {
                        text += c;
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                text += jet[i++];
            }
            if (!closed)
                syntaxError(QStringLiteral("κείμενο χωρίς το κλείσιμό του"), jet);
            toks.push_back({Kind::String, sqlQuoted(text), {}});
        } else if (c == u'[') {
            const qsizetype close = jet.indexOf(u']', i + 1);
            if (close < 0)
                syntaxError(QStringLiteral("λείπει το ]"), jet);
            QString name = jet.mid(i + 1, close - i - 1);
            name.replace(u'"', QStringLiteral("\"\""));
            toks.push_back({Kind::Name, u'"' + name + u'"', {}});
            i = close + 1;
        } else if (c == u'#') {
            const qsizetype close = jet.indexOf(u'#', i + 1);
            if (close < 0)
                syntaxError(QStringLiteral("ημερομηνία χωρίς το κλείσιμό της"), jet);
            toks.push_back({Kind::Date, dateConstant(jet.mid(i + 1, close - i - 1), jet), {}});
            i = close + 1;
        } else if (c.isDigit() || (c == u'.' && i + 1 < n && jet[i + 1].isDigit())) {
            while (i < n && jet[i].isDigit())
                ++i;
            if (i < n && jet[i] == u'.') {
                ++i;
                while (i < n && jet[i].isDigit())
                    ++i;
            }
            if (i < n && (jet[i] == u'e' || jet[i] == u'E')) {
                qsizetype j = i + 1;
                if (j < n && (jet[j] == u'+' || jet[j] == u'-'))
                    ++j;
                if (j < n && jet[j].isDigit()) {
                    i = j;
                    while (i < n && jet[i].isDigit())
                        ++i;
                }
            }
            if (i < n && isWordStart(jet[i])) {
                // Digits running into letters: a name such as 2ND, not a number.
                while (i < n && isWordChar(jet[i]))
                    ++i;
                const QString w = jet.mid(start, i - start);
                toks.push_back({Kind::Word, w, w.toUpper()});
            } else {
                toks.push_back({Kind::Number, jet.mid(start, i - start), {}});
            }
        } else if (isWordStart(c)) {
            while (i < n && isWordChar(jet[i]))
                ++i;
            const QString w = jet.mid(start, i - start);
            toks.push_back({Kind::Word, w, w.toUpper()});
        } else {
            // Two-character operators first, so "<>" stays one token.
            static const char *const twoChar[] = {"<>", "<=", ">=", "!=", "==", "||"};
            QString op(c);
            if (i + 1 < n) {
                const QString two = jet.mid(i, 2);
                for (const char *t : twoChar)
                    if (two == QLatin1String(t))
                        op = two;
            }
            i += op.size();
            toks.push_back({Kind::Op, op, {}});
        }
    }
    return toks;
}

// Index of the next token that is not white space, or -1.
int nextSignificant(const std::vector<Token> &t, int from)
{
    for (int i = from; i < int(t.size()); ++i)
        if (t[size_t(i)].kind != Kind::Space)
            return i;
    return -1;
}

bool isOp(const std::vector<Token> &t, int i, const char *op)
{
    return i >= 0 && i < int(t.size()) && t[size_t(i)].kind == Kind::Op && t[size_t(i)].out == QLatin1String(op);
}

bool isWord(const std::vector<Token> &t, int i, const char *w)
{
    return i >= 0 && i < int(t.size()) && t[size_t(i)].kind == Kind::Word && t[size_t(i)].upper == QLatin1String(w);
}

int previousSignificant(const std::vector<Token> &t, int from)
{
    for (int i = from; i >= 0; --i)
        if (t[size_t(i)].kind != Kind::Space)
            return i;
    return -1;
}

// The matching parenthesis of the one at i, searching in direction step.
int matching(const std::vector<Token> &t, int i, int step)
{
    int depth = 0;
    for (int k = i; k >= 0 && k < int(t.size()); k += step) {
        if (isOp(t, k, "("))
            depth += step;
        else if (isOp(t, k, ")"))
            depth -= step;
        if (depth == 0)
            return k;
    }
    return -1;
}

// One operand ending at token i: a name (qualified or not), a literal, or
// a parenthesised group with the function name before it. Its first token.
int operandStartingBefore(const std::vector<Token> &t, int i)
{
    if (i < 0)
        return -1;
    if (isOp(t, i, ")")) {
        const int open = matching(t, i, -1);
        if (open < 0)
            return -1;
        const int fn = previousSignificant(t, open - 1);
        return fn >= 0 && t[size_t(fn)].kind == Kind::Word ? fn : open;
    }
    int start = i;
    while (isOp(t, previousSignificant(t, start - 1), ".")) {
        const int q = previousSignificant(t, previousSignificant(t, start - 1) - 1);
        if (q < 0)
            break;
        start = q;
    }
    return start;
}

// One operand starting at token i; its last token.
int operandEndingAfter(const std::vector<Token> &t, int i)
{
    if (i < 0)
        return -1;
    if (isOp(t, i, "("))
        return matching(t, i, 1);
    if (isOp(t, i, "-") || isOp(t, i, "+"))
        return operandEndingAfter(t, nextSignificant(t, i + 1));
    const int next = nextSignificant(t, i + 1);
    if (t[size_t(i)].kind == Kind::Word && isOp(t, next, "("))
        return matching(t, next, 1);
    int end = i;
    while (isOp(t, nextSignificant(t, end + 1), ".")) {
        const int q = nextSignificant(t, nextSignificant(t, end + 1) + 1);
        if (q < 0)
            break;
        end = q;
    }
    return end;
}

// On the server LIKE compares the case- and accent-folded forms of both
// sides; the fold is one immutable function, so a surname index on the
// folded column serves "LIKE 'abc%'". No escape character, as in the file.
void rewriteLike(std::vector<Token> &toks)
{
    for (int i = 0; i < int(toks.size()); ++i) {
        if (!isWord(toks, i, "LIKE"))
            continue;
        int before = previousSignificant(toks, i - 1);
        if (isWord(toks, before, "NOT"))
            before = previousSignificant(toks, before - 1);
        int leftEnd = before;
        int leftStart = operandStartingBefore(toks, leftEnd);
        while (leftStart >= 0 && isOp(toks, previousSignificant(toks, leftStart - 1), "||"))
            leftStart = operandStartingBefore(toks, previousSignificant(toks, previousSignificant(toks, leftStart - 1) - 1));
        int rightStart = nextSignificant(toks, i + 1);
        int rightEnd = operandEndingAfter(toks, rightStart);
        while (rightEnd >= 0 && isOp(toks, nextSignificant(toks, rightEnd + 1), "||"))
            rightEnd = operandEndingAfter(toks, nextSignificant(toks, nextSignificant(toks, rightEnd + 1) + 1));
        if (leftStart < 0 || leftEnd < 0 || rightStart < 0 || rightEnd < 0)
            throw DbError(QStringLiteral("Συντακτικό λάθος στην εντολή (το LIKE χωρίς τις δύο πλευρές του)"));
        toks[size_t(leftStart)].out.prepend(QStringLiteral("molarix_fold("));
        toks[size_t(leftEnd)].out += u')';
        const bool spaced = rightStart > 0 && toks[size_t(rightStart - 1)].kind == Kind::Space;
        toks[size_t(rightStart)].out.prepend(spaced ? QStringLiteral("molarix_fold(") : QStringLiteral(" molarix_fold("));
        toks[size_t(rightEnd)].out += u')';
        if (!isWord(toks, nextSignificant(toks, rightEnd + 1), "ESCAPE"))
            toks[size_t(rightEnd)].out += QStringLiteral(" ESCAPE ''");
        i = rightEnd;
    }
}

// The file sorts NULL before every value; the server after, unless told.
void rewriteOrderBy(std::vector<Token> &toks)
{
    for (int i = 0; i < int(toks.size()); ++i) {
        if (!isWord(toks, i, "ORDER") || !isWord(toks, nextSignificant(toks, i + 1), "BY"))
            continue;
        int depth = 0;
        int last = -1;   // the last token of the current sort item
        auto close = [&](int end) {
            if (end < 0 || isWord(toks, end, "FIRST") || isWord(toks, end, "LAST"))
                return;
            toks[size_t(end)].out += isWord(toks, end, "DESC") ? QStringLiteral(" NULLS LAST") : QStringLiteral(" NULLS FIRST");
        };
        int k = nextSignificant(toks, i + 1) + 1;
        for (; k < int(toks.size()); ++k) {
            const Token &t = toks[size_t(k)];
            if (t.kind == Kind::Space)
                continue;
            if (isOp(toks, k, "(")) {
                ++depth;
            } else if (isOp(toks, k, ")")) {
                if (depth == 0)
                    break;
                --depth;
            } else if (depth == 0 && (isOp(toks, k, ",") || isOp(toks, k, ";"))) {
                close(last);
                last = -1;
                if (isOp(toks, k, ";"))
                    break;
                continue;
            } else if (depth == 0 && (isWord(toks, k, "LIMIT") || isWord(toks, k, "OFFSET") || isWord(toks, k, "FOR") || isWord(toks, k, "UNION"))) {
                break;
            }
            last = k;
        }
        close(last);
        i = k;
    }
}

// Rewrites the Jet-only words and operators in place.
void rewrite(std::vector<Token> &toks, Dialect dialect)
{
    int prevSig = -1;
    for (int i = 0; i < int(toks.size()); ++i) {
        Token &t = toks[size_t(i)];
        if (t.kind == Kind::Space)
            continue;
        const bool qualified = isOp(toks, prevSig, ".");
        if (t.kind == Kind::Word && !qualified) {
            if (t.upper == QLatin1String("TRUE"))
                t.out = QStringLiteral("-1");
            else if (t.upper == QLatin1String("FALSE"))
                t.out = QStringLiteral("0");
            else if (t.upper == QLatin1String("FORMAT") && isOp(toks, nextSignificant(toks, i + 1), "("))
                t.out = dialect == Dialect::Postgres ? QStringLiteral("jetformat") : QStringLiteral("JETFORMAT");
            else if (dialect == Dialect::Postgres
                     && (t.upper == QLatin1String("DAY") || t.upper == QLatin1String("MONTH") || t.upper == QLatin1String("YEAR"))
                     && isOp(toks, nextSignificant(toks, i + 1), "("))
                t.out = QStringLiteral("jet_") + t.upper.toLower();
        } else if (t.kind == Kind::Op) {
            if (t.out == QLatin1String("&"))
                t.out = QStringLiteral("||");
            // "--" and "/*" open comments in SQLite but are two operators in Jet.
            if ((t.out == QLatin1String("-") || t.out == QLatin1String("*")) && prevSig == i - 1
                && prevSig >= 0 && toks[size_t(prevSig)].kind == Kind::Op
                && toks[size_t(prevSig)].out.endsWith(t.out == QLatin1String("-") ? u'-' : u'/'))
                t.out.prepend(u' ');
        }
        prevSig = i;
    }
    if (dialect == Dialect::Postgres) {
        rewriteLike(toks);
        rewriteOrderBy(toks);
    }
}

QString join(const std::vector<Token> &toks)
{
    QString s;
    for (const Token &t : toks)
        s += t.out;
    return s;
}

// Words that end the FROM clause's table reference instead of naming an alias.
bool isClauseWord(const QString &upper)
{
    static const char *const words[] = {"WHERE", "ORDER", "GROUP", "HAVING", "UNION", "INTERSECT",
                                        "EXCEPT", "JOIN", "INNER", "LEFT", "RIGHT", "OUTER",
                                        "CROSS", "NATURAL", "FULL", "LIMIT", "ON", "USING"};
    for (const char *w : words)
        if (upper == QLatin1String(w))
            return true;
    return false;
}

bool isAggregate(const QString &upper)
{
    static const char *const words[] = {"SUM", "COUNT", "AVG", "MIN", "MAX", "FIRST", "LAST",
                                        "STDEV", "STDEVP", "VAR", "VARP", "TOTAL", "GROUP_CONCAT"};
    for (const char *w : words)
        if (upper == QLatin1String(w))
            return true;
    return false;
}

QString quotedName(const Token &t)
{
    if (t.kind == Kind::Name)
        return t.out;
    return u'"' + t.out + u'"';
}

QString plainName(const Token &t)
{
    if (t.kind == Kind::Name)
        return t.out.mid(1, t.out.size() - 2).replace(QStringLiteral("\"\""), QStringLiteral("\""));
    return t.out;
}

// A last ORDER BY of plain column names, each with ASC or DESC if any:
// its tokens taken out, and the clause as a data set's sort. Anything else
// stays and gives an empty text.
QString takeOrderBy(std::vector<Token> &toks, int from)
{
    int orderAt = -1;
    int depth = 0;
    for (int i = from; i < int(toks.size()); ++i) {
        if (isOp(toks, i, "("))
            ++depth;
        else if (isOp(toks, i, ")"))
            --depth;
        else if (depth == 0 && isWord(toks, i, "ORDER") && isWord(toks, nextSignificant(toks, i + 1), "BY"))
            orderAt = i;
    }
    if (orderAt < 0)
        return QString();
    QStringList items;
    int i = nextSignificant(toks, nextSignificant(toks, orderAt + 1) + 1);
    while (i >= 0) {
        const Token &name = toks[size_t(i)];
        if (!(name.kind == Kind::Name || (name.kind == Kind::Word && !isClauseWord(name.upper))))
            return QString();
        QString item = plainName(name);
        i = nextSignificant(toks, i + 1);
        if (isWord(toks, i, "ASC") || isWord(toks, i, "DESC")) {
            item += u' ' + toks[size_t(i)].upper;
            i = nextSignificant(toks, i + 1);
        }
        items.push_back(item);
        if (i < 0)
            break;
        if (!isOp(toks, i, ","))
            return QString();
        i = nextSignificant(toks, i + 1);
        if (i < 0)
            return QString();
    }
    if (items.isEmpty())
        return QString();
    const int cut = previousSignificant(toks, orderAt - 1) + 1;
    toks.erase(toks.begin() + cut, toks.end());
    return items.join(QStringLiteral(", "));
}

}   // namespace

QString JetSql::translate(const QString &jet, Dialect dialect)
{
    std::vector<Token> toks = tokenize(jet);
    rewrite(toks, dialect);
    return join(toks);
}

QString JetSql::translateForEdit(const QString &jet, QString *baseTable, Dialect dialect)
{
    return translateForEdit(jet, baseTable, nullptr, dialect);
}

QString JetSql::translateForEdit(const QString &jet, QString *baseTable, QString *order, Dialect dialect)
{
    if (baseTable)
        baseTable->clear();
    if (order)
        order->clear();
    std::vector<Token> toks = tokenize(jet);
    rewrite(toks, dialect);

    const int select = nextSignificant(toks, 0);
    if (!isWord(toks, select, "SELECT"))
        return join(toks);
    const int afterSelect = nextSignificant(toks, select + 1);
    if (isWord(toks, afterSelect, "DISTINCT") || isWord(toks, afterSelect, "DISTINCTROW")
        || isWord(toks, afterSelect, "TOP"))
        return join(toks);

    // Anything that makes the rows not map one to one onto a table's rows.
    int from = -1;
    int depth = 0;
    for (int i = select + 1; i < int(toks.size()); ++i) {
        const Token &t = toks[size_t(i)];
        if (t.kind == Kind::Op) {
            if (t.out == QLatin1String("(")) {
                ++depth;
                if (isWord(toks, nextSignificant(toks, i + 1), "SELECT"))
                    return join(toks);
            } else if (t.out == QLatin1String(")")) {
                --depth;
            }
        } else if (t.kind == Kind::Word) {
            if (t.upper == QLatin1String("JOIN") || t.upper == QLatin1String("UNION")
                || t.upper == QLatin1String("INTERSECT") || t.upper == QLatin1String("EXCEPT")
                || t.upper == QLatin1String("GROUP") || t.upper == QLatin1String("HAVING"))
                return join(toks);
            if (isAggregate(t.upper) && isOp(toks, nextSignificant(toks, i + 1), "("))
                return join(toks);
            if (depth == 0 && from < 0 && t.upper == QLatin1String("FROM"))
                from = i;
        }
    }
    if (from < 0)
        return join(toks);

    const int table = nextSignificant(toks, from + 1);
    if (table < 0 || (toks[size_t(table)].kind != Kind::Word && toks[size_t(table)].kind != Kind::Name)
        || (toks[size_t(table)].kind == Kind::Word && isClauseWord(toks[size_t(table)].upper)))
        return join(toks);
    int alias = -1;
    int next = nextSignificant(toks, table + 1);
    if (isWord(toks, next, "AS")) {
        alias = nextSignificant(toks, next + 1);
        if (alias < 0 || (toks[size_t(alias)].kind != Kind::Word && toks[size_t(alias)].kind != Kind::Name))
            return join(toks);
        next = nextSignificant(toks, alias + 1);
    } else if (next >= 0 && (toks[size_t(next)].kind == Kind::Name || (toks[size_t(next)].kind == Kind::Word && !isClauseWord(toks[size_t(next)].upper)))) {
        alias = next;
        next = nextSignificant(toks, alias + 1);
    }
    if (!(next < 0 || isOp(toks, next, ";") || isWord(toks, next, "WHERE") || isWord(toks, next, "ORDER")))
        return join(toks);

    const Token &qualifier = toks[size_t(alias >= 0 ? alias : table)];
    toks[size_t(select)].out += u' ' + quotedName(qualifier) + QStringLiteral(".rowid AS __rowid,");
    if (baseTable)
        *baseTable = plainName(toks[size_t(table)]);
    if (order)
        *order = takeOrderBy(toks, from);
    return join(toks);
}
