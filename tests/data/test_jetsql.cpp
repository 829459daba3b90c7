#include "data/db/jetsql.h"
#include "data/db/connection.h"
#include "data/practice/schema.h"
#include "tests/common/testmain.h"
#include "tests/common/testutil.h"
#include <QRandomGenerator>
#include <QTest>
#include <algorithm>
#include <memory>
#include <sqlite3.h>

namespace {

const QString Null = QStringLiteral("<NULL>");

// Runs a statement of the program's dialect and gives every row as texts.
QList<QStringList> rows(DbConnection &conn, const QString &jet, QStringList *names = nullptr)
{
    DbStatement st(conn, JetSql::translate(jet, conn.dialect()));
    if (names) {
        names->clear();
        for (int i = 0; i < st.columnCount(); ++i)
            *names << st.columnName(i);
    }
    QList<QStringList> out;
    while (st.step()) {
        QStringList r;
        for (int i = 0; i < st.columnCount(); ++i) {
            const QVariant v = st.columnValue(i);
            r << (v.isValid() ? v.toString() : Null);
        }
        out << r;
    }
    return out;
}

QStringList column(const QList<QStringList> &rs, int col = 0)
{
    QStringList c;
    for (const QStringList &r : rs)
        c << r[col];
    return c;
}

QString one(DbConnection &conn, const QString &jet)
{
    const auto rs = rows(conn, jet);
    return rs.isEmpty() ? QStringLiteral("<no row>") : rs[0][0];
}

const QString CustomerColumns = QStringLiteral(
    "SELECT ID,ONOMA,EPWNYMO,FYLO,HMEROMHNIA_GENNHSEWS,THLEFWNO_1,THLEFWNO_2,DIEYTHYNSH, EPAGGELMA, TAMEIO FROM STOIXEIA_PELATH");

void addCustomer(TempPractice &p, const QString &name, const QString &surname, const QString &birthLiteral)
{
    p.exec(QStringLiteral("INSERT INTO STOIXEIA_PELATH(ONOMA,EPWNYMO,FYLO,HMEROMHNIA_GENNHSEWS) VALUES('%1','%2','ΑΡΡΕΝ',%3)")
               .arg(name, surname, birthLiteral));
}

// The three statements of issuing a receipt, as one unit of work.
void issueReceipt(TempPractice &p, int customerId, const QString &name, const QString &surname, const QString &amount,
                  const QString &description)
{
    DbConnection &c = p.conn();
    DbTransaction tx(c);
    const QString number = one(c, QStringLiteral("SELECT * from LAST_APODEIKSH"));
    const QString cy = QString::number(amount.toDouble() * 0.585274, 'f', 6);
    p.exec(QStringLiteral("INSERT INTO EISPRAKSH_PELATH(ID,POSO,PERIGRAFH,TAMEIO,POSO_CY,AR_APODEIKSHS) VALUES(%1,%2,'%3','',%4,%5)")
               .arg(customerId)
               .arg(amount, description, cy, number));
    p.exec(QStringLiteral("INSERT INTO APODEIKSEIS(AR_APODEIKSHS,ONOMA,EPWNYMO,PARALHPTHS,POSO,TAMEIO,POSO_CY,PERIGRAFH) "
                          "VALUES(%1,'%2','%3','%2 %3',%4,'',%5,'%6')")
               .arg(number, name, surname, amount, cy, description));
    p.exec(QStringLiteral("UPDATE LAST_APODEIKSH SET [LAST]=[LAST]+1"));
    tx.commit();
}

}   // namespace

// The translator on its own: what it rewrites and what it must leave alone.
class JetTranslateTest : public QObject {
    Q_OBJECT
private slots:
    void rewrites_data()
    {
        QTest::addColumn<QString>("jet");
        QTest::addColumn<QString>("sqlite");
        QTest::newRow("date month first") << "WHERE D=#3/5/2008#"
                                          << "WHERE D='2008-03-05'";
        QTest::newRow("date day above twelve") << "WHERE D=#1/12/2008#"
                                               << "WHERE D='2008-01-12'";
        QTest::newRow("date with time") << "#3/25/2008 10:30:00#"
                                        << "'2008-03-25 10:30:00'";
        QTest::newRow("date with midnight time") << "#3/25/2008 00:00:00#"
                                                 << "'2008-03-25'";
        QTest::newRow("date with PM") << "#3/25/2008 1:05 PM#"
                                      << "'2008-03-25 13:05:00'";
        QTest::newRow("ISO date") << "#2008-03-25#"
                                  << "'2008-03-25'";
        QTest::newRow("bracketed names") << "UPDATE LAST_APODEIKSH SET [LAST]=[LAST]+1"
                                         << "UPDATE LAST_APODEIKSH SET \"LAST\"=\"LAST\"+1";
        QTest::newRow("booleans any case") << "SET EGKYRH=FALSE WHERE A=True OR B=false"
                                           << "SET EGKYRH=0 WHERE A=-1 OR B=0";
        QTest::newRow("Format number") << "Format(SUM(POSO),'0.00') AS POSO"
                                       << "JETFORMAT(SUM(POSO),'0.00') AS POSO";
        QTest::newRow("Format date in double quotes") << "Format(EKSODA.HMEROMHNIA,\"dd/mm/yyyy\")"
                                                      << "JETFORMAT(EKSODA.HMEROMHNIA,'dd/mm/yyyy')";
        QTest::newRow("format lower case, blank before paren") << "format (X,'0.00')"
                                                               << "JETFORMAT (X,'0.00')";
        QTest::newRow("Format as a plain name") << "SELECT Format FROM T"
                                                << "SELECT Format FROM T";
        QTest::newRow("concatenation") << "A & 'x'"
                                       << "A || 'x'";
        QTest::newRow("two minus signs stay operators") << "5--3"
                                                        << "5- -3";
        QTest::newRow("LIKE glued to its text") << "WHERE EPWNYMO LIKE'Παπ%'"
                                                << "WHERE EPWNYMO LIKE'Παπ%'";
        QTest::newRow("not equal") << "A<>B"
                                   << "A<>B";
        QTest::newRow("qualified name TRUE") << "T.TRUE"
                                             << "T.TRUE";
    }
    void rewrites()
    {
        QFETCH(QString, jet);
        QFETCH(QString, sqlite);
        QCOMPARE(JetSql::translate(jet), sqlite);
    }

