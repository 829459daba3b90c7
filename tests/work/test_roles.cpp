// What each role may read and change through the units of work, on the
// practice's engine: the clinical ones refuse a role that may not, whatever
// window or tool calls them.
#include "data/db/clock.h"
#include "data/db/dataset.h"
#include "data/db/dberror.h"
#include "data/practice/session.h"
#include "data/work/chart.h"
#include "data/work/customers.h"
#include "data/work/patientexport.h"
#include "data/work/plans.h"
#include "data/work/recall.h"
#include "data/work/visits.h"
#include "tests/common/testmain.h"
#include "tests/common/testutil.h"
#include <QTest>
#include <functional>

class RoleUnitsTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<TempPractice> p;
    std::optional<CustomerRef> customer;
    qint64 work = 0;

    // Each unit as a window calls it; true when it handed out rows.
    std::function<bool()> unit(const QString &name)
    {
        const CustomerRef c = *customer;
        auto opened = [this](const std::function<void(DataSet &)> &open) {
            DataSet ds(&p->conn());
            open(ds);
            return ds.isOpen();
        };
        using Customers::Printout;
        const QHash<QString, std::function<bool()>> units = {
            {QStringLiteral("card"), [=, this] { return opened([c](DataSet &ds) { Customers::openCard(ds, c); }); }},
            {QStringLiteral("data printout"), [=, this] { return !Customers::printoutSql(Printout::Data, c).isEmpty(); }},
            {QStringLiteral("history"), [=, this] { return opened([c](DataSet &ds) { Customers::openHistory(ds, c); }); }},
            {QStringLiteral("history printout"), [=, this] { return !Customers::printoutSql(Printout::History, QString()).isEmpty(); }},
            {QStringLiteral("whole row"), [=, this] { return opened([c](DataSet &ds) { Customers::openRow(ds, c); }); }},
            {QStringLiteral("visits"), [=, this] { return opened([c](DataSet &ds) { Visits::openList(ds, c); }); }},
            {QStringLiteral("visit entry"), [=, this] { return opened([](DataSet &ds) { Visits::openForEntry(ds); }); }},
            {QStringLiteral("chart"), [=, this] { return opened([c](DataSet &ds) { Chart::open(ds, c); }); }},
            {QStringLiteral("chart printout"), [=, this] {
                 DataSet practice(&p->conn());
                 return opened([&](DataSet &ds) { Chart::openPrintout(ds, practice, c); });
             }},
            {QStringLiteral("plan"), [=, this] { return Plans::items(p->conn(), c).size() == 1; }},
            {QStringLiteral("plan item"), [=, this] { return Plans::addItem(p->conn(), c, {.work = work, .cents = -1}) > 0; }},
            {QStringLiteral("patient export"), [=, this] { return PatientExport::read(p->conn(), c).customerId == c.value(); }},
            {QStringLiteral("customer deletion"), [this] {
                 p->conn().executeNative(QStringLiteral("INSERT INTO STOIXEIA_PELATH(ONOMA,EPWNYMO) VALUES('Βάσος','Βασιλείου')"));
                 const QString id = p->conn().scalarNative(QStringLiteral("SELECT max(ID) FROM STOIXEIA_PELATH")).toString();
                 Customers::remove(p->conn(), CustomerRef::require(id));
                 return p->conn().scalarNative(QStringLiteral("SELECT count(*) FROM STOIXEIA_PELATH WHERE ID=") + id).toInt() == 0;
             }},
            {QStringLiteral("recall"), [=, this] { return opened([](DataSet &ds) { Recall::open(ds, 6, QDate(2026, 3, 16)); }); }},
        };
        return units.value(name);
    }

private slots:
    void init()
    {
        Clock::setNow(QDateTime(QDate(2026, 3, 16), QTime(9, 30)));
        p = std::make_unique<TempPractice>();
        p->conn().executeNative(QStringLiteral("INSERT INTO STOIXEIA_PELATH(ONOMA,EPWNYMO,ISTORIKO) VALUES('Άννα','Αντωνίου','Αλλεργία')"));
        customer = CustomerRef::require(p->conn().scalarNative(QStringLiteral("SELECT max(ID) FROM STOIXEIA_PELATH")).toString());
        work = Plans::addWork(p->conn(), {.code = QStringLiteral("KA01"), .description = QStringLiteral("Καθαρισμός"), .cents = 4000});
        Plans::addItem(p->conn(), *customer, {.work = work, .cents = -1});
    }
    void cleanup()
    {
        p->signInAs(QString(), Users::Role::Administrator);
        p.reset();
        Clock::reset();
    }

    // Allowed: the roles (a: administrator, c: clinician, r: reception)
    // for which the unit hands out its rows; the others are refused with
    // one Greek sentence naming the role, before anything is read.
    void unitsFollowTheRole_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("allowed");
        for (const char *contact : {"card", "data printout"})
            QTest::newRow(contact) << contact << "acr";
        for (const char *clinical : {"history", "history printout", "whole row", "visits", "visit entry", "chart",
                                     "chart printout", "plan", "plan item", "patient export", "customer deletion", "recall"})
            QTest::newRow(clinical) << clinical << "ac";
    }
    void unitsFollowTheRole()
    {
        QFETCH(QString, name);
        QFETCH(QString, allowed);
        const std::pair<char, Users::Role> roles[] = {
            {'a', Users::Role::Administrator}, {'c', Users::Role::Clinician}, {'r', Users::Role::Reception}};
        for (const auto &[letter, role] : roles) {
            p->signInAs(QStringLiteral("Χρήστης"), role);
            const std::function<bool()> call = unit(name);
            QVERIFY(call);
            if (allowed.contains(QLatin1Char(letter))) {
                QVERIFY2(call(), qPrintable(Users::roleName(role)));
                continue;
            }
            try {
                call();
                QFAIL(qPrintable(Users::roleName(role) + QStringLiteral(" was not refused")));
            } catch (const DbError &e) {
                QVERIFY2(e.message().startsWith(QStringLiteral("Ο ρόλος σας (%1) δεν επιτρέπει ").arg(Users::roleText(role))),
                         qPrintable(e.message()));
            }
        }
        // Nothing was added by a refused call.
        p->signInAs(QString(), Users::Role::Administrator);
        QCOMPARE(Plans::items(p->conn(), *customer).size(), qsizetype(name == QLatin1String("plan item") ? 3 : 1));
    }
};

MOLARIX_TEST(RoleUnitsTest)
#include "test_roles.moc"
