#include "tests/common/testmain.h"
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QTest>
#include <algorithm>
#include <vector>

// The data layer's messages reach the user in the general error report, so
// each is a Greek sentence; the engine's own line (SQLite's or the server's
// text, a path) comes only as a detail after it. The sources are read as
// text: every string literal that makes a message must hold Greek.
namespace {

struct Literal {
    QString text;
    int line = 0;
    bool message = false;   // where a message is made
};

bool isIdent(QChar c) { return c.isLetterOrNumber() || c == u'_'; }

// The string literals of a source, adjacent ones joined. A literal is part
// of a message in the arguments of a call to a function named ...Error or
// fail, in a throw statement, or in the body of a function named ...Error.
std::vector<Literal> literalsOf(const QString &s)
{
    std::vector<Literal> out;
    std::vector<bool> nest;   // open ( and {: does each make a message?
    bool inThrow = false, pendingBody = false, joinable = false;
    size_t throwDepth = 0;
    QString ident;   // the token just before, when a name
    int line = 1;
    const qsizetype n = s.size();
    auto inMessage = [&] { return inThrow || std::find(nest.begin(), nest.end(), true) != nest.end(); };
    for (qsizetype i = 0; i < n;) {
        const QChar c = s[i];
        if (c == u'\n')
            ++line;
        if (c.isSpace()) {
            ++i;
            continue;
        }
        if (s.mid(i, 2) == u"//") {
            while (i < n && s[i] != u'\n')
                ++i;
            continue;
        }
        if (s.mid(i, 2) == u"/*") {
            const qsizetype end = s.indexOf(u"*/", i + 2);
            line += int(s.mid(i, (end < 0 ? n : end) - i).count(u'\n'));
            i = end < 0 ? n : end + 2;
            continue;
        }
        if (c == u'"') {
            QString text;
            const int at = line;
            if (i > 0 && s[i - 1] == u'R') {   // R"delim( ... )delim"
                const qsizetype open = s.indexOf(u'(', i);
                const QString close = u')' + s.mid(i + 1, open - i - 1) + u'"';
                const qsizetype end = open < 0 ? -1 : s.indexOf(close, open);
                if (end < 0)
                    break;   // no end: the rest is not code
                text = s.mid(open + 1, end - open - 1);
                line += int(text.count(u'\n'));
                i = end + close.size();
            } else {
                for (++i; i < n && s[i] != u'"'; ++i) {
                    if (s[i] == u'\\' && i + 1 < n)
                        ++i;
                    text += s[i] == u'n' && s[i - 1] == u'\\' ? QChar(u'\n') : s[i];
                }
                ++i;
            }
            if (joinable)
                out.back().text += text;
            else
                out.push_back({text, at, inMessage()});
            joinable = true;
            ident.clear();
            pendingBody = false;
            continue;
        }
        joinable = false;
        if (c == u'\'' && !(i > 0 && s[i - 1].isDigit())) {   // a char literal (u'x' too), not 1'000
            for (++i; i < n && s[i] != u'\''; ++i)
                if (s[i] == u'\\')
                    ++i;
            ++i;
            continue;
        }
        if (isIdent(c)) {
            qsizetype j = i;
            while (j < n && isIdent(s[j]))
                ++j;
            const QString word = s.mid(i, j - i);
            i = j;
            if (j < n && s[j] == u'"' && word.endsWith(u'R'))
                continue;   // the prefix of a raw literal
            if (word == u"throw" && !inThrow) {
                inThrow = true;
                throwDepth = nest.size();
            }
            if (!(pendingBody && (word == u"const" || word == u"noexcept" || word == u"override")))
                pendingBody = false;
            ident = word;
            continue;
        }
        ++i;
        if (c == u'(') {
            nest.push_back(ident.endsWith(u"Error") || ident == u"fail");
        } else if (c == u')' && !nest.empty()) {
            const bool errorCall = nest.back();
            nest.pop_back();
            pendingBody = errorCall && !inMessage();
            ident.clear();
            continue;
        } else if (c == u'{') {
            nest.push_back(pendingBody);
        } else if (c == u'}' && !nest.empty()) {
            nest.pop_back();
        } else if (c == u';' && inThrow && nest.size() <= throwDepth) {
            inThrow = false;
        }
        pendingBody = false;
        ident.clear();
    }
    return out;
}

bool hasGreek(const QString &t)
{
    return std::any_of(t.begin(), t.end(), [](QChar c) {
        return (c.unicode() >= 0x370 && c.unicode() < 0x400) || (c.unicode() >= 0x1F00 && c.unicode() < 0x2000);
    });
}

// A literal is refused when it is a Latin sentence that reaches the user: it
// makes a message and has two words or more, or it reads as a sentence of
// its own (a capital, then two words in small letters) wherever it stands;
// SQL, whose words are capitals, names ("Standard Jet DB") and the words the
// program matches in an engine's text do not.
bool refused(const Literal &l)
{
    if (hasGreek(l.text))
        return false;
    static const QRegularExpression word(QStringLiteral("[A-Za-z]{2,}"));
    static const QRegularExpression sentence(QStringLiteral("^[A-Z][a-z]+ .*\\b[a-z]{2,} [a-z]{2,}\\b"));
    int words = 0;
    for (auto it = word.globalMatch(l.text); it.hasNext(); it.next())
        ++words;
    return (l.message && words >= 2) || sentence.match(l.text).hasMatch();
}

QStringList refusedIn(const QString &source)
{
    QStringList out;
    for (const Literal &l : literalsOf(source))
        if (refused(l))
            out << l.text;
    return out;
}

}   // namespace