    void literalsUntouched_data()
    {
        QTest::addColumn<QString>("jet");
        QTest::addColumn<QString>("sqlite");
        QTest::newRow("hash inside text") << "VALUES('no #3/5/2008# here')"
                                          << "VALUES('no #3/5/2008# here')";
        QTest::newRow("bracket inside text") << "VALUES('[LAST] stays')"
                                             << "VALUES('[LAST] stays')";
        QTest::newRow("TRUE inside text") << "VALUES('TRUE or FALSE')"
                                          << "VALUES('TRUE or FALSE')";
        QTest::newRow("Format( inside text") << "VALUES('Format(x)')"
                                             << "VALUES('Format(x)')";
        QTest::newRow("double quotes inside text") << "VALUES('he said \"yes\"')"
                                                   << "VALUES('he said \"yes\"')";
        QTest::newRow("doubled apostrophe") << "VALUES('O''Brien & co')"
                                            << "VALUES('O''Brien & co')";
        QTest::newRow("double-quoted text") << "VALUES(\"TRUE #1/1/2008# [x]\")"
                                            << "VALUES('TRUE #1/1/2008# [x]')";
        QTest::newRow("apostrophe in double-quoted text") << "VALUES(\"it's\")"
                                                          << "VALUES('it''s')";
        QTest::newRow("doubled double quote") << "VALUES(\"a \"\"b\"\"\")"
                                              << "VALUES('a \"b\"')";
        QTest::newRow("TRUE inside brackets") << "SELECT [TRUE] FROM T"
                                              << "SELECT \"TRUE\" FROM T";
        QTest::newRow("Greek text") << "VALUES('Άννα ΐΰ ς')"
                                    << "VALUES('Άννα ΐΰ ς')";
    }
    void literalsUntouched()
    {
        QFETCH(QString, jet);
        QFETCH(QString, sqlite);
        QCOMPARE(JetSql::translate(jet), sqlite);
    }

    void badStatementsThrow_data()
    {
        QTest::addColumn<QString>("jet");
        QTest::newRow("no 30 February") << "WHERE D=#2/30/2008#";
        QTest::newRow("month 13") << "WHERE D=#13/1/2008#";
        QTest::newRow("not a date") << "WHERE D=#hello#";
        QTest::newRow("hour 25") << "WHERE D=#3/5/2008 25:00#";
        QTest::newRow("unterminated date") << "WHERE D=#3/5/2008";
        QTest::newRow("unterminated text") << "WHERE N='abc";
        QTest::newRow("unterminated bracket") << "SELECT [LAST FROM T";
    }
    void badStatementsThrow()
    {
        QFETCH(QString, jet);
        try {
            JetSql::translate(jet);
            QFAIL("no DbError");
        } catch (const DbError &e) {
            QVERIFY(e.message().contains(jet));
        }
    }

    void editableSelects_data()
    {
        QTest::addColumn<QString>("jet");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("qualifier");
        QTest::newRow("whole table") << "SELECT * FROM STOIXEIA_PELATH WHERE ID=3"
                                     << "STOIXEIA_PELATH"
                                     << "\"STOIXEIA_PELATH\"";
        QTest::newRow("alias") << "SELECT E.* FROM EPISKEPSEIS E WHERE ID=3"
                               << "EPISKEPSEIS"
                               << "\"E\"";
        QTest::newRow("AS alias") << "SELECT * FROM EPISKEPSEIS AS E"
                                  << "EPISKEPSEIS"
                                  << "\"E\"";
        QTest::newRow("lower case, ORDER BY") << "select ID AS ID,HMEROMHNIA AS HMEROMHNIA from EPISKEPSEIS WHERE ID=7 ORDER BY HMEROMHNIA ASC"
                                              << "EPISKEPSEIS"
                                              << "\"EPISKEPSEIS\"";
        QTest::newRow("bracketed table") << "SELECT * FROM [SECURITY]"
                                         << "SECURITY"
                                         << "\"SECURITY\"";
        QTest::newRow("DAY in WHERE") << "SELECT * from YPENTHIMISEIS WHERE DAY(HMEROMHNIA)=5"
                                      << "YPENTHIMISEIS"
                                      << "\"YPENTHIMISEIS\"";
        QTest::newRow("join") << "SELECT * FROM A INNER JOIN B ON A.ID=B.ID"
                              << ""
                              << "";
        QTest::newRow("comma join") << "SELECT A.ID FROM A, B"
                                    << ""
                                    << "";
        QTest::newRow("distinct") << "SELECT DISTINCT EPWNYMO FROM STOIXEIA_PELATH"
                                  << ""
                                  << "";
        QTest::newRow("aggregate") << "SELECT COUNT(*) AS SYNOLO FROM EISPRAKSH_PELATH WHERE ID=1"
                                   << ""
                                   << "";
        QTest::newRow("group by") << "SELECT MONTH(D) AS [MONTH] FROM EKSODA GROUP BY MONTH(D)"
                                  << ""
                                  << "";
        QTest::newRow("subquery") << "SELECT * FROM A WHERE ID IN (SELECT ID FROM B)"
                                  << ""
                                  << "";
        QTest::newRow("union") << "SELECT ID FROM A UNION SELECT ID FROM B"
                               << ""
                               << "";
        QTest::newRow("not a select") << "UPDATE A SET X=1"
                                      << ""
                                      << "";
    }
    void editableSelects()
    {
        QFETCH(QString, jet);
        QFETCH(QString, table);
        QFETCH(QString, qualifier);
        QString base = QStringLiteral("stale");
        const QString sql = JetSql::translateForEdit(jet, &base);
        QCOMPARE(base, table);
        if (table.isEmpty()) {
            QCOMPARE(sql, JetSql::translate(jet));
        } else {
            const qsizetype select = sql.indexOf(QLatin1String("select"), 0, Qt::CaseInsensitive);
            QCOMPARE(select, 0);
            QVERIFY2(sql.mid(6).startsWith(u' ' + qualifier + QStringLiteral(".rowid AS __rowid,")), qPrintable(sql));
        }
    }

