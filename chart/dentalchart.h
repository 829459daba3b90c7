#pragma once
#include "chart/chartstate.h"
#include "data/db/connection.h"
#include "data/work/plans.h"
#include <QDialog>
#include <memory>

namespace Ui {
class TForm80;
}
class DataSet;
class QCheckBox;
class ReportProject;
class ToothChart;

// "Οδοντόγραμμα": one customer's teeth, drawn, coloured by their latest
// state, the work of the treatment plan still to do hatched, with every
// entry listed below, newest first. A click on a tooth starts an entry for
// it, clicks on its surfaces choose them; the entry is stored, corrected
// and deleted with the navigator. The date picker shows the chart as it
// stood on that day.
class TForm80 : public QDialog {
    Q_OBJECT
public:
    explicit TForm80(QWidget *parent = nullptr);
    ~TForm80() override;

    QString CustomerId;
    QString CustomerFirstName;
    QString CustomerSurname;
    QString CustomerBirthDate;

    ToothChart *chart() const { return ToothChart1; }
    // The stored entries as last read.
    const QList<Chart::Entry> &entries() const { return m_entries; }

    void done(int r) override;

protected:
    void showEvent(QShowEvent *e) override;

private:
    void FormShow();
    void ReadEntries();
    void ShowChart();
    void ShowCurrentEntry();
    void ToothChart1Click(int fdi, QChar surface);
    void StartEntry(int fdi);
    void CheckBoxClick();
    void RadioButtonClick();
    void ADOQuery1UpdateRecord();
    void DBNavigator1Click();
    void Button1Click();

    std::unique_ptr<Ui::TForm80> ui;
    ToothChart *ToothChart1;
    QCheckBox *m_surfaceBoxes[5];
    DbConnection ADOConnection1;
    DataSet *ADOQuery1;   // the customer's entries
    DataSet *ADOQuery2;   // the customer, for the printout
    DataSet *ADOQuery3;   // the practice details, for the printout
    ReportProject *RvProject1;
    QList<Chart::Entry> m_entries;
    QList<Plans::Item> m_plan;   // the customer's treatment plan, drawn as planned work
    bool m_loading = false;
};
