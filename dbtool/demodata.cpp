#include "dbtool/demodata.h"
#include "data/db/clock.h"
#include "data/db/connection.h"
#include "data/practice/schema.h"
#include <QRandomGenerator>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <vector>

// No text here may hold a quote character: the program puts stored names
// and funds into its statements as they are.

namespace {

constexpr double kPoundRate = 0.585274;
constexpr int kVatPercent = 19;

QStringList texts(std::initializer_list<const char *> items)
{
    QStringList out;
    out.reserve(int(items.size()));
    for (const char *s : items)
        out << QString::fromUtf8(s);
    return out;
}

double cents(double v) { return std::round(v * 100.0) / 100.0; }

QString iso(const QDate &d) { return d.toString(Qt::ISODate); }

// Masculine first names end in -ς, feminine ones never do.
const QStringList &maleNames()
{
    static const QStringList l = texts({"Ανδρέας", "Γιώργος", "Χρίστος", "Κώστας", "Νίκος", "Μιχάλης", "Παναγιώτης",
                                        "Σάββας", "Μάριος", "Στέλιος", "Δημήτρης", "Γιάννης", "Λεωνίδας", "Πέτρος",
                                        "Αντώνης", "Χαράλαμπος", "Κυριάκος", "Σωτήρης", "Θεόδωρος", "Λοΐζος", "Βαγγέλης",
                                        "Φίλιππος", "Αλέξανδρος", "Νεόφυτος", "Στυλιανός", "Παύλος", "Άριστος", "Ηλίας",
                                        "Μάρκος", "Θεοφάνης", "Ευάγγελος", "Τάσος", "Χρύσανθος", "Σπύρος", "Αχιλλέας",
                                        "Λάμπρος", "Ορέστης", "Πανίκος", "Κλεάνθης", "Θωμάς", "Ιάκωβος", "Ευαγόρας"});
    return l;
}

const QStringList &femaleNames()
{
    static const QStringList l = texts({"Μαρία", "Ελένη", "Άντρη", "Χριστίνα", "Γεωργία", "Αναστασία", "Παναγιώτα",
                                        "Κατερίνα", "Δέσποινα", "Σοφία", "Ευαγγελία", "Στέλλα", "Χρυστάλλα", "Ανδρούλα",
                                        "Νίκη", "Ειρήνη", "Θεοδώρα", "Μυρτώ", "Έλενα", "Ραφαέλλα", "Στυλιανή", "Αθηνά",
                                        "Αγγελική", "Λουκία", "Μαρίνα", "Ξένια", "Κυριακή", "Παρασκευή", "Φωτεινή",
                                        "Άννα", "Ευτυχία", "Χαρά", "Αλεξάνδρα", "Δήμητρα", "Ιωάννα", "Κωνσταντίνα",
                                        "Νατάσα", "Ρένα", "Μαίρη", "Βασιλική", "Ανθή", "Σταυρούλα", "Ευανθία"});
    return l;
}

// Surnames as a man and as a woman carries them; the Cypriot genitive
// forms (-ου, -ους, -α, -ή) are the same for both.
struct Surname {
    QString male, female;
};

const std::vector<Surname> &surnames()
{
    static const std::vector<Surname> l = [] {
        const char *const pairs[][2] = {
            {"Παπαδόπουλος", "Παπαδοπούλου"}, {"Ιωάννου", nullptr}, {"Κωνσταντίνου", nullptr}, {"Χαραλάμπους", nullptr}, {"Νικολάου", nullptr}, {"Γεωργίου", nullptr}, {"Ανδρέου", nullptr}, {"Αντωνίου", nullptr}, {"Χριστοφόρου", nullptr}, {"Παπαγεωργίου", nullptr}, {"Σάββα", nullptr}, {"Μιχαήλ", nullptr}, {"Ευαγγέλου", nullptr}, {"Κυριάκου", nullptr}, {"Δημητρίου", nullptr}, {"Περικλέους", nullptr}, {"Θεοδώρου", nullptr}, {"Αθανασίου", nullptr}, {"Παναγή", nullptr}, {"Λοΐζου", nullptr}, {"Στυλιανού", nullptr}, {"Χατζηγεωργίου", nullptr}, {"Χατζηιωάννου", nullptr}, {"Ευσταθίου", nullptr}, {"Κλεάνθους", nullptr}, {"Αριστείδου", nullptr}, {"Παπαδημητρίου", nullptr}, {"Χρυσοστόμου", nullptr}, {"Ζαχαρίου", nullptr}, {"Φιλίππου", nullptr}, {"Οικονόμου", nullptr}, {"Βασιλείου", nullptr}, {"Ηλία", nullptr}, {"Κυπριανού", nullptr}, {"Παύλου", nullptr}, {"Σωτηρίου", nullptr}, {"Ιακώβου", nullptr}, {"Μενελάου", nullptr}, {"Χριστοδούλου", nullptr}, {"Πέτρου", nullptr}, {"Κουμή", nullptr}, {"Ευθυμίου", nullptr}, {"Νεοφύτου", nullptr}, {"Ματθαίου", nullptr}, {"Προδρόμου", nullptr}, {"Παπαϊωάννου", nullptr}, {"Σολομωνίδης", "Σολομωνίδου"}, {"Μαυρομμάτης", "Μαυρομμάτη"}, {"Καραγιάννης", "Καραγιάννη"}, {"Πετρίδης", "Πετρίδου"}, {"Λαμπρόπουλος", "Λαμπροπούλου"}, {"Τσιάκκας", "Τσιάκκα"}, {"Χριστοδουλίδης", "Χριστοδουλίδου"}, {"Αναστασιάδης", "Αναστασιάδου"}, {"Πογιατζής", "Πογιατζή"}, {"Κυριακίδης", "Κυριακίδου"}, {"Γεωργιάδης", "Γεωργιάδου"}, {"Χαραλαμπίδης", "Χαραλαμπίδου"}, {"Κωνσταντινίδης", "Κωνσταντινίδου"}, {"Χατζηπαύλου", nullptr}, {"Μιλτιάδους", nullptr}, {"Ονουφρίου", nullptr}};
        std::vector<Surname> v;
        for (const auto &p : pairs) {
            const QString m = QString::fromUtf8(p[0]);
            v.push_back({m, p[1] ? QString::fromUtf8(p[1]) : m});
        }
        return v;
    }();
    return l;
}

struct Occupation {
    QString male, female;
};

std::vector<Occupation> occupations(std::initializer_list<std::pair<const char *, const char *>> items)
{
    std::vector<Occupation> v;
    for (const auto &[m, f] : items)
        v.push_back({QString::fromUtf8(m), QString::fromUtf8(f)});
    return v;
}

const std::vector<Occupation> &jobs()
{
    static const std::vector<Occupation> l = occupations({{"Ιδιωτικός υπάλληλος", "Ιδιωτική υπάλληλος"}, {"Δημόσιος υπάλληλος", "Δημόσια υπάλληλος"}, {"Εκπαιδευτικός", "Εκπαιδευτικός"}, {"Λογιστής", "Λογίστρια"}, {"Μηχανικός", "Μηχανικός"}, {"Δικηγόρος", "Δικηγόρος"}, {"Γιατρός", "Γιατρός"}, {"Νοσηλευτής", "Νοσηλεύτρια"}, {"Τραπεζικός υπάλληλος", "Τραπεζική υπάλληλος"}, {"Πωλητής", "Πωλήτρια"}, {"Επιχειρηματίας", "Επιχειρηματίας"}, {"Αστυνομικός", "Αστυνομικός"}, {"Ηλεκτρολόγος", "Ηλεκτρολόγος"}, {"Ξενοδοχοϋπάλληλος", "Ξενοδοχοϋπάλληλος"}, {"Φαρμακοποιός", "Φαρμακοποιός"}, {"Αρχιτέκτονας", "Αρχιτέκτονας"}, {"Ελεύθερος επαγγελματίας", "Ελεύθερη επαγγελματίας"}, {"Σερβιτόρος", "Σερβιτόρα"}, {"Μάγειρας", "Μαγείρισσα"}, {"Οδηγός", "Οδηγός"}, {"Αγρότης", "Αγρότισσα"}, {"Κομμωτής", "Κομμώτρια"}, {"Γραμματέας", "Γραμματέας"}, {"Άνεργος", "Άνεργη"}, {"Στρατιωτικός", "Στρατιωτικός"}, {"Οικοδόμος", "Οικιακά"}, {"Ψυκτικός", "Αισθητικός"}, {"Ταξιτζής", "Φιλόλογος"}});
    return l;
}

struct Town {
    const char *name;
    int postFirst, postLast;
    const char *phone;
    int weight;
};

// Mostly Nicosia and its suburbs, where the practice is; a few from further.
const Town kTowns[] = {
    {"Λευκωσία", 1010, 1107, "22", 20}, {"Στρόβολος", 2001, 2066, "22", 18}, {"Λακατάμια", 2301, 2333, "22", 10}, {"Έγκωμη", 2406, 2416, "22", 8}, {"Αγλαντζιά", 2101, 2124, "22", 8}, {"Λατσιά", 2220, 2236, "22", 7}, {"Γέρι", 2200, 2203, "22", 4}, {"Δάλι", 2540, 2545, "22", 3}, {"Τσέρι", 2480, 2483, "22", 3}, {"Λεμεσός", 3010, 3117, "25", 6}, {"Λάρνακα", 6010, 6059, "24", 8}, {"Πάφος", 8010, 8049, "26", 3}, {"Παραλίμνι", 5280, 5299, "23", 2}};

const QStringList &streets()
{
    static const QStringList l = texts({"Λεωφόρος Αρχιεπισκόπου Μακαρίου", "Λεωφόρος Γρίβα Διγενή", "Στασικράτους",
                                        "Λεωφόρος Αθαλάσσας", "Ανεξαρτησίας", "Λεωφόρος Σπύρου Κυπριανού", "Ευαγόρου",
                                        "Αγίου Ανδρέα", "Γλάδστωνος", "Λεωφόρος Κέννεντυ", "Αρμενίας", "Ριγαίνης", "Ομήρου",
                                        "Λεωφόρος Στροβόλου", "Κυρηνείας", "Ζήνωνος Κιτιέως", "Λεωφόρος Λεμεσού",
                                        "Μιχαλάκη Καραολή", "Αγίου Νικολάου", "Θεμιστοκλή Δέρβη", "Πινδάρου", "Περικλέους",
                                        "Ηρώων", "28ης Οκτωβρίου", "Αγίας Φυλάξεως", "Λεωφόρος Τσερίου",
                                        "Κωνσταντινουπόλεως", "Αγίου Γεωργίου", "Ελευθερίας", "Ακροπόλεως",
                                        "Βασιλέως Παύλου", "Αισχύλου", "Σοφοκλέους", "Αγίου Προκοπίου"});
    return l;
}

struct Fund {
    const char *name;
    int weight;
};
const Fund kFunds[] = {
    {"ΓεΣΥ", 50}, {"Ιδιωτικό", 22}, {"ΤΚΑ", 8}, {"Ταμείο Υγείας ΠΑΣΥΔΥ", 6}, {"Ταμείο Ευημερίας ΑΗΚ", 4}, {"Ταμείο Υγείας ΣΕΚ", 4}, {"Ιδιωτική ασφάλεια υγείας", 6}};

const QStringList &historyLines()
{
    static const QStringList l = texts({"Αλλεργία στην πενικιλίνη.", "Υπέρταση, λαμβάνει φαρμακευτική αγωγή.",
                                        "Σακχαρώδης διαβήτης τύπου 2.", "Λαμβάνει αντιπηκτικά (ασπιρίνη), ενημέρωση πριν από εξαγωγή.",
                                        "Βρουξισμός, νάρθηκας νυκτός.", "Φοβάται τον οδοντίατρο, χρειάζεται χρόνο και ηρεμία.",
                                        "Ευαισθησία στα κάτω πρόσθια.", "Καπνίζει περίπου 20 τσιγάρα την ημέρα.",
                                        "Ορθοδοντική θεραπεία στην εφηβεία.",
                                        "Καρδιοπάθεια, προφυλακτική αντιβίωση πριν από επεμβάσεις.",
                                        "Αιμορραγία ούλων στο βούρτσισμα.", "Αλλεργία στο λάτεξ, μόνο γάντια νιτριλίου.",
                                        "Άσθμα, φέρνει το εισπνεόμενο στα ραντεβού.", "Θυρεοειδοπάθεια, υπό θεραπεία.",
                                        "Προτιμά απογευματινά ραντεβού.", "Μεταλλοκεραμική γέφυρα 24-26 από άλλο ιατρείο.",
                                        "Κινητή μερική οδοντοστοιχία άνω γνάθου.", "Ευαισθησία στο κρύο μετά από λεύκανση.",
                                        "Δυσκολία στο άνοιγμα του στόματος, πόνος στην κροταφογναθική.",
                                        "Ενημερώθηκε για εμφύτευμα, θα το σκεφτεί."});
    return l;
}

// A kind of visit: the reason written on the visit, the description (a
// tooth number replaces %1), what the receipt says and the price range in
// euros (0: nothing to pay).
struct Treatment {
    const char *reason;
    const char *description;
    const char *service;
    int minPrice, maxPrice, weight;
    bool tooth;
};

const Treatment kTreatments[] = {
    {"Προληπτικός έλεγχος", "Κλινική εξέταση και οπισθοφατνιακές ακτινογραφίες.",
     "Κλινική εξέταση", 30, 50, 14, false},
    {"Καθαρισμός", "Αφαίρεση τρυγίας και στίλβωση, οδηγίες στοματικής υγιεινής.",
     "Καθαρισμός δοντιών", 50, 70, 16, false},
    {"Τερηδόνα", "Έμφραξη σύνθετης ρητίνης στο %1.", "Σφράγισμα δοντιού", 50, 90, 16, true},
    {"Πονόδοντος", "Απονεύρωση στο %1, πρώτη συνεδρία.", "Απονεύρωση", 150, 300, 7, true},
    {"Σπασμένο δόντι", "Ανασύσταση του %1 με σύνθετη ρητίνη.", "Ανασύσταση δοντιού", 70, 120, 5, true},
    {"Εξαγωγή", "Εξαγωγή του %1 με τοπική αναισθησία.", "Εξαγωγή δοντιού", 60, 120, 5, true},
    {"Φρονιμίτης", "Χειρουργική εξαγωγή φρονιμίτη.", "Χειρουργική εξαγωγή", 150, 250, 3, false},
    {"Στεφάνη", "Παρασκευή του %1 και αποτύπωμα για μεταλλοκεραμική στεφάνη.",
     "Μεταλλοκεραμική στεφάνη", 350, 500, 4, true},
    {"Ουλίτιδα", "Απόξεση ριζών και οδηγίες στοματικής υγιεινής.", "Περιοδοντική θεραπεία", 60, 100, 5, false},
    {"Λεύκανση", "Λεύκανση στο ιατρείο, δύο εφαρμογές.", "Λεύκανση δοντιών", 250, 350, 2, false},
    {"Ορθοδοντικός έλεγχος", "Ενεργοποίηση μηχανήματος, επόμενος έλεγχος σε τέσσερις εβδομάδες.",
     "Ορθοδοντική θεραπεία, δόση", 80, 120, 4, false},
    {"Εμφύτευμα", "Τοποθέτηση εμφυτεύματος στη θέση του %1.", "Οδοντικό εμφύτευμα", 800, 1200, 1, true},
    {"Ευαισθησία", "Απευαισθητοποίηση αυχενικών περιοχών με φθοριούχο βερνίκι.",
     "Απευαισθητοποίηση", 30, 50, 4, false},
    {"Οδοντοστοιχία", "Αποτυπώματα για μερική οδοντοστοιχία.", "Μερική οδοντοστοιχία", 400, 700, 2, false},
    {"Επανέλεγχος", "Επανέλεγχος μετά από θεραπεία, χωρίς ευρήματα.", "", 0, 0, 12, false},
};

struct Expense {
    const char *text;
    int minCents, maxCents;
};

struct Customer {
    QString first, last, fund, phone;
};

struct Visit {
    int customer;   // index into the customers
    QDate date;
    int treatment;
};

class Generator {
public:
    Generator(DbConnection &conn, const DemoData::Options &o)
        : m_conn(conn), m_rng(o.seed), m_chartRng(o.seed ^ 0x0d0e7a1u), m_today(o.today.isValid() ? o.today : Clock::today()), m_customerCount(std::max(1, o.customers)) {}

