#pragma once
#include "data/db/connection.h"
#include "gui/formdialog.h"
#include <QList>
#include <QString>

class DataSet;
class DbGrid;
class DbNavigator;
class DbText;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class ReportProject;

// What the two expenses reports share: two criteria, a search that lists
// the expenses with their totals, a print of the last search through a
// report file, and a close that leaves the next opening empty. Each report
// says how its criteria read and what its search lists.
class ExpensesReport : public FormDialog {
    Q_OBJECT
public:
    ~ExpensesReport() override;

    DataSet *ADOQuery1 = nullptr;   // the list on screen
    DataSet *ADOQuery2 = nullptr;   // the totals on screen
    DataSet *ADOQuery3 = nullptr;   // the list for the report
    DataSet *ADOQuery4 = nullptr;   // the totals for the report

    void UpdateSearchButton();
    void Button1Click();   // search
    void Button3Click();   // print

protected:
    // The controls both forms have, under the same names.
    struct Controls {
        QLabel *Label1, *Label2, *Label3, *Label4;
        QGroupBox *GroupBox1;
        QLineEdit *Edit1, *Edit2;
        QPushButton *Button1, *Button2, *Button3;
        DbGrid *DBGrid1;
        DbNavigator *DBNavigator1;
        DbText *DBText1, *DBText2, *DBText3;
    };
    template <class Form>
    static Controls controlsOf(Form &ui)
    {
        return {ui.Label1, ui.Label2, ui.Label3, ui.Label4, ui.GroupBox1, ui.Edit1, ui.Edit2, ui.Button1,
                ui.Button2, ui.Button3, ui.DBGrid1, ui.DBNavigator1, ui.DBText1, ui.DBText2, ui.DBText3};
    }
    struct Column {
        const char *field;
        QString title;
        Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter;
    };
    struct Report {
        QList<Column> columns;   // of the list on screen
        const char *project;     // the report project's name and its two connections
        const char *listConnection;
        const char *totalsConnection;
        QString file;   // in the program's folder
        // A refused search takes the last good one off the screen.
        bool refusalClears = false;
    };

    using FormDialog::FormDialog;
    // Once, after the form is set up.
    void setUp(const Controls &controls, const Report &report);
    ReportProject *project() const { return m_project; }

    // Takes the criteria typed (blanks trimmed); false refuses them and
    // keeps those taken last.
    virtual bool takeCriteria(const QString &from, const QString &to) = 0;
    // Fills the list and its totals for the criteria taken last.
    virtual void fill(DataSet &list, DataSet &totals) const = 0;

private:
    void FormClose() override;
    void refuse();

    Controls m_c{};
    ReportProject *m_project = nullptr;
    QString m_file;
    bool m_refusalClears = false;
    DbConnection ADOConnection1;
};
