// The tooth chart window, driven by object names: entries made by clicking
// the drawn teeth, colours from the latest entry, the chart of a past day,
// FDI numbering and where the teeth are drawn, the printout.
#include "chart/chartstate.h"
#include "chart/dentalchart.h"
#include "chart/toothchart.h"
#include "customers/customerlist.h"
#include "data/practice/appstate.h"
#include "data/db/clock.h"
#include "data/work/plans.h"
#include "gui/dbnavigator.h"
#include "reports/reportengine.h"
#include "tests/common/testmain.h"
#include "tests/customers/customertestutil.h"
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTest>

namespace {

QColor colour(const char *condition) { return Chart::colorOf(QString::fromUtf8(condition)); }

void clickAt(ToothChart *chart, const QPointF &p)
{
    QVERIFY(!p.isNull());
    QTest::mouseClick(chart, Qt::LeftButton, {}, p.toPoint());
}

void choose(QComboBox *combo, const QString &text)
{
    const int i = combo->findText(text);
    QVERIFY2(i >= 0, qPrintable(text));
    combo->setCurrentIndex(i);
    emit combo->activated(i);
}

}   // namespace

class DentalChartTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<TempPractice> p;
    qlonglong id = 0, other = 0;

    std::unique_ptr<TForm80> open(qlonglong customer)
    {
        auto w = std::make_unique<TForm80>();
        w->CustomerId = QString::number(customer);
        w->CustomerFirstName = QStringLiteral("Μαρία");
        w->CustomerSurname = QStringLiteral("Παπά");
        w->CustomerBirthDate = QStringLiteral("5/3/1980");
        w->show();
        return w;
    }
    void addEntry(qlonglong customer, const char *isoDate, int tooth, const char *surfaces, const char *condition,
                  const char *entered = "10:00:00")
    {
        p->conn().executeNative(QStringLiteral("INSERT INTO ODONTOGRAMMA (ID, HMEROMHNIA, DONTI, EPIFANEIES, KATASTASH, KATAXWRHSH)"
                                               " VALUES (?, ?, ?, ?, ?, ?)"),
                                {customer, QString::fromLatin1(isoDate), tooth, QString::fromLatin1(surfaces),
                                 QString::fromUtf8(condition), QString::fromLatin1(isoDate) + QLatin1Char(' ') + QLatin1String(entered)});
    }
    static ToothChart *chartOf(TForm80 &w) { return child<ToothChart>(&w, "ToothChart1"); }
    static void post(TForm80 &w) { child<DbNavigator>(&w, "DBNavigator1")->button(DbNavigator::Post)->click(); }