    // A data set takes over a last ORDER BY of plain names on an editable
    // statement; any other stays in the statement.
    void orderByTakenForTheDataSet_data()
    {
        QTest::addColumn<QString>("jet");
        QTest::addColumn<QString>("order");   // empty: the statement keeps it
        QTest::addColumn<QString>("rest");
        QTest::newRow("one name") << "SELECT * FROM T ORDER BY A"
                                  << "A"
                                  << "SELECT * FROM T";
        QTest::newRow("bracketed, directions")
            << "SELECT A,B FROM T WHERE A LIKE 'a%' ORDER BY [A] DESC, B asc"
            << "A DESC, B ASC"
            << "SELECT A,B FROM T WHERE A LIKE 'a%'";
        QTest::newRow("expression") << "SELECT * FROM T ORDER BY A+1"
                                    << ""
                                    << "";
        QTest::newRow("qualified") << "SELECT * FROM T ORDER BY T.A"
                                   << ""
                                   << "";
        QTest::newRow("semicolon") << "SELECT * FROM T ORDER BY A;"
                                   << ""
                                   << "";
        QTest::newRow("inside a subquery") << "SELECT A FROM T WHERE ID IN (SELECT ID FROM B ORDER BY C)"
                                           << ""
                                           << "";
        QTest::newRow("join") << "SELECT * FROM A INNER JOIN B ON A.ID=B.ID ORDER BY X"
                              << ""
                              << "";
        QTest::newRow("no order") << "SELECT * FROM T WHERE A='ORDER BY'"
                                  << ""
                                  << "";
    }

    void orderByTakenForTheDataSet()
    {
        QFETCH(QString, jet);
        QFETCH(QString, order);
        QFETCH(QString, rest);
        QString base, taken = QStringLiteral("stale"), plainBase;
        const QString sql = JetSql::translateForEdit(jet, &base, &taken, Dialect::Sqlite);
        QCOMPARE(taken, order);
        QCOMPARE(sql, JetSql::translateForEdit(order.isEmpty() ? jet : rest, &plainBase));
        QCOMPARE(base, plainBase);
    }
};