    DemoData::Summary run()
    {
        // The indexes of a big practice outgrow the default page cache; every
        // evicted page would be encrypted, written and read back again.
        m_conn.executeNative(QStringLiteral("PRAGMA cache_size = -262144"));
        DbTransaction tx(m_conn);
        practice();
        priceList();
        customers();
        visits();
        receipts();
        expenses();
        appointments();
        reminders();
        notes();
        phones();
        tx.commit();
        return m_sum;
    }

private:
    int between(int lo, int hi) { return m_rng.bounded(lo, hi + 1); }
    bool chance(double p) { return m_rng.generateDouble() < p; }
    template <class List>
    const auto &pick(const List &l)
    {
        return l[m_rng.bounded(quint32(std::size(l)))];
    }
    template <class T, std::size_t N>
    const T &weighted(const T (&items)[N])
    {
        int total = 0;
        for (const T &t : items)
            total += t.weight;
        int r = m_rng.bounded(total);
        for (const T &t : items) {
            if (r < t.weight)
                return t;
            r -= t.weight;
        }
        return items[N - 1];
    }
    // Weekends and the fixed public holidays of Cyprus are closed days.
    static bool closed(const QDate &d)
    {
        static const int holidays[] = {101, 106, 325, 401, 501, 815, 1001, 1028, 1224, 1225, 1226};
        const int md = d.month() * 100 + d.day();
        return d.dayOfWeek() > 5 || std::find(std::begin(holidays), std::end(holidays), md) != std::end(holidays);
    }
    static QDate workingDayOnOrBefore(QDate d)
    {
        while (closed(d))
            d = d.addDays(-1);
        return d;
    }
    // A random working day from `from` to `to`, both included.
    QDate workingDay(const QDate &from, const QDate &to)
    {
        QDate d = workingDayOnOrBefore(from.addDays(between(0, int(from.daysTo(to)))));
        return d < from ? workingDayOnOrBefore(to) : d;
    }
    QString digits(int n)
    {
        QString s;
        for (int i = 0; i < n; ++i)
            s += QChar(u'0' + between(0, 9));
        return s;
    }
    QString mobile()
    {
        static const char *const prefixes[] = {"99", "99", "99", "97", "96", "95", "94"};
        return QString::fromLatin1(pick(prefixes)) + QLatin1Char(' ') + digits(6);
    }
    QString landline(const char *prefix)
    {
        return QString::fromLatin1(prefix) + QLatin1Char(' ') + QChar(u'0' + between(2, 8)) + digits(5);
    }
    QString tooth(bool child)
    {
        // FDI numbering; children get their milk teeth.
        if (child)
            return QString::number(between(5, 8) * 10 + between(1, 5));
        return QString::number(between(1, 4) * 10 + between(1, 7));
    }
    static QString slotSql()
    {
        QString cols = QStringLiteral("HMEROMHNIA");
        QString marks = QStringLiteral("?");
        for (const QString &s : Schema::slotColumns()) {
            cols += QStringLiteral(", \"%1\"").arg(s);
            marks += QStringLiteral(", ?");
        }
        return QStringLiteral("INSERT INTO RANTEBOU (%1) VALUES (%2)").arg(cols, marks);
    }
    void insert(DbStatement &st, const QVariantList &values)
    {
        st.bindAll(values);
        st.step();
        st.reset();
    }