private slots:
    void init()
    {
        Clock::setNow(QDateTime(QDate(2009, 6, 15), QTime(10, 0)));
        p = std::make_unique<TempPractice>();
        id = addCustomer(*p, {"Μαρία", "Παπά", "ΘΗΛΥ", "5/3/1980"});
        other = addCustomer(*p, {"Γιώργος", "Λοΐζου"});
    }
    void cleanup()
    {
        p.reset();
        Clock::reset();
        SetModalHandler({});
        ReportProject::setTestSink({});
    }

    void aCustomerWithoutEntriesHasAHealthyChart()
    {
        addEntry(other, "2009-01-10", 16, "", "τερηδόνα");   // someone else's
        auto w = open(id);
        QCOMPARE(w->windowTitle(), QStringLiteral("Οδοντόγραμμα"));
        QCOMPARE(child<QLabel>(w.get(), "Label8")->text(), QStringLiteral("Βρέθηκαν 0 καταχωρήσεις"));
        QVERIFY(child<QRadioButton>(w.get(), "RadioButton1")->isChecked());
        ToothChart *chart = chartOf(*w);
        QCOMPARE(chart->teeth().size(), 32);
        for (int tooth : chart->teeth())
            for (const char s : std::string_view(Chart::Surfaces))
                QCOMPARE(chart->surfaceColor(tooth, QLatin1Char(s)), colour(Chart::Healthy));
        QVERIFY(gridColumn(w.get(), 0).isEmpty());
        QVERIFY(Messages::takeShown().isEmpty());
    }

    void clickingAToothASurfaceAndAConditionStoresTheEntry()
    {
        auto w = open(id);
        ToothChart *chart = chartOf(*w);
        clickAt(chart, chart->toothCenter(16));
        QCOMPARE(child<QLineEdit>(w.get(), "DBEdit1")->text(), QStringLiteral("16"));
        QCOMPARE(child<QLineEdit>(w.get(), "DBEdit2")->text(), QStringLiteral("15/6/2009"));
        QCOMPARE(chart->selectedTooth(), 16);
        clickAt(chart, chart->surfacePoint(16, QLatin1Char('O')));
        clickAt(chart, chart->surfacePoint(16, QLatin1Char('M')));
        clickAt(chart, chart->surfacePoint(16, QLatin1Char('B')));
        clickAt(chart, chart->surfacePoint(16, QLatin1Char('B')));      // and off again
        QVERIFY(child<QCheckBox>(w.get(), "CheckBox1")->isChecked());   // mesial
        QVERIFY(child<QCheckBox>(w.get(), "CheckBox3")->isChecked());   // occlusal
        QVERIFY(!child<QCheckBox>(w.get(), "CheckBox4")->isChecked());
        choose(child<QComboBox>(w.get(), "DBComboBox1"), QStringLiteral("έμφραξη"));
        typeText(child<QLineEdit>(w.get(), "DBEdit3"), QStringLiteral("σύνθετη ρητίνη"));
        post(*w);
        QVERIFY(Messages::takeShown().isEmpty());

        const auto rows = queryRows(p->conn(), QStringLiteral("SELECT ID, HMEROMHNIA, DONTI, EPIFANEIES, KATASTASH, SHMEIWSH, KATAXWRHSH FROM ODONTOGRAMMA"));
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0][0].toLongLong(), id);
        QCOMPARE(rows[0][1].toString(), QStringLiteral("2009-06-15"));
        QCOMPARE(rows[0][2].toInt(), 16);
        QCOMPARE(rows[0][3].toString(), QStringLiteral("MO"));
        QCOMPARE(rows[0][4].toString(), QStringLiteral("έμφραξη"));
        QCOMPARE(rows[0][5].toString(), QStringLiteral("σύνθετη ρητίνη"));
        QVERIFY(rows[0][6].toString().startsWith(QStringLiteral("2009-06-15 10:00")));

        QCOMPARE(chart->surfaceColor(16, QLatin1Char('O')), colour("έμφραξη"));
        QCOMPARE(chart->surfaceColor(16, QLatin1Char('M')), colour("έμφραξη"));
        QCOMPARE(chart->surfaceColor(16, QLatin1Char('D')), colour(Chart::Healthy));
        QCOMPARE(chart->surfaceColor(17, QLatin1Char('O')), colour(Chart::Healthy));
        QCOMPARE(child<QLabel>(w.get(), "Label8")->text(), QStringLiteral("Βρέθηκαν 1 καταχωρήσεις"));
        QCOMPARE(gridColumn(w.get(), 1), QStringList{QStringLiteral("16")});
    }

    void anEntryNeedsAToothAndAConditionFromTheList()
    {
        auto w = open(id);
        ToothChart *chart = chartOf(*w);
        clickAt(chart, chart->toothCenter(26));
        post(*w);
        auto shown = Messages::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown[0].text.contains(QStringLiteral("κατάσταση")));
        QCOMPARE(p->count(QStringLiteral("ODONTOGRAMMA")), 0);
        // The entry is still open: the condition chosen, it goes in.
        choose(child<QComboBox>(w.get(), "DBComboBox1"), QStringLiteral("τερηδόνα"));
        auto *tooth = child<QLineEdit>(w.get(), "DBEdit1");
        tooth->clear();
        typeText(tooth, QStringLiteral("19"));   // no such tooth
        post(*w);
        shown = Messages::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown[0].text.contains(QStringLiteral("δόντι")));
        QCOMPARE(p->count(QStringLiteral("ODONTOGRAMMA")), 0);
        tooth->clear();
        typeText(tooth, QStringLiteral("27"));
        post(*w);
        QVERIFY(Messages::takeShown().isEmpty());
        QCOMPARE(p->scalar(QStringLiteral("SELECT DONTI FROM ODONTOGRAMMA")).toInt(), 27);
        QCOMPARE(chart->surfaceColor(27, QLatin1Char('L')), colour("τερηδόνα"));
    }

    void theColourFollowsTheLatestEntryAndThePastDateShowsTheOlderState()
    {
        addEntry(id, "2009-03-01", 36, "", "τερηδόνα");
        addEntry(id, "2009-05-01", 36, "O", "έμφραξη");
        addEntry(id, "2009-04-01", 11, "", "στεφάνη");
        addEntry(id, "2009-05-01", 46, "", "τερηδόνα", "09:00:00");
        addEntry(id, "2009-05-01", 46, "", "ενδοδοντική θεραπεία", "09:30:00");   // later the same day
        auto w = open(id);
        ToothChart *chart = chartOf(*w);
        QCOMPARE(gridColumn(w.get(), 0), (QStringList{"1/5/2009", "1/5/2009", "1/5/2009", "1/4/2009", "1/3/2009"}));
        QCOMPARE(gridColumn(w.get(), 3).mid(0, 3), (QStringList{"έμφραξη", "ενδοδοντική θεραπεία", "τερηδόνα"}));
        QCOMPARE(chart->surfaceColor(36, QLatin1Char('O')), colour("έμφραξη"));
        QCOMPARE(chart->surfaceColor(36, QLatin1Char('M')), colour("τερηδόνα"));
        QCOMPARE(chart->surfaceColor(11, QLatin1Char('B')), colour("στεφάνη"));
        QCOMPARE(chart->surfaceColor(46, QLatin1Char('D')), colour("ενδοδοντική θεραπεία"));

        auto *day = child<QDateEdit>(w.get(), "DateTimePicker1");
        QCOMPARE(day->date(), QDate(2009, 6, 15));
        day->setDate(QDate(2009, 4, 15));
        QCOMPARE(chart->surfaceColor(36, QLatin1Char('O')), colour("τερηδόνα"));
        QCOMPARE(chart->surfaceColor(11, QLatin1Char('O')), colour("στεφάνη"));
        QCOMPARE(chart->surfaceColor(46, QLatin1Char('O')), colour(Chart::Healthy));
        day->setDate(QDate(2009, 2, 1));
        for (int tooth : {36, 11, 46})
            QCOMPARE(chart->surfaceColor(tooth, QLatin1Char('O')), colour(Chart::Healthy));
        day->setDate(QDate(2009, 6, 15));

        // A new whole-tooth entry covers the earlier surfaces.
        clickAt(chart, chart->toothCenter(36));
        choose(child<QComboBox>(w.get(), "DBComboBox1"), QString::fromUtf8(Chart::Missing));
        post(*w);
        for (const char s : std::string_view(Chart::Surfaces))
            QCOMPARE(chart->surfaceColor(36, QLatin1Char(s)), colour(Chart::Missing));
        day->setDate(QDate(2009, 5, 31));
        QCOMPARE(chart->surfaceColor(36, QLatin1Char('O')), colour("έμφραξη"));
    }

    // Work of the treatment plan still to do is hatched over the teeth's
    // colours, on the day it was planned and until it is done; work done is
    // an entry, coloured as findings are.
    void plannedWorkIsDrawnApartFromFindingsAndDoneWork()
    {
        addEntry(id, "2009-03-01", 36, "", "τερηδόνα");
        const CustomerRef customer = CustomerRef::require(QString::number(id));
        const qint64 filling = Plans::addWork(p->conn(), {.code = QStringLiteral("E1"), .description = QStringLiteral("Έμφραξη"), .cents = 5000});
        const qint64 exam = Plans::addWork(p->conn(), {.code = QStringLiteral("X1"), .description = QStringLiteral("Εξέταση"), .cents = 2000});
        Clock::setNow(QDateTime(QDate(2009, 5, 1), QTime(10, 0)));
        const struct {
            qint64 work;
            int tooth;
            const char *surfaces;
            Plans::State state;
        } items[] = {
            {filling, 36, "OM", Plans::State::Planned},
            {filling, 16, "", Plans::State::Planned},   // the whole tooth
            {exam, 0, "", Plans::State::Planned},       // no tooth: not drawn
            {filling, 26, "O", Plans::State::Done},
            {filling, 46, "B", Plans::State::Cancelled},
        };
        for (const auto &i : items) {
            const qint64 item = Plans::addItem(p->conn(), customer, {.work = i.work, .tooth = i.tooth, .surfaces = QString::fromLatin1(i.surfaces), .cents = -1});
            Plans::setState(p->conn(), item, i.state, QDate(2009, 6, 1));
        }
        Clock::setNow(QDateTime(QDate(2009, 6, 15), QTime(10, 0)));
        auto w = open(id);
        ToothChart *chart = chartOf(*w);
        auto *day = child<QDateEdit>(w.get(), "DateTimePicker1");
        auto planned = [chart] {
            QStringList out;
            for (int tooth : chart->teeth())
                for (const char s : std::string_view(Chart::Surfaces))
                    if (chart->plannedSurface(tooth, QLatin1Char(s)))
                        out << QString::number(tooth) + QLatin1Char(s);
            return out;
        };
        QCOMPARE(planned(), (QStringList{"16M", "16D", "16O", "16B", "16L", "36M", "36O"}));
        QCOMPARE(chart->surfaceColor(36, QLatin1Char('O')), colour("τερηδόνα"));   // the finding stays beneath
        QCOMPARE(chart->surfaceColor(16, QLatin1Char('O')), colour(Chart::Healthy));
        QCOMPARE(chart->surfaceColor(26, QLatin1Char('O')), colour("έμφραξη"));
        // Before it was done, the filling of 26 was planned.
        day->setDate(QDate(2009, 5, 15));
        QVERIFY(chart->plannedSurface(26, QLatin1Char('O')));
        QCOMPARE(chart->surfaceColor(26, QLatin1Char('O')), colour(Chart::Healthy));
        // Before it was planned, nothing.
        day->setDate(QDate(2009, 4, 30));
        QCOMPARE(planned(), QStringList());
    }

    // Surfaces kept otherwise (an older file, typed by hand) are stored in
    // the chart's order when their entry is next posted.
    void aCorrectedEntryStoresItsSurfacesInTheChartsOrder()
    {
        addEntry(id, "2009-03-01", 24, "ldo", "τερηδόνα");
        auto w = open(id);
        choose(child<QComboBox>(w.get(), "DBComboBox1"), QStringLiteral("έμφραξη"));
        post(*w);
        QCOMPARE(p->conn().scalarNative(QStringLiteral("SELECT EPIFANEIES || '|' || KATASTASH FROM ODONTOGRAMMA")).toString(),
                 QStringLiteral("DOL|έμφραξη"));
    }

    void entriesAreCorrectedAndDeletedWithTheNavigator()
    {
        addEntry(id, "2009-03-01", 24, "D", "τερηδόνα");
        addEntry(id, "2009-05-01", 14, "", "προς θεραπεία");
        auto w = open(id);
        ToothChart *chart = chartOf(*w);
        auto *nav = child<DbNavigator>(w.get(), "DBNavigator1");
        QCOMPARE(chart->selectedTooth(), 14);   // the newest entry is current
        nav->button(DbNavigator::Next)->click();
        QCOMPARE(child<QLineEdit>(w.get(), "DBEdit1")->text(), QStringLiteral("24"));
        QVERIFY(child<QCheckBox>(w.get(), "CheckBox2")->isChecked());   // distal
        child<QCheckBox>(w.get(), "CheckBox3")->click();                // and occlusal
        choose(child<QComboBox>(w.get(), "DBComboBox1"), QStringLiteral("έμφραξη"));
        post(*w);
        QCOMPARE(p->conn().scalarNative(QStringLiteral("SELECT EPIFANEIES || '|' || KATASTASH FROM ODONTOGRAMMA WHERE DONTI=24")).toString(),
                 QStringLiteral("DO|έμφραξη"));
        QCOMPARE(p->count(QStringLiteral("ODONTOGRAMMA")), 2);
        QCOMPARE(chart->surfaceColor(24, QLatin1Char('O')), colour("έμφραξη"));

        // The newest first again; delete it.
        QCOMPARE(child<QLineEdit>(w.get(), "DBEdit1")->text(), QStringLiteral("14"));
        Messages::setNextAnswer(true);
        nav->button(DbNavigator::Delete)->click();
        QCOMPARE(Messages::takeShown().size(), 1);   // the question
        QCOMPARE(p->count(QStringLiteral("ODONTOGRAMMA")), 1);
        QCOMPARE(chart->surfaceColor(14, QLatin1Char('O')), colour(Chart::Healthy));
        QCOMPARE(child<QLabel>(w.get(), "Label8")->text(), QStringLiteral("Βρέθηκαν 1 καταχωρήσεις"));

        // The navigator's Insert starts an entry dated today; the tooth typed.
        nav->button(DbNavigator::Insert)->click();
        QCOMPARE(child<QLineEdit>(w.get(), "DBEdit2")->text(), QStringLiteral("15/6/2009"));
        typeText(child<QLineEdit>(w.get(), "DBEdit1"), QStringLiteral("45"));
        choose(child<QComboBox>(w.get(), "DBComboBox1"), QStringLiteral("εμφύτευμα"));
        post(*w);
        QVERIFY(Messages::takeShown().isEmpty());
        QCOMPARE(p->count(QStringLiteral("ODONTOGRAMMA")), 2);
        QCOMPARE(chart->surfaceColor(45, QLatin1Char('B')), colour("εμφύτευμα"));

        // A new entry abandoned with Cancel stores nothing.
        clickAt(chart, chart->toothCenter(31));
        nav->button(DbNavigator::Cancel)->click();
        QCOMPARE(p->count(QStringLiteral("ODONTOGRAMMA")), 2);
        QCOMPARE(chart->surfaceColor(31, QLatin1Char('O')), colour(Chart::Healthy));
    }

    void permanentAndPrimaryTeethAreNumberedAndPlacedAsFdi()
    {
        auto w = open(id);
        ToothChart *chart = chartOf(*w);
        QCOMPARE(chart->teeth(), (QList<int>{18, 17, 16, 15, 14, 13, 12, 11, 21, 22, 23, 24, 25, 26, 27, 28, 48, 47, 46, 45, 44, 43, 42, 41, 31, 32, 33, 34, 35, 36, 37, 38}));
        const QPointF c11 = chart->toothCenter(11), c21 = chart->toothCenter(21), c31 = chart->toothCenter(31),
                      c41 = chart->toothCenter(41);
        const double middle = (c11.x() + c21.x()) / 2;
        // Upper arch above, lower below; the patient's right on the viewer's left.
        QVERIFY(c11.y() < c41.y() && c21.y() < c31.y());
        QVERIFY(c11.x() < middle && c21.x() > middle && c41.x() < middle && c31.x() > middle);
        QVERIFY(std::abs(c41.x() - c11.x()) < 10 && std::abs(c31.x() - c21.x()) < 10);
        // Front teeth at the front of each arch, molars at the back.
        QVERIFY(c11.y() < chart->toothCenter(16).y() && c41.y() > chart->toothCenter(46).y());
        QVERIFY(chart->toothCenter(18).x() < chart->toothCenter(14).x());
        QVERIFY(chart->toothCenter(38).x() > chart->toothCenter(34).x());
        // Buccal outwards, mesial towards the midline.
        QVERIFY(chart->surfacePoint(11, QLatin1Char('B')).y() < c11.y());
        QVERIFY(chart->surfacePoint(41, QLatin1Char('B')).y() > c41.y());
        QVERIFY(chart->surfacePoint(11, QLatin1Char('M')).x() > c11.x());
        QVERIFY(chart->surfacePoint(21, QLatin1Char('M')).x() < c21.x());
        QVERIFY(chart->surfacePoint(46, QLatin1Char('L')).x() > chart->toothCenter(46).x());

        // Every tooth and surface is hit where it is drawn, and nowhere else.
        for (int tooth : chart->teeth()) {
            QVERIFY(chart->rect().contains(chart->toothRect(tooth).toRect()));
            for (const char s : std::string_view(Chart::Surfaces)) {
                const auto [t, surface] = chart->hit(chart->surfacePoint(tooth, QLatin1Char(s)));
                QCOMPARE(t, tooth);
                QCOMPARE(surface, QLatin1Char(s));
            }
        }
        QCOMPARE(chart->hit(QPointF(2, 2)).first, 0);

        child<QRadioButton>(w.get(), "RadioButton2")->click();
        QCOMPARE(chart->teeth(), (QList<int>{55, 54, 53, 52, 51, 61, 62, 63, 64, 65, 85, 84, 83, 82, 81, 71, 72, 73, 74, 75}));
        QVERIFY(chart->toothRect(11).isEmpty());
        const QPointF c55 = chart->toothCenter(55), c85 = chart->toothCenter(85), c51 = chart->toothCenter(51),
                      c61 = chart->toothCenter(61);
        QVERIFY(c55.x() < c51.x() && c51.x() < c61.x());
        QVERIFY(c55.y() < c85.y() && std::abs(c55.x() - c85.x()) < 10);
        QVERIFY(c51.y() < c55.y());
        for (int tooth : chart->teeth())
            QCOMPARE(chart->hit(chart->toothCenter(tooth)).first, tooth);

        // A primary tooth's entry goes in under its own number.
        clickAt(chart, chart->toothCenter(55));
        choose(child<QComboBox>(w.get(), "DBComboBox1"), QStringLiteral("τερηδόνα"));
        post(*w);
        QCOMPARE(p->scalar(QStringLiteral("SELECT DONTI FROM ODONTOGRAMMA")).toInt(), 55);
        // Reopened, a chart with only primary entries shows the primary teeth.
        w.reset();
        w = open(id);
        QVERIFY(child<QRadioButton>(w.get(), "RadioButton2")->isChecked());
        QCOMPARE(chartOf(*w)->surfaceColor(55, QLatin1Char('O')), colour("τερηδόνα"));
    }

    void thePrintoutHasThePracticeTheCustomerTheChartAndTheEntries()
    {
        p->copyReportFiles();
        p->exec(QStringLiteral("INSERT INTO INFORMATION (TITLE, PHONE) VALUES ('Οδοντιατρείο Χ. Νικολάου', '22 123456')"));
        addEntry(id, "2009-05-01", 16, "MO", "έμφραξη");
        auto w = open(id);
        QString html;
        ReportProject::setTestSink([&](const QString &file, const QString &h) {
            QVERIFY(file.endsWith(QStringLiteral("ODONTOGRAMMA.RAV")));
            html = h;
        });
        child<QPushButton>(w.get(), "Button1")->click();
        QVERIFY(Messages::takeShown().isEmpty());
        for (const char *text : {"Οδοντιατρείο Χ. Νικολάου", "Παπά Μαρία", "5/3/1980", "1/5/2009", "έμφραξη", "15/6/2009"})
            QVERIFY2(html.contains(QString::fromUtf8(text)), text);
        const QRegularExpression img(QStringLiteral("<img src=\"data:image/png;base64,([A-Za-z0-9+/=]+)\""));
        const auto m = img.match(html);
        QVERIFY(m.hasMatch());
        const QImage picture = QImage::fromData(QByteArray::fromBase64(m.captured(1).toLatin1()), "PNG");
        ToothChart *chart = chartOf(*w);
        QCOMPARE(picture.size(), chart->size() * chart->devicePixelRatio());
        QCOMPARE(picture.pixelColor(chart->surfacePoint(16, QLatin1Char('O')).toPoint()), colour("έμφραξη"));
        QCOMPARE(picture.pixelColor(chart->surfacePoint(16, QLatin1Char('D')).toPoint()), colour(Chart::Healthy));

        // The whole report lays out, picture included, into a PDF.
        const QString pdf = p->path() + QStringLiteral("/chart.pdf");
        ReportProject::writePdf(html, pdf);
        QVERIFY(fileBytes(pdf).size() > 4000);
    }

    void theCustomerListOpensTheChartByButtonAndMenu()
    {
        TForm18 list;
        Form18 = &list;
        list.ListSql = QStringLiteral("SELECT * FROM STOIXEIA_PELATH WHERE ID=") + QString::number(id);
        list.show();
        QStringList seen;
        SetModalHandler([&](QDialog *d) {
            if (auto *c = qobject_cast<TForm80 *>(d))
                seen << c->CustomerId + "|" + c->CustomerFirstName + "|" + c->CustomerSurname + "|" + c->CustomerBirthDate;
            return 0;
        });
        child<QPushButton>(&list, "Button8")->click();
        child<QAction>(&list, "N11")->trigger();
        const QString expected = QString::number(id) + QStringLiteral("|Μαρία|Παπά|5/3/1980");
        QCOMPARE(seen, (QStringList{expected, expected}));
        QCOMPARE(child<QPushButton>(&list, "Button8")->text(), QStringLiteral("Οδοντόγραμμα"));
        Form18 = nullptr;
    }
};

