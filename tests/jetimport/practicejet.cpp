#include "tests/jetimport/practicejet.h"
#include <QDate>
#include <QRandomGenerator>

namespace PracticeJet {

using JetWriter::Column;

namespace {

const char *const kFirst[] = {"Γιώργος", "Μαρία", "Δημήτρης", "Ελένη", "Νίκος", "Αικατερίνη", "Κώστας",
                              "Σοφία", "Παναγιώτης", "Ευαγγελία", "Χρήστος", "Ιωάννα", "Αθανάσιος", "Βασιλική"};
const char *const kLast[] = {"Παπαδόπουλος", "Παπαδοπούλου", "Οικονόμου", "Γεωργίου", "Νικολάου", "Ιωάννου",
                             "Καραγιάννης", "Βασιλείου", "Αθανασίου", "Μακρή", "Ζαφειρίου", "Ψαράς", "Ξενάκης"};
const char *const kReason[] = {"Πόνος", "Έλεγχος", "Καθαρισμός", "Σφράγισμα", "Εξαγωγή", "Απονεύρωση"};
const char *const kFund[] = {"ΙΚΑ", "ΟΓΑ", "ΤΕΒΕ", "Ιδιώτης", ""};

QString g(const char *s) { return QString::fromUtf8(s); }

template <size_t N>
QString pick(const char *const (&list)[N], QRandomGenerator &r)
{
    return g(list[r.bounded(int(N))]);
}

Column text(const char *name, int len = 50) { return {QString::fromLatin1(name), JetWriter::Text, len}; }
Column col(const char *name, JetWriter::Type t) { return {QString::fromLatin1(name), t}; }

}   // namespace

QStringList tables()
{
    return {QStringLiteral("STOIXEIA_PELATH"), QStringLiteral("EPISKEPSEIS"), QStringLiteral("EISPRAKSH_PELATH"),
            QStringLiteral("APODEIKSEIS"), QStringLiteral("LAST_APODEIKSH"), QStringLiteral("INFORMATION"),
            QStringLiteral("EKSODA"), QStringLiteral("RANTEBOU"), QStringLiteral("YPENTHIMISEIS"),
            QStringLiteral("SHMEIWSEIS"), QStringLiteral("XRHSIMA_THLEFWNA"), QStringLiteral("SECURITY")};
}

QList<Column> columns(const QString &table)
{
    using namespace JetWriter;
    if (table == QLatin1String("STOIXEIA_PELATH")) {
        Column id = col("ID", Long);
        id.autoNumber = true;
        return {id, text("ONOMA"), text("EPWNYMO"), text("FYLO", 10), col("HMEROMHNIA_GENNHSEWS", DateTime),
                text("DIEYTHYNSH", 100), text("THLEFWNO_1", 20), text("THLEFWNO_2", 20), text("EPAGGELMA"),
                text("TAMEIO"), col("ISTORIKO", Memo)};
    }
    if (table == QLatin1String("EPISKEPSEIS"))
        return {col("ID", Long), col("HMEROMHNIA", DateTime), text("AITIA", 100), text("PERIGRAFH", 255)};
    if (table == QLatin1String("EISPRAKSH_PELATH"))
        return {col("ID", Long), col("HMEROMHNIA", DateTime), col("POSO", Double), col("POSO_CY", Double),
                text("PERIGRAFH", 255), text("TAMEIO"), col("AR_APODEIKSHS", Long)};
    if (table == QLatin1String("APODEIKSEIS"))
        return {col("AR_APODEIKSHS", Long), col("HMEROMHNIA", DateTime), text("ONOMA"), text("EPWNYMO"),
                text("PARALHPTHS", 100), col("POSO", Money), col("POSO_CY", Double), text("TAMEIO"),
                text("PERIGRAFH", 255), col("EGKYRH", Bool)};
    if (table == QLatin1String("LAST_APODEIKSH"))
        return {col("LAST", Long)};
    if (table == QLatin1String("INFORMATION"))
        return {text("TITLE", 100), text("ADDRESS1", 100), text("ADDRESS2", 100), text("PHONE"), text("FAX"),
                text("WEBSITE"), text("EMAIL"), text("AFT")};
    if (table == QLatin1String("EKSODA"))
        return {col("HMEROMHNIA", DateTime), col("POSO", Money), col("VAT", Money), text("PERIGRAFH", 255)};
    if (table == QLatin1String("RANTEBOU")) {
        QList<Column> c{col("HMEROMHNIA", DateTime)};
        for (int h = 8; h < 22; ++h)
            for (int half = 0; half < 2; ++half) {
                const int from = h * 100 + half * 30, to = half ? (h + 1) * 100 : h * 100 + 30;
                c << Column{QStringLiteral("%1-%2").arg(from, 4, 10, QLatin1Char('0')).arg(to, 4, 10, QLatin1Char('0')),
                            Text, 100};
            }
        return c;
    }
    if (table == QLatin1String("YPENTHIMISEIS"))
        return {col("HMEROMHNIA", DateTime), col("PERIGRAFH", Memo)};
    if (table == QLatin1String("SHMEIWSEIS")) {
        Column id = col("ID", Long);
        id.autoNumber = true;
        return {id, text("TITLOS", 100), col("PERIGRAFH", Memo)};
    }
    if (table == QLatin1String("XRHSIMA_THLEFWNA"))
        return {text("ONOMATEPWNYMO", 100), text("DIEYTHYNSH", 100), text("THLEFWNO_1", 20), text("THLEFWNO_2", 20),
                text("FAX", 20), text("EMAIL"), text("PERIGRAFH", 255)};
    if (table == QLatin1String("SECURITY"))
        return {text("PASSWORD")};
    return {};
}

void generate(const Options &o, const Sink &sink)
{
    QRandomGenerator r(20040317);
    const QDate first(2003, 1, 7);
    int receipt = 101;
    for (int c = 1; c <= o.customers; ++c) {
        const bool female = r.bounded(2) == 1;
        const QString name = pick(kFirst, r), surname = pick(kLast, r);
        // Every tenth customer has a long history, every so often none at all.
        QVariant history;
        if (c % 10 == 0)
            history = g("Ιστορικό: ") + QString(g("αλλεργία στην πενικιλίνη· ")).repeated(40 + c % 300);
        else if (c % 3 == 0)
            history = g("Ευαισθησία στα ούλα.\nΈλεγχος κάθε 6 μήνες.");
        sink(QStringLiteral("STOIXEIA_PELATH"),
             {c, name, surname, female ? g("ΘΗΛΥ") : g("ΑΡΡΕΝ"),
              c % 17 == 0 ? QVariant() : QVariant(QDate(1940 + r.bounded(60), 1 + r.bounded(12), 1 + r.bounded(28))),
              g("Οδός Ερμού %1, Αθήνα").arg(c), QStringLiteral("210%1").arg(1000000 + c), c % 4 ? QVariant() : QVariant(QString()),
              g("Δάσκαλος"), pick(kFund, r), history});
        for (int v = 0; v < o.visitsPerCustomer; ++v)
            sink(QStringLiteral("EPISKEPSEIS"),
                 {c, first.addDays(r.bounded(6000)), pick(kReason, r), g("Δόντι %1").arg(11 + r.bounded(38))});
        if (!o.everything || c % 2)
            continue;
        // Takings with their receipts; some receipts cancelled later.
        const double euros = 20 + r.bounded(400) * 0.5 + (c % 7) * 0.01;
        const double pounds = euros * 0.585274;
        const bool cancelled = c % 10 == 4;
        const QDate day = first.addDays(r.bounded(6000));
        sink(QStringLiteral("APODEIKSEIS"),
             {receipt, day, name, surname, name + QLatin1Char(' ') + surname, euros, pounds, pick(kFund, r),
              g("Θεραπεία"), !cancelled});
        if (!cancelled)
            sink(QStringLiteral("EISPRAKSH_PELATH"),
                 {c, day, euros, pounds, g("Θεραπεία"), pick(kFund, r), receipt});
        ++receipt;
    }
    if (!o.everything)
        return;
    sink(QStringLiteral("LAST_APODEIKSH"), {receipt});
    sink(QStringLiteral("INFORMATION"),
         {g("Οδοντιατρείο Παπαδοπούλου"), g("Πανεπιστημίου 10"), g("106 71 Αθήνα"), QStringLiteral("2103612345"),
          QStringLiteral("2103612346"), QStringLiteral("www.odontiatreio.gr"), QStringLiteral("info@odontiatreio.gr"),
          QStringLiteral("012345678")});
    for (int e = 0; e < 200; ++e) {
        const double net = 10 + r.bounded(5000) * 0.25;
        sink(QStringLiteral("EKSODA"), {first.addDays(e * 23), net, std::round(net * 23.0) / 100.0, e % 2 ? g("Υλικά") : g("Ενοίκιο")});
    }
    for (int d = 0; d < 40; ++d) {
        QVariantList row{first.addDays(3000 + d)};
        for (int s = 0; s < 28; ++s)
            row << ((s + d) % 5 == 0 ? QVariant(g("Ραντεβού: %1").arg(pick(kLast, r))) : QVariant());
        sink(QStringLiteral("RANTEBOU"), row);
    }
    for (int y = 0; y < 30; ++y)
        sink(QStringLiteral("YPENTHIMISEIS"), {first.addDays(y * 31), g("Παραγγελία υλικών %1").arg(y)});
    for (int n = 1; n <= 12; ++n)
        sink(QStringLiteral("SHMEIWSEIS"),
             {n, g("Σημείωση %1").arg(n), n == 5 ? QString(g("Μεγάλη σημείωση. ")).repeated(700) : g("Κείμενο %1").arg(n)});
    for (int p = 0; p < 25; ++p)
        sink(QStringLiteral("XRHSIMA_THLEFWNA"),
             {pick(kLast, r) + QLatin1Char(' ') + pick(kFirst, r), g("Σταδίου %1").arg(p), QStringLiteral("2101234%1").arg(p, 3, 10, QLatin1Char('0')),
              QVariant(), QVariant(), QStringLiteral("x%1@example.gr").arg(p), g("Προμηθευτής")});
    sink(QStringLiteral("SECURITY"), {o.password});
}

int Data::column(const QString &table, const QString &name) const
{
    const QList<Column> cols = columns(table);
    for (int i = 0; i < cols.size(); ++i)
        if (cols[i].name == name)
            return i;
    return -1;
}

Data make(const Options &o)
{
    Data d;
    for (const QString &t : tables())
        d.rows[t];
    generate(o, [&](const QString &t, const QVariantList &row) { d.rows[t] << row; });
    return d;
}

bool write(const Data &d, const QString &path, const QStringList &leaveOut)
{
    JetWriter::Writer w(QString::fromLatin1(DatabasePassword));
    for (const QString &t : tables()) {
        if (leaveOut.contains(t))
            continue;
        const int id = w.addTable(t, columns(t));
        for (const QVariantList &row : d.rows.value(t))
            w.addRow(id, row);
    }
    return w.save(path);
}

}