// The functions and the collation on their own.
class SqlFunctionsTest : public QObject {
    Q_OBJECT
private slots:
    void foldForLike_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("folded");
        QTest::newRow("accented lower") << "Παπαδόπουλος"
                                        << "παπαδοπουλοσ";
        QTest::newRow("capitals") << "ΠΑΠΑΔΟΠΟΥΛΟΣ"
                                  << "παπαδοπουλοσ";
        QTest::newRow("accented capital") << "Άννα"
                                          << "αννα";
        QTest::newRow("diaeresis and tonos") << "ΐΰϊϋ"
                                             << "ιυιυ";
        QTest::newRow("capital with diaeresis") << "ΪΫ"
                                                << "ιυ";
        QTest::newRow("final sigma") << "ς"
                                     << "σ";
        QTest::newRow("every accented vowel") << "άέήίόύώΆΈΉΊΌΎΏ"
                                              << "αεηιουωαεηιουω";
        QTest::newRow("decomposed accent") << QString::fromUtf8("α\xcc\x81") << "α";
        QTest::newRow("Latin") << "Müller ÉCOLE"
                               << "muller ecole";
        QTest::newRow("outside the BMP") << QString::fromUtf16(u"\U00010400b") << QString::fromUtf16(u"\U00010428b");
        QTest::newRow("digits and signs") << "0800-0830 %_"
                                          << "0800-0830 %_";
    }
    void foldForLike()
    {
        QFETCH(QString, text);
        QFETCH(QString, folded);
        QCOMPARE(SqlFunctions::foldForLike(text), folded);
    }

    void greekDictionaryOrder()
    {
        const QStringList expected{"Αβραμίδης", "Αννα", "Άννα", "Βασιλείου", "Γεωργίου", "Ζαχαρίου",
                                   "Παπαδόπουλος", "ΠΑΠΑΣ", "Ωραιόπουλος", "Adams", "smith", "Smith"};
        QStringList shuffled = expected;
        std::reverse(shuffled.begin(), shuffled.end());
        std::swap(shuffled[2], shuffled[7]);
        std::stable_sort(shuffled.begin(), shuffled.end(),
                         [](const QString &a, const QString &b) { return SqlFunctions::compareText(a, b) < 0; });
        QCOMPARE(shuffled, expected);
    }

    // The collation reads the engine's UTF-8 itself: on Greek, Latin,
    // three-byte signs (a byte-order mark inside a text too) and bytes that
    // are not UTF-8, it orders as compareText orders the decoded texts.
    void collationOnTheEnginesBytes()
    {
        const QStringList pieces{"α", "ά", "σ", "ς", "Σ", "ΐ", "a", "A", "0", " ", "-", "€", QString(QChar(0xFEFF)), "ö"};
        QRandomGenerator rng(20080305);
        QList<QByteArray> texts{"", "\xce", "\xce\xb1\xff", "\xce\xb1\xcc\x81\xce\xbd", "Παπαδόπουλος", "Παπαδόπουλος1", "ΠΑΠΑΣ"};
        for (int i = 0; i < 400; ++i) {
            QByteArray t = texts[int(rng.bounded(int(texts.size())))].left(int(rng.bounded(6)));
            for (int k = int(rng.bounded(4)); k > 0; --k)
                t += pieces[int(rng.bounded(int(pieces.size())))].toUtf8();
            if (!texts.contains(t))
                texts << t;
        }
        sqlite3 *db = nullptr;
        QCOMPARE(sqlite3_open(":memory:", &db), SQLITE_OK);
        std::unique_ptr<sqlite3, int (*)(sqlite3 *)> closer(db, sqlite3_close);
        SqlFunctions::registerAll(db);
        QCOMPARE(sqlite3_exec(db, "CREATE TABLE T(X TEXT COLLATE GREEK)", nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_stmt *st = nullptr;
        QCOMPARE(sqlite3_prepare_v2(db, "INSERT INTO T VALUES(?)", -1, &st, nullptr), SQLITE_OK);
        for (const QByteArray &t : texts) {
            sqlite3_bind_text(st, 1, t.constData(), int(t.size()), SQLITE_TRANSIENT);
            QCOMPARE(sqlite3_step(st), SQLITE_DONE);
            sqlite3_reset(st);
        }
        sqlite3_finalize(st);
        QList<QByteArray> got;
        QCOMPARE(sqlite3_prepare_v2(db, "SELECT X FROM T ORDER BY X", -1, &st, nullptr), SQLITE_OK);
        while (sqlite3_step(st) == SQLITE_ROW)
            got << QByteArray(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)), sqlite3_column_bytes(st, 0));
        sqlite3_finalize(st);
        QCOMPARE(got.size(), texts.size());
        for (qsizetype i = 1; i < got.size(); ++i)
            QVERIFY2(SqlFunctions::compareText(QString::fromUtf8(got[i - 1]), QString::fromUtf8(got[i])) <= 0,
                     got[i - 1].toHex() + " before " + got[i].toHex());
    }

    void compareIsTotal()
    {
        QCOMPARE(SqlFunctions::compareText("Άννα", "Άννα"), 0);
        QCOMPARE(SqlFunctions::compareText("", ""), 0);
        QVERIFY(SqlFunctions::compareText("", "Α") < 0);
        // Canonically equal spellings are equal to the collator, yet differ.
        const QString composed = QStringLiteral("ά");
        const QString decomposed = QString::fromUtf8("α\xcc\x81");
        const int r = SqlFunctions::compareText(composed, decomposed);
        QVERIFY(r != 0);
        QCOMPARE(SqlFunctions::compareText(decomposed, composed), -r);
        // Neither may jump away from its neighbours.
        QVERIFY(SqlFunctions::compareText(composed, "αα") < 0);
        QVERIFY(SqlFunctions::compareText(decomposed, "αα") < 0);
    }
};

