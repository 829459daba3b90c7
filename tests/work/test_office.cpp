#include "data/db/dataset.h"
#include "data/work/notes.h"
#include "data/work/phones.h"
#include "data/work/reminders.h"
#include "tests/common/testmain.h"
#include "tests/common/testutil.h"
#include <QTest>

// The notebook, the useful phones and the reminders.
class OfficeWorkTest : public QObject {
    Q_OBJECT

    static QStringList column(DataSet &ds, const char *field)
    {
        QStringList out;
        for (int r = 0; r < ds.rowCount(); ++r)
            out << ds.displayText(r, ds.fieldIndex(QLatin1String(field)));
        return out;
    }

private slots:
    void listsOpenWholeAndSorted_data()
    {
        QTest::addColumn<int>("list");
        QTest::addColumn<QStringList>("rows");   // Jet inserts
        QTest::addColumn<QString>("field");
        QTest::addColumn<QStringList>("shown");
        const QString note = QStringLiteral("INSERT INTO SHMEIWSEIS(TITLOS,PERIGRAFH) VALUES('%1','κείμενο')");
        const QString phone = QStringLiteral("INSERT INTO XRHSIMA_THLEFWNA(ONOMATEPWNYMO,THLEFWNO_1) VALUES('%1','210')");
        const QString reminder = QStringLiteral("INSERT INTO YPENTHIMISEIS(HMEROMHNIA,PERIGRAFH) VALUES(%1,'x')");
        QTest::newRow("notes by title") << 0 << QStringList{note.arg("Γιατρός"), note.arg("Αγορές"), note.arg("Βιβλία")}
                                        << "TITLOS" << QStringList{"Αγορές", "Βιβλία", "Γιατρός"};
        QTest::newRow("phones by name")
            << 1 << QStringList{phone.arg("Ζαχαρίου"), phone.arg("Δήμος"), phone.arg("Εργαστήριο")} << "ONOMATEPWNYMO"
            << QStringList{"Δήμος", "Εργαστήριο", "Ζαχαρίου"};
        QTest::newRow("reminders newest first")
            << 2 << QStringList{reminder.arg("#1/5/2008#"), reminder.arg("#12/28/2007#"), reminder.arg("#3/1/2008#")}
            << "HMEROMHNIA" << QStringList{"1/3/2008", "5/1/2008", "28/12/2007"};
    }
    void listsOpenWholeAndSorted()
    {
        QFETCH(int, list);
        QFETCH(QStringList, rows);
        QFETCH(QString, field);
        QFETCH(QStringList, shown);
        TempPractice p;
        for (const QString &row : rows)
            p.exec(row);
        DataSet table(&p.conn());
        void (*const open[])(DataSet &) = {Notes::openNotebook, Phones::openList, Reminders::openList};
        open[list](table);
        QCOMPARE(column(table, field.toLatin1().constData()), shown);
        QCOMPARE(table.recNo(), 0);
        QVERIFY(table.canModify());
    }

    void notesPrintAllOrOne()
    {
        TempPractice p;
        for (const char *title : {"Γ", "Α", "Β"})
            p.exec(QStringLiteral("INSERT INTO SHMEIWSEIS(TITLOS,PERIGRAFH) VALUES('%1','για %1')").arg(QString::fromUtf8(title)));
        DataSet print(&p.conn());
        Notes::selectAll(print);
        QCOMPARE(column(print, "TITLOS"), (QStringList{"Α", "Β", "Γ"}));
        QCOMPARE(column(print, "PERIGRAFH"), (QStringList{"για Α", "για Β", "για Γ"}));

        const qint64 id = p.scalar(QStringLiteral("SELECT ID FROM SHMEIWSEIS WHERE TITLOS='Β'")).toLongLong();
        Notes::selectOne(print, id);
        QCOMPARE(column(print, "TITLOS"), QStringList{"Β"});
        Notes::selectOne(print, id + 100);
        QCOMPARE(print.recordCount(), 0);
    }

    void remindersOfADay_data()
    {
        QTest::addColumn<QDate>("day");
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("two, one with a time") << QDate(2008, 3, 5) << QStringList{"πρωί", "βράδυ"};
        QTest::newRow("day and month swapped") << QDate(2008, 5, 3) << QStringList{"Μάιος"};
        QTest::newRow("a year later") << QDate(2009, 3, 5) << QStringList{"επόμενο έτος"};
        QTest::newRow("none") << QDate(2008, 3, 6) << QStringList{};
    }
    void remindersOfADay()
    {
        QFETCH(QDate, day);
        QFETCH(QStringList, texts);
        TempPractice p;
        for (const auto &[date, text] : {std::pair{"#3/5/2008#", "πρωί"}, std::pair{"#3/5/2008 18:45:00#", "βράδυ"},
                                         std::pair{"#5/3/2008#", "Μάιος"}, std::pair{"#3/5/2009#", "επόμενο έτος"},
                                         std::pair{"#3/4/2008 23:59:59#", "παραμονή"}})
            p.exec(QStringLiteral("INSERT INTO YPENTHIMISEIS(HMEROMHNIA,PERIGRAFH) VALUES(%1,'%2')")
                       .arg(QLatin1String(date), QString::fromUtf8(text)));
        QCOMPARE(Reminders::countOn(p.conn(), day), texts.size());
        DataSet viewer(&p.conn());
        Reminders::selectDay(viewer, day);
        QVERIFY(!viewer.isOpen());
        viewer.open();
        QStringList got = column(viewer, "PERIGRAFH");
        got.sort();
        texts.sort();
        QCOMPARE(got, texts);
    }
};

MOLARIX_TEST(OfficeWorkTest)
#include "test_office.moc"