// The numbering and surface rules the window and the chart share.
class ChartRulesTest : public QObject {
    Q_OBJECT
private slots:
    void fdiNumbersAndSurfaces()
    {
        int permanent = 0, primary = 0;
        for (int n = 0; n < 100; ++n) {
            if (!Chart::isTooth(n))
                continue;
            (Chart::dentitionOf(n) == Chart::Dentition::Primary ? primary : permanent)++;
            const QList<int> all = Chart::upperTeeth(Chart::dentitionOf(n)) + Chart::lowerTeeth(Chart::dentitionOf(n));
            QVERIFY2(all.count(n) == 1, qPrintable(QString::number(n)));
        }
        QCOMPARE(permanent, 32);
        QCOMPARE(primary, 20);
        for (int n : {0, 9, 10, 19, 56, 90, 99, 100})
            QVERIFY(!Chart::isTooth(n));

        QCOMPARE(Chart::normalizeSurfaces(QStringLiteral("oMxmD")), QStringLiteral("MDO"));
        QCOMPARE(Chart::surfacesText(QString(), 16), QStringLiteral("Ολόκληρο"));
        QCOMPARE(Chart::surfacesText(QStringLiteral("OL"), 16), QStringLiteral("Μασητική, Υπερώια"));
        QCOMPARE(Chart::surfacesText(QStringLiteral("OL"), 41), QStringLiteral("Κοπτική, Γλωσσική"));
        QCOMPARE(Chart::surfacesText(QStringLiteral("B"), 53), QStringLiteral("Χειλική"));
        QCOMPARE(Chart::surfacesText(QStringLiteral("B"), 75), QStringLiteral("Παρειακή"));
    }