    void practice();
    void priceList();
    void customers();
    void visits();
    void chartEntries(DbStatement &st, int id, const QDate &d, int treatment, int tooth, bool child);
    void receipts();
    void expenses();
    void appointments();
    void reminders();
    void notes();
    void phones();

    DbConnection &m_conn;
    QRandomGenerator m_rng;
    // The tooth chart draws from its own sequence, so the rest of the
    // practice stays as it was before the chart existed.
    QRandomGenerator m_chartRng;
    const QDate m_today;
    const int m_customerCount;
    std::vector<Customer> m_customers;
    std::vector<QDate> m_births;
    std::vector<Visit> m_visits;
    DemoData::Summary m_sum;
};

void Generator::practice()
{
    m_conn.executeNative(
        QStringLiteral("INSERT INTO INFORMATION (TITLE, ADDRESS1, ADDRESS2, PHONE, FAX, WEBSITE, EMAIL, AFT)"
                       " VALUES (?, ?, ?, ?, ?, ?, ?, ?)"),
        {QString::fromUtf8("Οδοντιατρείο Δρ. Ανδρέα Χριστοδούλου"),
         QString::fromUtf8("Λεωφόρος Αρχιεπισκόπου Μακαρίου 45, 2ος όροφος"),
         QString::fromUtf8("1065 Λευκωσία, Κύπρος"), QStringLiteral("22 456789"),
         QStringLiteral("22 456790"), QStringLiteral("www.christodoulou-dental.com.cy"),
         QStringLiteral("info@christodoulou-dental.com.cy"), QStringLiteral("10234567X")});
}

// A Nicosia practice's list of work; prices in cents, fixed, so the rest
// of the practice draws the same numbers as before the list existed.
void Generator::priceList()
{
    static const struct {
        const char *code, *description;
        int cents;
    } kWorks[] = {
        {"EX01", "Κλινική εξέταση", 3000},
        {"EX02", "Επανεξέταση", 2000},
        {"AK01", "Οπισθομυλική ακτινογραφία", 1500},
        {"AK02", "Πανοραμική ακτινογραφία", 4000},
        {"KA01", "Καθαρισμός και στίλβωση", 5000},
        {"KA02", "Αποτρύγωση με υπερήχους", 6000},
        {"KA03", "Φθορίωση", 2500},
        {"EM01", "Έμφραξη σύνθετης ρητίνης μίας επιφάνειας", 6000},
        {"EM02", "Έμφραξη σύνθετης ρητίνης δύο επιφανειών", 8000},
        {"EM03", "Έμφραξη σύνθετης ρητίνης τριών επιφανειών", 10000},
        {"EM04", "Έμφραξη νεογιλού δοντιού", 4500},
        {"EN01", "Ενδοδοντική θεραπεία μονόριζου", 20000},
        {"EN02", "Ενδοδοντική θεραπεία δίριζου", 26000},
        {"EN03", "Ενδοδοντική θεραπεία πολύριζου", 32000},
        {"EK01", "Απλή εξαγωγή", 5000},
        {"EK02", "Χειρουργική εξαγωγή", 12000},
        {"EK03", "Εξαγωγή φρονιμίτη", 18000},
        {"ST01", "Στεφάνη μεταλλοκεραμική", 45000},
        {"ST02", "Στεφάνη ζιρκονίας", 60000},
        {"GE01", "Γέφυρα, ανά μέλος", 45000},
        {"IM01", "Εμφύτευμα τιτανίου", 120000},
        {"IM02", "Στεφάνη επί εμφυτεύματος", 65000},
        {"OD01", "Ολική οδοντοστοιχία (άνω ή κάτω)", 70000},
        {"OD02", "Μερική οδοντοστοιχία με σκελετό", 80000},
        {"OD03", "Επιδιόρθωση οδοντοστοιχίας", 6000},
        {"LE01", "Λεύκανση στο ιατρείο", 35000},
        {"LE02", "Λεύκανση στο σπίτι με νάρθηκες", 25000},
        {"NA01", "Νάρθηκας βρυγμού", 30000},
        // An old work the practice no longer offers.
        {"EM90", "Έμφραξη αμαλγάματος", 5000},
    };
    DbStatement st(m_conn, QStringLiteral("INSERT INTO TIMOKATALOGOS (KWDIKOS, PERIGRAFH, TIMH_LEPTA, ENERGH) VALUES (?, ?, ?, ?)"));
    for (const auto &w : kWorks) {
        insert(st, {QString::fromLatin1(w.code), QString::fromUtf8(w.description), w.cents, qstrcmp(w.code, "EM90") == 0 ? 0 : -1});
        ++m_sum.works;
    }
}

void Generator::customers()
{
    DbStatement st(m_conn, QStringLiteral("INSERT INTO STOIXEIA_PELATH (ID, ONOMA, EPWNYMO, FYLO, HMEROMHNIA_GENNHSEWS, DIEYTHYNSH,"
                                          " THLEFWNO_1, THLEFWNO_2, EPAGGELMA, TAMEIO, ISTORIKO) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    const QString male = QString::fromUtf8("ΑΡΡΕΝ"), female = QString::fromUtf8("ΘΗΛΥ");
    const QString pupil[] = {QString::fromUtf8("Μαθητής"), QString::fromUtf8("Μαθήτρια")};
    const QString student[] = {QString::fromUtf8("Φοιτητής"), QString::fromUtf8("Φοιτήτρια")};
    const QString retired = QString::fromUtf8("Συνταξιούχος");
    const QString flat = QString::fromUtf8("Διαμ. ");
    // Everyone is at least two years old on the practice's "today".
    const QDate firstBirth(1930, 1, 1);
    const QDate lastBirth = std::min(QDate(2015, 12, 31), m_today.addYears(-2));
    const int birthSpan = int(firstBirth.daysTo(lastBirth));

    m_customers.reserve(std::size_t(m_customerCount));
    m_births.reserve(std::size_t(m_customerCount));
    for (int i = 0; i < m_customerCount; ++i) {
        const bool isMale = chance(0.47);
        const QString &first = isMale ? pick(maleNames()) : pick(femaleNames());
        const Surname &sn = pick(surnames());
        const QString &last = isMale ? sn.male : sn.female;
        const QDate birth = firstBirth.addDays(between(0, birthSpan));
        int age = m_today.year() - birth.year();
        if (QDate(m_today.year(), birth.month(), std::min(birth.day(), 28)) > m_today)
            --age;

        const Town &town = weighted(kTowns);
        QString address = pick(streets()) + QLatin1Char(' ') + QString::number(between(1, 180));
        if (chance(0.2))
            address += QStringLiteral(", ") + flat + QString::number(between(1, 6) * 100 + between(1, 8));
        address += QStringLiteral(", %1 %2").arg(between(town.postFirst, town.postLast)).arg(QString::fromUtf8(town.name));

        const QString phone1 = chance(0.75) ? mobile() : landline(town.phone);
        QVariant phone2;
        if (chance(0.45))
            phone2 = phone1.startsWith(QLatin1Char('9')) ? landline(town.phone) : mobile();

        QVariant job;
        const int sex = isMale ? 0 : 1;
        if (age >= 6 && age < 18)
            job = pupil[sex];
        else if (age >= 18 && age < 24 && chance(0.6))
            job = student[sex];
        else if (age >= 66 && chance(0.9))
            job = retired;
        else if (age >= 18 && chance(0.93)) {
            const Occupation &o = pick(jobs());
            job = isMale ? o.male : o.female;
        }

        const QString fund = QString::fromUtf8(weighted(kFunds).name);
        QVariant history;
        if (chance(0.35)) {
            QStringList lines;
            const int n = between(1, 4);
            for (int k = 0; k < n; ++k) {
                QString line = pick(historyLines());
                if (chance(0.4)) {
                    const QDate when = m_today.addDays(-between(30, 3000));
                    line = when.toString(QStringLiteral("d/M/yyyy")) + QStringLiteral(": ") + line;
                }
                if (!lines.contains(line))
                    lines << line;
            }
            history = lines.join(QLatin1Char('\n'));
        }

        insert(st, {i + 1, first, last, isMale ? male : female, iso(birth), address, phone1, phone2, job, fund, history});
        m_customers.push_back({first, last, fund, phone1});
        m_births.push_back(birth);
    }
    m_sum.customers = m_customerCount;
}

// What a visit leaves on the tooth chart: the treated tooth's new state,
// and at some check-ups a finding to be treated.
void Generator::chartEntries(DbStatement &st, int id, const QDate &d, int treatment, int tooth, bool child)
{
    auto surfaces = [&](int fdi) {
        static const char *const back[] = {"O", "MO", "DO", "MDO", "B", "OL"};
        static const char *const front[] = {"M", "D", "B", "MB", "DL"};
        return QString::fromLatin1(fdi % 10 <= 3 ? front[m_chartRng.bounded(quint32(std::size(front)))]
                                                 : back[m_chartRng.bounded(quint32(std::size(back)))]);
    };
    int minute = 0;
    auto entry = [&](int fdi, const QString &letters, const char *condition, const char *note) {
        const QDateTime at(d, QTime(9, 0).addSecs(60 * minute++));
        insert(st, {id, iso(d), fdi, letters, QString::fromUtf8(condition), QString::fromUtf8(note), at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))});
        ++m_sum.chartEntries;
    };
    switch (treatment) {
    case 0:   // check-up
        if (m_chartRng.generateDouble() < 0.35) {
            const int fdi = child ? int(m_chartRng.bounded(5, 9)) * 10 + int(m_chartRng.bounded(1, 6))
                                  : int(m_chartRng.bounded(1, 5)) * 10 + int(m_chartRng.bounded(1, 8));
            if (m_chartRng.generateDouble() < 0.7)
                entry(fdi, surfaces(fdi), "τερηδόνα", "Εύρημα στον προληπτικό έλεγχο.");
            else
                entry(fdi, QString(), "προς θεραπεία", "Να επανεκτιμηθεί στην επόμενη επίσκεψη.");
        }
        break;
    case 2: {   // caries: found and filled at the same visit
        const QString letters = surfaces(tooth);
        entry(tooth, letters, "τερηδόνα", "");
        entry(tooth, letters, "έμφραξη", "Σύνθετη ρητίνη.");
        break;
    }
    case 3:
        entry(tooth, QString(), "ενδοδοντική θεραπεία", "Πρώτη συνεδρία.");
        break;
    case 4:
        entry(tooth, surfaces(tooth), "έμφραξη", "Ανασύσταση με σύνθετη ρητίνη.");
        break;
    case 5:
        entry(tooth, QString(), "εξαγωγή/απών", "Εξαγωγή με τοπική αναισθησία.");
        break;
    case 7:
        if (m_chartRng.generateDouble() < 0.2)
            entry(tooth, QString(), "γέφυρα", "Στήριγμα γέφυρας, μεταλλοκεραμική.");
        else
            entry(tooth, QString(), "στεφάνη", "Μεταλλοκεραμική στεφάνη.");
        break;
    case 11:
        entry(tooth, QString(), "εμφύτευμα", "Τοποθέτηση εμφυτεύματος.");
        break;
    default:
        break;
    }
}

void Generator::visits()
{
    DbStatement st(m_conn, QStringLiteral("INSERT INTO EPISKEPSEIS (ID, HMEROMHNIA, AITIA, PERIGRAFH) VALUES (?, ?, ?, ?)"));
    DbStatement chart(m_conn, QStringLiteral("INSERT INTO ODONTOGRAMMA (ID, HMEROMHNIA, DONTI, EPIFANEIES, KATASTASH, SHMEIWSH, KATAXWRHSH)"
                                             " VALUES (?, ?, ?, ?, ?, ?, ?)"));
    const QDate from = m_today.addYears(-3);
    // How many visits a customer made in three years: mostly one to three.
    const int visitWeights[] = {25, 25, 20, 15, 10, 5};
    std::vector<QDate> dates;
    m_visits.reserve(std::size_t(m_customerCount) * 3);
    for (int c = 0; c < m_customerCount; ++c) {
        int r = between(0, 99), n = 1;
        for (int w : visitWeights) {
            if (r < w)
                break;
            r -= w;
            ++n;
        }
        const QDate start = std::max(from, m_births[std::size_t(c)].addDays(400));
        dates.clear();
        for (int k = 0; k < n; ++k)
            dates.push_back(workingDay(start, m_today));
        std::sort(dates.begin(), dates.end());
        const bool child = m_births[std::size_t(c)].addYears(12) > m_today;
        for (const QDate &d : dates) {
            int t = 0;
            // Children come for check-ups, fillings and extractions.
            do
                t = int(&weighted(kTreatments) - kTreatments);
            while (child && t != 0 && t != 2 && t != 5 && t != 14);
            const Treatment &tr = kTreatments[t];
            QString description = QString::fromUtf8(tr.description);
            int treated = 0;
            if (tr.tooth) {
                const QString number = tooth(child);
                treated = number.toInt();
                description = description.arg(number);
            }
            insert(st, {c + 1, iso(d), QString::fromUtf8(tr.reason), description});
            chartEntries(chart, c + 1, d, t, treated, child);
            m_visits.push_back({c, d, t});
        }
    }
    m_sum.visits = int(m_visits.size());
}

void Generator::receipts()
{
    // Receipts are issued for the paid visits of the last two years, about
    // four for every three customers, numbered from 1 in date order.
    const QDate from = m_today.addYears(-2);
    std::vector<int> paid;
    for (int i = 0; i < int(m_visits.size()); ++i) {
        const Visit &v = m_visits[std::size_t(i)];
        if (v.date > from && kTreatments[v.treatment].maxPrice > 0)
            paid.push_back(i);
    }
    const int wanted = std::min(int(paid.size()), int(std::lround(m_customerCount * 4.0 / 3.0)));
    for (int i = 0; i < wanted; ++i)
        std::swap(paid[std::size_t(i)], paid[std::size_t(between(i, int(paid.size()) - 1))]);
    paid.resize(std::size_t(wanted));
    std::sort(paid.begin(), paid.end(), [this](int a, int b) {
        const Visit &va = m_visits[std::size_t(a)], &vb = m_visits[std::size_t(b)];
        return va.date != vb.date ? va.date < vb.date : a < b;
    });

    std::vector<bool> cancelled(paid.size(), false);
    const int cancelCount = wanted == 0 ? 0 : std::min(wanted, std::max(3, wanted / 80));
    for (int k = 0; k < cancelCount;) {
        const int i = between(0, wanted - 1);
        if (!cancelled[std::size_t(i)]) {
            cancelled[std::size_t(i)] = true;
            ++k;
        }
    }

    DbStatement receipt(m_conn, QStringLiteral("INSERT INTO APODEIKSEIS (AR_APODEIKSHS, HMEROMHNIA, ONOMA, EPWNYMO, PARALHPTHS, POSO,"
                                               " POSO_CY, TAMEIO, PERIGRAFH, EGKYRH) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    DbStatement taking(m_conn, QStringLiteral("INSERT INTO EISPRAKSH_PELATH (ID, HMEROMHNIA, POSO, POSO_CY, PERIGRAFH, TAMEIO, AR_APODEIKSHS)"
                                              " VALUES (?, ?, ?, ?, ?, ?, ?)"));
    for (int n = 0; n < wanted; ++n) {
        const Visit &v = m_visits[std::size_t(paid[std::size_t(n)])];
        const Treatment &tr = kTreatments[v.treatment];
        const Customer &c = m_customers[std::size_t(v.customer)];
        const double poso = cents(5.0 * between(tr.minPrice / 5, tr.maxPrice / 5));
        // Unrounded, as the issue window stores it.
        const double posoCy = poso * kPoundRate;
        const int number = n + 1;
        const QString service = QString::fromUtf8(tr.service);
        const bool valid = !cancelled[std::size_t(n)];
        insert(receipt, {number, iso(v.date), c.first, c.last, c.first + QLatin1Char(' ') + c.last, poso, posoCy, c.fund, service, valid ? -1 : 0});
        // A cancelled receipt keeps its row; its taking is gone.
        if (valid)
            insert(taking, {v.customer + 1, iso(v.date), poso, posoCy, service, c.fund, number});
    }
    m_conn.executeNative(QStringLiteral("INSERT INTO LAST_APODEIKSH (\"LAST\") VALUES (?)"), {wanted + 1});
    m_sum.receipts = wanted;
    m_sum.cancelled = cancelCount;
    m_sum.nextReceipt = wanted + 1;
}

void Generator::expenses()
{
    DbStatement st(m_conn, QStringLiteral("INSERT INTO EKSODA (HMEROMHNIA, POSO, VAT, PERIGRAFH) VALUES (?, ?, ?, ?)"));
    // A bigger practice buys proportionally more materials and lab work.
    const int scale = std::max(1, m_customerCount / 300);
    const QDate from = m_today.addYears(-2);
    auto add = [&](const QDate &d, int minCents, int maxCents, const char *text) {
        if (d <= from || d > m_today)
            return;
        // In whole cents, so that half a cent of VAT rounds up as on paper.
        const qint64 net = between(minCents, maxCents);
        const qint64 vat = (net * kVatPercent + 50) / 100;
        insert(st, {iso(d), double(net) / 100.0, double(vat) / 100.0, QString::fromUtf8(text)});
        ++m_sum.expenses;
    };
    const Expense materials[] = {
        {"Οδοντιατρικά υλικά (ρητίνες, συγκολλητικά)", 15000, 90000},
        {"Αναισθητικά και φάρμακα", 8000, 30000},
        {"Γάντια, μάσκες και αναλώσιμα", 6000, 25000},
        {"Υλικά αποτυπωμάτων", 9000, 28000}};
    const Expense lab[] = {
        {"Οδοντοτεχνικό εργαστήριο, στεφάνες", 30000, 120000},
        {"Οδοντοτεχνικό εργαστήριο, οδοντοστοιχίες", 25000, 90000}};

    for (QDate month(from.year(), from.month(), 1); month <= m_today; month = month.addMonths(1)) {
        const QDate end = month.addMonths(1).addDays(-1);
        add(workingDayOnOrBefore(month.addDays(2)), 110000, 110000, "Ενοίκιο ιατρείου");
        add(workingDay(month, end), 5500, 7500, "Cyta, τηλέφωνο και διαδίκτυο");
        add(workingDay(month, end), 24000, 24000, "Καθαριότητα ιατρείου");
        add(workingDay(month, end), 8000, 15000, "Υλικά αποστείρωσης");
        if (month.month() % 2 == 0) {
            add(workingDay(month, end), 18000, 32000, "ΑΗΚ, ηλεκτρικό ρεύμα");
            add(workingDay(month, end), 4000, 7000, "Υδατοπρομήθεια");
        }
        if (month.month() % 3 == 0)
            add(workingDay(month, end), 35000, 35000, "Λογιστικές υπηρεσίες τριμήνου");
        if (month.month() % 6 == 5)
            add(workingDay(month, end), 15000, 40000, "Συντήρηση οδοντιατρικής έδρας και κομπρεσέρ");
        if (month.month() == 1) {
            add(workingDay(month, end), 65000, 65000, "Ασφάλεια ιατρείου");
            add(workingDay(month, end), 15000, 15000, "Συνδρομή Οδοντιατρικού Συλλόγου");
        }
        if (chance(0.3))
            add(workingDay(month, end), 2000, 8000, "Γραφική ύλη και εκτυπώσεις");
        for (int k = between(2, 4) * scale; k > 0; --k) {
            const Expense &e = pick(materials);
            add(workingDay(month, end), e.minCents, e.maxCents, e.text);
        }
        for (int k = between(1, 3) * scale; k > 0; --k) {
            const Expense &e = pick(lab);
            add(workingDay(month, end), e.minCents, e.maxCents, e.text);
        }
    }
}

void Generator::appointments()
{
    DbStatement st(m_conn, slotSql());
    const QStringList reasons = texts({"Έλεγχος", "Καθαρισμός", "Σφράγισμα", "Απονεύρωση", "Εξαγωγή", "Αποτύπωμα στεφάνης",
                                       "Πονόδοντος", "Ορθοδοντικός έλεγχος", "Λεύκανση", "Επανέλεγχος", "Τοποθέτηση στεφάνης",
                                       "Εμφύτευμα", "Ράμματα"});
    const QString phoneText = QString::fromUtf8(" (τηλ. %1)");
    // Working hours 08:00 to 13:00 and 15:30 to 20:00.
    std::vector<int> open;
    for (int s = 0; s < 10; ++s)
        open.push_back(s);
    for (int s = 15; s < 24; ++s)
        open.push_back(s);
    const int slotCount = int(Schema::slotColumns().size());

    for (QDate d = m_today.addDays(-30); d <= m_today.addDays(30); d = d.addDays(1)) {
        if (closed(d))
            continue;
        QVariantList row(slotCount + 1);
        row[0] = iso(d);
        // Further ahead, fewer slots are booked yet.
        const int ahead = int(m_today.daysTo(d));
        const int count = ahead <= 0 ? between(5, 11) : std::max(1, between(4, 10) - ahead / 6);
        for (int k = 0; k < count; ++k)
            std::swap(open[std::size_t(k)], open[std::size_t(between(k, int(open.size()) - 1))]);
        for (int k = 0; k < count; ++k) {
            const Customer &c = pick(m_customers);
            QString text = c.first + QLatin1Char(' ') + c.last + QStringLiteral(" - ") + pick(reasons);
            if (chance(0.2))
                text += phoneText.arg(c.phone);
            row[open[std::size_t(k)] + 1] = text;
        }
        insert(st, row);
        ++m_sum.appointmentDays;
        m_sum.appointments += count;
    }
}

void Generator::reminders()
{
    DbStatement st(m_conn, QStringLiteral("INSERT INTO YPENTHIMISEIS (HMEROMHNIA, PERIGRAFH) VALUES (?, ?)"));
    // Never today: the start-up check would show one at every demo start.
    const int offsets[] = {-41, -17, -6, -2, 1, 4, 9, 16, 27, 45};
    const QStringList textsOf = texts({"Πληρωμή ΦΠΑ τριμήνου στο Τμήμα Φορολογίας.",
                                       "Παραγγελία αναλωσίμων:\nγάντια νιτριλίου M και L,\nμάσκες,\nρολά βαμβακιού.",
                                       "Συντήρηση κλιβάνου αποστείρωσης.\nΤεχνικός: Σάββας Ηλία, 99 654321.",
                                       "Ανανέωση ασφάλειας ιατρείου.",
                                       "Σεμινάριο Οδοντιατρικού Συλλόγου στις 19:00.\nΘέμα: νέα υλικά σύνθετων ρητινών.",
                                       "Να σταλούν τα τιμολόγια του μήνα στον λογιστή.",
                                       "Έλεγχος πυροσβεστήρων και φαρμακείου πρώτων βοηθειών.",
                                       "Παραλαβή στεφανών από το εργαστήριο.",
                                       "Πληρωμή ενοικίου.\nΤράπεζα Κύπρου, λογαριασμός ιδιοκτήτη.",
                                       "Ανανέωση άδειας του ακτινολογικού μηχανήματος.\nΝα κλειστεί ραντεβού με την Υπηρεσία Ελέγχου Ακτινοβολιών."});
    for (int i = 0; i < int(std::size(offsets)); ++i) {
        insert(st, {iso(m_today.addDays(offsets[i])), textsOf[i]});
        ++m_sum.reminders;
    }
}

void Generator::notes()
{
    DbStatement st(m_conn, QStringLiteral("INSERT INTO SHMEIWSEIS (TITLOS, PERIGRAFH) VALUES (?, ?)"));
    const char *const items[][2] = {
        {"Ωράριο ιατρείου", "Δευτέρα έως Παρασκευή\nΠρωί: 08:00 - 13:00\nΑπόγευμα: 15:30 - 20:00\nΣάββατο μόνο για επείγοντα."},
        {"Τιμοκατάλογος", "Κλινική εξέταση: 30 - 50 ευρώ\nΚαθαρισμός: 50 - 70 ευρώ\nΣφράγισμα: 50 - 90 ευρώ\nΑπονεύρωση: 150 - 300 ευρώ\nΣτεφάνη: 350 - 500 ευρώ"},
        {"Οδηγίες μετά από εξαγωγή", "Δάγκωμα γάζας για 30 λεπτά.\nΌχι ζεστά φαγητά και ποτά την πρώτη ημέρα.\nΌχι κάπνισμα για 48 ώρες.\nΠαυσίπονο αν χρειαστεί."},
        {"Οδηγίες μετά από απονεύρωση", "Να αποφεύγεται η μάσηση από την πλευρά του δοντιού μέχρι τη μόνιμη αποκατάσταση.\nΕλαφρύ ενόχλημα για 2 - 3 ημέρες είναι φυσιολογικό."},
        {"Κωδικοί ΓεΣΥ", "Κλινική εξέταση, καθαρισμός και ακτινογραφίες για παιδιά έως 15 ετών.\nΝα ελέγχεται η εγγραφή του δικαιούχου πριν από τη θεραπεία."},
        {"Διαδικασία αποστείρωσης", "1. Καθαρισμός εργαλείων στο υπερηχητικό.\n2. Συσκευασία σε φακέλους.\n3. Κλίβανος 134 βαθμών για 18 λεπτά.\n4. Σήμανση ημερομηνίας."},
        {"Προμηθευτές υλικών", "Dental Supplies Λευκωσίας: παράδοση σε δύο ημέρες.\nΟδοντιατρική Αποθήκη Λεμεσού: καλύτερες τιμές σε αναλώσιμα."},
        {"Συντήρηση εξοπλισμού", "Κομπρεσέρ: αλλαγή φίλτρων κάθε έξι μήνες.\nΈδρα: λίπανση χειρολαβών καθημερινά.\nΚλίβανος: τεστ Bowie Dick κάθε εβδομάδα."},
        {"Άδεια Αυγούστου", "Το ιατρείο κλειστό από 5 έως 20 Αυγούστου.\nΕπείγοντα: Δρ. Μαρία Γεωργίου, 99 112233."},
        {"Λογαριασμοί", "ΑΗΚ κάθε δύο μήνες.\nCyta κάθε μήνα.\nΕνοίκιο μέχρι τις 5 του μήνα."},
        {"Ιδέες για την ιστοσελίδα", "Φωτογραφίες του ιατρείου.\nΣελίδα με συχνές ερωτήσεις.\nΗλεκτρονική κράτηση ραντεβού."},
        {"Εκκρεμότητες", "Νέα καρέκλα για τη γραμματεία.\nΑνανέωση λογισμικού ακτινογραφιών.\nΑλλαγή λάμπας στο χειρουργείο."},
        {"Οδηγίες για λεύκανση", "Αποφυγή καφέ, τσαγιού και κόκκινου κρασιού για 48 ώρες.\nΟδοντόκρεμα για ευαισθησία αν χρειαστεί."},
        {"Σεμινάρια της χρονιάς", "Εμφυτευματολογία, Μάρτιος.\nΕνδοδοντία, Ιούνιος.\nΠαιδοδοντία, Νοέμβριος."},
        {"Στοιχεία λογιστή", "Κλεάνθης Περικλέους\nΟδός Ευαγόρου 12, 1066 Λευκωσία\n22 765432"}};
    for (const auto &n : items) {
        insert(st, {QString::fromUtf8(n[0]), QString::fromUtf8(n[1])});
        ++m_sum.notes;
    }
}

void Generator::phones()
{
    DbStatement st(m_conn, QStringLiteral("INSERT INTO XRHSIMA_THLEFWNA (ONOMATEPWNYMO, DIEYTHYNSH, THLEFWNO_1, THLEFWNO_2, FAX, EMAIL, PERIGRAFH)"
                                          " VALUES (?, ?, ?, ?, ?, ?, ?)"));
    // name, address, phone 1, phone 2, fax, e-mail, description; empty: none.
    const char *const items[][7] = {
        {"Οδοντοτεχνικό εργαστήριο Σάββα Ηλία", "Κυρηνείας 54, 2113 Αγλαντζιά", "22 334455", "99 654321", "22 334456", "lab@iliasdental.com.cy", "Στεφάνες και γέφυρες"},
        {"Εργαστήριο οδοντοστοιχιών Πέτρου", "Αρμενίας 18, 2003 Στρόβολος", "22 498765", "", "", "", "Ολικές και μερικές οδοντοστοιχίες"},
        {"Dental Supplies Λευκωσίας", "Λεωφόρος Αθαλάσσας 120, 2024 Στρόβολος", "22 871234", "", "22 871235", "orders@dentalsupplies.com.cy", "Υλικά και αναλώσιμα"},
        {"Οδοντιατρική Αποθήκη Λεμεσού", "Γλάδστωνος 7, 3040 Λεμεσός", "25 362514", "", "25 362515", "sales@dentalstore.com.cy", "Αναλώσιμα, καλές τιμές"},
        {"Γενικό Νοσοκομείο Λευκωσίας", "Λεωφόρος Λεμεσού 215, 2029 Στρόβολος", "22 603000", "", "", "", "Τμήμα Πρώτων Βοηθειών"},
        {"Κλινική Στοματικής Χειρουργικής", "Λεωφόρος Γρίβα Διγενή 33, 1066 Λευκωσία", "22 445566", "", "", "info@oralsurgery.com.cy", "Παραπομπές για δύσκολες εξαγωγές"},
        {"Ακτινολογικό κέντρο Ιατρική Απεικόνιση", "Στασικράτους 25, 1065 Λευκωσία", "22 766554", "", "22 766555", "", "Πανοραμικές και αξονικές"},
        {"Οδοντιατρικός Σύλλογος Κύπρου", "Ομήρου 4, 1097 Λευκωσία", "22 455050", "", "22 455051", "info@dentalassociation.org.cy", "Σύλλογος"},
        {"ΓεΣΥ, εξυπηρέτηση παρόχων", "", "17000", "", "", "", "Γραμμή για παρόχους"},
        {"Κλεάνθης Περικλέους", "Ευαγόρου 12, 1066 Λευκωσία", "22 765432", "99 445566", "", "kleanthis@logistiko.com.cy", "Λογιστής"},
        {"Σάββας Ηλίας, τεχνικός", "", "99 654321", "", "", "", "Συντήρηση έδρας, κομπρεσέρ, κλιβάνου"},
        {"Ηλεκτρολόγος Μάριος Κυριάκου", "", "99 887766", "", "", "", "Ηλεκτρολογικές βλάβες"},
        {"Υδραυλικός Νίκος Σωτηρίου", "", "97 556677", "", "", "", "Υδραυλικά"},
        {"Καθαρίστρια Ελένη Παύλου", "", "96 123987", "", "", "", "Δευτέρα, Τετάρτη, Παρασκευή απόγευμα"},
        {"Δρ. Μαρία Γεωργίου", "Ευαγόρου 40, 1066 Λευκωσία", "22 667788", "99 112233", "", "", "Συνάδελφος, αντικαταστάτρια σε άδειες"},
        {"Δρ. Γιώργος Χατζηγεωργίου", "Λεωφόρος Κέννεντυ 10, 1087 Λευκωσία", "22 559988", "", "", "", "Ορθοδοντικός"},
        {"Τράπεζα Κύπρου, κατάστημα Μακαρίου", "Λεωφόρος Αρχιεπισκόπου Μακαρίου 51, 1065 Λευκωσία", "22 128000", "", "", "", "Τράπεζα"},
        {"Cyta, τεχνική υποστήριξη", "", "132", "", "", "", "Τηλέφωνο και διαδίκτυο"},
        {"ΑΗΚ, βλάβες", "", "1800", "", "", "", "Ηλεκτρικό ρεύμα"},
        {"Ασφαλιστική Κύπρου, Αντώνης Νικολάου", "Ζήνωνος Κιτιέως 8, 1075 Λευκωσία", "22 887700", "99 334411", "22 887701", "antonis@asfalistiki.com.cy", "Ασφάλεια ιατρείου"}};
    for (const auto &p : items) {
        QVariantList row;
        for (const char *v : p)
            row << (*v ? QVariant(QString::fromUtf8(v)) : QVariant());
        insert(st, row);
        ++m_sum.phones;
    }
}

}   // namespace

namespace DemoData {

Summary fill(DbConnection &conn, const Options &options)
{
    Generator g(conn, options);
    return g.run();
}

}
