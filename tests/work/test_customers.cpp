// The customer searches and the reads of one customer, on the practice's
// engine.
#include "data/db/clock.h"
#include "data/db/dataset.h"
#include "data/db/dberror.h"
#include "data/work/customers.h"
#include "tests/common/testmain.h"
#include "tests/common/testutil.h"
#include <QTest>
#include <algorithm>

namespace {

qlonglong addCustomer(TempPractice &p, const QString &surname, const QString &born)
{
    p.exec(QStringLiteral("INSERT INTO STOIXEIA_PELATH(ONOMA,EPWNYMO,HMEROMHNIA_GENNHSEWS,ISTORIKO) VALUES('Όνομα','%1',%2,'Ιστορικό')")
               .arg(surname, born));
    return p.scalar(QStringLiteral("SELECT MAX(ID) FROM STOIXEIA_PELATH")).toLongLong();
}

QStringList column(TempPractice &p, const QString &sql, const char *field)
{
    DataSet ds(&p.conn());
    ds.setSql(sql);
    ds.open();
    QStringList out;
    for (int r = 0; r < ds.recordCount(); ++r)
        out << ds.displayText(r, ds.fieldIndex(QLatin1String(field)));
    return out;
}

QStringList sorted(QStringList l)
{
    std::sort(l.begin(), l.end());
    return l;
}

}   // namespace

class CustomerSearchTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<TempPractice> p;
    qlonglong papas = 0;

    Customers::Search search(const QString &kind, const QString &a, const QString &b) const
    {
        if (kind == QLatin1String("initials"))
            return Customers::byInitials(a);
        if (kind == QLatin1String("dates"))
            return Customers::byBirthDates(a, b).value();
        if (kind == QLatin1String("one"))
            return Customers::one(*CustomerRef::parse(QString::number(papas)));
        return Customers::all();
    }

private slots:
    void init()
    {
        Clock::setNow(QDateTime(QDate(2009, 6, 15), QTime(10, 0)));
        p = std::make_unique<TempPractice>();
        addCustomer(*p, QStringLiteral("Παπαδόπουλος"), QStringLiteral("#2/1/1970#"));
        papas = addCustomer(*p, QStringLiteral("ΠΑΠΑΣ"), QStringLiteral("#3/5/1980#"));
        addCustomer(*p, QStringLiteral("Παπαγεωργίου"), QStringLiteral("#3/5/1980#"));
        addCustomer(*p, QStringLiteral("Αντωνίου"), QStringLiteral("#3/6/1980#"));
        addCustomer(*p, QStringLiteral("Ζήνωνος"), QStringLiteral("#3/4/1980#"));
        addCustomer(*p, QStringLiteral("Άγνωστος"), QStringLiteral("NULL"));
    }
    void cleanup()
    {
        p.reset();
        Clock::reset();
    }

    // The list shows the search's customers by surname; the printouts put
    // their columns before the search's tail and print the same customers.
    void searchesAndTheirPrintouts_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<QStringList>("surnames");
        const QStringList pap{"Παπαγεωργίου", "Παπαδόπουλος", "ΠΑΠΑΣ"};
        QTest::newRow("all") << "all"
                             << ""
                             << "" << QStringList{"Άγνωστος", "Αντωνίου", "Ζήνωνος", "Παπαγεωργίου", "Παπαδόπουλος", "ΠΑΠΑΣ"};
        QTest::newRow("initials, small letters") << "initials"
                                                 << "παπ"
                                                 << "" << pap;
        QTest::newRow("initials, capitals and blanks") << "initials"
                                                       << "  ΠΑΠ "
                                                       << "" << pap;
        QTest::newRow("initials, accent") << "initials"
                                          << "Άγν"
                                          << "" << QStringList{"Άγνωστος"};
        QTest::newRow("nobody") << "initials"
                                << "Ω"
                                << "" << QStringList{};
        QTest::newRow("no initials") << "initials"
                                     << ""
                                     << "" << QStringList{"Άγνωστος", "Αντωνίου", "Ζήνωνος", "Παπαγεωργίου", "Παπαδόπουλος", "ΠΑΠΑΣ"};
        QTest::newRow("birth dates, both ends") << "dates"
                                                << "5/3/1980"
                                                << " 06/03/1980 " << QStringList{"Αντωνίου", "Παπαγεωργίου", "ΠΑΠΑΣ"};
        QTest::newRow("birth dates, one day") << "dates"
                                              << "4/3/80"
                                              << "4/3/1980" << QStringList{"Ζήνωνος"};
        QTest::newRow("one customer") << "one"
                                      << ""
                                      << "" << QStringList{"ΠΑΠΑΣ"};
    }
    void searchesAndTheirPrintouts()
    {
        QFETCH(QString, kind);
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(QStringList, surnames);
        const Customers::Search s = search(kind, a, b);
        QCOMPARE(column(*p, s.sql, "EPWNYMO"), surnames);
        const QStringList ids = sorted(column(*p, s.sql, "ID"));
        for (const auto what : {Customers::Printout::Data, Customers::Printout::History})
            QCOMPARE(sorted(column(*p, Customers::printoutSql(what, s.criteria), "ID")), ids);
        QCOMPARE(column(*p, Customers::printoutSql(Customers::Printout::History, s.criteria), "ISTORIKO").count(QStringLiteral("Ιστορικό")),
                 surnames.size());
    }

    // Criteria that would reach the statement as typed, or dates the
    // database cannot take, give no search.
    void refusedCriteria()
    {
        for (const char *initials : {"", "   ", "O'Brien", "Πα%", "Πα_", "Παπα-Γεωργίου"}) {
            const QString t = QString::fromUtf8(initials);
            QVERIFY2(!Customers::initialsAllowed(t), initials);
            if (!t.trimmed().isEmpty())
                QVERIFY_THROWS_EXCEPTION(DbError, Customers::byInitials(t));
        }
        const std::pair<const char *, const char *> dates[] = {
            {"", "1/1/1980"}, {"1/1/1980", ""}, {"31/2/1980", "1/3/1980"}, {"1/1/1980", "ένα"}};
        for (const auto &[from, to] : dates)
            QVERIFY2(!Customers::byBirthDates(QString::fromUtf8(from), QString::fromUtf8(to)), from);
    }

    // The card and the history edit a stored row: a customer deleted
    // meanwhile leaves the data set closed and is reported.
    void theCardAndTheHistoryNeedTheStoredRow()
    {
        const CustomerRef gone = *CustomerRef::parse(QString::number(papas));
        for (const auto open : {&Customers::openCard, &Customers::openHistory}) {
            DataSet ds(&p->conn());
            open(ds, gone);
            QCOMPARE(ds.fieldText(QStringLiteral("EPWNYMO")), QStringLiteral("ΠΑΠΑΣ"));
        }
        p->exec(QStringLiteral("DELETE FROM STOIXEIA_PELATH WHERE ID=%1").arg(papas));
        for (const auto open : {&Customers::openCard, &Customers::openHistory}) {
            DataSet ds(&p->conn());
            try {
                open(ds, gone);
                QFAIL("a deleted customer was opened");
            } catch (const DbError &e) {
                QCOMPARE(e.message(), QStringLiteral("Ο πελάτης δεν βρέθηκε."));
            }
            QVERIFY(!ds.isOpen());
        }
    }
};

MOLARIX_TEST(CustomerSearchTest)
#include "test_customers.moc"