// The program's statements run against a fresh practice database.
class JetStatementsTest : public QObject {
    Q_OBJECT
private slots:
    void customerSearches()
    {
        TempPractice p;
        addCustomer(p, "Γιώργος", "Παπαδόπουλος", "#3/5/1970#");
        addCustomer(p, "Μαρία", "ΠΑΠΑΣ", "#1/12/1980#");
        addCustomer(p, "Άννα", "Αβραμίδη", "#3/6/1970#");
        addCustomer(p, "John", "Smith", "#3/4/1970#");
        addCustomer(p, "Ελένη", "Παππά", "NULL");
        DbConnection &c = p.conn();
        auto surnames = [&](const QString &start) {
            return column(rows(c, CustomerColumns + " WHERE EPWNYMO LIKE'" + start + "%' ORDER BY EPWNYMO ASC"), 2);
        };
        QCOMPARE(surnames("παπ"), (QStringList{"Παπαδόπουλος", "ΠΑΠΑΣ", "Παππά"}));
        QCOMPARE(surnames("ΠΑΠΑΔΟΠ"), QStringList{"Παπαδόπουλος"});
        QCOMPARE(surnames("παπαδοπ"), QStringList{"Παπαδόπουλος"});
        QCOMPARE(surnames("Παππα"), QStringList{"Παππά"});
        QCOMPARE(surnames("αβραμίδη"), QStringList{"Αβραμίδη"});
        QCOMPARE(surnames("SMI"), QStringList{"Smith"});
        QCOMPARE(surnames("Πα_πά"), QStringList{"Παππά"});
        QVERIFY(surnames("Παπαδοπουλοςς").isEmpty());

        const QString between = CustomerColumns + " WHERE HMEROMHNIA_GENNHSEWS BETWEEN %1 AND %2 ORDER BY EPWNYMO ASC";
        QCOMPARE(column(rows(c, between.arg("#3/4/1970#", "#3/5/1970#")), 2), (QStringList{"Παπαδόπουλος", "Smith"}));
        QCOMPARE(column(rows(c, between.arg("#3/5/1970#", "#3/5/1970#")), 2), QStringList{"Παπαδόπουλος"});
        QCOMPARE(column(rows(c, between.arg("#1/1/1900#", "#12/31/2100#")), 2),
                 (QStringList{"Αβραμίδη", "Παπαδόπουλος", "ΠΑΠΑΣ", "Smith"}));
        const auto row = rows(c, between.arg("#1/12/1980#", "#1/12/1980#"));
        QCOMPARE(row.size(), 1);
        QCOMPARE(row[0][4], QStringLiteral("1980-01-12"));

        QCOMPARE(column(rows(c, CustomerColumns + " ORDER BY EPWNYMO ASC"), 2),
                 (QStringList{"Αβραμίδη", "Παπαδόπουλος", "ΠΑΠΑΣ", "Παππά", "Smith"}));
        QCOMPARE(column(rows(c, CustomerColumns + " ORDER BY EPWNYMO DESC"), 2),
                 (QStringList{"Smith", "Παππά", "ΠΑΠΑΣ", "Παπαδόπουλος", "Αβραμίδη"}));
    }

    void receiptsAndTakings()
    {
        TempPractice p;
        addCustomer(p, "Γιώργος", "Παπαδόπουλος", "#3/5/1970#");
        DbConnection &c = p.conn();
        const QString id = one(c, "SELECT ID FROM STOIXEIA_PELATH");
        p.exec("INSERT INTO LAST_APODEIKSH([LAST]) VALUES(100)");

        issueReceipt(p, id.toInt(), "Γιώργος", "Παπαδόπουλος", "50.5", "Σφράγισμα");
        issueReceipt(p, id.toInt(), "Γιώργος", "Παπαδόπουλος", "2.675", "Καθαρισμός");
        issueReceipt(p, id.toInt(), "Γιώργος", "Παπαδόπουλος", "30", "Εξαγωγή");
        QCOMPARE(one(c, "SELECT * from LAST_APODEIKSH"), QStringLiteral("103"));

        // Date of issue and validity come from the table's defaults.
        const QString today = QDate::currentDate().toString(Qt::ISODate);
        QCOMPARE(column(rows(c, "SELECT HMEROMHNIA FROM APODEIKSEIS WHERE EGKYRH=TRUE")),
                 QStringList(3, today));
        const auto printout = rows(c, "SELECT AR_APODEIKSHS, HMEROMHNIA, ONOMA, EPWNYMO, PARALHPTHS, Format(POSO,'0.00') AS POSO, "
                                      "TAMEIO, Format(POSO_cy,'0.00') as POSO_CY, PERIGRAFH FROM APODEIKSEIS  WHERE AR_APODEIKSHS=101");
        QCOMPARE(printout.size(), 1);
        QCOMPARE(printout[0][4], QStringLiteral("Γιώργος Παπαδόπουλος"));
        QCOMPARE(printout[0][5], QStringLiteral("2,68"));
        QCOMPARE(printout[0][7], QStringLiteral("1,57"));

        const auto totals = rows(c, "SELECT COUNT(*) AS SYNOLO,Format(SUM(POSO),'0.00') as EISPRAKSH, "
                                    "Format(SUM(POSO_CY),'0.00') as EISPRAKSHCY FROM EISPRAKSH_PELATH WHERE ID="
                                     + id);
        QCOMPARE(totals[0][0], QStringLiteral("3"));
        QCOMPARE(totals[0][1], QStringLiteral("83,18"));

        // Cancelling receipt 100: its taking goes, the receipt stays invalid.
        {
            DbTransaction tx(c);
            p.exec("DELETE FROM EISPRAKSH_PELATH WHERE AR_APODEIKSHS=100");
            p.exec("UPDATE APODEIKSEIS SET EGKYRH=FALSE WHERE AR_APODEIKSHS=100");
            tx.commit();
        }
        QCOMPARE(one(c, "SELECT COUNT(*) FROM EISPRAKSH_PELATH"), QStringLiteral("2"));
        QCOMPARE(one(c, "SELECT EGKYRH FROM APODEIKSEIS WHERE AR_APODEIKSHS=100"), QStringLiteral("0"));
        QCOMPARE(one(c, "SELECT EGKYRH FROM APODEIKSEIS WHERE AR_APODEIKSHS=101"), QStringLiteral("-1"));
        QCOMPARE(one(c, "SELECT * from LAST_APODEIKSH"), QStringLiteral("103"));

        // Takings between two dates: valid receipts only, both ends included.
        c.executeNative("UPDATE APODEIKSEIS SET HMEROMHNIA='2008-03-05' WHERE AR_APODEIKSHS IN (100,101)");
        c.executeNative("UPDATE APODEIKSEIS SET HMEROMHNIA='2008-03-31' WHERE AR_APODEIKSHS=102");
        const QString takings = "SELECT Format(sum(POSO),'0.00') AS POSO, Format(sum(POSO_CY),'0.00') AS POSO_CY "
                                "FROM APODEIKSEIS WHERE HMEROMHNIA BETWEEN %1 AND %2 AND EGKYRH=TRUE";
        QCOMPARE(rows(c, takings.arg("#3/5/2008#", "#3/5/2008#"))[0][0], QStringLiteral("2,68"));
        QCOMPARE(rows(c, takings.arg("#3/1/2008#", "#3/31/2008#"))[0], (QStringList{"32,68", "19,12"}));
        QCOMPARE(rows(c, takings.arg("#4/1/2008#", "#4/30/2008#"))[0], (QStringList{"", ""}));

        const auto issued = rows(c, "SELECT AR_APODEIKSHS, HMEROMHNIA, ONOMA, EPWNYMO, PARALHPTHS, Format(POSO,'0.00') AS POSO, TAMEIO, "
                                    "Format(POSO_CY,'0.00') AS POSO_CY, PERIGRAFH, EGKYRH FROM APODEIKSEIS ORDER BY HMEROMHNIA");
        QCOMPARE(column(issued).last(), QStringLiteral("102"));
    }

