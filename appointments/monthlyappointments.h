#pragma once
#include "gui/formdialog.h"
#include <functional>
#include <memory>

#include "data/db/connection.h"

class DataSet;
class QColor;
class QFrame;
class QLabel;
class TForm2a;
namespace Ui {
class TForm1a;
}

// Weekday of the 1st of a month: 1 = Monday ... 7 = Sunday.
int FirstWeekdayOfMonth(int year, int month);
// Days of a month by the Gregorian calendar.
int DaysInMonth(int year, int month);
// True when a slot value holds something besides blanks and control characters.
bool SlotIsFilled(const QString &value);

// Monthly overview of the appointment book: one month as a calendar of 37
// day cells, Monday first, each showing how many half-hour slots of that day
// are booked. Clicking a day number opens that day's sheet.
class TForm1a : public FormDialog {
    Q_OBJECT
public:
    static constexpr int CellCount = 37;
    static constexpr int FirstListedYear = 2008;
    static constexpr int LastListedYear = 2035;

    explicit TForm1a(QWidget *parent = nullptr);
    ~TForm1a() override;

    // The month shown and the day last clicked.
    int SelectedYear = 0;
    int SelectedMonth = 0;
    int SelectedDay = 0;
    bool LeapYearFlag = false;
    int MonthLength = 0;
    int FirstWeekday = 0;   // 1 = Monday ... 7 = Sunday
    // Today, read once when the window is made.
    int TodayYear = 0;
    int TodayMonth = 0;
    int TodayDay = 0;

    void GoToToday();
    void ShowMonth();
    void CountMonthAppointments();
    // Opens the day SelectedDay of the shown month; returns when its sheet
    // has been closed, with the month's counts read again.
    void OpenDaySheet();
    void ShowDayCount(int day, int n);
    void ClearDayCount(int day);

    // Cell k (1..37): its day number and its count.
    QLabel *dayLabel(int cell) const { return m_dayLabels[cell]; }
    QLabel *countLabel(int cell) const { return m_countLabels[cell]; }
    QFrame *cellFrame(int cell) const { return m_cells[cell]; }

    // Shows a prepared day sheet and returns when it is closed. Runs the
    // sheet modally; tests put their own hand in its place.
    static std::function<void(TForm2a &)> &sheetShower();

    DbConnection ADOConnection1;
    DataSet *ADOQuery1 = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void makeCells();
    void fillYearList();
    void LabelDClick(int cell);
    void setCellBooked(int cell, bool booked);
    void setCellBorder(int cell, const QColor &colour, int width);
    int cellOfDay(int day) const;
    void FormClose() override;

    std::unique_ptr<Ui::TForm1a> ui;
    QFrame *m_cells[CellCount + 1] = {};
    QLabel *m_dayLabels[CellCount + 1] = {};
    QLabel *m_countLabels[CellCount + 1] = {};
};