    void theStateOfADayTakesEachSurfaceFromItsLatestEntry()
    {
        const QDate d1(2009, 1, 1), d2(2009, 2, 1);
        const QList<Chart::Entry> entries{
            {d2, QDateTime(d2, QTime(9, 0)), 16, QStringLiteral("O"), QStringLiteral("έμφραξη")},
            {d1, QDateTime(d1, QTime(9, 0)), 16, QString(), QStringLiteral("τερηδόνα")},
            {d2, QDateTime(d2, QTime(8, 0)), 16, QStringLiteral("M"), QStringLiteral("στεφάνη")},
            {d2, QDateTime(d2, QTime(9, 0)), 19, QString(), QStringLiteral("στεφάνη")},   // no such tooth
        };
        const auto now = Chart::stateOn(entries, QDate());
        QCOMPARE(now.size(), 1);
        const Chart::ToothState t = now.value(16);
        QCOMPARE(t.latest, QStringLiteral("έμφραξη"));
        QCOMPARE(t.surface[0], QStringLiteral("στεφάνη"));    // M
        QCOMPARE(t.surface[1], QStringLiteral("τερηδόνα"));   // D
        QCOMPARE(t.surface[2], QStringLiteral("έμφραξη"));    // O
        const auto before = Chart::stateOn(entries, d1);
        QCOMPARE(before.value(16).latest, QStringLiteral("τερηδόνα"));
        QVERIFY(Chart::stateOn(entries, d1.addDays(-1)).isEmpty());
        // Every condition has a colour of its own.
        QSet<QRgb> colours;
        for (const QString &c : Chart::conditions())
            colours.insert(Chart::colorOf(c).rgb());
        QCOMPARE(colours.size(), Chart::conditions().size());
    }
};

MOLARIX_TEST(ChartRulesTest)
MOLARIX_TEST(DentalChartTest)
#include "test_dentalchart.moc"