    void expensesByDatesAndMonths()
    {
        TempPractice p;
        struct {
            const char *date;
            const char *poso;
            const char *vat;
            const char *text;
        } expenses[] = {
            {"#1/31/2007#", "100", "19", "Ενοίκιο"},
            {"#3/5/2008#", "12.5", "2.375", "Γάντια"},
            {"#3/25/2008#", "200", "38", "Ενοίκιο"},
            {"#3/25/2008#", "0.125", "0", "Γραμματόσημα"},
            {"#12/1/2008#", "40", "7.6", "Ρεύμα"},
            {"#1/1/2009#", "1000", "190", "Μηχάνημα"},
        };
        for (const auto &e : expenses)
            p.exec(QStringLiteral("INSERT INTO EKSODA(HMEROMHNIA,POSO,VAT,PERIGRAFH) VALUES(%1,%2,%3,'%4')")
                       .arg(e.date, e.poso, e.vat, QString::fromUtf8(e.text)));
        DbConnection &c = p.conn();

        const QString list = "SELECT Format(EKSODA.HMEROMHNIA,\"dd/mm/yyyy\") AS HMEROMHNIA, Format(EKSODA.POSO,'0.00') AS AKSIA, "
                             "Format(EKSODA.VAT,'0.00') AS VAT, Format((EKSODA.POSO+EKSODA.VAT),'0.00') AS SYNOLO, EKSODA.PERIGRAFH "
                             "FROM EKSODA WHERE EKSODA.HMEROMHNIA Between %1 AND %2 ORDER BY EKSODA.HMEROMHNIA ASC";
        QStringList names;
        const auto march = rows(c, list.arg("#3/5/2008#", "#3/25/2008#"), &names);
        QCOMPARE(names, (QStringList{"HMEROMHNIA", "AKSIA", "VAT", "SYNOLO", "PERIGRAFH"}));
        QCOMPARE(march.size(), 3);
        QCOMPARE(march[0], (QStringList{"05/03/2008", "12,50", "2,38", "14,88", "Γάντια"}));
        QCOMPARE(march[1][0], QStringLiteral("25/03/2008"));
        // Ordered by the date itself, not by its dd/mm/yyyy text.
        QCOMPARE(column(rows(c, list.arg("#1/1/2007#", "#12/31/2009#"))),
                 (QStringList{"31/01/2007", "05/03/2008", "25/03/2008", "25/03/2008", "01/12/2008", "01/01/2009"}));

        const QString totals = "SELECT Format(SUM(EKSODA.POSO),'0.00') AS AKSIA, Format(SUM(EKSODA.VAT),'0.00') AS VAT, "
                               "Format(SUM((EKSODA.POSO+EKSODA.VAT)),'0.00') AS SYNOLO FROM EKSODA WHERE EKSODA.HMEROMHNIA Between %1 AND %2";
        QCOMPARE(rows(c, totals.arg("#3/1/2008#", "#3/31/2008#"))[0], (QStringList{"212,63", "40,38", "253,00"}));
        QCOMPARE(rows(c, totals.arg("#6/1/2008#", "#6/30/2008#"))[0], (QStringList{"", "", ""}));

        const QString monthly = "SELECT MONTH(EKSODA.HMEROMHNIA) AS [MONTH], YEAR(EKSODA.HMEROMHNIA) AS [YEAR], "
                                "Format(SUM(EKSODA.POSO),'0.00') AS AKSIA,Format(SUM(EKSODA.VAT),'0.00') AS VAT, "
                                "Format(SUM(EKSODA.POSO+EKSODA.VAT),'0.00') AS SYNOLO FROM EKSODA WHERE YEAR(EKSODA.HMEROMHNIA) BETWEEN %1 AND %2"
                                " GROUP BY MONTH(EKSODA.HMEROMHNIA), YEAR(EKSODA.HMEROMHNIA)  ORDER BY YEAR(EKSODA.HMEROMHNIA), MONTH(EKSODA.HMEROMHNIA) ASC";
        const auto months = rows(c, monthly.arg(2008).arg(2009), &names);
        QCOMPARE(names, (QStringList{"MONTH", "YEAR", "AKSIA", "VAT", "SYNOLO"}));
        QCOMPARE(months, (QList<QStringList>{{"3", "2008", "212,63", "40,38", "253,00"}, {"12", "2008", "40,00", "7,60", "47,60"}, {"1", "2009", "1000,00", "190,00", "1190,00"}}));
        // The bracketed aliases can order the result too.
        const auto byAlias = rows(c, "SELECT MONTH(HMEROMHNIA) AS [MONTH], YEAR(HMEROMHNIA) AS [YEAR] FROM EKSODA "
                                     "ORDER BY [YEAR] DESC, [MONTH] DESC");
        QCOMPARE(byAlias.first(), (QStringList{"1", "2009"}));
        QCOMPARE(byAlias.last(), (QStringList{"1", "2007"}));
        QCOMPARE(one(c, "SELECT Format(SUM(EKSODA.POSO),'0.00') AS AKSIA FROM EKSODA WHERE YEAR(EKSODA.HMEROMHNIA) BETWEEN 2010 AND 2011"),
                 QString());
    }