class ErrorTextsTest : public QObject {
    Q_OBJECT
private slots:
    void latinSentencesThatMakeMessagesAreFound_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QStringList>("found");
        auto row = [](const char *name, const char *src, QStringList found) {
            QTest::newRow(name) << QString::fromUtf8(src) << found;
        };
        row("thrown", R"x(throw DbError(QStringLiteral("The file is gone"));)x", {"The file is gone"});
        row("Greek", R"x(throw DbError(QStringLiteral("Το αρχείο λείπει: %1").arg(path));)x", {});
        row("Greek, English detail", R"x(throw DbError(QStringLiteral("Η βάση δεν ανοίγει: %1").arg(msg));)x", {});
        row("Latin detail made here", R"x(throw DbError(QStringLiteral("Λάθος: %1").arg(QStringLiteral("not open")));)x",
            {"not open"});
        row("only the parts", R"x(throw DbError(QStringLiteral("%1: %2 (%3)").arg(what, msg, where));)x", {});
        row("given to fail", R"x(conn.fail(QStringLiteral("The statement failed"));)x", {"The statement failed"});
        row("to a helper", R"x(syntaxError(QStringLiteral("missing end"), jet);)x", {"missing end"});
        row("in a throw", R"x(throw std::runtime_error(std::string("no such file"));)x", {"no such file"});
        row("an Error function's body", R"x(QString closedError() const { return QStringLiteral("Is closed now"); })x",
            {"Is closed now"});
        row("joined", "throw DbError(QStringLiteral(\"Η βάση \"\n  \"is gone\"));", {});
        row("joined Latin", "throw MolarixError(QStringLiteral(\"The base \"\n  \"is gone\"));", {"The base is gone"});
        row("raw", "throw DbError(QString::fromUtf8(R\"x(Not \"here\")x\"));", {"Not \"here\""});
        row("a sentence anywhere", R"x(const QString t = QStringLiteral("The statement failed: %1 (%2)");)x",
            {"The statement failed: %1 (%2)"});
        row("a name", R"x(if (engine != "Standard Jet DB") return tr8("Jet 3, Access 97");)x", {});
        row("SQL", R"x(DbStatement st(conn, QStringLiteral("SELECT name FROM sqlite_master WHERE type='table'"));)x", {});
        row("engine words matched", R"x(if (msg.contains(QLatin1String("password authentication failed"))) return;)x",
            {});
        // Split so that moc's own scan of this file sees no comment.
        row("comments", "/"
                        "/ throw DbError(QStringLiteral(\"An English comment\"));\n/"
                        "* fail(\"Not this\") *"
                        "/",
            {});
        row("quote as a char", "if (c == '\"') throw DbError(QStringLiteral(\"Λάθος\"));", {});
        row("after the throw", R"x(throw DbError(QStringLiteral("Λάθος")); call(QStringLiteral("two words"));)x", {});
        row("a call after an Error call", R"x(if (isError(x)) { log(QStringLiteral("two words")); })x", {});
    }
    void latinSentencesThatMakeMessagesAreFound()
    {
        QFETCH(QString, source);
        QFETCH(QStringList, found);
        QCOMPARE(refusedIn(source), found);
    }

    void theDataLayersMessagesAreGreek()
    {
        int files = 0, messages = 0;
        QStringList latin;
        QDirIterator it(QStringLiteral(MOLARIX_SOURCE_DIR "/data"), {"*.cpp", "*.h"}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            QFile f(path);
            QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(path));
            ++files;
            for (const Literal &l : literalsOf(QString::fromUtf8(f.readAll()))) {
                messages += l.message ? 1 : 0;
                if (refused(l))
                    latin << QStringLiteral("%1:%2: %3").arg(path.mid(sizeof(MOLARIX_SOURCE_DIR))).arg(l.line).arg(l.text);
            }
        }
        for (const QString &l : latin)
            qWarning("%s", qPrintable(l));
        QVERIFY2(latin.isEmpty(), "Latin messages (above)");
        // The scan saw the layer's messages, not an empty folder.
        QVERIFY2(files >= 20 && messages >= 50, qPrintable(QStringLiteral("%1 files, %2 messages").arg(files).arg(messages)));
    }
};

MOLARIX_TEST(ErrorTextsTest)
#include "test_errortexts.moc"