    void remindersOfOneDay()
    {
        TempPractice p;
        p.exec("INSERT INTO YPENTHIMISEIS(HMEROMHNIA,PERIGRAFH) VALUES(#3/5/2008#,'Πρωί')");
        p.exec("INSERT INTO YPENTHIMISEIS(HMEROMHNIA,PERIGRAFH) VALUES(#3/5/2008 18:45:00#,'Βράδυ')");
        p.exec("INSERT INTO YPENTHIMISEIS(HMEROMHNIA,PERIGRAFH) VALUES(#5/3/2008#,'Άλλη μέρα')");
        p.exec("INSERT INTO YPENTHIMISEIS(HMEROMHNIA,PERIGRAFH) VALUES(NULL,'Χωρίς ημερομηνία')");
        DbConnection &c = p.conn();
        const QString reminders = "SELECT * from YPENTHIMISEIS WHERE DAY(HMEROMHNIA)=%1 AND MONTH(HMEROMHNIA)=%2 AND YEAR(HMEROMHNIA)=%3";
        QCOMPARE(column(rows(c, reminders.arg(5).arg(3).arg(2008)), 1), (QStringList{"Πρωί", "Βράδυ"}));
        QCOMPARE(column(rows(c, reminders.arg(3).arg(5).arg(2008)), 1), QStringList{"Άλλη μέρα"});
        QVERIFY(rows(c, reminders.arg(5).arg(3).arg(2009)).isEmpty());
        QCOMPARE(rows(c, "SELECT DAY(HMEROMHNIA), MONTH(HMEROMHNIA), YEAR(HMEROMHNIA) FROM YPENTHIMISEIS WHERE HMEROMHNIA IS NULL")[0],
                 (QStringList{Null, Null, Null}));
        QCOMPARE(rows(c, "SELECT DAY('2008-02-30'), MONTH('someday'), YEAR(12), DAY('2008-3-7 08:00')")[0],
                 (QStringList{Null, Null, Null, "7"}));
    }

    void appointmentDay()
    {
        TempPractice p;
        p.exec("INSERT INTO RANTEBOU(HMEROMHNIA) VALUES(#3/5/2008#)");
        // Opening the same day again is refused, and the day keeps one row.
        QVERIFY_THROWS_EXCEPTION(DbError, p.exec("INSERT INTO RANTEBOU(HMEROMHNIA) VALUES(#3/5/2008#)"));
        DbConnection &c = p.conn();
        c.executeNative("UPDATE RANTEBOU SET \"0830-0900\"='Παπαδόπουλος' WHERE HMEROMHNIA='2008-03-05'");
        QStringList names;
        const auto day = rows(c, "SELECT * FROM RANTEBOU WHERE HMEROMHNIA=#3/5/2008#", &names);
        QCOMPARE(day.size(), 1);
        QCOMPARE(names, QStringList{"HMEROMHNIA"} + Schema::slotColumns());
        QCOMPARE(names.value(1), QStringLiteral("0800-0830"));
        QCOMPARE(day[0][names.indexOf("0830-0900")], QStringLiteral("Παπαδόπουλος"));
        QCOMPARE(day[0][names.indexOf("0800-0830")], Null);
    }

    void passwordAndVisits()
    {
        TempPractice p;
        p.exec("UPDATE SECURITY SET [PASSWORD]='Νέος1'");
        DbConnection &c = p.conn();
        QCOMPARE(one(c, "SELECT * FROM SECURITY"), QStringLiteral("Νέος1"));

        p.exec("INSERT INTO EPISKEPSEIS(ID,HMEROMHNIA,AITIA,PERIGRAFH) VALUES(7,#3/25/2008#,'Πόνος','Σφράγισμα')");
        p.exec("INSERT INTO EPISKEPSEIS(ID,HMEROMHNIA,AITIA,PERIGRAFH) VALUES(7,#1/12/2008#,'Έλεγχος','')");
        p.exec("INSERT INTO EPISKEPSEIS(ID,HMEROMHNIA,AITIA,PERIGRAFH) VALUES(8,#1/1/2008#,'Άλλος','')");
        QString table;
        const QString sql = JetSql::translateForEdit("select ID AS ID,HMEROMHNIA AS HMEROMHNIA,AITIA AS AITIA,PERIGRAFH AS PERIGRAFH "
                                                     "from EPISKEPSEIS WHERE ID=7 ORDER BY HMEROMHNIA ASC",
                                                     &table);
        QCOMPARE(table, QStringLiteral("EPISKEPSEIS"));
        DbStatement st(c, sql);
        QStringList reasons;
        QList<qlonglong> rowids;
        while (st.step()) {
            QCOMPARE(st.columnName(0), QStringLiteral("__rowid"));
            rowids << st.columnValue(0).toLongLong();
            reasons << st.columnValue(3).toString();
        }
        QCOMPARE(reasons, (QStringList{"Έλεγχος", "Πόνος"}));
        // The rowid finds the same row again, as the data sets' posting needs.
        QCOMPARE(c.scalarNative("SELECT AITIA FROM EPISKEPSEIS WHERE rowid=?", {rowids[1]}).toString(), QStringLiteral("Πόνος"));
    }

    void collationMatchesCompareText()
    {
        TempPractice p;
        const QStringList names{"Ζαχαρίου", "ΠΑΠΑΣ", "Παπαδόπουλος", "Άννα", "Αννα", "ΑΝΝΑ", "αννα", "Smith", "smith",
                                "Ωραιόπουλος", "Adams", "Αβραμίδης", "", "Βασιλείου", "Élodie", "Eli", "12", "Ϊωάννης",
                                QString::fromUtf8("\xce\xb1\xcc\x81\xce\xbd\xce\xbd\xce\xb1")};
        for (const QString &n : names)
            p.exec("INSERT INTO STOIXEIA_PELATH(EPWNYMO) VALUES('" + n + "')");
        QStringList sorted = names;
        std::sort(sorted.begin(), sorted.end(), [](const QString &a, const QString &b) { return SqlFunctions::compareText(a, b) < 0; });
        QCOMPARE(column(rows(p.conn(), "SELECT EPWNYMO FROM STOIXEIA_PELATH ORDER BY EPWNYMO ASC")), sorted);
        // Equality stays exact: the collation does not merge different texts.
        QCOMPARE(one(p.conn(), "SELECT COUNT(*) FROM STOIXEIA_PELATH WHERE EPWNYMO='Αννα'"), QStringLiteral("1"));
        QCOMPARE(one(p.conn(), "SELECT COUNT(DISTINCT EPWNYMO) FROM STOIXEIA_PELATH"), QString::number(names.size()));
    }
};

// Format and LIKE on single values, on one shared database.
class JetExpressionsTest : public QObject {
    Q_OBJECT
    std::unique_ptr<TempPractice> m_practice;
private slots:
    void initTestCase() { m_practice = std::make_unique<TempPractice>(); }
    void cleanupTestCase() { m_practice.reset(); }

    void formatAndLikeEdges_data()
    {
        QTest::addColumn<QString>("expr");
        QTest::addColumn<QString>("result");
        QTest::newRow("two decimals") << "Format(12.5,'0.00')"
                                      << "12,50";
        QTest::newRow("negative") << "Format(-3,'0.00')"
                                  << "-3,00";
        QTest::newRow("half up, not binary") << "Format(2.675,'0.00')"
                                             << "2,68";
        QTest::newRow("half away from zero") << "Format(-1.005,'0.00')"
                                             << "-1,01";
        QTest::newRow("carry") << "Format(9.995,'0.00')"
                               << "10,00";
        QTest::newRow("tiny negative") << "Format(-0.001,'0.00')"
                                       << "0,00";
        QTest::newRow("large") << "Format(1234567.891,'0.00')"
                               << "1234567,89";
        QTest::newRow("sum of tenths") << "Format(0.1+0.2,'0.00')"
                                       << "0,30";
        QTest::newRow("NULL") << "Format(NULL,'0.00')"
                              << "";
        QTest::newRow("date") << "Format(#3/5/2008#,\"dd/mm/yyyy\")"
                              << "05/03/2008";
        QTest::newRow("date with time") << "Format(#12/31/2008 23:59:59#,\"dd/mm/yyyy\")"
                                        << "31/12/2008";
        QTest::newRow("NULL date") << "Format(NULL,\"dd/mm/yyyy\")"
                                   << "";
        QTest::newRow("escape") << "'50%' LIKE '50!%' ESCAPE '!'"
                                << "1";
        QTest::newRow("escaped percent is literal") << "'500' LIKE '50!%' ESCAPE '!'"
                                                    << "0";
        QTest::newRow("underscore is one letter") << "'Άννα' LIKE 'α__α'"
                                                  << "1";
        QTest::newRow("underscore needs a letter") << "'Άνα' LIKE 'α__α'"
                                                   << "0";
        QTest::newRow("percent inside") << "'Παπαδόπουλος' LIKE '%ΠΟΥΛ%'"
                                        << "1";
        QTest::newRow("NOT LIKE") << "'Παπαδόπουλος' NOT LIKE 'Κ%'"
                                  << "1";
        QTest::newRow("LIKE with NULL") << "NULL LIKE 'α%'" << Null;
    }
    void formatAndLikeEdges()
    {
        QFETCH(QString, expr);
        QFETCH(QString, result);
        QCOMPARE(one(m_practice->conn(), "SELECT " + expr), result);
    }

    void unsupportedFormatFails()
    {
        try {
            one(m_practice->conn(), "SELECT Format(12,'#,##0')");
            QFAIL("no DbError");
        } catch (const DbError &e) {
            QVERIFY2(e.message().contains("#,##0"), qPrintable(e.message()));
        }
    }
};

MOLARIX_TEST(JetTranslateTest)
MOLARIX_TEST(SqlFunctionsTest)
MOLARIX_TEST(JetStatementsTest)
MOLARIX_TEST(JetExpressionsTest)

#include "test_jetsql.moc"
